// The COM layer's state in the engine context.
#pragma once

#include <cstdint>

struct ComState {
    uint32_t bOleInitialized;   // this context called OleInitialize successfully
    void* pDotNet;              // the context's .NET host, made on demand
    uint32_t bNoDotNet;         // making the .NET host is forbidden
};
