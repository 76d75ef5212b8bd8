// The message loops of a running dialog and the owner it disables.
#pragma once

#include <windows.h>

struct BDS;
struct Dialog6Record;

// Runs the modal loop until the dialog's window is gone (its WM_QUIT) or the run is
// aborted (the result is then 0). A WM_QUIT that is not the dialog's is passed on.
void DialogModalLoop(BDS* ctx, Dialog6Record* dlg, HWND dialog);
// Handles the queued messages and returns when the queue is empty.
void DialogMessagePump(BDS* ctx);
// Disables the window the dialog starts from when it is a 6.x dialog (any window while one
// runs); answers the window it disabled, or null.
HWND DialogDisableParent(BDS* ctx);
