// TEMPORARY stand-in for switching variable scopes, so variable pointers work before the
// run loop's scope management is merged. Delete this file when the real SwitchVarScope
// and RestoreVarScope land.
#include "engine/core/runloop.h"

namespace {

// Makes slot current: its table locked into pVars, its counts in the context.
int EnterSlot(BDS* ctx, uint32_t slot)
{
    ScopeSlot& scope = ctx->aScopes[slot];
    auto* vars = static_cast<VariableEntry*>(GlobalLock(scope.hTable));
    if (!vars) return 0;
    ctx->pVars = vars;
    ctx->hVarTable = scope.hTable;
    ctx->nVarCapacity = scope.capacity;
    ctx->nVarUsed = scope.used;
    ctx->nScopeCurrent = slot;
    ctx->nScopeCurrentSerial = scope.serial;
    ctx->nScopeCurrentTick = scope.tick;
    return 1;
}

void LeaveCurrent(BDS* ctx)
{
    ctx->aScopes[ctx->nScopeCurrent].used = ctx->nVarUsed;
    if (ctx->hVarTable) GlobalUnlock(ctx->hVarTable);
}

}  // namespace

int SwitchVarScope(BDS* ctx, uint32_t slot, ScopeSave* save)
{
    if (slot >= MAX_SCOPES || !ctx->aScopes[slot].hTable) return 0;
    save->slot = ctx->nScopeCurrent;
    save->hTable = ctx->hVarTable;
    save->serial = ctx->nScopeCurrentSerial;
    save->tick = ctx->nScopeCurrentTick;
    save->capacity = ctx->nVarCapacity;
    uint32_t previous = ctx->nScopeCurrent;
    LeaveCurrent(ctx);
    if (EnterSlot(ctx, slot)) return 1;
    EnterSlot(ctx, previous);
    return 0;
}

int RestoreVarScope(BDS* ctx, const ScopeSave* save)
{
    LeaveCurrent(ctx);
    return EnterSlot(ctx, save->slot);
}
