// The guarded memory probes, the 64-bit program test, and IgnoreInput with the system's
// BlockInput replaced.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "engine/system/input_block.h"
#include "engine/system/memory_probe.h"
#include "engine/system/process_list.h"
#include "tests/unit/engine_dll.h"
#include "text_fixture.h"

namespace {

TEST(MemoryProbe, NullUnmappedAndWrappingRangesAreBad)
{
    EXPECT_NE(SafeIsBadReadPtr(nullptr, 1), 0);
    EXPECT_NE(SafeIsBadWritePtr(nullptr, 1), 0);
    EXPECT_EQ(SafeIsBadReadPtr(nullptr, 0), 0);
    auto* top = reinterpret_cast<const void*>(~uintptr_t(0) - 3);
    EXPECT_NE(SafeIsBadReadPtr(top, 16), 0);

    void* page = VirtualAlloc(nullptr, 8192, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(page, nullptr);
    EXPECT_NE(SafeIsBadReadPtr(page, 1), 0);   // reserved, not committed
    VirtualAlloc(page, 4096, MEM_COMMIT, PAGE_READWRITE);
    EXPECT_EQ(SafeIsBadWritePtr(page, 4096), 0);
    EXPECT_NE(SafeIsBadReadPtr(static_cast<char*>(page) + 4090, 10), 0);   // runs into the next page
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(MemoryProbe, BufferIsGoodAndStaysAsItWas)
{
    char buffer[64];
    for (int i = 0; i < 64; ++i)
        buffer[i] = static_cast<char>(i * 7);
    char copy[64];
    std::memcpy(copy, buffer, sizeof buffer);
    EXPECT_EQ(SafeIsBadReadPtr(buffer, sizeof buffer), 0);
    EXPECT_EQ(SafeIsBadWritePtr(buffer, sizeof buffer), 0);
    EXPECT_EQ(std::memcmp(buffer, copy, sizeof buffer), 0);
}

TEST(MemoryProbe, ReadOnlyPageCannotBeWritten)
{
    void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(SafeIsBadReadPtr(page, 4096), 0);
    EXPECT_NE(SafeIsBadWritePtr(page, 1), 0);
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(MemoryProbe, GuardPageIsBadAndStaysArmed)
{
    void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
    ASSERT_NE(page, nullptr);
    EXPECT_NE(SafeIsBadReadPtr(page, 1), 0);
    EXPECT_NE(SafeIsBadWritePtr(page, 1), 0);
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_TRUE(VirtualQuery(page, &info, sizeof info));
    EXPECT_TRUE(info.Protect & PAGE_GUARD);
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(Binary64Bit, ProgramsAndOtherFiles)
{
    std::wstring bin = kvtest::BinFolder();
    std::string host(bin.begin(), bin.end());
    EXPECT_EQ(IsBinary64Bit((host + "kvhost.exe").c_str()), 1);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string text = std::string(temp) + "kv64test" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::ofstream(text) << "not a program";
    EXPECT_EQ(IsBinary64Bit(text.c_str()), 0);
    DeleteFileA(text.c_str());
    EXPECT_EQ(IsBinary64Bit("C:\\no\\such.exe"), 0);
}

TEST(FsRedirection, SixtyFourBitEngineAlwaysAnswersMinusOne)
{
    EXPECT_EQ(Wow64FsRedirection(nullptr, "Disable", 0), -1);
    EXPECT_EQ(Wow64FsRedirection(nullptr, "revert", 0), -1);
    EXPECT_EQ(Wow64FsRedirection(nullptr, "other", 0), -1);
}

// ---------------------------------------------------------------- IgnoreInput

int g_blockCalls;
BOOL g_blockAnswer;
BOOL g_lastBlock;

BOOL WINAPI RecordBlockInput(BOOL block)
{
    ++g_blockCalls;
    g_lastBlock = block;
    return g_blockAnswer;
}

class IgnoreInputTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        g_blockCalls = 0;
        g_blockAnswer = TRUE;
        ctx->eng.api.pfnBlockInput = RecordBlockInput;
    }
    int Ignore(int state)
    {
        Call("ignoreinput", {state});
        return Int();
    }
};

TEST_F(IgnoreInputTest, StateFollowsWhatTheSystemAccepted)
{
    EXPECT_EQ(Ignore(-1), 0);
    EXPECT_EQ(Ignore(1), 0);
    EXPECT_EQ(g_lastBlock, TRUE);
    EXPECT_EQ(Ignore(-1), 1);
    EXPECT_EQ(Ignore(0), 1);
    EXPECT_EQ(g_lastBlock, FALSE);
    EXPECT_EQ(Ignore(-1), 0);
    EXPECT_EQ(Ignore(2), -1);
    EXPECT_EQ(g_blockCalls, 2);

    // A refused set answers -1 and the state that holds stays, in both directions.
    g_blockAnswer = FALSE;
    EXPECT_EQ(Ignore(1), -1);
    EXPECT_EQ(Ignore(-1), 0);
    g_blockAnswer = TRUE;
    EXPECT_EQ(Ignore(1), 0);
    g_blockAnswer = FALSE;
    EXPECT_EQ(Ignore(0), -1);
    EXPECT_EQ(Ignore(-1), 1);
    EXPECT_EQ(g_blockCalls, 5);

    ctx->eng.api.pfnBlockInput = nullptr;
    EXPECT_EQ(Ignore(-1), -1);
}

// A box lifts the block and puts it back; where the system refuses to put it back, no
// block holds and -1 reads so.
TEST_F(IgnoreInputTest, BlockThatABoxCannotPutBackIsGone)
{
    EXPECT_EQ(Ignore(1), 0);
    EXPECT_EQ(SetInputBlocked(ctx, 1), 0);
    EXPECT_EQ(g_lastBlock, FALSE);
    EXPECT_EQ(SetInputBlocked(ctx, 0), 0);
    EXPECT_EQ(g_lastBlock, TRUE);
    EXPECT_EQ(Ignore(-1), 1);

    EXPECT_EQ(SetInputBlocked(ctx, 1), 0);
    g_blockAnswer = FALSE;
    EXPECT_EQ(SetInputBlocked(ctx, 0), 1);
    EXPECT_EQ(Ignore(-1), 0);
}

}  // namespace
