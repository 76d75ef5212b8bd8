// The line cache: what the tokenizer learnt about a script line the first time it ran,
// kept so that the next passes over the line (a loop's body, a function's body) need not
// scan and look it up again.
//
// A line is kept as the facts of its tokens: where each token starts in the line, how
// many bytes it takes, its kind, its keyword id, the number a numeral stands for, and for
// a name the table entry it had last (a hint, checked before use). The line's text is
// never kept in plain form: the cache holds the scrambled bytes of the line, to tell that
// the line is unchanged, and its text masked with a pad of the table's own, from which
// the run loop takes the line on each pass (a word at a time, where unscrambling takes
// a table look-up per byte). The tokenizer still does everything a token's reading does
// (variables are created on first sight, in the same order; texts are copied from the
// line when read).
//
// Invariants:
// - A cached line is used only while its bytes in the buffer equal the bytes kept (a GoTo
//   that writes its cached jump into the line, a buffer freed and another made at the same
//   handle, a body defined again: each makes the line a new one), and while the keyword
//   tables' stamp is the one its keyword ids were found under (KeywordTablesStamp).
// - Only lines that run as they are read are kept: no %substitution%, no directive, no
//   multi-line literal (it rewrites the line buffer), no cached jump, no line too long;
//   and comment lines (the source markers among them), whose text is then not read at all.
// - A token is recorded only when its reading depends on the line's bytes and the keyword
//   tables alone: object expressions (which ask the variables) and names read under the
//   persistent-name mangling are read the slow way every time.
// - A cached line is never changed but by adding tokens (or forgetting them all when the
//   stamp moves on), and never freed while a statement
//   may read it: a line replaced or dropped is retired, and retired lines are freed only
//   between the statements of the outermost run (ctx->cache.runDepth counts the runs of
//   statement lines in progress) or when the engine is torn down.
// - While the trace dumps every keyword lookup, tokens are read the slow way.
// - The cache only speeds the reading; whatever it does not know is read the slow way.
#pragma once

#include <windows.h>
#include <cstdint>

#include "engine/core/context.h"

struct CachedLine;

enum : uint8_t {
    CT_NUMBER = 1,      // `number` holds the value of a numeral token
};

// What the tokenizer learnt about one token of a line.
struct CachedToken {
    uint16_t start;         // offset in the line
    uint16_t length;        // bytes the token takes in the line
    uint8_t kind;           // TokenKind
    uint8_t flags;          // CT_*
    uint16_t idOrVar;       // TK_KEYWORD: the keyword id; TK_NAME: the entry it had last
    union {
        int64_t integer;    // TK_INTEGER with CT_NUMBER
        double real;        // TK_FLOAT with CT_NUMBER
    } number;
};

// The run loop: reads the line at *site.pos into site.line when the cache knows it and
// its bytes are unchanged (*lineStart gets its first non-blank offset, *site.pos the next
// line's), and answers its cached form; null when the line must be read the slow way.
CachedLine* ReadCachedLine(BDS* ctx, RunSite& site, uint32_t* lineStart);

// The run loop, after reading a line the slow way from lineBegin into site.line (its
// first non-blank byte at site.lineStart, the next line at `next`): the line's new cached
// form, or null when the line is not one that is kept. A line that has a cached form runs
// as it was read: no directive, nothing to substitute.
CachedLine* KeepLine(BDS* ctx, const RunSite& site, uint32_t lineBegin, uint32_t next);

// The tokenizer: the token known to start at `at` in the line of the running statement,
// or null (the token is read the slow way).
CachedToken* CachedTokenAt(BDS* ctx, const char* at);

// The tokenizer: records the token just read from `at` (ctx->nTokenKind, delim_type and
// front.nTokenLength describe it; for a name, `var` is its entry).
void NoteCachedToken(BDS* ctx, const char* at, uint16_t var);

// The compiled expressions (compiled_expr.h) kept with the line of the running statement:
// for a token starting at `at`, the line's list (its head, to add to), its tokens and the
// offset of `at`; null when `at` is not in a cached line. Every expression of the list
// carries the stamp it was made under; one of another stamp is not used.
struct CompiledExpr;
struct LineView {
    CompiledExpr** exprs;
    const CachedToken* tokens;
    uint16_t count;
    uint32_t offset;
    uint32_t stamp;
    const char* line;
};
bool ViewActiveLine(BDS* ctx, const char* at, LineView* view);

// The keyword id of the token after token `i` of the view when it is a keyword that
// follows token `i` with nothing but blanks between them; KID_NONE otherwise.
inline uint16_t KeywordRightAfter(const LineView& view, uint16_t i)
{
    if (i + 1 >= view.count)
        return KID_NONE;
    const CachedToken& token = view.tokens[i];
    const CachedToken& next = view.tokens[i + 1];
    uint32_t p = static_cast<uint32_t>(token.start) + token.length;
    while (view.line[p] == ' ' || view.line[p] == '\t')
        ++p;
    return next.start == p && next.kind == TK_KEYWORD ? next.idOrVar : KID_NONE;
}

// The plan slot (statement_plan.h) of the statement starting at `at` in the line of the
// running statement, with the line's view; a slot of kind PLAN_UNKNOWN when the statement
// has none yet. Null when `at` is not in a cached line.
struct StatementPlan;
StatementPlan* PlanSlotAt(BDS* ctx, const char* at, LineView* view);

// A GoTo that writes its cached jump into a line drops the line's cached form.
void DropCachedLine(BDS* ctx, HGLOBAL script, uint32_t lineStart, uint8_t key);

// Frees every cached line (engine tear-down).
void LineCacheFree(BDS* ctx);
