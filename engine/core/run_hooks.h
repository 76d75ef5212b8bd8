// The host hooks of a run: the per-line hook, source files entered and left, Call entered
// and left, and errors passed to the host. Each is called only when the host asked for it
// through nHookFlags.
#pragma once

#include <windows.h>
#include <cstdint>

#include "engine/core/context.h"

// Per-line hook (flag 2): event "2" in the main script, "3" inside a user function.
void CallHostLineHook(BDS* ctx, const char* event, HGLOBAL script, uint32_t offset, uint16_t owner, uint8_t skip);
// Source file entered (1), left (0) or left after a failure (-1) (flag 8).
void CallHostFileHook(BDS* ctx, const char* file, int state);
// Call built-in entered (1) or left with its outcome (flag 4).
void CallHostCallHook(BDS* ctx, uint32_t level, int state);
// An error passed to the host before it is shown (flag 32).
void ReportErrorToHost(BDS* ctx, uint16_t code);

// A statement word of the host's keyword table (no arguments).
void CallHostStatement(BDS* ctx, uint32_t id, resultants* result, resultants* args);
