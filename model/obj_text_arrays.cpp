// The arrays of an OBJ text reading as a whole: the room reserved for them before the
// reading (from the size of the text or of a part read on its own) and the appending of
// a part read on its own to the reading in sequence.
#include "model/obj_text.h"

#include "platform/memory_hints.h"

#include <new>
#include <utility>

namespace {

template <typename T>
void AppendArray(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

bool AppendDetachedObjText(ObjTextState& state, ObjTextState& part) {
    if (state.out == nullptr || part.out == nullptr || !part.detached || part.needs_sequence) return false;
    // The part was read as starting at a line of its own, with line feeds ending lines.
    if (state.cr_lines || !state.continued.empty()) return false;
    ObjText& to = *state.out;
    const ObjText& from = *part.out;
    // Every index the part uses must name an element of the whole text: then the sequential
    // reading keeps each of its faces too (a forward reference is checked against the same
    // totals), and its relative indices were refused while reading.
    const uint64_t totals[3] = {uint64_t(to.positions.size()) + from.positions.size(),
                                uint64_t(to.texcoords.size()) + from.texcoords.size(),
                                uint64_t(to.normals.size()) + from.normals.size()};
    for (int k = 0; k < 3; ++k) {
        if (part.highest_index[k] >= 0 && uint64_t(part.highest_index[k]) >= totals[k]) return false;
    }
    if (uint64_t(to.triangles.size()) + from.triangles.size() > 0xFFFFFFFFu) return false;
    const uint32_t base = uint32_t(to.triangles.size());
    AppendArray(to.positions, from.positions);
    AppendArray(to.normals, from.normals);
    AppendArray(to.texcoords, from.texcoords);
    AppendArray(to.triangles, from.triangles);
    AppendArray(to.line_points, from.line_points);
    for (const ObjDirective& d : from.directives) {
        to.directives.push_back(d);
        if (d.kind == ObjDirective::kUseMaterial) to.directives.back().triangle += base;
    }
    for (const ObjPendingFace& f : part.pending) {
        state.pending.push_back(f);
        state.pending.back().first += base;
    }
    state.missing_texcoord |= part.missing_texcoord;
    state.continued = std::move(part.continued);
    to.line_count += from.line_count;
    return true;
}

namespace {

template <typename T>
void AdviseHugePages(const std::vector<T>& v) {
    files::AdviseHugePages(const_cast<T*>(v.data()), v.capacity() * sizeof(T));
}

}  // namespace

namespace {

// Reserves `count` elements in each array of `out` and advises the large ones onto huge pages.
void ReserveEveryArray(ObjText& out, size_t count) {
    out.positions.reserve(count);
    out.texcoords.reserve(count);
    out.normals.reserve(count);
    out.triangles.reserve(count);
    AdviseHugePages(out.positions);
    AdviseHugePages(out.texcoords);
    AdviseHugePages(out.normals);
    AdviseHugePages(out.triangles);
}

}  // namespace

void ReserveObjText(ObjText& out, uint64_t bytes) {
    if (bytes == 0) return;
    // One element of each array per this many bytes: the four together reserve the text's
    // size, never more.
    constexpr uint64_t kBytesPerElement = 3 * sizeof(cMath::vector4) + sizeof(tiangle_face);
    ReserveEveryArray(out, size_t(bytes / kBytesPerElement));
}

void ReserveDetachedObjText(ObjText& out, uint64_t bytes) {
    if (bytes == 0) return;
    // A part of a file often holds one kind of statement only (all its faces, say), so each
    // array gets room for the whole part written in short lines of its kind ("vt 0.500000
    // 0.250000", "f 12345 12346 12347"): room beyond the part's share of the text is address
    // space, never touched.
    constexpr uint64_t kBytesPerLine = 20;
    try {
        ReserveEveryArray(out, size_t(bytes / kBytesPerLine));
    } catch (const std::bad_alloc&) {
        // Short of address space (a limited process): the room the whole text would get.
        out = ObjText{};
        ReserveObjText(out, bytes);
    }
}
