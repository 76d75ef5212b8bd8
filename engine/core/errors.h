// Error reporting: the error dialog, the extended-error buffer and the recording of
// failed Windows calls.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

// Control codes (never shown as errors).
enum : uint16_t {
    CC_STOP = 9000,
    CC_STOP_QUIET = 9012,        // stop without a box
    CC_ALREADY_SHOWN = 9013,     // an error already shown in a box of its own
    CC_EXTENDER_SHOWN = 9014,
    CC_UDF_REPORTED = 9015,
    CC_EVENT_SHOWN = 9016,
    CC_HANDLED = 9998,
    CC_CANCEL = 9999,            // "User requested Cancel"
};

// Error classes by number: below 2001 minor, 2001-3000 moderate, 3001 and above severe.
enum ErrorSeverity { SEV_MINOR = 1, SEV_MODERATE = 2, SEV_SEVERE = 3 };

// Shows the error by the error mode; answers 1 = go on (the error is cleared), 0 = stop.
int ReportError(BDS* ctx, HWND owner, int titleId, int number, int errorClass);

void AppendExtendedError(BDS* ctx, const char* text);
void AppendExtendedErrorW(BDS* ctx, const wchar_t* text);
void AddSystemErrorInfo(BDS* ctx, DWORD systemError, const char* apiName);
void StoreLastError(BDS* ctx, DWORD systemError, const char* apiName, bool alsoExtended);

extern "C" INT_PTR CALLBACK ErrorMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
