// Object activation: creation by class name (locally or on another machine), attachment
// to running objects, monikers and files opened by their class, and wrapping.
#include "engine/com/com_activation.h"

#include <objbase.h>

#include "engine/core/context.h"

namespace {

constexpr DWORD CLASS_CONTEXT_ANY = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

PfnCoCreateInstanceEx g_testEntry = nullptr;
bool g_testReplaced = false;

PfnCoCreateInstanceEx FindCoCreateInstanceEx()
{
    if (g_testReplaced)
        return g_testEntry;
    HMODULE ole = GetModuleHandleA("ole32.dll");
    return ole ? reinterpret_cast<PfnCoCreateInstanceEx>(GetProcAddress(ole, "CoCreateInstanceEx")) : nullptr;
}

BSTR CopyName(BDS* ctx, const wchar_t* name)
{
    if (!name)
        return nullptr;
    BSTR copy = SysAllocString(name);
    if (!copy)
        SetError(ctx, 1491);
    return copy;
}

HRESULT NewHolder(DispatchHolder** out)
{
    *out = NewDispatchHolder();
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The class of a ProgID and a new holder for its object.
HRESULT ClassAndHolder(const wchar_t* progId, CLSID* clsid, DispatchHolder** out)
{
    HRESULT hr = CLSIDFromProgID(progId, clsid);
    return FAILED(hr) ? hr : NewHolder(out);
}

// A new holder takes an interface (released when no holder can be had).
HRESULT HolderOf(IDispatch* disp, const CLSID* clsid, DispatchHolder** out)
{
    HRESULT hr = NewHolder(out);
    if (FAILED(hr)) {
        disp->Release();
        return hr;
    }
    (*out)->disp = disp;
    if (clsid)
        (*out)->clsid = *clsid;
    return S_OK;
}

HRESULT CreateDispatchByClsid(DispatchHolder* holder, REFCLSID clsid)
{
    if (holder->disp) {
        holder->disp->Release();
        holder->disp = nullptr;
    }
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLASS_CONTEXT_ANY, IID_IDispatch,
                                  reinterpret_cast<void**>(&holder->disp));
    if (hr != E_NOINTERFACE)
        return hr;
    IUnknown* unknown = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLASS_CONTEXT_ANY, IID_IUnknown,
                                reinterpret_cast<void**>(&unknown))))
        return hr;
    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&holder->disp));
    unknown->Release();
    return holder->disp ? S_OK : hr;
}

HRESULT CreateByProgId(const wchar_t* progId, DispatchHolder** out)
{
    CLSID clsid;
    HRESULT hr = ClassAndHolder(progId, &clsid, out);
    if (FAILED(hr))
        return hr;
    hr = CreateDispatchByClsid(*out, clsid);
    if (SUCCEEDED(hr))
        (*out)->clsid = clsid;
    return hr;
}

HRESULT CreateOnMachine(const wchar_t* progId, const wchar_t* machine, DispatchHolder** out)
{
    CLSID clsid;
    HRESULT hr = ClassAndHolder(progId, &clsid, out);
    if (FAILED(hr))
        return hr;
    PfnCoCreateInstanceEx create = FindCoCreateInstanceEx();
    if (!create)
        return E_NOTIMPL;
    COSERVERINFO server{};
    server.pwszName = const_cast<wchar_t*>(machine);
    MULTI_QI query{&IID_IDispatch, nullptr, S_OK};
    hr = create(clsid, nullptr, CLSCTX_REMOTE_SERVER, &server, 1, &query);
    if (FAILED(hr))
        return hr;
    if (FAILED(query.hr))
        return query.hr;
    (*out)->disp = static_cast<IDispatch*>(query.pItf);
    (*out)->clsid = clsid;
    return S_OK;
}

HRESULT AttachRunningObject(const wchar_t* progId, DispatchHolder** out)
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    IUnknown* unknown = nullptr;
    hr = GetActiveObject(clsid, nullptr, &unknown);
    if (FAILED(hr))
        return hr;
    // An object whose server is going away can be found in the table and yet come back as
    // nothing: it is not running any more.
    if (!unknown)
        return MK_E_UNAVAILABLE;
    HRESULT made = NewHolder(out);
    if (SUCCEEDED(made)) {
        // An object without IDispatch fails at once rather than yielding an empty holder.
        HRESULT query = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&(*out)->disp));
        (*out)->clsid = clsid;
        if (FAILED(query))
            hr = query;
    } else {
        hr = made;
    }
    unknown->Release();
    return hr;
}

HRESULT BindMonikerName(const wchar_t* name, DispatchHolder** out)
{
    IBindCtx* bind = nullptr;
    HRESULT hr = CreateBindCtx(0, &bind);
    if (FAILED(hr))
        return hr;
    IMoniker* moniker = nullptr;
    ULONG eaten = 0;
    hr = MkParseDisplayName(bind, name, &eaten, &moniker);
    bind->Release();
    if (FAILED(hr))
        return hr;
    IDispatch* disp = nullptr;
    hr = BindMoniker(moniker, 0, IID_IDispatch, reinterpret_cast<void**>(&disp));
    moniker->Release();
    return FAILED(hr) ? hr : HolderOf(disp, nullptr, out);
}

HRESULT LoadFileIntoClass(const wchar_t* file, const wchar_t* progId, DispatchHolder** out)
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    IUnknown* unknown = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLASS_CONTEXT_ANY, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (FAILED(hr))
        return hr;
    IPersistFile* persist = nullptr;
    hr = unknown->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
    unknown->Release();
    if (FAILED(hr))
        return hr;
    hr = persist->Load(file, STGM_READ);
    IDispatch* disp = nullptr;
    if (SUCCEEDED(hr))
        hr = persist->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
    persist->Release();
    return FAILED(hr) ? hr : HolderOf(disp, &clsid, out);
}

}  // namespace

PfnCoCreateInstanceEx SetCoCreateInstanceExForTest(PfnCoCreateInstanceEx entry, bool replace)
{
    PfnCoCreateInstanceEx previous = g_testReplaced ? g_testEntry : nullptr;
    g_testEntry = entry;
    g_testReplaced = replace;
    return previous;
}

CDispBuilder::CDispBuilder(BDS* ctx, DispBuildMode mode, const wchar_t* first, const wchar_t* second)
    : mode_(mode)
{
    if (mode == DBM_CREATE && second && !*second)
        second = nullptr;
    first_ = CopyName(ctx, first);
    second_ = CopyName(ctx, second);
}

CDispBuilder::CDispBuilder(IDispatch* wrap, bool cacheOn) : mode_(DBM_WRAP), wrap_(wrap), cacheOn_(cacheOn)
{
    if (wrap_)
        wrap_->AddRef();
}

CDispBuilder::~CDispBuilder()
{
    if (wrap_)
        wrap_->Release();
    SysFreeString(first_);
    SysFreeString(second_);
}

HRESULT CDispBuilder::GetDispatch(DispatchHolder** out)
{
    *out = nullptr;
    DispatchHolder* holder = nullptr;
    HRESULT hr;
    switch (mode_) {
    case DBM_CREATE:
        if (!first_)
            hr = E_INVALIDARG;
        else if (!second_)
            hr = CreateByProgId(first_, &holder);
        else
            hr = CreateOnMachine(first_, second_, &holder);
        break;
    case DBM_ATTACH:
        if (first_ && second_)
            hr = *first_ ? LoadFileIntoClass(first_, second_, &holder) : CreateByProgId(second_, &holder);
        else if (first_)
            hr = BindMonikerName(first_, &holder);
        else if (second_)
            hr = AttachRunningObject(second_, &holder);
        else
            hr = E_FAIL;
        break;
    case DBM_WRAP:
        hr = NewHolder(&holder);
        if (SUCCEEDED(hr) && wrap_) {
            holder->disp = wrap_;
            wrap_->AddRef();
        }
        break;
    default:
        hr = E_FAIL;
        break;
    }
    if (FAILED(hr)) {
        FreeDispatchHolder(holder);
        return hr;
    }
    holder->cacheOn = cacheOn_ ? 1 : 0;
    *out = holder;
    return hr;
}
