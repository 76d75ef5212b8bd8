// The engine context BDS: everything that belongs to one engine instance.
//
// The launcher allocates it as a movable, zero-initialised global memory block and every
// export locks it on entry. It must therefore stay a plain record: no constructors, no
// destructors, no owning C++ containers. State that needs them lives in blocks that
// operation 1 allocates and operation 99 frees, reached through pointers kept here.
#pragma once

#include <windows.h>
#include <cstdint>

#include "engine/core/value.h"
#include "engine/core/keyword.h"
#include "engine/core/heap.h"
#include "engine/core/run_state.h"
#include "engine/core/error_state.h"
#include "engine/core/engine_state.h"
#include "engine/files/file_table.h"
#include "engine/files/file_ops_state.h"
#include "engine/files/pipe_lock_state.h"
#include "engine/data/data_state.h"
#include "engine/data/array_state.h"
#include "engine/core/host_service_state.h"
#include "engine/core/front_state.h"
#include "engine/core/builtin_state.h"
#include "engine/native/host_call_state.h"
#include "engine/native/native_state.h"
#include "engine/ui/box_state.h"
#include "engine/ui/prompt_box_state.h"
#include "engine/dialog/dialog_state.h"
#include "engine/ui/window_ops_state.h"
#include "engine/dialog/classic_state.h"
#include "engine/core/var_hints.h"
#include "engine/core/cache_state.h"
#include "engine/files/registry_state.h"
#include "engine/system/logon_state.h"
#include "engine/core/trace_state.h"
#include "engine/system/system_state.h"
#include "engine/com/com_state.h"

struct ExtArgRecord;

// The host's command callback (Parent_ProcessCommand2 of the launcher).
using PfnParentCommand = int32_t (*)(HWND hwnd, HINSTANCE hInstance, uint32_t interfaceWord,
                                     int32_t code, void* answerFunction, void* answerContext,
                                     void* reserved, ExtArgRecord* args, int32_t count,
                                     ExtArgRecord* scratch);

constexpr int MAX_STRUCT_FRAMES = 100;
constexpr int MAX_UDFS = 512;
constexpr int UDF_BLOCKS = 32;
constexpr int TEXTBUF = 2050;
constexpr uint16_t UDF_NONE_RUNNING = 65535;

// Error modes.
enum : uint32_t { EM_OFF = 0, EM_CANCEL = 1, EM_NOTIFY = 2 };

struct BDS {
    // ---- shared fields, in their documented order
    VariableEntry* pVars;              // the locked variable table of the current scope
    PfnParentCommand pfnParentCommand; // host callback given to ProcessViRuvBuffer
    uint32_t nNextExtEntry;            // next free add-on table entry
    HGLOBAL hUdfBlocks[UDF_BLOCKS];
    UdfRecord* pUdfRecords[MAX_UDFS];
    char szTextBuf[TEXTBUF];
    char szWorkBuf[TEXTBUF];
    char szCurDir[TEXTBUF];
    char szErrorLine[TEXTBUF];
    char* pLine;                       // line buffer of the statement being run
    resultants resStatement;           // each statement's result
    uint32_t bSingleStep;
    HWND hwndOwner;
    HWND hwndParent;
    char szToken[TEXTBUF];
    uint8_t nTokenKind;                // TokenKind of the current token
    uint16_t delim_type;               // keyword id of the current token
    char* prog;                        // parse position in the current line
    HGLOBAL hSelf;
    HGLOBAL hVarTable;
    uint16_t nVarCapacity;
    uint16_t nVarUsed;
    uint32_t nCallLevel;
    uint32_t nHookFlags;               // 1 idle, 2 per line, 4 Call, 8 source file
    HINSTANCE hHostInstance;
    const KeywordRecord* pHostKeywords;
    uint16_t nErrorCode;               // 0 none, below 9000 an error, 9000 and up control codes
    char szSettingsSection[20];
    char szSettingsFile[20];
    char szProductName[20];
    uint32_t nRunEndCode;
    uint32_t nRunResult;
    uint32_t nErrorOffset;             // 0xFFFFFFFF until a statement has run
    HCURSOR hCursorCurrent;
    HCURSOR hCursorWait;
    HCURSOR hCursorArrow;
    uint32_t ErrorMode;
    uint32_t nLastError;
    uint32_t nErrorDetail;
    uint32_t bModalPump;
    uint32_t bCancel;
    uint32_t bCancelBox;
    TEXTMETRICA tmSystem;
    uint32_t bSounds;
    uint32_t bPrettyDialogs;
    uint32_t nControlFlags;            // IntControl 12 switches
    int32_t nDecimals;                 // -1 automatic, 0+ fixed, -2 "%g", -3 "%e"
    char* HeapBase;
    char* HeapBaseSaved;
    uint32_t nStructDepth;
    StructFrame aStructFrames[MAX_STRUCT_FRAMES];
    uint32_t nScriptFlags;             // 1 expand #include, 2 run a remaining #include as Call
    int32_t nUdfBlockTop;
    uint32_t nUdfCount;
    uint16_t nUdfRunning;
    uint32_t bInDefinition;
    uint32_t bSkipDefinition;
    uint32_t nUdfDepth;
    char szSourceFile[260];
    uint32_t bCancelRequest;
    uint32_t bInUdfBody;
    uint32_t nYieldMode;
    uint16_t nDeferredError;
    HGLOBAL hCurrentScript;
    ScopeSlot aScopes[MAX_SCOPES];
    uint32_t nScopeCurrent;
    uint32_t nScopeSerial;
    uint32_t nScopeCurrentSerial;
    uint32_t nScopeCurrentTick;
    uint32_t nCodePage;                // 0 = the ANSI code page

    // ---- private state of the subsystems
    HeapState heap;
    ErrorState err;
    RunState run;
    EngineState eng;
    FileTable files;
    DataState data;
    ArrayState arrays;
    FrontState front;
    BuiltinState builtins;
    HostCallState host;
    HostServiceState services;
    BoxState box;
    PromptBoxState prompt;
    WindowOpsState winops;
    FileOpsState fileops;
    PipeLockState pipeLock;
    VarHintState varHints;
    CacheState cache;
    RegistryState registry;
    LogonState logon;
    TraceState trace;
    DialogState dlg;
    SystemState sys;
    NativeState native;
    ComState com;
    ClassicState classic;
};

inline void SetError(BDS* ctx, uint16_t code) { ctx->nErrorCode = code; }
