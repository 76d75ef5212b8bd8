// The message pumps, the pumping wait and the break-key poll.
//
// The engine runs on the host's GUI thread: between statements and inside every wait it
// pumps that thread's messages so the host's windows stay alive, and polls Ctrl+Break.
// A PeekMessage costs tens of microseconds, so hot loops pump by elapsed time
// (PumpMessagesWhenDue), never once per statement.
#pragma once

#include <cstdint>

struct BDS;

// Dispatches pending messages until the queue is empty or bCancel is set; each dispatched
// message is followed by a break-key poll and a 20 ms sleep. Nothing under nYieldMode 2.
void PumpMessages(BDS* ctx);
// The same without the sleeps (dialogs and modal loops). Nothing under nYieldMode 2.
void PumpMessagesModal(BDS* ctx);
// Waits `milliseconds` while pumping; ends early when bCancel is set.
void WaitPumping(BDS* ctx, uint32_t milliseconds);
// Sets bCancel and bCancelRequest on Ctrl+Break (unless nControlFlags value 8 is set) and
// gives the host its idle hook when nHookFlags value 1 asks for it.
void PollBreakKeys(BDS* ctx);

// How often a running script pumps at most.
constexpr uint32_t PUMP_INTERVAL_MS = 20;
// Pumps (modal or not, by bModalPump) when PUMP_INTERVAL_MS have passed since the last
// pump of this context; answers true when it pumped. One GetTickCount otherwise.
bool PumpMessagesWhenDue(BDS* ctx);
