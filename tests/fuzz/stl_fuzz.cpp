// Fuzz target: the STL reader. Checks that every index is valid, that every position and
// normal is finite, that normals are at most one file unit long (1/50), and that binary or
// ASCII input the detection accepts is read.
#include "tests/fuzz/fuzz_check.h"

#include "model/stl_text.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const char* begin = reinterpret_cast<const char*>(data);
    ObjText text;
    const bool read = ParseStl(begin, begin + size, text);
    FUZZ_CHECK(read == (DetectStl(begin, size, size) != StlKind::kNotStl));
    const size_t npos = text.positions.size();
    const size_t nuv = text.texcoords.size();
    const size_t nnrm = text.normals.size();
    FUZZ_CHECK(nuv == (text.triangles.empty() ? 0u : 1u));
    FUZZ_CHECK(text.normals_in_file <= nnrm);
    for (const tiangle_face& t : text.triangles) {
        FUZZ_CHECK(t.pos0 < npos && t.pos1 < npos && t.pos2 < npos);
        FUZZ_CHECK(t.uv0 < nuv && t.uv1 < nuv && t.uv2 < nuv);
        FUZZ_CHECK(t.nrm0 < nnrm && t.nrm1 < nnrm && t.nrm2 < nnrm);
    }
    for (const cMath::vector4& p : text.positions) {
        FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
    for (const cMath::vector4& n : text.normals) {
        FUZZ_CHECK(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
        FUZZ_CHECK(n.x * n.x + n.y * n.y + n.z * n.z <= 0.0201f * 0.0201f);
    }
    return 0;
}
