// The guard around each statement: after the statement it applies the cancel trap, the
// error trap (a label or a handler function) or the error box, and decides whether the
// run goes on. Also the kv variables that describe a trapped error, and where an offset
// of a script lies (line, source file).
#include "engine/core/statement.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/run_hooks.h"
#include "engine/core/run_services.h"
#include "engine/core/runloop.h"
#include "engine/core/script.h"
#include "engine/core/stack_guard.h"
#include "engine/core/statement_internal.h"
#include "engine/core/text_length.h"
#include "engine/core/trace.h"

#include <cstring>

namespace {

const char kCancelLabel[] = "CANCEL";
const char kErrorLabel[] = "KVERRORHANDLER";

bool JumpToLabel(BDS* ctx, RunSite* site, const char* label)
{
    uint32_t offset = 0;
    if (!FindGotoLabel(ctx, label, &offset, site->lineStart, site->stmtOffset, site->script, site->end, true))
        return false;
    *site->pos = offset;
    return true;
}

bool PushHandlerGosub(BDS* ctx, RunSite* site, uint32_t traceOutcome)
{
    if (ctx->nStructDepth >= MAX_STRUCT_FRAMES)
        return false;
    StructFrame& f = ctx->aStructFrames[ctx->nStructDepth++];
    std::memset(&f, 0, sizeof f);
    f.kind = SF_GOSUB_NONE;
    f.resume = *site->pos;
    f.linePos = site->lineStart;
    f.script = site->script;
    f.udfRunning = ctx->nUdfRunning;
    f.savedInLoop = static_cast<uint8_t>(ctx->run.bInLoop);
    ctx->run.bInLoop = 0;
    ctx->run.nTraceEvent = TEV_GOSUB;
    ctx->run.bTraceOutcome = traceOutcome;
    return true;
}

int ErrorClass(uint16_t code) { return code < 2001 ? 1 : code < 3001 ? 0 : 13; }

// The cancel trap; answers the guard's result, or -2 to go on to the error path.
int HandleCancel(BDS* ctx, RunSite* site, int r)
{
    RunState& run = ctx->run;
    switch (run.nCancelHandlerMode) {
    case TRAP_OFF:
        return 0;
    case TRAP_UDF: {
        SetErrorHandlerVars(ctx, site->script, true, true);
        ctx->nErrorCode = 0;
        if (RunHandlerUdf(ctx, true))
            return 1;
        if (ctx->nErrorCode != CC_STOP)
            ctx->nErrorCode = CC_CANCEL;
        return 0;
    }
    default:
        break;
    }
    int32_t mode = run.nCancelHandlerMode;
    if (mode == TRAP_GOSUB && !PushHandlerGosub(ctx, site, TRACE_GOSUB_CANCEL)) {
        SetError(ctx, 3618);
        return -2;
    }
    SetErrorHandlerVars(ctx, site->script, true, false);
    ctx->nErrorCode = 0;
    if (mode == TRAP_GOTO || mode == TRAP_GOSUB)
        run.nCancelHandlerMode = TRAP_OFF;
    if (!JumpToLabel(ctx, site, kCancelLabel)) {
        if (mode == TRAP_GOSUB)
            PopGosubFrame(ctx);
        ctx->nErrorCode = CC_CANCEL;
        return 0;
    }
    (void)r;
    return 1;
}

// The error trap; answers 1 when the error was taken by a handler, 0 when the box is due.
int HandleError(BDS* ctx, RunSite* site, uint16_t code)
{
    RunState& run = ctx->run;
    int32_t mode = run.nErrorHandlerMode;
    if (mode == TRAP_UDF) {
        ctx->nLastError = code;
        SetErrorHandlerVars(ctx, site->script, false, true);
        ctx->nErrorCode = 0;
        if (RunHandlerUdf(ctx, false))
            return 1;
        if (ctx->nErrorCode != CC_STOP)
            ctx->nErrorCode = code;
        return 0;
    }
    if (mode != TRAP_GOTO && mode != TRAP_GOSUB)
        return 0;
    if (mode == TRAP_GOSUB && !PushHandlerGosub(ctx, site, TRACE_GOSUB_ERROR)) {
        SetError(ctx, 3619);
        return 0;
    }
    ctx->nLastError = code;
    SetErrorHandlerVars(ctx, site->script, false, false);
    ctx->nErrorCode = 0;
    if (mode == TRAP_GOTO && ctx->nStructDepth) {
        StructFrame& top = ctx->aStructFrames[ctx->nStructDepth - 1];
        if (top.kind == SF_IF || top.kind == SF_SWITCH)
            top.skip = SKIP_NONE;
    }
    run.nErrorHandlerMode = TRAP_OFF;
    if (!JumpToLabel(ctx, site, kErrorLabel)) {
        if (mode == TRAP_GOSUB)
            PopGosubFrame(ctx);
        ctx->nErrorCode = code;
        return 0;
    }
    return 1;
}

}  // namespace

namespace {

int RunStatementChecked(BDS* ctx, resultants* result, RunSite* site)
{
    resultants local{};
    InitResultValue(ctx, &local, VK_RECORD, 0);
    ctx->run.nTraceEvent = 0;
    ctx->run.bTraceOutcome = 0;
    ctx->nErrorCode = 0;
    ctx->run.bGoOn = 0;
    ctx->prog = site->line + site->stmtOffset;

    int statement;
    if (ctx->nDeferredError) {
        ctx->nErrorCode = ctx->nDeferredError;
        ctx->nDeferredError = 0;
        statement = 0;
    } else {
        statement = ExecuteStatement(ctx, &local, site);
    }
    // The statement's value becomes the caller's result (moved, not copied).
    FreeValue(ctx, result, 0, FREE_STATEMENT_RESULT);
    *result = local;

    uint16_t code = ctx->nErrorCode;
    ctx->run.nErrorSaved = code;
    int r = code < CC_STOP ? statement : 0;
    if (ctx->run.bGoOn)
        r = 1;

    if (code == CC_HANDLED) {
        ctx->nErrorCode = 0;
        r = 1;
        ctx->run.nErrorSaved = static_cast<uint16_t>(ctx->nErrorDetail);
        ctx->nErrorDetail = 0;
        return r;
    }
    if (code == CC_CANCEL && !DebuggerCancelled(ctx)) {
        int c = HandleCancel(ctx, site, r);
        if (c != -2)
            return c;
        code = ctx->nErrorCode;
    }
    if (code != 0 && code < CC_STOP) {
        if (ctx->nHookFlags & 32)
            ReportErrorToHost(ctx, code);
        if (HandleError(ctx, site, code))
            return 1;
        code = ctx->nErrorCode;
        // The error box.
        lstrcpynA(ctx->szErrorLine, site->line, TEXTBUF);
        int errorClass = ErrorClass(code);
        if (ctx->ErrorMode == EM_OFF && errorClass == 1) {
            ctx->nLastError = code;
            SetErrorHandlerVars(ctx, site->script, false, false);
            ctx->nErrorCode = code;
        }
        r = ReportError(ctx, ctx->hwndOwner, 1, code, errorClass);
        FreeExtendedError(ctx);
        if (r != 0 && r != -1)
            return r;
    }
    if (r != 0 && r != -1)
        return r;
    FreeValue(ctx, &ctx->resStatement, 0, FREE_STATEMENT_RESULT);
    InitResultValue(ctx, &ctx->resStatement, VK_RECORD, 0);
    return r;
}

}  // namespace

int RunStatementGuarded(BDS* ctx, resultants* result, RunSite* site)
{
    if (!TraceWatching(ctx))
        return RunStatementChecked(ctx, result, site);
    // A statement the debugger cancels does not run: the run ends with the cancel code,
    // which no cancel trap takes (the person at the debugger asked to stop).
    if (ctx->bSingleStep && !TraceBeforeStatement(ctx, site)) {
        ctx->run.nTraceEvent = TEV_SKIPPED;
        ctx->run.bTraceOutcome = 0;
        TraceAfterStatement(ctx, site, nullptr, 0);
        return 0;
    }
    int r = RunStatementChecked(ctx, result, site);
    TraceAfterStatement(ctx, site, result, r);
    return r;
}

// ---------------------------------------------------------------- kv variables

namespace {

// Errors that stand for a number and text of their own: those a host or an extender
// answered, and the script's own ErrorEvent errors. Null for any other error.
const char* CarriedErrorText(BDS* ctx, uint32_t number)
{
    switch (number) {
    case 1213: case 2214: case 3215: case CC_EXTENDER_SHOWN:
        return ctx->host.szLastErrorText;
    case 1668: case 2669: case 3670: case CC_EVENT_SHOWN:
        return ctx->eng.ctl.LastUserErrorText;
    default:
        return nullptr;
    }
}

}  // namespace

int SetErrorHandlerVars(BDS* ctx, HGLOBAL script, bool cancel, bool udfForm)
{
    uint32_t number = ctx->nLastError;
    uint16_t code = ctx->nErrorCode;
    if (code == CC_ALREADY_SHOWN || code == CC_UDF_REPORTED)
        number = ctx->nErrorDetail;
    const char* carried = CarriedErrorText(ctx, number);
    if (carried)
        number = ctx->nErrorDetail;
    char line[TEXTBUF];
    lstrcpynA(line, ctx->run.site ? ctx->run.site->line : ctx->szErrorLine, TEXTBUF);
    ScriptLocation where{};
    LocateScriptLine(ctx, script, ctx->nErrorOffset, &where, nullptr, 0);
    char message[TEXTBUF] = "";
    char extended[1100] = "";
    if (cancel) {
        lstrcpyA(message, "Cancel");
        lstrcpyA(extended, "User pressed Cancel");
    } else {
        if (carried)
            lstrcpynA(message, carried, sizeof message);
        else
            LoadMyString(ctx, EngineModule(), static_cast<int>(number), message, sizeof message);
        ExtendedErrorText(ctx, extended, static_cast<int>(sizeof extended));
    }
    char assigned[VARNAMESIZE + 1] = "";
    uint32_t target = ctx->run.nFailedAssignTarget;
    if (target && (target >> 16) == ctx->nScopeCurrent && (target & 0xFFFF) < ctx->nVarUsed)
        lstrcpynA(assigned, ctx->pVars[target & 0xFFFF].name, sizeof assigned);
    const char* udfName = "";
    if (ctx->nUdfRunning != UDF_NONE_RUNNING)
        if (UdfRecord* r = UdfRecordAt(ctx, ctx->nUdfRunning))
            udfName = r->name;

    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    bool ok = FillErrorArray(ctx, cancel ? static_cast<uint32_t>(CC_CANCEL) : number, line, ctx->nErrorOffset, assigned, where.file,
                             message, extended, udfName, where.line, where.udfLine, where.fileIndex);
    if (!udfForm) {
        SetVariableByName(ctx, "kverrorhandlerline", line, 0, SV_STRING);
        SetVariableByName(ctx, "kverrorhandleroffset", nullptr, static_cast<int32_t>(ctx->nErrorOffset), SV_INT);
        SetVariableByName(ctx, "kverrorhandlerassignment", assigned, 0, SV_STRING);
        SetVariableByName(ctx, "kverrorhandlerfile", where.file, 0, SV_STRING);
        SetVariableByName(ctx, "kverrortextstring", message, 0, SV_STRING);
        SetVariableByName(ctx, "kverroradditionalinfo", extended, 0, SV_STRING);
        SetVariableByName(ctx, "kverrorinsegment", udfName, 0, SV_STRING);
        SetVariableByName(ctx, "kverrorhandlerlinenumber", nullptr, static_cast<int32_t>(where.line), SV_INT);
    }
    ctx->nErrorCode = saved;
    return ok ? 1 : 0;
}

int RunHandlerUdf(BDS* ctx, bool cancel)
{
    const char* name = cancel ? ctx->run.szCancelHandlerUdf : ctx->run.szErrorHandlerUdf;
    if (!IsCharAlphaA(name[0]) || ctx->nUdfCount == 0)
        return 0;
    int index = FindUdfByName(ctx, name, TextLength(name));
    UdfRecord* rec = index >= 0 ? UdfRecordAt(ctx, static_cast<uint32_t>(index)) : nullptr;
    if (!rec || rec->paramCount != 1 || rec->kind != UDF_KIND_FUNCTION)
        return 0;
    uint32_t arrayVar = FindVarIndex(ctx, "kverrorarray");
    resultants args[2]{};
    InitResultValue(ctx, &args[0], VK_RECORD, 0);
    InitResultValue(ctx, &args[1], VK_RECORD, 0);
    if (arrayVar != 65535)
        CopyValue(ctx, &ctx->pVars[arrayVar], &args[1], static_cast<int>(arrayVar), 0x800 | 0x200 | 0x20 | VK_ARGUMENT);
    resultants result{};
    InitResultValue(ctx, &result, VK_RECORD, 0);
    // A cancel inside the cancel handler is not handed to the handler again.
    int32_t cancelMode = ctx->run.nCancelHandlerMode;
    if (cancel)
        ctx->run.nCancelHandlerMode = TRAP_OFF;
    // The error may be the stack guard's, raised where the stack is all but used up.
    uintptr_t floor = StackGuardOpenForHandler(ctx);
    CallUserFunction(ctx, UDFSTART + static_cast<uint32_t>(index), &result, args, nullptr, 0);
    StackGuardRestore(ctx, floor);
    if (cancel)
        ctx->run.nCancelHandlerMode = cancelMode;
    bool failed = ctx->nErrorCode != 0;
    int32_t answer = 0;
    if (!failed && ValueToInteger(ctx, &result, true, false))
        answer = result.i32;
    FreeValue(ctx, &result, 0, VK_RECORD);
    FreeValue(ctx, &args[1], 0, VK_RECORD);
    if (!(answer & 1)) {
        if (cancel)
            ctx->run.nCancelHandlerMode = TRAP_OFF;
        else
            ctx->run.nErrorHandlerMode = TRAP_OFF;
    }
    if (failed || (answer & 2))
        return 0;
    return 1;
}

// ---------------------------------------------------------------- traps

namespace {

int32_t SetTrap(BDS* ctx, int32_t* mode, char* name, int32_t newMode, bool discard, const char* udfName)
{
    int32_t old = *mode;
    *mode = newMode;
    if (newMode == TRAP_UDF) {
        lstrcpynA(name, udfName ? udfName : "", VARNAMESIZE + 1);
    }
    if (discard)
        FreeExtendedError(ctx);
    return old;
}

}  // namespace

int32_t SetCancelTrap(BDS* ctx, int32_t mode, bool discardExtended, const char* udfName)
{
    return SetTrap(ctx, &ctx->run.nCancelHandlerMode, ctx->run.szCancelHandlerUdf, mode, discardExtended, udfName);
}

int32_t SetErrorTrap(BDS* ctx, int32_t mode, bool discardExtended, const char* udfName)
{
    return SetTrap(ctx, &ctx->run.nErrorHandlerMode, ctx->run.szErrorHandlerUdf, mode, discardExtended, udfName);
}

// ---------------------------------------------------------------- script locations

int LocateScriptLine(BDS* ctx, HGLOBAL script, uint32_t offset, ScriptLocation* where, char* lineOut,
                     size_t lineSize)
{
    *where = ScriptLocation{};
    where->markerFlag = -1;
    lstrcpynA(where->file, ctx->szSourceFile, sizeof where->file);
    if (!script || offset == 0xFFFFFFFF)
        return 0;
    const auto* base = static_cast<const uint8_t*>(GlobalLock(script));
    if (!base)
        return 0;
    size_t size = GlobalSize(script);
    uint8_t key = 0;
    if (ctx->nUdfRunning != UDF_NONE_RUNNING)
        if (UdfRecord* r = UdfRecordAt(ctx, ctx->nUdfRunning); r && r->hBody == script)
            key = static_cast<uint8_t>(r->bodyStart);
    auto at = [&](size_t p) { return UnscrambleByte(base[p], static_cast<uint32_t>(p), key); };

    uint32_t line = 1, udfLine = 1;
    size_t p = 0;
    while (p < size) {
        uint8_t c0 = at(p);
        if (c0 == 0 || c0 == 26)
            break;
        size_t q = p;     // the end of this line: LF, NUL, 26 or the end of the block
        while (q < size) {
            uint8_t c = at(q);
            if (c == '\n' || c == 0 || c == 26)
                break;
            ++q;
        }
        bool marker = c0 == ';' && q - p >= 8 && at(p + 1) == MARKER_BYTE;
        if (marker) {
            where->markerFlag = at(p + 2) & 0x3F;
            where->fileIndex = at(p + 3) & 0x3F;
            uint32_t n = 0;
            for (size_t d = 4; d < 8; ++d)
                n = (n << 6) | (at(p + d) & 0x3F);
            line = n;
            size_t k = 0;
            for (size_t i = p + 8; i < q && k < 260; ++i)
                where->file[k++] = static_cast<char>(at(i));
            where->file[k] = 0;
        } else if (offset >= p && offset <= q) {
            if (lineOut && lineSize) {
                size_t k = 0;
                for (size_t i = p; i < q && k + 1 < lineSize; ++i)
                    lineOut[k++] = static_cast<char>(at(i));
                lineOut[k] = 0;
            }
            break;
        }
        if (q >= size || at(q) != '\n')
            break;
        if (!marker) {
            ++line;
            ++udfLine;
        }
        p = q + 1;
    }
    GlobalUnlock(script);
    where->line = line;
    where->udfLine = udfLine;
    return 1;
}
