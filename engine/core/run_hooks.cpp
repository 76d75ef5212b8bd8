// The host hooks of a run, sent through the host call form when the host asked for them.
// A hook leaves the error code as it found it, except that the per-line hook may stop the
// run with 9012.
#include "engine/core/run_hooks.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/statement.h"
#include "engine/native/host_call.h"

#include <cstdio>

void CallHostLineHook(BDS* ctx, const char* event, HGLOBAL script, uint32_t offset, uint16_t owner, uint8_t skip)
{
    char handle[24], at[16], who[8], skipText[8];
    std::snprintf(handle, sizeof handle, "%llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(script)));
    std::snprintf(at, sizeof at, "%u", offset);
    std::snprintf(who, sizeof who, "%u", owner);
    std::snprintf(skipText, sizeof skipText, "%u", skip);
    uint16_t saved = ctx->nErrorCode;
    NotifyHost(ctx, HOST_NOTIFY_IDLE, event, handle, at, who, skipText);
    if (ctx->nErrorCode != CC_STOP_QUIET)
        ctx->nErrorCode = saved;
}

void CallHostFileHook(BDS* ctx, const char* file, int state)
{
    char text[8];
    std::snprintf(text, sizeof text, "%d", state);
    uint16_t saved = ctx->nErrorCode;
    NotifyHost(ctx, HOST_NOTIFY_SOURCE, file, text);
    ctx->nErrorCode = saved;
}

void CallHostCallHook(BDS* ctx, uint32_t level, int state)
{
    char levelText[16], text[8];
    std::snprintf(levelText, sizeof levelText, "%u", level);
    std::snprintf(text, sizeof text, "%d", state);
    uint16_t saved = ctx->nErrorCode;
    NotifyHost(ctx, HOST_NOTIFY_CALL, levelText, text);
    ctx->nErrorCode = saved;
}

void ReportErrorToHost(BDS* ctx, uint16_t code)
{
    if (code < 100 || code >= CC_STOP || !(ctx->nHookFlags & HOST_HOOK_ERROR))
        return;
    char number[16], message[TEXTBUF], text[TEXTBUF + 16], line[16];
    std::snprintf(number, sizeof number, "%u", code);
    message[0] = 0;
    LoadMyString(ctx, EngineModule(), code, message, sizeof message);
    std::snprintf(text, sizeof text, "%u:  %s", code, message);
    ScriptLocation where{};
    uint32_t lineNumber = 0;
    if (LocateScriptLine(ctx, ctx->hCurrentScript, ctx->nErrorOffset, &where, nullptr, 0))
        lineNumber = where.line;
    std::snprintf(line, sizeof line, "%u", lineNumber);
    uint32_t saved = ctx->nErrorCode;
    NotifyHost(ctx, HOST_NOTIFY_ERROR, number, text, where.file, line);
    ctx->nErrorCode = static_cast<uint16_t>(saved);
}

void CallHostStatement(BDS* ctx, uint32_t id, resultants* result, resultants*)
{
    CallExtenderFunction(ctx, static_cast<int32_t>(id), result, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, 0);
}
