// The message loops of a running dialog.
#include "engine/dialog/dialog_loop.h"

#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/dialog/dialog_record.h"

namespace {

constexpr UINT FORWARD_MESSAGE = 0x37F;   // WM_FORWARDMSG: offered to hosted controls first
constexpr int CLASS_NAME_MAX = 31;

bool IsKeyOrMouse(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// The child of the dialog that contains the focus takes the message when it answers 1.
bool ForwardedToFocusChild(HWND dialog, MSG* msg)
{
    HWND child = GetFocus();
    while (child && GetParent(child) != dialog)
        child = GetParent(child);
    return child && SendMessageW(child, FORWARD_MESSAGE, 0, reinterpret_cast<LPARAM>(msg)) == 1;
}

void Deliver(MSG* msg)
{
    TranslateMessage(msg);
    DispatchMessageW(msg);
}

}  // namespace

void DialogModalLoop(BDS* ctx, Dialog6Record* dlg, HWND dialog)
{
    dlg->running = true;
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) == 1) {
        if (!ctx->bCancel && IsWindow(dialog)) {
            bool taken = dlg->accelerators && TranslateAcceleratorW(dialog, dlg->accelerators, &msg);
            if (!taken && IsKeyOrMouse(msg.message))
                taken = ForwardedToFocusChild(dialog, &msg);
            if (!taken && !IsDialogMessageW(dialog, &msg))
                Deliver(&msg);
        } else {
            Deliver(&msg);
        }
        if (!dlg->running)
            break;
        if (ctx->bCancel && IsWindow(dialog) && !dlg->ended) {
            dlg->result = 0;   // the run is aborted
            dlg->ended = true;
            DestroyWindow(dialog);
        }
    }
    dlg->running = false;
    if (got == 0 && IsWindow(dialog)) {
        dlg->result = 0;   // somebody else's WM_QUIT: it is theirs
        PostQuitMessage(static_cast<int>(msg.wParam));
    }
}

void DialogMessagePump(BDS* ctx)
{
    MSG msg;
    bool any = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        if (ctx->bCancel)
            return;
        HWND target = msg.hwnd;
        if (target && (GetWindowLongPtrW(target, GWL_STYLE) & WS_TABSTOP))
            target = GetParent(target);
        if (!target || !IsDialogMessageW(target, &msg))
            Deliver(&msg);
        PollBreakKeys(ctx);
        Sleep(0);
    }
    if (!any)
        PollBreakKeys(ctx);
}

HWND DialogDisableParent(BDS* ctx)
{
    HWND current = ctx->hwndOwner;
    if (!current || !IsWindow(current))
        return nullptr;
    if (ctx->dlg.running6 == 0 && !ctx->services.bDialogSwitch) {
        wchar_t name[CLASS_NAME_MAX + 1] = {};
        GetClassNameW(current, name, CLASS_NAME_MAX + 1);
        if (lstrcmpW(name, L"kv0wcdl3") != 0)
            return nullptr;
    }
    if (!IsWindowEnabled(current))
        return nullptr;
    EnableWindow(current, FALSE);
    return current;
}
