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

// The class handed to ReportError: the statement runner works it out from the number.
enum : int { ERRCLASS_MODERATE = 0, ERRCLASS_MINOR = 1, ERRCLASS_SEVERE = 13 };
int ErrorClassOf(int number);

// Shows the error by the error mode; answers 1 = go on (the error is cleared), 0 = stop.
// owner null means hwndOwner. A title id above 99 puts that message into szErrorLine (the
// box's line text); smaller ids leave the line the caller copied there. Under @OFF a minor
// error answers 1 at once without a box and without clearing the error.
int ReportError(BDS* ctx, HWND owner, int titleId, int number, int errorClass);

// Context set-up and tear-down of error reporting: the handler fields, the tech-support
// address (message 61 when the string table has it); freeing the extended-error buffer.
void InitErrorReporting(BDS* ctx);
void EndErrorReporting(BDS* ctx);

// The extended-error buffer: at most 1024 characters, entries separated by a blank line,
// 40 dashes and a line holding only the byte 0xA0. An entry that does not fit is cut.
void AppendExtendedError(BDS* ctx, const char* text);
void AppendExtendedErrorW(BDS* ctx, const wchar_t* text);
// Copies the buffer's text; false (and an empty text) when there is no buffer.
bool ExtendedErrorText(BDS* ctx, char* out, int size);
// Frees the buffer (after each error box, IntControl 72/73 with 1, tear-down).
void FreeExtendedError(BDS* ctx);

// For a non-zero code: "<api> error:\n\n     System error code <code>" into the buffer.
void AddSystemErrorInfo(BDS* ctx, DWORD systemError, const char* apiName);
// "LastError" = "<code> (<api>)" in section "KVDYC64I" of the settings file; with
// alsoExtended also "<api> error:\n\n    <code>" into the extended-error buffer.
void StoreLastError(BDS* ctx, DWORD systemError, const char* apiName, bool alsoExtended);

extern "C" INT_PTR CALLBACK ErrorMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
