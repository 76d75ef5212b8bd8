// The keyword index: hash tables beside the keyword tables, so that a word (a variable's
// name above all) is looked up with one probe instead of a binary search of the static
// table and a walk over every user-defined and host function.
//
// It answers exactly what the walks of FindKeyword answer for a word; where it cannot
// (a word over 30 characters, a function name that holds other characters than those of
// a word) it says so and the walks run.
//
// Invariants:
// - The static part is built once per process; the static names never change.
// - The context's part (user-defined and host functions) is built from the tables as they
//   stand and is rebuilt when they may have changed: when KeywordTablesChanged was called
//   (a function defined or removed, an extender's functions added), when the number of
//   user-defined functions or the host table differs from the build's, and when the host
//   has had control since the last check (ctx->host.nHostEpoch) and its names differ.
// - ctx->cache.tableStamp moves on with every such change; whoever keeps keyword ids
//   keeps the stamp they were found under and asks KeywordTablesStamp before using them.
// - Add-on functions are not indexed: their name map is asked directly, in their turn.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

enum KeywordIndexAnswer {
    KI_FOUND,       // *id holds the keyword's id
    KI_NONE,        // no keyword starts at prog
    KI_UNKNOWN,     // the index cannot tell: the walks of the lookup must run
};

// The lookup of the word at prog (word mode, the object expressions already ruled out).
KeywordIndexAnswer KeywordIndexFind(BDS* ctx, const char* prog, uint16_t* id);

// Every cached answer that depends on the user-defined, add-on or host tables is dropped:
// the keyword index's part and, through the stamp, the cached forms of lines.
void KeywordTablesChanged(BDS* ctx);

// The stamp of the keyword tables: it moves on whenever an answer of the lookup may have
// changed. A cache of keyword ids is sound while the stamp it was made under stands.
uint32_t KeywordTablesStamp(BDS* ctx);

// Frees the context's index (engine tear-down).
void KeywordIndexFree(BDS* ctx);
