// Collections: the enumerator of a COM object (DISPID_NEWENUM), SAFEARRAY walks, the
// ObjectCollection built-ins and the ForEach step over COM data.
#include "engine/com/com_collection.h"

#include <oleauto.h>

#include "engine/com/com_adapter.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_safearray.h"

namespace {

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

int ObjectNext(BDS* ctx, CComObjectAg* object, CResultVar& out)
{
    if (!object->enumerator) {
        if (!object->Dispatch() || FAILED(GetEnumerator(object->Dispatch(), &object->enumerator))) {
            SetError(ctx, 1690);
            return 0;
        }
    }
    VARIANT element;
    VariantInit(&element);
    ULONG fetched = 0;
    HRESULT hr = object->enumerator->Next(1, &element, &fetched);
    if (hr == S_FALSE || (hr == S_OK && fetched == 0)) {
        object->enumerator->Reset();
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
    if (*position < 0 || static_cast<uint64_t>(*position) >= count || dims != 1) {
        *position = 0;
        return 0;   // an empty array runs no round
    }
    int32_t subscript = static_cast<int32_t>(*position);
    if (!SafeArrayReadElement(ctx, array, 1, &subscript, out)) {
        *position = 0;
        return 0;
    }
    ++*position;
    return 1;
}

}  // namespace

int CollectionNext(BDS* ctx, const ValueHead& collection, CResultVar& out, int64_t* position)
{
    if (CComObjectAg* object = ObjectOf(&collection))
        return ObjectNext(ctx, object, out);
    if (HoldsSafeArray(&collection))
        return SafeArrayNext(ctx, collection, out, position);
    SetError(ctx, 1690);
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
    if (!object || !object->Dispatch()) {
        SetError(ctx, 1690);
        return;
    }
    // A fresh walk: the copy does not share the original's enumerator.
    if (object->enumerator) {
        object->enumerator->Release();
        object->enumerator = nullptr;
    }
    value.v.originVar = ORIGIN_NONE;
    value.CopyOut(call.result, true);
}

void CollectionNextCase(BDS* ctx, BuiltinCall& call)
{
    CResultVar element(ctx);
    if (!CollectionNext(ctx, call.args[1], element, nullptr)) {
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

int CollectionForEachStep(BDS* ctx, const ValueHead& collection, int64_t* position, resultants* element)
{
    if (!EnsureOle(ctx))
        return 0;
    CResultVar out(ctx);
    if (!CollectionNext(ctx, collection, out, position))
        return 0;
    out.v.originVar = ORIGIN_NONE;
    out.CopyOut(element, true);
    return 1;
}

void CollectionForEachReset(BDS* ctx, const ValueHead& collection)
{
    CComObjectAg* object = ObjectOf(&collection);
    if (object && object->enumerator) {
        object->enumerator->Release();
        object->enumerator = nullptr;
    }
}
