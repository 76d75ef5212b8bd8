// Assignment: plain and compound, element assignment with array creation and growth,
// subscript errors and nesting, variable pointers, and the name-taking built-ins.
#include "front_fixture.h"
#include "engine/data/map.h"

namespace {

using AssignmentTest = FrontTest;

TEST_F(AssignmentTest, PlainAndCompoundAssignment)
{
    Exec({"x = 5", "x += x * 2", "s = \"a\"", "s := \"b\" : 1", "m = 7", "m Mod= 4",
          "b = 3", "b <<= 2", "o = 6", "o |= 1", "d = 7", "d /= 2"});
    EXPECT_EQ(Var("x")->i32, 15);
    EXPECT_EQ(TextOf(*Var("s")), "ab1");
    EXPECT_EQ(Var("m")->i32, 3);
    EXPECT_EQ(Var("b")->i32, 12);
    EXPECT_EQ(Var("o")->i32, 7);
    EXPECT_EQ(Var("d")->i32, 3);
    EXPECT_EQ(Eval("y = x - 5"), "i:10");          // the statement's value is the assigned one
    EXPECT_EQ(Eval("x mod = 4"), "E3061");          // `mod` and a separate `=`
}

TEST_F(AssignmentTest, CompoundOnAVariableWithoutValueNamesIt)
{
    EXPECT_EQ(Eval("fresh += 1"), "E3052");
    EXPECT_NE(ExtendedText().find("fresh"), std::string::npos) << ExtendedText();
    EXPECT_EQ(Var("fresh")->flags, static_cast<uint32_t>(VF_UNINIT));
}

TEST_F(AssignmentTest, TextsAreCopiedAndNothingLeaks)
{
    Exec({"t = \"first\""});
    uint64_t before = FreeBytes();
    Exec({"t = \"second\"", "u = t", "t = \"first\"", "drop(u)"});
    EXPECT_EQ(FreeBytes(), before);
    Exec({"u = t", "t = 1"});
    EXPECT_EQ(TextOf(*Var("u")), "first");
}

TEST_F(AssignmentTest, ExtraTokensAfterAnAssignmentLeaveTheTargetAlone)
{
    Exec({"x = 1"});
    EXPECT_EQ(Eval("x = 2 3"), "E3074");
    EXPECT_EQ(Var("x")->i32, 1);
}

TEST_F(AssignmentTest, ElementAssignmentMakesAndGrowsArrays)
{
    Exec({"x[3] = 1"});
    const ArrayHeader* a = ValueArray(Var("x"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ndims, 1);
    EXPECT_EQ(a->dims[0], 4u);
    EXPECT_EQ(Eval("x[3] + 1"), "i:2");
    EXPECT_EQ(Eval("x[0]"), "E1640");
    Exec({"x[10] = \"ten\""});
    a = ValueArray(Var("x"));
    EXPECT_EQ(a->dims[0], 11u);
    EXPECT_EQ(Eval("x[10] : \"!\""), "s:ten!");
    EXPECT_EQ(Eval("x[2.4] = 5"), "i:5");             // floats are rounded
    EXPECT_EQ(Eval("x[3] + x[2]"), "i:6");

    Exec({"g[1, 2] = 5"});
    a = ValueArray(Var("g"));
    EXPECT_EQ(a->ndims, 2);
    EXPECT_EQ(a->dims[0], 2u);
    EXPECT_EQ(a->dims[1], 3u);
    EXPECT_EQ(Eval("g[1, 2]"), "i:5");
}

TEST_F(AssignmentTest, GrowthBeyondTheSpareSlotsMovesTheArrayForEveryHolder)
{
    Exec({"x[3] = 1", "y = x"});
    const ArrayHeader* before = ValueArray(Var("x"));
    int64_t stamp = before->stamp;
    uint32_t refs = before->refs;
    Exec({"x[400] = 2"});
    const ArrayHeader* a = ValueArray(Var("x"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->dims[0], 401u);
    EXPECT_EQ(ValueArray(Var("y")), a);               // the other holder follows
    EXPECT_EQ(a->stamp, stamp);
    EXPECT_EQ(a->refs, refs);
    EXPECT_TRUE(a->flags & ARRAY_GROWABLE);           // growth keeps spare slots
    EXPECT_EQ(Eval("x[3] + x[400]"), "i:3");
}

TEST_F(AssignmentTest, TextSubscriptOnAFreshVariableMakesAMapOfTheDefaultSize)
{
    ctx->eng.ctl.MapInitialSize = 40;
    Exec({"m[\"Key\"] = 5", "m[\"KEY\"] += 1", "m[2] = \"two\""});
    const ArrayHeader* map = ValueArray(Var("m"));
    ASSERT_NE(map, nullptr);
    ASSERT_TRUE(map->flags & ARRAY_MAP);
    EXPECT_EQ(MapTableOf(map)->bucketCount, 40u);
    EXPECT_EQ(map->count, 2u);
    EXPECT_EQ(Eval("m[\"key\"]"), "i:6");
    EXPECT_EQ(Eval("m[\"2\"]"), "s:two");
    struct { const char* text; const char* expected; } cases[] = {
        {"m[\"none\"]", "E1636"},
        {"m[\"a\", 1]", "E1633"},
        {"m[\"a\", 1] = 0", "E1633"},
        {"f[\"a\", 1] = 0", "E1633"},
        {"f[1, \"a\"] = 0", "E1634"},
        {"m[m] = 0", "E3056"},
    };
    for (auto& c : cases)
        EXPECT_EQ(Eval(c.text), c.expected) << c.text;
    EXPECT_EQ(map->count, 2u);                        // failed stores add no key
    EXPECT_EQ(Var("f")->flags, static_cast<uint32_t>(VF_UNINIT));
}

TEST_F(AssignmentTest, SubscriptErrors)
{
    Exec({"a[4] = 0", "s = \"text\""});
    struct { const char* text; const char* expected; } cases[] = {
        {"a[1, 2] = 0", "E1635"},
        {"a[1, 2]", "E1635"},
        {"a[-1] = 0", "E1636"},
        {"a[9]", "E1636"},
        {"a[\"k\"] = 1", "E1634"},
        {"a[\"k\"]", "E1634"},
        {"a[1 2] = 0", "E1633"},
        {"a", "array"},
        {"a = 1 + a", "E3057"},
    };
    for (auto& c : cases)
        EXPECT_EQ(Eval(c.text), c.expected) << c.text;
    // Subscripts on a text are no assignment: the expression ends before the bracket.
    EXPECT_EQ(Eval("s[1] = 2"), "s:text");
    EXPECT_EQ(ctx->nTokenKind, TK_KEYWORD);
    EXPECT_EQ(ctx->delim_type, KID_LBRACKET);
}

TEST_F(AssignmentTest, NestingStopsAfterEightLevels)
{
    Exec({"n[0][0][0][0][0][0][0][0] = 8"});
    EXPECT_EQ(Eval("n[0][0][0][0][0][0][0][0]"), "i:8");
    EXPECT_EQ(Eval("m[0][0][0][0][0][0][0][0][0] = 9"), "E1633");
    Exec({"n[0][0][0][0][0][0][0][1] = 7"});
    EXPECT_EQ(Eval("n[0][0][0][0][0][0][0][1] * 2"), "i:14");
}

TEST_F(AssignmentTest, ArraysAreSharedByAssignment)
{
    Exec({"a[1] = 1", "b = a", "b[1] = 2"});
    EXPECT_EQ(Eval("a[1]"), "i:2");
    const ArrayHeader* block = ValueArray(Var("a"));
    Exec({"a = a"});
    EXPECT_EQ(ValueArray(Var("a")), block);
    Exec({"drop(b)"});
    EXPECT_EQ(Eval("a[1]"), "i:2");                   // the other holder keeps it alive
}

TEST_F(AssignmentTest, VariablePointers)
{
    Exec({"x = 5", "p = &x"});
    EXPECT_EQ(TextOf(*Var("p")).rfind("#VAR$PTR#", 0), 0u);
    resultants r = Run("p = 9", true, true);          // *p = 9
    EXPECT_EQ(ctx->nErrorCode, 0);
    FreeValue(ctx, &r, 0, VK_RECORD);
    EXPECT_EQ(Var("x")->i32, 9);
    r = Run("p + 1", true, true);                     // *p + 1 as an expression
    EXPECT_EQ(Describe(r), "i:10");
    FreeValue(ctx, &r, 0, VK_RECORD);
    EXPECT_EQ(Eval("*p * 2"), "i:18");
    EXPECT_EQ(Eval("&5"), "E3818");
    EXPECT_EQ(Eval("&(1 + 1)"), "E3818");
    Exec({"arr[2] = 4", "q = &arr"});
    EXPECT_EQ(Eval("*q[2] + 1"), "i:5");
    EXPECT_EQ(Eval("*x"), "E3813");
    r = Run("x = 1", true, true);                     // *x = 1: x holds no pointer
    EXPECT_EQ(Describe(r), "E3813");
    FreeValue(ctx, &r, 0, VK_RECORD);
    EXPECT_STREQ(ctx->pVars[0].name, "");             // the no-create slot stays clean here
}

TEST_F(AssignmentTest, NameTakingBuiltins)
{
    Exec({"x = 1", "a[2] = 3", "pa = &a"});
    struct { const char* text; const char* expected; } cases[] = {
        {"isdefined(x)", "i:1"},
        {"isdefined(never)", "i:0"},
        {"isdefined(5)", "i:-1"},
        {"vartype(x)", "i:1"},
        {"vartype(a)", "i:256"},
        {"vartype(a[2])", "i:1"},
        {"vartype(a[1])", "i:0"},
        {"vartype(a[7])", "i:0"},
        {"vartype(*pa)", "i:256"},
        {"vartype(nothing)", "i:0"},
        {"vartype(strlen(\"ab\"))", "i:-1"},        // no name: evaluated, no variable to ask about
        {"vartype(x + 1)", "i:-1"},
        {"isdefined(strlen(\"ab\"))", "i:-1"},
        {"isdefined(*pa)", "i:1"},
        {"isdefined(*x)", "i:-1"},                    // x holds no pointer: names nothing
        {"drop(*x)", "E3813"},
        {"isdefined(x", "E3066"},
        {"drop(x, 5)", "E3102"},
    };
    for (auto& c : cases)
        EXPECT_EQ(Eval(c.text), c.expected) << c.text;
    EXPECT_EQ(Var("never"), nullptr);                 // asking does not create
    EXPECT_EQ(Eval("drop(a[2], x)"), "i:1");
    EXPECT_EQ(Eval("isdefined(x)"), "i:0");
    EXPECT_EQ(Eval("vartype(a[2])"), "i:0");
    EXPECT_EQ(Eval("?makepointer(newvar)").rfind("s:#VAR$PTR#", 0), 0u);
    EXPECT_EQ(Var("newvar")->i32, -1);
}

TEST_F(AssignmentTest, GlobalPointers)
{
    EXPECT_EQ(Eval("ptrglobaltest(g)"), "i:0");
    Exec({"g = 1"});
    EXPECT_EQ(Eval("ptrglobal(g)"), "E3821");
    EXPECT_NE(ExtendedText().find("Not a global variable"), std::string::npos) << ExtendedText();
    EXPECT_EQ(Eval("ptrglobaldefine(g)").rfind("s:#VAR$PTR#", 0), 0u);
    EXPECT_EQ(Eval("ptrglobaltest(g)"), "i:1");
    EXPECT_EQ(Eval("ptrglobal(g)").rfind("s:#VAR$PTR#", 0), 0u);
    EXPECT_EQ(Eval("ptrpersistent(keep, 5)").rfind("s:#VAR$PTR#", 0), 0u);
    EXPECT_EQ(Eval("ptrpersistent(keep, 6)").rfind("s:#VAR$PTR#", 0), 0u);
    EXPECT_EQ(Var("?00__keep")->i32, 5);              // set once, kept after
    EXPECT_EQ(Eval("ptrpersistent(abcdefghijklmnopqrstuvwxyz, 1)"), "E3821");
}

}  // namespace
