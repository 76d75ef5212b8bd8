// The shell's dialogs behind two built-ins: the item-based file dialog of AskFileName's
// kinds 100 to 103, and the folder browser of AskDirectory. Both run modally on the
// script's thread; their failures travel as the context's error number.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct resultants;

// AskFileName's kinds of the shell dialog.
enum : int {
    SHELL_SAVE = 100,              // save, with an overwrite prompt
    SHELL_OPEN = 101,
    SHELL_OPEN_MULTIPLE = 102,     // the chosen paths joined by the list delimiter
    SHELL_SAVE_NO_PROMPT = 103,
};

// Runs the dialog (title, initial folder, the filter text of `fieldCount` "|"-separated
// fields, default file name) owned by the host's window, and writes the chosen path or
// paths into `result` as wide text; afterwards the folder the user last showed is the
// current directory. Answers 1 when a result was written: a cancel writes an empty one
// and leaves 9999 in the context. 0 with the error number set otherwise (1611 another
// kind, 1415 COM, 1767 no shell entry, 1337 the dialog could not be made, 1588, 3096, or
// the error of a failing shell call).
int ShellFileDialog(BDS* ctx, const wchar_t* title, const wchar_t* folder, const wchar_t* filter, int fieldCount,
                    const wchar_t* fileName, int kind, resultants* result);

// AskDirectory's flags.
enum : int32_t {
    BROWSE_EDIT_BOX = 1,           // an edit box for a typed folder
    BROWSE_CONFIRM_NEW = 2,        // ask before answering a typed folder that does not exist
    BROWSE_NEW_STYLE = 4,          // the resizable dialog of the newer shell
    BROWSE_NO_NEW_FOLDER = 8,      // without its "new folder" button
    BROWSE_NO_DRIVE_ERRORS = 16,   // no critical-error boxes while it is open
    BROWSE_OWNED = 32,             // owned by the host's window
};

// The folder browser: prompt, browse root, start folder, the caption of the confirmation
// question and the flags; the chosen folder, ending in "\", goes into `buffer` (`size`
// characters). Answers 1 with a folder, else 0: 9999 on a cancel, 1767 without the shell's
// entries (or another error the browse left).
int AskDirectoryBrowse(BDS* ctx, const wchar_t* prompt, const wchar_t* root, const wchar_t* start,
                       const wchar_t* confirmCaption, int32_t flags, wchar_t* buffer, int size);

// The folder a user typed into the browser's edit box, made whole (`out`, `size`
// characters): a drive path as typed; a name relative to the last folder selected; a name
// beginning with "." or "\" made absolute from that folder (a "\" name that cannot be is
// appended to it). The newer dialog style's leading and trailing blank is dropped.
void ComposeTypedFolder(BDS* ctx, const wchar_t* lastSelected, const wchar_t* typed, bool newStyle, wchar_t* out,
                        int size);
