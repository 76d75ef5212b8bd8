// Error-reporting state kept in the context.
#pragma once

#include <windows.h>
#include <cstdint>

struct ErrorState {
    HGLOBAL hExtended;      // the extended-error block (its text, up to 1024 characters)
    int32_t handlerLine;    // error handler: -1 = none
    int32_t handlerLine2;
    uint32_t handlerMode;
};
