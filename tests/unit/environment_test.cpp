// The wide-text hash: FNV-1a over 16-bit units (values from an independent FNV-1a).
#include <gtest/gtest.h>

#include <string>

#include "engine/system/environment.h"

namespace {

TEST(Fnv1aHashW, HashesSixteenBitUnits)
{
    EXPECT_EQ(Fnv1aHashW(L""), 0x811C9DC5u);
    EXPECT_EQ(Fnv1aHashW(L"abc"), 0x1A47E90Bu);
    EXPECT_EQ(Fnv1aHashW(L"\u00e9\u20ac"), 0xFDCA1138u);
    std::wstring long_text;
    for (int i = 0; i < 1000; ++i)
        long_text += static_cast<wchar_t>(i % 3 ? 0x41 + (i * 7) % 50 : 0x4E00 + i);
    EXPECT_EQ(Fnv1aHashW(long_text.c_str()), 0xC21B6025u);
    // The same text in code page 1252 (the bytes E9 80 widened) hashes differently.
    EXPECT_NE(Fnv1aHashW(L"\u00e9\u0080"), Fnv1aHashW(L"\u00e9\u20ac"));
    EXPECT_EQ(Fnv1aHashW(L"\u00e9\u0080"), 0xD9FC388Cu);
}

}  // namespace
