// Minimal forms of the IntControl requests that rest on the program and process built-ins
// (36, 47, 48, 56, 79, 92), until those built-ins are served (their own rows replace this
// file). Each answers as the full request does when there is nothing to act on: no window
// and no process is found; 79 raises the user-defined error without a box of its own.
#include "engine/core/context.h"
#include "engine/system/intcontrol.h"

namespace {

constexpr uint16_t ERR_WINDOW_NOT_FOUND = 1464;   // "IntControl: Window not found"
constexpr uint16_t ERR_BAD_NAME_TYPE = 1615;      // "TerminateApp: Invalid 'name-type'"
constexpr uint16_t ERR_BAD_SEVERITY = 1666;       // "ErrorEvent: Invalid 'severity'"
constexpr uint16_t ERR_BAD_USER_CODE = 1667;      // "ErrorEvent: Invalid error code"

void NoWindow(BDS* ctx, resultants* result)
{
    IntControlAnswer(ctx, result, 0);
    SetError(ctx, ERR_WINDOW_NOT_FOUND);
}

// 36 (WinWaitReady), 47 and 48 (TerminateApp modes 0 and 1) find no window.
void WindowRequest(BDS* ctx, resultants* result, const IntControlRequest&) { NoWindow(ctx, result); }

// 56: TerminateApp mode p2 + 2: by window (none found), by program name or by process id
// (no process ends).
void EndProcess(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    switch (r.p[2]) {
    case 0:
        NoWindow(ctx, result);
        return;
    case 1:
    case 2:
        IntControlAnswer(ctx, result, 0);
        return;
    default:
        IntControlAnswer(ctx, result, 0);
        SetError(ctx, ERR_BAD_NAME_TYPE);
        return;
    }
}

// 79: ErrorEvent(p1 severity, p2 code, text p3): the error stays pending for the core.
void UserError(BDS* ctx, resultants*, const IntControlRequest& r)
{
    static const uint16_t kBySeverity[] = {1668, 2669, 3670};   // minor, moderate, severe
    int32_t severity = r.p[1];
    if (severity > -1 || severity < -3) {
        SetError(ctx, ERR_BAD_SEVERITY);
        return;
    }
    if (r.p[2] < 7000 || r.p[2] > 7999) {
        SetError(ctx, ERR_BAD_USER_CODE);
        return;
    }
    ctx->eng.ctl.LastUserErrorCode = static_cast<uint32_t>(r.p[2]);
    lstrcpynA(ctx->eng.ctl.LastUserErrorText, r.text[3], sizeof ctx->eng.ctl.LastUserErrorText);
    SetError(ctx, kBySeverity[-severity - 1]);
}

// 92: file-system redirection exists only for 32-bit programs; this engine answers -1.
void FsRedirection(BDS* ctx, resultants* result, const IntControlRequest&) { IntControlAnswer(ctx, result, -1); }

const IntControlRow kRows[] = {
    {36, WindowRequest}, {47, WindowRequest}, {48, WindowRequest},
    {56, EndProcess},    {79, UserError},     {92, FsRedirection},
};

}  // namespace

extern const IntControlFamily g_IntControlProcessMinimal = {
    "process-minimal", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
