// A small growable array of pointers on the C runtime heap.
#include "engine/core/ptr_array.h"

#include <cstdlib>
#include <cstring>

#include "engine/core/context.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;

// Resizes to newSize slots; answers false (and marks the array invalid) when it cannot.
bool SetSize(PtrArray* array, int64_t newSize)
{
    if (newSize < 0)
        return false;
    if (newSize == 0) {
        std::free(array->items);
        array->items = nullptr;
        array->size = array->capacity = 0;
        return true;
    }
    if (newSize > array->capacity) {
        int64_t growBy = array->growBy;
        if (growBy == 0) {
            growBy = array->size / 8;
            growBy = growBy < 4 ? 4 : growBy > 1024 ? 1024 : growBy;
        }
        int64_t capacity = newSize > array->capacity + growBy ? newSize : array->capacity + growBy;
        if (static_cast<uint64_t>(capacity) > SIZE_MAX / sizeof(void*)) {
            array->valid = 0;
            return false;
        }
        auto* items = static_cast<void**>(std::calloc(static_cast<size_t>(capacity), sizeof(void*)));
        if (!items) {
            array->valid = 0;
            return false;
        }
        if (array->items)
            std::memcpy(items, array->items, static_cast<size_t>(array->size) * sizeof(void*));
        std::free(array->items);
        array->items = items;
        array->capacity = capacity;
    } else if (newSize > array->size) {
        std::memset(array->items + array->size, 0,
                    static_cast<size_t>(newSize - array->size) * sizeof(void*));
    }
    array->size = newSize;
    return true;
}

}  // namespace

PtrArray* PtrArrayCreate()
{
    auto* array = static_cast<PtrArray*>(std::calloc(1, sizeof(PtrArray)));
    if (!array)
        return nullptr;
    array->valid = 1;
    array->growBy = 16;
    if (!SetSize(array, 32)) {
        PtrArrayDestroyRef(&array);
        return nullptr;
    }
    return array;
}

int64_t PtrArrayCount(const PtrArray* array)
{
    return array ? array->count : 0;
}

int PtrArrayContains(const PtrArray* array, const void* item)
{
    if (!array)
        return 0;
    for (int64_t i = 0; i < array->count; ++i) {
        if (array->items[i] == item)
            return 1;
    }
    return 0;
}

int PtrArrayAppend(BDS* ctx, PtrArray* array, void* item)
{
    if (!array || (array->count >= array->size && !SetSize(array, array->count + 1))) {
        if (ctx)
            SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    array->items[array->count++] = item;
    return 1;
}

void* PtrArrayGet(const PtrArray* array, int64_t index)
{
    if (!array || index < 0 || index >= array->count)
        return nullptr;
    return array->items[index];
}

void PtrArrayDestroyRef(PtrArray** reference)
{
    if (!reference || !*reference)
        return;
    std::free((*reference)->items);
    std::free(*reference);
    *reference = nullptr;
}
