// The ForEach loop: walks the items of a delimited text, the elements of an array or the
// keys of a map, keeping a temporary collection in a variable of its own while it runs.
#include "engine/com/com_adapter.h"
#include "engine/core/statement.h"
#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/run_services.h"
#include "engine/core/runloop.h"
#include "engine/core/statement_internal.h"
#include "engine/core/text_length.h"
#include "engine/data/array.h"
#include "engine/data/map.h"
#include "engine/system/environment.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr int64_t WALK_DONE = INT64_MAX;

bool SameText(BDS* ctx, uint64_t saved, const char* text)
{
    return saved && std::strcmp(HeapPtr(ctx, saved), text) == 0;
}

// The rest of the line, trimmed of blanks and a trailing comment-free end.
void CollectionText(const char* p, char* out, size_t size)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    lstrcpynA(out, p, static_cast<int>(size));
    size_t n = TextLength(out);
    while (n > 0 && (out[n - 1] == ' ' || out[n - 1] == '\t'))
        out[--n] = 0;
}

// Makes a temporary collection variable; answers its index, 0 on failure.
uint16_t StoreTemporary(BDS* ctx, const resultants* value)
{
    char name[32];
    wsprintfA(name, "@tempcolvar%x", ++ctx->run.nForEachSerial);
    if (!SetVariableFromValue(ctx, name, value))
        return 0;
    uint16_t index = FindVarIndex(ctx, name);
    if (index == 65535 || index == 0)
        return 0;
    ctx->pVars[index].flags |= VF_COMTEMP;
    return index;
}

// The next item of a delimited text of `length` units; false when the walk is over.
template <typename Unit>
bool NextTextItem(const Unit* text, size_t length, Unit delimiter, int64_t* position, Unit* item, size_t size)
{
    if (*position == WALK_DONE)
        return false;
    auto at = static_cast<size_t>(*position);
    if (at > length || length == 0) {     // an empty text has no items
        *position = WALK_DONE;
        return false;
    }
    const Unit* start = text + at;
    const Unit* stop;
    if constexpr (sizeof(Unit) == 1) {
        stop = static_cast<const Unit*>(std::memchr(start, delimiter, length - at));
        if (!stop)
            stop = text + length;
    } else {
        stop = std::find(start, text + length, delimiter);
    }
    size_t n = static_cast<size_t>(stop - start);
    bool last = stop == text + length;
    size_t copy = n < size - 1 ? n : size - 1;
    std::copy(start, start + copy, item);
    item[copy] = 0;
    *position = last ? WALK_DONE : static_cast<int64_t>(at + n + 1);
    return true;
}

// The loop variable becomes a copy of an array element; an element without a value leaves
// the variable without one.
void SetLoopVariable(BDS* ctx, uint16_t var, const ArrayElement& element)
{
    if (!(element.flags & VF_HAS_VALUE)) {
        VariableEntry& v = ctx->pVars[var];
        FreeValue(ctx, &v, var, VK_ARGUMENT);
        v.flags = VF_UNINIT;
        return;
    }
    resultants copy{};
    InitResultValue(ctx, &copy, VK_RECORD, 0);
    CopyValue(ctx, &element, &copy, 0, 0x800 | 0x200 | 0x20 | VK_ELEMENT);
    if (!ctx->nErrorCode)
        SetVariableFromValue(ctx, ctx->pVars[var].name, &copy);
    FreeValue(ctx, &copy, 0, VK_RECORD);
}

// The next element of an array, every element in storage order; false after the last.
bool NextArrayElement(BDS* ctx, const ArrayHeader* array, ForEachState* s, uint16_t var)
{
    if (!array->data || s->position < 0 || static_cast<uint64_t>(s->position) >= array->count) {
        if (!array->data && array->ndims != 0)
            SetError(ctx, 1637);
        s->position = WALK_DONE;
        return false;
    }
    SetLoopVariable(ctx, var, array->data[s->position++]);
    return !ctx->nErrorCode;
}

// The next key of a map, in the map's iteration order; false after the last. The position
// holds the cursor of the entry to deliver next. The loop's body may remove that entry or
// put another map in the collection's place, so the cursor is used only while its entry is
// still in the map the walk began on; a removed entry's walk goes on in the next bucket.
bool NextMapKey(BDS* ctx, const ArrayHeader* map, ForEachState* s, const char* name)
{
    if (s->position == WALK_DONE)
        return false;
    uintptr_t cursor = s->position == 0 || s->mapStamp != map->stamp
                           ? MapCursorStart(map)
                           : MapCursorRevalidate(map, static_cast<uintptr_t>(s->position), s->nextHash);
    if (!cursor) {
        s->position = WALK_DONE;
        return false;
    }
    const char* key = "";
    uintptr_t next = MapIterate(ctx, map, cursor, &key, nullptr);
    s->position = next ? static_cast<int64_t>(next) : WALK_DONE;
    s->nextHash = MapCursorHash(next);
    s->mapStamp = map->stamp;
    SetVariableByName(ctx, name, key, 0, SV_STRING);   // copies the key before anything changes
    return !ctx->nErrorCode;
}

// ---------------------------------------------------------------- text collections

// A text collection is read once while it stays the same text: every round of a loop over
// a text of n items would otherwise read the whole text (its fingerprint, its length, for
// a wide text its ANSI form) and the loop would cost n squared. The same text is the same
// heap block, its end still where it was and a sample of its units unchanged: texts are
// written in place only by growing them, and every other change makes a new block.
void ForgetText(BDS* ctx, ForEachState& s)
{
    if (s.narrowCopy)
        VFree(ctx, s.narrowCopy);
    s.narrowCopy = 0;
    s.textSeen = 0;
}

bool SameTextAsSeen(BDS* ctx, const ForEachState& s, uint64_t offset, bool wide)
{
    if (!s.textSeen || s.textSeen != offset || s.textWide != wide)
        return false;
    size_t unit = wide ? sizeof(wchar_t) : 1;
    if (VBlockRoom(ctx, offset) < (s.textUnits + 1) * unit)
        return false;
    if (wide) {
        const auto* w = reinterpret_cast<const wchar_t*>(HeapPtr(ctx, offset));
        return w[s.textUnits] == 0 && TextSample(w, s.textUnits) == s.textSample;
    }
    const char* t = HeapPtr(ctx, offset);
    return t[s.textUnits] == 0 && TextSample(t, s.textUnits) == s.textSample;
}

// The variable that the current token names, when the collection expression is that name
// alone (the line ends after it, or `by` follows) and the variable holds a text: the token
// after the name is then read, as the chain would read it after the name. Null otherwise,
// with the parse state as it was.
const ValueHead* TextVariableAlone(BDS* ctx)
{
    if (ctx->nTokenKind != TK_NAME || ctx->front.bPersistentName)
        return nullptr;
    uint16_t index = ctx->front.nNameIndex;
    if (index == 0 || index >= ctx->nVarUsed)
        return nullptr;
    const VariableEntry& v = ctx->pVars[index];
    if ((v.flags & (VF_VARIANT | VF_ARRAY)) || !(v.flags & (VF_STRING | VF_UNICODE)) || !(v.flags & VF_HAS_VALUE)
        || std::strcmp(v.name, ctx->front.szName) != 0)
        return nullptr;
    char* afterName = ctx->prog;
    uint8_t kind = ctx->nTokenKind;
    uint16_t id = ctx->delim_type;
    FrontState front = ctx->front;
    uint16_t error = ctx->nErrorCode;
    if (get_token(ctx) <= 1 && !ctx->nErrorCode
        && (ctx->nTokenKind == TK_END || (ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == KID_BY)))
        return &ctx->pVars[index];
    // Something else follows: the chain reads the expression from the name.
    ctx->nErrorCode = error;
    ctx->front = front;
    ctx->delim_type = id;
    ctx->nTokenKind = kind;
    ctx->prog = afterName;
    std::memcpy(ctx->szToken, front.szName, TextLength(front.szName) + 1);
    return nullptr;
}

// The delimiter of a walk of wide items: the delimiter character in the context's code page.
wchar_t WideDelimiter(BDS* ctx, char delimiter)
{
    wchar_t unit = 0;
    if (MultiByteToWideChar(ValueCodePage(ctx), 0, &delimiter, 1, &unit, 1) != 1)
        unit = static_cast<wchar_t>(static_cast<unsigned char>(delimiter));
    return unit;
}

// Whether `narrow` (in the context's code page) says the wide text `w` of `units` units
// exactly: the way back gives every unit again.
bool NarrowSaysExactly(BDS* ctx, const char* narrow, size_t bytes, const wchar_t* w, size_t units)
{
    if (bytes == 0)
        return units == 0;
    if (bytes > 0x7FFFFFFF || units > 0x7FFFFFFF)
        return false;
    UINT codePage = ValueCodePage(ctx);
    int back = MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(bytes), nullptr, 0);
    if (back < 0 || static_cast<size_t>(back) != units)
        return false;
    std::wstring again(units, L'\0');
    MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(bytes), again.data(), back);
    return again.compare(0, units, w, units) == 0;
}

// The items of a text collection with their length, and its fingerprint (ValueTextHash):
// ANSI text in `items`, or, for a wide text that the code page cannot say, the wide text
// itself in `wideItems` (its items are then given wide, so that no letter turns into "?").
// False with the error when the memory is not there.
bool ReadCollectionText(BDS* ctx, ForEachState& s, const ValueHead* collection, const char** items,
                        const wchar_t** wideItems, size_t* length, uint32_t* fingerprint)
{
    bool wide = !(collection->flags & VF_STRING);
    uint64_t offset = wide ? collection->wstr : collection->str;
    if (!SameTextAsSeen(ctx, s, offset, wide)) {
        ForgetText(ctx, s);
        s.textFingerprint = ValueTextHash(ctx, collection);
        if (wide) {
            const wchar_t* w = ValueWText(ctx, collection);
            s.textUnits = TextLength(w);
            s.textSample = TextSample(w, s.textUnits);
            resultants asText{};
            InitResultValue(ctx, &asText, VK_RECORD, 0);
            CopyValue(ctx, collection, &asText, 0, 0x200 | 0x20 | VK_RECORD);
            const char* narrow = ValueToString(ctx, &asText) ? ValueText(ctx, &asText) : "";
            size_t n = TextLength(narrow);
            s.wideItems = !NarrowSaysExactly(ctx, narrow, n, ValueWText(ctx, collection), s.textUnits);
            if (s.wideItems) {
                s.wideDelimiter = WideDelimiter(ctx, s.delimiter);   // once, not for every item
            } else {
                s.narrowCopy = HeapCopyText(ctx, narrow, n);
                s.narrowLength = n;
            }
            FreeValue(ctx, &asText, 0, VK_RECORD);
            if (!s.wideItems && !s.narrowCopy) {
                SetError(ctx, 3096);
                return false;
            }
        } else {
            const char* t = ValueText(ctx, collection);
            s.textUnits = TextLength(t);
            s.textSample = TextSample(t, s.textUnits);
            s.wideItems = false;
        }
        s.textSeen = offset;
        s.textWide = wide;
    }
    *fingerprint = s.textFingerprint;
    *items = nullptr;
    *wideItems = nullptr;
    if (wide && s.wideItems) {
        *wideItems = reinterpret_cast<const wchar_t*>(HeapPtr(ctx, offset));
        *length = s.textUnits;
    } else if (wide) {
        *items = HeapPtr(ctx, s.narrowCopy);
        *length = s.narrowLength;
    } else {
        *items = HeapPtr(ctx, offset);
        *length = s.textUnits;
    }
    return true;
}

}  // namespace

uint32_t ValueTextHash(BDS* ctx, const ValueHead* value)
{
    uint32_t h = 0x811C9DC5u;
    if (value->flags & VF_STRING) {
        for (const char* p = ValueText(ctx, value); *p; ++p) {
            h ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(*p)));
            h *= 16777619u;
        }
        return h;
    }
    if (value->flags & VF_UNICODE)
        return Fnv1aHashW(ValueWText(ctx, value));
    return 0;
}

void ReleaseForEachFrame(BDS* ctx, uint16_t tempVar, uint32_t frameIndex)
{
    if (tempVar && tempVar < ctx->nVarUsed && (ctx->pVars[tempVar].flags & VF_COMTEMP)) {
        VariableEntry& v = ctx->pVars[tempVar];
        v.flags &= ~VF_COMTEMP;
        FreeValue(ctx, &v, tempVar, VK_ARGUMENT);
        v.flags = 0;
        v.name[0] = 0;
        if (tempVar + 1u == ctx->nVarUsed)
            --ctx->nVarUsed;
    }
    if (frameIndex < MAX_FOREACH_STATES && frameIndex < ctx->nStructDepth &&
        ctx->aStructFrames[frameIndex].kind == SF_FOREACH) {
        ClearForEachState(ctx, ctx->run.forEach[frameIndex]);
        ctx->aStructFrames[frameIndex].temporary = 0;
    }
}

void ClearForEachState(BDS* ctx, ForEachState& s)
{
    CollectionForEachReset(&s.walk);   // a COM walk goes with its loop, however it is left
    if (ctx->HeapBase) {
        if (s.savedText)
            VFree(ctx, s.savedText);
        ForgetText(ctx, s);
    }
    s = ForEachState{};
}

int DoForEach(BDS* ctx, RunSite* site)
{
    StructFrame* top = ctx->nStructDepth ? &ctx->aStructFrames[ctx->nStructDepth - 1] : nullptr;
    bool continuing = top && top->kind == SF_FOREACH && top->linePos == site->lineStart &&
                      top->script == site->script;
    bool skipping = top && top->skip != 0 && !continuing;
    ctx->run.nTraceEvent = 8;
    if (skipping)
        return PushFrame(ctx, SF_FOREACH, SKIP_ALL, site) ? 1 : 0;

    if (get_token(ctx) > 1 || ctx->nErrorCode)
        return 0;
    if (ctx->nTokenKind != TK_NAME) {
        SetError(ctx, 3729);
        return 0;
    }
    uint16_t var = FindVarIndex(ctx, ctx->szToken);
    if (var == 65535) {
        SetError(ctx, 3051);
        return 0;
    }
    char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (!((p[0] == 'i' || p[0] == 'I') && (p[1] == 'n' || p[1] == 'N') && (p[2] == ' ' || p[2] == '\t'))) {
        SetError(ctx, 3729);
        return 0;
    }
    ctx->prog = p + 2;
    char text[TEXTBUF];
    CollectionText(ctx->prog, text, sizeof text);

    uint32_t frameIndex;
    if (!continuing) {
        StructFrame* f = PushFrame(ctx, SF_FOREACH, SKIP_NONE, site);
        if (!f)
            return 0;
        frameIndex = ctx->nStructDepth - 1;
        f->resume = site->lineStart;
        f->variable = var;
        ForEachState& s = ctx->run.forEach[frameIndex];
        ClearForEachState(ctx, s);
        s.delimiter = '\t';
        size_t n = TextLength(text);
        s.savedText = VMalloc(ctx, n + 1);
        if (!s.savedText) {
            SetError(ctx, 3096);
            return 0;
        }
        std::memcpy(HeapPtr(ctx, s.savedText), text, n + 1);
    } else {
        frameIndex = ctx->nStructDepth - 1;
    }
    StructFrame& frame = ctx->aStructFrames[frameIndex];
    ForEachState& state = ctx->run.forEach[frameIndex];

    // The collection: the temporary kept from the first round, or the expression again.
    const ValueHead* collection = nullptr;
    resultants value{};
    InitResultValue(ctx, &value, VK_RECORD, 0);
    bool evaluated = false;
    if (continuing && frame.temporary && SameText(ctx, state.savedText, text) &&
        (ctx->pVars[frame.temporary].flags & VF_COMTEMP)) {
        collection = &ctx->pVars[frame.temporary];
    } else {
        evaluated = true;
        if (get_token(ctx) > 1 || ctx->nErrorCode) {
            ReleaseEvaluated(ctx, &value);
            return 0;
        }
        if (const ValueHead* held = TextVariableAlone(ctx)) {
            // The variable's own text is walked: reading it would copy the whole text on
            // every round.
            collection = held;
        } else {
            ParseLogicalExpr(ctx, &value);
        }
        if (!ctx->nErrorCode && ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == KID_BY) {
            resultants delimiter{};
            InitResultValue(ctx, &delimiter, VK_RECORD, 0);
            if (get_token(ctx) <= 1 && !ctx->nErrorCode)
                ParseLogicalExpr(ctx, &delimiter);
            if (!ctx->nErrorCode) {
                if (!ValueToString(ctx, &delimiter)) {
                    if (!ctx->nErrorCode)
                        SetError(ctx, 3056);
                } else {
                    const char* d = ValueText(ctx, &delimiter);
                    if (TextLength(d) != 1)
                        SetError(ctx, 1705);
                    else
                        state.delimiter = d[0];
                }
            }
            ReleaseEvaluated(ctx, &delimiter);
        }
        if (!ctx->nErrorCode && ctx->nTokenKind != TK_END)
            SetContinuesPastEnd(ctx);
        if (ctx->nErrorCode) {
            ReleaseEvaluated(ctx, &value);
            return 0;
        }
        if (collection) {
            // the variable's own value, read above
        } else if (value.originVar == ORIGIN_NONE || value.originVar == ORIGIN_ELEMENT) {
            uint16_t temp = StoreTemporary(ctx, &value);
            if (!temp) {
                ReleaseEvaluated(ctx, &value);
                if (!ctx->nErrorCode)
                    SetError(ctx, 3096);
                return 0;
            }
            ctx->aStructFrames[frameIndex].temporary = temp;
            collection = &ctx->pVars[temp];
            // The temporary variable now holds the array: a fresh result's own reference
            // went to it, so the record only borrows it from here on.
            if (ValueArray(&value) && value.originVar == ORIGIN_NONE)
                value.originVar = temp;
        } else {
            collection = &value;
        }
    }
    StructFrame& f = ctx->aStructFrames[frameIndex];

    // A variable whose content changed restarts the walk.
    const char* items = nullptr;
    const wchar_t* wideItems = nullptr;
    size_t itemsLength = 0;
    uint32_t fingerprint;
    bool isText = !(collection->flags & (VF_VARIANT | VF_ARRAY)) && (collection->flags & (VF_STRING | VF_UNICODE));
    if (isText) {
        if (!ReadCollectionText(ctx, state, collection, &items, &wideItems, &itemsLength, &fingerprint)) {
            ReleaseEvaluated(ctx, &value);
            return 0;
        }
    } else {
        fingerprint = ValueArray(collection) ? ValueArray(collection)->count : ValueTextHash(ctx, collection);
    }
    if (!continuing || (evaluated && !f.temporary && fingerprint != state.fingerprint))
        state.position = 0;
    state.fingerprint = fingerprint;

    bool found = false;
    if (collection->flags & VF_VARIANT) {
        // A COM collection or a SAFEARRAY. A COM object is walked with this loop's own
        // enumerator (state.walk), never with the one the object value keeps: values copied
        // from one variable share that one, and a loop nested over the same collection
        // would use it up and reset it under the outer loop, which then began again for
        // ever. With a walk of its own each loop sees every element once.
        resultants element{};
        InitResultValue(ctx, &element, VK_RECORD, 0);
        found = CollectionForEachStep(ctx, *collection, &state.position, state.delimiter, &state.items, &state.walk,
                                      &element) != 0;
        if (found)
            SetVariableFromValue(ctx, ctx->pVars[f.variable].name, &element);
        FreeValue(ctx, &element, 0, VK_RECORD);
    } else if (isText && wideItems) {
        wchar_t item[TEXTBUF];
        found = NextTextItem(wideItems, itemsLength, state.wideDelimiter, &state.position, item, TEXTBUF);
        if (found)
            SetVariableByName(ctx, ctx->pVars[f.variable].name, item, 0, SV_WIDE);
    } else if (isText) {
        char item[TEXTBUF];
        found = NextTextItem(items, itemsLength, state.delimiter, &state.position, item, sizeof item);
        if (found)
            SetVariableByName(ctx, ctx->pVars[f.variable].name, item, 0, SV_STRING);
    } else if (collection->flags & VF_ARRAY) {
        const ArrayHeader* array = ValueArray(collection);
        const char* name = ctx->pVars[f.variable].name;
        if (!array)
            SetError(ctx, 1637);
        else
            found = (array->flags & ARRAY_MAP) ? NextMapKey(ctx, array, &state, name)
                                               : NextArrayElement(ctx, array, &state, f.variable);
    } else {
        SetError(ctx, 1690);   // "Ole: Unable to perform enumeration of the specified object"
    }
    ReleaseEvaluated(ctx, &value);
    if (ctx->nErrorCode) {
        // A walk that failed runs no body, also when an error handler lets the script go on.
        f.skip = SKIP_FALSE;
        ReleaseForEachFrame(ctx, f.temporary, frameIndex);
        return 0;
    }
    f.skip = found ? SKIP_NONE : SKIP_FALSE;
    if (!found)
        ReleaseForEachFrame(ctx, f.temporary, frameIndex);
    ctx->run.bTraceOutcome = found;
    return 1;
}
