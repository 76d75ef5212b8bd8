// The dialog error report, through which every 6.x dialog error goes: the short text
// "<number> (<what>)" becomes "LastError" in the section "Dialog Template" of the
// settings file, and the long text (the message, then what) joins the extended error.
#pragma once

#include <cstdint>

struct BDS;

// name and value may be null. With both the text is the running dialog's name, the name,
// "=`", the value and "`"; with one of them that one alone. Leaves the error number alone.
void DialogErrorReport(BDS* ctx, int number, const char* name, const char* value);
void DialogErrorReportW(BDS* ctx, int number, const wchar_t* name, const wchar_t* value);

// Sets the error number, reports it and answers 0 (for `return DialogFail(...)`).
int DialogFail(BDS* ctx, uint16_t number, const char* name = nullptr, const char* value = nullptr);
int DialogFailW(BDS* ctx, uint16_t number, const char* name, const wchar_t* value);
// The same with the detail "--> <number>".
int DialogFailNumber(BDS* ctx, uint16_t number, int32_t detail);
