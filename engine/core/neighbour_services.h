// Services of subsystems not built yet that engine set-up, tear-down and the message pump
// call. Their minimal forms live in engine/<area>/<area>_minimal.cpp; a subsystem's own
// code replaces that file, and its services then move to the subsystem's own header.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

// ---- registry and restart manager
// Releases the table of registry keys opened by scripts.
void OpenKeyTableFree(BDS* ctx);
// Frees the restart-manager library when it was loaded.
void RestartMgrUnload();

// ---- system, processes and time
// Frees the context's private environment block, when there is one.
void EnvironmentBlockFree(BDS* ctx);
// Ends the DDE conversations and the DDE client when it is active.
void DdeCleanup(BDS* ctx);
// The window procedure of the notify window class "kv8wcmmn".
extern "C" LRESULT CALLBACK MyMMNotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- dialog engine: the window procedures of the three dialog classes
extern "C" LRESULT CALLBACK MyDialogWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern "C" LRESULT CALLBACK MyDialogWndProc2(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MyDialogWndProc3(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- COM automation, control hosting and .NET
// Deletes the context's .NET object and ends COM for the thread when this context began it.
void ComTerminateContext(BDS* ctx);

// ---- native calls and extenders
// Frees the libraries scripts loaded through the DLL-call built-ins.
void FreeScriptLibraries(BDS* ctx);
// Gives loaded extenders their shutdown call.
void NotifyExtendersOfEnd(BDS* ctx);
// Frees every native callback thunk and every DllStruct of the context.
void FreeAllDllCallbacks(BDS* ctx);
void DllStructFreeAll(BDS* ctx);
// Frees every loaded extender (after its shutdown call).
void UnloadExtenders(BDS* ctx);
