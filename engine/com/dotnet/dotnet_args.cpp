// .NET argument marshalling: the System type name of each VARIANT type, the argument
// builder that pairs every argument with its System.Type, and explicit type casts.
#include <windows.h>
#include <oleauto.h>

#include <cstring>

#include "engine/com/dotnet/dotnet.h"

// A private identifier of the engine's type casts.
const IID IID_KvTypeCast = {0x3C8E51A2, 0x6B0D, 0x4F7E, {0x9B, 0x21, 0x5E, 0x0A, 0x7C, 0x44, 0x12, 0xD1}};

// ---------------------------------------------------------------- type names

HRESULT SystemTypeNameFromVarType(VARTYPE type, BSTR* name)
{
    *name = nullptr;
    const wchar_t* text = nullptr;
    if (type & VT_ARRAY) {
        text = L"System.Array";
    } else {
        switch (type) {
        case VT_I2: text = L"System.Int16"; break;
        case VT_I4: text = L"System.Int32"; break;
        case VT_R4: text = L"System.Single"; break;
        case VT_R8: text = L"System.Double"; break;
        case VT_DATE: text = L"System.DateTime"; break;
        case VT_BSTR: text = L"System.String"; break;
        case VT_DISPATCH:
        case VT_UNKNOWN: text = L"System.Object"; break;
        case VT_BOOL: text = L"System.Boolean"; break;
        case VT_DECIMAL: text = L"System.Decimal"; break;
        case VT_I1: text = L"System.SByte"; break;
        case VT_UI1: text = L"System.Byte"; break;
        case VT_UI2: text = L"System.UInt16"; break;
        case VT_UI4: text = L"System.UInt32"; break;
        case VT_I8: text = L"System.Int64"; break;
        case VT_UI8: text = L"System.UInt64"; break;
        case VT_INT: text = L"System.IntPtr"; break;
        default: return DISP_E_TYPEMISMATCH;
        }
    }
    *name = SysAllocString(text);
    return *name ? S_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------- casts

CTypeCast::CTypeCast(BSTR typeName, VARIANT value) : name_(typeName), value_(value) {}

CTypeCast::~CTypeCast()
{
    SysFreeString(name_);
    VariantClear(&value_);
}

HRESULT STDMETHODCALLTYPE CTypeCast::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_KvTypeCast) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

CTypeCast* AsTypeCast(IUnknown* unknown)
{
    void* cast = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_KvTypeCast, &cast)) || !cast)
        return nullptr;
    auto* made = static_cast<CTypeCast*>(static_cast<IUnknown*>(cast));
    made->Release();
    return made;
}

// ---------------------------------------------------------------- the argument builder

DotNetArgBuilder::~DotNetArgBuilder() { Free(); }

void DotNetArgBuilder::Close() {}

void DotNetArgBuilder::Free()
{
    if (types_)
        SafeArrayDestroy(types_);   // releases the types it holds
    if (values_) {
        // The values are shallow copies that the builder does not own.
        VARIANT* data = nullptr;
        if (SUCCEEDED(SafeArrayAccessData(values_, reinterpret_cast<void**>(&data)))) {
            std::memset(data, 0, sizeof(VARIANT) * count_);
            SafeArrayUnaccessData(values_);
        }
        SafeArrayDestroy(values_);
    }
    types_ = values_ = nullptr;
    count_ = 0;
}

HRESULT DotNetArgBuilder::Begin(uint32_t count)
{
    Free();
    explicit_ = false;
    types_ = SafeArrayCreateVector(VT_UNKNOWN, 0, count);
    values_ = SafeArrayCreateVector(VT_VARIANT, 0, count);
    if (!types_ || !values_) {
        Free();
        return E_OUTOFMEMORY;
    }
    count_ = count;
    return S_OK;
}

IUnknown* DotNetArgBuilder::TypeAt(uint32_t index) const
{
    if (!types_ || index >= count_)
        return nullptr;
    IUnknown** data = nullptr;
    if (FAILED(SafeArrayAccessData(types_, reinterpret_cast<void**>(&data))))
        return nullptr;
    IUnknown* type = data[index];
    SafeArrayUnaccessData(types_);
    return type;
}

HRESULT DotNetArgBuilder::Set(uint32_t index, const VARIANT& value)
{
    if (index >= count_ || !reflection_)
        return E_INVALIDARG;
    IUnknown* type = nullptr;
    const VARIANT* stored = &value;
    HRESULT hr = S_OK;
    CTypeCast* cast = value.vt == VT_UNKNOWN ? AsTypeCast(value.punkVal) : nullptr;
    IUnknown* objectType = nullptr;
    if (cast) {
        hr = reflection_->LoadedType(cast->TypeName(), &type);
        if (FAILED(hr) || !type)
            return SUCCEEDED(hr) || hr == E_FAIL ? CLR_E_TYPE_NOT_FOUND : hr;
        explicit_ = true;
        stored = &cast->Value();
        if ((stored->vt & VT_ARRAY) && lstrcmpiW(cast->TypeName(), L"System.Array") != 0) {
            IUnknown* array = nullptr;
            hr = reflection_->ArrayTypeOf(type, &array);
            type->Release();
            if (FAILED(hr))
                return hr;
            type = array;
        }
    } else if (value.vt == VT_DISPATCH && value.pdispVal
               && SUCCEEDED(value.pdispVal->QueryInterface(IID_ClrType, reinterpret_cast<void**>(&objectType)))) {
        type = objectType;
        void* wrapper = nullptr;
        if (SUCCEEDED(value.pdispVal->QueryInterface(IID_KvDotNetObject, &wrapper)))
            stored = &static_cast<CDotNetDisp*>(value.pdispVal)->Instance();
    } else {
        VARTYPE vt = value.vt;
        bool array = (vt & VT_ARRAY) && (vt & VT_TYPEMASK) != VT_VARIANT;
        BSTR name = nullptr;
        hr = SystemTypeNameFromVarType(array ? static_cast<VARTYPE>(vt & VT_TYPEMASK) : vt, &name);
        if (FAILED(hr))
            return hr;
        hr = reflection_->CorlibType(name, &type);
        SysFreeString(name);
        if (FAILED(hr))
            return hr;
        if (array && type) {
            IUnknown* arrayType = nullptr;
            hr = reflection_->ArrayTypeOf(type, &arrayType);
            type->Release();
            if (FAILED(hr))
                return hr;
            type = arrayType;
        }
    }
    LONG at = static_cast<LONG>(index);
    hr = SafeArrayPutElement(types_, &at, type);   // adds its own reference
    if (type)
        type->Release();
    if (FAILED(hr))
        return hr;
    VARIANT* data = nullptr;
    hr = SafeArrayAccessData(values_, reinterpret_cast<void**>(&data));
    if (FAILED(hr))
        return hr;
    data[index] = *stored;
    SafeArrayUnaccessData(values_);
    return S_OK;
}
