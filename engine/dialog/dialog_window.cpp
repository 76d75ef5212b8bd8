// The 6.x dialog window: RunDialog6, the window procedure MyDialogWndProc3 and the ends of
// a dialog. WM_COMMAND and WM_NOTIFY are dialog_commands.cpp's.
#include "engine/dialog/dialog_window.h"

#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/system_flags.h"
#include "engine/dialog/dialog_colors.h"
#include "engine/dialog/dialog_controls.h"
#include "engine/dialog/dialog_deferred.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_loop.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_paint.h"
#include "engine/dialog/dialog_resize.h"
#include "engine/dialog/dialog_procedure.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/dialog_servers.h"
#include "engine/dialog/dialog_template.h"
#include "engine/dialog/dialog_units.h"
#include "engine/dialog/dialog_values.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"

namespace {

constexpr uint16_t ERR_NO_WIDE_WINDOWS = 1193;   // "Function not supported in this version of Windows"
constexpr uint16_t ERR_NO_STRINGS = 3096;
constexpr uint16_t ERR_NO_WINDOW = 3104;         // "Dialog Box: Window Creation Failed"

constexpr DWORD DIALOG_STYLE = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_3DLOOK;   // 0x90C00084
constexpr DWORD SYSMENU_STYLES = WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD SYSMENU_EX_STYLES = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
constexpr uint32_t OPTION_SYSTEM_MENU = 0x1;      // IntControl 49's option bit
constexpr int SYSMENU_ALL = 4;
constexpr int RESIZE_THRESHOLD = 2;
constexpr UINT SPI_SNAP_TO_DEFAULT = 95;          // SPI_GETSNAPTODEFBUTTON

// ---------------------------------------------------------------- placement

// Whether the window lies wholly within the screen (the virtual screen on several monitors).
bool WithinScreen(HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int left = 0, top = 0, width, height;
    if (GetSystemMetrics(SM_CMONITORS) > 1) {
        left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    } else {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    return r.left >= left && r.top >= top && r.right <= left + width && r.bottom <= top + height;
}

// Centres the window on the primary screen, its position rounded to whole dialog units.
void CenterDialogOnScreen(Dialog6Record* dlg, HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int left = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    left = UnitsToPixelsX(dlg, PixelsToUnitsX(dlg, left));
    top = UnitsToPixelsY(dlg, PixelsToUnitsY(dlg, top));
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- focus

bool Usable(const DialogControlRecord* c) { return !(c->style & (CS_INVISIBLE | CS_DISABLED)); }

HWND FocusWindowOf(const DialogControlRecord* c) { return c->buddy ? c->buddy : c->window; }

// A radio button takes the focus when it or a later button of its group is checked; the
// checked one takes it. Answers the index that takes it, or -1.
int RadioFocus(Dialog6Record* dlg, int index)
{
    DialogControlRecord* first = dlg->controls[index];
    for (int i = index; i < ControlCount(dlg); ++i) {
        DialogControlRecord* c = dlg->controls[i];
        if (c->type == CT_RADIOBUTTON && c->link[0] == first->link[0] && c->checked)
            return i;
    }
    return -1;
}

// The first usable control in tab order that takes the focus, with its focus selection.
HWND InitialFocus(Dialog6Record* dlg)
{
    for (int i = 0; i < ControlCount(dlg); ++i) {
        DialogControlRecord* c = dlg->controls[i];
        if (!Usable(c) || !c->window)
            continue;
        switch (c->type) {
        case CT_EDITBOX:
        case CT_MULTILINEBOX:
            SetEditCaret(c, c->window);
            return c->window;
        case CT_DROPLISTBOX:
            SendMessageW(c->window, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
            return c->window;
        case CT_RADIOBUTTON: {
            int taker = RadioFocus(dlg, i);
            if (taker >= 0 && Usable(dlg->controls[taker]))
                return dlg->controls[taker]->window;
            break;
        }
        case CT_CHECKBOX:
        case CT_FILELISTBOX:
        case CT_PUSHBUTTON:
        case CT_ITEMBOX:
        case CT_PICTUREBUTTON:
        case CT_CALENDAR:
        case CT_SPINNER:
        case CT_COMCONTROL:
        case CT_REPORTVIEW:
        case CT_DATETIME:
            return FocusWindowOf(c);
        default:
            break;
        }
    }
    return nullptr;
}

// With the system's snap-to-default-button setting, the pointer goes to the default push
// button, or to the focused control when that is a push button.
void SnapPointer(BDS* ctx, Dialog6Record* dlg, HWND focus)
{
    BOOL snap = FALSE;
    if (!SystemParametersInfoW(SPI_SNAP_TO_DEFAULT, 0, &snap, 0) || !snap)
        return;
    HWND target = nullptr;
    if (DialogControlRecord* def = ControlAt(dlg, dlg->defaultButton))
        target = def->window;
    int focused = DialogControlIndexOfWindow(dlg, focus);
    if (!target && focused >= 0 && dlg->controls[focused]->type == CT_PUSHBUTTON)
        target = focus;
    if (!target)
        return;
    RECT r;
    GetWindowRect(target, &r);
    MovePointerToCenter(ctx, r);
}

// ---------------------------------------------------------------- creation

bool OnCreate(Dialog6Record* dlg, HWND dialog)
{
    BDS* ctx = dlg->ctx;
    PlaceDialogOnScreen(dlg, dialog);
    if (!CreateDialogControls(ctx, dlg, dialog))
        return false;
    if (!AttachDialogMenus(ctx, dlg, dialog))
        return false;
    if (ctx->bSounds)
        PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    HWND focus = InitialFocus(dlg);
    dlg->focusOnDeactivate = focus;
    ctx->dlg.focusWindow = focus;
    if (focus)
        SetFocus(focus);   // already here, so that @deinit reads the focused control
    if (ctx->hCursorCurrent)
        SetCursor(ctx->hCursorCurrent);
    SnapPointer(ctx, dlg, focus);
    RECT client{};
    GetClientRect(dialog, &client);
    dlg->clientWidthDU = PixelsToUnitsX(dlg, client.right);
    dlg->clientHeightDU = PixelsToUnitsY(dlg, client.bottom);
    if (RaiseDialogEvent(dlg, DE_INIT, -1, nullptr) == OUTCOME_ENDING) {
        dlg->endedDuringInit = true;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- messages

void OnTimer(Dialog6Record* dlg, HWND dialog)
{
    KillTimer(dialog, DIALOG_TIMER_ID);
    dlg->timerRunning = false;
    int outcome = RaiseDialogEvent(dlg, DE_TIMER, -1, nullptr);
    if (outcome == OUTCOME_ENDING || !IsWindow(dialog) || dlg->ended)
        return;
    int32_t interval = static_cast<int32_t>(dlg->events[DE_TIMER]);
    if (interval > 0 && !dlg->timerRunning && SetTimer(dialog, DIALOG_TIMER_ID, static_cast<UINT>(interval), nullptr))
        dlg->timerRunning = true;
}

void OnClose(Dialog6Record* dlg, HWND dialog)
{
    BDS* ctx = dlg->ctx;
    if (dlg->events[DE_CLOSE] && RaiseDialogEvent(dlg, DE_CLOSE, -1, nullptr) != OUTCOME_DEFAULT)
        return;
    int32_t closeValue = static_cast<int32_t>(ctx->eng.ctl.DialogCloseValue);
    if (closeValue != 0)
        EndDialogWriting(dlg, closeValue, true);
    else
        EndDialogCancelled(dlg, true);
}

void OnActivate(Dialog6Record* dlg, HWND dialog, WPARAM wParam)
{
    if (HIWORD(wParam))
        return;   // minimised
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(dialog, focus))
            dlg->focusOnDeactivate = focus;
        return;
    }
    if (dlg->focusOnDeactivate && IsWindow(dlg->focusOnDeactivate))
        SetFocus(dlg->focusOnDeactivate);
    int focused = DialogControlIndexOfWindow(dlg, GetFocus());
    DialogControlRecord* def = ControlAt(dlg, dlg->defaultButton);
    if (def && def->window && (focused < 0 || dlg->controls[focused]->type != CT_PUSHBUTTON))
        InvalidateRect(def->window, nullptr, TRUE);
}

LRESULT OnEraseBackground(Dialog6Record* dlg, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    HDC dc = reinterpret_cast<HDC>(wParam);
    RECT clip;
    if (GetClipBox(dc, &clip) == NULLREGION || IsRectEmpty(&clip))
        return 1;
    if (dlg->backBitmap) {
        if (PaintDialogBackground(dlg, dc))
            return 1;
        return DefDlgProcW(dialog, message, wParam, lParam);
    }
    if (dlg->backBrush) {
        HGDIOBJ old = SelectObject(dc, dlg->backBrush);
        PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
        SelectObject(dc, old);
        return 1;
    }
    return DefDlgProcW(dialog, message, wParam, lParam);
}

void OnMinMaxInfo(Dialog6Record* dlg, HWND dialog, MINMAXINFO* info)
{
    int height = dlg->minHeight;
    if (GetWindowLongPtrW(dialog, GWL_STYLE) & WS_CAPTION)
        height += GetSystemMetrics(SM_CYCAPTION);
    height += MenuBarHeight(dlg, dialog);
    info->ptMinTrackSize.x = dlg->minWidth;
    info->ptMinTrackSize.y = height;
}

// The item height of a drop-list box: at least its font's text height.
void OnMeasureItem(Dialog6Record* dlg, HWND dialog, MEASUREITEMSTRUCT* item)
{
    DialogControlRecord* c = ControlAt(dlg, static_cast<int>(item->CtlID) - DIALOG_ID_BASE);
    if (!c || (c->type != CT_DROPLISTBOX && c->type != CT_ITEMBOX))
        return;
    HDC dc = GetDC(dialog);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, c->font ? c->font : dlg->font ? dlg->font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm) && item->itemHeight < static_cast<UINT>(tm.tmHeight))
        item->itemHeight = static_cast<UINT>(tm.tmHeight);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
}

LRESULT OnDrawItem(Dialog6Record* dlg, const DRAWITEMSTRUCT* item)
{
    DialogControlRecord* c = ControlAt(dlg, static_cast<int>(item->CtlID) - DIALOG_ID_BASE);
    if (!c)
        return 0;
    if (c->type == CT_PICTURE) {
        PaintPictureItem(dlg, c, item);
        return 1;
    }
    if (c->type == CT_DROPLISTBOX) {
        DrawListItem(dlg, c, item);
        return 1;
    }
    return 0;
}

// The raised @defocus: the control that got the focus, and the name of the one that lost it.
void OnFocusReport(Dialog6Record* dlg, HWND lost, int index)
{
    BDS* ctx = dlg->ctx;
    int lostIndex = DialogControlIndexOfWindow(dlg, lost);
    resultants extra;
    InitResultValue(ctx, &extra, VK_RECORD, 0);
    const char* name = lostIndex >= 0 ? dlg->controls[lostIndex]->name : "";
    if (!SetResultText(ctx, &extra, name)) {
        DialogErrorReport(ctx, ERR_NO_STRINGS, nullptr, nullptr);
        return;
    }
    RaiseDialogEvent(dlg, DE_FOCUS, index, &extra);
    FreeValue(ctx, &extra, 0, VK_RECORD);
}

bool RequestBlocksValid(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    if (!request || request->size != REQUEST_BLOCK_SIZE)
        return false;
    if (message == WM_DLG_STATE)
        return lParam && reinterpret_cast<const StateRequestBlock*>(lParam)->size == STATE_BLOCK_SIZE;
    if (message == WM_DLG_OBJECT)
        return lParam && reinterpret_cast<const ObjectRequestBlock*>(lParam)->size == OBJECT_BLOCK_SIZE;
    return true;
}

LRESULT OnRequest(Dialog6Record* dlg, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    BDS* ctx = dlg->ctx;
    if (message == WM_DLG_OPTIONS)
        return ServeDialogProcOptions(ctx, dlg, dialog, static_cast<int32_t>(wParam),
                                      reinterpret_cast<const resultants*>(lParam));
    if (!RequestBlocksValid(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_DLG_STATE: return ServeDialogControlState(ctx, dlg, dialog, wParam, lParam);
    case WM_DLG_SET: return ServeDialogControlSet(ctx, dlg, dialog, wParam, lParam);
    case WM_DLG_GET: return ServeDialogControlGet(ctx, dlg, dialog, wParam, lParam);
    default: return ServeDialogObject(ctx, dlg, dialog, wParam, lParam);
    }
}

void OnDestroy(Dialog6Record* dlg, HWND dialog)
{
    DropQueuedTimers(dialog);
    dlg->ended = true;
    if (dlg->ctx->services.bDialogSwitch) {   // a host runs the loop: it only needs waking
        dlg->running = false;
        PostMessageW(nullptr, WM_NULL, 0, 0);
        return;
    }
    PostQuitMessage(0);
}

LRESULT HandleMessage(Dialog6Record* dlg, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy(dlg, dialog);
        return 0;
    case WM_NCDESTROY:
        dlg->window = nullptr;
        break;
    case WM_ACTIVATE:
        OnActivate(dlg, dialog, wParam);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(dialog, &ps);
        EndPaint(dialog, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return OnEraseBackground(dlg, dialog, message, wParam, lParam);
    case WM_SETCURSOR:
        if (dlg->disabledDuringCall == 2) {
            SetCursor(dlg->ctx->hCursorWait);
            return 1;
        }
        break;
    case WM_GETMINMAXINFO:
        OnMinMaxInfo(dlg, dialog, reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_DRAWITEM:
        return OnDrawItem(dlg, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_MEASUREITEM:
        OnMeasureItem(dlg, dialog, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return 1;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (dlg->resizable && !(pos->flags & SWP_NOSIZE) && !IsIconic(dialog))
            DialogResizeEvent(dlg, dialog, RESIZE_THRESHOLD);
        break;
    }
    case WM_CONTEXTMENU:
        if (DialogContextMenu(dlg, dialog, wParam, lParam))
            return 0;
        break;
    case WM_INITMENUPOPUP:
        DialogInitMenuPopup(dlg, dialog, wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == DIALOG_TIMER_ID) {
            OnTimer(dlg, dialog);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE)
            dlg->ctx->dlg.focusWindow = GetFocus();
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            OnClose(dlg, dialog);
            return 0;
        }
        break;
    case WM_COMMAND:
        DialogCommand(dlg, dialog, wParam, lParam);
        return 0;
    case WM_NOTIFY:
        return DialogNotify(dlg, dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: {
        HBRUSH brush = nullptr;
        if (ControlColors(dlg, reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), &brush))
            return reinterpret_cast<LRESULT>(brush);
        break;
    }
    case DM_GETDEFID:
        return 0;   // Enter arrives as IDOK: the dialog's default push button answers it
    case WM_QUERYNEWPALETTE:
        return RealizeDialogPalettes(dlg, dialog) ? TRUE : FALSE;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != dialog)
            RealizeDialogPalettes(dlg, dialog);
        return 0;
    case WM_DLG_OPTIONS:
    case WM_DLG_STATE:
    case WM_DLG_SET:
    case WM_DLG_GET:
    case WM_DLG_OBJECT:
        return OnRequest(dlg, dialog, message, wParam, lParam);
    case WM_DLG_DESTROY:
        dlg->ended = true;
        DestroyWindow(dialog);
        return 0;
    case WM_DLG_FOCUS:
        OnFocusReport(dlg, reinterpret_cast<HWND>(wParam), static_cast<int>(lParam));
        return 0;
    case WM_DLG_DEFERRED:
        DeliverDeferredInput(dlg);
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dialog, message, wParam, lParam);
}

// ---------------------------------------------------------------- the run

// Creates the window and runs its loop; false when the window could not be made.
bool ShowDialog6(BDS* ctx, Dialog6Record* dlg, uint32_t savedOffset)
{
    DWORD style = DIALOG_STYLE, exStyle = 0;
    if (ctx->eng.ctl.DialogCloseBox & OPTION_SYSTEM_MENU) {
        style |= SYSMENU_STYLES;
        exStyle = SYSMENU_EX_STYLES;
        dlg->sysMenu = SYSMENU_ALL;
    }
    int width = dlg->width, height = dlg->height;
    if (dlg->resizable) {
        style |= WS_THICKFRAME;
        exStyle |= WS_EX_WINDOWEDGE;
        if (g_System.OsIsVistaPlus) {
            width += 2 * (GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXDLGFRAME));
            height += 2 * (GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYDLGFRAME));
        }
    }
    height += GetSystemMetrics(SM_CYCAPTION);
    HWND owner = ctx->hwndParent && IsWindow(ctx->hwndParent) ? ctx->hwndParent : nullptr;   // the main window
    SetLastError(0);
    HWND dialog = CreateWindowExW(exStyle, L"kv0wcdl3", dlg->caption, style, dlg->x, dlg->y, width, height, owner,
                                  nullptr, EngineModule(), dlg);
    if (!dialog) {
        DWORD systemError = GetLastError();
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        DialogMessagePump(ctx);
        if (!ctx->nErrorCode && !dlg->endedDuringInit) {
            ctx->nErrorOffset = savedOffset;
            SetError(ctx, ERR_NO_WINDOW);
            if (systemError)
                AddSystemErrorInfo(ctx, systemError, "Dialog");
            else
                DialogErrorReport(ctx, ERR_NO_WINDOW, nullptr, nullptr);
        }
        return false;
    }
    if (ctx->eng.ctl.DialogCloseBox & OPTION_SYSTEM_MENU)
        SetProgramIcon(dialog);
    if (ctx->eng.ctl.ActivateMethodBox > 0)
        ForceForegroundWindowW(ctx, dialog, SELECT_BOX_ACTIVATION);
    HWND focus = dlg->focusOnDeactivate;
    if (focus && IsWindow(focus) && !IsChild(dialog, GetFocus()))
        SetFocus(focus);
    DialogModalLoop(ctx, dlg, dialog);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- shared

Dialog6Record* DialogRecordOf(HWND dialog)
{
    return dialog ? reinterpret_cast<Dialog6Record*>(GetWindowLongPtrW(dialog, DWLP_USER)) : nullptr;
}

int RaiseDialogEvent(Dialog6Record* dlg, int event, int index, const resultants* extra)
{
    if (event != DE_INIT && dlg->events[event] == 0)
        return OUTCOME_DEFAULT;
    if (event == DE_INIT && !dlg->procedure[0])
        return OUTCOME_DEFAULT;
    return CallDialogProcedure(dlg->ctx, dlg, dlg->window, event, index, extra, nullptr);
}

void DropQueuedTimers(HWND dialog)
{
    MSG pending;
    while (PeekMessageW(&pending, dialog, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
}

void SetProgramIcon(HWND dialog)
{
    if (SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0))
        return;
    if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MYICON"))
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void RememberDialogPosition(Dialog6Record* dlg)
{
    RECT r;
    if (!dlg->window || !GetWindowRect(dlg->window, &r))
        return;
    dlg->ctx->eng.ctl.LastDialogPosition[0] = PixelsToUnitsX(dlg, r.left);
    dlg->ctx->eng.ctl.LastDialogPosition[1] = PixelsToUnitsY(dlg, r.top);
}

bool EndDialogWriting(Dialog6Record* dlg, int32_t result, bool destroy)
{
    dlg->result = result;
    if (!StoreDialogValues(dlg, dlg->ctx, dlg->window))
        return false;
    RememberDialogPosition(dlg);
    dlg->ended = true;
    if (destroy)
        DestroyWindow(dlg->window);
    return true;
}

void EndDialogCancelled(Dialog6Record* dlg, bool destroy)
{
    dlg->result = 0;
    dlg->ended = true;
    if (destroy)
        DestroyWindow(dlg->window);
}

void PlaceDialogOnScreen(Dialog6Record* dlg, HWND dialog)
{
    if (!WithinScreen(dialog))
        CenterDialogOnScreen(dlg, dialog);
}

void SendMouseInput(BDS* ctx, DWORD flags, int dx, int dy, DWORD data, ULONG_PTR extra)
{
    if (ctx->eng.api.pfnSendInput) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = dx;
        input.mi.dy = dy;
        input.mi.mouseData = data;
        input.mi.dwFlags = flags;
        input.mi.dwExtraInfo = extra;
        ctx->eng.api.pfnSendInput(1, &input, sizeof input);
    } else {
        mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy), data, extra);
    }
}

void MovePointerToCenter(BDS* ctx, const RECT& r)
{
    int x = MulDiv((r.left + r.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN));
    int y = MulDiv((r.top + r.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN));
    SendMouseInput(ctx, MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y, 0, 0);
}

void SetEditCaret(const DialogControlRecord* control, HWND edit)
{
    if (control->style & CS_CURLEFT)
        SendMessageW(edit, EM_SETSEL, 0, 0);
    else if (control->style & CS_CURRIGHT)
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    else
        SendMessageW(edit, EM_SETSEL, 0, -1);
}

int32_t RunDialog6(BDS* ctx, int format)
{
    uint32_t savedOffset = ctx->nErrorOffset;
    int inputState = SetInputBlocked(ctx, 1);
    Dialog6Record* dlg = nullptr;
    int32_t result = 0;
    bool parsed = false;
    if (!g_System.UnicodeMode)
        DialogFail(ctx, ERR_NO_WIDE_WINDOWS);
    else
        parsed = ParseDialogHeader(ctx, format, &dlg) && ParseDialogControlLines(ctx, dlg);

    HWND disabledOwner = nullptr;
    if (parsed) {
        dlg->result = static_cast<int32_t>(ctx->eng.ctl.DialogCloseValue);
        dlg->scopeSlot = ctx->nScopeCurrent;
        ctx->dlg.focusWindow = nullptr;
        if (ctx->hwndParent && IsWindowVisible(ctx->hwndParent))
            ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
        disabledOwner = DialogDisableParent(ctx);
        ++ctx->dlg.running6;
        bool shown = ShowDialog6(ctx, dlg, savedOffset);
        --ctx->dlg.running6;
        result = shown || dlg->endedDuringInit ? dlg->result : 0;
    }

    if (result != 0 || ctx->nErrorCode) {
        if (inputState != -1)
            SetInputBlocked(ctx, inputState);
    } else {
        SetError(ctx, 9999);   // a dialog ended with 0 is the user's cancel
    }
    ctx->dlg.result = result;
    ctx->eng.buttons.bNarrowSet = 0;
    ctx->eng.buttons.bWideSet = 0;
    DestroyDialog6(ctx, dlg ? dlg->window : nullptr, &dlg);
    if (disabledOwner) {
        EnableWindow(disabledOwner, TRUE);
        ForceForegroundWindowW(ctx, disabledOwner, SELECT_BOX_ACTIVATION);
    }
    return result;
}

LRESULT CALLBACK MyDialogWndProc3(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        LRESULT answer = DefDlgProcW(window, message, wParam, lParam);
        auto* dlg = static_cast<Dialog6Record*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (!dlg)
            return answer;
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dlg));
        dlg->window = window;
        return OnCreate(dlg, window) ? answer : -1;
    }
    Dialog6Record* dlg = DialogRecordOf(window);
    if (!dlg)
        return DefDlgProcW(window, message, wParam, lParam);
    return HandleMessage(dlg, window, message, wParam, lParam);
}
