// Waits of the script's thread: for a span (a waitable timer, or the clock) and until a
// point in time. Every wait pumps the thread's messages and ends when the run is cancelled.
#pragma once

#include <cstdint>

struct BDS;

// Waits `units` of 100 ns on a waitable timer while pumping. 1 when the timer expired;
// 0 when the timer entries are missing, the wait was cancelled or abandoned, or it failed
// (then 1825 with the failing call recorded).
int WaitWithTimer(BDS* ctx, int64_t units);

// Delay and TimeDelay: waits `seconds` (a negative count waits its magnitude).
void DelaySeconds(BDS* ctx, double seconds);
