// Fuzz target: the MTL text reader. Checks that every map statement names an existing
// material and a texture unit, with a path that has no outer blanks, that names carry no
// outer blanks, that illum is one of 0, 1, 2 and that every value read is finite.
#include "tests/fuzz/fuzz_check.h"

#include "model/mtl_text.h"
#include "model/text_numbers.h"

#include <cmath>

namespace {

bool NoOuterBlanks(const std::string& s) { return s.empty() || (!IsBlank(s.front()) && !IsBlank(s.back())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const char* begin = reinterpret_cast<const char*>(data);
    MtlText text;
    ParseMtlText(begin, begin + size, text);
    for (const MtlMapStatement& map : text.maps) {
        FUZZ_CHECK(map.material < text.materials.size());
        FUZZ_CHECK(map.unit < kMaterialMapCount);
        FUZZ_CHECK(!map.path.empty() && NoOuterBlanks(map.path));
        FUZZ_CHECK(map.path.find('\n') == std::string::npos);
    }
    for (const material& m : text.materials) {
        FUZZ_CHECK(NoOuterBlanks(m.name));
        FUZZ_CHECK(m.name.find('\n') == std::string::npos);
        float values[kMaterialFloatCount];
        MaterialValues(m, values);
        for (float v : values) FUZZ_CHECK(std::isfinite(v));
        FUZZ_CHECK(m.illum == 0.0f || m.illum == 1.0f || m.illum == 2.0f);
        int units[kMaterialMapCount];
        MaterialUnits(m, units);
        for (int u : units) FUZZ_CHECK(u == 0);  // maps are resolved by the loader, not here
    }
    return 0;
}
