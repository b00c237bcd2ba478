// The file system as the editor and its tools see it: files opened by UTF-8 path for reading
// without blocking and only when they are regular files, reads of exactly the size the open
// file reported, the atomic save with the clean-up of temporaries that killed saves left,
// folder listing, and the path rules ('/' everywhere, '\' too where the system uses it).
// This is the one place whose code differs between Linux and Windows for files (files_posix.cpp
// and files_win32.cpp); the path helpers of files_paths.cpp are the same on both. Nothing
// here logs, throws (except std::bad_alloc from the caller's containers) or keeps state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace files {

// ---- reading ------------------------------------------------------------------------------

// A regular file open for reading. `size` is the size the open handle reported when it was
// opened; readers read that many bytes and never more, so a file that grows or never ends
// (a special file posing as a regular one) cannot keep a reader going.
struct ReadableFile {
    intptr_t handle = -1;  // descriptor (Linux) or HANDLE (Windows); -1 when closed
    uint64_t size = 0;

    ReadableFile() = default;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ReadableFile(ReadableFile&& other) noexcept : handle(other.handle), size(other.size) { other.handle = -1; }
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ~ReadableFile();
    bool IsOpen() const { return handle != -1; }
};

enum class OpenStatus {
    kOpened,
    kMissing,     // nothing of that name (or the path is not valid UTF-8)
    kNotRegular,  // a folder, a pipe, a device, a socket
    kUnreadable,  // there, but it cannot be opened or examined (permissions, I/O error)
};

// Opens `path` for reading without ever waiting for a writer or a device: a FIFO, a terminal
// or a socket is refused, and so is anything the open handle does not report as a regular
// file. `file` is closed first.
OpenStatus OpenForReading(const char* path, ReadableFile& file);

// Reads up to `wanted` bytes at `offset`; `got` is less than `wanted` only at the end of the
// file. False on a read error.
bool ReadAt(const ReadableFile& file, uint64_t offset, void* into, size_t wanted, size_t& got);

// Reads the first `file.size` bytes into `into`. False when fewer could be read (the file
// shrank) or on a read error.
bool ReadAll(const ReadableFile& file, void* into);

void Close(ReadableFile& file);

// Reads a whole regular file of at most `max_bytes` into `out` (a std::string or a
// std::vector of bytes); `out` is changed only on success. A file reporting 0 bytes is empty.
template <typename Bytes>
bool ReadWholeFile(const char* path, uint64_t max_bytes, Bytes& out) {
    ReadableFile file;
    if (OpenForReading(path, file) != OpenStatus::kOpened || file.size > max_bytes) return false;
    Bytes bytes;
    bytes.resize(size_t(file.size));
    if (file.size > 0 && !ReadAll(file, &bytes[0])) return false;
    out.swap(bytes);
    return true;
}

// True when `path` names a regular file (following links). Never opens the file, so asking
// about a device or a FIFO has no effect on it.
bool IsRegularFile(const char* path);
inline bool IsRegularFile(const std::string& path) { return IsRegularFile(path.c_str()); }
// True when `path` names a folder.
bool IsFolder(const char* path);

// The absolute path with every ".", ".." and link resolved; `path` unchanged when it cannot
// be resolved (a missing file).
std::string CanonicalPath(const std::string& path);
// The canonical path with the file's size and time of its last change, for a regular file:
// it tells two files apart and a rewritten file from the one before. Empty for anything
// else (missing, a folder, a device, a pipe). Reads metadata only.
std::string FileIdentity(const std::string& path);

// ---- writing ------------------------------------------------------------------------------

// Writes a whole file in place (creating or truncating it); for logs and outputs that need
// no atomic replacement. False when any byte could not be written.
bool WriteWholeFile(const char* path, const void* data, size_t size);

// An atomic replacement in progress: bytes go to a temporary file beside the target, held
// (locked on Linux, by its sharing mode on Windows) until it is renamed over the target or
// removed, so that no other process's clean-up takes it away.
struct AtomicWrite {
    intptr_t handle = -1;
    std::string target;     // the file that gets replaced (links resolved)
    std::string temporary;  // the temporary beside it
    bool failed = false;    // a write failed: finishing removes the temporary and fails

    AtomicWrite() = default;
    AtomicWrite(const AtomicWrite&) = delete;
    AtomicWrite& operator=(const AtomicWrite&) = delete;
    ~AtomicWrite();  // abandons an unfinished write
};

// Starts replacing `path`. False when `path` exists but is not a regular file that may be
// written, or no temporary can be made beside it.
bool BeginAtomicWrite(const char* path, AtomicWrite& write);
// Appends bytes to the temporary. A failure is remembered: finishing then fails.
bool WriteBytes(AtomicWrite& write, const void* data, size_t size);
// Flushes the temporary to the disk and renames it over the target; after a success, removes
// the temporaries of the target that nobody holds (left by killed saves). On failure the
// temporary is removed and the target is as it was.
bool FinishAtomicWrite(AtomicWrite& write);
// Removes the temporary and leaves the target as it was.
void AbandonAtomicWrite(AtomicWrite& write);

// Begin, write, finish in one call.
bool WriteFileAtomically(const char* path, const void* data, size_t size);

// Temporary names: the target's file name, cut to at most kTemporaryStemBytes bytes at a
// character boundary, then ".tmp-" and 8 hexadecimal digits. Any file name of up to 255
// bytes leaves room for them.
constexpr size_t kTemporaryStemBytes = 200;
std::string TemporaryStem(const std::string& file_name);
// True when `name` is a temporary name for the file `file_name`.
bool IsTemporaryNameOf(const std::string& name, const std::string& file_name);
// Removes the temporaries of `target` that no writer holds; returns how many were removed.
size_t RemoveStaleTemporaries(const std::string& target);

// ---- folders ------------------------------------------------------------------------------

// The names in `folder` ("." and ".." left out), at most `max_names` of them. False when the
// folder cannot be read.
bool ListFolder(const std::string& folder, size_t max_names, std::vector<std::string>& names);

// The working folder ("" when it cannot be told) and changing it.
std::string CurrentFolder();
bool ChangeFolder(const std::string& folder);

// ---- paths --------------------------------------------------------------------------------

// True for a character that separates folders in a path this system opens: '/', and on
// Windows '\' too.
bool IsFolderSeparator(char c);
// The folder part of a path including its last separator, or "" when there is none.
std::string FolderOf(const std::string& path);
// The part after the last separator.
std::string FileNameOf(const std::string& path);
// True for a path that does not depend on the working folder ("/x"; on Windows "C:\x",
// "\\server\share", "\x").
bool IsAbsolutePath(const std::string& path);
// `folder` and `name` joined with one separator ("" + name is name).
std::string JoinPath(const std::string& folder, const std::string& name);
// A path written inside a file, with '\' as folder separator turned into what this system
// opens: '/' on Linux; unchanged on Windows, which takes both.
std::string WithSystemSeparators(const std::string& written);

// The folder and file names of a stored path as any system may have written it: both '/' and
// '\' separate, a drive letter ("C:") or a UNC server and share ("\\server\share") is dropped,
// and so are empty and "." parts. ".." parts stay (they are names to the search).
std::vector<std::string> StoredPathParts(const std::string& stored);
// Names equal when ASCII letters are compared without regard to case.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace files
