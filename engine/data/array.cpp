// Array blocks: creation, element addressing, the shared lifetime of an array or map
// block, and the two text helpers of the host services and the keyword lookup.
#include "engine/data/array.h"

#include <windows.h>

#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/context.h"
#include "engine/data/array_errors.h"
#include "engine/core/numtext.h"
#include "engine/data/array_rebuild.h"
#include "engine/data/map.h"

namespace {

constexpr double kMaxArrayBytes = 4000000000.0;
constexpr uint32_t kElementSize = sizeof(ArrayElement);

// Spare slots behind a one-dimension array of `count` elements in a block of `bytes`: a
// growable array gets 145 up to 145 elements and 291 beyond, and any array at least `room`
// when that is more; only what keeps the block below the size limit.
uint32_t SpareSlots(uint32_t count, double bytes, bool growable, uint32_t room)
{
    uint32_t spare = growable ? (count <= 145 ? 145 : 291) : 0;
    if (bytes + spare * static_cast<double>(kElementSize) >= kMaxArrayBytes)
        spare = 0;
    if (room > spare) {
        double fits = (kMaxArrayBytes - bytes - 1) / kElementSize;
        if (fits > spare) spare = fits < room ? static_cast<uint32_t>(fits) : room;
    }
    return spare;
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

void DestroyArray(BDS* ctx, ArrayHeader* array, bool forced)
{
    array->refs = 0;  // marks the block as going: a release from inside is only a let-go
    if (array->ndims != 0) {
        ClearScopeReferences(ctx, array);
        // Counted holders are gone when the count runs out; only a forced release can
        // leave holders elsewhere, so only it pays for the walk over every scope.
        if (forced) {
            uint16_t saved = ctx->nErrorCode;
            ReplaceArrayReferences(ctx, array, nullptr, nullptr);
            ctx->nErrorCode = saved;
        }
    }
    if (array->flags & ARRAY_MAP) {
        MapReleaseTable(ctx, array);
    } else if (array->data) {
        // Slots past the count are spare and always zero (an element is written only below
        // the count); reading them would only fault in pages that nothing ever touched.
        for (uint32_t i = 0; i < array->count; ++i)
            if (array->data[i].flags != 0)
                FreeValue(ctx, &array->data[i], 0, VK_ELEMENT);
    }
    FreeArrayBlock(array);
}

}  // namespace

extern "C" int CreateMyArray(BDS* ctx, ValueHead* value, uint32_t d1, uint32_t d2,
                             uint32_t d3, uint32_t d4, uint32_t d5, uint32_t flags, int given)
{
    return CreateArrayWithRoom(ctx, value, d1, d2, d3, d4, d5, flags, given, 0);
}

int CreateArrayWithRoom(BDS* ctx, ValueHead* value, uint32_t d1, uint32_t d2, uint32_t d3,
                        uint32_t d4, uint32_t d5, uint32_t flags, int given, uint32_t room)
{
    uint32_t dims[MAX_ARRAY_DIMS] = {d1, d2, d3, d4, d5};
    for (int i = 0; i < MAX_ARRAY_DIMS; ++i) {
        if (i >= given)
            dims[i] = 0;
        else if (dims[i] >= 0x80000000u) {
            SetError(ctx, ERR_ARRAY_BAD_DIMENSION);
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
                        SetError(ctx, ERR_ARRAY_ZERO_DIMENSION);
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
        SetError(ctx, ERR_ARRAY_TOO_LARGE);
        return -1;
    }
    uint32_t count = static_cast<uint32_t>(product);
    uint32_t spare = ndims == 1 ? SpareSlots(count, bytes, (flags & ARRAY_GROWABLE) != 0, room) : 0;
    size_t size = sizeof(ArrayHeader) + (static_cast<size_t>(count) + spare) * kElementSize;

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* array = block ? static_cast<ArrayHeader*>(GlobalLock(block)) : nullptr;
    if (!array) {
        if (block) GlobalFree(block);
        SetError(ctx, ERR_ARRAY_ALLOC);
        return -1;
    }
    memcpy(array->dims, dims, sizeof dims);
    array->ndims = static_cast<uint8_t>(ndims);
    array->flags = spare ? ARRAY_GROWABLE : 0;
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

uint32_t ArrayLinearIndex(const ArrayHeader* array, const uint32_t subscripts[MAX_ARRAY_DIMS])
{
    uint32_t index = 0;
    for (int i = 0; i < MAX_ARRAY_DIMS; ++i) {
        uint32_t stride = 1;
        for (int j = i + 1; j < array->ndims; ++j)
            stride *= array->dims[j];
        index += subscripts[i] * stride;
    }
    return index;
}

void ArraySubscriptsOf(const ArrayHeader* array, uint32_t index, uint32_t subscripts[MAX_ARRAY_DIMS])
{
    for (int i = MAX_ARRAY_DIMS - 1; i >= 0; --i) {
        if (i >= array->ndims || array->dims[i] == 0) {
            subscripts[i] = 0;
            continue;
        }
        subscripts[i] = index % array->dims[i];
        index /= array->dims[i];
    }
}

ArrayElement* ArrayElementAt(ArrayHeader* array, const uint32_t subscripts[MAX_ARRAY_DIMS])
{
    if (!IsElementArray(array) || array->ndims == 0)
        return nullptr;
    for (int i = 0; i < MAX_ARRAY_DIMS; ++i)
        if (i < array->ndims ? subscripts[i] >= array->dims[i] : subscripts[i] != 0)
            return nullptr;
    uint32_t index = ArrayLinearIndex(array, subscripts);
    return index < array->count ? &array->data[index] : nullptr;
}

void AddArrayRef(ArrayHeader* array)
{
    if (array && array->refs != 0 && array->refs != UINT32_MAX)
        ++array->refs;
}

// Destroying a block releases its elements, and an element may hold a block whose elements
// hold blocks: a chain as long as a script makes it. So that the machine stack does not grow
// with the chain, a block whose holders run out while another is being destroyed waits in
// the context's queue, linked through its stamp (nothing reads the stamp of a going block),
// and the outermost release destroys the waiting blocks one after the other.
int ReleaseArray(BDS* ctx, uint64_t* holder, int forced)
{
    auto* array = reinterpret_cast<ArrayHeader*>(*holder);
    *holder = 0;
    if (!array) return 0;
    int hadDims = array->ndims != 0 ? 1 : 0;
    if (array->refs == 0)  // already being destroyed further up, or waiting
        return hadDims;
    if (!forced && array->refs >= 3) {
        --array->refs;
        return hadDims;
    }
    ArrayState& state = ctx->arrays;
    if (state.bDestroying && !forced) {
        array->refs = 0;
        array->stamp = reinterpret_cast<intptr_t>(state.pDestroyQueue);
        state.pDestroyQueue = array;
        return hadDims;
    }
    uint32_t outermost = !state.bDestroying;
    state.bDestroying = 1;
    DestroyArray(ctx, array, forced != 0);
    if (outermost) {
        while (ArrayHeader* next = state.pDestroyQueue) {
            state.pDestroyQueue = reinterpret_cast<ArrayHeader*>(next->stamp);
            DestroyArray(ctx, next, false);
        }
        state.bDestroying = 0;
    }
    return hadDims;
}

void FreeArrayBlock(ArrayHeader* array)
{
    HGLOBAL block = GlobalHandle(array);
    if (!block) return;
    while (GlobalFlags(block) & GMEM_LOCKCOUNT)
        GlobalUnlock(block);
    GlobalFree(block);
}

// ---------------------------------------------------------------- display and lookup

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One subscript of at most 20 decimal digits, blanks around it allowed.
bool ReadSubscriptText(const char*& p, uint32_t size, uint32_t* out)
{
    while (IsBlank(*p)) ++p;
    uint64_t value = 0;
    int digits = 0;
    while (IsDigitChar(*p)) {
        if (++digits > 20) return false;
        value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    }
    while (IsBlank(*p)) ++p;
    if (digits == 0 || value >= size)
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

ArrayElement* ArrayElementOfText(ArrayHeader* array, const char* text)
{
    if (!IsElementArray(array) || array->ndims == 0 || !text) return nullptr;
    uint32_t subs[MAX_ARRAY_DIMS] = {};
    const char* p = text;
    for (int d = 0; d < array->ndims; ++d) {
        if (d > 0) {
            if (*p != ',') return nullptr;
            ++p;
        }
        if (!ReadSubscriptText(p, array->dims[d], &subs[d])) return nullptr;
    }
    return *p == 0 ? ArrayElementAt(array, subs) : nullptr;
}

int ArrayElementFromText(BDS* ctx, const VariableEntry* table, uint32_t index, const char* text,
                         char* buffer, size_t size)
{
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    if (!table) return 0;
    const ArrayElement* element = ArrayElementOfText(ValueArray(&table[index]), text);
    if (!element) return 0;

    char number[FLOAT_TEXT_SIZE] = "";
    const char* shown = number;
    if ((element->flags & VF_STRING) && !(element->flags & VF_ARRAY))
        shown = ValueText(ctx, element);
    else if (element->flags & VF_INT)
        LongToTextA(element->i32, number, 10);
    else if (element->flags & VF_INT64)
        Int64ToTextA(element->i64, number, 10);
    else if (element->flags & VF_FLOAT) {
        uint16_t saved = ctx->nErrorCode;
        if (!FloatToText(ctx, element->dbl, number, sizeof number)) number[0] = 0;
        ctx->nErrorCode = saved;
    }
    lstrcpynA(buffer, shown, static_cast<int>(size < 0x7FFFFFFF ? size : 0x7FFFFFFF));
    return 1;
}

int SubscriptLookAhead(const char* text)
{
    const char* p = text;
    while (IsBlank(*p)) ++p;
    if (*p != '[' || p[1] == 0) return 0;
    int depth = 0;
    char quote = 0;
    while (*p) {
        char c = *p;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'' || c == '`') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (--depth == 0) {
                const char* next = CharNextA(p);
                if (*next == '[') {
                    p = next;
                    continue;
                }
                return *next == '.' ? 1 : 0;
            }
        }
        p = CharNextA(p);
    }
    return 0;
}
