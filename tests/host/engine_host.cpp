// Loading and binding the engine library, and one engine instance's set-up and tear-down
// in the order and with the memory the launcher uses.
#include "tests/host/engine_host.h"

#include <algorithm>

namespace kvhost {

int64_t EngineSession::liveInstances = 0;

// ---------------------------------------------------------------- library

bool EngineLibrary::Load(const wchar_t* path)
{
    Free();
    UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    module_ = path ? LoadLibraryW(path) : LoadLibraryA("KVDYC64I.DLL");
    loadError_ = module_ ? 0 : GetLastError();
    SetErrorMode(oldMode);
    if (!module_ && !path) {
        // Beside this program, as the launcher falls back to.
        wchar_t own[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            std::wstring dir(own, n);
            dir.erase(dir.find_last_of(L"\\/") + 1);
            dir += L"KVDYC64I.DLL";
            module_ = LoadLibraryW(dir.c_str());
            loadError_ = module_ ? 0 : GetLastError();
        }
    }
    if (!module_)
        return false;
    for (int i = 0; i < kLauncherExportCount; ++i)
        bound_[i] = Proc(kLauncherExports[i].ordinal);
    return true;
}

void EngineLibrary::Free()
{
    if (module_)
        FreeLibrary(module_);
    module_ = nullptr;
    std::fill(std::begin(bound_), std::end(bound_), nullptr);
}

FARPROC EngineLibrary::Proc(int ordinal) const
{
    if (!module_)
        return nullptr;
    return GetProcAddress(module_, MAKEINTRESOURCEA(ordinal));
}

// ---------------------------------------------------------------- session

EngineSession::EngineSession(const EngineLibrary& library, HWND window, HINSTANCE instance)
    : init_(library.DoDuRavInit()), window_(window), instance_(instance)
{
}

int EngineSession::Start(const SessionOptions& o)
{
    if (running_)
        return -1;
    if (!init_)
        return 33;
    binding = EngineBinding{};
    binding.hInstance = instance_;
    binding.runFlag = 1;

    uintptr_t high = o.interfaceWord >> 16, low = o.interfaceWord & 0xFFFF;
    answer0 = init_(window_, reinterpret_cast<HGLOBAL>(high), low, 0, 0, 0, 0);
    if (!answer0)
        return 35;
    binding.hInstanceBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, answer0);
    if (!binding.hInstanceBlock)
        return 36;

    answer1 = init_(window_, binding.hInstanceBlock, 0, 1, reinterpret_cast<uintptr_t>(instance_),
                    reinterpret_cast<uintptr_t>(o.product), 0);
    if (!answer1) {
        Release();
        return 37;
    }
    capacity = std::max<uint32_t>(o.maxVars, 10);
    binding.hVarTable = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, uint64_t(answer1) * capacity);
    if (!binding.hVarTable) {
        Release();
        return 38;
    }

    answer2 = init_(window_, binding.hInstanceBlock, reinterpret_cast<uintptr_t>(binding.hVarTable), 2,
                    capacity, reinterpret_cast<uintptr_t>(o.section),
                    reinterpret_cast<uintptr_t>(o.settingsFile));
    if (!answer2) {
        Release();
        return 39;
    }

    SYSTEM_INFO si;
    GetSystemInfo(&si);
    uint64_t page = si.dwPageSize;
    uint64_t commit = (std::max<uint64_t>(o.stringSpace, 256) + page - 1) / page * page;
    uint64_t reserve = o.reserve;
    void* base = nullptr;
    for (int attempt = 0; attempt < 5 && reserve >= commit; ++attempt) {
        base = VirtualAlloc(nullptr, reserve, MEM_RESERVE, PAGE_NOACCESS);
        if (base)
            break;
        reserve /= 2;
    }
    if (!base) {
        Release();
        return reserve < commit ? 41 : 40;
    }
    binding.stringSpace = static_cast<char*>(base);
    binding.reserveSize = reserve;
    if (!VirtualAlloc(base, commit, MEM_COMMIT, PAGE_READWRITE)) {
        Release();
        return 42;
    }
    binding.commitSize = commit;

    answer3 = init_(window_, binding.hInstanceBlock, reinterpret_cast<uintptr_t>(base), 3, commit,
                    reinterpret_cast<uintptr_t>(o.engineFile), reinterpret_cast<uintptr_t>(&binding));
    if (!answer3) {
        Release();
        return 43;
    }
    binding.runFlag = 0;
    running_ = true;
    ++liveInstances;
    return -1;
}

uint32_t EngineSession::Stop(void* hostCallback)
{
    if (!running_)
        return 0;
    if (liveInstances > 0)
        --liveInstances;
    answer99 = init_(window_, binding.hInstanceBlock, 0, 99, reinterpret_cast<uintptr_t>(&liveInstances),
                     0, reinterpret_cast<uintptr_t>(hostCallback));
    running_ = false;
    Release();
    return answer99;
}

void EngineSession::Release()
{
    if (binding.hInstanceBlock)
        GlobalFree(binding.hInstanceBlock);
    if (binding.hVarTable)
        GlobalFree(binding.hVarTable);
    if (binding.stringSpace) {
        if (binding.commitSize)
            VirtualFree(binding.stringSpace, binding.commitSize, MEM_DECOMMIT);
        VirtualFree(binding.stringSpace, 0, MEM_RELEASE);
    }
    binding.hInstanceBlock = nullptr;
    binding.hVarTable = nullptr;
    binding.stringSpace = nullptr;
    binding.commitSize = binding.reserveSize = 0;
}

// ---------------------------------------------------------------- text

std::string WideToUtf8(const wchar_t* text)
{
    if (!text || !*text)
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring AnsiToWide(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    return wide;
}

std::string AnsiToUtf8(const char* text)
{
    return WideToUtf8(AnsiToWide(text).c_str());
}

}  // namespace kvhost
