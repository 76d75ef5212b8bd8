// Minimal forms of the system subsystem's services that engine set-up and tear-down call,
// until that subsystem is built (its own code replaces this file).
#include <windows.h>

#include "engine/core/neighbour_services.h"

void EnvironmentBlockFree(BDS*) {}

// Keeps the creation parameter (the context handle) in the window's first pointer slot.
extern "C" LRESULT CALLBACK MyMMNotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The internal-information report: nothing is open.
int DdeConversationsOpen(BDS*) { return 0; }
