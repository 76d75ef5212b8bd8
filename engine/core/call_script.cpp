// The Call built-in: runs a script file in the caller's variables with its parameter line
// split into the param variables.
#include "engine/core/runloop.h"
#include "engine/core/errors.h"
#include "engine/core/run_hooks.h"
#include "engine/core/trace.h"
#include "engine/core/script.h"
#include "engine/core/stack_guard.h"
#include "engine/files/file_text.h"

#include <cstring>
#include <string>

namespace {

// Index of the variable with exactly this (lower-case) name, 0 when there is none.
uint32_t LookupVariable(BDS* ctx, const char* name)
{
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
        if (ctx->pVars[i].flags && std::strcmp(ctx->pVars[i].name, name) == 0)
            return i;
    return 0;
}

void RemoveVariable(BDS* ctx, uint32_t index)
{
    VariableEntry& v = ctx->pVars[index];
    FreeValue(ctx, &v, static_cast<int>(index), VK_ARGUMENT);
    v.flags = 0;
    v.name[0] = 0;
    if (index + 1 == ctx->nVarUsed)
        --ctx->nVarUsed;
}

// Clears the param variables of a previous parameter line.
void ClearParamVars(BDS* ctx)
{
    int32_t old = 0;
    if (uint32_t i = LookupVariable(ctx, "param0"); i && (ctx->pVars[i].flags & VF_INT))
        old = ctx->pVars[i].i32;
    SetVariableByName(ctx, "param0", nullptr, 0, SV_INT);
    char name[32];
    for (int32_t k = old; k >= 1; --k) {
        wsprintfA(name, "param%d", k);
        if (uint32_t i = LookupVariable(ctx, name))
            RemoveVariable(ctx, i);
    }
}

// Splits a parameter line into words; quoted parts (" ' `) are taken literally, a doubled
// quote inside gives one quote, and a quoted part joins its neighbours into one word.
template <typename Char>
void SplitWords(const Char* line, void (*emit)(BDS*, int, const std::basic_string<Char>&), BDS* ctx, int* count)
{
    const Char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        std::basic_string<Char> word;
        while (*p && *p != ' ' && *p != '\t') {
            Char q = *p;
            if (q == '"' || q == '\'' || q == '`') {
                ++p;
                while (*p) {
                    if (*p == q) {
                        if (p[1] == q) {
                            word.push_back(q);
                            p += 2;
                            continue;
                        }
                        ++p;
                        break;
                    }
                    word.push_back(*p++);
                }
                continue;
            }
            word.push_back(*p++);
        }
        ++*count;
        emit(ctx, *count, word);
    }
}

void EmitNarrow(BDS* ctx, int k, const std::string& word)
{
    char name[32];
    wsprintfA(name, "param%d", k);
    SetVariableByName(ctx, name, word.c_str(), 0, SV_STRING);
}

void EmitWide(BDS* ctx, int k, const std::wstring& word)
{
    char name[32];
    wsprintfA(name, "param%d", k);
    SetVariableByName(ctx, name, word.c_str(), 0, SV_WIDE);
}

// The file the Call names, by the engine's file search; false when it does not exist.
bool FindScriptFile(const char* name, char* path, size_t size)
{
    if (!name || !*name)
        return false;
    char full[MAX_PATH];
    DWORD attributes = GetFullPathNameA(name, MAX_PATH, full, nullptr) ? GetFileAttributesA(full)
                                                                       : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        lstrcpynA(path, full, static_cast<int>(size));
        return true;
    }
    bool hasDirectory = std::strchr(name, '\\') || std::strchr(name, '/') || std::strchr(name, ':');
    if (hasDirectory)
        return false;
    DWORD n = SearchPathA(nullptr, name, nullptr, static_cast<DWORD>(size), path, nullptr);
    return n > 0 && n < size;
}

}  // namespace

int SetParamVars(BDS* ctx, const char* line)
{
    ClearParamVars(ctx);
    int count = 0;
    try {
        SplitWords<char>(line ? line : "", EmitNarrow, ctx, &count);
    } catch (...) {
        SetError(ctx, 1588);
    }
    SetVariableByName(ctx, "param0", nullptr, count, SV_INT);
    return count;
}

int SetParamVarsW(BDS* ctx, const wchar_t* line)
{
    ClearParamVars(ctx);
    int count = 0;
    try {
        SplitWords<wchar_t>(line ? line : L"", EmitWide, ctx, &count);
    } catch (...) {
        SetError(ctx, 1588);
    }
    SetVariableByName(ctx, "param0", nullptr, count, SV_INT);
    return count;
}

int RunNestedScript(BDS* ctx, resultants* result, const char* path, NestedScriptRun run, void* data)
{
    ++ctx->nCallLevel;
    if (!StackRoomLeft(ctx)) {
        --ctx->nCallLevel;
        return 0;
    }
    auto* parse = static_cast<ParseStateSave*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ParseStateSave)));
    if (!parse) {
        --ctx->nCallLevel;
        SetError(ctx, 1672);
        return 0;
    }
    if (!PushCallFrame(ctx, SF_SCRIPT_CALL, 0)) {
        HeapFree(GetProcessHeap(), 0, parse);
        --ctx->nCallLevel;
        return 0;
    }
    uint32_t frameIndex = ctx->nStructDepth - 1;

    char savedSource[260];
    lstrcpynA(savedSource, ctx->szSourceFile, sizeof savedSource);
    if (path)
        lstrcpynA(ctx->szSourceFile, path, sizeof ctx->szSourceFile);
    if (path && (ctx->nHookFlags & 8))
        CallHostFileHook(ctx, path, 1);
    if (ctx->nHookFlags & 4)
        CallHostCallHook(ctx, ctx->nCallLevel, 1);

    // While single-stepping the debugger stops before the text runs; its Cancel ends the
    // statement without running it.
    const char* traced = path ? path : "";
    bool cancelled = ctx->bSingleStep && !DebugCallStep(ctx, TEV_SCRIPT, true, traced);

    // The text runs from its own buffer without the caller's traps.
    CallerState caller;
    SaveCaller(ctx, caller);
    ctx->bInUdfBody = 0;
    if (caller.traceState)
        TraceCallEvent(ctx, caller.traceState, TEV_SCRIPT, true, traced);

    SaveParseState(ctx, parse);
    int r = 0;
    if (cancelled)
        ctx->nErrorCode = CC_CANCEL;
    else
        r = run(ctx, result, data);
    RestoreParseState(ctx, parse);
    HeapFree(GetProcessHeap(), 0, parse);

    StructFrame& frame = ctx->aStructFrames[frameIndex];
    if (!frame.returned) {
        FreeValue(ctx, result, 0, VK_RECORD);
        InitResultValue(ctx, result, VK_RECORD, 0);
    }
    caller.depth = frameIndex;
    caller.udfRunning = frame.udfRunning;
    if (caller.traceState)
        TraceCallEvent(ctx, caller.traceState, TEV_SCRIPT, false, traced);
    RestoreCaller(ctx, caller);
    lstrcpynA(ctx->szSourceFile, savedSource, sizeof ctx->szSourceFile);
    --ctx->nCallLevel;

    bool failed = r == 0;
    if (failed && ctx->nErrorCode != 0 && ctx->nErrorCode != CC_CANCEL) {
        ctx->nErrorCode = CC_ALREADY_SHOWN;
        ctx->nErrorDetail = CC_ALREADY_SHOWN;
    }
    if (path && (ctx->nHookFlags & 8))
        CallHostFileHook(ctx, ctx->szSourceFile, failed ? -1 : 0);
    if (ctx->nHookFlags & 4)
        CallHostCallHook(ctx, ctx->nCallLevel + 1, failed ? 0 : 1);
    if (ctx->bSingleStep)
        DebugCallStep(ctx, TEV_SCRIPT, false, traced);
    return 1;
}

namespace {

int RunFile(BDS* ctx, resultants* result, void* path)
{
    return RunScriptFile(ctx, result, static_cast<const char*>(path));
}

}  // namespace

int CallScript(BDS* ctx, resultants* result, resultants* args)
{
    if (args[2].flags & VF_UNICODE)
        SetParamVarsW(ctx, ValueWText(ctx, &args[2]));
    else
        SetParamVars(ctx, ValueText(ctx, &args[2]));
    if (ctx->nErrorCode)
        return 0;
    // Script files are run by ANSI name: a name that came wide keeps its letters outside the
    // code page only in its wide form, so that one is taken, in its short form where needed.
    std::string name = (args[1].flags & VF_UNICODE) ? PathForAnsiUse(ValueWText(ctx, &args[1]))
                                                    : std::string(ValueText(ctx, &args[1]));
    char path[MAX_PATH];
    if (!FindScriptFile(name.c_str(), path, sizeof path)) {
        SetError(ctx, 1400);
        return 0;
    }
    return RunNestedScript(ctx, result, path, RunFile, path);
}
