// MTL text reader: keyword dispatch, colour and scalar statements, map statements with their
// options skipped.
#include "model/mtl_text.h"

#include "model/text_numbers.h"

#include <cstring>

namespace {

struct Range {
    const char* p;
    const char* end;
};

bool Equals(const Range& word, const char* text) {
    size_t n = std::strlen(text);
    return size_t(word.end - word.p) == n && std::memcmp(word.p, text, n) == 0;
}

const char* SkipBlanks(const char* p, const char* end) {
    while (p < end && IsBlank(*p)) ++p;
    return p;
}

// The next blank-separated word at or after p.
Range NextWord(const char* p, const char* end) {
    p = SkipBlanks(p, end);
    const char* q = p;
    while (q < end && !IsBlank(*q)) ++q;
    return Range{p, q};
}

Range Trimmed(const char* p, const char* end) {
    p = SkipBlanks(p, end);
    while (end > p && IsBlank(end[-1])) --end;
    return Range{p, end};
}

void ReadTriple(float* out, const char* p, const char* end) {
    for (int i = 0; i < 3; ++i) out[i] = ScanFloat(p, end);
}

// illum: the written number minus one, taken as unsigned, limited to 2 (so 0 gives 2,
// 1 gives 0, 2 gives 1 and 3 or more give 2).
float IllumValue(const char* p, const char* end) {
    float value = float(ScanIndexMinusOne(p, end));
    return value > 2.0f ? 2.0f : value;
}

constexpr int kUpToThreeNumbers = -1;
constexpr int kAnyNumbers = -2;

// How many words follow a map option.
int MapOptionArguments(const Range& option) {
    static const struct {
        const char* name;
        int count;
    } kOptions[] = {
        {"-blendu", 1}, {"-blendv", 1}, {"-bm", 1},
        {"-boost", 1},  {"-cc", 1},     {"-clamp", 1},
        {"-imfchan", 1}, {"-texres", 1}, {"-type", 1},
        {"-mm", 2},     {"-o", kUpToThreeNumbers}, {"-s", kUpToThreeNumbers},
        {"-t", kUpToThreeNumbers},
    };
    for (const auto& o : kOptions) {
        if (Equals(option, o.name)) return o.count;
    }
    return kAnyNumbers;
}

bool WordIsNumber(const Range& word) { return NumberStartsAt(word.p, word.end); }

// Skips the numbers after an option: at most `limit` of them.
const char* SkipNumbers(const char* p, const char* end, int limit) {
    for (int i = 0; i < limit; ++i) {
        Range arg = NextWord(p, end);
        if (arg.p >= end || !WordIsNumber(arg)) break;
        p = arg.end;
    }
    return p;
}

// The image path of a map statement: the rest of the line after the options.
Range MapPath(const char* p, const char* end) {
    for (;;) {
        Range word = NextWord(p, end);
        if (word.p >= end || *word.p != '-' || WordIsNumber(word)) break;
        p = word.end;
        int count = MapOptionArguments(word);
        if (count == kUpToThreeNumbers) {
            p = SkipNumbers(p, end, 3);
        } else if (count == kAnyNumbers) {
            p = SkipNumbers(p, end, int(end - p));
        } else {
            for (int i = 0; i < count; ++i) p = NextWord(p, end).end;
        }
    }
    return Trimmed(p, end);
}

int MapUnit(const Range& keyword) {
    if (Equals(keyword, "map_d")) return kMapAlpha;
    if (Equals(keyword, "map_Ka")) return kMapAmbient;
    if (Equals(keyword, "map_Bump") || Equals(keyword, "map_bump") || Equals(keyword, "bump")) return kMapBump;
    if (Equals(keyword, "map_Kd")) return kMapDiffuse;
    if (Equals(keyword, "map_Ke")) return kMapEmissive;
    if (Equals(keyword, "map_Ns")) return kMapShininess;
    if (Equals(keyword, "map_Ks")) return kMapSpecular;
    return -1;
}

// A statement of the current material; false when the keyword is not a value statement.
bool ReadValueStatement(material& m, const Range& keyword, const char* p, const char* end) {
    if (Equals(keyword, "Ka")) ReadTriple(m.Ka, p, end);
    else if (Equals(keyword, "Kd")) ReadTriple(m.Kd, p, end);
    else if (Equals(keyword, "Ks")) ReadTriple(m.Ks, p, end);
    else if (Equals(keyword, "Ke")) ReadTriple(m.Ke, p, end);
    else if (Equals(keyword, "Tf")) ReadTriple(m.Tf, p, end);
    else if (Equals(keyword, "illum")) m.illum = IllumValue(p, end);
    else if (Equals(keyword, "Ns")) m.Ns = ScanFloat(p, end);
    else if (Equals(keyword, "d")) m.d = ScanFloat(p, end);
    else if (Equals(keyword, "Ni")) m.Ni = ScanFloat(p, end);
    else return false;
    return true;
}

void ReadMtlLine(MtlText& out, const char* p, const char* end) {
    Range keyword = NextWord(p, end);
    if (keyword.p >= end) return;
    p = keyword.end;
    if (Equals(keyword, "newmtl")) {
        out.materials.emplace_back();
        Range name = Trimmed(p, end);
        out.materials.back().name.assign(name.p, name.end);
        return;
    }
    if (out.materials.empty()) return;
    material& current = out.materials.back();
    if (ReadValueStatement(current, keyword, p, end)) return;
    int unit = MapUnit(keyword);
    if (unit < 0) return;
    Range path = MapPath(p, end);
    if (path.p >= path.end) return;
    out.maps.push_back(MtlMapStatement{uint32_t(out.materials.size() - 1), uint8_t(unit),
                                       std::string(path.p, path.end)});
}

}  // namespace

void ParseMtlText(const char* begin, const char* end, MtlText& out) {
    if (begin == nullptr || end < begin) return;
    const char* p = begin;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* line_end = nl ? nl : end;
        ReadMtlLine(out, p, line_end);
        if (!nl) break;
        p = nl + 1;
    }
}
