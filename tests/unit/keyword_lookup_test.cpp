// Keyword lookup: the QuickLook index, word and operator mode, object expressions, and
// the user-defined, add-on and host tables.
#include "front_fixture.h"

#include "engine/native/addon_keywords.h"

namespace {

using KeywordLookupTest = FrontTest;

int Lookup(BDS* ctx, char* line, const char* text)
{
    std::snprintf(line, TEXTBUF, "%s", text);
    ctx->prog = line;
    ctx->delim_type = 7777;
    uint8_t c = static_cast<uint8_t>(text[0]);
    int word = IsCharAlphaA(static_cast<char>(c)) || c == '@' || c == '_';
    return FindKeyword(ctx, word) ? ctx->delim_type : -1;
}

TEST_F(KeywordLookupTest, QuickLookIndexIsSoundAndTheTableInOrder)
{
    BuildQuickLook();
    EXPECT_EQ(CountKeywordTableFaults(g_KeywordTable, NKEYTOKENS), 0);
    for (int c = 1; c < 128; ++c) {
        uint32_t at = g_QuickLook.index[c];
        EXPECT_EQ(at, g_QuickLook.shadow[c]);
        if (at < NKEYTOKENS) {
            EXPECT_GE(static_cast<uint8_t>(g_KeywordTable[at].name[0]), c);
        }
        if (at > 0 && at <= NKEYTOKENS) {
            EXPECT_LT(static_cast<uint8_t>(g_KeywordTable[at - 1].name[0]), c);
        }
    }
    EXPECT_EQ(g_QuickLook.index['~' + 1], NKEYTOKENS);

    KeywordRecord swapped[3] = {g_KeywordTable[1], g_KeywordTable[0], g_KeywordTable[2]};
    EXPECT_EQ(CountKeywordTableFaults(swapped, 3), 3);   // order, and two ids off place
}

TEST_F(KeywordLookupTest, StaticTable)
{
    EXPECT_EQ(Lookup(ctx, line_, "StrLen(x)"), 710);
    EXPECT_EQ(Lookup(ctx, line_, "mod= 2"), 572);
    EXPECT_EQ(Lookup(ctx, line_, "mod =2"), 571);
    int constant = Lookup(ctx, line_, "@TRUE");
    ASSERT_GE(constant, 0);
    EXPECT_STREQ(g_KeywordTable[constant].name, "@true");
    EXPECT_EQ(Lookup(ctx, line_, "strlens"), -1);
    EXPECT_EQ(Lookup(ctx, line_, "iskeydown?"), 539);        // the reserved slot is never found
    EXPECT_EQ(Lookup(ctx, line_, "**="), 8);
    EXPECT_EQ(Lookup(ctx, line_, "||x"), 807);
    EXPECT_EQ(Lookup(ctx, line_, "?oleobject"), 34);
    EXPECT_EQ(Lookup(ctx, line_, "\xC4x"), -1);
    EXPECT_EQ(Lookup(ctx, line_, (std::string(30, 'a')).c_str()), -1);
}

TEST_F(KeywordLookupTest, ObjectExpressions)
{
    EXPECT_EQ(Lookup(ctx, line_, "obj.member"), KID_OLEOBJECT);
    EXPECT_EQ(Lookup(ctx, line_, "if.x"), KID_OLEOBJECT);
    EXPECT_EQ(Lookup(ctx, line_, "a@b.c"), -1);
    EXPECT_EQ(Lookup(ctx, line_, "arr[1].x"), -1);          // not an array variable
    Exec({"arr[2] = 1", "p = &arr", "s = \"x\""});
    EXPECT_EQ(Lookup(ctx, line_, "arr[1, \"]\"][2].x"), KID_OLEOBJECT);
    EXPECT_EQ(Lookup(ctx, line_, "arr[1] = 2"), -1);
    EXPECT_EQ(Lookup(ctx, line_, "p[0].x"), KID_OLEOBJECT);  // a pointer to an array
    EXPECT_EQ(Lookup(ctx, line_, "s[0].x"), -1);
}

TEST_F(KeywordLookupTest, UserDefinedAddOnAndHostFunctions)
{
    UdfRecord udf{};
    std::strcpy(udf.name, "abc");
    udf.nameLength = 3;
    udf.kind = UDF_KIND_FUNCTION;
    ctx->pUdfRecords[0] = &udf;
    ctx->nUdfCount = 1;
    ctx->nUdfBlockTop = 0;
    EXPECT_EQ(Lookup(ctx, line_, "ABC(1)"), 4000);
    EXPECT_EQ(Lookup(ctx, line_, "abcd"), -1);

    ASSERT_EQ(NameMapCreate(ctx, 751), 1);
    ASSERT_TRUE(AddonRowsEnsure(ctx));
    AddonRows(ctx)[0] = {0, KT_FUNCTION, 0, 0, 6, "xtfunc"};
    ASSERT_EQ(NameMapInsert(ctx, "XtFunc", 0), 1);
    ctx->nNextExtEntry = 1;
    EXPECT_EQ(Lookup(ctx, line_, "xtfunc(1)"), 10000);
    EXPECT_EQ(Lookup(ctx, line_, "xtfuncs"), -1);

    KeywordRecord host[3] = {{0, KT_FUNCTION, 0, 1, 9, "hostprint"},
                             {1, KT_COMMAND, 0, 1, 4, "cout"},
                             {}};
    ctx->pHostKeywords = host;
    EXPECT_EQ(Lookup(ctx, line_, "HostPrint(1)"), 1000);
    EXPECT_EQ(Lookup(ctx, line_, "cout x"), 1001);
    EXPECT_EQ(Lookup(ctx, line_, "couts"), -1);

    AddonRowsFree(ctx);
    NameMapDestroy(ctx);
    ctx->pHostKeywords = nullptr;
    ctx->pUdfRecords[0] = nullptr;
    ctx->nUdfCount = 0;
}

TEST_F(KeywordLookupTest, NameMap)
{
    EXPECT_EQ(NameMapLookup(ctx, "x"), 9999u);
    EXPECT_EQ(NameMapInsert(ctx, "x", 1), 1);            // no map: nothing happens
    ASSERT_EQ(NameMapCreate(ctx, 16), 1);
    EXPECT_EQ(NameMapHash(""), 0x811C9DC5u);
    EXPECT_EQ(NameMapHash("ABC"), NameMapHash("abc"));
    std::string longName(40, 'q');
    for (int i = 0; i < 40; ++i)
        NameMapInsert(ctx, ("name" + std::to_string(i)).c_str(), static_cast<uint32_t>(i));
    NameMapInsert(ctx, longName.c_str(), 77);
    EXPECT_EQ(NameMapLookup(ctx, "NAME17"), 17u);
    EXPECT_EQ(NameMapLookup(ctx, std::string(31, 'q').c_str()), 77u);   // keys cut to 31
    NameMapInsert(ctx, "name17", 5);
    EXPECT_EQ(NameMapLookup(ctx, "name17"), 5u);
    EXPECT_EQ(NameMapRemove(ctx, "Name17"), 1);
    EXPECT_EQ(NameMapRemove(ctx, "name17"), 0);
    EXPECT_EQ(NameMapLookup(ctx, "name17"), 9999u);
    for (int i = 0; i < 40; ++i)
        NameMapRemove(ctx, ("name" + std::to_string(i)).c_str());
    NameMapRemove(ctx, longName.c_str());
    NameMapInsert(ctx, "again", 3);                       // storage made anew after emptying
    EXPECT_EQ(NameMapLookup(ctx, "AGAIN"), 3u);
    EXPECT_EQ(NameMapDestroy(ctx), 1);
    EXPECT_EQ(NameMapDestroy(ctx), 0);
}

}  // namespace
