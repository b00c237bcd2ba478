// Whole-file reading and the path rules for files named inside model files.
#include "model/file_bytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads a stream of unknown length (a pipe or a special file) in growing steps.
bool ReadUnsizedStream(std::FILE* f, FileBytes& out) {
    size_t capacity = 1 << 16;
    std::unique_ptr<char[]> data(new (std::nothrow) char[capacity]);
    size_t size = 0;
    while (data) {
        size += std::fread(data.get() + size, 1, capacity - size, f);
        if (size < capacity) break;
        std::unique_ptr<char[]> bigger(new (std::nothrow) char[capacity * 2]);
        if (!bigger) return false;
        std::copy(data.get(), data.get() + size, bigger.get());
        data = std::move(bigger);
        capacity *= 2;
    }
    if (!data || std::ferror(f)) return false;
    out.data = std::move(data);
    out.size = size;
    return true;
}

}  // namespace

bool ReadFileBytes(const char* path, FileBytes& out) {
    out = FileBytes{};
    if (path == nullptr) return false;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "rb"));
    if (!f) return false;
    struct stat info {};
    if (fstat(fileno(f.get()), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return false;
    if (!S_ISREG(info.st_mode)) return ReadUnsizedStream(f.get(), out);
    const size_t size = size_t(info.st_size);
    // One spare byte so that an empty file still has a buffer.
    std::unique_ptr<char[]> data(new (std::nothrow) char[size + 1]);
    if (!data) return false;
    size_t got = std::fread(data.get(), 1, size, f.get());
    if (got != size || std::ferror(f.get())) return false;
    out.data = std::move(data);
    out.size = size;
    return true;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FindBeside(const std::string& folder, const std::string& name) {
    if (name.empty()) return std::string();
    if (name[0] != '/' && !folder.empty()) {
        std::string beside = folder + name;
        if (IsRegularFile(beside)) return beside;
    }
    return IsRegularFile(name) ? name : std::string();
}
