// TEMPORARY stand-in for calls into the run loop (user-defined functions, Call and the
// param variables), so the router links before the run loop is merged. Delete this file
// when the real CallUserFunction, CallScript, SetParamVars and SetParamVarsW land.
#include "engine/core/runloop.h"

int CallUserFunction(BDS* ctx, uint32_t, resultants*, resultants*, const UdfNativeCallback*, int)
{
    SetError(ctx, 3046);
    return 0;
}

int CallScript(BDS* ctx, resultants*, resultants*)
{
    SetError(ctx, 3046);
    return 0;
}

int SetParamVars(BDS* ctx, const char*)
{
    SetError(ctx, 3046);
    return 0;
}

int SetParamVarsW(BDS* ctx, const wchar_t*)
{
    SetError(ctx, 3046);
    return 0;
}
