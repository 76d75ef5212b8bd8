// The single-step debugger: the modal dialog "DEBUG" before each statement while stepping.
// It shows the statement just run with its outcome and error, and the statement about to
// run; Next runs it, Run stops stepping, Cancel cancels the run, Show Var looks a variable
// up. The texts of the statement just run are kept by the trace's hook after each statement.
// It also stops when a user-defined function or a called script is entered and left.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/core/tokenizer.h"
#include "engine/core/trace.h"
#include "engine/system/input_block.h"

namespace {

enum : int {
    ID_NEXT = IDOK,
    ID_CANCEL = IDCANCEL,
    ID_RUN = 3,
    ID_SHOW_VAR = 4,
    ID_LAST_STATEMENT = 10,
    ID_OUTCOME = 11,
    ID_ERROR = 12,
    ID_NEXT_STATEMENT = 13,
    ID_VARIABLE = 14,
    ID_NEXT_LABEL = 201,
};

enum : int {
    MSG_CANCEL = 121,
    MSG_NEXT = 126,
    MSG_RUN = 127,
    MSG_SHOW_VAR = 128,
    MSG_NEXT_STATEMENT = 133,
    MSG_UNKNOWN_VARIABLE = 806,
    MSG_DEBUG_INITIALIZED = 807,
    MSG_CALLING_UDF = 871,
    MSG_RETURNING_FROM_UDF = 872,
    MSG_CALLING_SCRIPT = 884,
    MSG_RETURNING_FROM_SCRIPT = 885,
};

BDS* DialogContext(HWND dialog) { return reinterpret_cast<BDS*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void SetItemMessage(BDS* ctx, HWND dialog, int item, int id)
{
    char text[256];
    LoadMyString(ctx, EngineModule(), id, text, sizeof text);
    SetDlgItemTextA(dialog, item, text);
}

// Topmost; at its last place, or with its bottom-right corner at 95% of the screen.
void PlaceDialog(BDS* ctx, HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x, y;
    if (ctx->trace.bDebugRect) {
        x = ctx->trace.rcDebug.left;
        y = ctx->trace.rcDebug.top;
    } else {
        x = GetSystemMetrics(SM_CXSCREEN) * 95 / 100 - width;
        y = GetSystemMetrics(SM_CYSCREEN) * 95 / 100 - height;
    }
    SetWindowPos(dialog, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
}

void InitDebugDialog(HWND dialog, BDS* ctx)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));
    SetItemMessage(ctx, dialog, ID_NEXT, MSG_NEXT);
    SetItemMessage(ctx, dialog, ID_CANCEL, MSG_CANCEL);
    SetItemMessage(ctx, dialog, ID_RUN, MSG_RUN);
    SetItemMessage(ctx, dialog, ID_SHOW_VAR, MSG_SHOW_VAR);
    SetItemMessage(ctx, dialog, ID_NEXT_LABEL, MSG_NEXT_STATEMENT);
    PlaceDialog(ctx, dialog);

    TraceState& t = ctx->trace;
    if (!t.bDebugShown) {
        t.bDebugShown = 1;
        SetItemMessage(ctx, dialog, ID_LAST_STATEMENT, MSG_DEBUG_INITIALIZED);
    } else {
        SetDlgItemTextA(dialog, ID_LAST_STATEMENT, t.szTraceLine);
        SetDlgItemTextA(dialog, ID_OUTCOME, t.szTraceOutcome);
        SetDlgItemTextA(dialog, ID_ERROR, t.szTraceError);
        if (t.szTraceError[0])
            MessageBeep(0);
    }
    SetDlgItemTextA(dialog, ID_VARIABLE, t.szShowVar);
    SetDlgItemTextA(dialog, ID_NEXT_STATEMENT, t.szNextStatement);
}

void RememberPlace(BDS* ctx, HWND dialog)
{
    if (GetWindowRect(dialog, &ctx->trace.rcDebug))
        ctx->trace.bDebugRect = 1;
}

// The name in a Show Var text: up to the first "=" or blank outside square brackets.
std::string ShownName(const char* text)
{
    std::string name;
    int depth = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '[')
            ++depth;
        else if (*p == ']' && depth > 0)
            --depth;
        else if (depth == 0 && (*p == '=' || *p == ' ' || *p == '\t'))
            break;
        name += *p;
    }
    return name;
}

void ShowVariable(BDS* ctx, HWND dialog)
{
    char text[TRACE_TEXT_SIZE];
    GetDlgItemTextA(dialog, ID_VARIABLE, text, sizeof text);
    std::string name = ShownName(text);
    char value[TRACE_TEXT_SIZE];
    std::string shown;
    if (!name.empty() && ValueToDisplayText(ctx, name.c_str(), value, sizeof value)) {
        shown = name + " = \"" + value + "\"";
    } else {
        char unknown[256];
        LoadMyString(ctx, EngineModule(), MSG_UNKNOWN_VARIABLE, unknown, sizeof unknown);
        shown = name + " " + unknown;
    }
    lstrcpynA(ctx->trace.szShowVar, shown.c_str(), sizeof ctx->trace.szShowVar);
    SetDlgItemTextA(dialog, ID_VARIABLE, ctx->trace.szShowVar);
}

}  // namespace

void ResetDebuggerRun(BDS* ctx)
{
    ctx->trace.bDebugShown = 0;
    ctx->trace.bDebugLocked = 0;
    ctx->trace.bStepped = 0;
    ctx->trace.bDebugCancelled = 0;
}

int TraceBeforeStatement(BDS* ctx, RunSite* site)
{
    TraceLineText(site->line, ctx->trace.szNextStatement, sizeof ctx->trace.szNextStatement);
    return OpenDebugDialog(ctx);
}

namespace {

// Runs "DEBUG" modally; 1 when it answered Next or Run, 0 for Cancel.
int RunDebugDialog(BDS* ctx)
{
    // Quiet mode runs unattended: nobody would answer the dialog.
    if (ctx->err.bQuietMode)
        return 1;
    int input = SetInputBlocked(ctx, 1);
    INT_PTR answer = DialogBoxParamA(EngineModule(), "DEBUG", ctx->hwndOwner, DebugProc,
                                     reinterpret_cast<LPARAM>(ctx));
    if (input != -1)
        SetInputBlocked(ctx, input);
    PumpMessagesModal(ctx);
    if (ctx->hCursorCurrent)
        SetCursor(ctx->hCursorCurrent);
    return answer != 0 ? 1 : 0;
}

}  // namespace

int OpenDebugDialog(BDS* ctx)
{
    if (ctx->trace.bStepped)
        return 1;
    ctx->trace.bStepped = 1;
    return RunDebugDialog(ctx);
}

int DebugCallStep(BDS* ctx, uint32_t kind, bool entering, const char* name)
{
    // The calling statement is still running: it is both the one shown and the one to come.
    TraceState& t = ctx->trace;
    const char* line = ctx->run.site ? ctx->run.site->line : "";
    TraceLineText(line, t.szTraceLine, sizeof t.szTraceLine);
    TraceLineText(line, t.szNextStatement, sizeof t.szNextStatement);
    int word = kind == TEV_UDF ? (entering ? MSG_CALLING_UDF : MSG_RETURNING_FROM_UDF)
                               : (entering ? MSG_CALLING_SCRIPT : MSG_RETURNING_FROM_SCRIPT);
    char text[256];
    LoadMyString(ctx, EngineModule(), word, text, sizeof text);
    std::snprintf(t.szTraceOutcome, sizeof t.szTraceOutcome, "%s (%s)", text, name ? name : "");
    t.szTraceError[0] = 0;
    return RunDebugDialog(ctx);
}

extern "C" INT_PTR CALLBACK DebugProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitDebugDialog(dialog, reinterpret_cast<BDS*>(lParam));
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    BDS* ctx = DialogContext(dialog);
    if (!ctx)
        return FALSE;
    switch (LOWORD(wParam)) {
    case ID_NEXT:
        RememberPlace(ctx, dialog);
        EndDialog(dialog, 1);
        return TRUE;
    case ID_CANCEL:
        RememberPlace(ctx, dialog);
        ctx->bSingleStep = 0;       // stepping ends with the cancelled statement
        ctx->trace.bDebugCancelled = 1;
        ctx->nErrorCode = CC_CANCEL;
        EndDialog(dialog, 0);
        return TRUE;
    case ID_RUN:
        ctx->bSingleStep = 0;
        RememberPlace(ctx, dialog);
        EndDialog(dialog, 1);
        return TRUE;
    case ID_SHOW_VAR:
        ShowVariable(ctx, dialog);
        return TRUE;
    default:
        return FALSE;
    }
}
