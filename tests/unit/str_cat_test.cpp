// StrCat reads its own argument list from the line: any number of expressions up to the
// 1024 its block holds, separated by commas; anything else after an argument is 2058.
#include "front_fixture.h"

class StrCatLine : public FrontTest {
protected:
    // Evaluates the expression in `text` (any length) as the description of its value.
    std::string EvalLong(const std::string& text)
    {
        long_ = text;
        resultants r;
        InitResultValue(ctx, &r, VK_RECORD, 0);
        ctx->prog = long_.data();
        ctx->nTokenKind = TK_END;
        ctx->nErrorCode = 0;
        if (get_token(ctx) <= 1 && !ctx->nErrorCode) ProcessSubExpression(ctx, &r, 0, 0, nullptr);
        std::string out = Describe(r);
        FreeValue(ctx, &r, 0, VK_RECORD | VM_KEEP_ARRAY);
        return out;
    }

    static std::string Ones(int count)
    {
        std::string list = "StrCat(";
        for (int i = 0; i < count; ++i) list += i ? ",1" : "1";
        return list + ")";
    }

    std::string long_;
};

TEST_F(StrCatLine, JoinsExpressionsOfAnyType)
{
    Exec({"n = 2.5"});
    EXPECT_EQ(Eval("StrCat(\"a\", 1, n, 6 * 7)"), "s:a12.542");
    EXPECT_EQ(Eval("StrCat(\"x\") : \"y\""), "s:xy");
    EXPECT_EQ(Eval("StrCat()"), "s:");
    EXPECT_EQ(Eval("StrLen(StrCat(\"ab\", StrCat(\"c\", 1)))"), "i:4");
}

TEST_F(StrCatLine, RefusesBadSeparatorsAndTooManyArguments)
{
    EXPECT_EQ(Eval("StrCat(\"a\" \"b\")"), "E2058");
    EXPECT_EQ(Eval("StrCat(\"a\"; comment"), "E2058");
    EXPECT_EQ(Eval("StrCat(\"a\", undefinedname)"), "E3052");
    EXPECT_EQ(EvalLong(Ones(1024)), "s:" + std::string(1024, '1'));
    EXPECT_EQ(EvalLong(Ones(1025)), "E2058");
}
