// The names of waited keys: modifiers, named keys in braces, single characters, and the
// names that give no key.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/system/key_state.h"

namespace {

TEST(WaitedKey, NamesGiveKeyWords)
{
    struct Case {
        const char* name;
        int word;
    };
    const Case cases[] = {
        {"a", 0x0041},      {"Z", 0x005A},      {"7", 0x0037},         {"^a", 0x4041},
        {"+!x", 0xA058},    {"{F5}", 0x1074},   {"^+{f12}", 0xD07B},   {"{enter}", 0x000D},
        {"{NUMPAD*}", 0x106A}, {"{a}", 0x0041}, {"{{}", 0x00DB},       {"?", 0x00BF},
        {"ab", 0x0041},     {"{xyz}", 0x0058},  {"{F5", 0x0046},       {"{}", 0x00DD},
        {"^+", 0},          {"", 0},            {"{", 0},              {"!{", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WaitedKeyWord(c.name, std::strlen(c.name)), c.word) << c.name;
    // Only the given length is read.
    EXPECT_EQ(WaitedKeyWord("^b\tc", 2), 0x4042);
    EXPECT_EQ(NamedKeyWord("PGDN", 4), 0x1022);
    EXPECT_EQ(NamedKeyWord("pgdn", 4), 0);   // callers upper-case first
}

}  // namespace
