// Engine tear-down (DoDuRavInit operation 99): releases, in order, everything the engine
// allocated for the context. The host frees the context itself, the main variable table
// and the string heap's range afterwards.
#include <windows.h>

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/runloop.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/engine_setup.h"
#include "engine/core/errors.h"
#include "engine/core/keyword_index.h"
#include "engine/core/line_cache.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/pump.h"
#include "engine/core/statement.h"
#include "engine/data/binary_buffer.h"
#include "engine/data/cng_hash.h"
#include "engine/files/file_io.h"
#include "engine/files/file_locks.h"
#include "engine/files/registry.h"
#include "engine/system/environment.h"
#include "engine/system/input_block.h"

namespace {

// Frees a movable block whatever its lock count.
void UnlockAndFree(HGLOBAL block)
{
    if (!block)
        return;
    for (int i = 0; i < 64 && GlobalUnlock(block); ++i) {
    }
    GlobalFree(block);
}

// Releases the arrays and COM values held by the used entries of a variable table.
void ReleaseTableValues(BDS* ctx, HGLOBAL table, uint32_t used, uint32_t capacity)
{
    auto* vars = table ? static_cast<VariableEntry*>(GlobalLock(table)) : nullptr;
    if (!vars)
        return;
    VariableEntry* savedVars = ctx->pVars;
    ctx->pVars = vars;   // FreeValue addresses variables through the current table
    uint32_t count = used < capacity ? used : capacity;
    for (uint32_t i = 1; i < count; ++i) {
        if (vars[i].flags & (VF_ARRAY | VF_VARIANT))
            FreeValue(ctx, &vars[i], static_cast<int>(i), VK_ARGUMENT);
    }
    ctx->pVars = savedVars;
    GlobalUnlock(table);
}

// Scope tables of user-defined functions that a stopped run left behind.
void ReleaseLeftoverScopes(BDS* ctx)
{
    for (int slot = 1; slot < MAX_SCOPES; ++slot) {
        ScopeSlot& scope = ctx->aScopes[slot];
        if (!scope.hTable || scope.hTable == ctx->hVarTable)
            continue;
        ReleaseTableValues(ctx, scope.hTable, scope.used, scope.capacity);
        UnlockAndFree(scope.hTable);
        scope = ScopeSlot{};
        ctx->run.scopeVars[slot] = nullptr;
    }
}

// What ForEach states still hold (a run is over; COM is still up for the walks).
void ReleaseForEachStates(BDS* ctx)
{
    for (ForEachState& state : ctx->run.forEach)
        ClearForEachState(ctx, state);
}

void CloseScriptFiles(BDS* ctx)
{
    CloseAllScriptFiles(ctx);
    BinaryFreeAll(ctx);
    CngUnbind(ctx);
}

void FreeUserFunctions(BDS* ctx)
{
    if (ctx->nUdfBlockTop < 0)
        return;
    for (UdfRecord*& record : ctx->pUdfRecords) {
        if (record && record->hBody)
            UnlockAndFree(record->hBody);
        record = nullptr;
    }
    for (HGLOBAL& block : ctx->hUdfBlocks) {
        UnlockAndFree(block);
        block = nullptr;
    }
    ctx->nUdfBlockTop = -1;
    ctx->nUdfCount = 0;
}

void FreeOptionalLibraries(BDS* ctx)
{
    OptionalApis& api = ctx->eng.api;
    if (api.hMsvfw32)
        FreeLibrary(api.hMsvfw32);
    if (api.hSecondLibrary)
        FreeLibrary(api.hSecondLibrary);
    api.hMsvfw32 = api.hSecondLibrary = nullptr;
    api.pfnDrawDibOpen = api.pfnDrawDibRealize = api.pfnDrawDibDraw = api.pfnDrawDibClose = nullptr;
}

}  // namespace

void TearDownContext(BDS* ctx)
{
    FreeScriptLibraries(ctx);
    ReleaseTableValues(ctx, ctx->hVarTable, ctx->nVarUsed, ctx->nVarCapacity);
    ReleaseLeftoverScopes(ctx);
    FreeSpareScopeTables(ctx);
    FreeCallPool(ctx);

    NotifyExtendersOfEnd(ctx);
    OpenKeyTableFree(ctx);
    FreeAllDllCallbacks(ctx);
    DllStructFreeAll(ctx);
    RestartMgrUnload(ctx);

    ReleaseForEachStates(ctx);
    UnloadExtenders(ctx);

    CloseScriptFiles(ctx);
    FreeUserFunctions(ctx);

    EndErrorReporting(ctx);   // the extended-error block
    SetInputBlocked(ctx, 1);
    for (int i = 0; i < 4; ++i)
        PumpMessages(ctx);
    ComTerminateContext(ctx);
    PumpMessages(ctx);
    DdeCleanup(ctx);
    EnvironmentBlockFree(ctx);

    FreeOptionalLibraries(ctx);
    KeywordIndexFree(ctx);
    LineCacheFree(ctx);
    DlgPointForget(ctx);
    ctx->heap.binding = nullptr;   // the host's record may go with the instance
}
