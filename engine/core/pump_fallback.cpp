// TEMPORARY stand-in for the message pumps, so the run loop links before the real pumps
// (with the break-key poll) are merged.
// Delete this file when the message pump lands.
#include "engine/core/run_services.h"

void PumpMessages(BDS* ctx)
{
    MSG msg;
    while (!ctx->bCancel && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PumpMessagesModal(BDS* ctx)
{
    PumpMessages(ctx);
}

void WaitPumping(BDS* ctx, uint32_t milliseconds)
{
    DWORD start = GetTickCount();
    while (milliseconds && GetTickCount() - start < milliseconds && !ctx->bCancel) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - (GetTickCount() - start), QS_ALLINPUT);
        PumpMessages(ctx);
    }
    Sleep(0);
}
