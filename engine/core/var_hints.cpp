// Hints beside the variable tables (see var_hints.h).
#include "engine/core/var_hints.h"

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/short_text.h"

namespace {

// The hint slot of a name key in the current scope.
uint32_t HintSlot(const BDS* ctx, const char* key, size_t length)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < length; ++i)
        h = (h ^ static_cast<uint8_t>(key[i])) * 16777619u;
    h ^= ctx->nScopeCurrent * 0x9E3779B1u;
    h *= 0x85EBCA6Bu;
    return h >> (32 - VAR_HINT_BITS);
}

}  // namespace

int VarHintFind(BDS* ctx, const char* key, size_t length)
{
    if (!ctx->pVars || length == 0 || length > VARNAMESIZE)
        return -1;
    uint32_t hint = ctx->varHints.hints[HintSlot(ctx, key, length)];
    uint32_t index = hint & 0xFFFF;
    if (index == 0 || index >= ctx->nVarUsed || (hint >> 16) != (ctx->nScopeCurrent & 0xFFFF))
        return -1;
    const VariableEntry& entry = ctx->pVars[index];
    if (!SameBytes(entry.name, key, length) || entry.name[length] != 0)
        return -1;
    return static_cast<int>(index);
}

void VarHintNote(BDS* ctx, const char* key, size_t length, uint32_t index)
{
    if (length == 0 || length > VARNAMESIZE || index == 0 || index > 0xFFFF)
        return;
    ctx->varHints.hints[HintSlot(ctx, key, length)] = index | (ctx->nScopeCurrent & 0xFFFF) << 16;
}
