// TEMPORARY stand-in for the built-in router, so the engine links before the router is
// merged: user-defined functions run, every other function fails with 3046. Delete this
// file when the router lands.
#include "engine/core/router.h"

#include "engine/core/runloop.h"

int CallBuiltinFunction(BDS* ctx, const char*, uint32_t id, resultants* result,
                        resultants* args, int, int, uint64_t)
{
    if (id >= UDFSTART && id < UDFSTART + 999) {
        CallUserFunction(ctx, id, result, args, nullptr, 0);
        return ctx->nErrorCode;
    }
    SetError(ctx, 3046);
    return 3046;
}
