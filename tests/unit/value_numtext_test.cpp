// Number/text conversions: integers in any radix, the integer syntax tests, float texts
// in every decimals mode, text to float, and numconvert with its errors.
#include <cmath>
#include <limits>

#include "engine/core/numtext.h"
#include "value_fixture.h"

using NumText = ValueTest;

TEST(NumTextInt, IntegersToTextInEveryRadix)
{
    struct Case { int64_t value; int radix; bool is64; const char* text; };
    const Case cases[] = {
        {-1, 16, false, "FFFFFFFF"},
        {-1, 10, false, "-1"},
        {INT32_MIN, 10, false, "-2147483648"},
        {INT32_MIN, 16, false, "80000000"},
        {255, 2, false, "11111111"},
        {35, 36, false, "Z"},
        {0, 7, false, "0"},
        {-1, 16, true, "FFFFFFFFFFFFFFFF"},
        {INT64_MIN, 10, true, "-9223372036854775808"},
        {INT64_MAX, 36, true, "1Y2P0IJ32E8E7"},
        {5, 1, false, ""},
        {5, 37, true, ""},
    };
    for (const Case& c : cases) {
        char text[INT_TEXT_SIZE];
        wchar_t wide[INT_TEXT_SIZE];
        if (c.is64) {
            Int64ToTextA(c.value, text, c.radix);
            Int64ToTextW(c.value, wide, c.radix);
        } else {
            LongToTextA(static_cast<int32_t>(c.value), text, c.radix);
            LongToTextW(static_cast<int32_t>(c.value), wide, c.radix);
        }
        EXPECT_STREQ(text, c.text) << c.value << " radix " << c.radix;
        std::wstring expected(c.text, c.text + strlen(c.text));
        EXPECT_EQ(std::wstring(wide), expected);
    }
}

TEST(NumTextInt, TextToIntegerTakesOneSignAndSaturates)
{
    EXPECT_EQ(TextToLongA("  -12abc"), -12);
    EXPECT_EQ(TextToLongA("\t+7"), 7);
    EXPECT_EQ(TextToLongA("--12"), 0);  // one sign, then a digit is needed
    EXPECT_EQ(TextToLongA(""), 0);
    EXPECT_EQ(TextToLongA("99999999999"), INT32_MAX);
    EXPECT_EQ(TextToLongA("-99999999999"), INT32_MIN);
    EXPECT_EQ(TextToLongW(L" -2147483648"), INT32_MIN);
    EXPECT_EQ(TextToInt64A("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(TextToInt64A("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(TextToInt64W(L"4294967296"), 4294967296LL);
}

TEST(NumTextInt, StrictIntegerSyntax)
{
    struct Case { const char* text; bool ok; int64_t value; };
    const Case cases[] = {
        {"  -12", true, -12}, {"+5", true, 5}, {"\t7", true, 7}, {"0", true, 0},
        {"-12 ", false, 0}, {"- 12", false, 0}, {"--12", false, 0}, {"+-1", false, 0},
        {"", false, 0}, {"-", false, 0}, {"12a", false, 0}, {"1.0", false, 0},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},
    };
    for (const Case& c : cases) {
        int64_t value = 0;
        EXPECT_EQ(ParseIntegerTextA(c.text, &value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(NumTextInt, RadixTextAndNumberTextTests)
{
    EXPECT_EQ(RadixTextToLongA("ff", 16), 255);
    EXPECT_EQ(RadixTextToLongA("1FFFFFFFF", 16), 0xFFFFFFFF);  // modulo 2^32
    EXPECT_EQ(RadixTextToLongA("12", 37), -1);
    EXPECT_EQ(RadixTextToLongA("G", 16), -2);
    EXPECT_EQ(RadixTextToLongA("-1", 10), -2);
    EXPECT_EQ(RadixTextToLongW(L"zz", 36), 1295);

    EXPECT_EQ(IntPower(3, 4), 81u);
    EXPECT_EQ(IntPower(7, 0), 1u);
    EXPECT_EQ(IntPower64(2, 63), uint64_t{1} << 63);

    for (const char* yes : {"", "  ", "-", " +42\t", "007"})
        EXPECT_TRUE(IsIntegerTextA(yes)) << '"' << yes << '"';
    for (const char* no : {"1 2", "--1", "1a", "0x1"})
        EXPECT_FALSE(IsIntegerTextA(no)) << '"' << no << '"';
    EXPECT_TRUE(IsIntegerTextW(L" -3 "));
    EXPECT_TRUE(IsHexNumberTextA(" -fF09 "));
    EXPECT_FALSE(IsHexNumberTextA("G"));
    EXPECT_TRUE(IsHexNumberTextW(L"AbC"));
}

TEST_F(NumText, FloatTextInEveryDecimalsMode)
{
    struct Case { int decimals; double value; const char* text; };
    const Case cases[] = {
        {-1, 1.5, "1.5"},
        {-1, 3.0, "3.0"},
        {-1, 2 / 3.0, "0.66666667"},
        {-1, -2 / 3.0, "-0.66666667"},
        {-1, 0.0, "0.0"},
        {-1, 1e10, "1.00000000e+10"},
        {-1, 0.00001, "1.00000000e-05"},
        {-1, 0.0001, "0.0001"},
        {-1, 999999999.0, "999999999.0"},
        {-1, 1000000000.5, "1.00000000e+09"},
        {-1, 123.456, "123.456"},
        {-1, 1e-300, "1.00000000e-300"},
        {0, 2.5, "3"},
        {0, -2.5, "-3"},
        {0, 0.4, "0"},
        {0, 3e9, "3.e+09"},
        {2, 3.14159, "3.14"},
        {2, 2.0, "2.00"},
        {2, 0.0, "0.00"},
        {3, 1e12, "1.000e+12"},
        {4, 0.00001, "0.0000"},
        {-2, 0.5, "0.5"},
        {-2, 3.0, "3"},
        {-2, 1e20, "1e+20"},
        {-2, 123456789.0, "1.23457e+08"},
        {-3, 1.5, "1.500000e+00"},
    };
    for (const Case& c : cases) {
        ctx->nDecimals = c.decimals;
        char text[FLOAT_TEXT_SIZE];
        ASSERT_EQ(FloatToText(ctx, c.value, text, sizeof text), 1) << c.value;
        EXPECT_STREQ(text, c.text) << "decimals " << c.decimals << " value " << c.value;
    }
}

TEST_F(NumText, FloatTextOfNanOrInfinityIs1599)
{
    char text[FLOAT_TEXT_SIZE] = "x";
    EXPECT_EQ(FloatToText(ctx, std::numeric_limits<double>::quiet_NaN(), text, sizeof text), 0);
    EXPECT_EQ(ctx->nErrorCode, 1599);
    EXPECT_STREQ(text, "");
    ctx->nErrorCode = 0;
    EXPECT_EQ(FloatToText(ctx, -HUGE_VAL, text, sizeof text), 0);
    EXPECT_EQ(ctx->nErrorCode, 1599);
}

TEST_F(NumText, FloatTextNeverOverrunsItsBuffer)
{
    ctx->nDecimals = 50;
    char text[16];
    EXPECT_EQ(FloatToText(ctx, 1.0 / 3, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    ctx->nDecimals = 1000;  // beyond the cap: written with the most decimals kept
    char wide[FLOAT_TEXT_SIZE];
    ASSERT_EQ(FloatToText(ctx, 0.5, wide, sizeof wide), 1);
    EXPECT_EQ(strlen(wide), 2u + MAX_FLOAT_DECIMALS);
}

TEST_F(NumText, TextToFloat)
{
    struct Case { const char* text; int ok; double value; uint16_t error; };
    const Case cases[] = {
        {"1.5", 1, 1.5, 0},
        {"  -2.25", 1, -2.25, 0},
        {"+3", 1, 3.0, 0},
        {".5", 1, 0.5, 0},
        {"5.", 1, 5.0, 0},
        {"1e3", 1, 1000.0, 0},
        {"2.5E-2", 1, 0.025, 0},
        {"1e-400", 1, 0.0, 0},
        {"", 0, 0, 0},
        {"1.5d3", 0, 0, 0},
        {"1.5 ", 0, 0, 0},
        {"1.5x", 0, 0, 0},
        {"0x10", 0, 0, 0},
        {"e5", 0, 0, 0},
        {"1e", 0, 0, 0},
        {"--1", 0, 0, 0},
        {"1e400", 0, 0, 1342},
        {"nan", 0, 0, 1342},
        {"-Inf", 0, 0, 1342},
    };
    for (const Case& c : cases) {
        ctx->nErrorCode = 0;
        double value = -99;
        EXPECT_EQ(TextToFloat(ctx, c.text, &value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST_F(NumText, NumconvertTable)
{
    struct Case { const char* text; int from, to; const char* result; uint16_t error; const char* extended; };
    const Case cases[] = {
        {"FF", 16, 10, "255", 0, ""},
        {"ff", 16, 2, "11111111", 0, ""},
        {"-1", 10, 16, "FFFFFFFFFFFFFFFF", 0, ""},
        {"FFFFFFFFFFFFFFFF", 16, 10, "-1", 0, ""},
        {"18446744073709551615", 10, 16, "FFFFFFFFFFFFFFFF", 0, ""},
        {"Z", 36, 10, "35", 0, ""},
        {"10", 37, 10, "", 1828, "37"},
        {"10", 10, 1, "", 1828, "1"},
        {"G", 16, 10, "", 1824, "G"},
        {"-1", 16, 10, "", 1824, "-1"},
        {"18446744073709551616", 10, 16, "", 1824, "18446744073709551616"},
        {"", 10, 16, "", 1824, ""},
    };
    for (const Case& c : cases) {
        ctx->nErrorCode = 0;
        if (ctx->err.hExtended) {
            GlobalFree(ctx->err.hExtended);
            ctx->err.hExtended = nullptr;
        }
        resultants result = Text("old");
        EXPECT_EQ(numconvert(ctx, c.text, c.from, c.to, &result), c.error ? 0 : 1) << c.text;
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.text;
        EXPECT_EQ(result.flags, static_cast<uint32_t>(VF_STRING)) << c.text;
        EXPECT_EQ(TextOf(result), c.result) << c.text;
        EXPECT_EQ(ExtendedText(), c.extended) << c.text;
        FreeValue(ctx, &result, 0, VK_RECORD);
    }
}
