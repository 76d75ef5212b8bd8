// Maps: the language's associative arrays. A map is an array block (ArrayHeader with
// ARRAY_MAP) whose `data` addresses a chained hash table of text keys, compared without
// regard to case, each with one value.
//
// The hash is 32-bit FNV-1a over the case-folded key (map_keys.h: byte by byte, or by
// characters under a code page whose characters take several bytes); a key lives in bucket
// hash % bucketCount, each chain newest first, and the bucket count never changes, so
// iteration order (buckets ascending, each chain from its head) follows from the keys and
// the order of insertion alone.
//
// Beside the chains a map that has grown past its bucket count keeps a finder (MapFinder,
// map.cpp): an open-addressing table of the entries by their hash that doubles as the map
// grows, so that finding, adding and removing a key cost the same at ten keys and at a
// million, however few buckets the map was made with. It changes nothing that the chains,
// the counts or the iteration order show; it is made, grown and dropped in map.cpp alone.
#pragma once

#include <cstdint>

#include "engine/data/array.h"

struct BDS;

struct MapEntry {
    uint64_t key;           // heap offset of the key text
    uint32_t keyOwned;      // 1: the entry frees the key text
    BDS* keyContext;        // the context whose heap holds the key
    BDS* valueContext;      // the context whose heap holds the value's texts
    ArrayElement value;     // flags 0: the key has no value
    MapEntry* next;         // bucket chain; free-list link while unused
    uint32_t hash;
    MapEntry* previous;     // the entry before it in its chain (null at the head): a removal
                            // unlinks without walking the chain
};

// The hash table behind a map's header, in the same block.
struct MapTable {
    MapEntry** buckets;     // bucketCount heads (process heap), null after the table emptied
    uint32_t bucketCount;   // fixed for the map's life
    uint64_t count;         // entries
    uint32_t outOfMemory;   // a bucket array or an entry block could not be allocated
    MapEntry* freeList;     // unused entries of the pool
    void* blocks;           // chain of entry blocks
    uint32_t blockEntries;  // entries per block (at least 1)
    struct MapFinder* finder;  // every entry by its hash, once the map outgrew its buckets
    // The place the last positional step (MapPositionStep) handed on and the entry there,
    // valid while `changes` (raised by every insert and remove) is what it was then: a walk
    // place by place costs no chain walk per step.
    uint32_t changes;
    uint32_t stepChanges;
    uint64_t stepPosition;
    MapEntry* stepEntry;
    // How the keys are folded (map_keys.h): 0 byte by byte, else the multi-byte code page
    // whose characters they fold by; taken when the map gets a key while it holds none.
    uint32_t keyCodePage;
};

constexpr uint32_t MAP_DEFAULT_BUCKETS = 64;
constexpr uint32_t MAP_MIN_BUCKETS = 32;
constexpr uint32_t MAP_MAX_BUCKETS = 262144;

// The map's table, or null when the block is no map.
inline MapTable* MapTableOf(const ArrayHeader* map)
{
    return (map && (map->flags & ARRAY_MAP)) ? reinterpret_cast<MapTable*>(map->data) : nullptr;
}

// The bucket count new maps get by default, and its setter (clamped to 32..262144;
// answers the previous value).
uint32_t MapInitialSize(BDS* ctx);
uint32_t SetMapInitialSize(BDS* ctx, int32_t size);

// Makes a new empty map in `value` (VF_ARRAY, the block). A bucket count below 1 means 33.
// Answers 1, or 0 with 1631.
int MapAlloc(BDS* ctx, int64_t bucketCount, ValueHead* value);

// The value of `key`, or null when the map has no such key.
ArrayElement* MapFind(BDS* ctx, ArrayHeader* map, const char* key);
bool MapContains(BDS* ctx, ArrayHeader* map, const char* key);

// Finds or adds `key` and answers its value (an existing key keeps its value; the caller
// overwrites it), or null with 1631 (memory) or 3096 (key copy). The first form takes over
// the heap text at *key (the caller's offset becomes 0; freed when the key existed), the
// second copies the text for a new entry.
ArrayElement* MapInsertTakeKey(BDS* ctx, ArrayHeader* map, uint64_t* key);
ArrayElement* MapInsertCopyKey(BDS* ctx, ArrayHeader* map, const char* key);

// Removes the key with its value; answers 1 when there was one.
int MapRemove(BDS* ctx, ArrayHeader* map, const char* key);

uint64_t MapCount(const ArrayHeader* map);

// Iteration: cursor = MapCursorStart(map); while (cursor) cursor = MapIterate(map, cursor,
// &key, &value). The cursor designates the entry the next call gives.
uintptr_t MapCursorStart(const ArrayHeader* map);
uintptr_t MapIterate(BDS* ctx, const ArrayHeader* map, uintptr_t cursor, const char** key,
                     ArrayElement** value);

// A cursor kept while the map may have changed (a loop's body ran): the same cursor while
// its entry, whose key hashed to `hash`, is still in the map; once that entry is gone, the
// cursor of the first entry in a later bucket (0: none). Never reads a removed entry.
uintptr_t MapCursorRevalidate(const ArrayHeader* map, uintptr_t cursor, uint32_t hash);
// The key hash of the entry a cursor from MapIterate designates (0 for the end cursor).
uint32_t MapCursorHash(uintptr_t cursor);

// A walk whose position a host keeps between calls while the map may change: the position
// names a bucket and a place in its chain, never an entry's address, so a stale one can
// only skip or repeat entries. MapPositionStart answers 0 for an empty map; MapPositionStep
// gives the entry at the position (or the next one left, when it is gone) and answers the
// following position, 0 after the last entry; *key stays null when no entry was left.
uint64_t MapPositionStart(const ArrayHeader* map);
uint64_t MapPositionStep(BDS* ctx, const ArrayHeader* map, uint64_t position, const char** key,
                         ArrayElement** value);

// Releases every entry's value and key, the bucket array and the entry blocks.
void MapReleaseTable(BDS* ctx, ArrayHeader* map);
