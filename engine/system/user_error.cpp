// ErrorEvent, which raises an error of the script's own that the engine reports like its
// own errors, and DropWild, which drops the variables whose names begin with a prefix.
#include "engine/system/user_error.h"

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/evaluator.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"

namespace {

constexpr uint16_t ERR_BAD_SEVERITY = 1666;   // "ErrorEvent: Invalid 'severity'"
constexpr uint16_t ERR_BAD_CODE = 1667;       // "ErrorEvent: Invalid error code"
constexpr uint16_t ERR_MINOR_USER = 1668;     // "Minor user-defined error"
constexpr uint16_t ERR_MODERATE_USER = 2669;  // "Moderate user-defined error"
constexpr uint16_t ERR_SEVERE_USER = 3670;    // "Severe user-defined error"
constexpr int MSG_USER_DEFINED = 879;         // "User-Defined Error:"
constexpr int32_t FIRST_CODE = 7000;
constexpr int32_t LAST_CODE = 7999;
constexpr size_t PATTERN_CHARS = 31;

// ErrorEvent(severity, code, text)
void CaseErrorEvent(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, DoErrorEvent(ctx, ArgInt(call, 1), ArgInt(call, 2), ArgText(ctx, call, 3)));
}

// DropWild(pattern)
void CaseDropWild(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, DoDropWild(ctx, ArgText(ctx, call, 1)));
}

const BuiltinRow kRows[] = {
    {436, CaseDropWild},
    {449, CaseErrorEvent},
};

}  // namespace

extern const BuiltinFamily g_UserErrorBuiltins = {"user-errors", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int32_t DoErrorEvent(BDS* ctx, int32_t severity, int32_t code, const char* text)
{
    if (severity < -3 || severity > -1) {
        SetError(ctx, ERR_BAD_SEVERITY);
        return 1;
    }
    uint16_t number = severity == -1 ? ERR_MINOR_USER : severity == -2 ? ERR_MODERATE_USER : ERR_SEVERE_USER;
    if (code < FIRST_CODE || code > LAST_CODE) {
        SetError(ctx, ERR_BAD_CODE);
        return 1;
    }
    if (!text)
        text = "";
    ctx->eng.ctl.LastUserErrorCode = static_cast<uint32_t>(code);
    lstrcpynA(ctx->eng.ctl.LastUserErrorText, text, sizeof ctx->eng.ctl.LastUserErrorText);
    ctx->nErrorDetail = static_cast<uint32_t>(code);   // what the error stands for: the script's code
    SetError(ctx, number);
    // A minor error under @OFF is only recorded, and a trap takes the error as it stands.
    if ((ctx->ErrorMode == EM_OFF && severity == -1) || ctx->run.nErrorHandlerMode != TRAP_OFF)
        return 1;

    char label[256] = {};
    LoadMyString(ctx, EngineModule(), MSG_USER_DEFINED, label, sizeof label);
    std::snprintf(ctx->err.szErrorText, sizeof ctx->err.szErrorText, "%s  %d: %s", label, static_cast<int>(code),
                  text);
    lstrcpynA(ctx->szErrorLine, text, sizeof ctx->szErrorLine);
    // The error box keeps the texts set here (a title id and number below 100 load none).
    bool stopBox = ctx->ErrorMode == EM_CANCEL || severity == -3;
    int goOn = ReportError(ctx, ctx->hwndOwner, 0, 0, stopBox ? ERRCLASS_SEVERE : ERRCLASS_MODERATE);
    ctx->nLastError = CC_EVENT_SHOWN;
    ctx->nErrorDetail = static_cast<uint32_t>(code);
    SetError(ctx, CC_EVENT_SHOWN);
    if (goOn && !stopBox)
        ctx->run.bGoOn = 1;
    return 1;
}

int32_t DoDropWild(BDS* ctx, const char* pattern)
{
    if (!pattern || !*pattern)
        return 0;
    char prefix[PATTERN_CHARS + 1];
    lstrcpynA(prefix, pattern, sizeof prefix);
    size_t length = std::strlen(prefix);
    if (prefix[length - 1] != '*')
        return 0;
    prefix[--length] = 0;
    int32_t dropped = 0;
    for (uint32_t index = 1; index < ctx->nVarUsed; ++index) {
        VariableEntry& v = ctx->pVars[index];
        if (!v.flags || std::strlen(v.name) < length)
            continue;
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, v.name, static_cast<int>(length), prefix,
                           static_cast<int>(length)) != CSTR_EQUAL)
            continue;
        if (IsAssignmentTarget(ctx, static_cast<uint16_t>(index)))
            continue;
        FreeValue(ctx, &v, static_cast<int>(index), VK_ARGUMENT);
        v.flags = 0;
        std::memset(v.name, 0, sizeof v.name);
        v.flag = 0;
        ++dropped;
        if (index + 1u == ctx->nVarUsed)
            --ctx->nVarUsed;
    }
    return dropped;
}
