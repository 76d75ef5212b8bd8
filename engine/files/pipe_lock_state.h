// Per-context state of the named-pipe built-ins and of the lock list: the Windows error of
// the last failing pipe call, and the Restart Manager binding of FileLockItemize.
#pragma once

#include <cstdint>

struct RestartMgrBinding;

struct PipeLockState {
    uint32_t PipeLastError;                 // 0 at start; PipeInfo(0) answers it
    RestartMgrBinding* pRestartMgrBinding;  // null until the first FileLockItemize
};
