// Bringing a window forward and centring it. A plain form: the window is asked to the
// foreground directly; the configurable activation methods come with the window built-ins.
#include "engine/ui/foreground.h"

void ForceForegroundWindowA(BDS*, HWND window, int)
{
    if (window && IsWindow(window))
        SetForegroundWindow(window);
}

void CenterWindow(HWND window)
{
    RECT box;
    if (!window || !GetWindowRect(window, &box))
        return;
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        SetRect(&work, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(window, nullptr, x < work.left ? work.left : x, y < work.top ? work.top : y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
