// The statement executor: statement words and structure keywords over the structure
// stack. Structures are not compiled: a false branch is passed over line by line while
// the executor keeps the nesting right, and loops jump back by line position.
#include "engine/core/statement.h"
#include "engine/core/compiled_expr.h"
#include "engine/core/errors.h"
#include "engine/core/evaluator.h"
#include "engine/core/heap.h"
#include "engine/core/line_cache.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/run_hooks.h"
#include "engine/core/run_services.h"
#include "engine/core/runloop.h"
#include "engine/core/stack_guard.h"
#include "engine/core/statement_internal.h"
#include "engine/core/statement_plan.h"
#include "engine/core/trace.h"
#include "engine/ui/message_box.h"

#include <cmath>
#include <cstring>

namespace {

// ---------------------------------------------------------------- frames

StructFrame* TopFrame(BDS* ctx)
{
    return ctx->nStructDepth ? &ctx->aStructFrames[ctx->nStructDepth - 1] : nullptr;
}

bool Skipping(BDS* ctx)
{
    const StructFrame* f = TopFrame(ctx);
    return f && f->skip != 0;
}

// Pops the top frame; loops and Switch give back the caller's loop flag.
void PopFrame(BDS* ctx)
{
    StructFrame* f = TopFrame(ctx);
    if (!f)
        return;
    if (f->kind == SF_WHILE || f->kind == SF_FOR || f->kind == SF_FOREACH || f->kind == SF_SWITCH)
        ctx->run.bInLoop = f->savedInLoop;
    if (f->kind == SF_FOREACH)
        ReleaseForEachFrame(ctx, f->temporary, ctx->nStructDepth - 1);
    std::memset(f, 0, sizeof *f);
    --ctx->nStructDepth;
}

bool IsGosubFrame(uint16_t kind)
{
    return kind == SF_GOSUB_FALSE || kind == SF_GOSUB_TRUE || kind == SF_GOSUB_NONE;
}

uint16_t GosubKindFromIfState(int32_t ifState)
{
    return ifState == 0 ? SF_GOSUB_FALSE : ifState == 1 ? SF_GOSUB_TRUE : SF_GOSUB_NONE;
}

// The frame's kind keeps the If state that was current at the GoSub; Return gives it back.
bool PushGosubFrame(BDS* ctx, const RunSite* site, int32_t ifState)
{
    uint8_t savedLoop = static_cast<uint8_t>(ctx->run.bInLoop);
    StructFrame* f = PushFrame(ctx, GosubKindFromIfState(ifState), 0, site);
    if (!f)
        return false;
    f->resume = *site->pos;
    f->savedInLoop = savedLoop;
    ctx->run.bInLoop = 0;
    return true;
}

// ---------------------------------------------------------------- tokens and values

bool TokenIs(BDS* ctx, uint16_t id)
{
    return ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == id;
}

bool AtLineEnd(BDS* ctx) { return ctx->nTokenKind == TK_END; }

void SetThenMissing(BDS* ctx)
{
    char hint[512] = "";
    LoadMyString(ctx, EngineModule(), 9501, hint, sizeof hint);
    SetError(ctx, 3072);
    AppendExtendedError(ctx, hint);
}

// Reads the first token of an expression and evaluates it (no assignment allowed).
bool EvaluateExpression(BDS* ctx, resultants* value, const RunSite* site)
{
    InitResultValue(ctx, value, VK_RECORD, 0);
    if (RunCompiledExpressionUnread(ctx, value, const_cast<RunSite*>(site)))
        return ctx->nErrorCode == 0;
    if (get_token(ctx) > 1 || ctx->nErrorCode)
        return false;
    ProcessSubExpression(ctx, value, 0, 0, const_cast<RunSite*>(site));
    return ctx->nErrorCode == 0;
}

// The truth of a condition: integers (floats rounded), a float too large counts as true.
bool ConditionValue(BDS* ctx, resultants* value, int32_t* truth)
{
    if ((value->flags & VF_FLOAT) && !(value->flags & (VF_INT | VF_INT64))) {
        double d = value->dbl;
        if (std::fabs(d) >= 2147483647.5) {
            *truth = 1;
            return true;
        }
    }
    if (value->flags & VF_INT64) {
        *truth = value->i64 != 0;
        return true;
    }
    if (!ValueToInteger(ctx, value, true, false)) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3057);
        return false;
    }
    *truth = value->i32 != 0;
    return true;
}

// Numbers of the For loop: a 32-bit, 64-bit or floating-point value.
struct Number {
    enum Kind { INT, INT64, FLOAT } kind;
    int64_t i;
    double d;
};

bool ToNumber(BDS* ctx, resultants* v, Number* n)
{
    if (v->flags & VF_INT) {
        *n = {Number::INT, v->i32, static_cast<double>(v->i32)};
        return true;
    }
    if (v->flags & VF_INT64) {
        *n = {Number::INT64, v->i64, static_cast<double>(v->i64)};
        return true;
    }
    if (v->flags & VF_FLOAT) {
        *n = {Number::FLOAT, 0, v->dbl};
        return true;
    }
    if (!(v->flags & (VF_STRING | VF_UNICODE | VF_VARIANT)))
        return false;
    uint16_t saved = ctx->nErrorCode;
    if (ValueToInteger(ctx, v, false, true) && (v->flags & (VF_INT | VF_INT64))) {
        ctx->nErrorCode = saved;
        return ToNumber(ctx, v, n);
    }
    ctx->nErrorCode = saved;
    if (ValueToFloat(ctx, v) && (v->flags & VF_FLOAT)) {
        ctx->nErrorCode = saved;
        *n = {Number::FLOAT, 0, v->dbl};
        return true;
    }
    ctx->nErrorCode = saved;
    return false;
}

Number AddNumbers(const Number& a, const Number& b)
{
    if (a.kind == Number::FLOAT || b.kind == Number::FLOAT)
        return {Number::FLOAT, 0, a.d + b.d};
    int64_t sum = a.i + b.i;
    if (a.kind == Number::INT && b.kind == Number::INT && sum >= INT32_MIN && sum <= INT32_MAX)
        return {Number::INT, sum, static_cast<double>(sum)};
    return {Number::INT64, sum, static_cast<double>(sum)};
}

int CompareNumbers(const Number& a, const Number& b)
{
    if (a.kind == Number::FLOAT || b.kind == Number::FLOAT)
        return a.d < b.d ? -1 : a.d > b.d ? 1 : 0;
    return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
}

bool IsNegative(const Number& n) { return n.kind == Number::FLOAT ? n.d < 0 : n.i < 0; }

// Stores a number into a variable of the current scope (its old value released).
void StoreNumber(BDS* ctx, uint16_t index, const Number& n)
{
    VariableEntry& v = ctx->pVars[index];
    FreeValue(ctx, &v, index, VK_ARGUMENT);
    v.str = 0;
    v.wstr = 0;
    switch (n.kind) {
    case Number::INT:
        v.i32 = static_cast<int32_t>(n.i);
        v.dbl = n.d;
        v.flags = VF_INT;
        break;
    case Number::INT64:
        v.i64 = n.i;
        v.i32 = static_cast<int32_t>(n.i);
        v.flags = VF_INT64;
        break;
    case Number::FLOAT:
        v.dbl = n.d;
        v.flags = VF_FLOAT;
        break;
    }
    v.flag = 0;
}

// Passes over the rest of a line that is not run: the continuation lines of multi-line
// strings on it are read and dropped.
void PassOver(BDS* ctx, RunSite* site)
{
    if (ctx->nTokenKind == TK_DOLLARQUOTE)
        ParseMultilineString(ctx, nullptr, site);
    while (!ctx->nErrorCode && FindMultilineMarker(ctx))
        ParseMultilineString(ctx, nullptr, site);
    ctx->nErrorCode = 0;
    ctx->run.nTraceEvent = 2;
}

// The rest of the line after the current token, blanks and tabs skipped; null when only
// a comment or nothing follows.
char* RestOfLine(BDS* ctx)
{
    char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    return (*p == 0 || *p == ';') ? nullptr : p;
}

int RunNested(BDS* ctx, resultants* result, RunSite* site, const char* at)
{
    RunSite nested = *site;
    nested.stmtOffset = static_cast<uint32_t>(at - site->line);
    return ExecuteStatement(ctx, result, &nested);
}

// ---------------------------------------------------------------- If family

// Evaluates the condition of If or ElseIf, which ends at Then or at the line's end. With
// `thenEndsLine` nothing may follow Then (ElseIf has no single-line form).
bool ConditionUpToThen(BDS* ctx, const RunSite* site, bool thenEndsLine, int32_t* truth)
{
    resultants value{};
    bool ok = EvaluateExpression(ctx, &value, site);
    void (*fault)(BDS*) = nullptr;
    if (ok && TokenIs(ctx, KID_THEN)) {
        if (thenEndsLine && RestOfLine(ctx))
            fault = SetContinuesPastEnd;
    } else if (ok && !AtLineEnd(ctx)) {
        fault = SetThenMissing;
    }
    ok = ok && !fault && ConditionValue(ctx, &value, truth);
    ReleaseEvaluated(ctx, &value);
    if (fault)
        fault(ctx);
    return ok;
}

int ThenOrElse(BDS* ctx, resultants* result, RunSite* site, bool isThen)
{
    char* rest = RestOfLine(ctx);
    bool skipping = Skipping(ctx);
    if (rest) {
        if (ctx->run.nIfState == -1 && !skipping) {
            SetError(ctx, 3050);
            return 0;
        }
        bool runs = !skipping && ctx->run.nIfState == (isThen ? 1 : 0);
        ctx->run.nTraceEvent = 1;
        ctx->run.bTraceOutcome = runs;
        if (runs) {
            // Continuation lines of a literal on the rest must repeat the keyword.
            uint16_t savedPrefix = ctx->front.nMultilinePrefix;
            ctx->front.nMultilinePrefix = isThen ? KID_THEN : KID_ELSE;
            int r = RunNested(ctx, result, site, rest);
            ctx->front.nMultilinePrefix = savedPrefix;
            return r;
        }
        ctx->prog = rest;
        uint16_t savedPrefix = ctx->front.nMultilinePrefix;
        ctx->front.nMultilinePrefix = isThen ? KID_THEN : KID_ELSE;
        if (get_token(ctx) <= 1 && !ctx->nErrorCode)
            PassOver(ctx, site);
        ctx->front.nMultilinePrefix = savedPrefix;
        ctx->nErrorCode = 0;
        return 1;
    }
    if (!isThen) {
        StructFrame* f = TopFrame(ctx);
        if (!f) {
            SetError(ctx, 3354);
            return 0;
        }
        if (f->kind != SF_IF) {
            SetError(ctx, 3358);
            return 0;
        }
        if (f->skip == SKIP_NONE || f->skip == SKIP_FALSE) {
            f->skip = f->skip == SKIP_NONE ? SKIP_FALSE : SKIP_NONE;
            ctx->run.nTraceEvent = 11;
            ctx->run.bTraceOutcome = f->skip == SKIP_NONE;
        } else {
            ctx->run.nTraceEvent = 2;
        }
        f->kind = SF_IF_ELSE;
        ctx->run.nIfState = -1;
        return 1;
    }
    // Block If.
    if (skipping) {
        ctx->run.nTraceEvent = 2;
        ctx->run.nIfState = -1;
        return PushFrame(ctx, SF_IF, SKIP_ALL, site) ? 1 : 0;
    }
    if (ctx->run.nIfState == -1) {
        SetError(ctx, 3050);
        return 0;
    }
    uint8_t skip = ctx->run.nIfState == 1 ? SKIP_NONE : SKIP_FALSE;
    ctx->run.nIfState = -1;
    ctx->run.nTraceEvent = 10;
    return PushFrame(ctx, SF_IF, skip, site) ? 1 : 0;
}

int DoIf(BDS* ctx, resultants* result, RunSite* site)
{
    if (Skipping(ctx)) {
        // Only the nesting matters: read up to Then.
        for (;;) {
            if (get_token(ctx) > 1 || ctx->nErrorCode) {
                ctx->nErrorCode = 0;
                if (*ctx->prog)
                    ++ctx->prog;
                continue;
            }
            if (AtLineEnd(ctx) || TokenIs(ctx, KID_THEN))
                break;
        }
        return ThenOrElse(ctx, result, site, true);
    }
    int32_t truth = 0;
    if (!ConditionUpToThen(ctx, site, false, &truth))
        return 0;
    ctx->run.nIfState = truth;
    ctx->run.bTraceOutcome = truth;
    return ThenOrElse(ctx, result, site, true);
}

int DoElseIf(BDS* ctx, RunSite* site)
{
    StructFrame* f = TopFrame(ctx);
    if (!f || f->kind != SF_IF) {
        SetError(ctx, 3368);
        return 0;
    }
    ctx->run.nIfState = -1;
    if (f->skip == SKIP_NONE) {
        f->skip = SKIP_ALL;
        ctx->run.nTraceEvent = 2;
        return 1;
    }
    if (f->skip != SKIP_FALSE) {
        ctx->run.nTraceEvent = 2;
        return 1;
    }
    int32_t truth = 0;
    if (!ConditionUpToThen(ctx, site, true, &truth))
        return 0;
    f = TopFrame(ctx);
    if (truth)
        f->skip = SKIP_NONE;
    ctx->run.nTraceEvent = 15;
    ctx->run.bTraceOutcome = truth;
    return 1;
}

// ---------------------------------------------------------------- While, Switch, Case

// Evaluates an expression that must end the line.
bool EvaluateWholeLine(BDS* ctx, resultants* value, const RunSite* site)
{
    if (!EvaluateExpression(ctx, value, site))
        return false;
    if (!AtLineEnd(ctx)) {
        SetContinuesPastEnd(ctx);
        return false;
    }
    return true;
}

// The integer of an expression that must end the line, taken by `convert`; the value is
// released either way.
bool WholeLineInteger(BDS* ctx, const RunSite* site, bool (*convert)(BDS*, resultants*, int32_t*),
                      int32_t* out)
{
    resultants value{};
    bool ok = EvaluateWholeLine(ctx, &value, site) && convert(ctx, &value, out);
    ReleaseEvaluated(ctx, &value);
    return ok;
}

int DoWhile(BDS* ctx, RunSite* site)
{
    if (Skipping(ctx))
        return PushFrame(ctx, SF_WHILE, SKIP_ALL, site) ? 1 : 0;
    int32_t truth = 0;
    if (!WholeLineInteger(ctx, site, ConditionValue, &truth))
        return 0;
    StructFrame* f = PushFrame(ctx, SF_WHILE, truth ? SKIP_NONE : SKIP_FALSE, site);
    if (!f)
        return 0;
    f->resume = site->lineStart;
    ctx->run.nTraceEvent = 3;
    ctx->run.bTraceOutcome = truth;
    return 1;
}

// The integer of a Switch or Case value; floats and texts that are no integer are 3364.
bool SwitchInteger(BDS* ctx, resultants* value, int32_t* out)
{
    if ((value->flags & VF_FLOAT) && !(value->flags & VF_INT)) {
        SetError(ctx, 3364);
        return false;
    }
    if (!(value->flags & VF_INT)) {
        uint16_t saved = ctx->nErrorCode;
        if (!ValueToInteger(ctx, value, false, false) || !(value->flags & VF_INT)) {
            ctx->nErrorCode = saved;
            SetError(ctx, 3364);
            return false;
        }
    }
    *out = value->i32;
    return true;
}

int DoSwitch(BDS* ctx, RunSite* site)
{
    if (Skipping(ctx))
        return PushFrame(ctx, SF_SWITCH, SKIP_ALL, site) ? 1 : 0;
    int32_t n = 0;
    if (!WholeLineInteger(ctx, site, SwitchInteger, &n))
        return 0;
    StructFrame* f = PushFrame(ctx, SF_SWITCH, SKIP_FALSE, site);
    if (!f)
        return 0;
    f->resume = static_cast<uint32_t>(n) >> 16;
    f->variable = static_cast<uint16_t>(static_cast<uint32_t>(n) & 0xFFFF);
    ctx->run.nTraceEvent = 5;
    return 1;
}

int DoCase(BDS* ctx, RunSite* site)
{
    StructFrame* f = TopFrame(ctx);
    if (!f || f->kind != SF_SWITCH) {
        SetError(ctx, 3365);
        return 0;
    }
    ctx->run.nTraceEvent = 12;
    ctx->run.bTraceOutcome = f->skip == SKIP_NONE;
    if (f->skip != SKIP_FALSE && f->skip != SKIP_CONTINUE)
        return 1;
    int32_t n = 0;
    if (!WholeLineInteger(ctx, site, SwitchInteger, &n))
        return 0;
    f = TopFrame(ctx);
    int32_t switchValue = static_cast<int32_t>((f->resume << 16) | f->variable);
    if (n == switchValue)
        f->skip = SKIP_NONE;
    ctx->run.bTraceOutcome = f->skip == SKIP_NONE;
    return 1;
}

// ---------------------------------------------------------------- ends of structures

int DoEnd(BDS* ctx, RunSite* site, uint16_t which)
{
    ctx->run.nTraceEvent = 4;
    StructFrame* f = TopFrame(ctx);
    if (!f) {
        SetError(ctx, 3354);
        return 0;
    }
    bool match = (which == KID_ENDIF && (f->kind == SF_IF || f->kind == SF_IF_ELSE)) ||
                 (which == KID_ENDSWITCH && f->kind == SF_SWITCH) || (which == KID_ENDWHILE && f->kind == SF_WHILE) ||
                 (which == KID_NEXT && (f->kind == SF_FOR || f->kind == SF_FOREACH));
    if (!match) {
        SetError(ctx, 3357);
        return 0;
    }
    if (which == KID_ENDWHILE && (f->skip == SKIP_NONE || f->skip == SKIP_CONTINUE)) {
        *site->pos = f->linePos;
        PopFrame(ctx);
        return 1;
    }
    if (which == KID_NEXT && (f->skip == SKIP_NONE || f->skip == SKIP_CONTINUE)) {
        *site->pos = f->resume;
        f->skip = SKIP_NONE;
        return 1;
    }
    if (which == KID_ENDIF) {
        uint8_t pending = f->skip & (SKIP_CONTINUE | SKIP_BREAK);
        PopFrame(ctx);
        if (pending) {
            StructFrame* top = TopFrame(ctx);
            if (!top) {
                SetError(ctx, 3359);
                return 0;
            }
            top->skip |= pending;
        }
        return 1;
    }
    PopFrame(ctx);
    return 1;
}

// ---------------------------------------------------------------- For

int DoTo(BDS* ctx, RunSite* site, bool fromFor)
{
    StructFrame* f = TopFrame(ctx);
    if (!f || f->kind != SF_FOR) {
        SetError(ctx, 3362);
        return 0;
    }
    ctx->run.nTraceEvent = 8;
    bool skipping = f->skip == SKIP_ALL;
    resultants endValue{}, stepValue{};
    Number end{}, var{}, step{Number::INT, 1, 1.0};
    bool ok = EvaluateExpression(ctx, &endValue, site) && ToNumber(ctx, &endValue, &end);
    if (ok && !ctx->nErrorCode) {
        resultants varCopy{};
        std::memcpy(static_cast<ValueHead*>(&varCopy), static_cast<ValueHead*>(&ctx->pVars[f->variable]),
                    sizeof(ValueHead));
        ok = ToNumber(ctx, &varCopy, &var);
        if (TokenIs(ctx, KID_BY)) {
            ok = ok && EvaluateExpression(ctx, &stepValue, site) && ToNumber(ctx, &stepValue, &step);
            if (ok && !AtLineEnd(ctx)) {
                SetContinuesPastEnd(ctx);
                ok = false;
            }
        } else if (ok && !AtLineEnd(ctx)) {
            SetContinuesPastEnd(ctx);
            ok = false;
        } else if (var.kind == Number::INT64) {
            step = {Number::INT64, 1, 1.0};
        }
    }
    ReleaseEvaluated(ctx, &endValue);
    ReleaseEvaluated(ctx, &stepValue);
    if (!ok) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3361);
        return 0;
    }
    if (!fromFor && !skipping) {
        var = AddNumbers(var, step);
        StoreNumber(ctx, f->variable, var);
    }
    bool descending = IsNegative(step);
    int c = CompareNumbers(end, var);
    bool goesOn = descending ? c <= 0 : c >= 0;
    f = TopFrame(ctx);
    f->skip = skipping ? SKIP_ALL : goesOn ? SKIP_NONE : SKIP_FALSE;
    ctx->run.bTraceOutcome = goesOn;
    return 1;
}

int DoFor(BDS* ctx, RunSite* site)
{
    if (Skipping(ctx))
        return PushFrame(ctx, SF_FOR, SKIP_ALL, site) ? 1 : 0;
    if (get_token(ctx) > 1 || ctx->nErrorCode)
        return 0;
    if (AtLineEnd(ctx)) {
        SetError(ctx, 3071);
        return 0;
    }
    if (ctx->nTokenKind != TK_NAME) {
        SetError(ctx, 3360);
        return 0;
    }
    uint16_t index = FindVarIndex(ctx, ctx->szToken);
    if (index == 65535) {
        SetError(ctx, 3051);
        return 0;
    }
    if (get_token(ctx) > 1 || ctx->nErrorCode)
        return 0;
    if (!TokenIs(ctx, KID_ASSIGN)) {
        SetError(ctx, 3360);
        return 0;
    }
    resultants start{};
    Number n{};
    if (get_token(ctx) > 1 || ctx->nErrorCode)
        return 0;
    InitResultValue(ctx, &start, VK_RECORD, 0);
    ParseLogicalExpr(ctx, &start);
    bool ok = !ctx->nErrorCode && ToNumber(ctx, &start, &n);
    ReleaseEvaluated(ctx, &start);
    if (!ok) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3361);
        return 0;
    }
    StoreNumber(ctx, index, n);
    if (!TokenIs(ctx, KID_TO)) {
        SetError(ctx, 3360);
        return 0;
    }
    // Next jumps back to the `to` of this line (it lies at the same offset in the buffer).
    uint32_t toOffset = static_cast<uint32_t>(ctx->prog - site->line) - 2;
    StructFrame* f = PushFrame(ctx, SF_FOR, SKIP_NONE, site);
    if (!f)
        return 0;
    f->variable = index;
    f->resume = site->lineStart + toOffset;
    return DoTo(ctx, site, true);
}

// ---------------------------------------------------------------- GoTo, GoSub, Return

bool ReadLabel(BDS* ctx, char* label, size_t size)
{
    uint32_t r = get_string_token(ctx);
    if (r == 0xFFFFFFFF) {
        lstrcpynA(label, ctx->szToken, static_cast<int>(size));
        return true;
    }
    ctx->nErrorCode = 0;
    SetError(ctx, (r == 0 || r == ';') ? 3071 : 3073);
    return false;
}

int DoGoto(BDS* ctx, RunSite* site)
{
    for (uint32_t i = ctx->nStructDepth; i-- > 0;) {
        uint16_t k = ctx->aStructFrames[i].kind;
        if (k == SF_UDF_CALL || k == SF_SCRIPT_CALL)
            break;
        if (k == SF_FOREACH) {
            SetError(ctx, 1725);
            return 0;
        }
    }
    ctx->run.nIfState = -1;
    char label[TEXTBUF];
    if (!ReadLabel(ctx, label, sizeof label))
        return 0;
    uint32_t offset = 0;
    if (!FindGotoLabel(ctx, label, &offset, site->lineStart, site->stmtOffset, site->script, site->end,
                       site->substituted))
        return 0;
    *site->pos = offset;
    return 1;
}

int DoGosub(BDS* ctx, RunSite* site)
{
    int32_t ifState = ctx->run.nIfState;
    ctx->run.nIfState = -1;
    ctx->run.nTraceEvent = 9;
    ctx->run.bTraceOutcome = 1;     // the trace's "GOSUB"; a Return keeps 0
    if (Skipping(ctx))
        return 1;
    char label[TEXTBUF];
    if (!ReadLabel(ctx, label, sizeof label))
        return 0;
    if (get_token(ctx) > 1 || ctx->nErrorCode)
        return 0;
    if (!AtLineEnd(ctx)) {
        SetContinuesPastEnd(ctx);
        return 0;
    }
    if (!PushGosubFrame(ctx, site, ifState))
        return 0;
    uint32_t offset = 0;
    if (!FindGotoLabel(ctx, label, &offset, site->lineStart, site->stmtOffset, site->script, site->end,
                       site->substituted)) {
        PopGosubFrame(ctx);
        return 0;
    }
    *site->pos = offset;
    return 1;
}

int DoReturn(BDS* ctx, resultants* result, RunSite* site)
{
    ctx->run.nTraceEvent = 9;
    if (Skipping(ctx))
        return 1;
    bool hasValue = false;
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    if (RunCompiledExpressionUnread(ctx, result, site)) {
        hasValue = true;
        if (ctx->nErrorCode)
            return 0;
        if (!AtLineEnd(ctx)) {
            SetContinuesPastEnd(ctx);
            return 0;
        }
    } else {
        if (get_token(ctx) > 1 || ctx->nErrorCode)
            return 0;
        if (!AtLineEnd(ctx)) {
            hasValue = true;
            ProcessSubExpression(ctx, result, 0, 0, site);
            if (ctx->nErrorCode)
                return 0;
            if (!AtLineEnd(ctx)) {
                SetContinuesPastEnd(ctx);
                return 0;
            }
        }
    }
    for (uint32_t i = ctx->nStructDepth; i-- > 0;) {
        StructFrame& f = ctx->aStructFrames[i];
        if (IsGosubFrame(f.kind)) {
            if (hasValue) {
                SetError(ctx, 1760);
                return 0;
            }
            *site->pos = f.resume;
            uint16_t kind = f.kind;
            CutStack(ctx, i + 1);
            PopGosubFrame(ctx);
            ctx->run.nIfState = kind == SF_GOSUB_FALSE ? 0 : kind == SF_GOSUB_TRUE ? 1 : -1;
            return 1;
        }
        if (f.kind == SF_UDF_CALL || f.kind == SF_SCRIPT_CALL) {
            CutStack(ctx, i + 1);
            ctx->aStructFrames[i].returned = 1;
            return -1;
        }
    }
    return -1;
}

// ---------------------------------------------------------------- statement words

int DoExecute(BDS* ctx, resultants* result, RunSite* site)
{
    char* rest = RestOfLine(ctx);
    if (!rest)
        return 1;
    uint32_t savedFlag = ctx->run.bInExecute;
    ctx->run.bInExecute = 1;
    int r = RunNested(ctx, result, site, rest);
    ctx->run.bInExecute = savedFlag;
    uint16_t code = ctx->nErrorCode;
    if (r != 0 && !code)
        return r;
    bool shown = code && (code < CC_STOP || code == CC_ALREADY_SHOWN || code == CC_UDF_REPORTED ||
                          code == CC_EVENT_SHOWN);
    if (!shown)
        return r;
    // The host hears only of an error left when the statement ends, never of one that
    // Execute's own box or its silent mode clears.
    if (ctx->eng.ctl.ExecuteErrorMode != 2) {
        char title[TEXTBUF] = "EXECUTE::";
        char message[TEXTBUF] = "";
        LoadMyString(ctx, EngineModule(), code, message, sizeof message);
        lstrcpynA(title + 9, message, TEXTBUF - 9);
        UINT flags = MB_ICONEXCLAMATION | MB_SETFOREGROUND | (ctx->eng.ctl.ExecuteErrorMode == 1 ? MB_OK : MB_OKCANCEL);
        int answer = ShowMessageBox(ctx, ctx->hwndOwner, site->line, title, flags);
        if (answer == IDCANCEL && ctx->eng.ctl.ExecuteErrorMode != 1) {
            ctx->nErrorDetail = 999;
            ctx->nErrorCode = CC_ALREADY_SHOWN;
            return 0;
        }
    }
    ctx->nErrorCode = 0;
    return 1;
}

int DoStatementWord(BDS* ctx, resultants* result, RunSite* site, uint32_t id)
{
    if (id >= PARENTSTART && id < PARENTSTART + 999) {
        resultants none[2]{};
        CallHostStatement(ctx, id, result, none);
        return ctx->nErrorCode ? 0 : 1;
    }
    switch (id) {
    case KID_BEEP:
        MessageBeep(0xFFFFFFFF);
        MessageBeep(0);
        return 1;
    case KID_EXECUTE:
        return DoExecute(ctx, result, site);
    case KID_EXIT:
        ctx->run.nIfState = -1;
        SetError(ctx, CC_STOP);
        return 0;
    case KID_GOTO:
        return DoGoto(ctx, site);
    case KID_YIELD:
        PumpMessages(ctx);
        return 1;
    default:
        SetError(ctx, 3352);
        return 0;
    }
}

int DoFlow(BDS* ctx, resultants* result, RunSite* site, uint32_t id)
{
    if (id == KID_ENDFOR)
        id = KID_NEXT;
    else if (id == KID_SELECT)
        id = KID_SWITCH;
    else if (id == KID_ENDSELECT)
        id = KID_ENDSWITCH;
    // GoSub reads the If state before it lets it go (its frame keeps it).
    if (id != KID_IF && id != KID_THEN && id != KID_ELSE && id != KID_GOSUB)
        ctx->run.nIfState = -1;
    switch (id) {
    case KID_IF:
        return DoIf(ctx, result, site);
    case KID_THEN:
        return ThenOrElse(ctx, result, site, true);
    case KID_ELSE:
        return ThenOrElse(ctx, result, site, false);
    case KID_ELSEIF:
        return DoElseIf(ctx, site);
    case KID_WHILE:
        return DoWhile(ctx, site);
    case KID_SWITCH:
        return DoSwitch(ctx, site);
    case KID_CASE:
        return DoCase(ctx, site);
    case KID_BREAK:
    case KID_CONTINUE:
        ctx->run.nTraceEvent = id == KID_BREAK ? 6 : 7;    // "IGNORED" while skipping
        if (Skipping(ctx))
            return 1;
        if (!ctx->run.bInLoop) {
            SetError(ctx, id == KID_BREAK ? 3355 : 3356);
            return 0;
        }
        TopFrame(ctx)->skip = id == KID_BREAK ? SKIP_BREAK : SKIP_CONTINUE;
        ctx->run.bTraceOutcome = 1;
        return 1;
    case KID_END: {
        if (get_token(ctx) > 1 || ctx->nErrorCode)
            return 0;
        uint16_t next = ctx->nTokenKind == TK_KEYWORD ? ctx->delim_type : 0;
        uint16_t which = next == KID_IF ? KID_ENDIF : next == KID_WHILE ? KID_ENDWHILE
                       : (next == KID_SWITCH || next == KID_SELECT) ? KID_ENDSWITCH : next == KID_FOR ? KID_NEXT : 0;
        if (!which) {
            SetError(ctx, 3363);
            return 0;
        }
        return DoEnd(ctx, site, which);
    }
    case KID_ENDIF:
    case KID_ENDWHILE:
    case KID_ENDSWITCH:
    case KID_NEXT:
        return DoEnd(ctx, site, static_cast<uint16_t>(id));
    case KID_FOR:
        return DoFor(ctx, site);
    case KID_TO:
        return DoTo(ctx, site, false);
    case KID_FOREACH:
        return DoForEach(ctx, site);
    case KID_GOSUB:
        return DoGosub(ctx, site);
    case KID_RETURN:
        return DoReturn(ctx, result, site);
    default:
        SetError(ctx, 3352);
        return 0;
    }
}

// A cached jump: 0x9F goto, 0x9E gosub, then the line offset as four base-64 digits.
int CachedJump(BDS* ctx, const uint8_t* stmt, RunSite* site)
{
    if (Skipping(ctx))
        return 1;
    uint32_t offset = 0;
    for (int d = 1; d <= 4; ++d)
        offset = (offset << 6) | (stmt[d] & 0x3F);
    if (stmt[0] == 0x9E) {
        int32_t ifState = ctx->run.nIfState;
        ctx->run.nIfState = -1;
        if (!PushGosubFrame(ctx, site, ifState))
            return 0;
    }
    *site->pos = offset;
    return 1;
}

}  // namespace

StructFrame* PushFrame(BDS* ctx, uint16_t kind, uint8_t skip, const RunSite* site)
{
    if (ctx->nStructDepth >= MAX_STRUCT_FRAMES) {
        SetError(ctx, 3353);
        return nullptr;
    }
    StructFrame* f = &ctx->aStructFrames[ctx->nStructDepth++];
    std::memset(f, 0, sizeof *f);
    f->kind = kind;
    f->skip = skip;
    f->linePos = site->lineStart;
    f->script = site->script;
    f->udfRunning = ctx->nUdfRunning;
    f->savedInLoop = static_cast<uint8_t>(ctx->run.bInLoop);
    if (kind == SF_WHILE || kind == SF_FOR || kind == SF_FOREACH || kind == SF_SWITCH)
        ctx->run.bInLoop = 1;
    return f;
}

void SetContinuesPastEnd(BDS* ctx)
{
    char hint[512] = "";
    LoadMyString(ctx, EngineModule(), TokenIs(ctx, KID_LBRACKET) ? 9518 : 9505, hint, sizeof hint);
    SetError(ctx, 3074);
    AppendExtendedError(ctx, hint);
}

void CutStack(BDS* ctx, uint32_t keep)
{
    while (ctx->nStructDepth > keep)
        PopFrame(ctx);
}

void PopGosubFrame(BDS* ctx)
{
    StructFrame& f = ctx->aStructFrames[ctx->nStructDepth - 1];
    ctx->run.bInLoop = f.savedInLoop;
    std::memset(&f, 0, sizeof f);
    --ctx->nStructDepth;
}

int ExecuteStatement(BDS* ctx, resultants* result, RunSite* site)
{
    // Execute and single-line Then and Else run the rest of their line through here.
    if (!StackRoomLeft(ctx))
        return 0;
    site->plan = nullptr;
    char* stmt = site->line + site->stmtOffset;
    auto first = static_cast<uint8_t>(stmt[0]);
    if (first == 0x9F || first == 0x9E)
        return CachedJump(ctx, reinterpret_cast<const uint8_t*>(stmt), site);

    ctx->pVars[0].name[0] = 0;
    ctx->run.nFailedAssignTarget = 0;
    int throughPointer = 0;
    if (*stmt == '*') {
        throughPointer = 1;
        ++stmt;
    }
    ctx->prog = stmt;
    bool skipping = Skipping(ctx);
    // A statement whose first tokens the line cache knows starts without reading them.
    LineView view;
    StatementPlan* plan = !throughPointer && site->cached ? StatementPlanAt(ctx, stmt, &view) : nullptr;
    site->plan = plan && plan->kind == PLAN_KEYWORD ? plan : nullptr;
    if (plan && plan->kind == PLAN_ASSIGN && !skipping) {
        int r = RunPlannedAssignment(ctx, result, site, view, *plan);
        if (r >= 0)
            return r;
    }
    if (plan && plan->kind == PLAN_KEYWORD) {
        ReadPlannedKeyword(ctx, *plan, stmt);
    } else if (get_token(ctx) > 1 || ctx->nErrorCode) {
        if (!skipping)
            return 0;
        ctx->nErrorCode = 0;
        ctx->run.nTraceEvent = 2;
        return 1;
    }
    if (AtLineEnd(ctx)) {
        if (skipping)
            return 1;
        SetError(ctx, 3071);
        return 0;
    }
    if (ctx->nTokenKind == TK_KEYWORD) {
        uint32_t id = ctx->delim_type;
        uint32_t type = KeywordTypeOf(ctx, id);
        if (type == KT_FLOW)
            return DoFlow(ctx, result, site, id);
        if (type == KT_STATEMENT) {
            if (skipping) {
                PassOver(ctx, site);
                return 1;
            }
            return DoStatementWord(ctx, result, site, id);
        }
    }
    if (skipping) {
        PassOver(ctx, site);
        return 1;
    }
    ctx->run.nTraceEvent = 0;
    // An assignment's value is wanted afterwards only by the trace and the debugger.
    ctx->run.bValueUnused = 1;
    ProcessSubExpression(ctx, result, 1, throughPointer, site);
    ctx->run.bValueUnused = 0;
    if (ctx->nErrorCode)
        return 0;
    if (!AtLineEnd(ctx)) {
        SetContinuesPastEnd(ctx);
        return 0;
    }
    return 1;
}
