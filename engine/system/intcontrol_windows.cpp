// IntControl requests on windows: the script's window, finding, messaging and inspecting
// windows, their child classes, the Explorer windows and the desktops.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/core/system_flags.h"
#include "engine/system/intcontrol.h"
#include "engine/system/process_list.h"
#include "engine/system/system_entries.h"
#include "engine/system/window_messages.h"
#include "engine/ui/window_search.h"

namespace {

constexpr uint16_t ERR_WINDOW_NOT_FOUND = 1464;   // "IntControl: Window not found"
constexpr int32_t BROADCAST = 65535;
constexpr UINT BROADCAST_TIMEOUT_MS = 5000;
constexpr int CLASS_NAME_SIZE = 1281;

int64_t NumberFromHandle(HWND window)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

bool IsBroadcast(int32_t number) { return number == -1 || number == BROADCAST; }

// ---------------------------------------------------------------- the script's window, finding

void ScriptWindowHandle(BDS* ctx, resultants* result, const IntControlRequest&)
{
    IntControlAnswer(ctx, result, NumberFromHandle(ctx->hwndParent));
}

void FindByTitle(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, NumberFromHandle(FindWindowByTitleA(ctx, r.text[1])));
}

// 22: sends a message whose lParam is a copy of text p4; wParam travels whole.
void SendWithText(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    WPARAM wParam = static_cast<WPARAM>(static_cast<intptr_t>(r.p[3]));
    int32_t answer = DoSendMessageA(ctx, r.text[1], static_cast<UINT>(r.p[2]), wParam, r.text[4]);
    IntControlAnswer(ctx, result, answer);
}

// 23: posts a message; nothing is posted to a handle that is no window.
void PostToWindow(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    HWND window = IsBroadcast(r.p[1]) ? HWND_BROADCAST : HandleFromNumber(r.p[1]);
    if (window != HWND_BROADCAST && !IsWindow(window)) {
        IntControlAnswer(ctx, result, 0);
        return;
    }
    LPARAM lParam = static_cast<LPARAM>(r.p[4]);
    WPARAM wParam = static_cast<WPARAM>(static_cast<intptr_t>(r.p[3]));   // whole, as for 22
    if (!SystemPostMessageA(ctx, window, static_cast<UINT>(r.p[2]), wParam, lParam)) {
        IntControlAnswer(ctx, result, 0);
        return;
    }
    if (ctx->eng.ctl.PostedMessageDelay)
        WaitPumping(ctx, ctx->eng.ctl.PostedMessageDelay);
    IntControlAnswer(ctx, result, 1);
}

void ParentOf(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    HWND window = HandleFromNumber(r.p[1]);
    IntControlAnswer(ctx, result, IsWindow(window) ? NumberFromHandle(GetParent(window)) : 0);
}

// ---------------------------------------------------------------- child classes

struct ChildClassSearch {
    const char* wanted[3];
    int seen[3];   // 0 none, 1 hidden, 2 visible
};

void ChildClasses(BDS* ctx, resultants* result, const IntControlRequest& r);

}  // namespace

// EnumChildWindows callback of IntControl 25 (lParam: its search record): notes for each
// wanted class whether a child of that class is there and visible.
extern "C" BOOL CALLBACK WinEnumChildClasses(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<ChildClassSearch*>(search);
    char name[CLASS_NAME_SIZE] = {};
    if (!GetClassNameA(window, name, sizeof name))
        return TRUE;
    for (int i = 0; i < 3; ++i)
        if (std::strcmp(name, s->wanted[i]) == 0)
            s->seen[i] = IsWindowVisible(window) ? 2 : 1;
    return TRUE;
}

namespace {

void ChildClasses(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    ChildClassSearch search{{r.text[2], r.text[3], r.text[4]}, {0, 0, 0}};
    if (HWND parent = FindWindowA(r.text[1], nullptr))
        EnumChildWindows(parent, WinEnumChildClasses, reinterpret_cast<LPARAM>(&search));
    char text[16];
    std::snprintf(text, sizeof text, "%d %d %d", search.seen[0], search.seen[1], search.seen[2]);
    IntControlAnswerText(ctx, result, text);
}

void ClassNameOf(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    char name[TEXTBUF] = {};
    HWND window = HandleFromNumber(r.p[1]);
    if (IsWindow(window))
        GetClassNameA(window, name, TEXTBUF - 1);
    IntControlAnswerText(ctx, result, name);
}

// ---------------------------------------------------------------- lists of windows and desktops

// A TAB-separated list collected from an enumeration; the last TAB is removed.
struct TabList {
    std::string text;
    void Add(const char* item)
    {
        text += item;
        text += '\t';
    }
    const char* Finish()
    {
        if (!text.empty())
            text.pop_back();
        return text.c_str();
    }
};

struct ExplorerSearch {
    const char* className;
    TabList list;
};

BOOL CALLBACK IsExplorerWindow(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<ExplorerSearch*>(search);
    char name[CLASS_NAME_SIZE] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, s->className) == 0 && IsWindowProcessWow64(window) == 1) {
        char id[WINDOW_ID_BUFFER];
        WinIdFromHandleA(window, id, sizeof id);
        s->list.Add(id);
    }
    return TRUE;
}

void ExplorerWindows(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    ExplorerSearch search{r.p[1] == 1 ? "CabinetWClass" : "ExploreWClass", {}};
    EnumWindows(IsExplorerWindow, reinterpret_cast<LPARAM>(&search));
    IntControlAnswerText(ctx, result, search.list.Finish());
}

BOOL CALLBACK CollectDesktopName(LPSTR name, LPARAM list)
{
    reinterpret_cast<TabList*>(list)->Add(name);
    return TRUE;
}

BOOL CALLBACK CollectWindowTitle(HWND window, LPARAM list)
{
    char id[WINDOW_ID_BUFFER];
    WinIdFromHandleA(window, id, sizeof id);
    reinterpret_cast<TabList*>(list)->Add(id);
    return TRUE;
}

// 84: the desktops of the process's window station, or the windows of one desktop.
void Desktops(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    TabList list;
    bool ok = false;
    if (g_System.OsIsNt) {
        if (!r.text[1][0]) {
            ok = EnumDesktopsA(GetProcessWindowStation(), CollectDesktopName, reinterpret_cast<LPARAM>(&list));
        } else if (HDESK desktop = OpenDesktopA(r.text[1], 0, FALSE, DESKTOP_ENUMERATE)) {
            ok = EnumDesktopWindows(desktop, CollectWindowTitle, reinterpret_cast<LPARAM>(&list));
            CloseDesktop(desktop);
        }
    }
    IntControlAnswerText(ctx, result, ok ? list.Finish() : "");
}

// ---------------------------------------------------------------- top-most state and broadcasts

// 54: a window's top-most state: 1 set, 0 clear, -1 read ("" the script's window).
void WindowOnTop(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, DoWindowOnTopA(ctx, r.text[1], r.p[2], false));
}

// 57: tells the system whether a screen saver runs (p1 0 or 1); other values do nothing.
void ScreenSaverRunning(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int64_t answer = 0;
    PfnSystemParametersInfoA setParameter = ctx->eng.system.SystemParametersInfoA;
    if ((r.p[1] == 0 || r.p[1] == 1) && setParameter)
        answer = setParameter(SPI_SETSCREENSAVERRUNNING, static_cast<UINT>(r.p[1]), nullptr, 0);
    IntControlAnswer(ctx, result, answer);
}

// 59 and 60: tell windows (or all of them) that settings or a device mode changed.
void Broadcast(BDS* ctx, resultants* result, const IntControlRequest& r, UINT message)
{
    HWND window = IsBroadcast(r.p[1]) ? HWND_BROADCAST : HandleFromNumber(r.p[1]);
    if (window != HWND_BROADCAST && !IsWindow(window)) {
        SetError(ctx, ERR_WINDOW_NOT_FOUND);
        return;
    }
    if (message == WM_DEVMODECHANGE && !r.text[2][0]) {
        IntControlAnswer(ctx, result, 0);
        return;
    }
    DWORD_PTR answer = 0;
    SystemSendMessageTimeoutA(ctx, window, message, 0, reinterpret_cast<LPARAM>(r.text[2]), SMTO_ABORTIFHUNG,
                              BROADCAST_TIMEOUT_MS, &answer);
    IntControlAnswer(ctx, result, static_cast<int64_t>(answer));
}

void SettingChange(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    Broadcast(ctx, result, r, WM_WININICHANGE);
}

void DeviceModeChange(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    Broadcast(ctx, result, r, WM_DEVMODECHANGE);
}

const IntControlRow kRows[] = {
    {20, ScriptWindowHandle}, {21, FindByTitle},     {22, SendWithText},       {23, PostToWindow},
    {24, ParentOf},           {25, ChildClasses},    {31, ExplorerWindows},    {44, ClassNameOf},
    {54, WindowOnTop},        {57, ScreenSaverRunning}, {59, SettingChange},   {60, DeviceModeChange},
    {84, Desktops},
};

}  // namespace

extern const IntControlFamily g_IntControlWindows = {"windows", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
