// Menu commands chosen by item names (on a window of this process: the system lets a
// program read only its own menus under Wine), and the wait until a program is idle for
// input, on probe targets that read their messages or do not.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/ui/window_idle.h"
#include "engine/ui/window_search.h"
#include "tests/unit/engine_dll.h"
#include "tests/unit/text_fixture.h"

namespace {

// ---------------------------------------------------------------- SendMenusTo

std::vector<int> g_commands;

LRESULT CALLBACK RecordCommands(HWND w, UINT message, WPARAM wp, LPARAM lp)
{
    if (message == WM_COMMAND)
        g_commands.push_back(LOWORD(wp));
    return DefWindowProcA(w, message, wp, lp);
}

class SendMenusWindowTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordCommands;
        wc.lpszClassName = "KvMenuTest";
        RegisterClassA(&wc);
        HMENU file = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, 200, "&Open");
        AppendMenuA(file, MF_STRING, 201, "E&xit");
        HMENU bar = CreateMenu();
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
        withMenu_ = CreateWindowExA(0, "KvMenuTest", "Menu test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, bar,
                                    nullptr, nullptr);
        withoutMenu_ = CreateWindowExA(0, "KvMenuTest", "No menu test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
        g_commands.clear();
    }

    void TearDown() override
    {
        DestroyWindow(withMenu_);
        DestroyWindow(withoutMenu_);
        TextTest::TearDown();
    }

    static std::string Id(HWND window)
    {
        char id[WINDOW_ID_BUFFER];
        WinIdFromHandleA(window, id, sizeof id);
        return id;
    }

    static void Pump()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }

    HWND withMenu_ = nullptr;
    HWND withoutMenu_ = nullptr;
};

TEST_F(SendMenusWindowTest, PostsTheCommandOfTheNamedItem)
{
    Call("sendmenusto", {Id(withMenu_), "File Open"});
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(Int(), 1);
    Call("sendmenustoex", {Id(withMenu_), "file e&xit", "", 0, 0});
    EXPECT_EQ(Int(), 1);
    Pump();
    EXPECT_EQ(g_commands, (std::vector<int>{200, 201}));
}

TEST_F(SendMenusWindowTest, MissingMenuOrItemIsAnError)
{
    Call("sendmenusto", {Id(withMenu_), "File Nothing"});
    EXPECT_EQ(Error(), 1316);
    Call("sendmenusto", {Id(withMenu_), "File"});   // a popup runs no command
    EXPECT_EQ(Error(), 1316);
    Call("sendmenusto", {Id(withoutMenu_), "File Open"});
    EXPECT_EQ(Error(), 1315);
    Pump();
    EXPECT_TRUE(g_commands.empty());
}

// ---------------------------------------------------------------- WaitForWindowIdle

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};

class WindowIdleTest : public ::testing::Test {
protected:
    void SetUp() override { ctx_.reset(static_cast<BDS*>(std::calloc(1, sizeof(BDS)))); }

    // Starts a probe target titled uniquely for this test process and finds its window.
    HWND Start(const std::wstring& mode)
    {
        std::wstring title = L"Idle target " + std::to_wstring(GetCurrentProcessId());
        target_ = std::make_unique<kvtest::ProbeProcess>(mode + L" --title \"" + title + L"\"", L"probe_target.exe");
        for (int i = 0; i < 200; ++i) {
            if (HWND window = FindWindowW(L"KvProbeTarget", title.c_str()))
                return window;
            Sleep(25);
        }
        ADD_FAILURE() << "the probe target did not come up";
        return nullptr;
    }

    // Milliseconds the wait took; its answer in *answer.
    DWORD Timed(HWND window, int* answer)
    {
        DWORD start = GetTickCount();
        *answer = WaitForWindowIdle(ctx_.get(), window);
        return GetTickCount() - start;
    }

    std::unique_ptr<BDS, ContextDeleter> ctx_;
    std::unique_ptr<kvtest::ProbeProcess> target_;
};

TEST_F(WindowIdleTest, ProgramReadingItsMessagesIsIdleAndAnEndedOneIsNot)
{
    HWND window = Start(L"");
    ASSERT_NE(window, nullptr);
    int answer = -1;
    Timed(window, &answer);
    EXPECT_EQ(answer, 1);
    target_->Wait(0);   // ends it
    Timed(window, &answer);
    EXPECT_EQ(answer, 0);
}

TEST_F(WindowIdleTest, BusyProgramIsWaitedForUntilTheLimitOrACancel)
{
    HWND window = Start(L"busy");
    ASSERT_NE(window, nullptr);
    ctx_->eng.ctl.InputIdleTimeout = 400;
    int answer = -1;
    DWORD took = Timed(window, &answer);
    EXPECT_EQ(answer, 0);
    EXPECT_GE(took, 390u);
    EXPECT_LT(took, 5000u);

    ctx_->eng.ctl.InputIdleTimeout = 0;   // the default limit of 10 s, cut short by the cancel
    ctx_->bCancel = 1;
    took = Timed(window, &answer);
    EXPECT_EQ(answer, 0);
    EXPECT_LT(took, 1000u);
}

}  // namespace
