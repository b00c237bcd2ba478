// The file layer on Windows: UTF-8 paths become wide strings at the API (CreateFileW,
// FindFirstFileExW, MoveFileExW); a file counts as regular when its open handle is a disk
// file and not a folder; save temporaries are held by their sharing mode (no one else may
// open them for reading or writing, only the rename is shared) and the clean-up removes only
// those it can open exclusively.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/files.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace files {

namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

intptr_t Stored(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

// UTF-8 to UTF-16; false for text that is not valid UTF-8.
bool Wide(const std::string& utf8, std::wstring& out) {
    out.clear();
    if (utf8.empty()) return true;
    if (utf8.size() > size_t(INT_MAX)) return false;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) return false;
    out.resize(size_t(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), &out[0], n) == n;
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], n, nullptr, nullptr);
    out.resize(size_t(n - 1));
    return out;
}

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_DRIVE;
}

// A disk file that is not a folder (nor a link the handle stopped at).
bool IsRegularHandle(HANDLE h) {
    if (GetFileType(h) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return false;
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

std::string RandomHex8() {
    static uint64_t counter = 0;
    uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (uint64_t(GetCurrentProcessId()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull) ^
                 uint64_t(reinterpret_cast<uintptr_t>(&counter));
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    static const char kHex[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 0; i < 8; ++i) out[size_t(i)] = kHex[(x >> (4 * i)) & 15];
    return out;
}

bool WriteAllTo(HANDLE h, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD step = DWORD(std::min<size_t>(size, size_t(1) << 30));
        DWORD written = 0;
        if (!WriteFile(h, p, step, &written, nullptr) || written == 0) return false;
        p += written;
        size -= written;
    }
    return true;
}

// The file a link leads to, when `path` is one; `path` itself otherwise.
bool ResolveLink(const std::wstring& path, std::wstring& out) {
    out = path;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], DWORD(buffer.size()), FILE_NAME_NORMALIZED);
    CloseHandle(h);
    if (n == 0 || n >= buffer.size()) return false;
    buffer.resize(n);
    out = buffer;
    return true;
}

// Removes `path` when it is a regular file that nobody has open: opening it with no sharing
// at all fails while its writer holds it.
bool RemoveIfUnheld(const std::string& path) {
    std::wstring wide;
    if (!Wide(path, wide)) return false;
    HANDLE h = CreateFileW(wide.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    if (IsRegularHandle(h)) {
        FILE_DISPOSITION_INFO dispose;
        dispose.DeleteFile = TRUE;
        removed = SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose) != 0;
    }
    CloseHandle(h);
    return removed;
}

}  // namespace

// ---- reading ------------------------------------------------------------------------------

OpenStatus OpenForReading(const char* path, ReadableFile& file) {
    Close(file);
    std::wstring wide;
    if (path == nullptr || path[0] == '\0' || !Wide(path, wide)) return OpenStatus::kMissing;
    // Others may go on reading, writing, renaming or deleting it: reading takes a snapshot
    // of the size reported here.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (IsMissingError(error)) return OpenStatus::kMissing;
        return IsFolder(path) ? OpenStatus::kNotRegular : OpenStatus::kUnreadable;
    }
    LARGE_INTEGER size;
    if (!IsRegularHandle(h)) {
        CloseHandle(h);
        return OpenStatus::kNotRegular;
    }
    if (!GetFileSizeEx(h, &size) || size.QuadPart < 0) {
        CloseHandle(h);
        return OpenStatus::kUnreadable;
    }
    file.handle = Stored(h);
    file.size = uint64_t(size.QuadPart);
    return OpenStatus::kOpened;
}

bool ReadAt(const ReadableFile& file, uint64_t offset, void* into, size_t wanted, size_t& got) {
    got = 0;
    if (!file.IsOpen()) return false;
    char* out = static_cast<char*>(into);
    while (got < wanted) {
        const DWORD step = DWORD(std::min<size_t>(wanted - got, size_t(1) << 30));
        const uint64_t at = offset + got;
        OVERLAPPED where = {};
        where.Offset = DWORD(at & 0xFFFFFFFFu);
        where.OffsetHigh = DWORD(at >> 32);
        DWORD n = 0;
        if (!ReadFile(Handle(file.handle), out + got, step, &n, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    return true;
}

void Close(ReadableFile& file) {
    if (file.handle != -1) CloseHandle(Handle(file.handle));
    file.handle = -1;
    file.size = 0;
}

bool IsRegularFile(const char* path) {
    std::wstring wide;
    if (path == nullptr || path[0] == '\0' || !Wide(path, wide)) return false;
    // Attributes first: folders and missing names need no handle. Then a handle that asks
    // for no access at all, to tell disk files from devices such as "CON".
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool regular = IsRegularHandle(h);
    CloseHandle(h);
    return regular;
}

bool IsFolder(const char* path) {
    std::wstring wide;
    if (path == nullptr || path[0] == '\0' || !Wide(path, wide)) return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// A path as the final-path query gives it, without its "\\?\" prefix where the plain form
// means the same ("\\?\C:\x" is "C:\x", "\\?\UNC\server\x" is "\\server\x").
std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0 && path.size() < MAX_PATH + 4) return path.substr(4);
    return path;
}

}  // namespace

std::string CanonicalPath(const std::string& path) {
    std::wstring wide;
    if (path.empty() || !Wide(path, wide)) return path;
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(h, &buffer[0], DWORD(buffer.size()), FILE_NAME_NORMALIZED);
    CloseHandle(h);
    if (n == 0 || n >= buffer.size()) return path;
    buffer.resize(n);
    return Utf8(WithoutLongPrefix(buffer).c_str());
}

std::string FileIdentity(const std::string& path) {
    std::wstring wide;
    if (path.empty() || !Wide(path, wide)) return std::string();
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    BY_HANDLE_FILE_INFORMATION info;
    const bool regular = IsRegularHandle(h) && GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!regular) return std::string();
    const uint64_t size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const uint64_t written = (uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    return CanonicalPath(path) + '\n' + std::to_string(size) + ' ' + std::to_string(written);
}

// ---- writing ------------------------------------------------------------------------------

bool WriteWholeFile(const char* path, const void* data, size_t size) {
    std::wstring wide;
    if (path == nullptr || path[0] == '\0' || !Wide(path, wide)) return false;
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = IsRegularHandle(h) && WriteAllTo(h, data, size);
    return CloseHandle(h) != 0 && ok;
}

bool BeginAtomicWrite(const char* path, AtomicWrite& write) {
    AbandonAtomicWrite(write);
    write.failed = false;
    std::wstring wide;
    if (path == nullptr || path[0] == '\0' || !Wide(path, wide)) return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    std::string target(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Only a regular file that may be written is ever replaced; through a link, the file
        // it leads to.
        if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
        std::wstring resolved;
        if (!ResolveLink(wide, resolved)) return false;
        target = Utf8(resolved.c_str());
        if (target.empty() || !IsRegularFile(target.c_str())) return false;
    }
    const std::string stem = FolderOf(target) + TemporaryStem(FileNameOf(target));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = stem + RandomHex8();
        std::wstring wide_temporary;
        if (!Wide(temporary, wide_temporary)) return false;
        // Held by its sharing mode while it exists: nobody else may read, write or delete
        // it; only the rename by this save is shared.
        HANDLE h = CreateFileW(wide_temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return false;
        }
        write.handle = Stored(h);
        write.target = target;
        write.temporary = temporary;
        return true;
    }
    return false;
}

bool WriteBytes(AtomicWrite& write, const void* data, size_t size) {
    if (write.handle == -1 || write.failed) return false;
    if (!WriteAllTo(Handle(write.handle), data, size)) write.failed = true;
    return !write.failed;
}

bool FinishAtomicWrite(AtomicWrite& write) {
    if (write.handle == -1) return false;
    std::wstring from, to;
    // The temporary stays open (and so held) until it carries the target's name.
    const bool ok = !write.failed && FlushFileBuffers(Handle(write.handle)) && Wide(write.temporary, from) &&
                    Wide(write.target, to) &&
                    MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        AbandonAtomicWrite(write);
        return false;
    }
    CloseHandle(Handle(write.handle));
    write.handle = -1;
    RemoveStaleTemporaries(write.target);
    return true;
}

void AbandonAtomicWrite(AtomicWrite& write) {
    if (write.handle == -1) return;
    HANDLE h = Handle(write.handle);
    write.handle = -1;
    CloseHandle(h);
    std::wstring wide;
    if (Wide(write.temporary, wide)) DeleteFileW(wide.c_str());
}

size_t RemoveStaleTemporaries(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string file_name = FileNameOf(target);
    std::vector<std::string> names;
    if (!ListFolder(folder.empty() ? "." : folder, size_t(1) << 20, names)) return 0;
    size_t removed = 0;
    for (const std::string& name : names) {
        if (IsTemporaryNameOf(name, file_name) && RemoveIfUnheld(folder + name)) ++removed;
    }
    return removed;
}

// ---- folders ------------------------------------------------------------------------------

bool ListFolder(const std::string& folder, size_t max_names, std::vector<std::string>& names) {
    names.clear();
    std::wstring pattern;
    if (!Wide(JoinPath(folder.empty() ? "." : folder, "*"), pattern)) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = Utf8(found.cFileName);
        if (!name.empty() && name != "." && name != "..") names.push_back(name);
    } while (names.size() < max_names && FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

std::string CurrentFolder() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return std::string();
    std::wstring buffer(n, L'\0');
    if (GetCurrentDirectoryW(n, &buffer[0]) == 0) return std::string();
    return Utf8(buffer.c_str());
}

bool ChangeFolder(const std::string& folder) {
    std::wstring wide;
    return !folder.empty() && Wide(folder, wide) && SetCurrentDirectoryW(wide.c_str()) != 0;
}

// ---- paths --------------------------------------------------------------------------------

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && IsFolderSeparator(path[0])) return true;  // "\x", "\\server\share"
    return path.size() >= 3 && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z')) &&
           path[1] == ':' && IsFolderSeparator(path[2]);
}

std::string WithSystemSeparators(const std::string& written) { return written; }

}  // namespace files
