// CDotNetDisp: the IDispatch through which scripts call members of a .NET object (or the
// static members of a type) by reflection. Members get DISPIDs 0, 1, 2 ... in the order
// in which their names are first asked for.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <new>

#include "engine/com/dotnet/dotnet.h"

// A private identifier that only the engine's .NET wrappers answer.
const IID IID_KvDotNetObject = {0x3C8E51A2, 0x6B0D, 0x4F7E, {0x9B, 0x21, 0x5E, 0x0A, 0x7C, 0x44, 0x12, 0xD2}};
// The runtime's _Type interface.
const IID IID_ClrType = {0xBCA8B44D, 0xAAD6, 0x3A86, {0x8A, 0xB7, 0x03, 0x34, 0x9F, 0x4F, 0x2D, 0xA2}};

CDotNetDisp::CDotNetDisp(ClrReflection* reflection, const VARIANT& instance, IUnknown* type)
    : ComCounted(0), reflection_(reflection), type_(type), thread_(GetCurrentThreadId())
{
    VariantInit(&instance_);
    VariantCopy(&instance_, const_cast<VARIANT*>(&instance));
    if (type_)
        type_->AddRef();
}

CDotNetDisp::~CDotNetDisp()
{
    VariantClear(&instance_);
    if (type_)
        type_->Release();
}

HRESULT STDMETHODCALLTYPE CDotNetDisp::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    if (iid == IID_ClrType) {
        if (!type_)
            return E_NOINTERFACE;
        *out = type_;
        type_->AddRef();
        return S_OK;
    }
    // Only tells that this is a wrapper whose instance the caller may read.
    if (iid == IID_KvDotNetObject)
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CDotNetDisp::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDotNetDisp::GetTypeInfo(UINT index, LCID, ITypeInfo** out)
{
    if (GetCurrentThreadId() != thread_)
        return E_UNEXPECTED;
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return index != 0 ? DISP_E_BADINDEX : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CDotNetDisp::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (GetCurrentThreadId() != thread_)
        return E_UNEXPECTED;
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!ids)
        return E_POINTER;
    if (!names || count == 0)
        return DISP_E_UNKNOWNNAME;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    DISPID found = DISPID_UNKNOWN;
    for (size_t m = 0; m < members_.size() && found == DISPID_UNKNOWN; ++m)
        if (members_[m].name == names[0])
            found = static_cast<DISPID>(m);
    if (found == DISPID_UNKNOWN) {
        if (!type_ || !reflection_)
            return DISP_E_UNKNOWNNAME;
        BSTR name = SysAllocString(names[0]);
        if (!name)
            return E_OUTOFMEMORY;
        int32_t kind = 0;
        HRESULT hr = reflection_->MemberKind(type_, name, &kind);
        SysFreeString(name);
        if (hr != S_OK)
            return DISP_E_UNKNOWNNAME;
        members_.push_back({names[0], kind});
        found = static_cast<DISPID>(members_.size() - 1);
    }
    ids[0] = found;
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE CDotNetDisp::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                              VARIANT* result, EXCEPINFO* excep, UINT*)
{
    if (GetCurrentThreadId() != thread_)
        return E_UNEXPECTED;
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_POINTER;
    const WORD known = DISPATCH_METHOD | DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
    if (params->cNamedArgs > params->cArgs || (flags & ~known))
        return E_INVALIDARG;
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        if (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))
            return E_INVALIDARG;
        if (params->cNamedArgs == 0 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        if (params->cNamedArgs > 1)
            return E_INVALIDARG;
    } else if (params->cNamedArgs) {
        return E_INVALIDARG;
    }
    if (id < 0 || static_cast<size_t>(id) >= members_.size())
        return DISP_E_MEMBERNOTFOUND;
    const Member& member = members_[static_cast<size_t>(id)];
    int32_t binding = 0;
    if (put) {
        if (params->cArgs != 1)
            return DISP_E_TYPEMISMATCH;
        binding = member.kind == MEMBER_PROPERTY ? BIND_SET_PROPERTY
                  : member.kind == MEMBER_FIELD  ? BIND_SET_FIELD
                                                 : 0;
    } else if ((flags & DISPATCH_METHOD) && member.kind == MEMBER_METHOD) {
        binding = BIND_INVOKE_METHOD;
    } else if (flags & DISPATCH_PROPERTYGET) {
        binding = member.kind == MEMBER_PROPERTY ? BIND_GET_PROPERTY
                  : member.kind == MEMBER_FIELD  ? BIND_GET_FIELD
                                                 : 0;
    }
    if (!binding)
        return DISP_E_TYPEMISMATCH;
    if (!type_)
        return DISP_E_UNKNOWNINTERFACE;

    DotNetArgBuilder args(reflection_);
    HRESULT hr = args.Begin(params->cArgs);
    for (UINT i = 0; SUCCEEDED(hr) && i < params->cArgs; ++i)
        hr = args.Set(i, params->rgvarg[params->cArgs - 1 - i]);
    if (FAILED(hr))
        return hr;
    BSTR name = SysAllocString(member.name.c_str());
    if (!name)
        return E_OUTOFMEMORY;
    VARIANT answer;
    VariantInit(&answer);
    bool typed = binding == BIND_INVOKE_METHOD || binding == BIND_SET_PROPERTY;
    hr = reflection_->InvokeMember(type_, name, binding, instance_, typed ? args.Types() : nullptr, args.Values(),
                                   &answer);
    if (hr == S_FALSE || (args.ExplicitTypes() && (hr == E_FAIL || hr == DISP_E_MEMBERNOTFOUND)))
        hr = args.ExplicitTypes() ? CLR_E_SIGNATURE_NOT_FOUND
                                  : reflection_->InvokeMember(type_, name, binding, instance_, nullptr, args.Values(),
                                                              &answer);
    SysFreeString(name);
    if (FAILED(hr)) {
        if (excep && HRESULT_FACILITY(hr) == 0x13) {
            std::memset(excep, 0, sizeof *excep);
            excep->scode = hr;
            return DISP_E_EXCEPTION;
        }
        return hr;
    }
    // An object that comes back is wrapped with its own type.
    if (!put && (answer.vt == VT_UNKNOWN || answer.vt == VT_DISPATCH) && answer.punkVal) {
        IUnknown* type = nullptr;
        if (SUCCEEDED(reflection_->TypeOfObject(answer, &type)) && type) {
            auto* wrapped = new (std::nothrow) CDotNetDisp(reflection_, answer, type);
            type->Release();
            VariantClear(&answer);
            if (!wrapped)
                return E_OUTOFMEMORY;
            wrapped->AddRef();
            answer.vt = VT_DISPATCH;
            answer.pdispVal = wrapped;
        }
    }
    if (result)
        *result = answer;
    else
        VariantClear(&answer);
    return S_OK;
}
