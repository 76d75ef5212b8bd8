// Sort keys: for each text of a set, the system's collation key, made once, so that a sort
// compares two texts by their bytes instead of asking the system's locale comparison once
// per comparison.
//
// A key is what LCMapString answers for LCMAP_SORTKEY under the same locale, code page and
// flags that the comparison it stands for uses (the thread locale and the ANSI code page,
// as lstrcmpA and lstrcmpiA; with NORM_IGNORECASE for the case-insensitive order). Two keys
// compared byte by byte, a key that is a prefix of the other first, order their texts as
// that comparison does, ties included: the system documents the two as the same order
// (tests/unit/sort_keys_test.cpp holds it to that on a table of awkward texts).
//
// Invariants:
// - Key i stands for the i-th text added; keys are never changed once added.
// - A set whose memory could not be had answers false on adding; its caller then sorts
//   with the comparison itself, so running short of memory costs speed, never the order.
#pragma once

#include <cstddef>
#include <cstdint>

struct SortKeys {
    uint8_t* bytes;         // every key, one after the other
    size_t used;
    size_t room;
    uint64_t* spans;        // key i: its offset (high 40 bits) and length (low 24 bits)
    size_t count;
    size_t capacity;
};

// Room for `count` keys; false when the memory is not there.
bool SortKeysReserve(SortKeys* keys, size_t count);
void SortKeysFree(SortKeys* keys);

// Adds the key of a narrow text (ANSI code page, as lstrcmpA reads it) or of a wide one
// (as CompareStringW reads it); `length` counts its units. False when the system makes no
// key or the memory runs out.
bool SortKeysAddNarrow(SortKeys* keys, const char* text, size_t length, bool noCase);
bool SortKeysAddWide(SortKeys* keys, const wchar_t* text, size_t length, bool noCase);

// Keys of another making (logical_keys.h): room for a key of at most `most` bytes, written
// at the address answered and then noted with its length; null when the memory is not there
// or the key could be longer than a key may be.
uint8_t* SortKeysRoom(SortKeys* keys, size_t most);
bool SortKeysNote(SortKeys* keys, size_t length);

// -1, 0 or 1 as text i compares with text j.
int SortKeysCompare(const SortKeys* keys, size_t i, size_t j);

// Keys in the order of a comparison without case whose ties the comparison with case
// breaks (lstrcmpiA, then lstrcmpA), or of the comparison with case alone.
struct TieKeys {
    SortKeys primary;       // without case when `noCase`, else with case
    SortKeys ties;          // with case, only when `noCase`
    bool noCase;
};

bool TieKeysReserve(TieKeys* keys, size_t count, bool noCase);
void TieKeysFree(TieKeys* keys);

// Adds the keys of the next text: `add(SortKeys*, bool noCase)` adds its key to a set.
template <typename Add>
bool TieKeysAdd(TieKeys* keys, Add add)
{
    return add(&keys->primary, keys->noCase) && (!keys->noCase || add(&keys->ties, false));
}

int TieKeysCompare(const TieKeys* keys, size_t i, size_t j);
