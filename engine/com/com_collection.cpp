// Collections walked one element at a time: the enumerator of a COM object
// (DISPID_NEWENUM), SAFEARRAYs, script arrays and maps, and item lists; the ObjectCollection
// built-ins and the ForEach step over COM data.
//
// The caller keeps the walk's position word. A COM object keeps one enumerator itself, the
// one that the ObjectCollection built-ins walk; a ForEach loop walks a COM object with an
// enumerator of its own (ComWalk), so that nested loops over one collection, and a loop
// over a collection whose ObjectCollection walk is open, leave each other alone.
#include "engine/com/com_collection.h"

#include <oleauto.h>

#include "engine/com/com_adapter.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_safearray.h"
#include "engine/core/context.h"
#include "engine/core/text_length.h"
#include "engine/data/array.h"
#include "engine/data/item_list.h"
#include "engine/data/map.h"

namespace {

constexpr int64_t POSITION_START = -1;          // a script array or map before its first step
constexpr int64_t ITEMS_DONE = 0xFFFFFFFF;      // an item list walked to its end

// The object's IEnumVARIANT from its DISPID_NEWENUM member.
HRESULT GetEnumerator(IDispatch* disp, IEnumVARIANT** out)
{
    *out = nullptr;
    DISPPARAMS none{};
    VARIANT answer;
    VariantInit(&answer);
    HRESULT hr = disp->Invoke(DISPID_NEWENUM, IID_NULL, COM_LOCALE, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              &none, &answer, nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    IUnknown* unknown = (answer.vt == VT_UNKNOWN || answer.vt == VT_DISPATCH) ? answer.punkVal : nullptr;
    hr = unknown ? unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(out)) : E_NOINTERFACE;
    VariantClear(&answer);
    return hr;
}

// The next element of an enumerator into `out`: 1 delivered; 0 at the end (the
// enumerator is then back at its start) or with the error set.
int EnumeratorNext(BDS* ctx, IEnumVARIANT* enumerator, CResultVar& out)
{
    VARIANT element;
    VariantInit(&element);
    ULONG fetched = 0;
    HRESULT hr = enumerator->Next(1, &element, &fetched);
    if (hr == S_FALSE || (hr == S_OK && fetched == 0)) {
        enumerator->Reset();
        return 0;
    }
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "IEnumVARIANT::Next"));
        return 0;
    }
    out.VariantCopyToValue(element);
    VariantClear(&element);
    return ctx->nErrorCode ? 0 : 1;
}

// The object value's own enumerator: the walk of the ObjectCollection built-ins.
int ObjectNext(BDS* ctx, CComObjectAg* object, CResultVar& out)
{
    if (!object->enumerator) {
        if (!object->Dispatch() || FAILED(GetEnumerator(object->Dispatch(), &object->enumerator))) {
            SetError(ctx, 1690);
            return 0;
        }
    }
    return EnumeratorNext(ctx, object->enumerator, out);
}

// A loop's own walk of an object (ComWalk). The enumerator is taken on the first round; a
// collection that has become another object (the loop's variable was given a new one) is
// walked anew from its first element, as a changed array or text is.
int WalkNext(BDS* ctx, IDispatch* disp, ComWalk* walk, CResultVar& out)
{
    if (!disp) {
        SetError(ctx, 1690);
        return 0;
    }
    if (walk->source != disp) {
        CollectionForEachReset(walk);
        IEnumVARIANT* enumerator = nullptr;
        if (FAILED(GetEnumerator(disp, &enumerator))) {
            SetError(ctx, 1690);
            return 0;
        }
        disp->AddRef();
        walk->enumerator = enumerator;
        walk->source = disp;
    }
    return EnumeratorNext(ctx, walk->enumerator, out);
}

int SafeArrayNext(BDS* ctx, const ValueHead& collection, CResultVar& out, int64_t* position)
{
    if (!position) {
        SetError(ctx, 1690);
        return 0;
    }
    SAFEARRAY* array = SafeArrayOfValue(&collection);
    uint32_t dims = 0, count = 0;
    uint32_t scriptDims[5];
    LONG lower[5];
    if (!SafeArrayShape(ctx, array, &dims, &count, scriptDims, lower))
        return 0;
    // The walk reads one subscript: an array of another rank, or an empty one, has no first
    // element to read, which is 1690 as any first read that fails. Past the last element
    // the walk ends normally; a read that fails inside the array keeps its own error.
    bool first = *position == 0;
    if (*position < 0 || static_cast<uint64_t>(*position) >= count || dims != 1) {
        *position = 0;
        if (first)
            SetError(ctx, 1690);
        return 0;
    }
    int32_t subscript = static_cast<int32_t>(*position);
    if (!SafeArrayReadElement(ctx, array, 1, &subscript, out)) {
        *position = 0;
        if (first)
            SetError(ctx, 1690);
        return 0;
    }
    ++*position;
    return 1;
}

// A script array: the position is the index of the next element (all ones: the first),
// 0 once the walk is over. Elements come in storage order, every dimension included.
int ArrayNext(BDS* ctx, const ArrayHeader* array, CResultVar& out, int64_t* position)
{
    if (*position == 0 || array->count == 0)
        return 0;
    uint64_t index = *position == POSITION_START ? 0 : static_cast<uint64_t>(*position);
    if (index >= array->count) {
        *position = 0;
        return 0;
    }
    if (!array->data) {
        SetError(ctx, 1637);
        return 0;
    }
    const ArrayElement& element = array->data[index];
    if (element.flags & VF_HAS_VALUE) {
        resultants copy{};
        InitResultValue(ctx, &copy, VK_RECORD, 0);
        if (!CopyValue(ctx, &element, &copy, 0,
                       VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF)) {
            FreeValue(ctx, &copy, 0, VK_RECORD);
            return 0;
        }
        copy.originVar = ORIGIN_NONE;
        if (!out.Adopt(copy))
            return 0;
    }
    *position = index + 1 < array->count ? static_cast<int64_t>(index + 1) : 0;
    return 1;
}

// A map: its keys. The position names a place in the map's chains rather than an entry,
// so a map changed between two steps never makes the walk read a removed entry.
int MapKeyNext(BDS* ctx, const ArrayHeader* map, CResultVar& out, int64_t* position)
{
    if (*position == 0)
        return 0;
    uint64_t at = *position == POSITION_START ? MapPositionStart(map) : static_cast<uint64_t>(*position);
    const char* key = nullptr;
    uint64_t next = at ? MapPositionStep(ctx, map, at, &key, nullptr) : 0;
    *position = static_cast<int64_t>(next);
    if (!key)
        return 0;
    return SetResultText(ctx, &out.v, key) ? 1 : 0;
}

// The first unit of item n (from 1) of a wide list, null when the list has fewer items.
const wchar_t* WideItemStart(const wchar_t* list, int n, wchar_t delimiter)
{
    if (!*list)
        return nullptr;
    const wchar_t* p = list;
    for (int k = 1; k < n; ++k) {
        while (*p && *p != delimiter)
            ++p;
        if (!*p)
            return nullptr;
        ++p;
    }
    return p;
}

// An item list: the position counts the items delivered. An empty item inside the list is
// delivered like any other; the walk ends only past the last item, so no item after an
// empty one is lost.
int ItemNext(BDS* ctx, const ValueHead& collection, CResultVar& out, int64_t* position, char delimiter,
             ItemCursor* cursor)
{
    if (*position < 0 || *position >= ITEMS_DONE)
        return 0;
    if (*position >= INT32_MAX) {   // no list holds that many items
        *position = ITEMS_DONE;
        return 0;
    }
    int n = static_cast<int>(*position + 1);
    const char delimiterA[2] = {delimiter ? delimiter : '\t', 0};
    if (!(collection.flags & (VF_VARIANT | VF_UNICODE))) {
        const char* list = ValueText(ctx, &collection);
        if (!ItemExtractA(ctx, &out.v, n, list, delimiterA))
            return 0;
        if (!*ValueText(ctx, &out.v) && n > ItemCountA(ctx, list, delimiterA)) {
            out.Release();
            *position = ITEMS_DONE;
            return 0;
        }
        *position = n;
        return 1;
    }
    wchar_t delimiterW[2] = {0, 0};
    if (MultiByteToWideChar(ctx->nCodePage, 0, delimiterA, 1, delimiterW, 1) != 1)
        delimiterW[0] = static_cast<unsigned char>(delimiterA[0]);
    const wchar_t* list = nullptr;
    uint64_t units;
    if (collection.flags & VF_VARIANT) {   // a COM text, read where it lies
        const VARIANT& v = collection.var;
        list = (v.vt & VT_BYREF) ? (v.pbstrVal ? *v.pbstrVal : nullptr) : v.bstrVal;
        units = SysStringLen(const_cast<BSTR>(list));
    } else {
        list = ValueWText(ctx, &collection);
        units = list ? TextLength(list) : 0;
    }
    if (!list)
        list = L"";
    // Where the last round left off, while the text is the same; else counted from the start.
    uint32_t sample = cursor ? TextSample(list, units) : 0;
    const wchar_t* start;
    if (cursor && cursor->list == list && cursor->delivered == *position && *position > 0 &&
        cursor->units == units && cursor->next <= units && cursor->sample == sample)
        start = cursor->ended ? nullptr : list + cursor->next;
    else
        start = WideItemStart(list, n, delimiterW[0]);
    if (!start) {
        *position = ITEMS_DONE;
        return 0;
    }
    const wchar_t* after = ItemExtractW(ctx, &out.v, 1, start, delimiterW);
    if (!after)
        return 0;
    if (cursor) {
        // Past an item that a delimiter ended another item follows, if only an empty one.
        bool ended = !*after && (after == start || after[-1] != delimiterW[0]);
        *cursor = ItemCursor{list, units, sample, n, static_cast<uint64_t>(after - list), ended};
    }
    *position = n;
    return 1;
}

}  // namespace

int CollectionNext(BDS* ctx, const ValueHead& collection, CResultVar& out, bool* made, int64_t* position,
                   char delimiter, ItemCursor* items)
{
    if (made)
        *made = false;
    if (CComObjectAg* object = ObjectOf(&collection)) {
        bool fresh = !object->enumerator;
        int answer = ObjectNext(ctx, object, out);
        if (made)
            *made = fresh && object->enumerator;
        return answer;
    }
    if (HoldsSafeArray(&collection))
        return SafeArrayNext(ctx, collection, out, position);
    if (collection.flags & VF_ARRAY) {
        const ArrayHeader* array = ValueArray(&collection);
        if (!position || !array) {
            SetError(ctx, 1637);
            return 0;
        }
        return (array->flags & ARRAY_MAP) ? MapKeyNext(ctx, array, out, position)
                                          : ArrayNext(ctx, array, out, position);
    }
    bool text = (collection.flags & VF_VARIANT) ? ValueIsBstr(&collection)
                                                 : (collection.flags & (VF_STRING | VF_UNICODE)) != 0;
    // The walk of an item list lives in its position alone: none is 1690 as for any other kind.
    if (text && position)
        return ItemNext(ctx, collection, out, position, delimiter, items);
    SetError(ctx, 1690);
    return 0;
}

int CollectionReset(const ValueHead& collection, int64_t* position)
{
    if (CComObjectAg* object = ObjectOf(&collection)) {
        if (!object->enumerator)
            return 0;
        object->enumerator->Reset();
        return 1;
    }
    if (HoldsSafeArray(&collection)) {
        if (position)
            *position = 0;
        return 1;
    }
    if (collection.flags & VF_ARRAY) {
        if (position)
            *position = POSITION_START;
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------- the built-ins

void CollectionOpenCase(BDS* ctx, BuiltinCall& call)
{
    if (!EnsureOle(ctx))
        return;
    CResultVar value(ctx);
    if (!value.CopyFrom(call.args[1]))
        return;
    if (IsComVariant(&value.v) && !HoldsSafeArray(&value.v) && !value.ValueToObjectValue())
        return;
    CComObjectAg* object = ObjectOf(&value.v);
    if (!object) {
        // The built-ins keep no position word, so only a COM object, which keeps its
        // enumerator itself, can be walked by them: the step gives each other kind's error.
        CResultVar first(ctx);
        if (!CollectionNext(ctx, value.v, first, nullptr, nullptr, 0) && !ctx->nErrorCode)
            SetError(ctx, 1690);
        return;
    }
    // A fresh walk: the copy does not share the original's enumerator. The enumerator is
    // made now, so an object that offers none fails here; taking no element to make it
    // loses none where the enumerator cannot go back.
    if (object->enumerator) {
        object->enumerator->Release();
        object->enumerator = nullptr;
    }
    if (!object->Dispatch() || FAILED(GetEnumerator(object->Dispatch(), &object->enumerator))) {
        SetError(ctx, 1690);
        return;
    }
    value.v.originVar = ORIGIN_NONE;
    value.CopyOut(call.result, true);
}

void CollectionNextCase(BDS* ctx, BuiltinCall& call)
{
    CResultVar element(ctx);
    if (!CollectionNext(ctx, call.args[1], element, nullptr, nullptr, 0)) {
        if (!ctx->nErrorCode)
            SetResultInt(ctx, call.result, 0);
        return;
    }
    element.v.originVar = ORIGIN_NONE;
    element.CopyOut(call.result, true);
}

void CollectionCloseCase(BDS* ctx, BuiltinCall& call)
{
    resultants& arg = call.args[1];
    CComObjectAg* object = ObjectOf(&arg);
    if (object && object->enumerator && arg.originVar != ORIGIN_NONE) {
        CResultVar closed(ctx);
        closed.v.originVar = arg.originVar;
        closed.v.originScope = arg.originScope;
        closed.v.originAddr = arg.originAddr;
        closed.v.var.vt = VT_NULL;
        closed.v.flags = VF_VARIANT;
        if (!closed.WriteBack())
            return;
        VariantInit(&arg.var);
        arg.flags &= ~(VF_VARIANT | VF_COMOBJ);
    }
    SetResultInt(ctx, call.result, 0);
}

// ---------------------------------------------------------------- ForEach

int CollectionForEachStep(BDS* ctx, const ValueHead& collection, int64_t* position, char delimiter,
                          ItemCursor* items, ComWalk* walk, resultants* element)
{
    if (!EnsureOle(ctx))
        return 0;
    CResultVar out(ctx);
    CComObjectAg* object = ObjectOf(&collection);
    int delivered = object ? WalkNext(ctx, object->Dispatch(), walk, out)
                           : CollectionNext(ctx, collection, out, nullptr, position, delimiter, items);
    if (!delivered)
        return 0;
    out.v.originVar = ORIGIN_NONE;
    out.CopyOut(element, true);
    return 1;
}

void CollectionForEachReset(ComWalk* walk)
{
    if (walk->enumerator)
        walk->enumerator->Release();
    if (walk->source)
        walk->source->Release();
    walk->enumerator = nullptr;
    walk->source = nullptr;
}
