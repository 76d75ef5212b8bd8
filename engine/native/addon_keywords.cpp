// Storage of the context's extension rows; AddExtender fills them.
#include "engine/native/addon_keywords.h"

#include <windows.h>

namespace {
constexpr uint16_t ERR_NO_MEMORY = 1631;
}

bool AddonRowsEnsure(BDS* ctx)
{
    if (ctx->native.pAddonRows)
        return true;
    void* rows = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeywordRecord) * ADDON_COUNT);
    if (!rows) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    ctx->native.pAddonRows = static_cast<KeywordRecord*>(rows);
    return true;
}

void AddonRowsFree(BDS* ctx)
{
    if (ctx->native.pAddonRows)
        HeapFree(GetProcessHeap(), 0, ctx->native.pAddonRows);
    ctx->native.pAddonRows = nullptr;
    ctx->nNextExtEntry = 0;
}
