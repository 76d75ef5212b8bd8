// The stack guard's floor: the low end of the calling thread's stack reservation plus the
// room that the error road needs (see stack_guard.h).
#include "engine/core/stack_guard.h"

#include <windows.h>

namespace {

using PfnStackLimits = VOID(WINAPI*)(PULONG_PTR low, PULONG_PTR high);

// GetCurrentThreadStackLimits reads the thread's own record; where the system lacks it, the
// stack's memory region is asked for.
PfnStackLimits StackLimitsFunction()
{
    static const PfnStackLimits function = reinterpret_cast<PfnStackLimits>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetCurrentThreadStackLimits")));
    return function;
}

bool ThreadStackLimits(uintptr_t at, uintptr_t* low, uintptr_t* high)
{
    if (PfnStackLimits limits = StackLimitsFunction()) {
        ULONG_PTR lowest = 0, highest = 0;
        limits(&lowest, &highest);
        if (at >= lowest && at < highest) {
            *low = lowest;
            *high = highest;
            return true;
        }
    }
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) || !info.AllocationBase)
        return false;
    *low = reinterpret_cast<uintptr_t>(info.AllocationBase);
    *high = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    return at >= *low && at < *high;
}

}  // namespace

bool StackGuardRefresh(BDS* ctx, uintptr_t at)
{
    uintptr_t low = 0, high = 0;
    if (!ThreadStackLimits(at, &low, &high))
        return true;   // nothing known about this stack: never refuse on it
    // A thread with a small stack keeps a quarter of it for the error road.
    uintptr_t room = high - low >= 4 * STACK_ROOM_NEEDED ? STACK_ROOM_NEEDED : (high - low) / 4;
    ctx->run.stackFloor = low + room;
    ctx->run.stackTop = high;
    return at >= ctx->run.stackFloor;
}

uintptr_t StackGuardOpenForHandler(BDS* ctx)
{
    uintptr_t floor = ctx->run.stackFloor;
    auto at = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    uintptr_t low = 0, high = 0;
    if (!ThreadStackLimits(at, &low, &high) || high != ctx->run.stackTop || floor <= low)
        return floor;
    ctx->run.stackFloor = low + (floor - low) / 2;
    return floor;
}

void StackGuardRestore(BDS* ctx, uintptr_t floor)
{
    ctx->run.stackFloor = floor;
}
