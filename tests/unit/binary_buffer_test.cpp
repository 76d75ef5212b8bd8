// The binary-buffer entrance that other subsystems call (allocation, DllStruct marks, the
// peek and poke routines with their result forms), the engine's own MD5 fed in pieces, and
// the CNG layer's buffer and file digests.
#include "value_fixture.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/data/binary_buffer.h"
#include "engine/data/checksums.h"
#include "engine/data/cng_hash.h"
#include "settings_sandbox.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

class BinaryBufferTest : public ValueTest {
protected:
    void TearDown() override
    {
        BinaryFreeAll(ctx);
        CngUnbind(ctx);
        ValueTest::TearDown();
    }
};

TEST_F(BinaryBufferTest, AllocatorKeepsBuffersThatAStructureUses)
{
    int32_t handle = DoBinaryAlloc(ctx, 16);
    ASSERT_EQ(handle, int32_t(BINARY_HANDLE_BASE));
    BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(BinaryHandleToSlot(ctx, handle), 0);
    EXPECT_EQ(slot->data, static_cast<uint8_t*>(GlobalLock(slot->hMem)));   // locked for its life
    GlobalUnlock(slot->hMem);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(slot->data), 16), std::string(16, '\0'));

    ASSERT_TRUE(BinaryStructUse(ctx, handle));
    EXPECT_TRUE(StructUsesBuffer(ctx, handle));
    EXPECT_EQ(DoBinaryFree(ctx, handle), 0);
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_NE(BinarySlotQuiet(ctx, handle), nullptr);   // kept for the structure
    BinaryStructRelease(ctx, handle);
    EXPECT_EQ(DoBinaryFree(ctx, handle), 0);
    EXPECT_EQ(BinarySlotQuiet(ctx, handle), nullptr);

    EXPECT_EQ(BinaryHandleToSlot(ctx, handle), BINARY_NO_SLOT);
    EXPECT_EQ(ctx->nErrorCode, 3023);
    ctx->nErrorCode = 0;
    EXPECT_FALSE(BinaryStructUse(ctx, handle + 200));
    EXPECT_EQ(ctx->nErrorCode, 3023);

    // Tear-down frees a marked buffer too.
    ctx->nErrorCode = 0;
    handle = DoBinaryAlloc(ctx, 4);
    BinaryStructUse(ctx, handle);
    BinaryFreeAll(ctx);
    EXPECT_EQ(BinarySlotQuiet(ctx, handle), nullptr);
}

TEST_F(BinaryBufferTest, EightByteValuesInEveryResultForm)
{
    int32_t handle = DoBinaryAlloc(ctx, 16);
    resultants value, result;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    InitResultValue(ctx, &result, VK_RECORD, 0);
    value.flags = VF_INT64;
    value.i64 = INT64_MIN + 5;
    DoBinaryPeekPoke8(ctx, nullptr, handle, 0, 0, &value);   // write only
    ASSERT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(BinarySlotQuiet(ctx, handle)->eod, 8);

    DoBinaryPeekPoke8(ctx, &result, handle, 0, VF_INT64, nullptr);
    EXPECT_EQ(result.flags, uint32_t(VF_INT64));
    EXPECT_EQ(result.i64, INT64_MIN + 5);
    DoBinaryPeekPoke8(ctx, &result, handle, 0, VF_UNICODE, nullptr);
    ASSERT_EQ(result.flags, uint32_t(VF_UNICODE));
    EXPECT_EQ(std::wstring(ValueWText(ctx, &result)), L"-9223372036854775803");
    DoBinaryPeekPoke8(ctx, &result, handle, 0, 0, nullptr);   // too large for 32 bits: text
    EXPECT_EQ(TextOf(result), "-9223372036854775803");
    DoBinaryPeekPoke8(ctx, &result, handle, 8, 0, nullptr);   // fits: an integer
    EXPECT_EQ(result.flags, uint32_t(VF_INT));
    EXPECT_EQ(result.i32, 0);
    FreeValue(ctx, &result, 0, VK_RECORD);

    // The option of other subsystems: the end of data first becomes offset + maxsize.
    std::memcpy(BinarySlotQuiet(ctx, handle)->data + 10, "xyz", 3);
    DoBinaryPeekStr(ctx, &result, handle, 10, 100, true);
    EXPECT_EQ(TextOf(result), "xyz");
    EXPECT_EQ(BinarySlotQuiet(ctx, handle)->eod, 16);   // cut at the size
    FreeValue(ctx, &result, 0, VK_RECORD);

    ctx->err.bQuietMode = 1;   // the internal-error box is kept, not shown
    EXPECT_EQ(DoBinaryPeekPoke(ctx, handle, false, 0, 0, false, 3), 0);   // no such width
    EXPECT_EQ(ctx->nErrorCode, 1425);
}

TEST(Checksums, Md5FedInPiecesMatchesTheKnownDigests)
{
    struct Case {
        std::string text;
        const char* md5;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    };
    for (const Case& c : cases) {
        for (size_t piece : {size_t(1), size_t(7), size_t(64), size_t(1000)}) {
            Md5Context md5;
            Md5Init(&md5);
            for (size_t at = 0; at < c.text.size(); at += piece)
                Md5Update(&md5, reinterpret_cast<const uint8_t*>(c.text.data()) + at,
                          std::min(piece, c.text.size() - at));
            uint8_t digest[16];
            Md5Final(&md5, digest);
            EXPECT_EQ(Hex(digest, 16), c.md5) << c.text.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST_F(BinaryBufferTest, CngHashesBuffersAndFilesInChunks)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    uint8_t digest[64];
    uint32_t size = sizeof digest;
    ASSERT_EQ(HashBufferCng(ctx, "abc", 3, L"SHA1", digest, &size), 1);
    EXPECT_EQ(Hex(digest, size), "a9993e364706816aba3e25717850c26c9cd0d89d");

    std::vector<uint8_t> data(100003);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + i / 251);
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    std::string name = std::string(path) + "kv_cng_" + std::to_string(GetCurrentProcessId()) + ".bin";
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    uint8_t chunk[4096];
    uint8_t fromFile[64];
    uint32_t fileSize = sizeof fromFile;
    EXPECT_EQ(HashFileCng(ctx, file, chunk, sizeof chunk, L"SHA256", fromFile, &fileSize), 1);
    CloseHandle(file);
    size = sizeof digest;
    ASSERT_EQ(HashBufferCng(ctx, data.data(), data.size(), L"SHA256", digest, &size), 1);
    ASSERT_EQ(fileSize, 32u);
    EXPECT_EQ(Hex(fromFile, 32), Hex(digest, 32));

    // Failures set their numbers and leave no state behind.
    size = sizeof digest;
    EXPECT_EQ(HashBufferCng(ctx, "abc", 3, L"NO-SUCH-HASH", digest, &size), 0);
    EXPECT_EQ(ctx->nErrorCode, 1825);
    ctx->nErrorCode = 0;
    size = 4;
    EXPECT_EQ(HashBufferCng(ctx, "abc", 3, L"SHA256", digest, &size), 0);
    EXPECT_EQ(ctx->nErrorCode, 1425);
    ctx->nErrorCode = 0;
    CngHashState state{};
    EXPECT_EQ(CngHashData(&state, ctx, "abc", 3), 0);   // never opened
    EXPECT_EQ(ctx->nErrorCode, 1425);
}

}  // namespace
