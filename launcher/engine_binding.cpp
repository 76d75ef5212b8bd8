// Binding the engine library by ordinal, the DoDuRavInit hand-shake with the memory the
// launcher owns (context, variable table, string space), the run and the tear-down.
#include "launcher/launcher.h"

#include <cstdio>

extern "C" __declspec(dllexport) int32_t Parent_ProcessCommand2(HWND, HINSTANCE, uint32_t, int32_t, void*, void*,
                                                                void*, void*, int32_t, void*);

namespace {

// Every argument travels as a full 64-bit value, so a callee that reads a narrower type
// still sees the right low bits.
using PfnDoDuRavInit = uint32_t (*)(HWND window, uintptr_t context, uintptr_t a, uintptr_t operation,
                                    uintptr_t b, uintptr_t c, uintptr_t d);
using PfnProcessViRuvBuffer = int32_t (*)(HWND window, HGLOBAL context, HGLOBAL script, void* callback,
                                          const KeywordRecord* hostKeywords);
using PfnDllServices = uint64_t (*)(HGLOBAL context, uintptr_t request, const void* p1, const void* p2,
                                    int64_t p3, uint64_t p4);

struct BoundEngine {
    HMODULE module;
    FARPROC about, loadMenu, parseMenu, menuSelect, hotKey;   // must be present; not called
    PfnDoDuRavInit init;
    PfnProcessViRuvBuffer run;
    PfnDllServices services;
};

BoundEngine g_engine;
int32_t g_startedEngines;        // successful starts, handed to operation 99 by address

void ForgetEngine()
{
    if (g_engine.module)
        FreeLibrary(g_engine.module);
    g_engine = BoundEngine{};
}

bool BindOrdinals(HMODULE module)
{
    auto bind = [&](int ordinal) { return GetProcAddress(module, MAKEINTRESOURCEA(ordinal)); };
    g_engine.about = bind(15);
    g_engine.init = reinterpret_cast<PfnDoDuRavInit>(bind(23));
    g_engine.run = reinterpret_cast<PfnProcessViRuvBuffer>(bind(24));
    g_engine.loadMenu = bind(16);
    g_engine.parseMenu = bind(26);
    g_engine.menuSelect = bind(27);
    g_engine.hotKey = bind(29);
    g_engine.services = reinterpret_cast<PfnDllServices>(bind(30));
    return g_engine.about && g_engine.init && g_engine.run && g_engine.loadMenu && g_engine.parseMenu
           && g_engine.menuSelect && g_engine.hotKey && g_engine.services;
}

void VirtualAllocFailure(HWND window)
{
    char text[80];
    std::snprintf(text, sizeof(text), "VirtualAlloc returned %ld", long(GetLastError()));
    MessageBoxA(window, text, "DoViRuvStart error", MB_OK | MB_ICONERROR);
}

void FreeBlocks(EngineBinding* binding)
{
    if (binding->hInstanceBlock)
        GlobalFree(binding->hInstanceBlock);
    if (binding->hVarTable)
        GlobalFree(binding->hVarTable);
    binding->hInstanceBlock = nullptr;
    binding->hVarTable = nullptr;
}

}  // namespace

HMODULE LoadEngineLibrary(HINSTANCE instance, DWORD* lastError)
{
    UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(ENGINE_FILE);
    SetErrorMode(oldMode);
    if (module)
        return module;

    // Wide paths from here: the program's folder may be named outside the ANSI code page,
    // and the ANSI form of such a path names no file.
    std::wstring name = WidenAnsi(ENGINE_FILE);
    wchar_t found[280];
    DWORD n = SearchPathW(nullptr, name.c_str(), nullptr, 280, found, nullptr);
    std::wstring path;
    if (n > 0 && n < 280) {
        path = found;
    } else {
        wchar_t own[PROGRAM_PATH_MAX + 4];
        n = GetModuleFileNameW(instance, own, PROGRAM_PATH_MAX + 1);
        if (n == 0 || n > PROGRAM_PATH_MAX) {
            *lastError = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        path.assign(own, n);
        path.resize(path.find_last_of(L"\\/") + 1);   // npos + 1 == 0: no folder
        path += name;
    }
    module = LoadLibraryW(path.c_str());
    if (!module)
        *lastError = GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    return module;
}

int DoViRuvStart(HWND window, HINSTANCE instance, uint16_t maxVars, uint64_t reserveSize, uint64_t stringSpace,
                 const char* productText, const char* section, const char* settingsFile, uint32_t interfaceWord,
                 EngineBinding* binding)
{
    bool rebound = false;
    if (g_engine.module) {
        HMODULE again = LoadLibraryA(ENGINE_FILE);
        if (again) {
            g_engine.module = again;          // one more reference, released by DoViRuvStop
            rebound = true;
        }
    }
    if (!rebound) {
        DWORD lastError = 0;
        HMODULE module = LoadEngineLibrary(instance, &lastError);
        if (!module)
            return int(lastError);
        g_engine.module = module;
        if (!BindOrdinals(module)) {
            MessageBoxA(window, "DLL GetProcAddress Failure", "Interface Error", MB_OK | MB_ICONERROR);
            ForgetEngine();
            return 33;
        }
    }
    binding->hInstance = instance;

    if (((interfaceWord >> 16) & 0xFF) != 0x0A) {
        MessageBoxA(window, "Version Interface Incompatible", "OBJ mismatch", MB_OK | MB_ICONERROR);
        ForgetEngine();
        return 34;
    }

    uint32_t contextSize = g_engine.init(window, interfaceWord >> 16, interfaceWord & 0xFFFF, 0, 0, 0, 0);
    if (contextSize == 0) {
        ForgetEngine();
        return 35;
    }
    binding->hInstanceBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, contextSize);
    if (!binding->hInstanceBlock) {
        ForgetEngine();
        return 36;
    }

    uint32_t slotSize = g_engine.init(window, uintptr_t(binding->hInstanceBlock), 0, 1, uintptr_t(instance),
                                      uintptr_t(productText), 0);
    if (slotSize == 0) {
        FreeBlocks(binding);
        ForgetEngine();
        return 37;
    }
    uint16_t capacity = maxVars < 10 ? 10 : maxVars;
    binding->hVarTable = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(slotSize) * capacity);
    if (!binding->hVarTable) {
        FreeBlocks(binding);
        ForgetEngine();
        return 38;
    }
    if (!g_engine.init(window, uintptr_t(binding->hInstanceBlock), uintptr_t(binding->hVarTable), 2, capacity,
                       uintptr_t(section), uintptr_t(settingsFile))) {
        FreeBlocks(binding);
        ForgetEngine();
        return 39;
    }

    // The string space: a reserved range whose first part is committed; the engine commits
    // more of it as the heap grows.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    uint64_t page = system.dwPageSize ? system.dwPageSize : 4096;
    uint64_t commit = stringSpace < 256 ? 256 : stringSpace;
    commit = (commit + page - 1) / page * page;
    void* base = nullptr;
    // A reserve below the committed part could never succeed; start at least at its size.
    uint64_t reserve = reserveSize < commit ? commit : reserveSize;
    for (int attempt = 0; attempt < 5 && reserve >= commit; ++attempt) {
        base = VirtualAlloc(nullptr, SIZE_T(reserve), MEM_RESERVE, PAGE_NOACCESS);
        if (base)
            break;
        reserve /= 2;
    }
    if (!base) {
        VirtualAllocFailure(window);
        FreeBlocks(binding);
        ForgetEngine();
        return reserve < commit ? 41 : 40;
    }
    binding->reserveSize = reserve;
    if (!VirtualAlloc(base, SIZE_T(commit), MEM_COMMIT, PAGE_READWRITE)) {
        VirtualAllocFailure(window);
        VirtualFree(base, 0, MEM_RELEASE);
        FreeBlocks(binding);
        ForgetEngine();
        return 42;
    }
    binding->stringSpace = static_cast<char*>(base);
    binding->commitSize = commit;

    if (!g_engine.init(window, uintptr_t(binding->hInstanceBlock), uintptr_t(base), 3, commit,
                       uintptr_t(ENGINE_FILE), uintptr_t(binding))) {
        VirtualFree(base, 0, MEM_RELEASE);
        binding->stringSpace = nullptr;
        FreeBlocks(binding);
        ForgetEngine();
        return 43;
    }
    binding->runFlag = 0;
    ++g_startedEngines;
    return -1;
}

void DoViRuvStop(HWND window, EngineBinding* binding)
{
    if (g_startedEngines > 0 && binding->hInstanceBlock) {
        --g_startedEngines;
        if (g_engine.init)
            g_engine.init(window, uintptr_t(binding->hInstanceBlock), 0, 99, uintptr_t(&g_startedEngines), 0,
                          uintptr_t(&Parent_ProcessCommand2));
    }
    FreeBlocks(binding);
    if (binding->stringSpace) {
        char text[80];
        if (!VirtualFree(binding->stringSpace, SIZE_T(binding->commitSize), MEM_DECOMMIT)) {
            std::snprintf(text, sizeof(text), "VirtualFree (1) returned %ld", long(GetLastError()));
            MessageBoxA(window, text, "DoViRuvStop error", MB_OK | MB_ICONERROR);
        }
        if (!VirtualFree(binding->stringSpace, 0, MEM_RELEASE)) {
            std::snprintf(text, sizeof(text), "VirtualFree (2) returned %ld", long(GetLastError()));
            MessageBoxA(window, text, "DoViRuvStop error", MB_OK | MB_ICONERROR);
        }
        binding->stringSpace = nullptr;
    }
    binding->commitSize = 0;
    binding->reserveSize = 0;
    ForgetEngine();
}

int RunBatchBuffer(HWND window, const KeywordRecord* hostKeywords, HGLOBAL script)
{
    if (!g_engine.run)
        return 0;
    return g_engine.run(window, g_binding.hInstanceBlock, script, reinterpret_cast<void*>(&Parent_ProcessCommand2),
                        hostKeywords);
}

uint64_t CallDllServices(uint16_t request, const void* p1, const void* p2, int64_t p3, uint64_t p4)
{
    if (!g_engine.services || !g_binding.hInstanceBlock)
        return 0;
    return g_engine.services(g_binding.hInstanceBlock, request, p1, p2, p3, p4);
}
