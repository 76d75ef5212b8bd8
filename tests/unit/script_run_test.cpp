// ProcessViRuvBuffer through the export, as a host calls it: ANSI and UTF-16 texts, the
// host's buffer left without the plain text, preparation failures, and a cancel while running.
#include "tests/unit/engine_dll.h"

#include <cstring>
#include <string>

#include "engine/core/runloop.h"

namespace {

class ScriptRunTest : public kvtest::EngineDllTest {
protected:
    // Runs the bytes as a host-given script; *after receives the buffer's bytes afterwards.
    uint32_t Run(const std::string& bytes, std::string* after = nullptr)
    {
        HGLOBAL script = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 2);
        char* p = static_cast<char*>(GlobalLock(script));
        std::memcpy(p, bytes.data(), bytes.size());
        p[bytes.size()] = p[bytes.size() + 1] = 0;
        GlobalUnlock(script);
        uint32_t r = dll().ProcessViRuvBuffer()(window, session->Context(), script, nullptr, nullptr);
        if (after) {
            p = static_cast<char*>(GlobalLock(script));
            after->assign(p, bytes.size());
            GlobalUnlock(script);
        }
        GlobalFree(script);
        return r;
    }

    // The context as the engine keeps it (the layout both sides are built from).
    BDS* Ctx() { return static_cast<BDS*>(GlobalLock(session->Context())); }
    void Done() { GlobalUnlock(session->Context()); }

    void SetUp() override
    {
        EngineDllTest::SetUp();
        if (!HasExport(kvhost::ORD_ProcessViRuvBuffer) || !HasExport(kvhost::ORD_DoDuRavInit))
            GTEST_SKIP() << "exports 23 and 24 are needed";
        StartEngine();
        Ctx()->err.bQuietMode = 1;     // preparation failures are logged, never shown
        Done();
    }
};

std::string Utf16WithBom(const std::string& ansi)
{
    std::string out = "\xFF\xFE";
    for (char c : ansi) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

TEST_F(ScriptRunTest, AnsiAndUtf16TextsRunAndLoseTheirPlainForm)
{
    const std::string body = "; secret words of the script\r\n:label\r\n#DefineFunction %s()\r\n"
                             "   Return 1\r\n#EndFunction\r\n";
    std::string ansi = body, after;
    ansi.replace(ansi.find("%s"), 2, "fromansi");
    ASSERT_EQ(Run(ansi, &after), 1u);
    EXPECT_EQ(after.find("secret words"), std::string::npos) << "the host's buffer still holds the text";

    std::string wide = body;
    wide.replace(wide.find("%s"), 2, "fromwide");
    ASSERT_EQ(Run(Utf16WithBom(wide), &after), 1u);
    EXPECT_EQ(after.find("s\0e\0c\0r\0e\0t", 0, 12), std::string::npos);

    BDS* ctx = Ctx();
    EXPECT_GE(FindUdfByName(ctx, "fromansi", 8), 0);
    EXPECT_GE(FindUdfByName(ctx, "fromwide", 8), 0) << "the UTF-16 text was not read like its ANSI twin";
    EXPECT_EQ(ctx->nRunResult, 1u);
    Done();

    // A second run meets its definitions again and keeps the first ones.
    ASSERT_EQ(Run(ansi), 1u);
    ctx = Ctx();
    EXPECT_EQ(ctx->nUdfCount, 2u);
    Done();
}

TEST_F(ScriptRunTest, PreparationFailuresAnswerZero)
{
    EXPECT_EQ(Run("x = 1\r\n#include \"no such include file.zal\"\r\n"), 0u);
    EXPECT_EQ(Run("\xFF\xFE"), 0u);     // a UTF-16 text without characters
}

// A script that never ends by itself can still be stopped: the run loop pumps the thread's
// messages while statements run, and a cancel raised by one of them ends the run.
TEST_F(ScriptRunTest, ALoopingScriptPumpsAndStopsAtACancel)
{
    static BDS* running;
    static volatile LONG timerFired;
    running = Ctx();
    Done();
    timerFired = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        InterlockedExchange(&timerFired, 1);
        running->bCancel = 1;
        running->bCancelRequest = 1;
    });
    ASSERT_NE(timer, 0u);
    // Should the loop never pump, a watchdog ends it, so that the test fails, not hangs.
    HANDLE watchdog = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            for (int i = 0; i < 600 && !timerFired; ++i)
                Sleep(50);
            if (!timerFired)
                running->bCancel = 1;
            return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(watchdog, nullptr);

    EXPECT_EQ(Run("n = 0\r\nWhile 1\r\n   n = n + 1\r\nEndWhile\r\n"), 1u);
    KillTimer(nullptr, timer);
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    EXPECT_EQ(timerFired, 1) << "the run loop did not pump while the script ran";
    BDS* ctx = Ctx();
    EXPECT_EQ(ctx->nRunResult, 0u) << "a cancelled run answered success";
    Done();
}

}  // namespace
