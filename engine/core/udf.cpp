// User-defined functions: their records and headers, calls with their variable scopes,
// calls by name for dialog procedures, and removal.
#include "engine/com/com_value.h"
#include "engine/core/runloop.h"
#include "engine/core/text_length.h"
#include "engine/native/callbacks.h"
#include "engine/core/errors.h"
#include "engine/core/keyword_index.h"
#include "engine/core/run_hooks.h"
#include "engine/core/trace.h"
#include "engine/core/run_services.h"
#include "engine/core/short_text.h"
#include "engine/core/stack_guard.h"
#include "engine/core/statement.h"
#include "engine/data/array.h"

#include <cstring>
#include <emmintrin.h>

// ---------------------------------------------------------------- records

UdfRecord* UdfRecordAt(BDS* ctx, uint32_t index)
{
    return index < MAX_UDFS ? ctx->pUdfRecords[index] : nullptr;
}

int AllocUdfRecord(BDS* ctx, int index, uint32_t kind)
{
    if (index < 0 || index >= MAX_UDFS)
        return 0;
    int block = index / UDF_PER_BLOCK;
    if (!ctx->hUdfBlocks[block]) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(UdfRecord) * UDF_PER_BLOCK);
        if (!h)
            return 0;
        auto* records = static_cast<UdfRecord*>(GlobalLock(h));     // stays locked for the context's life
        if (!records) {
            GlobalFree(h);
            return 0;
        }
        ctx->hUdfBlocks[block] = h;
        for (int i = 0; i < UDF_PER_BLOCK; ++i)
            ctx->pUdfRecords[block * UDF_PER_BLOCK + i] = records + i;
        if (block > ctx->nUdfBlockTop)
            ctx->nUdfBlockTop = block;
    }
    UdfRecord* rec = ctx->pUdfRecords[index];
    std::memset(rec, 0, sizeof *rec);
    rec->kind = kind;
    return 1;
}

void FreeUdfBody(UdfRecord* rec)
{
    if (!rec->hBody)
        return;
    if (rec->body)
        GlobalUnlock(rec->hBody);
    GlobalFree(rec->hBody);
    rec->hBody = nullptr;
    rec->body = nullptr;
}

int FindUdfByName(BDS* ctx, const char* name, size_t length)
{
    if (length == 0 || length >= UDF_NAME_SIZE)
        return -1;
    for (uint32_t i = 0; i < ctx->nUdfCount && i < MAX_UDFS; ++i) {
        const UdfRecord* r = ctx->pUdfRecords[i];
        if (r && r->nameLength == length && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, r->name,
                                                           static_cast<int>(length), name,
                                                           static_cast<int>(length)) == CSTR_EQUAL)
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
const char* SkipBlanks(const char* p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}
bool AtEndOrComment(const char* p)
{
    p = SkipBlanks(p);
    return *p == 0 || *p == ';';
}

// Stores the name (lower case) and marks a repeated name as skipped.
bool TakeName(BDS* ctx, UdfRecord* rec, const char* name, size_t length)
{
    if (length == 0 || length > VARNAMESIZE)
        return false;
    std::memcpy(rec->name, name, length);
    rec->name[length] = 0;
    CharLowerBuffA(rec->name, static_cast<DWORD>(length));
    rec->nameLength = static_cast<uint16_t>(length);
    if (FindUdfByName(ctx, rec->name, length) >= 0)
        ctx->bSkipDefinition = 1;
    return true;
}

}  // namespace

int ParseUdfHeader(BDS* ctx, const char* text, UdfRecord* rec)
{
    rec->args = nullptr;
    const char* p = SkipBlanks(text);
    const char* start = p;
    while (*p && !IsBlank(*p) && *p != '(')
        ++p;
    if (!TakeName(ctx, rec, start, static_cast<size_t>(p - start)))
        return 0;
    p = SkipBlanks(p);
    if (*p != '(')
        return 0;
    p = SkipBlanks(p + 1);
    rec->paramCount = 0;
    if (*p == ')') {
        ++p;
    } else {
        for (;;) {
            p = SkipBlanks(p);
            const char* s = p;
            while (*p && !IsBlank(*p) && *p != ',' && *p != ')')
                ++p;
            size_t n = static_cast<size_t>(p - s);
            if (n == 0 || n > VARNAMESIZE || rec->paramCount >= UDF_MAX_PARAMS)
                return 0;
            std::memcpy(rec->params[rec->paramCount], s, n);
            rec->params[rec->paramCount][n] = 0;
            ++rec->paramCount;
            p = SkipBlanks(p);
            if (*p == ',') {
                ++p;
                continue;
            }
            if (*p == ')') {
                ++p;
                break;
            }
            return 0;
        }
    }
    return AtEndOrComment(p) ? 1 : 0;
}

int ParseCommandHeader(BDS* ctx, const char* text, UdfRecord* rec)
{
    rec->args = nullptr;
    const char* p = SkipBlanks(text);
    const char* start = p;
    while (*p && !IsBlank(*p) && *p != ';')
        ++p;
    if (!TakeName(ctx, rec, start, static_cast<size_t>(p - start)))
        return 0;
    rec->paramCount = 0;
    for (;;) {
        p = SkipBlanks(p);
        if (*p == 0 || *p == ';')
            return 1;
        const char* s = p;
        while (*p && !IsBlank(*p) && *p != ';')
            ++p;
        size_t n = static_cast<size_t>(p - s);
        if (n > VARNAMESIZE || rec->paramCount >= UDF_MAX_PARAMS)
            return 0;
        std::memcpy(rec->params[rec->paramCount], s, n);
        rec->params[rec->paramCount][n] = 0;
        ++rec->paramCount;
    }
}

// ---------------------------------------------------------------- scopes

uint32_t TakeScopeSlot(BDS* ctx, uint16_t capacity)
{
    for (uint32_t slot = 1; slot < MAX_SCOPES; ++slot) {
        ScopeSlot& s = ctx->aScopes[slot];
        if (s.hTable)
            continue;
        // A zeroed table of an ended scope is taken before a new one is made: a call of a
        // function would otherwise clear a whole table (MaxVars entries) every time. A
        // function's table stays locked while its slot lives, and while it waits for reuse.
        HGLOBAL h = nullptr;
        VariableEntry* vars = nullptr;
        for (int i = 0; i < SPARE_SCOPE_TABLES && !h; ++i) {
            if (ctx->run.hSpareTables[i] && ctx->run.spareCapacity[i] == capacity) {
                h = ctx->run.hSpareTables[i];
                vars = ctx->run.spareVars[i];
                ctx->run.hSpareTables[i] = nullptr;
                ctx->run.spareVars[i] = nullptr;
            }
        }
        if (!h) {
            h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(capacity) * sizeof(VariableEntry));
            vars = h ? static_cast<VariableEntry*>(GlobalLock(h)) : nullptr;
            if (h && !vars) {
                GlobalFree(h);
                h = nullptr;
            }
        }
        if (!h)
            return 0;
        ctx->run.scopeVars[slot] = vars;
        s.slot = static_cast<uint16_t>(slot);
        s.hTable = h;
        s.serial = ++ctx->nScopeSerial;
        s.tick = GetTickCount();
        s.used = 0;
        s.capacity = capacity;
        s.owner = 65535;
        s.lastAssigned = 0;
        return slot;
    }
    return 0;
}

int FreeScopeSlot(BDS* ctx, uint32_t slot)
{
    if (slot < 1 || slot >= MAX_SCOPES)
        return 0;
    ScopeSlot& s = ctx->aScopes[slot];
    if (s.hTable) {
        // The entries in use are cleared (their values were released by the caller) and
        // the table is kept, still locked, for the next scope when there is room.
        bool kept = false;
        VariableEntry* vars = ctx->run.scopeVars[slot];
        if (vars) {
            // Entry by entry, in 16-byte stores: a string instruction would cost more
            // to start than the few entries a call uses take to clear.
            uint32_t used = s.used < s.capacity ? s.used : s.capacity;
            static_assert(sizeof(VariableEntry) % 16 == 0);
            const __m128i zero = _mm_setzero_si128();
            for (uint32_t i = 0; i < used; ++i) {
                auto* entry = reinterpret_cast<__m128i*>(&vars[i]);
                for (size_t k = 0; k < sizeof(VariableEntry) / 16; ++k)
                    _mm_storeu_si128(entry + k, zero);
            }
            for (int i = 0; i < SPARE_SCOPE_TABLES && !kept; ++i) {
                if (!ctx->run.hSpareTables[i]) {
                    ctx->run.hSpareTables[i] = s.hTable;
                    ctx->run.spareCapacity[i] = s.capacity;
                    ctx->run.spareVars[i] = vars;
                    kept = true;
                }
            }
            if (!kept)
                GlobalUnlock(s.hTable);
        }
        if (!kept)
            GlobalFree(s.hTable);
    }
    ctx->run.scopeVars[slot] = nullptr;
    std::memset(&s, 0, sizeof s);
    return 1;
}

void FreeSpareScopeTables(BDS* ctx)
{
    for (int i = 0; i < SPARE_SCOPE_TABLES; ++i) {
        if (ctx->run.hSpareTables[i]) {
            GlobalUnlock(ctx->run.hSpareTables[i]);
            GlobalFree(ctx->run.hSpareTables[i]);
        }
        ctx->run.hSpareTables[i] = nullptr;
        ctx->run.spareVars[i] = nullptr;
        ctx->run.spareCapacity[i] = 0;
    }
}

int SwitchVarScope(BDS* ctx, uint32_t slot, ScopeSave* save)
{
    uint32_t current = ctx->nScopeCurrent;
    save->slot = current;
    save->hTable = ctx->hVarTable;
    save->serial = ctx->nScopeCurrentSerial;
    save->tick = ctx->nScopeCurrentTick;
    save->capacity = ctx->nVarCapacity;
    save->vars = ctx->pVars;     // stays locked: the caller comes back to it
    save->lockedHere = false;
    if (slot >= MAX_SCOPES || !ctx->aScopes[slot].hTable)
        return 0;
    if (current < MAX_SCOPES)
        ctx->aScopes[current].used = ctx->nVarUsed;
    ScopeSlot& s = ctx->aScopes[slot];
    ctx->nScopeCurrent = slot;
    ctx->hVarTable = s.hTable;
    ctx->nVarCapacity = s.capacity;
    ctx->nVarUsed = s.used;
    ctx->nScopeCurrentSerial = s.serial;
    ctx->nScopeCurrentTick = s.tick;
    // A function's table is held locked while its slot lives; another one is locked now.
    VariableEntry* held = slot > 0 ? ctx->run.scopeVars[slot] : nullptr;
    if (held) {
        ctx->pVars = held;
    } else {
        ctx->pVars = static_cast<VariableEntry*>(GlobalLock(s.hTable));
        save->lockedHere = ctx->pVars != nullptr;
    }
    return ctx->pVars ? 1 : 0;
}

int RestoreVarScope(BDS* ctx, const ScopeSave* save)
{
    if (ctx->nScopeCurrent < MAX_SCOPES)
        ctx->aScopes[ctx->nScopeCurrent].used = ctx->nVarUsed;
    if (save->lockedHere && ctx->hVarTable)
        GlobalUnlock(ctx->hVarTable);
    ctx->nScopeCurrent = save->slot;
    ctx->hVarTable = save->hTable;
    ctx->nVarCapacity = save->capacity;
    ctx->nScopeCurrentSerial = save->serial;
    ctx->nScopeCurrentTick = save->tick;
    ctx->nVarUsed = save->slot < MAX_SCOPES ? ctx->aScopes[save->slot].used : ctx->nVarUsed;
    ctx->pVars = save->vars ? save->vars : static_cast<VariableEntry*>(GlobalLock(save->hTable));
    return ctx->pVars ? 1 : 0;
}

// ---------------------------------------------------------------- calls

// The token's text alone is kept: what lies behind its NUL is never read.
void SaveParseState(BDS* ctx, ParseStateSave* save)
{
    save->prog = ctx->prog;
    save->tokenKind = ctx->nTokenKind;
    save->delimType = ctx->delim_type;
    save->front = ctx->front;
    size_t n = 0;
    while (n < TEXTBUF - 1 && ctx->szToken[n])
        ++n;
    CopyBytes(save->token, ctx->szToken, n);
    save->token[n] = 0;
}

void RestoreParseState(BDS* ctx, const ParseStateSave* save)
{
    NameMap* names = ctx->front.pNameMap;     // may have been made while the body ran
    ctx->prog = save->prog;
    ctx->nTokenKind = save->tokenKind;
    ctx->delim_type = save->delimType;
    ctx->front = save->front;
    ctx->front.pNameMap = names;
    size_t n = 0;
    while (n < TEXTBUF - 1 && save->token[n])
        ++n;
    CopyBytes(ctx->szToken, save->token, n);
    ctx->szToken[n] = 0;
}

// ---------------------------------------------------------------- the call pool
// The buffers of a call and of a run of lines are kept per nesting level and reused, so a
// call allocates nothing; levels beyond the pool take a buffer of their own each time.

namespace {

template <typename T>
T* TakePooled(T** pool, uint32_t level)
{
    if (level < CALL_POOL) {
        if (!pool[level])
            pool[level] = static_cast<T*>(HeapAlloc(GetProcessHeap(), 0, sizeof(T)));
        return pool[level];
    }
    return static_cast<T*>(HeapAlloc(GetProcessHeap(), 0, sizeof(T)));
}

template <typename T>
void GivePooled(T** pool, uint32_t level, T* buffer)
{
    if (buffer && (level >= CALL_POOL || pool[level] != buffer))
        HeapFree(GetProcessHeap(), 0, buffer);
}

struct LineBuffer {
    char text[TEXTBUF];
};

}  // namespace

char* TakeLineBuffer(BDS* ctx, uint32_t level)
{
    LineBuffer* buffer = TakePooled(reinterpret_cast<LineBuffer**>(ctx->run.lineBuffers), level);
    return buffer ? buffer->text : nullptr;
}

void GiveLineBuffer(BDS* ctx, uint32_t level, char* line)
{
    GivePooled(reinterpret_cast<LineBuffer**>(ctx->run.lineBuffers), level, reinterpret_cast<LineBuffer*>(line));
}

void FreeCallPool(BDS* ctx)
{
    for (int i = 0; i < CALL_POOL; ++i) {
        if (ctx->run.lineBuffers[i])
            HeapFree(GetProcessHeap(), 0, ctx->run.lineBuffers[i]);
        if (ctx->run.parseSaves[i])
            HeapFree(GetProcessHeap(), 0, ctx->run.parseSaves[i]);
        ctx->run.lineBuffers[i] = nullptr;
        ctx->run.parseSaves[i] = nullptr;
    }
}

void SaveCaller(BDS* ctx, CallerState& s)
{
    s.script = ctx->hCurrentScript;
    s.errorOffset = ctx->nErrorOffset;
    s.udfRunning = ctx->nUdfRunning;
    s.inUdfBody = ctx->bInUdfBody;
    s.depth = ctx->nStructDepth;
    s.errorMode = ctx->run.nErrorHandlerMode;
    s.cancelMode = ctx->run.nCancelHandlerMode;
    s.singleStep = ctx->bSingleStep;
    s.traceState = ctx->trace.nTraceState;
    s.traceEvent = ctx->run.nTraceEvent;
    s.traceOutcome = ctx->run.bTraceOutcome;
    s.ifState = ctx->run.nIfState;
    s.inLoop = ctx->run.bInLoop;
    s.functionScope = ctx->run.nFunctionScope;
    s.site = ctx->run.site;
    // The body runs without the caller's error trap, its trace and single-stepping; DebugTrace
    // 22 can give the outermost caller's trace state back afterwards. The cancel trap stays
    // armed: a cancel inside the body is handled there, and the body goes on when the
    // handler says so. Both traps are the caller's again afterwards.
    ctx->run.nErrorHandlerMode = TRAP_OFF;
    ctx->bSingleStep = 0;
    if (ctx->nUdfDepth + ctx->nCallLevel <= 1)
        ctx->trace.nTraceSavedState = s.traceState;
    ctx->trace.nTraceState = TRACE_OFF;
    ctx->run.nIfState = -1;
    ctx->run.bInLoop = 0;
}

void RestoreCaller(BDS* ctx, const CallerState& s)
{
    ctx->hCurrentScript = s.script;
    ctx->nErrorOffset = s.errorOffset;
    ctx->nUdfRunning = s.udfRunning;
    ctx->bInUdfBody = s.inUdfBody;
    // Frames the body left open (a GoTo out of a loop) go with it.
    CutStack(ctx, s.depth);
    ctx->run.nErrorHandlerMode = s.errorMode;
    ctx->run.nCancelHandlerMode = s.cancelMode;
    ctx->bSingleStep = s.singleStep;
    ctx->trace.nTraceState = s.traceState;
    ctx->run.nTraceEvent = s.traceEvent;
    ctx->run.bTraceOutcome = s.traceOutcome;
    ctx->run.nIfState = s.ifState;
    ctx->run.bInLoop = s.inLoop;
    ctx->run.nFunctionScope = s.functionScope;
    ctx->run.site = s.site;
}

bool PushCallFrame(BDS* ctx, uint16_t kind, int callKind)
{
    if (ctx->nStructDepth >= MAX_STRUCT_FRAMES) {
        SetError(ctx, 3353);
        return false;
    }
    StructFrame& f = ctx->aStructFrames[ctx->nStructDepth++];
    std::memset(&f, 0, sizeof f);
    f.kind = kind;
    f.callKind = static_cast<uint16_t>(callKind);
    f.udfRunning = ctx->nUdfRunning;
    f.savedInLoop = static_cast<uint8_t>(ctx->run.bInLoop);
    f.script = ctx->hCurrentScript;
    f.linePos = ctx->run.site ? ctx->run.site->lineStart : 0;   // the calling line, for tracebacks
    return true;
}

namespace {

// Releases every variable of the current (function) scope.
void ReleaseScopeVariables(BDS* ctx)
{
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
        if (ctx->pVars[i].flags)
            FreeValue(ctx, &ctx->pVars[i], static_cast<int>(i), VK_ARGUMENT);
}

}  // namespace

int CallUserFunction(BDS* ctx, uint32_t id, resultants* result, resultants* args, const UdfNativeCallback* native,
                     int callKind)
{
    uint32_t index = id - UDFSTART;
    UdfRecord* rec = UdfRecordAt(ctx, index);
    if (!rec || !rec->hBody) {
        SetError(ctx, 3627);
        return 0;
    }
    if (!StackRoomLeft(ctx))
        return 0;
    // While single-stepping the debugger stops at the entry; its Cancel ends the statement
    // before the body runs (the answer stays 1: the error code tells).
    if (ctx->bSingleStep && !DebugCallStep(ctx, TEV_UDF, true, rec->name))
        return 1;
    ++ctx->nUdfDepth;
    if (!PushCallFrame(ctx, SF_UDF_CALL, callKind)) {
        --ctx->nUdfDepth;
        return 0;
    }
    uint32_t frameIndex = ctx->nStructDepth - 1;
    bool ownScope = rec->callerScope == 0;
    uint32_t slot = 0;
    if (ownScope) {
        slot = TakeScopeSlot(ctx, ctx->nVarCapacity);
        if (!slot) {
            --ctx->nStructDepth;
            --ctx->nUdfDepth;
            SetError(ctx, 1672);
            return 0;
        }
    }

    // Equal bytes are the usual case and need no comparison by the locale.
    char savedSource[260];
    static_assert(sizeof rec->sourceFile == sizeof ctx->szSourceFile);
    bool otherSource = !SameTextIn(rec->sourceFile, ctx->szSourceFile, sizeof ctx->szSourceFile)
                       && lstrcmpiA(rec->sourceFile, ctx->szSourceFile) != 0;
    if (otherSource) {
        lstrcpynA(savedSource, ctx->szSourceFile, sizeof savedSource);
        lstrcpynA(ctx->szSourceFile, rec->sourceFile, sizeof ctx->szSourceFile);
        if (ctx->nHookFlags & 8)
            CallHostFileHook(ctx, ctx->szSourceFile, 1);
    }

    uint32_t level = ctx->nUdfDepth - 1;
    ParseStateSave* parse = TakePooled(ctx->run.parseSaves, level);
    if (!parse) {
        FreeScopeSlot(ctx, slot);
        --ctx->nStructDepth;
        --ctx->nUdfDepth;
        SetError(ctx, 1672);
        return 0;
    }
    SaveParseState(ctx, parse);
    CallerState caller;
    SaveCaller(ctx, caller);
    FreeValue(ctx, &ctx->resStatement, 0, FREE_STATEMENT_RESULT);
    InitResultValue(ctx, &ctx->resStatement, VK_RECORD, 0);
    ctx->nUdfRunning = static_cast<uint16_t>(index);
    ctx->bInUdfBody = 1;
    ctx->hCurrentScript = rec->hBody;
    char name[UDF_NAME_SIZE];       // kept for the trace: the body may remove the record
    name[0] = 0;
    if (caller.traceState || caller.singleStep)
        lstrcpynA(name, rec->name, sizeof name);
    if (caller.traceState)
        TraceCallEvent(ctx, caller.traceState, TEV_UDF, true, name);

    ScopeSave scope{};
    if (ownScope) {
        if (!SwitchVarScope(ctx, slot, &scope)) {
            RestoreVarScope(ctx, &scope);
            FreeScopeSlot(ctx, slot);
            RestoreCaller(ctx, caller);
            RestoreParseState(ctx, parse);
            GivePooled(ctx->run.parseSaves, level, parse);
            --ctx->nStructDepth;
            --ctx->nUdfDepth;
            SetError(ctx, 3673);
            return 0;
        }
        static const VariableEntry kCleared{};
        VariableEntry& zero = ctx->pVars[0];
        zero = kCleared;
        zero.i32 = -1;
        zero.flags = VF_UNINIT;
        ctx->nVarUsed = 1;
        ctx->run.nFunctionScope = static_cast<uint16_t>(slot);
    }

    bool bodyFailed = false;
    if (native && native->run) {
        native->run(ctx, result, native->argument);
    } else {
        // A function's own scope starts empty: its parameters are its first variables.
        for (uint32_t i = 1; i <= rec->paramCount && !ctx->nErrorCode; ++i) {
            bool made = args && (ownScope ? AddFreshVariable(ctx, rec->params[i - 1], &args[i])
                                          : SetVariableFromValue(ctx, rec->params[i - 1], &args[i]));
            if (!made && !ctx->nErrorCode)
                SetError(ctx, 3627);
        }
        if (ctx->nErrorCode) {
            bodyFailed = true;
        } else {
            rec->args = args;
            uint32_t pos = 0, first = 0;
            RunLockedLines(ctx, result, rec->hBody, rec->body, rec->bodyLength, &first, &pos);
            // The body may have removed a function defined before it, which moved its
            // record down one place: nUdfRunning follows the record, `index` does not.
            rec = UdfRecordAt(ctx, ctx->nUdfRunning);
            if (rec)
                rec->args = nullptr;
        }
    }

    if (ownScope) {
        // An array returned from the body outlives the scope's variables: the result
        // becomes one more holder of it.
        if ((result->flags & VF_ARRAY) && result->originVar != ORIGIN_NONE && ValueArray(result))
            AddArrayRef(ValueArray(result));
        // So does a COM value that still belongs to one of its variables: it becomes an
        // independent copy.
        if ((result->flags & VF_VARIANT) && result->originVar != ORIGIN_NONE) {
            ValueHead own{};
            if (VariantToValueCopy(ctx, result->flags, result, &own)) {
                result->var = own.var;
            } else {
                VariantInit(&result->var);
                result->flags &= ~(VF_VARIANT | VF_COMOBJ);
            }
        }
        ReleaseScopeVariables(ctx);
        ctx->aScopes[slot].used = ctx->nVarUsed;
        if (!RestoreVarScope(ctx, &scope) && !ctx->nErrorCode)
            SetError(ctx, 3673);
        FreeScopeSlot(ctx, slot);
    }
    if (result->originVar < ORIGIN_ELEMENT) {
        result->originVar = ORIGIN_NONE;
        result->originScope = 65535;
    }
    StructFrame& frame = ctx->aStructFrames[frameIndex];
    bool returned = frame.returned != 0;
    if (!returned && !(native && native->run)) {
        FreeValue(ctx, result, 0, VK_RECORD);
        InitResultValue(ctx, result, VK_RECORD, 0);
    }
    // Pop the call frame and whatever the body left above it. The caller's place is read
    // from its frame, which a removal of a function renumbers.
    caller.depth = frameIndex;
    caller.udfRunning = frame.udfRunning;
    if (caller.traceState)
        TraceCallEvent(ctx, caller.traceState, TEV_UDF, false, name);
    RestoreCaller(ctx, caller);
    RestoreParseState(ctx, parse);
    GivePooled(ctx->run.parseSaves, level, parse);
    --ctx->nUdfDepth;
    uint16_t code = ctx->nErrorCode;
    if (code != 0 && code != CC_STOP && code != CC_CANCEL) {
        ctx->nErrorCode = CC_UDF_REPORTED;
        ctx->nErrorDetail = CC_UDF_REPORTED;
        bodyFailed = true;
    }
    if (otherSource) {
        lstrcpynA(ctx->szSourceFile, savedSource, sizeof ctx->szSourceFile);
        if (ctx->nHookFlags & 8)
            CallHostFileHook(ctx, ctx->szSourceFile, bodyFailed ? -1 : 0);
    }
    if (ctx->bSingleStep)
        DebugCallStep(ctx, TEV_UDF, false, name);
    FreeValue(ctx, &ctx->resStatement, 0, FREE_STATEMENT_RESULT);
    InitResultValue(ctx, &ctx->resStatement, VK_RECORD, 0);
    return 1;
}

int64_t CallUserFunctionByName(BDS* ctx, HWND dialog, const char* name, int32_t event, const resultants* value,
                               const resultants* second, const UdfNativeCallback* native)
{
    if (!name || !IsCharAlphaA(name[0]))
        return ~0LL;
    int index = FindUdfByName(ctx, name, TextLength(name));
    UdfRecord* rec = index >= 0 ? UdfRecordAt(ctx, static_cast<uint32_t>(index)) : nullptr;
    if (!rec || rec->paramCount != 5 || rec->kind != UDF_KIND_FUNCTION)
        return ~0LL;

    resultants args[6]{};
    for (auto& a : args)
        InitResultValue(ctx, &a, VK_RECORD, 0);
    // Window handles keep their meaning in 32 bits: the procedure gets an integer it can
    // hand back to the dialog built-ins.
    SetResultInt(ctx, &args[1], static_cast<int32_t>(reinterpret_cast<INT_PTR>(dialog)));
    SetResultInt(ctx, &args[2], event);
    if (value)
        CopyValue(ctx, value, &args[3], 0, 0x200 | 0x20 | VK_RECORD);
    SetResultInt(ctx, &args[4], 0);
    if (second)
        CopyValue(ctx, second, &args[5], 0, 0x200 | 0x20 | VK_RECORD);

    HWND savedOwner = ctx->hwndOwner;
    ctx->hwndOwner = dialog;
    resultants result{};
    InitResultValue(ctx, &result, VK_RECORD, 0);
    int64_t answer = ~0LL;
    if (CallUserFunction(ctx, UDFSTART + static_cast<uint32_t>(index), &result, args, native, 1)) {
        uint16_t saved = ctx->nErrorCode;
        if (ValueToInteger(ctx, &result, true, false))
            answer = result.i32;
        if (!saved)
            ctx->nErrorCode = 0;
    }
    ctx->hwndOwner = savedOwner;
    FreeValue(ctx, &result, 0, VK_RECORD);
    for (auto& a : args)
        FreeValue(ctx, &a, 0, VK_RECORD);
    return answer;
}

int DropUserFunction(BDS* ctx, const char* name)
{
    int index = FindUdfByName(ctx, name, TextLength(name));
    if (index < 0)
        return 0;
    // Every running function is either the innermost one or the caller recorded in a
    // later call frame.
    bool running = ctx->nUdfRunning == static_cast<uint32_t>(index);
    for (uint32_t i = 0; !running && ctx->nUdfDepth > 0 && i < ctx->nStructDepth; ++i) {
        const StructFrame& f = ctx->aStructFrames[i];
        if ((f.kind == SF_UDF_CALL || f.kind == SF_SCRIPT_CALL) && f.udfRunning == static_cast<uint32_t>(index))
            running = true;
    }
    if (running) {
        SetError(ctx, 1606);
        return 0;
    }
    UdfRecord* rec = UdfRecordAt(ctx, static_cast<uint32_t>(index));
    FreeUdfBody(rec);
    for (uint32_t i = static_cast<uint32_t>(index); i + 1 < ctx->nUdfCount; ++i)
        std::memcpy(ctx->pUdfRecords[i], ctx->pUdfRecords[i + 1], sizeof(UdfRecord));
    std::memset(ctx->pUdfRecords[ctx->nUdfCount - 1], 0, sizeof(UdfRecord));
    --ctx->nUdfCount;
    KeywordTablesChanged(ctx);   // the ids above the removed function moved down
    // The running function and the callers kept in the frames move with their records.
    auto follow = [index](uint16_t& running) {
        if (running != UDF_NONE_RUNNING && running > static_cast<uint32_t>(index))
            --running;
    };
    follow(ctx->nUdfRunning);
    for (uint32_t i = 0; i < ctx->nStructDepth; ++i)
        follow(ctx->aStructFrames[i].udfRunning);
    CallbacksFollowDroppedFunction(ctx, static_cast<uint32_t>(index));
    return 1;
}

int DropAllUserFunctions(BDS* ctx)
{
    if (ctx->nUdfDepth > 0 || ctx->nUdfRunning != UDF_NONE_RUNNING) {
        SetError(ctx, 1665);
        return 0;
    }
    int freed = 0;
    for (uint32_t i = ctx->nUdfCount < MAX_UDFS ? ctx->nUdfCount : MAX_UDFS; i-- > 0;)
        CallbacksFollowDroppedFunction(ctx, i);
    for (uint32_t i = 0; i < ctx->nUdfCount && i < MAX_UDFS; ++i) {
        UdfRecord* rec = ctx->pUdfRecords[i];
        if (rec && rec->hBody) {
            FreeUdfBody(rec);
            ++freed;
        }
        if (rec)
            std::memset(rec, 0, sizeof *rec);
    }
    ctx->nUdfCount = 0;
    KeywordTablesChanged(ctx);
    return freed;
}
