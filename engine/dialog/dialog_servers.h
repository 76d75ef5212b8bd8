// The window side of the control requests of a running 6.x dialog: DialogControlState
// (message 7026), DialogControlSet (7027) and DialogControlGet (7028). wParam and lParam
// are the request blocks, already checked by the window procedure. Every error is set in
// the context and reported through the dialog error report; the dialog stays open.
#pragma once

#include <windows.h>

struct BDS;
struct Dialog6Record;

// Focus, style bits and the mouse pointer; the outcome is in the state block's result
// record, the message answers 0.
LRESULT ServeDialogControlState(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
// Changes a control; answers 1 (or the request's own answer), 0 on failure.
LRESULT ServeDialogControlSet(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
// Reads a control into the result record (lParam); answers 1, or 0 with the result the
// empty text.
LRESULT ServeDialogControlGet(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
