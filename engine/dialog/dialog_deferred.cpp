// Input held while a dialog procedure runs, handed on when the call has ended.
#include "engine/dialog/dialog_deferred.h"

#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_window.h"

namespace {

constexpr size_t DEFERRED_MAX = 16;   // beyond this a flood is dropped, as events were

// The release that ends a press, 0 for a message that is no press.
UINT ReleaseOf(UINT press)
{
    switch (press) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return WM_LBUTTONUP;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return WM_RBUTTONUP;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: return WM_MBUTTONUP;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK: return WM_XBUTTONUP;
    default: return 0;
    }
}

void Defer(Dialog6Record* dlg, const DeferredInput& input)
{
    if (!dlg->ended && dlg->deferred.size() < DEFERRED_MAX)
        dlg->deferred.push_back(input);
}

void PostDeferred(Dialog6Record* dlg)
{
    if (dlg->deferred.empty() || dlg->deferredPosted || !dlg->window)
        return;
    dlg->deferredPosted = PostMessageW(dlg->window, WM_DLG_DEFERRED, 0, 0) != FALSE;
}

}  // namespace

bool IsButtonPress(UINT message) { return ReleaseOf(message) != 0; }

bool IsButtonRelease(UINT message)
{
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP || message == WM_XBUTTONUP;
}

ControlPress BeginControlPress(Dialog6Record* dlg, HWND window, UINT press)
{
    ControlPress saved{dlg->pressWindow, dlg->pressRelease, dlg->pressBusy};
    dlg->pressWindow = window;
    dlg->pressRelease = ReleaseOf(press);
    dlg->pressBusy = dlg->busy;
    return saved;
}

void EndControlPress(Dialog6Record* dlg, const ControlPress& saved)
{
    dlg->pressWindow = saved.window;
    dlg->pressRelease = saved.release;
    dlg->pressBusy = saved.busy;
}

bool HoldControlRelease(Dialog6Record* dlg, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only a call that began inside the press runs now: an older call's pump may deliver a
    // control's release to a press handler that dispatches it itself.
    if (window != dlg->pressWindow || message != dlg->pressRelease || dlg->busy <= dlg->pressBusy
        || dlg->heldRelease.hwnd)
        return false;
    MSG held{};
    held.hwnd = window;
    held.message = message;
    held.wParam = wParam;
    held.lParam = lParam;
    dlg->heldRelease = held;
    dlg->heldBusy = dlg->pressBusy;
    return true;
}

void DeferDialogEvent(Dialog6Record* dlg, int event, int index)
{
    if (event == DE_MISELECT)
        Defer(dlg, DeferredInput{DeferredInput::MENU_CHOICE, index, 0, 0});
}

void DeferContextMenu(Dialog6Record* dlg, WPARAM wParam, LPARAM lParam)
{
    Defer(dlg, DeferredInput{DeferredInput::CONTEXT_MENU, -1, wParam, lParam});
}

void DialogCallEnded(Dialog6Record* dlg)
{
    if (dlg->heldRelease.hwnd && dlg->busy <= dlg->heldBusy) {
        MSG held = dlg->heldRelease;
        dlg->heldRelease = MSG{};
        if (IsWindow(held.hwnd))
            PostMessageW(held.hwnd, held.message, held.wParam, held.lParam);
    }
    if (dlg->busy == 0)
        PostDeferred(dlg);
}

void DeliverDeferredInput(Dialog6Record* dlg)
{
    dlg->deferredPosted = false;
    while (!dlg->deferred.empty() && dlg->busy == 0 && !dlg->ended && dlg->window) {
        DeferredInput next = dlg->deferred.front();
        dlg->deferred.erase(dlg->deferred.begin());
        if (next.kind == DeferredInput::MENU_CHOICE)
            RaiseDialogEvent(dlg, DE_MISELECT, next.index, nullptr);
        else
            DialogContextMenu(dlg, dlg->window, next.wParam, next.lParam);
    }
    if (dlg->ended)
        dlg->deferred.clear();
}
