// The process-wide registry that lets a dialog procedure find its engine context: up to
// 100 pairs of (owner window, context).
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

enum : uintptr_t {
    DLG_LOOKUP = 0,          // find the context, with a box when there is none
    DLG_NOTHING = 1,         // do nothing (answers the code)
    DLG_LOOKUP_QUIET = 2,    // find the context, quietly
};

// The key is the window's owner. A code above 2 is a context to register for it; answers
// the context, or null (no owner, table full, or not found).
BDS* DlgPointLookup(HWND window, uintptr_t contextOrCode);

// Drops every pair of a context that is going away.
void DlgPointForget(BDS* ctx);
