// IntControl's route: the requests that the engine leaves to the program that runs it
// (every number outside 1-102 and a few inside) go to the host's "intcontrol" function, and
// the cancel and error traps (72, 73) go to the statement runner. The engine's other
// requests are not served yet and answer "Function not defined".
#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/numtext.h"
#include "engine/core/statement.h"
#include "engine/native/host_call.h"

namespace {

// Requests that belong to the host.
bool IsHostRequest(int32_t request)
{
    if (request < 1 || request > 102)
        return true;
    switch (request) {
    case 2: case 3: case 6: case 9: case 10: case 11:
    case 14: case 15: case 16: case 17: case 18: case 19:
    case 27: case 95:
        return true;
    default:
        return false;
    }
}

// A parameter read as a number: its first 18 characters, text that is no number reads 0.
int32_t ParamNumber(const char* text)
{
    char head[19];
    strncpy(head, text, sizeof(head) - 1);
    head[sizeof(head) - 1] = '\0';
    return TextToLongA(head);
}

void SetResultNumberText(BDS* ctx, resultants* result, int32_t value)
{
    char text[16];
    snprintf(text, sizeof(text), "%d", value);
    SetResultText(ctx, result, text);
}

// 72 (cancel) and 73 (error): mode 0-3, p2 = 1 drops the extended-error text, mode 3 names
// the handler function. Answers the previous mode; a mode out of range only reads it.
void TrapRequest(BDS* ctx, BuiltinCall& c, bool cancel)
{
    int32_t mode = ParamNumber(ArgText(ctx, c, 2));
    bool discard = ParamNumber(ArgText(ctx, c, 3)) == 1;
    const char* udf = ArgText(ctx, c, 4);
    int32_t current = cancel ? ctx->run.nCancelHandlerMode : ctx->run.nErrorHandlerMode;
    if (mode < 0 || mode > 3)
        mode = current;
    int32_t old = cancel ? SetCancelTrap(ctx, mode, discard, udf)
                         : SetErrorTrap(ctx, mode, discard, udf);
    SetResultNumberText(ctx, c.result, old);
}

void CaseIntControl(BDS* ctx, BuiltinCall& c)
{
    int32_t request = ArgInt(c, 1);
    if (IsHostRequest(request)) {
        ForwardIntControlToHost(ctx, c.result, request, ArgText(ctx, c, 2), ArgText(ctx, c, 3),
                                ArgText(ctx, c, 4), ArgText(ctx, c, 5));
        return;
    }
    switch (request) {
    case 72:
        TrapRequest(ctx, c, true);
        break;
    case 73:
        TrapRequest(ctx, c, false);
        break;
    default:
        SetError(ctx, 3046);
        break;
    }
}

const BuiltinRow kRows[] = {
    {535, CaseIntControl},
};

}  // namespace

extern const BuiltinFamily g_HostRouteBuiltins = {
    "intcontrol-route", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
