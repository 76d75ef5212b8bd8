// The asking boxes of scripts: AskLine and AskPassword (one line), AskTextBox (several
// lines) and Display (a message that closes itself after a time), with their dialog
// procedures. Each box runs in the frame of the engine's boxes (script_boxes.h); Cancel
// sets 9999 "User requested Cancel".
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct resultants;

// Control ids of the line and text boxes.
enum : int { IDC_BOX_PROMPT = 11, IDC_BOX_ANSWER = 12 };

// AskLine's formats: the typed text as ANSI, as wide text, or as the hex of its UTF-16
// units (each unit low byte first, "A" gives "4100"; 2 and 3 are the same).
enum : int32_t { LINE_AS_ANSI = 0, LINE_AS_WIDE = 1, LINE_AS_HEX = 2, LINE_AS_HEX_TOO = 3 };

// The one-line box ("LINEASK", or "PSWDASK" for a password) on narrow or wide texts; the
// typed text goes into `result` by the format (any other format: 1764 before any box).
void DoAskLineA(BDS* ctx, const char* title, const char* prompt, const char* defaultText, resultants* result,
                bool password, int32_t format);
void DoAskLineW(BDS* ctx, const wchar_t* title, const wchar_t* prompt, const wchar_t* defaultText,
                resultants* result, bool password, int32_t format);

// AskTextBox's flags.
enum : uint32_t { TEXTBOX_NO_WRAP = 1, TEXTBOX_CARET_AT_END = 2 };

// The multi-line box; the typed text goes into `result` as wide text.
void DoAskTextBox(BDS* ctx, const wchar_t* title, const wchar_t* prompt, const wchar_t* defaultText,
                  uint32_t flags, resultants* result);

// Display: shows the text for `seconds` (0: 2 seconds, at most 3600; a negative time keeps
// the box invisible). Answers 1 when the user closed it early, 0 when its time ran out or
// it could not be shown.
int DoDisplayA(BDS* ctx, double seconds, const char* title, const char* text);
int DoDisplayW(BDS* ctx, double seconds, const wchar_t* title, const wchar_t* text);

// The dialog procedures (lParam of WM_INITDIALOG: the context).
extern "C" INT_PTR CALLBACK GetVarBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AskTextBoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
extern "C" INT_PTR CALLBACK CopyrightWndProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyrightWndProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// DEFAULT_GUI_FONT for the prompt, the edit and the two buttons.
void SetPromptBoxFont(HWND dialog);

// The context a box's procedure was given (kept in the dialog's DWLP_USER), else the one
// registered for its owner; null when there is none.
BDS* PromptBoxContext(HWND dialog);
