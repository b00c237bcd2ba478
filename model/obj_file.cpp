// Block-wise reading of an OBJ file: each block is read up to its last line feed, the rest
// of the block moves to the front of the next one; a line longer than the block grows it.
#include "model/obj_text.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kBlockSize = 256 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool ReadBlocks(std::FILE* f, ObjTextState& state) {
    size_t capacity = kBlockSize;
    std::unique_ptr<char[]> buffer(new char[capacity]);
    size_t filled = 0;
    for (;;) {
        const size_t wanted = capacity - filled;
        const size_t got = std::fread(buffer.get() + filled, 1, wanted, f);
        filled += got;
        if (got < wanted) {
            if (std::ferror(f)) return false;
            FeedObjText(state, buffer.get(), buffer.get() + filled, true);
            return true;
        }
        const char* last_nl = static_cast<const char*>(memrchr(buffer.get(), '\n', filled));
        if (last_nl == nullptr) {
            // One line fills the block: make room for more of it.
            std::unique_ptr<char[]> bigger(new char[capacity * 2]);
            std::memcpy(bigger.get(), buffer.get(), filled);
            buffer = std::move(bigger);
            capacity *= 2;
            continue;
        }
        const char* rest = last_nl + 1;
        FeedObjText(state, buffer.get(), rest, false);
        const size_t remaining = size_t(buffer.get() + filled - rest);
        std::memmove(buffer.get(), rest, remaining);
        filled = remaining;
    }
}

// Room for the arrays of a file of `size` bytes, so that they rarely move while growing.
// Statement lines are rarely shorter than 32 bytes; address space reserved beyond what is
// read is never touched and so takes no memory.
// Large arrays ask for huge pages: far fewer page faults while they fill. Only advice; the
// memory stays the vector's.
template <typename T>
void AdviseHugePages(const std::vector<T>& v) {
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(v.data()) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(v.data() + v.capacity())) & ~(kHuge - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void ReserveForFileSize(ObjText& out, off_t size) {
    if (size <= 0) return;
    const size_t estimate = size_t(size) / 32;
    out.positions.reserve(estimate);
    out.texcoords.reserve(estimate);
    out.normals.reserve(estimate);
    out.triangles.reserve(estimate);
    AdviseHugePages(out.positions);
    AdviseHugePages(out.texcoords);
    AdviseHugePages(out.normals);
    AdviseHugePages(out.triangles);
}

}  // namespace

bool ReadObjFile(const char* path, ObjText& out, ObjLineHook hook) {
    out = ObjText{};
    if (path == nullptr) return false;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "rb"));
    if (!f) return false;
    struct stat info {};
    if (fstat(fileno(f.get()), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    ObjTextState state;
    BeginObjText(state, out, hook);
    bool ok = false;
    try {
        ReserveForFileSize(out, info.st_size);
        ok = ReadBlocks(f.get(), state);
        if (ok) FinishObjText(state);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) out = ObjText{};
    return ok;
}
