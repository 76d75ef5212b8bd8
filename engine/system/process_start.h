// Creating a process the way every program start of the engine does (as the script's user,
// as the user of a kept logon token, or as another user by name and password), and the
// wait for a started program that keeps the script's thread pumping.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

// Logon flags of ProcessStart that mean "no logon".
constexpr int32_t NO_LOGON = -1;

// The start-up values every program start hands the system: the show command and
// STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK.
STARTUPINFOW StartupForShow(WORD showCommand);

// Creates the process. With logon flags other than NO_LOGON, as that user through the
// system's start-with-logon (the domain "." retried as the computer's name, an empty
// password retried as none; a refused access retried through an interactive logon of the
// user and a start on his token). Without, on the context's kept logon token when it holds
// one, else as the script's user. A start on a token follows the logon options (bit 0: the
// desktop "winsta0\default" and a console of its own). The command line is copied before
// the system sees it. Answers TRUE on success; else the system's error is the thread's
// last error.
BOOL ProcessStartW(BDS* ctx, const wchar_t* application, const wchar_t* commandLine, DWORD creationFlags,
                   const wchar_t* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info,
                   const wchar_t* user, const wchar_t* domain, const wchar_t* password, int32_t logonFlags);
BOOL ProcessStartA(BDS* ctx, const char* application, const char* commandLine, DWORD creationFlags,
                   const char* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info,
                   const char* user, const char* domain, const char* password, int32_t logonFlags);

// After a start: waits up to InputIdleTimeout for the program to become idle (when
// `idleWait` and the setting is not 0), then, with `untilEnd`, until it ends, pumping the
// script thread's messages between waits of at most one message arrival plus 20 ms; a
// cancel ends the wait. With `keepExitCode` LastExitCode becomes the exit code (STILL_ACTIVE
// for a program that still runs after a cancel).
void WaitForStartedProgram(BDS* ctx, HANDLE process, bool idleWait, bool untilEnd, bool keepExitCode);

// The system's text for an error code, the insert (if the text has any) being `insert`;
// trailing line ends removed. Empty when the system has none.
void SystemErrorText(DWORD code, const wchar_t* insert, wchar_t* out, size_t room);
// Appends message 868 "WinExec Error:" and the text, joined by "%s\n\n    %s", to the
// context's extended-error information.
void AddStartErrorInfo(BDS* ctx, const wchar_t* systemText);
