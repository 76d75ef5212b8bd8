// String heap: next-fit allocation with boundary tags in the context's reserved range.
//
// Layout (all words u64, offsets from HeapBase; blocks are 4-aligned, so words are read
// and written with memcpy):
//   header (80 bytes at 0): the free list's sentinel, a pseudo-block of size 0
//     +0 "5678"  +8 size 0  +16 first free  +24 last free  +32 "5678"  +40 "5678"
//     +48 0      +56 roving offset          +64 0           +72 "5678"
//   used block:  +0 "5678"  +8 size  +16 data ...           size-8: "5678"
//   free block:  +0 "QRST"  +8 size  +16 next  +24 prev ... size-16: size  size-8: "QRST"
//   end marker:  one "5678" word after the last block, so coalescing stops there.
// The size of a block counts the whole block. Link offset 0 means the header.
// Offsets, never pointers, are handed out: the heap may be addressed from any base.
#include "engine/core/heap.h"

#include <windows.h>

#include <cstring>

#include "engine/core/binding.h"
#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/text_append.h"
#include "engine/ui/message_box.h"

namespace {

constexpr uint64_t TAG_USED = 0x38373635;   // "5678" and four zero bytes
constexpr uint64_t TAG_FREE = 0x54535251;   // "QRST" and four zero bytes

constexpr uint64_t HEADER_SIZE = 80;
constexpr uint64_t MIN_BLOCK = 52;
constexpr uint64_t OVERHEAD = 24;           // head tag, size, trailing tag
constexpr uint64_t END_SLACK = 28;          // end marker lies this far below the committed end
constexpr uint64_t GROW_EXTRA = 32768;

constexpr uint64_t H_NEXT = 16;
constexpr uint64_t H_PREV = 24;
constexpr uint64_t H_ROVING = 56;

constexpr int MSG_DYNALLOC_TITLE = 845;
constexpr int MSG_TAG_OVERWRITE_1 = 846;
constexpr int MSG_TAG_OVERWRITE_2 = 847;

// ---------------------------------------------------------------- raw words

inline uint64_t Word(const BDS* ctx, uint64_t offset)
{
    uint64_t w;
    std::memcpy(&w, ctx->HeapBase + offset, sizeof w);
    return w;
}

inline void SetWord(BDS* ctx, uint64_t offset, uint64_t w)
{
    std::memcpy(ctx->HeapBase + offset, &w, sizeof w);
}

inline uint64_t NextOf(const BDS* ctx, uint64_t block) { return Word(ctx, block + H_NEXT); }
inline uint64_t PrevOf(const BDS* ctx, uint64_t block) { return Word(ctx, block + H_PREV); }
inline uint64_t SizeOf(const BDS* ctx, uint64_t block) { return block ? Word(ctx, block + 8) : 0; }

// ---------------------------------------------------------------- boxes

void ShowDamageBox(BDS* ctx, int textId)
{
    char title[128];
    char text[128];
    LoadMyString(ctx, EngineModule(), MSG_DYNALLOC_TITLE, title, sizeof title);
    LoadMyString(ctx, EngineModule(), textId, text, sizeof text);
    ShowMessageBox(ctx, GetFocus(), text, title, MB_OK | MB_SETFOREGROUND);   // quiet mode logs it
}

void ShowCommitFailureBox(DWORD error)
{
    char text[32];
    wsprintfA(text, "%lu", error);
    MessageBoxA(GetFocus(), text, "VMalloc error - VirtualAlloc failed", MB_OK | MB_SETFOREGROUND);
}

// ---------------------------------------------------------------- block checks

// The region where blocks may lie: after the header, before the end marker.
inline bool InsideBlocks(const BDS* ctx, uint64_t block, uint64_t size)
{
    uint64_t end = ctx->heap.endMarker;
    return block >= HEADER_SIZE && block < end && size >= MIN_BLOCK && size <= end - block;
}

// A free block whose both ends agree. Link offsets are checked before they are followed,
// so a damaged list is noticed instead of walked into foreign memory.
bool IsFreeBlock(const BDS* ctx, uint64_t block)
{
    if (block < HEADER_SIZE || block > ctx->heap.endMarker - MIN_BLOCK)
        return false;
    if (Word(ctx, block) != TAG_FREE)
        return false;
    uint64_t size = SizeOf(ctx, block);
    return InsideBlocks(ctx, block, size) && Word(ctx, block + size - 8) == TAG_FREE
           && Word(ctx, block + size - 16) == size;
}

inline bool IsLink(const BDS* ctx, uint64_t link) { return link == 0 || IsFreeBlock(ctx, link); }

// ---------------------------------------------------------------- free list

void Unlink(BDS* ctx, uint64_t block)
{
    uint64_t next = NextOf(ctx, block);
    uint64_t prev = PrevOf(ctx, block);
    SetWord(ctx, prev + H_NEXT, next);
    SetWord(ctx, next + H_PREV, prev);
    if (Word(ctx, H_ROVING) == block)
        SetWord(ctx, H_ROVING, 0);
}

// Puts a block directly after the header, so it becomes the first free block.
void LinkFirst(BDS* ctx, uint64_t block)
{
    uint64_t first = NextOf(ctx, 0);
    SetWord(ctx, block + H_NEXT, first);
    SetWord(ctx, block + H_PREV, 0);
    SetWord(ctx, first + H_PREV, block);
    SetWord(ctx, H_NEXT, block);
}

void MarkFree(BDS* ctx, uint64_t block, uint64_t size)
{
    SetWord(ctx, block, TAG_FREE);
    SetWord(ctx, block + 8, size);
    SetWord(ctx, block + size - 16, size);
    SetWord(ctx, block + size - 8, TAG_FREE);
}

void MarkUsed(BDS* ctx, uint64_t block, uint64_t size)
{
    SetWord(ctx, block, TAG_USED);
    SetWord(ctx, block + 8, size);
    SetWord(ctx, block + size - 8, TAG_USED);
    ctx->HeapBase[block + 16] = 0;   // an unwritten text reads as empty, narrow or wide
    ctx->HeapBase[block + 17] = 0;
}

// ---------------------------------------------------------------- allocation

// Hands out `need` bytes of the free block; answers the used block's offset.
uint64_t TakeBlock(BDS* ctx, uint64_t block, uint64_t need)
{
    uint64_t size = SizeOf(ctx, block);
    if (size - need >= MIN_BLOCK) {
        // The front stays free (and stays in the list); the tail is handed out.
        uint64_t rest = size - need;
        SetWord(ctx, block + 8, rest);
        SetWord(ctx, block + rest - 16, rest);
        SetWord(ctx, block + rest - 8, TAG_FREE);
        MarkUsed(ctx, block + rest, need);
        return block + rest;
    }
    Unlink(ctx, block);
    MarkUsed(ctx, block, size);
    return block;
}

enum class Search { Found, NoFit, Damaged };

// Next fit from the roving offset; every block passed becomes the roving offset. The
// header is passed at most twice: the second time, every free block has been tried.
Search FindFit(BDS* ctx, uint64_t need, uint64_t* found)
{
    uint64_t current = Word(ctx, H_ROVING);
    if (!IsLink(ctx, current))
        current = 0;
    int headerPasses = 0;
    // A sound list holds fewer blocks than fit in the heap; more steps mean a cycle.
    uint64_t steps = ctx->heap.endMarker / MIN_BLOCK + 4;
    for (;;) {
        if (steps-- == 0)
            return Search::Damaged;
        if (current == 0) {
            if (++headerPasses == 2)
                return Search::NoFit;
        } else if (SizeOf(ctx, current) >= need) {
            *found = current;
            return Search::Found;
        }
        uint64_t next = NextOf(ctx, current);
        if (!IsLink(ctx, next))
            return Search::Damaged;
        current = next;
        SetWord(ctx, H_ROVING, current);
    }
}

// Commits more of the reserved range and adds it as a free block at the heap's end.
// Answers false (with a box only for an unexpected failure) when nothing could be added.
bool Grow(BDS* ctx, uint64_t need)
{
    EngineBinding* binding = ctx->heap.binding;
    if (!binding)
        return false;

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    uint64_t page = info.dwPageSize ? info.dwPageSize : 4096;
    uint64_t committed = ctx->heap.committed;
    if (need > UINT64_MAX / 4 - committed)
        return false;
    uint64_t wanted = (committed + need + GROW_EXTRA + page - 1) / page * page;
    if (binding->reserveSize && wanted > binding->reserveSize)
        wanted = binding->reserveSize / page * page;   // the last pages of the reserve
    uint64_t oldEnd = ctx->heap.endMarker;
    if (wanted <= committed || wanted < oldEnd + END_SLACK + MIN_BLOCK)
        return false;

    if (!VirtualAlloc(ctx->HeapBase, wanted, MEM_COMMIT, PAGE_READWRITE)) {
        DWORD error = GetLastError();
        if (error != ERROR_NOT_ENOUGH_MEMORY && error != ERROR_INVALID_ADDRESS)
            ShowCommitFailureBox(error);
        return false;
    }
    ctx->heap.committed = wanted;
    binding->stringSpace = ctx->HeapBase;
    binding->commitSize = wanted;

    // The old end marker becomes a used block over the new space, with a new marker after
    // it; freeing that block merges it into a free predecessor.
    uint64_t newEnd = (wanted - END_SLACK) & ~uint64_t(3);
    uint64_t size = newEnd - oldEnd;
    SetWord(ctx, newEnd, TAG_USED);
    ctx->heap.endMarker = newEnd;
    MarkUsed(ctx, oldEnd, size);
    VFree(ctx, oldEnd + 16);
    return true;
}

// ---------------------------------------------------------------- freeing

struct FreePlan {
    uint64_t block;
    uint64_t size;
    uint64_t pred;   // free predecessor to merge, 0 when none
    uint64_t succ;   // free successor to merge, 0 when none
};

// Checks the block to be freed and both neighbours before anything is written; answers
// 0 when all is sound, else the message of the box to show.
int PlanFree(const BDS* ctx, uint64_t offset, FreePlan* plan)
{
    if (offset < HEADER_SIZE + 16 || offset - 16 > ctx->heap.endMarker - MIN_BLOCK)
        return MSG_TAG_OVERWRITE_1;
    uint64_t block = offset - 16;
    if (Word(ctx, block) != TAG_USED)
        return MSG_TAG_OVERWRITE_1;
    uint64_t size = SizeOf(ctx, block);
    if (!InsideBlocks(ctx, block, size) || Word(ctx, block + size - 8) != TAG_USED)
        return MSG_TAG_OVERWRITE_2;

    plan->block = block;
    plan->size = size;
    plan->pred = 0;
    plan->succ = 0;

    uint64_t before = Word(ctx, block - 8);   // the preceding block's trailing tag
    if (before == TAG_FREE) {
        uint64_t predSize = Word(ctx, block - 16);
        if (predSize > block || !IsFreeBlock(ctx, block - predSize)
            || SizeOf(ctx, block - predSize) != predSize)
            return MSG_TAG_OVERWRITE_1;
        plan->pred = block - predSize;
    } else if (before != TAG_USED) {
        return MSG_TAG_OVERWRITE_1;
    }

    uint64_t after = block + size;
    uint64_t afterTag = Word(ctx, after);
    if (afterTag == TAG_FREE) {
        if (!IsFreeBlock(ctx, after))
            return MSG_TAG_OVERWRITE_2;
        plan->succ = after;
    } else if (afterTag != TAG_USED) {
        return MSG_TAG_OVERWRITE_2;
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------- interface

void FormatVmallocHeap(BDS* ctx, uint64_t committed)
{
    if (!ctx || !ctx->HeapBase || committed < HEADER_SIZE + 8)
        return;
    uint64_t freeSize = committed >= HEADER_SIZE + MIN_BLOCK + END_SLACK
                            ? (committed - HEADER_SIZE - END_SLACK) & ~uint64_t(3)
                            : 0;
    std::memset(ctx->HeapBase, 0, HEADER_SIZE);
    SetWord(ctx, 0, TAG_USED);
    SetWord(ctx, 32, TAG_USED);
    SetWord(ctx, 40, TAG_USED);
    SetWord(ctx, 72, TAG_USED);
    ctx->heap.committed = committed;
    ctx->heap.endMarker = HEADER_SIZE + freeSize;
    SetWord(ctx, ctx->heap.endMarker, TAG_USED);
    if (freeSize) {
        MarkFree(ctx, HEADER_SIZE, freeSize);
        SetWord(ctx, HEADER_SIZE + H_NEXT, 0);
        SetWord(ctx, HEADER_SIZE + H_PREV, 0);
        SetWord(ctx, H_NEXT, HEADER_SIZE);
        SetWord(ctx, H_PREV, HEADER_SIZE);
        SetWord(ctx, H_ROVING, HEADER_SIZE);
    }
}

extern "C" uint64_t VMalloc(BDS* ctx, uint64_t n)
{
    if (!ctx || !ctx->HeapBase || ctx->heap.endMarker < HEADER_SIZE || n > (UINT64_MAX >> 4))
        return 0;
    uint64_t need = (n + 27) & ~uint64_t(3);
    if (need < MIN_BLOCK)
        need = MIN_BLOCK;
    for (;;) {
        uint64_t block = 0;
        switch (FindFit(ctx, need, &block)) {
        case Search::Found:
            return TakeBlock(ctx, block, need) + 16;
        case Search::Damaged:
            ShowDamageBox(ctx, MSG_TAG_OVERWRITE_1);
            return 0;
        case Search::NoFit:
            if (!Grow(ctx, need))
                return 0;
            break;
        }
    }
}

extern "C" void VFree(BDS* ctx, uint64_t offset)
{
    if (!ctx || !ctx->HeapBase || offset == 0 || ctx->heap.endMarker < HEADER_SIZE)
        return;
    ForgetTextLength(ctx, offset);
    FreePlan plan;
    if (int damage = PlanFree(ctx, offset, &plan)) {
        ShowDamageBox(ctx, damage);   // nothing is freed: a damaged block is left alone
        return;
    }
    uint64_t block = plan.block;
    uint64_t size = plan.size;
    if (plan.pred) {
        Unlink(ctx, plan.pred);
        size += SizeOf(ctx, plan.pred);
        block = plan.pred;
    }
    if (plan.succ) {
        Unlink(ctx, plan.succ);
        size += SizeOf(ctx, plan.succ);
    }
    MarkFree(ctx, block, size);
    LinkFirst(ctx, block);
}

void VShrink(BDS* ctx, uint64_t offset, uint64_t keep)
{
    if (!ctx || !ctx->HeapBase || offset == 0 || ctx->heap.endMarker < HEADER_SIZE || keep > (UINT64_MAX >> 4))
        return;
    FreePlan plan;
    if (PlanFree(ctx, offset, &plan) != 0)
        return;   // not a sound block in use: left as it is
    ForgetTextLength(ctx, offset);
    uint64_t need = (keep + 27) & ~uint64_t(3);
    if (need < MIN_BLOCK)
        need = MIN_BLOCK;
    if (plan.size < need || plan.size - need < MIN_BLOCK)
        return;
    // The tail becomes a block in use of its own, then is freed like any other block, so
    // it merges with a free successor.
    uint64_t tail = plan.block + need;
    uint64_t tailSize = plan.size - need;
    SetWord(ctx, plan.block + 8, need);
    SetWord(ctx, plan.block + need - 8, TAG_USED);
    SetWord(ctx, tail, TAG_USED);
    SetWord(ctx, tail + 8, tailSize);
    SetWord(ctx, tail + tailSize - 8, TAG_USED);
    VFree(ctx, tail + 16);
}

uint64_t VBlockRoom(BDS* ctx, uint64_t offset)
{
    if (!ctx || !ctx->HeapBase || offset < HEADER_SIZE + 16 || ctx->heap.endMarker < HEADER_SIZE
        || offset - 16 > ctx->heap.endMarker - MIN_BLOCK)
        return 0;
    uint64_t block = offset - 16;
    uint64_t size = SizeOf(ctx, block);
    if (Word(ctx, block) != TAG_USED || !InsideBlocks(ctx, block, size) || Word(ctx, block + size - 8) != TAG_USED)
        return 0;
    return size - OVERHEAD;
}

char* HeapPtr(BDS* ctx, uint64_t offset)
{
    if (!ctx || !ctx->HeapBase || offset == 0)
        return nullptr;
    return ctx->HeapBase + offset;
}

uint64_t HeapBytesInUse(const BDS* ctx)
{
    if (!ctx->HeapBase)
        return 0;
    uint64_t total = 0;
    uint64_t block = HEADER_SIZE;
    while (block < ctx->heap.endMarker) {
        uint64_t size = SizeOf(ctx, block);
        if (!InsideBlocks(ctx, block, size))
            break;          // a damaged tag: count what was sound
        if (Word(ctx, block) == TAG_USED)
            total += size;
        block += size;
    }
    return total;
}
