// The system calls through which built-ins change the machine itself, reached through one
// table in the engine context (EngineState::system): ending the session and the power
// state, the clock, the screen saver's running flag, broadcasts to every top-level window,
// moves at the next restart, the computer's name, and the privilege switch before them.
//
// Engine set-up fills the table with the system's own functions (those the system may lack
// are looked up by name; a missing one stays null and its request fails cleanly, as does a
// null entry of any kind). Unit tests put recorders in their place, so the requests can be
// tested without changing the machine. Code that acts on the machine calls through this
// table, never the system directly: a message to one window goes straight to the system,
// a broadcast (HWND_BROADCAST) always through the table.
#pragma once

#include <windows.h>

struct BDS;

using PfnSetComputerNameExW = BOOL(WINAPI*)(COMPUTER_NAME_FORMAT, LPCWSTR);
using PfnSetComputerNameExA = BOOL(WINAPI*)(COMPUTER_NAME_FORMAT, LPCSTR);
using PfnSetComputerNameW = BOOL(WINAPI*)(LPCWSTR);
using PfnSetComputerNameA = BOOL(WINAPI*)(LPCSTR);
using PfnCreateProcessWithLogonW = BOOL(WINAPI*)(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonFlags,
                                                 LPCWSTR application, LPWSTR commandLine, DWORD creationFlags,
                                                 LPVOID environment, LPCWSTR directory, LPSTARTUPINFOW startup,
                                                 LPPROCESS_INFORMATION process);
using PfnCreateProcessAsUserW = BOOL(WINAPI*)(HANDLE token, LPCWSTR application, LPWSTR commandLine,
                                              LPSECURITY_ATTRIBUTES processAttributes,
                                              LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit,
                                              DWORD creationFlags, LPVOID environment, LPCWSTR directory,
                                              LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process);
using PfnEnablePrivilege = bool (*)(BDS* ctx, const char* name);
using PfnExitWindowsEx = BOOL(WINAPI*)(UINT flags, DWORD reason);
using PfnSetSystemPowerState = BOOL(WINAPI*)(BOOL suspend, BOOL force);
using PfnSetLocalTime = BOOL(WINAPI*)(const SYSTEMTIME* time);
using PfnSystemParametersInfoA = BOOL(WINAPI*)(UINT action, UINT param, PVOID data, UINT winIni);
using PfnSendMessageTimeoutA = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM, UINT flags, UINT timeout,
                                                PDWORD_PTR answer);
using PfnSendMessageA = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using PfnSendMessageW = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using PfnPostMessageA = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using PfnMoveFileExW = BOOL(WINAPI*)(LPCWSTR source, LPCWSTR target, DWORD flags);

struct SystemEntries {
    PfnSetComputerNameExW SetComputerNameExW;
    PfnSetComputerNameExA SetComputerNameExA;
    PfnSetComputerNameW SetComputerNameW;
    PfnSetComputerNameA SetComputerNameA;
    // Starting a program as another user (ADVAPI32; null where the system lacks it).
    PfnCreateProcessWithLogonW CreateProcessWithLogonW;
    PfnCreateProcessAsUserW CreateProcessAsUserW;
    PfnEnablePrivilege EnablePrivilege;             // engine/system/privilege.h
    PfnExitWindowsEx ExitWindowsEx;                 // IntControl 66-68
    PfnSetSystemPowerState SetSystemPowerState;     // 69
    PfnSetLocalTime SetLocalTime;                   // 58
    PfnSystemParametersInfoA SystemParametersInfoA; // 57 (the screen saver's running flag)
    PfnSendMessageTimeoutA SendMessageTimeoutA;     // 59, 60
    PfnSendMessageA SendMessageA;                   // broadcasts of 22 and SendMessageA
    PfnSendMessageW SendMessageW;                   // broadcasts of SendMessageW
    PfnPostMessageA PostMessageA;                   // broadcasts of 23
    PfnMoveFileExW MoveFileExW;                     // 30 (at the next restart)
};

// The system's own functions (engine set-up).
void FillSystemEntries(SystemEntries* entries);

// Switches the privilege on through the table: false when the entry is missing or refuses.
bool SystemEnablePrivilege(BDS* ctx, const char* name);

// Messages: a broadcast (HWND_BROADCAST) goes through the table, a message to one window
// straight to the system. A missing entry answers 0 (FALSE) and sends nothing.
BOOL SystemPostMessageA(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SystemSendMessageA(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SystemSendMessageW(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SystemSendMessageTimeoutA(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT flags, UINT timeout, PDWORD_PTR answer);
