// String heap: block sizes, next-fit order, coalescing, growth through the binding record,
// and refusal of damaged or foreign blocks.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "box_watch.h"
#include "engine/core/binding.h"
#include "engine/core/context.h"

namespace {

constexpr uint64_t TAG_USED = 0x38373635;
constexpr uint64_t TAG_FREE = 0x54535251;

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};
using ContextPtr = std::unique_ptr<BDS, ContextDeleter>;

ContextPtr NewContext()
{
    return ContextPtr(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
}

class HeapTest : public ::testing::Test {
protected:
    // Reserves `reserve` bytes, commits `commit` of them and formats the heap there.
    void MakeHeap(uint64_t commit, uint64_t reserve, bool withBinding)
    {
        base_ = static_cast<char*>(VirtualAlloc(nullptr, reserve, MEM_RESERVE, PAGE_NOACCESS));
        ASSERT_NE(base_, nullptr);
        ASSERT_NE(VirtualAlloc(base_, commit, MEM_COMMIT, PAGE_READWRITE), nullptr);
        binding_ = {};
        binding_.stringSpace = base_;
        binding_.commitSize = commit;
        binding_.reserveSize = reserve;
        ctx_->HeapBase = ctx_->HeapBaseSaved = base_;
        ctx_->heap.binding = withBinding ? &binding_ : nullptr;
        FormatVmallocHeap(ctx_.get(), commit);
    }

    void TearDown() override
    {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
    }

    uint64_t Word(uint64_t offset) const
    {
        uint64_t w;
        std::memcpy(&w, base_ + offset, 8);
        return w;
    }
    void SetWord(uint64_t offset, uint64_t w) { std::memcpy(base_ + offset, &w, 8); }

    // Size of the block that holds the data at `offset`.
    uint64_t BlockSize(uint64_t offset) const { return Word(offset - 8); }

    // The free list from the header, as (offset, size) pairs.
    std::vector<std::pair<uint64_t, uint64_t>> FreeList() const
    {
        std::vector<std::pair<uint64_t, uint64_t>> list;
        for (uint64_t b = Word(16); b != 0 && list.size() < 100000; b = Word(b + 16))
            list.push_back({b, Word(b + 8)});
        return list;
    }

    ContextPtr ctx_ = NewContext();
    char* base_ = nullptr;
    EngineBinding binding_{};
};

// ---------------------------------------------------------------- layout and sizes

TEST_F(HeapTest, FormatLaysHeaderOneFreeBlockAndEndMarker)
{
    MakeHeap(65536, 65536, false);
    EXPECT_EQ(Word(0), TAG_USED);
    EXPECT_EQ(Word(72), TAG_USED);
    EXPECT_EQ(Word(16), 80u);   // first free
    EXPECT_EQ(Word(24), 80u);   // last free
    EXPECT_EQ(Word(56), 80u);   // roving
    EXPECT_EQ(Word(80), TAG_FREE);
    EXPECT_EQ(Word(88), 65536u - 108);
    EXPECT_EQ(Word(80 + 65536 - 108 - 8), TAG_FREE);
    EXPECT_EQ(Word(80 + 65536 - 108), TAG_USED);   // end marker
}

TEST_F(HeapTest, BlockSizeFollowsRequest)
{
    MakeHeap(65536, 65536, false);
    const struct {
        uint64_t request, block;
    } cases[] = {{0, 52}, {1, 52}, {28, 52}, {29, 56}, {32, 56}, {33, 60}, {1000, 1024}};
    for (const auto& c : cases) {
        uint64_t offset = VMalloc(ctx_.get(), c.request);
        ASSERT_NE(offset, 0u) << c.request;
        EXPECT_EQ(BlockSize(offset), c.block) << "request " << c.request;
        EXPECT_EQ(Word(offset - 16), TAG_USED);
        EXPECT_EQ(Word(offset - 16 + c.block - 8), TAG_USED);
        std::memset(HeapPtr(ctx_.get(), offset), 'x', c.request);   // usable as promised
    }
}

TEST_F(HeapTest, WithoutHeapNothingIsHandedOut)
{
    EXPECT_EQ(VMalloc(ctx_.get(), 10), 0u);
    VFree(ctx_.get(), 96);   // no heap: ignored, no crash
    EXPECT_EQ(VMalloc(nullptr, 10), 0u);
    VFree(nullptr, 96);
    EXPECT_EQ(HeapPtr(ctx_.get(), 96), nullptr);
}

// ---------------------------------------------------------------- next fit

TEST_F(HeapTest, SearchContinuesWhereTheLastOneStopped)
{
    // Five blocks that use the whole heap: Y(1024) G1(124) X(52) G2(124) L(124), handed out
    // from the top of the one free block downwards.
    MakeHeap(1448 + 108, 1448 + 108, false);
    uint64_t y = VMalloc(ctx_.get(), 997);
    uint64_t g1 = VMalloc(ctx_.get(), 100);
    uint64_t x = VMalloc(ctx_.get(), 28);
    uint64_t g2 = VMalloc(ctx_.get(), 100);
    uint64_t last = VMalloc(ctx_.get(), 100);
    EXPECT_EQ(y - 16, 504u);
    EXPECT_EQ(g1 - 16, 380u);
    EXPECT_EQ(x - 16, 328u);
    EXPECT_EQ(g2 - 16, 204u);
    EXPECT_EQ(last - 16, 80u);
    EXPECT_TRUE(FreeList().empty());
    EXPECT_EQ(VMalloc(ctx_.get(), 0), 0u);   // full, and no binding to grow with

    VFree(ctx_.get(), y);
    VFree(ctx_.get(), x);   // list: X(52), Y(1024)
    ASSERT_EQ(FreeList().size(), 2u);

    // 524 bytes pass X and split Y: the search stops at Y.
    EXPECT_EQ(VMalloc(ctx_.get(), 500) - 16, 1004u);
    // A small request is served from Y where the search stopped, not from X first.
    EXPECT_EQ(VMalloc(ctx_.get(), 28) - 16, 952u);
    // Y's remaining 448 bytes are taken whole (a 24-byte remainder is not split off).
    uint64_t whole = VMalloc(ctx_.get(), 400);
    EXPECT_EQ(whole - 16, 504u);
    EXPECT_EQ(BlockSize(whole), 448u);
    // The search wraps round to X.
    EXPECT_EQ(VMalloc(ctx_.get(), 28) - 16, 328u);
    EXPECT_EQ(VMalloc(ctx_.get(), 28), 0u);
}

// ---------------------------------------------------------------- coalescing

TEST_F(HeapTest, FreedNeighboursMergeIntoOneBlockAtTheLowerAddress)
{
    MakeHeap(65536, 65536, false);
    uint64_t guardHigh = VMalloc(ctx_.get(), 100);
    uint64_t a = VMalloc(ctx_.get(), 100);   // directly below guardHigh
    uint64_t b = VMalloc(ctx_.get(), 200);   // directly below a
    uint64_t c = VMalloc(ctx_.get(), 100);   // directly below b
    uint64_t guardLow = VMalloc(ctx_.get(), 100);
    ASSERT_EQ(b + BlockSize(b), a);
    ASSERT_EQ(c + BlockSize(c), b);

    VFree(ctx_.get(), a);
    VFree(ctx_.get(), b);   // merges with the free a above it
    EXPECT_EQ(Word(b - 16), TAG_FREE);
    EXPECT_EQ(Word(b - 8), 124u + 224u);
    auto list = FreeList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].first, b - 16);   // freed blocks go to the front of the list

    // Freeing the block below merges it into the free block above it as well.
    VFree(ctx_.get(), c);
    EXPECT_EQ(Word(c - 16), TAG_FREE);
    EXPECT_EQ(Word(c - 8), 124u + 224u + 124u);
    EXPECT_EQ(FreeList().size(), 2u);
    EXPECT_EQ(Word(guardHigh - 16), TAG_USED);
    EXPECT_EQ(Word(guardLow - 16), TAG_USED);
}

TEST_F(HeapTest, FreeingEverythingRestoresTheSingleBlock)
{
    MakeHeap(1 << 20, 1 << 20, false);
    std::mt19937 rng(7);
    std::vector<uint64_t> live;
    for (int round = 0; round < 3000; ++round) {
        if (live.empty() || rng() % 3 != 0) {
            uint64_t n = rng() % 700;
            uint64_t offset = VMalloc(ctx_.get(), n);
            ASSERT_NE(offset, 0u);
            std::memset(HeapPtr(ctx_.get(), offset), 0x5A, n);
            live.push_back(offset);
        } else {
            size_t i = rng() % live.size();
            VFree(ctx_.get(), live[i]);
            live.erase(live.begin() + i);
        }
    }
    std::shuffle(live.begin(), live.end(), rng);
    for (uint64_t offset : live)
        VFree(ctx_.get(), offset);
    auto list = FreeList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].first, 80u);
    EXPECT_EQ(list[0].second, (1u << 20) - 108);
}

TEST_F(HeapTest, ShrinkGivesTheTailBackAndKeepsTheText)
{
    MakeHeap(65536, 65536, false);
    uint64_t guardHigh = VMalloc(ctx_.get(), 100);
    uint64_t a = VMalloc(ctx_.get(), 1000);   // directly below guardHigh
    uint64_t guardLow = VMalloc(ctx_.get(), 100);
    ASSERT_EQ(a + BlockSize(a), guardHigh);
    std::memcpy(HeapPtr(ctx_.get(), a), "kept", 5);
    size_t freeBlocks = FreeList().size();

    VShrink(ctx_.get(), a, 200);
    EXPECT_EQ(BlockSize(a), 224u);
    EXPECT_STREQ(HeapPtr(ctx_.get(), a), "kept");
    uint64_t tail = a - 16 + 224;
    EXPECT_EQ(Word(tail), TAG_FREE);
    EXPECT_EQ(Word(tail + 8), 1024u - 224u);
    EXPECT_EQ(FreeList().size(), freeBlocks + 1);

    // Too little to give back, or no block in use: nothing changes.
    std::vector<char> before(base_, base_ + 65536);
    VShrink(ctx_.get(), a, 190);
    VShrink(ctx_.get(), a + 4, 10);
    VShrink(ctx_.get(), tail + 16, 10);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), base_));

    // Freed, the block merges with its given-back tail as with any free neighbour.
    VFree(ctx_.get(), a);
    EXPECT_EQ(Word(a - 16), TAG_FREE);
    EXPECT_EQ(Word(a - 8), 1024u);
    VFree(ctx_.get(), guardHigh);
    VFree(ctx_.get(), guardLow);
    EXPECT_EQ(FreeList().size(), 1u);
}

// ---------------------------------------------------------------- growth

TEST_F(HeapTest, GrowsThroughTheBindingRecordUpToTheReserve)
{
    const uint64_t reserve = 1 << 20;
    MakeHeap(65536, reserve, true);
    BoxWatch noBox(nullptr, 0, 3000);

    uint64_t big = VMalloc(ctx_.get(), 100000);
    ASSERT_NE(big, 0u);
    EXPECT_GT(binding_.commitSize, 65536u + 100000u);
    EXPECT_EQ(binding_.commitSize % 4096, 0u);
    EXPECT_EQ(binding_.stringSpace, base_);
    std::memset(HeapPtr(ctx_.get(), big), 1, 100000);   // committed and writable

    std::vector<uint64_t> chunks{big};
    uint64_t offset;
    while ((offset = VMalloc(ctx_.get(), 150000)) != 0)
        chunks.push_back(offset);
    EXPECT_EQ(binding_.commitSize, reserve);   // the last pages of the reserve were used too
    EXPECT_GE(chunks.size(), 5u);
    // Past the reserve: 0 without a box, and the heap is still sound.
    EXPECT_EQ(VMalloc(ctx_.get(), 150000), 0u);
    uint64_t small = VMalloc(ctx_.get(), 10);
    EXPECT_NE(small, 0u);
    VFree(ctx_.get(), small);
    for (uint64_t c : chunks)
        VFree(ctx_.get(), c);
    auto list = FreeList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].second, binding_.commitSize - 108);

    noBox.Stop();
    EXPECT_FALSE(noBox.Result().found) << noBox.Result().title;
}

TEST_F(HeapTest, NoGrowthWithoutBindingRecord)
{
    MakeHeap(65536, 1 << 20, false);
    EXPECT_EQ(VMalloc(ctx_.get(), 100000), 0u);
    EXPECT_NE(VMalloc(ctx_.get(), 60000), 0u);
}

// ---------------------------------------------------------------- damage

// Tests that show a box run with the desktop to themselves (tests/CMakeLists.txt).
using HeapBoxTest = HeapTest;

TEST_F(HeapBoxTest, OverlongWriteIntoNextBlockIsReportedWhenFreed)
{
    MakeHeap(65536, 65536, false);
    uint64_t above = VMalloc(ctx_.get(), 100);
    uint64_t written = VMalloc(ctx_.get(), 100);   // directly below `above`
    ASSERT_EQ(written - 16 + BlockSize(written), above - 16);
    std::memset(HeapPtr(ctx_.get(), written), 'x', 124);   // through above's head tag

    BoxWatch box("INTERNAL DYNALLOC ERROR");
    VFree(ctx_.get(), written);
    const BoxSeen& seen = box.Result();
    ASSERT_TRUE(seen.found);
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ(seen.texts.back(), "Tag Overwrite 2");
    EXPECT_NE(Word(written - 16), TAG_FREE);   // nothing was freed
    EXPECT_EQ(FreeList().size(), 1u);
}

TEST_F(HeapBoxTest, DamagedTrailingTagIsReportedWhenTheNextBlockIsFreed)
{
    MakeHeap(65536, 65536, false);
    uint64_t above = VMalloc(ctx_.get(), 100);
    uint64_t damaged = VMalloc(ctx_.get(), 100);
    SetWord(damaged - 16 + BlockSize(damaged) - 8, 0x4141414141414141ull);

    BoxWatch box("INTERNAL DYNALLOC ERROR");
    VFree(ctx_.get(), above);
    const BoxSeen& seen = box.Result();
    ASSERT_TRUE(seen.found);
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ(seen.texts.back(), "Tag Overwrite 1");
    EXPECT_EQ(Word(above - 16), TAG_USED);
}

TEST_F(HeapBoxTest, ForeignOffsetsAreRefusedWithoutWriting)
{
    MakeHeap(65536, 65536, false);
    uint64_t a = VMalloc(ctx_.get(), 100);
    uint64_t b = VMalloc(ctx_.get(), 100);
    VFree(ctx_.get(), b);
    std::vector<char> before(base_, base_ + 65536);

    const uint64_t bad[] = {
        8,                 // inside the header
        a + 4,             // inside a block
        b,                 // already freed
        65536 - 20,        // at the end marker
        1ull << 40,        // far outside the heap
        ~0ull,
    };
    for (uint64_t offset : bad) {
        BoxWatch box("INTERNAL DYNALLOC ERROR");
        VFree(ctx_.get(), offset);
        EXPECT_TRUE(box.Result().found) << offset;
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), base_));
    VFree(ctx_.get(), a);   // the heap still works
    EXPECT_EQ(FreeList().size(), 1u);
}

}  // namespace

namespace {

TEST_F(HeapTest, QuietModeRecordsTheDamageInsteadOfShowingIt)
{
    MakeHeap(65536, 65536, false);
    ctx_->err.bQuietMode = 1;
    uint64_t a = VMalloc(ctx_.get(), 100);
    BoxWatch noBox(nullptr, 0, 1000);
    VFree(ctx_.get(), a + 4);
    noBox.Stop();
    EXPECT_FALSE(noBox.Result().found);
    EXPECT_STREQ(ctx_->err.szQuietTitle, "INTERNAL DYNALLOC ERROR");
    EXPECT_STREQ(ctx_->err.szQuietText, "Tag Overwrite 1");
}

}  // namespace
