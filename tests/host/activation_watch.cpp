// The thread's activation watch (see activation_watch.h): a CBT hook on the thread.
#include "tests/host/activation_watch.h"

namespace kvhost {

namespace {
thread_local ActivationWatch* t_watch = nullptr;
}  // namespace

ActivationWatch::ActivationWatch()
{
    t_watch = this;
    hook_ = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
}

ActivationWatch::~ActivationWatch()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    if (t_watch == this)
        t_watch = nullptr;
}

LRESULT CALLBACK ActivationWatch::OnCbt(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && t_watch && t_watch->first_.empty()) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char title[128] = {}, cls[64] = {};
        GetWindowTextA(window, title, sizeof title);
        GetClassNameA(window, cls, sizeof cls);
        t_watch->first_ = std::string("\"") + title + "\" (class " + cls + ")";
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace kvhost
