// The line cache (see line_cache.h): cached lines found by their buffer, position and key,
// each with the scrambled bytes that tell it is still the same line and the tokens
// learnt so far, in the order of their offsets.
#include "engine/core/line_cache.h"

#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/compiled_expr.h"
#include "engine/core/keyword_index.h"
#include "engine/core/numtext.h"
#include "engine/core/script_permutation.h"
#include "engine/core/statement_plan.h"
#include "engine/core/text_length.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr uint32_t BUCKETS = 1024;          // a power of two
constexpr uint32_t MAX_LINES = 8192;        // beyond it the cache starts again empty
constexpr uint32_t MAX_TOKENS = 48;
constexpr uint32_t MIN_TOKENS = 4;

}  // namespace

struct CachedLine {
    CachedLine* next;           // the bucket's chain
    HGLOBAL script;
    uint32_t lineBegin;         // where the line is read from (its leading blanks included)
    uint32_t lineStart;         // its first non-blank byte
    uint8_t key;
    uint32_t stamp;             // the keyword tables' stamp of the keyword ids
    uint32_t hostEpoch;         // ctx->host.nHostEpoch when the stamp was last confirmed
    uint32_t udfCount;          // ctx->nUdfCount then
    uint32_t byteCount;         // scrambled bytes from lineBegin up to the next line
    uint16_t lineLength;        // characters of the line as read
    uint16_t capacity;          // tokens that fit
    uint16_t count;             // tokens known
    uint16_t cursor;            // where the next token is looked for first
    bool comment;               // a comment or marker line: the run loop passes over it
    CachedToken* tokens;        // capacity records, then byteCount bytes, then the masked text
    uint8_t* bytes;
    uint8_t* masked;            // the line's text XOR the table's pad (none for a comment line)
    CompiledExpr* exprs;        // expressions compiled from the tokens (freed with the line)
    StatementPlan plans[2];     // the statements it starts (statement_plan.h): most lines one,
                                // a single-line If another after its Then
    CachedLine* follow;         // the line read after this one last time (a loop's next line,
    uint32_t followGeneration;  // the jump back), valid while the generation is unchanged
};

constexpr uint32_t PAD_WORDS = 32;     // a power of two

struct LineCacheTable {
    CachedLine* buckets[BUCKETS];
    // The text of a kept line is kept masked by this pad, made anew for every table: it
    // is never in memory in plain form, and unmasking it takes a word at a time where
    // unscrambling takes a table look-up per byte.
    uint64_t pad[PAD_WORDS];
    uint32_t lines;
    CachedLine* retired;        // lines no longer found, which a running statement may still read
    uint32_t generation;        // moves on whenever a line is retired: a line pointer kept from
                                // the same generation still points at a line in the table
};

namespace {

uint32_t BucketOf(HGLOBAL script, uint32_t lineBegin, uint8_t key)
{
    auto h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(script)) * 0x9E3779B97F4A7C15ull;
    h ^= (static_cast<uint64_t>(lineBegin) << 8 | key) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<uint32_t>(h >> 40) & (BUCKETS - 1);
}

void FreeChain(CachedLine*& head)
{
    while (head) {
        CachedLine* next = head->next;
        FreeCompiledExprs(head->exprs);
        HeapFree(GetProcessHeap(), 0, head);
        head = next;
    }
}

// A line that is no longer found goes with the retired ones: a statement that was
// running on it (in an outer run, around a call) still reads its tokens, which are those
// of the text that statement read.
void Retire(LineCacheTable* table, uint32_t bucket, CachedLine* line)
{
    for (CachedLine** p = &table->buckets[bucket]; *p; p = &(*p)->next) {
        if (*p == line) {
            *p = line->next;
            line->next = table->retired;
            table->retired = line;
            --table->lines;
            ++table->generation;
            return;
        }
    }
}

void RetireAll(LineCacheTable* table)
{
    ++table->generation;
    for (CachedLine*& head : table->buckets) {
        while (head) {
            CachedLine* next = head->next;
            head->next = table->retired;
            table->retired = head;
            head = next;
        }
    }
    table->lines = 0;
}

// Whether the line, as read, runs as it stands: lines that the run loop rewrites or
// passes over, and lines whose reading rewrites the line buffer, are not kept.
bool Keepable(BDS* ctx, const char* line, size_t* length)
{
    if (ctx->nDeferredError || ctx->bInDefinition)
        return false;
    auto first = static_cast<uint8_t>(line[0]);
    if (first == ';') {
        *length = TextLength(line);
        return *length <= 0xFFFF;
    }
    if (first == 0 || first == '#' || first == 0x9E || first == 0x9F)
        return false;
    size_t n = 0;
    for (; line[n]; ++n) {
        if (line[n] == '%')
            return false;
        if (line[n] == '$' && line[n + 1] == '"')
            return false;
    }
    *length = n;
    return n > 0 && n <= 0xFFFF;
}

uint64_t SplitMix64(uint64_t* state)
{
    uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

LineCacheTable* Table(BDS* ctx)
{
    if (ctx->cache.lines)
        return ctx->cache.lines;
    auto* table = static_cast<LineCacheTable*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(LineCacheTable)));
    if (!table)
        return nullptr;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint64_t state = static_cast<uint64_t>(now.QuadPart) ^ reinterpret_cast<uintptr_t>(table)
                     ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32);
    for (uint64_t& word : table->pad)
        word = SplitMix64(&state);
    ctx->cache.lines = table;
    return table;
}

uint8_t PadByte(const LineCacheTable* table, uint32_t i)
{
    return static_cast<uint8_t>(table->pad[(i >> 3) & (PAD_WORDS - 1)] >> (8 * (i & 7)));
}

// The line's text from its masked copy into target, NUL-terminated.
void Unmask(const LineCacheTable* table, const CachedLine* line, char* target)
{
    const uint8_t* masked = line->masked;
    const uint32_t length = line->lineLength;
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, masked + i, 8);
        word ^= table->pad[(i >> 3) & (PAD_WORDS - 1)];
        std::memcpy(target + i, &word, 8);
    }
    for (; i < length; ++i)
        target[i] = static_cast<char>(masked[i] ^ PadByte(table, i));
    target[length] = 0;
}

// The same bytes (the platform's comparison walks byte by byte).
bool SameBytes8(const uint8_t* a, const uint8_t* b, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y)
            return false;
    }
    for (; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// Forgets the tokens when the keyword tables changed since they were learnt.
void Confirm(BDS* ctx, CachedLine* line)
{
    if (line->stamp == ctx->cache.tableStamp && line->hostEpoch == ctx->host.nHostEpoch
        && line->udfCount == ctx->nUdfCount)
        return;
    uint32_t stamp = KeywordTablesStamp(ctx);
    if (stamp != line->stamp) {
        line->stamp = stamp;
        line->count = 0;
        line->cursor = 0;
    }
    line->hostEpoch = ctx->host.nHostEpoch;
    line->udfCount = ctx->nUdfCount;
}

CachedLine* MakeLine(BDS* ctx, LineCacheTable* table, uint32_t bucket, const RunSite& site, uint32_t lineBegin,
                     uint32_t byteCount, size_t lineLength)
{
    if (table->lines >= MAX_LINES)
        RetireAll(table);
    uint32_t capacity = static_cast<uint32_t>(lineLength / 2 + 2);
    capacity = capacity < MIN_TOKENS ? MIN_TOKENS : capacity > MAX_TOKENS ? MAX_TOKENS : capacity;
    bool comment = site.line[0] == ';';
    size_t maskedLength = comment ? 0 : lineLength;
    size_t size = sizeof(CachedLine) + capacity * sizeof(CachedToken) + byteCount + maskedLength;
    auto* line = static_cast<CachedLine*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (!line)
        return nullptr;
    line->script = site.script;
    line->lineBegin = lineBegin;
    line->lineStart = site.lineStart;
    line->key = site.key;
    line->stamp = KeywordTablesStamp(ctx);
    line->hostEpoch = ctx->host.nHostEpoch;
    line->udfCount = ctx->nUdfCount;
    line->byteCount = byteCount;
    line->lineLength = static_cast<uint16_t>(lineLength);
    line->capacity = static_cast<uint16_t>(capacity);
    line->count = 0;
    line->cursor = 0;
    line->comment = comment;
    line->exprs = nullptr;
    std::memset(line->plans, 0, sizeof line->plans);
    line->follow = nullptr;
    line->followGeneration = 0;
    line->tokens = reinterpret_cast<CachedToken*>(line + 1);
    line->bytes = reinterpret_cast<uint8_t*>(line->tokens + capacity);
    std::memcpy(line->bytes, site.base + lineBegin, byteCount);
    // The text is taken from the buffer as a later pass would unscramble it.
    line->masked = comment ? nullptr : line->bytes + byteCount;
    for (uint32_t i = 0; i < maskedLength; ++i) {
        uint32_t at = site.lineStart + i;
        line->masked[i] = static_cast<uint8_t>(UnscrambleByte(site.base[at], at, site.key) ^ PadByte(table, i));
    }
    line->next = table->buckets[bucket];
    table->buckets[bucket] = line;
    ++table->lines;
    return line;
}

// The line of the running statement that `at` lies in, or null.
CachedLine* ActiveLine(BDS* ctx, const char* at, uint32_t* offset)
{
    const RunSite* site = ctx->run.site;
    if (!site || !site->cached || at < site->line)
        return nullptr;
    // The trace's keyword dump wants every lookup made.
    if (ctx->eng.ctl.TraceOptions & TRACE_OPT_KEYWORDS)
        return nullptr;
    CachedLine* line = site->cached;
    auto off = static_cast<size_t>(at - site->line);
    if (off >= line->lineLength)
        return nullptr;
    Confirm(ctx, line);   // a function defined or removed, or host functions changed, meanwhile
    *offset = static_cast<uint32_t>(off);
    return line;
}

}  // namespace

CachedLine* ReadCachedLine(BDS* ctx, RunSite& site, uint32_t* lineStart)
{
    LineCacheTable* table = ctx->cache.lines;
    uint32_t lineBegin = *site.pos;
    if (!table || lineBegin >= site.end)
        return nullptr;
    // Between the statements of the outermost run no statement reads a retired line.
    if (table->retired && ctx->cache.runDepth <= 1)
        FreeChain(table->retired);
    // The line read here last remembers the line that followed it: a loop reads the same
    // lines in the same order, and the table need not be searched.
    CachedLine* previous = site.lastRead;
    bool previousLive = previous && site.lastReadGeneration == table->generation;
    CachedLine* line = nullptr;
    if (previousLive && previous->followGeneration == table->generation) {
        CachedLine* follow = previous->follow;
        if (follow && follow->lineBegin == lineBegin && follow->script == site.script && follow->key == site.key)
            line = follow;
    }
    if (!line) {
        uint32_t bucket = BucketOf(site.script, lineBegin, site.key);
        line = table->buckets[bucket];
        while (line && (line->lineBegin != lineBegin || line->script != site.script || line->key != site.key))
            line = line->next;
        if (!line)
            return nullptr;
        if (previousLive) {
            previous->follow = line;
            previous->followGeneration = table->generation;
        }
    }
    if (line->byteCount > site.end - lineBegin || !SameBytes8(line->bytes, site.base + lineBegin, line->byteCount)) {
        Retire(table, BucketOf(site.script, lineBegin, site.key), line);   // another line now stands there
        return nullptr;
    }
    site.lastRead = line;
    site.lastReadGeneration = table->generation;
    uint32_t from = line->lineStart;
    if (line->comment) {
        // Its text is never read: the run loop passes over a line that begins with ';'.
        site.line[0] = ';';
        site.line[1] = 0;
    } else {
        Unmask(table, line, site.line);
    }
    *lineStart = from;
    *site.pos = lineBegin + line->byteCount;
    Confirm(ctx, line);
    line->cursor = 0;
    return line;
}

CachedLine* KeepLine(BDS* ctx, const RunSite& site, uint32_t lineBegin, uint32_t next)
{
    size_t length = 0;
    if (!Keepable(ctx, site.line, &length) || next <= site.lineStart || site.lineStart < lineBegin)
        return nullptr;
    LineCacheTable* table = Table(ctx);
    if (!table)
        return nullptr;
    uint32_t bucket = BucketOf(site.script, lineBegin, site.key);
    for (CachedLine* line = table->buckets[bucket]; line; line = line->next) {
        if (line->lineBegin == lineBegin && line->script == site.script && line->key == site.key) {
            Retire(table, bucket, line);
            break;
        }
    }
    return MakeLine(ctx, table, bucket, site, lineBegin, next - lineBegin, length);
}

namespace {

// The line of the running statement that `at` lies in, with its view; null when none.
CachedLine* ViewOf(BDS* ctx, const char* at, LineView* view)
{
    CachedLine* line = ActiveLine(ctx, at, &view->offset);
    if (!line)
        return nullptr;
    view->exprs = &line->exprs;
    view->tokens = line->tokens;
    view->count = line->count;
    view->stamp = line->stamp;
    view->line = ctx->run.site->line;
    return line;
}

}  // namespace

bool ViewActiveLine(BDS* ctx, const char* at, LineView* view)
{
    return ViewOf(ctx, at, view) != nullptr;
}

StatementPlan* PlanSlotAt(BDS* ctx, const char* at, LineView* view)
{
    CachedLine* line = ViewOf(ctx, at, view);
    if (!line)
        return nullptr;
    StatementPlan* plans = line->plans;
    for (int i = 0; i < 2; ++i)
        if (plans[i].kind != PLAN_UNKNOWN && plans[i].offset == view->offset)
            return &plans[i];
    // A new statement of the line: the slot of the second statement gives way first.
    StatementPlan* slot = plans[0].kind == PLAN_UNKNOWN ? &plans[0] : &plans[1];
    std::memset(slot, 0, sizeof *slot);
    slot->offset = static_cast<uint16_t>(view->offset);
    return slot;
}

CachedToken* CachedTokenAt(BDS* ctx, const char* at)
{
    uint32_t offset = 0;
    CachedLine* line = ActiveLine(ctx, at, &offset);
    if (!line)
        return nullptr;
    uint32_t i = line->cursor;
    if (i >= line->count || line->tokens[i].start != offset) {
        for (i = 0; i < line->count && line->tokens[i].start < offset; ++i) {
        }
        if (i >= line->count || line->tokens[i].start != offset)
            return nullptr;
    }
    line->cursor = static_cast<uint16_t>(i + 1);
    return &line->tokens[i];
}

void NoteCachedToken(BDS* ctx, const char* at, uint16_t var)
{
    uint32_t offset = 0;
    CachedLine* line = ActiveLine(ctx, at, &offset);
    if (!line || line->count >= line->capacity)
        return;
    uint32_t i = 0;
    while (i < line->count && line->tokens[i].start < offset)
        ++i;
    if (i < line->count && line->tokens[i].start == offset)
        return;
    CachedToken t{};
    t.start = static_cast<uint16_t>(offset);
    t.length = ctx->front.nTokenLength;
    t.kind = ctx->nTokenKind;
    switch (t.kind) {
    case TK_KEYWORD:
        t.idOrVar = ctx->delim_type;
        break;
    case TK_NAME:
        t.idOrVar = var;
        break;
    case TK_INTEGER: {
        int64_t v = 0;
        if (ParseIntegerTextA(ctx->szToken, &v)) {
            t.number.integer = v;
            t.flags = CT_NUMBER;
        }
        break;
    }
    case TK_FLOAT: {
        double d = std::strtod(ctx->szToken, nullptr);
        if (!std::isinf(d)) {
            t.number.real = d;
            t.flags = CT_NUMBER;
        }
        break;
    }
    case TK_STRING:
        break;
    default:
        return;
    }
    std::memmove(&line->tokens[i + 1], &line->tokens[i], (line->count - i) * sizeof(CachedToken));
    line->tokens[i] = t;
    ++line->count;
    line->cursor = static_cast<uint16_t>(i + 1);
}

void DropCachedLine(BDS* ctx, HGLOBAL script, uint32_t lineStart, uint8_t key)
{
    LineCacheTable* table = ctx->cache.lines;
    if (!table)
        return;
    // Lines are found by where they are read from; this happens once per GoTo line.
    for (uint32_t bucket = 0; bucket < BUCKETS; ++bucket) {
        for (CachedLine* line = table->buckets[bucket]; line; line = line->next) {
            if (line->script == script && line->lineStart == lineStart && line->key == key) {
                Retire(table, bucket, line);
                return;
            }
        }
    }
}

void LineCacheFree(BDS* ctx)
{
    if (!ctx->cache.lines)
        return;
    RetireAll(ctx->cache.lines);
    FreeChain(ctx->cache.lines->retired);
    HeapFree(GetProcessHeap(), 0, ctx->cache.lines);
    ctx->cache.lines = nullptr;
}
