// Character classes of the ANSI code page for the tokenizer's hot path: letters,
// letters-or-digits, lower-case forms and DBCS lead bytes, taken once per process from
// the system so that scanning a line makes no system calls; and the case-blind name hash
// built on the lower-case forms.
#pragma once

#include <cstddef>
#include <cstdint>

struct CharClassTable {
    uint8_t cls[256];       // CC_* bits
    char lower[256];        // CharLowerA of the single character
    uint32_t built;
};

enum : uint8_t {
    CHC_ALPHA = 0x01,        // IsCharAlphaA
    CHC_ALNUM = 0x02,        // IsCharAlphaNumericA
    CHC_DIGIT = 0x04,        // '0'-'9'
    CHC_LEAD = 0x08,         // IsDBCSLeadByte
    CHC_WORD = 0x10,         // letter, digit, '@' or '_' (a word of the keyword lookup)
};

extern CharClassTable g_CharClass;

void BuildCharClassTable();

inline const CharClassTable& CharClasses()
{
    if (!g_CharClass.built)
        BuildCharClassTable();
    return g_CharClass;
}

inline bool IsAlphaChar(char c) { return CharClasses().cls[uint8_t(c)] & CHC_ALPHA; }
inline bool IsAlnumChar(char c) { return CharClasses().cls[uint8_t(c)] & CHC_ALNUM; }
inline bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
inline bool IsWordChar(char c) { return CharClasses().cls[uint8_t(c)] & CHC_WORD; }
inline bool IsLeadByte(char c) { return CharClasses().cls[uint8_t(c)] & CHC_LEAD; }
inline char LowerChar(char c) { return CharClasses().lower[uint8_t(c)]; }

// Past the balanced group of square brackets that starts at p ('['), skipping quoted texts
// and double-byte pairs; nullptr when the line ends first.
inline const char* SkipBracketGroup(const char* p)
{
    int depth = 0;
    char quote = 0;
    for (;; ++p) {
        char c = *p;
        if (c == 0)
            return nullptr;
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (IsLeadByte(c) && p[1]) {
            ++p;
            continue;
        }
        if (c == '"' || c == '\'' || c == '`')
            quote = c;
        else if (c == '[')
            ++depth;
        else if (c == ']' && --depth == 0)
            return p + 1;
    }
}

// Past the groups of square brackets that follow one another from p ('['); nullptr when
// the line ends inside one.
inline const char* SkipBracketGroups(const char* p)
{
    while (p && *p == '[')
        p = SkipBracketGroup(p);
    return p;
}

// Character n of the name key of a variable name: a first byte of 0x80 or above stays as
// it is, every other character is lower-cased.
inline char NameKeyChar(const char* name, size_t n)
{
    return (n == 0 && (uint8_t(name[0]) & 0x80)) ? name[0] : LowerChar(name[n]);
}

// 32-bit FNV-1a of the text's bytes in lower case (LowerChar), over at most `limit` bytes:
// names that differ only in case hash alike.
inline uint32_t LowerCaseHash(const char* text, size_t limit = SIZE_MAX)
{
    const char* lower = CharClasses().lower;
    uint32_t h = 0x811C9DC5u;
    for (size_t n = 0; n < limit && text[n]; ++n)
        h = (h ^ static_cast<uint8_t>(lower[static_cast<uint8_t>(text[n])])) * 0x01000193u;
    return h;
}
