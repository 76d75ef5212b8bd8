// The window built-ins that only test for a window or wait for one (WinExist,
// WinExistChild, WinWaitExist, WinWaitClose, WinWaitChild) and the identifier built-ins
// (WinIdGet, WinIdConvert). Tests and waits answer 0 without an error when nothing is found.
#include <windows.h>

#include <cwchar>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/ui/window_search.h"

namespace {

constexpr int32_t LONGEST_WAIT_SECONDS = 86400;
constexpr uint32_t POLL_MS = 250;
constexpr uint32_t WINWAITCLOSE_START_MS = 1500;
constexpr uint16_t ERR_WINIDGET_NOT_FOUND = 1408;

// Whole seconds: above a day is a day, below -1 is 0, -1 is no limit.
int32_t ClampWait(int32_t seconds)
{
    if (seconds > LONGEST_WAIT_SECONDS)
        return LONGEST_WAIT_SECONDS;
    return seconds < -1 ? 0 : seconds;
}

bool LimitReached(int32_t limit, uint32_t polls)
{
    return limit != -1 && polls >= static_cast<uint32_t>(limit) * 4;
}

void WaitDone(BDS* ctx)
{
    if (ctx->eng.ctl.WaitDoneDelay)
        WaitPumping(ctx, ctx->eng.ctl.WaitDoneDelay);
}

// The narrow and wide forms of the search, picked per call.
struct Search {
    BDS* ctx;
    bool wide;

    HWND Top(const BuiltinCall& c, int i, int retries) const
    {
        return wide ? FindTopWindowW(ctx, ArgWText(ctx, c, i), retries)
                    : FindTopWindowA(ctx, ArgText(ctx, c, i), retries);
    }
    HWND Once(const BuiltinCall& c, int i) const
    {
        return wide ? FindWindowOnceW(ctx, ArgWText(ctx, c, i)) : FindWindowOnceA(ctx, ArgText(ctx, c, i));
    }
    HWND Child(const BuiltinCall& c, int parent, int child, int retries) const
    {
        return wide ? FindChildWindowW(ctx, ArgWText(ctx, c, parent), ArgWText(ctx, c, child), retries, nullptr)
                    : FindChildWindowA(ctx, ArgText(ctx, c, parent), ArgText(ctx, c, child), retries, nullptr);
    }
    bool Empty(const BuiltinCall& c, int i) const
    {
        return wide ? !*ArgWText(ctx, c, i) : !*ArgText(ctx, c, i);
    }
};

Search SearchFor(BDS* ctx, const BuiltinCall& call) { return Search{ctx, ArgIsWide(call, 1)}; }

// ---------------------------------------------------------------- tests and waits

void CaseWinExist(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, SearchFor(ctx, call).Top(call, 1, 0) ? 1 : 0);
}

void CaseWinExistChild(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, SearchFor(ctx, call).Child(call, 1, 2, 0) ? 1 : 0);
}

// WinWaitExist(title, seconds): 1 once the window is there, 0 on time-out or cancel.
void CaseWinWaitExist(BDS* ctx, BuiltinCall& call)
{
    Search search = SearchFor(ctx, call);
    if (search.Empty(call, 1)) {
        SetResultInt(ctx, call.result, 1);
        return;
    }
    int32_t limit = ClampWait(ArgInt(call, 2));
    for (uint32_t polls = 0;;) {
        if (search.Once(call, 1)) {
            WaitDone(ctx);
            SetResultInt(ctx, call.result, 1);
            return;
        }
        PumpMessages(ctx);
        if (ctx->bCancel)
            break;
        WaitPumping(ctx, POLL_MS);
        if (ctx->bCancel)
            break;
        if (LimitReached(limit, ++polls))
            break;
    }
    SetResultInt(ctx, call.result, 0);
}

// WinWaitClose(title [, seconds]): 1 when the window was seen at all (it closed or the
// time ran out), 0 when it never was.
void CaseWinWaitClose(BDS* ctx, BuiltinCall& call)
{
    Search search = SearchFor(ctx, call);
    int32_t limit = ClampWait(ArgInt(call, 2, -1));
    SetResultInt(ctx, call.result, 0);
    WaitPumping(ctx, WINWAITCLOSE_START_MS);
    if (ctx->bCancel)
        return;
    bool seen = false;
    for (uint32_t polls = 0;;) {
        PumpMessages(ctx);
        if (ctx->bCancel)
            break;
        if (!search.Once(call, 1))
            break;
        seen = true;
        WaitPumping(ctx, POLL_MS);
        if (ctx->bCancel)
            return;
        ++polls;
        if (limit != -1 && polls > static_cast<uint32_t>(limit) * 4)
            break;
    }
    if (seen) {
        SetResultInt(ctx, call.result, 1);
        WaitDone(ctx);
    }
}

// WinWaitChild(parent, child, seconds): 1 once the child is there.
void CaseWinWaitChild(BDS* ctx, BuiltinCall& call)
{
    Search search = SearchFor(ctx, call);
    int32_t limit = ClampWait(ArgInt(call, 3));
    SetResultInt(ctx, call.result, 0);
    for (uint32_t polls = 0;;) {
        if (search.Child(call, 1, 2, 0))
            break;
        PumpMessages(ctx);
        if (ctx->bCancel)
            return;
        WaitPumping(ctx, POLL_MS);
        if (LimitReached(limit, ++polls) || ctx->bCancel)
            return;
    }
    WaitDone(ctx);
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- identifiers

// WinIdGet(title [, child]): the window's identifier (narrow text in both twins).
void CaseWinIdGet(BDS* ctx, BuiltinCall& call)
{
    Search search = SearchFor(ctx, call);
    int retries = static_cast<int>(ctx->eng.ctl.WindowRetryCount);
    bool child = HasArg(call, 2) && !search.Empty(call, 2);
    HWND window = child ? search.Child(call, 1, 2, retries) : search.Top(call, 1, retries);
    if (!window) {
        SetError(ctx, ERR_WINIDGET_NOT_FOUND);
        return;
    }
    char id[WINDOW_ID_BUFFER];
    WinIdFromHandleA(window, id, sizeof id);
    SetResultText(ctx, call.result, id);
}

// The text of an argument of any kind, when it has one (a COM string counts).
const wchar_t* WideTextOf(BDS* ctx, resultants* value, char* narrowOut, size_t narrowSize)
{
    if (value->flags & VF_UNICODE)
        return ValueWText(ctx, value);
    if ((value->flags & VF_VARIANT) && value->var.vt == VT_BSTR)
        return value->var.bstrVal ? value->var.bstrVal : L"";
    if (value->flags & VF_STRING)
        lstrcpynA(narrowOut, ValueText(ctx, value), static_cast<int>(narrowSize));
    return nullptr;
}

// WinIdConvert(identifier or handle): the other form, always as wide text.
void CaseWinIdConvert(BDS* ctx, BuiltinCall& call)
{
    resultants* value = &call.args[1];
    char narrow[WINDOW_ID_BUFFER + 1] = {};
    const wchar_t* wide = WideTextOf(ctx, value, narrow, sizeof narrow);
    // The identifier of handle 0 ("#WIN$ID#00000000", as WinIdConvert(0) makes it) is 0.
    int32_t decoded = 0;
    if (wide ? WinIdNumberW(wide, &decoded) : WinIdNumberA(narrow, &decoded)) {
        wchar_t number[INT_TEXT_SIZE];
        LongToTextW(decoded, number, 10);
        SetResultWText(ctx, call.result, number);
        return;
    }
    uint16_t kept = ctx->nErrorCode;
    bool isInteger = ValueToInteger(ctx, value, true, false) != 0;
    if (!isInteger) {
        ctx->nErrorCode = kept;
        isInteger = ValueToFloat(ctx, value) && ValueToInteger(ctx, value, true, false);
    }
    ctx->nErrorCode = kept;
    if (isInteger && (value->flags & VF_INT)) {
        wchar_t id[WINDOW_ID_BUFFER];
        HWND window = HandleFromNumber(value->i32);
        WinIdFromHandleW(window, id, WINDOW_ID_BUFFER);
        SetResultWText(ctx, call.result, id);
        return;
    }
    SetResultWText(ctx, call.result, L"");
}

const BuiltinRow kRows[] = {
    {767, CaseWinExist},     {768, CaseWinExistChild}, {773, CaseWinIdConvert}, {774, CaseWinIdGet},
    {798, CaseWinWaitChild}, {799, CaseWinWaitClose},  {800, CaseWinWaitExist},
};

}  // namespace

extern const BuiltinFamily g_WindowSearchBuiltins = {"window-search", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
