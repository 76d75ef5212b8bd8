// State of the array built-ins kept in the context: the logical text comparison of the
// system, loaded by name when a sort or search first asks for it, and the queue of blocks
// waiting to be destroyed (array.cpp).
#pragma once

#include <windows.h>

struct ArrayHeader;

using PfnStrCmpLogicalW = int(WINAPI*)(const wchar_t*, const wchar_t*);

struct ArrayState {
    HMODULE hShlwapi;                      // kept for the engine's life once loaded
    PfnStrCmpLogicalW pfnStrCmpLogicalW;   // null until loaded (a failed load is retried)
    ArrayHeader* pDestroyQueue;            // blocks whose holders ran out during a destroy
    uint32_t bDestroying;                  // a release is destroying blocks
};

struct BDS;
// The system's StrCmpLogicalW, loaded from "SHLWAPI.DLL" on first use and kept in the
// context; null when the system has none (no error is set).
PfnStrCmpLogicalW StrCmpLogicalOf(BDS* ctx);
