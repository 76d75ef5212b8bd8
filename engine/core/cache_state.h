// What the interpreter's caches keep in the context: the keyword index's part for the
// context's own tables, the stamp of those tables, the cached forms of lines and the
// length of the text last grown in place. Each cache is its own file (keyword_index,
// line_cache, text_append) with its invariants written there.
#pragma once

#include <cstdint>

struct KeywordIndex;
struct LineCacheTable;

struct CacheState {
    KeywordIndex* keywordIndex;     // made at the first lookup of a word
    uint32_t tableStamp;            // moves on when the keyword tables change
    LineCacheTable* lines;          // the cached lines, made when the first line is kept
    uint32_t runDepth;              // runs of statement lines in progress (nested by calls)
    uint64_t appendText;            // heap offset of the text last appended to (0: none)
    uint64_t appendLength;          // its length then
};
