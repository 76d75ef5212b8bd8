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
extern const IntControlFamily g_IntControlSigning;    // intcontrol_signing.cpp

namespace {

constexpr int NUMBER_TEXT_CHARS = 18;

// 72 and 73 (the cancel and error traps) and 78 (removing user-defined functions) belong to
// the run; they answer numbers, the built-in answers text.
void RunRequest(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    RunIntControlRequest(ctx, result, r.number, r.text[1], r.text[2], r.text[3]);
    if (!ctx->nErrorCode && (result->flags & VF_INT))
        IntControlAnswer(ctx, result, result->i32);
}

const IntControlRow kRunRows[] = {
    {72, RunRequest},
    {73, RunRequest},
    {78, RunRequest},
};

const IntControlFamily kRunFamily = {"run", kRunRows, static_cast<int>(sizeof(kRunRows) / sizeof(kRunRows[0]))};

const IntControlFamily* const kFamilies[] = {
    &g_IntControlSettings,
    &g_IntControlWindows,
    &g_IntControlSystem,
    &g_IntControlTrace,
    &g_IntControlMachine,
    &g_IntControlNative,
    &g_IntControlPrograms,
    &g_IntControlSigning,
    &kRunFamily,
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

const IntControlFamily* const* IntControlFamilies(int* count)
{
    *count = static_cast<int>(sizeof(kFamilies) / sizeof(kFamilies[0]));
    return kFamilies;
}

bool IsHostIntControlRequest(int32_t request)
{
    if (request < 1 || request > 102)
        return true;
    switch (request) {
    case 2: case 3: case 6: case 9: case 10: case 11:
    case 14: case 15: case 16: case 17: case 18: case 19:
    case 27: case 55: case 86: case 95:
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

    // Every number of the engine's range has a row (a unit test holds the table to that);
    // a request without one is the host's.
    IntControlHandler handler = IsHostIntControlRequest(request) ? nullptr : FindHandler(request);
    if (!handler) {
        ForwardIntControlToHost(ctx, result, request, r.text[1], r.text[2], r.text[3], r.text[4]);
        return;
    }
    if (SetResultText(ctx, result, "1"))
        handler(ctx, result, r);
}
