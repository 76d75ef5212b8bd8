// The UTF-8 test behind FileEncoding: well-formed sequences, broken ones, and data that end
// inside a sequence.
#include <gtest/gtest.h>

#include <string>

#include "engine/files/text_encoding.h"

TEST(Utf8Test, JudgesSequences)
{
    struct Case {
        std::string bytes;
        int answer;
        bool invalid;
    };
    const Case cases[] = {
        {"plain ascii", 0, false},
        {"\xC3\xA9", 1, false},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", 1, false},
        {"\xEF\xBB\xBF", 1, false},                 // the mark alone
        {"\xEF\xBB\xBF\xFF", 1, false},             // the mark decides at once
        {"\xC3", 0, false},                         // ends inside a sequence
        {"ab\xE2\x82", 0, false},
        {std::string("\xC3\xA9\0x", 4), 0, false},  // a NUL byte is no text
        {"\xC3(", 0, true},                         // a trail byte missing
        {"\x80", 0, true},                          // a lone trail byte
        {"\xC0\x80", 0, true},                      // an overlong lead
        {"\xF5\x80\x80\x80", 0, true},              // beyond U+10FFFF
    };
    for (const Case& c : cases) {
        bool invalid = !c.invalid;
        EXPECT_EQ(Utf8Test(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &invalid), c.answer)
            << c.bytes;
        EXPECT_EQ(invalid, c.invalid) << c.bytes;
    }
}
