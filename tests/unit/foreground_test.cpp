// Foreground forcing: the method comes from the selector's setting; no method does nothing,
// and the lock time-out lifted by method 3 is put back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>

#include "engine/core/context.h"
#include "engine/ui/foreground.h"

namespace {

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};

TEST(ForegroundWindow, MethodBelowZeroDoesNothing)
{
    std::unique_ptr<BDS, ContextDeleter> ctx(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
    HWND window = CreateWindowExA(0, "STATIC", "Foreground unit test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ctx->eng.ctl.ActivateMethodBox = -2;
    ctx->eng.ctl.ActivateMethodTarget = 0;
    EXPECT_EQ(ForceForegroundWindowA(ctx.get(), window, SELECT_BOX_ACTIVATION), 0);
    EXPECT_FALSE(IsWindowVisible(window));
    DestroyWindow(window);
}

TEST(ForegroundWindow, LockTimeoutIsPutBackAfterMethodThree)
{
    std::unique_ptr<BDS, ContextDeleter> ctx(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
    HWND window = CreateWindowExA(0, "STATIC", "Foreground unit test", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
    DWORD before = 0, after = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &before, 0);
    ctx->eng.ctl.ActivateMethodTarget = 3;
    ForceForegroundWindowA(ctx.get(), window, SELECT_TARGET_ACTIVATION);
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &after, 0);
    EXPECT_EQ(after, before);
    DestroyWindow(window);
}

TEST(ForegroundWindow, CentringKeepsTheSize)
{
    HWND window = CreateWindowExA(0, "STATIC", "Foreground unit test", WS_POPUP, 3, 4, 120, 80, nullptr, nullptr,
                                  nullptr, nullptr);
    CenterWindow(window);
    RECT box;
    GetWindowRect(window, &box);
    EXPECT_EQ(box.right - box.left, 120);
    EXPECT_EQ(box.bottom - box.top, 80);
    EXPECT_EQ(box.left, (GetSystemMetrics(SM_CXSCREEN) - 120) / 2);
    EXPECT_EQ(box.top, (GetSystemMetrics(SM_CYSCREEN) - 80) / 2);
    DestroyWindow(window);
}

}  // namespace
