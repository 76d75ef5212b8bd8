// String measurement and search built-ins: StrLen, StrCharCount, StrIndex, StrIndexNc,
// StrScan, StrCnt, StrSub and the wildcard trio StrIndexWild, StrLenWild, StrSubWild.
//
// Positions count from 1: characters in ANSI text (a double-byte character is one
// position), UTF-16 units in wide text; StrCnt counts bytes or units. Bad positions give 0
// or an empty text, never an error (StrCnt aside).
#include <cstring>
#include <cwchar>

#include "engine/core/text_length.h"
#include "engine/data/string_builtins.h"
#include "engine/data/text_cases.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_STRCNT_START = 1734;
constexpr uint16_t ERR_STRCNT_END = 1735;

// The natural start of a scan: 0 means 1 forward and the last position backward.
// Answers 0 when no position is left to look at.
int ScanStart(int start, int direction, int n)
{
    if (start < 0) return 0;
    if (start == 0) start = direction == 0 ? 1 : n;
    return start > n ? 0 : start;
}

// The characters that a wildcard pattern covers at least: every one but `*`.
int PatternMinimumA(const CodePageTables& t, const char* pattern)
{
    int k = 0;
    for (const char* p = pattern; *p; p = CharStep(t, p))
        if (*p != '*') ++k;
    return k;
}

int PatternMinimumW(const wchar_t* pattern)
{
    int k = 0;
    for (const wchar_t* p = pattern; *p; ++p)
        if (*p != L'*') ++k;
    return k;
}

// The character position (1-based) of a text of m characters within one of n: the first
// match at or after `start` (direction 0), else the last one that ends at or before it;
// matchAt(i) tells whether it matches at character i. 0 when there is none.
template <typename MatchAt>
int IndexScan(int n, int m, int start, int direction, MatchAt matchAt)
{
    start = ScanStart(start, direction, n);
    if (start == 0) return 0;
    if (m == 0) return start;
    if (direction == 0) {
        if (m > n - start + 1) return 0;
        for (int i = start; i <= n - m + 1; ++i)
            if (matchAt(i)) return i;
    } else {
        if (m > start) return 0;   // a match must end at or before the start
        for (int i = start - m + 1; i >= 1; --i)
            if (matchAt(i)) return i;
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------- StrIndex, StrIndexNc

int DoStrIndexA(BDS* ctx, const char* text, const char* sub, int start, int direction, bool noCase)
{
    CharOffsets pos(ctx, text);
    if (!pos.ok()) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    const CodePageTables& t = TextTables(ctx);
    return IndexScan(pos.count(), CharCountA(ctx, sub), start, direction,
                     [&](int i) { return MatchesAtA(t, text + pos.at(i - 1), sub, noCase); });
}

int DoStrIndexW(BDS*, const wchar_t* text, const wchar_t* sub, int start, int direction, bool noCase)
{
    return IndexScan(StrLenW(text), StrLenW(sub), start, direction,
                     [&](int i) { return MatchesAtW(text + i - 1, sub, noCase); });
}

// ---------------------------------------------------------------- StrScan

int DoStrScanA(BDS* ctx, const char* text, const char* delimiters, int start, int direction)
{
    if (!*text) return 0;
    CharOffsets pos(ctx, text);
    if (!pos.ok()) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    // One character of the set is what is looked for; an empty set finds the start.
    CharListSet set(TextTables(ctx), delimiters, false);
    return IndexScan(pos.count(), *delimiters ? 1 : 0, start, direction,
                     [&](int i) { return set.has(text + pos.at(i - 1)); });
}

int DoStrScanW(BDS*, const wchar_t* text, const wchar_t* delimiters, int start, int direction)
{
    if (!*text) return 0;
    CharListSet set(delimiters, false);
    return IndexScan(StrLenW(text), *delimiters ? 1 : 0, start, direction,
                     [&](int i) { return set.has(text + i - 1); });
}

// ---------------------------------------------------------------- StrCnt

namespace {

// Start and end as 1-based positions in a text of `length`; 0 stands for 1 and -1 for
// the length. False with 1734 or 1735 when one lies outside the text.
bool CountRange(BDS* ctx, int length, int* start, int* end)
{
    auto natural = [length](int v) { return v == 0 ? 1 : (v == -1 ? length : v); };
    *start = natural(*start);
    *end = natural(*end);
    if (*start < 1 || *start > length) {
        SetError(ctx, ERR_STRCNT_START);
        return false;
    }
    if (*end < 1 || *end > length) {
        SetError(ctx, ERR_STRCNT_END);
        return false;
    }
    if (*start > *end) {
        int swap = *start;
        *start = *end;
        *end = swap;
    }
    return true;
}

}  // namespace

// Occurrences that begin between the byte positions start and end; they do not overlap.
// The ANSI scan goes byte by byte, as positions count bytes here: an occurrence may begin
// on a trail byte, and without case each byte is folded on its own (CharUpperA).
int DoStrCntA(BDS* ctx, const char* text, const char* sub, int start, int end, int flags)
{
    if (!*text || !*sub) return 0;
    int length = static_cast<int>(TextLength(text));
    if (!CountRange(ctx, length, &start, &end)) return 0;
    bool noCase = (flags & 1) == 0;
    size_t step = TextLength(sub);
    const uint8_t* upper = TextTables(ctx).upper;
    auto matchesAt = [&](const char* p) {
        if (!noCase) return std::strncmp(p, sub, step) == 0;
        for (size_t i = 0; i < step; ++i) {
            uint8_t a = static_cast<uint8_t>(p[i]), b = static_cast<uint8_t>(sub[i]);
            if (!a || upper[a] != upper[b]) return false;
        }
        return true;
    };
    int count = 0;
    for (int i = start; i <= end;) {
        if (matchesAt(text + i - 1)) {
            ++count;
            i += static_cast<int>(step);
        } else {
            ++i;
        }
    }
    return count;
}

int DoStrCntW(BDS* ctx, const wchar_t* text, const wchar_t* sub, int start, int end, int flags)
{
    if (!*text || !*sub) return 0;
    int length = StrLenW(text);
    if (!CountRange(ctx, length, &start, &end)) return 0;
    bool noCase = (flags & 1) == 0;
    int step = StrLenW(sub);
    int count = 0;
    for (int i = start; i <= end && i <= length;) {
        if (MatchesAtW(text + i - 1, sub, noCase)) {
            ++count;
            i += step;
        } else {
            ++i;
        }
    }
    return count;
}

// ---------------------------------------------------------------- StrSub

namespace {

// Characters [start, start + k) of a text of n characters, k by the StrSub rules
// (length -1: to the end); false when nothing is taken.
bool SubRange(int n, int start, int length, int* count)
{
    if (start < 1 || start > n) return false;
    int64_t rest = static_cast<int64_t>(n) - start + 1;
    int64_t k = length == -1 ? rest : (length < rest ? length : rest);
    if (k <= 0) return false;
    *count = static_cast<int>(k);
    return true;
}

}  // namespace

void DoStrSubA(BDS* ctx, const char* text, int start, int length, resultants* result)
{
    CharOffsets pos(ctx, text);
    if (!pos.ok()) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    int k;
    if (!SubRange(pos.count(), start, length, &k)) {
        SetResultText(ctx, result, "", 0);
        return;
    }
    size_t from = pos.at(start - 1);
    SetResultText(ctx, result, text + from, pos.at(start - 1 + k) - from);
}

void DoStrSubW(BDS* ctx, const wchar_t* text, int start, int length, resultants* result)
{
    int k;
    if (!SubRange(StrLenW(text), start, length, &k)) {
        SetResultWText(ctx, result, L"", 0);
        return;
    }
    SetResultWText(ctx, result, text + start - 1, static_cast<size_t>(k));
}

// ---------------------------------------------------------------- wildcard built-ins

int DoStrIndexWildA(BDS* ctx, const char* text, const char* pattern, int start)
{
    if (!*text) return 0;
    if (!*pattern) return start == 0 ? 1 : start;
    CharOffsets pos(ctx, text);
    if (!pos.ok()) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    int n = pos.count();
    if (start == 0) start = 1;
    if (start < 1 || start > n) return 0;
    int tries = n - PatternMinimumA(TextTables(ctx), pattern) - start + 2;
    for (int i = start; tries > 0 && i <= n; ++i, --tries)
        if (WildMatchA(ctx, text + pos.at(i - 1), pattern) > 0) return i;
    return 0;
}

int DoStrIndexWildW(BDS* ctx, const wchar_t* text, const wchar_t* pattern, int start)
{
    if (!*text) return 0;
    if (!*pattern) return start == 0 ? 1 : start;
    int n = StrLenW(text);
    if (start == 0) start = 1;
    if (start < 1 || start > n) return 0;
    int tries = n - PatternMinimumW(pattern) - start + 2;
    for (int i = start; tries > 0 && i <= n; ++i, --tries)
        if (WildMatchW(ctx, text + i - 1, pattern) > 0) return i;
    return 0;
}

namespace {

constexpr int64_t kNoMemory = -2;

// Byte offset of character `start` when text, pattern and start pass the checks of
// StrLenWild and StrSubWild; -1 otherwise, kNoMemory with 1588.
int64_t WildStartA(BDS* ctx, const char* text, const char* pattern, int start)
{
    if (!*text || !*pattern) return -1;
    CharOffsets pos(ctx, text);
    if (!pos.ok()) {
        SetError(ctx, ERR_NO_MEMORY);
        return kNoMemory;
    }
    if (start == 0) start = 1;
    if (start < 1 || start > pos.count()) return -1;
    return static_cast<int64_t>(pos.at(start - 1));
}

int64_t WildStartW(const wchar_t* text, const wchar_t* pattern, int start)
{
    if (!*text || !*pattern) return -1;
    if (start == 0) start = 1;
    if (start < 1 || start > StrLenW(text)) return -1;
    return start - 1;
}

}  // namespace

int DoStrLenWildA(BDS* ctx, const char* text, const char* pattern, int start)
{
    int64_t from = WildStartA(ctx, text, pattern, start);
    return from < 0 ? 0 : WildMatchA(ctx, text + from, pattern);
}

int DoStrLenWildW(BDS* ctx, const wchar_t* text, const wchar_t* pattern, int start)
{
    int64_t from = WildStartW(text, pattern, start);
    return from < 0 ? 0 : WildMatchW(ctx, text + from, pattern);
}

void DoStrSubWildA(BDS* ctx, const char* text, const char* pattern, int start, resultants* result)
{
    int64_t from = WildStartA(ctx, text, pattern, start);
    if (from == kNoMemory) return;
    int covered = from < 0 ? 0 : WildMatchA(ctx, text + from, pattern);
    SetResultText(ctx, result, covered ? text + from : "", static_cast<size_t>(covered));
}

void DoStrSubWildW(BDS* ctx, const wchar_t* text, const wchar_t* pattern, int start, resultants* result)
{
    int64_t from = WildStartW(text, pattern, start);
    int covered = from < 0 ? 0 : WildMatchW(ctx, text + from, pattern);
    SetResultWText(ctx, result, covered ? text + from : L"", static_cast<size_t>(covered));
}

// ---------------------------------------------------------------- cases

namespace {

using namespace textcase;

void CaseStrLen(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call) ? StrLenW(WText(ctx, call, 1)) : CharCountA(ctx, Text(ctx, call, 1));
    SetResultInt(ctx, call.result, n);
}

void CaseStrIndex(BDS* ctx, BuiltinCall& call)
{
    bool noCase = call.id == 707;   // StrIndexNc
    int n = Wide(call)
        ? DoStrIndexW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3), ArgInt(call, 4), noCase)
        : DoStrIndexA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3), ArgInt(call, 4), noCase);
    SetResultInt(ctx, call.result, n);
}

void CaseStrScan(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call)
        ? DoStrScanW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3), ArgInt(call, 4))
        : DoStrScanA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3), ArgInt(call, 4));
    SetResultInt(ctx, call.result, n);
}

void CaseStrCnt(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call)
        ? DoStrCntW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3), ArgInt(call, 4), ArgInt(call, 5))
        : DoStrCntA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3), ArgInt(call, 4), ArgInt(call, 5));
    SetResultInt(ctx, call.result, n);
}

void CaseStrSub(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call)) DoStrSubW(ctx, WText(ctx, call, 1), ArgInt(call, 2), ArgInt(call, 3), call.result);
    else DoStrSubA(ctx, Text(ctx, call, 1), ArgInt(call, 2), ArgInt(call, 3), call.result);
}

void CaseStrIndexWild(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call) ? DoStrIndexWildW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3))
                       : DoStrIndexWildA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3));
    SetResultInt(ctx, call.result, n);
}

void CaseStrLenWild(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call) ? DoStrLenWildW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3))
                       : DoStrLenWildA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3));
    SetResultInt(ctx, call.result, n);
}

void CaseStrSubWild(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call)) DoStrSubWildW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3), call.result);
    else DoStrSubWildA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3), call.result);
}

const BuiltinRow kRows[] = {
    {694, CaseStrLen},        // strcharcount
    {706, CaseStrIndex},      // strindex
    {707, CaseStrIndex},      // strindexnc
    {708, CaseStrIndexWild},  // strindexwild
    {710, CaseStrLen},        // strlen
    {711, CaseStrLenWild},    // strlenwild
    {715, CaseStrScan},       // strscan
    {697, CaseStrCnt},        // strcnt
    {716, CaseStrSub},        // strsub
    {717, CaseStrSubWild},    // strsubwild
};

}  // namespace

const BuiltinFamily g_StrSearchBuiltins = {"strings: measurement and search", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
