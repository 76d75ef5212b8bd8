// The tokenizer: get_token, putback and get_string_token, the variable lookup by name
// and the display text of a named variable.
#include "engine/core/tokenizer.h"

#include <cstdio>
#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/short_text.h"
#include "engine/core/text_bounded.h"
#include "engine/core/varptr.h"
#include "engine/data/array.h"
#include "engine/core/keyword_lookup.h"
#include "engine/core/line_cache.h"

namespace {

constexpr size_t TOKEN_MAX = TEXTBUF - 1;       // bytes of token text, the NUL aside
constexpr int PERSISTENT_NAME_MAX = 25;

inline int Fail(BDS* ctx, char* at, uint16_t error)
{
    ctx->prog = at;
    SetError(ctx, error);
    return error;
}

inline bool IsNameChar(char c)
{
    return IsAlnumChar(c) || c == '_' || c == '@' || c == '.';
}

// A number: digits, at most one point, at most one exponent with an optional sign.
int ReadNumber(BDS* ctx, char* start)
{
    char* p = start;
    char* out = ctx->szToken;
    size_t n = 0;
    bool point = false, exponent = false;
    uint8_t kind = TK_INTEGER;
    auto put = [&](char c) {
        if (n < TOKEN_MAX)
            out[n++] = c;
    };
    for (;;) {
        char c = *p;
        if (IsDigitChar(c)) {
            put(c);
            ++p;
        } else if (c == '.') {
            if (point)
                return Fail(ctx, p, ERR_TOO_MANY_DOTS);
            bool digitBefore = p > start && IsDigitChar(p[-1]);
            if (exponent || (!digitBefore && !IsDigitChar(p[1])))
                return Fail(ctx, p, ERR_UNRECOGNIZED);
            point = true;
            kind = TK_FLOAT;
            put(c);
            ++p;
        } else if (c == 'e' || c == 'E') {
            if (exponent)
                return Fail(ctx, p, ERR_TOO_MANY_ES);
            bool sign = (p[1] == '+' || p[1] == '-');
            if (!IsDigitChar(p[sign ? 2 : 1]))
                return Fail(ctx, p, ERR_UNRECOGNIZED);
            exponent = true;
            kind = TK_FLOAT;
            put(c);
            ++p;
            if (sign)
                put(*p++);
        } else {
            break;
        }
    }
    out[n] = 0;
    ctx->nTokenKind = kind;
    ctx->front.nTokenLength = static_cast<uint16_t>(p - start);
    ctx->prog = p;
    return 0;
}

}  // namespace

size_t QuotedText(const char* start, char* out, const char** end)
{
    char quote = *start;
    const char* p = start + 1;
    size_t n = 0;
    while (*p) {
        if (*p == quote) {
            if (p[1] == quote) {
                if (n >= TOKEN_MAX)
                    break;
                out[n++] = quote;
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        if (IsLeadByte(*p) && p[1]) {
            if (n + 2 > TOKEN_MAX)
                break;
            out[n++] = *p++;
            out[n++] = *p++;
            continue;
        }
        if (n >= TOKEN_MAX)
            break;
        out[n++] = *p++;
    }
    out[n] = 0;
    *end = p;
    return n;
}

namespace {

// A literal in double quotes, apostrophes or back-quotes; a doubled quote stands for one.
void ReadQuoted(BDS* ctx, char* start)
{
    const char* end = start;
    QuotedText(start, ctx->szToken, &end);
    ctx->nTokenKind = TK_STRING;
    ctx->front.nTokenLength = static_cast<uint16_t>(end - start);
    ctx->prog = const_cast<char*>(end);
}

// A keyword whose id FindKeyword left in delim_type: its name's length of text.
void TakeKeyword(BDS* ctx, char* start)
{
    uint32_t length = KeywordNameLength(ctx, ctx->delim_type);
    if (length > TOKEN_MAX)
        length = TOKEN_MAX;
    CopyBytes(ctx->szToken, start, length);
    ctx->szToken[length] = 0;
    ctx->nTokenKind = TK_KEYWORD;
    ctx->front.nTokenLength = static_cast<uint16_t>(length);
    ctx->prog = start + length;
}

// An object expression: the whole dotted name.
void TakeObjectExpression(BDS* ctx, char* start)
{
    char* p = start;
    size_t n = 0;
    while (IsAlnumChar(*p) || *p == '_' || *p == '.' || (*p == '@' && p == start)) {
        if (n < TOKEN_MAX)
            ctx->szToken[n++] = *p;
        ++p;
    }
    ctx->szToken[n] = 0;
    ctx->nTokenKind = TK_KEYWORD;
    ctx->front.nTokenLength = static_cast<uint16_t>(p - start);
    ctx->prog = p;
}

// Finds or creates the variable `name` in the current table; its entry goes to
// front.nNameIndex (0 for a name parked in entry 0).
int EnterName(BDS* ctx, const char* name, size_t length)
{
    FrontState& f = ctx->front;
    VariableEntry* vars = ctx->pVars;
    if (f.bNoCreate) {
        VariableEntry& e = vars[0];
        std::memcpy(e.name, name, length + 1);
        e.name[0] = static_cast<char>(e.name[0] | 0x80);
        e.flag = 0;
        f.nNameIndex = 0;
        return 0;
    }
    uint16_t used = ctx->nVarUsed;
    int lastFree;
    int found = ScanForKey(ctx, name, &lastFree);
    if (found > 0 && vars[found].flags != 0) {
        f.nNameIndex = static_cast<uint16_t>(found);
        return 0;
    }
    // The entry that keeps the name while free, else the last free one, else a new one.
    uint32_t freeEntry = found > 0 ? found : (lastFree > 0 ? lastFree : 0);
    if (freeEntry == 0) {
        if (static_cast<uint32_t>(used) + 1 >= ctx->nVarCapacity)
            return ERR_VARS_FULL;
        freeEntry = used;
        ctx->nVarUsed = static_cast<uint16_t>(used + 1);
    }
    VariableEntry& e = vars[freeEntry];
    std::memset(static_cast<ValueHead*>(&e), 0, sizeof(ValueHead));
    std::memset(e.name, 0, sizeof(e.name));
    CopyBytes(e.name, name, length + 1);
    e.flag = 0;
    e.i32 = -1;
    e.flags = f.bCreateDefined ? VF_INT : VF_UNINIT;
    VarHintNote(ctx, name, length, freeEntry);
    f.nNameIndex = static_cast<uint16_t>(freeEntry);
    return 0;
}

}  // namespace

int EnterVariable(BDS* ctx, const char* name, size_t length)
{
    return EnterName(ctx, name, length);
}

namespace {

// ---------------------------------------------------------------- tokens known before

// A name the line cache knows: its text is taken from the line as ReadName takes it, and
// its variable is found through the entry it had last when that entry still holds it.
// Out of line: get_token's own frame stays small for the keywords and numbers.
__attribute__((noinline)) int ReplayName(BDS* ctx, char* start, CachedToken* t)
{
    FrontState& f = ctx->front;
    // A recorded name is never longer than VARNAMESIZE: a longer one fails its reading.
    uint32_t n = t->length;
    // The key is written where it is kept, as the name and as the token's text: copying
    // one to the other would read back bytes just stored one at a time.
    char* name = f.szName;
    for (uint32_t i = 0; i < n; ++i) {
        char c = NameKeyChar(start, i);
        name[i] = c;
        ctx->szToken[i] = c;
    }
    name[n] = 0;
    ctx->szToken[n] = 0;
    ctx->nTokenKind = TK_NAME;
    f.nTokenLength = static_cast<uint16_t>(n);
    ctx->prog = start + n;
    uint16_t hint = t->idOrVar;
    if (!f.bNoCreate && hint > 0 && hint < ctx->nVarUsed) {
        const VariableEntry& v = ctx->pVars[hint];
        if (v.flags != 0 && SameBytes(v.name, name, n + 1)) {
            f.nNameIndex = hint;
            return 0;
        }
    }
    if (int error = EnterName(ctx, name, n))
        return Fail(ctx, start, static_cast<uint16_t>(error));
    if (!f.bNoCreate)
        t->idOrVar = f.nNameIndex;
    return 0;
}

void ReplayNumber(BDS* ctx, char* start, const CachedToken* t)
{
    FrontState& f = ctx->front;
    uint32_t n = t->length;
    CopyBytes(ctx->szToken, start, n);
    ctx->szToken[n] = 0;
    ctx->nTokenKind = t->kind;
    f.nTokenLength = static_cast<uint16_t>(n);
    ctx->prog = start + n;
    if (t->flags & CT_NUMBER) {
        f.bNumberReady = 1;
        f.number.integer = t->number.integer;
    }
}

// Whether ReplayToken can read the token; any other is read the slow way.
bool Replayable(const BDS* ctx, const CachedToken* t)
{
    switch (t->kind) {
    case TK_KEYWORD:
    case TK_INTEGER:
    case TK_FLOAT:
    case TK_STRING:
        return true;
    case TK_NAME:
        return !ctx->front.bPersistentName;
    default:
        return false;
    }
}

// Reads the token the line cache knows at p (one that is Replayable); answers the error
// of a name's reading, else 0. The kinds are tested in the order of their frequency: they
// alternate from token to token, which a table jump on the kind mispredicts.
int ReplayToken(BDS* ctx, char* p, CachedToken* t)
{
    const uint8_t kind = t->kind;
    if (kind == TK_KEYWORD) {
        // The length is the keyword name's (the cache is current with the tables).
        uint32_t length = t->length;
        CopyBytes(ctx->szToken, p, length);
        ctx->szToken[length] = 0;
        ctx->delim_type = t->idOrVar;
        ctx->nTokenKind = TK_KEYWORD;
        ctx->front.nTokenLength = static_cast<uint16_t>(length);
        ctx->prog = p + length;
    } else if (kind == TK_NAME) {
        return ReplayName(ctx, p, t);
    } else if (kind == TK_INTEGER || kind == TK_FLOAT) {
        ReplayNumber(ctx, p, t);
    } else {
        ReadQuoted(ctx, p);
    }
    return 0;
}

// Whether a word token at start may be recorded: a word that bracketed subscripts and a
// full stop follow may be an object expression another time (it depends on the variable).
bool WordRecordable(const char* start)
{
    const char* p = start;
    while (IsWordChar(*p))
        ++p;
    if (*p != '[')
        return true;
    p = SkipBracketGroups(p);
    return !p || *p != '.';
}

int ReadName(BDS* ctx, char* start)
{
    FrontState& f = ctx->front;
    int limit = f.bPersistentName ? PERSISTENT_NAME_MAX : VARNAMESIZE;
    char name[VARNAMESIZE + 1];
    int n = 0;
    char* p = start;
    while (IsNameChar(*p)) {
        if (n == limit)
            return Fail(ctx, p, ERR_NAME_TOO_LONG);
        name[n] = NameKeyChar(start, static_cast<size_t>(n));
        ++n;
        ++p;
    }
    name[n] = 0;
    if (f.bPersistentName) {
        char mangled[VARNAMESIZE + 8];
        int m = std::snprintf(mangled, sizeof(mangled), "?%02x__%s",
                              static_cast<unsigned>(ctx->run.nFunctionScope & 0xFF), name);
        if (m < 0 || m > VARNAMESIZE)
            return Fail(ctx, p, ERR_NAME_TOO_LONG);
        std::memcpy(name, mangled, m + 1);
        n = m;
    }
    CopyBytes(f.szName, name, n + 1);
    CopyBytes(ctx->szToken, name, n + 1);
    ctx->nTokenKind = TK_NAME;
    f.nTokenLength = static_cast<uint16_t>(p - start);
    ctx->prog = p;
    if (int error = EnterName(ctx, name, n))
        return Fail(ctx, start, static_cast<uint16_t>(error));
    if (!f.bPersistentName && WordRecordable(start))
        NoteCachedToken(ctx, start, f.bNoCreate ? 0 : f.nNameIndex);
    return 0;
}

// Any token, read the general way: keywords looked up, names entered, numbers and texts
// scanned, and what was learnt noted for the line cache.
__attribute__((noinline)) int ReadToken(BDS* ctx)
{
    FrontState& f = ctx->front;
    uint8_t previousKind = ctx->nTokenKind;
    uint16_t previousId = ctx->delim_type;
    ctx->nTokenKind = TK_END;
    f.bNumberReady = 0;
    f.nNameIndex = 0;

    char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    ctx->prog = p;

    int result = 0;
    if (*p == '&' && p[1] != '&' && previousKind == TK_KEYWORD && previousId != KID_RPAREN
        && KeywordTypeOf(ctx, previousId) != KT_CONSTANT)
        result = 1;

    char c = *p;
    CachedToken* known = (c == 0 || c == ';') ? nullptr : CachedTokenAt(ctx, p);
    if (known && Replayable(ctx, known)) {
        if (int error = ReplayToken(ctx, p, known))
            return error;
    } else if (c == 0 || c == ';') {
        f.nTokenLength = 0;
    } else if (IsDigitChar(c) || c == '.') {
        if (int error = ReadNumber(ctx, p))
            return error;
        NoteCachedToken(ctx, p, 0);
    } else if (!IsAlphaChar(c) && c != '@' && c != '_') {
        if (FindKeyword(ctx, 0)) {
            TakeKeyword(ctx, p);
            NoteCachedToken(ctx, p, 0);
        } else if (ctx->nErrorCode) {
            return ctx->nErrorCode;
        } else if (c == '"' || c == '\'' || c == '`') {
            ReadQuoted(ctx, p);
            NoteCachedToken(ctx, p, 0);
        } else if (c == '$' && p[1] == '"') {
            ctx->szToken[0] = '$';
            ctx->szToken[1] = '"';
            ctx->szToken[2] = 0;
            ctx->nTokenKind = TK_DOLLARQUOTE;
            f.nTokenLength = 2;
            ctx->prog = p + 2;
        } else {
            return Fail(ctx, p, ERR_UNRECOGNIZED);
        }
    } else {
        if (FindKeyword(ctx, 1)) {
            if (ctx->delim_type == KID_OLEOBJECT) {
                TakeObjectExpression(ctx, p);
            } else {
                TakeKeyword(ctx, p);
                if (WordRecordable(p))
                    NoteCachedToken(ctx, p, 0);
            }
        } else if (ctx->nErrorCode) {
            return ctx->nErrorCode;
        } else if (int error = ReadName(ctx, p)) {
            return error;
        }
    }
    f.bNoCreate = 0;
    f.bCreateDefined = static_cast<uint32_t>(result);
    return result;
}

}  // namespace

// The end of a statement's line and the tokens the line cache knows are most of what is
// read while a script runs: they are read here, without the general reader's frame. What
// this does is what ReadToken does for them.
extern "C" int get_token(BDS* ctx)
{
    char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    const char c = *p;
    FrontState& f = ctx->front;
    if (c == 0 || c == ';') {
        ctx->nTokenKind = TK_END;
        ctx->prog = p;
        f.bNumberReady = 0;
        f.nNameIndex = 0;
        f.nTokenLength = 0;
        f.bNoCreate = 0;
        f.bCreateDefined = 0;
        return 0;
    }
    // `&` may make the token an address-of: the general reader decides.
    CachedToken* known = c == '&' ? nullptr : CachedTokenAt(ctx, p);
    if (!known || !Replayable(ctx, known))
        return ReadToken(ctx);
    ctx->nTokenKind = TK_END;
    ctx->prog = p;
    f.bNumberReady = 0;
    f.nNameIndex = 0;
    if (int error = ReplayToken(ctx, p, known))
        return error;
    f.bNoCreate = 0;
    f.bCreateDefined = 0;
    return 0;
}

extern "C" void putback(BDS* ctx)
{
    if (ctx->nTokenKind == TK_END)
        return;
    ctx->prog -= ctx->front.nTokenLength;
}

extern "C" uint32_t get_string_token(BDS* ctx)
{
    ctx->nTokenKind = TK_END;
    char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    ctx->prog = p;
    if (*p == 0 || *p == ';') {
        ctx->front.nTokenLength = 0;
        return static_cast<uint8_t>(*p);
    }
    auto isWord = [](char c) { return IsAlnumChar(c) || c == '@' || c == '_' || IsLeadByte(c); };
    if (!isWord(*p))
        return static_cast<uint32_t>(Fail(ctx, p, ERR_UNRECOGNIZED));
    char* start = p;
    size_t n = 0;
    while (isWord(*p)) {
        size_t step = (IsLeadByte(*p) && p[1]) ? 2 : 1;
        if (n + step > TOKEN_MAX)
            return static_cast<uint32_t>(Fail(ctx, p, ERR_WORD_TOO_LONG));
        std::memcpy(ctx->szToken + n, p, step);
        n += step;
        p += step;
    }
    ctx->szToken[n] = 0;
    ctx->nTokenKind = TK_STRING;
    ctx->delim_type = KID_BARE_WORD;
    ctx->front.nTokenLength = static_cast<uint16_t>(p - start);
    ctx->prog = p;
    return 0xFFFFFFFF;
}

uint16_t FindVarIndex(BDS* ctx, const char* name)
{
    char key[VARNAMESIZE + 1];
    if (MakeNameKey(name, key) < 0 || !ctx->pVars || ctx->nVarUsed == 0)
        return VAR_NOT_FOUND;
    // Entry 0 (where names are parked) comes first, as in the scan.
    const VariableEntry& parked = ctx->pVars[0];
    if (parked.flags != 0 && SameText(parked.name, key))
        return 0;
    return static_cast<uint16_t>(FindVariableByKey(ctx, key));
}

// ---------------------------------------------------------------- display text

int ValueHeadToText(BDS* ctx, const ValueHead* value, char* buffer, size_t size)
{
    if (value->flags & VF_STRING) {
        CopyStringBoundedA(ctx, buffer, ValueText(ctx, value), size);
        return 1;
    }
    resultants temp;
    InitResultValue(ctx, &temp, VK_RECORD, 0);
    CopyValue(ctx, value, &temp, 0, VK_ELEMENT | 0x20 | 0x200);
    int ok = 0;
    if ((temp.flags & (VF_UNICODE | VF_INT | VF_INT64 | VF_FLOAT | VF_VARIANT))
        && ValueToString(ctx, &temp)) {
        CopyStringBoundedA(ctx, buffer, ValueText(ctx, &temp), size);
        ok = 1;
    }
    FreeValue(ctx, &temp, 0, VK_RECORD);
    return ok;
}

int ValueToDisplayText(BDS* ctx, const char* name, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = 0;
    uint16_t savedError = ctx->nErrorCode;
    char key[VARNAMESIZE + 1];
    size_t n = 0;
    const char* p = name;
    while (*p && *p != '[') {
        if (n == VARNAMESIZE)
            return 0;
        key[n++] = LowerChar(*p++);
    }
    key[n] = 0;
    char subscript[41] = {};
    bool hasSubscript = *p == '[';
    if (hasSubscript) {
        ++p;
        size_t k = 0;
        while (*p && *p != ']' && k < 40)
            subscript[k++] = *p++;
    }
    uint16_t index = FindVarIndex(ctx, key);
    if (index == VAR_NOT_FOUND || index == 0 || !(ctx->pVars[index].flags & VF_HAS_VALUE))
        return 0;
    const VariableEntry& v = ctx->pVars[index];
    int ok = 0;
    if (v.flags & VF_ARRAY) {
        if (!hasSubscript) {
            CopyStringBoundedA(ctx, buffer, "<array>", size);
            ok = 1;
        } else if (const ArrayElement* e =
                       ArrayElementOfText(reinterpret_cast<ArrayHeader*>(v.str), subscript)) {
            ok = (e->flags & VF_HAS_VALUE) ? ValueHeadToText(ctx, e, buffer, size) : 1;
        }
    } else {
        ok = ValueHeadToText(ctx, &v, buffer, size);
    }
    ctx->nErrorCode = savedError;
    return ok;
}
