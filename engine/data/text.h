// Text helpers shared by the text built-ins and by the rest of the engine: the growable
// text buffer, character counting and walking in the system's ANSI code page, substring and
// character search, character comparisons, the wildcard matcher, the wide comparison of
// the string built-ins and the one-byte item helpers.
//
// ANSI text is walked and case-folded as the system walks and folds it (CharNextA,
// CharPrevA, IsDBCSLeadByte, CharUpperA, CharLowerA of its ANSI code page): where that code
// page has lead bytes, a character is one byte or a lead byte and its trail byte, and the
// walkers here never split such a pair. The context code page (ctx->nCodePage, set by
// ChrSetCodePage) governs only conversions between ANSI and wide text and the wide
// comparison below; it never changes how ANSI text is walked or folded. Helpers taking a
// context accept a null one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "engine/core/errors.h"
#include "engine/core/router.h"   // IsUnicodeMode
#include "engine/core/text_length.h"

// ---------------------------------------------------------------- code page tables

// What the system answers for each byte of its ANSI code page, built once for the process,
// so that the walkers look bytes up rather than call the system per byte.
struct CodePageTables {
    UINT codePage;        // the code page the tables describe
    bool dbcs;            // it has lead bytes
    bool isAnsi;          // it is the system's ANSI code page (false only under a test's code page)
    uint8_t lead[256];    // 1 for a lead byte (IsDBCSLeadByte)
    uint8_t upper[256];   // CharUpperA of the byte (a lead byte maps to itself)
    uint8_t lower[256];   // CharLowerA of the byte
};

// The tables of the system's ANSI code page. The context is not read: ChrSetCodePage
// changes conversions only.
const CodePageTables& TextTables(BDS* ctx);

// Tests only: walk and fold ANSI text as a system whose ANSI code page is `codePage`
// would (0: the real system's again); answers the code page in use before.
UINT SetTextCodePageForTest(UINT codePage);

// Bytes of the character at p: 2 for a lead byte followed by a trail byte, 1 otherwise,
// 0 at the terminating NUL.
inline int CharBytes(const CodePageTables& t, const char* p)
{
    uint8_t b = static_cast<uint8_t>(*p);
    if (b == 0) return 0;
    return (t.lead[b] && p[1] != 0) ? 2 : 1;
}

// The next character, staying on the terminating NUL (the system's next-character rule).
inline const char* CharStep(const CodePageTables& t, const char* p)
{
    return p + CharBytes(t, p);
}

// The characters of a list as a set, for tests of many characters against one list (a scan
// of the list for each character costs the list's length times the text's). `has` answers
// whether CharEqualA (or, wide, unit equality, folded without case) finds the character
// at p in the list.
struct CharListSet {
    CharListSet(const CodePageTables& t, const char* list, bool noCase);
    CharListSet(const wchar_t* list, bool noCase);
    ~CharListSet();
    CharListSet(const CharListSet&) = delete;
    CharListSet& operator=(const CharListSet&) = delete;
    bool has(const char* p) const;
    bool has(const wchar_t* p) const;

private:
    const CodePageTables* tables;
    bool noCase;
    const void* list;   // scanned instead when the sets could not be allocated
    uint64_t* bits;     // three sets of 65536 keys: single units or bytes, byte pairs, folded pairs
};

// Character walkers, for code that the ANSI and the wide twins share: `size` answers the
// code units of the character at p (0 at the end), `same` compares two characters.
struct NarrowChars {
    using Char = char;
    const CodePageTables& t;
    int size(const char* p) const { return CharBytes(t, p); }
    bool same(const char* a, const char* b, bool noCase) const;
    bool at(const char* p, const char* pattern, bool noCase) const;
};

struct WideChars {
    using Char = wchar_t;
    int size(const wchar_t* p) const { return *p ? 1 : 0; }
    bool same(const wchar_t* a, const wchar_t* b, bool noCase) const;
    bool at(const wchar_t* p, const wchar_t* pattern, bool noCase) const;
};

// The set of a list, for code that the ANSI and the wide twins share.
inline CharListSet ListSet(const NarrowChars& w, const char* list, bool noCase)
{
    return CharListSet(w.t, list, noCase);
}

inline CharListSet ListSet(const WideChars&, const wchar_t* list, bool noCase)
{
    return CharListSet(list, noCase);
}

// ---------------------------------------------------------------- text buffer

// A growable ANSI text buffer, owned by its user (usually on the stack). The data
// pointer addresses the inline array until the first growth.
struct StrBuilder {
    char* data;
    char inlineBuf[256];
    uint32_t capacity;    // bytes available at data
    uint32_t length;      // bytes of text, without the NUL
};

void StrBuilderInit(StrBuilder* builder);
// Answers 1, or 0 with 1588 when memory runs out (the builder is then unchanged).
int StrBuilderAppend(BDS* ctx, StrBuilder* builder, const char* text);
int StrBuilderAppendN(BDS* ctx, StrBuilder* builder, const char* text, size_t length);
void StrBuilderFree(StrBuilder* builder);

// ---------------------------------------------------------------- counting

// Characters of ANSI text (a double-byte character counts once).
int CharCountA(BDS* ctx, const char* text);
// UTF-16 units of wide text.
int StrLenW(const wchar_t* text);

// Byte offset of every character of ANSI text, for the position-based built-ins.
// Without lead bytes in the code page no table is made and positions are bytes.
class CharOffsets {
public:
    CharOffsets(BDS* ctx, const char* text);
    ~CharOffsets();
    CharOffsets(const CharOffsets&) = delete;
    CharOffsets& operator=(const CharOffsets&) = delete;

    bool ok() const { return ok_; }     // false: the table could not be allocated
    int count() const { return count_; }
    // Byte offset of character i (0-based, 0..count; count gives the byte length).
    size_t at(int i) const { return table_ ? table_[i] : static_cast<size_t>(i); }

private:
    uint32_t* table_ = nullptr;
    int count_ = 0;
    bool ok_ = true;
};

// ---------------------------------------------------------------- searching
// Each answers a pointer into the text, or null (also for an empty text or pattern).
// ANSI searches walk by character, so a match never begins on a trail byte.

const char* FindCharA(BDS* ctx, const char* text, char byte);         // by character
const wchar_t* FindCharW(const wchar_t* text, wchar_t unit);
const char* FindSubstringA(BDS* ctx, const char* text, const char* pattern);
const wchar_t* FindSubstringW(const wchar_t* text, const wchar_t* pattern);
const char* FindSubstringNoCaseA(BDS* ctx, const char* text, const char* pattern);
const wchar_t* FindSubstringNoCaseW(const wchar_t* text, const wchar_t* pattern);
const char* LastCharPtrA(BDS* ctx, const char* text);    // the text itself when empty
const wchar_t* LastCharPtrW(const wchar_t* text);
const char* FindLastCharA(BDS* ctx, const char* text, char byte);
const char* LastNonBlankA(BDS* ctx, const char* text);    // last character not blank or tab
const char* FindLastSlashA(BDS* ctx, const char* path);   // last \ or /
const wchar_t* FindLastSlashW(const wchar_t* path);
const char* FindLastPathSepA(BDS* ctx, const char* path); // last \, / or :
const wchar_t* FindLastPathSepW(const wchar_t* path);

// The next character; on the terminating NUL the byte after it (so that a caller can step
// from one NUL-separated string to the next).
const char* NextCharA(BDS* ctx, const char* p);

// ---------------------------------------------------------------- character comparisons
// Each compares the characters at a and b and answers 1 for equal.

int CharEqualDbcs(BDS* ctx, const char* a, const char* b);
int CharEqualNoCaseA(BDS* ctx, const char* a, const char* b);
int CharEqualW(const wchar_t* a, const wchar_t* b);
int CharEqualNoCaseW(const wchar_t* a, const wchar_t* b);

// The same over prepared tables, for loops.
bool CharEqualA(const CodePageTables& t, const char* a, const char* b, bool noCase);
// Whether the characters of a non-empty pattern stand at p.
bool MatchesAtA(const CodePageTables& t, const char* p, const char* pattern, bool noCase);
bool MatchesAtW(const wchar_t* p, const wchar_t* pattern, bool noCase);
wchar_t FoldUnitW(wchar_t unit);   // upper case of one UTF-16 unit

// The value of an ASCII hex digit of either case in either width; -1 for anything else.
template <typename C>
constexpr int HexDigitValue(C c)
{
    if (c >= C('0') && c <= C('9'))
        return c - C('0');
    if (c >= C('a') && c <= C('f'))
        return c - C('a') + 10;
    if (c >= C('A') && c <= C('F'))
        return c - C('A') + 10;
    return -1;
}


// ---------------------------------------------------------------- wildcard matching

// Length of the part of the text that the pattern covers from the text's start (bytes for
// ANSI, units for wide), or 0 for no match. `*` covers any run, `?` one character, other
// characters match without regard to case. Anchored at the start only and without
// backtracking: a literal run after `*` is taken at its first place.
int WildMatchA(BDS* ctx, const char* text, const char* pattern);
int WildMatchW(BDS* ctx, const wchar_t* text, const wchar_t* pattern);
// The same over the first `length` bytes (units) of a text, for items of a list.
int WildMatchNA(BDS* ctx, const char* text, size_t length, const char* pattern);
int WildMatchNW(BDS* ctx, const wchar_t* text, size_t length, const wchar_t* pattern);

// ---------------------------------------------------------------- wide comparison

// The wide comparison of the string built-ins: lstrcmpW / lstrcmpiW in Unicode mode,
// else both texts converted to the context code page and compared with lstrcmpA /
// lstrcmpiA. Answers below 0, 0 or above 0.
int CompareWideText(BDS* ctx, const wchar_t* a, const wchar_t* b, bool noCase);
// The same over counted texts (items of a list), and lstrcmpA / lstrcmpiA over counted
// ANSI texts.
int CompareWideTextN(BDS* ctx, const wchar_t* a, size_t la, const wchar_t* b, size_t lb, bool noCase);
int CompareTextNA(const char* a, size_t la, const char* b, size_t lb, bool noCase);
// Adds to `keys` (sort_keys.h) the sort key under which CompareWideTextN orders the text
// (CompareTextNA's are SortKeysAddNarrow's); false when there is none to be had (the
// caller then compares with the function itself).
struct SortKeys;
bool AddWideTextSortKey(BDS* ctx, SortKeys* keys, const wchar_t* text, size_t length, bool noCase);

// ---------------------------------------------------------------- one-byte item helpers
// Lists delimited by a one-byte character (walked by character: a trail byte is never
// taken for the delimiter).

// Copies item n (1-based) into out (at most outSize - 1 bytes; longer items are cut).
// Answers 0 when out is null or outSize 0 (nothing written), or when the list is null or n
// is 0 (out then holds empty text); else 1, with empty text when n is past the last item.
int ItemCopyA(BDS* ctx, const char* list, char delimiter, int n, char* out, size_t outSize);

// Item n read as an integer (blanks, optional sign, digits, blanks). Text that is not such
// an integer sets 1688 and answers 0; a null list, n of 0 or n past the last item answer 0
// without an error.
int32_t ItemToIntegerA(BDS* ctx, const char* list, char delimiter, int n);

// ---------------------------------------------------------------- results

// Makes the result a fresh heap text of `length` characters (plus the NUL) and answers
// where to write it; null with 3096 when the string heap is full.
char* NewResultTextA(BDS* ctx, resultants* result, size_t length);
wchar_t* NewResultTextW(BDS* ctx, resultants* result, size_t length);
inline char* NewResultText(BDS* ctx, resultants* result, size_t length, const char*)
{
    return NewResultTextA(ctx, result, length);
}
inline wchar_t* NewResultText(BDS* ctx, resultants* result, size_t length, const wchar_t*)
{
    return NewResultTextW(ctx, result, length);
}

// A result of `units` code units counted without bounds; null with 3096 when it is longer
// than a text may be or the heap cannot hold it.
template <typename C>
C* NewResultUnits(BDS* ctx, resultants* result, uint64_t units)
{
    if (units > 0x7FFFFFF0) {
        SetError(ctx, 3096);
        return nullptr;
    }
    return NewResultText(ctx, result, static_cast<size_t>(units), static_cast<const C*>(nullptr));
}

// Copies `units` code units to out; answers the place after them.
template <typename C>
C* PutUnits(C* out, const C* text, size_t units)
{
    if (units) std::memcpy(out, text, units * sizeof(C));
    return out + units;
}

inline size_t UnitCount(const char* text) { return TextLength(text); }
inline size_t UnitCount(const wchar_t* text) { return TextLength(text); }
