// Per-context engine state set up at DoDuRavInit: the switches that IntControl reads and
// changes (with their start values), the optional system functions resolved by name, the
// one-shot button captions, and the About box's texts.
#pragma once

#include <windows.h>
#include <cstdint>

#include "engine/system/system_entries.h"

// ---------------------------------------------------------------- optional system functions

using PfnBlockInput = BOOL(WINAPI*)(BOOL);
using PfnSendInput = UINT(WINAPI*)(UINT, LPINPUT, int);
using PfnRegDeleteKeyExW = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
using PfnRegGetValueA = LONG(WINAPI*)(HKEY, LPCSTR, LPCSTR, DWORD, LPDWORD, PVOID, LPDWORD);
using PfnCancelWaitableTimer = BOOL(WINAPI*)(HANDLE);
using PfnCreateWaitableTimerW = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR);
using PfnSetWaitableTimer = BOOL(WINAPI*)(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE,
                                          LPVOID, BOOL);
using PfnGetTickCount64 = ULONGLONG(WINAPI*)();

// Resolved by name at operation 1; a missing one stays null and its feature is unavailable.
struct OptionalApis {
    FARPROC pfnCreateToolhelp32Snapshot;   // the process-snapshot five: all or none
    FARPROC pfnProcess32First;
    FARPROC pfnProcess32Next;
    FARPROC pfnModule32First;
    FARPROC pfnModule32Next;
    uint32_t bToolhelpFound;
    PfnBlockInput pfnBlockInput;
    PfnSendInput pfnSendInput;
    PfnRegDeleteKeyExW RegDeleteKeyExEntry;
    PfnRegGetValueA pfnRegGetValueA;
    PfnCancelWaitableTimer pfnCancelWaitableTimer;
    PfnCreateWaitableTimerW pfnCreateWaitableTimerW;
    PfnSetWaitableTimer pfnSetWaitableTimer;
    PfnGetTickCount64 pfnGetTickCount64;

    HMODULE hMsvfw32;                      // DrawDib functions, when the library is present
    FARPROC pfnDrawDibOpen;
    FARPROC pfnDrawDibRealize;
    FARPROC pfnDrawDibDraw;
    FARPROC pfnDrawDibClose;
    HMODULE hSecondLibrary;                // a further optional library, freed at tear-down
};

// ---------------------------------------------------------------- IntControl switches

// The per-context switches that IntControl requests read and change; operation 1 gives
// them these start values. (The break mode is BDS::nControlFlags; quiet mode and the
// error-box settings live in the error state, the traps in the run state.)
struct ControlSettings {
    uint32_t FileBoxNeedsSelection;     // 4: 1
    uint32_t ShowHiddenFiles;           // 5: 0
    uint32_t DebugStringEcho;           // 7: 0
    char BreakMessageText[256];         // 12: empty
    uint32_t NewConsoleForPrograms;     // 13 (8888): 0
    uint32_t DiagnosticSwitches[11];    // 13 (0-10): 0
    uint32_t BoxFontMode;               // 28: 0
    char FileDelimiter;                 // 29: TAB
    wchar_t FileDelimiterW;
    uint32_t ListBoxMultiSelect;        // 33: 1
    uint32_t SendKeyDelay;              // 35: 25
    uint32_t MouseEventDelay;           // 35: 0
    uint32_t ReadShareMode;             // 39: 1
    uint32_t WriteShareMode;            // 40: 0
    uint32_t FourDigitYear;             // 41: 1
    uint32_t SendKeyWaitIdle;           // 43: 1
    uint32_t SendKeyConsoleMode;        // 45: 1
    uint32_t WindowRetryCount;          // 46: 9
    uint32_t DialogCloseBox;            // 49: 0
    uint32_t DialogCloseValue;          // 49: 1
    uint32_t CreateProcessFlags;        // 51: NORMAL_PRIORITY_CLASS
    uint32_t DisplayGuiFont;            // 52: 1 with the new shell
    uint32_t FileLineEnd;               // 53: 1 (CR LF)
    int32_t ActivateMethodTarget;       // 61: 5 on Windows 2000 and later
    int32_t ActivateMethodBox;          // 62: 4 on Windows 2000 and later
    int32_t NextBoxPosition[4];         // 63: 0
    uint32_t LastExitCode;              // 64: 99999
    int32_t FileReadBufferSize;         // 65: -2 (automatic)
    uint32_t WaitDoneDelay;             // 70: 500
    uint32_t PostedMessageDelay;        // 70 (p2 = 1): 100
    uint32_t TraceOptions;              // 71: 0
    uint32_t InputIdleTimeout;          // 74: 10000
    int32_t LastDialogPosition[2];      // 75: -1, -1
    uint32_t ReservedSetting85;         // 85: 0
    uint32_t ExecuteErrorMode;          // 87: 0
    PfnSendInput SendInputUnicodeEntry; // 88: SendInput, when the system has it
    uint32_t WildcardMatchMode;         // 91: 0
    uint32_t MapInitialSize;            // 100: 64
    uint32_t FileTimeUtc;               // 102: 0
    uint32_t LastUserErrorCode;
    char LastUserErrorText[256];
    uint32_t DefaultRegistryView;       // 2
    uint32_t DdeTimeout;                // 3000 ms
};

// ---------------------------------------------------------------- button captions

constexpr int BUTTON_CAPTION_SIZE = 25;

// The ButtonNames captions of buttons 1 and 2 of the engine's boxes; each form is used
// once (SetButtonTextsA/W clear its flag) and every run clears both flags.
struct ButtonCaptions {
    char narrow[2][BUTTON_CAPTION_SIZE];
    wchar_t wide[2][BUTTON_CAPTION_SIZE];
    uint32_t bNarrowSet;
    uint32_t bWideSet;
};

// ---------------------------------------------------------------- the record

constexpr int ENGINE_TEXT_SIZE = 256;

struct EngineState {
    OptionalApis api;
    SystemEntries system;                    // the calls that change the machine
    ControlSettings ctl;
    ButtonCaptions buttons;

    char szMakerHomeUrl[ENGINE_TEXT_SIZE];   // message 60, when the engine has it
    uint32_t bMakerHomeUrl;
    char szCounterProcess[80];               // performance-counter indexes, as text
    char szCounterIdProcess[80];
    char szHostNotice[ENGINE_TEXT_SIZE];     // the host's second identification line
    int32_t DefaultWindowBottom;             // bottom of a default-sized overlapped window
    uint32_t nRandomSeed;                    // the seed operation 1 gave the generator
    uint32_t bAboutOkButton;                 // the About box shows its OK button
    uint32_t lastPumpTick;                   // PumpMessagesWhenDue's clock
};
