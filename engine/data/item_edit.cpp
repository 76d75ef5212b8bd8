// Item-list editing built-ins: ItemRemove, ItemReplace, ItemSort and ItemSortNc.
//
// The ANSI and the wide forms share one template over the list walker (item_walk.h), so an
// ANSI list is walked by character and a trail byte that equals the delimiter never
// splits an item.
#include <algorithm>
#include <memory>
#include <new>

#include "engine/data/item_list.h"
#include "engine/data/item_walk.h"
#include "engine/data/sort_keys.h"
#include "engine/data/text.h"
#include "engine/data/text_cases.h"

namespace {

constexpr uint16_t ERR_NO_STRINGS = 3096;

// The first and the last unit of item `index` (1-based; -1 the last) and where the
// delimiter before it begins (null for the first item); false when there is no such item.
template <typename W, typename C = typename W::Char>
bool FindItem(const Items<W>& items, int index, const C* list, const C** start, const C** end,
              const C** delimiterBefore)
{
    if (index == -1) index = items.count(list);
    if (index < 1 || !*list) return false;
    const C* p = list;
    const C* before = nullptr;
    for (int i = 1; i < index; ++i) {
        const C* e = items.itemEnd(p);
        if (!*e) return false;   // the list has fewer items
        before = e;
        p = items.after(e);
    }
    *start = p;
    *end = items.itemEnd(p);
    *delimiterBefore = before;
    return true;
}

// The list with the units [from, to) replaced by `insert`.
template <typename C>
void Splice(BDS* ctx, const C* list, const C* from, const C* to, const C* insert, size_t insertUnits,
            resultants* result)
{
    size_t head = static_cast<size_t>(from - list), tail = UnitCount(to);
    C* out = NewResultUnits<C>(ctx, result, static_cast<uint64_t>(head) + insertUnits + tail);
    if (out) PutUnits(PutUnits(PutUnits(out, list, head), insert, insertUnits), to, tail);
}

template <typename C>
void Unchanged(BDS* ctx, const C* list, resultants* result)
{
    Splice(ctx, list, list, list, list, 0, result);
}

// ---------------------------------------------------------------- remove, replace

template <typename W, typename C = typename W::Char>
void Remove(BDS* ctx, const Items<W>& items, int index, const C* list, resultants* result)
{
    const C *start, *end, *before;
    if (!FindItem(items, index, list, &start, &end, &before)) return Unchanged(ctx, list, result);
    if (*end) return Splice(ctx, list, start, items.after(end), list, 0, result);   // with its delimiter
    // The last item goes with the delimiter before it; the only item leaves an empty list.
    Splice(ctx, list, before ? before : start, end, list, 0, result);
}

template <typename W, typename C = typename W::Char>
void Replace(BDS* ctx, const Items<W>& items, const C* item, int index, const C* list, resultants* result)
{
    const C *start, *end, *before;
    if (!FindItem(items, index, list, &start, &end, &before)) return Unchanged(ctx, list, result);
    Splice(ctx, list, start, end, item, UnitCount(item), result);
}

// ---------------------------------------------------------------- sort

int CompareItems(BDS* ctx, const char* a, const char* b, const char* delimiter, bool caseSensitive)
{
    return caseSensitive ? ItemCompareA(ctx, a, b, delimiter) : ItemCompareNoCaseA(ctx, a, b, delimiter);
}

int CompareItems(BDS* ctx, const wchar_t* a, const wchar_t* b, const wchar_t* delimiter, bool caseSensitive)
{
    return caseSensitive ? ItemCompareW(ctx, a, b, delimiter) : ItemCompareNoCaseW(ctx, a, b, delimiter);
}

template <typename C>
struct ItemSpan {
    const C* start;
    size_t units;
    int index;      // its place among the non-empty items of the list (its sort keys')
};

bool AddItemKey(BDS*, SortKeys* keys, const ItemSpan<char>& span, bool noCase)
{
    return SortKeysAddNarrow(keys, span.start, span.units, noCase);
}

bool AddItemKey(BDS* ctx, SortKeys* keys, const ItemSpan<wchar_t>& span, bool noCase)
{
    return AddWideTextSortKey(ctx, keys, span.start, span.units, noCase);
}

// Sort keys of the items: without case, a second set with case breaks the ties, as the
// case-insensitive comparison does.
template <typename C>
bool MakeItemKeys(BDS* ctx, const ItemSpan<C>* spans, int n, bool caseSensitive, TieKeys& keys)
{
    if (!TieKeysReserve(&keys, static_cast<size_t>(n), !caseSensitive))
        return false;
    for (int i = 0; i < n; ++i) {
        auto add = [&](SortKeys* set, bool noCase) { return AddItemKey(ctx, set, spans[i], noCase); };
        if (!TieKeysAdd(&keys, add))
            return false;
    }
    return true;
}

// The items in order, empty ones first and equal ones in the order they had: the empty
// items are joined in front of the others, so the list keeps its items and its length.
template <typename W, typename C = typename W::Char>
void Sort(BDS* ctx, const Items<W>& items, const C* list, bool caseSensitive, resultants* result)
{
    int n = items.count(list);
    size_t listUnits = UnitCount(list), delimiterUnits = UnitCount(items.delimiter);
    std::unique_ptr<ItemSpan<C>[]> spans(n ? new (std::nothrow) ItemSpan<C>[n] : nullptr);
    C* out = (spans || !n) ? NewResultUnits<C>(ctx, result, listUnits) : nullptr;
    if (!out) {
        if (!ctx->nErrorCode) SetError(ctx, ERR_NO_STRINGS);
        return;
    }
    int filled = 0, empty = 0;
    for (const C* p = list; n;) {
        const C* end = items.itemEnd(p);
        if (end == p) {
            ++empty;
        } else {
            spans[filled] = {p, static_cast<size_t>(end - p), filled};
            ++filled;
        }
        if (!*end) break;
        p = items.after(end);
    }
    // The items' sort keys, made once, order them as the comparison does; without them
    // (no memory, no key) the comparison itself is asked.
    TieKeys keys{};
    bool keyed = MakeItemKeys(ctx, spans.get(), filled, caseSensitive, keys);
    std::stable_sort(spans.get(), spans.get() + filled, [&](const ItemSpan<C>& a, const ItemSpan<C>& b) {
        int c = keyed ? TieKeysCompare(&keys, static_cast<size_t>(a.index), static_cast<size_t>(b.index))
                      : CompareItems(ctx, a.start, b.start, items.delimiter, caseSensitive);
        return c < 0;
    });
    TieKeysFree(&keys);
    for (int i = 0; i < n; ++i) {
        if (i) out = PutUnits(out, items.delimiter, delimiterUnits);
        if (i >= empty) out = PutUnits(out, spans[i - empty].start, spans[i - empty].units);
    }
}

}  // namespace

// ---------------------------------------------------------------- handlers

namespace {

// Runs `edit` with the walker of the list's width once the delimiter has passed (1705).
template <typename Edit>
void WithItems(BDS* ctx, const char* delimiter, Edit edit)
{
    const char* d = ItemDelimiterA(ctx, delimiter);
    if (!d) return;
    NarrowChars w{TextTables(ctx)};
    edit(Items<NarrowChars>{w, d});
}

template <typename Edit>
void WithItems(BDS* ctx, const wchar_t* delimiter, Edit edit)
{
    const wchar_t* d = ItemDelimiterW(ctx, delimiter);
    if (!d) return;
    WideChars w;
    edit(Items<WideChars>{w, d});
}

}  // namespace

void DoItemRemoveA(BDS* ctx, int index, const char* list, const char* delimiter, resultants* result)
{
    WithItems(ctx, delimiter, [&](const auto& items) { Remove(ctx, items, index, list, result); });
}

void DoItemRemoveW(BDS* ctx, int index, const wchar_t* list, const wchar_t* delimiter, resultants* result)
{
    WithItems(ctx, delimiter, [&](const auto& items) { Remove(ctx, items, index, list, result); });
}

void DoItemReplaceA(BDS* ctx, const char* item, int index, const char* list, const char* delimiter,
                    resultants* result)
{
    WithItems(ctx, delimiter, [&](const auto& items) { Replace(ctx, items, item, index, list, result); });
}

void DoItemReplaceW(BDS* ctx, const wchar_t* item, int index, const wchar_t* list, const wchar_t* delimiter,
                    resultants* result)
{
    WithItems(ctx, delimiter, [&](const auto& items) { Replace(ctx, items, item, index, list, result); });
}

void DoItemSortA(BDS* ctx, const char* list, const char* delimiter, bool caseSensitive, resultants* result)
{
    WithItems(ctx, delimiter, [&](const auto& items) { Sort(ctx, items, list, caseSensitive, result); });
}

void DoItemSortW(BDS* ctx, const wchar_t* list, const wchar_t* delimiter, bool caseSensitive, resultants* result)
{
    WithItems(ctx, delimiter, [&](const auto& items) { Sort(ctx, items, list, caseSensitive, result); });
}

// ---------------------------------------------------------------- cases

namespace {

using namespace textcase;

void CaseItemRemove(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call, 2)) DoItemRemoveW(ctx, ArgInt(call, 1), WText(ctx, call, 2), WText(ctx, call, 3), call.result);
    else DoItemRemoveA(ctx, ArgInt(call, 1), Text(ctx, call, 2), Text(ctx, call, 3), call.result);
}

void CaseItemReplace(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call))
        DoItemReplaceW(ctx, WText(ctx, call, 1), ArgInt(call, 2), WText(ctx, call, 3), WText(ctx, call, 4),
                       call.result);
    else
        DoItemReplaceA(ctx, Text(ctx, call, 1), ArgInt(call, 2), Text(ctx, call, 3), Text(ctx, call, 4),
                       call.result);
}

// ItemSortNc (553) has ANSI arguments only.
void CaseItemSort(BDS* ctx, BuiltinCall& call)
{
    bool caseSensitive = call.id == 552;
    if (Wide(call)) DoItemSortW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), caseSensitive, call.result);
    else DoItemSortA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), caseSensitive, call.result);
}

const BuiltinRow kRows[] = {
    {549, CaseItemRemove},   // itemremove
    {550, CaseItemReplace},  // itemreplace
    {552, CaseItemSort},     // itemsort
    {553, CaseItemSort},     // itemsortnc
};

}  // namespace

const BuiltinFamily g_ItemEditBuiltins = {"item list editing", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
