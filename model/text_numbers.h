// Number readers for the OBJ and MTL text readers. Each works on a byte range [p, end),
// skips whatever cannot begin a number, reads one number and moves p past it. They never
// read outside the range, never allocate and keep no state.
#pragma once

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstdint>

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

// Reads the decimal number that starts at p (NumberStartsAt(p, end) must hold): sign,
// digits, fraction and exponent, correctly rounded to float. Values too large for a float
// read as 0, so that a broken file cannot put infinities into a model.
inline float ReadNumberAt(const char*& p, const char* end) {
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
