#include "project/project_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>

namespace {

constexpr size_t kMaxProjectFileBytes = size_t(256) * 1024 * 1024;

// ---- reading ----

// A cursor over the file's bytes that never reads past the end.
struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    size_t Remaining() const { return size - pos; }

    bool ReadU32(uint32_t* v) {
        if (Remaining() < 4) return false;
        const uint8_t* p = data + pos;
        *v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
        pos += 4;
        return true;
    }

    bool ReadI32(int32_t* v) {
        uint32_t u;
        if (!ReadU32(&u)) return false;
        std::memcpy(v, &u, 4);
        return true;
    }

    bool ReadFloat(float* v) {
        uint32_t u;
        if (!ReadU32(&u)) return false;
        std::memcpy(v, &u, 4);
        return true;
    }

    bool ReadVector(cMath::vector4* v) {
        return ReadFloat(&v->x) && ReadFloat(&v->y) && ReadFloat(&v->z) && ReadFloat(&v->w);
    }
};

// A path of L bytes: L - 1 characters without a zero byte, then the terminating zero.
bool ReadPath(ByteReader& r, std::string* path) {
    uint32_t length;
    if (!r.ReadU32(&length)) return false;
    if (length == 0 || length > kProjectMaxPathBytes || length > r.Remaining()) return false;
    const char* chars = reinterpret_cast<const char*>(r.data + r.pos);
    if (chars[length - 1] != '\0') return false;
    if (std::memchr(chars, '\0', length - 1) != nullptr) return false;
    path->assign(chars, length - 1);
    r.pos += length;
    return true;
}

bool ReadRecord(ByteReader& r, ProjectRecord* rec) {
    return r.ReadI32(&rec->type) && ReadPath(r, &rec->path) && r.ReadVector(&rec->position) &&
           r.ReadVector(&rec->size) && r.ReadVector(&rec->move) && r.ReadVector(&rec->scale) &&
           r.ReadVector(&rec->rotate);
}

// ---- writing ----

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 24));
}

void PutFloat(std::vector<uint8_t>& out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    PutU32(out, u);
}

void PutVector(std::vector<uint8_t>& out, const cMath::vector4& v) {
    PutFloat(out, v.x);
    PutFloat(out, v.y);
    PutFloat(out, v.z);
    PutFloat(out, v.w);
}

bool IsWritablePath(const std::string& path) {
    return path.size() < kProjectMaxPathBytes && path.find('\0') == std::string::npos;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Creates a fresh file beside the target; the name is unique to this process and call.
int CreateTemporaryBeside(const std::string& target, std::string* tmp_path) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        *tmp_path = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tmp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The folder that holds `path`, for syncing the rename.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The process number in a temporary file's name "<file name>.tmp-<pid>-<n>", or 0 when the
// name is not one of that file's temporary names.
pid_t TemporaryOwner(const std::string& name, const std::string& file_name) {
    const std::string prefix = file_name + ".tmp-";
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    const char* p = name.c_str() + prefix.size();
    long long pid = 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9' && pid <= INT_MAX) pid = pid * 10 + (*p++ - '0');
    if (p == digits || *p++ != '-' || pid <= 0 || pid > INT_MAX) return 0;
    if (*p < '0' || *p > '9') return 0;
    while (*p >= '0' && *p <= '9') ++p;
    return *p == '\0' ? pid_t(pid) : 0;
}

// Removes the temporary files that saves of `target` killed half-way left beside it: those
// named after a process that no longer exists. Another process's save in progress, and this
// process's own, are left alone.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string file_name = target.substr(target.find_last_of('/') + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = TemporaryOwner(entry->d_name, file_name);
        if (owner == 0 || owner == ::getpid()) continue;
        if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
    }
    ::closedir(dir);
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the file itself is already on disk
    ::close(fd);
}

}  // namespace

bool ParseProjectFile(const uint8_t* data, size_t size, std::vector<ProjectRecord>* out) {
    if (data == nullptr || size < kProjectHeaderBytes) return false;
    if (std::memcmp(data, kProjectMagic, sizeof kProjectMagic) != 0) return false;
    ByteReader r{data, size};
    r.pos = sizeof kProjectMagic;
    int32_t count;
    if (!r.ReadI32(&count) || count < 0) return false;

    std::vector<ProjectRecord> records;
    // Every record needs at least its fixed part and a one-byte path, so the bytes that
    // are left bound what a valid count can be.
    const size_t possible = r.Remaining() / (kProjectRecordFixedBytes + 1);
    if (size_t(count) > possible) return false;
    records.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        ProjectRecord rec;
        if (!ReadRecord(r, &rec)) return false;
        records.push_back(std::move(rec));
    }
    *out = std::move(records);
    return true;
}

bool SerializeProjectFile(const std::vector<ProjectRecord>& records, std::vector<uint8_t>* out) {
    for (const ProjectRecord& rec : records) {
        if (!IsWritablePath(rec.path)) return false;
    }
    std::vector<uint8_t> bytes(kProjectMagic, kProjectMagic + sizeof kProjectMagic);
    PutU32(bytes, uint32_t(records.size()));
    for (const ProjectRecord& rec : records) {
        PutU32(bytes, uint32_t(rec.type));
        PutU32(bytes, uint32_t(rec.path.size() + 1));
        bytes.insert(bytes.end(), rec.path.begin(), rec.path.end());
        bytes.push_back(0);
        PutVector(bytes, rec.position);
        PutVector(bytes, rec.size);
        PutVector(bytes, rec.move);
        PutVector(bytes, rec.scale);
        PutVector(bytes, rec.rotate);
    }
    *out = std::move(bytes);
    return true;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out) {
    if (path == nullptr) return false;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[64 * 1024];
    bool ok = true;
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (bytes.size() + n > kMaxProjectFileBytes) {
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    if (ok) *out = std::move(bytes);
    return ok;
}

bool WriteFileAtomically(const char* path, const std::vector<uint8_t>& bytes) {
    if (path == nullptr || path[0] == '\0') return false;
    std::string target(path);
    struct stat existing;
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

    std::string tmp;
    const int fd = CreateTemporaryBeside(target, &tmp);
    if (fd < 0) return false;

    bool ok = true;
    if (target_exists) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, bytes.data(), bytes.size());
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    SyncFolder(FolderOf(target));
    RemoveStaleTemporaries(target);
    return true;
}
