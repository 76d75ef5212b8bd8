// The expression evaluator and the operators: precedence, arithmetic on the three number
// kinds, comparisons and their type rules, and the errors of each.
#include "front_fixture.h"

#include "engine/core/operators.h"

#include <cstring>
#include <string>

namespace {

struct Case {
    const char* text;
    const char* expected;
};

class ExpressionTest : public FrontTest {
protected:
    void Check(const Case* cases, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(Eval(cases[i].text, false), cases[i].expected) << cases[i].text;
    }
};

TEST_F(ExpressionTest, PrecedenceAndAssociativity)
{
    const Case cases[] = {
        {"1 + 2 * 3 ** 2", "i:19"},
        {"(1 + 2) * 3", "i:9"},
        {"2 ** 3 ** 2", "i:64"},      // left to right, ** included
        {"-2 ** 2", "i:4"},           // unary binds tighter than **
        {"5 & 3 == 3", "i:1"},        // & is looser than ==
        {"\"ab\" : 1 + 2", "s:ab3"},  // : is looser than +
        {"1 | 2 ^ 3", "i:0"},         // one level, left to right
        {"3 < 2 < 1", "i:1"},         // (3 < 2) < 1
        {"1 << 2 + 1", "i:8"},
        {"10 - 4 - 3", "i:3"},
        {"!0 + ~0", "i:0"},
    };
    Check(cases, std::size(cases));
}

TEST_F(ExpressionTest, ArithmeticOnIntegersFloatsAnd64Bits)
{
    const Case cases[] = {
        {"7 / 2", "i:3"},
        {"7.0 / 2", "f:3.5"},
        {"-7 mod 3", "i:-1"},
        {"-7.5 mod 2", "f:-1.5"},
        {"2147483647 + 1", "i:-2147483648"},  // 32-bit wrap, no promotion
        {"2147483647", "i:2147483647"},
        {"2147483648", "l:2147483648"},
        {"2147483648 + 1", "l:2147483649"},
        {"1 << 33", "i:2"},                   // shift count AND 31
        {"-8 >> 1", "i:-4"},
        {"2.0 ** -1", "f:0.5"},
        {"2 ** 0", "i:1"},
        {"2147483648 ** 0", "l:1"},
        {"3 ** 40", "i:689956897"},         // wraps like repeated multiplication
        {"\"10\" + 5", "i:15"},
        {"\"  -12\" + 1", "i:-11"},             // leading blanks before the sign are allowed
        {"\"4294967296\" + 0", "l:4294967296"},  // numeric text beyond 32 bits reads as 64 bits
        {"\"1.5\" + 1", "f:2.5"},
        {"\"abc\" : 1", "s:abc1"},
        {"1e-310 * 1", "f:0"},               // below 1e-300 becomes 0.0
        {"(-2147483647 - 1) / -1", "i:-2147483648"},
        {"0 && 1 || 2", "i:1"},
        {"0.0 && 1", "i:0"},
        {"-(2147483648)", "l:-2147483648"},
        {"@pi", "f:3.14159265358979"},
        {"@crlf", "s:\r\n"},
        {"@hidden + @regclasses", "i:2147483647"},
    };
    Check(cases, std::size(cases));
}

TEST_F(ExpressionTest, OperatorErrors)
{
    const Case cases[] = {
        {"1 / 0", "E3062"},
        {"1.0 mod 0", "E3062"},
        {"2147483648 / 0", "E3062"},
        {"1e200 * 1e200", "E1342"},
        {"\"abc\" + 1", "E3057"},
        {"\"-12 \" + 1", "E3057"},              // no trailing blank
        {"\"- 12\" + 1", "E3057"},              // no blank after the sign
        {"\"--12\" + 1", "E3057"},
        {"1.5 & 1", "E3063"},
        {"~1.5", "E3064"},
        {"2 ** -1", "E1351"},                  // integer powers have no negative exponent
        {"2147483648 ** -1", "E1351"},
        {"9223372036854775808", "E3057"},      // beyond 64 bits: refused, never wrapped
        {"(-1) ** 0.5", "E1341"},
        {"(1 + 2", "E3065"},
        {"1 + )", "E3061"},
    };
    Check(cases, std::size(cases));
}

TEST_F(ExpressionTest, Comparisons)
{
    const Case cases[] = {
        {"\"abc\" == \"ABC\"", "i:0"},          // case-sensitive
        {"\"10\" == 10", "i:1"},
        {"\"010\" == \"10\"", "i:1"},
        {"\"a\" < \"B\"", "i:1"},               // locale order, not byte order
        {"\"abc\" < \"abd\"", "i:1"},
        {"0.1 + 0.2 == 0.3", "i:1"},             // equal when they print alike
        {"0.1 + 0.2 > 0.3", "i:1"},              // order is numeric
        {"2147483647 > -1", "i:1"},
        {"\"12345678901\" == 12345678901", "i:1"},
        {"\"12345678901\" < \"9\"", "i:0"},      // long numbers by value
        {"1 <> 2", "i:1"},
        {"1 != 1", "i:0"},
        {"2 >= 2.0", "i:1"},
        {"\"1.5\" == 1.5", "i:1"},
        {"\"x\" == 1", "i:0"},
    };
    Check(cases, std::size(cases));
}

TEST_F(ExpressionTest, CompareNumericTextTrimsAndCompares)
{
    EXPECT_EQ(CompareNumericText(ctx, "  -0", "0"), 0);
    EXPECT_EQ(CompareNumericText(ctx, "0123", "123 "), 0);
    EXPECT_EQ(CompareNumericText(ctx, "-5", "3"), -1);
    EXPECT_EQ(CompareNumericText(ctx, "-50", "-6"), -1);
    EXPECT_EQ(CompareNumericText(ctx, "+99999999999", "100000000000"), -1);
    EXPECT_EQ(CompareNumericText(ctx, "000", "0"), 0);
}

TEST_F(ExpressionTest, ComparingAnArrayIsNotANumber)
{
    Exec({"a[1] = 1"});
    EXPECT_EQ(Eval("a == 1", false), "E3057");
}

TEST_F(ExpressionTest, CallSyntaxErrors)
{
    const Case cases[] = {
        {"strlen(\"a\", \"b\")", "E3066"},
        {"strlen(\"a\"", "E3066"},
        {"strlen \"abc\"", "E3067"},
        {"stricmp(\"a\" \"b\")", "E3068"},
        {"stricmp(\"a\")", "E3068"},
        {"gettickcount(1)", "E3066"},
        {"message(\"only a title\")", "E3068"},   // no one-argument form
    };
    Check(cases, std::size(cases));
}

TEST_F(ExpressionTest, SyntaxErrorsCarryTheirHints)
{
    EXPECT_EQ(Eval("strlen \"abc\"", false), "E3067");
    EXPECT_EQ(ExtendedText().rfind("strlen not followed by open parenthesis", 0), 0u) << ExtendedText();
    ctx->err.hExtended ? (void)GlobalFree(ctx->err.hExtended) : (void)0;
    ctx->err.hExtended = nullptr;
    EXPECT_EQ(Eval("strlen(\"a\", \"b\")", false), "E3066");
    EXPECT_NE(ExtendedText().find("or missing parenthesis"), std::string::npos) << ExtendedText();
}

// A chain of `:` appends into spare room it keeps for the next operands: the result must
// be the pairwise one, and the room must go back to the heap.
TEST_F(ExpressionTest, ConcatenationChainsJoinEveryOperandInOrder)
{
    EXPECT_EQ(Eval("\"a\" : 1 : 2.5 : \"\" : -3 : \"b\"", false), "s:a12.5-3b");
    EXPECT_EQ(Eval("(\"a\" : \"b\") : (\"c\" : \"d\") : 1 + 2", false), "s:abcd3");

    // A text that grows a little per statement outgrows its room again and again.
    Exec({"x = \"\""});
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        std::string n = std::to_string(i);
        ASSERT_EQ(Eval("x = x : \"line \" : " + n + " : @tab : \"\" : \"end\""), "s:" + expected + "line " + n + "\tend");
        expected += "line " + n + "\tend";
    }
    EXPECT_EQ(TextOf(*Var("x")), expected);

    // Nothing of the chains stays on the heap once their results are gone.
    uint64_t before = FreeBytes();
    EXPECT_EQ(Eval("x : \"-\" : x : 12 : x", false).size(), 2 + expected.size() * 3 + 3);
    EXPECT_EQ(FreeBytes(), before);

    // An operand that is no text stops the chain and leaves nothing behind.
    Exec({"a = ArrDimension(2)"});
    EXPECT_EQ(Eval("x : \"-\" : a : \"z\"", false), "E3056");
    EXPECT_EQ(FreeBytes(), before);
}

TEST_F(ExpressionTest, ConcatenationChainTurnsWideAtTheFirstWideOperand)
{
    SetVariableByName(ctx, "w", L"\u00e9\u4e2d", 0, SV_WIDE);
    uint64_t before = FreeBytes();
    resultants r = Run("\"ab\" : 12 : w : \"cd\" : w : 3", false);
    ASSERT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(r.flags, static_cast<uint32_t>(VF_UNICODE));
    EXPECT_EQ(std::wstring(ValueWText(ctx, &r)), L"ab12\u00e9\u4e2dcd\u00e9\u4e2d3");
    FreeValue(ctx, &r, 0, VK_RECORD);
    EXPECT_EQ(FreeBytes(), before);
}

TEST_F(ExpressionTest, ConcatenationWithoutRoomToSpareStillFits)
{
    // Three texts of 20000 bytes fit in this heap, spare room beside two of them does not.
    MakeHeap(65536);
    std::string big(20000, 'a');
    ASSERT_TRUE(SetVariableByName(ctx, "x", big.c_str(), 0, SV_STRING));
    EXPECT_EQ(Eval("x : \"b\" : \"c\"", false), "s:" + big + "bc");
}

TEST_F(ExpressionTest, AssignmentWhereOnlyATestIsAllowed)
{
    Exec({"x = 1"});
    EXPECT_EQ(Eval("x = 1", false), "E3069");
    EXPECT_NE(ExtendedText().find("To compare two values, use == instead"), std::string::npos);
    EXPECT_EQ(Eval("x + 1 = 2", false), "E3069");
    EXPECT_EQ(Eval("x += 1", false), "E3069");
    EXPECT_EQ(Eval("(y = 1)"), "E3069");
    EXPECT_EQ(Var("x")->i32, 1);
}

}  // namespace
