// The bucket array of the engine's chained hash tables.
#include "engine/data/hash_table.h"

#include <windows.h>

void HashTableInit(HashTable* table, uint32_t count, int allocate)
{
    if (table->buckets) {
        HeapFree(GetProcessHeap(), 0, table->buckets);
        table->buckets = nullptr;
    }
    if (count && allocate) {
        void* heads = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<size_t>(count) * sizeof(void*));
        if (!heads) {
            table->outOfMemory = 1;
            return;
        }
        table->buckets = static_cast<void**>(heads);
    }
    table->bucketCount = count;
}
