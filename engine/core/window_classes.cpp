// The engine's window classes: the notify window and the three dialog engines' windows.
#include <windows.h>

#include "engine/core/engine_setup.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/system_flags.h"
#include "engine/system/media.h"

namespace {

constexpr int DIALOG_EXTRA_BYTES = 38;

bool g_registered;
bool g_dialog3Wide;   // "kv0wcdl3" is a wide class on NT-class systems

bool Accept(ATOM atom)
{
    return atom != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool RegisterNarrow(const char* name, WNDPROC procedure, UINT style, int extraBytes, bool dialog)
{
    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = extraBytes;
    wc.hInstance = EngineModule();
    if (dialog) {
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    }
    wc.lpszClassName = name;
    return Accept(RegisterClassA(&wc));
}

bool RegisterWide(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = DIALOG_EXTRA_BYTES;
    wc.hInstance = EngineModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = name;
    return Accept(RegisterClassW(&wc));
}

}  // namespace

bool RegisterEngineClasses()
{
    if (g_registered)
        return true;
    const UINT dialogStyle = CS_HREDRAW | CS_VREDRAW;
    if (!RegisterNarrow("kv8wcmmn", MyMMNotifyProc, 0, sizeof(LONG_PTR), false)
        || !RegisterNarrow("kv9wcdlg", MyDialogWndProc, dialogStyle, DIALOG_EXTRA_BYTES, true)
        || !RegisterNarrow("kv0wcdl2", MyDialogWndProc2, dialogStyle, DIALOG_EXTRA_BYTES, true))
        return false;
    g_dialog3Wide = g_System.UnicodeMode != 0;
    bool third = g_dialog3Wide
                     ? RegisterWide(L"kv0wcdl3", MyDialogWndProc3)
                     : RegisterNarrow("kv0wcdl3", MyDialogWndProc3, dialogStyle, DIALOG_EXTRA_BYTES, true);
    if (!third)
        return false;
    g_registered = true;
    return true;
}

void UnregisterEngineClasses()
{
    HINSTANCE instance = EngineModule();
    UnregisterClassA("kv8wcmmn", instance);
    UnregisterClassA("kv9wcdlg", instance);
    UnregisterClassA("kv0wcdl2", instance);
    if (g_dialog3Wide)
        UnregisterClassW(L"kv0wcdl3", instance);
    else
        UnregisterClassA("kv0wcdl3", instance);
    g_registered = false;
}

bool EngineClassesRegistered()
{
    return g_registered;
}
