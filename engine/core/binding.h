// The launcher's record of the bound engine. The engine keeps a pointer to it (given at
// DoDuRavInit operation 3) to commit more of the string space as the heap grows.
#pragma once

#include <windows.h>
#include <cstdint>

struct EngineBinding {
    HGLOBAL hInstanceBlock;   // the engine context, zero-initialised
    HGLOBAL hVarTable;        // the main variable table
    char* stringSpace;        // base of the reserved string space
    HINSTANCE hInstance;      // the launcher's own instance
    uint32_t runFlag;         // 0 once the binding succeeded
    uint64_t commitSize;      // bytes committed at the base of the string space
    uint64_t reserveSize;     // bytes of the reserved range
};

// The interface word the launcher hands to operation 0.
constexpr uint32_t ENGINE_INTERFACE_WORD = 0x300A1305;
// The word of the host and extender call form.
constexpr uint32_t HOST_CALL_INTERFACE_WORD = 0x30030105;
