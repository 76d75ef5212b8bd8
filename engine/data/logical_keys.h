// Logical keys: for each text of a set, a key made once whose bytes order the texts as the
// system's logical comparison (StrCmpLogicalW) orders them, ties included, so that a logical
// sort compares bytes instead of calling the system once per comparison.
//
// The comparison the keys stand for walks two texts side by side:
// - a run of the digits 0-9 against another such run compares by value, the run read as a
//   32-bit signed number that wraps as it grows ("4294967297" reads as 1, "2147483648" as
//   the smallest number), so leading zeros weigh nothing; equal values go on after both runs;
// - a digit comes before any other character;
// - other characters compare one code unit against one, without case, as CompareStringW
//   compares the two units alone under the thread locale (an accent counts where it stands,
//   not after all the letters as in a comparison of whole texts);
// - a text that ends first comes first.
//
// A key is a row of 16-bit words, high byte first: for a character its rank + 1 among the
// units of the set (ranked by that same comparison of single units, equal units sharing a
// rank), for a run of digits a zero word and then its value with the sign bit turned over
// (two words). A rank's word is above a run's zero word, and a key that is a prefix of
// another comes first, so keys compared as bytes (SortKeysCompare) follow the steps above.
//
// The system's function stays the reference: LogicalKeysAgree checks the keys against it on
// texts that tell the known ways of comparing apart; where they differ the caller goes on
// calling the function.
//
// Use: LogicalRanksBegin, LogicalRanksNote for every text, LogicalRanksMake, then
// SortKeysAddLogical for every text with the same ranks, and LogicalRanksFree.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/data/array_state.h"
#include "engine/data/sort_keys.h"

// The table is made of pages of 256 units, each made when a unit of it is first met, so
// that texts of a few scripts cost a few small blocks.
struct LogicalRanks {
    uint16_t* pages[256];   // per high byte of a unit: rank + 1 of each unit (0: not met)
    uint16_t* units;        // the units met other than digits, in the order met
    uint32_t distinct;      // how many
    uint32_t room;
    bool failed;            // a text could not be noted: no ranks will be made
};

bool LogicalRanksBegin(LogicalRanks* ranks);
void LogicalRanksNote(LogicalRanks* ranks, const wchar_t* text, size_t length);

// Ranks the units noted under the thread locale; false when the memory is not there or the
// system's comparison of two units fails or contradicts itself.
bool LogicalRanksMake(LogicalRanks* ranks);
void LogicalRanksFree(LogicalRanks* ranks);

// Adds the key of a text every unit of which was noted; false when the memory is not there
// or the key would be too long.
bool SortKeysAddLogical(SortKeys* keys, const LogicalRanks* ranks, const wchar_t* text, size_t length);

// Whether the keys order a set of probing texts exactly as `logical` does, every pair.
bool LogicalKeysAgree(PfnStrCmpLogicalW logical);
