// The classic dialog engine (formats 4.0 and 5.0): RunClassicDialog, the window procedure
// MyDialogWndProc2 of the class "kv0wcdl2", its modal loop and the write-back of values.
#include "engine/dialog/classic_dialog.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/tokenizer.h"
#include "engine/dialog/dialog_filelist.h"
#include "engine/dialog/dialog_loop.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_window.h"
#include "engine/files/directories.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"

namespace {

constexpr uint16_t ERR_DIALOG_NAME = 3218;  // "Dialog: Dialog name too long (>19 chars)"
constexpr uint16_t ERR_FORMAT = 3220;         // "Dialog: Format version not supported"
constexpr uint16_t ERR_SIZE = 3221;           // "Dialog: x, y, width or height variables bad"
constexpr uint16_t ERR_NO_WINDOW = 3104;      // "Dialog Box: Window Creation Failed"
constexpr uint16_t ERR_SELECTION = 1336;      // "Ask Multiple: Error retrieving selected items from listbox"
constexpr uint16_t CANCELLED = 9999;          // "User requested Cancel"
constexpr uint32_t OPTION_SYSTEM_MENU = 0x1;
constexpr int MAX_SELECTED = 101;
constexpr int CLOSE_COMMAND = 0;              // WM_COMMAND id posted for the Close command
const char kNoFile[] = "NOFILESELECTED";

ClassicControl& At(BDS* ctx, int i) { return ctx->classic.controls[i]; }
HWND Item(BDS* ctx, HWND dialog, int i) { return GetDlgItem(dialog, ClassicControlId(ctx, i)); }

std::string ListItem(HWND list, LRESULT index)
{
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

// ---------------------------------------------------------------- the file list

// Lists a path into the file list (its label too); the mask it keeps becomes the dialog's.
void FillFileList(BDS* ctx, HWND dialog, int index, const std::string& path)
{
    ClassicControl& c = At(ctx, index);
    HWND label = c.varyLink != CLASSIC_NO_LINK ? Item(ctx, dialog, c.varyLink) : nullptr;
    std::wstring wide = WideFromNarrow(ctx, path.c_str());
    if (DialogDirListW(ctx, dialog, wide, Item(ctx, dialog, index), label, FILE_LIST_FLAGS))
        lstrcpynA(ctx->classic.mask, NarrowFromWide(ctx, wide.c_str()).c_str(), CLASSIC_MASK_CHARS);
}

// The selected entry: true for a folder ("name\") or a drive ("c:"), false for a file.
bool GetFileListSelection(BDS* ctx, HWND dialog, int index, std::string& out)
{
    std::wstring selected;
    bool folder = DialogDirSelectW(dialog, selected, ClassicControlId(ctx, index));
    out = NarrowFromWide(ctx, selected.c_str());
    return folder;
}

void FileListClicked(BDS* ctx, HWND dialog, int index, bool doubleClick)
{
    ClassicControl& c = At(ctx, index);
    HWND edit = c.editLink != CLASSIC_NO_LINK ? Item(ctx, dialog, c.editLink) : nullptr;
    std::string selected;
    bool folder = GetFileListSelection(ctx, dialog, index, selected);
    std::string path;
    if (ShowFileListClick(edit, selected, folder, doubleClick, ctx->classic.mask, path))
        FillFileList(ctx, dialog, index, path);
}

// The file list's choice into its variable: false when the dialog stays open.
bool StoreFileList(BDS* ctx, HWND dialog, int index)
{
    ClassicControl& c = At(ctx, index);
    HWND edit = c.editLink != CLASSIC_NO_LINK ? Item(ctx, dialog, c.editLink) : nullptr;
    bool needChoice = ctx->eng.ctl.FileBoxNeedsSelection != 0;
    if (edit) {
        std::string typed = ClassicWindowText(edit);
        bool wild = typed.find_first_of("*?") != std::string::npos;
        if (!typed.empty() && !wild) {
            StoreTypedFileName(ctx, c.variable, typed);
            return true;
        }
        if (wild || needChoice) {
            std::string mask = FileMaskOf(typed);
            SetWindowTextA(edit, mask.c_str());
            FillFileList(ctx, dialog, index, typed.empty() ? mask : typed);
            lstrcpynA(ctx->classic.mask, mask.c_str(), CLASSIC_MASK_CHARS);
            return false;
        }
    }
    std::string selected;
    if (GetFileListSelection(ctx, dialog, index, selected)) {
        std::string path = selected + ctx->classic.mask;
        if (edit)
            SetWindowTextA(edit, ctx->classic.mask);
        FillFileList(ctx, dialog, index, path);
        return false;
    }
    char full[MAX_PATH] = {};
    bool exists = !selected.empty() && GetFileAttributesA(selected.c_str()) != INVALID_FILE_ATTRIBUTES
                  && GetFullPathNameA(selected.c_str(), MAX_PATH, full, nullptr) > 0;
    SetVariableByName(ctx, c.variable, exists ? full : kNoFile, 0, SV_STRING);
    return exists || !needChoice;
}

// ---------------------------------------------------------------- write-back

void StoreItems(BDS* ctx, HWND list, const ClassicControl& c)
{
    std::string text;
    if (GetWindowLongPtrA(list, GWL_STYLE) & LBS_MULTIPLESEL) {
        LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
        if (count > MAX_SELECTED) {
            SetError(ctx, ERR_SELECTION);
            return;
        }
        std::vector<int> chosen(static_cast<size_t>(count > 0 ? count : 0));
        if (count > 0)
            SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(chosen.data()));
        for (size_t i = 0; i < chosen.size(); ++i)
            text += (i ? "\t" : "") + ListItem(list, chosen[i]);
    } else {
        LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
        if (selected != LB_ERR)
            text = ListItem(list, selected);   // whole, however long
    }
    SetVariableByName(ctx, c.variable, text.c_str(), 0, SV_STRING);
}

int32_t VariableInteger(BDS* ctx, const char* name)
{
    char text[64] = {};
    if (!ValueToDisplayText(ctx, name, text, sizeof text))
        return 0;
    return static_cast<int32_t>(std::strtol(text, nullptr, 10));
}

// Writes the values back; false when a file list keeps the dialog open.
bool StoreClassicValues(BDS* ctx, HWND dialog)
{
    ClassicState& state = ctx->classic;
    for (int i = 0; i < state.count; ++i)
        if (At(ctx, i).type == CL_CHECKBOX)
            SetVariableByName(ctx, At(ctx, i).variable, nullptr, 0, SV_INT);
    bool close = true;
    for (int i = 0; i < state.count; ++i) {
        ClassicControl& c = At(ctx, i);
        HWND w = Item(ctx, dialog, i);
        if (!w)
            continue;
        switch (c.type) {
        case CL_EDITBOX:
            if (c.editLink == CLASSIC_NO_LINK)
                SetVariableByName(ctx, c.variable, ClassicWindowText(w).c_str(), 0, SV_STRING);
            break;
        case CL_RADIOBUTTON:
            if (SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED)
                SetVariableByName(ctx, c.variable, nullptr, c.value, SV_INT);
            break;
        case CL_CHECKBOX:
            if (SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED)
                SetVariableByName(ctx, c.variable, nullptr, VariableInteger(ctx, c.variable) | c.value, SV_INT);
            break;
        case CL_FILELISTBOX:
            if (!StoreFileList(ctx, dialog, i))
                close = false;
            break;
        case CL_ITEMBOX:
            StoreItems(ctx, w, c);
            break;
        default:
            break;
        }
    }
    return close;
}

void RememberPosition(BDS* ctx, HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    LONG units = GetDialogBaseUnits();
    ctx->eng.ctl.LastDialogPosition[0] = r.left * 4 / LOWORD(units);
    ctx->eng.ctl.LastDialogPosition[1] = r.top * 8 / HIWORD(units);
}

// ---------------------------------------------------------------- messages

void SetInitialFocus(BDS* ctx, HWND dialog)
{
    HWND focus = nullptr;
    for (int i = 0; i < ctx->classic.count && !focus; ++i) {
        ClassicControl& c = At(ctx, i);
        HWND w = Item(ctx, dialog, i);
        switch (c.type) {
        case CL_EDITBOX:
            SendMessageA(w, EM_SETSEL, 0, -1);
            focus = w;
            break;
        case CL_CHECKBOX:
        case CL_FILELISTBOX:
        case CL_ITEMBOX:
        case CL_PUSHBUTTON:
            focus = w;
            break;
        case CL_RADIOBUTTON:
            if (SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED)
                focus = w;
            break;
        default:
            break;
        }
    }
    if (!focus)
        focus = GetDlgItem(dialog, IDOK);
    if (!focus)
        return;
    SetFocus(focus);
    char cls[16] = {};
    GetClassNameA(focus, cls, sizeof cls);
    if (lstrcmpiA(cls, "BUTTON") == 0 && (GetWindowLongPtrA(focus, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON)
        SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(GetDlgCtrlID(focus)), 0);
}

LRESULT OnCreate(HWND dialog, const CREATESTRUCTA* create)
{
    KeepContextHandle(dialog, create);
    LockedContext locked(dialog);
    BDS* ctx = locked.ctx;
    if (!ctx)
        return -1;
    RECT r;
    GetWindowRect(dialog, &r);
    if (r.left < 0 || r.top < 0 || r.right > GetSystemMetrics(SM_CXSCREEN) || r.bottom > GetSystemMetrics(SM_CYSCREEN))
        CenterWindow(dialog);
    if (!ParseClassicControls(ctx, dialog))
        return -1;
    CreateClassicControls(ctx, dialog);
    if (ctx->bSounds)
        PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    if (ctx->eng.ctl.ActivateMethodBox > 0)
        ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
    SetInitialFocus(ctx, dialog);
    return 0;
}

void Finish(BDS* ctx, HWND dialog, int32_t result)
{
    ctx->classic.result = result;
    if (result != 0 && !StoreClassicValues(ctx, dialog))
        return;   // a file list keeps the dialog open
    if (result != 0)
        RememberPosition(ctx, dialog);
    DestroyWindow(dialog);
}

void OnCommand(BDS* ctx, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam), code = HIWORD(wParam);
    if (id == IDCANCEL) {
        ctx->classic.result = 0;
        DestroyWindow(dialog);
        return;
    }
    if (id == IDOK) {
        Finish(ctx, dialog, 1);
        return;
    }
    if (id == CLOSE_COMMAND && !lParam) {
        Finish(ctx, dialog, static_cast<int32_t>(ctx->eng.ctl.DialogCloseValue));
        return;
    }
    int index = id - 100;
    if (index < 0 || index >= ctx->classic.count)
        return;
    ClassicControl& c = At(ctx, index);
    HWND w = reinterpret_cast<HWND>(lParam);
    switch (c.type) {
    case CL_PUSHBUTTON:
        if (code == BN_CLICKED)
            Finish(ctx, dialog, c.value);
        break;
    case CL_RADIOBUTTON:
        if (code != BN_CLICKED)
            break;
        for (int i = 0; i < ctx->classic.count; ++i)
            if (At(ctx, i).type == CL_RADIOBUTTON && lstrcmpiA(At(ctx, i).variable, c.variable) == 0)
                SendMessageA(Item(ctx, dialog, i), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case CL_CHECKBOX:
        if (code == BN_CLICKED)
            SendMessageA(w, BM_SETCHECK, SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED,
                         0);
        break;
    case CL_FILELISTBOX:
        if (code == LBN_SELCHANGE || code == LBN_DBLCLK)
            FileListClicked(ctx, dialog, index, code == LBN_DBLCLK);
        break;
    default:
        break;
    }
}

bool IsClassicFormat(const wchar_t* format)
{
    return _wcsicmp(format, L"TRMDLGED,4.0") == 0 || _wcsicmp(format, L"TRMDLGED,5.0") == 0;
}

}  // namespace

std::string ClassicWindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string FileMaskOf(const std::string& text)
{
    size_t cut = text.find_last_of("\\/:");
    std::string mask;
    for (char c : cut == std::string::npos ? text : text.substr(cut + 1))
        if (c != ' ')
            mask += c;
    return mask.empty() ? "*.*" : mask;
}

bool ShowFileListClick(HWND edit, const std::string& selected, bool folder, bool doubleClick, const char* mask,
                       std::string& path)
{
    if (!folder) {
        if (edit && !selected.empty())
            SetWindowTextA(edit, selected.c_str());
        return false;
    }
    path = selected + mask;
    if (!doubleClick) {
        if (edit)
            SetWindowTextA(edit, path.c_str());
        return false;
    }
    if (edit)
        SetWindowTextA(edit, mask);
    return true;
}

void StoreTypedFileName(BDS* ctx, const char* variable, const std::string& typed)
{
    SetVariableByName(ctx, variable, typed.c_str(), 0, SV_STRING);
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    DoDirChangeA(ctx, folder);
}

bool ClassicModalLoop(BDS* ctx, HWND window)
{
    bool aborted = false;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) == 1) {
        if (ctx->bCancel && IsWindow(window)) {
            aborted = true;
            DestroyWindow(window);
        }
        if (IsWindow(window) && IsDialogMessageA(window, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return aborted;
}

LockedContext::LockedContext(HWND window)
{
    handle = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, DWLP_USER));
    if (handle)
        ctx = static_cast<BDS*>(GlobalLock(handle));
}

LockedContext::~LockedContext()
{
    if (ctx)
        GlobalUnlock(handle);
}

void KeepContextHandle(HWND window, const CREATESTRUCTA* create)
{
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

int32_t RunClassicDialog(BDS* ctx, const wchar_t* format)
{
    int inputState = SetInputBlocked(ctx, 1);
    ClassicState& state = ctx->classic;
    state.result = 0;
    state.count = 0;
    if (lstrlenA(ctx->dlg.name) >= 20)
        return DialogFail(ctx, ERR_DIALOG_NAME, nullptr, ctx->dlg.name);
    if (!IsClassicFormat(format))
        return DialogFailW(ctx, ERR_FORMAT, "Format", format);
    int32_t place[4] = {ReadDialogInt(ctx, "x"), ReadDialogInt(ctx, "y"), ReadDialogInt(ctx, "width"),
                        ReadDialogInt(ctx, "height")};
    for (int32_t v : place)
        if (v == -9999)
            return DialogFail(ctx, ERR_SIZE);
    for (int i = 0; i < 2; ++i)
        if (place[i] == -1 && ctx->eng.ctl.LastDialogPosition[i] != -1)
            place[i] = ctx->eng.ctl.LastDialogPosition[i];
    std::string caption;
    ReadDialogText(ctx, "Caption", caption);
    state.result = static_cast<int32_t>(ctx->eng.ctl.DialogCloseValue);
    if (ctx->hwndParent && IsWindowVisible(ctx->hwndParent))
        ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);

    LONG units = GetDialogBaseUnits();
    int bx = LOWORD(units), by = HIWORD(units);
    DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION;
    bool systemMenu = (ctx->eng.ctl.DialogCloseBox & OPTION_SYSTEM_MENU) != 0;
    if (systemMenu)
        style |= WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    HWND owner = ctx->hwndParent && IsWindow(ctx->hwndParent) ? ctx->hwndParent : nullptr;
    SetLastError(0);
    HWND dialog = CreateWindowExA(0, "kv0wcdl2", caption.c_str(), style, place[0] * bx / 4, place[1] * by / 8,
                                  place[2] * bx / 4, place[3] * by / 8 + GetSystemMetrics(SM_CYCAPTION), owner, nullptr,
                                  EngineModule(), ctx->hSelf);
    int32_t result = 0;
    if (!dialog) {
        DialogMessagePump(ctx);
        if (!ctx->nErrorCode)
            DialogFail(ctx, ERR_NO_WINDOW);
    } else {
        if (ctx->eng.ctl.DisplayGuiFont)
            SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        if (systemMenu)
            SetProgramIcon(dialog);
        if (ClassicModalLoop(ctx, dialog))
            state.result = 0;   // the run was aborted
        result = state.result;
    }
    if (result == 0 && !ctx->nErrorCode)
        SetError(ctx, CANCELLED);
    else if (inputState != -1)
        SetInputBlocked(ctx, inputState);
    ctx->dlg.result = result;
    ctx->eng.buttons.bNarrowSet = 0;   // the script's captions served this dialog
    return result;
}

extern "C" LRESULT CALLBACK MyDialogWndProc2(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    LockedContext locked(window);
    BDS* ctx = locked.ctx;
    if (!ctx)
        return DefDlgProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        OnCommand(ctx, window, wParam, lParam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            PostMessageA(window, WM_COMMAND, CLOSE_COMMAND, 0);
            return 0;
        }
        if ((wParam & 0xFFF0) == SC_MINIMIZE)
            ctx->dlg.focusWindow = GetFocus();
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefDlgProcA(window, message, wParam, lParam);
}
