// The statement executor: statement words, flow keywords and the structure stack, and the
// guard around each statement that applies the cancel and error traps and the error box.
#pragma once

#include <windows.h>
#include <cstdint>

#include "engine/core/context.h"

// Runs the statement at site->line + site->stmtOffset and deals with what it left in
// nErrorCode. Answers non-zero to go on (-1 when the script or user function ends),
// 0 to stop.
int RunStatementGuarded(BDS* ctx, resultants* result, RunSite* site);

// Runs one statement: 1 done, 0 failed or stopped (nErrorCode says which), -1 Return.
// Jumps write the new line position through site->pos.
int ExecuteStatement(BDS* ctx, resultants* result, RunSite* site);

// Fills kverrorarray (and, unless udfForm, the other kv variables) for the error in
// nLastError or for a cancel. Answers 1, 0 when the array cannot be made.
int SetErrorHandlerVars(BDS* ctx, HGLOBAL script, bool cancel, bool udfForm);

// Calls the cancel or error handler function with kverrorarray. 1 go on, 0 stop.
int RunHandlerUdf(BDS* ctx, bool cancel);

// FNV-1a over a value's text (0 without text).
uint32_t ValueTextHash(BDS* ctx, const ValueHead* value);

// Pops structure frames until `keep` remain; a ForEach frame releases its collection and
// a loop's frame gives back the caller's loop flag.
void CutStack(BDS* ctx, uint32_t keep);

// Releases a ForEach frame's temporary collection and iteration state.
void ReleaseForEachFrame(BDS* ctx, uint16_t tempVar, uint32_t frameIndex);
// Releases what a ForEach state holds (its saved texts, its walk of a COM object) and
// clears it; texts only while the string heap is there.
void ClearForEachState(BDS* ctx, ForEachState& state);

// Where an offset of a scrambled script lies: line numbers, source file (through the
// marker lines), and optionally the line's text.
struct ScriptLocation {
    uint32_t line;          // 1-based line in its source file
    uint32_t udfLine;       // line relative to the running function's first line
    uint32_t fileIndex;
    int32_t markerFlag;     // flag of the last marker before the offset, -1 none
    char file[261];
};
int LocateScriptLine(BDS* ctx, HGLOBAL script, uint32_t offset, ScriptLocation* where,
                     char* lineOut, size_t lineSize);

// The trap side of IntControl 72 (cancel) and 73 (error): sets the mode (0-3, -1 for the
// cancel trap) and for mode 3 the handler's name; discardExtended frees the
// extended-error text. Answers the previous mode.
int32_t SetCancelTrap(BDS* ctx, int32_t mode, bool discardExtended, const char* udfName);
int32_t SetErrorTrap(BDS* ctx, int32_t mode, bool discardExtended, const char* udfName);
