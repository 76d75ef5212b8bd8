// The version built-ins: Version answers the version of the program that runs the engine
// (its host function 1001), VersionDll the engine's own.
#include "engine/core/builtin.h"
#include "engine/core/keyword.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/native/host_call.h"

namespace {

constexpr int MSG_ENGINE_VERSION = 99;

constexpr int HOST_VERSION_POSITION = 1;   // the host's function 1001, whatever its name

// True when the host's table reaches the position (it ends at an empty name or id 9999).
bool HostHasFunctionAt(const BDS* ctx, int position)
{
    const KeywordRecord* table = ctx->pHostKeywords;
    if (!table || !ctx->pfnParentCommand)
        return false;
    for (int i = 0; i <= position; ++i)
        if (table[i].id == 9999 || table[i].nameLength == 0)
            return false;
    return true;
}

// The host's version is the answer of its function 1001; a host whose table is shorter
// has no version to tell: the empty text.
void CaseVersion(BDS* ctx, BuiltinCall& c)
{
    if (!HostHasFunctionAt(ctx, HOST_VERSION_POSITION)) {
        SetResultText(ctx, c.result, "");
        return;
    }
    CallExtenderFunction(ctx, static_cast<int32_t>(PARENTSTART) + HOST_VERSION_POSITION, c.result, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr, 0);
}

void CaseVersionDll(BDS* ctx, BuiltinCall& c)
{
    char text[64];
    if (LoadMyString(ctx, EngineModule(), MSG_ENGINE_VERSION, text, sizeof text) <= 0)
        text[0] = 0;
    SetResultText(ctx, c.result, text);
}

const BuiltinRow kRows[] = {
    {752, CaseVersion},
    {753, CaseVersionDll},
};

}  // namespace

extern const BuiltinFamily g_VersionBuiltins = {
    "version", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
