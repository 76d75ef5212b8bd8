// The context's name map: a chained hash table from a name (case-insensitive, at most 31
// characters) to a number, used to find add-on functions by name.
#include <windows.h>

#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/keyword_lookup.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1631;
constexpr size_t KEY_MAX = 31;

struct NameMapEntry {
    char key[KEY_MAX + 1];
    uint32_t value;
    NameMapEntry* next;         // next entry of the bucket
    uint32_t hash;
};

struct NameMapBlock {
    NameMapBlock* next;
    // entries follow
};

}  // namespace

struct NameMap {
    NameMapEntry** buckets;
    uint32_t bucketCount;
    uint32_t count;
    uint32_t outOfMemory;
    NameMapEntry* freeList;
    NameMapBlock* blocks;
    uint32_t entriesPerBlock;
};

namespace {

void* Alloc(size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }
void Free(void* p) { if (p) HeapFree(GetProcessHeap(), 0, p); }

void CopyKey(char* out, const char* name)
{
    size_t n = 0;
    while (n < KEY_MAX && name[n]) {
        out[n] = name[n];
        ++n;
    }
    out[n] = 0;
}

void FreeStorage(NameMap* map)
{
    Free(map->buckets);
    map->buckets = nullptr;
    for (NameMapBlock* b = map->blocks; b;) {
        NameMapBlock* next = b->next;
        Free(b);
        b = next;
    }
    map->blocks = nullptr;
    map->freeList = nullptr;
    map->count = 0;
}

NameMapEntry* FindEntry(NameMap* map, const char* key, uint32_t hash, NameMapEntry*** link)
{
    if (!map->buckets)
        return nullptr;
    NameMapEntry** p = &map->buckets[hash % map->bucketCount];
    for (; *p; p = &(*p)->next) {
        if ((*p)->hash == hash && lstrcmpiA((*p)->key, key) == 0) {
            if (link)
                *link = p;
            return *p;
        }
    }
    return nullptr;
}

NameMapEntry* TakeEntry(NameMap* map)
{
    if (!map->freeList) {
        uint32_t n = map->entriesPerBlock ? map->entriesPerBlock : 1;
        auto* block = static_cast<NameMapBlock*>(Alloc(sizeof(NameMapBlock) + n * sizeof(NameMapEntry)));
        if (!block) {
            map->outOfMemory = 1;
            return nullptr;
        }
        block->next = map->blocks;
        map->blocks = block;
        auto* entries = reinterpret_cast<NameMapEntry*>(block + 1);
        for (uint32_t i = n; i-- > 0;) {
            entries[i].next = map->freeList;
            map->freeList = &entries[i];
        }
    }
    NameMapEntry* e = map->freeList;
    map->freeList = e->next;
    std::memset(e, 0, sizeof(*e));
    return e;
}

}  // namespace

uint32_t NameMapHash(const char* name)
{
    return LowerCaseHash(name, KEY_MAX);
}

int NameMapCreate(BDS* ctx, uint32_t capacity)
{
    if (ctx->front.pNameMap)
        return 1;
    if (capacity == 0)
        capacity = 1;
    auto* map = static_cast<NameMap*>(Alloc(sizeof(NameMap)));
    if (!map) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    map->bucketCount = capacity;
    map->entriesPerBlock = capacity / 8 ? capacity / 8 : 1;
    map->buckets = static_cast<NameMapEntry**>(Alloc(capacity * sizeof(NameMapEntry*)));
    if (!map->buckets) {
        Free(map);
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    ctx->front.pNameMap = map;
    return 1;
}

int NameMapInsert(BDS* ctx, const char* name, uint32_t value)
{
    NameMap* map = ctx->front.pNameMap;
    if (!map)
        return 1;
    char key[KEY_MAX + 1];
    CopyKey(key, name);
    uint32_t hash = NameMapHash(key);
    if (NameMapEntry* e = FindEntry(map, key, hash, nullptr)) {
        e->value = value;
        return 1;
    }
    if (!map->buckets) {
        map->buckets = static_cast<NameMapEntry**>(Alloc(map->bucketCount * sizeof(NameMapEntry*)));
        if (!map->buckets) {
            map->outOfMemory = 1;
            SetError(ctx, ERR_NO_MEMORY);
            return 0;
        }
    }
    NameMapEntry* e = TakeEntry(map);
    if (!e) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    std::memcpy(e->key, key, sizeof(key));
    e->value = value;
    e->hash = hash;
    NameMapEntry*& head = map->buckets[hash % map->bucketCount];
    e->next = head;
    head = e;
    ++map->count;
    return 1;
}

uint32_t NameMapLookup(BDS* ctx, const char* name)
{
    NameMap* map = ctx->front.pNameMap;
    if (!map)
        return KID_NONE;
    char key[KEY_MAX + 1];
    CopyKey(key, name);
    NameMapEntry* e = FindEntry(map, key, NameMapHash(key), nullptr);
    return e ? e->value : KID_NONE;
}

int NameMapRemove(BDS* ctx, const char* name)
{
    NameMap* map = ctx->front.pNameMap;
    if (!map)
        return 0;
    char key[KEY_MAX + 1];
    CopyKey(key, name);
    NameMapEntry** link = nullptr;
    NameMapEntry* e = FindEntry(map, key, NameMapHash(key), &link);
    if (!e)
        return 0;
    *link = e->next;
    e->next = map->freeList;
    map->freeList = e;
    if (--map->count == 0)
        FreeStorage(map);
    return 1;
}

int NameMapDestroy(BDS* ctx)
{
    NameMap* map = ctx->front.pNameMap;
    if (!map)
        return 0;
    FreeStorage(map);
    Free(map);
    ctx->front.pNameMap = nullptr;
    return 1;
}
