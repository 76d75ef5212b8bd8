// Item-list built-ins and operations: ItemCount, ItemExtract, ItemInsert, ItemLocate,
// ItemLocateWild and the item comparisons of list sorting.
//
// The ANSI and the wide forms share one template over a character walker (text.h): ANSI
// lists step by character in the system's ANSI code page, wide lists by UTF-16 unit.
#include "engine/data/item_list.h"

#include <cstring>
#include <cwchar>

#include "engine/data/item_walk.h"
#include "engine/data/text_cases.h"

namespace {

constexpr uint16_t ERR_BAD_DELIMITER = 1705;

// ---------------------------------------------------------------- extract

template <typename W, typename C = typename W::Char>
const C* Extract(BDS* ctx, const Items<W>& items, resultants* result, int n, const C* list)
{
    if (n == -1) n = items.count(list);
    const C* p = list;
    for (int i = 1; *list && n >= 1; ++i) {
        const C* end = items.itemEnd(p);
        if (i == n) {
            C* out = NewResultUnits<C>(ctx, result, static_cast<uint64_t>(end - p));
            if (!out) return nullptr;
            PutUnits(out, p, static_cast<size_t>(end - p));
            return items.after(end);
        }
        if (!*end) break;
        p = items.after(end);
    }
    if (!NewResultUnits<C>(ctx, result, 0)) return nullptr;
    return list + UnitCount(list);
}

// ---------------------------------------------------------------- insert

template <typename W, typename C = typename W::Char>
void Insert(BDS* ctx, const Items<W>& items, const C* item, int index, const C* list, resultants* result)
{
    size_t itemUnits = UnitCount(item), listUnits = UnitCount(list), delimUnits = UnitCount(items.delimiter);
    if (!*list) {
        C* out = NewResultUnits<C>(ctx, result, itemUnits);
        if (out) PutUnits(out, item, itemUnits);
        return;
    }
    C* out = NewResultUnits<C>(ctx, result, listUnits + itemUnits + delimUnits);
    if (!out) return;
    // The item goes before the first item start that has `index` delimiters before it.
    int passed = 0;                 // delimiters passed so far
    bool atItemStart = true;        // at the list's start or right after a delimiter
    for (const C* p = list; *p;) {
        if (atItemStart && passed == index) {
            size_t before = static_cast<size_t>(p - list);
            out = PutUnits(PutUnits(PutUnits(out, list, before), item, itemUnits), items.delimiter, delimUnits);
            PutUnits(out, p, listUnits - before);
            return;
        }
        int n = items.w.size(p);
        atItemStart = items.isDelimiter(p);
        if (atItemStart) ++passed;
        p += n;
    }
    out = PutUnits(out, list, listUnits);
    if (atItemStart && passed == index) {
        // The list ends with the delimiter that reached the index: the item goes before
        // the empty last item ("a," with index 1 gives "a,X,").
        PutUnits(PutUnits(out, item, itemUnits), items.delimiter, delimUnits);
        return;
    }
    PutUnits(PutUnits(out, items.delimiter, delimUnits), item, itemUnits);
}

// ---------------------------------------------------------------- locate

template <typename W, typename C = typename W::Char>
int Locate(const Items<W>& items, const C* item, const C* list)
{
    size_t itemUnits = UnitCount(item);
    const C* p = list;
    for (int i = 1;; ++i) {
        const C* end = items.itemEnd(p);
        if (static_cast<size_t>(end - p) == itemUnits && std::memcmp(p, item, itemUnits * sizeof(C)) == 0)
            return i;
        if (!*end) return 0;
        p = items.after(end);
    }
}

int WildCovers(BDS* ctx, const char* item, size_t units, const char* pattern)
{
    return WildMatchNA(ctx, item, units, pattern);
}

int WildCovers(BDS* ctx, const wchar_t* item, size_t units, const wchar_t* pattern)
{
    return WildMatchNW(ctx, item, units, pattern);
}

template <typename W, typename C = typename W::Char>
int LocateWild(BDS* ctx, const Items<W>& items, const C* pattern, const C* list, int start)
{
    if (start < 1) return 0;
    bool matchesEmpty = !*pattern || (pattern[0] == '*' && !pattern[1]);
    const C* p = list;
    for (int i = 1;; ++i) {
        const C* end = items.itemEnd(p);
        if (i >= start) {
            size_t units = static_cast<size_t>(end - p);
            if (units == 0 ? matchesEmpty
                           : WildCovers(ctx, p, units, pattern) == static_cast<int>(units))
                return i;
        }
        if (!*end) return 0;
        p = items.after(end);
    }
}

}  // namespace

// ---------------------------------------------------------------- delimiters

const char* ItemDelimiterA(BDS* ctx, const char* delimiter)
{
    if (!delimiter || !*delimiter) return "\t";
    if (CharCountA(ctx, delimiter) > 1) {
        SetError(ctx, ERR_BAD_DELIMITER);
        return nullptr;
    }
    return delimiter;
}

const wchar_t* ItemDelimiterW(BDS* ctx, const wchar_t* delimiter)
{
    if (!delimiter || !*delimiter) return L"\t";
    if (delimiter[1]) {
        SetError(ctx, ERR_BAD_DELIMITER);
        return nullptr;
    }
    return delimiter;
}

// ---------------------------------------------------------------- operations

int ItemCountA(BDS* ctx, const char* list, const char* delimiter)
{
    const char* d = ItemDelimiterA(ctx, delimiter);
    if (!d) return 0;
    NarrowChars w{TextTables(ctx)};
    return Items<NarrowChars>{w, d}.count(list);
}

int ItemCountW(BDS* ctx, const wchar_t* list, const wchar_t* delimiter)
{
    const wchar_t* d = ItemDelimiterW(ctx, delimiter);
    if (!d) return 0;
    WideChars w;
    return Items<WideChars>{w, d}.count(list);
}

const char* ItemExtractA(BDS* ctx, resultants* result, int n, const char* list, const char* delimiter)
{
    const char* d = ItemDelimiterA(ctx, delimiter);
    if (!d) return nullptr;
    NarrowChars w{TextTables(ctx)};
    return Extract(ctx, Items<NarrowChars>{w, d}, result, n, list);
}

const wchar_t* ItemExtractW(BDS* ctx, resultants* result, int n, const wchar_t* list,
                            const wchar_t* delimiter)
{
    const wchar_t* d = ItemDelimiterW(ctx, delimiter);
    if (!d) return nullptr;
    WideChars w;
    return Extract(ctx, Items<WideChars>{w, d}, result, n, list);
}

void DoItemInsertA(BDS* ctx, const char* item, int index, const char* list, const char* delimiter,
                   resultants* result)
{
    const char* d = ItemDelimiterA(ctx, delimiter);
    if (!d) return;
    NarrowChars w{TextTables(ctx)};
    Insert(ctx, Items<NarrowChars>{w, d}, item, index, list, result);
}

void DoItemInsertW(BDS* ctx, const wchar_t* item, int index, const wchar_t* list,
                   const wchar_t* delimiter, resultants* result)
{
    const wchar_t* d = ItemDelimiterW(ctx, delimiter);
    if (!d) return;
    WideChars w;
    Insert(ctx, Items<WideChars>{w, d}, item, index, list, result);
}

int DoItemLocateA(BDS* ctx, const char* item, const char* list, const char* delimiter)
{
    if (!*list) return 0;
    const char* d = ItemDelimiterA(ctx, delimiter);
    if (!d) return 0;
    NarrowChars w{TextTables(ctx)};
    return Locate(Items<NarrowChars>{w, d}, item, list);
}

int DoItemLocateW(BDS* ctx, const wchar_t* item, const wchar_t* list, const wchar_t* delimiter)
{
    if (!*list) return 0;
    const wchar_t* d = ItemDelimiterW(ctx, delimiter);
    if (!d) return 0;
    WideChars w;
    return Locate(Items<WideChars>{w, d}, item, list);
}

int DoItemLocateWildA(BDS* ctx, const char* pattern, const char* list, const char* delimiter, int start)
{
    if (!*list) return 0;
    const char* d = ItemDelimiterA(ctx, delimiter);
    if (!d) return 0;
    NarrowChars w{TextTables(ctx)};
    return LocateWild(ctx, Items<NarrowChars>{w, d}, pattern, list, start);
}

int DoItemLocateWildW(BDS* ctx, const wchar_t* pattern, const wchar_t* list, const wchar_t* delimiter,
                      int start)
{
    if (!*list) return 0;
    const wchar_t* d = ItemDelimiterW(ctx, delimiter);
    if (!d) return 0;
    WideChars w;
    return LocateWild(ctx, Items<WideChars>{w, d}, pattern, list, start);
}

// ---------------------------------------------------------------- item comparisons

namespace {

int CompareItemsA(BDS* ctx, const char* a, const char* b, const char* delimiter, bool noCase)
{
    const char* d = (delimiter && *delimiter) ? delimiter : "\t";
    NarrowChars w{TextTables(ctx)};
    Items<NarrowChars> items{w, d};
    size_t la = static_cast<size_t>(items.itemEnd(a) - a), lb = static_cast<size_t>(items.itemEnd(b) - b);
    int answer = CompareTextNA(a, la, b, lb, noCase);
    return (answer == 0 && noCase) ? CompareTextNA(a, la, b, lb, false) : answer;
}

int CompareItemsW(BDS* ctx, const wchar_t* a, const wchar_t* b, const wchar_t* delimiter, bool noCase)
{
    const wchar_t* d = (delimiter && *delimiter) ? delimiter : L"\t";
    WideChars w;
    Items<WideChars> items{w, d};
    size_t la = static_cast<size_t>(items.itemEnd(a) - a), lb = static_cast<size_t>(items.itemEnd(b) - b);
    int answer = CompareWideTextN(ctx, a, la, b, lb, noCase);
    return (answer == 0 && noCase) ? CompareWideTextN(ctx, a, la, b, lb, false) : answer;
}

}  // namespace

int ItemCompareA(BDS* ctx, const char* a, const char* b, const char* delimiter)
{
    return CompareItemsA(ctx, a, b, delimiter, false);
}

int ItemCompareNoCaseA(BDS* ctx, const char* a, const char* b, const char* delimiter)
{
    return CompareItemsA(ctx, a, b, delimiter, true);
}

int ItemCompareW(BDS* ctx, const wchar_t* a, const wchar_t* b, const wchar_t* delimiter)
{
    return CompareItemsW(ctx, a, b, delimiter, false);
}

int ItemCompareNoCaseW(BDS* ctx, const wchar_t* a, const wchar_t* b, const wchar_t* delimiter)
{
    return CompareItemsW(ctx, a, b, delimiter, true);
}

// ---------------------------------------------------------------- cases

namespace {

using namespace textcase;

void CaseItemCount(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call) ? ItemCountW(ctx, WText(ctx, call, 1), WText(ctx, call, 2))
                       : ItemCountA(ctx, Text(ctx, call, 1), Text(ctx, call, 2));
    SetResultInt(ctx, call.result, n);
}

void CaseItemExtract(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call, 2)) ItemExtractW(ctx, call.result, ArgInt(call, 1), WText(ctx, call, 2), WText(ctx, call, 3));
    else ItemExtractA(ctx, call.result, ArgInt(call, 1), Text(ctx, call, 2), Text(ctx, call, 3));
}

void CaseItemInsert(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call))
        DoItemInsertW(ctx, WText(ctx, call, 1), ArgInt(call, 2), WText(ctx, call, 3), WText(ctx, call, 4), call.result);
    else
        DoItemInsertA(ctx, Text(ctx, call, 1), ArgInt(call, 2), Text(ctx, call, 3), Text(ctx, call, 4), call.result);
}

void CaseItemLocate(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call) ? DoItemLocateW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), WText(ctx, call, 3))
                       : DoItemLocateA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), Text(ctx, call, 3));
    SetResultInt(ctx, call.result, n);
}

void CaseItemLocateWild(BDS* ctx, BuiltinCall& call)
{
    int n = Wide(call)
        ? DoItemLocateWildW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), WText(ctx, call, 3), ArgInt(call, 4))
        : DoItemLocateWildA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), Text(ctx, call, 3), ArgInt(call, 4));
    SetResultInt(ctx, call.result, n);
}

}  // namespace

void CaseItemCountCsv(BDS* ctx, BuiltinCall& call);
void CaseItemExtractCsv(BDS* ctx, BuiltinCall& call);

namespace {

const BuiltinRow kRows[] = {
    {542, CaseItemCount},       // itemcount
    {543, CaseItemCountCsv},    // itemcountcsv
    {544, CaseItemExtract},     // itemextract
    {545, CaseItemExtractCsv},  // itemextractcsv
    {546, CaseItemInsert},      // iteminsert
    {547, CaseItemLocate},      // itemlocate
    {548, CaseItemLocateWild},  // itemlocatewild
};

}  // namespace

const BuiltinFamily g_ItemListBuiltins = {"item lists", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
