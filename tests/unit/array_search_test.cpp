// Array search and sort: ArrayLocate, ArraySearch (linear and binary) and ArraySort in
// each order, with the sorted order checked against std::sort.
#include "array_fixture.h"

#include <algorithm>
#include <random>

using ArraySearchSort = ArrayTest;

TEST_F(ArraySearchSort, SortOrdersMatchAPlainSort)
{
    std::mt19937 random(7);
    std::vector<int32_t> numbers(200);
    for (int32_t& n : numbers) n = static_cast<int32_t>(random() % 1000) - 500;
    ArrayHeader* a = NewArray("a", {200});
    for (uint32_t i = 0; i < 200; ++i) SetInt(a, i, numbers[i]);

    Call(kid::ArraySort, {Var("a")});
    ASSERT_EQ(ctx->nErrorCode, 0);
    std::sort(numbers.begin(), numbers.end());
    for (uint32_t i = 0; i < 200; ++i) ASSERT_EQ(a->data[i].i32, numbers[i]) << i;
    Call(kid::ArraySort, {Var("a"), Int(16)});
    std::reverse(numbers.begin(), numbers.end());
    for (uint32_t i = 0; i < 200; ++i) ASSERT_EQ(a->data[i].i32, numbers[i]) << i;

    // Ordinal order is code-unit order: upper case before lower case.
    std::vector<std::string> words = {"beta", "Alpha", "alpha", "B", "a", "a10", "a9", "", "zeta", "Zeta"};
    ArrayHeader* w = NewArray("w", {static_cast<uint32_t>(words.size())});
    for (uint32_t i = 0; i < words.size(); ++i) SetText(w, i, words[i].c_str());
    Call(kid::ArraySort, {Var("w"), Int(8)});
    std::sort(words.begin(), words.end());
    for (uint32_t i = 0; i < words.size(); ++i) EXPECT_EQ(Show(w->data[i]), words[i]) << i;

    // Logical order: runs of digits by value, letters without case.
    ArrayHeader* l = NewArray("l", {4});
    Fill(l, {"a10", "a9", "A2", "a1"});
    Call(kid::ArraySort, {Var("l"), Int(4)});
    ASSERT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Elements(l), "a1|A2|a9|a10");
    Call(kid::ArraySort, {Var("l"), Int(4 + 16)});
    EXPECT_EQ(Elements(l), "a10|a9|A2|a1");

    // Only the rows of the range move.
    ArrayHeader* r = NewArray("r", {5});
    for (uint32_t i = 0; i < 5; ++i) SetInt(r, i, static_cast<int32_t>(5 - i));
    Call(kid::ArraySort, {Var("r"), Int(0), Int(-1), Int(1), Int(3)});
    EXPECT_EQ(Elements(r), "5|2|3|4|1");
}

TEST_F(ArraySearchSort, TwoDimensionSortsMoveWholeRows)
{
    ArrayHeader* a = NewArray("a", {30, 3});
    std::mt19937 random(11);
    for (uint32_t row = 0; row < 30; ++row) {
        int32_t key = static_cast<int32_t>(random() % 10);  // repeated keys on purpose
        SetInt(a, row * 3, static_cast<int32_t>(row));
        SetInt(a, row * 3 + 1, key);
        SetText(a, row * 3 + 2, std::to_string(row * 100 + key).c_str());
    }
    Call(kid::ArraySort, {Var("a"), Int(0), Int(1)});
    ASSERT_EQ(ctx->nErrorCode, 0);
    std::vector<bool> seen(30);
    for (uint32_t row = 0; row < 30; ++row) {
        int32_t original = a->data[row * 3].i32, key = a->data[row * 3 + 1].i32;
        EXPECT_EQ(Show(a->data[row * 3 + 2]), std::to_string(original * 100 + key)) << "row " << row << " intact";
        if (row) {
            EXPECT_LE(a->data[(row - 1) * 3 + 1].i32, key) << row;
        }
        seen[original] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 30);
}

TEST_F(ArraySearchSort, SortRefusalsLeaveTheArrayAsItWas)
{
    ArrayHeader* a = NewArray("a", {4});
    SetInt(a, 0, 3);
    SetInt(a, 1, 1);
    SetInt(a, 3, 2);  // element 2 stays uninitialised
    Call(kid::ArraySort, {Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1640);
    EXPECT_EQ(Elements(a), "3|1|<none>|2") << "nothing moved";
    Call(kid::ArraySort, {Var("a"), Int(8)});
    EXPECT_EQ(ctx->nErrorCode, 1640) << "text orders too";
    Call(kid::ArraySort, {Var("a"), Int(0), Int(-1), Int(0), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 0) << "a range without the empty key sorts";
    EXPECT_EQ(Elements(a), "1|3|<none>|2");

    struct Case { std::vector<int32_t> rest; uint16_t error; };
    const Case cases[] = {
        {{2}, 1832}, {{4 + 8}, 1832}, {{32}, 1832}, {{0, 1}, 1830},
        {{0, -1, 2, 1}, 1831}, {{0, -1, 0, 4}, 1831}, {{0, -1, 4}, 1831},
    };
    for (const Case& c : cases) {
        std::vector<resultants> v{Var("a")};
        for (int32_t n : c.rest) v.push_back(Int(n));
        Call(kid::ArraySort, v);
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.rest[0];
    }
    NewArray("d3", {2, 2, 2});
    Call(kid::ArraySort, {Var("d3")});
    EXPECT_EQ(ctx->nErrorCode, 1805);
    Call(kid::ArraySort, {Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 3650) << "the router refuses what is not an array";
}

TEST_F(ArraySearchSort, SearchLinearAndBinary)
{
    ArrayHeader* a = NewArray("a", {4});
    for (uint32_t i = 0; i < 4; ++i) SetInt(a, i, static_cast<int32_t>(2 * i + 1));  // 1 3 5 7
    struct Case { resultants value; std::vector<int32_t> rest; int32_t row; uint16_t error; };
    std::vector<Case> cases = {
        {Int(5), {1}, 2, 0},
        {Int(4), {1}, -1, 0},
        {Int(7), {1}, 3, 0},
        {Int(1), {1}, 0, 0},
        {Str("5"), {}, 2, 0},
        {Int(6), {}, -1, 0},
        {Int(5), {1, -1, 3, 1}, -1, 1835},
        {Int(5), {0, -1, 0, 4}, -1, 1835},
        {Int(5), {8 + 2}, -1, 1836},
        {Int(5), {1 + 4}, -1, 1836},
        {Int(5), {32}, -1, 1836},
        {Int(5), {0, 1}, -1, 1834},
        {Int(5), {1, -1, 2}, 2, 0},
        {Int(3), {1, -1, 2}, -1, 0},
    };
    for (Case& c : cases) {
        std::vector<resultants> v{Var("a"), c.value};
        for (int32_t n : c.rest) v.push_back(Int(n));
        resultants& r = Call(kid::ArraySearch, v);
        EXPECT_EQ(ctx->nErrorCode, c.error) << Show(c.value) << " " << (c.rest.empty() ? 0 : c.rest[0]);
        EXPECT_EQ(r.i32, c.row) << Show(c.value) << " " << (c.rest.empty() ? 0 : c.rest[0]);
    }
    Call(kid::ArraySearch, {Var("a"), Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1632);
    EXPECT_EQ(Call(kid::ArraySearch, {Int(1), Int(1)}).i32, 0) << "not an array: 0";
    EXPECT_EQ(ctx->nErrorCode, 3650);

    // Text keys: case-insensitive linear search, logical and ordinal binary searches.
    ArrayHeader* k = NewArray("k", {5, 2});
    Fill(k, {"a1", "x", "A2", "y", "a9", "z", "a10", "w", "b", "v"});
    EXPECT_EQ(Call(kid::ArraySearch, {Var("k"), Str("A9")}).i32, -1);
    EXPECT_EQ(Call(kid::ArraySearch, {Var("k"), Str("A9"), Int(2)}).i32, 2);
    EXPECT_EQ(Call(kid::ArraySearch, {Var("k"), Str("a10"), Int(4)}).i32, 3);
    EXPECT_EQ(Call(kid::ArraySearch, {Var("k"), Str("a3"), Int(4)}).i32, -1);
    EXPECT_EQ(Call(kid::ArraySearch, {Var("k"), Str("z"), Int(0), Int(1)}).i32, 2);
    ArrayHeader* o = NewArray("o", {4});
    Fill(o, {"B", "a", "b", "c"});
    EXPECT_EQ(Call(kid::ArraySearch, {Var("o"), Str("b"), Int(8)}).i32, 2);
    EXPECT_EQ(Call(kid::ArraySearch, {Var("o"), Str("A"), Int(8)}).i32, -1);

    ArrayHeader* gap = NewArray("gap", {3});
    SetInt(gap, 0, 1);
    SetInt(gap, 2, 3);
    EXPECT_EQ(Call(kid::ArraySearch, {Var("gap"), Int(3)}).i32, 2) << "linear search skips the empty key";
    Call(kid::ArraySearch, {Var("gap"), Int(3), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1640) << "binary search probes it";
}

TEST_F(ArraySearchSort, LocateAnswersSubscripts)
{
    ArrayHeader* a = NewArray("a", {2, 3});
    for (uint32_t i = 0; i < 6; ++i) SetInt(a, i, static_cast<int32_t>(i * 10));
    SetText(a, 2, "txt");
    struct Case { resultants value; std::vector<int32_t> start; const char* answer; uint16_t error; };
    std::vector<Case> cases = {
        {Int(50), {}, "1|2", 0},
        {Str("50"), {}, "1|2", 0},
        {Str("txt"), {}, "0|2", 0},
        {Int(51), {}, "-1|-1", 0},
        {Int(10), {0, 2}, "-1|-1", 0},
        {Int(30), {1, 0}, "1|0", 0},
        {Int(10), {1, 3}, "-1|-1", 0},
        {Int(10), {2, 0}, "", 1636},
        {Int(10), {1, 4}, "", 1636},
        {Int(10), {0, 0, 0}, "", 1805},
    };
    for (Case& c : cases) {
        std::vector<resultants> v{Var("a"), c.value};
        for (int32_t n : c.start) v.push_back(Int(n));
        resultants& r = Call(kid::ArrayLocate, v);
        EXPECT_EQ(ctx->nErrorCode, c.error) << Show(c.value);
        if (!c.error) {
            EXPECT_EQ(Elements(r), c.answer) << Show(c.value);
        }
    }
    Call(kid::ArrayLocate, {Var("a"), Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1632);
    NewArray("e", {0});
    Call(kid::ArrayLocate, {Var("e"), Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 1710);
}
