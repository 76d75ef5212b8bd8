// The resize step of a resizable 6.x dialog (WM_WINDOWPOSCHANGED).
#pragma once

#include <windows.h>

struct Dialog6Record;

// Converts the new client size to dialog units; when either delta against the kept size
// is beyond the threshold, keeps the new size and raises @deresize (when enabled) with
// "dw dh width height", collecting the moves its procedure makes in one DeferWindowPos
// batch that lands when the event returns.
void DialogResizeEvent(Dialog6Record* dlg, HWND dialog, int threshold);
