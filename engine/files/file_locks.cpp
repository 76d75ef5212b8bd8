// FileLockItemize: the programs that hold a file open, as the Restart Manager names them,
// one item each (full image paths where the engine may query them).
#include "engine/files/file_locks.h"

#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"
#include "engine/core/system_flags.h"
#include "engine/files/file_args.h"
#include "engine/files/path_search.h"

namespace {

enum : uint16_t {
    ERR_NOT_SUPPORTED = 1193,
    ERR_NO_MEMORY = 1588,
    ERR_NOT_FOUND = 1604,
    ERR_FAILED = 1825,
};

constexpr uint16_t ID_FILELOCKITEMIZE = 481;
constexpr int SEARCH_CHARS = 280;
constexpr DWORD IMAGE_CHARS = 260;

// The context's binding, made and loaded at first use; null with 1588 or 1193.
RestartMgrBinding* Binding(BDS* ctx)
{
    RestartMgrBinding*& binding = ctx->pipeLock.pRestartMgrBinding;
    if (!binding) {
        binding = static_cast<RestartMgrBinding*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *binding));
        if (!binding) {
            SetError(ctx, ERR_NO_MEMORY);
            return nullptr;
        }
        binding->owner = ctx;
        UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
        binding->module = LoadLibraryA("Rstrtmgr.dll");
        SetErrorMode(previous);
        if (binding->module) {
            HMODULE m = binding->module;
            binding->RmStartSession = reinterpret_cast<PfnRmStartSession>(GetProcAddress(m, "RmStartSession"));
            binding->RmRegisterResources =
                reinterpret_cast<PfnRmRegisterResources>(GetProcAddress(m, "RmRegisterResources"));
            binding->RmGetList = reinterpret_cast<PfnRmGetList>(GetProcAddress(m, "RmGetList"));
            binding->RmEndSession = reinterpret_cast<PfnRmEndSession>(GetProcAddress(m, "RmEndSession"));
            binding->QueryFullProcessImageNameW = reinterpret_cast<PfnQueryFullProcessImageNameW>(
                GetProcAddress(GetModuleHandleA("kernel32"), "QueryFullProcessImageNameW"));
            binding->ready = binding->RmStartSession && binding->RmRegisterResources && binding->RmGetList &&
                             binding->RmEndSession && binding->QueryFullProcessImageNameW;
        }
    }
    if (!binding->ready) {
        SetError(ctx, ERR_NOT_SUPPORTED);
        return nullptr;
    }
    return binding;
}

// A Restart Manager call failed: its code goes to the extended text.
void RestartMgrFailed(BDS* ctx, DWORD code)
{
    AddSystemErrorInfo(ctx, code, "FileLockItemize");
    SetError(ctx, ERR_FAILED);
}

// The holder's program when the process is still the one the entry names (a reused process
// id has another start time); empty when it cannot be asked.
std::wstring HolderName(const RestartMgrBinding& rm, const RM_PROCESS_INFO& entry)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.Process.dwProcessId);
    if (!process)
        return std::wstring();
    std::wstring name;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(process, &created, &exited, &kernel, &user) &&
        CompareFileTime(&created, &entry.Process.ProcessStartTime) == 0) {
        wchar_t image[IMAGE_CHARS];
        DWORD length = IMAGE_CHARS;
        if (rm.QueryFullProcessImageNameW(process, 0, image, &length) && length < IMAGE_CHARS)
            name.assign(image, length);
        else
            name.assign(entry.strAppName, wcsnlen(entry.strAppName, CCH_RM_MAX_APP_NAME + 1));
    }
    CloseHandle(process);
    return name;
}

// The holders of the file, joined with the file delimiter; false with the error set.
bool ListHolders(BDS* ctx, RestartMgrBinding& rm, const wchar_t* file, std::wstring& list)
{
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    DWORD code = rm.RmStartSession(&session, 0, key);
    if (code != ERROR_SUCCESS) {
        RestartMgrFailed(ctx, code);
        return false;
    }
    std::vector<RM_PROCESS_INFO> entries;
    LPCWSTR files[1] = {file};
    code = rm.RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr);
    if (code == ERROR_SUCCESS) {
        UINT needed = 0, count = 0;
        DWORD reasons = 0;
        code = rm.RmGetList(session, &needed, &count, nullptr, &reasons);
        if (code == ERROR_MORE_DATA) {
            try {
                entries.resize(needed);
            } catch (const std::bad_alloc&) {
                rm.RmEndSession(session);
                SetError(ctx, ERR_NO_MEMORY);
                return false;
            }
            count = needed;
            code = rm.RmGetList(session, &needed, &count, entries.data(), &reasons);
            entries.resize(code == ERROR_SUCCESS && count < entries.size() ? count : entries.size());
        }
    }
    if (code != ERROR_SUCCESS) {
        RestartMgrFailed(ctx, code);
        rm.RmEndSession(session);
        return false;
    }
    wchar_t delimiter = ctx->eng.ctl.FileDelimiterW ? ctx->eng.ctl.FileDelimiterW : L'\t';
    try {
        for (const RM_PROCESS_INFO& entry : entries) {
            std::wstring name = HolderName(rm, entry);
            if (name.empty())
                continue;
            if (!list.empty())
                list += delimiter;
            list += name;
        }
    } catch (const std::bad_alloc&) {
        list.clear();
        SetError(ctx, ERR_NO_MEMORY);
    }
    code = rm.RmEndSession(session);
    if (code != ERROR_SUCCESS && !ctx->nErrorCode)
        RestartMgrFailed(ctx, code);
    return ctx->nErrorCode == 0;
}

void CaseFileLockItemize(BDS* ctx, BuiltinCall& c)
{
    if (!SystemFacts().OsIsVistaPlus) {
        SetError(ctx, ERR_NOT_SUPPORTED);
        return;
    }
    ArgPath name(ctx, c, 1);
    bool missingIsError = TextToLongA(ArgText(ctx, c, 2)) != 0;
    RestartMgrBinding* rm = Binding(ctx);
    if (!rm)
        return;
    wchar_t full[SEARCH_CHARS];
    if (!FileSearchPathW(ctx, full, name.text(), SEARCH_CHARS, false)) {
        if (missingIsError)
            SetError(ctx, ERR_NOT_FOUND);
        else
            SetResultWText(ctx, c.result, L"", 0);
        return;
    }
    std::wstring list;
    if (ListHolders(ctx, *rm, full, list))
        SetResultWText(ctx, c.result, list.c_str(), list.size());
}

const BuiltinRow kRows[] = {
    {ID_FILELOCKITEMIZE, CaseFileLockItemize},
};

}  // namespace

void RestartMgrUnload(BDS* ctx)
{
    RestartMgrBinding*& binding = ctx->pipeLock.pRestartMgrBinding;
    if (!binding)
        return;
    if (binding->module)
        FreeLibrary(binding->module);
    HeapFree(GetProcessHeap(), 0, binding);
    binding = nullptr;
}

extern const BuiltinFamily g_FileLockBuiltins = {"processes that hold a file", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
