// Sort keys (see sort_keys.h): the system's collation keys of a set of texts, kept in one
// growing block, compared as bytes.
#include "engine/data/sort_keys.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace {

constexpr size_t MAX_KEY_BYTES = (static_cast<size_t>(1) << 24) - 1;

void* Grow(void* block, size_t bytes)
{
    HANDLE heap = GetProcessHeap();
    return block ? HeapReAlloc(heap, 0, block, bytes) : HeapAlloc(heap, 0, bytes);
}

// Room for `more` further key bytes.
bool MakeRoom(SortKeys* keys, size_t more)
{
    if (keys->room - keys->used >= more) return true;
    size_t want = keys->room + keys->room / 2;
    if (want < keys->used + more) want = keys->used + more;
    if (want < 4096) want = 4096;
    auto* bytes = static_cast<uint8_t*>(Grow(keys->bytes, want));
    if (!bytes) return false;
    keys->bytes = bytes;
    keys->room = want;
    return true;
}

bool NoteSpan(SortKeys* keys, size_t length)
{
    if (keys->count >= keys->capacity && !SortKeysReserve(keys, keys->capacity ? keys->capacity * 2 : 64))
        return false;
    keys->spans[keys->count++] = static_cast<uint64_t>(keys->used) << 24 | length;
    keys->used += length;
    return true;
}

// The thread locale with the ANSI code page: the comparison lstrcmpA makes.
DWORD Flags(bool noCase) { return LCMAP_SORTKEY | (noCase ? NORM_IGNORECASE : 0); }

// Writes one key with `map` (a call of LCMapStringA or LCMapStringW for the text into the
// given room); asks for the key's size only when a generous first guess was too small.
template <typename Map>
bool AddKey(SortKeys* keys, size_t units, Map map)
{
    if (units > INT_MAX / 8) return false;
    size_t guess = units * 6 + 32;
    if (!MakeRoom(keys, guess)) return false;
    int made = map(keys->bytes + keys->used, static_cast<int>(keys->room - keys->used > INT_MAX ? INT_MAX
                                                                   : keys->room - keys->used));
    if (made <= 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        int need = map(nullptr, 0);
        if (need <= 0 || !MakeRoom(keys, static_cast<size_t>(need))) return false;
        made = map(keys->bytes + keys->used, need);
        if (made <= 0) return false;
    }
    if (static_cast<size_t>(made) > MAX_KEY_BYTES) return false;
    return NoteSpan(keys, static_cast<size_t>(made));
}

}  // namespace

bool SortKeysReserve(SortKeys* keys, size_t count)
{
    if (count <= keys->capacity) return true;
    auto* spans = static_cast<uint64_t*>(Grow(keys->spans, count * sizeof(uint64_t)));
    if (!spans) return false;
    keys->spans = spans;
    keys->capacity = count;
    return true;
}

void SortKeysFree(SortKeys* keys)
{
    if (keys->bytes) HeapFree(GetProcessHeap(), 0, keys->bytes);
    if (keys->spans) HeapFree(GetProcessHeap(), 0, keys->spans);
    *keys = SortKeys{};
}

bool SortKeysAddNarrow(SortKeys* keys, const char* text, size_t length, bool noCase)
{
    // The system refuses a counted text of no units; an empty text is passed as one ended by NUL.
    int units = length ? static_cast<int>(length) : -1;
    if (!length) text = "";
    return AddKey(keys, length, [&](uint8_t* out, int room) {
        return LCMapStringA(GetThreadLocale(), Flags(noCase) | LOCALE_USE_CP_ACP, text, units,
                            reinterpret_cast<char*>(out), room);
    });
}

bool SortKeysAddWide(SortKeys* keys, const wchar_t* text, size_t length, bool noCase)
{
    int units = length ? static_cast<int>(length) : -1;
    if (!length) text = L"";
    return AddKey(keys, length, [&](uint8_t* out, int room) {
        // A sort key is written as bytes, whatever the call's character width.
        return LCMapStringW(GetThreadLocale(), Flags(noCase), text, units, reinterpret_cast<wchar_t*>(out), room);
    });
}

uint8_t* SortKeysRoom(SortKeys* keys, size_t most)
{
    // One byte more, so that even the room of an empty key has an address.
    if (most > MAX_KEY_BYTES || !MakeRoom(keys, most + 1)) return nullptr;
    return keys->bytes + keys->used;
}

bool SortKeysNote(SortKeys* keys, size_t length) { return NoteSpan(keys, length); }

int SortKeysCompare(const SortKeys* keys, size_t i, size_t j)
{
    uint64_t a = keys->spans[i], b = keys->spans[j];
    size_t la = a & MAX_KEY_BYTES, lb = b & MAX_KEY_BYTES;
    const uint8_t* x = keys->bytes + (a >> 24);
    const uint8_t* y = keys->bytes + (b >> 24);
    size_t n = la < lb ? la : lb;
    // Eight bytes at a time, read in the order of their significance (the platform's
    // memcmp goes byte by byte).
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t p, q;
        std::memcpy(&p, x + k, 8);
        std::memcpy(&q, y + k, 8);
        if (p != q) {
            p = __builtin_bswap64(p);
            q = __builtin_bswap64(q);
            return p < q ? -1 : 1;
        }
    }
    for (; k < n; ++k)
        if (x[k] != y[k]) return x[k] < y[k] ? -1 : 1;
    return la < lb ? -1 : la > lb ? 1 : 0;
}

bool TieKeysReserve(TieKeys* keys, size_t count, bool noCase)
{
    keys->noCase = noCase;
    return SortKeysReserve(&keys->primary, count) && (!noCase || SortKeysReserve(&keys->ties, count));
}

void TieKeysFree(TieKeys* keys)
{
    SortKeysFree(&keys->primary);
    SortKeysFree(&keys->ties);
}

int TieKeysCompare(const TieKeys* keys, size_t i, size_t j)
{
    int c = SortKeysCompare(&keys->primary, i, j);
    return c == 0 && keys->noCase ? SortKeysCompare(&keys->ties, i, j) : c;
}
