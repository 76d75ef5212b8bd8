// The static keyword table: order, ids, type counts and sample rows of the dispatch list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/core/keyword.h"

namespace {

const KeywordRecord* FindByName(const char* name)
{
    for (const KeywordRecord& r : g_KeywordTable)
        if (std::strcmp(r.name, name) == 0)
            return &r;
    return nullptr;
}

}  // namespace

TEST(KeywordTable, SortedInByteOrderWithIdEqualToPosition)
{
    for (uint32_t i = 0; i < NKEYTOKENS; ++i) {
        const KeywordRecord& r = g_KeywordTable[i];
        EXPECT_EQ(r.id, i) << r.name;
        EXPECT_EQ(r.nameLength, std::strlen(r.name)) << r.name;
        EXPECT_GT(r.nameLength, 0u);
        for (const char* p = r.name; *p; ++p)
            EXPECT_FALSE(*p >= 'A' && *p <= 'Z') << r.name;
        if (i > 0) {
            // Byte order: unsigned comparison, a prefix before the longer name.
            std::string prev = g_KeywordTable[i - 1].name, cur = r.name;
            EXPECT_LT(prev, cur) << "at " << i;
        }
    }
}

TEST(KeywordTable, TypeCountsAndReservedPosition)
{
    int counts[10] = {};
    for (uint32_t i = 0; i < NKEYTOKENS; ++i)
        if (i != KID_RESERVED) {
            ASSERT_LT(g_KeywordTable[i].type, 10u);
            ++counts[g_KeywordTable[i].type];
        }
    EXPECT_EQ(counts[KT_OPERATOR], 29);
    EXPECT_EQ(counts[KT_UNARY], 6);
    EXPECT_EQ(counts[KT_FUNCTION], 516);
    EXPECT_EQ(counts[KT_CONSTANT], 214);
    EXPECT_EQ(counts[KT_STATEMENT], 5);
    EXPECT_EQ(counts[KT_COMPARISON], 7);
    EXPECT_EQ(counts[KT_SPECIAL], 9);
    EXPECT_EQ(counts[KT_FLOW], 22);
    EXPECT_EQ(counts[7], 0);

    // The placeholder sits between iskeydown and isnumber and holds a character no word has.
    EXPECT_STREQ(g_KeywordTable[KID_RESERVED - 1].name, "iskeydown");
    EXPECT_STREQ(g_KeywordTable[KID_RESERVED + 1].name, "isnumber");
    EXPECT_NE(std::strchr(g_KeywordTable[KID_RESERVED].name, '?'), nullptr);

    for (const KeywordRecord& r : g_KeywordTable) {
        if (r.type == KT_CONSTANT) {
            EXPECT_EQ(r.name[0], '@') << r.name;
        }
        if (r.type != KT_FUNCTION) {
            EXPECT_EQ(r.signature, 0u) << r.name;
        }
    }
}

TEST(KeywordTable, SampleRows)
{
    struct Row { const char* name; uint32_t id, type, arity; uint64_t signature; };
    const Row rows[] = {
        {"!", 0, KT_UNARY, 0, 0},
        {"**", 8, KT_OPERATOR, 0, 0},
        {"<<=", 22, KT_OPERATOR, 0, 0},
        {"?oleobject", 34, KT_FUNCTION, 255, 0},
        {"about", 254, KT_FUNCTION, 0, 0},
        {"appexist", 258, KT_FUNCTION, 0x0201, 0x001},
        {"arrayslice", 274, KT_FUNCTION, 0x0803, 0x00000000003},
        {"by", 354, KT_OPERATOR, 0, 0},
        {"dllcall", 421, KT_FUNCTION, 255, 0},
        {"drop", 435, KT_SPECIAL, 0, 0},
        {"iskeydown", 539, KT_FUNCTION, 1, 0},
        {"isnumber", 541, KT_FUNCTION, 1, 0xF},
        {"mod", 571, KT_OPERATOR, 0, 0},
        {"mod=", 572, KT_OPERATOR, 0, 0},
        {"objectclrnew", 586, KT_FUNCTION, 0x0F01, 0xFFFFFFFFFFFFFFF5ull},
        {"runwithlogon", 666, KT_FUNCTION, 9, 0x077700777},
        {"strlen", 710, KT_FUNCTION, 1, 6},
        {"strclean", 695, KT_FUNCTION, 5, 0x00888},
        {"timezonelist", 745, KT_FUNCTION, 0x0100, 0},
        {"uacprotecteddirectory", 750, KT_FUNCTION, 1, 0xF},
        {"yield", 803, KT_STATEMENT, 0, 0},
        {"yields", 804, KT_FUNCTION, 1, 0},
        {"~", 808, KT_UNARY, 0, 0},
        // constants: the arity word is the value
        {"@crlf", 0, KT_CONSTANT, 0xFFF0F000, 0},
        {"@pi", 0, KT_CONSTANT, 0xF0F0F000, 0},
        {"@hidden", 0, KT_CONSTANT, 0xFFFFFFFF, 0},
        {"@regclasses", 0, KT_CONSTANT, 0x80000000, 0},
        {"@wholesection", 0, KT_CONSTANT, 692837, 0},
        {"@noresize", 0, KT_CONSTANT, 1000000000, 0},
    };
    for (const Row& row : rows) {
        const KeywordRecord* r = FindByName(row.name);
        ASSERT_NE(r, nullptr) << row.name;
        if (row.type != KT_CONSTANT) {
            EXPECT_EQ(r->id, row.id) << row.name;
        }
        EXPECT_EQ(r->type, row.type) << row.name;
        EXPECT_EQ(r->arity, row.arity) << row.name;
        EXPECT_EQ(r->signature, row.signature) << row.name;
    }
    EXPECT_EQ(ArgTypeOf(FindByName("strclean")->signature, 3), AT_STRING_BOTH);
    EXPECT_EQ(ArgTypeOf(FindByName("strclean")->signature, 4), AT_INT);
}
