// Value operations: initialising, releasing and copying heads, and the conversions
// between their forms (text, wide text, 32/64-bit integers, floats, COM variants).
#include "value_fixture.h"

#include <oleauto.h>

#include <cmath>
#include <limits>

#include "engine/core/numtext.h"
#include "engine/data/array.h"

using ValueConvert = ValueTest;

TEST_F(ValueConvert, TextToIntegerFollowsTheStrictSyntax)
{
    struct Case { const char* text; bool allow64; int ok; uint32_t form; int64_t value; };
    const Case cases[] = {
        {"  -12", false, 1, VF_INT, -12},
        {"-12 ", true, 0, 0, 0},
        {"- 12", true, 0, 0, 0},
        {"--12", true, 0, 0, 0},
        {"+-12", true, 0, 0, 0},
        {"", true, 0, 0, 0},
        {"1.5", true, 0, 0, 0},
        {"2147483647", true, 1, VF_INT, 2147483647},
        {"-2147483648", false, 1, VF_INT, INT32_MIN},
        {"2147483648", true, 1, VF_INT64, 2147483648LL},
        {"2147483648", false, 0, 0, 0},   // never wrapped into 32 bits
        {"4294967296", true, 1, VF_INT64, 4294967296LL},
        {"4294967296", false, 0, 0, 0},
        {"9223372036854775808", true, 0, 0, 0},
    };
    for (const Case& c : cases) {
        resultants value = Text(c.text);
        ctx->nErrorCode = 0;
        EXPECT_EQ(ValueToInteger(ctx, &value, true, c.allow64), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(ctx->nErrorCode, 0) << "refusal is reported by the caller";
        EXPECT_EQ(value.flags, VF_STRING | c.form) << c.text;
        if (c.form == VF_INT) {
            EXPECT_EQ(value.i32, c.value) << c.text;
        }
        if (c.form == VF_INT64) {
            EXPECT_EQ(value.i64, c.value) << c.text;
        }
        EXPECT_EQ(TextOf(value), c.text) << "the text form stays";
        FreeValue(ctx, &value, 0, VK_RECORD);
    }
}

TEST_F(ValueConvert, FloatToIntegerRoundsHalfAwayFromZero)
{
    struct Case { double number; bool allow64; int ok; uint32_t flags; int64_t value; };
    const Case cases[] = {
        {2.5, false, 1, VF_INT, 3},
        {-2.5, false, 1, VF_INT, -3},
        {2.4999, false, 1, VF_INT, 2},
        {0.49999999999999994, false, 1, VF_INT, 0},
        {2147483645.0, false, 1, VF_INT, 2147483645},
        {2147483646.0, false, 0, VF_FLOAT, 0},        // beyond the 32-bit window
        {2147483646.0, true, 1, VF_INT64, 2147483646},
        {-5e9 - 0.5, true, 1, VF_INT64, -5000000001LL},
        {9.3e18, true, 0, VF_FLOAT, 0},
        {std::numeric_limits<double>::quiet_NaN(), true, 0, VF_FLOAT, 0},
    };
    for (const Case& c : cases) {
        resultants value;
        SetResultFloat(ctx, &value, c.number);
        EXPECT_EQ(ValueToInteger(ctx, &value, true, c.allow64), c.ok) << c.number;
        EXPECT_EQ(value.flags, c.flags) << c.number;
        if (c.flags == VF_INT) {
            EXPECT_EQ(value.i32, c.value) << c.number;
        }
        if (c.flags == VF_INT64) {
            EXPECT_EQ(value.i64, c.value) << c.number;
        }
    }

    resultants refused;
    SetResultFloat(ctx, &refused, 1.0);
    EXPECT_EQ(ValueToInteger(ctx, &refused, false, true), 0) << "floats only when allowed";

    nPendingMathError = 1343;
    EXPECT_EQ(ValueToInteger(ctx, &refused, true, true), 0);
    EXPECT_EQ(ctx->nErrorCode, 1343);
    EXPECT_EQ(nPendingMathError, 0u);
}

TEST_F(ValueConvert, SixtyFourBitValuesMeetThirtyTwoBitCallers)
{
    resultants value;
    SetResultInt64(ctx, &value, 0x100000005LL);
    EXPECT_EQ(ValueToInteger(ctx, &value, false, true), 1);
    EXPECT_EQ(value.flags, static_cast<uint32_t>(VF_INT64));
    EXPECT_EQ(ValueToInteger(ctx, &value, false, false), 1);
    EXPECT_EQ(value.flags, static_cast<uint32_t>(VF_INT));
    EXPECT_EQ(value.i32, 5);

    int64_t out = 0;
    SetResultInt(ctx, &value, -7);
    EXPECT_EQ(ValueToInt64(ctx, &value, &out, false), 1);
    EXPECT_EQ(out, -7);
    SetResultFloat(ctx, &value, -2.5);
    EXPECT_EQ(ValueToInt64(ctx, &value, &out, false), 0);
    EXPECT_EQ(ValueToInt64(ctx, &value, nullptr, true), 1) << "null out converts in place";
    EXPECT_EQ(value.flags, static_cast<uint32_t>(VF_INT64));
    EXPECT_EQ(value.i64, -3);

    resultants text = Text(" 9223372036854775807");
    EXPECT_EQ(ValueToInt64(ctx, &text, &out, false), 1);
    EXPECT_EQ(out, INT64_MAX);
    FreeValue(ctx, &text, 0, VK_RECORD);
    text = Text("--1");
    EXPECT_EQ(ValueToInt64(ctx, &text, &out, false), 0);
    FreeValue(ctx, &text, 0, VK_RECORD);
}

TEST_F(ValueConvert, NumbersToTextAndBack)
{
    resultants value;
    SetResultInt(ctx, &value, -42);
    ASSERT_EQ(ValueToString(ctx, &value), 1);
    EXPECT_EQ(value.flags, VF_INT | VF_STRING);
    EXPECT_EQ(TextOf(value), "-42");
    ASSERT_EQ(ValueToWide(ctx, &value), 1);
    EXPECT_EQ(std::wstring(ValueWText(ctx, &value)), L"-42");

    SetResultInt64(ctx, &value, INT64_MIN);
    ASSERT_EQ(ValueToString(ctx, &value), 1);
    EXPECT_EQ(TextOf(value), "-9223372036854775808");

    SetResultFloat(ctx, &value, 2 / 3.0);
    ASSERT_EQ(ValueToString(ctx, &value), 1);
    EXPECT_EQ(TextOf(value), "0.66666667");

    SetResultFloat(ctx, &value, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(ValueToString(ctx, &value), 0);
    EXPECT_EQ(ctx->nErrorCode, 1599);
    ctx->nErrorCode = 0;

    SetResultInt64(ctx, &value, 1LL << 40);
    ASSERT_EQ(ValueToFloat(ctx, &value), 1);
    EXPECT_EQ(value.flags, static_cast<uint32_t>(VF_FLOAT)) << "the shared 64-bit field now holds the double";
    EXPECT_EQ(value.dbl, 1099511627776.0);

    resultants text = Text("2.5e1");
    ASSERT_EQ(ValueToFloat(ctx, &text), 1);
    EXPECT_EQ(text.dbl, 25.0);
    FreeValue(ctx, &text, 0, VK_RECORD);
    text = Text("1e999");
    EXPECT_EQ(ValueToFloat(ctx, &text), 0);
    EXPECT_EQ(ctx->nErrorCode, 0) << "the caller reports a refused float";
    FreeValue(ctx, &text, 0, VK_RECORD);
    FreeValue(ctx, &value, 0, VK_RECORD);
}

TEST_F(ValueConvert, WideTextConvertsThroughTheCodePage)
{
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    ASSERT_TRUE(SetResultWText(ctx, &value, L"  -12"));
    ASSERT_EQ(ValueToInteger(ctx, &value, false, false), 1);
    EXPECT_EQ(value.i32, -12);
    EXPECT_EQ(value.flags, VF_UNICODE | VF_STRING | VF_INT);

    ASSERT_TRUE(SetResultWText(ctx, &value, L"caf\u00e9"));
    ASSERT_EQ(ValueToString(ctx, &value), 1);
    EXPECT_EQ(TextOf(value), "caf\xe9");  // code page 1252
    FreeValue(ctx, &value, 0, VK_RECORD);
    EXPECT_EQ(value.flags, 0u);
}

TEST_F(ValueConvert, ComVariantsConvertToEveryForm)
{
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    value.flags = VF_VARIANT;
    value.var.vt = VT_BSTR;
    value.var.bstrVal = SysAllocString(L" 77");
    ASSERT_EQ(ValueToInteger(ctx, &value, false, false), 1);
    EXPECT_EQ(value.i32, 77);
    EXPECT_EQ(TextOf(value), " 77");
    FreeValue(ctx, &value, 0, VK_RECORD);
    EXPECT_EQ(value.var.vt, VT_EMPTY) << "the record owned its variant";

    InitResultValue(ctx, &value, VK_RECORD, 0);
    value.flags = VF_VARIANT;
    value.var.vt = VT_R8;
    value.var.dblVal = 2.75;
    EXPECT_EQ(ValueToInteger(ctx, &value, false, true), 0) << "a fraction is refused without rounding";
    EXPECT_EQ(ctx->nErrorCode, 0);
    ASSERT_EQ(ValueToInteger(ctx, &value, true, false), 1);
    EXPECT_EQ(value.i32, 3);
    ASSERT_EQ(ValueToFloat(ctx, &value), 1);
    EXPECT_EQ(value.dbl, 2.75);
    ASSERT_EQ(ValueToWide(ctx, &value), 1);
    EXPECT_EQ(std::wstring(ValueWText(ctx, &value)), L"2.75");
    FreeValue(ctx, &value, 0, VK_RECORD);

    InitResultValue(ctx, &value, VK_RECORD, 0);
    value.flags = VF_VARIANT;
    value.var.vt = VT_BSTR;
    value.var.bstrVal = SysAllocString(L"abc");
    EXPECT_EQ(ValueToInteger(ctx, &value, true, true), 0);
    EXPECT_EQ(ValueToFloat(ctx, &value), 0);
    EXPECT_EQ(ctx->nErrorCode, 0);
    FreeValue(ctx, &value, 0, VK_RECORD);
}

TEST_F(ValueConvert, ReleaseFreesEveryOwnedForm)
{
    uint64_t before = FreeBytes();
    resultants value = Text("narrow");
    ASSERT_EQ(ValueToWide(ctx, &value), 1);
    value.flags |= VF_INT;
    ASSERT_LT(FreeBytes(), before);
    EXPECT_EQ(FreeValue(ctx, &value, 0, VK_RECORD), 1);
    EXPECT_EQ(FreeBytes(), before);
    EXPECT_EQ(value.flags, static_cast<uint32_t>(VF_INT)) << "number forms are not owned";
    EXPECT_EQ(value.str, 0u);
    EXPECT_EQ(value.wstr, 0u);
    EXPECT_EQ(FreeValue(ctx, &value, 0, 4), 0) << "unknown slot kind";
    EXPECT_EQ(InitResultValue(ctx, &value, 0, 1), 0);
}

TEST_F(ValueConvert, BorrowedComValueIsKeptOnRelease)
{
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    value.flags = VF_VARIANT;
    value.var.vt = VT_BSTR;
    BSTR text = SysAllocString(L"owned by a variable");
    value.var.bstrVal = text;
    value.originVar = 5;
    FreeValue(ctx, &value, 0, VK_RECORD);
    EXPECT_EQ(value.flags, 0u);
    EXPECT_EQ(SysStringLen(text), 19u) << "still alive";
    SysFreeString(text);
}

TEST_F(ValueConvert, CopyDuplicatesTextsAndSetsTheOrigin)
{
    uint64_t before = FreeBytes();
    resultants source = Text("shared");
    ctx->nScopeCurrent = 0;

    resultants copy;
    ASSERT_EQ(CopyValue(ctx, &source, &copy, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT), 1);
    EXPECT_NE(copy.str, source.str);
    EXPECT_EQ(TextOf(copy), "shared");
    EXPECT_EQ(copy.originVar, ORIGIN_NONE);

    VariableEntry entry{};
    ASSERT_EQ(CopyValue(ctx, &source, &entry, 0, VK_RECORD | VM_TO_ARGUMENT | VM_COPY_TEXT), 1);
    resultants fromVar;
    ASSERT_EQ(CopyValue(ctx, &entry, &fromVar, 3 << 16 | 9,
                        VK_ARGUMENT | VM_TO_RECORD | VM_SCOPE_IN_INDEX), 1);
    EXPECT_EQ(fromVar.originVar, 9);
    EXPECT_EQ(fromVar.originScope, 3);
    EXPECT_EQ(fromVar.str, entry.str) << "without the text bit the text is shared";

    ArrayElement element{};
    resultants fromElement;
    ASSERT_EQ(CopyValue(ctx, &element, &fromElement, 0, VK_ELEMENT | VM_TO_RECORD), 1);
    EXPECT_EQ(fromElement.originVar, ORIGIN_ELEMENT);
    EXPECT_EQ(fromElement.originAddr, reinterpret_cast<uint64_t>(&element));

    FreeValue(ctx, &source, 0, VK_RECORD);
    FreeValue(ctx, &copy, 0, VK_RECORD);
    FreeValue(ctx, &entry, 0, VK_ARGUMENT);
    EXPECT_EQ(FreeBytes(), before);
}

TEST_F(ValueConvert, HeapExhaustionLeavesValuesIntact)
{
    MakeHeap(4096);
    resultants big;
    InitResultValue(ctx, &big, VK_RECORD, 0);
    std::string text(2500, 'x');
    ASSERT_TRUE(SetResultText(ctx, &big, text.c_str()));

    resultants copy;
    InitResultValue(ctx, &copy, VK_RECORD, 11);
    EXPECT_EQ(CopyValue(ctx, &big, &copy, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT), 0);
    EXPECT_EQ(ctx->nErrorCode, 3096);
    EXPECT_EQ(copy.flags, static_cast<uint32_t>(VF_INT));
    EXPECT_EQ(copy.i32, 11);

    ctx->nErrorCode = 0;
    EXPECT_EQ(SetResultText(ctx, &copy, text.c_str()), 0);
    EXPECT_EQ(ctx->nErrorCode, 3096);
    EXPECT_EQ(copy.i32, 11) << "the result keeps its value";

    ctx->nErrorCode = 0;
    EXPECT_EQ(ValueToWide(ctx, &big), 0);
    EXPECT_EQ(ctx->nErrorCode, 3096);
    EXPECT_EQ(big.flags, static_cast<uint32_t>(VF_STRING));
    EXPECT_EQ(TextOf(big), text);
}
