// The shared text helpers: the text buffer's growth, counting and search in double-byte
// text, the wildcard matcher's anchored, non-backtracking rule, and the one-byte item
// helpers used outside the text built-ins.
#include "text_fixture.h"

using TextHelpers = TextTest;

TEST_F(TextHelpers, BuilderGrowsByTwiceTheNeededLength)
{
    StrBuilder b;
    StrBuilderInit(&b);
    std::string part(300, 'x');
    ASSERT_EQ(StrBuilderAppend(ctx, &b, part.c_str()), 1);
    EXPECT_EQ(b.capacity, 256u + 600u);
    ASSERT_EQ(StrBuilderAppend(ctx, &b, "yz"), 1);
    EXPECT_EQ(b.length, 302u);
    EXPECT_EQ(std::string(b.data), part + "yz");
    StrBuilderFree(&b);
    EXPECT_EQ(b.data, b.inlineBuf);
    EXPECT_EQ(b.length, 0u);
    ASSERT_EQ(StrBuilderAppend(ctx, &b, "abc"), 1);   // reusable after being freed
    EXPECT_EQ(std::string(b.data), "abc");
    StrBuilderFree(&b);
}

TEST_F(TextHelpers, WildcardsAreAnchoredAndDoNotBacktrack)
{
    struct Case { const char* text; const char* pattern; int want; };
    const Case cases[] = {
        {"Hello.txt", "*.TXT", 9}, {"Hello", "h?l", 3},  {"Hello", "x*", 0},   {"Hello", "", 0},
        {"", "*", 0},              {"abc", "abc**", 3},  {"aaxc", "*a?c", 0},  {"abc", "ab", 2},
        {"abc", "a*", 3},          {"abc", "*b", 2},     {"abc", "?", 1},      {"abc", "????", 0},
        {"abc", "*", 3},           {"abcbd", "*b?", 3},  {"ab", "a*c", 0},     {"ABC", "abc", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildMatchA(ctx, c.text, c.pattern), c.want) << c.text << ' ' << c.pattern;
        std::wstring text(c.text, c.text + std::strlen(c.text));
        std::wstring pattern(c.pattern, c.pattern + std::strlen(c.pattern));
        EXPECT_EQ(WildMatchW(ctx, text.c_str(), pattern.c_str()), c.want) << c.text << ' ' << c.pattern;
    }
}

TEST_F(TextHelpers, SearchesReturnNullForEmptyPatterns)
{
    EXPECT_EQ(FindSubstringA(ctx, "abc", ""), nullptr);
    EXPECT_EQ(FindSubstringNoCaseA(ctx, "abc", ""), nullptr);
    EXPECT_EQ(FindSubstringW(L"abc", L""), nullptr);
    const char* text = "aXbxc";
    EXPECT_EQ(FindSubstringNoCaseA(ctx, text, "XC"), text + 3);
    EXPECT_EQ(FindSubstringA(ctx, text, "xc"), text + 3);
    const wchar_t* wtext = L"aXbxc";
    EXPECT_EQ(FindSubstringNoCaseW(wtext, L"bX"), wtext + 2);
    const char* path = "c:\\a/b";
    EXPECT_EQ(FindLastSlashA(ctx, path), path + 4);
    const char* drive = "c:x";
    EXPECT_EQ(FindLastPathSepA(ctx, drive), drive + 1);
    const char* spaced = "a b \t";
    EXPECT_EQ(LastNonBlankA(ctx, spaced), spaced + 2);
    EXPECT_EQ(LastNonBlankA(ctx, " \t"), nullptr);
    const char* nul = "a";
    EXPECT_EQ(NextCharA(ctx, nul + 1), nul + 2) << "steps over the terminating NUL";
}

TEST_F(TextHelpers, DoubleByteTextIsWalkedByCharacter)
{
    ShiftJisSystem shiftJis;
    const char* text = "\x83\x41\x95\x5c";   // two characters, trail bytes 'A' and '\'
    EXPECT_EQ(CharCountA(ctx, text), 2);
    EXPECT_EQ(StrLenW(L"\u30a2\u8868"), 2);
    EXPECT_EQ(FindCharA(ctx, text, 'A'), nullptr);
    EXPECT_EQ(FindSubstringA(ctx, text, "A"), nullptr);
    EXPECT_EQ(FindLastSlashA(ctx, text), nullptr);
    EXPECT_EQ(LastCharPtrA(ctx, text), text + 2);
    EXPECT_EQ(NextCharA(ctx, text), text + 2);
    EXPECT_EQ(CharEqualDbcs(ctx, "\x83\x41", "\x83\x42"), 0);
    EXPECT_EQ(CharEqualNoCaseA(ctx, "\x83\x61", "\x83\x41"), 0);
    EXPECT_EQ(WildMatchA(ctx, text, "?\\"), 0);
    EXPECT_EQ(WildMatchA(ctx, text, "??"), 4);
    // Full-width Latin letters fold as letters: U+FF41 is 82 81, U+FF21 is 82 60.
    EXPECT_EQ(CharEqualNoCaseA(ctx, "\x82\x81", "\x82\x60"), 1);
}

// The set of a characters list answers what a scan of the list with the character
// equality would, in a double-byte code page and without case too.
TEST_F(TextHelpers, CharListSetAgreesWithTheCharacterEquality)
{
    ShiftJisSystem shiftJis;
    const CodePageTables& t = TextTables(ctx);
    // A list of one-byte letters, a double-byte letter (full-width a, 82 81), a kana (83 41,
    // trail byte 'A'), and a lead byte alone at the end.
    const char* list = "xY\x82\x81\x83\x41\x95";
    const char* probes[] = {"x", "X", "y", "Y", "A", "a", "\x82\x81", "\x82\x60", "\x83\x41",
                            "\x83\x42", "\x95", "\x95\x5c", "z"};
    for (bool noCase : {false, true}) {
        CharListSet set(t, list, noCase);
        for (size_t i = 0; i < sizeof probes / sizeof probes[0]; ++i) {
            bool scanned = false;
            for (const char* d = list; *d; d = CharStep(t, d))
                scanned = scanned || CharEqualA(t, probes[i], d, noCase);
            EXPECT_EQ(set.has(probes[i]), scanned) << "noCase " << noCase << " probe " << i;
        }
    }
    for (bool noCase : {false, true}) {
        CharListSet set(L"xY\u00e9\xd800", noCase);
        for (const wchar_t* p : {L"x", L"X", L"y", L"\u00c9", L"\u00e9", L"\xd800", L"z"}) {
            bool scanned = false;
            for (const wchar_t* d = L"xY\u00e9\xd800"; *d; ++d)
                scanned = scanned || (noCase ? FoldUnitW(*d) == FoldUnitW(*p) : *d == *p);
            EXPECT_EQ(set.has(p), scanned) << "noCase " << noCase << " unit " << int(*p);
        }
    }
}

TEST_F(TextHelpers, ItemCopyAndItemToInteger)
{
    char out[8];
    EXPECT_EQ(ItemCopyA(ctx, "a,b", ',', 3, out, sizeof out), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ItemCopyA(ctx, "a,bcdefghijk", ',', 2, out, sizeof out), 1);
    EXPECT_STREQ(out, "bcdefgh");   // cut to the buffer
    EXPECT_EQ(ItemCopyA(ctx, nullptr, ',', 1, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ItemCopyA(ctx, "a", ',', 1, nullptr, 4), 0);
    EXPECT_EQ(ItemCopyA(ctx, "a,,c", ',', 3, out, sizeof out), 1);
    EXPECT_STREQ(out, "c");

    EXPECT_EQ(ItemToIntegerA(ctx, "1| -42 |x", '|', 2), -42);
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(ItemToIntegerA(ctx, "1| -42 |x", '|', 3), 0);
    EXPECT_EQ(Error(), 1688);
    ctx->nErrorCode = 0;
    EXPECT_EQ(ItemToIntegerA(ctx, "1,,3", ',', 2), 0);
    EXPECT_EQ(Error(), 1688);
    ctx->nErrorCode = 0;
    EXPECT_EQ(ItemToIntegerA(ctx, "1,2", ',', 5), 0);
    EXPECT_EQ(Error(), 0) << "past the last item: no error";
    EXPECT_EQ(ItemToIntegerA(ctx, nullptr, ',', 1), 0);
    EXPECT_EQ(ItemToIntegerA(ctx, "2147483648", ',', 1), 0);
    EXPECT_EQ(Error(), 1688);
    ctx->nErrorCode = 0;
    EXPECT_EQ(ItemToIntegerA(ctx, "-2147483648", ',', 1), INT32_MIN);

    ShiftJisSystem shiftJis;
    EXPECT_EQ(ItemCopyA(ctx, "\x95\x5c\\x", '\\', 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "\x95\x5c");
}

// The context code page (what ChrSetCodePage sets) converts text; it never decides how
// ANSI text is walked or folded, which is the system's business both ways round.
TEST_F(TextHelpers, TheContextCodePageLeavesWalkingAndFoldingAlone)
{
    UINT systemPage = GetACP();
    ctx->nCodePage = systemPage == 932 ? 1252 : 932;
    // 82 61: one character where the system has Shift-JIS lead bytes, two elsewhere.
    EXPECT_EQ(CharCountA(ctx, "\x82\x61"), systemPage == 932 ? 1 : 2);
    EXPECT_EQ(TextTables(ctx).codePage, systemPage);
    EXPECT_EQ(TextTables(ctx).upper['a'], 'A');
    {
        ShiftJisSystem shiftJis;
        ctx->nCodePage = 1252;
        EXPECT_EQ(CharCountA(ctx, "\x82\x61"), 1);
        EXPECT_EQ(FindCharA(ctx, "\x82\x61", 'a'), nullptr);
    }
    EXPECT_EQ(TextTables(ctx).codePage, systemPage) << "the test's code page is gone again";
}
