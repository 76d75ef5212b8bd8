// The overwrite confirmation dialog "FILEWARN" ("Confirm File Replace"): the existing file
// and the new one with their dates, times and sizes, and buttons that answer once or for the
// rest of the copy. The answer is left in the context's OverwriteAnswer.
#pragma once

#include <windows.h>

#include <string>

struct BDS;

// The four texts the caller prepares before the dialog starts.
struct OverwriteTexts {
    std::wstring targetName;   // the existing file
    std::wstring targetInfo;
    std::wstring sourceName;   // the new file
    std::wstring sourceInfo;
};

extern "C" INT_PTR CALLBACK OverwriteProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
extern "C" INT_PTR CALLBACK OverwriteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shortens a text in its middle ("left...right") until it fits the control's width. 1 when
// it fits or was shortened, 0 when the control or its device context is missing, a
// measurement fails, or no shortening fits (the text is then unchanged).
int PathEllipsisW(BDS* ctx, HWND control, std::wstring& text);
int PathEllipsisA(BDS* ctx, HWND control, std::string& text);
