// The profile (INI) built-ins: reading, writing and deleting entries of WIN.INI (file null)
// or of a private INI file.
#pragma once

#include "engine/core/context.h"

// The section and key the private forms refuse: [386Enh] Device=.
bool IniIsForbiddenEntry(const char* section, const char* key);

void DoIniRead(BDS* ctx, resultants* result, const char* section, const char* key,
               const char* fallback, const char* file);
void DoIniWrite(BDS* ctx, resultants* result, const char* section, const char* key,
                const char* value, const char* file);
void DoIniDelete(BDS* ctx, resultants* result, const char* section, const char* key,
                 const char* file);
