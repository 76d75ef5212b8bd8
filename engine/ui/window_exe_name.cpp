// The program file behind a window, and the performance-counter lookup it falls back on.
//
// Two roads, the first that the system has: the process snapshot (the process's first
// module is its image; the image path of the process when its module snapshot cannot be
// taken), then the performance data of the "Process" object, whose instance names are the
// program names without folder or extension. Each failure is recorded as the last error.
#include "engine/ui/window_info.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winperf.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/system_flags.h"

namespace {

constexpr char COUNTER_KEY[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009\\";
constexpr int COUNTER_NAME_MAX = 256;
constexpr DWORD PERF_BLOCK_STEP = 16384;
constexpr DWORD PERF_BLOCK_LIMIT = 64u << 20;   // the data of a sane system is far smaller
constexpr wchar_t SIXTEEN_BIT_HOST[] = L"ntvdm";

// ---------------------------------------------------------------- one text per width

struct NarrowRoad {
    using Char = char;
    using ProcessEntry = PROCESSENTRY32;
    using ModuleEntry = MODULEENTRY32;
    static BOOL FirstProcess(HANDLE s, ProcessEntry* e) { return Process32First(s, e); }
    static BOOL NextProcess(HANDLE s, ProcessEntry* e) { return Process32Next(s, e); }
    static BOOL FirstModule(HANDLE s, ModuleEntry* e) { return Module32First(s, e); }
    static DWORD OwnPath(Char* out, DWORD size) { return GetModuleFileNameA(nullptr, out, size); }
    static BOOL ImagePath(HANDLE p, Char* out, DWORD* size) { return QueryFullProcessImageNameA(p, 0, out, size); }
    static bool IsKernel(const Char* module) { return lstrcmpiA(module, "KERNEL32.DLL") == 0; }
    static size_t Copy(Char* out, const Char* in, size_t size)
    {
        lstrcpynA(out, in, static_cast<int>(size));
        return std::strlen(out);
    }
    static size_t CopyWide(Char* out, const wchar_t* in, size_t size)
    {
        int n = WideCharToMultiByte(CP_ACP, 0, in, -1, out, static_cast<int>(size), nullptr, nullptr);
        if (n <= 0) {
            out[size - 1] = 0;   // cut: WideCharToMultiByte leaves no NUL
            return std::strlen(out);
        }
        return static_cast<size_t>(n - 1);
    }
};

struct WideRoad {
    using Char = wchar_t;
    using ProcessEntry = PROCESSENTRY32W;
    using ModuleEntry = MODULEENTRY32W;
    static BOOL FirstProcess(HANDLE s, ProcessEntry* e) { return Process32FirstW(s, e); }
    static BOOL NextProcess(HANDLE s, ProcessEntry* e) { return Process32NextW(s, e); }
    static BOOL FirstModule(HANDLE s, ModuleEntry* e) { return Module32FirstW(s, e); }
    static DWORD OwnPath(Char* out, DWORD size) { return GetModuleFileNameW(nullptr, out, size); }
    static BOOL ImagePath(HANDLE p, Char* out, DWORD* size) { return QueryFullProcessImageNameW(p, 0, out, size); }
    static bool IsKernel(const Char* module) { return lstrcmpiW(module, L"KERNEL32.DLL") == 0; }
    static size_t Copy(Char* out, const Char* in, size_t size)
    {
        lstrcpynW(out, in, static_cast<int>(size));
        return std::wcslen(out);
    }
    static size_t CopyWide(Char* out, const wchar_t* in, size_t size) { return Copy(out, in, size); }
};

// A plain ASCII text in either width, cut to `size` with the NUL.
template <typename C>
size_t CopyLiteral(C* out, const char* text, size_t size)
{
    size_t n = 0;
    for (; text[n] && n + 1 < size; ++n)
        out[n] = static_cast<C>(text[n]);
    out[n] = 0;
    return n;
}

// Closes a snapshot or process handle when the function leaves.
struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    bool Valid() const { return h && h != INVALID_HANDLE_VALUE; }
};

size_t Fail(BDS* ctx, const char* operation, DWORD code)
{
    StoreLastError(ctx, code, operation, false);
    return 0;
}

// ---------------------------------------------------------------- the process snapshot

// The image of the process: the first module of its module snapshot, or the image path
// the system reports when that snapshot cannot be taken.
template <typename R>
size_t ImageOfProcess(BDS* ctx, DWORD pid, typename R::Char* out, size_t size)
{
    Handle modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (modules.Valid()) {
        typename R::ModuleEntry module{};
        module.dwSize = sizeof module;
        if (R::FirstModule(modules.h, &module)) {
            if (R::IsKernel(module.szModule))
                return CopyLiteral(out, SIXTEEN_BIT_PROGRAM, size);
            return R::Copy(out, module.szExePath, size);
        }
    }
    DWORD failure = GetLastError();
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    DWORD length = static_cast<DWORD>(size);
    if (process.Valid() && R::ImagePath(process.h, out, &length))
        return length;
    out[0] = 0;
    return Fail(ctx, "CreateToolhelp32Snapshot (2)", failure);
}

template <typename R>
size_t FromSnapshot(BDS* ctx, DWORD pid, typename R::Char* out, size_t size)
{
    Handle processes(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes.Valid())
        return Fail(ctx, "CreateToolhelp32Snapshot (1)", GetLastError());
    typename R::ProcessEntry entry{};
    entry.dwSize = sizeof entry;
    if (!R::FirstProcess(processes.h, &entry))
        return Fail(ctx, "Process32First", GetLastError());
    do {
        if (entry.th32ProcessID == pid)
            return ImageOfProcess<R>(ctx, pid, out, size);
    } while (R::NextProcess(processes.h, &entry));
    return 0;
}

// ---------------------------------------------------------------- the performance data

// A record of type T at `offset` of the data, or null when it does not lie wholly inside.
template <typename T>
const T* At(const uint8_t* data, size_t bytes, size_t offset)
{
    if (offset > bytes || bytes - offset < sizeof(T))
        return nullptr;
    return reinterpret_cast<const T*>(data + offset);
}

template <typename R>
size_t FromPerfData(BDS* ctx, DWORD pid, typename R::Char* out, size_t size)
{
    uint32_t objectIndex = static_cast<uint32_t>(std::atoi(ctx->eng.szCounterProcess));
    uint32_t counterIndex = static_cast<uint32_t>(std::atoi(ctx->eng.szCounterIdProcess));
    if (!objectIndex)
        return Fail(ctx, "GetMyCounterIndex (1)", 0);
    if (!counterIndex)
        return Fail(ctx, "GetMyCounterIndex (2)", 0);
    wchar_t object[16];
    std::swprintf(object, 16, L"%u", objectIndex);

    HANDLE heap = GetProcessHeap();
    DWORD capacity = PERF_BLOCK_STEP;
    auto* block = static_cast<uint8_t*>(HeapAlloc(heap, 0, capacity));
    if (!block)
        return Fail(ctx, "HeapAlloc", GetLastError());
    LONG status;
    DWORD bytes;
    for (;;) {
        bytes = capacity;
        status = RegQueryValueExW(HKEY_PERFORMANCE_DATA, object, nullptr, nullptr, block, &bytes);
        if (status != ERROR_MORE_DATA || capacity >= PERF_BLOCK_LIMIT)
            break;
        capacity += PERF_BLOCK_STEP;
        auto* larger = static_cast<uint8_t*>(HeapReAlloc(heap, 0, block, capacity));
        if (!larger) {
            HeapFree(heap, 0, block);
            RegCloseKey(HKEY_PERFORMANCE_DATA);
            return Fail(ctx, "HeapReAlloc", GetLastError());
        }
        block = larger;
    }
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    if (status != ERROR_SUCCESS) {
        HeapFree(heap, 0, block);
        return Fail(ctx, "RegQueryValueEx", static_cast<DWORD>(status));
    }
    wchar_t name[MAX_PATH] = {};
    bool found = ProcessNameFromPerfData(block, bytes, objectIndex, counterIndex, pid, name, MAX_PATH);
    HeapFree(heap, 0, block);
    if (!found)
        return Fail(ctx, "'Performance counter not found'", 0);
    if (lstrcmpiW(name, SIXTEEN_BIT_HOST) == 0)
        return CopyLiteral(out, SIXTEEN_BIT_PROGRAM, size);
    return R::CopyWide(out, name, size);
}

// ---------------------------------------------------------------- the roads in order

template <typename R>
size_t ExeName(BDS* ctx, HWND window, typename R::Char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    out[0] = 0;
    if (!IsWindow(window))
        return Fail(ctx, "IsWindow", GetLastError());
    if (window == ctx->hwndParent) {
        DWORD n = R::OwnPath(out, static_cast<DWORD>(size));
        if (n > 0 && n < size)
            return n;
        out[0] = 0;
    }
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(window, &pid) || !pid)
        return Fail(ctx, "GetWindowThreadProcessId", GetLastError());
    // Engine set-up looks the snapshot up on the Windows 95 family; every NT-class system
    // has it in its kernel.
    if (ctx->eng.api.bToolhelpFound || g_System.OsIsNt)
        return FromSnapshot<R>(ctx, pid, out, size);
    if (g_System.UnicodeMode)
        return FromPerfData<R>(ctx, pid, out, size);
    return Fail(ctx, "'Unsupported platform'", 0);
}

}  // namespace

size_t GetWindowExeName(BDS* ctx, HWND window, char* out, size_t size)
{
    return ExeName<NarrowRoad>(ctx, window, out, size);
}

size_t GetWindowExeNameW(BDS* ctx, HWND window, wchar_t* out, size_t size)
{
    return ExeName<WideRoad>(ctx, window, out, size);
}

// ---------------------------------------------------------------- counter names

int CounterIndexFromList(const char* list, size_t bytes, const char* name, char* out, int size)
{
    if (out && size > 0)
        out[0] = 0;
    if (!list || !name || !out || size <= 0)
        return 0;
    size_t at = 0;
    // Each text ends at its NUL or at the end of the data, whichever comes first.
    auto next = [&](const char** text, size_t* length) {
        *text = list + at;
        size_t n = 0;
        while (at + n < bytes && list[at + n])
            ++n;
        *length = n;
        at += n + 1;
        return n > 0;
    };
    const char* index;
    const char* counter;
    size_t indexLength, counterLength;
    while (at < bytes && next(&index, &indexLength) && at < bytes && next(&counter, &counterLength)) {
        if (counterLength < COUNTER_NAME_MAX && counterLength == std::strlen(name) &&
            std::strncmp(counter, name, counterLength) == 0) {
            size_t n = indexLength < static_cast<size_t>(size) ? indexLength : static_cast<size_t>(size) - 1;
            std::memcpy(out, index, n);
            out[n] = 0;
            return 1;
        }
    }
    return 0;
}

int GetMyCounterIndex(const char* name, char* out, int size)
{
    if (out && size > 0)
        out[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, COUNTER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD bytes = 0;
    int found = 0;
    if (RegQueryValueExA(key, "Counter", nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS && bytes) {
        if (auto* list = static_cast<char*>(std::malloc(bytes))) {
            if (RegQueryValueExA(key, "Counter", nullptr, nullptr, reinterpret_cast<BYTE*>(list), &bytes) ==
                ERROR_SUCCESS)
                found = CounterIndexFromList(list, bytes, name, out, size);
            std::free(list);
        }
    }
    RegCloseKey(key);
    return found;
}

bool ProcessNameFromPerfData(const uint8_t* data, size_t bytes, uint32_t objectIndex, uint32_t counterIndex,
                             uint32_t pid, wchar_t* out, size_t size)
{
    if (!out || size == 0)
        return false;
    out[0] = 0;
    const auto* head = At<PERF_DATA_BLOCK>(data, bytes, 0);
    if (!head)
        return false;
    size_t objectAt = head->HeaderLength;
    for (DWORD i = 0; i < head->NumObjectTypes; ++i) {
        const auto* object = At<PERF_OBJECT_TYPE>(data, bytes, objectAt);
        if (!object || object->TotalByteLength == 0)
            return false;
        if (object->ObjectNameTitleIndex == objectIndex) {
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
                if (*value == pid) {
                    size_t nameAt = instanceAt + instance->NameOffset;
                    size_t units = instance->NameLength / sizeof(wchar_t);
                    if (nameAt > bytes || (bytes - nameAt) / sizeof(wchar_t) < units)
                        return false;
                    size_t n = 0;
                    for (; n < units && n + 1 < size; ++n) {
                        wchar_t ch;
                        std::memcpy(&ch, data + nameAt + n * sizeof(wchar_t), sizeof ch);
                        if (!ch)
                            break;
                        out[n] = ch;
                    }
                    out[n] = 0;
                    return true;
                }
                instanceAt = blockAt + block->ByteLength;
            }
            return false;
        }
        objectAt += object->TotalByteLength;
    }
    return false;
}
