// Per-context engine switches and optional system functions, set up at DoDuRavInit.
#pragma once

#include <windows.h>
#include <cstdint>

struct EngineState {
    uint32_t reserved;
};
