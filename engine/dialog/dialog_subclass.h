// The subclass procedures of a dialog's controls: the focus report (@defocus), the push
// buttons' answer to message 7029, digits-only spinner fields, and the timer messages some
// controls swallow. Each finds its dialog record in the window's user data.
#pragma once

#include <windows.h>

struct Dialog6Record;
struct DialogControlRecord;

// Subclasses the control's own window (for a SPINNER: its edit box).
void SubclassDialogControl(Dialog6Record* dlg, DialogControlRecord* control, HWND window);
// Subclasses a part of a control: the edit field inside a drop-list box.
void SubclassDialogControlPart(Dialog6Record* dlg, DialogControlRecord* control, HWND window);
