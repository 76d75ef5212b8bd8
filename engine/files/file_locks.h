// The programs that hold a file open, through the system's Restart Manager: the binding of
// its library (loaded by name at the first FileLockItemize and kept until the engine shuts
// down) and the listing itself.
#pragma once

#include <windows.h>
#include <restartmanager.h>

#include <cstdint>

struct BDS;

using PfnRmStartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using PfnRmRegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using PfnRmGetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);
using PfnRmEndSession = DWORD(WINAPI*)(DWORD);
using PfnQueryFullProcessImageNameW = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

// Owned by the context (ctx->pipeLock.pRestartMgrBinding), on the process heap. Ready only
// when the library loaded and all five entry points were found. A binding whose module is
// null was put there by its owner with entry points of its own (tests do that).
struct RestartMgrBinding {
    BDS* owner;
    uint32_t ready;
    HMODULE module;
    PfnRmStartSession RmStartSession;
    PfnRmRegisterResources RmRegisterResources;
    PfnRmGetList RmGetList;
    PfnRmEndSession RmEndSession;
    PfnQueryFullProcessImageNameW QueryFullProcessImageNameW;
};

// Engine shutdown: frees the library and the binding.
void RestartMgrUnload(BDS* ctx);
