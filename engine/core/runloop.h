// The run loop and user-defined functions: fetching statement lines, #Define... blocks,
// %name% substitution, labels and cached jumps, calls of user-defined functions with
// their variable scopes, the Call built-in and its param variables.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

// A native callback that runs instead of a user-defined function's body.
using PfnUdfNative = int (*)(BDS* ctx, resultants* result, void* argument);
struct UdfNativeCallback {
    PfnUdfNative run;
    void* argument;
};

// Runs the scrambled buffer `script` from *pos to end. Answers 1 when the text ended or
// the script stopped normally, 0 when an error stopped it (it was reported) or the
// per-line hook stopped it. *firstNonBlank receives the last line's first-non-blank offset.
int FetchStatementLine(BDS* ctx, resultants* result, HGLOBAL script, uint32_t end,
                       uint32_t* firstNonBlank, uint32_t* pos);
// The same for a buffer the caller holds locked at `base` (a function's body).
int RunLockedLines(BDS* ctx, resultants* result, HGLOBAL script, const uint8_t* base, uint32_t end,
                   uint32_t* firstNonBlank, uint32_t* pos);

// ---------------------------------------------------------------- user-defined functions

int AllocUdfRecord(BDS* ctx, int index, uint32_t kind);
// Unlocks and frees the record's body.
void FreeUdfBody(UdfRecord* record);
int ParseUdfHeader(BDS* ctx, const char* text, UdfRecord* record);
int ParseCommandHeader(BDS* ctx, const char* text, UdfRecord* record);

// The record of a user-defined function (index = id - 4000), or null.
UdfRecord* UdfRecordAt(BDS* ctx, uint32_t index);

// Index of the defined function whose name is the `length` characters at name (any case),
// -1 when there is none. The keyword lookup uses it for ids 4000 + index.
int FindUdfByName(BDS* ctx, const char* name, size_t length);

// Calls user-defined function `id` (4000 + index) with args[1..paramCount]. Call kind 0 a
// script call, 1 a dialog callback, 3 a COM event callback. Answers 1 (also when the body
// failed: nErrorCode tells), 0 when the call could not be made.
int CallUserFunction(BDS* ctx, uint32_t id, resultants* result, resultants* args,
                     const UdfNativeCallback* native, int callKind);

// Dialog procedures: calls the function `name` that has exactly 5 parameters with (dialog
// handle, event, value, 0, second value). Answers its integer result, or ~0 when there is
// no such function or it gave no integer.
int64_t CallUserFunctionByName(BDS* ctx, HWND dialog, const char* name, int32_t event,
                               const resultants* value, const resultants* second,
                               const UdfNativeCallback* native);

// IntControl 78: removes a user-defined function. 1 removed, 0 not found or refused (1606).
int DropUserFunction(BDS* ctx, const char* name);
// Removes every user-defined function; answers how many were freed (1665 while one runs).
int DropAllUserFunctions(BDS* ctx);

// IntControl requests of the run (72 cancel trap, 73 error trap, 78 removing functions):
// true when `request` is one of them (its answer is in result or nErrorCode).
bool RunIntControlRequest(BDS* ctx, resultants* result, int32_t request, const char* p1, const char* p2,
                          const char* p3);

// ---------------------------------------------------------------- scopes

// Lowest free slot 1-100 with a new zeroed table of `capacity` entries; 0 when none.
uint32_t TakeScopeSlot(BDS* ctx, uint16_t capacity);
int FreeScopeSlot(BDS* ctx, uint32_t slot);
// Frees the tables kept for reuse by ended scopes (engine tear-down).
void FreeSpareScopeTables(BDS* ctx);
int SwitchVarScope(BDS* ctx, uint32_t slot, ScopeSave* save);
int RestoreVarScope(BDS* ctx, const ScopeSave* save);

// The parse state of the statement that makes a call (parse position and current token):
// a body run in between reads lines of its own, so a call keeps the caller's and puts it
// back before the caller reads on.
struct ParseStateSave {
    char* prog;
    uint8_t tokenKind;
    uint16_t delimType;
    FrontState front;
    char token[TEXTBUF];
};
void SaveParseState(BDS* ctx, ParseStateSave* save);

// The run loop's line buffer (TEXTBUF bytes) for nesting level `level`, from the call
// pool; given back with GiveLineBuffer. Null when no memory could be had.
char* TakeLineBuffer(BDS* ctx, uint32_t level);
void GiveLineBuffer(BDS* ctx, uint32_t level, char* line);
// Frees the pooled buffers (engine tear-down).
void FreeCallPool(BDS* ctx);
void RestoreParseState(BDS* ctx, const ParseStateSave* save);

// What a call (of a user-defined function or of a script file) saves of its caller and
// puts back afterwards.
struct CallerState {
    HGLOBAL script;
    uint32_t errorOffset;
    uint16_t udfRunning;
    uint32_t inUdfBody;
    uint32_t depth;         // the structure stack is cut back to this depth
    int32_t errorMode;
    int32_t cancelMode;
    uint32_t singleStep;
    uint32_t traceState;
    uint32_t traceEvent;    // the calling statement's outcome kind, which the body overwrites
    uint32_t traceOutcome;
    int32_t ifState;
    uint32_t inLoop;
    uint16_t functionScope;
    RunSite* site;
};
// Saves the caller and clears what the called text runs without: the traps, the trace,
// single-stepping, the If state and the loop flag.
void SaveCaller(BDS* ctx, CallerState& s);
// Pops the frames above s.depth (a GoTo out of a loop leaves some) and puts the caller back.
void RestoreCaller(BDS* ctx, const CallerState& s);
// Pushes a call frame (SF_UDF_CALL or SF_SCRIPT_CALL) that records the caller; 3353 when
// the structure stack is full.
bool PushCallFrame(BDS* ctx, uint16_t kind, int callKind);

// ---------------------------------------------------------------- Call and param variables

// The Call built-in: args[1] the file name, args[2] the parameter line (ANSI or wide).
int CallScript(BDS* ctx, resultants* result, resultants* args);
// Runs a nested script text, `run(ctx, result, data)`, as Call does: one call level deeper,
// in a call frame of its own (3353 when the structure stack is full), with the caller's run
// state and parse position saved and put back; `path` names the text's file (null: none,
// the caller's source name stays). A nested run that failed with an error other than a
// cancel leaves 9013 (already shown). Answers 0 when the run could not start, else 1.
using NestedScriptRun = int (*)(BDS* ctx, resultants* result, void* data);
int RunNestedScript(BDS* ctx, resultants* result, const char* path, NestedScriptRun run, void* data);
int SetParamVars(BDS* ctx, const char* line);
int SetParamVarsW(BDS* ctx, const wchar_t* line);

// ---------------------------------------------------------------- lines and labels

// Replaces %name% references of ctx->pLine-style line text in place (the line buffer
// holds 2050 bytes). Answers 1 unchanged, 2 substituted, 0 error (nErrorCode set).
int SubstituteVariables(BDS* ctx, char* line);

// Finds ":label" in the script and sets *lineOffset to the label line's first-non-blank
// offset. Unless noCache, the statement at lineStart + stmtOffset becomes a cached jump.
// Answers 1 found, 0 error 3033 or 3032.
int FindGotoLabel(BDS* ctx, const char* label, uint32_t* lineOffset, uint32_t lineStart,
                  uint32_t stmtOffset, HGLOBAL script, uint32_t end, bool noCache);

// The running body's unscrambling key (0 in the main script or a Call'ed file).
uint8_t CurrentScriptKey(BDS* ctx);
