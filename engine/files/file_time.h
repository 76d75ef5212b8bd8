// File time stamps: reading the stamp that FileTimeKind names into the context's time
// fields, its text in the script's form (YmdHms, two-digit years without FourDigitYear)
// and in the user's locale form, and the comparison of two files' times.
#pragma once

#include <windows.h>

#include <cstddef>

struct BDS;

// The FileTimeKind stamp of a name, in local time, into the context's SYSTEMTIME and DOS
// date and time (date 33 and time 0 when no DOS form can be made). 1, or 0 when not found.
int FileTimeOfNameW(BDS* ctx, const wchar_t* name);
int FileTimeOfNameA(BDS* ctx, const char* name);

// The context's last stamp as date and time fields: its full record, else its DOS form.
SYSTEMTIME FileStampFields(BDS* ctx);

// A FILETIME as the script's text into `out`; fills the context's time fields.
void FileTimeFormat(BDS* ctx, const FILETIME& time, char* out, size_t capacity);

// -1 the first is not found, -2 the second is not found; 1 when the first is at least as new
// as the second, 0 when it is older.
int FileTimeCompareW(BDS* ctx, const wchar_t* first, const wchar_t* second);
int FileTimeCompareA(BDS* ctx, const char* first, const char* second);

// The user's date and time of a file, joined by two blanks; with the size "   <size> bytes"
// follows. 1, or 0 with 1125 and an empty text when the file is not found.
int FileTimeLocaleTextW(BDS* ctx, const wchar_t* name, char* out, size_t capacity, bool withSize);
