// Text helpers: code page tables, the growable text buffer, counting, search, character
// comparisons, the wide comparison of the string built-ins and the result buffers.
#include "engine/core/text_length.h"
#include "engine/data/text.h"
#include "engine/data/sort_keys.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"

// ---------------------------------------------------------------- code page tables

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_STRINGS_FULL = 3096;

// One code page's case mapping of a single byte through its wide form; the byte itself
// when it is no character on its own or its other case has no single byte.
uint8_t MapByteCase(UINT codePage, uint8_t byte, bool upper)
{
    char in = static_cast<char>(byte);
    wchar_t unit;
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, &unit, 1) != 1) return byte;
    wchar_t mapped = unit;
    if (upper) CharUpperBuffW(&mapped, 1);
    else CharLowerBuffW(&mapped, 1);
    if (mapped == unit) return byte;
    char out[4];
    BOOL lossy = FALSE;
    bool plain = codePage == CP_UTF8 || codePage == CP_UTF7;
    int n = WideCharToMultiByte(codePage, plain ? 0 : WC_NO_BEST_FIT_CHARS, &mapped, 1, out,
                                sizeof out, nullptr, plain ? nullptr : &lossy);
    if (n != 1 || lossy) return byte;
    return static_cast<uint8_t>(out[0]);
}

void BuildTables(CodePageTables& t, UINT codePage)
{
    t.codePage = codePage;
    t.isAnsi = codePage == GetACP();
    std::memset(t.lead, 0, sizeof t.lead);
    CPINFO info;
    if (GetCPInfo(codePage, &info) && info.MaxCharSize == 2) {
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
            for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) t.lead[b] = 1;
    }
    t.dbcs = false;
    for (uint8_t l : t.lead) t.dbcs = t.dbcs || l;
    for (int b = 0; b < 256; ++b) {
        uint8_t byte = static_cast<uint8_t>(b);
        if (b == 0 || t.lead[b]) {
            t.upper[b] = t.lower[b] = byte;
        } else if (t.isAnsi) {
            // The system's own single-character case mapping (CharUpperA and CharLowerA take
            // the character in the low word of the pointer).
            t.upper[b] = static_cast<uint8_t>(reinterpret_cast<ULONG_PTR>(
                CharUpperA(reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(b)))));
            t.lower[b] = static_cast<uint8_t>(reinterpret_cast<ULONG_PTR>(
                CharLowerA(reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(b)))));
        } else if (b < 0x80) {
            t.upper[b] = (b >= 'a' && b <= 'z') ? byte - 32 : byte;
            t.lower[b] = (b >= 'A' && b <= 'Z') ? byte + 32 : byte;
        } else {
            t.upper[b] = MapByteCase(codePage, byte, true);
            t.lower[b] = MapByteCase(codePage, byte, false);
        }
    }
}

// The tables in use: those of the system's ANSI code page, built at the first call; a
// test may put those of another code page in their place. The context code page
// (ChrSetCodePage) never enters: it governs conversions between ANSI and wide text only.
CodePageTables g_systemTables;
CodePageTables g_testTables;
const CodePageTables* g_tablesInUse;

const CodePageTables& BuildSystemTables()
{
    BuildTables(g_systemTables, GetACP());
    g_tablesInUse = &g_systemTables;
    return g_systemTables;
}

}  // namespace

const CodePageTables& TextTables(BDS*)
{
    const CodePageTables* t = g_tablesInUse;
    return t ? *t : BuildSystemTables();
}

UINT SetTextCodePageForTest(UINT codePage)
{
    UINT previous = TextTables(nullptr).codePage;
    if (codePage == 0 || codePage == GetACP()) {
        BuildSystemTables();
    } else {
        BuildTables(g_testTables, codePage);
        g_tablesInUse = &g_testTables;
    }
    return previous;
}

// ---------------------------------------------------------------- text buffer

void StrBuilderInit(StrBuilder* builder)
{
    builder->data = builder->inlineBuf;
    builder->capacity = sizeof builder->inlineBuf;
    builder->length = 0;
    builder->inlineBuf[0] = 0;
}

int StrBuilderAppendN(BDS* ctx, StrBuilder* builder, const char* text, size_t n)
{
    uint64_t wanted = static_cast<uint64_t>(builder->length) + n;
    if (wanted >= builder->capacity) {
        // Grows to the old capacity plus twice the needed length.
        uint64_t size = builder->capacity + 2 * wanted;
        if (size > 0x7FFFFFFF) {
            SetError(ctx, ERR_NO_MEMORY);
            return 0;
        }
        auto* grown = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
        if (!grown) {
            SetError(ctx, ERR_NO_MEMORY);
            return 0;
        }
        std::memcpy(grown, builder->data, builder->length);
        if (builder->data != builder->inlineBuf) HeapFree(GetProcessHeap(), 0, builder->data);
        builder->data = grown;
        builder->capacity = static_cast<uint32_t>(size);
    }
    if (n) std::memcpy(builder->data + builder->length, text, n);
    builder->length = static_cast<uint32_t>(wanted);
    builder->data[builder->length] = 0;
    return 1;
}

int StrBuilderAppend(BDS* ctx, StrBuilder* builder, const char* text)
{
    return StrBuilderAppendN(ctx, builder, text, text ? TextLength(text) : 0);
}

void StrBuilderFree(StrBuilder* builder)
{
    if (builder->data != builder->inlineBuf) HeapFree(GetProcessHeap(), 0, builder->data);
    StrBuilderInit(builder);
    std::memset(builder->inlineBuf, 0, sizeof builder->inlineBuf);
}

// ---------------------------------------------------------------- counting

int CharCountA(BDS* ctx, const char* text)
{
    if (!text) return 0;
    const CodePageTables& t = TextTables(ctx);
    if (!t.dbcs) return static_cast<int>(TextLength(text));
    int count = 0;
    for (const char* p = text; *p; p = CharStep(t, p)) ++count;
    return count;
}

int StrLenW(const wchar_t* text) { return text ? static_cast<int>(TextLength(text)) : 0; }

CharOffsets::CharOffsets(BDS* ctx, const char* text)
{
    const CodePageTables& t = TextTables(ctx);
    if (!text) text = "";
    if (!t.dbcs) {
        count_ = static_cast<int>(TextLength(text));
        return;
    }
    count_ = CharCountA(ctx, text);
    table_ = static_cast<uint32_t*>(
        HeapAlloc(GetProcessHeap(), 0, (static_cast<size_t>(count_) + 1) * sizeof(uint32_t)));
    if (!table_) {
        ok_ = false;
        count_ = 0;
        return;
    }
    int i = 0;
    const char* p = text;
    for (; *p; p = CharStep(t, p)) table_[i++] = static_cast<uint32_t>(p - text);
    table_[i] = static_cast<uint32_t>(p - text);
}

CharOffsets::~CharOffsets()
{
    if (table_) HeapFree(GetProcessHeap(), 0, table_);
}

// ---------------------------------------------------------------- searching

const char* FindCharA(BDS* ctx, const char* text, char byte)
{
    if (!text) return nullptr;
    const CodePageTables& t = TextTables(ctx);
    for (const char* p = text; *p; p = CharStep(t, p))
        if (*p == byte) return p;
    return nullptr;
}

const wchar_t* FindCharW(const wchar_t* text, wchar_t unit)
{
    if (!text) return nullptr;
    for (const wchar_t* p = text; *p; ++p)
        if (*p == unit) return p;
    return nullptr;
}

bool MatchesAtA(const CodePageTables& t, const char* p, const char* pattern, bool noCase)
{
    while (*pattern) {
        if (!*p || !CharEqualA(t, p, pattern, noCase)) return false;
        p = CharStep(t, p);
        pattern = CharStep(t, pattern);
    }
    return true;
}

bool MatchesAtW(const wchar_t* p, const wchar_t* pattern, bool noCase)
{
    for (; *pattern; ++p, ++pattern) {
        if (!*p) return false;
        if (noCase ? FoldUnitW(*p) != FoldUnitW(*pattern) : *p != *pattern) return false;
    }
    return true;
}

namespace {

const char* FindSubstring(BDS* ctx, const char* text, const char* pattern, bool noCase)
{
    if (!text || !pattern || !*text || !*pattern) return nullptr;
    const CodePageTables& t = TextTables(ctx);
    if (!t.dbcs && !noCase) return std::strstr(text, pattern);
    for (const char* p = text; *p; p = CharStep(t, p))
        if (MatchesAtA(t, p, pattern, noCase)) return p;
    return nullptr;
}

}  // namespace

const char* FindSubstringA(BDS* ctx, const char* text, const char* pattern)
{
    return FindSubstring(ctx, text, pattern, false);
}

const wchar_t* FindSubstringW(const wchar_t* text, const wchar_t* pattern)
{
    if (!text || !pattern || !*text || !*pattern) return nullptr;
    return std::wcsstr(text, pattern);
}

const char* FindSubstringNoCaseA(BDS* ctx, const char* text, const char* pattern)
{
    return FindSubstring(ctx, text, pattern, true);
}

const wchar_t* FindSubstringNoCaseW(const wchar_t* text, const wchar_t* pattern)
{
    if (!text || !pattern || !*text || !*pattern) return nullptr;
    for (const wchar_t* p = text; *p; ++p) {
        size_t i = 0;
        while (pattern[i] && p[i] && FoldUnitW(p[i]) == FoldUnitW(pattern[i])) ++i;
        if (!pattern[i]) return p;
    }
    return nullptr;
}

const char* LastCharPtrA(BDS* ctx, const char* text)
{
    if (!text || !*text) return text;
    const CodePageTables& t = TextTables(ctx);
    const char* last = text;
    for (const char* p = text; *p; p = CharStep(t, p)) last = p;
    return last;
}

const wchar_t* LastCharPtrW(const wchar_t* text)
{
    if (!text || !*text) return text;
    return text + TextLength(text) - 1;
}

namespace {

// The last character of the text for which `pick` holds (walking by character).
template <typename Pick>
const char* FindLastA(BDS* ctx, const char* text, Pick pick)
{
    if (!text) return nullptr;
    const CodePageTables& t = TextTables(ctx);
    const char* found = nullptr;
    for (const char* p = text; *p; p = CharStep(t, p))
        if (pick(p, CharBytes(t, p))) found = p;
    return found;
}

template <typename Pick>
const wchar_t* FindLastW(const wchar_t* text, Pick pick)
{
    if (!text) return nullptr;
    const wchar_t* found = nullptr;
    for (const wchar_t* p = text; *p; ++p)
        if (pick(*p)) found = p;
    return found;
}

}  // namespace

const char* FindLastCharA(BDS* ctx, const char* text, char byte)
{
    return FindLastA(ctx, text, [byte](const char* p, int) { return *p == byte; });
}

const char* LastNonBlankA(BDS* ctx, const char* text)
{
    return FindLastA(ctx, text, [](const char* p, int n) {
        return n == 2 || (*p != ' ' && *p != '\t');
    });
}

const char* FindLastSlashA(BDS* ctx, const char* path)
{
    return FindLastA(ctx, path, [](const char* p, int n) {
        return n == 1 && (*p == '\\' || *p == '/');
    });
}

const wchar_t* FindLastSlashW(const wchar_t* path)
{
    return FindLastW(path, [](wchar_t c) { return c == L'\\' || c == L'/'; });
}

const char* FindLastPathSepA(BDS* ctx, const char* path)
{
    return FindLastA(ctx, path, [](const char* p, int n) {
        return n == 1 && (*p == '\\' || *p == '/' || *p == ':');
    });
}

const wchar_t* FindLastPathSepW(const wchar_t* path)
{
    return FindLastW(path, [](wchar_t c) { return c == L'\\' || c == L'/' || c == L':'; });
}

const char* NextCharA(BDS* ctx, const char* p)
{
    if (*p == 0) return p + 1;
    return CharStep(TextTables(ctx), p);
}

// ---------------------------------------------------------------- character comparisons

wchar_t FoldUnitW(wchar_t unit)
{
    if (unit < 0x80) return (unit >= L'a' && unit <= L'z') ? unit - 32 : unit;
    CharUpperBuffW(&unit, 1);
    return unit;
}

namespace {

// A double-byte character as its wide unit (0 when the code page has none for it).
wchar_t DoubleByteUnit(UINT codePage, const char* p)
{
    wchar_t unit = 0;
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, p, 2, &unit, 1) != 1) return 0;
    return unit;
}

}  // namespace

bool CharEqualA(const CodePageTables& t, const char* a, const char* b, bool noCase)
{
    int na = CharBytes(t, a), nb = CharBytes(t, b);
    if (na != nb) return false;
    if (na == 2) {
        if (a[0] == b[0] && a[1] == b[1]) return true;
        if (!noCase) return false;
        // Double-byte letters (full-width Latin, Greek, Cyrillic) fold through their
        // wide form; a trail byte is never folded on its own.
        wchar_t ua = DoubleByteUnit(t.codePage, a), ub = DoubleByteUnit(t.codePage, b);
        return ua != 0 && FoldUnitW(ua) == FoldUnitW(ub);
    }
    if (noCase) return t.upper[static_cast<uint8_t>(*a)] == t.upper[static_cast<uint8_t>(*b)];
    return *a == *b;
}

bool NarrowChars::same(const char* a, const char* b, bool noCase) const
{
    return CharEqualA(t, a, b, noCase);
}

bool NarrowChars::at(const char* p, const char* pattern, bool noCase) const
{
    return MatchesAtA(t, p, pattern, noCase);
}

bool WideChars::same(const wchar_t* a, const wchar_t* b, bool noCase) const
{
    return noCase ? FoldUnitW(*a) == FoldUnitW(*b) : *a == *b;
}

bool WideChars::at(const wchar_t* p, const wchar_t* pattern, bool noCase) const
{
    return MatchesAtW(p, pattern, noCase);
}

// ---------------------------------------------------------------- character sets

namespace {

constexpr size_t SET_WORDS = 65536 / 64;
enum : size_t { SET_SINGLE = 0, SET_PAIR = SET_WORDS, SET_FOLDED = 2 * SET_WORDS };

inline void SetBit(uint64_t* bits, size_t set, unsigned key) { bits[set + key / 64] |= uint64_t(1) << (key % 64); }
inline bool HasBit(const uint64_t* bits, size_t set, unsigned key) { return bits[set + key / 64] >> (key % 64) & 1; }

unsigned PairKey(const char* p) { return static_cast<unsigned>(uint8_t(p[0])) << 8 | uint8_t(p[1]); }

uint64_t* NewSetBits()
{
    return static_cast<uint64_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 3 * SET_WORDS * 8));
}

}  // namespace

CharListSet::CharListSet(const CodePageTables& t, const char* chars, bool fold)
    : tables(&t), noCase(fold), list(chars), bits(NewSetBits())
{
    if (!bits) return;
    for (const char* d = chars; *d; d = CharStep(t, d)) {
        if (CharBytes(t, d) == 2) {
            SetBit(bits, SET_PAIR, PairKey(d));
            wchar_t unit = fold ? DoubleByteUnit(t.codePage, d) : 0;
            if (unit) SetBit(bits, SET_FOLDED, FoldUnitW(unit));
        } else {
            uint8_t b = static_cast<uint8_t>(*d);
            SetBit(bits, SET_SINGLE, fold ? t.upper[b] : b);
        }
    }
}

CharListSet::CharListSet(const wchar_t* chars, bool fold)
    : tables(nullptr), noCase(fold), list(chars), bits(NewSetBits())
{
    if (!bits) return;
    for (const wchar_t* d = chars; *d; ++d)
        SetBit(bits, SET_SINGLE, fold ? FoldUnitW(*d) : *d);
}

CharListSet::~CharListSet()
{
    if (bits) HeapFree(GetProcessHeap(), 0, bits);
}

bool CharListSet::has(const char* p) const
{
    if (!bits) {
        for (const char* d = static_cast<const char*>(list); *d; d = CharStep(*tables, d))
            if (CharEqualA(*tables, p, d, noCase)) return true;
        return false;
    }
    if (CharBytes(*tables, p) == 2) {
        if (HasBit(bits, SET_PAIR, PairKey(p))) return true;
        wchar_t unit = noCase ? DoubleByteUnit(tables->codePage, p) : 0;
        return unit && HasBit(bits, SET_FOLDED, FoldUnitW(unit));
    }
    uint8_t b = static_cast<uint8_t>(*p);
    return HasBit(bits, SET_SINGLE, noCase ? tables->upper[b] : b);
}

bool CharListSet::has(const wchar_t* p) const
{
    wchar_t key = noCase ? FoldUnitW(*p) : *p;
    if (!bits) {
        for (const wchar_t* d = static_cast<const wchar_t*>(list); *d; ++d)
            if ((noCase ? FoldUnitW(*d) : *d) == key) return true;
        return false;
    }
    return HasBit(bits, SET_SINGLE, key);
}

int CharEqualDbcs(BDS* ctx, const char* a, const char* b)
{
    return CharEqualA(TextTables(ctx), a, b, false) ? 1 : 0;
}

int CharEqualNoCaseA(BDS* ctx, const char* a, const char* b)
{
    return CharEqualA(TextTables(ctx), a, b, true) ? 1 : 0;
}

int CharEqualW(const wchar_t* a, const wchar_t* b) { return *a == *b ? 1 : 0; }

int CharEqualNoCaseW(const wchar_t* a, const wchar_t* b)
{
    return FoldUnitW(*a) == FoldUnitW(*b) ? 1 : 0;
}

// ---------------------------------------------------------------- wide comparison

namespace {

// The text in the context code page, in a zero-filled global block sized by a first
// measuring conversion; null when there is no text to be had.
HGLOBAL NarrowBlock(BDS* ctx, const wchar_t* text, size_t length)
{
    UINT codePage = (ctx && ctx->nCodePage) ? ctx->nCodePage : CP_ACP;
    int units = static_cast<int>(length);
    int bytes = units ? WideCharToMultiByte(codePage, 0, text, units, nullptr, 0, nullptr, nullptr) : 0;
    if (units && bytes <= 0) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes) + 1);
    if (!block) return nullptr;
    auto* out = static_cast<char*>(GlobalLock(block));
    bool ok = out && (!units || WideCharToMultiByte(codePage, 0, text, units, out, bytes,
                                                    nullptr, nullptr) > 0);
    if (out) GlobalUnlock(block);
    if (!ok) {
        GlobalFree(block);
        return nullptr;
    }
    return block;
}

// Unit order: -1, 0 or 1 at the first difference; without case, A-Z folded to a-z and
// the difference of the units.
int CompareUnits(const wchar_t* a, size_t la, const wchar_t* b, size_t lb, bool noCase)
{
    for (size_t i = 0;; ++i) {
        int ca = i < la ? a[i] : 0, cb = i < lb ? b[i] : 0;
        if (noCase) {
            if (ca >= L'A' && ca <= L'Z') ca += 32;
            if (cb >= L'A' && cb <= L'Z') cb += 32;
            if (ca != cb || !ca) return ca - cb;
        } else {
            if (ca != cb) return ca < cb ? -1 : 1;
            if (!ca) return 0;
        }
    }
}

}  // namespace

int CompareTextNA(const char* a, size_t la, const char* b, size_t lb, bool noCase)
{
    // lstrcmpA and lstrcmpiA over counted texts: the thread locale's word sort.
    int answer = CompareStringA(GetThreadLocale(), LOCALE_USE_CP_ACP | (noCase ? NORM_IGNORECASE : 0),
                                a, static_cast<int>(la), b, static_cast<int>(lb));
    return answer ? answer - CSTR_EQUAL : 0;
}

int CompareWideTextN(BDS* ctx, const wchar_t* a, size_t la, const wchar_t* b, size_t lb, bool noCase)
{
    if (IsUnicodeMode()) {
        int answer = CompareStringW(GetThreadLocale(), noCase ? NORM_IGNORECASE : 0, a,
                                    static_cast<int>(la), b, static_cast<int>(lb));
        return answer ? answer - CSTR_EQUAL : 0;
    }
    HGLOBAL blockA = NarrowBlock(ctx, a, la);
    HGLOBAL blockB = blockA ? NarrowBlock(ctx, b, lb) : nullptr;
    int answer;
    if (blockA && blockB) {
        auto* na = static_cast<const char*>(GlobalLock(blockA));
        auto* nb = static_cast<const char*>(GlobalLock(blockB));
        answer = noCase ? lstrcmpiA(na, nb) : lstrcmpA(na, nb);
        GlobalUnlock(blockA);
        GlobalUnlock(blockB);
    } else {
        answer = CompareUnits(a, la, b, lb, noCase);
    }
    if (blockA) GlobalFree(blockA);
    if (blockB) GlobalFree(blockB);
    return answer;
}

bool AddWideTextSortKey(BDS* ctx, SortKeys* keys, const wchar_t* text, size_t length, bool noCase)
{
    if (IsUnicodeMode()) return SortKeysAddWide(keys, text, length, noCase);
    // The narrow text that the comparison makes of it.
    HGLOBAL block = NarrowBlock(ctx, text, length);
    if (!block) return false;
    auto* narrow = static_cast<const char*>(GlobalLock(block));
    bool ok = narrow && SortKeysAddNarrow(keys, narrow, TextLength(narrow), noCase);
    if (narrow) GlobalUnlock(block);
    GlobalFree(block);
    return ok;
}

int CompareWideText(BDS* ctx, const wchar_t* a, const wchar_t* b, bool noCase)
{
    if (IsUnicodeMode()) return noCase ? lstrcmpiW(a, b) : lstrcmpW(a, b);
    return CompareWideTextN(ctx, a, TextLength(a), b, TextLength(b), noCase);
}

// ---------------------------------------------------------------- one-byte item helpers

namespace {

// Start and length of item n (1-based) of a list delimited by a one-byte character,
// walked by character so that a trail byte never counts as the delimiter; false past the
// last item.
bool LocateByteItem(BDS* ctx, const char* list, char delimiter, int n, const char** start,
                    size_t* length)
{
    const CodePageTables& t = TextTables(ctx);
    int item = 1;
    const char* begin = list;
    const char* p = list;
    for (;; p = CharStep(t, p)) {
        bool end = *p == 0;
        if (end || (*p == delimiter && CharBytes(t, p) == 1)) {
            if (item == n) {
                *start = begin;
                *length = static_cast<size_t>(p - begin);
                return true;
            }
            if (end) return false;
            ++item;
            begin = p + 1;
        }
    }
}

}  // namespace

int ItemCopyA(BDS* ctx, const char* list, char delimiter, int n, char* out, size_t outSize)
{
    if (!out || outSize == 0) return 0;
    out[0] = 0;
    if (!list || n <= 0) return 0;
    const char* start;
    size_t length;
    if (!LocateByteItem(ctx, list, delimiter, n, &start, &length)) return 1;
    if (length > outSize - 1) length = outSize - 1;
    std::memcpy(out, start, length);
    out[length] = 0;
    return 1;
}

int32_t ItemToIntegerA(BDS* ctx, const char* list, char delimiter, int n)
{
    if (!list || n <= 0) return 0;
    const char* start;
    size_t length;
    if (!LocateByteItem(ctx, list, delimiter, n, &start, &length)) return 0;
    char item[40];
    if (length > sizeof item - 1) length = sizeof item - 1;
    std::memcpy(item, start, length);
    item[length] = 0;

    // Blanks, an optional sign, at least one digit, blanks.
    const char* p = item;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!(*p >= '0' && *p <= '9')) {
        SetError(ctx, 1688);
        return 0;
    }
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= 0x7FFFFFFFLL) value = value * 10 + (*p - '0');
    while (*p == ' ' || *p == '\t') ++p;
    if (*p || value > (negative ? 0x80000000LL : 0x7FFFFFFFLL)) {
        SetError(ctx, 1688);
        return 0;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// ---------------------------------------------------------------- results

namespace {

uint64_t NewResultBlock(BDS* ctx, resultants* result, uint64_t bytes, uint32_t flag)
{
    uint64_t offset = VMalloc(ctx, bytes);
    if (offset == 0) {
        SetError(ctx, ERR_STRINGS_FULL);
        return 0;
    }
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    result->flags = flag;
    if (flag == VF_STRING) result->str = offset;
    else result->wstr = offset;
    return offset;
}

}  // namespace

char* NewResultTextA(BDS* ctx, resultants* result, size_t length)
{
    uint64_t offset = NewResultBlock(ctx, result, static_cast<uint64_t>(length) + 1, VF_STRING);
    if (!offset) return nullptr;
    char* text = HeapPtr(ctx, offset);
    text[length] = 0;
    return text;
}

wchar_t* NewResultTextW(BDS* ctx, resultants* result, size_t length)
{
    uint64_t offset = NewResultBlock(ctx, result, (static_cast<uint64_t>(length) + 1) * 2, VF_UNICODE);
    if (!offset) return nullptr;
    auto* text = reinterpret_cast<wchar_t*>(HeapPtr(ctx, offset));
    text[length] = 0;
    return text;
}
