// Minimal forms of the dialog engine's window procedures, registered by engine set-up,
// until the dialog engine is built (its own code replaces this file).
#include <windows.h>

#include "engine/core/neighbour_services.h"

extern "C" LRESULT CALLBACK MyDialogWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

extern "C" LRESULT CALLBACK MyDialogWndProc2(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MyDialogWndProc3(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
