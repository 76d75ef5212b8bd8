// Services of subsystems not built yet that engine set-up, tear-down and the message pump
// call. Their minimal forms live in engine/<area>/<area>_minimal.cpp; a subsystem's own
// code replaces that file, and its services then move to the subsystem's own header.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;


// ---- system, processes and time
// Ends the DDE conversations and the DDE client when it is active.
void DdeCleanup(BDS* ctx);
// Open DDE conversations (of DDE_CONVERSATION_SLOTS).
constexpr int DDE_CONVERSATION_SLOTS = 10;
int DdeConversationsOpen(BDS* ctx);

// ---- dialog engine: the window procedures of the three dialog classes
extern "C" LRESULT CALLBACK MyDialogWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern "C" LRESULT CALLBACK MyDialogWndProc2(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MyDialogWndProc3(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- COM automation, control hosting and .NET
// Deletes the context's .NET object and ends COM for the thread when this context began it.
void ComTerminateContext(BDS* ctx);
// The internal-information report's view of the COM objects: how many are open and how
// many more the layer takes, the text of the index-th one (false past the last), and the
// reference count of the one a number names (0 when none).
int ComObjectsOpen(BDS* ctx);
int ComObjectSlotsFree(BDS* ctx);
bool ComObjectText(BDS* ctx, int index, char* out, int size);
int32_t ComObjectReferenceCount(BDS* ctx, int32_t which);
// Starts the target of a shell link with the link's own arguments, folder and show command
// (the given ones when the link has none); fills the process handle (null when the shell
// reports none) and id. Answers 0, a system error code, or all ones when the link cannot
// be read.
constexpr uint32_t SHORTCUT_UNREADABLE = 0xFFFFFFFFu;
uint32_t RunShortcutW(BDS* ctx, const wchar_t* link, const wchar_t* parameters, const wchar_t* directory,
                      int showCommand, HANDLE* process, DWORD* processId);
uint32_t RunShortcutA(BDS* ctx, const char* link, const char* parameters, const char* directory,
                      int showCommand, HANDLE* process, DWORD* processId);

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
// Loaded extenders (of EXTENDER_SLOTS) and the full file name of the index-th one (false
// past the last).
constexpr int EXTENDER_SLOTS = 32;
int ExtendersLoaded(BDS* ctx);
bool ExtenderFileName(BDS* ctx, int index, char* out, int size);
