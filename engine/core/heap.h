// String heap: one per context, in an address range the launcher reserves; blocks are
// handed out as offsets from the heap's base, guarded by boundary tags.
#pragma once

#include <cstddef>
#include <cstdint>

struct BDS;
struct EngineBinding;

// Heap bookkeeping kept in the context.
struct HeapState {
    uint64_t committed;        // bytes committed at the base
    uint64_t endMarker;        // offset of the end marker
    EngineBinding* binding;    // the launcher's binding record (growth partner), or null
};

void FormatVmallocHeap(BDS* ctx, uint64_t committed);

extern "C" uint64_t VMalloc(BDS* ctx, uint64_t size);
extern "C" void VFree(BDS* ctx, uint64_t offset);

// Address of a heap offset (offset 0 means "no text").
char* HeapPtr(BDS* ctx, uint64_t offset);
