// The engine's own checksums: MD5 (RFC 1321), CRC-16/ARC and CRC-32 (the zlib and ISO-HDLC
// one). Each can be fed in pieces, so buffers and files of any length go through them.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- MD5

struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];       // the message length in bits, low word first
    uint8_t block[64];       // input waiting for a whole block
};

void Md5Init(Md5Context* md5);
void Md5Update(Md5Context* md5, const uint8_t* data, size_t length);
void Md5Final(Md5Context* md5, uint8_t digest[16]);

// ---------------------------------------------------------------- CRCs
// Reflected, table-driven: a table is made from the polynomial, then each byte updates the
// value as table[(value ^ byte) & 0xFF] ^ (value >> 8).

struct Crc16Table {
    uint16_t entries[256];
};
struct Crc32Table {
    uint32_t entries[256];
};

// CRC-16/ARC: polynomial 0xA001, initial value 0, no final inversion.
void Crc16MakeTable(Crc16Table* table);
uint16_t Crc16ArcUpdate(const Crc16Table& table, uint16_t crc, const uint8_t* data, size_t length);

// CRC-32: polynomial 0xEDB88320; start with 0xFFFFFFFF and invert the final value.
void Crc32MakeTable(Crc32Table* table);
uint32_t Crc32Update(const Crc32Table& table, uint32_t crc, const uint8_t* data, size_t length);
