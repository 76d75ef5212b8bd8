// CDotNet: the .NET runtime hosted in the engine's process for one context (the runtime
// bound through its published hosting interfaces, one application domain, "mscorlib"),
// and the reflection calls made through the runtime's own objects.
#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <new>

#include "engine/com/com_errors.h"
#include "engine/com/com_later.h"
#include "engine/com/com_value.h"
#include "engine/com/dotnet/dotnet.h"
#include "engine/com/dotnet/dotnet_clr.h"
#include "engine/core/context.h"
#include "engine/core/module.h"

const CLSID CLSID_ClrMetaHost = {0x9280188D, 0x0E8E, 0x4867, {0xB3, 0x0C, 0x7F, 0xA8, 0x38, 0x84, 0xE8, 0xDE}};
const IID IID_ClrMetaHost = {0xD332DB9E, 0xB9B3, 0x4125, {0x82, 0x07, 0xA1, 0x48, 0x84, 0xF5, 0x32, 0x16}};
const IID IID_ClrRuntimeInfo = {0xBD39D1D2, 0xBA2F, 0x486A, {0x89, 0xB0, 0xB4, 0xB0, 0xCB, 0x46, 0x68, 0x91}};
const CLSID CLSID_CorRuntimeHostObject = {0xCB2F6723, 0xAB3A, 0x11D2, {0x9C, 0x40, 0x00, 0xC0, 0x4F, 0xA3, 0x0A, 0x3E}};
const IID IID_CorRuntimeHost = {0xCB2F6722, 0xAB3A, 0x11D2, {0x9C, 0x40, 0x00, 0xC0, 0x4F, 0xA3, 0x0A, 0x3E}};
const IID IID_ClrAppDomain = {0x05F696DC, 0x2B29, 0x3663, {0xAD, 0x8B, 0xC4, 0x38, 0x9C, 0xF2, 0xA7, 0x13}};
const IID IID_ClrAppDomainSetup = {0x27FFF232, 0xA7A8, 0x40DD, {0x8D, 0x4A, 0x73, 0x4A, 0xD5, 0x9F, 0xCD, 0x41}};
const IID IID_ClrEnumerable = {0x496B0ABE, 0xCDEE, 0x11D3, {0x88, 0xE8, 0x00, 0x90, 0x27, 0x54, 0xC4, 0x3A}};

namespace {

constexpr uint16_t ERR_RUNTIME = 1845;        // "CLR: Runtime load failed"
constexpr uint16_t ERR_ASSEMBLY = 1846;       // "CLR: Assembly load failed"
constexpr uint16_t ERR_CREATION = 1847;       // "CLR: Type creation failed"
constexpr uint16_t ERR_TYPE_NAME = 1848;      // "CLR: Type name not found"
constexpr uint16_t ERR_STARTED = 1849;        // "CLR: Runtime already loaded"
constexpr uint16_t ERR_OPTION = 1850;         // "CLR: Unknown runtime option"
constexpr uint16_t ERR_SIGNATURE = 1851;      // "CLR: Member signature not found"

using PfnClrCreateInstance = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using PfnCorBindToRuntimeEx = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, REFCLSID, REFIID, void**);

// A mapped error that says only "unknown" becomes the operation's own.
uint16_t MapOr(BDS* ctx, HRESULT hr, const char* operation, uint16_t own)
{
    uint16_t code = HresultToErrorNumber(ctx, hr, operation);
    return code == 1298 || code == 1261 || code == 0 ? own : code;
}

// A late-bound call of a runtime object's member by name.
HRESULT CallByName(IUnknown* object, const wchar_t* member, WORD flags, VARIANT* args, UINT count, VARIANT* result)
{
    if (!object)
        return E_POINTER;
    IDispatch* disp = nullptr;
    HRESULT hr = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
    if (FAILED(hr))
        return hr;
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    hr = disp->GetIDsOfNames(IID_NULL, &name, 1, COM_LOCALE, &id);
    if (SUCCEEDED(hr)) {
        // The arguments go in reverse order.
        VARIANT reversed[8];
        for (UINT i = 0; i < count && i < 8; ++i)
            reversed[i] = args[count - 1 - i];
        DISPPARAMS params = {count ? reversed : nullptr, nullptr, count, 0};
        VariantInit(result);
        hr = disp->Invoke(id, IID_NULL, COM_LOCALE, flags, &params, result, nullptr, nullptr);
    }
    disp->Release();
    return hr;
}

VARIANT TextArg(BSTR text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text;
    return v;
}

HRESULT TakeObject(VARIANT& answer, IUnknown** out)
{
    *out = nullptr;
    if ((answer.vt == VT_DISPATCH || answer.vt == VT_UNKNOWN) && answer.punkVal) {
        *out = answer.punkVal;
        return S_OK;
    }
    VariantClear(&answer);
    return E_FAIL;
}

// Element `index` of a SAFEARRAY of objects (or of VARIANTs), as a VARIANT of its own.
VARIANT ArrayElement(const VARIANT& list, LONG index)
{
    VARIANT element;
    VariantInit(&element);
    if ((list.vt & VT_TYPEMASK) == VT_VARIANT) {
        SafeArrayGetElement(list.parray, &index, &element);
    } else {
        element.vt = list.vt & VT_TYPEMASK;
        SafeArrayGetElement(list.parray, &index, &element.punkVal);
    }
    return element;
}

// Reflection through the runtime's objects (domain, "mscorlib"), called by name.
class RuntimeReflection : public ClrReflection {
public:
    RuntimeReflection(IUnknown* domain, IUnknown* corlib) : domain_(domain), corlib_(corlib) {}

    HRESULT CorlibType(BSTR name, IUnknown** type) override
    {
        VARIANT arg = TextArg(name), answer;
        HRESULT hr = CallByName(corlib_, L"GetType", DISPATCH_METHOD, &arg, 1, &answer);
        return FAILED(hr) ? hr : TakeObject(answer, type);
    }
    HRESULT LoadedType(BSTR name, IUnknown** type) override
    {
        *type = nullptr;
        VARIANT list;
        HRESULT hr = CallByName(domain_, L"GetAssemblies", DISPATCH_METHOD, nullptr, 0, &list);
        if (FAILED(hr))
            return hr;
        if (!(list.vt & VT_ARRAY) || !list.parray) {
            VariantClear(&list);
            return CLR_E_TYPE_NOT_FOUND;
        }
        LONG low = 0, high = -1;
        SafeArrayGetLBound(list.parray, 1, &low);
        SafeArrayGetUBound(list.parray, 1, &high);
        hr = CLR_E_TYPE_NOT_FOUND;
        for (LONG i = low; i <= high && !*type; ++i) {
            VARIANT element = ArrayElement(list, i);
            VARIANT arg = TextArg(name), answer;
            if (SUCCEEDED(CallByName(element.punkVal, L"GetType", DISPATCH_METHOD, &arg, 1, &answer))
                && SUCCEEDED(TakeObject(answer, type)))
                hr = S_OK;
            VariantClear(&element);
        }
        VariantClear(&list);
        return hr;
    }
    HRESULT ArrayTypeOf(IUnknown* element, IUnknown** type) override
    {
        VARIANT answer;
        HRESULT hr = CallByName(element, L"MakeArrayType", DISPATCH_METHOD, nullptr, 0, &answer);
        return FAILED(hr) ? hr : TakeObject(answer, type);
    }
    HRESULT TypeOfObject(const VARIANT& object, IUnknown** type) override
    {
        VARIANT answer;
        HRESULT hr = CallByName(object.punkVal, L"GetType", DISPATCH_METHOD, nullptr, 0, &answer);
        return FAILED(hr) ? hr : TakeObject(answer, type);
    }
    HRESULT LoadAssembly(BSTR name) override
    {
        VARIANT arg = TextArg(name), answer;
        HRESULT hr = CallByName(domain_, L"Load", DISPATCH_METHOD, &arg, 1, &answer);
        if (SUCCEEDED(hr) && answer.vt != VT_DISPATCH && answer.vt != VT_UNKNOWN)
            hr = E_FAIL;
        VariantClear(&answer);
        return hr;
    }
    HRESULT MemberKind(IUnknown* type, BSTR name, int32_t* kind) override
    {
        VARIANT args[2] = {TextArg(name), {}};
        args[1].vt = VT_I4;
        args[1].lVal = BIND_LOOKUP;
        VARIANT list;
        HRESULT hr = CallByName(type, L"GetMember", DISPATCH_METHOD, args, 2, &list);
        if (FAILED(hr))
            return hr;
        hr = S_FALSE;
        LONG low = 0, high = -1;
        if ((list.vt & VT_ARRAY) && list.parray) {
            SafeArrayGetLBound(list.parray, 1, &low);
            SafeArrayGetUBound(list.parray, 1, &high);
        }
        if (high >= low) {
            VARIANT element = ArrayElement(list, low);
            VARIANT answer;
            if (SUCCEEDED(CallByName(element.punkVal, L"MemberType", DISPATCH_PROPERTYGET, nullptr, 0, &answer))
                && SUCCEEDED(VariantChangeType(&answer, &answer, 0, VT_I4))) {
                *kind = answer.lVal;
                hr = S_OK;
            }
            VariantClear(&element);
        }
        VariantClear(&list);
        return hr;
    }
    HRESULT InvokeMember(IUnknown* type, BSTR name, int32_t flags, const VARIANT& target, SAFEARRAY* types,
                         SAFEARRAY* arguments, VARIANT* result) override
    {
        VARIANT args[5];
        for (VARIANT& a : args)
            VariantInit(&a);
        if (types) {
            // The member of exactly these argument types: a method, or a property's setter.
            args[0] = TextArg(name);
            args[1].vt = VT_I4;
            args[1].lVal = BIND_LOOKUP;
            args[2].vt = VT_UNKNOWN;
            args[3].vt = VT_ARRAY | VT_UNKNOWN;
            args[3].parray = types;
            args[4].vt = VT_ARRAY | VT_VARIANT;
            args[4].parray = nullptr;
            VARIANT method;
            HRESULT hr = CallByName(type, L"GetMethod", DISPATCH_METHOD, args, 5, &method);
            if (FAILED(hr) || (method.vt != VT_DISPATCH && method.vt != VT_UNKNOWN) || !method.punkVal) {
                VariantClear(&method);
                return S_FALSE;
            }
            VARIANT call[2];
            VariantInit(&call[0]);
            VariantCopy(&call[0], const_cast<VARIANT*>(&target));
            call[1].vt = VT_ARRAY | VT_VARIANT;
            call[1].parray = arguments;
            hr = CallByName(method.punkVal, L"Invoke", DISPATCH_METHOD, call, 2, result);
            VariantClear(&call[0]);
            VariantClear(&method);
            return hr;
        }
        args[0] = TextArg(name);
        args[1].vt = VT_I4;
        args[1].lVal = flags;
        args[2].vt = VT_UNKNOWN;
        VariantCopy(&args[3], const_cast<VARIANT*>(&target));
        args[4].vt = VT_ARRAY | VT_VARIANT;
        args[4].parray = arguments;
        HRESULT hr = CallByName(type, L"InvokeMember", DISPATCH_METHOD, args, 5, result);
        VariantClear(&args[3]);
        return hr;
    }

private:
    IUnknown* domain_;
    IUnknown* corlib_;
};

// A version string's numbers ("v4.0.30319" gives 4, 0, 30319).
std::vector<unsigned long> VersionNumbers(const std::wstring& text)
{
    std::vector<unsigned long> parts;
    const wchar_t* p = text.c_str();
    while (*p && !(*p >= L'0' && *p <= L'9'))
        ++p;
    while (*p) {
        wchar_t* end = nullptr;
        parts.push_back(std::wcstoul(p, &end, 10));
        p = end;
        while (*p && !(*p >= L'0' && *p <= L'9'))
            ++p;
    }
    return parts;
}

}  // namespace

std::wstring ChooseRuntimeVersion(const std::vector<std::wstring>& versions)
{
    std::wstring best;
    std::vector<unsigned long> bestNumbers;
    for (const std::wstring& v : versions) {
        std::vector<unsigned long> numbers = VersionNumbers(v);
        if (best.empty() || numbers > bestNumbers) {
            best = v;
            bestNumbers = numbers;
        }
    }
    return best;
}

// ---------------------------------------------------------------- the host

CDotNet::CDotNet(BDS*) {}

CDotNet::~CDotNet()
{
    reflection_.reset();
    if (host_ && domainUnknown_)
        static_cast<CorRuntimeHost*>(host_)->UnloadDomain(domainUnknown_);
    ReleaseRuntime();
}

// The runtime is not stopped: only the references to it go.
void CDotNet::ReleaseRuntime()
{
    for (IUnknown** held : {&corlib_, &domain_, &domainUnknown_, &host_}) {
        if (*held)
            (*held)->Release();
        *held = nullptr;
    }
}

void CDotNet::UseReflectionForTest(ClrReflection* reflection)
{
    testReflection_ = reflection;
    started_ = reflection != nullptr;
}

// Binds the runtime: the version asked for, else the greatest installed one.
HRESULT CDotNet::StartRuntime()
{
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HMODULE library = LoadLibraryW(L"MSCorEE.dll");
    SetErrorMode(mode);
    if (!library)
        return E_NOTIMPL;
    std::wstring version = version_;
    auto create = reinterpret_cast<PfnClrCreateInstance>(GetProcAddress(library, "CLRCreateInstance"));
    if (version.empty() && create) {
        ClrMetaHost* meta = nullptr;
        if (SUCCEEDED(create(CLSID_ClrMetaHost, IID_ClrMetaHost, reinterpret_cast<void**>(&meta))) && meta) {
            IEnumUnknown* runtimes = nullptr;
            std::vector<std::wstring> found;
            if (SUCCEEDED(meta->EnumerateInstalledRuntimes(&runtimes)) && runtimes) {
                IUnknown* item = nullptr;
                ULONG fetched = 0;
                while (runtimes->Next(1, &item, &fetched) == S_OK && item) {
                    ClrRuntimeInfo* info = nullptr;
                    if (SUCCEEDED(item->QueryInterface(IID_ClrRuntimeInfo, reinterpret_cast<void**>(&info)))) {
                        wchar_t text[64] = {};
                        DWORD size = 64;
                        if (SUCCEEDED(info->GetVersionString(text, &size)))
                            found.push_back(text);
                        info->Release();
                    }
                    item->Release();
                    item = nullptr;
                }
                runtimes->Release();
            }
            meta->Release();
            version = ChooseRuntimeVersion(found);
        }
    }
    auto bind = reinterpret_cast<PfnCorBindToRuntimeEx>(GetProcAddress(library, "CorBindToRuntimeEx"));
    HRESULT hr = TYPE_E_CANTLOADLIBRARY;
    if (bind) {
        mode = SetErrorMode(SEM_FAILCRITICALERRORS);
        hr = bind(version.empty() ? nullptr : version.c_str(), L"wks", 3, CLSID_CorRuntimeHostObject,
                  IID_CorRuntimeHost, reinterpret_cast<void**>(&host_));
        SetErrorMode(mode);
    }
    FreeLibrary(library);
    return hr;
}

void CDotNet::RecordClrError(BDS* ctx)
{
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return;
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    info->Release();
    RecordComException(ctx, "CLR Error", source, description, 0);
}

int CDotNet::Initialize(BDS* ctx)
{
    if (started_)
        return 1;
    HRESULT hr = StartRuntime();
    if (SUCCEEDED(hr) && hr == S_OK)
        hr = static_cast<CorRuntimeHost*>(host_)->Start();
    IUnknown* setupUnknown = nullptr;
    if (SUCCEEDED(hr))
        hr = static_cast<CorRuntimeHost*>(host_)->CreateDomainSetup(&setupUnknown);
    if (SUCCEEDED(hr)) {
        std::wstring base = appBase_;
        if (base.empty()) {
            wchar_t path[324] = {};
            GetModuleFileNameW(EngineModule(), path, 323);
            path[323] = 0;
            wchar_t* slash = std::wcsrchr(path, L'\\');
            if (slash)
                *slash = 0;
            base = path;
        }
        ClrAppDomainSetup* setup = nullptr;
        hr = setupUnknown->QueryInterface(IID_ClrAppDomainSetup, reinterpret_cast<void**>(&setup));
        if (SUCCEEDED(hr)) {
            BSTR text = SysAllocString(base.c_str());
            hr = setup->put_ApplicationBase(text);
            SysFreeString(text);
            setup->Release();
        }
    }
    if (SUCCEEDED(hr)) {
        wchar_t name[48];
        swprintf(name, 48, L"KvAppDomain_%lu", GetCurrentThreadId());
        hr = static_cast<CorRuntimeHost*>(host_)->CreateDomainEx(name, setupUnknown, nullptr, &domainUnknown_);
    }
    if (setupUnknown)
        setupUnknown->Release();
    if (SUCCEEDED(hr))
        hr = domainUnknown_->QueryInterface(IID_ClrAppDomain, reinterpret_cast<void**>(&domain_));
    if (SUCCEEDED(hr)) {
        BSTR core = SysAllocString(L"mscorlib");
        VARIANT arg = TextArg(core), answer;
        hr = CallByName(domain_, L"Load", DISPATCH_METHOD, &arg, 1, &answer);
        SysFreeString(core);
        if (SUCCEEDED(hr) && answer.vt == VT_DISPATCH && answer.pdispVal)
            corlib_ = answer.pdispVal;
        else if (SUCCEEDED(hr)) {
            VariantClear(&answer);
            hr = E_FAIL;
        }
    }
    if (FAILED(hr)) {
        // A failed start leaves nothing bound: a later call tries again.
        ReleaseRuntime();
        RecordClrError(ctx);
        SetError(ctx, MapOr(ctx, hr, "CDotNet::Initialize", ERR_RUNTIME));
        return 0;
    }
    reflection_.reset(new (std::nothrow) RuntimeReflection(domain_, corlib_));
    started_ = reflection_ != nullptr;
    return started_ ? 1 : 0;
}

int CDotNet::SetOption(BDS* ctx, const wchar_t* option, const wchar_t* value)
{
    bool version = lstrcmpiW(option, L"version") == 0;
    if (!version && lstrcmpiW(option, L"appbase") != 0) {
        SetError(ctx, ERR_OPTION);
        return 0;
    }
    if (started_) {
        SetError(ctx, ERR_STARTED);
        return 0;
    }
    (version ? version_ : appBase_) = value ? value : L"";
    return 1;
}

int CDotNet::LoadAssembly(BDS* ctx, const wchar_t* name, bool)
{
    if (!Initialize(ctx))
        return 0;
    BSTR text = SysAllocString(name);
    HRESULT hr = text ? Reflection()->LoadAssembly(text) : E_OUTOFMEMORY;
    SysFreeString(text);
    if (FAILED(hr)) {
        RecordClrError(ctx);
        SetError(ctx, MapOr(ctx, hr, "CDotNet::LoadAssembly", ERR_ASSEMBLY));
        return 0;
    }
    return 1;
}

int CDotNet::CreateClassInstance(BDS* ctx, const wchar_t* typeName, resultants** args, int count, IDispatch** out)
{
    *out = nullptr;
    ClrReflection* reflection = Reflection();
    BSTR name = SysAllocString(typeName);
    IUnknown* type = nullptr;
    HRESULT hr = name ? reflection->LoadedType(name, &type) : E_OUTOFMEMORY;
    if (FAILED(hr) || !type) {
        SysFreeString(name);
        SetError(ctx, ERR_TYPE_NAME);
        return 0;
    }
    DotNetArgBuilder builder(reflection);
    hr = builder.Begin(static_cast<uint32_t>(count));
    std::vector<std::unique_ptr<CResultVar>> values;
    for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
        values.emplace_back(new (std::nothrow) CResultVar(ctx));
        if (!values.back()) {
            hr = E_OUTOFMEMORY;
            break;
        }
        CResultVar& v = *values.back();
        if (!v.CopyFrom(*args[i])) {
            hr = E_FAIL;
            break;
        }
        VARTYPE wanted = IsObjectValue(&v.v) ? VT_DISPATCH : (v.v.flags & VF_ARRAY) ? VT_VARIANT : 0;
        if (!v.ValueToVariantType(wanted)) {
            hr = E_FAIL;
            break;
        }
        if (v.v.var.vt & VT_BYREF) {
            hr = E_INVALIDARG;
            break;
        }
        hr = builder.Set(static_cast<uint32_t>(i), v.v.var);
    }
    VARIANT made;
    VariantInit(&made);
    VARIANT none;
    VariantInit(&none);
    if (SUCCEEDED(hr)) {
        hr = reflection->InvokeMember(type, name, BIND_CREATE, none, nullptr, builder.Values(), &made);
        if (FAILED(hr) && builder.ExplicitTypes())
            hr = CLR_E_SIGNATURE_NOT_FOUND;
    }
    SysFreeString(name);
    if (SUCCEEDED(hr) && (made.vt == VT_EMPTY || made.vt == VT_NULL))
        SetError(ctx, ERR_CREATION);
    if (FAILED(hr) || ctx->nErrorCode) {
        type->Release();
        VariantClear(&made);
        if (!ctx->nErrorCode) {
            RecordClrError(ctx);
            SetError(ctx, hr == CLR_E_SIGNATURE_NOT_FOUND ? ERR_SIGNATURE
                                                          : MapOr(ctx, hr, "CDotNet::CreateClassInstance", ERR_CREATION));
        }
        return 0;
    }
    auto* disp = new (std::nothrow) CDotNetDisp(reflection, made, type);
    type->Release();
    VariantClear(&made);
    if (!disp) {
        SetError(ctx, 1491);
        return 0;
    }
    disp->AddRef();
    *out = disp;
    return 1;
}

int CDotNet::CreateCastObject(BDS* ctx, const wchar_t* typeName, const VARIANT& value, VARIANT* out)
{
    VariantInit(out);
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    VARIANT inner;
    VariantInit(&inner);
    HRESULT hr = S_OK;
    CTypeCast* cast = value.vt == VT_UNKNOWN ? AsTypeCast(value.punkVal) : nullptr;
    void* wrapper = nullptr;
    if (cast)
        hr = VariantCopy(&inner, const_cast<VARIANT*>(&cast->Value()));
    else if (value.vt == VT_DISPATCH && value.pdispVal
             && SUCCEEDED(value.pdispVal->QueryInterface(IID_KvDotNetObject, &wrapper)))
        hr = VariantCopy(&inner, const_cast<VARIANT*>(&static_cast<CDotNetDisp*>(value.pdispVal)->Instance()));
    else
        hr = VariantCopy(&inner, const_cast<VARIANT*>(&value));
    BSTR name = SUCCEEDED(hr) ? SysAllocString(typeName) : nullptr;
    if (SUCCEEDED(hr) && !name)
        hr = E_OUTOFMEMORY;
    bool object = inner.vt == VT_UNKNOWN || inner.vt == VT_DISPATCH || inner.vt == VT_RECORD;
    if (SUCCEEDED(hr) && started_ && object) {
        IUnknown* type = nullptr;
        hr = Reflection()->LoadedType(name, &type);
        if (SUCCEEDED(hr) && type) {
            auto* disp = new (std::nothrow) CDotNetDisp(Reflection(), inner, type);
            type->Release();
            if (disp) {
                disp->AddRef();
                out->vt = VT_DISPATCH;
                out->pdispVal = disp;
            } else {
                hr = E_OUTOFMEMORY;
            }
        } else if (SUCCEEDED(hr)) {
            hr = CLR_E_TYPE_NOT_FOUND;
        }
        SysFreeString(name);
        VariantClear(&inner);
    } else if (SUCCEEDED(hr)) {
        auto* made = new (std::nothrow) CTypeCast(name, inner);   // takes both
        if (made) {
            out->vt = VT_UNKNOWN;
            out->punkVal = made;
        } else {
            SysFreeString(name);
            VariantClear(&inner);
            hr = E_OUTOFMEMORY;
        }
    } else {
        VariantClear(&inner);
    }
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "CDotNet::CreateCastObject"));
        return 0;
    }
    ctx->nErrorCode = saved;
    return 1;
}

// ---------------------------------------------------------------- the context's host

CDotNet* GetOrCreateDotNet(BDS* ctx)
{
    if (ctx->com.pDotNet)
        return static_cast<CDotNet*>(ctx->com.pDotNet);
    if (ctx->com.bNoDotNet)
        return nullptr;
    auto* host = new (std::nothrow) CDotNet(ctx);
    ctx->com.pDotNet = host;
    return host;
}

void ComDeleteDotNet(BDS* ctx)
{
    delete static_cast<CDotNet*>(ctx->com.pDotNet);
    ctx->com.pDotNet = nullptr;
}
