// Guessing the text encoding of a block of bytes: the UTF-8 test and the encoding codes of
// FileEncoding.
#pragma once

#include <cstddef>
#include <cstdint>

// Encoding codes of FileEncoding.
enum : int32_t {
    TEXT_NONE = 0,       // not text: NUL bytes, or nothing at all
    TEXT_ASCII = 1,      // 7-bit text
    TEXT_UTF16LE = 2,
    TEXT_UTF16BE = 3,
    TEXT_UTF8 = 4,
    TEXT_8BIT = 5,       // 8-bit text of some other code page
};

// 1 when the bytes start with the UTF-8 byte-order mark, or hold at least one well-formed
// multi-byte sequence, only well-formed ones, no NUL byte, and do not end inside one.
// *invalid is set when a byte breaks the UTF-8 rules (a NUL byte only answers 0).
int Utf8Test(const uint8_t* bytes, size_t count, bool* invalid);

// The encoding code of a file's contents. Byte-order marks decide first; the UTF-16
// statistics are asked only when the data hold a NUL byte, so plain ASCII text of even
// length stays 7-bit text.
int32_t TextEncodingTest(const uint8_t* bytes, size_t count);
