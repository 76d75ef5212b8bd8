// The classic dialog engine: templates of the formats "TRMDLGED,4.0" and "TRMDLGED,5.0"
// (eight control types, no procedure), shown in an ANSI window of the class "kv0wcdl2"
// whose window procedure is the exported MyDialogWndProc2. The window keeps the context's
// memory handle in its extra data and locks it for each message.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

struct BDS;

enum ClassicType : int8_t {
    CL_STATICTEXT = 0,
    CL_EDITBOX = 1,
    CL_RADIOBUTTON = 2,
    CL_CHECKBOX = 3,
    CL_VARYTEXT = 4,
    CL_FILELISTBOX = 5,
    CL_PUSHBUTTON = 6,
    CL_ITEMBOX = 7,
};
constexpr int16_t CLASSIC_NO_LINK = -100;

// The context of a classic or DialogBox window: the memory handle its WM_CREATE keeps in
// the DWLP_USER slot of the window's extra data, locked for one message.
struct LockedContext {
    HGLOBAL handle = nullptr;
    BDS* ctx = nullptr;
    explicit LockedContext(HWND window);
    ~LockedContext();
    LockedContext(const LockedContext&) = delete;
    LockedContext& operator=(const LockedContext&) = delete;
};
// WM_CREATE: keeps the creation data (the context's memory handle) in the window.
void KeepContextHandle(HWND window, const CREATESTRUCTA* create);

// The ANSI modal loop of a classic or DialogBox window: its messages through
// IsDialogMessage until the window's WM_QUIT. An abort of the run destroys the window;
// answers true then.
bool ClassicModalLoop(BDS* ctx, HWND window);
// A window's whole text (ANSI).
std::string ClassicWindowText(HWND window);
// The file-name part of a path or mask, blanks removed ("*.*" when empty).
std::string FileMaskOf(const std::string& text);
// A click on a file list's entry, shown in the list's edit field (null: none): a file's
// name; a folder with the mask, or on a double click the mask alone and then true with the
// folder and mask to list in `path`.
bool ShowFileListClick(HWND edit, const std::string& selected, bool folder, bool doubleClick, const char* mask,
                       std::string& path);
// A typed file name into the variable; the folder the list walked to becomes the script's.
void StoreTypedFileName(BDS* ctx, const char* variable, const std::string& typed);

// Runs the running dialog name's template (its Format given); answers its result, 0 with
// the error set (9999 when the user cancelled).
int32_t RunClassicDialog(BDS* ctx, const wchar_t* format);

// The template's controls into the context's records (1, or 0 with the error reported),
// and their windows.
int ParseClassicControls(BDS* ctx, HWND dialog);
void CreateClassicControls(BDS* ctx, HWND dialog);
// The window id of control i: 1 and 2 for the push buttons of Values 1 and 0, else 100 + i.
int ClassicControlId(const BDS* ctx, int index);

// The variable named by the dialog name and a key, as text (false when it does not exist)
// and as an integer (at most 39 characters read; -9999 when missing).
bool ReadDialogText(BDS* ctx, const char* key, std::string& out);
int32_t ReadDialogInt(BDS* ctx, const char* key);
// The next field of a classic control line: commas outside double quotes end it, quotes
// are dropped, blanks dropped outside quotes, tabs always; "DEFAULT" at the end of the text.
std::string SplitClassicField(const std::string& text, size_t* position);
