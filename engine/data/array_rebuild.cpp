// Rebuilding arrays in new blocks: gathering the reachable blocks, replacing references,
// moving the holder count, re-dimensioning, and storing a rebuilt array back into the
// variable its argument came from.
#include "engine/data/array_rebuild.h"

#include <windows.h>

#include <cstring>

#include "engine/com/com_value.h"
#include "engine/core/context.h"
#include "engine/data/array_errors.h"
#include "engine/core/heap.h"
#include "engine/core/runloop.h"
#include "engine/data/map.h"

// ---------------------------------------------------------------- block set

// The blocks met by a walk: a hash set for "seen" and the list in the order met, which
// is also the walk's queue. Process-heap memory, so a large nest of arrays costs one
// probe per block rather than a scan of everything seen.
struct BlockSet {
    ArrayHeader** slots;
    size_t slotCount;    // a power of two
    ArrayHeader** list;
    size_t count;
    size_t listCapacity;
};

namespace {

void* HeapGet(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
void HeapPut(void* p)
{
    if (p) HeapFree(GetProcessHeap(), 0, p);
}

void BlockSetFree(BlockSet* set)
{
    if (!set) return;
    HeapPut(set->slots);
    HeapPut(set->list);
    HeapPut(set);
}

size_t SlotOf(const BlockSet* set, const ArrayHeader* block)
{
    auto h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(block)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 20) & (set->slotCount - 1);
}

bool Grow(BlockSet* set)
{
    size_t slots = set->slotCount ? set->slotCount * 2 : 64;
    auto* table = static_cast<ArrayHeader**>(HeapGet(slots * sizeof(ArrayHeader*)));
    auto* list = static_cast<ArrayHeader**>(HeapGet(slots * sizeof(ArrayHeader*)));
    if (!table || !list) {
        HeapPut(table);
        HeapPut(list);
        return false;
    }
    if (set->count) std::memcpy(list, set->list, set->count * sizeof(ArrayHeader*));
    HeapPut(set->slots);
    HeapPut(set->list);
    set->slots = table;
    set->slotCount = slots;
    set->list = list;
    set->listCapacity = slots;
    for (size_t i = 0; i < set->count; ++i) {
        size_t s = SlotOf(set, list[i]);
        while (table[s]) s = (s + 1) & (slots - 1);
        table[s] = list[i];
    }
    return true;
}

// Adds the block when it is new; false only when memory runs out.
bool BlockSetAdd(BlockSet* set, ArrayHeader* block)
{
    if (!block) return true;
    if (set->slotCount) {
        size_t s = SlotOf(set, block);
        while (set->slots[s]) {
            if (set->slots[s] == block) return true;
            s = (s + 1) & (set->slotCount - 1);
        }
    }
    if ((set->count + 1) * 2 > set->slotCount && !Grow(set)) return false;
    size_t s = SlotOf(set, block);
    while (set->slots[s]) s = (s + 1) & (set->slotCount - 1);
    set->slots[s] = block;
    set->list[set->count++] = block;
    return true;
}

// ---------------------------------------------------------------- holders

// Calls visit(ValueHead&) for every variable of every scope and every argument value of
// a running user-defined function. The current scope's table is used as it stands; the
// others are locked for the walk.
template <typename Visit>
void ForEachRootHolder(BDS* ctx, Visit visit)
{
    if (ctx->pVars)
        for (uint32_t i = 0; i < ctx->nVarUsed; ++i)
            visit(static_cast<ValueHead&>(ctx->pVars[i]));
    for (uint32_t s = 0; s < MAX_SCOPES; ++s) {
        const ScopeSlot& scope = ctx->aScopes[s];
        if (!scope.hTable || scope.hTable == ctx->hVarTable) continue;
        auto* vars = static_cast<VariableEntry*>(GlobalLock(scope.hTable));
        if (!vars) continue;
        for (uint32_t i = 0; i < scope.used && i < scope.capacity; ++i)
            visit(static_cast<ValueHead&>(vars[i]));
        GlobalUnlock(scope.hTable);
    }
    for (uint32_t u = 0; u < MAX_UDFS; ++u) {
        UdfRecord* rec = ctx->pUdfRecords[u];
        if (!rec || !rec->args) continue;
        for (uint32_t i = 1; i <= rec->paramCount; ++i)
            visit(static_cast<ValueHead&>(rec->args[i]));
    }
}

// Calls visit(ValueHead&) for every element or map value of the block.
template <typename Visit>
void ForEachValueIn(BDS* ctx, ArrayHeader* block, Visit visit)
{
    if (block->flags & ARRAY_MAP) {
        for (uintptr_t c = MapCursorStart(block); c;) {
            ArrayElement* value = nullptr;
            c = MapIterate(ctx, block, c, nullptr, &value);
            if (value) visit(*value);
        }
    } else if (block->data) {
        for (uint32_t i = 0; i < block->count; ++i)
            visit(block->data[i]);
    }
}

ArrayHeader* HeldBlock(const ValueHead& value)
{
    return (value.flags & VF_ARRAY) ? reinterpret_cast<ArrayHeader*>(value.str) : nullptr;
}

// Every block reachable from the holders and from the given roots.
BlockSet* GatherBlocks(BDS* ctx, ArrayHeader* rootA, ArrayHeader* rootB)
{
    auto* set = static_cast<BlockSet*>(HeapGet(sizeof(BlockSet)));
    if (!set) return nullptr;
    bool ok = BlockSetAdd(set, rootA) && BlockSetAdd(set, rootB);
    ForEachRootHolder(ctx, [&](ValueHead& v) {
        if (ok) ok = BlockSetAdd(set, HeldBlock(v));
    });
    for (size_t i = 0; ok && i < set->count; ++i)
        ForEachValueIn(ctx, set->list[i], [&](ValueHead& v) {
            if (ok) ok = BlockSetAdd(set, HeldBlock(v));
        });
    if (!ok) {
        BlockSetFree(set);
        return nullptr;
    }
    return set;
}

void ReplaceIn(ValueHead& value, const ArrayHeader* old, ArrayHeader* replacement)
{
    if ((value.flags & VF_ARRAY) && value.str == reinterpret_cast<uint64_t>(old))
        value.str = reinterpret_cast<uint64_t>(replacement);
}

// Replaces in the holders and in every gathered block but `skip`.
void ReplaceEverywhere(BDS* ctx, BlockSet* set, ArrayHeader* old, ArrayHeader* replacement,
                       const ArrayHeader* skip)
{
    ForEachRootHolder(ctx, [&](ValueHead& v) { ReplaceIn(v, old, replacement); });
    for (size_t i = 0; i < set->count; ++i)
        if (set->list[i] != skip)
            ForEachValueIn(ctx, set->list[i], [&](ValueHead& v) { ReplaceIn(v, old, replacement); });
}

}  // namespace

int ReplaceArrayReferences(BDS* ctx, ArrayHeader* old, ArrayHeader* replacement, ArrayHeader* extraRoot)
{
    BlockSet* set = GatherBlocks(ctx, old, extraRoot);
    if (!set) {
        SetError(ctx, ERR_ARRAY_NO_MEMORY);
        return 0;
    }
    // A block being destroyed releases its own elements; leave them alone.
    ReplaceEverywhere(ctx, set, old, replacement, replacement ? nullptr : old);
    BlockSetFree(set);
    return 1;
}

// ---------------------------------------------------------------- rebuilds

int ArrayRebuildBegin(BDS* ctx, ArrayRebuild* rebuild, ArrayHeader* old, ArrayHeader* fresh,
                      bool freshHoldsValues)
{
    rebuild->old = old;
    rebuild->fresh = fresh;
    rebuild->oldMovedWhole = false;
    rebuild->blocks = GatherBlocks(ctx, old, freshHoldsValues ? fresh : nullptr);
    // A new block that holds nothing yet leads to no other block, and reading its untouched
    // memory would fault every page of it in; it joins the set for the walk after the move.
    if (rebuild->blocks && !freshHoldsValues && !BlockSetAdd(rebuild->blocks, fresh)) {
        BlockSetFree(rebuild->blocks);
        rebuild->blocks = nullptr;
    }
    if (!rebuild->blocks) {
        for (uint32_t i = 0; i < fresh->count; ++i)   // the spare slots are zero
            if (fresh->data[i].flags != 0)
                FreeValue(ctx, &fresh->data[i], 0, VK_ELEMENT);
        FreeArrayBlock(fresh);
        SetError(ctx, ERR_ARRAY_NO_MEMORY);
        return 0;
    }
    return 1;
}

void ArrayRebuildFinish(BDS* ctx, ArrayRebuild* rebuild, ValueHead* holder)
{
    ArrayHeader* old = rebuild->old;
    ArrayHeader* fresh = rebuild->fresh;
    ReplaceEverywhere(ctx, rebuild->blocks, old, fresh, rebuild->oldMovedWhole ? old : nullptr);
    BlockSetFree(rebuild->blocks);
    rebuild->blocks = nullptr;

    fresh->refs = old->refs;
    fresh->stamp = old->stamp;
    old->refs = 0;
    if (holder) holder->str = reinterpret_cast<uint64_t>(fresh);
    // Elements that found no place in the new shape go with the old block.
    if (old->data && !rebuild->oldMovedWhole)
        for (uint32_t i = 0; i < old->count; ++i)   // the spare slots are zero
            if (old->data[i].flags != 0)
                FreeValue(ctx, &old->data[i], 0, VK_ELEMENT);
    FreeArrayBlock(old);
}

// ---------------------------------------------------------------- re-dimensioning

namespace {

// Spare room for a one-dimension array that grows from `from` to `to` elements in a new
// block. An array grown a little at a time (by assignments one past its end, or ArrayRedim
// by small steps) would otherwise be moved whole every few hundred elements, so that filling
// it cost the square of its length. With room of its new length the next move comes only
// when the length has doubled: the elements moved over a whole fill add up to about its
// final length, a constant per element. Moves are what growth costs: each one writes into a
// fresh block, whose pages the system faults in one by one (some 40 us a page under Wine
// here, more than the copy), while room not yet filled is address space that no page backs,
// so the memory in use stays near the elements' own size. A jump to more than twice the
// length is a size the caller chose: it gets no more than the fixed spare slots of a
// growable array.
uint32_t GrowthRoom(uint32_t from, uint32_t to)
{
    return to <= 2ull * from ? to : 0;
}

}  // namespace

int ArrayRedimension(BDS* ctx, ValueHead* holder, const int32_t sizes[MAX_ARRAY_DIMS], int given,
                     bool growable)
{
    ArrayHeader* old = ValueArray(holder);
    if (!old || (old->flags & ARRAY_MAP) || !old->data) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return 0;
    }
    if (given < 1) given = 1;
    if (given > MAX_ARRAY_DIMS) given = MAX_ARRAY_DIMS;
    uint32_t dims[MAX_ARRAY_DIMS] = {};
    for (int d = 0; d < given; ++d)
        dims[d] = sizes[d] == -1 ? old->dims[d] : static_cast<uint32_t>(sizes[d]);

    // Any one-dimension array lengthened gets growth room, also one that was not growable
    // (made by ArrDimension): ArrayRedim by small steps fills it as appending does. The room
    // shows nowhere but in the block's capacity.
    bool keepGrowing = growable;
    bool lengthens = old->ndims == 1 && given == 1 && dims[0] > old->dims[0] && dims[0] < 0x80000000u;
    if (lengthens && (old->flags & ARRAY_GROWABLE)) {
        if (dims[0] <= old->capacity) {
            old->dims[0] = dims[0];  // the spare slots are zero: the new elements are empty
            old->count = dims[0];
            old->bytes = dims[0] * static_cast<uint32_t>(sizeof(ArrayElement));
            return 1;
        }
        keepGrowing = true;
    }

    ValueHead made{};
    if (CreateArrayWithRoom(ctx, &made, dims[0], dims[1], dims[2], dims[3], dims[4],
                            keepGrowing ? ARRAY_GROWABLE : 0, given,
                            lengthens ? GrowthRoom(old->dims[0], dims[0]) : 0) < 0)
        return 0;
    ArrayHeader* fresh = ValueArray(&made);
    ArrayRebuild rebuild;
    if (!ArrayRebuildBegin(ctx, &rebuild, old, fresh, false))
        return 0;

    // Elements keep their subscripts; a dimension the new shape lacks only has subscript 0.
    // From one dimension to one, subscripts are places: the kept elements move as one run.
    // When all of them are kept (the array grows) the old block is only freed afterwards:
    // each pass over an array being filled a little at a time counts.
    if (old->ndims == 1 && fresh->ndims == 1) {
        uint32_t kept = old->count < fresh->count ? old->count : fresh->count;
        std::memcpy(fresh->data, old->data, static_cast<size_t>(kept) * sizeof(ArrayElement));
        if (kept == old->count)
            rebuild.oldMovedWhole = true;
        else
            std::memset(old->data, 0, static_cast<size_t>(kept) * sizeof(ArrayElement));
        ArrayRebuildFinish(ctx, &rebuild, holder);
        return 1;
    }
    for (uint32_t i = 0; i < old->count; ++i) {
        ArrayElement& element = old->data[i];
        if (element.flags == 0) continue;
        uint32_t subs[MAX_ARRAY_DIMS];
        ArraySubscriptsOf(old, i, subs);
        bool fits = fresh->ndims != 0;
        for (int d = 0; fits && d < MAX_ARRAY_DIMS; ++d)
            fits = subs[d] < (d < fresh->ndims ? fresh->dims[d] : 1u);
        if (!fits) continue;
        std::memcpy(&fresh->data[ArrayLinearIndex(fresh, subs)], &element, sizeof element);
        std::memset(&element, 0, sizeof element);
    }
    ArrayRebuildFinish(ctx, &rebuild, holder);
    return 1;
}

// ---------------------------------------------------------------- store-back

int StoreArrayBack(BDS* ctx, const resultants* argument, ArrayHeader* array, StoreBackRule rule)
{
    if (!argument || !array || argument->originVar >= ORIGIN_ELEMENT) return 1;
    uint32_t slot = argument->originScope;
    bool otherScope = slot != ctx->nScopeCurrent && slot < MAX_SCOPES;
    ScopeSave save{};
    if (otherScope) {
        if (!ctx->aScopes[slot].hTable) {
            SetError(ctx, ERR_ARRAY_POINTER_SCOPE);
            return 0;
        }
        if (!SwitchVarScope(ctx, slot, &save)) {
            RestoreVarScope(ctx, &save);
            SetError(ctx, ERR_ARRAY_POINTER_SCOPE);
            return 0;
        }
    }
    if (ctx->pVars && argument->originVar < ctx->nVarUsed) {
        VariableEntry& v = ctx->pVars[argument->originVar];
        bool store = rule == STORE_UNLESS_ARRAY ? !(v.flags & VF_ARRAY)
                                                : (v.flags & (VF_VARIANT | VF_COMOBJ)) != 0;
        if (store) {
            if (v.flags & VF_VARIANT) ValueReleaseComPayload(v.flags, &v);
            if ((v.flags & VF_STRING) && !(v.flags & VF_ARRAY) && v.str) VFree(ctx, v.str);
            if ((v.flags & VF_UNICODE) && v.wstr) VFree(ctx, v.wstr);
            v.wstr = 0;
            v.str = reinterpret_cast<uint64_t>(array);
            v.flags = VF_ARRAY;
            // The variable becomes the holder. The argument record names the variable as its
            // origin, so the caller lets it go without releasing the array.
            AddArrayRef(array);
        }
    }
    if (otherScope && !RestoreVarScope(ctx, &save)) {
        SetError(ctx, ERR_ARRAY_POINTER_TABLE);
        return 0;
    }
    return 1;
}
