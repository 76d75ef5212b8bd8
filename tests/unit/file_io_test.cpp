// The line reader and writer under the settings that IntControl 65 (read buffer) and 53
// (line terminator) change, and the table's tear-down.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/files/file_io.h"
#include "tests/unit/value_fixture.h"

using namespace std::string_literals;

namespace {

class FileIoTest : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        ctx->eng.ctl.ReadShareMode = FILE_SHARE_READ;
        ctx->eng.ctl.FileLineEnd = 1;
        ctx->eng.ctl.FileReadBufferSize = -2;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"kv_file_io_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
    }
    void TearDown() override
    {
        CloseAllScriptFiles(ctx);
        for (const std::wstring& f : made_)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(dir_.c_str());
        ValueTest::TearDown();
    }

    std::wstring Path(const wchar_t* name)
    {
        std::wstring p = dir_ + name;
        made_.push_back(p);
        return p;
    }
    void Write(const wchar_t* name, const std::string& bytes)
    {
        HANDLE f = CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(f);
    }
    std::string Read(const wchar_t* name)
    {
        HANDLE f = CreateFileW((dir_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        std::string bytes(1 << 16, '\0');
        DWORD n = 0;
        ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(f);
        bytes.resize(n);
        return bytes;
    }
    int32_t Open(const wchar_t* name, const char* mode, int unicode = 0)
    {
        resultants r;
        InitResultValue(ctx, &r, VK_RECORD, 0);
        DoFileOpen(ctx, &r, Path(name).c_str(), mode, unicode, 0);
        EXPECT_EQ(ctx->nErrorCode, 0);
        EXPECT_EQ(r.flags, VF_INT | VF_FILE);
        return r.i32;
    }
    // The next line, or "#<error>" when the read failed.
    std::string ReadLine(int32_t handle)
    {
        int slot = FindFileSlot(ctx, handle);
        EXPECT_GE(slot, 0);
        resultants r;
        InitResultValue(ctx, &r, VK_RECORD, 0);
        if (ctx->files.slots[slot].encoding == FSE_ANSI)
            DoFileReadA(ctx, &r, slot);
        else
            DoFileReadW(ctx, &r, slot);
        if (ctx->nErrorCode) {
            std::string error = "#" + std::to_string(ctx->nErrorCode);
            ctx->nErrorCode = 0;
            return error;
        }
        std::string text = (r.flags & VF_STRING) ? ValueText(ctx, &r) : "(wide)";
        FreeValue(ctx, &r, 0, VK_RECORD);
        return text;
    }

private:
    std::wstring dir_;
    std::vector<std::wstring> made_;
};

TEST_F(FileIoTest, UnbufferedLinesEndAt1279Characters)
{
    ctx->eng.ctl.FileReadBufferSize = 0;
    Write(L"u.txt", std::string(1279, 'a') + "\r\n" + std::string(1280, 'b') + "\n");
    int32_t h = Open(L"u.txt", "READ");
    EXPECT_EQ(ctx->files.slots[FindFileSlot(ctx, h)].bufferSize, 0u);
    EXPECT_EQ(ReadLine(h), std::string(1279, 'a'));
    EXPECT_EQ(ReadLine(h), "#1591");
}

TEST_F(FileIoTest, ASmallBufferRefillsAcrossLinesAndLimitsTheirLength)
{
    ctx->eng.ctl.FileReadBufferSize = 8;
    Write(L"s.txt", "abc\r\ndefghij\r\n\0\0k\0lm\r\nabcdefgh\n"s);
    int32_t h = Open(L"s.txt", "READ");
    EXPECT_EQ(ReadLine(h), "abc");
    EXPECT_EQ(ReadLine(h), "defghij");
    EXPECT_EQ(ReadLine(h), "klm");
    EXPECT_EQ(ReadLine(h), "#1591");   // eight characters do not fit a buffer of 8
}

TEST_F(FileIoTest, BigEndianLinesAcrossRefillsWithAnOddByteCount)
{
    ctx->eng.ctl.FileReadBufferSize = 3;
    std::string bytes = "\xFE\xFF";
    for (char c : std::string("ab\ncd"))
        bytes += std::string{'\0', c};
    bytes += 'x';   // half a unit at the end
    Write(L"be.txt", bytes);
    int32_t h = Open(L"be.txt", "READ");
    EXPECT_EQ(ctx->files.slots[FindFileSlot(ctx, h)].encoding, FSE_UTF16BE);
    EXPECT_EQ(ReadLine(h), "ab");
    EXPECT_EQ(ReadLine(h), "cd");
    EXPECT_EQ(ReadLine(h), "*EOF*");
    EXPECT_EQ(ReadLine(h), "#3088");
}

TEST_F(FileIoTest, LineTerminators)
{
    const char* expected[] = {"ab", "a\r\nb\r\n", "a\nb\n", "a\rb\r", "a\tb\t"};
    for (uint32_t end = 0; end <= 4; ++end) {
        ctx->eng.ctl.FileLineEnd = end;
        int32_t h = Open(L"t.txt", "WRITE");
        DoFileWriteA(ctx, FindFileSlot(ctx, h), "a");
        DoFileWriteA(ctx, FindFileSlot(ctx, h), "b");
        DoFileClose(ctx, h);
        EXPECT_EQ(Read(L"t.txt"), expected[end]) << end;
    }
    ctx->eng.ctl.FileLineEnd = 2;
    int32_t h = Open(L"w.txt", "WRITE", 1);
    DoFileWriteW(ctx, FindFileSlot(ctx, h), L"a");
    DoFileWriteW(ctx, FindFileSlot(ctx, h), L"b");
    DoFileClose(ctx, h);
    EXPECT_EQ(Read(L"w.txt"), std::string("\xFF\xFE" "a\0\n\0b\0\n\0", 10));
}

TEST_F(FileIoTest, WideAndNarrowResultsFollowTheUnicodeFlag)
{
    Write(L"a.txt", "x\r\n");
    int32_t h = Open(L"a.txt", "READ", 1);
    EXPECT_EQ(ReadLine(h), "(wide)");
    EXPECT_EQ(ReadLine(h), "(wide)");   // "*EOF*" in the same width
    DoFileClose(ctx, h);
    EXPECT_EQ(FindFileSlot(ctx, h), -1);
}

TEST_F(FileIoTest, TearDownClosesEverySlot)
{
    Write(L"c.txt", "x");
    int32_t a = Open(L"c.txt", "READ");
    int32_t b = Open(L"c.txt", "READ");
    ReadLine(a);
    CloseAllScriptFiles(ctx);
    for (const FileSlot& slot : ctx->files.slots) {
        EXPECT_EQ(slot.handle, nullptr);
        EXPECT_EQ(slot.buffer, nullptr);
        EXPECT_EQ(slot.lineBlock, nullptr);
    }
    EXPECT_EQ(FindFileSlot(ctx, a), -1);
    EXPECT_EQ(FindFileSlot(ctx, b), -1);
    // The file is free again: it can be deleted.
    EXPECT_TRUE(DeleteFileW(Path(L"c.txt").c_str()));
}

}  // namespace
