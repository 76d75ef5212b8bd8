// Showing, hiding, minimising, maximising, restoring and closing windows: the commands the
// state and placement built-ins share.
#pragma once

#include <windows.h>

struct BDS;

// Posts the system command (SC_CLOSE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE) and, when the
// post went through, gives the program PostedMessageDelay ms (pumping) to act on it.
// Answers whether it was posted.
bool PostSystemCommand(BDS* ctx, HWND window, WPARAM command);

// Closes a window by its close command; the script's own window is never closed.
void CloseWindowByCommand(BDS* ctx, HWND window);

// EnumWindows callback of WinCloseNot (lParam: the context): closes the window unless an
// argument of the WinCloseNot call being run names it.
extern "C" BOOL CALLBACK WinEnumClose(HWND window, LPARAM context);
