// Where the COM layer joins the 6.x dialog: the object requests of DialogObject (events of
// hosted controls, their objects, pictures) and the host windows of COMCONTROLs with their
// event freezing.
#include "engine/dialog/dialog_com.h"

#include <oleauto.h>

#include <string>

#include "engine/com/host/com_host.h"
#include "engine/core/eval_internal.h"

#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_text.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST = 3974;       // "Dialog: Bad request number"
constexpr uint16_t ERR_NOT_SUPPORTED = 3975;     // "Dialog: Request not supported by control"

LRESULT RefuseRequest(BDS* ctx, WPARAM wParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    DialogFailNumber(ctx, ERR_BAD_REQUEST, static_cast<int32_t>(request->code));
    return 0;
}

}  // namespace

// The object requests of COMCONTROL controls: 1 binds an event of the hosted control to
// the dialog's procedure, 2 unbinds it, 3 gives the control's object value, 4 a picture.
namespace {

constexpr uint16_t ERR_ARGUMENTS = 3066;   // "Wrong Number of Arguments in Function"
constexpr uint16_t ERR_NOT_UNICODE = 3820;
constexpr uint16_t ERR_BSTR = 1513;
constexpr int OBJECT_ADD_EVENT = 1, OBJECT_REMOVE_EVENT = 2, OBJECT_GET_OBJECT = 3, OBJECT_GET_PICTURE = 4;

// A request argument as a BSTR (3820 when it is no text, 1513 when it cannot be copied).
BSTR ArgumentBstr(BDS* ctx, const resultants* value)
{
    resultants copy{};
    InitResultValue(ctx, &copy, VK_RECORD, 0);
    CopyValue(ctx, value, &copy, 0, 0x200 | 0x20 | VK_RECORD);
    BSTR text = nullptr;
    if (!ctx->nErrorCode && ValueToWide(ctx, &copy)) {
        text = SysAllocString(ValueWText(ctx, &copy));
        if (!text)
            SetError(ctx, ERR_BSTR);
    } else if (!ctx->nErrorCode) {
        SetError(ctx, ERR_NOT_UNICODE);
    }
    FreeValue(ctx, &copy, 0, VK_RECORD);
    return text;
}

int MissingArgument(BDS* ctx)
{
    FailWithMessage(ctx, ERR_ARGUMENTS, MSG_MISSING_PAREN);
    return 0;
}

// *reported tells that the failure was already reported with the control's name.
int ServeObjectRequest(BDS* ctx, Dialog6Record* dlg, HWND dialog, const ControlRequestBlock* request,
                       const ObjectRequestBlock* block, bool* reported)
{
    if (request->code == OBJECT_GET_PICTURE) {
        if (!block->fourth)
            return MissingArgument(ctx);
        BSTR path = ArgumentBstr(ctx, block->fourth);
        int done = path ? ComHostLoadPicture(ctx, path, block->result) : 0;
        SysFreeString(path);
        return done;
    }
    int index = -1;
    DialogControlRecord* control = FindDialogControl(ctx, dlg, request->control, &index);
    *reported = true;
    if (!control)
        return 0;
    if (control->type != CT_COMCONTROL || !control->window) {
        if (dlg->format == 62)
            return DialogFail(ctx, ERR_NOT_SUPPORTED, nullptr, control->name);
        return DialogFailNumber(ctx, ERR_NOT_SUPPORTED, control->number);
    }
    *reported = false;
    switch (request->code) {
    case OBJECT_ADD_EVENT: {
        if (!block->fourth || !block->fifth)
            return MissingArgument(ctx);
        resultants number{};
        InitResultValue(ctx, &number, VK_RECORD, 0);
        CopyValue(ctx, block->fifth, &number, 0, 0x200 | 0x20 | VK_RECORD);
        int32_t identifier = ValueToInteger(ctx, &number, true, false) ? number.i32 : 0;
        FreeValue(ctx, &number, 0, VK_RECORD);
        BSTR event = ctx->nErrorCode ? nullptr : ArgumentBstr(ctx, block->fourth);
        int done = event ? ComHostAttachEvents(ctx, dialog, control->window, request->control, event, dlg->procedure,
                                               identifier)
                         : 0;
        SysFreeString(event);
        return done;
    }
    case OBJECT_REMOVE_EVENT: {
        if (!block->fourth)
            return MissingArgument(ctx);
        BSTR event = ArgumentBstr(ctx, block->fourth);
        int done = event ? ComHostRemoveEvents(ctx, control->window, event) : 0;
        SysFreeString(event);
        return done;
    }
    default:
        return GetDialogControlObject(ctx, control->window, block->result);
    }
}

}  // namespace

LRESULT ServeDialogObject(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    const auto* block = reinterpret_cast<const ObjectRequestBlock*>(lParam);
    if (request->code < 1 || request->code > 4)
        return RefuseRequest(ctx, wParam);
    SetResultInt(ctx, block->result, 0);
    uint16_t before = ctx->nErrorCode;
    bool reported = false;
    int done = ServeObjectRequest(ctx, dlg, dialog, request, block, &reported);
    if (done && request->code <= OBJECT_REMOVE_EVENT)
        SetResultInt(ctx, block->result, 1);
    if (ctx->nErrorCode && ctx->nErrorCode != before && !reported)
        DialogErrorReport(ctx, ctx->nErrorCode, nullptr, nullptr);
    return done && !ctx->nErrorCode ? 1 : 0;
}

// ---------------------------------------------------------------- COM controls

HWND CreateComHostWindow(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, HWND dialog, int index, DWORD style)
{
    RegisterComHostClass();
    ComHostCreateRecord record{};
    record.size = COM_HOST_RECORD_SIZE;
    record.ctx = ctx;
    // The Variable field of a COMCONTROL is the control's licence key; DEFAULT gives none.
    bool noKey = control->freeText.empty() || lstrcmpiA(control->freeText.c_str(), "DEFAULT") == 0;
    record.licenceKey = noKey ? nullptr : control->freeText.c_str();
    record.font = control->font ? control->font : dlg->font;
    record.backColor = control->backColor == NO_COLOR ? 0xFFFFFFFF : control->backColor;
    record.engineWord = dlg->wide ? 1 : 0;
    record.scriptAllowed = (control->style & 0x4000) ? 1 : 0;
    return CreateWindowExW(0, COM_HOST_CLASS, control->text.c_str(), style, control->x, control->y, control->width,
                           control->height, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(DIALOG_ID_BASE + index)),
                           EngineModule(), &record);
}

void PassComControlBackColor(DialogControlRecord* control)
{
    if (control->type != CT_COMCONTROL || !control->window)
        return;
    COLORREF color = control->backColor != NO_COLOR ? control->backColor : GetSysColor(COLOR_BTNFACE);
    ComHostSetAmbientColor(control->window, color, 0);
}

void FreezeComControlEvents(Dialog6Record* dlg, int freeze)
{
    for (DialogControlRecord* c : dlg->controls)
        if (c->type == CT_COMCONTROL && c->window)
            ComHostFreezeEvents(c->window, freeze);
}
