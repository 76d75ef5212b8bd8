// String measurement and search built-ins, in ANSI and wide form: positions, directions,
// empty texts, wildcard coverage, and double-byte text that must never be split or
// matched on a trail byte.
#include "text_fixture.h"

using StrSearch = TextTest;

// Each table runs once with ANSI and once with wide arguments.
TEST_F(StrSearch, IndexForwardBackwardAndFromAStart)
{
    struct Case { const char* name; const char* text; const char* sub; int start, dir, want; };
    const Case cases[] = {
        {"strindex", "abcabc", "bc", 0, 0, 2},
        {"strindex", "abcabc", "bc", 0, 1, 5},
        {"strindex", "abcabc", "bc", 4, 1, 2},   // a backward match ends at or before the start
        {"strindex", "abcabc", "bc", 5, 1, 2},
        {"strindex", "abcabc", "bc", 6, 1, 5},
        {"strindex", "abcabc", "bc", 3, 0, 5},
        {"strindex", "abcabc", "bc", 6, 0, 0},
        {"strindex", "abcabc", "bc", 7, 0, 0},
        {"strindex", "abcabc", "bc", -1, 0, 0},
        {"strindex", "abc", "", 2, 0, 2},
        {"strindex", "", "", 0, 0, 0},
        {"strindex", "", "", 0, 1, 0},
        {"strindex", "abc", "abcd", 0, 0, 0},
        {"strindex", "ABC", "b", 0, 0, 0},
        {"strindexnc", "ABC", "b", 0, 0, 2},
        {"strindexnc", "xAbCaBc", "abc", 0, 1, 5},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call(c.name, {As(wide, c.text), As(wide, c.sub), c.start, c.dir});
            EXPECT_EQ(Int(), c.want) << c.name << "('" << c.text << "','" << c.sub << "',"
                                     << c.start << ',' << c.dir << ") wide " << wide;
        }
}

TEST_F(StrSearch, ScanFindsAnyListedCharacter)
{
    struct Case { const char* text; const char* set; int start, dir, want; };
    const Case cases[] = {
        {"a,b;c", ",;", 0, 0, 2}, {"a,b;c", ",;", 3, 0, 4}, {"a,b;c", ",;", 0, 1, 4},
        {"a,b;c", ",;", 3, 1, 2}, {"a,b;c", ",;", 1, 1, 0}, {"abc", "", 2, 0, 2},
        {"abc", "x", 0, 0, 0},    {"", ",", 0, 0, 0},       {"abc", "c", 4, 0, 0},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strscan", {As(wide, c.text), As(wide, c.set), c.start, c.dir});
            EXPECT_EQ(Int(), c.want) << c.text << ' ' << c.set << ' ' << c.start << ' ' << c.dir;
        }
}

TEST_F(StrSearch, CountDoesNotOverlapAndChecksItsRange)
{
    struct Case { const char* text; const char* sub; int start, end, flags, want, error; };
    const Case cases[] = {
        {"aaaa", "aa", 0, -1, 1, 2, 0},      // Python: "aaaa".count("aa") == 2
        {"aaaa", "aa", 0, 0, 1, 1, 0},       // start and end both 1; the match runs past the end
        {"aaaa", "aa", 2, -1, 1, 1, 0},
        {"abcABC", "abc", 0, -1, 1, 1, 0},
        {"abcABC", "abc", 0, -1, 0, 2, 0},   // flags bit 0 clear: without case
        {"abcabc", "c", 6, 1, 1, 2, 0},      // start above end: swapped
        {"abc", "b", 5, 1, 1, 0, 1734},
        {"abc", "b", -2, 1, 1, 0, 1734},
        {"abc", "b", 1, 4, 1, 0, 1735},
        {"", "b", 9, 9, 1, 0, 0},            // empty text: 0 before any range check
        {"abc", "", 9, 9, 1, 0, 0},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strcnt", {As(wide, c.text), As(wide, c.sub), c.start, c.end, c.flags});
            EXPECT_EQ(Error(), c.error) << c.text << ' ' << c.sub << ' ' << c.start << ' ' << c.end;
            EXPECT_EQ(Int(), c.want) << c.text << ' ' << c.sub << ' ' << c.start << ' ' << c.end;
        }
}

TEST_F(StrSearch, SubTakesAPieceOrNothing)
{
    struct Case { const char* text; int start, length; const char* want; };
    const Case cases[] = {
        {"abcdef", 3, -1, "cdef"}, {"abc", 0, 2, ""},  {"abc", 4, 1, ""}, {"abc", 2, 10, "bc"},
        {"abc", 1, 0, ""},         {"abc", 3, 1, "c"}, {"abc", 2, -5, ""}, {"", 1, 1, ""},
        {"abc", 1, 2147483647, "abc"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("strsub", {As(wide, c.text), c.start, c.length});
            EXPECT_EQ(TextResult(wide), c.want) << c.text << ' ' << c.start << ' ' << c.length;
        }
}

TEST_F(StrSearch, WildcardIndexLengthAndPiece)
{
    struct Case { const char* name; const char* text; const char* pattern; int start; int want; };
    const Case cases[] = {
        {"strindexwild", "xxHello", "h*o", 0, 3},
        {"strindexwild", "xxHello", "h*o", 4, 0},
        {"strindexwild", "abc", "", 0, 1},
        {"strindexwild", "abc", "", 2, 2},
        {"strindexwild", "", "a", 0, 0},
        {"strindexwild", "abc", "c", 3, 3},
        {"strindexwild", "abc", "?c", 0, 2},
        {"strlenwild", "Hello world", "h*o", 1, 5},   // the run "o" is taken at its first place
        {"strlenwild", "Hello world", "h*", 1, 11},
        {"strlenwild", "Hello world", "w?r", 7, 3},
        {"strlenwild", "Hello world", "x", 1, 0},
        {"strlenwild", "Hello", "h", 9, 0},
        {"strlenwild", "Hello", "", 1, 0},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call(c.name, {As(wide, c.text), As(wide, c.pattern), c.start});
            EXPECT_EQ(Int(), c.want) << c.name << ' ' << c.text << ' ' << c.pattern << ' ' << c.start;
        }
    for (bool wide : {false, true}) {
        Call("strsubwild", {As(wide, "Hello world"), As(wide, "h*o"), 1});
        EXPECT_EQ(TextResult(wide), "Hello");
        Call("strsubwild", {As(wide, "Hello world"), As(wide, "*d"), 7});
        EXPECT_EQ(TextResult(wide), "world");
        Call("strsubwild", {As(wide, "Hello"), As(wide, "x*"), 1});
        EXPECT_EQ(TextResult(wide), "");
    }
}

TEST_F(StrSearch, LengthCountsCharactersOrUnits)
{
    Call("strlen", {"abc"});
    EXPECT_EQ(Int(), 3);
    Call("strcharcount", {L"\u00e9\u4e2d"});
    EXPECT_EQ(Int(), 2);
    Call("strlen", {L"\U0001F600"});   // a surrogate pair is two units
    EXPECT_EQ(Int(), 2);
}

// Shift-JIS (code page 932): the katakana "a" is 83 41, so its trail byte is an 'A'; the
// kanji 95 5C ends in a backslash.
class StrSearchDbcs : public TextTest {
protected:
    ShiftJisSystem shiftJis;
    const char* ka = "\x83\x41";
};

TEST_F(StrSearchDbcs, SearchesNeverMatchATrailByteButStrCntDoes)
{
    std::string text = std::string(ka) + "A" + ka;   // three characters, two of them with an 'A' trail byte
    Call("strlen", {text});
    EXPECT_EQ(Int(), 3);
    Call("strindex", {text, "A", 0, 0});
    EXPECT_EQ(Int(), 2);
    Call("strindex", {text, "A", 0, 1});
    EXPECT_EQ(Int(), 2);
    Call("strindex", {text, ka, 2, 0});
    EXPECT_EQ(Int(), 3);
    Call("strindexnc", {text, "a", 0, 0});
    EXPECT_EQ(Int(), 2);
    Call("strscan", {text, "A", 0, 1});
    EXPECT_EQ(Int(), 2);
    // StrCnt alone goes byte by byte: the two trail bytes count as well.
    Call("strcnt", {text, "A", 0, -1, 1});
    EXPECT_EQ(Int(), 3);
    Call("strcnt", {text, "a", 0, -1, 0});
    EXPECT_EQ(Int(), 3);
    Call("strcnt", {text, "AA", 0, -1, 1});
    EXPECT_EQ(Int(), 1);   // from the first trail byte on
    Call("strsub", {text, 2, 2});
    EXPECT_EQ(Narrow(), std::string("A") + ka);
    Call("strindexwild", {text, "A*", 0});
    EXPECT_EQ(Int(), 2);
    Call("strlenwild", {text, "?A", 1});
    EXPECT_EQ(Int(), 3);   // bytes: the double-byte character and the 'A'
    Call("strsubwild", {text, "?", 1});
    EXPECT_EQ(Narrow(), ka);
}

TEST_F(StrSearchDbcs, CaseFoldingTouchesATrailByteInStrCntAlone)
{
    // 83 61 and 83 41 are different characters although 'a' and 'A' fold together.
    Call("strindexnc", {"\x83\x61", "\x83\x41", 0, 0});
    EXPECT_EQ(Int(), 0);
    // StrCnt folds byte by byte, a trail byte as any other.
    Call("strcnt", {"\x83\x61", "\x83\x41", 0, -1, 0});
    EXPECT_EQ(Int(), 1);
}
