// The host hooks of a run, called through the host call form when the host asked for them.
#include "engine/core/run_hooks.h"

#include <cstdio>

#include "engine/core/error_location.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/native/host_call.h"

namespace {

// Numbers travel to the host as decimal texts.
struct Number {
    char text[24];
    explicit Number(long long value) { snprintf(text, sizeof(text), "%lld", value); }
};

}  // namespace

void CallHostLineHook(BDS* ctx, const char* event, HGLOBAL script, uint32_t offset, uint16_t owner, uint8_t skip)
{
    Number handle(static_cast<long long>(reinterpret_cast<uintptr_t>(script)));
    Number position(offset);
    Number scopeOwner(owner);
    Number skipByte(skip);
    const char* texts[] = {event, handle.text, position.text, scopeOwner.text, skipByte.text};
    char directory[MAX_PATH];
    if (CallHostHook(ctx, HOST_NOTIFY_IDLE, texts, 5, directory) && directory[0]) {
        uint16_t kept = ctx->nErrorCode;
        DoDirChangeA(ctx, directory);
        ctx->nErrorCode = kept;
    }
}

void CallHostFileHook(BDS* ctx, const char* file, int state)
{
    Number outcome(state);
    const char* texts[] = {file, outcome.text};
    CallHostHook(ctx, HOST_NOTIFY_SOURCE, texts, 2, nullptr);
}

void CallHostCallHook(BDS* ctx, uint32_t level, int state)
{
    Number callLevel(level);
    Number outcome(state);
    const char* texts[] = {callLevel.text, outcome.text};
    CallHostHook(ctx, HOST_NOTIFY_CALL, texts, 2, nullptr);
}

// The error's number, the text its box shows ("<number>:  <message>"), the source file and
// the line.
void ReportErrorToHost(BDS* ctx, uint16_t code)
{
    char message[TEXTBUF];
    LoadMyString(ctx, EngineModule(), code, message, sizeof(message));
    char boxText[TEXTBUF + 16];
    snprintf(boxText, sizeof(boxText), "%u:  %s", code, message);
    ErrorLocation where{};
    bool located = LocateErrorStatement(ctx, &where);
    Number number(code);
    Number line(located ? where.line : 0);
    const char* texts[] = {number.text, boxText, located && where.file[0] ? where.file : ctx->szSourceFile,
                           line.text};
    CallHostHook(ctx, HOST_NOTIFY_ERROR, texts, 4, nullptr);
}

void CallHostStatement(BDS* ctx, uint32_t id, resultants* result, resultants* args)
{
    (void)args;
    ExtArgRecord none[EXT_MAX_ARGS] = {};
    CallExtenderFunction(ctx, static_cast<int32_t>(id), result, nullptr, nullptr, nullptr,
                         nullptr, nullptr, none, 0);
}
