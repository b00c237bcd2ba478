// MTL text reader: keyword dispatch, colour and scalar statements, map statements with their
// options skipped.
#include "model/mtl_text.h"

#include "model/text_numbers.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Range {
    const char* p;
    const char* end;
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Keywords and options are matched without regard to letter case: exporters write "kd",
// "Map_Kd" and the like.
bool Equals(const Range& word, const char* text) {
    size_t n = std::strlen(text);
    if (size_t(word.end - word.p) != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (Lower(word.p[i]) != Lower(text[i])) return false;
    }
    return true;
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
constexpr int kUnknownOption = -2;

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
    return kUnknownOption;
}

bool WordIsNumber(const Range& word) { return NumberStartsAt(word.p, word.end); }

bool WordIsOption(const Range& word) { return word.p < word.end && *word.p == '-' && !WordIsNumber(word); }

// One word of a map statement: its place on the line and its text, with the quotes of a
// quoted name removed, "\ " taken as a blank inside the name and any other backslash as a
// folder separator.
struct MapWord {
    Range source;
    std::string text;
    enum Role : uint8_t { kFree, kOption, kArgument, kMaybeArgument } role = kFree;
};

MapWord ReadMapWord(const char* p, const char* end) {
    MapWord w;
    p = SkipBlanks(p, end);
    const char* start = p;
    if (p < end && *p == '"') {
        const char* close = p + 1;
        while (close < end && *close != '"') ++close;
        for (const char* c = p + 1; c < close; ++c) w.text.push_back(*c == '\\' ? '/' : *c);
        p = close < end ? close + 1 : end;
    } else {
        while (p < end && !IsBlank(*p)) {
            if (*p == '\\' && p + 1 < end && p[1] == ' ') {
                w.text.push_back(' ');
                p += 2;
                continue;
            }
            w.text.push_back(*p == '\\' ? '/' : *p);
            ++p;
        }
    }
    w.source = Range{start, p};
    return w;
}

std::vector<MapWord> MapWords(const char* p, const char* end) {
    std::vector<MapWord> words;
    for (;;) {
        MapWord w = ReadMapWord(p, end);
        if (w.source.p >= end) break;
        p = w.source.end;
        words.push_back(std::move(w));
    }
    return words;
}

// Marks options and their arguments. An unknown option takes the numbers after it and, when
// one follows, a word that may be its argument or the name.
void MarkOptions(std::vector<MapWord>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i].text.empty() || !WordIsOption(words[i].source)) continue;
        words[i].role = MapWord::kOption;
        const int count = MapOptionArguments(words[i].source);
        const size_t limit = count == kUpToThreeNumbers ? 3 : count >= 0 ? size_t(count) : words.size();
        size_t taken = 0;
        while (taken < limit && i + 1 < words.size() && !WordIsOption(words[i + 1].source)) {
            const bool number = WordIsNumber(words[i + 1].source);
            if (count == kUnknownOption && !number) {
                words[i + 1].role = MapWord::kMaybeArgument;
                ++i;
                break;
            }
            if (count == kUpToThreeNumbers && !number) break;
            words[++i].role = MapWord::kArgument;
            ++taken;
        }
    }
}

// The image name of a map statement: the first run of words that are neither options nor
// their arguments (written as they stand between its words), or, failing that, the last word
// that an unknown option may have taken.
std::string MapPath(const char* p, const char* end) {
    std::vector<MapWord> words = MapWords(p, end);
    MarkOptions(words);
    std::string path;
    size_t i = 0;
    while (i < words.size() && words[i].role != MapWord::kFree) ++i;
    if (i < words.size()) {
        path = words[i].text;
        for (size_t k = i + 1; k < words.size() && words[k].role == MapWord::kFree; ++k) {
            path.append(words[k - 1].source.end, words[k].source.p);
            path += words[k].text;
        }
    } else {
        for (const MapWord& w : words) {
            if (w.role == MapWord::kMaybeArgument) path = w.text;
        }
    }
    // Blanks inside quotes or escaped at either end are not part of a file name.
    size_t first = 0, last = path.size();
    while (first < last && IsBlank(path[first])) ++first;
    while (last > first && IsBlank(path[last - 1])) --last;
    return path.substr(first, last - first);
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
    std::string path = MapPath(p, end);
    if (path.empty()) return;
    out.maps.push_back(MtlMapStatement{uint32_t(out.materials.size() - 1), uint8_t(unit), std::move(path)});
}

// The end of the line that starts at p: a line feed, a carriage return and line feed, or a
// lone carriage return ends it. `next` is where the following line starts.
const char* LineEnd(const char* p, const char* end, const char*& next) {
    while (p < end && *p != '\n' && *p != '\r') ++p;
    next = p < end ? p + 1 : end;
    if (p < end && *p == '\r' && next < end && *next == '\n') ++next;
    return p;
}

}  // namespace

void ParseMtlText(const char* begin, const char* end, MtlText& out) {
    if (begin == nullptr || end < begin) return;
    const char* p = begin;
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    // A line ending in a backslash goes on with the next one (the backslash becomes a blank).
    std::string joined;
    while (p < end) {
        const char* next = end;
        const char* line_end = LineEnd(p, end, next);
        const bool goes_on = line_end > p && line_end[-1] == '\\';
        if (goes_on || !joined.empty()) {
            joined.append(p, goes_on ? line_end - 1 : line_end);
            if (goes_on) joined.push_back(' ');
            if (!goes_on || next >= end) {
                ReadMtlLine(out, joined.data(), joined.data() + joined.size());
                joined.clear();
            }
        } else {
            ReadMtlLine(out, p, line_end);
        }
        p = next;
    }
}
