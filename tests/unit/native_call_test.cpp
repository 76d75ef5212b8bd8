// The machine-level seams of native calls: the trampoline's argument placement and result
// registers, its exception guard (also when guards nest), and the guarded text reads.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "engine/core/heap.h"
#include "engine/native/native_call.h"
#include "engine/data/binary_buffer.h"
#include "tests/unit/front_fixture.h"

namespace {

// Weighs every argument by its position, so a misplaced one shows.
int64_t WeighTwenty(int64_t a1, double d2, int64_t a3, double d4, double d5, int64_t a6, double d7,
                    int64_t a8, int64_t a9, int64_t a10, int64_t a11, int64_t a12, int64_t a13,
                    int64_t a14, int64_t a15, int64_t a16, int64_t a17, int64_t a18, int64_t a19,
                    double d20)
{
    return a1 + static_cast<int64_t>(d2 * 2) + a3 * 3 + static_cast<int64_t>(d4 * 4) +
           static_cast<int64_t>(d5 * 5) + a6 * 6 + static_cast<int64_t>(d7 * 7) + a8 * 8 + a9 * 9 +
           a10 * 10 + a11 * 11 + a12 * 12 + a13 * 13 + a14 * 14 + a15 * 15 + a16 * 16 + a17 * 17 +
           a18 * 18 + a19 * 19 + static_cast<int64_t>(d20 * 20);
}

double Halve(double d) { return d / 2; }

void RaiseCode(uint64_t code) { RaiseException(static_cast<DWORD>(code), 0, 0, nullptr); }

uint64_t ReadAt(uint64_t address, uint64_t, uint64_t) { return *reinterpret_cast<volatile int*>(address); }

// Faults inside a guarded call of its own and answers what that guard saw.
uint64_t NestedFault(uint64_t, uint64_t, uint64_t)
{
    uint64_t inner = 0;
    bool ok = GuardedCall(reinterpret_cast<void*>(&ReadAt), 8, 0, 0, &inner);
    return ok ? 0 : inner;
}

TEST(NativeInvoke, PlacesIntegersAndDoublesInRegistersAndStackSlots)
{
    uint32_t codes[20];
    uint64_t ints[20] = {};
    double floats[20] = {};
    const bool isDouble[20] = {false, true, false, true, true, false, true, false, false, false,
                               false, false, false, false, false, false, false, false, false, true};
    int64_t expected = 0;
    for (int i = 0; i < 20; ++i) {
        codes[i] = isDouble[i] ? DLL_DOUBLE : DLL_LONG64;
        ints[i] = static_cast<uint64_t>(-(i + 1));          // only read for integers
        floats[i] = (i + 1) * 1.5;
        expected += isDouble[i] ? static_cast<int64_t>((i + 1) * 1.5 * (i + 1)) : -(i + 1) * (i + 1);
    }
    uint64_t out = 0;
    ASSERT_EQ(DllCallInvoke(reinterpret_cast<void*>(&WeighTwenty), 20, codes, ints, floats, DLL_LONG64, &out), 0);
    EXPECT_EQ(static_cast<int64_t>(out), expected);
}

TEST(NativeInvoke, TakesADoubleResultFromXmm0)
{
    uint32_t codes[1] = {DLL_DOUBLE};
    uint64_t ints[1] = {};
    double floats[1] = {5.0};
    uint64_t out = 0;
    ASSERT_EQ(DllCallInvoke(reinterpret_cast<void*>(&Halve), 1, codes, ints, floats, DLL_DOUBLE, &out), 0);
    double result;
    std::memcpy(&result, &out, sizeof result);
    EXPECT_EQ(result, 2.5);
}

TEST(NativeInvoke, AnExceptionEndsTheCallWithItsCode)
{
    uint64_t out = 0;
    EXPECT_FALSE(GuardedCall(reinterpret_cast<void*>(&RaiseCode), 0xE0000001u, 0, 0, &out));
    EXPECT_EQ(out, 0xE0000001u);
    EXPECT_FALSE(GuardedCall(reinterpret_cast<void*>(&ReadAt), 16, 0, 0, &out));
    EXPECT_EQ(out, static_cast<uint64_t>(EXCEPTION_ACCESS_VIOLATION));
    // The inner guard catches its own fault; the outer call ends normally.
    ASSERT_TRUE(GuardedCall(reinterpret_cast<void*>(&NestedFault), 0, 0, 0, &out));
    EXPECT_EQ(out, static_cast<uint64_t>(EXCEPTION_ACCESS_VIOLATION));
    // And a guard still works after all that.
    int value = 42;
    ASSERT_TRUE(GuardedCall(reinterpret_cast<void*>(&ReadAt), reinterpret_cast<uint64_t>(&value), 0, 0, &out));
    EXPECT_EQ(out, 42u);
}

class NativeTextTest : public ValueTest {};

TEST_F(NativeTextTest, CopiesTextOrReportsTheFault)
{
    resultants v;
    InitResultValue(ctx, &v, VK_RECORD, 0);
    uint32_t fault = 1;
    ASSERT_TRUE(CopyNativeText(ctx, "narrow", false, &v, &fault));
    EXPECT_EQ(fault, 0u);
    EXPECT_EQ(v.flags, VF_STRING);
    EXPECT_STREQ(ValueText(ctx, &v), "narrow");
    ASSERT_TRUE(CopyNativeText(ctx, L"wide", true, &v, &fault));
    EXPECT_EQ(v.flags, VF_UNICODE);
    EXPECT_STREQ(ValueWText(ctx, &v), L"wide");
    ASSERT_TRUE(CopyNativeText(ctx, nullptr, false, &v, &fault));
    EXPECT_STREQ(ValueText(ctx, &v), "");
    EXPECT_FALSE(CopyNativeText(ctx, reinterpret_cast<const void*>(0x10), false, &v, &fault));
    EXPECT_EQ(fault, static_cast<uint32_t>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_STREQ(ValueText(ctx, &v), "");   // the value is left as it was
    FreeValue(ctx, &v, 0, VK_RECORD);
}

}  // namespace

namespace {

class DllStructTest : public FrontTest {
protected:
    void TearDown() override
    {
        DllStructFreeAllCount(ctx);
        BinaryFreeAll(ctx);
        FrontTest::TearDown();
    }
    BinaryBufferSlot& Buffer(int index) { return ctx->data.buffers[index]; }
};

TEST_F(DllStructTest, ReportsTheMembersSizeWhileItsBufferHoldsTheAlignedSize)
{
    ASSERT_EQ(Eval("h = DllStructAlloc(\"int64:a int:b\")"), "i:987787");
    EXPECT_EQ(DllStructSizeFromHandle(ctx, 987787), 12u);
    EXPECT_EQ(Buffer(0).size, 16);
    EXPECT_EQ(DllStructFromHandle(ctx, 987787), Buffer(0).data);
    ASSERT_EQ(Eval("g = DllStructAlloc(\"byte:a char:s[3]\")"), "i:987788");
    EXPECT_EQ(Buffer(1).size, 4);   // single bytes need no rounding
    EXPECT_EQ(Eval("BinaryFree(987659)"), "i:0");
    EXPECT_TRUE(Buffer(0).hMem);    // a structure's buffer stays
    EXPECT_EQ(Eval("DllStructFree(h)"), "i:1");
    EXPECT_FALSE(Buffer(0).hMem);
}

TEST_F(DllStructTest, NeverFreesABlockThatNativeCodePutInAMember)
{
    ASSERT_EQ(Eval("h = DllStructAlloc(\"lpstr:s\")"), "i:987787");
    ASSERT_EQ(Eval("DllStructPoke(h, \"s\", \"first\")"), "i:1");
    char* first;
    std::memcpy(&first, Buffer(0).data, 8);
    ASSERT_EQ(Eval("DllStructPoke(h, \"s\", \"second\")"), "i:1");
    char* second;
    std::memcpy(&second, Buffer(0).data, 8);
    EXPECT_NE(first, second);
    EXPECT_STREQ(second, "second");
    // Native code puts a block of its own in the member: that one is never freed.
    HGLOBAL own = GlobalAlloc(GMEM_FIXED, 16);
    std::memcpy(Buffer(0).data, &own, 8);
    EXPECT_EQ(Eval("DllStructFree(h)"), "i:1");
    EXPECT_EQ(GlobalSize(own), 16u);
    GlobalFree(own);
}

}  // namespace
