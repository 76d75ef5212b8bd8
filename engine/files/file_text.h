// Small text helpers of the file built-ins: file names between the ANSI code page and wide
// text, and results whose text the handler has already written into the string heap.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct BDS;
struct resultants;

// File names cross in the system's ANSI code page (CP_ACP), as the system's own ANSI file
// functions take them; other texts of the file built-ins cross in the code page given.
std::wstring FileNameToWide(const char* name, UINT codePage = CP_ACP);
std::string FileNameToAnsi(const std::wstring& name, UINT codePage = CP_ACP);
// The ANSI form (CP_ACP) of a wide text when every character comes back from it as it was;
// false when one would turn into "?" or a look-alike.
bool WideToAnsiExact(const wchar_t* text, size_t length, std::string& out);

// A path for the functions that take ANSI text only: its exact ANSI form, else the short
// form of the path where that one is exact (it names the same file; for a file still to be
// made, its folder's short form and its name), else the ANSI form with what is lost. A
// module's path (empty when it cannot be had) the same way.
std::string PathForAnsiUse(const std::wstring& path);
std::string ModulePathForAnsiUse(HMODULE module);

// A text that the system gave wide (a name, a path, a value read from a file) as a result:
// ANSI where that form says it exactly, as the ANSI functions always gave it, else wide,
// so that no letter outside the code page is lost.
int SetResultTextExact(BDS* ctx, resultants* result, const wchar_t* text, size_t length);

// Makes the result a narrow (VF_STRING) or wide (VF_UNICODE) string that already lies in
// the string heap at `offset`; the result owns it from then on.
void SetResultHeapText(BDS* ctx, resultants* result, uint64_t offset);
void SetResultHeapWText(BDS* ctx, resultants* result, uint64_t offset);
