#include "tools/assets/advance.h"

#include <algorithm>
#include <cstring>

namespace morva_assets {

namespace {

bool In(const char* set, unsigned char c) { return c != 0 && std::strchr(set, c) != nullptr; }

}  // namespace

Fraction TextAdvance(unsigned char c) {
    if (In(".:I", c)) return {1, 4};
    if (In("Jfijlrt", c)) return {1, 3};
    if (In(" ,13456789*+-2[ACFOPabcdeghknopqsuvxyz", c)) return {1, 2};
    if (c == '0') return {3, 5};
    if (In("QS", c)) return {2, 3};
    if (In("BDEGHKLMNRTUVXYZmw", c)) return {3, 4};
    if (c == 'W') return {5, 6};
    return {1, 1};
}

Fraction FlipAdvance(unsigned char c) {
    if (c == '.') return {1, 4};
    if (In("/123456789", c)) return {1, 2};
    if (c == '0') return {3, 5};
    if (In("Km", c)) return {3, 4};
    return {1, 1};
}

double GlyphSlot(unsigned char c) {
    return std::min(TextAdvance(c).value(), FlipAdvance(c).value());
}

}  // namespace morva_assets
