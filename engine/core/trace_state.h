// Trace and single-step debugger state kept in the context. The trace's option bits live
// with the other IntControl switches (ControlSettings::TraceOptions) because IntControl 71
// changes them too; single stepping itself is BDS::bSingleStep.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int TRACE_TEXT_SIZE = 1281;        // one event word or error line
constexpr int TRACE_LINE_SIZE = 2050;        // a statement line
constexpr int TRACE_FILE_SIZE = 260;

// nTraceState values.
enum : uint32_t {
    TRACE_OFF = 0,
    TRACE_FULL = 1,          // every statement
    TRACE_ERRORS = 2,        // only the error that ends a run
};

// Option bits (ControlSettings::TraceOptions).
enum : uint32_t {
    TRACE_OPT_NO_TIMES = 1,     // no elapsed-time prefixes (DebugTrace 104)
    TRACE_OPT_ERRORS_ONLY = 2,  // errors only also in the full state (DebugTrace 102)
    TRACE_OPT_KEYWORDS = 4,     // every keyword lookup writes its dump (DebugTrace 103)
};

struct TraceState {
    uint32_t nTraceState;
    char szTraceFile[TRACE_FILE_SIZE];      // full path, or "*DEBUGDATA*"; empty: none named
    uint32_t nTraceStartTick;               // 0: the next event writes a new header
    uint32_t nTraceSavedState;              // restored by DebugTrace 22
    uint16_t nUdfAnnounced;                 // the function whose name was last written

    // ---- the single-step debugger
    RECT rcDebug;                           // where the dialog was last
    uint32_t bDebugRect;
    uint32_t bDebugShown;                   // the dialog was shown in this run
    uint32_t bDebugLocked;                  // Debug(-1): no stepping for the rest of the run
    uint32_t bStepped;                      // the statement being run was shown already
    uint32_t bDebugCancelled;               // Cancel was pressed: the run ends, no trap takes it
    char szTraceLine[TRACE_LINE_SIZE];      // the statement just run
    char szTraceOutcome[TRACE_TEXT_SIZE];   // its outcome word
    char szTraceError[TRACE_TEXT_SIZE];     // the error it ended with, or empty
    char szNextStatement[TRACE_LINE_SIZE];  // the statement about to run
    char szShowVar[TRACE_TEXT_SIZE];        // the last Show Var text
};
