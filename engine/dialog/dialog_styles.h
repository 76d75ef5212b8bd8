// The template's style bits (@cs constants) as window styles of a control.
#pragma once

#include <windows.h>
#include <cstdint>

// Adds the window styles of the style bits the type honours to *windowStyle (visibility
// and enabling included). Answers 1.
int StyleToWindowStyle(int type, uint32_t style, DWORD* windowStyle);

struct Dialog6Record;
struct DialogControlRecord;

// Adds (add) or removes the style bits of a running control, applying each honoured bit to
// its window at once (the edit box of a SPINNER too). 1 when a change was applied, 0 when
// the type honours none of the bits.
int ApplyControlStyleChange(HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, bool add, uint32_t bits);

// The control's rectangle in the dialog's client coordinates: a DROPLISTBOX dropped down,
// a SPINNER with its edit box.
void GetControlRect(HWND dialog, const DialogControlRecord* control, RECT* out);
