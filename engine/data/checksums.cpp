// MD5 as RFC 1321 defines it, and the two reflected CRCs.
#include "engine/data/checksums.h"

#include <cstring>

// ---------------------------------------------------------------- MD5

namespace {

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// Little-endian words to bytes and back.
void Md5Encode(uint8_t* out, const uint32_t* in, size_t bytes)
{
    for (size_t i = 0, j = 0; j < bytes; ++i, j += 4) {
        out[j] = uint8_t(in[i]);
        out[j + 1] = uint8_t(in[i] >> 8);
        out[j + 2] = uint8_t(in[i] >> 16);
        out[j + 3] = uint8_t(in[i] >> 24);
    }
}

void Md5Decode(uint32_t* out, const uint8_t* in, size_t bytes)
{
    for (size_t i = 0, j = 0; j < bytes; ++i, j += 4)
        out[i] = uint32_t(in[j]) | uint32_t(in[j + 1]) << 8 | uint32_t(in[j + 2]) << 16 | uint32_t(in[j + 3]) << 24;
}

// The four rounds of RFC 1321 over one 64-byte block.
void Md5Transform(uint32_t state[4], const uint8_t block[64])
{
    static const uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
    };
    static const int shifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    uint32_t x[16];
    Md5Decode(x, block, 64);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        int round = i / 16;
        uint32_t f;
        int g;
        switch (round) {
        case 0: f = (b & c) | (~b & d); g = i; break;
        case 1: f = (b & d) | (c & ~d); g = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d; g = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d); g = (7 * i) % 16; break;
        }
        uint32_t next = b + RotateLeft(a + f + k[i] + x[g], shifts[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void Md5Init(Md5Context* md5)
{
    md5->count[0] = md5->count[1] = 0;
    md5->state[0] = 0x67452301;
    md5->state[1] = 0xefcdab89;
    md5->state[2] = 0x98badcfe;
    md5->state[3] = 0x10325476;
}

void Md5Update(Md5Context* md5, const uint8_t* data, size_t length)
{
    size_t used = (md5->count[0] >> 3) & 0x3F;
    uint64_t bits = (uint64_t(md5->count[1]) << 32 | md5->count[0]) + uint64_t(length) * 8;
    md5->count[0] = uint32_t(bits);
    md5->count[1] = uint32_t(bits >> 32);
    size_t room = 64 - used;
    size_t i = 0;
    if (length >= room) {
        std::memcpy(md5->block + used, data, room);
        Md5Transform(md5->state, md5->block);
        for (i = room; i + 63 < length; i += 64)
            Md5Transform(md5->state, data + i);
        used = 0;
    }
    std::memcpy(md5->block + used, data + i, length - i);
}

void Md5Final(Md5Context* md5, uint8_t digest[16])
{
    static const uint8_t padding[64] = {0x80};
    uint8_t bits[8];
    Md5Encode(bits, md5->count, 8);
    size_t used = (md5->count[0] >> 3) & 0x3F;
    Md5Update(md5, padding, used < 56 ? 56 - used : 120 - used);
    Md5Update(md5, bits, 8);
    Md5Encode(digest, md5->state, 16);
    std::memset(md5, 0, sizeof *md5);
}

// ---------------------------------------------------------------- CRCs

namespace {

template <typename Word>
void MakeReflectedTable(Word* entries, Word polynomial)
{
    for (uint32_t i = 0; i < 256; ++i) {
        Word value = Word(i);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? Word((value >> 1) ^ polynomial) : Word(value >> 1);
        entries[i] = value;
    }
}

template <typename Word>
Word UpdateReflected(const Word* entries, Word crc, const uint8_t* data, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        crc = Word(entries[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

}  // namespace

void Crc16MakeTable(Crc16Table* table) { MakeReflectedTable<uint16_t>(table->entries, 0xA001); }

uint16_t Crc16ArcUpdate(const Crc16Table& table, uint16_t crc, const uint8_t* data, size_t length)
{
    return UpdateReflected<uint16_t>(table.entries, crc, data, length);
}

void Crc32MakeTable(Crc32Table* table) { MakeReflectedTable<uint32_t>(table->entries, 0xEDB88320u); }

uint32_t Crc32Update(const Crc32Table& table, uint32_t crc, const uint8_t* data, size_t length)
{
    return UpdateReflected<uint32_t>(table.entries, crc, data, length);
}
