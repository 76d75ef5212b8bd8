// Where the COM layer joins the 6.x dialog: the object requests of DialogObject, the host
// window of COMCONTROLs with their event freezing, and COM arrays given to report views.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// ---- the object server (message 7031); wParam and lParam are the request blocks, already
// checked: 1 binds an event of a hosted control to the procedure, 2 unbinds it, 3 gives the
// control's object, 4 a picture object.
LRESULT ServeDialogObject(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);

// ---- hosted COM controls: the host window of a COMCONTROL (null when it cannot be made;
// the caller reports 3104); freezing (1) and thawing (0) their events around a call.
HWND CreateComHostWindow(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, HWND dialog, int index,
                         DWORD style);
void FreezeComControlEvents(Dialog6Record* dlg, int freeze);
// The background colour of a COMCONTROL becomes its control's ambient background (the
// control is told that ambient -701 changed); other controls are left alone.
void PassComControlBackColor(DialogControlRecord* control);

// ---- COM arrays: a COM array value converted into an ordinary array (`out` takes it);
// a value that holds no SAFEARRAY is 3650, a failed conversion its own error.
struct ValueHead;
bool ComArrayToArray(BDS* ctx, const ValueHead* value, ValueHead* out);
