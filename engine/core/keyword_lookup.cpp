// Keyword lookup: the QuickLook index over the static table, and the one lookup over the
// static, user-defined, add-on and host tables that get_token calls.
#include "engine/core/keyword_lookup.h"
#include "engine/core/trace_dumps.h"

#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/keyword_index.h"
#include "engine/core/runloop.h"
#include "engine/core/short_text.h"
#include "engine/core/tokenizer.h"
#include "engine/core/varptr.h"
#include "engine/data/array.h"
#include "engine/native/addon_keywords.h"

QuickLookIndex g_QuickLook;

namespace {

constexpr int WORD_MAX = VARNAMESIZE;   // the longest word the static table can match

void ShowTableFault(const char* name, const char* title)
{
    MessageBoxA(GetFocus(), name, title, MB_OK | MB_SETFOREGROUND);
}

}  // namespace

// ---------------------------------------------------------------- QuickLook

int CountKeywordTableFaults(const KeywordRecord* table, uint32_t count)
{
    int faults = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (table[i].id != i)
            ++faults;
        if (i > 0) {
            const KeywordRecord& a = table[i - 1];
            const KeywordRecord& b = table[i];
            size_t n = a.nameLength < b.nameLength ? a.nameLength : b.nameLength;
            int c = std::memcmp(a.name, b.name, n);
            if (c > 0 || (c == 0 && a.nameLength >= b.nameLength))
                ++faults;
        }
    }
    return faults;
}

void BuildQuickLook()
{
    if (g_QuickLook.built)
        return;
    uint32_t p = 0;
    for (uint32_t i = 0; i < NKEYTOKENS; ++i) {
        const KeywordRecord& r = g_KeywordTable[i];
        uint32_t c = static_cast<uint8_t>(r.name[0]);
        if (c == p)
            continue;
        if (c < p)
            ShowTableFault(r.name, "FSOP782");
        if (r.id != i)
            ShowTableFault(r.name, "FNP983");
        for (uint32_t k = p + 1; k <= c && k < 128; ++k)
            g_QuickLook.index[k] = g_QuickLook.shadow[k] = i;
        p = c;
    }
    for (uint32_t k = p + 1; k < 128; ++k)
        g_QuickLook.index[k] = g_QuickLook.shadow[k] = NKEYTOKENS;
    g_QuickLook.index[128] = 0;
    g_QuickLook.built = 1;
}

// ---------------------------------------------------------------- the lookup steps

namespace {

// Step 3: a name directly followed by a full stop, or by subscripts and a full stop when
// the name is an array variable, is an object expression (?oleobject).
bool IsObjectExpression(BDS* ctx, const char* prog)
{
    const char* p = prog;
    while (IsWordChar(*p)) {
        if (*p == '@' && p > prog)
            return false;
        if (p - prog == WORD_MAX)
            return false;
        ++p;
    }
    size_t length = static_cast<size_t>(p - prog);
    if (*p == '.')
        return true;
    if (*p != '[')
        return false;
    // Balanced groups of square brackets, several in a row, then a full stop.
    p = SkipBracketGroups(p);
    if (!p || *p != '.')
        return false;
    char name[WORD_MAX + 1];
    std::memcpy(name, prog, length);
    name[length] = 0;
    uint16_t index = FindVarIndex(ctx, name);
    if (index == VAR_NOT_FOUND)
        return false;
    const VariableEntry& v = ctx->pVars[index];
    if (v.flags & VF_ARRAY)
        return true;
    if ((v.flags & VF_VARIANT) && (v.var.vt & VT_ARRAY))
        return true;
    if (v.flags & VF_STRING)
        return IsArrayViaPointer(ctx, ValueText(ctx, &v)) == 1;
    return false;
}

// Step 4: the static table. Answers the position, or -1.
int FindStatic(const char* prog, bool wordMode)
{
    uint32_t c = static_cast<uint8_t>(LowerChar(*prog));
    if (c >= 128)
        return -1;
    uint32_t lo = g_QuickLook.index[c];
    uint32_t hi = g_QuickLook.index[c + 1];
    if (wordMode) {
        char word[WORD_MAX + 1];
        int n = 0;
        for (const char* p = prog; IsWordChar(*p); ++p) {
            if (n == WORD_MAX)
                return -1;
            word[n++] = LowerChar(*p);
        }
        if (hi >= NKEYTOKENS)
            hi = NKEYTOKENS - 1;
        int a = static_cast<int>(lo), b = static_cast<int>(hi);
        while (a <= b) {
            int mid = (a + b) / 2;
            const KeywordRecord& r = g_KeywordTable[mid];
            int len = r.nameLength < n ? r.nameLength : n;
            int cmp = CompareBytes(r.name, word, static_cast<size_t>(len));
            if (cmp == 0)
                cmp = r.nameLength - n;
            if (cmp == 0) {
                if (mid == KID_MOD && prog[n] == '=')
                    return KID_MOD_ASSIGN;
                return mid;
            }
            if (cmp < 0)
                a = mid + 1;
            else
                b = mid - 1;
        }
        return -1;
    }
    int best = -1;
    uint32_t bestLength = 0;
    for (uint32_t i = lo; i < hi && i < NKEYTOKENS; ++i) {
        const KeywordRecord& r = g_KeywordTable[i];
        if (r.nameLength <= bestLength)
            continue;
        uint32_t k = 0;
        while (k < r.nameLength && LowerChar(prog[k]) == r.name[k])
            ++k;
        if (k == r.nameLength) {
            best = static_cast<int>(i);
            bestLength = k;
        }
    }
    return best;
}

// Length of the match of `name` (lower case) at text (lowered), 0 when it does not match.
inline uint32_t MatchAt(const char* text, const char* name, uint32_t length)
{
    for (uint32_t k = 0; k < length; ++k)
        if (LowerChar(text[k]) != name[k])
            return 0;
    return length;
}

// Step 5: the longest completed user-defined function name at prog.
int FindUdf(BDS* ctx, const char* prog, bool wordMode)
{
    int best = -1;
    uint32_t bestLength = 0;
    uint32_t count = ctx->nUdfCount < MAX_UDFS ? ctx->nUdfCount : MAX_UDFS;
    for (uint32_t i = 0; i < count; ++i) {
        const UdfRecord* r = ctx->pUdfRecords[i];
        if (!r || r->nameLength <= bestLength || r->nameLength >= UDF_NAME_SIZE)
            continue;
        if (!MatchAt(prog, r->name, r->nameLength))
            continue;
        if (wordMode && IsWordChar(prog[r->nameLength]))
            continue;
        best = static_cast<int>(i);
        bestLength = r->nameLength;
    }
    return best;
}

// Step 6: add-on functions.
int FindAddon(BDS* ctx, const char* prog, bool wordMode)
{
    uint32_t used = ctx->nNextExtEntry < ADDON_COUNT ? ctx->nNextExtEntry : ADDON_COUNT;
    if (wordMode) {
        char word[WORD_MAX + 1];
        int n = 0;
        for (const char* p = prog; IsWordChar(*p) && n < WORD_MAX; ++p)
            word[n++] = *p;
        word[n] = 0;
        uint32_t value = NameMapLookup(ctx, word);
        return value == KID_NONE ? -1 : static_cast<int>(value);
    }
    int best = -1;
    uint32_t bestLength = 0;
    for (uint32_t i = 0; i < used; ++i) {
        const KeywordRecord& r = AddonRows(ctx)[i];
        if (r.nameLength <= bestLength || r.nameLength >= sizeof(r.name))
            continue;
        if (MatchAt(prog, r.name, r.nameLength)) {
            best = static_cast<int>(i);
            bestLength = r.nameLength;
        }
    }
    return best;
}

// Step 7: the host's functions (word mode only).
int FindHost(BDS* ctx, const char* prog)
{
    const KeywordRecord* table = ctx->pHostKeywords;
    if (!table || table[0].nameLength == 0)
        return -1;
    int best = -1;
    uint32_t bestLength = 0;
    for (uint32_t i = 0; table[i].nameLength != 0 && i < PARENTSTART - 1; ++i) {
        const KeywordRecord& r = table[i];
        if (r.nameLength <= bestLength || r.nameLength >= sizeof(r.name))
            continue;
        if (MatchAt(prog, r.name, r.nameLength) && !IsWordChar(prog[r.nameLength])) {
            best = static_cast<int>(i);
            bestLength = r.nameLength;
        }
    }
    return best;
}

}  // namespace

int FindKeyword(BDS* ctx, int wordMode)
{
    if (!g_QuickLook.built)
        BuildQuickLook();
    if (ctx->eng.ctl.TraceOptions & TRACE_OPT_KEYWORDS)
        DumpKeywordLookup(ctx);
    const char* prog = ctx->prog;
    if (wordMode && IsObjectExpression(ctx, prog)) {
        ctx->delim_type = KID_OLEOBJECT;
        return 1;
    }
    if (ctx->nErrorCode)   // a pointer that could not be resolved
        return 0;
    if (wordMode) {
        uint16_t id = 0;
        KeywordIndexAnswer answer = KeywordIndexFind(ctx, prog, &id);
        if (answer == KI_FOUND) {
            ctx->delim_type = id;
            return 1;
        }
        if (answer == KI_NONE)
            return 0;
    }
    int found = FindStatic(prog, wordMode != 0);
    if (found >= 0) {
        ctx->delim_type = static_cast<uint16_t>(found);
        return 1;
    }
    if (ctx->nUdfBlockTop != -1 && (found = FindUdf(ctx, prog, wordMode != 0)) >= 0) {
        ctx->delim_type = static_cast<uint16_t>(UDFSTART + found);
        return 1;
    }
    if (ctx->nNextExtEntry != 0 && (found = FindAddon(ctx, prog, wordMode != 0)) >= 0) {
        ctx->delim_type = static_cast<uint16_t>(ADDONSTART + found);
        return 1;
    }
    if (wordMode && (found = FindHost(ctx, prog)) >= 0) {
        ctx->delim_type = static_cast<uint16_t>(PARENTSTART + found);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------- records by id

const KeywordRecord* KeywordRecordOf(BDS* ctx, uint32_t id)
{
    if (id < NKEYTOKENS)
        return &g_KeywordTable[id];
    if (id >= PARENTSTART && id < PARENTSTART + 999)
        return ctx->pHostKeywords ? &ctx->pHostKeywords[id - PARENTSTART] : nullptr;
    if (id >= ADDONSTART && id < ADDONSTART + ADDON_COUNT)
        return AddonRows(ctx) ? &AddonRows(ctx)[id - ADDONSTART] : nullptr;
    return nullptr;
}

const UdfRecord* UdfRecordOfId(BDS* ctx, uint32_t id)
{
    return id >= UDFSTART && id < UDFSTART + 999 ? UdfRecordAt(ctx, id - UDFSTART) : nullptr;
}

uint32_t KeywordNameLength(BDS* ctx, uint32_t id)
{
    if (const UdfRecord* u = UdfRecordOfId(ctx, id))
        return u->nameLength;
    const KeywordRecord* r = KeywordRecordOf(ctx, id);
    return r ? r->nameLength : 0;
}

uint32_t KeywordTypeOf(BDS* ctx, uint32_t id)
{
    if (const UdfRecord* u = UdfRecordOfId(ctx, id))
        return u->kind;
    const KeywordRecord* r = KeywordRecordOf(ctx, id);
    return r ? r->type : 0xFFFFFFFF;
}
