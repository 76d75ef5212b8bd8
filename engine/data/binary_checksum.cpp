// BinaryChecksum: the MD5, CRC-16, CRC-32, SHA-1 or SHA-256 value of a buffer's data as hex
// text. MD5 and the CRCs are the engine's own (engine/data/checksums.h); the SHA digests come
// from the system's CNG library (engine/data/cng_hash.h).
#include <cstdio>

#include "engine/core/system_flags.h"
#include "engine/data/binary_internal.h"
#include "engine/data/checksums.h"
#include "engine/data/cng_hash.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_BAD_REQUEST = 1704,        // "BinaryChecksum: Invalid request"
};

constexpr uint32_t DIGEST_ROOM = 2050;

// The pieces the engine's own checksums are fed in (their lengths are size_t on every
// platform; the loop keeps any EOD safe).
template <typename Feed>
void FeedData(const BinaryBufferSlot* slot, Feed feed)
{
    const uint64_t piece = 1ull << 30;
    for (uint64_t done = 0; done < uint64_t(slot->eod);) {
        uint64_t n = uint64_t(slot->eod) - done < piece ? uint64_t(slot->eod) - done : piece;
        feed(slot->data + done, size_t(n));
        done += n;
    }
}

void HexBytes(char* out, const uint8_t* bytes, uint32_t n, const char* format)
{
    for (uint32_t i = 0; i < n; ++i)
        std::snprintf(out + 2 * i, 3, format, bytes[i]);
}

void CaseChecksum(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int32_t request = ArgInt(call, 2);
    char text[2 * DIGEST_ROOM + 1] = "";
    switch (request) {
    case 0: {
        Md5Context md5;
        Md5Init(&md5);
        FeedData(slot, [&](const uint8_t* p, size_t n) { Md5Update(&md5, p, n); });
        uint8_t digest[16];
        Md5Final(&md5, digest);
        // Four groups of four bytes, joined by "-".
        char* out = text;
        for (int group = 0; group < 4; ++group) {
            if (group)
                *out++ = '-';
            HexBytes(out, digest + 4 * group, 4, "%02x");
            out += 8;
        }
        break;
    }
    case 1: {
        Crc16Table table;
        Crc16MakeTable(&table);
        uint16_t crc = 0;
        FeedData(slot, [&](const uint8_t* p, size_t n) { crc = Crc16ArcUpdate(table, crc, p, n); });
        std::snprintf(text, sizeof text, "%04x", unsigned(crc));
        break;
    }
    case 2: {
        Crc32Table table;
        Crc32MakeTable(&table);
        uint32_t crc = 0xFFFFFFFFu;
        FeedData(slot, [&](const uint8_t* p, size_t n) { crc = Crc32Update(table, crc, p, n); });
        std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(~crc));
        break;
    }
    case 3:
    case 4: {
        if (!SystemFacts().OsIsVistaPlus) {
            SetError(ctx, ERR_BAD_REQUEST);
            return;
        }
        uint8_t digest[DIGEST_ROOM];
        uint32_t size = DIGEST_ROOM;
        if (!HashBufferCng(ctx, slot->data, uint64_t(slot->eod), request == 3 ? L"SHA1" : L"SHA256", digest, &size))
            return;
        HexBytes(text, digest, size, "%02X");
        break;
    }
    default:
        SetError(ctx, ERR_BAD_REQUEST);
        return;
    }
    SetResultText(ctx, call.result, text);
}

const BuiltinRow kRows[] = {
    {299, CaseChecksum},   // binarychecksum
};

}  // namespace

const BuiltinFamily g_BinaryChecksumBuiltins = {"binary buffer checksums", kRows,
                                                int(sizeof(kRows) / sizeof(kRows[0]))};
