// State of the native-call layer kept in the context: libraries kept loaded by DllLoad,
// DllStruct records, callback slots and the loaded extenders with their function rows.
// The last error of a native call lives in BuiltinState (DllLastError reads it there).
#pragma once

#include <windows.h>
#include <cstdint>

struct KeywordRecord;
struct DllStructRecord;
struct CallbackTable;

constexpr int DLL_LOAD_MAX = 10;
constexpr int DLL_STRUCT_MAX = 128;
constexpr uint32_t DLL_STRUCT_HANDLE_BASE = 987787;
constexpr int CALLBACK_MAX = 512;
constexpr uint32_t CALLBACK_HANDLE_BASE = 29796;
constexpr int EXTENDER_MAX = 32;

struct NativeState {
    // DllLoad: modules the script keeps loaded (null = free entry).
    HMODULE hLoaded[DLL_LOAD_MAX];
    int32_t nLoaded;

    // DllStruct records by slot, and one more than the highest slot ever used.
    DllStructRecord* pStructs[DLL_STRUCT_MAX];
    uint32_t nStructHigh;

    // Callback slots and thunks (made by the first DllCallbackCreate), and how many
    // "callback" parameters belong to DllCalls that have not ended.
    CallbackTable* pCallbacks;
    uint32_t nCallbacksInUse;

    // Extenders by slot: module (null = free), the word whose address every call passes,
    // and the interface level (1, 2-5 or 100005).
    HMODULE hExtModule[EXTENDER_MAX];
    uint32_t nExtSlotWord[EXTENDER_MAX];
    uint32_t nExtInterface[EXTENDER_MAX];
    uint32_t nExtCount;
    // The extension rows (ADDON_COUNT of them, made by the first AddExtender); the row
    // count is BDS::nNextExtEntry.
    KeywordRecord* pAddonRows;
};
