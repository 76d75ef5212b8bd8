// Logical keys (see logical_keys.h): ranks of the code units of a set of texts by the
// system's comparison of single characters, and keys of runs of digits and ranks compared
// as bytes.
#include "engine/data/logical_keys.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr int UNIT_CMP_FAILED = 2;  // outside -1..1

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

void* Take(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }
void Give(void* p)
{
    if (p) HeapFree(GetProcessHeap(), 0, p);
}

// -1, 0 or 1 as unit a compares with unit b alone, without case, under the locale;
// UNIT_CMP_FAILED when the system does not answer.
int CompareUnits(LCID locale, wchar_t a, wchar_t b)
{
    int r = CompareStringW(locale, NORM_IGNORECASE, &a, 1, &b, 1);
    return r ? r - CSTR_EQUAL : UNIT_CMP_FAILED;
}

// Sorts the units by the system's comparison: a merge sort, which never reads past its
// ranges whatever the comparison answers (the answers are checked afterwards). False when
// a comparison failed.
bool SortUnits(LCID locale, uint16_t* units, uint16_t* scratch, size_t count)
{
    for (size_t width = 1; width < count; width *= 2) {
        for (size_t lo = 0; lo < count; lo += 2 * width) {
            size_t mid = lo + width < count ? lo + width : count;
            size_t hi = lo + 2 * width < count ? lo + 2 * width : count;
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                int c = CompareUnits(locale, units[j], units[i]);
                if (c == UNIT_CMP_FAILED) return false;
                scratch[k++] = c < 0 ? units[j++] : units[i++];
            }
            while (i < mid) scratch[k++] = units[i++];
            while (j < hi) scratch[k++] = units[j++];
        }
        std::memcpy(units, scratch, count * sizeof(uint16_t));
    }
    return true;
}

// Notes a unit met for the first time.
void NoteNew(LogicalRanks* ranks, uint16_t unit)
{
    uint16_t*& page = ranks->pages[unit >> 8];
    if (!page) page = static_cast<uint16_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 256 * sizeof(uint16_t)));
    if (ranks->distinct == ranks->room) {
        void* more = HeapReAlloc(GetProcessHeap(), 0, ranks->units, ranks->room * 2 * sizeof(uint16_t));
        if (more) {
            ranks->units = static_cast<uint16_t*>(more);
            ranks->room *= 2;
        }
    }
    if (!page || ranks->distinct == ranks->room) {
        ranks->failed = true;
        return;
    }
    page[unit & 0xFF] = 1;  // met; ranked by LogicalRanksMake
    ranks->units[ranks->distinct++] = unit;
}

void PutWord(uint8_t*& out, uint32_t word)
{
    *out++ = static_cast<uint8_t>(word >> 8);
    *out++ = static_cast<uint8_t>(word);
}

}  // namespace

bool LogicalRanksBegin(LogicalRanks* ranks)
{
    *ranks = LogicalRanks{};
    ranks->room = 256;
    ranks->units = static_cast<uint16_t*>(Take(ranks->room * sizeof(uint16_t)));
    ranks->failed = !ranks->units;
    return !ranks->failed;
}

void LogicalRanksNote(LogicalRanks* ranks, const wchar_t* text, size_t length)
{
    for (size_t i = 0; i < length && !ranks->failed; ++i) {
        auto unit = static_cast<uint16_t>(text[i]);
        const uint16_t* page = ranks->pages[unit >> 8];
        if (!IsDigit(text[i]) && !(page && page[unit & 0xFF])) NoteNew(ranks, unit);
    }
}

bool LogicalRanksMake(LogicalRanks* ranks)
{
    if (ranks->failed) return false;
    size_t count = ranks->distinct;
    if (count == 0) return true;
    auto* scratch = static_cast<uint16_t*>(Take(count * sizeof(uint16_t)));
    if (!scratch) return false;
    uint16_t* units = ranks->units;
    LCID locale = GetThreadLocale();
    bool ok = SortUnits(locale, units, scratch, count);
    // Neighbours in the sorted row take the same rank when the system calls them equal, the
    // next one when it puts the first before; any other answer is a contradiction, and the
    // caller goes back to the system's own comparison.
    uint32_t rank = 1;
    for (size_t i = 0; ok && i < count; ++i) {
        if (i > 0) {
            int c = CompareUnits(locale, units[i - 1], units[i]);
            if (c == 1 || c == UNIT_CMP_FAILED) ok = false;
            else if (c < 0) ++rank;
        }
        ranks->pages[units[i] >> 8][units[i] & 0xFF] = static_cast<uint16_t>(rank);
    }
    Give(scratch);
    return ok;
}

void LogicalRanksFree(LogicalRanks* ranks)
{
    for (uint16_t* page : ranks->pages) Give(page);
    Give(ranks->units);
    *ranks = LogicalRanks{};
}

bool SortKeysAddLogical(SortKeys* keys, const LogicalRanks* ranks, const wchar_t* text, size_t length)
{
    // At most three words a unit: a one-digit run.
    if (length > SIZE_MAX / 8) return false;
    uint8_t* start = SortKeysRoom(keys, length * 6);
    if (!start) return false;
    uint8_t* out = start;
    for (size_t i = 0; i < length;) {
        if (!IsDigit(text[i])) {
            auto unit = static_cast<uint16_t>(text[i]);
            PutWord(out, ranks->pages[unit >> 8][unit & 0xFF]);
            ++i;
            continue;
        }
        uint32_t value = 0;  // wraps as the system's reading does
        for (; i < length && IsDigit(text[i]); ++i) value = value * 10 + static_cast<uint32_t>(text[i] - L'0');
        value ^= 0x80000000u;  // signed order as unsigned
        PutWord(out, 0);
        PutWord(out, value >> 16);
        PutWord(out, value & 0xFFFF);
    }
    return SortKeysNote(keys, static_cast<size_t>(out - start));
}

bool LogicalKeysAgree(PfnStrCmpLogicalW logical)
{
    // Texts whose order tells apart the ways of comparing that platforms are known to take:
    // long runs read with or without wrapping, leading zeros as ties or not, accents weighed
    // where they stand or after the letters, punctuation and blanks, signs, digits of other
    // scripts, and texts that end early.
    static const wchar_t* const probes[] = {
        L"", L"a", L"A", L"b", L"a1", L"a01", L"a001b", L"a1a", L"a9", L"a10", L"a0",
        L"a2147483647", L"a2147483648", L"a4294967296", L"a4294967297", L"a99999999999999999999",
        L"\u00e9a", L"eb", L"ea", L"\u00e9b", L"E\u0301a", L"a-b", L"ab", L"a b", L"a_b", L"a'b",
        L"1", L"-1", L"+1", L" 1", L"1 ", L"x\u00b2", L"x1", L"1\u0663", L"13", L"\uff11", L"\u00df",
        L"ss", L"\u00e6", L"ae", L"ab12c", L"AB12C3", L"0000000000001", L"1.5", L"1.10", L"Z", L"z~",
        L"\u0131", L"I", L"\u00c5", L"\u00e5r"};
    constexpr size_t count = sizeof probes / sizeof *probes;
    LogicalRanks ranks;
    SortKeys keys{};
    bool ok = LogicalRanksBegin(&ranks);
    for (const wchar_t* text : probes) LogicalRanksNote(&ranks, text, wcslen(text));
    ok = ok && LogicalRanksMake(&ranks);
    for (size_t i = 0; ok && i < count; ++i) ok = SortKeysAddLogical(&keys, &ranks, probes[i], wcslen(probes[i]));
    for (size_t i = 0; ok && i < count; ++i) {
        for (size_t j = 0; ok && j < count; ++j) {
            int r = logical(probes[i], probes[j]);
            ok = SortKeysCompare(&keys, i, j) == (r < 0 ? -1 : r > 0 ? 1 : 0);
        }
    }
    LogicalRanksFree(&ranks);
    SortKeysFree(&keys);
    return ok;
}
