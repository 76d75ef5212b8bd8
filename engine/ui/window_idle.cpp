// The input-idle wait and the examination of the target that keys and menu commands go to.
#include "engine/ui/window_idle.h"

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/ui/window_info.h"

namespace {

constexpr DWORD IDLE_STEP_MS = 100;
constexpr DWORD IDLE_DEFAULT_LIMIT_MS = 10000;
constexpr size_t EXE_NAME_SIZE = MAX_PATH;

}  // namespace

int WaitForWindowIdleWithin(BDS* ctx, HWND window, DWORD limit)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (ctx->bCancel)
            return 0;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (!pid)
            return 0;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
        if (!process)
            return 0;
        DWORD left = limit - (GetTickCount() - start);
        DWORD outcome = WaitForInputIdle(process, left < IDLE_STEP_MS ? left : IDLE_STEP_MS);
        CloseHandle(process);
        if (outcome == 0)
            return 1;
        if (outcome != WAIT_TIMEOUT)
            return 0;
        PumpMessages(ctx);
        if (ctx->bCancel || GetTickCount() - start >= limit)
            return 0;
    }
}

int WaitForWindowIdle(BDS* ctx, HWND window)
{
    DWORD limit = ctx->eng.ctl.InputIdleTimeout ? ctx->eng.ctl.InputIdleTimeout : IDLE_DEFAULT_LIMIT_MS;
    return WaitForWindowIdleWithin(ctx, window, limit);
}

bool PrepareInputTarget(BDS* ctx, HWND target)
{
    WindowOpsState& s = ctx->winops;
    char title[IDLE_TITLE_SIZE] = {};
    GetWindowTextA(target, title, IDLE_TITLE_SIZE);
    if (target != s.idleTarget || std::strcmp(title, s.idleTargetTitle) != 0) {
        s.idleTarget = target;
        std::memcpy(s.idleTargetTitle, title, sizeof title);
        s.idleTargetConsole = ctx->eng.ctl.SendKeyConsoleMode && IsDosWindow(ctx, target, true);
        s.idleTargetWaits = 0;
        if (!s.idleTargetConsole && ctx->eng.ctl.SendKeyWaitIdle) {
            char program[EXE_NAME_SIZE];
            GetWindowExeName(ctx, target, program, sizeof program);
            s.idleTargetWaits = std::strcmp(program, SIXTEEN_BIT_PROGRAM) != 0;
        }
    }
    if (s.idleTargetWaits && ctx->eng.ctl.SendKeyWaitIdle)
        WaitForWindowIdle(ctx, target);
    return s.idleTargetConsole != 0;
}
