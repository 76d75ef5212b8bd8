// The message pumps, the pumping wait and the break-key poll.
#include "engine/core/pump.h"

#include <windows.h>

#include "engine/core/context.h"
#include "engine/files/directories.h"
#include "engine/native/host_call.h"

namespace {

constexpr uint32_t YIELD_NEVER = 2;        // nYieldMode: the pumps do nothing
constexpr uint32_t CF_NO_CTRL_BREAK = 8;   // nControlFlags: Ctrl+Break is off
constexpr uint32_t HOOK_IDLE = 1;          // nHookFlags: the host's idle hook

inline bool KeyDown(int key)
{
    return GetKeyState(key) < 0 || (GetAsyncKeyState(key) & 0x8000) != 0;
}

// Removes and dispatches messages until the queue is empty or the run is cancelled.
// A control's message is offered to its parent as a dialog message first. A WM_QUIT is
// put back for the host's own message loop, and pumping stops there.
void PumpQueue(BDS* ctx, DWORD sleepAfterEach)
{
    MSG msg;
    bool any = false;
    while (!ctx->bCancel && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HWND target = msg.hwnd;
        if (target && (GetWindowLongPtrA(target, GWL_STYLE) & WS_TABSTOP))
            target = GetParent(target);
        if (!target || !IsDialogMessageA(target, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        PollBreakKeys(ctx);
        Sleep(sleepAfterEach);
    }
    if (!any)
        PollBreakKeys(ctx);
}

}  // namespace

void PumpMessages(BDS* ctx)
{
    if (!ctx || ctx->nYieldMode == YIELD_NEVER)
        return;
    PumpQueue(ctx, 20);   // a flood of messages slows the script, not the user interface
    if (!ctx->bModalPump)
        Sleep(0);
}

void PumpMessagesModal(BDS* ctx)
{
    if (!ctx || ctx->nYieldMode == YIELD_NEVER)
        return;
    PumpQueue(ctx, 0);
}

void WaitPumping(BDS* ctx, uint32_t milliseconds)
{
    if (milliseconds > 0) {
        if (!ctx || ctx->nYieldMode == YIELD_NEVER) {
            Sleep(milliseconds);   // no pumping allowed: a plain wait
        } else {
            DWORD start = GetTickCount();
            DWORD remaining = milliseconds;
            for (;;) {
                DWORD woke = MsgWaitForMultipleObjects(0, nullptr, FALSE, remaining, QS_ALLINPUT);
                if (woke != WAIT_OBJECT_0)
                    break;   // time-out (or failure)
                PumpMessages(ctx);
                if (ctx->bCancel)
                    break;
                DWORD elapsed = GetTickCount() - start;
                if (elapsed >= milliseconds)
                    break;
                remaining = milliseconds - elapsed;
            }
        }
    }
    Sleep(0);
}

void PollBreakKeys(BDS* ctx)
{
    if (!ctx)
        return;
    if (KeyDown(VK_CONTROL) && KeyDown(VK_CANCEL) && !(ctx->nControlFlags & CF_NO_CTRL_BREAK)) {
        ctx->bCancel = 1;
        ctx->bCancelRequest = 1;
    }
    if (ctx->nHookFlags & HOOK_IDLE) {
        char directory[MAX_PATH] = {};
        if (HostIdleHook(ctx, directory, sizeof directory) && directory[0]) {
            uint16_t kept = ctx->nErrorCode;
            DoDirChangeA(ctx, directory);
            ctx->nErrorCode = kept;
        }
    }
}

bool PumpMessagesWhenDue(BDS* ctx)
{
    if (!ctx)
        return false;
    DWORD now = GetTickCount();
    if (now - ctx->eng.lastPumpTick < PUMP_INTERVAL_MS)
        return false;
    ctx->eng.lastPumpTick = now;
    if (ctx->bModalPump)
        PumpMessagesModal(ctx);
    else
        PumpMessages(ctx);
    return true;
}
