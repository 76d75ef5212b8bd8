// The dialog template's field syntax: the splitter, style names, colours, fonts, the
// name hash, tab-order insertion and the growable work arrays.
#include "value_fixture.h"

#include <string>
#include <vector>

#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_record.h"

using DialogFields = ValueTest;

namespace {

std::vector<std::wstring> Split(const wchar_t* text, bool keepTabs = false, bool doubled = false)
{
    std::vector<std::wstring> out;
    std::wstring field;
    size_t position = 0;
    while (SplitTemplateField(keepTabs, doubled, text, field, &position))
        out.push_back(field);
    return out;
}

}  // namespace

TEST_F(DialogFields, SplitterCutsAtCommasOutsideQuotes)
{
    struct Case {
        const wchar_t* text;
        bool keepTabs, doubled;
        std::vector<std::wstring> want;
    };
    const Case cases[] = {
        {L"a , \"b,c\" , d", false, false, {L"a", L"b,c", L"d"}},
        {L"\"say \"\"hi\"\"\"", false, true, {L"say \"hi\""}},
        {L"\"say \"\"hi\"\"\"", false, false, {L"say hi"}},   // without the flag quotes only toggle
        {L"   ,x  ,", false, false, {L"", L"x"}},               // blanks give an empty field
        {L"\"a\tb\",c\td", true, false, {L"a\tb", L"cd"}},     // tabs kept inside quotes only
        {L"\"a\tb\"", false, false, {L"ab"}},
        {L"", false, false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Split(c.text, c.keepTabs, c.doubled), c.want) << testing::PrintToString(std::wstring(c.text));
}

TEST_F(DialogFields, StylesAreNumbersOrConstantNames)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        uint32_t want;
    };
    const Case cases[] = {
        {L"DEFAULT", true, 0},
        {L"12", true, 12},
        {L"@csdisabled | @csReadOnly", true, 0xA},
        {L"@cscheckbox", true, 0x8000000},
        {L"@csfoo", false, 0},
        {L"@csdisabled,@csreadonly", false, 0},
        {L"@true", true, 1},           // any constant of the language
        {L"dialog", false, 0},         // a function, not a constant
        {L"@csdisabled|", false, 0},
        {L"", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t style = 0;
        bool ok = ParseStyleNames(c.text, &style);
        EXPECT_EQ(ok, c.ok) << testing::PrintToString(std::wstring(c.text));
        if (ok)
            EXPECT_EQ(style, c.want);
    }
}

TEST_F(DialogFields, ColoursAreHexOrThreeNumbers)
{
    COLORREF blue = 0, other = 0;
    ASSERT_TRUE(ParseColorSpec(L"h0000FF", &blue));
    ASSERT_TRUE(ParseColorSpec(L"0|0|255", &other));
    EXPECT_EQ(blue, RGB(0, 0, 255));
    EXPECT_EQ(other, blue);
    ASSERT_TRUE(ParseColorSpec(L"H102030", &other));
    EXPECT_EQ(other, RGB(0x10, 0x20, 0x30));
    for (const wchar_t* bad : {L"0|0|256", L"0|0", L"0|0|1|2", L"0||1", L"h", L"h1000000", L"x|1|2", L"red"})
        EXPECT_FALSE(ParseColorSpec(bad, &other)) << testing::PrintToString(std::wstring(bad));
    EXPECT_TRUE(LooksLikeColor(L"hABC"));
    EXPECT_TRUE(LooksLikeColor(L"bad|colour"));
    EXPECT_FALSE(LooksLikeColor(L"house.bmp"));   // "h" and no hex digits: a file
}

TEST_F(DialogFields, FontsTakeFourPartsAndScaleToBaseUnits)
{
    Dialog6Record dlg{};
    dlg.baseX = 8;
    dlg.baseY = 16;
    dlg.screenDpi = 96;
    dlg.dpi[0] = 96;
    dlg.dpi[1] = 8;
    dlg.dpi[2] = 16;
    HFONT font = nullptr;
    ASSERT_TRUE(ParseFontSpec(ctx, &dlg, L"Arial|8192|170|0", &font));
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -16);   // 8192 / 1024 = 8 vertical units of 16/8 pixels
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_TRUE(lf.lfItalic);
    EXPECT_FALSE(lf.lfUnderline);
    DeleteObject(font);
    ASSERT_TRUE(ParseFontSpec(ctx, &dlg, L"|1024|11170|0", &font));
    GetObjectW(font, sizeof lf, &lf);
    EXPECT_TRUE(lf.lfStrikeOut && lf.lfUnderline && lf.lfItalic);
    EXPECT_EQ(lf.lfWeight, 700);
    DeleteObject(font);
    ASSERT_TRUE(ParseFontSpec(ctx, &dlg, L"|1024|100|0", &font));   // 100 itself is no italic
    GetObjectW(font, sizeof lf, &lf);
    EXPECT_FALSE(lf.lfItalic);
    EXPECT_EQ(lf.lfWeight, 1000);
    DeleteObject(font);
    for (const wchar_t* bad : {L"Arial|8192|70", L"Arial|x|70|0", L"Arial|8192|70|0|1"})
        EXPECT_FALSE(ParseFontSpec(ctx, &dlg, bad, &font)) << testing::PrintToString(std::wstring(bad));
}

TEST_F(DialogFields, EqualTabOrdersKeepTheirLineOrder)
{
    DialogControlRecord records[5]{};
    const int32_t orders[5] = {3, 1, 3, 2, 1};
    DialogControlRecord* array[6] = {};
    for (int i = 0; i < 5; ++i) {
        records[i].number = static_cast<uint16_t>(i + 1);
        records[i].tabOrder = orders[i];
        InsertByTabOrder(&records[i], i, array);
    }
    std::vector<int> numbers;
    for (int i = 0; i < 5; ++i)
        numbers.push_back(array[i]->number);
    EXPECT_EQ(numbers, (std::vector<int>{2, 5, 4, 1, 3}));
}

TEST_F(DialogFields, SlotInsertFindsTheNearestFreeSlot)
{
    int a = 1, b = 2, c = 3, x = 9;
    void* slots[4] = {&a, nullptr, &b, nullptr};
    EXPECT_EQ(SlotArrayInsert(1, &x, 4, slots), 1);     // free: taken there
    EXPECT_EQ(slots[1], &x);
    void* later[4] = {&a, &b, nullptr, &c};
    EXPECT_EQ(SlotArrayInsert(9, &x, 4, later), 2);   // clamped to 3, taken: the free slot before it closes
    EXPECT_EQ(later[2], &c);
    EXPECT_EQ(later[3], &x);
    void* after[4] = {&a, &b, &c, nullptr};
    EXPECT_EQ(SlotArrayInsert(-5, &x, 4, after), 3);    // clamped to 0: the first free after it
    void* full[2] = {&a, &b};
    EXPECT_EQ(SlotArrayInsert(0, &x, 2, full), -1);
    EXPECT_EQ(full[0], &a);
    EXPECT_EQ(full[1], &b);
}

TEST_F(DialogFields, NameHashIgnoresCase)
{
    EXPECT_EQ(HashNameLower("Ok"), HashNameLower("oK"));
    EXPECT_EQ(HashNameLower("ab"), static_cast<uint32_t>('a') * 33 + 'b');
    EXPECT_EQ(HashNameLower(""), 0u);
}

TEST_F(DialogFields, FailedGrowthKeepsTheOldBlock)
{
    void* block = nullptr;
    ASSERT_EQ(GrowVirtualArray(ctx, 4, 0, sizeof(int), &block), 1);
    static_cast<int*>(block)[3] = 42;
    ASSERT_EQ(GrowVirtualArray(ctx, 4, 4, sizeof(int), &block), 1);
    EXPECT_EQ(static_cast<int*>(block)[3], 42);   // the current elements move with it

    void* kept = block;
    ctx->nErrorCode = 0;
    EXPECT_EQ(GrowVirtualArray(ctx, SIZE_MAX / 2, 8, sizeof(int), &block), 0);   // cannot be had
    EXPECT_EQ(ctx->nErrorCode, 1588);
    EXPECT_EQ(block, kept);
    EXPECT_EQ(static_cast<int*>(block)[3], 42);
    FreeVirtualArray(block);
}
