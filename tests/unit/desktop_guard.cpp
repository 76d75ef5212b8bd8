// Test set-up: a test that activates a window (a box, a dialog, a shown main window) takes
// the foreground and the keyboard on the one desktop that all tests share, so it must run
// in turn with the other tests that do (ctest's desktop lock). The build gives that lock to
// the test suites whose name holds "Box" or "Window" and tells every test through the
// variable KVTEST_DESKTOP (1 locked, 0 not); this listener fails an unlocked test that
// activates a window, so that a new window test cannot slip into the unlocked crowd and take
// the keys of a locked one. Run by hand (no variable), tests are not checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

thread_local std::string* g_activated = nullptr;   // the first window activated, if any

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_activated && g_activated->empty()) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char title[128] = {}, cls[64] = {};
        GetWindowTextA(window, title, sizeof title);
        GetClassNameA(window, cls, sizeof cls);
        *g_activated = std::string("\"") + title + "\" (class " + cls + ")";
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class DesktopGuard : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override
    {
        activated_.clear();
        g_activated = &activated_;
        hook_ = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    }

    void OnTestEnd(const testing::TestInfo& test) override
    {
        if (hook_)
            UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
        g_activated = nullptr;
        const char* locked = std::getenv("KVTEST_DESKTOP");   // set by ctest only
        if (!locked)
            return;
        EXPECT_TRUE(activated_.empty() || locked[0] == '1')
            << test.test_suite_name() << "." << test.name() << " activated the window "
            << activated_ << " without the desktop lock: put the test in a suite whose name "
            << "holds \"Box\" or \"Window\"";
    }

    HHOOK hook_ = nullptr;
    std::string activated_;
};

const bool g_registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new DesktopGuard);
    return true;
}();

}  // namespace
