// Number readers for the OBJ and MTL text readers. Each works on a byte range [p, end),
// skips whatever cannot begin a number, reads one number and moves p past it. They never
// read outside the range, never allocate and keep no state.
#pragma once

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

inline bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// True when a number starts at p: a digit, a dot before a digit, or a sign before either.
inline bool NumberStartsAt(const char* p, const char* end) {
    if (p >= end) return false;
    char c = *p;
    if (IsDecimalDigit(c)) return true;
    if (c == '-' || c == '+') {
        ++p;
        if (p >= end) return false;
        c = *p;
        if (IsDecimalDigit(c)) return true;
    }
    return c == '.' && p + 1 < end && IsDecimalDigit(p[1]);
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Powers of ten that a 64-bit integer holds.
constexpr uint64_t kIntegerPowersOfTen[20] = {
    1ull,          10ull,          100ull,          1000ull,          10000ull,
    100000ull,     1000000ull,     10000000ull,     100000000ull,     1000000000ull,
    10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull, 100000000000000ull,
    1000000000000000ull, 10000000000000000ull, 100000000000000000ull, 1000000000000000000ull,
    10000000000000000000ull};

// Index of the lowest set bit of a word that is not zero (a compiler intrinsic on each
// compiler the project builds with).
inline unsigned LowestSetBit(uint64_t x) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index = 0;
    _BitScanForward64(&index, x);
    return unsigned(index);
#else
    return unsigned(__builtin_ctzll(x));
#endif
}

// The digits among the eight bytes at p, up to the first byte that is not one: their count
// (0 to 8) and value. The eight bytes are loaded at once, the digits found by bit masks and
// combined by three multiplications.
inline unsigned EightDigits(const char* p, uint64_t& value) {
    uint64_t chunk;
    std::memcpy(&chunk, p, sizeof chunk);
    // Digits become bytes 0 to 9. A byte below '0' borrows from the byte after it in the
    // subtraction, and one of 10 or more may carry into the byte after it in the test: both
    // change only bytes after the first that is not a digit, which are never used.
    const uint64_t x = chunk - 0x3030303030303030ull;
    const uint64_t not_digit = (x | (x + 0x7676767676767676ull)) & 0x8080808080808080ull;
    const unsigned n = not_digit ? LowestSetBit(not_digit) >> 3 : 8u;
    if (n == 0) {
        value = 0;
        return 0;
    }
    uint64_t v = x << (8 * (8 - n));  // the digits as if led by zeros
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
    v = ((v & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
    value = v;
    return n;
}

// Reads the run of decimal digits at p and counts them; the value is exact for up to 19
// digits. The run ends at `end` at the latest. While eight bytes up to `readable_end` remain
// they are examined at once, which is safe because a byte at `end` before `readable_end` is
// never a digit (a line end).
inline uint64_t ReadDigits(const char*& p, const char* end, const char* readable_end, size_t& count) {
    uint64_t value = 0;
    count = 0;
    while (readable_end - p >= 8) {
        uint64_t part;
        const unsigned n = EightDigits(p, part);
        value = value * kIntegerPowersOfTen[n] + part;
        count += n;
        p += n;
        if (n < 8) return value;
    }
    while (p < end && IsDecimalDigit(*p)) {
        value = value * 10 + uint64_t(*p - '0');
        ++count;
        ++p;
    }
    return value;
}

// Fast path for the common form [-]digits[.digits] without exponent. Digits worth at most
// 2^24 with at most 10 after the dot: value / 10^fraction_digits is one exactly rounded float
// division. Otherwise, with at most 19 digits worth less than 2^53, it is one exactly rounded
// double division, and that double rounds to the same float as the decimal unless it lies
// exactly halfway between two floats. False (p unchanged) for that case and every other form; the
// caller then uses the general parser. `readable_end` as for ReadDigits.
inline bool ReadPlainDecimal(const char*& p, const char* end, const char* readable_end, float& out) {
    const char* q = p;
    const bool negative = q < end && *q == '-';
    if (negative) ++q;
    size_t int_digits = 0;
    uint64_t m = ReadDigits(q, end, readable_end, int_digits);
    size_t fraction_digits = 0;
    if (q < end && *q == '.') {
        ++q;
        const uint64_t fraction = ReadDigits(q, end, readable_end, fraction_digits);
        if (int_digits + fraction_digits > 19) return false;
        m = m * kIntegerPowersOfTen[fraction_digits] + fraction;
    }
    const size_t digits = int_digits + fraction_digits;
    if (digits == 0 || digits > 19) return false;
    if (q < end && (*q == 'e' || *q == 'E')) return false;
    if (m <= (uint64_t(1) << 24) && fraction_digits <= 10) {
        // Both operands exact as floats: one float division rounds correctly by itself.
        const float v = float(m) / float(kExactPowersOfTen[fraction_digits]);
        out = negative ? -v : v;
        p = q;
        return true;
    }
    if (m > (uint64_t(1) << 53)) return false;
    const double d = double(m) / kExactPowersOfTen[fraction_digits];
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    // The 29 mantissa bits a float drops are exactly one half: a tie only the decimal can settle.
    if ((bits & 0x1FFFFFFFu) == 0x10000000u) return false;
    const float v = float(d);
    out = negative ? -v : v;
    p = q;
    return true;
}

// The common short decimal of a model file, [-]digits[.digits] with fewer than eight digits
// on either side of the dot, read with one eight-byte load per side and no loop; `end` is
// the end of the line (or of the range the caller may read) and at least eight bytes beyond
// the dot must be readable. The number must end at a blank, a line end or `end`. False, p
// unchanged, for anything else (the caller then reads it the general way).
inline bool ReadShortDecimal(const char*& p, const char* end, float& out) {
    const char* q = p;
    const bool negative = *q == '-';
    q += negative;
    uint64_t whole = 0, fraction = 0;
    const unsigned whole_digits = EightDigits(q, whole);
    q += whole_digits;
    unsigned fraction_digits = 0;
    if (*q == '.') {
        fraction_digits = EightDigits(q + 1, fraction);
        q += 1 + fraction_digits;
    }
    if (whole_digits == 8 || fraction_digits == 8 || whole_digits + fraction_digits == 0 || q > end ||
        (q < end && *q != ' ' && *q != '\t' && *q != '\n' && *q != '\r')) {
        return false;
    }
    const uint64_t m = whole * kIntegerPowersOfTen[fraction_digits] + fraction;
    float v = 0.0f;
    if (m <= (uint64_t(1) << 24)) {
        v = float(m) / float(kExactPowersOfTen[fraction_digits]);
    } else {
        const double d = double(m) / kExactPowersOfTen[fraction_digits];
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        if ((bits & 0x1FFFFFFFu) == 0x10000000u) return false;
        v = float(d);
    }
    out = negative ? -v : v;
    p = q;
    return true;
}

// Reads the decimal number that starts at p (NumberStartsAt(p, end) must hold): sign,
// digits, fraction and exponent, correctly rounded to float. Values too large for a float
// read as 0, so that a broken file cannot put infinities into a model.
inline float ReadNumberAt(const char*& p, const char* end) {
    float plain = 0.0f;
    if (ReadPlainDecimal(p, end, end, plain)) return plain;
    bool plus = *p == '+';
    const char* first = plus ? p + 1 : p;
    float value = 0.0f;
    fast_float::from_chars_result r = fast_float::from_chars(first, end, value);
    if (r.ec != std::errc()) {
        // Out of range: the number was read whole; invalid cannot happen for a valid start,
        // but stepping over one character keeps the scan going.
        p = r.ptr > first ? r.ptr : p + 1;
        return 0.0f;
    }
    p = r.ptr;
    return std::isfinite(value) ? value : 0.0f;
}

// Reads the next number at or after p; 0 when the range holds no further number (p is then
// left at end).
inline float ScanFloat(const char*& p, const char* end) {
    while (p < end && !NumberStartsAt(p, end)) ++p;
    if (p >= end) return 0.0f;
    return ReadNumberAt(p, end);
}

// Reads the next run of decimal digits at or after p and returns its value minus one as an
// unsigned 32-bit number (a written 0 gives 4294967295); digits beyond 32 bits wrap. A range
// without further digits gives 0.
inline uint32_t ScanIndexMinusOne(const char*& p, const char* end) {
    while (p < end && !IsDecimalDigit(*p)) ++p;
    if (p >= end) return 0;
    uint32_t value = 0;
    while (p < end && IsDecimalDigit(*p)) {
        value = value * 10u + uint32_t(*p - '0');
        ++p;
    }
    return value - 1u;
}
