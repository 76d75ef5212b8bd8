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

struct SystemEntries {
    PfnSetComputerNameExW SetComputerNameExW;
    PfnSetComputerNameExA SetComputerNameExA;
    PfnSetComputerNameW SetComputerNameW;
    PfnSetComputerNameA SetComputerNameA;
};

// The system's own functions (engine set-up).
void FillSystemEntries(SystemEntries* entries);
