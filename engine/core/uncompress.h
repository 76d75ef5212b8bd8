// Inflating a zlib stream in place: the attached script and extracted files arrive this way.
#pragma once

#include <cstdint>

// Inflates the zlib stream of `compressedSize` bytes at the start of `buffer` into the same
// buffer, which holds `capacity` bytes, and puts a 0 byte after the inflated data.
// Answers the inflated size, or -1 when the stream is damaged, the arguments are unusable or
// the output and its trailing 0 would not fit; on -1 the buffer is left as it was.
extern "C" int64_t UncompressBuffer(uint8_t* buffer, uint64_t compressedSize, uint64_t capacity);
