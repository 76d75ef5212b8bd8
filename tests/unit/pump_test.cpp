// Message pumps, the pumping wait and the break-key poll.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>

#include "engine/core/context.h"
#include "engine/core/pump.h"

namespace {

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};

// A window of the test thread that counts the WM_APP messages it receives; the message
// with wParam 1 also sets the context's cancel state.
struct PumpFixture : ::testing::Test {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_APP) {
            ++current->dispatched;
            if (wParam == 1)
                current->ctx->bCancel = 1;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void SetUp() override
    {
        current = this;
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PumpTestWindow";
        RegisterClassA(&wc);
        window = CreateWindowA("PumpTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void TearDown() override
    {
        DestroyWindow(window);
        BYTE keys[256] = {};
        SetKeyboardState(keys);
        current = nullptr;
    }

    static bool Pending(UINT message)
    {
        MSG msg;
        return PeekMessageA(&msg, nullptr, message, message, PM_NOREMOVE) != FALSE;
    }

    static void HoldCtrlBreak()
    {
        BYTE keys[256] = {};
        keys[VK_CONTROL] = 0x80;
        keys[VK_CANCEL] = 0x80;
        SetKeyboardState(keys);
    }

    static PumpFixture* current;
    std::unique_ptr<BDS, ContextDeleter> owned{static_cast<BDS*>(std::calloc(1, sizeof(BDS)))};
    BDS* ctx = owned.get();
    HWND window = nullptr;
    int dispatched = 0;
};
PumpFixture* PumpFixture::current;

TEST_F(PumpFixture, PumpsDispatchEverythingPending)
{
    for (int i = 0; i < 3; ++i)
        PostMessageA(window, WM_APP, 0, 0);
    PumpMessagesModal(ctx);
    EXPECT_EQ(dispatched, 3);
    PostMessageA(window, WM_APP, 0, 0);
    PumpMessages(ctx);
    EXPECT_EQ(dispatched, 4);
    EXPECT_FALSE(Pending(WM_APP));
}

TEST_F(PumpFixture, PumpingStopsAtACancel)
{
    PostMessageA(window, WM_APP, 1, 0);   // sets bCancel
    PostMessageA(window, WM_APP, 0, 0);
    PumpMessagesModal(ctx);
    EXPECT_EQ(dispatched, 1);
    EXPECT_TRUE(Pending(WM_APP));
}

TEST_F(PumpFixture, NoYieldModeNeitherDispatchesNorPolls)
{
    ctx->nYieldMode = 2;
    HoldCtrlBreak();
    PostMessageA(window, WM_APP, 0, 0);
    PumpMessages(ctx);
    PumpMessagesModal(ctx);
    EXPECT_EQ(dispatched, 0);
    EXPECT_TRUE(Pending(WM_APP));
    EXPECT_EQ(ctx->bCancel, 0u);
}

TEST_F(PumpFixture, QuitMessageIsLeftForTheHostsLoop)
{
    PostQuitMessage(3);
    PumpMessagesModal(ctx);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(PumpFixture, CtrlBreakCancelsUnlessSwitchedOff)
{
    HoldCtrlBreak();
    ctx->nControlFlags = 8;
    PollBreakKeys(ctx);
    EXPECT_EQ(ctx->bCancel, 0u);
    ctx->nControlFlags = 0;
    PumpMessages(ctx);   // an empty queue still polls once
    EXPECT_EQ(ctx->bCancel, 1u);
    EXPECT_EQ(ctx->bCancelRequest, 1u);
}

TEST_F(PumpFixture, WaitPumpingDispatchesAndEndsAtACancel)
{
    DWORD start = GetTickCount();
    WaitPumping(ctx, 0);
    EXPECT_LT(GetTickCount() - start, 50u);

    PostMessageA(window, WM_APP, 0, 0);
    start = GetTickCount();
    WaitPumping(ctx, 150);
    EXPECT_GE(GetTickCount() - start, 140u);
    EXPECT_EQ(dispatched, 1);

    // A cancel set by a dispatched message ends a long wait early.
    SetTimer(window, 1, 50, [](HWND w, UINT, UINT_PTR id, DWORD) {
        KillTimer(w, id);
        PostMessageA(w, WM_APP, 1, 0);
    });
    start = GetTickCount();
    WaitPumping(ctx, 10000);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(ctx->bCancel, 1u);
}

TEST_F(PumpFixture, PumpingWhenDueSkipsUntilTheIntervalPassed)
{
    EXPECT_TRUE(PumpMessagesWhenDue(ctx));
    PostMessageA(window, WM_APP, 0, 0);
    EXPECT_FALSE(PumpMessagesWhenDue(ctx));
    EXPECT_EQ(dispatched, 0);
    Sleep(PUMP_INTERVAL_MS + 20);
    EXPECT_TRUE(PumpMessagesWhenDue(ctx));
    EXPECT_EQ(dispatched, 1);
}

}  // namespace
