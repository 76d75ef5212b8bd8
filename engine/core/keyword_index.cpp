// The keyword index: one hash probe per word for the static table, and one for the
// user-defined and host functions of the context, with the same precedence as the walks
// of FindKeyword (static, user-defined, add-on, host; the first of equal names wins).
#include "engine/core/keyword_index.h"

#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/keyword_lookup.h"
#include "engine/core/runloop.h"
#include "engine/core/short_text.h"
#include "engine/native/addon_keywords.h"

namespace {

constexpr uint32_t WORD_MAX = VARNAMESIZE;
constexpr uint32_t STATIC_SLOTS = 2048;     // a power of two, over twice the 809 names
constexpr uint32_t CONTEXT_SLOTS = 4096;    // 512 functions and 999 host records at most

struct Slot {
    uint32_t hash;
    uint16_t id;
    uint16_t used;
};

struct StaticIndex {
    Slot slots[STATIC_SLOTS];
    bool built;
};
StaticIndex g_StaticIndex;

}  // namespace

// The context's part: user-defined and host functions.
struct KeywordIndex {
    bool valid;
    bool partial;                   // a name the index cannot hold: the walks must run
    uint32_t stamp;                 // ctx->cache.tableStamp at the build
    uint32_t udfCount;
    int32_t udfBlockTop;
    const KeywordRecord* host;
    uint32_t hostPrint;             // fingerprint of the host's names
    uint32_t hostEpoch;             // ctx->host.nHostEpoch when the names were last compared
    Slot slots[CONTEXT_SLOTS];
};

namespace {

inline uint32_t HashStep(uint32_t h, uint8_t c) { return (h ^ c) * 16777619u; }

uint32_t HashBytes(const char* text, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i)
        h = HashStep(h, static_cast<uint8_t>(text[i]));
    return h;
}

bool AllWordChars(const char* name, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (!IsWordChar(name[i]))
            return false;
    return true;
}

// Inserts unless the name is there already (the first of equal names wins).
template <typename NameOf>
void Insert(Slot* slots, uint32_t mask, uint32_t hash, uint16_t id, const char* name, size_t n, NameOf nameOf)
{
    for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& s = slots[i];
        if (!s.used) {
            s.hash = hash;
            s.id = id;
            s.used = 1;
            return;
        }
        if (s.hash == hash) {
            size_t length = 0;
            const char* other = nameOf(s.id, &length);
            if (other && length == n && SameBytes(other, name, n))
                return;
        }
    }
}

template <typename NameOf>
int Probe(const Slot* slots, uint32_t mask, uint32_t hash, const char* word, size_t n, NameOf nameOf)
{
    for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots[i];
        if (!s.used)
            return -1;
        if (s.hash == hash) {
            size_t length = 0;
            const char* name = nameOf(s.id, &length);
            if (name && length == n && SameBytes(name, word, n))
                return s.id;
        }
    }
}

const char* StaticName(uint16_t id, size_t* length)
{
    *length = g_KeywordTable[id].nameLength;
    return g_KeywordTable[id].name;
}

void BuildStaticIndex()
{
    for (uint32_t i = 0; i < NKEYTOKENS; ++i) {
        const KeywordRecord& r = g_KeywordTable[i];
        size_t n = r.nameLength;
        if (n == 0 || n > WORD_MAX)
            continue;
        Insert(g_StaticIndex.slots, STATIC_SLOTS - 1, HashBytes(r.name, n), static_cast<uint16_t>(i), r.name, n,
               StaticName);
    }
    g_StaticIndex.built = true;
}

// The host's names as a number, to tell whether they changed while the host had control.
uint32_t HostFingerprint(const KeywordRecord* table)
{
    uint32_t h = 2166136261u;
    if (!table)
        return h;
    for (uint32_t i = 0; table[i].nameLength != 0 && i < PARENTSTART - 1; ++i) {
        size_t n = table[i].nameLength < sizeof(table[i].name) ? table[i].nameLength : sizeof(table[i].name);
        h = HashStep(h, static_cast<uint8_t>(n));
        for (size_t k = 0; k < n; ++k)
            h = HashStep(h, static_cast<uint8_t>(table[i].name[k]));
    }
    return h;
}

struct ContextNames {
    BDS* ctx;
    const char* operator()(uint16_t id, size_t* length) const
    {
        if (id >= UDFSTART) {
            const UdfRecord* r = UdfRecordAt(ctx, id - UDFSTART);
            *length = r ? r->nameLength : 0;
            return r ? r->name : nullptr;
        }
        const KeywordRecord& r = ctx->pHostKeywords[id - PARENTSTART];
        *length = r.nameLength;
        return r.name;
    }
};

void BuildContextIndex(BDS* ctx, KeywordIndex* index)
{
    std::memset(index->slots, 0, sizeof index->slots);
    index->partial = false;
    ContextNames names{ctx};
    constexpr uint32_t mask = CONTEXT_SLOTS - 1;
    // The walk over user-defined functions runs only while a record block exists.
    if (ctx->nUdfBlockTop != -1) {
        uint32_t count = ctx->nUdfCount < MAX_UDFS ? ctx->nUdfCount : MAX_UDFS;
        for (uint32_t i = 0; i < count; ++i) {
            const UdfRecord* r = ctx->pUdfRecords[i];
            if (!r || r->nameLength >= UDF_NAME_SIZE || r->nameLength == 0)
                continue;
            if (!AllWordChars(r->name, r->nameLength)) {
                index->partial = true;
                continue;
            }
            Insert(index->slots, mask, HashBytes(r->name, r->nameLength), static_cast<uint16_t>(UDFSTART + i),
                   r->name, r->nameLength, names);
        }
    }
    const KeywordRecord* table = ctx->pHostKeywords;
    if (table && table[0].nameLength != 0) {
        for (uint32_t i = 0; table[i].nameLength != 0 && i < PARENTSTART - 1; ++i) {
            const KeywordRecord& r = table[i];
            if (r.nameLength >= sizeof(r.name))
                continue;
            if (r.nameLength > WORD_MAX || !AllWordChars(r.name, r.nameLength)) {
                index->partial = true;
                continue;
            }
            Insert(index->slots, mask, HashBytes(r.name, r.nameLength), static_cast<uint16_t>(PARENTSTART + i), r.name,
                   r.nameLength, names);
        }
    }
    index->stamp = ctx->cache.tableStamp;
    index->udfCount = ctx->nUdfCount;
    index->udfBlockTop = ctx->nUdfBlockTop;
    index->host = ctx->pHostKeywords;
    index->hostPrint = HostFingerprint(ctx->pHostKeywords);
    index->hostEpoch = ctx->host.nHostEpoch;
    index->valid = true;
}

// The context's index, current with the tables; null when there is no memory for one.
// A change that came without KeywordTablesChanged (the host's names, or the number of
// functions) moves the stamp on too, so that every cached answer learns of it.
KeywordIndex* CurrentContextIndex(BDS* ctx)
{
    KeywordIndex* index = ctx->cache.keywordIndex;
    if (!index) {
        index = static_cast<KeywordIndex*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeywordIndex)));
        if (!index)
            return nullptr;
        ctx->cache.keywordIndex = index;
    }
    bool stampCurrent = index->valid && index->stamp == ctx->cache.tableStamp;
    bool current = stampCurrent && index->udfCount == ctx->nUdfCount && index->udfBlockTop == ctx->nUdfBlockTop
                   && index->host == ctx->pHostKeywords;
    if (current && index->hostEpoch != ctx->host.nHostEpoch) {
        // The host had control: its table may have grown or changed.
        if (HostFingerprint(ctx->pHostKeywords) == index->hostPrint)
            index->hostEpoch = ctx->host.nHostEpoch;
        else
            current = false;
    }
    if (!current) {
        if (stampCurrent)
            ++ctx->cache.tableStamp;
        BuildContextIndex(ctx, index);
    }
    return index;
}

}  // namespace

KeywordIndexAnswer KeywordIndexFind(BDS* ctx, const char* prog, uint16_t* id)
{
    char word[WORD_MAX + 1];
    uint32_t n = 0;
    uint32_t h = 2166136261u;
    for (const char* p = prog; IsWordChar(*p); ++p) {
        if (n == WORD_MAX)
            return KI_UNKNOWN;
        char c = LowerChar(*p);
        word[n++] = c;
        h = HashStep(h, static_cast<uint8_t>(c));
    }
    if (!g_StaticIndex.built)
        BuildStaticIndex();
    int found = Probe(g_StaticIndex.slots, STATIC_SLOTS - 1, h, word, n, StaticName);
    if (found >= 0) {
        *id = static_cast<uint16_t>((found == KID_MOD && prog[n] == '=') ? KID_MOD_ASSIGN : found);
        return KI_FOUND;
    }
    KeywordIndex* index = CurrentContextIndex(ctx);
    if (!index || index->partial)
        return KI_UNKNOWN;
    found = Probe(index->slots, CONTEXT_SLOTS - 1, h, word, n, ContextNames{ctx});
    if (found >= static_cast<int>(UDFSTART)) {
        *id = static_cast<uint16_t>(found);
        return KI_FOUND;
    }
    if (ctx->nNextExtEntry != 0) {
        char written[WORD_MAX + 1];
        std::memcpy(written, prog, n);
        written[n] = 0;
        uint32_t value = NameMapLookup(ctx, written);
        if (value != KID_NONE) {
            *id = static_cast<uint16_t>(ADDONSTART + value);
            return KI_FOUND;
        }
    }
    if (found >= 0) {
        *id = static_cast<uint16_t>(found);
        return KI_FOUND;
    }
    return KI_NONE;
}

void KeywordTablesChanged(BDS* ctx)
{
    ++ctx->cache.tableStamp;
}

uint32_t KeywordTablesStamp(BDS* ctx)
{
    CurrentContextIndex(ctx);
    return ctx->cache.tableStamp;
}

void KeywordIndexFree(BDS* ctx)
{
    if (ctx->cache.keywordIndex)
        HeapFree(GetProcessHeap(), 0, ctx->cache.keywordIndex);
    ctx->cache.keywordIndex = nullptr;
}
