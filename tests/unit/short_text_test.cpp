// The inline copies and comparisons of short texts that the tokenizer and the calls use in
// place of the runtime's: every length across their branches, against memcpy and strcmp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/core/short_text.h"

namespace {

TEST(ShortText, CopyBytesCopiesExactlyTheBytesAsked)
{
    char source[64];
    for (int i = 0; i < 64; ++i)
        source[i] = static_cast<char>('A' + i % 26);
    for (size_t n = 0; n <= 48; ++n) {
        char target[64];
        std::memset(target, '#', sizeof target);
        CopyBytes(target + 1, source + 3, n);
        EXPECT_EQ(target[0], '#') << n;
        EXPECT_EQ(std::memcmp(target + 1, source + 3, n), 0) << n;
        for (size_t i = n + 1; i < sizeof target; ++i)
            ASSERT_EQ(target[i], '#') << "length " << n << ", byte " << i;
    }
}

TEST(ShortText, SameTextInAgreesWithStrcmp)
{
    constexpr size_t kSize = 260;   // a path buffer, as the calls compare them
    struct Case {
        std::string a, b;
    } cases[] = {
        {"", ""},
        {"a", ""},
        {"C:\\work\\x.zal", "C:\\work\\x.zal"},
        {"C:\\work\\x.zal", "C:\\work\\y.zal"},
        {"1234567", "1234567"},           // ends inside the first word
        {"12345678", "12345678"},         // ends on a word's edge
        {"12345678", "123456789"},
        {"abcdefgh12345678", "abcdefgh12345670"},
        {std::string(259, 'p'), std::string(259, 'p')},   // fills the buffer
        {std::string(259, 'p'), std::string(258, 'p') + "q"},
        {std::string(100, 'p') + "Z", std::string(100, 'p') + "z"},
    };
    for (const Case& c : cases) {
        char a[kSize], b[kSize];
        // Different bytes behind the ends: they must not count.
        std::memset(a, 'x', sizeof a);
        std::memset(b, 'y', sizeof b);
        std::memcpy(a, c.a.c_str(), c.a.size() + 1);
        std::memcpy(b, c.b.c_str(), c.b.size() + 1);
        bool expected = std::strcmp(a, b) == 0;
        EXPECT_EQ(SameTextIn(a, b, kSize), expected) << c.a.size() << " / " << c.b.size();
        EXPECT_EQ(SameTextIn(b, a, kSize), expected) << c.b.size() << " / " << c.a.size();
    }
}

}  // namespace
