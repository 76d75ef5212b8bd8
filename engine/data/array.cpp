// Array blocks: creation and the shared lifetime of an array or map block.
#include "engine/data/array.h"

#include <windows.h>

#include <cstring>

#include "engine/core/context.h"

namespace {

constexpr double kMaxArrayBytes = 4000000000.0;
constexpr uint32_t kElementSize = sizeof(ArrayElement);

// Spare slots behind a growable one-dimension array of `count` elements.
uint32_t SpareSlots(uint32_t count, double bytes)
{
    uint32_t spare = count <= 145 ? 145 : 291;
    return bytes + spare * static_cast<double>(kElementSize) < kMaxArrayBytes ? spare : 0;
}

// Clears every reference to the block held by a variable of the current scope, so that a
// stale holder meets a null block (reported as unreadable) rather than freed memory.
void ClearScopeReferences(BDS* ctx, const ArrayHeader* array)
{
    if (!ctx->pVars) return;
    for (uint32_t i = 0; i < ctx->nVarUsed; ++i) {
        VariableEntry& entry = ctx->pVars[i];
        if ((entry.flags & VF_ARRAY) && entry.str == reinterpret_cast<uint64_t>(array))
            entry.str = 0;
    }
}

void DestroyArray(BDS* ctx, ArrayHeader* array)
{
    array->refs = 0;  // marks the block as going: a release from inside is only a let-go
    if (array->ndims != 0)
        ClearScopeReferences(ctx, array);
    if (!(array->flags & ARRAY_MAP) && array->data) {
        for (uint32_t i = 0; i < array->capacity; ++i)
            if (array->data[i].flags != 0)
                FreeValue(ctx, &array->data[i], 0, VK_ELEMENT);
    }
    HGLOBAL block = GlobalHandle(array);
    if (!block) return;
    while (GlobalFlags(block) & GMEM_LOCKCOUNT)
        GlobalUnlock(block);
    GlobalFree(block);
}

}  // namespace

extern "C" int CreateMyArray(BDS* ctx, ValueHead* value, uint32_t d1, uint32_t d2,
                             uint32_t d3, uint32_t d4, uint32_t d5, uint32_t flags, int given)
{
    uint32_t dims[MAX_ARRAY_DIMS] = {d1, d2, d3, d4, d5};
    for (int i = 0; i < MAX_ARRAY_DIMS; ++i) {
        if (i >= given)
            dims[i] = 0;
        else if (dims[i] >= 0x80000000u) {
            SetError(ctx, 1628);
            return -1;
        }
    }

    int ndims = 0;
    double product = 0;
    if (dims[0] != 0) {
        product = 1;
        for (int i = 0; i < MAX_ARRAY_DIMS; ++i) {
            if (dims[i] == 0) {
                for (int j = i + 1; j < MAX_ARRAY_DIMS; ++j)
                    if (dims[j] != 0) {
                        SetError(ctx, 1630);
                        return -1;
                    }
                break;
            }
            product *= dims[i];
            ++ndims;
        }
    }
    double bytes = product * kElementSize + sizeof(ArrayHeader);
    if (bytes > kMaxArrayBytes) {
        SetError(ctx, 1644);
        return -1;
    }
    uint32_t count = static_cast<uint32_t>(product);
    uint32_t spare = ((flags & ARRAY_GROWABLE) && ndims == 1) ? SpareSlots(count, bytes) : 0;
    size_t size = sizeof(ArrayHeader) + (static_cast<size_t>(count) + spare) * kElementSize;

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* array = block ? static_cast<ArrayHeader*>(GlobalLock(block)) : nullptr;
    if (!array) {
        if (block) GlobalFree(block);
        SetError(ctx, 1631);
        return -1;
    }
    memcpy(array->dims, dims, sizeof dims);
    array->ndims = static_cast<uint8_t>(ndims);
    array->flags = static_cast<uint8_t>(flags & (spare ? ARRAY_GROWABLE : 0));
    array->data = reinterpret_cast<ArrayElement*>(array + 1);
    array->count = count;
    array->bytes = count * kElementSize;
    array->capacity = count + spare;
    array->refs = 1;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    array->stamp = now.QuadPart;

    value->flags = VF_ARRAY;
    value->str = reinterpret_cast<uint64_t>(array);
    return ndims != 0 ? 1 : 0;
}

void AddArrayRef(ArrayHeader* array)
{
    if (array && array->refs != 0 && array->refs != UINT32_MAX)
        ++array->refs;
}

int ReleaseArray(BDS* ctx, uint64_t* holder, int forced)
{
    auto* array = reinterpret_cast<ArrayHeader*>(*holder);
    *holder = 0;
    if (!array) return 0;
    int hadDims = array->ndims != 0 ? 1 : 0;
    if (array->refs == 0)  // already being destroyed further up
        return hadDims;
    if (!forced && array->refs >= 3) {
        --array->refs;
        return hadDims;
    }
    DestroyArray(ctx, array);
    return hadDims;
}
