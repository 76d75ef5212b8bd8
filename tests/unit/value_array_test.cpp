// Array blocks: creation and its refusals, spare slots of growable arrays, and the
// holder count that keeps a shared array alive until its last holder lets go.
#include "value_fixture.h"

#include "engine/data/array.h"

using ArrayBlock = ValueTest;

TEST_F(ArrayBlock, CreationAndItsRefusals)
{
    struct Case { uint32_t d[5]; int given; int result; uint16_t error; uint8_t ndims; uint32_t count; };
    const Case cases[] = {
        {{3, 4, 0, 0, 0}, 2, 1, 0, 2, 12},
        {{2, 2, 2, 2, 2}, 5, 1, 0, 5, 32},
        {{0, 0, 0, 0, 0}, 1, 0, 0, 0, 0},
        {{0, 5, 0, 0, 0}, 2, 0, 0, 0, 0},
        {{3, 9, 9, 0, 0}, 1, 1, 0, 1, 3},   // sizes beyond `given` do not count
        {{3, 0, 2, 0, 0}, 3, -1, 1630, 0, 0},
        {{0xFFFFFFFF, 0, 0, 0, 0}, 1, -1, 1628, 0, 0},
        {{10000, 10000, 10000, 0, 0}, 3, -1, 1644, 0, 0},
    };
    for (const Case& c : cases) {
        ctx->nErrorCode = 0;
        resultants value;
        InitResultValue(ctx, &value, VK_RECORD, 0);
        EXPECT_EQ(CreateMyArray(ctx, &value, c.d[0], c.d[1], c.d[2], c.d[3], c.d[4], 0, c.given), c.result)
            << c.d[0] << "," << c.d[1] << "," << c.d[2];
        EXPECT_EQ(ctx->nErrorCode, c.error);
        if (c.result < 0) {
            EXPECT_EQ(value.flags, static_cast<uint32_t>(VF_INT)) << "untouched";
            continue;
        }
        ArrayHeader* array = ValueArray(&value);
        ASSERT_NE(array, nullptr);
        EXPECT_EQ(array->ndims, c.ndims);
        EXPECT_EQ(array->count, c.count);
        EXPECT_EQ(array->bytes, c.count * 56);
        EXPECT_EQ(array->data, reinterpret_cast<ArrayElement*>(array + 1));
        EXPECT_EQ(array->refs, 1u);
        EXPECT_NE(array->stamp, 0);
        EXPECT_EQ(ReleaseArray(ctx, &value.str, 0), c.ndims ? 1 : 0);
        EXPECT_EQ(value.str, 0u);
    }
}

TEST_F(ArrayBlock, GrowableArraysGetSpareSlots)
{
    struct Case { uint32_t size; uint32_t given; uint32_t capacity; };
    for (const Case& c : {Case{10, 1, 155}, Case{145, 1, 290}, Case{146, 1, 437}, Case{4, 2, 16}}) {
        resultants value;
        ASSERT_EQ(CreateMyArray(ctx, &value, c.size, c.given == 2 ? 4 : 0, 0, 0, 0, ARRAY_GROWABLE,
                                static_cast<int>(c.given)), 1);
        ArrayHeader* array = ValueArray(&value);
        EXPECT_EQ(array->capacity, c.capacity) << c.size;
        EXPECT_EQ(array->flags, c.given == 1 ? ARRAY_GROWABLE : 0) << "only one dimension grows";
        EXPECT_EQ(array->data[c.capacity - 1].flags, 0u) << "spare slots are zero";
        ReleaseArray(ctx, &value.str, 0);
    }
}

TEST_F(ArrayBlock, ThreeHundredHoldersKeepTheArrayAlive)
{
    uint64_t before = FreeBytes();
    resultants value;
    ASSERT_EQ(CreateMyArray(ctx, &value, 3, 0, 0, 0, 0, 0, 1), 1);
    ArrayHeader* array = ValueArray(&value);
    resultants text = Text("element text");
    ASSERT_EQ(CopyValue(ctx, &text, &array->data[1], 0, VK_RECORD | VM_TO_ELEMENT | VM_COPY_TEXT), 1);
    FreeValue(ctx, &text, 0, VK_RECORD);

    // 300 holders, each with its own copy of the reference (the creation counts too).
    std::vector<resultants> holders(300);
    for (resultants& holder : holders)
        ASSERT_EQ(CopyValue(ctx, &value, &holder, 0, VK_RECORD | VM_TO_RECORD | VM_ADD_ARRAY_REF), 1);
    EXPECT_EQ(array->refs, 301u);

    for (size_t i = 0; i + 1 < holders.size(); ++i) {
        ASSERT_EQ(FreeValue(ctx, &holders[i], 0, VK_RECORD), 1);
        ASSERT_EQ(holders[i].flags, 0u);
    }
    EXPECT_EQ(array->refs, 2u);
    EXPECT_EQ(TextOf(array->data[1]), "element text") << "the array is still whole";
    EXPECT_LT(FreeBytes(), before);

    ASSERT_EQ(FreeValue(ctx, &holders.back(), 0, VK_RECORD), 1);  // the last holder
    EXPECT_EQ(FreeBytes(), before) << "the element's text went with the array";
}

TEST_F(ArrayBlock, DestroyingClearsStaleVariablesAndNestedArrays)
{
    resultants outer, inner;
    ASSERT_EQ(CreateMyArray(ctx, &outer, 2, 0, 0, 0, 0, 0, 1), 1);
    ASSERT_EQ(CreateMyArray(ctx, &inner, 2, 0, 0, 0, 0, 0, 1), 1);
    ArrayHeader* block = ValueArray(&outer);
    ASSERT_EQ(SetVariableFromValue(ctx, "keep", &inner), 1);
    ASSERT_EQ(CopyValue(ctx, &inner, &block->data[0], 0, VK_RECORD | VM_TO_ELEMENT | VM_ADD_ARRAY_REF), 1);
    ASSERT_EQ(ValueArray(&inner)->refs, 3u);
    ASSERT_EQ(SetVariableByName(ctx, "stale", reinterpret_cast<void*>(outer.str), 0, SV_ARRAY), 1);

    // A self-reference must not destroy the block twice.
    ASSERT_EQ(CopyValue(ctx, &outer, &block->data[1], 0, VK_RECORD | VM_TO_ELEMENT), 1);

    uint64_t holder = outer.str;
    EXPECT_EQ(ReleaseArray(ctx, &holder, 1), 1);  // forced
    const VariableEntry& stale = ctx->pVars[find_var(ctx, "stale", 0)];
    EXPECT_EQ(stale.flags, static_cast<uint32_t>(VF_ARRAY));
    EXPECT_EQ(stale.str, 0u) << "the variable meets a null block, not freed memory";
    EXPECT_EQ(ValueArray(&inner)->refs, 2u) << "the element's reference was released";
    FreeValue(ctx, &ctx->pVars[find_var(ctx, "keep", 0)], 0, VK_ARGUMENT);
}
