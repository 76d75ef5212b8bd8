// The process lookup by name or id along its three roads, and the small process helpers.
#include "engine/system/process_list.h"

#include <tlhelp32.h>
#include <wtsapi32.h>

#include <cstdio>
#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"
#include "engine/core/system_flags.h"
#include "engine/data/text.h"
#include "engine/dialog/dialog_text.h"
#include "engine/files/path_split.h"
#include "engine/system/process_perf_data.h"

namespace {

constexpr size_t NAME_CHARS = 260;

using PfnWtsEnumerate = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, PWTS_PROCESS_INFOW*, DWORD*);
using PfnWtsFree = void(WINAPI*)(PVOID);
using PfnWtsQuery = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);

template <typename Fn>
Fn Entry(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// What a lookup asks for and what it has found so far.
struct Query {
    BDS* ctx;
    bool byId;
    DWORD id;
    wchar_t base[NAME_CHARS];
    wchar_t extension[NAME_CHARS];
    wchar_t full[2 * NAME_CHARS + 1];   // "base.extension"
    bool sessionOnly;
    DWORD session;
    bool collect;
    StrBuilder* list;
    bool listFailed;
    DWORD found;                        // the last match's id, 0 while none
};

// Takes a match: answers true when the lookup is done.
bool Take(Query& q, DWORD pid)
{
    if (!q.collect) {
        q.found = pid;
        return true;
    }
    char number[24];
    std::snprintf(number, sizeof number, q.found || q.list->length ? "\t%ld" : "%ld", static_cast<long>(pid));
    if (!StrBuilderAppend(q.ctx, q.list, number))
        q.listFailed = true;
    q.found = pid;
    return q.listFailed;
}

// A program name of a process list: its base name equals the one asked for and so does
// its extension, unless the name asked for has none.
bool NameMatches(const Query& q, const wchar_t* program)
{
    wchar_t base[NAME_CHARS] = {}, extension[NAME_CHARS] = {};
    PathSplitW(program, nullptr, nullptr, 0, base, extension);
    if (lstrcmpiW(base, q.base) != 0)
        return false;
    return !q.extension[0] || lstrcmpiW(extension, q.extension) == 0;
}

// One process of a list; answers true when the lookup is done.
bool Offer(Query& q, const wchar_t* program, DWORD pid)
{
    if (q.byId ? pid != q.id : !NameMatches(q, program))
        return false;
    return Take(q, pid);
}

// ---------------------------------------------------------------- the session's list

bool BySessionList(Query& q)
{
    HMODULE library = LoadLibraryA("WTSAPI32.DLL");
    if (!library)
        return false;
    auto enumerate = Entry<PfnWtsEnumerate>(library, "WTSEnumerateProcessesW");
    auto release = Entry<PfnWtsFree>(library, "WTSFreeMemory");
    auto query = Entry<PfnWtsQuery>(library, "WTSQuerySessionInformationW");
    bool served = false;
    LPWSTR sessionText = nullptr;
    DWORD bytes = 0;
    if (enumerate && release && query &&
        query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSSessionId, &sessionText, &bytes) && sessionText) {
        DWORD session = bytes >= sizeof(DWORD) ? *reinterpret_cast<DWORD*>(sessionText) : 0;
        release(sessionText);
        WTS_PROCESS_INFOW* processes = nullptr;
        DWORD count = 0;
        if (enumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count) && processes) {
            served = count > 0;   // a session without any process is no answer
            for (DWORD i = 0; served && i < count; ++i)
                if (processes[i].SessionId == session &&
                    Offer(q, processes[i].pProcessName ? processes[i].pProcessName : L"", processes[i].ProcessId))
                    break;
            release(processes);
        }
    }
    FreeLibrary(library);
    return served;
}

// ---------------------------------------------------------------- the performance data

bool ByPerfData(Query& q)
{
    PerfData data;
    const char* failure = nullptr;
    DWORD code = 0;
    if (!ReadProcessPerfData(q.ctx, &data, &failure, &code))
        return false;
    // Instance names are program names without folder or extension.
    auto visit = [](void* state, const wchar_t* name, uint32_t pid) {
        auto& query = *static_cast<Query*>(state);
        bool match = query.byId ? pid == query.id
                                : lstrcmpiW(name, query.base) == 0 || lstrcmpiW(name, query.full) == 0;
        return match && Take(query, pid);
    };
    bool any = false;
    auto counting = [](void* state, const wchar_t*, uint32_t) {
        *static_cast<bool*>(state) = true;
        return true;
    };
    if (!WalkPerfProcesses(data.block, data.bytes, data.objectIndex, data.counterIndex, counting, &any) || !any)
        return false;
    WalkPerfProcesses(data.block, data.bytes, data.objectIndex, data.counterIndex, visit, &q);
    return true;
}

// ---------------------------------------------------------------- the process snapshot

struct Snapshot {
    HANDLE h;
    explicit Snapshot(HANDLE handle) : h(handle) {}
    ~Snapshot()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
};

int32_t BySnapshot(Query& q)
{
    Snapshot processes(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (processes.h == INVALID_HANDLE_VALUE) {
        StoreLastError(q.ctx, GetLastError(), "CreateToolhelp32Snapshot (1)", false);
        return -1;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!Process32FirstW(processes.h, &entry)) {
        StoreLastError(q.ctx, GetLastError(), "Process32First", false);
        return -1;
    }
    do {
        if (q.sessionOnly) {
            DWORD session = 0;
            if (!ProcessIdToSessionId(entry.th32ProcessID, &session) || session != q.session)
                continue;
        }
        if (Offer(q, entry.szExeFile, entry.th32ProcessID))
            break;
    } while (Process32NextW(processes.h, &entry));
    return 0;
}

// ---------------------------------------------------------------- the lookup

int32_t Lookup(Query& q)
{
    if (!q.byId) {
        PathSplitW(q.full, nullptr, nullptr, 0, q.base, q.extension);
        if (!q.base[0]) {
            StoreLastError(q.ctx, 0, "'Invalid application name'", false);
            return -1;
        }
        std::swprintf(q.full, sizeof q.full / sizeof q.full[0], L"%ls.%ls", q.base, q.extension);
    }
    if (!SystemFacts().OsIsNt) {
        StoreLastError(q.ctx, 0, "'Unsupported platform'", false);
        return -1;
    }
    bool served = q.sessionOnly ? BySessionList(q) : ByPerfData(q);
    if (!served) {
        q.found = 0;
        if (q.collect)
            q.list->length = 0, q.list->data[0] = 0;
        if (q.sessionOnly && !ProcessIdToSessionId(GetCurrentProcessId(), &q.session))
            q.session = 0;
        if (BySnapshot(q) < 0)
            return -1;
    }
    if (q.listFailed)
        return -1;
    return static_cast<int32_t>(q.found);
}

Query MakeQuery(BDS* ctx, const wchar_t* name, bool sessionOnly, bool byId, bool collect, StrBuilder* list)
{
    Query q{};
    q.ctx = ctx;
    q.byId = byId;
    q.sessionOnly = sessionOnly;
    q.collect = collect && list;
    q.list = list;
    if (byId)
        q.id = static_cast<DWORD>(TextToLongW(name));
    else
        lstrcpynW(q.full, name ? name : L"", NAME_CHARS);
    return q;
}

}  // namespace

int32_t ProcessListToolHelpA(BDS* ctx, const char* nameOrId, bool sessionOnly, bool byId, bool collect,
                             StrBuilder* list)
{
    Query q = MakeQuery(ctx, WideFromNarrow(ctx, nameOrId).c_str(), sessionOnly, byId, collect, list);
    return Lookup(q);
}

int32_t ProcessListWtsW(BDS* ctx, const wchar_t* name, bool sessionOnly)
{
    Query q = MakeQuery(ctx, name, sessionOnly, false, false, nullptr);
    return Lookup(q);
}

int32_t IsWindowProcessWow64(HWND window)
{
    using PfnIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = Entry<PfnIsWow64Process>(GetModuleHandleA("kernel32"), "IsWow64Process");
    if (!isWow64)
        return 0;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!pid)
        return 0;
    DWORD access = SystemFacts().OsIsVistaPlus ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION;
    HANDLE process = OpenProcess(access, FALSE, pid);
    if (!process)
        return 0;
    BOOL wow64 = FALSE;
    bool asked = isWow64(process, &wow64) != 0;
    CloseHandle(process);
    return asked && !wow64 ? 1 : 0;
}

int32_t Wow64FsRedirection(BDS*, const char* word, int32_t oldValue)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (!SystemFacts().OsIsWow64 || !kernel || !word)
        return -1;
    if (lstrcmpiA(word, "Disable") == 0) {
        using PfnDisable = BOOL(WINAPI*)(PVOID*);
        auto disable = Entry<PfnDisable>(kernel, "Wow64DisableWow64FsRedirection");
        PVOID old = nullptr;
        if (!disable || !disable(&old))
            return -1;
        return static_cast<int32_t>(reinterpret_cast<uintptr_t>(old) & 0xFFFFFFFFu);
    }
    if (lstrcmpiA(word, "Revert") == 0) {
        using PfnRevert = BOOL(WINAPI*)(PVOID);
        auto revert = Entry<PfnRevert>(kernel, "Wow64RevertWow64FsRedirection");
        if (!revert)
            return -1;
        BOOL done = revert(reinterpret_cast<PVOID>(static_cast<uintptr_t>(static_cast<uint32_t>(oldValue))));
        return done ? done : -1;
    }
    return -1;
}

int32_t IsBinary64Bit(const char* path)
{
    if (!SystemFacts().OsIsNt || !path)
        return 0;
    using PfnGetBinaryType = BOOL(WINAPI*)(LPCSTR, LPDWORD);
    auto binaryType = Entry<PfnGetBinaryType>(GetModuleHandleA("KERNEL32.DLL"), "GetBinaryTypeA");
    DWORD type = 0;
    return binaryType && binaryType(path, &type) && type == SCS_64BIT_BINARY ? 1 : 0;
}
