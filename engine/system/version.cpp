// The version built-ins: Version answers the version of the program that runs the engine
// (its host function "version"), VersionDll the engine's own.
#include "engine/core/builtin.h"
#include "engine/core/keyword.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/native/host_call.h"

namespace {

constexpr int MSG_ENGINE_VERSION = 99;

// A host without a "version" function has no version to tell: the empty text.
void CaseVersion(BDS* ctx, BuiltinCall& c)
{
    int position = FindHostFunction(ctx, "version");
    if (position < 0) {
        SetResultText(ctx, c.result, "");
        return;
    }
    CallExtenderFunction(ctx, static_cast<int32_t>(PARENTSTART) + position, c.result, nullptr,
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
