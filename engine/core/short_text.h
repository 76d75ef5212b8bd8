// Comparisons of short texts (keyword names, variable name keys) done inline: the
// tokenizer compares a few bytes per token, and a call into the C runtime for each of
// them costs more than the comparison (the platform's runtime compares byte by byte).
#pragma once

#include <cstddef>

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

// The text holds the character c before its end.
inline bool HasChar(const char* text, char c)
{
    for (; *text; ++text)
        if (*text == c)
            return true;
    return false;
}
