// The array built-ins that make, inspect and reshape arrays, and the rebuild that keeps
// every holder of an array on the new block.
#include "array_fixture.h"

#include "engine/core/runloop.h"
#include "engine/data/array_rebuild.h"

using ArrayBuiltins = ArrayTest;

TEST_F(ArrayBuiltins, ArrDimensionShapesAndRefusals)
{
    struct Case { std::vector<int32_t> d; uint16_t error; const char* dims; };
    const Case cases[] = {
        {{3, 4}, 0, "3x4"},
        {{0}, 0, "empty"},
        {{0, 5}, 0, "empty"},
        {{2, 1, 1, 1, 2}, 0, "2x1x1x1x2"},
        {{3, 0, 2}, 1630, nullptr},
        {{-1}, 1628, nullptr},
        {{10000, 10000, 10000}, 1644, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<resultants> a;
        for (int32_t n : c.d) a.push_back(Int(n));
        resultants& r = Call(kid::ArrDimension, a);
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.d[0];
        if (c.dims) {
            EXPECT_EQ(Dims(ValueArray(&r)), c.dims);
        } else {
            EXPECT_EQ(r.flags, static_cast<uint32_t>(VF_INT)) << "no array on error";
        }
    }
}

TEST_F(ArrayBuiltins, ArrInfoAnswersEachRequest)
{
    NewArray("a", {3, 4});
    resultants& m = Call(kid::MapCreate, {Str("k,1")});
    Keep("m", m);
    struct Case { const char* var; int32_t request; int32_t answer; uint16_t error; };
    const Case cases[] = {
        {"a", -3, 0, 0}, {"a", -2, 0, 0}, {"a", -1, 1, 0}, {"a", 0, 2, 0}, {"a", 1, 3, 0},
        {"a", 2, 4, 0}, {"a", 3, 0, 0}, {"a", 6, 12, 0}, {"a", 7, 0, 1642}, {"a", -4, 0, 1642},
        {"m", -3, 1, 0}, {"m", 1, 1, 0}, {"m", 6, 1, 0},
        {nullptr, -1, 0, 0}, {nullptr, 0, 0, 1641}, {nullptr, 6, 0, 1641},
    };
    for (const Case& c : cases) {
        resultants& r = Call(kid::ArrInfo, {c.var ? Var(c.var) : Int(5), Int(c.request)});
        EXPECT_EQ(ctx->nErrorCode, c.error) << (c.var ? c.var : "int") << " " << c.request;
        if (!c.error) {
            EXPECT_EQ(r.i32, c.answer) << (c.var ? c.var : "int") << " " << c.request;
        }
    }
    resultants stale = Int(0);
    stale.flags = VF_ARRAY;  // an array value whose block is gone
    Call(kid::ArrInfo, {stale, Int(0)});
    EXPECT_EQ(ctx->nErrorCode, 1637);
}

TEST_F(ArrayBuiltins, ArrInitializeStoresTheValuesKind)
{
    ArrayHeader* a = NewArray("a", {2, 2});
    SetText(a, 3, "old");
    Call(kid::ArrInitialize, {Var("a"), Str("t")});
    EXPECT_EQ(Elements(a), "t|t|t|t");
    resultants both = Int(7);
    ASSERT_TRUE(ValueToString(ctx, &both));  // integer with its text: stored as the integer
    Call(kid::ArrInitialize, {Var("a"), both});
    EXPECT_EQ(Elements(a), "7|7|7|7");
    EXPECT_EQ(a->data[0].flags, static_cast<uint32_t>(VF_INT));
    Call(kid::ArrInitialize, {Var("a"), WStr(L"w")});
    EXPECT_EQ(Elements(a), "<wide:w>|<wide:w>|<wide:w>|<wide:w>");

    Call(kid::ArrInitialize, {Var("a"), Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1671);
    Call(kid::ArrInitialize, {Var("a"), Uninit()});
    EXPECT_EQ(ctx->nErrorCode, 1671);
    NewArray("e", {0});
    Call(kid::ArrInitialize, {Var("e"), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1710);
}

TEST_F(ArrayBuiltins, ArrayRedimKeepsElementsBySubscript)
{
    ArrayHeader* a = NewArray("a", {3, 4});
    for (uint32_t i = 0; i < 12; ++i) SetInt(a, i, static_cast<int32_t>(i));
    int64_t stamp = a->stamp;

    Call(kid::ArrayRedim, {Var("a"), Int(-1), Int(5)});
    ASSERT_EQ(ctx->nErrorCode, 0);
    a = VarArray("a");
    EXPECT_EQ(Dims(a), "3x5");
    EXPECT_EQ(Elements(a), "0|1|2|3|<none>|4|5|6|7|<none>|8|9|10|11|<none>");
    EXPECT_EQ(a->stamp, stamp);

    uint64_t before = FreeBytes();
    SetText(a, 14, "in the third row");
    Call(kid::ArrayRedim, {Var("a"), Int(2), Int(4)});
    a = VarArray("a");
    EXPECT_EQ(Elements(a), "0|1|2|3|4|5|6|7");
    EXPECT_EQ(FreeBytes(), before) << "the third row was released";

    Call(kid::ArrayRedim, {Var("a"), Int(3)});  // fewer dimensions: column 0 stays
    EXPECT_EQ(Elements(VarArray("a")), "0|4|<none>");
    Call(kid::ArrayRedim, {Var("a"), Int(-1), Int(2)});  // more dimensions: column 0 again
    EXPECT_EQ(Elements(VarArray("a")), "0|<none>|4|<none>|<none>|<none>");
    Call(kid::ArrayRedim, {Var("a"), Int(2), Int(0), Int(3)});
    EXPECT_EQ(ctx->nErrorCode, 1630);
    EXPECT_EQ(Dims(VarArray("a")), "3x2") << "a failed rebuild leaves the array";
}

TEST_F(ArrayBuiltins, GrowableArrayGrowsInPlaceUntilItsSpareSlotsRunOut)
{
    resultants made = Int(0);
    ASSERT_EQ(CreateMyArray(ctx, &made, 10, 0, 0, 0, 0, ARRAY_GROWABLE, 1), 1);
    ArrayHeader* a = Keep("g", made);
    ASSERT_EQ(a->capacity, 155u);
    SetInt(a, 9, 9);
    Call(kid::ArrayRedim, {Var("g"), Int(155)});
    EXPECT_EQ(VarArray("g"), a) << "same block";
    EXPECT_EQ(a->count, 155u);
    EXPECT_EQ(Show(a->data[154]), "<none>");

    Call(kid::ArrayRedim, {Var("g"), Int(156)});
    ArrayHeader* moved = VarArray("g");
    EXPECT_NE(moved, a);
    EXPECT_EQ(moved->count, 156u);
    EXPECT_EQ(moved->flags & ARRAY_GROWABLE, ARRAY_GROWABLE) << "still growable";
    EXPECT_EQ(moved->capacity, 156u + 291u);
    EXPECT_EQ(Show(moved->data[9]), "9");

    // The evaluator's growth goes through the same operation.
    resultants holder = Var("g");
    int32_t sizes[5] = {1000};
    ASSERT_EQ(ArrayRedimension(ctx, &holder, sizes, 1, true), 1);
    EXPECT_EQ(ValueArray(&holder), VarArray("g"));
    EXPECT_EQ(VarArray("g")->count, 1000u);
}

// Filling an array one element past its end at a time, by the evaluator's growth or by
// ArrayRedim, must not move the whole block every few hundred elements: the moves stay
// logarithmic in the length, the spare room at most the elements' number, and every
// element keeps its place.
TEST_F(ArrayBuiltins, GrowingOneElementAtATimeMovesTheBlockRarely)
{
    constexpr uint32_t n = 20000;
    struct Case { const char* how; uint32_t flags; bool evaluator; };
    for (const Case& c : {Case{"assignment", ARRAY_GROWABLE, true}, Case{"ArrayRedim", 0, false}}) {
        resultants made = Int(0);
        ASSERT_EQ(CreateMyArray(ctx, &made, 1, 0, 0, 0, 0, c.flags, 1), 1);
        ArrayHeader* a = Keep("g", made);
        SetInt(a, 0, 0);
        int moves = 0;
        for (uint32_t i = 1; i < n; ++i) {
            if (c.evaluator) {
                resultants holder = Var("g");
                int32_t sizes[5] = {static_cast<int32_t>(i + 1)};
                ASSERT_EQ(ArrayRedimension(ctx, &holder, sizes, 1, true), 1);
            } else {
                Call(kid::ArrayRedim, {Var("g"), Int(static_cast<int32_t>(i + 1))});
                ASSERT_EQ(ctx->nErrorCode, 0);
            }
            ArrayHeader* now = VarArray("g");
            if (now != a) ++moves;
            a = now;
            ASSERT_EQ(a->count, i + 1);
            ASSERT_LE(a->capacity, 2 * a->count + 291) << c.how << " at " << i;
            SetInt(a, i, static_cast<int32_t>(i));
        }
        EXPECT_LE(moves, 40) << c.how;
        bool kept = true;
        for (uint32_t i = 0; i < n; ++i) kept = kept && a->data[i].i32 == static_cast<int32_t>(i);
        EXPECT_TRUE(kept) << c.how;
    }

    // A jump to a size of the caller's choosing takes no more room than before.
    ArrayHeader* b = NewArray("b", {10});
    Call(kid::ArrayRedim, {Var("b"), Int(1000)});
    EXPECT_EQ(VarArray("b")->capacity, 1000u);
    (void)b;
}

TEST_F(ArrayBuiltins, EveryHolderSeesTheRebuiltBlock)
{
    ArrayHeader* a = NewArray("a", {2});
    SetText(a, 0, "zero");
    // b = a: a second variable holds the block.
    resultants copy = Var("a");
    ASSERT_EQ(SetVariableFromValue(ctx, "b", &copy), 1);
    // An element of another array, a variable of another scope and an argument of a
    // running user-defined function hold it too.
    ArrayHeader* outer = NewArray("outer", {1});
    ASSERT_EQ(CopyValue(ctx, &copy, &outer->data[0], 0, VK_RECORD | VM_TO_ELEMENT | VM_ADD_ARRAY_REF), 1);
    AddScope(5, 77, 1234);
    ScopeSave save;
    ASSERT_EQ(SwitchVarScope(ctx, 5, &save), 1);
    ASSERT_EQ(SetVariableFromValue(ctx, "far", &copy), 1);
    ASSERT_EQ(RestoreVarScope(ctx, &save), 1);
    static UdfRecord udf{};
    resultants udfArgs[2] = {Int(0), copy};
    udf.paramCount = 1;
    udf.args = udfArgs;
    ctx->pUdfRecords[3] = &udf;
    // The block holds a reference to itself.
    ASSERT_EQ(CopyValue(ctx, &copy, &a->data[1], 0, VK_RECORD | VM_TO_ELEMENT | VM_ADD_ARRAY_REF), 1);
    uint32_t refs = a->refs;
    int64_t stamp = a->stamp;

    Call(kid::ArrayInsert, {Var("a"), Int(0), Int(1), Str("new")});
    ASSERT_EQ(ctx->nErrorCode, 0);
    ArrayHeader* fresh = VarArray("a");
    ASSERT_NE(fresh, a);
    EXPECT_EQ(VarArray("b"), fresh);
    EXPECT_EQ(ValueArray(&args[1]), fresh) << "the argument";
    EXPECT_EQ(ValueArray(&outer->data[0]), fresh);
    EXPECT_EQ(ValueArray(&udfArgs[1]), fresh);
    EXPECT_EQ(ValueArray(&fresh->data[2]), fresh) << "the self-reference";
    EXPECT_EQ(fresh->refs, refs) << "the holder count moved";
    EXPECT_EQ(fresh->stamp, stamp);
    ASSERT_EQ(SwitchVarScope(ctx, 5, &save), 1);
    EXPECT_EQ(VarArray("far"), fresh);
    FreeValue(ctx, &ctx->pVars[find_var(ctx, "far", 0)], 0, VK_ARGUMENT);
    ASSERT_EQ(RestoreVarScope(ctx, &save), 1);
    EXPECT_EQ(fresh->refs, refs - 1);
    EXPECT_EQ(Elements(fresh), "new|zero|<array>");
    ctx->pUdfRecords[3] = nullptr;
}

TEST_F(ArrayBuiltins, InsertAndRemoveRowsColumnsAndElements)
{
    ArrayHeader* a = NewArray("a", {3});
    Fill(a, {"a", "b", "c"});
    Call(kid::ArrayInsert, {Var("a"), Int(3)});
    EXPECT_EQ(Elements(VarArray("a")), "a|b|c|<none>") << "at the size: appends";
    Call(kid::ArrayInsert, {Var("a"), Int(5)});
    EXPECT_EQ(ctx->nErrorCode, 1636);
    Call(kid::ArrayRemove, {Var("a"), Int(1)});
    EXPECT_EQ(Elements(VarArray("a")), "a|c|<none>");
    Call(kid::ArrayRemove, {Var("a"), Int(3)});
    EXPECT_EQ(ctx->nErrorCode, 1636);
    Call(kid::ArrayInsert, {Var("a"), Int(0), Int(2)});
    EXPECT_EQ(ctx->nErrorCode, 1833) << "one dimension: row-column must be 1";
    Call(kid::ArrayInsert, {Var("a"), Int(0), Int(1), Var("a")});
    EXPECT_EQ(ValueArray(&args[4]), VarArray("a")) << "an argument holding the array follows it";
    EXPECT_EQ(ValueArray(&VarArray("a")->data[0]), VarArray("a"));
    Call(kid::ArrayRemove, {Var("a"), Int(0)});
    EXPECT_EQ(Elements(VarArray("a")), "a|c|<none>");

    ArrayHeader* t = NewArray("t", {2, 2});
    Fill(t, {"11", "12", "21", "22"});
    Call(kid::ArrayInsert, {Var("t"), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1833) << "two dimensions need row-column";
    Call(kid::ArrayInsert, {Var("t"), Int(1), Int(1), Int(0)});
    EXPECT_EQ(Dims(VarArray("t")), "3x2");
    EXPECT_EQ(Elements(VarArray("t")), "11|12|0|0|21|22");
    Call(kid::ArrayInsert, {Var("t"), Int(2), Int(2), Str("x")});
    EXPECT_EQ(Elements(VarArray("t")), "11|12|x|0|0|x|21|22|x");
    Call(kid::ArrayRemove, {Var("t"), Int(0), Int(2)});
    EXPECT_EQ(Elements(VarArray("t")), "12|x|0|x|22|x");
    Call(kid::ArrayInsert, {Var("t"), Int(0), Int(1), Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1671) << "an array value only in one dimension";
    Call(kid::ArrayRemove, {Var("t"), Int(0), Int(3)});
    EXPECT_EQ(ctx->nErrorCode, 1833);

    NewArray("d3", {2, 2, 2});
    Call(kid::ArrayInsert, {Var("d3"), Int(0), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1805);
    NewArray("e", {0});
    Call(kid::ArrayRemove, {Var("e"), Int(0)});
    EXPECT_EQ(ctx->nErrorCode, 1710);

    ReleaseArgs();
    uint64_t before = FreeBytes();
    ArrayHeader* one = NewArray("one", {1});
    SetText(one, 0, "only");
    Call(kid::ArrayRemove, {Var("one"), Int(0)});
    EXPECT_EQ(Dims(VarArray("one")), "empty");
    EXPECT_EQ(FreeBytes(), before) << "the removed element's text was released";
}

TEST_F(ArrayBuiltins, ArraySliceCopiesAndDropsSingleDimensions)
{
    ArrayHeader* a = NewArray("a", {3, 4});
    for (uint32_t i = 0; i < 12; ++i) SetInt(a, i, static_cast<int32_t>(10 * (i / 4) + i % 4));
    SetText(a, 5, "text");

    resultants& row = Call(kid::ArraySlice, {Var("a"), Int(2), Int(2), Int(0), Int(3)});
    EXPECT_EQ(Dims(ValueArray(&row)), "4");
    EXPECT_EQ(Elements(row), "20|21|22|23");
    resultants& block = Call(kid::ArraySlice, {Var("a"), Int(1), Int(-1), Int(1), Int(2)});
    EXPECT_EQ(Dims(ValueArray(&block)), "2x2");
    EXPECT_EQ(Elements(block), "text|12|21|22");
    EXPECT_NE(ValueArray(&block)->data[0].str, a->data[5].str) << "texts are copied";
    resultants& cell = Call(kid::ArraySlice, {Var("a"), Int(0), Int(0), Int(3), Int(3)});
    EXPECT_EQ(Dims(ValueArray(&cell)), "1");

    Call(kid::ArraySlice, {Var("a"), Int(0), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1628) << "one pair for two dimensions";
    Call(kid::ArraySlice, {Var("a"), Int(0), Int(3), Int(0), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1636);
    Call(kid::ArraySlice, {Var("a"), Int(2), Int(1), Int(0), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1628) << "to before from";
}

TEST_F(ArrayBuiltins, ArrayReverseEachDimension)
{
    ArrayHeader* a = NewArray("a", {2, 2, 2});
    for (uint32_t i = 0; i < 8; ++i) SetInt(a, i, static_cast<int32_t>(i));
    struct Case { int32_t dim; const char* after; };
    const Case cases[] = {
        {1, "4|5|6|7|0|1|2|3"},
        {2, "2|3|0|1|6|7|4|5"},
        {3, "1|0|3|2|5|4|7|6"},
        {0, "7|6|5|4|3|2|1|0"},
    };
    for (const Case& c : cases) {
        for (uint32_t i = 0; i < 8; ++i) SetInt(a, i, static_cast<int32_t>(i));
        Call(kid::ArrayReverse, {Var("a"), Int(c.dim)});
        EXPECT_EQ(Elements(a), c.after) << c.dim;
    }
    ArrayHeader* s = NewArray("s", {2, 2});
    for (uint32_t i = 0; i < 4; ++i) SetInt(s, i, static_cast<int32_t>(i + 1));
    Call(kid::ArrayReverse, {Var("s")});
    EXPECT_EQ(Elements(s), "4|3|2|1");
    Call(kid::ArrayReverse, {Var("s"), Int(3)});
    EXPECT_EQ(ctx->nErrorCode, 1853);
    Call(kid::ArrayReverse, {Var("s"), Int(-1)});
    EXPECT_EQ(ctx->nErrorCode, 1853);
}

TEST_F(ArrayBuiltins, ArraySwapElementsChecksEverySubscript)
{
    ArrayHeader* a = NewArray("a", {3, 3});
    for (uint32_t i = 0; i < 9; ++i) SetInt(a, i, static_cast<int32_t>(i));
    auto swap = [&](std::vector<int32_t> s) {
        std::vector<resultants> v{Var("a")};
        for (int32_t n : s) v.push_back(Int(n));
        Call(kid::ArraySwapElements, v);
    };
    swap({0, 1, 0, 0, 0, 2, 2, 0, 0, 0});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Elements(a), "0|8|2|3|4|5|6|7|1");
    // (0, 5) addresses element 5 by its linear index, but 5 is no column of this array.
    swap({0, 5, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(ctx->nErrorCode, 1636);
    swap({0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(ctx->nErrorCode, 1636) << "a subscript for a dimension the array lacks";
    EXPECT_EQ(Elements(a), "0|8|2|3|4|5|6|7|1");
}

TEST_F(ArrayBuiltins, ThreeHundredVariablesAndElementsHoldOneArray)
{
    uint64_t before = FreeBytes();
    ArrayHeader* a = NewArray("h0", {2});
    SetText(a, 1, "survivor");
    ArrayHeader* box = NewArray("box", {250});
    resultants copy = Var("h0");
    for (int i = 1; i < 50; ++i) {
        std::string name = std::string("h").append(std::to_string(i));
        ASSERT_EQ(SetVariableFromValue(ctx, name.c_str(), &copy), 1);
    }
    for (uint32_t i = 0; i < 250; ++i)
        ASSERT_EQ(CopyValue(ctx, &copy, &box->data[i], 0, VK_RECORD | VM_TO_ELEMENT | VM_ADD_ARRAY_REF), 1);
    EXPECT_EQ(a->refs, 301u);

    Call(kid::ArrayRedim, {Var("h0"), Int(3)});  // every holder follows the new block
    ArrayHeader* fresh = VarArray("h0");
    ReleaseArgs();
    EXPECT_EQ(fresh->refs, 301u);
    EXPECT_EQ(ValueArray(&box->data[249]), fresh);
    EXPECT_EQ(VarArray("h49"), fresh);

    for (int i = 0; i < 50; ++i) {
        std::string name = std::string("h").append(std::to_string(i));
        FreeValue(ctx, &ctx->pVars[find_var(ctx, name.c_str(), 0)], 0, VK_ARGUMENT);
    }
    for (uint32_t i = 0; i + 1 < 250; ++i) FreeValue(ctx, &box->data[i], 0, VK_ELEMENT);
    EXPECT_EQ(fresh->refs, 2u);
    EXPECT_EQ(Show(fresh->data[1]), "survivor");
    FreeValue(ctx, &ctx->pVars[find_var(ctx, "box", 0)], 0, VK_ARGUMENT);  // the last holder
    EXPECT_EQ(FreeBytes(), before) << "everything went with the last holder";
}

TEST_F(ArrayBuiltins, ArgumentVariableHoldingAComValueIsMadeTheArraysHolder)
{
    // A variable that held a COM array value reached the built-in as an engine array.
    int index = 0;
    {
        resultants v = Int(0);
        ASSERT_EQ(SetVariableFromValue(ctx, "v", &v), 1);
        index = find_var(ctx, "v", 0);
        ctx->pVars[index].flags = VF_VARIANT;
        ctx->pVars[index].var.vt = VT_I4;
    }
    resultants converted = Int(0);
    ASSERT_EQ(CreateMyArray(ctx, &converted, 3, 0, 0, 0, 0, 0, 1), 1);
    converted.originVar = static_cast<uint16_t>(index);
    converted.originScope = 0;
    Call(kid::ArrayReverse, {converted});
    ASSERT_EQ(ctx->nErrorCode, 0);
    ArrayHeader* a = VarArray("v");
    ASSERT_EQ(a, ValueArray(&converted));
    EXPECT_EQ(ctx->pVars[index].flags, static_cast<uint32_t>(VF_ARRAY));
    EXPECT_EQ(a->refs, 2u) << "the variable holds it alone";
}

TEST_F(ArrayBuiltins, ElementTextForDisplayAndSubscriptLookAhead)
{
    ArrayHeader* a = NewArray("a", {2, 3});
    SetText(a, 5, "five");
    SetInt(a, 1, -7);
    const VariableEntry* table = ctx->pVars;
    uint32_t index = static_cast<uint32_t>(find_var(ctx, "a", 0));
    struct Case { const char* text; int answer; const char* shown; };
    const Case cases[] = {
        {"1,2", 1, "five"}, {" 0 ,\t1 ", 1, "-7"}, {"0,0", 1, ""}, {"2,0", 0, ""}, {"1", 0, ""},
        {"1,2,0", 0, ""}, {"1,x", 0, ""}, {"-1,0", 0, ""}, {"+1,0", 0, ""}, {"1,2 x", 0, ""},
        {"0,000000000000000000001", 0, ""}, {"0,00000000000000000001", 1, "-7"},
    };
    for (const Case& c : cases) {
        char buffer[8] = "junk";
        EXPECT_EQ(ArrayElementFromText(ctx, table, index, c.text, buffer, sizeof buffer), c.answer) << c.text;
        EXPECT_STREQ(buffer, c.shown) << c.text;
    }
    char small[3];
    EXPECT_EQ(ArrayElementFromText(ctx, table, index, "1,2", small, sizeof small), 1);
    EXPECT_STREQ(small, "fi") << "cut to the buffer";

    EXPECT_EQ(SubscriptLookAhead(" [1].x"), 1);
    EXPECT_EQ(SubscriptLookAhead("[1][\"]\"].x"), 1);
    EXPECT_EQ(SubscriptLookAhead("[1] .x"), 0);
    EXPECT_EQ(SubscriptLookAhead("[a[1]].y"), 1);
    EXPECT_EQ(SubscriptLookAhead("[1"), 0);
    EXPECT_EQ(SubscriptLookAhead("x[1]."), 0);
}

TEST_F(ArrayBuiltins, ArrInfoAnswersForAComArray)
{
    resultants v = Int(0);
    v.flags = VF_VARIANT;
    v.var.vt = VT_ARRAY | VT_I4;
    SAFEARRAYBOUND bounds[2] = {{4, 0}, {3, 1}};
    v.var.parray = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(v.var.parray, nullptr);
    v.originVar = ORIGIN_ELEMENT;  // the arguments only borrow the COM value
    // The SAFEARRAY's first dimension is the script's last.
    struct Case { int32_t request; int32_t answer; };
    for (const Case& c : {Case{-1, 1}, Case{0, 2}, Case{1, 3}, Case{2, 4}, Case{3, 0}, Case{6, 12}}) {
        EXPECT_EQ(Call(kid::ArrInfo, {v, Int(c.request)}).i32, c.answer) << c.request;
        EXPECT_EQ(ctx->nErrorCode, 0);
    }
    ReleaseArgs();
    SafeArrayDestroy(v.var.parray);
}
