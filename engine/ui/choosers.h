// The choosers: the platform's common dialogs put before the user by AskFileName (open and
// save), AskDirectory (folder browser), AskColor and AskFont. Every argument error is set
// before any dialog is shown; a cancelled dialog is 9999 "User requested Cancel".
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct resultants;

// AskFileName's kinds of the classic dialog (100 to 103 name the same four for the shell's
// item-based dialog).
enum : int32_t { ASK_SAVE = 0, ASK_OPEN = 1, ASK_OPEN_MULTIPLE = 2, ASK_SAVE_NO_PROMPT = 3 };

// The number of "|"-separated fields of a file-types text (a single trailing "|" opens no
// field; an empty text has none).
int FileTypeFieldCount(const wchar_t* types);

// AskFileName(title, directory, file types, default name, kind): the chosen path, or for
// kind 2 (102) the chosen paths joined by the list delimiter, as wide text.
void DoAskFileNameW(BDS* ctx, const wchar_t* title, const wchar_t* directory, const wchar_t* types,
                    const wchar_t* defaultName, int32_t kind, resultants* result);

// AskDirectory(prompt, root, start folder, confirmation caption, flags): the chosen folder,
// ending in "\", as wide text.
void DoAskDirectory(BDS* ctx, const wchar_t* prompt, const wchar_t* root, const wchar_t* start,
                    const wchar_t* confirmCaption, int32_t flags, resultants* result);

// AskColor(default "#RRGGBB" or "", registry key name, format 0 "#RRGGBB" or 1 "r|g|b").
void DoAskColor(BDS* ctx, const char* defaultColor, const char* keyName, int32_t format, resultants* result);

// AskFont(type 0 screen, 1 printer, 2 both; flags below 128; registry key name; format 0).
void DoAskFont(BDS* ctx, int32_t type, int32_t flags, const char* keyName, int32_t format, resultants* result);

// The hooks of the dialogs: AskFileName's centres its dialog; the colour and font
// choosers' greys the Close item of the system menu.
UINT_PTR CALLBACK AskFileNameHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK ChooserHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
