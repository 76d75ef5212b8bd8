// The program file behind a window, and the performance-counter lookup it falls back on.
//
// Two roads, the first that the system has: the process snapshot (the process's first
// module is its image; the image path of the process when its module snapshot cannot be
// taken), then the performance data of the "Process" object, whose instance names are the
// program names without folder or extension. Each failure is recorded as the last error.
#include "engine/ui/window_info.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/system_flags.h"
#include "engine/system/process_perf_data.h"

namespace {

constexpr char COUNTER_KEY[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009\\";
constexpr int COUNTER_NAME_MAX = 256;
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

template <typename R>
size_t FromPerfData(BDS* ctx, DWORD pid, typename R::Char* out, size_t size)
{
    PerfData data;
    const char* failure = nullptr;
    DWORD code = 0;
    if (!ReadProcessPerfData(ctx, &data, &failure, &code))
        return Fail(ctx, failure, code);
    wchar_t name[MAX_PATH] = {};
    if (!ProcessNameFromPerfData(data.block, data.bytes, data.objectIndex, data.counterIndex, pid, name, MAX_PATH))
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
    struct Wanted {
        uint32_t pid;
        wchar_t* out;
        size_t size;
        bool found;
    } wanted{pid, out, size, false};
    auto visit = [](void* state, const wchar_t* name, uint32_t id) {
        auto* w = static_cast<Wanted*>(state);
        if (id != w->pid)
            return false;
        lstrcpynW(w->out, name, static_cast<int>(w->size));
        w->found = true;
        return true;
    };
    return WalkPerfProcesses(data, bytes, objectIndex, counterIndex, visit, &wanted) && wanted.found;
}
