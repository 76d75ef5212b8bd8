// The host hooks of a run, called through the host call form when the host asked for them.
#include "engine/core/run_hooks.h"

void CallHostLineHook(BDS* ctx, const char* event, HGLOBAL script, uint32_t offset, uint16_t owner, uint8_t skip)
{
    (void)ctx, (void)event, (void)script, (void)offset, (void)owner, (void)skip;
}

void CallHostFileHook(BDS* ctx, const char* file, int state)
{
    (void)ctx, (void)file, (void)state;
}

void CallHostCallHook(BDS* ctx, uint32_t level, int state)
{
    (void)ctx, (void)level, (void)state;
}

void ReportErrorToHost(BDS* ctx, uint16_t code)
{
    (void)ctx, (void)code;
}

void CallHostStatement(BDS* ctx, uint32_t id, resultants* result, resultants* args)
{
    (void)result, (void)args, (void)id;
    SetError(ctx, 3046);
}
