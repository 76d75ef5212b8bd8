// State of the array built-ins kept in the context: the logical text comparison of the
// system, loaded by name when a sort or search first asks for it, whether the logical keys
// (logical_keys.h) stand for it here, and the queue of blocks waiting to be destroyed
// (array.cpp).
#pragma once

#include <windows.h>

struct ArrayHeader;

using PfnStrCmpLogicalW = int(WINAPI*)(const wchar_t*, const wchar_t*);

struct ArrayState {
    HMODULE hShlwapi;                      // kept for the engine's life once loaded
    PfnStrCmpLogicalW pfnStrCmpLogicalW;   // null until loaded (a failed load is retried)
    int32_t nLogicalKeys;                  // logical keys give the function's order: 0 not yet
                                           // checked, 1 they do, -1 they do not
    ArrayHeader* pDestroyQueue;            // blocks whose holders ran out during a destroy
    uint32_t bDestroying;                  // a release is destroying blocks
};

struct BDS;
// The system's StrCmpLogicalW, loaded from "SHLWAPI.DLL" on first use and kept in the
// context; null when the system has none (no error is set).
PfnStrCmpLogicalW StrCmpLogicalOf(BDS* ctx);
