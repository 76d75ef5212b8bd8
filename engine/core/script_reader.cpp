// The line reader: reads one line at a time from a scrambled script buffer.
#include "engine/core/script.h"
#include "engine/core/errors.h"
#include "engine/core/runloop.h"

int ReadScriptLineLocked(BDS* ctx, char* line, size_t size, const uint8_t* base, uint32_t* firstNonBlank,
                         uint32_t* pos, uint32_t end, uint8_t key)
{
    uint32_t p = *pos;
    line[0] = 0;
    if (p >= end)
        return 0;
    size_t limit = size > 1 ? size - 1 : 0;
    if (limit > SCRIPT_LINE_MAX + 1)
        limit = SCRIPT_LINE_MAX + 1;
    size_t n = 0;
    bool started = false, ended = false, tooLong = false;
    uint32_t first = p;
    while (p < end) {
        uint8_t c = UnscrambleByte(base[p], p, key);
        ++p;
        if (c == '\n' || c == 26 || c == 0) {   // a stray NUL is passed over as a line end
            ended = true;
            if (!started)
                first = p - 1;
            break;
        }
        if (!started) {
            if (c == ' ' || c == '\t')
                continue;
            started = true;
            first = p - 1;
        }
        if (n < SCRIPT_LINE_MAX && n < limit) {
            line[n++] = static_cast<char>(c);
        } else if (n == SCRIPT_LINE_MAX && n < limit && c == ' ' && p < end &&
                   UnscrambleByte(base[p], p, key) == '\n') {
            line[n++] = ' ';     // the blank that line-end normalisation made of a CR
        } else {
            tooLong = true;     // the rest of the line is read and dropped
        }
    }
    *pos = p;
    if (!ended && n == 0 && !started)
        return 0;
    line[n] = 0;
    if (firstNonBlank)
        *firstNonBlank = first;
    if (tooLong && ctx)
        ctx->nDeferredError = 3722;
    return 1;
}

int ReadScriptLine(BDS* ctx, char* line, size_t size, HGLOBAL script, uint32_t* firstNonBlank, uint32_t* pos,
                   uint32_t end)
{
    const auto* base = static_cast<const uint8_t*>(GlobalLock(script));
    if (!base) {
        if (ctx)
            ReportError(ctx, nullptr, 111, 204, 13);
        return 0;
    }
    uint8_t key = ctx ? CurrentScriptKey(ctx) : 0;
    int r = ReadScriptLineLocked(ctx, line, size, base, firstNonBlank, pos, end, key);
    GlobalUnlock(script);
    return r;
}
