// The run loop: reads the statement lines of a scrambled script buffer, collects the
// #Define... blocks, substitutes %name% references, and hands each statement to the
// statement runner; also the label search with its cached jumps.
#include "engine/core/runloop.h"
#include "engine/core/charclass.h"
#include "engine/core/errors.h"
#include "engine/core/keyword_index.h"
#include "engine/core/line_cache.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/run_hooks.h"
#include "engine/core/run_services.h"
#include "engine/core/script.h"
#include "engine/core/short_text.h"
#include "engine/core/statement.h"
#include "engine/core/text_length.h"
#include "engine/core/trace.h"

#include <cstring>

namespace {

enum DirectiveKind { DIR_NONE, DIR_DEFINE, DIR_END };
enum DefineWhat { DEF_FUNCTION, DEF_SUBROUTINE, DEF_COMMAND };

bool MatchNoCase(const char* text, const char* word)
{
    size_t n = TextLength(word);
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (!c)
            return false;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        if (c != word[i])
            return false;
    }
    return true;
}

// Recognises "#DEFINE" or "#END" directly followed by FUNCTION, SUBROUTINE or COMMAND.
DirectiveKind ParseDirective(const char* line, DefineWhat* what, const char** rest)
{
    if (line[0] != '#')
        return DIR_NONE;
    DirectiveKind kind;
    const char* p;
    if (MatchNoCase(line, "#DEFINE")) {
        kind = DIR_DEFINE;
        p = line + 7;
    } else if (MatchNoCase(line, "#END")) {
        kind = DIR_END;
        p = line + 4;
    } else {
        return DIR_NONE;
    }
    if (MatchNoCase(p, "FUNCTION")) {
        *what = DEF_FUNCTION;
        *rest = p + 8;
    } else if (MatchNoCase(p, "SUBROUTINE")) {
        *what = DEF_SUBROUTINE;
        *rest = p + 10;
    } else if (MatchNoCase(p, "COMMAND")) {
        *what = DEF_COMMAND;
        *rest = p + 7;
    } else {
        return DIR_NONE;
    }
    return kind;
}

bool InnermostFrameSkips(BDS* ctx)
{
    return ctx->nStructDepth > 0 && ctx->aStructFrames[ctx->nStructDepth - 1].skip != 0;
}

// The loop's own failures are shown with the line and stop the run. They go to the error
// box only: the host's error hook hears of statement errors, from the statement runner.
void ReportLoopError(BDS* ctx, const char* line)
{
    lstrcpynA(ctx->szErrorLine, line, TEXTBUF);
    ReportError(ctx, nullptr, 1, ctx->nErrorCode, 13);
}

// Calls the host's per-line hook; false when it asks to stop.
bool PerLineHook(BDS* ctx, HGLOBAL script, uint32_t lineStart);

// Pumps when enough time has passed; answers false when the run is cancelled.
bool PumpAndPollCancel(BDS* ctx)
{
    PumpMessagesWhenDue(ctx);     // by elapsed time, never once per statement
    if (!ctx->bCancel)
        return true;
    if (ctx->bCancelRequest && ctx->bCancelBox && !(ctx->nControlFlags & 4)) {
        ReportError(ctx, nullptr, ctx->nErrorCode, 194, 13);
        ctx->bCancelRequest = 0;
    }
    return false;
}

// Closes a definition at its #End... line: the body is copied, still scrambled, into a
// block of its own whose last byte is the scrambled NUL for its end position.
bool StoreUdfBody(BDS* ctx, const uint8_t* base, uint32_t endLineBegin)
{
    UdfRecord* rec = UdfRecordAt(ctx, ctx->nUdfCount);
    if (!rec)
        return false;
    uint32_t start = rec->bodyStart;
    uint32_t length = endLineBegin > start ? endLineBegin - start : 0;
    HGLOBAL body = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    auto* p = body ? static_cast<uint8_t*>(GlobalLock(body)) : nullptr;
    if (!p) {
        if (body)
            GlobalFree(body);
        SetError(ctx, 1733);
        return false;
    }
    std::memcpy(p, base + start, length);
    p[length] = ScrambleByte(0, start + length);
    // The block stays locked while the record holds it: each call reads the body anew.
    rec->hBody = body;
    rec->body = p;
    rec->bodyLength = length;
    ++ctx->nUdfCount;
    KeywordTablesChanged(ctx);
    return true;
}

// Handles a #Define.../#End... line. Answers 1 handled, 0 error (nErrorCode set).
int HandleDirective(BDS* ctx, DirectiveKind kind, DefineWhat what, const char* rest, const uint8_t* base,
                    uint32_t nextPos, uint32_t lineBegin)
{
    if (kind == DIR_DEFINE) {
        if (ctx->bInDefinition) {
            SetError(ctx, what == DEF_FUNCTION ? 3623 : what == DEF_SUBROUTINE ? 3691 : 3230);
            return 0;
        }
        if (ctx->nUdfCount >= MAX_UDFS) {
            SetError(ctx, 3626);
            return 0;
        }
        if (!AllocUdfRecord(ctx, static_cast<int>(ctx->nUdfCount), what == DEF_COMMAND ? UDF_KIND_COMMAND
                                                                                         : UDF_KIND_FUNCTION)) {
            SetError(ctx, 1733);
            return 0;
        }
        UdfRecord* rec = UdfRecordAt(ctx, ctx->nUdfCount);
        ctx->bSkipDefinition = 0;
        int ok = what == DEF_COMMAND ? ParseCommandHeader(ctx, rest, rec) : ParseUdfHeader(ctx, rest, rec);
        if (!ok) {
            if (!ctx->nErrorCode)
                SetError(ctx, what == DEF_FUNCTION ? 3624 : what == DEF_SUBROUTINE ? 3692 : 3251);
            uint32_t kindWord = rec->kind;
            std::memset(rec, 0, sizeof *rec);
            rec->kind = kindWord;
            return 0;
        }
        if (!ctx->bSkipDefinition) {
            lstrcpynA(rec->sourceFile, ctx->szSourceFile, sizeof rec->sourceFile);
            rec->bodyStart = nextPos;
            rec->callerScope = what == DEF_FUNCTION ? 0 : 1;
        } else {
            std::memset(rec, 0, sizeof *rec);
        }
        ctx->bInDefinition = 1;
        return 1;
    }
    if (!ctx->bInDefinition) {
        SetError(ctx, what == DEF_FUNCTION ? 3625 : what == DEF_SUBROUTINE ? 3693 : 3403);
        return 0;
    }
    bool ok = true;
    if (!ctx->bSkipDefinition)
        ok = StoreUdfBody(ctx, base, lineBegin);
    ctx->bInDefinition = 0;
    ctx->bSkipDefinition = 0;
    return ok ? 1 : 0;
}

}  // namespace

uint8_t CurrentScriptKey(BDS* ctx)
{
    if (!ctx->bInUdfBody || ctx->nUdfRunning == UDF_NONE_RUNNING)
        return 0;
    UdfRecord* r = UdfRecordAt(ctx, ctx->nUdfRunning);
    return r ? static_cast<uint8_t>(r->bodyStart) : 0;
}

// ---------------------------------------------------------------- the loop

int FetchStatementLine(BDS* ctx, resultants* result, HGLOBAL script, uint32_t end, uint32_t* firstNonBlank,
                       uint32_t* pos)
{
    const auto* base = static_cast<const uint8_t*>(GlobalLock(script));
    int answer = RunLockedLines(ctx, result, script, base, end, firstNonBlank, pos);
    if (base)
        GlobalUnlock(script);
    return answer;
}

int RunLockedLines(BDS* ctx, resultants* result, HGLOBAL script, const uint8_t* base, uint32_t end,
                   uint32_t* firstNonBlank, uint32_t* pos)
{
    uint32_t level = ctx->cache.runDepth;
    char* line = TakeLineBuffer(ctx, level);
    if (!line || !base) {
        if (line)
            GiveLineBuffer(ctx, level, line);
        ReportError(ctx, nullptr, 111, 204, 13);
        return 0;
    }
    RunSite site{};
    site.script = script;
    site.base = base;
    site.pos = pos;
    site.end = end;
    site.key = CurrentScriptKey(ctx);
    site.line = line;
    RunSite* outerSite = ctx->run.site;
    char* outerLine = ctx->pLine;
    ctx->pLine = line;
    ++ctx->cache.runDepth;

    int answer = 1;
    bool loopError = false;     // a failure of the loop itself, shown at the end
    uint32_t lineBegin = 0;
    uint32_t lineStart = 0;
    // A line the cache knows is read from it; any other the slow way.
    auto readLine = [&]() -> bool {
        lineBegin = *pos;
        site.cached = ReadCachedLine(ctx, site, &lineStart);
        return site.cached || ReadScriptLineLocked(ctx, line, TEXTBUF, base, &lineStart, pos, end, site.key) != 0;
    };
    bool haveLine = readLine();
    while (haveLine) {
        if (line[0] == 0 || line[0] == ';') {
            if (line[0] == ';' && !site.cached) {
                site.lineStart = lineStart;
                KeepLine(ctx, site, lineBegin, *pos);   // passed over without reading next time
            }
            goto next;
        }

        if (ctx->nDeferredError && ctx->bInDefinition) {
            SetError(ctx, ctx->nDeferredError);
            loopError = true;
            break;
        }
        site.substituted = false;
        site.lineStart = lineStart;
        if (!site.cached)
            site.cached = KeepLine(ctx, site, lineBegin, *pos);
        if (site.cached && !ctx->bInDefinition && !ctx->nDeferredError) {
            // A kept line is neither a directive nor one with anything to substitute.
        } else if (!ctx->nDeferredError) {
            DefineWhat what;
            const char* rest;
            DirectiveKind kind = ParseDirective(line, &what, &rest);
            if (kind != DIR_NONE) {
                if (!HandleDirective(ctx, kind, what, rest, base, *pos, lineBegin)) {
                    loopError = true;
                    break;
                }
                goto next;
            }
            if (ctx->bInDefinition)
                goto next;
            int s = SubstituteVariables(ctx, line);
            if (s == 0) {
                if (!InnermostFrameSkips(ctx)) {
                    loopError = true;
                    break;
                }
                ctx->nErrorCode = 0;
            }
            site.substituted = s == 2;
        } else if (ctx->bInDefinition) {
            goto next;
        }

        site.stmtOffset = 0;
        if (line[0] == ':') {
            size_t i = 1;
            while (line[i] && line[i] != ' ' && line[i] != '\t')
                ++i;
            while (line[i] == ' ' || line[i] == '\t')
                ++i;
            if (line[i] == 0 || line[i] == ';')
                goto next;
            site.stmtOffset = static_cast<uint32_t>(i);
        }
        site.lineStart = lineStart;
        ctx->hCurrentScript = script;
        ctx->nErrorOffset = lineStart;

        if ((ctx->nHookFlags & 2) && !PerLineHook(ctx, script, lineStart)) {
            answer = 0;
            break;
        }

        {
            ctx->run.site = &site;
            int r = RunStatementGuarded(ctx, result, &site);
            ctx->run.site = outerSite;
            if (r != -1)
                FreeValue(ctx, result, 0, FREE_STATEMENT_RESULT);
            if (r != 1) {
                // Return and Exit end the script normally; anything else stopped it.
                answer = (r == -1 || ctx->nErrorCode == CC_STOP) ? 1 : 0;
                break;
            }
        }
        if (!PumpAndPollCancel(ctx)) {
            answer = 0;
            break;
        }
    next:
        haveLine = readLine();
    }

    if (!loopError && answer == 1 && ctx->bInDefinition && !haveLine) {
        SetError(ctx, ctx->nDeferredError ? ctx->nDeferredError : 3723);
        loopError = true;
    }
    if (loopError) {
        answer = 0;
        ctx->hCurrentScript = script;
        ReportLoopError(ctx, line);
        ctx->bInDefinition = 0;
        ctx->bSkipDefinition = 0;
    } else if (answer == 1) {
        if (!haveLine && TraceWatching(ctx))
            TraceLoopEnd(ctx);      // the text ran out: a normal end
        FreeValue(ctx, &ctx->resStatement, 0, FREE_STATEMENT_RESULT);
    }
    ctx->nRunResult = static_cast<uint32_t>(answer);
    ctx->nRunEndCode = ctx->nErrorCode;
    if (firstNonBlank)
        *firstNonBlank = lineStart;

    ctx->pLine = outerLine;
    ctx->run.site = outerSite;
    --ctx->cache.runDepth;
    GiveLineBuffer(ctx, level, line);
    return answer;
}

namespace {

bool PerLineHook(BDS* ctx, HGLOBAL script, uint32_t lineStart)
{
    uint32_t absolute = lineStart;
    if (ctx->bInUdfBody && ctx->nUdfRunning != UDF_NONE_RUNNING)
        if (UdfRecord* r = UdfRecordAt(ctx, ctx->nUdfRunning))
            absolute += r->bodyStart;
    uint8_t skip = ctx->nStructDepth ? ctx->aStructFrames[ctx->nStructDepth - 1].skip : 0;
    uint16_t owner = ctx->nScopeCurrent < MAX_SCOPES ? ctx->aScopes[ctx->nScopeCurrent].owner : 65535;
    CallHostLineHook(ctx, ctx->nUdfRunning != UDF_NONE_RUNNING ? "3" : "2", script, absolute, owner, skip);
    if (ctx->nErrorCode == CC_STOP_QUIET)
        return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- %substitution%

int SubstituteVariables(BDS* ctx, char* line)
{
    bool includeCall = (ctx->nScriptFlags & 2) && MatchNoCase(line, "#INCLUDE") &&
                       (line[8] == ' ' || line[8] == '\t') && TextLength(line) >= 10;
    if (!HasChar(line, '%') && !includeCall)
        return 1;

    char* out = ctx->szTextBuf;
    size_t n = 0;
    auto put = [&](const char* text, size_t length) -> bool {
        if (n + length > SCRIPT_LINE_MAX + 1)
            return false;
        std::memcpy(out + n, text, length);
        n += length;
        return true;
    };
    bool changed = false;
    for (size_t i = 0; line[i];) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (IsLeadByte(static_cast<char>(c)) && line[i + 1]) {
            if (!put(line + i, 2))
                goto tooLong;
            i += 2;
            continue;
        }
        if (c != '%') {
            if (!put(line + i, 1))
                goto tooLong;
            ++i;
            continue;
        }
        changed = true;
        if (line[i + 1] == '%') {
            if (!put("%", 1))
                goto tooLong;
            i += 2;
            continue;
        }
        size_t j = i + 1;
        char name[64];
        size_t k = 0;
        while (line[j]) {
            unsigned char d = static_cast<unsigned char>(line[j]);
            size_t step = IsLeadByte(static_cast<char>(d)) && line[j + 1] ? 2 : 1;
            if (step == 1 && !(IsAlnumChar(static_cast<char>(d)) || d == '@' || d == '_'))
                break;
            if (k + step > VARNAMESIZE) {
                SetError(ctx, 3047);
                return 0;
            }
            std::memcpy(name + k, line + j, step);
            k += step;
            j += step;
        }
        name[k] = 0;
        if (line[j] != '%') {
            SetError(ctx, 3048);
            return 0;
        }
        char value[TEXTBUF];
        uint16_t saved = ctx->nErrorCode;
        if (k > 0 && ValueToDisplayText(ctx, name, value, sizeof value)) {
            if (!put(value, TextLength(value)))
                goto tooLong;
        } else if (k > 0 && FindVarIndex(ctx, name) == 65535) {
            const char* special = nullptr;
            if (lstrcmpiA(name, "@crlf") == 0)
                special = "\r\n";
            else if (lstrcmpiA(name, "@tab") == 0)
                special = "\t";
            else if (lstrcmpiA(name, "@cr") == 0)
                special = "\r";
            else if (lstrcmpiA(name, "@lf") == 0)
                special = "\n";
            if (special && !put(special, TextLength(special)))
                goto tooLong;
        }
        ctx->nErrorCode = saved;
        i = j + 1;
    }
    out[n] = 0;

    if (includeCall) {
        // A #include line left in the text runs the file as a Call.
        const char* p = ctx->szTextBuf + 8;
        while (*p == ' ' || *p == '\t')
            ++p;
        char path[MAX_PATH + 1];
        size_t m = 0;
        for (; *p && m < MAX_PATH; ++p)
            if (*p != '"' && *p != '\'' && *p != '`')
                path[m++] = *p;
        while (m > 0 && (path[m - 1] == ' ' || path[m - 1] == '\t'))
            --m;
        path[m] = 0;
        char full[MAX_PATH * 2];
        full[0] = 0;
        bool relative = !(m >= 2 && path[0] == '\\' && path[1] == '\\') && !(m >= 3 && path[1] == ':');
        if (relative && ctx->szSourceFile[0]) {
            lstrcpynA(full, ctx->szSourceFile, MAX_PATH);
            char* slash = std::strrchr(full, '\\');
            if (slash) {
                slash[1] = 0;
                lstrcatA(full, path);
                if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES)
                    full[0] = 0;
            } else {
                full[0] = 0;
            }
        }
        if (!full[0])
            lstrcpynA(full, path, MAX_PATH);
        wsprintfA(ctx->szTextBuf, "Call(\"%s\", ``)", full);
        changed = true;
    }
    if (!changed)
        return 1;
    lstrcpynA(line, ctx->szTextBuf, TEXTBUF);
    return 2;

tooLong:
    SetError(ctx, 3101);
    return 0;
}

// ---------------------------------------------------------------- labels

int FindGotoLabel(BDS* ctx, const char* label, uint32_t* lineOffset, uint32_t lineStart, uint32_t stmtOffset,
                  HGLOBAL script, uint32_t end, bool noCache)
{
    char wanted[257];
    lstrcpynA(wanted, label, sizeof wanted);
    CharUpperA(wanted);
    size_t wantedLength = TextLength(wanted);

    auto* base = static_cast<uint8_t*>(GlobalLock(script));
    if (!base) {
        SetError(ctx, 3032);
        return 0;
    }
    uint8_t key = CurrentScriptKey(ctx);
    char* line = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, TEXTBUF));
    if (!line) {
        GlobalUnlock(script);
        SetError(ctx, 3032);
        return 0;
    }
    uint16_t savedDeferred = ctx->nDeferredError;
    uint32_t pos = 0, first = 0;
    bool inBody = false, found = false;
    while (ReadScriptLineLocked(ctx, line, TEXTBUF, base, &first, &pos, end, key)) {
        if (line[0] == '#') {
            if (MatchNoCase(line, "#DEFINEFUNCTION") || MatchNoCase(line, "#DEFINESUBROUTINE"))
                inBody = true;
            else if (MatchNoCase(line, "#ENDFUNCTION") || MatchNoCase(line, "#ENDSUBROUTINE"))
                inBody = false;
            continue;
        }
        if (inBody || line[0] != ':')
            continue;
        CharUpperA(line);
        if (std::strncmp(line + 1, wanted, wantedLength) != 0)
            continue;
        char after = line[1 + wantedLength];
        if (after == 0 || after == ' ' || after == '\t' || after == ';') {
            found = true;
            break;
        }
    }
    HeapFree(GetProcessHeap(), 0, line);
    ctx->nDeferredError = savedDeferred;
    if (!found) {
        GlobalUnlock(script);
        SetError(ctx, 3033);
        return 0;
    }
    *lineOffset = first;

    // Cache the jump in the statement's first five bytes (scrambled in place).
    uint32_t at = lineStart + stmtOffset;
    if (!noCache && first < (1u << 24) && at + 5 <= end) {
        DropCachedLine(ctx, script, lineStart, key);
        auto plain = [&](uint32_t p) { return UnscrambleByte(base[p], p, key); };
        uint8_t c0 = plain(at);
        if (c0 == 'G' || c0 == 'g') {
            uint8_t c2 = plain(at + 2);
            uint8_t bytes[5];
            bytes[0] = (c2 == 'T' || c2 == 't') ? 0x9F : 0x9E;
            for (int d = 0; d < 4; ++d)
                bytes[1 + d] = static_cast<uint8_t>(0x40 | ((first >> (18 - 6 * d)) & 0x3F));
            for (uint32_t d = 0; d < 5; ++d)
                base[at + d] = ScrambleByte(bytes[d], at + d + key);
        }
    }
    GlobalUnlock(script);
    ctx->bInDefinition = 0;
    ctx->nDeferredError = 0;
    return 1;
}
