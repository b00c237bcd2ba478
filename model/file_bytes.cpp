// Whole-file reading and the path rules for files named inside model files.
#include "model/file_bytes.h"

#include "platform/files.h"

#include <algorithm>
#include <cstdint>
#include <new>

bool ReadFileBytes(const char* path, FileBytes& out) {
    out = FileBytes{};
    files::ReadableFile file;
    if (files::OpenForReading(path, file) != files::OpenStatus::kOpened) return false;
    if (file.size >= uint64_t(SIZE_MAX)) return false;
    const size_t size = size_t(file.size);
    // One spare byte so that an empty file still has a buffer.
    std::unique_ptr<char[]> data(new (std::nothrow) char[size + 1]);
    if (!data || !files::ReadAll(file, data.get())) return false;
    out.data = std::move(data);
    out.size = size;
    return true;
}

bool ReadFileHead(const char* path, size_t limit, std::string& head, uint64_t& size) {
    head.clear();
    size = 0;
    files::ReadableFile file;
    if (files::OpenForReading(path, file) != files::OpenStatus::kOpened) return false;
    size = file.size;
    head.resize(size_t(std::min<uint64_t>(limit, file.size)));
    size_t got = 0;
    if (!head.empty() && !files::ReadAt(file, 0, &head[0], head.size(), got)) return false;
    head.resize(got);
    return true;
}

namespace {

std::string FindWritten(const std::string& folder, const std::string& name) {
    if (!files::IsAbsolutePath(name) && !folder.empty()) {
        std::string beside = folder + name;
        if (files::IsRegularFile(beside)) return beside;
    }
    return files::IsRegularFile(name) ? name : std::string();
}

}  // namespace

std::string FindBeside(const std::string& folder, const std::string& name) {
    if (name.empty()) return std::string();
    std::string found = FindWritten(folder, name);
    const std::string system_name = files::WithSystemSeparators(name);
    if (found.empty() && system_name != name) found = FindWritten(folder, system_name);
    return found;
}
