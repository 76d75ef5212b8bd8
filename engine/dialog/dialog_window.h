// The 6.x dialog window (class "kv0wcdl3"): the run of a parsed template, its window
// procedure, and the ways a running dialog ends.
//
// A dialog ends in one of three ways: with its cancel button (result 0, nothing written
// back), with a result whose control values are written back first (a button's value, a
// procedure's answer, the close value), or by an abort. Once ended (Dialog6Record::ended)
// its window is destroyed or about to be, and no later answer changes the result.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;
struct resultants;

// Parses the template of the running dialog name (format 61 or 62), shows it modally and
// answers its result (0 with the error set when it could not be shown; 0 without an error
// sets the user's cancel, 9999).
int32_t RunDialog6(BDS* ctx, int format);

// Raises an event: outcome 1 (default action) without a call when it is switched off,
// else CallDialogProcedure's outcome. @deinit always reaches the procedure.
int RaiseDialogEvent(Dialog6Record* dlg, int event, int index, const resultants* extra);

// Ends with `result` after writing the control values back; false (the dialog stays) when
// the write-back keeps it open. `destroy` false leaves the window for the caller.
bool EndDialogWriting(Dialog6Record* dlg, int32_t result, bool destroy);
// Ends with result 0 and writes nothing back.
void EndDialogCancelled(Dialog6Record* dlg, bool destroy);
// Removes the timer messages already queued for the dialog.
void DropQueuedTimers(HWND dialog);
// Gives the dialog the program's icon "MYICON" as its small icon unless it has one.
void SetProgramIcon(HWND dialog);
// The window's left and top in dialog units into the context (IntControl 75).
void RememberDialogPosition(Dialog6Record* dlg);

// Centres the dialog on the primary screen when it does not lie wholly within the screen.
void PlaceDialogOnScreen(Dialog6Record* dlg, HWND dialog);

// One mouse input through SendInput when the system offers it, else mouse_event.
void SendMouseInput(BDS* ctx, DWORD flags, int dx, int dy, DWORD data, ULONG_PTR extra);
// Moves the pointer to the centre of a screen rectangle (absolute, primary screen).
void MovePointerToCenter(BDS* ctx, const RECT& screen);

// The focus selection of an edit field: caret at the start, at the end, or all selected.
void SetEditCaret(const DialogControlRecord* control, HWND edit);

// WM_COMMAND and WM_NOTIFY of the dialog window.
void DialogCommand(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
LRESULT DialogNotify(Dialog6Record* dlg, HWND dialog, const NMHDR* header);
