// Minimal forms of the dialog parts not built yet (see dialog_seams.h): the request
// servers refuse their requests, the classic formats are refused, menus, report-view
// contents, resizing and bitmaps do nothing, and no COM control host window can be made.
#include "engine/dialog/dialog_seams.h"

#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_text.h"

namespace {

constexpr uint16_t ERR_FORMAT = 3220;            // "Dialog: Format version not supported"
constexpr uint16_t ERR_BAD_REQUEST = 3974;       // "Dialog: Bad request number"
constexpr uint16_t ERR_NOT_SUPPORTED = 3975;     // "Dialog: Request not supported by control"

LRESULT RefuseRequest(BDS* ctx, WPARAM wParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    DialogFailNumber(ctx, ERR_BAD_REQUEST, static_cast<int32_t>(request->code));
    return 0;
}

}  // namespace

// ---------------------------------------------------------------- request servers

LRESULT ServeDialogControlState(BDS* ctx, Dialog6Record*, HWND, WPARAM wParam, LPARAM)
{
    return RefuseRequest(ctx, wParam);
}

LRESULT ServeDialogControlSet(BDS* ctx, Dialog6Record*, HWND, WPARAM wParam, LPARAM)
{
    return RefuseRequest(ctx, wParam);
}

LRESULT ServeDialogControlGet(BDS* ctx, Dialog6Record*, HWND, WPARAM wParam, LPARAM)
{
    return RefuseRequest(ctx, wParam);
}

// Events and objects exist only for COM controls, and none can be hosted yet.
LRESULT ServeDialogObject(BDS* ctx, Dialog6Record* dlg, HWND, WPARAM wParam, LPARAM)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
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

// ---------------------------------------------------------------- classic dialogs

int32_t RunClassicDialog(BDS* ctx, const wchar_t* format)
{
    DialogFailW(ctx, ERR_FORMAT, "Format", format);
    return 0;
}

extern "C" LRESULT CALLBACK MyDialogWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

extern "C" LRESULT CALLBACK MyDialogWndProc2(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- menus

int AttachDialogMenus(BDS*, Dialog6Record*, HWND) { return 1; }

bool DialogContextMenu(Dialog6Record*, HWND, WPARAM, LPARAM) { return false; }

void DialogInitMenuPopup(Dialog6Record*, HWND, WPARAM, LPARAM) {}

// ---------------------------------------------------------------- report views

int ReportViewFill(BDS*, Dialog6Record*, int, HWND) { return 1; }

bool ReportViewNotify(Dialog6Record*, HWND, int, const NMHDR*, LRESULT*) { return false; }

int ReportViewStoreSelection(BDS*, Dialog6Record*, DialogControlRecord*) { return 1; }

// ---------------------------------------------------------------- resizing and painting

void DialogResizeEvent(Dialog6Record*, HWND, int) {}

int PaintDialogBitmap(Dialog6Record*, HDC) { return 0; }

void PaintPictureItem(Dialog6Record*, DialogControlRecord*, const DRAWITEMSTRUCT*) {}

// ---------------------------------------------------------------- COM controls

HWND CreateComHostWindow(BDS*, Dialog6Record*, DialogControlRecord* control, HWND dialog, int index, DWORD style)
{
    // The host class "ZalComWin" is registered by the COM layer; until then this fails.
    return CreateWindowExW(0, L"ZalComWin", control->text.c_str(), style, control->x, control->y, control->width,
                           control->height, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(DIALOG_ID_BASE + index)),
                           EngineModule(), nullptr);
}

void FreezeComControlEvents(Dialog6Record*, int) {}
