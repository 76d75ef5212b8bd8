// The two entries that run a whole script: ProcessViRuvBuffer for the host's script text
// and RunScriptFile for a file run by the Call built-in.
#include "engine/core/script.h"
#include "engine/core/trace.h"
#include "engine/core/errors.h"
#include "engine/core/runloop.h"
#include "engine/core/run_services.h"
#include "engine/core/statement.h"

#include <cstring>

namespace {

// Shows a preparation failure of LoadIncludeFile in the error box; the script is not run.
void ReportIncludeFailure(BDS* ctx, int64_t r, const char* failedName)
{
    ctx->nErrorOffset = 0xFFFFFFFF;
    if (r == -1) {
        ReportError(ctx, nullptr, 111, 216, 13);
    } else if (r == -2) {
        ReportError(ctx, nullptr, 111, 218, 13);
    } else {
        lstrcpynA(ctx->szErrorLine, failedName, TEXTBUF);
        ReportError(ctx, nullptr, 1, 217, 13);
    }
}

// A movable block holding a copy of text (length bytes) and a NUL, or null.
HGLOBAL CopyToBlock(const char* text, size_t length)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (!h)
        return nullptr;
    char* p = static_cast<char*>(GlobalLock(h));
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    std::memcpy(p, text, length);
    p[length] = 0;
    GlobalUnlock(h);
    return h;
}

// Scrambles the prepared text of a block (its NUL included) and answers its length.
bool ScrambleBlock(BDS* ctx, HGLOBAL block, size_t length)
{
    auto* p = static_cast<uint8_t*>(GlobalLock(block));
    if (!p)
        return false;
    ScrambleBuffer(ctx, p, length + 1);
    GlobalUnlock(block);
    return true;
}

void ResetRunState(BDS* ctx, HWND window, PfnParentCommand hostCallback, const KeywordRecord* hostKeywords)
{
    HWND parent = window ? GetParent(window) : nullptr;
    ctx->hwndParent = parent ? parent : window;
    ctx->pHostKeywords = hostKeywords;
    ctx->pfnParentCommand = hostCallback;
    ctx->bCancel = 0;
    ctx->bCancelRequest = 0;
    ctx->hCursorCurrent = ctx->hCursorWait;
    ctx->bSingleStep = 0;
    ResetDebuggerRun(ctx);
    ctx->nStructDepth = 0;
    ctx->ErrorMode = EM_CANCEL;
    ctx->bModalPump = 0;
    ctx->err.handlerLine = -1;
    ctx->nLastError = 0;
    ctx->nCallLevel = 0;
    ctx->nUdfDepth = 0;
    ctx->bCancelBox = 1;
    ctx->nDeferredError = 0;
    ctx->bInDefinition = 0;
    ctx->bSkipDefinition = 0;
    ctx->bInUdfBody = 0;
    if (ctx->nUdfCount == 0)
        ctx->nUdfRunning = UDF_NONE_RUNNING;

    RunState& run = ctx->run;
    run.nIfState = -1;
    run.bInLoop = 0;
    run.site = nullptr;
    run.bInExecute = 0;
    run.nAssignTarget = 0;
    run.bStatementTakesCommands = 1;
}

void ShowCursor(BDS* ctx, HCURSOR cursor)
{
    ctx->hCursorCurrent = cursor;
    if (cursor)
        SetCursor(cursor);
}

}  // namespace

extern "C" int WINAPI ProcessViRuvBuffer(HWND window, HGLOBAL context, HGLOBAL script, PfnParentCommand hostCallback,
                                         const KeywordRecord* hostKeywords)
{
    if (!context || !script)
        return 0;
    auto* ctx = static_cast<BDS*>(GlobalLock(context));
    if (!ctx)
        return 0;
    ctx->hwndOwner = window;
    ctx->pfnParentCommand = hostCallback;     // the host hears of preparation failures too
    ctx->pHostKeywords = hostKeywords;

    char* text = static_cast<char*>(GlobalLock(script));
    if (!text) {
        GlobalUnlock(context);
        return 0;
    }
    size_t capacity = GlobalSize(script);
    auto* bytes = reinterpret_cast<uint8_t*>(text);
    size_t length;
    if (capacity >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        // A wide text ends at its first NUL unit.
        size_t units = 0;
        while (2 + 2 * units + 1 < capacity && (bytes[2 + 2 * units] | bytes[3 + 2 * units]))
            ++units;
        length = WideToAnsiBuffer(ctx, text, 2 + 2 * units);
        if (length == 0) {
            GlobalUnlock(script);
            GlobalUnlock(context);
            return 0;
        }
    } else {
        length = strnlen(text, capacity);
    }
    NormalizeLineEnds(text, length);

    // The run works on the host's block when the prepared text (and its NUL) fits there,
    // else on a block of its own; the host's block then loses its plain text.
    HGLOBAL run = script;
    HGLOBAL own = nullptr;
    if ((ctx->nScriptFlags & 1) && length > 0) {
        own = CopyToBlock(text, length);
        if (!own) {
            GlobalUnlock(script);
            ReportError(ctx, nullptr, 111, 216, 13);
            GlobalUnlock(context);
            return 0;
        }
        char failed[261] = "";
        int64_t r = LoadIncludeFile(ctx, &own, ctx->szSourceFile, nullptr, failed, 0);
        if (r <= 0) {
            GlobalFree(own);
            GlobalUnlock(script);
            ReportIncludeFailure(ctx, r, failed);
            GlobalUnlock(context);
            return 0;
        }
        length = static_cast<size_t>(r);
        if (length + 1 <= capacity) {
            const char* p = static_cast<const char*>(GlobalLock(own));
            std::memcpy(text, p, length + 1);
            GlobalUnlock(own);
            GlobalFree(own);
            own = nullptr;
        } else {
            SecureZeroMemory(text, capacity);
            run = own;
        }
    } else if (length + 1 > capacity) {
        own = CopyToBlock(text, length);
        SecureZeroMemory(text, capacity);
        if (!own) {
            GlobalUnlock(script);
            ReportError(ctx, nullptr, 111, 216, 13);
            GlobalUnlock(context);
            return 0;
        }
        run = own;
    }
    GlobalUnlock(script);
    if (!g_ScriptPermutation.built)
        BuildScriptPermutation();
    ScrambleBlock(ctx, run, length);

    ctx->pVars = static_cast<VariableEntry*>(GlobalLock(ctx->hVarTable));
    ctx->HeapBase = ctx->HeapBaseSaved;
    if (!ctx->pVars || !ctx->HeapBase) {
        if (ctx->pVars)
            GlobalUnlock(ctx->hVarTable);
        if (own)
            GlobalFree(own);
        GlobalUnlock(context);
        return 0;
    }
    ResetRunState(ctx, window, hostCallback, hostKeywords);

    WaitPumping(ctx, 20);
    PumpMessages(ctx);
    ShowCursor(ctx, ctx->hCursorWait);

    resultants result{};
    InitResultValue(ctx, &result, VK_RECORD, 0);
    uint32_t pos = 0, firstNonBlank = 0;
    ctx->run.bRunning = 1;
    FetchStatementLine(ctx, &result, run, static_cast<uint32_t>(length), &firstNonBlank, &pos);
    // Structures the script left open (it ended inside a loop) go with the run, and with
    // them what their loops hold: temporary collections and walks of COM objects.
    CutStack(ctx, 0);
    ctx->run.bRunning = 0;
    FreeValue(ctx, &result, 0, FREE_STATEMENT_RESULT);

    ShowCursor(ctx, ctx->hCursorArrow);
    WaitPumping(ctx, 20);
    PumpMessages(ctx);
    if (ctx->hCursorCurrent)
        SetCursor(ctx->hCursorCurrent);

    if (own) {
        if (ctx->hCurrentScript == own)
            ctx->hCurrentScript = nullptr;
        GlobalFree(own);
    }
    GlobalUnlock(ctx->hVarTable);
    GlobalUnlock(context);
    return 1;
}

int RunScriptFile(BDS* ctx, resultants* result, const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        lstrcpynA(ctx->szErrorLine, path, TEXTBUF);
        ReportError(ctx, nullptr, 1, 102, 13);
        return 0;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    if (size.QuadPart > 0x7FFFFFF0) {
        CloseHandle(file);
        ReportError(ctx, nullptr, 111, 203, 13);
        return 0;
    }
    size_t fileSize = static_cast<size_t>(size.QuadPart);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, fileSize + 2);
    if (!block) {
        CloseHandle(file);
        ReportError(ctx, nullptr, 111, 203, 13);
        return 0;
    }
    char* text = static_cast<char*>(GlobalLock(block));
    if (!text) {
        CloseHandle(file);
        GlobalFree(block);
        ReportError(ctx, nullptr, 111, 204, 13);
        return 0;
    }
    DWORD got = 0;
    bool readOk = fileSize == 0 || (ReadFile(file, text, static_cast<DWORD>(fileSize), &got, nullptr) && got == fileSize);
    CloseHandle(file);
    if (!readOk) {
        GlobalUnlock(block);
        GlobalFree(block);
        ReportError(ctx, nullptr, 111, 206, 13);
        return 0;
    }
    auto* bytes = reinterpret_cast<uint8_t*>(text);
    if (fileSize > 0 && bytes[0] >= 1 && bytes[0] <= 3 && !DecodeScriptBuffer(ctx, text, fileSize)) {
        GlobalUnlock(block);
        GlobalFree(block);
        return 0;
    }
    size_t length;
    if (fileSize >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        length = WideToAnsiBuffer(ctx, text, fileSize);
        if (length == 0) {
            GlobalUnlock(block);
            GlobalFree(block);
            ReportError(ctx, nullptr, 111, 215, 13);
            return 0;
        }
    } else {
        length = strnlen(text, fileSize);      // a NUL byte ends the text
    }
    text[length] = 0;
    NormalizeLineEnds(text, length);

    char folder[MAX_PATH] = "";
    lstrcpynA(folder, path, MAX_PATH);
    char* slash = std::strrchr(folder, '\\');
    if (slash)
        slash[1] = 0;
    else
        folder[0] = 0;
    GlobalUnlock(block);

    if ((ctx->nScriptFlags & 1) && length > 0) {
        char failed[261] = "";
        int64_t r = LoadIncludeFile(ctx, &block, path, folder, failed, 0);
        if (r <= 0) {
            GlobalFree(block);
            ReportIncludeFailure(ctx, r, failed);
            return 0;
        }
        length = static_cast<size_t>(r);
    }
    return RunScriptBlock(ctx, result, block, length);
}

int RunScriptBlock(BDS* ctx, resultants* result, HGLOBAL block, size_t length)
{
    if (!g_ScriptPermutation.built)
        BuildScriptPermutation();
    if (!ScrambleBlock(ctx, block, length)) {
        GlobalFree(block);
        ReportError(ctx, nullptr, 111, 204, 13);
        return 0;
    }
    uint32_t pos = 0, firstNonBlank = 0;
    int r = FetchStatementLine(ctx, result, block, static_cast<uint32_t>(length), &firstNonBlank, &pos);
    GlobalFree(block);
    return r;
}
