// The folder browser of AskDirectory: the shell's SHBrowseForFolderW with its callback, and
// the shell-namespace routines it needs (item lists freed through the shell allocator,
// copied, resolved from a shortcut to its target, turned into paths).
//
// The shell's entries are bound from SHELL32.DLL for each browse and freed after it; a
// shortcut is followed to its target only where the shell offers SHBindToParent.
#include "engine/com/shell_dialogs.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/files/directories.h"
#include "engine/system/input_block.h"
#include "engine/ui/message_box.h"

namespace {

constexpr uint16_t ERR_NO_ENTRY = 1767;    // "AskDirectory: Error getting function entry points"
constexpr int PATH_CHARS = 260;

using PfnBrowseForFolder = PIDLIST_ABSOLUTE(WINAPI*)(LPBROWSEINFOW);
using PfnGetPathFromIdList = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR);
using PfnBindToParent = HRESULT(WINAPI*)(PCIDLIST_ABSOLUTE, REFIID, void**, PCUITEMID_CHILD*);

// One browse's state, on the stack of AskDirectoryBrowse; the callback reaches it through
// its lParam.
struct BrowseState {
    BDS* ctx;
    HWND edit;                          // the dialog's edit control, once looked for
    const wchar_t* confirmCaption;
    wchar_t start[PATH_CHARS + 1];      // empty: no start folder
    wchar_t* out;
    int outSize;
    PfnGetPathFromIdList getPath;
    PfnBindToParent bindToParent;       // null: shortcuts are taken as they are
    bool confirmNew;
    bool newStyle;
    bool editSearched;
    wchar_t lastSelected[PATH_CHARS + 1];
};

// ---------------------------------------------------------------- item lists

void FreeItemList(void* list)
{
    if (!list)
        return;
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc))) {
        shellMalloc->Free(list);
        shellMalloc->Release();
    }
}

// A copy of an item list (its items and the two-byte terminator); null when out of memory.
PIDLIST_ABSOLUTE CopyItemList(PCIDLIST_ABSOLUTE list)
{
    size_t size = 2;
    for (auto* p = reinterpret_cast<const uint8_t*>(list); p && reinterpret_cast<const SHITEMID*>(p)->cb;
         p += reinterpret_cast<const SHITEMID*>(p)->cb)
        size += reinterpret_cast<const SHITEMID*>(p)->cb;
    auto* copy = static_cast<uint8_t*>(CoTaskMemAlloc(size));
    if (!copy)
        return nullptr;
    if (list)
        std::memcpy(copy, list, size - 2);
    copy[size - 2] = copy[size - 1] = 0;
    return reinterpret_cast<PIDLIST_ABSOLUTE>(copy);
}

// The item list of a shortcut's target, or a copy of the item itself when it is no shortcut
// (or shortcuts cannot be followed). Free it with FreeItemList.
PIDLIST_ABSOLUTE ResolvedItemList(const BrowseState& state, PCIDLIST_ABSOLUTE item)
{
    if (state.bindToParent) {
        IShellFolder* parent = nullptr;
        PCUITEMID_CHILD child = nullptr;
        if (SUCCEEDED(state.bindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child))) {
            IShellLinkA* link = nullptr;
            HRESULT hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IShellLinkA, nullptr,
                                               reinterpret_cast<void**>(&link));
            parent->Release();
            if (SUCCEEDED(hr)) {
                PIDLIST_ABSOLUTE target = nullptr;
                hr = link->GetIDList(&target);
                link->Release();
                if (SUCCEEDED(hr) && target)
                    return target;
            }
        }
    }
    return CopyItemList(item);
}

// The file-system path of an item (its target when it is a shortcut); false when it has none.
bool PathOfItem(const BrowseState& state, PCIDLIST_ABSOLUTE item, wchar_t path[MAX_PATH])
{
    path[0] = 0;
    PIDLIST_ABSOLUTE resolved = ResolvedItemList(state, item);
    bool found = state.getPath(resolved ? resolved : item, path) && path[0];
    FreeItemList(resolved);
    return found;
}

// The item list the desktop folder parses from a path; null when it cannot.
PIDLIST_ABSOLUTE ParsedItemList(const wchar_t* path)
{
    if (!path || !*path)
        return nullptr;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return nullptr;
    PIDLIST_RELATIVE list = nullptr;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path), nullptr, &list, nullptr);
    desktop->Release();
    return SUCCEEDED(hr) ? reinterpret_cast<PIDLIST_ABSOLUTE>(list) : nullptr;
}

// ---------------------------------------------------------------- the callback

HWND EditOf(HWND dialog, BrowseState& state)
{
    if (!state.editSearched) {
        state.edit = FindWindowExW(dialog, nullptr, L"EDIT", nullptr);
        state.editSearched = true;
    }
    return state.edit;
}

void Initialized(HWND dialog, BrowseState& state)
{
    EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    if (state.start[0]) {
        if (PIDLIST_ABSOLUTE start = ParsedItemList(state.start)) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(start));
            FreeItemList(start);
        } else {
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(state.start));
        }
    }
    if (state.newStyle)
        if (HWND edit = EditOf(dialog, state))
            SetWindowTextW(edit, L" ");
}

void SelectionChanged(HWND dialog, BrowseState& state, PCIDLIST_ABSOLUTE item)
{
    wchar_t path[MAX_PATH];
    bool isFolder = item && PathOfItem(state, item, path) && DirExistPathW(state.ctx, path);
    if (isFolder)
        lstrcpynW(state.lastSelected, path, PATH_CHARS + 1);
    if (HWND edit = EditOf(dialog, state))
        SetWindowTextW(edit, state.newStyle ? L" " : L"");
    SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(state.lastSelected));
    SendMessageW(dialog, BFFM_ENABLEOK, 0, isFolder ? 1 : 0);
}

// The full path of `name` taken with `base` as the current directory; false when it fails.
bool AbsoluteFrom(BDS* ctx, const wchar_t* base, const wchar_t* name, wchar_t* out, int size)
{
    CurrentDirKeeper keeper(ctx);
    if (!base[0] || !SetCurrentDirectoryW(base))
        return false;
    DWORD n = GetFullPathNameW(name, static_cast<DWORD>(size), out, nullptr);
    return n > 0 && n < static_cast<DWORD>(size);
}

// `base`, a "\" unless it ends in one, and `name`.
void AppendTo(const wchar_t* base, const wchar_t* name, wchar_t* out, int size)
{
    lstrcpynW(out, base, size);
    size_t used = std::wcslen(out);
    if (used && out[used - 1] != L'\\' && used + 1 < static_cast<size_t>(size)) {
        out[used++] = L'\\';
        out[used] = 0;
    }
    if (used + 1 < static_cast<size_t>(size))
        lstrcpynW(out + used, name, size - static_cast<int>(used));
}

void TypedFolder(BrowseState& state, const wchar_t* typed)
{
    ComposeTypedFolder(state.ctx, state.lastSelected, typed, state.newStyle, state.out, state.outSize);
}

// 0 closes the dialog with the typed folder, 1 keeps it open.
int ValidateFailed(BrowseState& state, const wchar_t* typed)
{
    TypedFolder(state, typed);
    if (!state.confirmNew || DirExistPathW(state.ctx, state.out))
        return 0;
    int answer = MessageBoxCappedW(state.ctx, nullptr, state.out, state.confirmCaption,
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDNO) {
        state.out[0] = 0;
        return 1;
    }
    if (answer == IDCANCEL)
        SetError(state.ctx, CC_CANCEL);
    return 0;
}

int CALLBACK BrowseCallbackW(HWND dialog, UINT message, LPARAM lParam, LPARAM data)
{
    auto* state = reinterpret_cast<BrowseState*>(data);
    if (!state)
        return 0;
    switch (message) {
    case BFFM_INITIALIZED:
        Initialized(dialog, *state);
        return 0;
    case BFFM_SELCHANGED:
        SelectionChanged(dialog, *state, reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
        return 0;
    case BFFM_VALIDATEFAILEDW:
        return ValidateFailed(*state, reinterpret_cast<const wchar_t*>(lParam));
    default:
        return 0;
    }
}

// ---------------------------------------------------------------- the browse

// The start folder without a trailing separator, except a drive root and "\" itself.
void CopyStartFolder(const wchar_t* start, wchar_t* out)
{
    lstrcpynW(out, start ? start : L"", PATH_CHARS + 1);
    size_t n = std::wcslen(out);
    bool driveRoot = n == 3 && out[1] == L':' && out[2] == L'\\';
    if (n > 1 && !driveRoot && (out[n - 1] == L'\\' || out[n - 1] == L'/'))
        out[n - 1] = 0;
}

void EndWithSeparator(wchar_t* out, int size)
{
    size_t n = std::wcslen(out);
    if (n && out[n - 1] != L'\\' && n + 1 < static_cast<size_t>(size)) {
        out[n] = L'\\';
        out[n + 1] = 0;
    }
}

// The answer after the dialog: the callback's folder, the chosen item's path, or the last
// folder selected; 0 when the user cancelled or an error stands.
int Answer(BrowseState& state, PIDLIST_ABSOLUTE chosen)
{
    if (state.ctx->nErrorCode)
        return 0;
    if (state.out[0]) {
        EndWithSeparator(state.out, state.outSize);
        return 1;
    }
    if (!chosen) {
        SetError(state.ctx, CC_CANCEL);
        return 0;
    }
    wchar_t path[MAX_PATH];
    if (PathOfItem(state, chosen, path))
        lstrcpynW(state.out, path, state.outSize);
    else
        lstrcpynW(state.out, state.lastSelected, state.outSize);
    EndWithSeparator(state.out, state.outSize);
    return 1;
}

}  // namespace

void ComposeTypedFolder(BDS* ctx, const wchar_t* lastSelected, const wchar_t* typed, bool newStyle, wchar_t* out,
                        int size)
{
    wchar_t text[MAX_PATH * 2] = {};
    lstrcpynW(text, typed ? typed : L"", MAX_PATH * 2);
    wchar_t* name = text;
    if (newStyle) {
        if (*name == L' ')
            ++name;
        size_t n = std::wcslen(name);
        if (n && name[n - 1] == L' ')
            name[n - 1] = 0;
    }
    if (!lastSelected)
        lastSelected = L"";
    if (name[0] && name[1] == L':') {
        lstrcpynW(out, name, size);
    } else if (name[0] != L'\\') {
        if (name[0] != L'.' || !AbsoluteFrom(ctx, lastSelected, name, out, size))
            AppendTo(lastSelected, name, out, size);
    } else if (!AbsoluteFrom(ctx, lastSelected, name, out, size)) {
        AppendTo(lastSelected, name + 1, out, size);
    }
}

int AskDirectoryBrowse(BDS* ctx, const wchar_t* prompt, const wchar_t* root, const wchar_t* start,
                       const wchar_t* confirmCaption, int32_t flags, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = 0;
    HMODULE shell = LoadLibraryA("SHELL32.DLL");
    auto browse = shell ? reinterpret_cast<PfnBrowseForFolder>(GetProcAddress(shell, "SHBrowseForFolderW")) : nullptr;
    auto getPath = shell ? reinterpret_cast<PfnGetPathFromIdList>(GetProcAddress(shell, "SHGetPathFromIDListW"))
                         : nullptr;
    if (!browse || !getPath) {
        if (shell)
            FreeLibrary(shell);
        SetError(ctx, ERR_NO_ENTRY);
        return 0;
    }
    BrowseState state{};
    state.ctx = ctx;
    state.confirmCaption = confirmCaption ? confirmCaption : L"";
    state.out = buffer;
    state.outSize = size;
    state.getPath = getPath;
    state.bindToParent = reinterpret_cast<PfnBindToParent>(GetProcAddress(shell, "SHBindToParent"));
    state.confirmNew = (flags & BROWSE_CONFIRM_NEW) != 0;
    CopyStartFolder(start, state.start);

    bool comStarted = false;
    if (flags & BROWSE_NEW_STYLE) {
        HRESULT hr = CoInitialize(nullptr);
        comStarted = hr == S_OK || hr == S_FALSE;
        state.newStyle = comStarted;
    }

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = (flags & BROWSE_OWNED) ? ctx->hwndOwner : nullptr;
    PIDLIST_ABSOLUTE rootList = ParsedItemList(root);
    info.pidlRoot = rootList;
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt && *prompt ? prompt : nullptr;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    if (flags & BROWSE_EDIT_BOX)
        info.ulFlags |= BIF_EDITBOX | BIF_VALIDATE;
    if (state.newStyle)
        info.ulFlags |= BIF_NEWDIALOGSTYLE;
    if (flags & BROWSE_NO_NEW_FOLDER)
        info.ulFlags |= BIF_NONEWFOLDERBUTTON;
    info.lpfn = BrowseCallbackW;
    info.lParam = reinterpret_cast<LPARAM>(&state);

    int inputState = SetInputBlocked(ctx, 1);
    UINT errorMode = (flags & BROWSE_NO_DRIVE_ERRORS) ? SetErrorMode(SEM_FAILCRITICALERRORS) : 0;
    PIDLIST_ABSOLUTE chosen = browse(&info);
    if (flags & BROWSE_NO_DRIVE_ERRORS)
        SetErrorMode(errorMode);
    if (inputState != -1)
        SetInputBlocked(ctx, inputState);

    int answer = Answer(state, chosen);
    if (!answer)
        buffer[0] = 0;
    FreeItemList(chosen);
    FreeItemList(rootList);
    if (comStarted)
        CoUninitialize();
    FreeLibrary(shell);
    return answer;
}
