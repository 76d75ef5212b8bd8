// The small automation objects of COM events: CPrivDisp (an IDispatch over a static member
// table), the event object that a dialog procedure receives for event 14 and its
// parameter objects.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <new>

#include "engine/com/com_events.h"

// ---------------------------------------------------------------- CPrivDisp

CPrivDisp::CPrivDisp(BDS* ctx, const Member* members, int count) : ctx_(ctx), members_(members), count_(count) {}

HRESULT STDMETHODCALLTYPE CPrivDisp::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CPrivDisp::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CPrivDisp::GetTypeInfo(UINT, LCID, ITypeInfo** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CPrivDisp::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (int m = 0; m < count_; ++m) {
        if (names[0] && lstrcmpiW(names[0], members_[m].name) == 0) {
            ids[0] = members_[m].id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CPrivDisp::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                            VARIANT* result, EXCEPINFO*, UINT*)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    bool known = false;
    for (int m = 0; m < count_; ++m)
        known = known || members_[m].id == id;
    if (!known)
        return DISP_E_MEMBERNOTFOUND;
    UINT argc = params ? params->cArgs : 0;
    UINT named = params ? params->cNamedArgs : 0;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (argc < 1)
            return DISP_E_PARAMNOTOPTIONAL;
        if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        HRESULT hr = InvokeMember(id, true, nullptr, &params->rgvarg[0], nullptr);
        return FAILED(hr) ? hr : lastResult;
    }
    if (named)
        return DISP_E_NONAMEDARGS;
    VARIANT scratch;
    VariantInit(&scratch);
    VARIANT* out = result ? result : &scratch;
    VariantInit(out);
    const VARIANT* argument = argc >= 1 ? &params->rgvarg[argc - 1] : nullptr;
    HRESULT hr = InvokeMember(id, false, argument, nullptr, out);
    VariantClear(&scratch);
    return FAILED(hr) ? hr : lastResult;
}

// ---------------------------------------------------------------- CEventParameter

namespace {

const CPrivDisp::Member kParameterMembers[] = {{L"value", 0}};

const CPrivDisp::Member kInfoMembers[] = {
    {L"identifier", 0}, {L"eventname", 1}, {L"count", 2}, {L"parameters", 3}, {L"return", 4},
};

// The innermost VARIANT of a chain of VT_BYREF|VT_VARIANT references.
const VARIANT* Innermost(const VARIANT* v)
{
    for (int depth = 0; depth < 16 && v && v->vt == (VT_BYREF | VT_VARIANT); ++depth)
        v = v->pvarVal;
    return v;
}

}  // namespace

CEventParameter::CEventParameter(BDS* ctx) : CPrivDisp(ctx, kParameterMembers, 1) { VariantInit(&value_); }

CEventParameter::~CEventParameter() { VariantClear(&value_); }

HRESULT CEventParameter::Store(const VARIANT& value)
{
    if (kept_ == 0)
        kept_ = value.vt & ~VT_BYREF;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopyInd(&copy, const_cast<VARIANT*>(&value));
    if (hr == E_INVALIDARG) {
        const VARIANT* inner = Innermost(&value);
        hr = (inner && inner->vt != VT_EMPTY) ? VariantCopyInd(&copy, const_cast<VARIANT*>(inner)) : S_OK;
    }
    if (SUCCEEDED(hr) && kept_ != VT_VARIANT && copy.vt != kept_ && copy.vt != VT_EMPTY)
        hr = VariantChangeType(&copy, &copy, 0, kept_);
    if (SUCCEEDED(hr)) {
        VariantClear(&value_);
        value_ = copy;
    } else {
        VariantClear(&copy);
    }
    lastResult = hr;
    return hr;
}

HRESULT CEventParameter::Read(VARIANT* out) const
{
    VariantInit(out);
    HRESULT hr = VariantCopy(out, const_cast<VARIANT*>(&value_));
    if (FAILED(hr)) {
        out->vt = VT_ERROR;
        out->scode = hr;
    }
    return S_OK;
}

HRESULT CEventParameter::InvokeMember(DISPID, bool put, const VARIANT*, const VARIANT* value, VARIANT* result)
{
    lastResult = S_OK;
    if (put)
        return Store(*value);
    return Read(result);
}

// ---------------------------------------------------------------- CEventInfo

CEventInfo::CEventInfo(BDS* ctx, int32_t identifier, const wchar_t* eventName)
    : CPrivDisp(ctx, kInfoMembers, 5), identifier_(identifier), name_(SysAllocString(eventName ? eventName : L""))
{
    VariantInit(&return_);
}

CEventInfo::~CEventInfo()
{
    SysFreeString(name_);
    VariantClear(&return_);
    while (first_) {
        CEventParameter* next = first_->next;
        first_->Release();
        first_ = next;
    }
}

CEventParameter* CEventInfo::ParameterAt(uint32_t index) const
{
    CEventParameter* p = first_;
    for (uint32_t i = 0; p && i < index; ++i)
        p = p->next;
    return p;
}

HRESULT CEventInfo::StoreParameter(uint32_t index, const VARIANT& value)
{
    if (index > count_)
        return E_INVALIDARG;
    if (index < count_) {
        CEventParameter* p = ParameterAt(index);
        p->lastResult = S_OK;
        return p->Store(value);
    }
    auto* p = new (std::nothrow) CEventParameter(ctx_);
    if (!p)
        return E_OUTOFMEMORY;
    HRESULT hr = p->Store(value);
    if (FAILED(hr)) {
        p->Release();
        return hr;
    }
    CEventParameter** tail = &first_;
    while (*tail)
        tail = &(*tail)->next;
    *tail = p;
    ++count_;
    return S_OK;
}

HRESULT CEventInfo::InvokeMember(DISPID id, bool put, const VARIANT* argument, const VARIANT* value, VARIANT* result)
{
    lastResult = S_OK;
    if (put) {
        if (id != 4)
            return DISP_E_MEMBERNOTFOUND;
        VariantClear(&return_);
        return VariantCopyInd(&return_, const_cast<VARIANT*>(value));
    }
    switch (id) {
    case 0:
        result->vt = VT_I4;
        result->lVal = identifier_;
        return S_OK;
    case 1:
        result->vt = VT_BSTR;
        result->bstrVal = name_ ? SysAllocString(name_) : nullptr;
        return S_OK;
    case 2:
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(count_);
        return S_OK;
    case 3: {
        VARIANT item;
        VariantInit(&item);
        if (!argument || FAILED(VariantChangeType(&item, const_cast<VARIANT*>(argument), 0, VT_I4)) || item.lVal < 1
            || static_cast<uint32_t>(item.lVal) > count_) {
            lastResult = E_INVALIDARG;
            return S_OK;
        }
        CEventParameter* p = ParameterAt(static_cast<uint32_t>(item.lVal - 1));
        p->AddRef();
        result->vt = VT_DISPATCH;
        result->pdispVal = p;
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
