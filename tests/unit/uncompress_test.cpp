// UncompressBuffer: in-place inflation that never writes past its capacity.
#include <gtest/gtest.h>

#include <zlib.h>
#include <cstdint>
#include <vector>

#include "engine/core/uncompress.h"

namespace {

std::vector<uint8_t> Text(size_t n)
{
    std::vector<uint8_t> text(n);
    for (size_t i = 0; i < n; ++i)
        text[i] = static_cast<uint8_t>("abcdefgh ij\n"[i % 12] + (i / 97) % 3);
    return text;
}

// A buffer of `capacity` bytes that starts with the zlib stream of `plain`; the rest is 0xEE.
std::vector<uint8_t> Packed(const std::vector<uint8_t>& plain, size_t capacity, uLongf* streamSize)
{
    std::vector<uint8_t> stream(compressBound(plain.size()));
    *streamSize = stream.size();
    EXPECT_EQ(compress2(stream.data(), streamSize, plain.data(), plain.size(), 9), Z_OK);
    std::vector<uint8_t> buffer(capacity, 0xEE);
    std::copy(stream.begin(), stream.begin() + *streamSize, buffer.begin());
    return buffer;
}

}  // namespace

TEST(UncompressBuffer, InflatesInPlaceWithATrailingZero)
{
    auto plain = Text(3270);
    uLongf size;
    auto buffer = Packed(plain, 3271, &size);
    ASSERT_EQ(UncompressBuffer(buffer.data(), size, buffer.size()), 3270);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), buffer.begin()));
    EXPECT_EQ(buffer[3270], 0);
}

TEST(UncompressBuffer, RefusesOutputWithoutRoomForTheZero)
{
    auto plain = Text(3270);
    for (size_t capacity : {size_t(3270), size_t(3000)}) {
        uLongf size;
        auto buffer = Packed(plain, capacity, &size);
        auto before = buffer;
        EXPECT_EQ(UncompressBuffer(buffer.data(), size, buffer.size()), -1) << capacity;
        EXPECT_EQ(buffer, before) << capacity;
    }
}

TEST(UncompressBuffer, DamagedStreamLeavesTheBufferUnchanged)
{
    auto plain = Text(3270);
    uLongf size;
    auto damaged = Packed(plain, 3271, &size);
    damaged[size / 2] ^= 0x5A;                       // corrupt the middle
    auto truncated = Packed(plain, 3271, &size);     // cut the stream short
    for (auto* buffer : {&damaged, &truncated}) {
        auto before = *buffer;
        uint64_t length = buffer == &truncated ? size - 6 : size;
        EXPECT_EQ(UncompressBuffer(buffer->data(), length, buffer->size()), -1);
        EXPECT_EQ(*buffer, before);
    }
}

TEST(UncompressBuffer, RejectsUnusableArguments)
{
    auto plain = Text(100);
    uLongf size;
    auto buffer = Packed(plain, 200, &size);
    EXPECT_EQ(UncompressBuffer(nullptr, size, 200), -1);
    EXPECT_EQ(UncompressBuffer(buffer.data(), 0, 200), -1);
    EXPECT_EQ(UncompressBuffer(buffer.data(), size, 0), -1);
    EXPECT_EQ(UncompressBuffer(buffer.data(), 300, 200), -1);   // stream longer than the buffer
    buffer[0] = 0;
    EXPECT_EQ(UncompressBuffer(buffer.data(), size, 200), -1);
}
