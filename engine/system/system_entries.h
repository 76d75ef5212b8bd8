// The system calls through which built-ins change the machine itself, reached through one
// table in the engine context (EngineState::system).
//
// Engine set-up fills the table with the system's own functions (looked up by name; a
// function the system lacks stays null and its request fails cleanly). Unit tests put
// recorders in their place, so the requests can be tested without changing the machine.
// Code that acts on the machine calls through this table, never the system directly.
#pragma once

#include <windows.h>

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

struct SystemEntries {
    PfnSetComputerNameExW SetComputerNameExW;
    PfnSetComputerNameExA SetComputerNameExA;
    PfnSetComputerNameW SetComputerNameW;
    PfnSetComputerNameA SetComputerNameA;
    // Starting a program as another user (ADVAPI32; null where the system lacks it).
    PfnCreateProcessWithLogonW CreateProcessWithLogonW;
    PfnCreateProcessAsUserW CreateProcessAsUserW;
};

// The system's own functions (engine set-up).
void FillSystemEntries(SystemEntries* entries);
