// Reading and walking the performance data of the "Process" object.
#include "engine/system/process_perf_data.h"

#include <winperf.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "engine/core/context.h"

namespace {

constexpr DWORD PERF_BLOCK_STEP = 16384;
constexpr DWORD PERF_BLOCK_LIMIT = 64u << 20;   // the data of a sane system is far smaller
constexpr size_t INSTANCE_NAME_CHARS = 260;

// A record of type T at `offset` of the data, or null when it does not lie wholly inside.
template <typename T>
const T* At(const uint8_t* data, size_t bytes, size_t offset)
{
    if (offset > bytes || bytes - offset < sizeof(T))
        return nullptr;
    return reinterpret_cast<const T*>(data + offset);
}

bool Fail(const char* step, DWORD error, const char** failure, DWORD* code)
{
    *failure = step;
    *code = error;
    return false;
}

}  // namespace

PerfData::~PerfData()
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

bool ReadProcessPerfData(BDS* ctx, PerfData* data, const char** failure, DWORD* code)
{
    data->objectIndex = static_cast<uint32_t>(std::atoi(ctx->eng.szCounterProcess));
    data->counterIndex = static_cast<uint32_t>(std::atoi(ctx->eng.szCounterIdProcess));
    if (!data->objectIndex)
        return Fail("GetMyCounterIndex (1)", 0, failure, code);
    if (!data->counterIndex)
        return Fail("GetMyCounterIndex (2)", 0, failure, code);
    wchar_t object[16];
    std::swprintf(object, 16, L"%u", data->objectIndex);

    HANDLE heap = GetProcessHeap();
    DWORD capacity = PERF_BLOCK_STEP;
    data->block = static_cast<uint8_t*>(HeapAlloc(heap, 0, capacity));
    if (!data->block)
        return Fail("HeapAlloc", GetLastError(), failure, code);
    LONG status;
    for (;;) {
        data->bytes = capacity;
        status = RegQueryValueExW(HKEY_PERFORMANCE_DATA, object, nullptr, nullptr, data->block, &data->bytes);
        if (status != ERROR_MORE_DATA || capacity >= PERF_BLOCK_LIMIT)
            break;
        capacity += PERF_BLOCK_STEP;
        auto* larger = static_cast<uint8_t*>(HeapReAlloc(heap, 0, data->block, capacity));
        if (!larger) {
            RegCloseKey(HKEY_PERFORMANCE_DATA);
            return Fail("HeapReAlloc", GetLastError(), failure, code);
        }
        data->block = larger;
    }
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    if (status != ERROR_SUCCESS)
        return Fail("RegQueryValueEx", static_cast<DWORD>(status), failure, code);
    return true;
}

bool WalkPerfProcesses(const uint8_t* data, size_t bytes, uint32_t objectIndex, uint32_t counterIndex,
                       PerfProcessVisit visit, void* state)
{
    const auto* head = At<PERF_DATA_BLOCK>(data, bytes, 0);
    if (!head)
        return false;
    size_t objectAt = head->HeaderLength;
    for (DWORD i = 0; i < head->NumObjectTypes; ++i) {
        const auto* object = At<PERF_OBJECT_TYPE>(data, bytes, objectAt);
        if (!object || object->TotalByteLength == 0)
            return false;
        if (object->ObjectNameTitleIndex != objectIndex) {
            objectAt += object->TotalByteLength;
            continue;
        }
        // The counter that holds the process id, found among the object's definitions.
        size_t counterAt = objectAt + object->HeaderLength;
        const PERF_COUNTER_DEFINITION* idCounter = nullptr;
        for (DWORD c = 0; c < object->NumCounters && !idCounter; ++c) {
            const auto* counter = At<PERF_COUNTER_DEFINITION>(data, bytes, counterAt);
            if (!counter || counter->ByteLength == 0)
                return false;
            if (counter->CounterNameTitleIndex == counterIndex)
                idCounter = counter;
            counterAt += counter->ByteLength;
        }
        if (!idCounter || object->NumInstances <= 0)
            return false;
        size_t instanceAt = objectAt + object->DefinitionLength;
        for (LONG n = 0; n < object->NumInstances; ++n) {
            const auto* instance = At<PERF_INSTANCE_DEFINITION>(data, bytes, instanceAt);
            if (!instance || instance->ByteLength == 0)
                return false;
            size_t blockAt = instanceAt + instance->ByteLength;
            const auto* block = At<PERF_COUNTER_BLOCK>(data, bytes, blockAt);
            const auto* value = At<DWORD>(data, bytes, blockAt + idCounter->CounterOffset);
            if (!block || !value || block->ByteLength == 0)
                return false;
            size_t nameAt = instanceAt + instance->NameOffset;
            size_t units = instance->NameLength / sizeof(wchar_t);
            if (nameAt > bytes || (bytes - nameAt) / sizeof(wchar_t) < units)
                return false;
            wchar_t name[INSTANCE_NAME_CHARS];
            size_t k = 0;
            for (; k < units && k + 1 < INSTANCE_NAME_CHARS; ++k) {
                wchar_t ch;
                std::memcpy(&ch, data + nameAt + k * sizeof(wchar_t), sizeof ch);
                if (!ch)
                    break;
                name[k] = ch;
            }
            name[k] = 0;
            if (visit(state, name, *value))
                return true;
            instanceAt = blockAt + block->ByteLength;
        }
        return true;
    }
    return false;
}
