// Array search and sort: ArrayLocate, ArraySearch (linear and binary) and ArraySort (a
// heap sort of the rows by a key column), with their comparisons: the language's own
// comparison operators, the system's logical text order, and plain code-unit order.
#include <windows.h>

#include <cmath>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "engine/core/heap.h"
#include "engine/core/operators.h"
#include "engine/core/text_length.h"
#include "engine/data/array_internal.h"
#include "engine/data/array_rebuild.h"
#include "engine/data/logical_keys.h"
#include "engine/data/sort_keys.h"

using namespace arrays;

namespace {

constexpr uint16_t ERR_NOT_SUPPORTED = 1193;
constexpr uint16_t ERR_SORT_COLUMN = 1830;
constexpr uint16_t ERR_SORT_RANGE = 1831;
constexpr uint16_t ERR_SORT_OPTION = 1832;
constexpr uint16_t ERR_SEARCH_COLUMN = 1834;
constexpr uint16_t ERR_SEARCH_RANGE = 1835;
constexpr uint16_t ERR_SEARCH_OPTION = 1836;
constexpr uint16_t ERR_NOT_UNICODE = 3992;

enum : int { OPT_SORTED = 1, OPT_NO_CASE = 2, OPT_LOGICAL = 4, OPT_ORDINAL = 8, OPT_DESCENDING = 16 };

// ---------------------------------------------------------------- comparisons

bool IsUsableKey(const ValueHead& v) { return v.flags != 0 && !(v.flags & VF_ARRAY); }

// Error of a failed comparison between a and b: uninitialised values and array
// references have errors of their own; otherwise the operator's error stands.
void ComparisonFailed(BDS* ctx, const ValueHead& a, const ValueHead& b)
{
    if (a.flags == 0 || b.flags == 0) SetError(ctx, ERR_ARRAY_UNINIT_ELEMENT);
    else if ((a.flags | b.flags) & VF_ARRAY) SetError(ctx, ERR_NOT_UNICODE);
    else if (!ctx->nErrorCode) SetError(ctx, 3057);
}

// a <op> b through the language's comparison operator (numbers as numbers, texts as
// texts, case-insensitive on request). Answers 1 or 0; on failure 0 with the error.
int CompareElements(BDS* ctx, uint16_t op, const ValueHead& a, const ValueHead& b, bool noCase)
{
    if (!IsUsableKey(a) || !IsUsableKey(b)) {
        ComparisonFailed(ctx, a, b);
        return 0;
    }
    // The operator turns its left operand into its answer, so the left side gets texts of
    // its own; the right side is a shallow copy whose added forms are freed after.
    resultants left{}, right{};
    if (!CopyValue(ctx, &a, &left, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT)) return 0;
    std::memcpy(static_cast<ValueHead*>(&right), &b, sizeof(ValueHead));
    right.originVar = ORIGIN_ELEMENT;  // its COM value is borrowed
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    CompareValues(ctx, op, &left, &right, 0, noCase ? 1 : 0);
    bool failed = ctx->nErrorCode != 0;
    int truth = !failed && (left.flags & VF_INT) && left.i32 ? 1 : 0;
    FreeValue(ctx, &left, 0, VK_RECORD);
    DropAddedTexts(ctx, right, b);
    if (failed) {
        ComparisonFailed(ctx, a, b);
        return 0;
    }
    ctx->nErrorCode = saved;
    return truth;
}

// A value's wide text for the text comparisons: the heap offset and whether it was made
// here (and must be freed).
struct WideKey {
    uint64_t offset;
    bool owned;
};

bool MakeWideKey(BDS* ctx, const ValueHead& v, const ValueHead& other, WideKey* key)
{
    key->offset = 0;
    key->owned = false;
    if ((v.flags & VF_UNICODE) && v.wstr) {
        key->offset = v.wstr;
        return true;
    }
    resultants copy{};
    std::memcpy(static_cast<ValueHead*>(&copy), &v, sizeof(ValueHead));
    copy.originVar = ORIGIN_ELEMENT;
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    bool ok = v.flags != 0 && !(v.flags & VF_ARRAY) && ValueToWide(ctx, &copy) && copy.wstr;
    uint16_t error = ctx->nErrorCode;
    if (ok) {
        key->offset = copy.wstr;
        key->owned = true;
        copy.wstr = 0;
        copy.flags &= ~VF_UNICODE;
    }
    DropAddedTexts(ctx, copy, v);
    if (ok) {
        ctx->nErrorCode = saved;
        return true;
    }
    if (v.flags == 0) SetError(ctx, ERR_ARRAY_UNINIT_ELEMENT);
    else if (error && error != ERR_NOT_UNICODE && !((v.flags | other.flags) & VF_ARRAY)) SetError(ctx, error);
    else SetError(ctx, ERR_NOT_UNICODE);
    return false;
}

void FreeWideKey(BDS* ctx, WideKey& key)
{
    if (key.owned && key.offset) VFree(ctx, key.offset);
    key = {};
}

using TextCompare = int (*)(const wchar_t*, const wchar_t*);

// Code unit by code unit; a proper prefix is smaller.
int CompareOrdinal(const wchar_t* a, const wchar_t* b)
{
    for (;; ++a, ++b) {
        auto x = static_cast<uint16_t>(*a), y = static_cast<uint16_t>(*b);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

PfnStrCmpLogicalW g_logical;  // the loaded function, for the plain comparison pointer
int CompareLogical(const wchar_t* a, const wchar_t* b) { return g_logical(a, b); }

// The system's logical order, loaded once per context; 1193 when it is not available.
TextCompare LogicalCompare(BDS* ctx)
{
    PfnStrCmpLogicalW logical = StrCmpLogicalOf(ctx);
    if (!logical) {
        SetError(ctx, ERR_NOT_SUPPORTED);
        return nullptr;
    }
    g_logical = logical;
    return CompareLogical;
}

bool Holds(uint16_t op, int r)
{
    switch (op) {
    case KID_LT: return r < 0;
    case KID_LE: return r < 1;
    case KID_EQ: return r == 0;
    case KID_GT: return r > 0;
    case KID_GE: return r >= 0;
    default: return false;
    }
}

const wchar_t* WideOf(BDS* ctx, const WideKey& key)
{
    return reinterpret_cast<const wchar_t*>(HeapPtr(ctx, key.offset));
}

// a <op> b as wide texts by the compare function. 1 or 0; on failure 0 with the error.
int CompareTexts(BDS* ctx, uint16_t op, const ValueHead& a, const ValueHead& b, TextCompare compare)
{
    WideKey ka, kb;
    if (!MakeWideKey(ctx, a, b, &ka)) return 0;
    if (!MakeWideKey(ctx, b, a, &kb)) {
        FreeWideKey(ctx, ka);
        return 0;
    }
    int truth = Holds(op, compare(WideOf(ctx, ka), WideOf(ctx, kb))) ? 1 : 0;
    FreeWideKey(ctx, ka);
    FreeWideKey(ctx, kb);
    return truth;
}

// ---------------------------------------------------------------- shared checks

// The array argument of the search and sort built-ins: 1641, 1637, 1710, 1805 (over two
// dimensions when `upToTwo`).
ArrayHeader* SearchArray(BDS* ctx, const ValueHead& value, bool upToTwo)
{
    if (!(value.flags & VF_ARRAY)) {
        SetError(ctx, ERR_ARRAY_NOT_ARRAY);
        return nullptr;
    }
    return DimensionedArrayOf(ctx, value, upToTwo ? 2 : MAX_ARRAY_DIMS);
}

// Rows, columns and the key column of a one- or two-dimension array; false when the
// column is out of range.
struct RowLayout {
    uint32_t rows;
    uint32_t columns;   // 1 for a one-dimension array
    uint32_t column;
};

bool LayoutOf(const ArrayHeader* array, int32_t column, RowLayout* layout)
{
    layout->rows = array->dims[0];
    layout->columns = array->ndims == 2 ? array->dims[1] : 1;
    if (column < 0) column = 0;
    if (static_cast<uint32_t>(column) >= layout->columns) return false;
    layout->column = static_cast<uint32_t>(column);
    return true;
}

// Start and end rows (negative: the first and the last); false when out of range.
bool RangeOf(const RowLayout& layout, int32_t start, int32_t end, uint32_t* first, uint32_t* last)
{
    int64_t s = start < 0 ? 0 : start;
    int64_t e = end < 0 ? static_cast<int64_t>(layout.rows) - 1 : end;
    if (s >= layout.rows || e >= layout.rows || s > e) return false;
    *first = static_cast<uint32_t>(s);
    *last = static_cast<uint32_t>(e);
    return true;
}

const ArrayElement& KeyOf(const ArrayHeader* array, const RowLayout& layout, uint32_t row)
{
    return array->data[static_cast<size_t>(row) * layout.columns + layout.column];
}

}  // namespace

PfnStrCmpLogicalW StrCmpLogicalOf(BDS* ctx)
{
    ArrayState& state = ctx->arrays;
    if (!state.pfnStrCmpLogicalW) {
        UINT mode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
        if (!state.hShlwapi) state.hShlwapi = LoadLibraryA("SHLWAPI.DLL");
        SetErrorMode(mode);
        if (state.hShlwapi)
            state.pfnStrCmpLogicalW = reinterpret_cast<PfnStrCmpLogicalW>(
                reinterpret_cast<void*>(GetProcAddress(state.hShlwapi, "StrCmpLogicalW")));
    }
    return state.pfnStrCmpLogicalW;
}


// ---------------------------------------------------------------- ArrayLocate

void ArrayLocateCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = SearchArray(ctx, call.args[1], false);
    if (!array) return;
    if (call.argc > array->ndims + 2) {
        SetError(ctx, ERR_ARRAY_DIM_COUNT);
        return;
    }
    const ValueHead& value = call.args[2];
    if (value.flags & VF_ARRAY) {
        SetError(ctx, ERR_ARRAY_NEEDS_DIMS);
        return;
    }
    uint32_t subs[MAX_ARRAY_DIMS] = {};
    for (int d = 0; d < MAX_ARRAY_DIMS; ++d)
        subs[d] = static_cast<uint32_t>(ArgInt(call, 3 + d, 0));
    uint32_t start = ArrayLinearIndex(array, subs);
    if (start >= array->count) {
        // Only the position just past the last element may be given.
        int last = array->ndims - 1;
        bool pastEnd = subs[last] <= array->dims[last];
        for (int d = 0; d < last; ++d) pastEnd = pastEnd && subs[d] == array->dims[d] - 1;
        if (!pastEnd) {
            SetError(ctx, ERR_ARRAY_BOUNDS);
            return;
        }
    }
    int64_t found = -1;
    for (uint32_t i = start; i < array->count; ++i) {
        const ArrayElement& element = array->data[i];
        if (!IsUsableKey(element)) continue;
        int truth = CompareElements(ctx, KID_EQ, element, value, false);
        if (ctx->nErrorCode) return;
        if (truth) {
            found = i;
            break;
        }
    }
    ValueHead made{};
    if (CreateMyArray(ctx, &made, array->ndims, 0, 0, 0, 0, 0, 1) < 0) return;
    ArrayHeader* answer = ValueArray(&made);
    uint32_t at[MAX_ARRAY_DIMS] = {};
    if (found >= 0) ArraySubscriptsOf(array, static_cast<uint32_t>(found), at);
    for (uint32_t d = 0; d < answer->count; ++d) {
        answer->data[d].flags = VF_INT;
        answer->data[d].i32 = found >= 0 ? static_cast<int32_t>(at[d]) : -1;
    }
    SetResultArray(ctx, call.result, made);
}

// ---------------------------------------------------------------- ArraySearch

namespace {

int32_t Search(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = SearchArray(ctx, call.args[1], true);
    if (!array) return ctx->nErrorCode == ERR_ARRAY_NOT_ARRAY ? 0 : -1;
    const ValueHead& value = call.args[2];
    if (value.flags & VF_ARRAY) {
        SetError(ctx, ERR_ARRAY_NEEDS_DIMS);
        return -1;
    }
    int32_t options = ArgInt(call, 3, 0);
    bool noCase = options & OPT_NO_CASE;
    int bits = options & ~OPT_NO_CASE;
    int method = 0;
    if (bits & OPT_SORTED) method = OPT_SORTED;
    else if (bits & OPT_LOGICAL) method = OPT_LOGICAL;
    else if (bits & OPT_ORDINAL) method = OPT_ORDINAL;
    bits &= ~method;
    if (bits || (method == OPT_ORDINAL && noCase)) {
        SetError(ctx, ERR_SEARCH_OPTION);
        return -1;
    }
    RowLayout layout;
    if (!LayoutOf(array, ArgInt(call, 4, -1), &layout)) {
        SetError(ctx, ERR_SEARCH_COLUMN);
        return -1;
    }
    uint32_t first, last;
    if (!RangeOf(layout, ArgInt(call, 5, -1), ArgInt(call, 6, -1), &first, &last)) {
        SetError(ctx, ERR_SEARCH_RANGE);
        return -1;
    }
    TextCompare compare = nullptr;
    if (method == OPT_LOGICAL && !(compare = LogicalCompare(ctx))) return -1;
    if (method == OPT_ORDINAL) compare = CompareOrdinal;

    if (method == 0) {
        for (uint32_t row = first; row <= last; ++row) {
            const ArrayElement& key = KeyOf(array, layout, row);
            if (!IsUsableKey(key)) continue;
            int truth = CompareElements(ctx, KID_EQ, key, value, noCase);
            if (ctx->nErrorCode) return -1;
            if (truth) return static_cast<int32_t>(row);
        }
        return -1;
    }
    auto holds = [&](uint16_t op, const ValueHead& key) {
        return compare ? CompareTexts(ctx, op, value, key, compare) : CompareElements(ctx, op, value, key, noCase);
    };
    int64_t lo = first, hi = last;
    while (lo <= hi) {
        int64_t mid = (lo + hi) / 2;
        const ArrayElement& key = KeyOf(array, layout, static_cast<uint32_t>(mid));
        if (key.flags == 0) {
            SetError(ctx, ERR_ARRAY_UNINIT_ELEMENT);
            return -1;
        }
        int greater = holds(KID_GT, key);
        if (ctx->nErrorCode) return -1;
        if (greater) {
            lo = mid + 1;
            continue;
        }
        int less = holds(KID_LT, key);
        if (ctx->nErrorCode) return -1;
        if (less) hi = mid - 1;
        else return static_cast<int32_t>(mid);
    }
    return -1;
}

}  // namespace

void ArraySearchCase(BDS* ctx, BuiltinCall& call)
{
    uint16_t entryError = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    int32_t row = Search(ctx, call);
    SetResultInt(ctx, call.result, row);
    if (!ctx->nErrorCode) ctx->nErrorCode = entryError;
}

// ---------------------------------------------------------------- ArraySort

namespace {

// ---------------------------------------------------------------- keys read once

// Each row's key as the language's comparison meets it, read once before the sort: two
// numbers, two short integer texts, or two texts of which one reads as no number are
// compared here without the comparison operator and its conversions, texts by their sort
// keys; every other pair still goes through the operator. The answers are the operator's
// own, so the sort moves the rows exactly as it would comparing through the operator.
struct ReadKeys {
    ComparisonShape* shapes;    // per row; null when the keys could not be read
    int32_t* numbers;           // CS_INT, CS_TEXT_INT: the value
    double* reals;              // CS_FLOAT: the value
    uint32_t* textKey;          // CS_TEXT_*, CS_WIDE_WORDS: the row's sort key (or NO_TEXT_KEY)
    SortKeys texts;             // the keys of narrow texts ...
    SortKeys wideTexts;         // ... and of wide ones
};

constexpr uint32_t NO_TEXT_KEY = 0xFFFFFFFF;

bool IsTextShape(ComparisonShape shape)
{
    return shape == CS_TEXT_INT || shape == CS_TEXT_NUMBER || shape == CS_TEXT_WORDS;
}

void FreeReadKeys(ReadKeys& keys)
{
    for (void* p : {static_cast<void*>(keys.shapes), static_cast<void*>(keys.numbers),
                    static_cast<void*>(keys.reals), static_cast<void*>(keys.textKey)})
        if (p) HeapFree(GetProcessHeap(), 0, p);
    SortKeysFree(&keys.texts);
    SortKeysFree(&keys.wideTexts);
    keys = ReadKeys{};
}

// Reads the key of every row; leaves keys.shapes null (every pair through the operator)
// when the memory is not there.
void ReadRowKeys(BDS* ctx, const ArrayHeader* array, const RowLayout& layout, uint32_t first, uint32_t n,
                 ReadKeys& keys)
{
    keys = ReadKeys{};
    HANDLE heap = GetProcessHeap();
    keys.shapes = static_cast<ComparisonShape*>(HeapAlloc(heap, 0, n * sizeof(ComparisonShape)));
    keys.numbers = static_cast<int32_t*>(HeapAlloc(heap, 0, n * sizeof(int32_t)));
    keys.reals = static_cast<double*>(HeapAlloc(heap, 0, n * sizeof(double)));
    keys.textKey = static_cast<uint32_t*>(HeapAlloc(heap, 0, n * sizeof(uint32_t)));
    if (!keys.shapes || !keys.numbers || !keys.reals || !keys.textKey || !SortKeysReserve(&keys.texts, n)) {
        FreeReadKeys(keys);
        return;
    }
    uint16_t saved = ctx->nErrorCode;
    bool anyWords = false;
    bool anyWideWords = false;
    for (uint32_t r = 0; r < n; ++r) {
        const ArrayElement& key = KeyOf(array, layout, first + r);
        keys.textKey[r] = NO_TEXT_KEY;
        keys.numbers[r] = 0;
        keys.reals[r] = 0;
        if (!IsUsableKey(key)) {
            keys.shapes[r] = CS_OTHER;
            continue;
        }
        resultants scratch{};
        std::memcpy(static_cast<ValueHead*>(&scratch), &key, sizeof(ValueHead));
        scratch.originVar = ORIGIN_ELEMENT;
        ComparisonShape shape = ComparisonShapeOf(ctx, &scratch, &keys.numbers[r]);
        if (shape == CS_FLOAT) keys.reals[r] = key.dbl;
        DropAddedTexts(ctx, scratch, key);
        keys.shapes[r] = shape;
        anyWords = anyWords || shape == CS_TEXT_WORDS;
        anyWideWords = anyWideWords || shape == CS_WIDE_WORDS;
    }
    ctx->nErrorCode = saved;
    // Sort keys only serve pairs with a text that reads as no number: a column of numbers
    // makes none. A text without its key is left to the operator.
    uint32_t texts = 0;
    for (uint32_t r = 0; anyWords && r < n; ++r) {
        if (!IsTextShape(keys.shapes[r]))
            continue;
        const char* text = HeapPtr(ctx, KeyOf(array, layout, first + r).str);
        if (SortKeysAddNarrow(&keys.texts, text, TextLength(text), false))
            keys.textKey[r] = texts++;
    }
    uint32_t wideTexts = 0;
    for (uint32_t r = 0; anyWideWords && r < n; ++r) {
        if (keys.shapes[r] != CS_WIDE_WORDS)
            continue;
        const wchar_t* text = ValueWText(ctx, &KeyOf(array, layout, first + r));
        if (SortKeysAddWide(&keys.wideTexts, text, TextLength(text), false))
            keys.textKey[r] = wideTexts++;
    }
}

// The sign of row x compared with row y when the keys read tell it; false when only the
// operator can say.
bool CompareReadKeys(const ReadKeys& keys, uint32_t x, uint32_t y, int* sign)
{
    ComparisonShape a = keys.shapes[x], b = keys.shapes[y];
    if ((a == CS_INT && b == CS_INT) || (a == CS_TEXT_INT && b == CS_TEXT_INT)) {
        int32_t p = keys.numbers[x], q = keys.numbers[y];
        *sign = p < q ? -1 : p > q ? 1 : 0;
        return true;
    }
    if (a == CS_FLOAT && b == CS_FLOAT) {
        double d = keys.reals[x] - keys.reals[y];
        *sign = std::isnan(d) ? 0 : d < 0 ? -1 : d > 0 ? 1 : 0;
        return true;
    }
    bool texts = IsTextShape(a) && IsTextShape(b);
    if (texts && (a == CS_TEXT_WORDS || b == CS_TEXT_WORDS) && keys.textKey[x] != NO_TEXT_KEY
        && keys.textKey[y] != NO_TEXT_KEY) {
        *sign = SortKeysCompare(&keys.texts, keys.textKey[x], keys.textKey[y]);
        return true;
    }
    if (a == CS_WIDE_WORDS && b == CS_WIDE_WORDS && keys.textKey[x] != NO_TEXT_KEY && keys.textKey[y] != NO_TEXT_KEY) {
        *sign = SortKeysCompare(&keys.wideTexts, keys.textKey[x], keys.textKey[y]);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- logical keys

// Below this many rows the system's function is asked directly: ranking the characters
// would cost more comparisons than the sort makes.
constexpr uint32_t LOGICAL_KEYS_FROM = 32;

// Whether the logical keys give the order of the system's function on this platform,
// checked once per context.
bool LogicalKeysUsable(BDS* ctx)
{
    ArrayState& state = ctx->arrays;
    if (!state.nLogicalKeys) {
        PfnStrCmpLogicalW logical = StrCmpLogicalOf(ctx);
        if (!logical) return false;
        state.nLogicalKeys = LogicalKeysAgree(logical) ? 1 : -1;
    }
    return state.nLogicalKeys > 0;
}

// The logical keys of the rows' wide texts, key r for row r; false (and no keys) when the
// rows are better compared by the function itself, or the keys cannot be made: the sort
// then calls the function, in the same order.
bool MakeLogicalKeys(BDS* ctx, const WideKey* wide, uint32_t n, SortKeys* keys)
{
    if (n < LOGICAL_KEYS_FROM || !LogicalKeysUsable(ctx)) return false;
    LogicalRanks ranks;
    bool ok = LogicalRanksBegin(&ranks);
    // Ranking takes some comparisons for each character met: a few rows of many different
    // characters compare sooner through the function.
    for (uint32_t r = 0; ok && r < n; ++r) {
        const wchar_t* text = WideOf(ctx, wide[r]);
        LogicalRanksNote(&ranks, text, TextLength(text));
        ok = ranks.distinct <= n;
    }
    ok = ok && LogicalRanksMake(&ranks) && SortKeysReserve(keys, n);
    for (uint32_t r = 0; ok && r < n; ++r) {
        const wchar_t* text = WideOf(ctx, wide[r]);
        ok = SortKeysAddLogical(keys, &ranks, text, TextLength(text));
    }
    LogicalRanksFree(&ranks);
    if (!ok) SortKeysFree(keys);
    return ok;
}

// The rows being ordered and how two of them compare.
struct RowSorter {
    BDS* ctx;
    const ArrayHeader* array;
    RowLayout layout;
    uint32_t first;
    uint16_t op;            // KID_GT ascending, KID_LT descending
    TextCompare compare;    // null: the language's comparison
    WideKey* wide;          // wide keys of the rows for the text comparisons
    const SortKeys* logical;  // logical order: the rows' keys, when made
    const ReadKeys* read;   // the language's comparison: the keys read once (shapes may be null)
    bool failed;

    // Row x (relative to first) beats row y.
    bool Beats(uint32_t x, uint32_t y)
    {
        if (failed) return false;
        int truth;
        int sign;
        if (logical) {
            truth = Holds(op, SortKeysCompare(logical, x, y));
        } else if (compare) {
            truth = Holds(op, compare(WideOf(ctx, wide[x]), WideOf(ctx, wide[y])));
        } else if (read->shapes && CompareReadKeys(*read, x, y, &sign)) {
            truth = Holds(op, sign);
        } else {
            truth = CompareElements(ctx, op, KeyOf(array, layout, first + x), KeyOf(array, layout, first + y), false);
            failed = ctx->nErrorCode != 0;
        }
        return truth != 0;
    }
};

// Sift-down of the heap sort over the row order `order`, with `held` the row taken out.
void SiftDown(RowSorter& s, uint32_t* order, uint32_t i, uint32_t size, uint32_t held)
{
    uint32_t child = 2 * i + 1;
    while (child < size && !s.failed) {
        if (child + 1 < size && s.Beats(order[child + 1], order[child])) ++child;
        if (s.failed || !s.Beats(order[child], held)) break;
        order[i] = order[child];
        i = child;
        child = 2 * i + 1;
    }
    order[i] = held;
}

void HeapSort(RowSorter& s, uint32_t* order, uint32_t n)
{
    for (uint32_t i = n / 2; i-- > 0 && !s.failed;)
        SiftDown(s, order, i, n, order[i]);
    for (uint32_t m = n - 1; m >= 1 && !s.failed; --m) {
        uint32_t held = order[m];
        order[m] = order[0];
        SiftDown(s, order, 0, m, held);
    }
}

// Moves the rows so that row k takes what was row order[k] (all relative to first),
// following each cycle of the permutation with one row held aside.
void ApplyOrder(ArrayHeader* array, const RowLayout& layout, uint32_t first, uint32_t* order, uint32_t n,
                ArrayElement* held)
{
    size_t rowBytes = static_cast<size_t>(layout.columns) * sizeof(ArrayElement);
    auto row = [&](uint32_t r) { return array->data + static_cast<size_t>(first + r) * layout.columns; };
    for (uint32_t k = 0; k < n; ++k) {
        if (order[k] == k) continue;
        std::memcpy(held, row(k), rowBytes);
        uint32_t j = k;
        for (;;) {
            uint32_t source = order[j];
            order[j] = j;
            if (source == k) {
                std::memcpy(row(j), held, rowBytes);
                break;
            }
            std::memcpy(row(j), row(source), rowBytes);
            j = source;
        }
    }
}

void* HeapGet(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }
void HeapPut(void* p)
{
    if (p) HeapFree(GetProcessHeap(), 0, p);
}

// Sorts the rows; the array changes only when every comparison succeeded.
void Sort(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = SearchArray(ctx, call.args[1], true);
    if (!array) return;
    int32_t options = ArgInt(call, 2, 0);
    int bits = options & ~OPT_DESCENDING;
    TextCompare compare = nullptr;
    int method = (bits & OPT_LOGICAL) ? OPT_LOGICAL : (bits & OPT_ORDINAL) ? OPT_ORDINAL : 0;
    bits &= ~method;
    if (bits) {
        SetError(ctx, ERR_SORT_OPTION);
        return;
    }
    RowLayout layout;
    if (!LayoutOf(array, ArgInt(call, 3, -1), &layout)) {
        SetError(ctx, ERR_SORT_COLUMN);
        return;
    }
    uint32_t first, last;
    if (!RangeOf(layout, ArgInt(call, 4, -1), ArgInt(call, 5, -1), &first, &last)) {
        SetError(ctx, ERR_SORT_RANGE);
        return;
    }
    if (method == OPT_LOGICAL && !(compare = LogicalCompare(ctx))) return;
    if (method == OPT_ORDINAL) compare = CompareOrdinal;

    uint32_t n = last - first + 1;
    if (n >= 2) {
        auto* order = static_cast<uint32_t*>(HeapGet(sizeof(uint32_t) * n));
        auto* held = static_cast<ArrayElement*>(HeapGet(sizeof(ArrayElement) * layout.columns));
        WideKey* wide = compare ? static_cast<WideKey*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                                  sizeof(WideKey) * n))
                                : nullptr;
        bool ok = order && held && (!compare || wide);
        if (!ok) SetError(ctx, ERR_ARRAY_NO_MEMORY);
        // Text orders read every key once as wide text.
        for (uint32_t r = 0; ok && compare && r < n; ++r) {
            const ArrayElement& key = KeyOf(array, layout, first + r);
            ok = MakeWideKey(ctx, key, key, &wide[r]);
        }
        ReadKeys read{};
        if (ok && !compare) ReadRowKeys(ctx, array, layout, first, n, read);
        SortKeys logical{};
        bool byKeys = ok && method == OPT_LOGICAL && MakeLogicalKeys(ctx, wide, n, &logical);
        if (ok) {
            for (uint32_t r = 0; r < n; ++r) order[r] = r;
            RowSorter sorter{ctx, array, layout, first, (options & OPT_DESCENDING) ? KID_LT : KID_GT,
                             compare, wide, byKeys ? &logical : nullptr, &read, false};
            HeapSort(sorter, order, n);
            if (!sorter.failed) ApplyOrder(array, layout, first, order, n, held);
        }
        SortKeysFree(&logical);
        FreeReadKeys(read);
        if (wide)
            for (uint32_t r = 0; r < n; ++r) FreeWideKey(ctx, wide[r]);
        HeapPut(wide);
        HeapPut(held);
        HeapPut(order);
        if (ctx->nErrorCode) return;
    }
    if (!StoreArrayBack(ctx, &call.args[1], array, STORE_UNLESS_ARRAY)) return;
    SetResultInt(ctx, call.result, 1);
}

}  // namespace

void ArraySortCase(BDS* ctx, BuiltinCall& call)
{
    uint16_t entryError = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    Sort(ctx, call);
    if (!ctx->nErrorCode) ctx->nErrorCode = entryError;
}
