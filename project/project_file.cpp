#include "project/project_file.h"

#include "platform/files.h"

#include <cstring>

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
    return out != nullptr && files::ReadWholeFile(path, kMaxProjectFileBytes, *out);
}

bool WriteFileAtomically(const char* path, const std::vector<uint8_t>& bytes) {
    return files::WriteFileAtomically(path, bytes.data(), bytes.size());
}
