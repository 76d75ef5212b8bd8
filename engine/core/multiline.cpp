// Multi-line string literals: reading the literal over continuation lines of the script,
// the doubled ':' and '#', the continuation line reader and the marker search.
#include "engine/core/multiline.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/core/charclass.h"
#include "engine/core/errors.h"
#include "engine/core/evaluator.h"
#include "engine/core/text_length.h"
#include "engine/core/tokenizer.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/runloop.h"
#include "engine/core/script_permutation.h"

namespace {

constexpr size_t GROW_STEP = 8192;
constexpr size_t LINE_CHARS = TEXTBUF - 2;     // characters of a line before its LF
constexpr int MSG_MULTILINE_HINT = 9517;
constexpr char INCLUDE_MARK = 0x0B;
constexpr char COMMENT_MARK = 0x0C;

// The text being collected: on the stack while it is short, so a literal evaluated in a
// loop makes no system call; a longer one moves to private pages grown in steps.
struct TextBuffer {
    char local[GROW_STEP];
    char* data = local;
    size_t length = 0;
    size_t capacity = sizeof(local);

    TextBuffer() = default;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    ~TextBuffer()
    {
        if (data != local)
            VirtualFree(data, 0, MEM_RELEASE);
    }

    bool Reserve(size_t extra)
    {
        if (length + extra <= capacity)
            return true;
        size_t want = capacity + GROW_STEP;
        while (want < length + extra)
            want += GROW_STEP;
        auto* bigger = static_cast<char*>(VirtualAlloc(nullptr, want, MEM_COMMIT | MEM_RESERVE,
                                                       PAGE_READWRITE));
        if (!bigger)
            return false;
        std::memcpy(bigger, data, length);
        if (data != local)
            VirtualFree(data, 0, MEM_RELEASE);
        data = bigger;
        capacity = want;
        return true;
    }

    bool Put(const char* p, size_t n)
    {
        if (!Reserve(n))
            return false;
        std::memcpy(data + length, p, n);
        length += n;
        return true;
    }
};

// The buffer that holds the statement line when it is one continuation lines may replace.
char* StatementLineBuffer(BDS* ctx, RunSite* site)
{
    const char* prog = ctx->prog;
    for (char* line : {site ? site->line : nullptr, ctx->pLine})
        if (line && prog >= line && prog < line + TEXTBUF)
            return line;
    return nullptr;
}

// Removes the Then or Else that must begin a continuation line of a single-line Then or
// Else (and one blank or tab after it); false when the line does not begin with it.
bool StripPrefix(char* line, uint16_t keyword)
{
    const char* word = keyword == KID_THEN ? "then" : "else";
    char* p = line;
    while (*p == ' ' || *p == '\t')
        ++p;
    for (int i = 0; i < 4; ++i)
        if (LowerChar(p[i]) != word[i])
            return false;
    char* rest = p + 4;
    if (*rest == ' ' || *rest == '\t')
        ++rest;
    else if (*rest != '\n' && *rest != 0)
        return false;
    std::memmove(line, rest, TextLength(rest) + 1);
    return true;
}

void ReportBadCharacter(BDS* ctx, char bad)
{
    char hint[300];
    char text[600];
    LoadMyString(ctx, EngineModule(), MSG_MULTILINE_HINT, hint, sizeof(hint));
    if (bad)
        std::snprintf(text, sizeof(text), "'%c'\n%.255s", bad, hint);
    else
        std::snprintf(text, sizeof(text), "%.255s", hint);
    SetError(ctx, ERR_ML_BAD_CHARACTER);
    AppendExtendedError(ctx, text);
}

}  // namespace

int ParseMultilineString(BDS* ctx, resultants* result, RunSite* site)
{
    if (!site)
        site = ctx->run.site;
    if (result && !SetResultText(ctx, result, ""))
        return 0;
    char* lineBuffer = StatementLineBuffer(ctx, site);
    char saved[TEXTBUF];
    size_t savedProg = 0;
    if (lineBuffer) {
        std::memcpy(saved, lineBuffer, TEXTBUF);
        saved[TEXTBUF - 1] = 0;
        savedProg = static_cast<size_t>(ctx->prog - lineBuffer);
    }

    TextBuffer text;
    uint16_t pending = 0;       // an error noted while reading lines
    char bad = 0;               // the first single ':' or '#'
    bool badFound = false;
    bool closed = false;
    bool firstLine = true;
    bool lineStart = false;
    uint16_t prefix = ctx->front.nMultilinePrefix;
    char* p = ctx->prog;

    auto emit = [&](const char* s, size_t n) {
        if (!text.Put(s, n) && !pending)
            pending = ERR_LOCK_MEMORY;
    };

    for (;;) {
        char c = *p;
        if (c == 0) {
            if (firstLine) {
                emit("\n", 1);      // the statement line's own end
                firstLine = false;
            }
            if (!lineBuffer || !site || !site->base
                || !ReadContinuationLine(ctx, lineBuffer, TEXTBUF, site->base, site->pos, site->key,
                                         site->end, &pending))
                break;              // the script ended inside the literal
            if (prefix && !StripPrefix(lineBuffer, prefix) && !pending)
                pending = ERR_UNRECOGNIZED;
            p = lineBuffer;
            lineStart = true;
            continue;
        }
        if (lineStart) {
            lineStart = false;
            if (c == ';' && (p[1] == COMMENT_MARK || p[1] == INCLUDE_MARK)) {
                if (p[1] == INCLUDE_MARK && !badFound) {
                    badFound = true;
                    bad = '#';
                }
                p += TextLength(p);
                continue;
            }
        }
        if (IsLeadByte(c) && p[1]) {
            emit(p, 2);
            p += 2;
            continue;
        }
        if (c == ':' || c == '#') {
            if (p[1] == c) {
                emit(p, 1);
                p += 2;
            } else {
                if (!badFound) {
                    badFound = true;
                    bad = c;
                }
                ++p;
            }
            continue;
        }
        if (c == '$' && p[1] == '"') {
            p += 2;
            if (p[0] == '$' && p[1] == '"') {
                emit("$\"", 2);     // a doubled marker stands for one marker
                p += 2;
                continue;
            }
            closed = true;
            break;
        }
        if (c == ' ' && (p[1] == '\n' || (p[1] == 0 && firstLine))) {
            ++p;                    // the blank left of a CR LF line end
            continue;
        }
        emit(p, 1);
        ++p;
    }

    uint16_t error = 0;
    if (badFound)
        error = ERR_ML_BAD_CHARACTER;
    else if (pending)
        error = pending;
    else if (!closed)
        error = ERR_ML_UNCLOSED;

    if (!error && closed) {
        ctx->prog = p;
        if (char* lf = std::strchr(p, '\n'))
            *lf = 0;
        if (result && !SetResultText(ctx, result, text.data, text.length))
            error = ctx->nErrorCode;
        if (!error)
            return 1;
    }
    if (lineBuffer) {
        std::memcpy(lineBuffer, saved, TEXTBUF);
        ctx->prog = lineBuffer + savedProg;
    }
    if (error == ERR_ML_BAD_CHARACTER)
        ReportBadCharacter(ctx, bad);
    else if (!ctx->nErrorCode)
        SetError(ctx, error);
    return 0;
}

int ReadContinuationLine(BDS* ctx, char* line, size_t size, const uint8_t* script,
                         uint32_t* pos, uint8_t key, uint32_t end, uint16_t* pendingError)
{
    if (!script || size < 3)
        return 0;
    uint32_t p = *pos;
    size_t n = 0;
    size_t limit = size - 2 < LINE_CHARS ? size - 2 : LINE_CHARS;
    bool cut = false;
    bool any = false;
    while (p < end) {
        uint8_t b = UnscrambleByte(script[p], p, key);
        if (b == 0 || b == 26)
            break;
        ++p;
        any = true;
        if (b == '\n') {
            line[n++] = '\n';
            break;
        }
        if (n < limit) {
            line[n++] = static_cast<char>(b);
        } else if (!(b == ' ' && p < end && UnscrambleByte(script[p], p, key) == '\n')) {
            cut = true;
        }
    }
    *pos = p;
    if (!any)
        return 0;
    line[n] = 0;
    if (cut && pendingError && !*pendingError)
        *pendingError = ERR_LINE_TOO_LONG;
    if (std::strchr(line, '%')) {
        uint32_t flags = ctx->nScriptFlags;
        uint16_t error = ctx->nErrorCode;
        ctx->nScriptFlags &= ~2u;
        ctx->nErrorCode = 0;
        if (!SubstituteVariables(ctx, line) && pendingError && !*pendingError)
            *pendingError = ctx->nErrorCode;
        ctx->nErrorCode = error;
        ctx->nScriptFlags = flags;
    }
    return 1;
}

int FindMultilineMarker(BDS* ctx)
{
    char quote = 0;
    for (char* p = ctx->prog; *p; ++p) {
        char c = *p;
        if (IsLeadByte(c) && p[1]) {
            ++p;
            continue;
        }
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'' || c == '`') {
            quote = c;
        } else if (c == ';') {
            return 0;
        } else if (c == '$' && p[1] == '"') {
            ctx->prog = p + 2;
            return 1;
        }
    }
    return 0;
}
