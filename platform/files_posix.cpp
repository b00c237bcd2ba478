// The file layer on Linux (and other POSIX systems): descriptors opened with O_NONBLOCK,
// fstat on the open descriptor, pread, flock on save temporaries, fsync and rename.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>

namespace files {

namespace {

int Fd(intptr_t handle) { return int(handle); }

// Eight hexadecimal digits that differ between calls and between processes.
std::string RandomHex8() {
    static uint64_t counter = 0;
    uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (uint64_t(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull) ^
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

// Takes the writer's lock without waiting. True when this descriptor now holds it, or when
// the file system has no locks at all (then nobody's clean-up can take the file either,
// since the clean-up removes only what it could lock).
bool LockForWriting(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    return errno != EWOULDBLOCK && errno != EINTR;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the file itself is already on disk
    ::close(fd);
}

// Removes `path` when it is a regular file that nobody holds: its writer's lock can be taken,
// and the name still leads to the file that was locked.
bool RemoveIfUnheld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    bool removed = false;
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
        removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

}  // namespace

// ---- reading ------------------------------------------------------------------------------

OpenStatus OpenForReading(const char* path, ReadableFile& file) {
    Close(file);
    if (path == nullptr || path[0] == '\0') return OpenStatus::kMissing;
    // Looked at before opening, so that a device is never opened (opening some has effects).
    struct stat named {};
    if (::stat(path, &named) != 0) return errno == ENOENT || errno == ENOTDIR ? OpenStatus::kMissing : OpenStatus::kUnreadable;
    if (!S_ISREG(named.st_mode)) return OpenStatus::kNotRegular;
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? OpenStatus::kMissing : OpenStatus::kUnreadable;
    // The name may have changed between the two looks: the open descriptor decides.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        ::close(fd);
        return OpenStatus::kUnreadable;
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(fd);
        return OpenStatus::kNotRegular;
    }
    file.handle = fd;
    file.size = opened.st_size > 0 ? uint64_t(opened.st_size) : 0;
    return OpenStatus::kOpened;
}

bool ReadAt(const ReadableFile& file, uint64_t offset, void* into, size_t wanted, size_t& got) {
    got = 0;
    if (!file.IsOpen()) return false;
    char* out = static_cast<char*>(into);
    while (got < wanted) {
        const size_t step = std::min<size_t>(wanted - got, size_t(1) << 30);
        const ssize_t n = ::pread(Fd(file.handle), out + got, step, off_t(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    return true;
}

void Close(ReadableFile& file) {
    if (file.handle != -1) ::close(Fd(file.handle));
    file.handle = -1;
    file.size = 0;
}

bool IsRegularFile(const char* path) {
    struct stat info {};
    return path != nullptr && path[0] != '\0' && ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const char* path) {
    struct stat info {};
    return path != nullptr && path[0] != '\0' && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string canonical(resolved);
    std::free(resolved);
    return canonical;
}

std::string FileIdentity(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::string();
    return CanonicalPath(path) + '\n' + std::to_string(static_cast<long long>(info.st_size)) + ' ' +
           std::to_string(static_cast<long long>(info.st_mtim.tv_sec)) + '.' +
           std::to_string(static_cast<long long>(info.st_mtim.tv_nsec));
}

// ---- writing ------------------------------------------------------------------------------

namespace {

bool WriteAllTo(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, std::min<size_t>(size, size_t(1) << 30));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

bool WriteWholeFile(const char* path, const void* data, size_t size) {
    if (path == nullptr || path[0] == '\0') return false;
    // Not blocking: a FIFO without a reader fails the open instead of waiting for one.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && WriteAllTo(fd, data, size);
    ok = ::close(fd) == 0 && ok;
    return ok;
}

bool BeginAtomicWrite(const char* path, AtomicWrite& write) {
    AbandonAtomicWrite(write);
    write.failed = false;
    if (path == nullptr || path[0] == '\0') return false;
    std::string target(path);
    struct stat existing {};
    const bool target_exists = ::stat(path, &existing) == 0;
    if (target_exists) {
        // Only a regular file that may be written is ever replaced, and through a link
        // the file it points at is replaced, not the link.
        if (!S_ISREG(existing.st_mode) || ::access(path, W_OK) != 0) return false;
        char* resolved = ::realpath(path, nullptr);
        if (resolved == nullptr) return false;
        target = resolved;
        std::free(resolved);
    }
    const std::string stem = FolderOf(target) + TemporaryStem(FileNameOf(target));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = stem + RandomHex8();
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        // Someone's clean-up may have taken the fresh file between its creation and the
        // lock: then it is theirs to remove, and this save tries another name.
        struct stat created {};
        if (!LockForWriting(fd) || ::fstat(fd, &created) != 0 || created.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        if (target_exists && ::fchmod(fd, existing.st_mode & 07777) != 0) {
            ::unlink(temporary.c_str());
            ::close(fd);
            return false;
        }
        write.handle = fd;
        write.target = target;
        write.temporary = temporary;
        return true;
    }
    return false;
}

bool WriteBytes(AtomicWrite& write, const void* data, size_t size) {
    if (write.handle == -1 || write.failed) return false;
    if (!WriteAllTo(Fd(write.handle), data, size)) write.failed = true;
    return !write.failed;
}

bool FinishAtomicWrite(AtomicWrite& write) {
    if (write.handle == -1) return false;
    const int fd = Fd(write.handle);
    // The temporary stays locked until it carries the target's name.
    const bool ok = !write.failed && ::fsync(fd) == 0 && ::rename(write.temporary.c_str(), write.target.c_str()) == 0;
    if (!ok) {
        AbandonAtomicWrite(write);
        return false;
    }
    ::close(fd);
    write.handle = -1;
    SyncFolder(FolderOf(write.target));
    RemoveStaleTemporaries(write.target);
    return true;
}

void AbandonAtomicWrite(AtomicWrite& write) {
    if (write.handle == -1) return;
    ::unlink(write.temporary.c_str());
    ::close(Fd(write.handle));
    write.handle = -1;
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
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (names.size() < max_names) {
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) break;
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return true;
}

std::string CurrentFolder() {
    std::string buffer(4096, '\0');
    while (::getcwd(&buffer[0], buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (size_t(1) << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

bool ChangeFolder(const std::string& folder) { return !folder.empty() && ::chdir(folder.c_str()) == 0; }

// ---- paths --------------------------------------------------------------------------------

bool IsFolderSeparator(char c) { return c == '/'; }

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string WithSystemSeparators(const std::string& written) {
    std::string out = written;
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

}  // namespace files
