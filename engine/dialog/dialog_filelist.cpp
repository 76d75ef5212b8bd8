// The FILELISTBOX of a 6.x dialog.
#include "engine/dialog/dialog_filelist.h"

#include <cwchar>

#include "engine/core/context.h"
#include "engine/dialog/dialog_record.h"
#include "engine/files/directories.h"
#include "engine/files/wildcard.h"

namespace {

constexpr int PATH_CHARS = 2050;
constexpr UINT LIST_FILES_TOO = 0x21;      // DDL_READWRITE files with DDL_READONLY and DDL_ARCHIVE
constexpr int DIR_TEXT_MAX = 524;
const wchar_t kAllFiles[] = L"*.*";
const wchar_t kNoFile[] = L"NOFILESELECTED";

bool Hidden(BDS* ctx, DWORD attributes)
{
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !ctx->eng.ctl.ShowHiddenFiles;
}

void Add(HWND list, const std::wstring& text)
{
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ListFiles(BDS* ctx, HWND list, const std::wstring& mask, bool everyFile)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(mask.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || Hidden(ctx, found.dwFileAttributes))
            continue;
        if (everyFile || ctx->eng.ctl.WildcardMatchMode == 1 || WildcardMatchSpecW(ctx, found.cFileName, mask.c_str()))
            Add(list, found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void ListFolders(BDS* ctx, HWND list)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(kAllFiles, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || Hidden(ctx, found.dwFileAttributes))
            continue;
        if (!std::wcscmp(found.cFileName, L".") || !std::wcscmp(found.cFileName, L".."))
            continue;
        Add(list, L"[" + std::wstring(found.cFileName) + L"]");
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void ListDrives(HWND list)
{
    DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        if (!(drives & (1u << (letter - L'a'))))
            continue;
        wchar_t root[] = {letter, L':', L'\\', 0};
        UINT kind = GetDriveTypeW(root);
        if (kind == DRIVE_UNKNOWN || kind == DRIVE_NO_ROOT_DIR)
            continue;
        wchar_t entry[] = {L'[', L'-', letter, L'-', L']', 0};
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry));
    }
}

std::wstring CurrentFolder()
{
    wchar_t folder[PATH_CHARS] = {};
    DWORD n = GetCurrentDirectoryW(PATH_CHARS, folder);
    return n > 0 && n < PATH_CHARS ? std::wstring(folder) : std::wstring();
}

void ShowFolder(HWND dirText)
{
    std::wstring folder = CurrentFolder();
    wchar_t longForm[PATH_CHARS] = {};
    DWORD n = GetLongPathNameW(folder.c_str(), longForm, PATH_CHARS);
    std::wstring shown = n > 0 && n < PATH_CHARS ? std::wstring(longForm) : folder;
    if (shown.size() > DIR_TEXT_MAX)
        shown.resize(DIR_TEXT_MAX);
    SetWindowTextW(dirText, shown.c_str());
}

HWND Linked(Dialog6Record* dlg, const DialogControlRecord* control, int which)
{
    DialogControlRecord* c = ControlAt(dlg, control->link[which]);
    return c ? c->window : nullptr;
}

// The folder text is repainted unless it paints a background colour of its own.
void RepaintFolderText(Dialog6Record* dlg, const DialogControlRecord* control)
{
    DialogControlRecord* text = ControlAt(dlg, control->link[0]);
    if (!text || !text->window || text->backColor != NO_COLOR)
        return;
    RECT r;
    GetWindowRect(text->window, &r);
    MapWindowPoints(nullptr, dlg->window, reinterpret_cast<POINT*>(&r), 2);
    InvalidateRect(dlg->window, &r, TRUE);
    UpdateWindow(dlg->window);
}

// Lists a new path: the linked edit box shows the mask, the folder text is repainted.
void ListPath(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, std::wstring path)
{
    if (HWND edit = Linked(dlg, control, 1))
        SetWindowTextW(edit, dlg->fileMask.c_str());
    DialogDirListW(ctx, dialog, path, control->window, Linked(dlg, control, 0), FILE_LIST_FLAGS);
    RepaintFolderText(dlg, control);
}

// The text typed holds a new mask: it becomes the mask and the whole text is listed.
void TakeNewMask(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, const std::wstring& typed)
{
    size_t cut = typed.find_last_of(L"\\/:");
    std::wstring mask;
    for (wchar_t c : cut == std::wstring::npos ? typed : typed.substr(cut + 1))
        if (c != L' ')
            mask += c;
    if (mask.empty())
        mask = kAllFiles;
    dlg->fileMask = dlg->previousMask = mask;
    ListPath(ctx, dialog, dlg, control, typed);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[PATH_CHARS] = {};
    GetWindowTextW(window, text, PATH_CHARS);
    return text;
}

}  // namespace

int DialogDirListW(BDS* ctx, HWND dialog, std::wstring& path, HWND list, HWND dirText, UINT flags)
{
    if (path.empty())
        path = kAllFiles;
    std::wstring buffer = path;
    buffer.resize(PATH_CHARS, L'\0');
    int answer = DlgDirListW(dialog, buffer.data(), 0, 0, flags | LIST_FILES_TOO);
    if (!answer)
        return 0;
    path = buffer.c_str();   // the mask the listing left
    bool everyFile = WildcardIsAllW(path.c_str()) != 0;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    ListFiles(ctx, list, path, everyFile);
    ListFolders(ctx, list);
    std::wstring folder = CurrentFolder();
    if (!(folder.size() == 3 && folder[1] == L':' && folder[2] == L'\\'))
        Add(list, L"[..]");
    ListDrives(list);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    if (dirText)
        ShowFolder(dirText);
    return answer;
}

bool DialogDirSelectW(HWND dialog, std::wstring& out, int listId)
{
    wchar_t selected[PATH_CHARS] = {};
    BOOL folder = DlgDirSelectExW(dialog, selected, PATH_CHARS, listId);
    out = selected;
    return folder != FALSE;
}

void FileListClicked(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, bool doubleClick)
{
    std::wstring selected;
    int listId = GetDlgCtrlID(control->window);
    bool folder = DialogDirSelectW(dialog, selected, listId);
    HWND edit = Linked(dlg, control, 1);
    if (!folder) {
        if (edit && !selected.empty())
            SetWindowTextW(edit, selected.c_str());
        return;
    }
    std::wstring path = selected + dlg->fileMask;
    if (!doubleClick) {
        if (edit)
            SetWindowTextW(edit, path.c_str());
        return;
    }
    ListPath(ctx, dialog, dlg, control, path);
}

int FileListSelection(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control)
{
    HWND edit = Linked(dlg, control, 1);
    if (edit) {
        std::wstring typed = WindowText(edit);
        bool wild = typed.find_first_of(L"*?") != std::wstring::npos;
        bool takesMask = (wild && typed != dlg->previousMask) || (typed.empty() && ctx->eng.ctl.FileBoxNeedsSelection);
        if (takesMask) {
            TakeNewMask(ctx, dialog, dlg, control, typed);
            return 0;
        }
        if (!wild && !typed.empty()) {
            SetVariableByName(ctx, control->variable, typed.c_str(), 0, SV_WIDE);
            DoDirChangeW(ctx, CurrentFolder().c_str());   // records the drive's folder too
            return 1;
        }
    }
    std::wstring selected;
    if (DialogDirSelectW(dialog, selected, GetDlgCtrlID(control->window))) {
        ListPath(ctx, dialog, dlg, control, selected + dlg->fileMask);
        return 0;
    }
    bool chosen = SendMessageW(control->window, LB_GETCURSEL, 0, 0) != LB_ERR && !selected.empty()
                  && GetFileAttributesW(selected.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!chosen && ctx->eng.ctl.FileBoxNeedsSelection)
        return 0;
    SetVariableByName(ctx, control->variable, chosen ? selected.c_str() : kNoFile, 0, SV_WIDE);
    return 1;
}

int FileListSetContents(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, std::wstring path)
{
    HWND folderText = Linked(dlg, control, 0);
    if (!DialogDirListW(ctx, dialog, path, control->window, folderText, FILE_LIST_FLAGS)) {
        path = kAllFiles;
        DialogDirListW(ctx, dialog, path, control->window, folderText, FILE_LIST_FLAGS);
        if (HWND edit = Linked(dlg, control, 1))
            SetWindowTextW(edit, L"");
    }
    dlg->fileMask = dlg->previousMask = path;
    RepaintFolderText(dlg, control);
    return 1;
}
