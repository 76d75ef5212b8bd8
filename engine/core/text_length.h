// Lengths of NUL-terminated texts, sixteen bytes at a time, for the texts of the string
// heap that may be long (a result list grown line by line): the C runtime's strlen and
// wcslen of some platforms walk one character at a time, which made a long text's length
// cost ten times its copy.
//
// The loads are 16-byte aligned, so a load never reaches into a page that the text does
// not reach: at most the rest of the aligned chunk that holds the terminator is read.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

inline size_t TextLength(const char* text)
{
    const char* p = text;
    while (reinterpret_cast<uintptr_t>(p) & 15) {
        if (*p == 0)
            return static_cast<size_t>(p - text);
        ++p;
    }
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        __m128i chunk = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero)));
        if (mask)
            return static_cast<size_t>(p - text) + static_cast<size_t>(__builtin_ctz(mask));
        p += 16;
    }
}

inline size_t TextLength(const wchar_t* text)
{
    const wchar_t* p = text;
    if (reinterpret_cast<uintptr_t>(p) & 1) {   // not on a character boundary: one by one
        while (*p)
            ++p;
        return static_cast<size_t>(p - text);
    }
    while (reinterpret_cast<uintptr_t>(p) & 15) {
        if (*p == 0)
            return static_cast<size_t>(p - text);
        ++p;
    }
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        __m128i chunk = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(chunk, zero)));
        if (mask)
            return static_cast<size_t>(p - text) + static_cast<size_t>(__builtin_ctz(mask)) / 2;
        p += 8;
    }
}

// A cheap fingerprint of a text whose length is known: some 64 units spread over it and its
// last 16. A text kept in place is told from one that changed there with a high chance, at
// a cost that does not grow with the text.
template <typename C>
uint32_t TextSample(const C* text, size_t units)
{
    uint32_t h = 0x811C9DC5u ^ static_cast<uint32_t>(units);
    size_t step = units / 64 + 1;
    for (size_t i = 0; i < units; i += step)
        h = (h ^ static_cast<uint16_t>(text[i])) * 16777619u;
    for (size_t i = units > 16 ? units - 16 : 0; i < units; ++i)
        h = (h ^ static_cast<uint16_t>(text[i])) * 16777619u;
    return h;
}
