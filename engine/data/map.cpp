// Maps: the hash table inside a map block, its entry pool, and the operations the map
// built-ins, the map files and the evaluator's map elements use.
#include "engine/core/text_length.h"
#include "engine/data/map.h"

#include <windows.h>

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/heap.h"
#include "engine/data/array_errors.h"
#include "engine/data/map_keys.h"

namespace {

// An entry block: the link to the next block, then the entries.
struct EntryBlock {
    EntryBlock* next;
    MapEntry entries[1];
};

void* AllocZeroed(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
void FreeMemory(void* p)
{
    if (p) HeapFree(GetProcessHeap(), 0, p);
}

// ---------------------------------------------------------------- the finder

// Linear probing over a power-of-two table of entry pointers, at most half full; a removal
// shifts the entries after it back, so there are no tombstones and a probe ends at the first
// empty slot. The finder only ever holds entries that are linked in a chain.
}  // namespace

struct MapFinder {
    uint32_t bits;          // capacity is 1 << bits
    uint32_t used;
    MapEntry* slots[1];
};

namespace {

constexpr uint32_t FINDER_MIN_BITS = 6;
constexpr uint32_t FINDER_MAX_BITS = 31;

uint32_t HomeSlot(const MapFinder* f, uint32_t hash) { return (hash * 0x9E3779B9u) >> (32 - f->bits); }
uint32_t SlotMask(const MapFinder* f) { return (1u << f->bits) - 1; }

MapFinder* NewFinder(uint32_t bits)
{
    size_t bytes = sizeof(MapFinder) + ((static_cast<size_t>(1) << bits) - 1) * sizeof(MapEntry*);
    auto* f = static_cast<MapFinder*>(AllocZeroed(bytes));
    if (f) f->bits = bits;
    return f;
}

void FinderPut(MapFinder* f, MapEntry* e)
{
    uint32_t mask = SlotMask(f);
    uint32_t i = HomeSlot(f, e->hash);
    while (f->slots[i]) i = (i + 1) & mask;
    f->slots[i] = e;
    ++f->used;
}

void DropFinder(MapTable* table)
{
    FreeMemory(table->finder);
    table->finder = nullptr;
}

// A finder of 1 << bits slots holding every entry of the chains; false, with the finder
// as it was, when the memory is not there (the chains alone still answer everything).
bool RebuildFinder(MapTable* table, uint32_t bits)
{
    MapFinder* f = bits <= FINDER_MAX_BITS ? NewFinder(bits) : nullptr;
    if (!f) return false;
    DropFinder(table);
    for (uint32_t b = 0; table->buckets && b < table->bucketCount; ++b)
        for (MapEntry* e = table->buckets[b]; e; e = e->next) FinderPut(f, e);
    table->finder = f;
    return true;
}

// A map that has outgrown its buckets gets a finder; one that fills its finder half gets
// one twice as large.
void FinderAdd(MapTable* table, MapEntry* e)
{
    MapFinder* f = table->finder;
    if (!f) {
        if (table->count <= table->bucketCount || table->count < 16) return;
        uint32_t bits = FINDER_MIN_BITS;
        while (bits < FINDER_MAX_BITS && (static_cast<uint64_t>(1) << bits) < table->count * 4) ++bits;
        RebuildFinder(table, bits);  // e is already in its chain
        return;
    }
    uint64_t slots = static_cast<uint64_t>(1) << f->bits;
    if ((static_cast<uint64_t>(f->used) + 1) * 2 > slots) {
        if (RebuildFinder(table, f->bits + 1)) return;
        // Without the memory for a larger one the finder serves on up to three quarters
        // full; past that the chains alone answer (a probe needs an empty slot to end).
        if ((static_cast<uint64_t>(f->used) + 1) * 4 > slots * 3) {
            DropFinder(table);
            return;
        }
    }
    FinderPut(f, e);
}

void FinderRemove(MapTable* table, const MapEntry* e)
{
    MapFinder* f = table->finder;
    if (!f) return;
    uint32_t mask = SlotMask(f);
    uint32_t i = HomeSlot(f, e->hash);
    while (f->slots[i] && f->slots[i] != e) i = (i + 1) & mask;
    if (!f->slots[i]) return;
    // Shift back every later entry of the run that may sit at or before the hole.
    for (uint32_t j = (i + 1) & mask; f->slots[j]; j = (j + 1) & mask) {
        uint32_t home = HomeSlot(f, f->slots[j]->hash);
        bool between = i <= j ? (home > i && home <= j) : (home > i || home <= j);
        if (between) continue;
        f->slots[i] = f->slots[j];
        i = j;
    }
    f->slots[i] = nullptr;
    --f->used;
}

// Whether the finder holds this very entry (its memory is never read).
bool FinderHolds(const MapFinder* f, uintptr_t entry, uint32_t hash)
{
    uint32_t mask = SlotMask(f);
    for (uint32_t i = HomeSlot(f, hash); f->slots[i]; i = (i + 1) & mask)
        if (reinterpret_cast<uintptr_t>(f->slots[i]) == entry) return true;
    return false;
}

// ---------------------------------------------------------------- the table

bool MakeBuckets(MapTable* table)
{
    table->buckets = static_cast<MapEntry**>(AllocZeroed(sizeof(MapEntry*) * table->bucketCount));
    if (!table->buckets) {
        table->outOfMemory = 1;
        return false;
    }
    return true;
}

// Frees the bucket array and every entry block (the entries' contents must be gone).
void FreeStorage(MapTable* table)
{
    DropFinder(table);
    FreeMemory(table->buckets);
    table->buckets = nullptr;
    auto* block = static_cast<EntryBlock*>(table->blocks);
    while (block) {
        EntryBlock* next = block->next;
        FreeMemory(block);
        block = next;
    }
    table->blocks = nullptr;
    table->freeList = nullptr;
    table->count = 0;
}

// An unused entry from the pool, zeroed; a new block when the pool is empty.
MapEntry* TakeEntry(MapTable* table)
{
    if (!table->freeList) {
        uint32_t n = table->blockEntries ? table->blockEntries : 1;
        size_t bytes = sizeof(EntryBlock) + (static_cast<size_t>(n) - 1) * sizeof(MapEntry);
        auto* block = static_cast<EntryBlock*>(AllocZeroed(bytes));
        if (!block) {
            table->outOfMemory = 1;
            return nullptr;
        }
        block->next = static_cast<EntryBlock*>(table->blocks);
        table->blocks = block;
        for (uint32_t i = n; i-- > 0;) {  // the block's first entry ends up at the head
            block->entries[i].next = table->freeList;
            table->freeList = &block->entries[i];
        }
    }
    MapEntry* entry = table->freeList;
    table->freeList = entry->next;
    std::memset(entry, 0, sizeof *entry);
    return entry;
}

void ReleaseEntry(BDS* ctx, MapEntry* entry)
{
    if (entry->value.flags)
        FreeValue(ctx, &entry->value, 0, VK_ELEMENT);
    if (entry->keyOwned && entry->key)
        VFree(ctx, entry->key);
    entry->key = 0;
    entry->keyOwned = 0;
}

void SyncHeader(ArrayHeader* map, const MapTable* table)
{
    uint32_t n = table->count > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(table->count);
    map->dims[0] = n;
    map->count = n;
}

// Keys are the same key when their hashes are and the map's folding rule finds them equal
// (map_keys.h).
bool SameKey(BDS* ctx, const MapTable* table, const MapEntry* e, uint32_t hash, const char* key)
{
    if (e->hash != hash || !e->key) return false;
    return MapKeysEqual(table->keyCodePage, HeapPtr(ctx, e->key), key);
}

// The hash of a key under the map's folding rule.
uint32_t KeyHash(const MapTable* table, const char* key)
{
    return MapKeyHash(table->keyCodePage, key);
}

// The hash of a key about to be inserted. A map without keys takes its folding rule from
// the code page in force now, so that a map made before ChrSetCodePage and filled after it
// folds as the code page's text wants; while it holds keys the rule stays, or keys stored
// under one rule could no longer be found under another.
uint32_t InsertHash(BDS* ctx, MapTable* table, const char* key)
{
    if (table->count == 0) table->keyCodePage = MapKeyCodePage(ctx);
    return KeyHash(table, key);
}

MapEntry* FindEntry(BDS* ctx, const MapTable* table, const char* key, uint32_t hash)
{
    if (!table->buckets) return nullptr;
    if (const MapFinder* f = table->finder) {
        uint32_t mask = SlotMask(f);
        for (uint32_t i = HomeSlot(f, hash); f->slots[i]; i = (i + 1) & mask)
            if (SameKey(ctx, table, f->slots[i], hash, key)) return f->slots[i];
        return nullptr;
    }
    for (MapEntry* e = table->buckets[hash % table->bucketCount]; e; e = e->next)
        if (SameKey(ctx, table, e, hash, key)) return e;
    return nullptr;
}

// Links a fresh entry for `key` (owned heap text) at the head of its bucket.
ArrayElement* AddEntry(BDS* ctx, ArrayHeader* map, MapTable* table, uint64_t key, uint32_t hash)
{
    if (!table->buckets && !MakeBuckets(table)) {
        SetError(ctx, ERR_ARRAY_ALLOC);
        return nullptr;
    }
    MapEntry* entry = TakeEntry(table);
    if (!entry) {
        SetError(ctx, ERR_ARRAY_ALLOC);
        return nullptr;
    }
    entry->key = key;
    entry->keyOwned = 1;
    entry->keyContext = ctx;
    entry->valueContext = ctx;
    entry->hash = hash;
    MapEntry*& head = table->buckets[hash % table->bucketCount];
    entry->next = head;
    if (head) head->previous = entry;
    head = entry;
    ++table->count;
    ++table->changes;
    FinderAdd(table, entry);
    SyncHeader(map, table);
    return &entry->value;
}

// The first entry of bucket `from` or a later one.
MapEntry* FirstFrom(const MapTable* table, uint32_t from)
{
    if (!table->buckets) return nullptr;
    for (uint32_t b = from; b < table->bucketCount; ++b)
        if (table->buckets[b]) return table->buckets[b];
    return nullptr;
}

}  // namespace

uint32_t MapInitialSize(BDS* ctx)
{
    uint32_t size = ctx->eng.ctl.MapInitialSize;
    return size ? size : MAP_DEFAULT_BUCKETS;
}

uint32_t SetMapInitialSize(BDS* ctx, int32_t size)
{
    uint32_t old = MapInitialSize(ctx);
    int64_t clamped = size < static_cast<int32_t>(MAP_MIN_BUCKETS) ? MAP_MIN_BUCKETS
                      : size > static_cast<int32_t>(MAP_MAX_BUCKETS) ? MAP_MAX_BUCKETS
                                                                     : size;
    ctx->eng.ctl.MapInitialSize = static_cast<uint32_t>(clamped);
    return old;
}

int MapAlloc(BDS* ctx, int64_t bucketCount, ValueHead* value)
{
    uint32_t buckets = bucketCount < 1 ? 33u
                       : bucketCount > 0x7FFFFFFF ? 0x7FFFFFFFu
                                                  : static_cast<uint32_t>(bucketCount);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(ArrayHeader) + sizeof(MapTable));
    auto* map = block ? static_cast<ArrayHeader*>(GlobalLock(block)) : nullptr;
    if (!map) {
        if (block) GlobalFree(block);
        SetError(ctx, ERR_ARRAY_ALLOC);
        return 0;
    }
    auto* table = reinterpret_cast<MapTable*>(map + 1);
    table->bucketCount = buckets;
    table->blockEntries = buckets / 8 ? buckets / 8 : 1;
    if (!MakeBuckets(table)) {
        FreeArrayBlock(map);
        SetError(ctx, ERR_ARRAY_ALLOC);
        return 0;
    }
    map->ndims = 1;
    map->flags = ARRAY_MAP;
    map->data = reinterpret_cast<ArrayElement*>(table);
    map->refs = 1;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    map->stamp = now.QuadPart;
    value->flags = VF_ARRAY;
    value->str = reinterpret_cast<uint64_t>(map);
    return 1;
}

ArrayElement* MapFind(BDS* ctx, ArrayHeader* map, const char* key)
{
    MapTable* table = MapTableOf(map);
    if (!table || !key) return nullptr;
    MapEntry* e = FindEntry(ctx, table, key, KeyHash(table, key));
    return e ? &e->value : nullptr;
}

bool MapContains(BDS* ctx, ArrayHeader* map, const char* key) { return MapFind(ctx, map, key) != nullptr; }

ArrayElement* MapInsertTakeKey(BDS* ctx, ArrayHeader* map, uint64_t* key)
{
    MapTable* table = MapTableOf(map);
    if (!table || !key || !*key) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return nullptr;
    }
    const char* text = HeapPtr(ctx, *key);
    uint32_t hash = InsertHash(ctx, table, text);
    if (MapEntry* e = FindEntry(ctx, table, text, hash)) {
        VFree(ctx, *key);
        *key = 0;
        return &e->value;
    }
    ArrayElement* value = AddEntry(ctx, map, table, *key, hash);
    if (value) *key = 0;
    return value;
}

ArrayElement* MapInsertCopyKey(BDS* ctx, ArrayHeader* map, const char* key)
{
    MapTable* table = MapTableOf(map);
    if (!table || !key) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return nullptr;
    }
    uint32_t hash = InsertHash(ctx, table, key);
    if (MapEntry* e = FindEntry(ctx, table, key, hash))
        return &e->value;
    uint64_t copy = HeapCopyText(ctx, key, TextLength(key));
    if (!copy) {
        SetError(ctx, ERR_ARRAY_HEAP_FULL);
        return nullptr;
    }
    ArrayElement* value = AddEntry(ctx, map, table, copy, hash);
    if (!value) VFree(ctx, copy);
    return value;
}

int MapRemove(BDS* ctx, ArrayHeader* map, const char* key)
{
    MapTable* table = MapTableOf(map);
    if (!table || !key || !table->buckets) return 0;
    uint32_t hash = KeyHash(table, key);
    MapEntry* e = FindEntry(ctx, table, key, hash);
    if (!e) return 0;
    if (e->previous) e->previous->next = e->next;
    else table->buckets[hash % table->bucketCount] = e->next;
    if (e->next) e->next->previous = e->previous;
    FinderRemove(table, e);
    --table->count;
    ++table->changes;
    SyncHeader(map, table);
    ReleaseEntry(ctx, e);
    // The entry goes back to the pool; the last one out frees the storage.
    e->next = table->freeList;
    table->freeList = e;
    if (table->count == 0)
        FreeStorage(table);
    return 1;
}

uint64_t MapCount(const ArrayHeader* map)
{
    const MapTable* table = MapTableOf(map);
    return table ? table->count : 0;
}

uintptr_t MapCursorStart(const ArrayHeader* map)
{
    return MapCount(map) ? ~static_cast<uintptr_t>(0) : 0;
}

uintptr_t MapIterate(BDS* ctx, const ArrayHeader* map, uintptr_t cursor, const char** key,
                     ArrayElement** value)
{
    const MapTable* table = MapTableOf(map);
    if (!table || !cursor) return 0;
    MapEntry* e = cursor == ~static_cast<uintptr_t>(0) ? FirstFrom(table, 0)
                                                        : reinterpret_cast<MapEntry*>(cursor);
    if (!e) return 0;
    if (key) *key = e->key ? HeapPtr(ctx, e->key) : "";
    if (value) *value = &e->value;
    MapEntry* next = e->next ? e->next : FirstFrom(table, e->hash % table->bucketCount + 1);
    return reinterpret_cast<uintptr_t>(next);
}

uintptr_t MapCursorRevalidate(const ArrayHeader* map, uintptr_t cursor, uint32_t hash)
{
    const MapTable* table = MapTableOf(map);
    if (!table || !table->buckets || !cursor) return 0;
    if (cursor == ~static_cast<uintptr_t>(0)) return MapCursorStart(map);
    uint32_t bucket = hash % table->bucketCount;
    if (table->finder) {
        // A removed entry goes back to the pool and may hold another key by now: it
        // must still be in the cursor's bucket (a live entry's memory may be read).
        if (FinderHolds(table->finder, cursor, hash)
            && reinterpret_cast<const MapEntry*>(cursor)->hash % table->bucketCount == bucket)
            return cursor;
    } else {
        for (MapEntry* e = table->buckets[bucket]; e; e = e->next)
            if (reinterpret_cast<uintptr_t>(e) == cursor) return cursor;
    }
    return reinterpret_cast<uintptr_t>(FirstFrom(table, bucket + 1));
}

uint32_t MapCursorHash(uintptr_t cursor)
{
    if (!cursor || cursor == ~static_cast<uintptr_t>(0)) return 0;
    return reinterpret_cast<const MapEntry*>(cursor)->hash;
}

namespace {

// Position of place `k` in the chain of bucket `b`: never 0 (the end) nor all ones.
uint64_t PositionOf(uint32_t b, uint32_t k) { return (static_cast<uint64_t>(b) + 1) << 32 | k; }

// The position of the first entry in bucket `from` or a later one; 0 when there is none.
uint64_t FirstPositionFrom(const MapTable* table, uint32_t from)
{
    for (uint32_t b = from; table->buckets && b < table->bucketCount; ++b)
        if (table->buckets[b]) return PositionOf(b, 0);
    return 0;
}

}  // namespace

uint64_t MapPositionStart(const ArrayHeader* map)
{
    const MapTable* table = MapTableOf(map);
    return table ? FirstPositionFrom(table, 0) : 0;
}

uint64_t MapPositionStep(BDS* ctx, const ArrayHeader* map, uint64_t position, const char** key,
                         ArrayElement** value)
{
    MapTable* table = MapTableOf(map);
    if (!table || !table->buckets || (position >> 32) == 0) return 0;
    uint64_t b = (position >> 32) - 1;
    uint32_t k = static_cast<uint32_t>(position);
    if (b >= table->bucketCount) return 0;
    MapEntry* e;
    if (table->stepEntry && position == table->stepPosition && table->stepChanges == table->changes) {
        e = table->stepEntry;
    } else {
        e = table->buckets[b];
        for (uint32_t i = 0; e && i < k; ++i) e = e->next;
    }
    if (!e) {   // that place is gone: on with the next bucket that holds entries
        uint64_t next = FirstPositionFrom(table, static_cast<uint32_t>(b) + 1);
        if (!next) return 0;
        b = (next >> 32) - 1;
        k = 0;
        e = table->buckets[b];
    }
    if (key) *key = e->key ? HeapPtr(ctx, e->key) : "";
    if (value) *value = &e->value;
    uint64_t next = e->next ? PositionOf(static_cast<uint32_t>(b), k + 1)
                            : FirstPositionFrom(table, static_cast<uint32_t>(b) + 1);
    table->stepPosition = next;
    table->stepEntry = e->next ? e->next : next ? table->buckets[(next >> 32) - 1] : nullptr;
    table->stepChanges = table->changes;
    return next;
}

void MapReleaseTable(BDS* ctx, ArrayHeader* map)
{
    MapTable* table = MapTableOf(map);
    if (!table) return;
    if (table->buckets) {
        for (uint32_t b = 0; b < table->bucketCount; ++b)
            for (MapEntry* e = table->buckets[b]; e; e = e->next)
                ReleaseEntry(ctx, e);
    }
    FreeStorage(table);
    SyncHeader(map, table);
}
