// Block-wise reading of an OBJ file: each block is read up to its last line feed, the rest
// of the block moves to the front of the next one; a line longer than the block grows it.
// A large file is read in parts on two threads, merged in order. Only the bytes the file
// reported when it was opened are read.
#include "model/obj_text.h"

#include "platform/cpu_load.h"
#include "platform/files.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

// The last line feed of [begin, begin + size), or null.
const char* LastLineFeed(const char* begin, size_t size) {
    for (const char* p = begin + size; p > begin;) {
        if (*--p == '\n') return p;
    }
    return nullptr;
}

// Feeds the complete lines of a full block to `state` and moves the unfinished last line to
// the front; a block holding no line feed at all (one long line) is doubled instead.
void FeedWholeLines(ObjTextState& state, std::unique_ptr<char[]>& buffer, size_t& capacity, size_t& filled) {
    const char* last_nl = LastLineFeed(buffer.get(), filled);
    if (last_nl == nullptr) {
        std::unique_ptr<char[]> bigger(new char[capacity * 2]);
        std::memcpy(bigger.get(), buffer.get(), filled);
        buffer = std::move(bigger);
        capacity *= 2;
        return;
    }
    const char* rest = last_nl + 1;
    FeedObjText(state, buffer.get(), rest, false);
    const size_t remaining = size_t(buffer.get() + filled - rest);
    std::memmove(buffer.get(), rest, remaining);
    filled = remaining;
}

// A thread's block buffer, kept from part to part: a fresh one would be faulted in again.
struct BlockBuffer {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
};

// Feeds the bytes of the file from `from` up to `to` to `state` in blocks, each up to its
// last line feed. `last`: the range ends the file, its text after the final line feed is the
// last line; otherwise the range must end with a line feed. Stops early once a detached part
// needs reading in sequence.
bool FeedFileRange(const files::ReadableFile& file, uint64_t from, uint64_t to, size_t block_size,
                   BlockBuffer& block, ObjTextState& state, bool last) {
    if (block.capacity < std::max<size_t>(block_size, 16)) {
        block.capacity = std::max<size_t>(block_size, 16);
        block.bytes.reset(new char[block.capacity]);
    }
    std::unique_ptr<char[]>& buffer = block.bytes;
    size_t& capacity = block.capacity;
    size_t filled = 0;
    uint64_t offset = from;
    for (;;) {
        if (state.needs_sequence) return true;
        size_t wanted = capacity - filled;
        bool range_end = false;
        if (to - offset <= wanted) {
            wanted = size_t(to - offset);
            range_end = true;
        }
        size_t got = 0;
        if (!files::ReadAt(file, offset, buffer.get() + filled, wanted, got)) return false;
        offset += got;
        filled += got;
        if (got < wanted || range_end) {
            if (!last && (got < wanted || (filled > 0 && buffer[filled - 1] != '\n'))) return false;
            FeedObjText(state, buffer.get(), buffer.get() + filled, last);
            return true;
        }
        FeedWholeLines(state, buffer, capacity, filled);
    }
}

// The first line start at or after `offset`; 0 when there is none before the file's end (or
// it cannot be read).
uint64_t LineStartFrom(const files::ReadableFile& file, uint64_t offset, uint64_t size) {
    if (offset == 0) return 0;
    --offset;  // the byte before: `offset` is a line start when that one is a line feed
    char window[4096];
    while (offset < size) {
        size_t got = 0;
        if (!files::ReadAt(file, offset, window, sizeof window, got) || got == 0) return 0;
        const void* nl = std::memchr(window, '\n', got);
        if (nl != nullptr) {
            const uint64_t start = offset + uint64_t(static_cast<const char*>(nl) - window) + 1;
            return start < size ? start : 0;
        }
        offset += got;
    }
    return 0;
}

// Where the parts of a file of `size` bytes begin: 0, then line starts near every
// `part_bytes` (at least two parts); the file's size last. Fewer than three entries when
// the file cannot be cut.
std::vector<uint64_t> PartBounds(const files::ReadableFile& file, uint64_t size, uint64_t part_bytes) {
    const uint64_t count = std::max<uint64_t>(2, (size + part_bytes - 1) / std::max<uint64_t>(part_bytes, 1));
    std::vector<uint64_t> bounds{0};
    for (uint64_t k = 1; k < count; ++k) {
        const uint64_t start = LineStartFrom(file, size / count * k, size);
        if (start == 0) break;
        if (start > bounds.back()) bounds.push_back(start);
    }
    bounds.push_back(size);
    return bounds;
}

thread_local size_t last_merged_parts = 0;

// Reads a file in parts on two threads (see ReadObjTextInParts).
bool ReadInParts(const files::ReadableFile& file, const std::vector<uint64_t>& bounds, const ObjFileReading& how, ObjTextState& state) {
    const size_t parts = bounds.size() - 1;
    std::vector<uint64_t> part_bytes(parts);
    for (size_t i = 0; i < parts; ++i) part_bytes[i] = bounds[i + 1] - bounds[i];
    size_t merged = 0;
    // Only this thread and the one other thread read.
    BlockBuffer this_thread_block, other_thread_block;
    const std::thread::id this_thread = std::this_thread::get_id();
    const bool ok = ReadObjTextInParts(
        state, parts,
        [&](ObjTextState& s, size_t i) {
            const bool last = i + 1 == parts;
            BlockBuffer& block = std::this_thread::get_id() == this_thread ? this_thread_block : other_thread_block;
            return FeedFileRange(file, bounds[i], bounds[i + 1], how.block_size, block, s, last);
        },
        part_bytes, merged, how.sharing);
    last_merged_parts = merged;
    return ok;
}

}  // namespace

bool ReadObjFile(const char* path, ObjText& out, ObjLineHook hook, const ObjFileReading& how) {
    out = ObjText{};
    last_merged_parts = 0;
    files::ReadableFile file;
    if (files::OpenForReading(path, file) != files::OpenStatus::kOpened) return false;
    ObjTextState state;
    BeginObjText(state, out, hook);
    bool ok = false;
    try {
        const uint64_t size = file.size;
        const bool two_cores = std::thread::hardware_concurrency() >= 2 &&
                               (!how.two_threads_only_when_core_idle || cpu::IdleCoresNow() >= 1);
        ReserveObjText(out, size);
        std::vector<uint64_t> bounds;
        if (two_cores && size >= how.two_threads_from_bytes) bounds = PartBounds(file, size, how.part_bytes);
        if (bounds.size() >= 3) {
            ok = ReadInParts(file, bounds, how, state);
        } else {
            BlockBuffer block;
            ok = FeedFileRange(file, 0, size, how.block_size, block, state, true);
        }
        if (ok) FinishObjText(state);
    } catch (const std::bad_alloc&) {
        ok = false;
        errno = ENOMEM;  // tells the caller why, apart from files that cannot be read
    }
    if (!ok) out = ObjText{};
    return ok;
}

size_t LastObjFileMergedParts() { return last_merged_parts; }
