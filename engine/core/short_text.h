// Comparisons of short texts (keyword names, variable name keys) done inline: the
// tokenizer compares a few bytes per token, and a call into the C runtime for each of
// them costs more than the comparison (the platform's runtime compares byte by byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first n bytes of a and b are equal.
inline bool SameBytes(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// memcmp's answer for the first n bytes (bytes compared as unsigned).
inline int CompareBytes(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

// strcmp(a, b) == 0.
inline bool SameText(const char* a, const char* b)
{
    for (size_t i = 0;; ++i) {
        if (a[i] != b[i])
            return false;
        if (a[i] == 0)
            return true;
    }
}

// Copies n bytes, N <= n <= 2N, as two copies of N bytes that overlap in the middle.
template <size_t N>
inline void CopyBothEnds(char* to, const char* from, size_t n)
{
    char head[N], tail[N];
    std::memcpy(head, from, N);
    std::memcpy(tail, from + n - N, N);
    std::memcpy(to, head, N);
    std::memcpy(to + n - N, tail, N);
}

// memcpy for the few bytes of a name or token: copies of a fixed size are made inline, the
// runtime's copy is only called for longer runs.
inline void CopyBytes(char* to, const char* from, size_t n)
{
    if (n > 32) {
        std::memcpy(to, from, n);
    } else if (n >= 16) {
        CopyBothEnds<16>(to, from, n);
    } else if (n >= 8) {
        CopyBothEnds<8>(to, from, n);
    } else if (n >= 4) {
        CopyBothEnds<4>(to, from, n);
    } else if (n > 0) {
        char a = from[0], b = from[n / 2], c = from[n - 1];
        to[0] = a;
        to[n / 2] = b;
        to[n - 1] = c;
    }
}

// strcmp(a, b) == 0 for texts held in buffers of `size` bytes each (a path and a path):
// eight bytes are compared at a time, never past the buffers.
inline bool SameTextIn(const char* a, const char* b, size_t size)
{
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        // A zero byte in x: the text ends in this word; the bytes up to it decide.
        bool ends = ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
        if (x != y || ends)
            return SameText(a + i, b + i);
    }
    for (; i < size; ++i) {
        if (a[i] != b[i])
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
}

// The text holds the character c before its end.
inline bool HasChar(const char* text, char c)
{
    for (; *text; ++text)
        if (*text == c)
            return true;
    return false;
}
