// The profile (INI) built-ins: reading, writing, deleting and listing entries of WIN.INI
// (file null) or of a private INI file. Texts are wide: a file may lie in a folder named
// outside the ANSI code page; texts read come back ANSI where that form says them exactly.
#pragma once

#include "engine/core/context.h"

// The section and key the private forms refuse: [386Enh] Device=.
bool IniIsForbiddenEntry(const wchar_t* section, const wchar_t* key);

void DoIniRead(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* key,
               const wchar_t* fallback, const wchar_t* file);
void DoIniWrite(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* key,
                const wchar_t* value, const wchar_t* file);
void DoIniDelete(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* key,
                 const wchar_t* file);
// The key names of a section, or the section names when the section is empty, joined by
// TABs; "(NONE)" when there are none.
void DoIniItemize(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* file);
