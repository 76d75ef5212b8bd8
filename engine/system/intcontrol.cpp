// The IntControl built-in: reads the parameters, finds the request's row among the areas'
// tables, and sends the host's requests to the host.
#include "engine/system/intcontrol.h"

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/runloop.h"
#include "engine/native/host_call.h"

extern const IntControlFamily g_IntControlSettings;   // intcontrol_settings.cpp
extern const IntControlFamily g_IntControlWindows;    // intcontrol_windows.cpp
extern const IntControlFamily g_IntControlSystem;     // intcontrol_system.cpp
extern const IntControlFamily g_IntControlTrace;      // intcontrol_trace.cpp
extern const IntControlFamily g_IntControlMachine;    // intcontrol_machine.cpp
extern const IntControlFamily g_IntControlNative;     // intcontrol_native.cpp
extern const IntControlFamily g_IntControlPrograms;   // intcontrol_programs.cpp

namespace {

constexpr uint16_t ERR_NOT_DEFINED = 3046;   // a request of a part of the engine not present
constexpr int NUMBER_TEXT_CHARS = 18;

const IntControlFamily* const kFamilies[] = {
    &g_IntControlSettings,
    &g_IntControlWindows,
    &g_IntControlSystem,
    &g_IntControlTrace,
    &g_IntControlMachine,
    &g_IntControlNative,
    &g_IntControlPrograms,
};

IntControlHandler FindHandler(int32_t request)
{
    for (const IntControlFamily* family : kFamilies)
        for (int i = 0; i < family->count; ++i)
            if (family->rows[i].request == request)
                return family->rows[i].run;
    return nullptr;
}

int32_t ParameterNumber(const char* text)
{
    char head[NUMBER_TEXT_CHARS + 1];
    lstrcpynA(head, text, sizeof head);
    return TextToLongA(head);
}

// The run's own requests (traps and removing user-defined functions) answer numbers; the
// built-in answers text.
bool RunRequest(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    if (!RunIntControlRequest(ctx, result, r.number, r.text[1], r.text[2], r.text[3]))
        return false;
    if (!ctx->nErrorCode && (result->flags & VF_INT))
        IntControlAnswer(ctx, result, result->i32);
    return true;
}

void CaseIntControl(BDS* ctx, BuiltinCall& call)
{
    DoIntControl(ctx, call.result, ArgInt(call, 1), ArgText(ctx, call, 2), ArgText(ctx, call, 3),
                 ArgText(ctx, call, 4), ArgText(ctx, call, 5));
}

const BuiltinRow kRows[] = {
    {535, CaseIntControl},
};

}  // namespace

extern const BuiltinFamily g_IntControlBuiltins = {"intcontrol", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

bool IsHostIntControlRequest(int32_t request)
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

void IntControlAnswer(BDS* ctx, resultants* result, int64_t number)
{
    char text[INT_TEXT_SIZE];
    Int64ToTextA(number, text, 10);
    SetResultText(ctx, result, text);
}

void IntControlAnswerText(BDS* ctx, resultants* result, const char* text)
{
    SetResultText(ctx, result, text ? text : "");
}

void DoIntControl(BDS* ctx, resultants* result, int32_t request, const char* p1, const char* p2,
                  const char* p3, const char* p4)
{
    IntControlRequest r{};
    r.number = request;
    r.text[0] = "";
    r.text[1] = p1 ? p1 : "";
    r.text[2] = p2 ? p2 : "";
    r.text[3] = p3 ? p3 : "";
    r.text[4] = p4 ? p4 : "";
    for (int i = 1; i <= 4; ++i)
        r.p[i] = ParameterNumber(r.text[i]);

    if (IsHostIntControlRequest(request)) {
        ForwardIntControlToHost(ctx, result, request, r.text[1], r.text[2], r.text[3], r.text[4]);
        return;
    }
    if (!SetResultText(ctx, result, "1"))
        return;
    if (IntControlHandler handler = FindHandler(request)) {
        handler(ctx, result, r);
        return;
    }
    if (RunRequest(ctx, result, r))
        return;
    SetError(ctx, ERR_NOT_DEFINED);
}
