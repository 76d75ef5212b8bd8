// Pieces of the statement executor shared between its files.
#pragma once

#include "engine/core/context.h"

int DoForEach(BDS* ctx, RunSite* site);
// Pushes a structure frame opened by the line at site->lineStart (3353 when the stack is
// full); loops and Switch set the loop flag and keep the caller's in the frame.
StructFrame* PushFrame(BDS* ctx, uint16_t kind, uint8_t skip, const RunSite* site);
// Pops the top frame, a GoSub's, and gives back the loop flag it kept.
void PopGosubFrame(BDS* ctx);
// 3074 with the hint that names what follows the expression.
void SetContinuesPastEnd(BDS* ctx);

// Makes kverrorarray (12 elements) describe the error; false when it cannot be made.
bool FillErrorArray(BDS* ctx, uint32_t number, const char* line, uint32_t offset, const char* assigned,
                    const char* file, const char* message, const char* extended, const char* udfName,
                    uint32_t lineNumber, uint32_t udfLine, uint32_t fileIndex);

// Releases a value the executor evaluated. A value read from a variable or an element
// refers to its array without holding it, so only a temporary gives its array up.
inline void ReleaseEvaluated(BDS* ctx, resultants* value)
{
    FreeValue(ctx, value, 0, value->originVar == ORIGIN_NONE ? VK_RECORD : VK_RECORD | VM_KEEP_ARRAY);
}
