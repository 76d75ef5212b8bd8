// Test helper: watches for a box or dialog of this process from a second thread, reads its
// texts as a person would see them and presses one of its buttons, so a test that makes
// the engine show a modal box never hangs on it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct BoxSeen {
    bool found = false;
    std::string title;
    std::vector<std::string> texts;     // static controls, in child order
    std::vector<std::string> buttons;   // button captions, in child order
    std::vector<int> buttonIds;
};

class BoxWatch {
public:
    // title: the box's caption, or null for any dialog-class window of this process.
    // pressId: the button to press (0: the first button found).
    explicit BoxWatch(const char* title, int pressId = 0, DWORD timeoutMs = 15000)
        : title_(title ? title : ""), anyTitle_(title == nullptr), pressId_(pressId)
    {
        thread_ = std::thread([this, timeoutMs] { Watch(timeoutMs); });
    }
    ~BoxWatch() { Result(); }

    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

    // Waits for the watcher to finish (box handled or time-out) and answers what it saw.
    const BoxSeen& Result()
    {
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

    // Ends the watch early (when the box is not expected to appear).
    void Stop() { stop_ = true; }

private:
    struct Search {
        BoxWatch* self;
        HWND found;
    };

    static BOOL CALLBACK OnTopWindow(HWND window, LPARAM param)
    {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(window))
            return TRUE;
        char cls[64] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (std::string(cls) != "#32770")
            return TRUE;
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        if (search->self->anyTitle_ || search->self->title_ == text) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK OnChild(HWND child, LPARAM param)
    {
        auto* seen = reinterpret_cast<BoxSeen*>(param);
        char cls[64] = {};
        GetClassNameA(child, cls, sizeof cls);
        char text[1024] = {};
        GetWindowTextA(child, text, sizeof text);
        std::string name(cls);
        if (_stricmp(cls, "Static") == 0) {
            if (text[0])
                seen->texts.push_back(text);
        } else if (_stricmp(cls, "Button") == 0) {
            seen->buttons.push_back(text);
            seen->buttonIds.push_back(GetDlgCtrlID(child));
        }
        return TRUE;
    }

    void Watch(DWORD timeoutMs)
    {
        DWORD start = GetTickCount();
        HWND box = nullptr;
        while (!stop_ && GetTickCount() - start < timeoutMs) {
            Search search{this, nullptr};
            EnumWindows(OnTopWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                box = search.found;
                break;
            }
            Sleep(20);
        }
        if (!box)
            return;
        Sleep(50);   // let the dialog finish its initialisation
        seen_.found = true;
        char text[512] = {};
        GetWindowTextA(box, text, sizeof text);
        seen_.title = text;
        EnumChildWindows(box, OnChild, reinterpret_cast<LPARAM>(&seen_));

        HWND button = nullptr;
        if (pressId_)
            button = GetDlgItem(box, pressId_);
        else if (!seen_.buttonIds.empty())
            button = GetDlgItem(box, seen_.buttonIds.front());
        DWORD_PTR ignored;
        if (button)
            SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
        for (int i = 0; i < 100 && IsWindow(box); ++i)
            Sleep(20);
        if (IsWindow(box))   // no usable button: close it the hard way
            PostMessageA(box, WM_CLOSE, 0, 0);
    }

    std::string title_;
    bool anyTitle_;
    int pressId_;
    std::atomic<bool> stop_{false};
    BoxSeen seen_;
    std::thread thread_;
};
