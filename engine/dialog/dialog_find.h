// Finding the control that a callback built-in names: by name in format 6.2 (any case,
// hash first), by number in format 6.1.
#pragma once

#include <windows.h>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;
struct resultants;

// The control the argument names, with its index in tab order into *index (when given);
// null with the error set and reported (3056, 3984; 3057, 3973).
DialogControlRecord* FindDialogControl(BDS* ctx, Dialog6Record* dlg, const resultants* argument, int* index);
// The control whose window (or buddy window) is `window`, as its index; -1 when none.
int DialogControlIndexOfWindow(const Dialog6Record* dlg, HWND window);
