// The host side of the engine library: loading it, binding its exports by ordinal in the
// launcher's order, and setting an engine instance up and down with memory the host owns.
// Shared by the test host program and the unit tests that work through the exports.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

#include "engine/core/binding.h"
#include "engine/core/keyword.h"

namespace kvhost {

// The exports as a host calls them. Every integer argument travels as a full 64-bit word,
// so the callee may read it at any width.
using DoDuRavInitFn = uint32_t (*)(HWND window, HGLOBAL context, uintptr_t a, uintptr_t op,
                                   uintptr_t b, uintptr_t c, uintptr_t d);
using ProcessViRuvBufferFn = uint32_t (*)(HWND window, HGLOBAL context, HGLOBAL script,
                                          void* hostCallback, const KeywordRecord* hostTable);
using DLLServicesFn = uint64_t (*)(HGLOBAL context, uintptr_t request, const void* p1,
                                   const void* p2, int64_t p3, uint64_t p4);

// The ordinals the launcher binds, in its order; it refuses an engine that lacks any.
struct ExportName {
    int ordinal;
    const char* name;
};
constexpr ExportName kLauncherExports[] = {
    {15, "DoDllAbout"},        {23, "DoDuRavInit"},    {24, "ProcessViRuvBuffer"},
    {16, "LoadStandardMenu"},  {26, "ParseStandardMenu"}, {27, "MenuSelectProcessing"},
    {29, "HotKeyCheck"},       {30, "DLLServices"},
};
constexpr int kLauncherExportCount = sizeof(kLauncherExports) / sizeof(kLauncherExports[0]);

constexpr int ORD_DoDuRavInit = 23;
constexpr int ORD_ProcessViRuvBuffer = 24;
constexpr int ORD_DLLServices = 30;

// The engine library, loaded by name (the search path, then beside this program) or from
// a given file, with the launcher's exports bound by ordinal.
class EngineLibrary {
public:
    EngineLibrary() = default;
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;
    ~EngineLibrary() { Free(); }

    // path null: "KVDYC64I.DLL" as the launcher finds it. False with LoadError() set.
    bool Load(const wchar_t* path = nullptr);
    void Free();

    HMODULE Module() const { return module_; }
    DWORD LoadError() const { return loadError_; }
    // Any export by ordinal; null when the library does not have it.
    FARPROC Proc(int ordinal) const;
    // The launcher's exports: bound address, or null when missing.
    FARPROC Bound(int index) const { return bound_[index]; }

    template <typename Fn> Fn Get(int ordinal) const { return reinterpret_cast<Fn>(Proc(ordinal)); }
    DoDuRavInitFn DoDuRavInit() const { return Get<DoDuRavInitFn>(ORD_DoDuRavInit); }
    ProcessViRuvBufferFn ProcessViRuvBuffer() const { return Get<ProcessViRuvBufferFn>(ORD_ProcessViRuvBuffer); }
    DLLServicesFn DLLServices() const { return Get<DLLServicesFn>(ORD_DLLServices); }

private:
    HMODULE module_ = nullptr;
    DWORD loadError_ = 0;
    FARPROC bound_[kLauncherExportCount] = {};
};

// What a host hands to the set-up, with the launcher's defaults.
struct SessionOptions {
    uint32_t interfaceWord = ENGINE_INTERFACE_WORD;
    uint32_t maxVars = 2000;
    uint64_t stringSpace = 65500;
    uint64_t reserve = 0x1F400000;
    const char* product = "Kelvoran 64";
    const char* section = "KV44I";
    const char* settingsFile = "TRM-PROD.INI";
    const char* engineFile = "KVDYC64I.DLL";
};

// One engine instance: operations 0, 1, 2, 3 at Start, 99 at Stop. The host owns the
// context block, the variable table and the string space, and frees them at Stop.
// The engine keeps the address of `binding`, so a session never moves.
class EngineSession {
public:
    EngineSession(const EngineLibrary& library, HWND window, HINSTANCE instance);
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
    ~EngineSession() { Stop(nullptr); }

    // -1 when the instance runs; otherwise the launcher's step code: 35 operation 0,
    // 36 context block, 37 operation 1, 38 variable table, 39 operation 2, 40/41 no
    // address range, 42 commit, 43 operation 3; 33 when DoDuRavInit is missing.
    int Start(const SessionOptions& options = SessionOptions());
    // Operation 99 (when started) with the host callback, then frees the memory.
    // Answers operation 99's answer, or 0 when nothing was running.
    uint32_t Stop(void* hostCallback);

    HGLOBAL Context() const { return binding.hInstanceBlock; }

    // Answers of the operations in the order they ran (0 where not reached).
    uint32_t answer0 = 0, answer1 = 0, answer2 = 0, answer3 = 0, answer99 = 0;
    uint32_t capacity = 0;
    EngineBinding binding{};

    // The process-wide count of running instances that operation 99 reads.
    static int64_t liveInstances;

private:
    void Release();

    DoDuRavInitFn init_;
    HWND window_;
    HINSTANCE instance_;
    bool running_ = false;
};

// Text helpers for hosts: the engine's narrow texts are in the ANSI code page.
std::string AnsiToUtf8(const char* text);
std::string WideToUtf8(const wchar_t* text);
std::wstring AnsiToWide(const char* text);

}  // namespace kvhost
