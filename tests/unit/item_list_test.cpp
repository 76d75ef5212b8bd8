// Item lists and CSV lines: counting, extracting, inserting, locating, the CSV rules, the
// item comparisons of list sorting, wide lists, and double-byte delimiters and trail bytes.
#include "text_fixture.h"

#include "engine/data/item_list.h"

using ItemList = TextTest;

TEST_F(ItemList, CountAndExtractFollowTheDelimiters)
{
    struct Count { const char* list; const char* delimiter; int want; };
    const Count counts[] = {   // Python: len(list.split(d)), and 0 for ""
        {"", ",", 0}, {"a", ",", 1}, {"a,,b", ",", 3}, {"a,b,", ",", 3}, {",", ",", 2},
        {"a\tb", "", 2}, {"a,b", "", 1},
    };
    for (bool wide : {false, true})
        for (const Count& c : counts) {
            Call("itemcount", {As(wide, c.list), As(wide, c.delimiter)});
            EXPECT_EQ(Int(), c.want) << '[' << c.list << "] [" << c.delimiter << ']';
        }

    struct Extract { int n; const char* list; const char* want; };
    const Extract extracts[] = {
        {-1, "a,b,c", "c"}, {0, "a,b,c", ""}, {4, "a,b,c", ""}, {2, "a,,c", ""}, {3, "a,b,", ""},
        {1, "", ""},        {-1, "", ""},     {-2, "a,b", ""},  {2, "a,bc,d", "bc"},
    };
    for (bool wide : {false, true})
        for (const Extract& c : extracts) {
            Call("itemextract", {c.n, As(wide, c.list), As(wide, ",")});
            EXPECT_EQ(TextResult(wide), c.want) << c.n << " [" << c.list << ']';
        }
}

TEST_F(ItemList, ADelimiterOfTwoCharactersIsRefused)
{
    Call("itemcount", {"a,b", ",,"});
    EXPECT_EQ(Error(), 1705);
    Call("itemextract", {1, L"a,b", L",;"});
    EXPECT_EQ(Error(), 1705);
    EXPECT_EQ(result.flags, VF_INT);
    Call("iteminsert", {"x", 1, "a,b", "::"});
    EXPECT_EQ(Error(), 1705);
    Call("itemlocate", {"a", "a,b", "::"});
    EXPECT_EQ(Error(), 1705);
    Call("itemlocatewild", {"a", "a,b", "::", 1});
    EXPECT_EQ(Error(), 1705);
    Call("itemlocate", {"a", "", "::"});   // an empty list answers before the check
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(Int(), 0);
}

TEST_F(ItemList, InsertPlacesTheItemAfterIndexItems)
{
    struct Case { const char* list; int index; const char* want; };
    const Case cases[] = {
        {"a,b,c", 0, "X,a,b,c"}, {"a,b,c", 1, "a,X,b,c"}, {"a,b,c", 2, "a,b,X,c"},
        {"a,b,c", -1, "a,b,c,X"}, {"a,b,c", 3, "a,b,c,X"}, {"a,b,c", 99, "a,b,c,X"},
        {"", 0, "X"},             {"", 5, "X"},             {"a,", 1, "a,X,"},
        {"a,", 2, "a,,X"},        {",", 0, "X,,"},          {"a", -5, "a,X"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("iteminsert", {As(wide, "X"), c.index, As(wide, c.list), As(wide, ",")});
            EXPECT_EQ(TextResult(wide), c.want) << '[' << c.list << "] " << c.index;
        }
}

TEST_F(ItemList, LocateExactAndWild)
{
    struct Case { const char* name; std::vector<const char*> texts; int start; int want; };
    const Case cases[] = {
        {"itemlocate", {"b", "a,B,b"}, 0, 3},
        {"itemlocate", {"", "a,,b"}, 0, 2},
        {"itemlocate", {"x", ""}, 0, 0},
        {"itemlocate", {"", ""}, 0, 0},
        {"itemlocate", {"ab", "a,abc,ab"}, 0, 3},
        {"itemlocatewild", {"b*", "abc,Bcd,bx"}, 1, 2},   // without case
        {"itemlocatewild", {"b*", "abc,Bcd,bx"}, 3, 3},
        {"itemlocatewild", {"b*", "abc,Bcd,bx"}, 0, 0},
        {"itemlocatewild", {"b*", "abc,Bcd,bx"}, 4, 0},
        {"itemlocatewild", {"a", "ab,a"}, 1, 2},           // the whole item must be covered
        {"itemlocatewild", {"*", "a,,b"}, 2, 2},
        {"itemlocatewild", {"", "a,,b"}, 1, 2},
        {"itemlocatewild", {"?", "a,,b"}, 2, 3},           // an empty item needs "*" or ""
        {"itemlocatewild", {"*.txt", "a.doc,b.TXT"}, 1, 2},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            std::vector<TArg> args = {As(wide, c.texts[0]), As(wide, c.texts[1]), As(wide, ",")};
            if (c.name == std::string("itemlocatewild")) args.push_back(c.start);
            Call(c.name, args);
            EXPECT_EQ(Int(), c.want) << c.name << ' ' << c.texts[0] << " [" << c.texts[1] << ']';
        }
}

TEST_F(ItemList, CsvCountAndExtract)
{
    struct Count { const char* line; TArg delimiter; int want; int error; };
    const Count counts[] = {
        {"a, \"b,c\" ,d", ",", 3, 0},
        {"a,\"b", ",", 0, 1706},
        {"a,x\"b\"", ",", 0, 1706},
        {"a,\"b\"x", ",", 0, 1706},
        {"a,\"b\" \"c\"", ",", 0, 1706},
        {"a;b", ";", 2, 0},
        {"a b", " ", 0, 1712},
        {"a\"b", "\"", 0, 1712},
        {"a,b", ",,", 0, 1712},
        {"", ",", 0, 0},
        {"\"a\"\"b\",c", ",", 2, 0},
        {"a\t\"b\" ", "\t", 2, 0},     // with the tab as delimiter only the space is blank
        {"a\t\"b\" \t", "\t", 3, 0},
    };
    for (bool wide : {false, true})
        for (const Count& c : counts) {
            TArg d = c.delimiter.kind == TArg::Narrow ? As(wide, c.delimiter.s.c_str()) : c.delimiter;
            Call("itemcountcsv", {As(wide, c.line), 0, d});
            EXPECT_EQ(Error(), c.error) << c.line;
            EXPECT_EQ(Int(), c.want) << c.line;
        }
    Call("itemcountcsv", {"a,b", 0});   // the delimiter is optional: the comma
    EXPECT_EQ(Int(), 2);

    struct Extract { int n; const char* line; int flags; const char* want; int error; };
    const Extract extracts[] = {
        {2, "a, \"b \"\"q\"\" c\" ,d", 0, "b \"q\" c", 0},
        {2, "a, b ,c", 1, " b ", 0},
        {2, "a, b ,c", 0, "b", 0},
        {2, "a, \"b\" ,c", 1, "b", 0},
        {-1, "a,b,c", 0, "c", 0},
        {0, "a,b,c", 0, "", 0},
        {4, "a,b,c", 0, "", 0},
        {3, "a,b,", 0, "", 0},
        {1, "a,\"b", 0, "a", 0},   // fields after the one taken are not checked
        {2, "a,\"b", 0, "", 1707},
        {-1, "a,\"b", 0, "", 1707},
        {1, "\"x,y\"", 0, "x,y", 0},
    };
    for (bool wide : {false, true})
        for (const Extract& c : extracts) {
            Call("itemextractcsv", {c.n, As(wide, c.line), c.flags});
            EXPECT_EQ(Error(), c.error) << c.n << ' ' << c.line;
            if (!c.error) {
                EXPECT_EQ(TextResult(wide), c.want) << c.n << ' ' << c.line;
            }
        }
    Call("itemextractcsv", {1, "a b", 0, " "});
    EXPECT_EQ(Error(), 1713);
}

TEST_F(ItemList, WideListsOfNonAnsiCharactersStayWide)
{
    Call("itemextract", {2, L"\u03b1\u2192\u03b2\u2192\u4e2d", L"\u2192"});
    EXPECT_EQ(Wide(), L"\u03b2");
    Call("iteminsert", {L"\u4e2d", 1, L"\u03b1,\u03b2", L","});
    EXPECT_EQ(Wide(), L"\u03b1,\u4e2d,\u03b2");
    Call("itemlocate", {L"\u03b2", L"\u03b1,\u03b2", ","});
    EXPECT_EQ(Int(), 2);
    Call("itemextractcsv", {1, L"\"\u03b1\",b", 0});
    EXPECT_EQ(Wide(), L"\u03b1");
}

TEST_F(ItemList, ComparisonsOfItemsStopAtTheDelimiter)
{
    EXPECT_GT(ItemCompareA(ctx, "b|a", "a|b", "|"), 0);
    EXPECT_EQ(ItemCompareA(ctx, "a|z", "a", "|"), 0);
    EXPECT_LT(ItemCompareA(ctx, "a", "B", "|"), 0) << "locale order";
    int caseOrder = lstrcmpA("A", "a");
    ASSERT_NE(caseOrder, 0);
    EXPECT_EQ(ItemCompareNoCaseA(ctx, "A|x", "a|y", "|") > 0, caseOrder > 0) << "case decides a tie";
    EXPECT_LT(ItemCompareNoCaseA(ctx, "a|x", "B|y", "|"), 0);
    for (bool unicodeMode : {true, false}) {
        SetUnicodeMode(unicodeMode);
        EXPECT_GT(ItemCompareW(ctx, L"b\ta", L"a\tb", L""), 0);
        EXPECT_EQ(ItemCompareW(ctx, L"a,z", L"a", L","), 0);
        EXPECT_EQ(ItemCompareNoCaseW(ctx, L"A,x", L"a,y", L",") > 0, caseOrder > 0);
        EXPECT_LT(ItemCompareNoCaseW(ctx, L"a", L"B", L","), 0);
    }
}

TEST_F(ItemList, ExtractAnswersThePositionOfTheNextItem)
{
    const char* list = "a,bc,d";
    const char* p = ItemExtractA(ctx, &result, 1, list, ",");
    EXPECT_EQ(Narrow(), "a");
    p = ItemExtractA(ctx, &result, 1, p, ",");
    EXPECT_EQ(Narrow(), "bc");
    p = ItemExtractA(ctx, &result, 1, p, ",");
    EXPECT_EQ(Narrow(), "d");
    EXPECT_EQ(p, list + 6);
    EXPECT_EQ(ItemExtractA(ctx, &result, 1, list, ",,"), nullptr);
    EXPECT_EQ(Error(), 1705);
}

// Shift-JIS (code page 932): 83 41 has the trail byte 'A', 95 5C the trail byte '\'.
class ItemListDbcs : public TextTest {
protected:
    ShiftJisSystem shiftJis;
    const std::string ka = "\x83\x41", kanji = "\x95\x5c";
};

TEST_F(ItemListDbcs, DelimitersNeverMatchATrailByte)
{
    Call("itemcount", {ka + "A" + ka, "A"});
    EXPECT_EQ(Int(), 2);
    Call("itemextract", {2, kanji + "\\" + kanji, "\\"});
    EXPECT_EQ(Narrow(), kanji);
    Call("itemcount", {"x" + kanji + "y", kanji});   // a double-byte delimiter
    EXPECT_EQ(Int(), 2);
    Call("itemcount", {"x\x95\x5dy", kanji});        // same lead byte, other trail byte
    EXPECT_EQ(Int(), 1);
    Call("itemcount", {"a,b", ka + ka});
    EXPECT_EQ(Error(), 1705);
    Call("iteminsert", {"z", 1, "x" + kanji + "y", kanji});
    EXPECT_EQ(Narrow(), "x" + kanji + "z" + kanji + "y");
    Call("itemlocate", {ka, "A," + ka, ","});
    EXPECT_EQ(Int(), 2);
    Call("itemcountcsv", {kanji + "\\x", 0, "\\"});
    EXPECT_EQ(Int(), 2);
    Call("itemextractcsv", {1, kanji + "\\x", 0, "\\"});
    EXPECT_EQ(Narrow(), kanji);
}
