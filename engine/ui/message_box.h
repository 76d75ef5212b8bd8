// The engine's plain message boxes and quiet mode.
#pragma once

#include <windows.h>

struct BDS;

// Every engine error, warning and notice goes through here. Answers the box's answer as
// MessageBoxA gives it; in quiet mode nothing is shown: the texts are kept in the context,
// appended to the quiet-mode log when one is set, and the answer is IDCANCEL.
int ShowMessageBox(BDS* ctx, HWND owner, const char* text, const char* title, UINT flags);

// A message box on a copy of the text cut to 20000 characters ("..." added when cut).
// Answers the box's answer, or 2 with error 1588 when the copy cannot be made.
int MessageBoxCappedA(BDS* ctx, HWND owner, const char* text, const char* title, UINT flags);
int MessageBoxCappedW(BDS* ctx, HWND owner, const wchar_t* text, const wchar_t* title, UINT flags);

// Keeps a box's non-empty text and title as the last swallowed box and appends the box to
// the quiet-mode log when a log file is set (the log entry of a box quiet mode swallowed).
void RecordSwallowedBox(BDS* ctx, const char* text, const char* title);
