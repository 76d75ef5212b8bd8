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

// Lays an empty heap over the committed bytes at ctx->HeapBase.
void FormatVmallocHeap(BDS* ctx, uint64_t committed);

// Offset of `size` usable bytes (their first two bytes zeroed), or 0 when the heap is full
// and cannot grow; the caller reports the error (3096). The heap grows through the host's
// binding record up to the reserved range.
extern "C" uint64_t VMalloc(BDS* ctx, uint64_t size);
// Frees a block and merges it with free neighbours. Offset 0 is ignored; an offset that is
// not a block in use is refused with the "INTERNAL DYNALLOC ERROR" box, nothing written.
extern "C" void VFree(BDS* ctx, uint64_t offset);

// Bytes of the blocks in use, their tags included (a walk over every block).
uint64_t HeapBytesInUse(const BDS* ctx);

// Gives the bytes of a block in use past its first `keep` bytes back to the heap, when
// they make a block of their own; the block keeps its offset and its first `keep` bytes.
void VShrink(BDS* ctx, uint64_t offset, uint64_t keep);

// Bytes a block in use can hold (its whole size less the overhead), 0 for an offset that
// is not a sound block in use. A text may grow in place up to this length, its NUL included.
uint64_t VBlockRoom(BDS* ctx, uint64_t offset);

// Address of a heap offset; null for offset 0 ("no text") or a context without a heap.
char* HeapPtr(BDS* ctx, uint64_t offset);
