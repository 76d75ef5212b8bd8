// The dialog procedure call and the options of DialogProcOptions.
#include "engine/dialog/dialog_procedure.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/core/engine_setup.h"
#include "engine/core/module.h"
#include "engine/core/runloop.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_paint.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_request_args.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/dialog_deferred.h"
#include "engine/dialog/dialog_template.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_units.h"
#include "engine/dialog/dialog_window.h"
#include "engine/ui/foreground.h"

namespace {

constexpr uint16_t ERR_NOT_TEXT = 3056;        // "Variable could not be converted to string"
constexpr uint16_t ERR_NO_STRINGS = 3096;      // "Memory allocation failure.  Out of memory for strings"
constexpr uint16_t ERR_INVALID_VALUE = 1824;   // "Invalid value"
constexpr uint16_t ERR_BAD_NUMBER = 3973;      // "Dialog: Bad control number"
constexpr uint16_t ERR_BAD_REQUEST = 3974;     // "Dialog: Bad request number"
constexpr uint16_t ERR_NO_WINDOW = 3975;       // "Dialog: Request not supported by control"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;     // "Dialog: Expecting a numeric value in parameter"
constexpr uint16_t ERR_TIMER = 3979;           // "Dialog: System refused to set timer"
constexpr uint16_t ERR_BAD_COLOR = 3980;       // "Dialog: Bad color description"
constexpr uint16_t ERR_BAD_BITMAP = 3981;      // "Dialog: Bad bitmap file"

constexpr uint32_t PUMP_MODE_IN_CALL = 3;
constexpr uint32_t PUMP_BIT_DIALOG = 2;
constexpr uint32_t PUMP_BIT_ENABLED = 4;
constexpr int DISABLED_DURING_CALL = 2;
constexpr int TITLE_MAX = 254;

enum : int32_t {
    OPT_DISABLE = 1000,
    OPT_BACKGROUND = 1001,
    OPT_SYSMENU = 1002,
    OPT_TITLE = 1003,
    OPT_CONTROL_NAME = 1004,
    OPT_CONTROL_NUMBER = 1005,
    OPT_CONTROL_WINDOW = 1006,
    OPT_CLIENT_SIZE = 1007,
    OPT_CONTROL_TYPE = 1008,
};

// Events whose notification must finish before the window goes: they end by message 7030.
bool EndsByPostedMessage(int event)
{
    return event == DE_EDTEXT || event == DE_DLCHANGE || event == DE_COMEVENT || event == DE_RVHCLICK;
}

void CloseAfterEvent(Dialog6Record* dlg, HWND dialog, int event)
{
    dlg->ended = true;
    if (event == DE_INIT)
        return;   // the creation code ends the dialog itself
    if (EndsByPostedMessage(event))
        PostMessageW(dialog, WM_DLG_DESTROY, 0, 0);
    else
        DestroyWindow(dialog);
}

// The procedure's third argument: the control's number (6.1) or name (6.2).
bool MakeControlArgument(BDS* ctx, Dialog6Record* dlg, int index, resultants* arg)
{
    InitResultValue(ctx, arg, VK_RECORD, 0);
    DialogControlRecord* control = ControlAt(dlg, index);
    if (dlg->format != 62) {
        SetResultInt(ctx, arg, control ? control->number : 0);
        return true;
    }
    if (SetResultText(ctx, arg, control ? control->name : ""))
        return true;
    DialogFail(ctx, ERR_NO_STRINGS);
    return false;
}

// The option's value as an integer; false with 3978 reported.
bool OptionInteger(BDS* ctx, const resultants* value, int32_t* out)
{
    if (DialogValueInteger(ctx, value, out))
        return true;
    DialogFail(ctx, ERR_NOT_NUMERIC);
    return false;
}

bool IsIntegerMinusOne(const resultants* value)
{
    return (value->flags & VF_INT) && !(value->flags & (VF_STRING | VF_UNICODE)) && value->i32 == -1;
}

uint64_t HeapNarrow(BDS* ctx, const char* text)
{
    uint64_t offset = HeapCopyText(ctx, text, std::strlen(text));
    if (!offset)
        DialogFail(ctx, ERR_NO_STRINGS);
    return offset;
}

// ---------------------------------------------------------------- the options

LRESULT EventSwitch(BDS* ctx, Dialog6Record* dlg, int32_t option, const resultants* value)
{
    if (option == DE_COMEVENT || (option >= DE_MISELECT && dlg->format != 62)
        || (option == DE_RESIZE && !dlg->resizable))
        return DialogFailNumber(ctx, ERR_BAD_REQUEST, option);
    int32_t v;
    if (!OptionInteger(ctx, value, &v))
        return 0;
    uint32_t old = dlg->events[option];
    if (v != -1)
        dlg->events[option] = static_cast<uint32_t>(v);
    return old;
}

LRESULT TimerOption(BDS* ctx, Dialog6Record* dlg, HWND dialog, const resultants* value)
{
    int32_t v;
    if (!OptionInteger(ctx, value, &v))
        return 0;
    int32_t old = static_cast<int32_t>(dlg->events[DE_TIMER]);
    if (v > 0) {
        if (!SetTimer(dialog, DIALOG_TIMER_ID, static_cast<UINT>(v), nullptr))
            return DialogFailNumber(ctx, ERR_TIMER, v);
        dlg->timerRunning = true;
    } else if (v == 0 && dlg->timerRunning) {
        KillTimer(dialog, DIALOG_TIMER_ID);
        DropQueuedTimers(dialog);
        dlg->timerRunning = false;
    }
    if (v != -1)
        dlg->events[DE_TIMER] = static_cast<uint32_t>(v);
    return old;
}

LRESULT DisableOption(BDS* ctx, Dialog6Record* dlg, HWND dialog, const resultants* value)
{
    int32_t v;
    if (!OptionInteger(ctx, value, &v))
        return 0;
    LRESULT old = dlg->disabledDuringCall != 0;
    if (v == -1)
        return old;
    if (v != 0) {
        if (ctx->hwndParent && IsWindowVisible(ctx->hwndParent))
            ForceForegroundWindowW(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
        if (ctx->bModalPump & PUMP_BIT_DIALOG)
            ctx->bModalPump &= ~PUMP_BIT_ENABLED;
        EnableWindow(dialog, FALSE);
        dlg->disabledDuringCall = DISABLED_DURING_CALL;
    } else {
        ForceForegroundWindowW(ctx, dialog, SELECT_BOX_ACTIVATION);
        if (ctx->bModalPump & PUMP_BIT_DIALOG)
            ctx->bModalPump |= PUMP_BIT_ENABLED;
        EnableWindow(dialog, TRUE);
        dlg->disabledDuringCall = 0;
    }
    return old;
}

// Sets the dialog's background from a text: DEFAULT, a colour or a bitmap file. false with
// the error reported (the old background stays).
bool SetDialogBackground(BDS* ctx, HWND dialog, const wchar_t* text, Dialog6Record* dlg)
{
    std::wstring wanted = text && *text ? text : L"DEFAULT";
    HBRUSH brush = nullptr;
    HBITMAP bitmap = nullptr;
    if (!IsDefaultField(wanted)) {
        if (LooksLikeColor(wanted.c_str())) {
            COLORREF color;
            if (!ParseColorSpec(wanted.c_str(), &color))
                return DialogFailW(ctx, ERR_BAD_COLOR, nullptr, wanted.c_str()) != 0;
            brush = CreateSolidBrush(color);
        } else if (LoadDrawDib(ctx)) {
            bitmap = LoadBackgroundBitmap(ctx, wanted.c_str());
            if (!bitmap)
                return DialogFailW(ctx, ERR_BAD_BITMAP, nullptr, wanted.c_str()) != 0;
        }
    }
    if (dlg->backBrush)
        DeleteObject(dlg->backBrush);
    if (dlg->backBitmap)
        DeleteObject(dlg->backBitmap);
    ReleaseBitmapPaint(ctx, &dlg->backPalette, &dlg->backDrawDib);
    dlg->backBrush = brush;
    dlg->backBitmap = bitmap;
    dlg->backgroundText = NarrowFromWide(ctx, wanted.c_str());
    InvalidateRect(dialog, nullptr, TRUE);
    UpdateWindow(dialog);
    return true;
}

LRESULT BackgroundOption(BDS* ctx, Dialog6Record* dlg, HWND dialog, const resultants* value)
{
    bool query = IsIntegerMinusOne(value);
    std::wstring text;
    if (!query) {
        if (value->flags & VF_UNICODE) {
            text = ValueWText(ctx, value);
            if (NarrowFromWide(ctx, text.c_str()).empty() && !text.empty())
                return DialogFail(ctx, ERR_NOT_TEXT);
        } else if (value->flags & VF_STRING) {
            text = WideFromNarrow(ctx, ValueText(ctx, value));
        } else {
            return DialogFailNumber(ctx, ERR_BAD_COLOR, value->i32);
        }
        query = text == L"-1";
    }
    std::string old = dlg->backgroundText.empty() ? std::string("DEFAULT") : dlg->backgroundText;
    if (!query && !SetDialogBackground(ctx, dialog, text.c_str(), dlg))
        return 0;
    return static_cast<LRESULT>(HeapNarrow(ctx, old.c_str()));
}

LRESULT SysMenuOption(BDS* ctx, Dialog6Record* dlg, HWND dialog, const resultants* value)
{
    int32_t v;
    if (!OptionInteger(ctx, value, &v))
        return 0;
    int old = dlg->sysMenu;
    if (v == -1)
        return old;
    LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE)
                       & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT);
    switch (v) {
    case 0: break;
    case 1: style |= WS_SYSMENU; break;
    case 2:
        style |= WS_SYSMENU | WS_MINIMIZEBOX;
        exStyle |= WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
        break;
    case 3: style |= WS_SYSMENU | WS_MAXIMIZEBOX; break;
    default:
        style |= WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        exStyle |= WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
        break;
    }
    SetWindowLongPtrW(dialog, GWL_STYLE, style);
    SetWindowLongPtrW(dialog, GWL_EXSTYLE, exStyle);
    dlg->sysMenu = v;
    if (old == 0)
        SetProgramIcon(dialog);
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (IsWindowVisible(dialog))
        RedrawWindow(dialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
    return old;
}

LRESULT TitleOption(BDS* ctx, Dialog6Record* dlg, HWND dialog, const resultants* value)
{
    wchar_t current[TITLE_MAX + 1] = {};
    GetWindowTextW(dialog, current, TITLE_MAX + 1);
    uint64_t old = HeapCopyWText(ctx, current, std::wcslen(current));
    if (!old)
        return DialogFail(ctx, ERR_NO_STRINGS);
    if (IsIntegerMinusOne(value))
        return static_cast<LRESULT>(old);
    resultants temp;
    InitResultValue(ctx, &temp, VK_RECORD, 0);
    CopyValue(ctx, value, &temp, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT);
    bool ok = ValueToWide(ctx, &temp) != 0;
    std::wstring title = ok ? ValueWText(ctx, &temp) : L"";
    FreeValue(ctx, &temp, 0, VK_RECORD);
    if (!ok) {
        VFree(ctx, old);
        return DialogFail(ctx, ERR_NOT_TEXT);
    }
    if (title.size() > TITLE_MAX)
        title.resize(TITLE_MAX);
    SetWindowTextW(dialog, title.c_str());
    std::wmemcpy(dlg->caption, title.c_str(), title.size() + 1);
    return static_cast<LRESULT>(old);
}

LRESULT ControlNameOption(BDS* ctx, Dialog6Record* dlg, const resultants* value)
{
    int32_t number;
    if (!OptionInteger(ctx, value, &number))
        return 0;
    for (DialogControlRecord* c : dlg->controls)
        if (c->number == number)
            return static_cast<LRESULT>(HeapNarrow(ctx, c->name));
    return DialogFailNumber(ctx, ERR_BAD_NUMBER, number);
}

LRESULT ClientSizeOption(BDS* ctx, Dialog6Record* dlg, HWND dialog, const resultants* value)
{
    int32_t v;
    if (!OptionInteger(ctx, value, &v))
        return 0;
    if (v != -1)
        return DialogFailNumber(ctx, ERR_INVALID_VALUE, v);
    int width = dlg->clientWidthDU, height = dlg->clientHeightDU;
    if (!dlg->resizable) {
        RECT client{};
        GetClientRect(dialog, &client);
        width = PixelsToUnitsX(dlg, client.right);
        height = PixelsToUnitsY(dlg, client.bottom);
    }
    char text[32];
    wsprintfA(text, "%d %d", width, height);
    return static_cast<LRESULT>(HeapNarrow(ctx, text));
}

LRESULT NamedControlOption(BDS* ctx, Dialog6Record* dlg, int32_t option, const resultants* value)
{
    DialogControlRecord* c = FindDialogControl(ctx, dlg, value, nullptr);
    if (!c)
        return 0;
    switch (option) {
    case OPT_CONTROL_NUMBER:
        return c->number;
    case OPT_CONTROL_WINDOW:
        if (!c->window)
            return DialogFail(ctx, ERR_NO_WINDOW, nullptr, c->name);
        return static_cast<LRESULT>(static_cast<int32_t>(reinterpret_cast<INT_PTR>(c->window)));
    default: {
        uint64_t offset = ControlTypeKeyword(ctx, c->type);
        if (!offset)
            DialogErrorReport(ctx, ERR_NO_STRINGS, nullptr, nullptr);
        return static_cast<LRESULT>(offset);
    }
    }
}

}  // namespace

// ---------------------------------------------------------------- the procedure call

int CallDialogProcedure(BDS* ctx, Dialog6Record* dlg, HWND dialog, int event, int index, const resultants* extra,
                        const void* arguments)
{
    if (!dlg)
        dlg = DialogRecordOf(dialog);
    if (!dlg)
        return OUTCOME_ENDING;
    if (dlg->busy != 0) {
        // Events that arrive while the procedure runs are dropped, but for a menu choice,
        // which nothing else would keep: it comes after the call.
        DeferDialogEvent(dlg, event, index);
        return OUTCOME_HANDLED;
    }
    resultants control;
    if (!MakeControlArgument(ctx, dlg, index, &control))
        return OUTCOME_ENDING;

    ++dlg->busy;
    uint16_t errorBefore = ctx->nErrorCode;
    uint32_t savedPump = ctx->bModalPump;
    ctx->bModalPump = PUMP_MODE_IN_CALL;
    if (dlg->hasComControls)
        FreezeComControlEvents(dlg, 1);
    int64_t answer = CallUserFunctionByName(ctx, dialog, dlg->procedure, event, &control, extra,
                                            static_cast<const UdfNativeCallback*>(arguments));
    int32_t result = static_cast<int32_t>(answer);
    if (dlg->hasComControls)
        FreezeComControlEvents(dlg, 0);
    if (dlg->disabledDuringCall) {
        ForceForegroundWindowW(ctx, dialog, SELECT_BOX_ACTIVATION);
        if (ctx->bModalPump & PUMP_BIT_DIALOG)
            ctx->bModalPump |= PUMP_BIT_ENABLED;
        EnableWindow(dialog, TRUE);
        dlg->disabledDuringCall = 0;
    }
    ctx->bModalPump = savedPump;
    --dlg->busy;
    DialogCallEnded(dlg);
    FreeValue(ctx, &control, 0, VK_RECORD);

    // The dialog may have ended while the procedure ran (a click it let through, an
    // abort); its result is decided then.
    if (dlg->ended || !IsWindow(dialog))
        return OUTCOME_ENDING;
    // An error the procedure did not handle (it was reported), an Exit or a cancel ends the
    // run: the dialog goes with it, and Dialog returns with the error.
    if (!errorBefore && ctx->nErrorCode) {
        EndDialogCancelled(dlg, false);
        CloseAfterEvent(dlg, dialog, event);
        return OUTCOME_ENDING;
    }
    if (result == RET_NOEXIT)
        return OUTCOME_HANDLED;
    if (result == RET_DEFAULT)
        return OUTCOME_DEFAULT;
    if (result != RET_CANCEL) {
        if (!EndDialogWriting(dlg, result, false))
            return OUTCOME_DEFAULT;
    } else {
        EndDialogCancelled(dlg, false);
    }
    CloseAfterEvent(dlg, dialog, event);
    return OUTCOME_ENDING;
}

// ---------------------------------------------------------------- DialogProcOptions

LRESULT ServeDialogProcOptions(BDS* ctx, Dialog6Record* dlg, HWND dialog, int32_t option, const resultants* value)
{
    if (!value)
        return 0;
    if (option >= 0 && option < DIALOG_EVENT_COUNT)
        return option == DE_TIMER ? TimerOption(ctx, dlg, dialog, value) : EventSwitch(ctx, dlg, option, value);
    bool only62 = option >= OPT_CONTROL_NAME && option <= OPT_CONTROL_TYPE;
    if (only62 && dlg->format != 62)
        return DialogFailNumber(ctx, ERR_BAD_REQUEST, option);
    switch (option) {
    case OPT_DISABLE:
        return DisableOption(ctx, dlg, dialog, value);
    case OPT_BACKGROUND:
        return BackgroundOption(ctx, dlg, dialog, value);
    case OPT_SYSMENU:
        return SysMenuOption(ctx, dlg, dialog, value);
    case OPT_TITLE:
        return TitleOption(ctx, dlg, dialog, value);
    case OPT_CONTROL_NAME:
        return ControlNameOption(ctx, dlg, value);
    case OPT_CONTROL_NUMBER:
    case OPT_CONTROL_WINDOW:
    case OPT_CONTROL_TYPE:
        return NamedControlOption(ctx, dlg, option, value);
    case OPT_CLIENT_SIZE:
        return ClientSizeOption(ctx, dlg, dialog, value);
    default:
        return DialogFailNumber(ctx, ERR_BAD_REQUEST, option);
    }
}

OptionAnswer DialogOptionAnswerKind(int32_t option)
{
    switch (option) {
    case OPT_TITLE:
        return ANSWER_WIDE;
    case OPT_BACKGROUND:
    case OPT_CONTROL_NAME:
    case OPT_CLIENT_SIZE:
    case OPT_CONTROL_TYPE:
        return ANSWER_NARROW;
    default:
        return ANSWER_INTEGER;
    }
}
