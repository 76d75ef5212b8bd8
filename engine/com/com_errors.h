// COM failures as script errors: the HRESULT map, the record of the last failure in the
// settings file, exception texts in the extended-error buffer, and the EXCEPINFO that a
// failing script event handler hands back to COM.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

struct BDS;

constexpr const char* COM_SETTINGS_SECTION = "COM & CLR Sub-system";
constexpr const char* COM_EXCEPTION_TITLE = "COM/CLR Exception";

// The error number of a failure code (1298 for one the map does not know, 1261 for an
// unlisted one of the .NET runtime's facility), after recording the failure under
// `operation`. The caller stores the answer as the context's error number.
uint16_t HresultToErrorNumber(BDS* ctx, HRESULT hr, const char* operation);

// The map alone, without recording.
uint16_t HresultErrorNumber(HRESULT hr);

// "Function", "ErrorCode" and "ErrorDesc" of the settings file's COM section.
void RecordComFailure(BDS* ctx, HRESULT hr, const char* operation);

// An exception's source and description as a settings value in section `title` and as an
// extended-error entry. Takes ownership of both BSTRs (either may be null).
void RecordComException(BDS* ctx, const char* title, BSTR source, BSTR description, SCODE scode);

// Whether the current error is one whose text the context holds (user and extender errors).
bool IsTextCarryingError(BDS* ctx);

// Fills an EXCEPINFO from the script's current error: 0 when filled, 1 when there is none.
int FillExcepInfoFromError(BDS* ctx, EXCEPINFO* info, SCODE scode);
