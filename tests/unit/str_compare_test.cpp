// Comparison, character classes and the code-page conversions of text.
#include "text_fixture.h"

using StrCompare = TextTest;

TEST_F(StrCompare, CompareFollowsTheLocaleOrder)
{
    for (bool unicodeMode : {true, false}) {
        SetUnicodeMode(unicodeMode);
        for (bool wide : {false, true}) {
            Call("strcmp", {As(wide, "a"), As(wide, "B")});
            EXPECT_LT(Int(), 0) << "locale order, not byte order; wide " << wide;
            Call("strcmp", {As(wide, "b"), As(wide, "b")});
            EXPECT_EQ(Int(), 0);
            Call("strcmp", {As(wide, "b"), As(wide, "a")});
            EXPECT_GT(Int(), 0);
            Call("stricmp", {As(wide, "abc"), As(wide, "ABC")});
            EXPECT_EQ(Int(), 0);
            Call("stricmp", {As(wide, "abd"), As(wide, "ABC")});
            EXPECT_GT(Int(), 0);
        }
    }
    Call("strcmp", {"a", L"a"});   // one wide argument makes both wide
    EXPECT_EQ(Int(), 0);
}

TEST_F(StrCompare, TypeInfoMasksAndClassWords)
{
    for (bool unicodeMode : {false, true}) {
        SetUnicodeMode(unicodeMode);   // the wide handler serves in Unicode mode
        Call("strtypeinfo", {"AB", 1});
        int any = std::stoi(TextResult(unicodeMode));
        EXPECT_EQ(any & 0x181, 0x181);
        Call("strtypeinfo", {"A1", 0});
        int all = std::stoi(TextResult(unicodeMode));
        EXPECT_EQ(all & 0x5, 0);
        EXPECT_NE(all & 0x80, 0) << "both are hex digits";
        Call("strtypeinfo", {"", 0});
        EXPECT_EQ(TextResult(unicodeMode), "0");
        Call("strtypeinfo", {"", 1});
        EXPECT_EQ(TextResult(unicodeMode), "0");
        Call("strtypeinfo", {" 3 ", -1});
        EXPECT_EQ(TextResult(unicodeMode), unicodeMode ? "Upper Lower Undef" : "Upper Lower");
        Call("strtypeinfo", {"1023", -1});
        EXPECT_EQ(TextResult(unicodeMode), "Upper Lower Digit Space Punct Cntrl Blank HexDg Alpha");
        Call("strtypeinfo", {"512", -1});
        EXPECT_EQ(TextResult(unicodeMode), "");
        Call("strtypeinfo", {"x", -1});
        EXPECT_EQ(Error(), 1824);
        Call("strtypeinfo", {"a", 2});
        EXPECT_EQ(Error(), 1822);
    }
}

TEST_F(StrCompare, CodePageIsSetAndRead)
{
    Call("chrsetcodepage", {1252});
    EXPECT_EQ(Int(), 0);
    Call("chrgetcodepage", {0});
    EXPECT_EQ(Int(), 1252);
    Call("chrsetcodepage", {12345});   // unknown to the system: refused, nothing changes
    EXPECT_EQ(Error(), 1824);
    Call("chrsetcodepage", {-1});
    EXPECT_EQ(Error(), 1824);
    Call("chrsetcodepage", {0});
    EXPECT_EQ(Int(), 1252);
    Call("chrgetcodepage", {0});
    EXPECT_EQ(Int(), 0);
    Call("chrgetcodepage", {1});
    EXPECT_EQ(Int(), static_cast<int>(GetACP()));
    Call("chrgetcodepage", {2});
    EXPECT_GT(Int(), 0);
    Call("chrgetcodepage", {3});
    EXPECT_EQ(Error(), 1809);
}

TEST_F(StrCompare, HexConversions)
{
    struct Case { const char* name; std::vector<TArg> args; const char* narrow; const wchar_t* wide; int error; };
    const Case cases[] = {   // Python: bytes.fromhex, bytes.hex().upper(), "A".encode("utf-16-le")
        {"chrhextostring", {"4142"}, "AB", nullptr, 0},
        {"chrhextostring", {"4a4B"}, "JK", nullptr, 0},
        {"chrhextostring", {"410042"}, "A", nullptr, 0},   // a pair 00 ends the text
        {"chrhextostring", {""}, "", nullptr, 0},
        {"chrhextostring", {"414"}, nullptr, nullptr, 1819},
        {"chrhextostring", {"4G"}, nullptr, nullptr, 1819},
        {"chrhextounicode", {"4100"}, nullptr, L"A", 0},
        {"chrhextounicode", {"0041", 1}, nullptr, L"A", 0},
        {"chrhextounicode", {"2d4e4100"}, nullptr, L"\u4e2dA", 0},
        {"chrhextounicode", {"410"}, nullptr, nullptr, 1819},
        {"chrstringtohex", {"AB"}, "4142", nullptr, 0},
        {"chrstringtohex", {"\x7f\x80\xff"}, "7F80FF", nullptr, 0},
        {"chrunicodetohex", {L"A"}, "4100", nullptr, 0},
        {"chrunicodetohex", {L"A", 1}, "0041", nullptr, 0},
        {"chrunicodetohex", {L"\u4e2d"}, "2D4E", nullptr, 0},
        {"chrstringtounicode", {"abc"}, nullptr, L"abc", 0},
        {"chrunicodetostring", {L"abc"}, "abc", nullptr, 0},
    };
    for (const Case& c : cases) {
        Call(c.name, c.args);
        EXPECT_EQ(Error(), c.error) << c.name;
        if (c.narrow) {
            EXPECT_EQ(Narrow(), c.narrow) << c.name;
        }
        if (c.wide) {
            EXPECT_EQ(Wide(), c.wide) << c.name;
        }
    }
}

TEST_F(StrCompare, ConversionsFollowTheContextCodePage)
{
    // Python: "\u00e9".encode("utf-8").hex().upper() == "C3A9"
    Call("chrsetcodepage", {65001});
    Call("chrhextounicode", {"E900"});
    std::wstring e = Wide();
    EXPECT_EQ(e, L"\u00e9");
    Call("chrunicodetostring", {e});
    std::string utf8 = Narrow();
    Call("chrstringtohex", {utf8});
    EXPECT_EQ(Narrow(), "C3A9");
    Call("chrstringtounicode", {"\xc3\xa9"});
    EXPECT_EQ(Wide(), L"\u00e9");
    Call("chrsetcodepage", {1252});
    Call("chrunicodetostring", {L"\u00e9"});
    EXPECT_EQ(Narrow(), "\xe9");
}
