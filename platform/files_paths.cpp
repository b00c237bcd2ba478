// Path rules shared by every system, and the parts of the file layer that need no system
// call: whole-file reading on top of the open handle, temporary names.
#include "platform/files.h"

#include <algorithm>

namespace files {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool IsAnySeparator(char c) { return c == '/' || c == '\\'; }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// Where the stored path's folders begin once a drive letter or a UNC server and share are
// left out.
size_t SkipRootPrefix(const std::string& p) {
    if (p.size() >= 2 && IsAsciiLetter(p[0]) && p[1] == ':') return 2;
    if (p.size() >= 2 && IsAnySeparator(p[0]) && IsAnySeparator(p[1])) {
        // "\\server\share\rest" (and "\\?\C:\rest", "\\?\UNC\server\share\rest").
        size_t i = 2;
        std::string first;
        while (i < p.size() && !IsAnySeparator(p[i])) first += p[i++];
        if (first == "?" || first == ".") {
            while (i < p.size() && IsAnySeparator(p[i])) ++i;
            if (p.size() - i >= 2 && IsAsciiLetter(p[i]) && p[i + 1] == ':') return i + 2;
            const size_t word_end = p.find_first_of("/\\", i);
            if (word_end == std::string::npos || !SameNameIgnoringCase(p.substr(i, word_end - i), "UNC")) return i;
            i = word_end;
            while (i < p.size() && IsAnySeparator(p[i])) ++i;
            while (i < p.size() && !IsAnySeparator(p[i])) ++i;  // server
        }
        while (i < p.size() && IsAnySeparator(p[i])) ++i;
        while (i < p.size() && !IsAnySeparator(p[i])) ++i;  // share
        return i;
    }
    return 0;
}

}  // namespace

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        Close(*this);
        handle = other.handle;
        size = other.size;
        other.handle = -1;
    }
    return *this;
}

ReadableFile::~ReadableFile() { Close(*this); }

AtomicWrite::~AtomicWrite() { AbandonAtomicWrite(*this); }

bool ReadAll(const ReadableFile& file, void* into) {
    size_t got = 0;
    return ReadAt(file, 0, into, size_t(file.size), got) && got == file.size;
}

bool WriteFileAtomically(const char* path, const void* data, size_t size) {
    AtomicWrite write;
    if (!BeginAtomicWrite(path, write)) return false;
    WriteBytes(write, data, size);
    return FinishAtomicWrite(write);
}

std::string TemporaryStem(const std::string& file_name) {
    size_t cut = std::min(file_name.size(), kTemporaryStemBytes);
    // Never cut inside a UTF-8 sequence: back up over continuation bytes.
    while (cut > 0 && cut < file_name.size() && (static_cast<unsigned char>(file_name[cut]) & 0xC0) == 0x80) --cut;
    return file_name.substr(0, cut) + ".tmp-";
}

bool IsTemporaryNameOf(const std::string& name, const std::string& file_name) {
    const std::string stem = TemporaryStem(file_name);
    if (name.size() != stem.size() + 8 || name.compare(0, stem.size(), stem) != 0) return false;
    for (size_t i = stem.size(); i < name.size(); ++i) {
        if (!IsHexDigit(name[i])) return false;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsFolderSeparator(path[i - 1])) return path.substr(0, i);
    }
    return std::string();
}

std::string FileNameOf(const std::string& path) { return path.substr(FolderOf(path).size()); }

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (IsFolderSeparator(folder.back())) return folder + name;
    return folder + "/" + name;
}

std::vector<std::string> StoredPathParts(const std::string& stored) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = SkipRootPrefix(stored); i <= stored.size(); ++i) {
        if (i == stored.size() || IsAnySeparator(stored[i])) {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part += stored[i];
        }
    }
    return parts;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace files
