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

// Makes the result a narrow (VF_STRING) or wide (VF_UNICODE) string that already lies in
// the string heap at `offset`; the result owns it from then on.
void SetResultHeapText(BDS* ctx, resultants* result, uint64_t offset);
void SetResultHeapWText(BDS* ctx, resultants* result, uint64_t offset);
