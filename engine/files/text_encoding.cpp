// The UTF-8 test and the encoding guess of FileEncoding.
#include "engine/files/text_encoding.h"

#include <windows.h>

#include <cstring>

namespace {

// The trail bytes a lead byte announces, or -1 for a byte that cannot start a character.
int TrailCount(uint8_t lead)
{
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return -1;
}

constexpr int UTF16_TESTS = IS_TEXT_UNICODE_ASCII16 | IS_TEXT_UNICODE_STATISTICS | IS_TEXT_UNICODE_SIGNATURE |
                            IS_TEXT_UNICODE_REVERSE_ASCII16 | IS_TEXT_UNICODE_REVERSE_STATISTICS |
                            IS_TEXT_UNICODE_REVERSE_SIGNATURE | IS_TEXT_UNICODE_NULL_BYTES;   // 0x10BB
constexpr int UTF16_REVERSE = IS_TEXT_UNICODE_REVERSE_ASCII16 | IS_TEXT_UNICODE_REVERSE_STATISTICS |
                              IS_TEXT_UNICODE_REVERSE_SIGNATURE;                              // 0xB0
constexpr int UTF16_FORWARD = IS_TEXT_UNICODE_ASCII16 | IS_TEXT_UNICODE_STATISTICS | IS_TEXT_UNICODE_SIGNATURE;

}  // namespace

int Utf8Test(const uint8_t* bytes, size_t count, bool* invalid)
{
    *invalid = false;
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return 1;
    bool multiByte = false;
    size_t i = 0;
    while (i < count) {
        uint8_t lead = bytes[i++];
        if (lead == 0)
            return 0;
        int trail = TrailCount(lead);
        if (trail < 0) {
            *invalid = true;
            return 0;
        }
        if (trail == 0)
            continue;
        for (int k = 0; k < trail; ++k) {
            if (i >= count)
                return 0;                       // ends inside a sequence
            if ((bytes[i++] & 0xC0) != 0x80) {
                *invalid = true;
                return 0;
            }
        }
        multiByte = true;
    }
    return multiByte ? 1 : 0;
}

int32_t TextEncodingTest(const uint8_t* bytes, size_t count)
{
    if (count == 0)
        return TEXT_NONE;
    if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return TEXT_UTF16LE;
    if (count >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
        return TEXT_UTF16BE;
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return TEXT_UTF8;

    if (std::memchr(bytes, 0, count)) {
        // IsTextUnicode takes an int length; past that the first 2 GB decide.
        int length = count > 0x7FFFFFFE ? 0x7FFFFFFE : static_cast<int>(count);
        INT tests = UTF16_TESTS;
        IsTextUnicode(bytes, length, &tests);
        if (tests & UTF16_REVERSE)
            return TEXT_UTF16BE;
        if (tests & UTF16_FORWARD)
            return TEXT_UTF16LE;
        return TEXT_NONE;
    }
    bool invalid = false;
    if (Utf8Test(bytes, count, &invalid))
        return TEXT_UTF8;
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] > 127)
            return TEXT_8BIT;
    return TEXT_ASCII;
}
