// Minimal forms of the dialog parts that wait for the COM control host (see dialog_seams.h):
// the object requests are refused and no COM control host window can be made.
#include "engine/dialog/dialog_seams.h"

#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_text.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST = 3974;       // "Dialog: Bad request number"
constexpr uint16_t ERR_NOT_SUPPORTED = 3975;     // "Dialog: Request not supported by control"
constexpr uint16_t ERR_ARGUMENTS = 3066;         // "Wrong Number of Arguments in Function"
constexpr int MSG_OR_PARENTHESIS = 9504;
constexpr uint32_t OBJECT_GET_PICTURE = 4;

LRESULT RefuseRequest(BDS* ctx, WPARAM wParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    DialogFailNumber(ctx, ERR_BAD_REQUEST, static_cast<int32_t>(request->code));
    return 0;
}

}  // namespace

// ---------------------------------------------------------------- request servers

// Events and objects exist only for COM controls, and none can be hosted yet; a picture
// object needs the COM layer too.
LRESULT ServeDialogObject(BDS* ctx, Dialog6Record* dlg, HWND, WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    if (request->code == OBJECT_GET_PICTURE) {
        if (!reinterpret_cast<const ObjectRequestBlock*>(lParam)->fourth) {
            char text[TEXTBUF] = {};
            LoadMyString(ctx, EngineModule(), MSG_OR_PARENTHESIS, text, sizeof text);
            AppendExtendedError(ctx, text);
            return DialogFail(ctx, ERR_ARGUMENTS);
        }
        return DialogFail(ctx, ERR_NOT_SUPPORTED);
    }
    if (request->code < 1 || request->code > 3)
        return RefuseRequest(ctx, wParam);
    int index = -1;
    DialogControlRecord* control = FindDialogControl(ctx, dlg, request->control, &index);
    if (!control)
        return 0;
    if (dlg->format == 62)
        DialogFail(ctx, ERR_NOT_SUPPORTED, nullptr, control->name);
    else
        DialogFailNumber(ctx, ERR_NOT_SUPPORTED, control->number);
    return 0;
}

// ---------------------------------------------------------------- COM controls

HWND CreateComHostWindow(BDS*, Dialog6Record*, DialogControlRecord* control, HWND dialog, int index, DWORD style)
{
    // The host class "ZalComWin" is registered by the COM layer; until then this fails.
    return CreateWindowExW(0, L"ZalComWin", control->text.c_str(), style, control->x, control->y, control->width,
                           control->height, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(DIALOG_ID_BASE + index)),
                           EngineModule(), nullptr);
}

void FreezeComControlEvents(Dialog6Record*, int) {}
