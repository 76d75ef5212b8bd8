// IntControl requests that change the machine's files and identity: the icons of a
// program (37) and the computer's name (76).
#include "engine/core/context.h"
#include "engine/system/computer_name.h"
#include "engine/system/icon_builtins.h"
#include "engine/system/intcontrol.h"

namespace {

// 76: the computer's name (format 0); answers only 1 or 0, never an error.
void SetComputerName(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t done = DoComputerNameSetA(ctx, r.text[1], 0);
    SetError(ctx, 0);
    IntControlAnswer(ctx, result, done ? 1 : 0);
}

// 37: IconReplace with the four parameters.
void ReplaceIcons(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t replaced = DoIconReplace(ctx, r.text[1], r.text[2], r.p[3], r.p[4]);
    if (!ctx->nErrorCode)
        IntControlAnswer(ctx, result, replaced);
}

const IntControlRow kRows[] = {
    {37, ReplaceIcons},
    {76, SetComputerName},
};

}  // namespace

extern const IntControlFamily g_IntControlMachine = {"machine", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
