// Input that reaches a 6.x dialog while its procedure runs and that must not be lost: the
// mouse release of the press that started the call, a menu choice, a context menu asked
// for. It is held and handed on once the call has ended.
//
// The procedure runs inside the dialog's window procedure, often inside a control's own
// handling of a mouse press (a list view selects the row under the press, then watches
// for the release), and the run pumps messages between the procedure's statements.
// Events of the dialog that arrive meanwhile are dropped, so that the procedure is never
// re-entered and its own requests do not call it back; that is right where the event
// echoes the procedure's own change or the control keeps what the user did (a text, a
// check mark, a selection). Three things would be lost for good instead:
// - the release: the control, still in its press handling, waits for it after the call
//   and takes the user's next press for it (a right click on a row that was not selected
//   then opened the row's context menu inside the call, and the menu's choice was dropped);
// - a menu choice: the menu has closed and nothing keeps the choice;
// - a context menu asked for: shown inside the call, its @demiinit and its choice would be
//   dropped.
//
// Invariants: all of it is held per dialog record. A held release goes back to its window
// (posted) as soon as the call that began inside its press has ended, so the control sees
// its press and release as if the procedure had been quick. Menu choices and context menus
// are delivered in the order they came, through the posted WM_DLG_DEFERRED, only while no
// call runs, each as if it came then; a dialog that has ended drops them. Nothing here
// blocks the pump: the dialog repaints and Ctrl+Break works while the procedure runs.
#pragma once

#include <windows.h>

struct Dialog6Record;

// What a control's press replaced, for EndControlPress.
struct ControlPress {
    HWND window;
    UINT release;
    int busy;
};

// Mouse button messages of a control's window procedure.
bool IsButtonPress(UINT message);
bool IsButtonRelease(UINT message);

// Marks `window` as handling a press until EndControlPress.
ControlPress BeginControlPress(Dialog6Record* dlg, HWND window, UINT press);
void EndControlPress(Dialog6Record* dlg, const ControlPress& saved);
// A release for the window that handles its press, taken by the pump of a procedure call
// that began inside that press: it is held (true; the window procedure answers 0).
bool HoldControlRelease(Dialog6Record* dlg, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// While a call runs: keeps a menu choice (other events stay dropped), or the showing of a
// context menu (WM_CONTEXTMENU's arguments).
void DeferDialogEvent(Dialog6Record* dlg, int event, int index);
void DeferContextMenu(Dialog6Record* dlg, WPARAM wParam, LPARAM lParam);

// After a procedure call (its busy count already taken back): hands back what was held.
void DialogCallEnded(Dialog6Record* dlg);
// WM_DLG_DEFERRED: delivers what was deferred, unless a call runs again.
void DeliverDeferredInput(Dialog6Record* dlg);
