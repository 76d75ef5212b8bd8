// The trace file and the single-step debugger.
//
// A script switches the trace on with DebugTrace; the statement runner then reports one
// event per statement: the line, its outcome and the error it ended with. The event of a
// statement is written once its outcome is known, right after it ran. Every write opens the
// file, appends and closes it again, so another program can read the file while the script
// runs; the pseudo name "*DEBUGDATA*" sends the text to the debugger output instead.
//
// The runner's cost while neither the trace nor the debugger is on is one flag test per
// statement (TraceWatching); everything else lives behind it.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/context.h"

struct RunSite;

constexpr char TRACE_DEBUG_OUTPUT_NAME[] = "*DEBUGDATA*";
// The handle TraceWrite takes for "*DEBUGDATA*".
#define TRACE_DEBUG_OUTPUT (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)))

// Outcome kinds of a statement (RunState::nTraceEvent).
enum : uint32_t {
    TEV_VALUE = 0, TEV_THEN_ELSE = 1, TEV_SKIPPED = 2, TEV_WHILE = 3, TEV_END = 4, TEV_SWITCH = 5,
    TEV_BREAK = 6, TEV_CONTINUE = 7, TEV_FOR = 8, TEV_GOSUB = 9, TEV_IF = 10, TEV_ELSE = 11,
    TEV_CASE = 12, TEV_UDF = 13, TEV_SCRIPT = 14, TEV_ELSEIF = 15,
};
// bTraceOutcome of TEV_GOSUB: a GoSub, a Return, or the GoSub of a handler.
enum : uint32_t { TRACE_RETURN = 0, TRACE_GOSUB = 1, TRACE_GOSUB_CANCEL = 2, TRACE_GOSUB_ERROR = 3 };

// WriteTraceEvent kinds.
enum : int {
    TRACE_KIND_STATEMENT = 1,   // the event of the statement just run
    TRACE_KIND_NORMAL_END = 2,
    TRACE_KIND_ERROR_END = 3,
    TRACE_KIND_STOP_END = 4,
    TRACE_KIND_ERROR_DUMP = 5,  // starts the trace as an error dump when it has not started
    TRACE_KIND_PLAIN = 6,       // a statement event without the function announcement
    TRACE_KIND_ERRORMODE = 7,
    TRACE_KIND_MESSAGE = 8,     // the message of the id given, as one line
};
constexpr int TRACE_WARN_STRUCTURE = 1;     // kinds 2-4: the structure stack is not empty

// ---------------------------------------------------------------- state tests

// The trace writes (a state set and a file named).
inline bool TraceIsOn(const BDS* ctx) { return ctx->trace.nTraceState && ctx->trace.szTraceFile[0]; }
// The full trace, statement by statement.
inline bool TraceIsFull(const BDS* ctx)
{
    return ctx->trace.nTraceState == TRACE_FULL && ctx->trace.szTraceFile[0] &&
           !(ctx->eng.ctl.TraceOptions & TRACE_OPT_ERRORS_ONLY);
}
// The statement runner's one test: the trace or the debugger wants the statement.
inline bool TraceWatching(const BDS* ctx) { return (ctx->trace.nTraceState | ctx->bSingleStep) != 0; }

// ---------------------------------------------------------------- writing

// Writes to an open trace file or, for TRACE_DEBUG_OUTPUT, to the debugger output.
void TraceWrite(HANDLE handle, const char* text, size_t length);

// Text gathered for one write; TraceFlush appends it to the named file (or sends it to the
// debugger output line by line). A file that cannot be opened loses the text silently.
struct TraceText {
    std::string text;
    void Line(const char* line = "");       // the line and CR LF
    void Add(const char* part) { text += part; }
    void Repeat(char c, int count);          // a line of `count` characters
};
void TraceFlush(BDS* ctx, const TraceText& out);

// "@OFF", "@CANCEL", "@NOTIFY" or "???".
const char* ErrorModeName(uint32_t mode);
// The local date and time as the TimeDate built-in writes it.
std::string TraceDateTime(BDS* ctx);

// A statement line as the trace shows it: the jumps the run loop cached in place of "goto "
// and "gosub" are written back and trailing blanks dropped; at most `size` - 1 bytes.
void TraceLineText(const char* line, char* out, size_t size);

// ---------------------------------------------------------------- events

// Writes an event (kinds above); answers 1. Does nothing while the trace is off.
int WriteTraceEvent(BDS* ctx, int kind, int flags);

// The statement runner's hooks, called while TraceWatching held before the statement.
// Before it while single-stepping: answers 0 when the debugger cancelled it. After it: the
// statement's event, and the end of the run when r is 0 or -1. (The statement that switches
// the trace on writes the trace's start itself.)
int TraceBeforeStatement(BDS* ctx, RunSite* site);
void TraceAfterStatement(BDS* ctx, RunSite* site, const resultants* value, int r);
// The normal end of a statement loop (the end of the text).
void TraceLoopEnd(BDS* ctx);

// A user-defined function (TEV_UDF) or a called script (TEV_SCRIPT) entered or left, under
// the trace state the caller ran with.
void TraceCallEvent(BDS* ctx, uint32_t callerState, uint32_t kind, bool entering, const char* name);

// The DebugTrace built-in; answers 1 when the trace was on before the call.
int DoDebugTrace(BDS* ctx, int mode, const char* p2, const char* p3);

// Clears the debugger's state of a run.
void ResetDebuggerRun(BDS* ctx);

// ---------------------------------------------------------------- the debugger

// Shows "DEBUG" before a statement; 1 runs it, 0 cancels it.
int OpenDebugDialog(BDS* ctx);
// The stop of the debugger when a user-defined function (TEV_UDF) or a called script
// (TEV_SCRIPT) is entered or left while single-stepping: the calling statement with the
// call's word as its outcome. Answers 0 when the debugger cancelled (the code is 9999).
int DebugCallStep(BDS* ctx, uint32_t kind, bool entering, const char* name);
// True when the debugger's Cancel ended the statement: the run ends without the cancel trap.
inline bool DebuggerCancelled(const BDS* ctx) { return ctx->trace.bDebugCancelled != 0; }
extern "C" INT_PTR CALLBACK DebugProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The outcome word of the statement just run (the debugger's item 11, the trace's line).
void TraceOutcomeText(BDS* ctx, const resultants* value, char* out, size_t size);
// The error line of a statement's error ("" for none); terminal picks the words of an
// error that ends the run.
void TraceErrorText(BDS* ctx, uint32_t code, bool terminal, char* out, size_t size);
