// Delay on the waitable timer and on the clock (the timer entries taken away), and a
// cancel that arrives through a message while a long delay runs.
#include <gtest/gtest.h>

#include <windows.h>

#include "engine/system/waits.h"
#include "value_fixture.h"

namespace {

class WaitTest : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        current = this;
        ctx->eng.ctl.FourDigitYear = 1;
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "WaitTestWindow";
        RegisterClassA(&wc);
        window = CreateWindowA("WaitTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override
    {
        KillTimer(window, 1);
        DestroyWindow(window);
        current = nullptr;
        ValueTest::TearDown();
    }

    void UseTimerEntries(bool on)
    {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        OptionalApis& api = ctx->eng.api;
        api.pfnCancelWaitableTimer =
            on ? reinterpret_cast<PfnCancelWaitableTimer>(GetProcAddress(kernel, "CancelWaitableTimer")) : nullptr;
        api.pfnCreateWaitableTimerW =
            on ? reinterpret_cast<PfnCreateWaitableTimerW>(GetProcAddress(kernel, "CreateWaitableTimerW")) : nullptr;
        api.pfnSetWaitableTimer =
            on ? reinterpret_cast<PfnSetWaitableTimer>(GetProcAddress(kernel, "SetWaitableTimer")) : nullptr;
    }

    // Milliseconds that a delay of `seconds` took.
    double Timed(double seconds)
    {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        DelaySeconds(ctx, seconds);
        QueryPerformanceCounter(&end);
        return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }

    // The window's timer sets the cancel flag, as the host's stop request would.
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_TIMER && current) {
            KillTimer(hwnd, 1);
            current->ctx->bCancel = 1;
            current->cancelledAt = GetTickCount();
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    static WaitTest* current;
    HWND window = nullptr;
    DWORD cancelledAt = 0;
};
WaitTest* WaitTest::current;

TEST_F(WaitTest, DelaysTakeTheirSpanWithAndWithoutTheTimer)
{
    for (bool timer : {true, false}) {
        UseTimerEntries(timer);
        EXPECT_NEAR(Timed(2.5), 2500, 100) << "timer " << timer;
        EXPECT_NEAR(Timed(-2.5), 2500, 100) << "timer " << timer;
        EXPECT_LT(Timed(0), 50) << "timer " << timer;
        EXPECT_EQ(ctx->nErrorCode, 0);
    }
}

TEST_F(WaitTest, ACancelEndsALongDelayPromptly)
{
    for (bool timer : {true, false}) {
        UseTimerEntries(timer);
        ctx->bCancel = 0;
        ASSERT_NE(SetTimer(window, 1, 100, nullptr), 0u);
        DWORD start = GetTickCount();
        DelaySeconds(ctx, 60);
        DWORD end = GetTickCount();
        EXPECT_EQ(ctx->bCancel, 1u) << "timer " << timer;
        EXPECT_LT(end - start, 1000u) << "timer " << timer;
        EXPECT_LE(end - cancelledAt, 200u) << "timer " << timer;
    }
}

}  // namespace
