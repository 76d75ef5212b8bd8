// IntControl's route to the host: the requests that the engine leaves to the program that
// runs it (every number outside 1-102 and a few inside) go to the host's "intcontrol"
// function. The engine's own requests are not served yet and answer "Function not defined".
#include "engine/core/builtin.h"
#include "engine/core/runloop.h"
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

void CaseIntControl(BDS* ctx, BuiltinCall& c)
{
    int32_t request = ArgInt(c, 1);
    if (RunIntControlRequest(ctx, c.result, request, ArgText(ctx, c, 2), ArgText(ctx, c, 3), ArgText(ctx, c, 4)))
        return;
    if (!IsHostRequest(request)) {
        SetError(ctx, 3046);
        return;
    }
    ForwardIntControlToHost(ctx, c.result, request, ArgText(ctx, c, 2), ArgText(ctx, c, 3),
                            ArgText(ctx, c, 4), ArgText(ctx, c, 5));
}

const BuiltinRow kRows[] = {
    {535, CaseIntControl},
};

}  // namespace

extern const BuiltinFamily g_HostRouteBuiltins = {
    "intcontrol-host", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
