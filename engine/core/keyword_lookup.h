// Keyword lookup over the static table (through the QuickLook index), the user-defined
// functions, the add-on functions (through the name map) and the host's functions.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

// The index over the static table: entry c holds the position of the first record whose
// first name byte is c or greater (809 when none); index[128] stays 0. The shadow copy
// tells a damaged index from a sound one. Process-wide, built on the first lookup.
struct QuickLookIndex {
    uint32_t index[129];
    uint32_t shadow[128];
    uint32_t built;
};
extern QuickLookIndex g_QuickLook;

// Builds the index unless it is built. A table out of order shows "FSOP782" (names out of
// order) or "FNP983" (an id that is not its position) boxes; the index is built anyway.
void BuildQuickLook();

// Number of order faults of a keyword table (the boxes' cause); the static table has none.
int CountKeywordTableFaults(const KeywordRecord* table, uint32_t count);

// Decides whether a keyword starts at ctx->prog: 1 with its id in ctx->delim_type, 0 when
// none does (delim_type unchanged). Never moves prog. wordMode is 1 when the character at
// prog is a letter, '@' or '_'. A pointer that cannot be resolved while an object
// expression is recognised sets 3815/3816 (then the answer is 0 and nErrorCode tells).
int FindKeyword(BDS* ctx, int wordMode);

// ---------------------------------------------------------------- name map
// A case-insensitive map from a name (at most 31 characters) to a number, owned by the
// context; it finds add-on functions by name. Hash: 32-bit FNV-1a over the lowered bytes.

uint32_t NameMapHash(const char* name);
int NameMapCreate(BDS* ctx, uint32_t capacity);                 // 1, or 0 with 1631
int NameMapInsert(BDS* ctx, const char* name, uint32_t value);  // 1, or 0 with 1631
uint32_t NameMapLookup(BDS* ctx, const char* name);             // value, or 9999
int NameMapRemove(BDS* ctx, const char* name);                  // 1 removed, else 0
int NameMapDestroy(BDS* ctx);                                   // 1 freed, 0 none
