// Test helper: waits on a second thread for a dialog of this process with a given caption,
// reads its controls by id (text, enabled, visible) and then runs an action on it, such as
// pressing a button. A deadline keeps a test from hanging on a box that never closes.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

struct SeenControl {
    std::string text;
    bool enabled = false;
    bool visible = false;
};

struct SeenDialog {
    bool found = false;
    HWND window = nullptr;
    std::string caption;
    std::map<int, SeenControl> controls;   // by control id; absent ids are not in the dialog

    bool Has(int id) const { return controls.count(id) != 0; }
    std::string Text(int id) const { return Has(id) ? controls.at(id).text : "<absent>"; }
};

// Reads a window's text through WM_GETTEXT, whatever its length.
inline std::string WindowTextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 3000, &length))
        return "<no answer>";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, 3000, &copied);
    text.resize(copied);
    return text;
}

// Finds a visible window of this process of a dialog class ("#32770", or the one given) by
// its exact caption.
inline HWND FindOwnDialog(const std::string& caption, const std::string& className = "#32770")
{
    struct Search {
        const std::string* caption;
        const std::string* className;
        HWND found;
    } search{&caption, &className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            char cls[32] = {};
            GetClassNameA(window, cls, sizeof cls);
            if (pid != GetCurrentProcessId() || !IsWindowVisible(window) ||
                std::string(cls) != *s->className)
                return TRUE;
            if (WindowTextOf(window) != *s->caption)
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Presses a dialog button without waiting for what the press starts (a nested box).
inline void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class DialogWatch {
public:
    using Action = std::function<void(HWND dialog, const SeenDialog& seen)>;

    // Presses `pressId` once the dialog has been read.
    DialogWatch(std::string caption, int pressId, DWORD timeoutMs = 10000)
        : DialogWatch(std::move(caption), [pressId](HWND d, const SeenDialog&) { PressButton(d, pressId); },
                      timeoutMs)
    {
    }

    DialogWatch(std::string caption, Action action, DWORD timeoutMs = 10000, std::string className = "#32770")
        : caption_(std::move(caption)), className_(std::move(className)), action_(std::move(action))
    {
        thread_ = std::thread([this, timeoutMs] { Watch(timeoutMs); });
    }
    ~DialogWatch() { Result(); }
    DialogWatch(const DialogWatch&) = delete;
    DialogWatch& operator=(const DialogWatch&) = delete;

    const SeenDialog& Result()
    {
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

    // Ends the watch early, when the dialog is not expected.
    void Stop() { stop_ = true; }

private:
    void Watch(DWORD timeoutMs)
    {
        DWORD start = GetTickCount();
        HWND dialog = nullptr;
        while (!stop_ && GetTickCount() - start < timeoutMs && !(dialog = FindOwnDialog(caption_, className_)))
            Sleep(20);
        if (!dialog)
            return;
        Sleep(30);   // let the dialog finish its initialisation
        seen_.found = true;
        seen_.window = dialog;
        seen_.caption = WindowTextOf(dialog);
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM param) -> BOOL {
                auto* seen = reinterpret_cast<SeenDialog*>(param);
                SeenControl& c = seen->controls[GetDlgCtrlID(child)];
                c.text = WindowTextOf(child);
                c.enabled = IsWindowEnabled(child) != FALSE;
                c.visible = IsWindowVisible(child) != FALSE;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&seen_));
        action_(dialog, seen_);
        for (int i = 0; i < 250 && IsWindow(dialog); ++i)
            Sleep(20);
        if (IsWindow(dialog))   // the action did not close it: close it the hard way
            PostMessageA(dialog, WM_CLOSE, 0, 0);
    }

    std::string caption_;
    std::string className_;
    Action action_;
    std::atomic<bool> stop_{false};
    SeenDialog seen_;
    std::thread thread_;
};
