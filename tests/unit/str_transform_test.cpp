// String transformation built-ins in ANSI and wide form: replacing, cleaning, filling,
// fixed widths, trimming, inserting and overlaying, case, and concatenation.
#include "text_fixture.h"

#include "engine/data/string_builtins.h"

using StrTransform = TextTest;

TEST_F(StrTransform, ReplaceDoesNotOverlap)
{
    struct Case { const char* text; const char* old; const char* with; const char* want; };
    const Case cases[] = {   // Python: str.replace
        {"aaa", "aa", "b", "ba"}, {"abc", "", "x", "abc"}, {"", "a", "x", ""},
        {"abcabc", "bc", "", "aa"}, {"abcabc", "b", "XYZ", "aXYZcaXYZc"}, {"abc", "ABC", "x", "abc"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strreplace", {As(wide, c.text), As(wide, c.old), As(wide, c.with)});
            EXPECT_EQ(TextResult(wide), c.want) << c.text << ' ' << c.old << ' ' << c.with;
        }
}

TEST_F(StrTransform, CleanSelectsListedOrUnlistedCharacters)
{
    struct Case { const char* text; const char* chars; const char* with; int match, mode; const char* want; int error; };
    const Case cases[] = {
        {"a1b2", "0123456789", "", 1, 1, "ab", 0},
        {"a1b2", "0123456789", "", 1, 2, "12", 0},
        {"AbC", "c", "-", 0, 1, "Ab-", 0},
        {"AbC", "c", "-", 1, 1, "AbC", 0},
        {"a b", " ", "%20", 1, 1, "a%20b", 0},
        {"abc", "", "x", 1, 2, "xxx", 0},
        {"abc", "a", "", 2, 1, "", 1616},
        {"abc", "a", "", 2, 7, "", 1616},   // the match-case flag is checked first
        {"abc", "a", "", 1, 3, "", 1617},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strclean", {As(wide, c.text), As(wide, c.chars), As(wide, c.with), c.match, c.mode});
            EXPECT_EQ(Error(), c.error) << c.text << ' ' << c.mode;
            if (!c.error) {
                EXPECT_EQ(TextResult(wide), c.want) << c.text << ' ' << c.chars;
            } else {
                EXPECT_EQ(result.flags, VF_INT) << "no text after an error";
            }
        }
}

TEST_F(StrTransform, FillRepeatsTheFillerToALengthInCharacters)
{
    struct Case { const char* filler; int length; const char* want; };
    const Case cases[] = {{"ab", 5, "ababa"}, {"", 3, "   "}, {"x", 0, ""}, {"x", -4, ""}, {"abc", 2, "ab"}};
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strfill", {As(wide, c.filler), c.length});
            EXPECT_EQ(TextResult(wide), c.want) << c.filler << ' ' << c.length;
        }
}

TEST_F(StrTransform, FixedWidthFamily)
{
    struct Case { const char* name; const char* text; const char* pad; int length; const char* want; int error; };
    const Case cases[] = {
        {"strfix", "abc", "", 5, "abc  ", 0},
        {"strfix", "abcdef", ".", 3, "abc", 0},
        {"strfix", "abc", "12", 8, "abc12121", 0},
        {"strfixchars", "abc", "-", 4, "abc-", 0},
        {"strfix", "abc", ".", 0, "", 0},
        {"strfix", "abc", ".", -1, "", 1571},
        {"strfixleft", "abc", ".", 5, "..abc", 0},
        {"strfixleft", "abcdef", ".", 3, "def", 0},
        {"strfixcharsl", "abc", "12", 6, "121abc", 0},
        {"strfixleft", "abc", ".", -2, "", 1571},
        {"strfixbytes", "abc", ".", 6, "abc...", 0},
        {"strfixbytes", "abcdef", ".", 4, "abcd", 0},
        {"strfixbytes", "abc", ".", -6, "", 1571},
        {"strfixbytesl", "abc", ".", 6, "...abc", 0},
        {"strfixbytesl", "abcdef", ".", 2, "ef", 0},
    };
    for (const Case& c : cases) {
        Call(c.name, {c.text, c.pad, c.length});
        EXPECT_EQ(Error(), c.error) << c.name << ' ' << c.text << ' ' << c.length;
        if (!c.error) {
            EXPECT_EQ(Narrow(), c.want) << c.name << ' ' << c.text << ' ' << c.length;
        }
    }
    // Wide text: the widths in characters are the same; byte widths are two per unit.
    Call("strfixleft", {L"abc", L".", 5});
    EXPECT_EQ(Wide(), L"..abc");
    Call("strfixbytes", {L"abc", L".", 5});
    EXPECT_EQ(Error(), 1571);
    Call("strfixbytes", {L"abc", L".", 8});
    EXPECT_EQ(Wide(), L"abc.");
    Call("strfixbytesl", {L"abcdef", L".", 4});
    EXPECT_EQ(Wide(), L"ef");
    Call("strfixbytesl", {L"abc", L".", 3});
    EXPECT_EQ(Error(), 1571);
}

TEST_F(StrTransform, TrimModesWithBlanksAndTabs)
{
    struct Case { const char* text; TArg mode; const char* want; };
    const Case cases[] = {
        {" a b ", TArg("3"), "a b"}, {" a ", TArg(1), "a "}, {" a ", TArg(2), " a"},
        {" a ", TArg(4), "a"},       {"\t a\t \t", TArg(3), "a"}, {"\t a\t", TArg(1), "a\t"},
        {" \t ", TArg(3), ""},       {"", TArg(3), ""}, {"a\tb", TArg(0), "a\tb"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strtrim", {As(wide, c.text), c.mode});
            EXPECT_EQ(TextResult(wide), c.want) << '[' << c.text << ']';
        }
    Call("strtrim", {"  x  "});   // the mode is optional: both ends
    EXPECT_EQ(Narrow(), "x");
}

TEST_F(StrTransform, TrimCharRemovesListedCharactersAtTheEnds)
{
    struct Case { const char* text; const char* chars; int mode; const char* want; };
    const Case cases[] = {
        {"xxaxx", "x", 5, "a"}, {"xxx", "x", 3, ""}, {"xyaxy", "yx", 1, "axy"},
        {"xyaxy", "yx", 2, "xya"}, {"xax", "", 3, "xax"}, {"xax", "x", 0, "a"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strtrimchar", {As(wide, c.text), As(wide, c.chars), c.mode});
            EXPECT_EQ(TextResult(wide), c.want) << c.text << ' ' << c.chars << ' ' << c.mode;
        }
    Call("strtrimchar", {"xxx", "x"});
    EXPECT_EQ(Narrow(), "");
}

TEST_F(StrTransform, InsertAndOverlayPadAndCheckTheirPositions)
{
    struct Case { const char* name; std::vector<TArg> args; const wchar_t* want; int error; };
    const Case cases[] = {
        {"strinsert", {L"abc", L"XY", L" ", 2}, L"aXYbc", 0},
        {"strinsert", {L"abc", L"XY", L".", 6}, L"abc..XY", 0},
        {"strinsert", {L"abc", L"XY", L" ", -1}, L"abcXY", 0},
        {"strinsert", {L"abc", L"XY"}, L"XYabc", 0},
        {"strinsert", {L"abc", L"XY", L"", 5}, L"abc XY", 0},
        {"strinsert", {L"abc", L"XY", L"-", 2, 4}, L"aXY--bc", 0},
        {"strinsert", {L"abc", L"XYZ", L"-", 2, 1}, L"aXbc", 0},
        {"stroverlay", {L"abcde", L"XY", L" ", 2}, L"aXYde", 0},
        {"stroverlay", {L"abc", L"XY", L".", 3}, L"abXY", 0},
        {"stroverlay", {L"abc", L"XY", L".", 5}, L"abc.XY", 0},
        {"stroverlay", {L"abcdef", L"X", L"-", 2, 3}, L"aX--ef", 0},
        {"strinsert", {L"abc", L"X", L" ", 0}, L"", 1826},
        {"stroverlay", {L"abc", L"X", L" ", -2}, L"", 1826},
        {"strinsert", {L"abc", L"X", L" ", 1, -1}, L"", 1827},
    };
    for (const Case& c : cases) {
        Call(c.name, c.args);
        EXPECT_EQ(Error(), c.error) << c.name;
        if (!c.error) {
            EXPECT_EQ(Wide(), c.want) << c.name;
        }
    }
    Call("strinsert", {"abc", "X"});   // ANSI arguments arrive as wide text
    EXPECT_EQ(Wide(), L"Xabc");
    SetUnicodeMode(false);
    Call("strinsert", {L"abc", L"XY"});
    EXPECT_EQ(Error(), 1193);
}

TEST_F(StrTransform, LowerAndUpper)
{
    Call("strlower", {"AbC1"});
    EXPECT_EQ(Narrow(), "abc1");
    Call("strupper", {"AbC1"});
    EXPECT_EQ(Narrow(), "ABC1");
    Call("strupper", {L"\u00e9\u0434x"});   // e acute, Cyrillic de
    EXPECT_EQ(Wide(), L"\u00c9\u0414X");
    Call("strlower", {L"\u00c9\u0414X"});
    EXPECT_EQ(Wide(), L"\u00e9\u0434x");
}

TEST_F(StrTransform, CatJoinsMixedValuesNarrowOrWide)
{
    resultants values[3];
    for (auto& v : values) InitResultValue(ctx, &v, VK_RECORD, 0);
    SetResultText(ctx, &values[0], "a");
    SetResultInt(ctx, &values[1], 1);
    SetResultFloat(ctx, &values[2], 2.5);
    StrCatValues(ctx, values, 3, &result);
    EXPECT_EQ(Narrow(), "a12.5");

    SetResultWText(ctx, &values[1], L"\u4e2d");
    StrCatValues(ctx, values, 3, &result);
    EXPECT_EQ(Wide(), L"a\u4e2d2.5");

    StrCatValues(ctx, values, 0, &result);
    EXPECT_EQ(Narrow(), "");
    for (auto& v : values) FreeValue(ctx, &v, 0, VK_RECORD);
}

// Shift-JIS (code page 932): widths and cuts keep double-byte characters whole.
class StrTransformDbcs : public TextTest {
protected:
    ShiftJisSystem shiftJis;
};

TEST_F(StrTransformDbcs, WidthsCutsAndReplacementsKeepCharactersWhole)
{
    const std::string ka = "\x83\x41", kanji = "\x95\x5c";   // trail bytes 'A' and '\'
    Call("strfix", {ka + kanji + "x", "", 2});
    EXPECT_EQ(Narrow(), ka + kanji);
    Call("strfixleft", {ka + kanji + "x", "", 2});
    EXPECT_EQ(Narrow(), kanji + "x");
    Call("strfixbytes", {"x" + ka, ".", 2});
    EXPECT_EQ(Narrow(), "x.");   // the double-byte character would cross the width: padded
    Call("strfixbytes", {"x", ka, 4});
    EXPECT_EQ(Narrow(), "x" + ka);   // the pad too
    Call("strfixbytesl", {ka + "x", ".", 2});
    EXPECT_EQ(Narrow(), "x");
    Call("strfill", {ka + "x", 3});
    EXPECT_EQ(Narrow(), ka + "x" + ka);
    Call("strreplace", {ka + "A", "A", "B"});
    EXPECT_EQ(Narrow(), ka + "B");
    Call("strclean", {ka + "A", "A", "", 1, 1});
    EXPECT_EQ(Narrow(), ka);
    Call("strtrimchar", {"\\" + kanji, "\\", 3});
    EXPECT_EQ(Narrow(), kanji);
    Call("strupper", {ka + "a"});
    EXPECT_EQ(Narrow(), ka + "A");
}
