// Hints beside the variable tables: where a name was last found, so that a look-up in a
// table of many variables need not scan it from the start.
//
// A hint is never trusted: it answers only after the entry it names is checked to hold the
// name, within the table in use. That answer is the scan's own because a table holds each
// name at most once (creating a variable reuses the entry that already has its name, live
// or free), so the checked entry is the only one with that name. Everything a hint cannot
// answer (no hint, a hint of another name, another scope or a stale entry) goes to the
// scan, which then leaves a new hint. Nothing has to be told when entries or tables
// change: a wrong hint costs a scan, never a wrong answer.
#pragma once

#include <cstddef>
#include <cstdint>

struct BDS;

constexpr uint32_t VAR_HINT_BITS = 12;
constexpr uint32_t VAR_HINT_COUNT = 1u << VAR_HINT_BITS;

struct VarHintState {
    uint32_t hints[VAR_HINT_COUNT];   // entry index | scope slot << 16; 0: none
};

// The entry (1 and up, below nVarUsed) of the current table that holds the name key of
// `length` bytes (the NUL after them included in the check), whatever its flags; -1 when
// the hints do not know it (the caller scans).
int VarHintFind(BDS* ctx, const char* key, size_t length);

// Records that entry `index` of the current table holds the name key.
void VarHintNote(BDS* ctx, const char* key, size_t length, uint32_t index);
