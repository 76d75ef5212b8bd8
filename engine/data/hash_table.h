// The bucket array of the engine's chained hash tables (the duplicate-record purge's set of
// records among them): a run of zero-filled 8-byte bucket heads on the process heap.
//
// Whoever owns a table record calls HashTableInit(table, 0, 0) before letting it go, which
// frees the array.
#pragma once

#include <cstdint>

struct HashTable {
    void** buckets;          // null until made
    uint32_t bucketCount;
    uint32_t outOfMemory;    // set when an allocation of the table or its nodes failed
};

// Frees the table's bucket array when it has one; when both `count` and `allocate` are not
// 0, makes a zero-filled array of `count` heads. On an allocation failure the out-of-memory
// flag is set and the table is left without an array and with its old count; otherwise the
// count becomes `count`.
void HashTableInit(HashTable* table, uint32_t count, int allocate);
