// Sort keys against the system's comparisons they stand for, on a table of awkward texts
// (accents, case pairs, digits, punctuation that word sort weighs apart, control bytes,
// empty texts); and the sorts that use them against the same sorts made with the system's
// comparison at every step, equal keys included. The same for the keys of the logical order
// against the system's StrCmpLogicalW, with runs of digits of every length among the texts.
#include "array_fixture.h"

#include <algorithm>
#include <functional>
#include <random>

#include "engine/core/operators.h"
#include "engine/data/item_list.h"
#include "engine/data/logical_keys.h"
#include "engine/data/sort_keys.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Random texts made of pieces that collations treat apart: a letter in both cases, with
// and without accents (code page 1252), ligatures, digits, the hyphen and apostrophe that
// word sort weighs last, blanks, symbols, and a few bytes that weigh nothing.
std::vector<std::string> AwkwardTexts(size_t count, unsigned seed)
{
    static const char* const pieces[] = {
        "a", "A", "b", "B", "z", "Z", "0", "1", "9", "10", "-", "'", " ", "_", ".", ",", "!", "~",
        "\xe9", "\xc9", "\xe0", "\xfc", "\xdc", "\xdf", "ss", "SS", "\xe6", "ae", "\x8a", "\x9a", "\x9f",
        "\xff", "\x96", "\x97", "\x80", "\xa0", "\t", "\x01", "\x7f", "co", "op", "Co-op", "coop", "$",
        "@", "[", "^", "`", "{", "|", "}", "\xd1", "\xf1", "\xbd", "\xb2", "2", "\xaa", "a\xb4"};
    std::mt19937 random(seed);
    std::vector<std::string> texts = {"", "a", "A", "\xe9", "\xc9", "e", "E"};
    while (texts.size() < count) {
        std::string s;
        for (size_t n = random() % 6; n > 0; --n) s += pieces[random() % (sizeof pieces / sizeof *pieces)];
        texts.push_back(s);
    }
    return texts;
}

std::wstring Widen(const std::string& s)
{
    std::wstring w(s.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()));
    w.resize(static_cast<size_t>(n));
    return w;
}

}  // namespace

TEST(SortKeys, OrderEveryPairAsTheSystemComparisonDoes)
{
    std::vector<std::string> texts = AwkwardTexts(500, 3);
    for (bool noCase : {false, true}) {
        SortKeys narrow{}, wide{};
        for (const std::string& t : texts) {
            ASSERT_TRUE(SortKeysAddNarrow(&narrow, t.c_str(), t.size(), noCase));
            std::wstring w = Widen(t);
            ASSERT_TRUE(SortKeysAddWide(&wide, w.c_str(), w.size(), noCase));
        }
        int mismatches = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            std::wstring wi = Widen(texts[i]);
            for (size_t j = 0; j < texts.size(); ++j) {
                const char *a = texts[i].c_str(), *b = texts[j].c_str();
                int system = Sign(noCase ? lstrcmpiA(a, b) : lstrcmpA(a, b));
                std::wstring wj = Widen(texts[j]);
                int systemWide = CompareStringW(GetThreadLocale(), noCase ? NORM_IGNORECASE : 0, wi.c_str(),
                                                -1, wj.c_str(), -1) - CSTR_EQUAL;
                if (SortKeysCompare(&narrow, i, j) != system || SortKeysCompare(&wide, i, j) != Sign(systemWide)) {
                    if (++mismatches <= 5)
                        ADD_FAILURE() << "'" << texts[i] << "' against '" << texts[j] << "' noCase " << noCase;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
        SortKeysFree(&narrow);
        SortKeysFree(&wide);
    }
}

namespace {

// The heap sort of rows as ArraySort is specified, every comparison made by the language's
// comparison operator: the model the engine's sort must match row for row.
class SortModel : public ArrayTest {
protected:
    bool Beats(const ArrayElement& x, const ArrayElement& y, uint16_t op)
    {
        resultants left{}, right{};
        CopyValue(ctx, &x, &left, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT);
        CopyValue(ctx, &y, &right, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT);
        CompareValues(ctx, op, &left, &right, 0, 0);
        bool truth = (left.flags & VF_INT) && left.i32;
        FreeValue(ctx, &left, 0, VK_RECORD);
        FreeValue(ctx, &right, 0, VK_RECORD);
        return truth;
    }

    // The row numbers (column 0) in the order the model leaves the rows, keys in column 1.
    std::vector<int> ModelOrder(const ArrayHeader* a, uint16_t op)
    {
        auto key = [&](uint32_t row) -> const ArrayElement& { return a->data[row * 2 + 1]; };
        return ModelOrder(a, [&](uint32_t x, uint32_t y) { return Beats(key(x), key(y), op); });
    }

    // The same with `beats(x, y)` telling whether row x beats row y.
    std::vector<int> ModelOrder(const ArrayHeader* a, const std::function<bool(uint32_t, uint32_t)>& beats)
    {
        uint32_t n = a->dims[0];
        std::vector<uint32_t> rows(n);
        for (uint32_t i = 0; i < n; ++i) rows[i] = i;
        auto sift = [&](uint32_t i, uint32_t size, uint32_t held) {
            uint32_t child = 2 * i + 1;
            while (child < size) {
                if (child + 1 < size && beats(rows[child + 1], rows[child])) ++child;
                if (!beats(rows[child], held)) break;
                rows[i] = rows[child];
                i = child;
                child = 2 * i + 1;
            }
            rows[i] = held;
        };
        for (uint32_t i = n / 2; i-- > 0;) sift(i, n, rows[i]);
        for (uint32_t m = n - 1; m >= 1; --m) {
            uint32_t held = rows[m];
            rows[m] = rows[0];
            sift(0, m, held);
        }
        std::vector<int> order;
        for (uint32_t r : rows) order.push_back(a->data[r * 2].i32);
        return order;
    }

    std::vector<int> RowsNow(const ArrayHeader* a)
    {
        std::vector<int> order;
        for (uint32_t r = 0; r < a->dims[0]; ++r) order.push_back(a->data[r * 2].i32);
        return order;
    }
};

}  // namespace

TEST_F(SortModel, ArraySortMovesRowsAsTheComparisonOperatorWould)
{
    // Texts with many equal and case-equal keys, then the same with numbers, number texts,
    // floats and empty texts among them (pairs the keys cannot tell go to the operator),
    // then wide texts (as the Unicode built-ins make them) with wide number texts and
    // narrow texts among them.
    std::vector<std::string> texts = AwkwardTexts(1500, 5);
    auto setWide = [&](ArrayHeader* a, uint32_t i, const std::string& text) {
        FreeValue(ctx, &a->data[i], 0, VK_ELEMENT);
        std::wstring w = Widen(text);
        a->data[i].flags = VF_UNICODE;
        a->data[i].wstr = HeapCopyWText(ctx, w.c_str(), w.size());
    };
    for (int mixed = 0; mixed < 3; ++mixed) {
        uint32_t n = 3000;
        ArrayHeader* a = NewArray("a", {n, 2});
        std::mt19937 random(9 + mixed);
        for (uint32_t r = 0; r < n; ++r) {
            SetInt(a, r * 2, static_cast<int32_t>(r));
            uint32_t pick = random() % 10;
            if (mixed && pick == 0) SetInt(a, r * 2 + 1, static_cast<int32_t>(random() % 50) - 25);
            else if (mixed == 2 && pick == 1) setWide(a, r * 2 + 1, std::to_string(random() % 50));
            else if (mixed && pick == 1) SetText(a, r * 2 + 1, std::to_string(random() % 50).c_str());
            else if (mixed && pick == 2) {
                FreeValue(ctx, &a->data[r * 2 + 1], 0, VK_ELEMENT);
                a->data[r * 2 + 1].flags = VF_FLOAT;
                a->data[r * 2 + 1].dbl = (random() % 100) / 4.0;
            } else if (mixed && pick == 3) SetText(a, r * 2 + 1, "1234567890123");
            else if (mixed == 2 && pick < 9) setWide(a, r * 2 + 1, texts[random() % texts.size()]);
            else SetText(a, r * 2 + 1, texts[random() % texts.size()].c_str());
        }
        for (int descending : {0, 16}) {
            std::vector<int> model = ModelOrder(a, descending ? KID_LT : KID_GT);
            Call(kid::ArraySort, {Var("a"), Int(descending), Int(1)});
            ASSERT_EQ(ctx->nErrorCode, 0);
            EXPECT_EQ(RowsNow(a), model) << "mixed " << mixed << " descending " << descending;
        }
    }
}

TEST_F(SortModel, ItemSortsKeepTheComparisonOrderAndEqualItemsInPlace)
{
    std::vector<std::string> texts = AwkwardTexts(2000, 11);
    std::string list;
    std::vector<std::string> items;
    for (const std::string& t : texts) {
        if (t.find(',') != std::string::npos || t.empty()) continue;
        items.push_back(t);
        list.append(list.empty() ? "" : ",").append(t);
    }
    for (bool caseSensitive : {true, false}) {
        std::vector<std::string> model = items;
        std::stable_sort(model.begin(), model.end(), [&](const std::string& a, const std::string& b) {
            int c = lstrcmpiA(a.c_str(), b.c_str());
            if (caseSensitive) c = lstrcmpA(a.c_str(), b.c_str());
            else if (c == 0) c = lstrcmpA(a.c_str(), b.c_str());
            return c < 0;
        });
        std::string expected;
        for (const std::string& t : model) expected.append(expected.empty() ? "" : ",").append(t);
        resultants narrow = Int(0);
        DoItemSortA(ctx, list.c_str(), ",", caseSensitive, &narrow);
        EXPECT_EQ(std::string(ValueText(ctx, &narrow)), expected) << "narrow, case " << caseSensitive;
        resultants wide = Int(0);
        DoItemSortW(ctx, Widen(list).c_str(), L",", caseSensitive, &wide);
        EXPECT_TRUE(ValueWText(ctx, &wide) == Widen(expected)) << "wide, case " << caseSensitive;
        FreeValue(ctx, &narrow, 0, VK_RECORD);
        FreeValue(ctx, &wide, 0, VK_RECORD);
    }
}

// ---------------------------------------------------------------- logical order

namespace {

PfnStrCmpLogicalW SystemLogical()
{
    static auto logical = reinterpret_cast<PfnStrCmpLogicalW>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("SHLWAPI.DLL"), "StrCmpLogicalW")));
    return logical;
}

// Wide texts of pieces that the logical order treats apart: runs of digits of every length
// up to 24 (the longer ones wrap as the system reads them) and with leading zeros, signs,
// blanks and punctuation, case pairs, accents precomposed and combining, letters that some
// locales order otherwise (a and o with umlaut, dotted and dotless i), ligatures, digits of
// other scripts and superscripts, characters that weigh nothing, a surrogate pair and a
// lone surrogate.
std::vector<std::wstring> LogicalTexts(size_t count, unsigned seed)
{
    static const wchar_t* const pieces[] = {
        L"a", L"A", L"b", L"B", L"z", L"Z", L"e", L"E", L"\u00e9", L"\u00c9", L"\u00e8", L"\u0301", L"\u00e4",
        L"\u00c4", L"o", L"\u00f6", L"i", L"I", L"\u0131", L"\u0130", L"ss", L"\u00df", L"ae", L"\u00e6", L"-",
        L"+", L"'", L" ", L"_", L".", L",", L"~", L"!", L"\t", L"\x01", L"\u00ad", L"\u200b", L"\u00b2",
        L"\uff11", L"\u0663", L"\u4e00", L"\xd83d\xde00", L"\xd800", L"0", L"00", L"007"};
    std::mt19937 random(seed);
    auto digits = [&](size_t length) {
        std::wstring run;
        while (run.size() < length) run += static_cast<wchar_t>(L'0' + random() % 10);
        return run;
    };
    std::vector<std::wstring> texts = {L"", L"0", L"00", L"1", L"01", L"a", L"A", L"2147483647", L"2147483648",
                                       L"-2147483648", L"4294967295", L"4294967296", L"4294967297",
                                       L"18446744073709551617", L"a1", L"a01", L"A001"};
    for (size_t length = 1; length <= 24; ++length) {
        texts.push_back(digits(length));
        texts.push_back(L"x" + digits(length) + L"y");
    }
    while (texts.size() < count) {
        std::wstring s;
        for (size_t n = random() % 6; n > 0; --n) {
            if (random() % 3 == 0) s += digits(1 + random() % (random() % 4 == 0 ? 24 : 3));
            else s += pieces[random() % (sizeof pieces / sizeof *pieces)];
        }
        texts.push_back(s);
    }
    return texts;
}

}  // namespace

TEST(LogicalKeys, OrderEveryPairAsTheSystemDoes)
{
    PfnStrCmpLogicalW logical = SystemLogical();
    ASSERT_TRUE(logical);
    std::vector<std::wstring> texts = LogicalTexts(600, 21);
    LCID before = GetThreadLocale();
    // Characters rank by the thread locale: Swedish puts a with umlaut after z, Turkish
    // weighs the dotted and the dotless i apart.
    for (LCID locale : {before, LCID{0x041D}, LCID{0x041F}}) {
        ASSERT_TRUE(SetThreadLocale(locale));
        LogicalRanks ranks;
        SortKeys keys{};
        ASSERT_TRUE(LogicalRanksBegin(&ranks));
        for (const std::wstring& t : texts) LogicalRanksNote(&ranks, t.c_str(), t.size());
        ASSERT_TRUE(LogicalRanksMake(&ranks));
        for (const std::wstring& t : texts) ASSERT_TRUE(SortKeysAddLogical(&keys, &ranks, t.c_str(), t.size()));
        int mismatches = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            for (size_t j = 0; j < texts.size(); ++j) {
                if (SortKeysCompare(&keys, i, j) == Sign(logical(texts[i].c_str(), texts[j].c_str()))) continue;
                if (++mismatches <= 5) ADD_FAILURE() << "pair " << i << ", " << j << " locale " << locale;
            }
        }
        EXPECT_EQ(mismatches, 0) << "locale " << locale;
        LogicalRanksFree(&ranks);
        SortKeysFree(&keys);
    }
    SetThreadLocale(before);
}

namespace {

// Comparisons close to the system's that its check must tell apart from it.
int WINAPI WholeTexts(const wchar_t* a, const wchar_t* b) { return lstrcmpiW(a, b); }
int WINAPI ZerosCount(const wchar_t* a, const wchar_t* b)
{
    int r = SystemLogical()(a, b);
    return r ? r : Sign(static_cast<int>(wcslen(a)) - static_cast<int>(wcslen(b)));
}
int WINAPI CaseCounts(const wchar_t* a, const wchar_t* b)
{
    int r = SystemLogical()(a, b);
    return r ? r : Sign(wcscmp(a, b));
}

}  // namespace

TEST(LogicalKeys, CheckAgainstTheSystemPassesHereAndFailsForOtherOrders)
{
    ASSERT_TRUE(SystemLogical());
    EXPECT_TRUE(LogicalKeysAgree(SystemLogical())) << "sorts would not use the keys on this platform";
    for (PfnStrCmpLogicalW other : {&WholeTexts, &ZerosCount, &CaseCounts})
        EXPECT_FALSE(LogicalKeysAgree(other));
}

TEST_F(SortModel, LogicalSortMovesRowsAsTheSystemComparisonWould)
{
    // Wide texts, narrow texts and numbers (both read as their wide texts), with many ties;
    // the model asks the system at every comparison.
    PfnStrCmpLogicalW logical = SystemLogical();
    ASSERT_TRUE(logical);
    std::vector<std::wstring> wide = LogicalTexts(800, 31);
    std::vector<std::string> narrow = AwkwardTexts(400, 37);
    uint32_t n = 3000;
    ArrayHeader* a = NewArray("a", {n, 2});
    std::vector<std::wstring> shown(n);
    std::mt19937 random(41);
    for (uint32_t r = 0; r < n; ++r) {
        SetInt(a, r * 2, static_cast<int32_t>(r));
        uint32_t pick = random() % 10;
        if (pick == 0) {
            int32_t number = static_cast<int32_t>(random() % 200) - 100;
            SetInt(a, r * 2 + 1, number);
            shown[r] = std::to_wstring(number);
        } else if (pick < 4) {
            const std::string& t = narrow[random() % narrow.size()];
            SetText(a, r * 2 + 1, t.c_str());
            shown[r] = Widen(t);
        } else {
            shown[r] = wide[random() % wide.size()];
            FreeValue(ctx, &a->data[r * 2 + 1], 0, VK_ELEMENT);
            a->data[r * 2 + 1].flags = VF_UNICODE;
            a->data[r * 2 + 1].wstr = HeapCopyWText(ctx, shown[r].c_str(), shown[r].size());
        }
    }
    auto compare = [&](uint32_t x, uint32_t y) { return logical(shown[x].c_str(), shown[y].c_str()); };
    for (int descending : {16, 0}) {
        std::vector<int> model = ModelOrder(a, [&](uint32_t x, uint32_t y) {
            return descending ? compare(x, y) < 0 : compare(x, y) > 0;
        });
        Call(kid::ArraySort, {Var("a"), Int(4 + descending), Int(1)});
        ASSERT_EQ(ctx->nErrorCode, 0);
        std::vector<int> now = RowsNow(a);
        EXPECT_EQ(now, model) << "descending " << descending;
        std::vector<std::wstring> moved(n);
        for (uint32_t r = 0; r < n; ++r) moved[r] = shown[now[r]];
        shown.swap(moved);
        for (uint32_t r = 0; r < n; ++r) a->data[r * 2].i32 = static_cast<int32_t>(r);
    }

    // Binary searches in the order the sort made find a row that compares equal to the
    // value whenever there is one.
    std::vector<std::wstring> values = LogicalTexts(300, 43);
    for (const std::wstring& value : values) {
        resultants found = Call(kid::ArraySearch, {Var("a"), WStr(value.c_str()), Int(4), Int(1)});
        ASSERT_EQ(ctx->nErrorCode, 0);
        bool present = std::any_of(shown.begin(), shown.end(),
                                   [&](const std::wstring& s) { return logical(s.c_str(), value.c_str()) == 0; });
        if (present) {
            ASSERT_GE(found.i32, 0);
            EXPECT_EQ(logical(shown[found.i32].c_str(), value.c_str()), 0);
        } else {
            EXPECT_EQ(found.i32, -1);
        }
    }
}
