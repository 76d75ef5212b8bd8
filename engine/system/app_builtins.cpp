// The application built-ins: AppExist, AppProcId, AppWaitClose, TerminateApp and
// WinWaitReady.
#include "engine/system/app_process.h"

#include <windows.h>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/core/system_flags.h"
#include "engine/data/text.h"
#include "engine/dialog/dialog_text.h"
#include "engine/system/privilege.h"
#include "engine/system/process_list.h"
#include "engine/ui/window_idle.h"
#include "engine/ui/window_search.h"

namespace {

constexpr uint16_t ERR_WINDOW_NOT_FOUND = 1464;   // "IntControl: Window not found"
constexpr uint16_t ERR_BAD_NAME_TYPE = 1615;      // "TerminateApp: Invalid 'name-type'"
constexpr DWORD LOOKUP_PAUSE_MS = 500;
constexpr int32_t DEFAULT_RETRIES = 7;
constexpr UINT LAUNCHER_CLOSE_COMMAND = 1344;     // the launcher's own close in WM_SYSCOMMAND
constexpr UINT CLOSE_REQUEST_MESSAGE = 1048;      // WM_USER + 24
constexpr UINT SEND_TIMEOUT_MS = 30000;           // a hung window does not hang the script
constexpr char LAUNCHER_CLASS[] = "Kelv6oran4";

// Sends a message and waits for the answer, giving up on a window that hangs.
void SendAndWait(HWND window, UINT message, WPARAM wParam)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, message, wParam, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &answer);
}

// Modes 0 and 1: 1 when the window is gone half a second later.
int32_t CloseAndSee(BDS* ctx, HWND window, int32_t mode)
{
    if (mode == 0) {
        if (window == ctx->hwndParent) {
            SetError(ctx, CC_STOP);
            return 1;
        }
        char className[64] = {};
        GetClassNameA(window, className, sizeof className);
        bool launcher = lstrcmpA(className, LAUNCHER_CLASS) == 0;
        SendAndWait(window, WM_SYSCOMMAND, launcher ? LAUNCHER_CLOSE_COMMAND : SC_CLOSE);
    } else {
        SendAndWait(window, CLOSE_REQUEST_MESSAGE, 0);
    }
    PumpMessages(ctx);
    WaitPumping(ctx, LOOKUP_PAUSE_MS);
    if (ctx->bCancel)
        return 0;
    return IsWindow(window) ? 0 : 1;
}

int32_t EndProcess(BDS* ctx, int32_t pid)
{
    if (pid == 0 || pid == -1)
        return 0;
    if (SystemFacts().OsIsNt)
        EnablePrivilege(ctx, SE_DEBUG_NAME);   // refused: the plain rights may do
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return 0;
    BOOL ended = TerminateProcess(process, 0);
    CloseHandle(process);
    return ended ? 1 : 0;
}

// ---------------------------------------------------------------- the cases

// AppExist, AppProcId, AppWaitClose(name [, flags [, retries]])
template <bool Collect, bool WaitClose>
void CaseAppExist(BDS* ctx, BuiltinCall& call)
{
    int32_t flags = ArgInt(call, 2, 0) | (Collect ? APP_COLLECT : 0);
    DoAppExist(ctx, ArgText(ctx, call, 1), WaitClose, flags, ArgInt(call, 3, DEFAULT_RETRIES), call.result);
}

// TerminateApp(name, mode, flag)
void CaseTerminateApp(BDS* ctx, BuiltinCall& call)
{
    int32_t answer = ArgIsWide(call, 1) ? DoTerminateAppW(ctx, ArgWText(ctx, call, 1), ArgInt(call, 2), ArgInt(call, 3))
                                        : DoTerminateAppA(ctx, ArgText(ctx, call, 1), ArgInt(call, 2), ArgInt(call, 3));
    SetResultInt(ctx, call.result, answer);
}

// WinWaitReady(title, milliseconds)
void CaseWinWaitReady(BDS* ctx, BuiltinCall& call)
{
    int32_t answer = ArgIsWide(call, 1) ? DoWinWaitReadyW(ctx, ArgWText(ctx, call, 1), ArgInt(call, 2))
                                        : DoWinWaitReadyA(ctx, ArgText(ctx, call, 1), ArgInt(call, 2));
    SetResultInt(ctx, call.result, answer);
}

const BuiltinRow kRows[] = {
    {258, CaseAppExist<false, false>},
    {259, CaseAppExist<true, false>},
    {260, CaseAppExist<false, true>},
    {727, CaseTerminateApp},
    {801, CaseWinWaitReady},
};

}  // namespace

extern const BuiltinFamily g_AppBuiltins = {"applications", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

void DoAppExist(BDS* ctx, const char* name, bool waitClose, int32_t flags, int32_t retries, resultants* result)
{
    bool collect = (flags & APP_COLLECT) != 0;
    bool sessionOnly = (flags & APP_SESSION_ONLY) != 0;
    bool byId = (flags & APP_BY_ID) != 0;
    StrBuilder list;
    StrBuilderInit(&list);
    int32_t lookups = byId || retries < 0 ? 1 : retries + 1;
    int32_t found = 0;
    for (int32_t i = 0; i < lookups; ++i) {
        found = ProcessListToolHelpA(ctx, name, sessionOnly, byId, collect, &list);
        if (found != 0)
            break;
        // Only a call that may look again waits after a lookup that found nothing.
        if (lookups > 1) {
            WaitPumping(ctx, LOOKUP_PAUSE_MS);
            if (ctx->bCancel)
                break;
        }
    }
    if (found < 0 || ctx->bCancel) {
        StrBuilderFree(&list);
        SetResultInt(ctx, result, 0);
        return;
    }
    if (collect) {
        SetResultText(ctx, result, list.length ? list.data : "", list.length);
        StrBuilderFree(&list);
        return;
    }
    StrBuilderFree(&list);
    if (!waitClose || found == 0) {
        SetResultInt(ctx, result, found > 0 ? 1 : 0);
        return;
    }
    for (;;) {
        PumpMessages(ctx);
        if (ctx->bCancel)
            break;
        WaitPumping(ctx, LOOKUP_PAUSE_MS);
        if (ctx->bCancel)
            break;
        int32_t still = ProcessListToolHelpA(ctx, name, sessionOnly, byId, false, nullptr);
        if (still <= 0) {
            SetResultInt(ctx, result, still == 0 ? 1 : 0);
            return;
        }
    }
    SetResultInt(ctx, result, 0);
}

int32_t DoTerminateAppW(BDS* ctx, const wchar_t* name, int32_t mode, int32_t flag)
{
    if (mode < 0 || mode > 4) {
        SetError(ctx, ERR_BAD_NAME_TYPE);
        return 0;
    }
    if (!name)
        name = L"";
    HWND window = nullptr;
    if (mode <= 2) {
        window = FindTopWindowW(ctx, name, 0);
        if (!window) {
            SetError(ctx, ERR_WINDOW_NOT_FOUND);
            return 0;
        }
        if (mode < 2)
            return CloseAndSee(ctx, window, mode);
    }
    int32_t pid = 0;
    if (mode == 2) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        pid = static_cast<int32_t>(owner);
    } else if (mode == 3) {
        pid = ProcessListWtsW(ctx, name, flag == 1);
    } else {
        pid = TextToLongW(name);
    }
    return EndProcess(ctx, pid);
}

int32_t DoTerminateAppA(BDS* ctx, const char* name, int32_t mode, int32_t flag)
{
    return DoTerminateAppW(ctx, WideFromNarrow(ctx, name).c_str(), mode, flag);
}

int32_t DoWinWaitReadyW(BDS* ctx, const wchar_t* title, int32_t milliseconds)
{
    HWND window = FindTopWindowW(ctx, title ? title : L"", 0);
    if (!window) {
        SetError(ctx, ERR_WINDOW_NOT_FOUND);
        return 0;
    }
    return WaitForWindowIdleWithin(ctx, window, static_cast<DWORD>(milliseconds));
}

int32_t DoWinWaitReadyA(BDS* ctx, const char* title, int32_t milliseconds)
{
    return DoWinWaitReadyW(ctx, WideFromNarrow(ctx, title).c_str(), milliseconds);
}
