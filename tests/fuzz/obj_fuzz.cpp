// Fuzz target: the OBJ text reader and the GL-free rest of a model load (bounding box,
// quadtree, ray queries). Checks that every stored index is valid for its array, that
// material switches stay in order within the triangles, that no coordinate is infinite or
// NaN, that the tree holds every triangle once and that its ray answer equals testing
// every triangle in file order. The text is also fed in blocks and read in parts that are
// appended, as the file reader does, which must give exactly the same result.
#include "tests/fuzz/fuzz_check.h"

#include "model/obj_text.h"
#include "model/quadtree.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Finite(const cMath::vector4& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

void CheckIndices(const ObjText& text) {
    const size_t npos = text.positions.size();
    const size_t nuv = text.texcoords.size();
    const size_t nnrm = text.normals.size();
    for (const tiangle_face& t : text.triangles) {
        FUZZ_CHECK(t.pos0 < npos && t.pos1 < npos && t.pos2 < npos);
        FUZZ_CHECK(t.uv0 < nuv && t.uv1 < nuv && t.uv2 < nuv);
        FUZZ_CHECK(t.nrm0 < nnrm && t.nrm1 < nnrm && t.nrm2 < nnrm);
    }
    uint32_t previous = 0;
    for (const ObjDirective& d : text.directives) {
        if (d.kind != ObjDirective::kUseMaterial) continue;
        FUZZ_CHECK(d.triangle <= text.triangles.size());
        FUZZ_CHECK(d.triangle >= previous);
        previous = d.triangle;
    }
    for (const cMath::vector4& v : text.positions) FUZZ_CHECK(Finite(v));
    for (const cMath::vector4& v : text.normals) FUZZ_CHECK(Finite(v));
    for (const cMath::vector4& v : text.texcoords) FUZZ_CHECK(Finite(v));
    for (const cMath::vector4& v : text.line_points) FUZZ_CHECK(Finite(v));
}

void BoundingBox(const ObjText& text, cMath::vector4 box[2]) {
    box[0] = box[1] = cMath::vector4();
    if (text.positions.empty()) return;
    box[0] = box[1] = text.positions[0];
    for (const cMath::vector4& p : text.positions) {
        box[0].x = std::fmin(box[0].x, p.x);
        box[0].y = std::fmin(box[0].y, p.y);
        box[0].z = std::fmin(box[0].z, p.z);
        box[1].x = std::fmax(box[1].x, p.x);
        box[1].y = std::fmax(box[1].y, p.y);
        box[1].z = std::fmax(box[1].z, p.z);
    }
}

// The nearest accepted hit over all triangles in file order (the reference for the tree).
float BruteForceHit(const ObjText& text, const float* o, const float* d, bool flag) {
    const float lower = flag ? -1.0f : 0.0f;
    float best = lower;
    const cMath::vector4* p = text.positions.data();
    for (const tiangle_face& t : text.triangles) {
        const float hit = intersect_triangle(o, d, &p[t.pos0].x, &p[t.pos1].x, &p[t.pos2].x);
        if (hit != -1.0f && hit > lower && (best == lower || hit < best)) best = hit;
    }
    return best;
}

bool SameFloat(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void CheckRay(const OuadTree& tree, const ObjText& text, const float* o, const float* d) {
    for (bool flag : {false, true}) {
        const float from_tree = tree.TestIntersection(text.positions.data(), o, d, flag);
        FUZZ_CHECK(SameFloat(from_tree, BruteForceHit(text, o, d, flag)));
    }
}

void CheckTree(ObjText& text) {
    cMath::vector4 box[2];
    BoundingBox(text, box);
    OuadTree tree;
    tree.GiveBBox(box);
    tree.GiveTriangles(text.triangles.data());
    for (tiangle_face& t : text.triangles) tree.Push(&t, text.positions.data());
    FUZZ_CHECK(tree.CountTriangles() == text.triangles.size());
    tree.Optimize();
    FUZZ_CHECK(tree.CountTriangles() == text.triangles.size());
    FUZZ_CHECK(TreeDepth(tree) <= kQuadTreeMaxDepth + 1);
    if (text.triangles.empty()) return;

    // Straight down through the middle of the box.
    const float cx = (box[0].x + box[1].x) / 2, cz = (box[0].z + box[1].z) / 2;
    const float down_o[3] = {cx, box[1].y + 1.0f, cz};
    const float down_d[3] = {0.0f, -1.0f, 0.0f};
    CheckRay(tree, text, down_o, down_d);
    // Corner to corner.
    const float diag_o[3] = {box[0].x - 1.0f, box[0].y - 1.0f, box[0].z - 1.0f};
    const float diag_d[3] = {box[1].x - diag_o[0], box[1].y - diag_o[1], box[1].z - diag_o[2]};
    CheckRay(tree, text, diag_o, diag_d);
    // Aimed at the middle of the first and of the last triangle.
    for (const tiangle_face* t : {&text.triangles.front(), &text.triangles.back()}) {
        const cMath::vector4& a = text.positions[t->pos0];
        const cMath::vector4& b = text.positions[t->pos1];
        const cMath::vector4& c = text.positions[t->pos2];
        const float m[3] = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
        const float o[3] = {m[0] + 0.3f, m[1] + 1.0f, m[2] + 0.2f};
        const float d[3] = {m[0] - o[0], m[1] - o[1], m[2] - o[2]};
        CheckRay(tree, text, o, d);
    }
}

void CountLines(void* context, uint32_t lines) { *static_cast<uint32_t*>(context) = lines; }

template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool SameText(const ObjText& a, const ObjText& b) {
    if (!SameBytes(a.positions, b.positions) || !SameBytes(a.normals, b.normals) ||
        !SameBytes(a.texcoords, b.texcoords) || !SameBytes(a.triangles, b.triangles) ||
        !SameBytes(a.line_points, b.line_points) || a.directives.size() != b.directives.size()) {
        return false;
    }
    for (size_t i = 0; i < a.directives.size(); ++i) {
        const ObjDirective& x = a.directives[i];
        const ObjDirective& y = b.directives[i];
        if (x.kind != y.kind || x.triangle != y.triangle || x.text != y.text) return false;
    }
    return true;
}

// Feeds the text in blocks of `block` bytes the way the file reader does: each piece up to
// its last line feed, the rest carried into the next piece.
void ParseInBlocks(const char* begin, const char* end, size_t block, ObjText& out) {
    ObjTextState state;
    BeginObjText(state, out);
    const char* p = begin;
    std::string carried;
    while (end - p > 0) {
        const size_t n = std::min(block, size_t(end - p));
        carried.append(p, n);
        p += n;
        const size_t nl = carried.rfind('\n');
        if (nl == std::string::npos) continue;
        FeedObjText(state, carried.data(), carried.data() + nl + 1, false);
        carried.erase(0, nl + 1);
    }
    FeedObjText(state, carried.data(), carried.data() + carried.size(), true);
    FinishObjText(state);
}

// Reads every part after the first on its own and appends them in order on this thread,
// falling back to reading a part in sequence where it cannot be appended: the merging the
// two-thread reader does, without the cost of starting threads on every input.
void ParseDetachedOnThisThread(const std::vector<const char*>& bounds, ObjText& out) {
    const size_t parts = bounds.size() - 1;
    ObjTextState state;
    BeginObjText(state, out);
    FeedObjText(state, bounds[0], bounds[1], parts == 1);
    for (size_t i = 1; i < parts; ++i) {
        const bool last = i + 1 == parts;
        ObjText text;
        ObjTextState part;
        BeginDetachedObjText(part, text);
        FeedObjText(part, bounds[i], bounds[i + 1], last);
        EndDetachedObjText(part);
        if (!AppendDetachedObjText(state, part)) FeedObjText(state, bounds[i], bounds[i + 1], last);
    }
    FinishObjText(state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const char* begin = reinterpret_cast<const char*>(data);
    ObjText text;
    uint32_t hooked = 0;
    ParseObjText(begin, begin + size, text, ObjLineHook{CountLines, &hooked});
    FUZZ_CHECK(hooked <= text.line_count);
    CheckIndices(text);

    // The same text fed in blocks of a size the input chooses, and cut into parts where the
    // input chooses, each part read on its own and appended. One input in 32 is also read on
    // two threads as the file reader does (thread start-up dominates the run time).
    if (size > 0) {
        ObjText blocks;
        ParseInBlocks(begin, begin + size, 1 + data[0] % 64, blocks);
        FUZZ_CHECK(SameText(blocks, text));
        std::vector<size_t> splits;
        const size_t split_count = size_t(1 + data[0] % 3);
        for (size_t i = 1; i <= split_count && i < size; ++i) splits.push_back(size * data[size - i] / 256);
        std::sort(splits.begin(), splits.end());
        ObjText merged;
        ParseDetachedOnThisThread(ObjPartStarts(begin, begin + size, splits), merged);
        FUZZ_CHECK(SameText(merged, text));
        if (size > 1 && data[1] % 32 == 0) {
            for (ObjPartSharing sharing : {ObjPartSharing::kMeetInTheMiddle, ObjPartSharing::kOtherThreadTakesTheRest}) {
                ObjText parts;
                ParseObjTextInParts(begin, begin + size, splits, parts, {}, sharing);
                FUZZ_CHECK(SameText(parts, text));
            }
        }
    }
    CheckTree(text);
    return 0;
}
