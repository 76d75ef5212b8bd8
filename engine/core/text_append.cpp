// Texts that grow in place (see text_append.h): recognising `x = x : ...`, and appending
// to a variable's text in its own block.
#include "engine/core/text_append.h"

#include <cstring>

#include "engine/core/heap.h"
#include "engine/core/short_text.h"
#include "engine/core/text_length.h"
#include "engine/core/tokenizer.h"

namespace {

// A character that may stand for a call, a subscript or an operator weaker than `:`
// (outside quotes): the own-append form is not taken.
bool ShutsOut(char c)
{
    switch (c) {
    case '(': case ')': case '[': case ']': case ',': case '=': case '<': case '>':
    case '!': case '&': case '|': case '^': case '$': case '%': case '?':
        return true;
    default:
        return false;
    }
}

// The text after `=`: no character that shuts the form out; a comment ends it.
bool PlainRightSide(const char* p)
{
    while (*p && *p != ';') {
        char c = *p;
        if (c == '"' || c == '\'' || c == '`') {
            for (++p; *p && !(*p == c && p[1] != c); ++p)
                if (*p == c)
                    ++p;   // a doubled quote stands for one
            if (!*p)
                return true;
            ++p;
            continue;
        }
        if (ShutsOut(c))
            return false;
        ++p;
    }
    return true;
}

// An operand token that reads values and runs no code.
bool PlainOperandToken(BDS* ctx)
{
    switch (ctx->nTokenKind) {
    case TK_NAME:
    case TK_STRING:
    case TK_INTEGER:
    case TK_FLOAT:
        return true;
    case TK_KEYWORD:
        switch (ctx->delim_type) {
        case KID_COLON: case KID_PLUS: case KID_MINUS: case KID_STAR: case KID_SLASH:
        case KID_MOD: case KID_POWER: case KID_TILDE:
            return true;
        default:
            return KeywordTypeOf(ctx, ctx->delim_type) == KT_CONSTANT;
        }
    default:
        return false;
    }
}

// Reads the tokens of the right side without creating variables: the variable's own name,
// `:`, then plain operand tokens up to the end of the line.
bool ScanOwnAppend(BDS* ctx, const char* name)
{
    auto next = [ctx]() {
        ctx->front.bNoCreate = 1;
        return get_token(ctx) <= 1 && !ctx->nErrorCode;
    };
    if (!next() || ctx->nTokenKind != TK_NAME || !SameText(ctx->szToken, name))
        return false;
    if (!next() || ctx->nTokenKind != TK_KEYWORD || ctx->delim_type != KID_COLON)
        return false;
    int parts = 1;
    for (;;) {
        if (!next())
            return false;
        if (ctx->nTokenKind == TK_END)
            return true;
        if (!PlainOperandToken(ctx))
            return false;
        if (ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == KID_COLON && ++parts > MAX_APPEND_PARTS)
            return false;
    }
}

// Bytes the block of a text can grow to, its NUL included.
uint64_t Room(BDS* ctx, uint64_t offset) { return VBlockRoom(ctx, offset); }

// The length of the text at `offset`: remembered from the last append when it still ends
// there, else measured.
uint64_t KnownLength(BDS* ctx, uint64_t offset, const char* text)
{
    CacheState& c = ctx->cache;
    if (c.appendText == offset) {
        uint64_t n = c.appendLength;
        if (text[n] == 0 && (n == 0 || text[n - 1] != 0))
            return n;
    }
    return TextLength(text);
}

}  // namespace

bool IsOwnAppendForm(BDS* ctx, uint16_t var)
{
    if (var == 0 || var >= ctx->nVarUsed)
        return false;
    const VariableEntry& v = ctx->pVars[var];
    if (v.flags != VF_STRING || !v.str || !PlainRightSide(ctx->prog))
        return false;
    // The look-ahead leaves no trace: the parse state and entry 0 (where names are
    // parked) are put back, and so is the error field.
    char* prog = ctx->prog;
    uint8_t kind = ctx->nTokenKind;
    uint16_t id = ctx->delim_type;
    FrontState front = ctx->front;
    VariableEntry parked = ctx->pVars[0];
    char name[VARNAMESIZE + 1];
    std::memcpy(name, v.name, sizeof name);
    bool own = ScanOwnAppend(ctx, name);
    ctx->nErrorCode = 0;
    ctx->pVars[0] = parked;
    ctx->front = front;
    ctx->delim_type = id;
    ctx->nTokenKind = kind;
    ctx->prog = prog;
    return own;
}

bool AppendToText(BDS* ctx, ValueHead* holder, const resultants* parts, int count)
{
    char* text = HeapPtr(ctx, holder->str);
    uint64_t length = KnownLength(ctx, holder->str, text);
    uint64_t added = 0;
    uint64_t lengths[MAX_APPEND_PARTS];
    for (int i = 0; i < count; ++i) {
        lengths[i] = TextLength(ValueText(ctx, &parts[i]));
        added += lengths[i];
    }
    uint64_t need = length + added + 1;
    uint64_t offset = holder->str;
    char* out = text;
    if (need > Room(ctx, offset)) {
        // The text moves, with spare room for the appends to come.
        uint64_t moved = VMalloc(ctx, need + need / 2 + 64);
        if (!moved)
            moved = VMalloc(ctx, need);
        if (!moved) {
            SetError(ctx, 3096);
            return false;
        }
        out = HeapPtr(ctx, moved);
        std::memcpy(out, HeapPtr(ctx, holder->str), length);
        VFree(ctx, holder->str);
        holder->str = offset = moved;
    }
    uint64_t at = length;
    for (int i = 0; i < count; ++i) {
        std::memcpy(out + at, ValueText(ctx, &parts[i]), lengths[i]);
        at += lengths[i];
    }
    out[at] = 0;
    ctx->cache.appendText = offset;
    ctx->cache.appendLength = at;
    return true;
}

void ForgetTextLength(BDS* ctx, uint64_t offset)
{
    if (ctx->cache.appendText == offset)
        ctx->cache.appendText = 0;
}
