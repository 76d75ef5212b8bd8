// Pieces of the statement executor shared between its files.
#pragma once

#include "engine/core/context.h"

int DoForEach(BDS* ctx, RunSite* site);
void SetContinuesPastEndError(BDS* ctx);

// Makes kverrorarray (12 elements) describe the error; false when it cannot be made.
bool FillErrorArray(BDS* ctx, uint32_t number, const char* line, uint32_t offset, const char* assigned,
                    const char* file, const char* message, const char* extended, const char* udfName,
                    uint32_t lineNumber, uint32_t udfLine, uint32_t fileIndex);
