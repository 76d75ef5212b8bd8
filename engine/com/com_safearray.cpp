// SAFEARRAYs and binary buffers as COM data.
#include "engine/com/com_safearray.h"

#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/com/com_adapter.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_names.h"
#include "engine/com/com_parse.h"
#include "engine/core/context.h"
#include "engine/core/eval_internal.h"
#include "engine/core/evaluator.h"
#include "engine/core/operators.h"
#include "engine/core/tokenizer.h"
#include "engine/data/array.h"
#include "engine/data/binary_buffer.h"

namespace {

constexpr int MAX_NESTED_ARRAYS = 8;

// The element types that BinaryAllocArray lays out as raw data.
bool IsRawElementType(VARTYPE t)
{
    switch (t) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_ERROR:
    case VT_BOOL: case VT_DECIMAL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8:
    case VT_UI8: case VT_INT: case VT_UINT:
        return true;
    default:
        return false;
    }
}

// The SAFEARRAY indices of script subscripts (reversed, lower bounds added).
void ToArrayIndices(int count, const int32_t* subscripts, const LONG* lower, LONG* indices)
{
    for (int k = 0; k < count; ++k)
        indices[k] = subscripts[count - 1 - k] + lower[k];
}

// A VARIANT of type `vt` whose datum is read from `data` (a borrowed view).
bool ViewElement(VARTYPE vt, const void* data, VARIANT* out)
{
    VariantInit(out);
    if (vt == VT_VARIANT) {
        std::memcpy(out, data, sizeof(VARIANT));
        return true;
    }
    uint32_t size = VtElementSize(vt);
    if (size == 0)
        return false;
    out->vt = vt;
    if (vt == VT_DECIMAL) {
        std::memcpy(&out->decVal, data, sizeof(DECIMAL));
        out->vt = VT_DECIMAL;
        return true;
    }
    std::memcpy(&out->lVal, data, size);
    return true;
}

// Stores a converted value into an element (a VARIANT element as the VARIANT).
HRESULT PutElement(SAFEARRAY* array, LONG* indices, VARTYPE elementType, VARIANT* value)
{
    if (elementType == VT_VARIANT)
        return SafeArrayPutElement(array, indices, value);
    return SafeArrayPutElement(array, indices, VariantDataPointer(value, false));
}

// The SAFEARRAY a VARIANT holds (directly or by reference), or null.
SAFEARRAY* ArrayInVariant(const VARIANT& v)
{
    if (!(v.vt & VT_ARRAY))
        return nullptr;
    if (v.vt & VT_BYREF)
        return v.pparray ? *v.pparray : nullptr;
    return v.parray;
}

}  // namespace

// ---------------------------------------------------------------- shape and elements

SAFEARRAY* SafeArrayOfValue(const ValueHead* v)
{
    return HoldsSafeArray(v) ? ArrayInVariant(v->var) : nullptr;
}

int SafeArrayShape(BDS* ctx, SAFEARRAY* array, uint32_t* dims, uint32_t* count, uint32_t scriptDims[5],
                   LONG lower[5])
{
    *dims = 0;
    *count = 0;
    for (int k = 0; k < 5; ++k) {
        scriptDims[k] = 0;
        lower[k] = 0;
    }
    if (!array)
        return 1;
    UINT d = SafeArrayGetDim(array);
    if (d > 5) {
        SetError(ctx, 1726);
        return 0;
    }
    uint64_t total = d ? 1 : 0;
    for (UINT k = 1; k <= d; ++k) {
        LONG lo = 0, hi = -1;
        if (FAILED(SafeArrayGetLBound(array, k, &lo)) || FAILED(SafeArrayGetUBound(array, k, &hi))) {
            SetError(ctx, 1675);
            return 0;
        }
        uint32_t n = hi >= lo ? static_cast<uint32_t>(hi - lo + 1) : 0;
        lower[k - 1] = lo;
        scriptDims[d - k] = n;
        total *= n;
    }
    *dims = d;
    *count = static_cast<uint32_t>(total > 0xFFFFFFFFull ? 0xFFFFFFFFull : total);
    return 1;
}

int SafeArrayReadElement(BDS* ctx, SAFEARRAY* array, int count, const int32_t* subscripts, CResultVar& out)
{
    uint32_t dims, total, scriptDims[5];
    LONG lower[5], indices[5];
    if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
        return 0;
    if (static_cast<uint32_t>(count) != dims) {
        SetError(ctx, 1635);
        return 0;
    }
    for (int k = 0; k < count; ++k) {
        if (subscripts[k] < 0 || static_cast<uint32_t>(subscripts[k]) >= scriptDims[k]) {
            SetError(ctx, 1636);
            return 0;
        }
    }
    ToArrayIndices(count, subscripts, lower, indices);
    VARTYPE vt = 0;
    if (FAILED(SafeArrayGetVartype(array, &vt))) {
        SetError(ctx, 1675);
        return 0;
    }
    VARIANT element;
    VariantInit(&element);
    if (vt != VT_VARIANT) {
        if (VtElementSize(vt) == 0) {
            SetError(ctx, 1257);
            return 0;
        }
        element.vt = vt;
    }
    void* target = vt == VT_VARIANT ? static_cast<void*>(&element) : VariantDataPointer(&element, true);
    if (vt == VT_DECIMAL)
        target = &element.decVal;
    if (FAILED(SafeArrayGetElement(array, indices, target))) {
        SetError(ctx, 1675);
        return 0;
    }
    if (vt == VT_DECIMAL)
        element.vt = VT_DECIMAL;
    int ok = out.VariantCopyToValue(element);
    VariantClear(&element);
    return ok;
}

namespace {

// Gives the holder's SAFEARRAY the shape that the indices need (SAFEARRAY order).
int GrowSafeArray(BDS* ctx, CResultVar& holder, int count, const LONG* indices)
{
    SAFEARRAY* array = SafeArrayOfValue(&holder.v);
    uint32_t dims, total, scriptDims[5];
    LONG lower[5];
    if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
        return 0;
    SAFEARRAYBOUND bounds[5];
    uint32_t newDims = static_cast<uint32_t>(count) > dims ? static_cast<uint32_t>(count) : dims;
    // The platform sizes an array's data in 32 bits: a shape past that (a subscript in the
    // billions, or dimensions whose product is) is refused before the platform is asked.
    uint64_t bytes = SafeArrayGetElemsize(array);
    for (uint32_t k = 0; k < newDims; ++k) {
        int64_t elements;
        if (k < dims) {
            bounds[k].lLbound = lower[k];
            elements = scriptDims[dims - 1 - k];
            if (k < static_cast<uint32_t>(count))
                elements = std::max<int64_t>(elements, int64_t(indices[k]) - lower[k] + 1);
        } else {
            bounds[k].lLbound = 0;
            elements = int64_t(indices[k]) + 1;
        }
        bytes *= static_cast<uint64_t>(elements);
        if (elements <= 0 || bytes > 0xFFFFFFFFu) {
            SetError(ctx, 1677);
            return 0;
        }
        bounds[k].cElements = static_cast<ULONG>(elements);
    }
    if (dims == 1 && newDims == 1) {
        if (FAILED(SafeArrayRedim(array, &bounds[0]))) {
            SetError(ctx, 1677);
            return 0;
        }
        return holder.WriteBack();
    }
    VARTYPE vt = 0;
    SafeArrayGetVartype(array, &vt);
    // SafeArrayCreate takes the bounds leftmost dimension first.
    SAFEARRAY* grown = SafeArrayCreate(vt, newDims, bounds);
    if (!grown) {
        SetError(ctx, 1677);
        return 0;
    }
    // Every old element goes to the same indices (new dimensions at their lower bound).
    LONG at[5];
    for (uint32_t i = 0; i < total; ++i) {
        uint32_t rest = i;
        for (uint32_t k = 0; k < newDims; ++k) {
            if (k < dims) {
                uint32_t n = scriptDims[dims - 1 - k];
                at[k] = lower[k] + static_cast<LONG>(n ? rest % n : 0);
                rest = n ? rest / n : 0;
            } else {
                at[k] = 0;
            }
        }
        VARIANT element;
        VariantInit(&element);
        if (vt != VT_VARIANT)
            element.vt = vt;
        void* slot = vt == VT_VARIANT ? static_cast<void*>(&element)
                     : vt == VT_DECIMAL ? static_cast<void*>(&element.decVal)
                                        : VariantDataPointer(&element, true);
        bool copied = slot && SUCCEEDED(SafeArrayGetElement(array, at, slot));
        if (vt == VT_DECIMAL)
            element.vt = VT_DECIMAL;
        copied = copied && SUCCEEDED(PutElement(grown, at, vt, &element));
        VariantClear(&element);
        if (!copied) {
            SafeArrayDestroy(grown);
            SetError(ctx, 1675);
            return 0;
        }
    }
    if (!holder.Bound())
        SafeArrayDestroy(array);
    if (holder.v.var.vt & VT_BYREF)
        *holder.v.var.pparray = grown;
    else
        holder.v.var.parray = grown;
    return holder.WriteBack();
}

}  // namespace

int SafeArrayAssignElement(BDS* ctx, CResultVar& holder, int count, const int32_t* subscripts,
                           CResultVar& value)
{
    SAFEARRAY* array = SafeArrayOfValue(&holder.v);
    uint32_t dims, total, scriptDims[5];
    LONG lower[5], indices[5];
    if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
        return 0;
    for (int k = 0; k < count; ++k)
        if (subscripts[k] < 0) {
            SetError(ctx, 1636);
            return 0;
        }
    // Indices in SAFEARRAY order; dimensions the array lacks yet start at lower bound 0.
    for (int k = 0; k < count; ++k)
        indices[k] = subscripts[count - 1 - k] + (static_cast<uint32_t>(k) < dims ? lower[k] : 0);
    bool grow = static_cast<uint32_t>(count) != dims;
    for (int k = 0; k < count && !grow; ++k)
        grow = static_cast<uint32_t>(subscripts[k]) >= scriptDims[k];
    VARTYPE vt = 0;
    if (FAILED(SafeArrayGetVartype(array, &vt))) {
        SetError(ctx, 1675);
        return 0;
    }
    if (grow) {
        // The write-back hands the grown array to the variable; a holder bound to none (an
        // array nested in another one's element) keeps it.
        bool bound = holder.Bound();
        uint16_t index = holder.v.originVar;
        if (!GrowSafeArray(ctx, holder, count, indices))
            return 0;
        if (!bound)
            array = SafeArrayOfValue(&holder.v);
        else
            array = index < ctx->nVarUsed ? SafeArrayOfValue(&ctx->pVars[index]) : nullptr;
        if (!array) {
            SetError(ctx, 1675);
            return 0;
        }
    }
    if (!value.ValueToVariantType(vt)) {
        if (!ctx->nErrorCode)
            SetError(ctx, 1257);
        return 0;
    }
    if (FAILED(PutElement(array, indices, vt, &value.v.var))) {
        SetError(ctx, 1675);
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- whole arrays

int SafeArrayValueToArray(BDS* ctx, ValueHead* v)
{
    if (!(v->var.vt & VT_ARRAY) || IsObjectValue(v)) {
        SetError(ctx, 1257);
        return 0;
    }
    SAFEARRAY* array = SafeArrayOfValue(v);
    uint32_t dims, total, scriptDims[5];
    LONG lower[5];
    if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
        return 0;
    ValueHead made{};
    if (CreateMyArray(ctx, &made, scriptDims[0], scriptDims[1], scriptDims[2], scriptDims[3], scriptDims[4], 0,
                      static_cast<int>(dims)) < 0)
        return 0;
    ArrayHeader* block = ValueArray(&made);
    if (array && total) {
        VARTYPE vt = 0;
        HRESULT hr = SafeArrayGetVartype(array, &vt);
        void* data = nullptr;
        if (FAILED(hr)) {
            SetError(ctx, HresultToErrorNumber(ctx, hr, "VariantToArray"));
        } else if (FAILED(SafeArrayAccessData(array, &data))) {
            SetError(ctx, 1676);
        } else {
            UINT size = SafeArrayGetElemsize(array);
            for (uint32_t i = 0; i < total && i < block->count && !ctx->nErrorCode; ++i) {
                VARIANT element;
                if (!ViewElement(vt, static_cast<uint8_t*>(data) + static_cast<size_t>(i) * size, &element)) {
                    SetError(ctx, 1257);
                    break;
                }
                ArrayElement& e = block->data[i];
                uint16_t saved = ctx->nErrorCode;
                IDispatch* disp = GetDispatchFromVariant(ctx, element);
                ctx->nErrorCode = saved;
                if (disp) {
                    WrapDispatchAsObject(ctx, disp, true, &e);
                    disp->Release();
                } else {
                    HRESULT copied = VariantCopy(&e.var, &element);
                    if (FAILED(copied)) {
                        SetError(ctx, HresultToErrorNumber(ctx, copied, "VariantToArray"));
                        break;
                    }
                    e.flags = VF_VARIANT;
                    e.i32 = 0;
                }
            }
            SafeArrayUnaccessData(array);
        }
        if (ctx->nErrorCode) {
            ReleaseArray(ctx, &made.str, 1);
            return 0;
        }
    }
    ValueReleaseComPayload(v->flags, v);
    if ((v->flags & VF_STRING) && v->str)
        VFree(ctx, v->str);
    if ((v->flags & VF_UNICODE) && v->wstr)
        VFree(ctx, v->wstr);
    v->wstr = 0;
    v->str = made.str;
    v->flags = VF_ARRAY;
    return 1;
}

int CResultVar::VariantToArray() { return SafeArrayValueToArray(ctx, &v); }

int CResultVar::ArrayToSafeArray(VARTYPE t)
{
    if (!(t == 0 || (t & VT_ARRAY) || (t & 0x0C))) {
        SetError(ctx, 1257);
        return 0;
    }
    ArrayHeader* block = ValueArray(&v);
    if (!block || (block->flags & ARRAY_MAP)) {
        SetError(ctx, block ? 1257 : 1637);
        return 0;
    }
    VARTYPE elementType = t & 0x0FFF;
    if (block->ndims == 0 || block->count == 0) {
        SAFEARRAY* empty = SafeArrayCreateVector(elementType ? elementType : VT_VARIANT, 0, 0);
        if (!empty) {
            SetError(ctx, 1677);
            return 0;
        }
        VARIANT out;
        VariantInit(&out);
        out.vt = static_cast<VARTYPE>(VT_ARRAY | (elementType ? elementType : VT_VARIANT));
        out.parray = empty;
        ReleaseArray(ctx, &v.str, 0);
        v.flags &= ~VF_ARRAY;
        VariantInit(&v.var);
        v.var = out;
        v.flags = VF_VARIANT;
        return (t & VT_BYREF) ? MakeByRef(t) : 1;
    }
    if (!block->data) {
        SetError(ctx, 1637);
        return 0;
    }
    if (elementType == 0) {
        const ArrayElement& first = block->data[0];
        bool plain = !(first.flags & VF_VARIANT) || IsObjectValue(&first) || (first.var.vt & VT_ARRAY);
        if (plain)
            elementType = VT_VARIANT;
    }
    SAFEARRAYBOUND bounds[5];
    for (uint32_t k = 0; k < block->ndims; ++k) {
        bounds[k].lLbound = 0;
        bounds[k].cElements = block->dims[block->ndims - 1 - k];
    }
    SAFEARRAY* array = nullptr;
    for (uint32_t i = 0; i < block->count; ++i) {
        const ArrayElement& element = block->data[i];
        if (!(element.flags & VF_HAS_VALUE))
            continue;
        CResultVar item(ctx);
        resultants source{};
        std::memcpy(static_cast<ValueHead*>(&source), &element, sizeof(ValueHead));
        source.originVar = ORIGIN_ELEMENT;
        if (!item.CopyFrom(source)) {
            if (array)
                SafeArrayDestroy(array);
            return 0;
        }
        item.v.originVar = ORIGIN_NONE;
        if (!item.ValueToVariantType(elementType == VT_VARIANT ? VARTYPE(0) : elementType)) {
            if (array)
                SafeArrayDestroy(array);
            return 0;
        }
        if (elementType == 0)
            elementType = item.v.var.vt;
        if (elementType != VT_VARIANT && item.v.var.vt != elementType) {
            if (array)
                SafeArrayDestroy(array);
            SetError(ctx, 1257);
            return 0;
        }
        if (!array) {
            array = SafeArrayCreate(elementType, block->ndims, bounds);
            if (!array) {
                SetError(ctx, 1677);
                return 0;
            }
        }
        uint32_t subs[MAX_ARRAY_DIMS];
        ArraySubscriptsOf(block, i, subs);
        LONG indices[5];
        for (uint32_t k = 0; k < block->ndims; ++k)
            indices[k] = static_cast<LONG>(subs[block->ndims - 1 - k]);
        if (FAILED(PutElement(array, indices, elementType, &item.v.var))) {
            SafeArrayDestroy(array);
            SetError(ctx, 1677);
            return 0;
        }
    }
    if (!array) {
        array = SafeArrayCreate(elementType ? elementType : VT_VARIANT, block->ndims, bounds);
        if (!array) {
            SetError(ctx, 1677);
            return 0;
        }
        if (!elementType)
            elementType = VT_VARIANT;
    }
    ReleaseArray(ctx, &v.str, 0);
    v.flags &= ~VF_ARRAY;
    VariantInit(&v.var);
    v.var.vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    v.var.parray = array;
    v.flags = VF_VARIANT;
    return (t & VT_BYREF) ? MakeByRef(t) : 1;
}

int SafeArrayInfo(BDS* ctx, const ValueHead& value, int32_t request, int32_t* answer)
{
    if (!HoldsSafeArray(&value)) {
        if (request == -1) {
            *answer = 0;
            return 1;
        }
        SetError(ctx, 1641);
        return 0;
    }
    uint32_t dims, total, scriptDims[5];
    LONG lower[5];
    if (!SafeArrayShape(ctx, SafeArrayOfValue(&value), &dims, &total, scriptDims, lower)) {
        if (request == -1 && ctx->nErrorCode == 1726) {
            SetError(ctx, 0);
            *answer = 0;
            return 1;
        }
        return 0;
    }
    switch (request) {
    case -3: *answer = 0; return 1;
    case -2: case -1: *answer = 1; return 1;
    case 0: *answer = static_cast<int32_t>(dims); return 1;
    case 1: case 2: case 3: case 4: case 5: *answer = static_cast<int32_t>(scriptDims[request - 1]); return 1;
    case 6: *answer = static_cast<int32_t>(total); return 1;
    default:
        SetError(ctx, 1642);
        return 0;
    }
}

// ---------------------------------------------------------------- binary buffers

namespace {

struct OleBufferType {
    VARTYPE vt;       // the base type passed by reference (types 4 to 11)
    uint32_t bytes;
};

const OleBufferType kByRefTypes[12] = {
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {VT_I1, 1}, {VT_I2, 2}, {VT_I4, 4}, {VT_UI1, 1},
    {VT_UI2, 2}, {VT_UI4, 4}, {VT_R4, 4}, {VT_R8, 8},
};

// A buffer of at least `bytes`: a smaller one is replaced by a new zeroed block (its
// contents are not kept). 1126 when the block cannot be had.
bool BinaryBufferEnsureSize(BDS* ctx, BinaryBufferSlot* slot, int64_t bytes)
{
    if (slot->size >= bytes)
        return true;
    if (slot->structUses) {
        SetError(ctx, 1126);
        return false;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes));
    void* data = block ? GlobalLock(block) : nullptr;
    if (!data) {
        if (block)
            GlobalFree(block);
        SetError(ctx, 1126);
        return false;
    }
    GlobalUnlock(slot->hMem);
    GlobalFree(slot->hMem);
    slot->hMem = block;
    slot->data = static_cast<uint8_t*>(data);
    slot->size = bytes;
    slot->eod = 0;
    return true;
}

}  // namespace

int CResultVar::BinaryBufferToVariant(VARTYPE t)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, v.i32);
    if (!slot)
        return 0;
    uint32_t type = slot->oleType;
    uint32_t direction = slot->oleDirection;
    bool byteArray = t == (VT_ARRAY | VT_I1) || t == (VT_ARRAY | VT_UI1);
    if (type == 0) {
        if (!byteArray) {
            SetError(ctx, 1517);
            return 0;
        }
        type = 3;
        direction = 1;
    }
    VARIANT out;
    VariantInit(&out);
    if (type == 1 || type == 2) {
        if (slot->eod > 0x7FFFFFFF) {
            SetError(ctx, 3056);
            return 0;
        }
        std::wstring text;
        if (direction & 1) {
            int length = static_cast<int>(strnlen(reinterpret_cast<const char*>(slot->data), static_cast<size_t>(slot->eod)));
            int units = length ? MultiByteToWideChar(ComCodePage(ctx), 0, reinterpret_cast<const char*>(slot->data), length, nullptr, 0) : 0;
            text.assign(static_cast<size_t>(units > 0 ? units : 0), L'\0');
            if (units > 0)
                MultiByteToWideChar(ComCodePage(ctx), 0, reinterpret_cast<const char*>(slot->data), length, text.data(), units);
        }
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!out.bstrVal) {
            SetError(ctx, 1491);
            return 0;
        }
    } else if (type == 3) {
        if (slot->eod > 0x7FFFFFFF) {
            SetError(ctx, 1804);
            return 0;
        }
        VARTYPE element = t == (VT_ARRAY | VT_I1) ? VT_I1 : VT_UI1;
        SAFEARRAY* array = SafeArrayCreateVector(element, 0, static_cast<ULONG>(slot->eod));
        if (!array) {
            SetError(ctx, 1677);
            return 0;
        }
        if ((direction & 1) && slot->eod > 0) {
            void* data = nullptr;
            if (FAILED(SafeArrayAccessData(array, &data))) {
                SafeArrayDestroy(array);
                SetError(ctx, 1676);
                return 0;
            }
            std::memcpy(data, slot->data, static_cast<size_t>(slot->eod));
            SafeArrayUnaccessData(array);
        }
        out.vt = static_cast<VARTYPE>(VT_ARRAY | element);
        out.parray = array;
    } else if (type <= 11) {
        const OleBufferType& kind = kByRefTypes[type];
        if (slot->size < kind.bytes) {
            SetError(ctx, 1678);
            return 0;
        }
        out.vt = kind.vt;
        std::memcpy(&out.lVal, slot->data, kind.bytes);
        slot->eod = kind.bytes;
    } else {
        SetError(ctx, 1518);
        return 0;
    }
    int32_t handle = v.i32;
    ReleaseCom();
    v.var = out;
    if ((type == 2 && !MakeByRef(VT_BYREF | VT_BSTR)) ||
        (type >= 4 && !MakeByRef(static_cast<VARTYPE>(VT_BYREF | out.vt))))
        return 0;
    v.i32 = handle;
    v.flags = VF_INT | VF_BINBUF | VF_VARIANT;
    return 1;
}

int CResultVar::WriteBackToBuffer()
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, v.i32);
    if (!slot)
        return 0;
    int32_t handle = v.i32;
    int ok = 1;
    if (slot->oleDirection & 2) {
        uint32_t type = slot->oleType;
        VARIANT scratch;
        VariantInit(&scratch);
        const VARIANT* d = &v.var;
        if ((v.var.vt & VT_BYREF) && v.var.byref) {
            VARTYPE base = v.var.vt & ~VT_BYREF;
            if (base == VT_BSTR) {
                scratch.vt = VT_BSTR;
                scratch.bstrVal = *v.var.pbstrVal;
                d = &scratch;
            }
        }
        if (type == 1 || type == 2) {
            if (d->vt == VT_BSTR) {
                if (d->bstrVal) {
                    int units = static_cast<int>(SysStringLen(d->bstrVal));
                    int bytes = units ? WideCharToMultiByte(ComCodePage(ctx), 0, d->bstrVal, units, nullptr, 0, nullptr, nullptr) : 0;
                    if (!BinaryBufferEnsureSize(ctx, slot, 1))
                        return 0;
                    std::memset(slot->data, 0, static_cast<size_t>(slot->size));
                    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
                    if (bytes > 0)
                        WideCharToMultiByte(ComCodePage(ctx), 0, d->bstrVal, units, text.data(), bytes, nullptr, nullptr);
                    size_t n = text.size() < static_cast<size_t>(slot->size) ? text.size() : static_cast<size_t>(slot->size);
                    std::memcpy(slot->data, text.data(), n);
                    slot->eod = static_cast<int64_t>(n);
                }
            } else if (d->vt == VT_EMPTY || d->vt == VT_NULL || d->vt == VT_ERROR) {
                std::memset(slot->data, 0, static_cast<size_t>(slot->size));
            } else {
                SetError(ctx, 1257);
                ok = 0;
            }
        } else if (type == 3) {
            ok = SafeArrayToBuffer();
            v.i32 = handle;
            v.flags = VF_INT | VF_BINBUF;
            return ok;
        } else if (type >= 4 && type <= 11) {
            const OleBufferType& kind = kByRefTypes[type];
            if (!BinaryBufferEnsureSize(ctx, slot, kind.bytes))
                return 0;
            if ((v.var.vt & VT_BYREF) && v.var.byref)
                std::memcpy(slot->data, v.var.byref, kind.bytes);
            slot->eod = kind.bytes;
        }
    }
    ReleaseCom();
    v.i32 = handle;
    v.flags = VF_INT | VF_BINBUF;
    return ok;
}

int CResultVar::SafeArrayToBuffer()
{
    VARTYPE vt = v.var.vt & ~VT_BYREF;
    if (vt != (VT_ARRAY | VT_UI1) && vt != (VT_ARRAY | VT_I1)) {
        SetError(ctx, 1257);
        return 0;
    }
    SAFEARRAY* array = SafeArrayOfValue(&v);
    uint32_t dims, total, scriptDims[5];
    LONG lower[5];
    if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
        return 0;
    int64_t bytes = total ? total : 1;
    BinaryBufferSlot* slot = nullptr;
    int32_t handle = 0;
    if ((v.flags & VF_BINBUF) && (slot = BinarySlotQuiet(ctx, v.i32)) != nullptr) {
        if (!BinaryBufferEnsureSize(ctx, slot, bytes))
            return 0;
        handle = v.i32;
    } else {
        handle = DoBinaryAlloc(ctx, bytes);
        if (!handle)
            return 0;
        slot = BinarySlotQuiet(ctx, handle);
    }
    std::memset(slot->data, 0, static_cast<size_t>(slot->size));
    if (total) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            SetError(ctx, 1676);
            return 0;
        }
        std::memcpy(slot->data, data, total);
        SafeArrayUnaccessData(array);
    }
    slot->eod = total;
    ReleaseCom();
    FreeTexts();
    v.i32 = handle;
    v.flags = VF_INT | VF_BINBUF;
    return 1;
}

int32_t ArrayToBinaryBuffer(BDS* ctx, const ValueHead& value)
{
    if (HoldsSafeArray(&value)) {
        SAFEARRAY* array = SafeArrayOfValue(&value);
        VARTYPE vt = value.var.vt & ~(VT_ARRAY | VT_BYREF);
        if (!IsRawElementType(vt)) {
            SetError(ctx, 1746);
            return 0;
        }
        if (!array || !array->pvData) {
            SetError(ctx, 1710);
            return 0;
        }
        uint32_t dims, total, scriptDims[5];
        LONG lower[5];
        if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
            return 0;
        if (dims > 1) {
            SetError(ctx, 1635);
            return 0;
        }
        if (total == 0) {
            SetError(ctx, 1710);
            return 0;
        }
        uint32_t size = VtElementSize(vt);
        int32_t handle = DoBinaryAlloc(ctx, static_cast<int64_t>(size) * total);
        if (!handle)
            return 0;
        BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            DoBinaryFree(ctx, handle);
            SetError(ctx, 1676);
            return 0;
        }
        std::memcpy(slot->data, data, static_cast<size_t>(size) * total);
        SafeArrayUnaccessData(array);
        slot->eod = static_cast<int64_t>(size) * total;
        return handle;
    }
    ArrayHeader* block = ValueArray(&value);
    if (!(value.flags & VF_ARRAY)) {
        SetError(ctx, 1641);
        return 0;
    }
    if (!block || (block->flags & ARRAY_MAP) || (!block->data && block->ndims)) {
        SetError(ctx, 1637);
        return 0;
    }
    if (block->ndims > 1) {
        SetError(ctx, 1635);
        return 0;
    }
    if (block->ndims == 0 || block->count == 0) {
        SetError(ctx, 1710);
        return 0;
    }
    // The first element decides the layout; every other must be of its kind.
    auto kindOf = [](const ArrayElement& e) -> uint32_t {
        if ((e.flags & VF_VARIANT) && !IsObjectValue(&e))
            return IsRawElementType(e.var.vt) ? 0x10000u | e.var.vt : 0;
        if (e.flags & VF_INT) return VF_INT;
        if (e.flags & VF_FLOAT) return VF_FLOAT;
        if (e.flags & VF_INT64) return VF_INT64;
        return 0;
    };
    uint32_t kind = kindOf(block->data[0]);
    if (kind == 0) {
        SetError(ctx, 1746);
        return 0;
    }
    uint32_t size = kind == VF_INT ? 4 : (kind & 0x10000u) ? VtElementSize(static_cast<VARTYPE>(kind & 0xFFFF)) : 8;
    int64_t bytes = static_cast<int64_t>(size) * block->count;
    int32_t handle = DoBinaryAlloc(ctx, bytes > 0 ? bytes : 1);
    if (!handle)
        return 0;
    BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
    for (uint32_t i = 0; i < block->count; ++i) {
        const ArrayElement& e = block->data[i];
        if (kindOf(e) != kind) {
            DoBinaryFree(ctx, handle);
            SetError(ctx, 1747);
            return 0;
        }
        uint8_t* at = slot->data + static_cast<size_t>(i) * size;
        if (kind == VF_INT)
            std::memcpy(at, &e.i32, 4);
        else if (kind == VF_FLOAT)
            std::memcpy(at, &e.dbl, 8);
        else if (kind == VF_INT64)
            std::memcpy(at, &e.i64, 8);
        else if (e.var.vt == VT_DECIMAL)
            std::memcpy(at, &e.var.decVal, 16);
        else
            std::memcpy(at, &e.var.lVal, size);
    }
    slot->eod = bytes;
    return handle;
}

// ---------------------------------------------------------------- arrays nested in elements

namespace {

// One subscript list of an element assignment.
struct SubscriptList {
    int count;
    int32_t subscripts[MAX_SAFEARRAY_SUBSCRIPTS];
};

// Keeps the SAFEARRAYs locked whose element VARIANTs are used in place, and unlocks them,
// innermost first, when it goes: while an array is locked it can be neither destroyed nor
// resized, so a pointer to one of its elements stays valid.
class LockChain {
public:
    LockChain() = default;
    LockChain(const LockChain&) = delete;
    LockChain& operator=(const LockChain&) = delete;
    ~LockChain()
    {
        while (held_ > 0)
            SafeArrayUnlock(arrays_[--held_]);
    }
    bool Lock(SAFEARRAY* array)
    {
        if (held_ == MAX_NESTED_ARRAYS || FAILED(SafeArrayLock(array)))
            return false;
        arrays_[held_++] = array;
        return true;
    }

private:
    SAFEARRAY* arrays_[MAX_NESTED_ARRAYS] = {};
    int held_ = 0;
};

// The VARIANT element that the subscripts name in a SAFEARRAY of VARIANTs, in place; the
// array is locked by `locks`. Null with 1635 or 1636 when there is no such element, null
// without an error when the array holds no VARIANTs (its elements can hold no array).
VARIANT* VariantElementAt(BDS* ctx, SAFEARRAY* array, const SubscriptList& list, LockChain& locks)
{
    uint32_t dims, total, scriptDims[5];
    LONG lower[5], indices[5];
    if (!SafeArrayShape(ctx, array, &dims, &total, scriptDims, lower))
        return nullptr;
    if (static_cast<uint32_t>(list.count) != dims) {
        SetError(ctx, 1635);
        return nullptr;
    }
    for (int k = 0; k < list.count; ++k) {
        if (list.subscripts[k] < 0 || static_cast<uint32_t>(list.subscripts[k]) >= scriptDims[k]) {
            SetError(ctx, 1636);
            return nullptr;
        }
    }
    VARTYPE vt = 0;
    if (FAILED(SafeArrayGetVartype(array, &vt)) || vt != VT_VARIANT)
        return nullptr;
    if (!locks.Lock(array)) {
        SetError(ctx, 1676);
        return nullptr;
    }
    ToArrayIndices(list.count, list.subscripts, lower, indices);
    void* element = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(array, indices, &element)) || !element) {
        SetError(ctx, 1675);
        return nullptr;
    }
    return static_cast<VARIANT*>(element);
}

// Follows the first `depth` subscript lists from `root` down the nested arrays and answers
// the element VARIANT that the last of them names (its array locked by `locks`); null with
// the error set when an element on the way is missing or holds no array.
VARIANT* NestedElement(BDS* ctx, SAFEARRAY* root, const SubscriptList* lists, int depth, LockChain& locks)
{
    SAFEARRAY* array = root;
    VARIANT* element = nullptr;
    for (int level = 0; level < depth; ++level) {
        if (!array) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1675);
            return nullptr;
        }
        element = VariantElementAt(ctx, array, lists[level], locks);
        if (!element) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1675);   // the element can hold no array
            return nullptr;
        }
        array = ArrayInVariant(*element);
    }
    return element;
}

// Whether the element that the lists name holds a SAFEARRAY: no error when an element on
// the way holds none, 1635 or 1636 when a list does not fit its array.
bool ElementHoldsArray(BDS* ctx, SAFEARRAY* root, const SubscriptList* lists, int depth)
{
    LockChain locks;
    SAFEARRAY* array = root;
    for (int level = 0; level < depth; ++level) {
        if (!array)
            return false;
        VARIANT* element = VariantElementAt(ctx, array, lists[level], locks);
        if (!element)
            return false;
        array = ArrayInVariant(*element);
    }
    return array != nullptr;
}

}  // namespace

// ---------------------------------------------------------------- the evaluator's gates

int GateSafeArrayInfo(BDS* ctx, const ValueHead& value, int32_t request, int32_t* answer)
{
    return SafeArrayInfo(ctx, value, request, answer);
}

int GateSafeArrayElementGet(BDS* ctx, const ValueHead& holder, resultants* result)
{
    CResultVar current(ctx);
    SAFEARRAY* array = SafeArrayOfValue(&holder);
    for (int level = 0;; ++level) {
        int32_t subscripts[MAX_SAFEARRAY_SUBSCRIPTS];
        int count = ParseSafeArraySubscripts(ctx, subscripts);
        if (count <= 0)
            return 0;
        CResultVar element(ctx);
        if (!SafeArrayReadElement(ctx, array, count, subscripts, element))
            return 0;
        current.Release();
        current.v = element.v;
        element.Detach();
        if (HoldsSafeArray(&current.v) && LineContinuesWith(ctx, '[')) {
            if (level + 1 >= MAX_NESTED_ARRAYS) {
                SetError(ctx, 3647);
                return 0;
            }
            array = SafeArrayOfValue(&current.v);
            continue;
        }
        break;
    }
    current.v.originVar = ORIGIN_NONE;
    current.CopyOut(result, true);
    return 1;
}

int GateSafeArrayElementPut(BDS* ctx, uint16_t var, resultants* result)
{
    get_token(ctx);
    if (ctx->nErrorCode)
        return 1;
    // The subscript lists: after the first, one more for every element that holds an
    // array and is subscripted again (y[1][2] = ...).
    SubscriptList lists[MAX_NESTED_ARRAYS];
    int depth = 0;
    for (;;) {
        if (depth == MAX_NESTED_ARRAYS) {
            SetError(ctx, 3647);
            return 1;
        }
        SubscriptList& list = lists[depth];
        list.count = ParseSafeArraySubscripts(ctx, list.subscripts);
        if (list.count <= 0) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1632);
            return 1;
        }
        ++depth;
        if (!LineContinuesWith(ctx, '[') ||
            !ElementHoldsArray(ctx, SafeArrayOfValue(&ctx->pVars[var]), lists, depth))
            break;
    }
    if (ctx->nErrorCode)
        return 1;
    get_token(ctx);
    if (ctx->nErrorCode)
        return 1;
    uint16_t op = ctx->delim_type;
    if (ctx->nTokenKind != TK_KEYWORD || (op != KID_ASSIGN && !IsCompoundAssignOp(op))) {
        SetError(ctx, 3074);
        return 1;
    }
    get_token(ctx);
    if (ctx->nErrorCode)
        return 1;
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    ParseLogicalExpr(ctx, result);
    if (ctx->nErrorCode)
        return 1;
    if (ctx->nTokenKind != TK_END) {
        SetError(ctx, 3074);
        return 1;
    }

    // The right side may have changed the variable: its arrays are found only now.
    const SubscriptList& target = lists[depth - 1];
    if (!HoldsSafeArray(&ctx->pVars[var])) {
        SetError(ctx, 1675);
        return 1;
    }
    CResultVar holder(ctx);
    LockChain locks;
    VARIANT* nested = nullptr;   // the element that holds the target array, when nested
    if (depth == 1) {
        holder.BindBorrowedCom(ctx->pVars[var], var, static_cast<uint16_t>(ctx->nScopeCurrent));
    } else {
        nested = NestedElement(ctx, SafeArrayOfValue(&ctx->pVars[var]), lists, depth - 1, locks);
        if (!nested || !ArrayInVariant(*nested)) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1675);
            return 1;
        }
        // Bound to no variable: a grown array stays in the holder and goes back into the
        // element below; the holder never releases the element's array.
        ValueHead element{};
        element.var = *nested;
        holder.BindBorrowedCom(element, ORIGIN_NONE, 0xFFFF);
    }
    if (op != KID_ASSIGN) {
        CResultVar current(ctx);
        if (!SafeArrayReadElement(ctx, SafeArrayOfValue(&holder.v), target.count, target.subscripts, current)) {
            holder.Detach();
            return 1;
        }
        resultants left{};
        current.CopyOut(&left, false);
        if (!ConvertVariantForm(ctx, &left, VariantNaturalForm(&left)) && ctx->nErrorCode) {
            FreeValue(ctx, &left, 0, VK_RECORD);
            holder.Detach();
            return 1;
        }
        ApplyBinaryOperator(ctx, CompoundBaseOperator(op), &left, result);
        if (ctx->nErrorCode) {
            FreeValue(ctx, &left, 0, VK_RECORD);
            holder.Detach();
            return 1;
        }
        FreeValue(ctx, result, 0, VK_RECORD);
        *result = left;
    }
    resultants copy{};
    if (!CopyValue(ctx, result, &copy, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT | VM_COPY_COM)) {
        holder.Detach();
        return 1;
    }
    copy.originVar = ORIGIN_NONE;
    CResultVar value(ctx);
    value.Adopt(copy);
    SafeArrayAssignElement(ctx, holder, target.count, target.subscripts, value);
    if (nested && (holder.v.flags & VF_VARIANT))
        *nested = holder.v.var;   // the array, grown or not, belongs to the element
    holder.Detach();
    return 1;
}
