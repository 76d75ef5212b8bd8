// The map built-ins: MapCreate (with its key-value list reader), MapKeyExist,
// MapKeyRemove, MapKeyFind, MapKeysGet and MapValuesGet.
#include <windows.h>

#include <cstring>

#include "engine/core/heap.h"
#include "engine/core/text_length.h"
#include "engine/data/array_internal.h"
#include "engine/data/map.h"
#include "engine/data/text_join.h"

using namespace arrays;

namespace {

constexpr uint16_t ERR_BAD_PAIRS = 1610;
constexpr uint16_t ERR_BAD_DELIMITER = 1807;
constexpr uint16_t ERR_BAD_REQUEST = 1809;
constexpr int HINT_NEAR_TEXT = 9519;
constexpr int kHintChars = 59;

// A delimiter argument: one character (one or two bytes), or the default when empty.
// 1705 when it is longer.
bool ReadDelimiter(BDS* ctx, const char* text, const char* fallback, char out[3])
{
    if (!*text) text = fallback;
    if (AnsiCharCount(text) != 1) {
        SetError(ctx, ERR_ARRAY_DELIMITER);
        return false;
    }
    int n = AnsiCharBytes(text);
    std::memcpy(out, text, n);
    out[n] = 0;
    return true;
}

// The character at p is the delimiter (both bytes of a double-byte one).
bool IsDelimiterAt(const char* p, int bytes, const char* delimiter)
{
    return bytes == static_cast<int>(TextLength(delimiter)) && std::memcmp(p, delimiter, bytes) == 0;
}

// ---------------------------------------------------------------- key-value lists

// One key or value being read.
struct ListPart {
    enum State { START, TEXT, QUOTED, CLOSED } state = START;
    JoinBuffer<char> text;
    size_t trimmed = 0;   // length without trailing blanks (unquoted text)

    ~ListPart() { JoinFree(&text); }
    size_t Length() const { return state == TEXT ? trimmed : text.length; }
    bool Empty() const { return Length() == 0; }
};

struct ListReader {
    BDS* ctx;
    ArrayHeader* map;
    const char* list;
    char kv[3];
    char pair[3];
    bool tabIsBlank;
    size_t errorAt;

    bool IsBlank(char c) const { return c == ' ' || (c == '\t' && tabIsBlank); }
    bool Fail(const char* at)
    {
        if (!ctx->nErrorCode) SetError(ctx, ERR_BAD_PAIRS);
        errorAt = static_cast<size_t>(at - list);
        return false;
    }
};

bool Append(BDS* ctx, ListPart& part, const char* p, int bytes)
{
    if (!JoinAppend(ctx, &part.text, p, static_cast<size_t>(bytes))) return false;
    if (part.state == ListPart::TEXT) part.trimmed = part.text.length;
    return true;
}

// Stores one finished pair: the key taken over into the map, the value (when there is
// one) replacing the key's old value.
bool StorePair(ListReader& r, ListPart& key, bool hasSeparator, ListPart& value, const char* at)
{
    uint64_t keyText = HeapCopyText(r.ctx, JoinText(&key.text), key.Length());
    if (!keyText) {
        SetError(r.ctx, ERR_ARRAY_HEAP_FULL);
        return r.Fail(at);
    }
    ArrayElement* slot = MapInsertTakeKey(r.ctx, r.map, &keyText);
    if (!slot) {
        if (keyText) VFree(r.ctx, keyText);
        return r.Fail(at);
    }
    if (slot->flags) FreeValue(r.ctx, slot, 0, VK_ELEMENT);
    if (!hasSeparator || value.state == ListPart::START) return true;
    uint64_t text = HeapCopyText(r.ctx, JoinText(&value.text), value.Length());
    if (!text) {
        SetError(r.ctx, ERR_ARRAY_HEAP_FULL);
        return r.Fail(at);
    }
    slot->str = text;
    slot->flags = VF_STRING;
    return true;
}

// Reads the list pair by pair into the map; false with 1610 (or 3096, 1631) and the
// failing position.
bool ReadPairs(ListReader& r)
{
    const char* p = r.list;
    bool anyPair = false;
    for (;;) {
        ListPart key, value;
        ListPart* part = &key;
        bool separator = false;
        for (;;) {
            int bytes = AnsiCharBytes(p);
            if (bytes == 0) break;
            char c = *p;
            if (part->state == ListPart::QUOTED) {
                if (c == '"' && p[1] == '"') {
                    if (!Append(r.ctx, *part, p, 1)) return r.Fail(p);
                    p += 2;
                    continue;
                }
                if (c == '"') part->state = ListPart::CLOSED;
                else if (!Append(r.ctx, *part, p, bytes)) return r.Fail(p);
                p += bytes;
                continue;
            }
            if (IsDelimiterAt(p, bytes, r.pair)) break;
            if (IsDelimiterAt(p, bytes, r.kv)) {
                if (separator) return r.Fail(p);
                separator = true;
                part = &value;
            } else if (c == '"') {
                if (part->state != ListPart::START) return r.Fail(p);
                part->state = ListPart::QUOTED;
            } else if (r.IsBlank(c)) {
                if (part->state == ListPart::TEXT && !JoinAppend(r.ctx, &part->text, p, 1))
                    return r.Fail(p);
            } else {
                if (part->state == ListPart::CLOSED) return r.Fail(p);
                part->state = ListPart::TEXT;
                if (!Append(r.ctx, *part, p, bytes)) return r.Fail(p);
            }
            p += bytes;
        }
        if (part->state == ListPart::QUOTED) return r.Fail(p);
        bool atEnd = *p == 0;
        bool emptyPair = !separator && key.state == ListPart::START;
        if (atEnd && emptyPair && anyPair) return true;  // a closing pair delimiter
        if (key.Empty()) return r.Fail(p);
        if (!StorePair(r, key, separator, value, p)) return false;
        anyPair = true;
        if (atEnd) return true;
        p += AnsiCharBytes(p);  // past the pair delimiter
    }
}

// Number of items of the list at the delimiter (a list of n delimiters has n + 1).
int64_t CountItems(const char* list, const char* delimiter)
{
    if (!*list) return 0;
    int64_t n = 1;
    for (int bytes; (bytes = AnsiCharBytes(list)) != 0; list += bytes)
        if (IsDelimiterAt(list, bytes, delimiter)) ++n;
    return n;
}

void AddNearTextHint(BDS* ctx, const char* list, size_t at)
{
    size_t start = at < kHintChars ? 0 : at - (kHintChars - 1);
    char shown[kHintChars + 1];
    lstrcpynA(shown, list + start, sizeof shown);
    AppendHintText(ctx, HINT_NEAR_TEXT, shown);
}

// The map argument of the key built-ins: 1641 when it is no array, 1637 when no map.
ArrayHeader* MapArg(BDS* ctx, const ValueHead& value)
{
    if (!(value.flags & VF_ARRAY)) {
        SetError(ctx, ERR_ARRAY_NOT_ARRAY);
        return nullptr;
    }
    ArrayHeader* map = ValueArray(&value);
    if (!MapTableOf(map)) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return nullptr;
    }
    return map;
}

// The key argument, or null when it has no narrow text.
const char* KeyArg(BDS* ctx, const ValueHead& value)
{
    if (!(value.flags & VF_STRING) || (value.flags & VF_ARRAY)) return nullptr;
    return ValueText(ctx, &value);
}

}  // namespace

// ---------------------------------------------------------------- MapCreate

void MapCreateCase(BDS* ctx, BuiltinCall& call)
{
    const char* list = ArgText(ctx, call, 1);
    ValueHead made{};
    if (!*list) {
        if (MapAlloc(ctx, MapInitialSize(ctx), &made)) SetResultArray(ctx, call.result, made);
        return;
    }
    ListReader r{ctx, nullptr, list, {}, {}, true, 0};
    if (!ReadDelimiter(ctx, ArgText(ctx, call, 2), ",", r.kv)) return;
    if (!ReadDelimiter(ctx, ArgText(ctx, call, 3), "\t", r.pair)) return;
    if (std::strcmp(r.kv, r.pair) == 0 || r.kv[0] == '"' || r.pair[0] == '"' || r.kv[0] == ' '
        || r.pair[0] == ' ') {
        SetError(ctx, ERR_BAD_DELIMITER);
        return;
    }
    r.tabIsBlank = std::strcmp(r.kv, "\t") != 0 && std::strcmp(r.pair, "\t") != 0;

    int64_t pairs = CountItems(list, r.pair);
    int64_t buckets = MapInitialSize(ctx);
    int64_t wanted = MulDiv(static_cast<int>(pairs > 0x7FFFFFFF ? 0x7FFFFFFF : pairs), 6, 5);
    if (wanted > buckets) buckets = wanted;
    if (!MapAlloc(ctx, buckets, &made)) return;
    r.map = ValueArray(&made);
    if (!ReadPairs(r)) {
        uint64_t holder = made.str;
        ReleaseArray(ctx, &holder, 0);
        if (r.errorAt > 0 && ctx->nErrorCode == ERR_BAD_PAIRS) AddNearTextHint(ctx, list, r.errorAt);
        SetResultInt(ctx, call.result, 0);
        return;
    }
    SetResultArray(ctx, call.result, made);
}

// ---------------------------------------------------------------- key built-ins

void MapKeyExistCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* map = MapArg(ctx, call.args[1]);
    if (!map) return;
    const char* key = KeyArg(ctx, call.args[2]);
    SetResultInt(ctx, call.result, key && MapContains(ctx, map, key) ? 1 : 0);
}

void MapKeyRemoveCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* map = MapArg(ctx, call.args[1]);
    if (!map) return;
    const char* key = KeyArg(ctx, call.args[2]);
    SetResultInt(ctx, call.result, key ? MapRemove(ctx, map, key) : 0);
}

void MapKeyFindCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* map = MapArg(ctx, call.args[1]);
    if (!map) return;
    const char* key = KeyArg(ctx, call.args[2]);
    const ArrayElement* found = MapFind(ctx, map, key ? key : "");
    resultants* result = call.result;
    constexpr int kDeep = VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF | VM_TO_RECORD;
    if (found && found->flags) {
        FreeValue(ctx, result, 0, VK_RECORD);
        if (!CopyValue(ctx, found, result, 0, VK_ELEMENT | kDeep)) {
            InitResultValue(ctx, result, VK_RECORD, 0);
            return;
        }
    } else if (HasArg(call, 3)) {
        FreeValue(ctx, result, 0, VK_RECORD);
        if (!CopyValue(ctx, &call.args[3], result, 0, VK_RECORD | kDeep)) {
            InitResultValue(ctx, result, VK_RECORD, 0);
            return;
        }
    } else {
        SetResultInt(ctx, result, 0);
        return;
    }
    result->originAddr = 0;  // the copy is the result's own
    result->originVar = ORIGIN_NONE;
    result->originScope = 0xFFFF;
}

// ---------------------------------------------------------------- MapKeysGet, MapValuesGet

namespace {

// A one-dimension array of the keys (or of copies of the values), in iteration order.
void ListAsArray(BDS* ctx, ArrayHeader* map, bool keys, resultants* result)
{
    uint64_t count = MapCount(map);
    ValueHead made{};
    if (count > 0x7FFFFFFF) {
        SetError(ctx, ERR_ARRAY_BAD_DIMENSION);
        return;
    }
    if (CreateMyArray(ctx, &made, static_cast<uint32_t>(count), 0, 0, 0, 0, 0, 1) < 0) return;
    ArrayHeader* array = ValueArray(&made);
    uint32_t i = 0;
    for (uintptr_t c = MapCursorStart(map); c && i < array->count; ++i) {
        const char* key = "";
        ArrayElement* value = nullptr;
        c = MapIterate(ctx, map, c, &key, &value);
        ArrayElement& slot = array->data[i];
        bool ok = true;
        if (keys) {
            slot.str = HeapCopyText(ctx, key, TextLength(key));
            if (slot.str) slot.flags = VF_STRING;
            else SetError(ctx, ERR_ARRAY_HEAP_FULL), ok = false;
        } else if (value->flags) {
            ok = CopyValue(ctx, value, &slot, 0,
                           VK_ELEMENT | VM_TO_ELEMENT | VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF) != 0;
        }
        if (!ok) {
            uint64_t holder = made.str;
            ReleaseArray(ctx, &holder, 0);
            SetResultInt(ctx, result, 0);
            return;
        }
    }
    SetResultArray(ctx, result, made);
}

void KeysAsText(BDS* ctx, ArrayHeader* map, const char* delimiter, resultants* result)
{
    JoinBuffer<char> joined;
    size_t delimiterLength = TextLength(delimiter);
    bool first = true;
    for (uintptr_t c = MapCursorStart(map); c;) {
        const char* key = "";
        c = MapIterate(ctx, map, c, &key, nullptr);
        if ((!first && !JoinAppend(ctx, &joined, delimiter, delimiterLength))
            || !JoinAppend(ctx, &joined, key, TextLength(key))) {
            JoinFree(&joined);
            return;
        }
        first = false;
    }
    SetResultText(ctx, result, JoinText(&joined), joined.length);
    JoinFree(&joined);
}

void ValuesAsText(BDS* ctx, ArrayHeader* map, const wchar_t* delimiter, resultants* result)
{
    JoinBuffer<wchar_t> joined;
    size_t delimiterLength = TextLength(delimiter);
    bool first = true;
    for (uintptr_t c = MapCursorStart(map); c;) {
        ArrayElement* value = nullptr;
        c = MapIterate(ctx, map, c, nullptr, &value);
        if (!value->flags) continue;
        // A shallow copy gains the wide form; only what the conversion made is freed.
        resultants copy{};
        std::memcpy(static_cast<ValueHead*>(&copy), value, sizeof(ValueHead));
        copy.originVar = ORIGIN_ELEMENT;
        bool hadWide = (value->flags & VF_UNICODE) && value->wstr;
        bool hadNarrow = (value->flags & VF_STRING) && !(value->flags & VF_ARRAY);
        if (!ValueToWide(ctx, &copy)) {
            if (ctx->nErrorCode == ERR_ARRAY_HEAP_FULL) break;
            ctx->nErrorCode = 0;
            continue;
        }
        const wchar_t* text = ValueWText(ctx, &copy);
        bool ok = (first || JoinAppend(ctx, &joined, delimiter, delimiterLength))
                  && JoinAppend(ctx, &joined, text, TextLength(text));
        if (!hadWide && copy.wstr) VFree(ctx, copy.wstr);
        if (!hadNarrow && (copy.flags & VF_STRING) && copy.str) VFree(ctx, copy.str);
        if (!ok) break;
        first = false;
    }
    if (!ctx->nErrorCode) SetResultWText(ctx, result, JoinText(&joined), joined.length);
    JoinFree(&joined);
}

void KeysOrValues(BDS* ctx, BuiltinCall& call, bool keys)
{
    ArrayHeader* map = MapArg(ctx, call.args[1]);
    if (!map) return;
    int32_t format = ArgInt(call, 2, 0);
    if (format != 1 && format != 2) {
        SetError(ctx, ERR_BAD_REQUEST);
        return;
    }
    uint16_t entryError = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    if (format == 1) {
        ListAsArray(ctx, map, keys, call.result);
    } else {
        char delimiter[3];
        if (ReadDelimiter(ctx, ArgText(ctx, call, 3), "\t", delimiter)) {
            if (keys) {
                KeysAsText(ctx, map, delimiter, call.result);
            } else {
                wchar_t wide[3] = {};
                MultiByteToWideChar(ValueCodePage(ctx), 0, delimiter, -1, wide, 3);
                ValuesAsText(ctx, map, wide, call.result);
            }
        }
    }
    if (!ctx->nErrorCode) ctx->nErrorCode = entryError;
}

}  // namespace

void MapKeysGetCase(BDS* ctx, BuiltinCall& call) { KeysOrValues(ctx, call, true); }
void MapValuesGetCase(BDS* ctx, BuiltinCall& call) { KeysOrValues(ctx, call, false); }
