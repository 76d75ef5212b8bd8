// The processes as the registry's performance data show them (the "Process" object and
// its "ID Process" counter): reading the data and walking its instances. The road of the
// process built-ins where no process snapshot serves.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

struct BDS;

// The data of the "Process" object in a process-heap block that grows by 16 KB while the
// system asks for more; the destructor frees it.
struct PerfData {
    uint8_t* block = nullptr;
    DWORD bytes = 0;
    uint32_t objectIndex = 0;    // the indexes the engine looked up at set-up
    uint32_t counterIndex = 0;
    PerfData() = default;
    PerfData(const PerfData&) = delete;
    PerfData& operator=(const PerfData&) = delete;
    ~PerfData();
};

// Reads the data. On failure answers false with the failing step's name ("GetMyCounterIndex
// (1)", "GetMyCounterIndex (2)", "HeapAlloc", "HeapReAlloc", "RegQueryValueEx") and the
// system's code.
bool ReadProcessPerfData(BDS* ctx, PerfData* data, const char** failure, DWORD* code);

// Calls visit(state, instance name, process id) for each instance of the object, in order,
// until visit answers true. Answers false when the data hold no such object or counter, or
// a record does not lie wholly inside them.
using PerfProcessVisit = bool (*)(void* state, const wchar_t* name, uint32_t pid);
bool WalkPerfProcesses(const uint8_t* data, size_t bytes, uint32_t objectIndex, uint32_t counterIndex,
                       PerfProcessVisit visit, void* state);
