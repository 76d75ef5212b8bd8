// A small growable array of pointers on the C runtime heap.
#pragma once

#include <cstdint>

struct BDS;

struct PtrArray {
    void** items;
    int64_t size;        // items in use as slots (all beyond `count` are 0)
    int64_t capacity;    // items allocated
    int64_t growBy;      // 0: size / 8, bounded to 4 .. 1024
    uint32_t valid;      // cleared when an allocation failed
    void* defaultItem;
    int64_t count;       // items appended
};

PtrArray* PtrArrayCreate();
int64_t PtrArrayCount(const PtrArray* array);
int PtrArrayContains(const PtrArray* array, const void* item);
// 1, or 0 with error 1588 when the array cannot grow.
int PtrArrayAppend(BDS* ctx, PtrArray* array, void* item);
// The item at index, 0 outside 0 .. count - 1.
void* PtrArrayGet(const PtrArray* array, int64_t index);
// Frees the array a reference holds and clears the reference.
void PtrArrayDestroyRef(PtrArray** reference);
