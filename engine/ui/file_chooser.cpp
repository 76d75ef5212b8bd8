// AskFileName: the classic open and save dialogs (kinds 0 to 3) and, on systems that have
// it, the shell's item-based dialog (kinds 100 to 103); the file-types text as a filter;
// several chosen files made into full paths.
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>

#include <cstring>
#include <cwchar>
#include <memory>

#include "engine/com/shell_dialogs.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/locked_global.h"
#include "engine/core/system_flags.h"
#include "engine/files/directories.h"
#include "engine/system/input_block.h"
#include "engine/ui/choosers.h"
#include "engine/ui/foreground.h"
#include "engine/ui/script_boxes.h"

namespace {

constexpr uint16_t ERR_NO_DIALOG = 1337;        // "AskFileName: Dialog Box creation error"
constexpr uint16_t ERR_NO_MEMORY = 1588;        // "Unable to allocate or lock memory"
constexpr uint16_t ERR_BAD_KIND = 1611;         // "AskFileName: Invalid flag"
constexpr uint16_t ERR_BAD_TYPES = 1689;        // "AskFileName: 'Filetypes' is invalid"
constexpr int FILE_CHARS = 2049;                // the name buffer; 2048 announced to the dialog
constexpr int TITLE_CHARS = 1281;
constexpr int DIRECTORY_CHARS = 260;
constexpr int SHELL_KIND_BASE = 100;

struct FileDialogCall {
    wchar_t file[FILE_CHARS];
    wchar_t defaultName[FILE_CHARS];
    wchar_t title[TITLE_CHARS];
    wchar_t directory[DIRECTORY_CHARS];
};

bool ValidKind(int32_t kind)
{
    return (kind >= ASK_SAVE && kind <= ASK_SAVE_NO_PROMPT) ||
           (kind >= SHELL_SAVE && kind <= SHELL_SAVE_NO_PROMPT);
}

// The filter of the dialog: every "|" a NUL, two NULs at the end.
std::unique_ptr<wchar_t[]> FilterOf(const wchar_t* types)
{
    size_t n = std::wcslen(types);
    std::unique_ptr<wchar_t[]> filter(new (std::nothrow) wchar_t[n + 2]);
    if (!filter)
        return filter;
    for (size_t i = 0; i < n; ++i)
        filter[i] = types[i] == L'|' ? L'\0' : types[i];
    filter[n] = filter[n + 1] = 0;
    return filter;
}

// An empty directory is the current one; a longer one than a drive root loses one trailing
// separator.
void InitialDirectory(const wchar_t* directory, wchar_t out[DIRECTORY_CHARS])
{
    if (!directory || !*directory) {
        DWORD n = GetCurrentDirectoryW(DIRECTORY_CHARS, out);
        if (n == 0 || n >= DIRECTORY_CHARS)
            out[0] = 0;
        return;
    }
    lstrcpynW(out, directory, DIRECTORY_CHARS);
    size_t n = std::wcslen(out);
    if (n > 3 && (out[n - 1] == L'\\' || out[n - 1] == L'/'))
        out[n - 1] = 0;
}

bool ExplorerStyle() { return SystemFacts().OsHasNewShell != 0; }

// Codes of CommDlgExtendedError that end a multiple-selection dialog as failed.
bool IsDialogFailure(DWORD code)
{
    return (code >= 1 && code <= 12) || (code >= 12288 && code <= 12290) || code == 16384 || code == 65535;
}

// Runs the classic dialog; answers whether a name was chosen, with the error set otherwise.
bool RunClassicDialog(BDS* ctx, FileDialogCall& call, const wchar_t* filter, int32_t kind)
{
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ctx->hwndOwner;
    ofn.lpstrFilter = filter && *filter ? filter : nullptr;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = call.file;
    ofn.nMaxFile = FILE_CHARS - 1;
    ofn.lpstrInitialDir = call.directory[0] ? call.directory : nullptr;
    ofn.lpstrTitle = call.title[0] ? call.title : nullptr;
    ofn.Flags = OFN_ENABLESIZING | OFN_ENABLEHOOK | OFN_HIDEREADONLY | (ExplorerStyle() ? OFN_EXPLORER : 0);
    ofn.lpfnHook = AskFileNameHookProc;
    bool open = kind == ASK_OPEN || kind == ASK_OPEN_MULTIPLE;
    if (open)
        ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | (kind == ASK_OPEN_MULTIPLE ? OFN_ALLOWMULTISELECT : 0);
    else if (kind == ASK_SAVE)
        ofn.Flags |= OFN_OVERWRITEPROMPT;

    ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
    int inputState = SetInputBlocked(ctx, 1);
    PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    BOOL chosen;
    DWORD failure;
    for (;;) {
        lstrcpynW(call.file, call.defaultName, FILE_CHARS);
        chosen = open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
        failure = CommDlgExtendedError();
        if (kind != ASK_OPEN_MULTIPLE || failure != FNERR_BUFFERTOOSMALL)
            break;   // too many names for the buffer: the user chooses again
    }
    if (inputState != -1)
        SetInputBlocked(ctx, inputState);
    if (chosen && kind == ASK_OPEN_MULTIPLE && SystemFacts().OsIsVistaPlus && IsDialogFailure(failure))
        chosen = FALSE;
    if (!chosen) {
        SetError(ctx, failure ? ERR_NO_DIALOG : uint16_t{CC_CANCEL});
        return false;
    }
    return true;
}

// The names of a multiple selection ("folder\0name\0name\0\0", or one full path) made into
// full paths joined by the list delimiter; the folder becomes the current directory.
bool StoreSelection(BDS* ctx, const wchar_t* buffer, resultants* result)
{
    const wchar_t* second = buffer + std::wcslen(buffer) + 1;
    if (!*second)
        return SetResultWText(ctx, result, buffer) != 0;
    uint16_t kept = ctx->nErrorCode;
    DoDirChangeW(ctx, buffer);
    ctx->nErrorCode = kept;
    size_t count = 0;
    for (const wchar_t* name = second; *name; name += std::wcslen(name) + 1)
        ++count;
    LockedGlobal joined(count * (MAX_PATH + 1) * sizeof(wchar_t) + sizeof(wchar_t));
    if (!joined.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    auto* out = joined.As<wchar_t>();
    size_t used = 0;
    for (const wchar_t* name = second; *name; name += std::wcslen(name) + 1) {
        if (used)
            out[used++] = ctx->eng.ctl.FileDelimiterW;
        wchar_t full[MAX_PATH + 1];
        DWORD n = GetFullPathNameW(name, MAX_PATH + 1, full, nullptr);
        const wchar_t* path = n > 0 && n <= MAX_PATH ? full : name;
        size_t length = std::wcslen(path);
        if (length > MAX_PATH)
            length = MAX_PATH;
        std::memcpy(out + used, path, length * sizeof(wchar_t));
        used += length;
    }
    out[used] = 0;
    return SetResultWText(ctx, result, out, used) != 0;
}

}  // namespace

int FileTypeFieldCount(const wchar_t* types)
{
    if (!types || !*types)
        return 0;
    int fields = 1;
    for (const wchar_t* p = types; *p; ++p)
        if (*p == L'|')
            ++fields;
    if (types[std::wcslen(types) - 1] == L'|')
        --fields;
    return fields;
}

void DoAskFileNameW(BDS* ctx, const wchar_t* title, const wchar_t* directory, const wchar_t* types,
                    const wchar_t* defaultName, int32_t kind, resultants* result)
{
    if (!ValidKind(kind)) {
        SetError(ctx, ERR_BAD_KIND);
        return;
    }
    if (!types)
        types = L"";
    int fields = FileTypeFieldCount(types);
    if (fields % 2) {
        SetError(ctx, ERR_BAD_TYPES);
        return;
    }
    auto call = std::make_unique<FileDialogCall>();
    InitialDirectory(directory, call->directory);
    lstrcpynW(call->title, title ? title : L"", TITLE_CHARS);
    lstrcpynW(call->defaultName, defaultName ? defaultName : L"", FILE_CHARS);

    if (kind >= SHELL_KIND_BASE) {
        if (SystemFacts().OsIsVistaPlus) {
            ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
            int inputState = SetInputBlocked(ctx, 1);
            ShellFileDialog(ctx, call->title, call->directory, types, fields, call->defaultName, kind, result);
            if (inputState != -1)
                SetInputBlocked(ctx, inputState);
            return;
        }
        kind -= SHELL_KIND_BASE;
    }

    std::unique_ptr<wchar_t[]> filter = FilterOf(types);
    if (!filter) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    if (!RunClassicDialog(ctx, *call, filter.get(), kind))
        return;
    if (kind == ASK_OPEN_MULTIPLE)
        StoreSelection(ctx, call->file, result);
    else
        SetResultWText(ctx, result, call->file);
}

UINT_PTR CALLBACK AskFileNameHookProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (ExplorerStyle()) {
        if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE)
            CenterWindow(GetParent(window));
        return 0;
    }
    if (message == WM_INITDIALOG) {
        CenterWindow(window);
        return 1;
    }
    return 0;
}
