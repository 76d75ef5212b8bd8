// IntControl requests of programs and processes: the input-idle wait (36), closing and
// ending programs (47, 48, 56), the script's own errors (79) and file-system redirection
// (92).
#include "engine/core/context.h"
#include "engine/system/app_process.h"
#include "engine/system/intcontrol.h"
#include "engine/system/process_list.h"
#include "engine/system/user_error.h"

namespace {

void WaitReady(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, DoWinWaitReadyA(ctx, r.text[1], r.p[2]));
}

template <int32_t Mode>
void CloseWindow(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, DoTerminateAppA(ctx, r.text[1], Mode, 0));
}

// 56: p2 0 the process of window p1, 1 of program name p1, 2 of process id p1.
void EndProcess(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t mode = r.p[2] >= 0 && r.p[2] <= 2 ? r.p[2] + 2 : -1;
    IntControlAnswer(ctx, result, DoTerminateAppA(ctx, r.text[1], mode, r.p[3]));
}

void UserError(BDS* ctx, resultants*, const IntControlRequest& r)
{
    DoErrorEvent(ctx, r.p[1], r.p[2], r.text[3]);
}

void FsRedirection(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, Wow64FsRedirection(ctx, r.text[1], r.p[2]));
}

const IntControlRow kRows[] = {
    {36, WaitReady}, {47, CloseWindow<0>}, {48, CloseWindow<1>}, {56, EndProcess}, {79, UserError},
    {92, FsRedirection},
};

}  // namespace

extern const IntControlFamily g_IntControlPrograms = {"programs", kRows,
                                                      static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
