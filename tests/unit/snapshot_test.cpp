// Snapshot's bitmap on the clipboard: the whole screen, or the foreground window's
// rectangle. The suite shows and activates a window: it takes the desktop.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/unit/engine_dll.h"
#include "tests/unit/text_fixture.h"

namespace {

class SnapshotWindowTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        ctx->hwndParent = kvtest::CreateHostWindow(L"KVT - snapshot unit test");
    }
    void TearDown() override
    {
        DestroyWindow(ctx->hwndParent);
        TextTest::TearDown();
    }

    // The size of the bitmap on the clipboard, and whether a palette came with it.
    SIZE ClipboardBitmap(bool* palette)
    {
        SIZE size{-1, -1};
        if (!OpenClipboard(nullptr))
            return size;
        *palette = IsClipboardFormatAvailable(CF_PALETTE) != FALSE;
        BITMAP info{};
        if (HANDLE bitmap = GetClipboardData(CF_BITMAP); bitmap && GetObjectA(bitmap, sizeof info, &info))
            size = {info.bmWidth, info.bmHeight};
        CloseClipboard();
        return size;
    }
};

TEST_F(SnapshotWindowTest, ScreenOrForegroundWindowGoesToTheClipboard)
{
    bool palette = false;
    Call("snapshot", {0});
    EXPECT_EQ(Int(), 1);
    SIZE screen = ClipboardBitmap(&palette);
    EXPECT_EQ(screen.cx, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen.cy, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(palette);

    HWND window = CreateWindowExA(0, "STATIC", "Snapshot unit test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 120, 333,
                                  222, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    ASSERT_EQ(GetForegroundWindow(), window);
    Call("snapshot", {2});
    EXPECT_EQ(Int(), 1);
    SIZE shot = ClipboardBitmap(&palette);
    EXPECT_EQ(shot.cx, 333);
    EXPECT_EQ(shot.cy, 222);
    DestroyWindow(window);
}

TEST_F(SnapshotWindowTest, ClipboardHeldElsewhereFailsOnceTheRunIsCancelled)
{
    HWND holder = kvtest::CreateHostWindow(L"KVT - clipboard holder");
    ASSERT_TRUE(OpenClipboard(holder));
    ctx->bCancel = 1;
    DWORD start = GetTickCount();
    Call("snapshot", {0});
    DWORD took = GetTickCount() - start;
    CloseClipboard();
    EXPECT_EQ(Error(), 1209);
    EXPECT_LT(took, 3000u);   // one try, not thirty seconds of them
    DestroyWindow(holder);
}

}  // namespace
