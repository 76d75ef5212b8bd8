// The stack guard.
//
// The evaluator, the calls of user-defined functions and script files, Execute and the error
// traps recurse on the machine stack as deep as a script makes them. Each of those roads asks
// StackRoomLeft before it goes one level deeper; when less than STACK_ROOM_NEEDED is left it
// ends with 1672 and the script's error road (the error box, a handler) instead of
// overflowing the stack, and the room kept is what that road needs.
//
// A check compares the stack pointer with a floor kept in the context for the thread that
// checked last: two comparisons, no call. Another thread (its stack lies elsewhere) makes the
// floor anew from that thread's stack limits, which the system keeps in the thread's own
// record, so that costs no system call either.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

constexpr size_t STACK_ROOM_NEEDED = 256 * 1024;

// Computes the floor for the calling thread and answers whether `at` lies above it.
bool StackGuardRefresh(BDS* ctx, uintptr_t at);

// An error handler (a user-defined function the error trap calls) may run where the guard
// has just refused: half of the room kept for the error road is then its own, so that the
// handler's statements are not refused in turn. The floor lowered for the calling thread is
// put back by StackGuardRestore with the value answered.
uintptr_t StackGuardOpenForHandler(BDS* ctx);
void StackGuardRestore(BDS* ctx, uintptr_t floor);

// Whether the calling thread still has the room above; false with 1672 set when not.
inline bool StackRoomLeft(BDS* ctx)
{
    auto at = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const RunState& run = ctx->run;
    if ((at >= run.stackFloor && at < run.stackTop) || StackGuardRefresh(ctx, at))
        return true;
    SetError(ctx, 1672);
    return false;
}
