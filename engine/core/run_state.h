// Records of the run loop: the structure stack, the variable scopes, the user-defined
// functions and the run state kept in the context beyond the shared fields.
//
// All of them live inside BDS or in movable blocks the engine allocates, so they stay
// plain records: no constructors, no owning members.
#pragma once

#include <windows.h>
#include <cstdint>

struct resultants;
struct VariableEntry;
struct ParseStateSave;

// ---------------------------------------------------------------- structure stack

// Frame kinds that are not keyword ids.
enum : uint16_t {
    SF_IF = 10001,          // If, then branch
    SF_IF_ELSE = 10002,     // If after its Else
    SF_WHILE = 757,
    SF_FOR = 510,
    SF_FOREACH = 511,
    SF_SWITCH = 722,        // Switch and Select
    SF_GOSUB_FALSE = 29000, // GoSub; the If state to restore on Return: 0
    SF_GOSUB_TRUE = 29001,  //                                            1
    SF_GOSUB_NONE = 29003,  //                                            none
    SF_UDF_CALL = 29500,    // a user-defined function's call
    SF_SCRIPT_CALL = 355,   // the Call built-in (keyword id of `call`)
};

// Skip values of a frame.
enum : uint8_t {
    SKIP_NONE = 0,       // statements run
    SKIP_FALSE = 1,      // the test was false: skipped until Else, ElseIf or a matching Case
    SKIP_ALL = 2,        // the whole structure is passed over
    SKIP_CONTINUE = 4,   // Continue pending
    SKIP_BREAK = 8,      // Break pending
};

// One frame of the structure stack. For a Switch the 32-bit switch value is split over
// `resume` (high 16 bits) and `variable` (low 16 bits).
struct StructFrame {
    uint16_t kind;          // SF_* above
    uint8_t skip;           // SKIP_* above
    uint8_t savedInLoop;    // RunState::bInLoop when the frame was pushed
    uint32_t resume;        // position to jump back to (While line, `to` in the For line,
                            // ForEach line, GoSub return point)
    uint32_t linePos;       // position of the line that opened the structure
    uint16_t udfRunning;    // nUdfRunning when pushed (65535: main script)
    HGLOBAL script;         // the script buffer the line belongs to
    uint16_t variable;      // loop variable index (For, ForEach)
    uint16_t temporary;     // ForEach: temporary collection variable (0: none)
    uint16_t callKind;      // call frames: 0 script, 1 dialog callback, 3 COM event
    uint16_t returned;      // call frames: a `return` with a value ended the call
};

// The iteration state of a ForEach frame, one per frame index (and one spare).
// Where a walk of a COM text's items stands, so that each round reads on from the last item
// instead of counting the items from the start again (a walk of n items would cost n
// squared): the text as last read, told by its place, its length and a sample of its units,
// the number of items delivered and where the next one begins.
struct ItemCursor {
    const wchar_t* list;    // null: nothing read yet
    uint64_t units;
    uint32_t sample;
    int64_t delivered;
    uint64_t next;          // offset of the next item's first unit
    bool ended;             // the last item was delivered
};

// A loop's own walk of a COM collection: the enumerator that it took from the object and
// that object's IDispatch, both counted, or both null. Every loop walks with one of its
// own, so that loops nested over one collection (or over copies of it, which share the
// object) do not move or reset each other's walk; the object value's own enumerator is
// left to the ObjectCollection built-ins. CollectionForEachReset releases it.
struct ComWalk {
    IEnumVARIANT* enumerator;
    IDispatch* source;
};

struct ForEachState {
    char delimiter;         // item delimiter of a text collection
    uint32_t nextHash;      // a map walk: the key hash of the entry the position designates
    int64_t position;       // enumeration position, -1 before the first array element
    uint64_t savedText;     // heap offset of the collection expression's text (0: none)
    uint32_t fingerprint;   // element count of an array, ValueTextHash of a text
    int64_t mapStamp;       // a map walk: the identity stamp of the map walked
    ComWalk walk;           // a COM object's walk (released when the loop is left)
    // A text collection as last read (statement_foreach.cpp): the text's heap offset (0:
    // none) and width, its length in units, a sample of its units, its fingerprint, and for
    // a wide text its ANSI form (a heap offset of the state's own) where that form says it
    // exactly, so that a round reads none of it again while it is the same text.
    uint64_t textSeen;
    bool textWide;
    uint64_t textUnits;
    uint32_t textSample;
    uint32_t textFingerprint;
    uint64_t narrowCopy;
    uint64_t narrowLength;
    bool wideItems;         // a wide text that ANSI cannot say: its items are given wide
    wchar_t wideDelimiter;  // the delimiter as a wide character, for such a walk
    ItemCursor items;       // a COM text's walk
};

// ---------------------------------------------------------------- scopes

constexpr int MAX_SCOPES = 101;

// One of the 101 variable scopes; slot 0 is the main script. A null table is a free slot.
struct ScopeSlot {
    uint16_t slot;
    HGLOBAL hTable;
    uint32_t serial;
    uint32_t tick;
    uint16_t capacity;
    uint16_t used;
    uint16_t owner;         // 65535
    uint16_t lastAssigned;  // index of the variable last assigned
};

// What a caller keeps to come back from another scope. The caller's table stays locked
// while another scope is current, so coming back needs no new lock.
struct ScopeSave {
    uint32_t slot;
    HGLOBAL hTable;
    uint32_t serial;
    uint32_t tick;
    uint16_t capacity;
    VariableEntry* vars;    // the caller's locked table
    bool lockedHere;        // the switch locked the other table itself: coming back unlocks it
};

// ---------------------------------------------------------------- user-defined functions

constexpr int UDF_NAME_SIZE = 31;       // 30 characters and a NUL
constexpr int UDF_MAX_PARAMS = 16;
constexpr int UDF_PER_BLOCK = 16;

enum : uint32_t {
    UDF_KIND_FUNCTION = 2,  // #DefineFunction and #DefineSubroutine (keyword type KT_FUNCTION)
    UDF_KIND_COMMAND = 9,   // #DefineCommand (keyword type KT_COMMAND)
};

// One defined user-defined function; its keyword id is 4000 + its index.
struct UdfRecord {
    uint16_t paramCount;                // 0-16
    uint16_t nameLength;
    uint32_t kind;                      // UDF_KIND_*
    HGLOBAL hBody;                      // the body's own copy, scrambled; null: none
    const uint8_t* body;                // its bytes, locked while the record holds the body
    uint32_t bodyStart;                 // start of the body in the buffer it was defined in
    uint32_t bodyLength;                // bytes
    uint32_t callerScope;               // 0 #DefineFunction (fresh scope), 1 subroutine/command
    char name[UDF_NAME_SIZE];           // lower case
    char params[UDF_MAX_PARAMS][UDF_NAME_SIZE];
    char sourceFile[260];               // szSourceFile when it was defined
    resultants* args;                   // argument records of the running call, or null
    uint32_t assignTarget;              // assignment in progress inside this body:
                                        // (scope << 16) | variable index, 0 none
};

// ---------------------------------------------------------------- the current statement

struct CachedLine;

// Where the statement being run comes from: the run loop fills one per loop and publishes
// it in RunState::site while its statements run. Multi-line strings read their
// continuation lines through it and move `*pos` past them.
struct StatementPlan;
struct RunSite {
    HGLOBAL script;         // the scrambled buffer
    const uint8_t* base;    // its locked bytes
    uint32_t* pos;          // position of the next line to read
    uint32_t end;           // end offset of the text
    uint32_t lineStart;     // first-non-blank offset of the current line
    uint32_t stmtOffset;    // offset of the statement within the line buffer
    uint8_t key;            // unscrambling key (low byte of the running body's start)
    bool substituted;       // %substitution% changed the line (no cached jumps)
    char* line;             // the line buffer (2050 bytes)
    CachedLine* cached;     // what the tokenizer learnt about the line before, or null
    StatementPlan* plan;    // the running statement's plan (statement_plan.h), or null
    CachedLine* lastRead;   // the line the cache answered last here, and the cache's
    uint32_t lastReadGeneration;  // generation then (line_cache.cpp)
};

// Trap modes (IntControl 72 and 73).
enum : int32_t {
    TRAP_OFF = 0,
    TRAP_GOTO = 1,          // goto the label once
    TRAP_GOSUB = 2,         // gosub the label once
    TRAP_UDF = 3,           // call the named user-defined function
    TRAP_GOTO_ALWAYS = -1,  // goto the label every time (cancel trap)
};

constexpr int MAX_FOREACH_STATES = 101;
constexpr int SPARE_SCOPE_TABLES = 8;
constexpr int CALL_POOL = 32;   // nesting levels whose call buffers are kept for reuse

// Run-loop state kept in the context beyond the shared fields.
struct RunState {
    int32_t nIfState;               // 1 true, 0 false, -1 none
    uint32_t bInLoop;               // a While, For, ForEach or Switch is open at this level
    uint32_t nTraceEvent;           // what the last statement was (trace and debugger)
    uint32_t bTraceOutcome;
    uint16_t nErrorSaved;           // nErrorCode right after the last statement
    uint16_t nFunctionScope;        // mangling number of persistent names in this call
    uint32_t bGoOn;                 // the statement asks to go on whatever its result
    uint32_t bInExecute;            // an `execute` statement runs its text
    uint32_t bStatementTakesCommands;  // user-defined commands run when called
    uint32_t bValueUnused;          // the statement's assignment need not leave its value

    int32_t nErrorHandlerMode;      // TRAP_*
    int32_t nCancelHandlerMode;     // TRAP_*
    char szErrorHandlerUdf[32];
    char szCancelHandlerUdf[32];

    uint32_t nAssignTarget;         // assignment in progress in the main script, 0 none
    uint32_t nFailedAssignTarget;   // the target of this statement's failed assignment, 0 none
    uint32_t nForEachSerial;        // makes temporary collection names unique
    uint32_t bRunning;              // a run is in progress in this context

    RunSite* site;                  // the statement being run, or null
    HGLOBAL hSpareTables[SPARE_SCOPE_TABLES];     // zeroed tables of ended scopes, for reuse
    uint16_t spareCapacity[SPARE_SCOPE_TABLES];
    VariableEntry* spareVars[SPARE_SCOPE_TABLES]; // each kept locked
    VariableEntry* scopeVars[MAX_SCOPES];         // the locked table of each function scope
    char* lineBuffers[CALL_POOL];                 // the run loop's line buffer per nesting level
    ParseStateSave* parseSaves[CALL_POOL];        // a call's saved parse state per nesting level
    ForEachState forEach[MAX_FOREACH_STATES];

    uintptr_t stackFloor;           // the stack guard's floor (stack_guard.h) and the top of
    uintptr_t stackTop;             // the stack of the thread that it was computed for
};
