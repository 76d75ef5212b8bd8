// Settings of the built-ins served inside the dispatch, kept in the context.
#pragma once

#include <cstdint>

struct BuiltinState {
    int32_t nDebugSetting;        // Debug: 1 on, -1 off for good, 0 off
    char szDebugText[256];        // Debug's text for the debugger
    uint32_t bExclusive;          // Exclusive
    uint32_t nDllLastError;       // system error code saved by the last native call
    uint32_t bIniChange;          // set while IniWrite broadcasts its change
};
