// COM values inside value records: the object value and what it owns, the conversions
// between script values and VARIANTs, by-reference cells, and the write-back of a wrapped
// value into the variable it came from.
#include "engine/com/com_value.h"

#include <oleauto.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "engine/com/com_activation.h"
#include "engine/com/com_constants.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_later.h"
#include "engine/com/com_names.h"
#include "engine/com/com_params.h"
#include "engine/com/com_safearray.h"
#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/varptr.h"
#include "engine/data/array.h"

// ---------------------------------------------------------------- holders and objects

DispatchHolder* NewDispatchHolder()
{
    auto* holder = new (std::nothrow) DispatchHolder{};
    return holder;
}

void FreeDispatchHolder(DispatchHolder* holder)
{
    if (!holder)
        return;
    FreeMemberCache(holder->cache);
    if (holder->disp)
        holder->disp->Release();
    delete holder;
}

CComObjectAg::CComObjectAg(const CComObjectAg& other)
{
    if (other.holder) {
        holder = NewDispatchHolder();
        if (holder) {
            holder->disp = other.holder->disp;
            if (holder->disp)
                holder->disp->AddRef();
            holder->clsid = other.holder->clsid;
        }
    }
    typeInfo = other.typeInfo;
    if (typeInfo)
        typeInfo->AddRef();
    enumerator = other.enumerator;
    if (enumerator)
        enumerator->AddRef();
    if (other.constants)
        constants = CopyConstTable(*other.constants);
    sink = other.sink;
    if (sink)
        ComSinkAddUse(sink);
}

CComObjectAg::~CComObjectAg()
{
    if (enumerator)
        enumerator->Release();
    if (sink)
        ComSinkDropUse(sink);
    if (typeInfo)
        typeInfo->Release();
    FreeDispatchHolder(holder);
    FreeConstTable(constants);
}

bool CComObjectAg::HasConstants() const { return constants && ConstCount(*constants) > 0; }

CComObjectAg* ObjectOf(const ValueHead* v)
{
    return IsObjectValue(v) ? static_cast<CComObjectAg*>(v->var.byref) : nullptr;
}

IDispatch* GetDispatchFromVariant(BDS* ctx, const VARIANT& v)
{
    IUnknown* unknown = nullptr;
    switch (v.vt) {
    case VT_DISPATCH:
        if (v.pdispVal)
            v.pdispVal->AddRef();
        return v.pdispVal;
    case VT_DISPATCH | VT_BYREF:
        if (!v.ppdispVal || !*v.ppdispVal)
            return nullptr;
        (*v.ppdispVal)->AddRef();
        return *v.ppdispVal;
    case VT_UNKNOWN:
        unknown = v.punkVal;
        break;
    case VT_UNKNOWN | VT_BYREF:
        unknown = v.ppunkVal ? *v.ppunkVal : nullptr;
        break;
    default:
        return nullptr;
    }
    if (!unknown)
        return nullptr;
    IDispatch* disp = nullptr;
    HRESULT hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "GetDispatchFromVariant"));
        return nullptr;
    }
    return disp;
}

int MakeObjectValue(BDS* ctx, CDispBuilder& builder, ValueHead* target)
{
    auto* object = new (std::nothrow) CComObjectAg();
    if (!object) {
        SetError(ctx, 1491);
        return 0;
    }
    HRESULT hr = builder.GetDispatch(&object->holder);
    if (SUCCEEDED(hr) && object->Dispatch()) {
        HRESULT typeHr = BuildTypeInfo(object->holder, &object->typeInfo);
        if (FAILED(typeHr) && typeHr != E_NOTIMPL)
            hr = typeHr;
    }
    if (FAILED(hr)) {
        delete object;
        SetError(ctx, HresultToErrorNumber(ctx, hr, "CComObjectAg::MakeObject"));
        return 0;
    }
    VariantInit(&target->var);
    target->var.vt = VT_OBJECT_VALUE;
    target->var.byref = object;
    target->i32 = static_cast<int32_t>(reinterpret_cast<uintptr_t>(object->Dispatch()));
    target->flags = OBJECT_VALUE_FLAGS;
    return 1;
}

int WrapDispatchAsObject(BDS* ctx, IDispatch* disp, bool cacheOn, ValueHead* target)
{
    CDispBuilder builder(disp, cacheOn);
    return MakeObjectValue(ctx, builder, target);
}

// ---------------------------------------------------------------- by-reference cells

namespace {

// Bytes of the datum that a by-reference cell of this base type holds.
size_t CellBytes(VARTYPE base)
{
    if (base & VT_ARRAY)
        return sizeof(SAFEARRAY*);
    switch (base) {
    case VT_I2: case VT_BOOL: case VT_UI2: return 2;
    case VT_I4: case VT_R4: case VT_ERROR: case VT_UI4: case VT_INT: case VT_UINT: return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
    case VT_I8: case VT_UI8: return 8;
    case VT_I1: case VT_UI1: return 1;
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
    }
}

// Moves the datum of `v` into a new cell and points `v` at it with type t (whose base is
// the current type or VT_VARIANT). False when the type does not fit or memory runs out
// (*noMemory tells which).
bool WrapInCell(VARIANT* v, VARTYPE t, bool* noMemory)
{
    *noMemory = false;
    VARTYPE base = t & ~VT_BYREF;
    if (base != v->vt && base != VT_VARIANT)
        return false;
    size_t bytes = base == VT_VARIANT ? sizeof(VARIANT) : CellBytes(base);
    if (bytes == 0)
        return false;
    void* cell = CoTaskMemAlloc(sizeof(VARIANT));
    if (!cell) {
        *noMemory = true;
        return false;
    }
    std::memset(cell, 0, sizeof(VARIANT));
    if (base == VT_VARIANT)
        std::memcpy(cell, v, sizeof(VARIANT));
    else if (base == VT_DECIMAL)
        std::memcpy(cell, &v->decVal, sizeof(DECIMAL));
    else
        std::memcpy(cell, &v->lVal, bytes);
    VariantInit(v);
    v->vt = t;
    v->byref = cell;
    return true;
}

// Dissolves one of the engine's by-reference cells back into the VARIANT.
void DissolveCell(VARIANT* v)
{
    if (!(v->vt & VT_BYREF) || v->vt == VT_OBJECT_VALUE || !v->byref)
        return;
    VARTYPE base = v->vt & ~VT_BYREF;
    void* cell = v->byref;
    if (base == VT_VARIANT) {
        VARIANT inner;
        std::memcpy(&inner, cell, sizeof(VARIANT));
        CoTaskMemFree(cell);
        *v = inner;
        DissolveCell(v);
        return;
    }
    size_t bytes = CellBytes(base);
    VariantInit(v);
    if (base == VT_DECIMAL)
        std::memcpy(&v->decVal, cell, sizeof(DECIMAL));
    else if (bytes)
        std::memcpy(&v->lVal, cell, bytes);
    v->vt = base;
    CoTaskMemFree(cell);
}

HRESULT ChangeType(VARIANT* out, VARIANT* in, VARTYPE type)
{
    VariantInit(out);
    return VariantChangeTypeEx(out, in, COM_LOCALE, 0, type);
}

// The double of a VT_R4 cut down to 6 decimals.
double FloorSixDecimals(float value)
{
    return std::floor(static_cast<double>(value) * 1e6) * 1e-6;
}

bool HasForm(const ValueHead* v, uint32_t wanted)
{
    switch (wanted) {
    case VF_STRING: return (v->flags & VF_STRING) && v->str != 0;
    case VF_UNICODE: return (v->flags & VF_UNICODE) && v->wstr != 0;
    default: return (v->flags & wanted) != 0;
    }
}

void FreeHeadTexts(BDS* ctx, ValueHead* v)
{
    if ((v->flags & VF_STRING) && !(v->flags & VF_ARRAY) && v->str)
        VFree(ctx, v->str);
    if ((v->flags & VF_UNICODE) && v->wstr)
        VFree(ctx, v->wstr);
    if (!(v->flags & VF_ARRAY))
        v->str = 0;
    v->wstr = 0;
    v->flags &= ~(VF_STRING | VF_UNICODE);
}

// The datum of a VARIANT through one level of reference.
const VARIANT* Deref(const VARIANT& v, VARIANT* scratch)
{
    if (!(v.vt & VT_BYREF) || v.vt == VT_OBJECT_VALUE)
        return &v;
    VariantInit(scratch);
    if (!v.byref)
        return nullptr;
    VARTYPE base = v.vt & ~VT_BYREF;
    if (base == VT_VARIANT)
        return v.pvarVal;
    size_t bytes = CellBytes(base);
    if (base == VT_DECIMAL)
        std::memcpy(&scratch->decVal, v.byref, sizeof(DECIMAL));
    else if (bytes)
        std::memcpy(&scratch->lVal, v.byref, bytes);
    scratch->vt = base;
    return scratch;
}

int VariantToIntegerForm(BDS* ctx, ValueHead* v, bool wide)
{
    if (CComObjectAg* object = ObjectOf(v)) {
        if (object->HasConstants()) {
            auto address = reinterpret_cast<uintptr_t>(object->constants);
            v->i32 = static_cast<int32_t>(address);
        } else {
            auto address = reinterpret_cast<uintptr_t>(object->Dispatch());
            v->i32 = static_cast<int32_t>(address);
            if (wide)
                v->i64 = static_cast<int64_t>(address);
        }
        if (wide) {
            if (object->HasConstants())
                v->i64 = v->i32;
            v->flags |= VF_INT64;
            v->flags &= ~VF_FLOAT;
        }
        return 1;
    }
    VARIANT scratch;
    const VARIANT* d = Deref(v->var, &scratch);
    int64_t number = 0;
    if (!d) {
        number = 0;
    } else if (d->vt == VT_R4 || d->vt == VT_R8) {
        ValueHead f{};
        f.dbl = d->vt == VT_R4 ? d->fltVal : d->dblVal;
        f.flags = VF_FLOAT;
        if (wide ? !ValueToInt64(ctx, &f, &number, true) : !ValueToInteger(ctx, &f, true, false)) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1257);
            return 0;
        }
        if (!wide)
            number = f.i32;
    } else if (d->vt == VT_DISPATCH || d->vt == VT_UNKNOWN) {
        number = static_cast<int64_t>(reinterpret_cast<uintptr_t>(d->punkVal));
        if (!wide)
            number = static_cast<int32_t>(number);
    } else {
        VARIANT out;
        if (FAILED(ChangeType(&out, const_cast<VARIANT*>(d), wide ? VT_I8 : VT_I4))) {
            SetError(ctx, 1257);
            return 0;
        }
        number = wide ? out.llVal : out.lVal;
    }
    FreeHeadTexts(ctx, v);
    if (wide) {
        v->i64 = number;
        v->flags = VF_INT64 | VF_VARIANT;
    } else {
        v->i32 = static_cast<int32_t>(number);
        v->flags = VF_INT | VF_VARIANT;
    }
    return 1;
}

// Stores a text as the value's narrow (mode VF_STRING) or wide form.
int StoreTextForm(BDS* ctx, ValueHead* v, uint32_t wanted, const wchar_t* wide, size_t wideLength,
                  const char* narrow)
{
    uint64_t offset;
    if (wanted == VF_STRING) {
        offset = narrow ? HeapCopyText(ctx, narrow, std::strlen(narrow))
                        : HeapCopyWideAsNarrow(ctx, wide ? wide : L"", wide ? wideLength : 0);
        if (!offset) {
            SetError(ctx, 3096);
            return 0;
        }
        if ((v->flags & VF_STRING) && v->str)
            VFree(ctx, v->str);
        v->str = offset;
        v->flags |= VF_STRING;
    } else {
        offset = narrow ? HeapCopyNarrowAsWide(ctx, narrow, std::strlen(narrow))
                        : HeapCopyWText(ctx, wide ? wide : L"", wide ? wideLength : 0);
        if (!offset) {
            SetError(ctx, 3096);
            return 0;
        }
        if ((v->flags & VF_UNICODE) && v->wstr)
            VFree(ctx, v->wstr);
        v->wstr = offset;
        v->flags |= VF_UNICODE;
    }
    return 1;
}

int VariantToStringForm(BDS* ctx, ValueHead* v, uint32_t wanted)
{
    if (IsObjectValue(v) || (v->var.vt & ~VT_BYREF) == VT_DISPATCH || (v->var.vt & ~VT_BYREF) == VT_UNKNOWN) {
        ValueHead copy = *v;
        copy.flags &= ~VF_INT;
        copy.str = copy.wstr = 0;
        uint32_t flags = copy.flags;
        if (IsObjectValue(v))
            copy.flags = flags;   // keeps the object value's marks for the lookup
        if (!VariantToIntegerForm(ctx, &copy, false))
            return 0;
        char text[16];
        LongToTextA(copy.i32, text, 10);
        return StoreTextForm(ctx, v, wanted, nullptr, 0, text);
    }
    VARIANT scratch;
    const VARIANT* d = Deref(v->var, &scratch);
    if (!d)
        return StoreTextForm(ctx, v, wanted, nullptr, 0, "");
    char text[FLOAT_TEXT_SIZE];
    switch (d->vt) {
    case VT_NULL:
    case VT_EMPTY:
        if (d->vt == VT_NULL)
            return StoreTextForm(ctx, v, wanted, nullptr, 0, "");
        break;
    case VT_R4:
    case VT_R8: {
        double value = d->vt == VT_R4 ? FloorSixDecimals(d->fltVal) : d->dblVal;
        if (!FloatToText(ctx, value, text, sizeof text)) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1599);
            return 0;
        }
        return StoreTextForm(ctx, v, wanted, nullptr, 0, text);
    }
    case VT_CY: {
        BSTR out = nullptr;
        HRESULT hr = VarBstrFromCy(d->cyVal, COM_LOCALE, 0, &out);
        if (FAILED(hr)) {
            SetError(ctx, HresultToErrorNumber(ctx, hr, "CResultVar::VariantToString"));
            return 0;
        }
        int ok = StoreTextForm(ctx, v, wanted, out, SysStringLen(out), nullptr);
        SysFreeString(out);
        return ok;
    }
    case VT_DATE:
        VariantTimeToYmdHms(d->date, text, sizeof text);
        return StoreTextForm(ctx, v, wanted, nullptr, 0, text);
    case VT_BSTR:
        return StoreTextForm(ctx, v, wanted, d->bstrVal ? d->bstrVal : L"", SysStringLen(d->bstrVal), nullptr);
    default:
        break;
    }
    VARIANT out;
    if (FAILED(ChangeType(&out, const_cast<VARIANT*>(d), VT_BSTR))) {
        SetError(ctx, 1257);
        return 0;
    }
    int ok = StoreTextForm(ctx, v, wanted, out.bstrVal, SysStringLen(out.bstrVal), nullptr);
    VariantClear(&out);
    return ok;
}

int VariantToFloatForm(BDS* ctx, ValueHead* v)
{
    double value;
    VARIANT scratch;
    const VARIANT* d = IsObjectValue(v) ? nullptr : Deref(v->var, &scratch);
    // The VARIANT stays the master copy: a rounded integer form made before is not used.
    if (IsObjectValue(v)) {
        if (!VariantToIntegerForm(ctx, v, false))
            return 0;
        value = v->i32;
    } else if (!d) {
        value = 0;
    } else if (d->vt == VT_R4) {
        value = FloorSixDecimals(d->fltVal);
    } else if (d->vt == VT_R8) {
        value = d->dblVal;
    } else {
        VARIANT out;
        if (FAILED(ChangeType(&out, const_cast<VARIANT*>(d), VT_R8))) {
            SetError(ctx, 1257);
            return 0;
        }
        value = out.dblVal;
    }
    FreeHeadTexts(ctx, v);
    v->dbl = value;
    v->flags = VF_FLOAT | VF_VARIANT | (IsObjectValue(v) ? VF_COMOBJ : 0);
    return 1;
}

}  // namespace

uint32_t VariantNaturalForm(const ValueHead* v)
{
    if (IsObjectValue(v))
        return VF_INT;
    switch (v->var.vt & ~VT_BYREF) {
    case VT_EMPTY: case VT_I2: case VT_I4: case VT_DISPATCH: case VT_ERROR: case VT_BOOL:
    case VT_UNKNOWN: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT:
        return VF_INT;
    case VT_NULL: case VT_CY: case VT_DATE: case VT_DECIMAL:
        return VF_STRING;
    case VT_R4: case VT_R8:
        return VF_FLOAT;
    case VT_BSTR:
        return VF_UNICODE;
    case VT_I8: case VT_UI8:
        return VF_INT64;
    default:
        return 0;
    }
}

int ConvertVariantForm(BDS* ctx, ValueHead* v, uint32_t wanted)
{
    if (HasForm(v, wanted) && wanted != VF_ARRAY)
        return 1;
    if (!(v->flags & VF_VARIANT))
        return 0;
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    int ok;
    switch (wanted) {
    case VF_INT: ok = VariantToIntegerForm(ctx, v, false); break;
    case VF_INT64: ok = VariantToIntegerForm(ctx, v, true); break;
    case VF_STRING:
    case VF_UNICODE: ok = VariantToStringForm(ctx, v, wanted); break;
    case VF_FLOAT: ok = VariantToFloatForm(ctx, v); break;
    case VF_ARRAY: ok = SafeArrayValueToArray(ctx, v); break;
    case VF_INT | VF_BINBUF: ctx->nErrorCode = saved; return 0;
    default: ok = 1; break;
    }
    if (ok)
        ctx->nErrorCode = saved;
    return ok;
}

// ---------------------------------------------------------------- the core's entries

int ValueConvertInPlace(BDS* ctx, uint32_t kind, ValueHead* value)
{
    return ConvertVariantForm(ctx, value, kind);
}

int VariantToValueCopy(BDS* ctx, uint32_t flags, const ValueHead* source, ValueHead* target)
{
    if (!(flags & VF_VARIANT))
        return 1;
    if ((flags & 0x600) == 0x600 && source->var.vt == VT_OBJECT_VALUE) {
        auto* object = static_cast<CComObjectAg*>(source->var.byref);
        CComObjectAg* copy = object ? new (std::nothrow) CComObjectAg(*object) : nullptr;
        if (object && (!copy || (object->holder && !copy->holder))) {
            delete copy;
            SetError(ctx, 1491);
            return 0;
        }
        VariantInit(&target->var);
        target->var.vt = VT_OBJECT_VALUE;
        target->var.byref = copy;
        return 1;
    }
    VARIANT fresh;
    VariantInit(&fresh);
    if ((source->var.vt & VT_BYREF) && source->var.byref) {
        HRESULT hr = VariantCopyInd(&fresh, const_cast<VARIANT*>(&source->var));
        if (FAILED(hr)) {
            SetError(ctx, HresultToErrorNumber(ctx, hr, "VariantCopyInd"));
            return 0;
        }
        bool noMemory = false;
        if (!WrapInCell(&fresh, source->var.vt, &noMemory)) {
            VariantClear(&fresh);
            SetError(ctx, 1491);
            return 0;
        }
    } else {
        HRESULT hr = VariantCopy(&fresh, const_cast<VARIANT*>(&source->var));
        if (FAILED(hr)) {
            SetError(ctx, HresultToErrorNumber(ctx, hr, "VariantCopy"));
            return 0;
        }
    }
    target->var = fresh;
    return 1;
}

void ValueReleaseComPayload(uint32_t flags, ValueHead* value)
{
    if ((flags & 0x600) == 0x600 && value->var.vt == VT_OBJECT_VALUE) {
        auto* object = static_cast<CComObjectAg*>(value->var.byref);
        VariantInit(&value->var);
        delete object;
        return;
    }
    DissolveCell(&value->var);
    VariantClear(&value->var);
    VariantInit(&value->var);
}

bool ValueIsBstr(const ValueHead* value)
{
    return (value->flags & VF_VARIANT) &&
           (value->var.vt == VT_BSTR || value->var.vt == (VT_BSTR | VT_BYREF));
}

namespace {

// The COM identity of a value's interface (counted), or null.
IUnknown* IdentityOf(const ValueHead* v)
{
    IUnknown* unknown = nullptr;
    if (CComObjectAg* object = ObjectOf(v))
        unknown = object->Dispatch();
    else if ((v->var.vt & ~VT_BYREF) == VT_DISPATCH || (v->var.vt & ~VT_BYREF) == VT_UNKNOWN)
        unknown = (v->var.vt & VT_BYREF) ? (v->var.ppunkVal ? *v->var.ppunkVal : nullptr) : v->var.punkVal;
    if (!unknown)
        return nullptr;
    IUnknown* identity = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))))
        return nullptr;
    return identity;
}

}  // namespace

bool ValueSameObject(const ValueHead* a, const ValueHead* b)
{
    IUnknown* ia = IdentityOf(a);
    IUnknown* ib = IdentityOf(b);
    bool same;
    if (ia || ib)
        same = ia == ib;
    else
        same = a->var.vt == b->var.vt && std::memcmp(&a->var, &b->var, sizeof(VARIANT)) == 0;
    if (ia)
        ia->Release();
    if (ib)
        ib->Release();
    return same;
}

bool VariantNeedsFloat(const ValueHead* value)
{
    if (!(value->flags & VF_VARIANT) || IsObjectValue(value))
        return false;
    const VARIANT& v = value->var;
    switch (v.vt) {
    case VT_R4: case VT_R8: case VT_R4 | VT_BYREF: case VT_R8 | VT_BYREF:
        return true;
    case VT_CY: case VT_CY | VT_BYREF: {
        if ((v.vt & VT_BYREF) && !v.pcyVal)
            return false;
        int64_t amount = (v.vt & VT_BYREF) ? v.pcyVal->int64 : v.cyVal.int64;
        int64_t whole = amount / 10000;
        return amount % 10000 != 0 || whole < INT32_MIN || whole > INT32_MAX;
    }
    case VT_DECIMAL: case VT_DECIMAL | VT_BYREF: {
        if ((v.vt & VT_BYREF) && !v.pdecVal)
            return false;
        const DECIMAL& d = (v.vt & VT_BYREF) ? *v.pdecVal : v.decVal;
        return d.scale != 0 || d.Hi32 != 0 || d.Lo64 > 2147483647ull;
    }
    default:
        return false;
    }
}

void VtTypeName(BDS*, VARTYPE type, char* out, int size)
{
    if (size > 0)
        VtTypeNameCompose(type, out, static_cast<size_t>(size), false);
}

int ValueToNativeKind(BDS* ctx, ValueHead* value)
{
    if (!(value->flags & VF_VARIANT))
        return 1;
    uint32_t form = VariantNaturalForm(value);
    if (form == 0)
        return 1;
    if (!ConvertVariantForm(ctx, value, form))
        return 0;
    ValueReleaseComPayload(value->flags, value);
    value->flags &= ~(VF_VARIANT | VF_COMOBJ | VF_COMTEMP);
    value->flags &= form | VF_STRING | VF_UNICODE;
    return 1;
}

// ---------------------------------------------------------------- CResultVar

CResultVar::CResultVar(BDS* context) : ctx(context)
{
    std::memset(static_cast<void*>(&v), 0, sizeof v);
    v.originVar = ORIGIN_NONE;
    v.originScope = 0xFFFF;
}

CResultVar::~CResultVar() { Release(); }

void CResultVar::ReleaseCom()
{
    if (v.flags & VF_VARIANT) {
        if (ownsCom_)
            ValueReleaseComPayload(v.flags, &v);
        else
            VariantInit(&v.var);
    } else if (v.var.vt == VT_ERROR) {
        VariantInit(&v.var);
    }
    v.flags &= ~(VF_VARIANT | VF_COMOBJ | VF_COMTEMP);
    ownsCom_ = true;
}

void CResultVar::FreeTexts() { FreeHeadTexts(ctx, &v); }

void CResultVar::ReleaseKeepBinding()
{
    if (borrowed_) {
        borrowed_ = false;
    } else {
        if (v.flags & VF_ARRAY)
            ReleaseArray(ctx, &v.str, 0);
        v.flags &= ~VF_ARRAY;
        FreeTexts();
        ReleaseCom();
    }
    VariantInit(&v.var);
    v.str = v.wstr = 0;
    v.i64 = 0;
    v.i32 = 0;
    v.flags = 0;
    ownsCom_ = true;
}

void CResultVar::Release()
{
    ReleaseKeepBinding();
    v.originAddr = 0;
    v.originVar = ORIGIN_NONE;
    v.originScope = 0xFFFF;
}

void CResultVar::Borrow(const resultants& source)
{
    Release();
    v = source;
    borrowed_ = true;
}

void CResultVar::BindBorrowedCom(const ValueHead& head, uint16_t var, uint16_t scope)
{
    Release();
    v.var = head.var;
    v.flags = VF_VARIANT;
    v.originVar = var;
    v.originScope = scope;
    ownsCom_ = false;
}

int CResultVar::CopyFrom(const resultants& source)
{
    ReleaseKeepBinding();
    resultants copy{};
    if (!CopyValue(ctx, &source, &copy, 0,
                   VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF))
        return 0;
    v = copy;
    ownsCom_ = true;
    return 1;
}

int CResultVar::Adopt(resultants& source)
{
    Release();
    v = source;
    ownsCom_ = true;
    source.flags = 0;
    VariantInit(&source.var);
    if (v.originVar == ORIGIN_NONE)
        return 1;
    // The evaluator's record borrows the variable's array and COM data: take our own.
    if (v.flags & VF_ARRAY)
        AddArrayRef(ValueArray(&v));
    if (v.flags & VF_VARIANT) {
        ValueHead own{};
        if (!VariantToValueCopy(ctx, v.flags, &v, &own)) {
            VariantInit(&v.var);
            v.flags &= ~(VF_VARIANT | VF_COMOBJ);
            return 0;
        }
        v.var = own.var;
    }
    return 1;
}

void CResultVar::HandBack(resultants* result)
{
    v.originVar = ORIGIN_NONE;
    v.originScope = 0xFFFF;
    CopyOut(result, true);
}

void CResultVar::CopyOut(resultants* target, bool freeFirst)
{
    if (freeFirst)
        FreeValue(ctx, target, 0, VK_RECORD);
    if (Empty() && !(v.flags & VF_VARIANT)) {
        InitResultValue(ctx, target, VK_RECORD, 0);
        Release();
        return;
    }
    *target = v;
    if (ownsCom_ && !borrowed_) {
        // The target owns it all now.
    }
    v.flags = 0;
    borrowed_ = false;
    ownsCom_ = true;
    VariantInit(&v.var);
    v.str = v.wstr = 0;
}

void CResultVar::Detach()
{
    v.flags = 0;
    VariantInit(&v.var);
    v.str = v.wstr = 0;
    borrowed_ = false;
    ownsCom_ = true;
}

void CResultVar::SetVariant(const VARIANT& fresh)
{
    ReleaseCom();
    FreeTexts();
    if (v.flags & VF_ARRAY) {
        ReleaseArray(ctx, &v.str, 0);
        v.flags &= ~VF_ARRAY;
    }
    v.var = fresh;
    v.flags = VF_VARIANT;
    ownsCom_ = true;
}

ValueHead* CResultVar::SourceHead(bool* ok)
{
    *ok = true;
    if (v.originVar == ORIGIN_ELEMENT)
        return v.originAddr ? reinterpret_cast<ValueHead*>(v.originAddr) : nullptr;
    if (v.originVar == ORIGIN_NONE || v.originVar >= ctx->nVarUsed)
        return nullptr;
    return &ctx->pVars[v.originVar];
}

bool CResultVar::DiffersFromSource()
{
    if (v.originVar == ORIGIN_NONE)
        return true;
    ScopeVisit visit;
    if (v.originVar != ORIGIN_ELEMENT && v.originScope != ctx->nScopeCurrent &&
        !EnterScope(ctx, &visit, v.originScope)) {
        SetError(ctx, 3816);
        return true;
    }
    bool ok;
    ValueHead* source = SourceHead(&ok);
    bool differs = !source || std::memcmp(&source->var, &v.var, sizeof(VARIANT)) != 0;
    LeaveScope(&visit);
    return differs;
}

int CResultVar::ObjectToDispatchInPlace()
{
    CComObjectAg* object = ObjectOf(&v);
    if (!object) {
        SetError(ctx, 1540);
        return 0;
    }
    IDispatch* disp = object->Dispatch();
    if (!disp)
        return 0;
    disp->AddRef();
    if (ownsCom_)
        delete object;
    VariantInit(&v.var);
    v.var.vt = VT_DISPATCH;
    v.var.pdispVal = disp;
    v.flags = (v.flags & ~(VF_COMOBJ | VF_INT)) | VF_VARIANT;
    ownsCom_ = true;
    return 1;
}

int CResultVar::MakeByRef(VARTYPE t)
{
    bool noMemory = false;
    if (!WrapInCell(&v.var, t, &noMemory)) {
        if (noMemory)
            SetError(ctx, 1491);
        return 0;
    }
    FreeTexts();
    v.flags = VF_VARIANT;
    return 1;
}

int CResultVar::ChangeVariantType(VARTYPE t)
{
    if (v.var.vt == VT_ERROR && v.var.scode == MISSING_ARGUMENT)
        return 1;
    if (IsObjectValue(&v) && !ObjectToDispatchInPlace()) {
        if (!ctx->nErrorCode)
            SetError(ctx, 1257);
        return 0;
    }
    VARTYPE current = v.var.vt;
    if (t != 0 && t != current && t != VT_VARIANT) {
        VARTYPE base = t & ~VT_BYREF;
        if (t == (current | VT_BYREF) || t == (VT_BYREF | VT_VARIANT)) {
            if (!MakeByRef(t))
                return 0;
        } else {
            DissolveCell(&v.var);
            VARIANT out;
            VariantInit(&out);
            if (v.var.vt == VT_NULL && base == VT_BSTR) {
                out.vt = VT_BSTR;
                out.bstrVal = nullptr;
            } else if (FAILED(ChangeType(&out, &v.var, base))) {
                SetError(ctx, 1257);
                return 0;
            }
            VariantClear(&v.var);
            v.var = out;
            if ((t & VT_BYREF) && !MakeByRef(t))
                return 0;
        }
    }
    if (v.flags & VF_ARRAY)
        ReleaseArray(ctx, &v.str, 0);
    FreeTexts();
    v.flags = VF_VARIANT;
    return 1;
}

int CResultVar::IntegerToVariant(VARTYPE t)
{
    VARTYPE base = t & ~VT_BYREF;
    int32_t n = v.i32;
    VARIANT out;
    VariantInit(&out);
    bool thenChange = false;
    switch (base) {
    case 0: case VT_I4: out.vt = VT_I4; out.lVal = n; break;
    case VT_I2: case VT_UI2: out.vt = base; out.uiVal = static_cast<USHORT>(n); break;
    case VT_BOOL: out.vt = VT_BOOL; out.boolVal = n ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_I1: case VT_UI1: out.vt = base; out.bVal = static_cast<BYTE>(n); break;
    case VT_UI4: out.vt = VT_UI4; out.ulVal = static_cast<ULONG>(n); break;
    case VT_I8: case VT_UI8: out.vt = base; out.llVal = n; break;
    default: out.vt = VT_I4; out.lVal = n; thenChange = true; break;
    }
    SetVariant(out);
    if (thenChange)
        return ChangeVariantType(t);
    return (t & VT_BYREF) ? MakeByRef(t) : 1;
}

int CResultVar::Int64ToVariant(VARTYPE t)
{
    VARTYPE base = t & ~VT_BYREF;
    int64_t n = v.i64;
    VARIANT out;
    VariantInit(&out);
    bool thenChange = false;
    switch (base) {
    case 0: case VT_I8: out.vt = VT_I8; out.llVal = n; break;
    case VT_UI8: out.vt = VT_UI8; out.llVal = n; break;
    case VT_I2: case VT_UI2: out.vt = base; out.uiVal = static_cast<USHORT>(n); break;
    case VT_I4: case VT_UI4: out.vt = base; out.ulVal = static_cast<ULONG>(n); break;
    case VT_I1: case VT_UI1: out.vt = base; out.bVal = static_cast<BYTE>(n); break;
    case VT_BOOL: out.vt = VT_BOOL; out.boolVal = n ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: out.vt = VT_I8; out.llVal = n; thenChange = true; break;
    }
    SetVariant(out);
    if (thenChange)
        return ChangeVariantType(t);
    return (t & VT_BYREF) ? MakeByRef(t) : 1;
}

int CResultVar::TextToVariant(VARTYPE t, bool wideSource)
{
    VARTYPE base = t & ~VT_BYREF;
    std::wstring wide;
    std::string narrow;
    if (wideSource) {
        if (!v.wstr) {
            SetError(ctx, 1491);
            return 0;
        }
        wide = reinterpret_cast<const wchar_t*>(HeapPtr(ctx, v.wstr));
    } else {
        if (!v.str) {
            SetError(ctx, 1491);
            return 0;
        }
        narrow = HeapPtr(ctx, v.str);
        int units = narrow.empty() ? 0
                                   : MultiByteToWideChar(ComCodePage(ctx), 0, narrow.data(),
                                                         static_cast<int>(narrow.size()), nullptr, 0);
        wide.assign(static_cast<size_t>(units > 0 ? units : 0), L'\0');
        if (units > 0)
            MultiByteToWideChar(ComCodePage(ctx), 0, narrow.data(), static_cast<int>(narrow.size()),
                                wide.data(), units);
    }
    auto narrowText = [&]() -> std::string {
        if (!wideSource)
            return narrow;
        int bytes = wide.empty() ? 0
                                 : WideCharToMultiByte(ComCodePage(ctx), 0, wide.data(), static_cast<int>(wide.size()),
                                                       nullptr, 0, nullptr, nullptr);
        std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0)
            WideCharToMultiByte(ComCodePage(ctx), 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                bytes, nullptr, nullptr);
        return out;
    };
    auto asBstr = [&](VARIANT* out) -> bool {
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (!out->bstrVal) {
            SetError(ctx, 1491);
            return false;
        }
        return true;
    };

    VARIANT out;
    VariantInit(&out);
    bool changeAfter = false;
    if (base == VT_CY || base == VT_DECIMAL) {
        const wchar_t* prefix = base == VT_CY ? L"#CURRENCY:" : L"#DECIMAL:";
        const wchar_t* rest = wide.c_str();
        bool prefixed = MatchPrefixW(wide.c_str(), prefix, &rest);
        HRESULT hr;
        if (base == VT_CY) {
            hr = VarCyFromStr(const_cast<wchar_t*>(rest), COM_LOCALE, 0, &out.cyVal);
        } else {
            hr = VarDecFromStr(const_cast<wchar_t*>(rest), COM_LOCALE, 0, &out.decVal);
        }
        if (SUCCEEDED(hr)) {
            out.vt = base;
        } else if (prefixed) {
            SetError(ctx, base == VT_CY ? 1648 : 1649);
            return 0;
        } else {
            VariantInit(&out);
            if (!asBstr(&out))
                return 0;
        }
    } else if (base == VT_DATE) {
        double date;
        if (YmdHmsToVariantTime(narrowText().c_str(), &date)) {
            out.vt = VT_DATE;
            out.date = date;
        } else if (SUCCEEDED(VarDateFromStr(const_cast<wchar_t*>(wide.c_str()), COM_LOCALE, 0, &out.date))) {
            out.vt = VT_DATE;
        } else if (!asBstr(&out)) {
            return 0;
        }
    } else if (t == (VT_ARRAY | VT_UI1) || t == (VT_ARRAY | VT_VARIANT)) {
        size_t bytes = wide.empty() ? 1 : wide.size() * sizeof(wchar_t);
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes));
        if (!array) {
            SetError(ctx, 1677);
            return 0;
        }
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            SafeArrayDestroy(array);
            SetError(ctx, 1676);
            return 0;
        }
        std::memset(data, 0, bytes);
        if (!wide.empty())
            std::memcpy(data, wide.data(), bytes);
        SafeArrayUnaccessData(array);
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = array;
        t = 0;   // the array type is final
    } else {
        if (!asBstr(&out))
            return 0;
        changeAfter = base != 0 && base != VT_BSTR;
    }
    SetVariant(out);
    if (changeAfter)
        return ChangeVariantType(t);
    return (t & VT_BYREF) ? MakeByRef(t) : 1;
}

int CResultVar::ValueToVariantType(VARTYPE t)
{
    uint32_t flags = v.flags;
    if (t == VT_NULL) {
        ReleaseKeepBinding();
        v.var.vt = VT_NULL;
        v.flags = VF_VARIANT;
        return 1;
    }
    if (flags & VF_ARRAY)
        return ArrayToSafeArray(t);
    if (flags & VF_VARIANT) {
        if (v.var.vt != t && !((v.var.vt | t) & VT_ARRAY))
            return ChangeVariantType(t);
        if (IsObjectValue(&v) && !ObjectToDispatchInPlace())
            return 0;
        return 1;
    }
    if (flags == 0x20 || flags == 0x21 || flags == 0x22 || flags == 0x23 || flags == 0xA0 || flags == 0xA3) {
        VARIANT out;
        VariantInit(&out);
        out.vt = VT_R8;
        out.dblVal = v.dbl;
        SetVariant(out);
        return ChangeVariantType(t);
    }
    if ((flags & VF_INT) && !(flags & ~(VF_INT | VF_STRING | VF_UNICODE)))
        return IntegerToVariant(t);
    if ((flags & VF_INT64) && !(flags & ~(VF_INT64 | VF_STRING | VF_UNICODE)))
        return Int64ToVariant(t);
    if (flags & VF_UNICODE)
        return TextToVariant(t, true);
    if (flags == VF_STRING)
        return TextToVariant(t, false);
    if (flags == (VF_INT | VF_BINBUF))
        return BinaryBufferToVariant(t);
    VariantInit(&v.var);
    v.var.vt = VT_ERROR;
    v.var.scode = MISSING_ARGUMENT;
    return 1;
}

int CResultVar::SetZeroOfType(VARTYPE t)
{
    ReleaseKeepBinding();
    v.var.vt = t & ~VT_BYREF;
    v.flags = VF_VARIANT;
    return (t & VT_BYREF) ? MakeByRef(t) : 1;
}

int CResultVar::VariantCopyToValue(const VARIANT& source)
{
    ReleaseKeepBinding();
    uint16_t saved = ctx->nErrorCode;
    IDispatch* disp = GetDispatchFromVariant(ctx, source);
    ctx->nErrorCode = saved;
    if (disp) {
        int ok = WrapDispatchAsObject(ctx, disp, true, &v);
        disp->Release();
        return ok;
    }
    HRESULT hr = (source.vt & VT_BYREF) ? VariantCopyInd(&v.var, const_cast<VARIANT*>(&source))
                                        : VariantCopy(&v.var, const_cast<VARIANT*>(&source));
    if (FAILED(hr)) {
        VariantInit(&v.var);
        SetError(ctx, HresultToErrorNumber(ctx, hr, "VariantCopy"));
        return 0;
    }
    v.flags = VF_VARIANT;
    return 1;
}

int CResultVar::ValueToObjectValue()
{
    IDispatch* disp = GetDispatchFromVariant(ctx, v.var);
    if (!disp) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3131);
        return 0;
    }
    ValueHead made{};
    int ok = WrapDispatchAsObject(ctx, disp, true, &made);
    disp->Release();
    if (!ok)
        return 0;
    ReleaseCom();
    FreeTexts();
    v.var = made.var;
    v.i32 = made.i32;
    v.flags = made.flags;
    ownsCom_ = true;
    return 1;
}

int CResultVar::WriteBack()
{
    if (v.originVar == ORIGIN_NONE)
        return 1;
    ScopeVisit visit;
    if (v.originVar != ORIGIN_ELEMENT && v.originScope != ctx->nScopeCurrent &&
        !EnterScope(ctx, &visit, v.originScope)) {
        SetError(ctx, 3815);
        return 0;
    }
    bool ok;
    ValueHead* target = SourceHead(&ok);
    if (target) {
        if ((target->flags & VF_VARIANT) && std::memcmp(&target->var, &v.var, sizeof(VARIANT)) != 0)
            ValueReleaseComPayload(target->flags, target);
        if ((target->flags & VF_STRING) && !(target->flags & VF_ARRAY) && target->str && target->str != v.str)
            VFree(ctx, target->str);
        if ((target->flags & VF_UNICODE) && target->wstr && target->wstr != v.wstr)
            VFree(ctx, target->wstr);
        if ((target->flags & VF_ARRAY) && target->str != v.str)
            ReleaseArray(ctx, &target->str, 0);
        if (Empty() && !(v.flags & VF_VARIANT)) {
            VariantInit(&target->var);
            target->i64 = 0;
            target->i32 = 0;
            target->flags = VF_INT;
            target->str = target->wstr = 0;
        } else {
            std::memcpy(target, static_cast<ValueHead*>(&v), sizeof(ValueHead));
            target->flags &= ~VF_COMTEMP;
        }
        Detach();
    }
    if (!LeaveScope(&visit)) {
        SetError(ctx, 3816);
        return 0;
    }
    return 1;
}
