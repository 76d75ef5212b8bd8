// COM event sinks: finding an object's source interface, binding events to user-defined
// functions, delivering events (the plain binder lays the event's arguments into the
// function's parameters and writes by-reference ones back; the dialog binder hands them
// to the dialog procedure as event 14 with an event object).
#include "engine/com/com_events.h"

#include <oleauto.h>
#include <olectl.h>

#include <cstring>
#include <new>

#include "engine/com/com_errors.h"
#include "engine/com/com_value.h"
#include "engine/core/keyword.h"
#include "engine/core/runloop.h"
#include "engine/dialog/dialog_procedure.h"

namespace {

constexpr uint16_t ERR_NO_FUNCTION = 1751;     // "User defined function/subroutine not found"
constexpr uint16_t ERR_NO_EVENT = 1753;        // "COM: Event not found"
constexpr uint16_t ERR_PARAM_COUNT = 1756;     // "... has the wrong number of parameters"
constexpr uint16_t ERR_MEMORY = 1491;          // "COM: Unable to allocate (or lock) memory"
constexpr uint16_t ERR_NULL_OBJECT = 1540;     // "Ole Object: NULL object handle"
constexpr uint16_t ERR_SCOPE = 3816;           // "Error accessing variable table"
constexpr int DIALOG_EVENT_COM = 14;
constexpr uint32_t DIALOG_PARAMS = 5;

// The user-defined function of that name: its index, or -1.
int FindFunction(BDS* ctx, const char* name)
{
    return FindUdfByName(ctx, name, std::strlen(name));
}

bool ParamCountFits(uint32_t n, const EventBinding& b)
{
    return b.paramCount - b.optionalCount <= n && n <= b.paramCount;
}

// The argument of parameter `position` in a call's DISPPARAMS, or null: named arguments
// by their DISPID, positional ones in reverse order after them.
VARIANT* ArgumentFor(DISPPARAMS* p, uint32_t position)
{
    if (!p || !p->rgvarg)
        return nullptr;
    for (UINT j = 0; j < p->cNamedArgs && p->rgdispidNamedArgs; ++j)
        if (p->rgdispidNamedArgs[j] == static_cast<DISPID>(position))
            return &p->rgvarg[j];
    uint32_t positional = p->cArgs - p->cNamedArgs;
    if (position < p->cNamedArgs)
        return nullptr;
    uint32_t k = position - p->cNamedArgs;
    if (k >= positional)
        return nullptr;
    return &p->rgvarg[p->cArgs - 1 - k];
}

// A script value holding a copy of the argument (by-reference arguments are read through).
bool SetParameter(BDS* ctx, const char* name, const VARIANT* argument)
{
    CResultVar value(ctx);
    if (argument) {
        VARIANT plain;
        VariantInit(&plain);
        HRESULT hr = VariantCopyInd(&plain, const_cast<VARIANT*>(argument));
        if (FAILED(hr)) {
            SetError(ctx, HresultToErrorNumber(ctx, hr, "VariantCopyInd"));
            return false;
        }
        int ok = value.VariantCopyToValue(plain);
        VariantClear(&plain);
        if (!ok)
            return false;
    } else {
        SetResultInt(ctx, &value.v, 0);
    }
    return SetVariableFromValue(ctx, name, &value.v) != 0;
}

// The current value of the function's variable `name`, converted to `type` (0: as it is);
// false when the variable no longer exists (no error) or the conversion failed.
bool ReadParameter(BDS* ctx, const char* name, VARTYPE type, CResultVar& out)
{
    char key[VARNAMESIZE + 1];
    if (MakeNameKey(name, key) < 0)
        return false;
    int index = FindVariableByKey(ctx, key);
    if (index == 65535 || static_cast<uint32_t>(index) >= ctx->nVarUsed)
        return false;
    resultants source{};
    static_cast<ValueHead&>(source) = ctx->pVars[index];
    source.originVar = static_cast<uint16_t>(index);
    source.originScope = static_cast<uint16_t>(ctx->nScopeCurrent);
    if (!out.CopyFrom(source))
        return false;
    return out.ValueToVariantType(type) != 0;
}

}  // namespace

// ---------------------------------------------------------------- handlers

class CEventHandler {
public:
    CEventHandler(BDS* ctx, const EventBinding& binding, const char* function, uint32_t functionId)
        : ctx_(ctx), binding_(binding), functionId_(functionId)
    {
        lstrcpynA(name_, function, sizeof name_);
        VariantInit(&result_);
        InitResultValue(ctx, &controlName_, VK_RECORD, 0);
    }
    virtual ~CEventHandler()
    {
        VariantClear(&result_);
        FreeValue(ctx_, &controlName_, 0, VK_RECORD);
        if (info_)
            info_->Release();
    }

    int SetFixedCallBackParams(HWND dialog, const resultants* controlName, BSTR event, int32_t identifier, HWND host)
    {
        dialog_ = dialog;
        FreeValue(ctx_, &controlName_, 0, VK_RECORD);
        InitResultValue(ctx_, &controlName_, VK_RECORD, 0);
        if (controlName && !CopyValue(ctx_, controlName, &controlName_, 0, 0x200 | 0x20 | VK_RECORD))
            return 0;
        if (info_)
            info_->Release();
        info_ = new (std::nothrow) CEventInfo(ctx_, identifier, event ? event : L"");
        if (!info_) {
            SetError(ctx_, ERR_MEMORY);
            return 0;
        }
        isDialog_ = true;
        host_ = host;
        return 1;
    }

    // Runs the function for one event; true when it was delivered.
    bool Deliver(DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep)
    {
        BDS* ctx = ctx_;
        if (!Rebind()) {
            if (excep)
                FillExcepInfoFromError(ctx, excep, E_FAIL);
            return false;
        }
        UdfRecord* rec = UdfRecordAt(ctx, functionId_ - UDFSTART);
        ScopeSave scope{};
        bool switched = false;
        if (!isDialog_ && rec->callerScope != 0 && ctx->nScopeCurrent != 0) {
            if (!SwitchVarScope(ctx, 0, &scope)) {
                SetError(ctx, ERR_SCOPE);
                if (excep)
                    FillExcepInfoFromError(ctx, excep, E_FAIL);
                return false;
            }
            switched = true;
        }
        uint16_t savedError = ctx->nErrorCode;
        ctx->nErrorCode = 0;
        ++busy_;
        params_ = params;
        excep_ = excep;
        bodyError_ = 0;
        resultants value;
        InitResultValue(ctx, &value, VK_RECORD, 0);
        if (!isDialog_) {
            UdfNativeCallback native{PlainBinder, this};
            CallUserFunction(ctx, functionId_, &value, nullptr, &native, 3);
        } else {
            VariantClear(&result_);
            result_.vt = VT_ERROR;
            result_.scode = DISP_E_PARAMNOTFOUND;
            UdfNativeCallback native{DialogBinder, this};
            CallDialogProcedure(ctx, nullptr, dialog_, DIALOG_EVENT_COM, -1, nullptr, &native);
        }
        --busy_;
        params_ = nullptr;
        excep_ = nullptr;
        if (switched && !RestoreVarScope(ctx, &scope) && !ctx->nErrorCode)
            SetError(ctx, ERR_SCOPE);

        bool delivered = ctx->nErrorCode == 0;
        if (delivered && result) {
            if (isDialog_) {
                VariantClear(result);
                *result = result_;
                VariantInit(&result_);
            } else if (binding_.returnType != VT_VOID && binding_.returnType != VT_HRESULT
                       && binding_.returnType != VT_EMPTY) {
                CResultVar answer(ctx);
                answer.CopyFrom(value);
                if (answer.ValueToVariantType(binding_.returnType)) {
                    VariantClear(result);
                    *result = answer.v.var;
                    VariantInit(&answer.v.var);
                    answer.v.flags &= ~(VF_VARIANT | VF_COMOBJ);
                } else {
                    delivered = false;
                }
            }
        }
        FreeValue(ctx, &value, 0, VK_RECORD);
        if (!delivered) {
            if (excep && !excep->scode) {
                uint16_t now = ctx->nErrorCode;
                if (bodyError_)
                    ctx->nErrorCode = bodyError_;
                FillExcepInfoFromError(ctx, excep, E_FAIL);
                ctx->nErrorCode = now;
            }
        } else {
            ctx->nErrorCode = savedError;
        }
        return delivered;
    }

    DISPID Id() const { return binding_.id; }
    bool Busy() const { return busy_ > 0; }

    CEventHandler* next = nullptr;
    bool deleteWhenIdle = false;

private:
    // The bound function is still the one of that name; else it is looked up again.
    bool Rebind()
    {
        UdfRecord* rec = UdfRecordAt(ctx_, functionId_ - UDFSTART);
        if (rec && rec->hBody && lstrcmpiA(rec->name, name_) == 0)
            return true;
        int index = FindFunction(ctx_, name_);
        rec = index >= 0 ? UdfRecordAt(ctx_, static_cast<uint32_t>(index)) : nullptr;
        if (!rec) {
            SetError(ctx_, ERR_NO_FUNCTION);
            return false;
        }
        bool fits = isDialog_ ? rec->paramCount == DIALOG_PARAMS : ParamCountFits(rec->paramCount, binding_);
        if (!fits) {
            SetError(ctx_, ERR_PARAM_COUNT);
            return false;
        }
        functionId_ = UDFSTART + static_cast<uint32_t>(index);
        return true;
    }

    // Runs the body; keeps its error number (the call turns it into "reported" afterwards)
    // and leaves the result 0 unless the body returned a value.
    void RunBody(UdfRecord* rec, resultants* result)
    {
        uint32_t frame = ctx_->nStructDepth - 1;
        uint32_t pos = 0, first = 0;
        FetchStatementLine(ctx_, result, rec->hBody, rec->bodyLength, &first, &pos);
        if (frame < ctx_->nStructDepth && !ctx_->aStructFrames[frame].returned) {
            FreeValue(ctx_, result, 0, VK_RECORD);
            InitResultValue(ctx_, result, VK_RECORD, 0);
        }
        bodyError_ = ctx_->nErrorCode;
        if (bodyError_ && excep_) {
            FillExcepInfoFromError(ctx_, excep_, E_FAIL);
        }
    }

    static int PlainBinder(BDS* ctx, resultants* result, void* argument)
    {
        auto* self = static_cast<CEventHandler*>(argument);
        UdfRecord* rec = UdfRecordAt(ctx, self->functionId_ - UDFSTART);
        if (!rec)
            return 0;
        DISPPARAMS* p = self->params_;
        uint32_t argc = p ? p->cArgs : 0;
        for (uint32_t i = 0; i < rec->paramCount; ++i) {
            VARIANT* arg = i < argc ? ArgumentFor(p, i) : nullptr;
            if (!SetParameter(ctx, rec->params[i], arg))
                return 0;
        }
        char params[UDF_MAX_PARAMS][UDF_NAME_SIZE];
        uint32_t count = rec->paramCount;
        std::memcpy(params, rec->params, sizeof params);
        self->RunBody(rec, result);
        if (ctx->nErrorCode)
            return 1;
        // By-reference arguments take the parameters' values back.
        for (uint32_t i = 0; i < argc && i < count && !ctx->nErrorCode; ++i) {
            VARIANT* arg = ArgumentFor(p, i);
            if (!arg || !(arg->vt & VT_BYREF))
                continue;
            if (i < self->binding_.flags.size()) {
                uint16_t f = self->binding_.flags[i];
                if (f != 0 && !(f & PARAMFLAG_FOUT))
                    continue;
            }
            VARTYPE base = arg->vt & ~VT_BYREF;
            CResultVar now(ctx);
            if (!ReadParameter(ctx, params[i], base == VT_VARIANT ? 0 : base, now)) {
                if (ctx->nErrorCode == 0)
                    continue;
                break;
            }
            SetOutParameter(ctx, now.v.var, arg);
        }
        return 1;
    }

    static int DialogBinder(BDS* ctx, resultants* result, void* argument)
    {
        auto* self = static_cast<CEventHandler*>(argument);
        SetResultInt(ctx, result, 0);
        UdfRecord* rec = UdfRecordAt(ctx, self->functionId_ - UDFSTART);
        if (!rec)
            return 0;
        if (rec->paramCount != DIALOG_PARAMS) {
            SetError(ctx, ERR_PARAM_COUNT);
            return 1;
        }
        DISPPARAMS* p = self->params_;
        uint32_t argc = p ? p->cArgs : 0;
        CEventInfo* info = self->info_;
        info->ClearReturn();
        for (uint32_t i = 0; i < argc; ++i) {
            HRESULT hr = info->StoreParameter(i, *ArgumentFor(p, i));
            if (FAILED(hr)) {
                SetError(ctx, HresultToErrorNumber(ctx, hr, "CEventHandler::ProcessDialogCallbackEventHandler"));
                return 1;
            }
        }
        resultants values[DIALOG_PARAMS];
        for (auto& v : values)
            InitResultValue(ctx, &v, VK_RECORD, 0);
        SetResultInt(ctx, &values[0], static_cast<int32_t>(reinterpret_cast<INT_PTR>(self->dialog_)));
        SetResultInt(ctx, &values[1], DIALOG_EVENT_COM);
        CopyValue(ctx, &self->controlName_, &values[2], 0, 0x200 | 0x20 | VK_RECORD);
        bool ok = true;
        {
            CResultVar object(ctx);
            VARIANT disp;
            VariantInit(&disp);
            disp.vt = VT_DISPATCH;
            disp.pdispVal = info;
            if (!object.VariantCopyToValue(disp) || !IsObjectValue(&object.v)) {
                if (!ctx->nErrorCode)
                    SetError(ctx, ERR_NULL_OBJECT);
                ok = false;
            } else {
                CopyValue(ctx, &object.v, &values[3], 0, 0x400 | 0x20 | VK_RECORD);
            }
        }
        for (uint32_t i = 0; ok && i < DIALOG_PARAMS; ++i)
            ok = SetVariableFromValue(ctx, rec->params[i], &values[i]) != 0;
        for (auto& v : values)
            FreeValue(ctx, &v, 0, VK_RECORD);
        if (!ok)
            return 1;
        self->RunBody(rec, result);
        if (ctx->nErrorCode)
            return 1;
        for (uint32_t i = 0; i < argc && !ctx->nErrorCode; ++i) {
            VARIANT* arg = ArgumentFor(p, i);
            if (!arg || !(arg->vt & VT_BYREF))
                continue;
            CEventParameter* parameter = info->ParameterAt(i);
            VARIANT now;
            VariantInit(&now);
            HRESULT hr = parameter ? parameter->Read(&now) : E_INVALIDARG;
            if (SUCCEEDED(hr) && now.vt == VT_ERROR && parameter && FAILED(parameter->lastResult))
                hr = parameter->lastResult;
            if (FAILED(hr)) {
                SetError(ctx, HresultToErrorNumber(ctx, hr, "CEventHandler::ProcessDialogCallbackEventHandler"));
                break;
            }
            SetOutParameter(ctx, now, arg);
            VariantClear(&now);
        }
        VariantClear(&self->result_);
        const VARIANT& answer = info->ReturnValue();
        if (answer.vt == VT_EMPTY) {
            self->result_.vt = VT_ERROR;
            self->result_.scode = DISP_E_PARAMNOTFOUND;
        } else {
            VariantCopy(&self->result_, const_cast<VARIANT*>(&answer));
        }
        return 1;
    }

    BDS* ctx_;
    EventBinding binding_;
    uint32_t functionId_;
    char name_[32];
    VARIANT result_;
    int32_t busy_ = 0;
    bool isDialog_ = false;
    HWND dialog_ = nullptr;
    resultants controlName_;
    CEventInfo* info_ = nullptr;
    HWND host_ = nullptr;
    DISPPARAMS* params_ = nullptr;
    EXCEPINFO* excep_ = nullptr;
    uint16_t bodyError_ = 0;
};

// ---------------------------------------------------------------- the sink

CComSink::CComSink(IUnknown* source, ITypeInfo* sourceType, const IID& iid, uint32_t autoAdvise)
    : iid_(iid), source_(source), sourceType_(sourceType), autoAdvise_(autoAdvise)
{
    if (source_)
        source_->AddRef();
    if (sourceType_)
        sourceType_->AddRef();
    VariantInit(&scratch_);
}

CComSink::~CComSink()
{
    while (first_) {
        CEventHandler* next = first_->next;
        delete first_;
        first_ = next;
    }
    if (advised_)
        Unadvise();
    VariantClear(&scratch_);
    if (sourceType_)
        sourceType_->Release();
    if (source_)
        source_->Release();
}

HRESULT STDMETHODCALLTYPE CComSink::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_NOINTERFACE;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CComSink::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE CComSink::Release()
{
    if (refs_ <= 0)
        return 0;
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT STDMETHODCALLTYPE CComSink::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CComSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CComSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CComSink::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO* excep, UINT*)
{
    if (iid != IID_NULL)
        return E_INVALIDARG;
    if (!result) {
        VariantClear(&scratch_);
        result = &scratch_;
    }
    VariantInit(result);
    if (excep)
        std::memset(excep, 0, sizeof *excep);
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    if (!first_) {
        Unadvise();
        return DISP_E_MEMBERNOTFOUND;
    }
    if (InterlockedIncrement(&reentry_) > 1) {
        InterlockedDecrement(&reentry_);
        return DISP_E_MEMBERNOTFOUND;
    }
    AddRef();   // a handler may drop the last use of this sink
    CEventHandler* handler = first_;
    while (handler && handler->Id() != id)
        handler = handler->next;
    bool delivered = false;
    if (handler) {
        delivered = handler->Deliver(params, result, excep);
        if (handler->deleteWhenIdle && !handler->Busy())
            delete handler;
    }
    InterlockedDecrement(&reentry_);
    Release();
    if (delivered)
        return S_OK;
    return (excep && excep->scode) ? DISP_E_EXCEPTION : DISP_E_MEMBERNOTFOUND;
}

HRESULT CComSink::Bind(BSTR event, EventBinding* binding)
{
    if (!sourceType_)
        return DISP_E_MEMBERNOTFOUND;
    ITypeComp* comp = nullptr;
    HRESULT hr = sourceType_->GetTypeComp(&comp);
    if (FAILED(hr))
        return hr;
    ITypeInfo* found = nullptr;
    DESCKIND kind = DESCKIND_NONE;
    BINDPTR bound{};
    ULONG hash = LHashValOfNameSys(SYS_WIN32, 0, event);
    hr = comp->Bind(event, hash, INVOKE_FUNC, &found, &kind, &bound);
    comp->Release();
    if (FAILED(hr))
        return hr;
    if (kind != DESCKIND_FUNCDESC) {
        if (kind == DESCKIND_VARDESC && found)
            found->ReleaseVarDesc(bound.lpvardesc);
        else if (kind == DESCKIND_TYPECOMP && bound.lptcomp)
            bound.lptcomp->Release();
        if (found)
            found->Release();
        return DISP_E_MEMBERNOTFOUND;
    }
    const FUNCDESC* f = bound.lpfuncdesc;
    binding->id = f->memid;
    binding->paramCount = static_cast<uint32_t>(f->cParams);
    binding->optionalCount = static_cast<uint32_t>(f->cParamsOpt);
    binding->flags.resize(binding->paramCount);
    for (uint32_t i = 0; i < binding->paramCount; ++i)
        binding->flags[i] = f->lprgelemdescParam[i].paramdesc.wParamFlags;
    binding->returnType = f->elemdescFunc.tdesc.vt;
    if (binding->returnType == VT_USERDEFINED || binding->returnType == VT_PTR)
        binding->returnType = VT_VARIANT;
    found->ReleaseFuncDesc(bound.lpfuncdesc);
    found->Release();
    return S_OK;
}

bool CComSink::BindOrFail(BDS* ctx, BSTR event, EventBinding* binding, const char* operation)
{
    HRESULT hr = Bind(event, binding);
    if (SUCCEEDED(hr))
        return true;
    SetError(ctx, hr == DISP_E_MEMBERNOTFOUND ? ERR_NO_EVENT : HresultToErrorNumber(ctx, hr, operation));
    return false;
}

void CComSink::Unlink(CEventHandler* handler, CEventHandler* previous)
{
    if (previous)
        previous->next = handler->next;
    else
        first_ = handler->next;
    handler->next = nullptr;
    if (handler->Busy())
        handler->deleteWhenIdle = true;
    else
        delete handler;
}

int CComSink::AddEvent(BDS* ctx, BSTR event, const char* function, HWND dialog, const resultants* controlName,
                       int32_t identifier, HWND hostWindow)
{
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    EventBinding binding;
    if (!BindOrFail(ctx, event, &binding, "CComSink::AddEvent"))
        return 0;
    int index = FindFunction(ctx, function);
    UdfRecord* rec = index >= 0 ? UdfRecordAt(ctx, static_cast<uint32_t>(index)) : nullptr;
    if (!rec) {
        SetError(ctx, ERR_NO_FUNCTION);
        return 0;
    }
    if (!dialog && !ParamCountFits(rec->paramCount, binding)) {
        SetError(ctx, ERR_PARAM_COUNT);
        return 0;
    }
    CEventHandler* previous = nullptr;
    for (CEventHandler* h = first_; h; previous = h, h = h->next) {
        if (h->Id() == binding.id) {
            Unlink(h, previous);
            break;
        }
    }
    auto* handler = new (std::nothrow) CEventHandler(ctx, binding, function, UDFSTART + static_cast<uint32_t>(index));
    if (!handler) {
        SetError(ctx, ERR_MEMORY);
        return 0;
    }
    CEventHandler** tail = &first_;
    while (*tail)
        tail = &(*tail)->next;
    *tail = handler;
    if (dialog && !handler->SetFixedCallBackParams(dialog, controlName, event, identifier, hostWindow)
        && !ctx->nErrorCode)
        SetError(ctx, ERR_MEMORY);
    if (!ctx->nErrorCode && !advised_ && autoAdvise_) {
        HRESULT hr = Advise();
        if (FAILED(hr))
            SetError(ctx, HresultToErrorNumber(ctx, hr, "CComSink::AddEvent"));
    }
    if (ctx->nErrorCode)
        return 0;
    ctx->nErrorCode = saved;
    return 1;
}

int CComSink::RemoveEvent(BDS* ctx, BSTR event)
{
    if (!first_) {
        SetError(ctx, ERR_NO_EVENT);
        return 0;
    }
    EventBinding binding;
    if (!BindOrFail(ctx, event, &binding, "CComSink::RemoveEvent"))
        return 0;
    CEventHandler* previous = nullptr;
    for (CEventHandler* h = first_; h; previous = h, h = h->next) {
        if (h->Id() == binding.id) {
            bool busy = h->Busy();
            Unlink(h, previous);
            if (!busy && !first_)
                Unadvise();
            return 1;
        }
    }
    SetError(ctx, ERR_NO_EVENT);
    return 0;
}

HRESULT CComSink::FindPoint(IConnectionPoint** point)
{
    *point = nullptr;
    IConnectionPointContainer* container = nullptr;
    HRESULT hr = source_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (FAILED(hr))
        return hr;
    hr = container->FindConnectionPoint(iid_, point);
    container->Release();
    return hr;
}

HRESULT CComSink::Advise()
{
    if (!source_)
        return E_INVALIDARG;
    if (advised_)
        return S_OK;
    IConnectionPoint* point = nullptr;
    HRESULT hr = FindPoint(&point);
    if (SUCCEEDED(hr)) {
        hr = point->Advise(static_cast<IDispatch*>(this), &cookie_);
        if (SUCCEEDED(hr))
            advised_ = 1;
        point->Release();
    }
    return hr;
}

HRESULT CComSink::Unadvise()
{
    if (!source_)
        return E_INVALIDARG;
    if (!advised_)
        return S_OK;
    IConnectionPoint* point = nullptr;
    HRESULT hr = FindPoint(&point);
    if (SUCCEEDED(hr)) {
        AddRef();   // the connection's reference may be this sink's last
        hr = point->Unadvise(cookie_);
        if (SUCCEEDED(hr))
            advised_ = 0;
        point->Release();
        Release();
    }
    return hr;
}

void CComSink::AddUse()
{
    InterlockedIncrement(&uses_);
    AddRef();
}

void CComSink::DropUse()
{
    if (InterlockedDecrement(&uses_) <= 0)
        Unadvise();
    Release();
}

// ---------------------------------------------------------------- finding the source

namespace {

// The default source interface of a coclass.
HRESULT DefaultSourceOf(ITypeInfo* coclass, ITypeInfo** out)
{
    TYPEATTR* attr = nullptr;
    HRESULT hr = coclass->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    WORD count = attr->typekind == TKIND_COCLASS ? attr->cImplTypes : 0;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)))
            continue;
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE ref = 0;
        hr = coclass->GetRefTypeOfImplType(i, &ref);
        if (SUCCEEDED(hr))
            hr = coclass->GetRefTypeInfo(ref, out);
        return hr;
    }
    return E_NOINTERFACE;
}

// Whether a coclass lists the interface `iid` among its implemented (non-source) ones.
bool CoclassImplements(ITypeInfo* coclass, const GUID& iid)
{
    TYPEATTR* attr = nullptr;
    if (FAILED(coclass->GetTypeAttr(&attr)))
        return false;
    WORD count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ITypeInfo* implemented = nullptr;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || (flags & IMPLTYPEFLAG_FSOURCE)
            || FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, &implemented)))
            continue;
        TYPEATTR* a = nullptr;
        bool same = false;
        if (SUCCEEDED(implemented->GetTypeAttr(&a))) {
            same = a->guid == iid;
            implemented->ReleaseTypeAttr(a);
        }
        implemented->Release();
        if (same)
            return true;
    }
    return false;
}

// The coclass of an object: through IProvideClassInfo, else the first coclass of its
// dispatch type's library that implements that type.
HRESULT FindCoclass(IDispatch* object, ITypeInfo** out)
{
    *out = nullptr;
    IProvideClassInfo* provider = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provider)))) {
        HRESULT hr = provider->GetClassInfo(out);
        provider->Release();
        if (SUCCEEDED(hr) && *out)
            return hr;
    }
    ITypeInfo* dispType = nullptr;
    HRESULT hr = object->GetTypeInfo(0, COM_LOCALE, &dispType);
    if (FAILED(hr) || !dispType)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    GUID iid{};
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(dispType->GetTypeAttr(&attr))) {
        iid = attr->guid;
        dispType->ReleaseTypeAttr(attr);
    }
    ITypeLib* lib = nullptr;
    UINT index = 0;
    hr = dispType->GetContainingTypeLib(&lib, &index);
    dispType->Release();
    if (FAILED(hr))
        return hr;
    hr = E_NOINTERFACE;
    UINT count = lib->GetTypeInfoCount();
    for (UINT i = 0; i < count && !*out; ++i) {
        TYPEKIND kind;
        ITypeInfo* candidate = nullptr;
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS || FAILED(lib->GetTypeInfo(i, &candidate)))
            continue;
        if (CoclassImplements(candidate, iid)) {
            *out = candidate;
            hr = S_OK;
        } else {
            candidate->Release();
        }
    }
    lib->Release();
    return hr;
}

}  // namespace

HRESULT CSinkBuilder::FindSourceInterface(IDispatch* object, CComSink** out)
{
    *out = nullptr;
    if (!object)
        return E_INVALIDARG;
    ITypeInfo* coclass = nullptr;
    HRESULT hr = FindCoclass(object, &coclass);
    if (FAILED(hr))
        return hr;
    ITypeInfo* source = nullptr;
    hr = DefaultSourceOf(coclass, &source);
    coclass->Release();
    if (FAILED(hr))
        return hr;
    TYPEATTR* attr = nullptr;
    hr = source->GetTypeAttr(&attr);
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    IID iid = attr->guid;
    source->ReleaseTypeAttr(attr);
    IUnknown* unknown = nullptr;
    hr = object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    auto* sink = new (std::nothrow) CComSink(unknown, source, iid, autoAdvise_);
    unknown->Release();
    source->Release();
    if (!sink)
        return E_OUTOFMEMORY;
    (void)ctx_;
    *out = sink;
    return S_OK;
}

// ---------------------------------------------------------------- out parameters

int SetOutParameter(BDS* ctx, const VARIANT& value, VARIANT* target)
{
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopyInd(&copy, const_cast<VARIANT*>(&value));
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "CEventHandler::SetOutParameter"));
        return 0;
    }
    VARTYPE vt = target->vt;
    if (!(vt & VT_BYREF)) {
        VariantClear(target);
        *target = copy;
        return 1;
    }
    if (vt & VT_ARRAY) {
        if (*target->pparray)
            SafeArrayDestroy(*target->pparray);
        *target->pparray = (copy.vt & VT_ARRAY) ? copy.parray : nullptr;
        if (!(copy.vt & VT_ARRAY))
            VariantClear(&copy);
        return 1;
    }
    switch (vt & VT_TYPEMASK) {
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        *target->piVal = copy.iVal;
        break;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
    case VT_UI4:
        *target->plVal = copy.lVal;
        break;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        *target->pllVal = copy.llVal;
        break;
    case VT_I1:
    case VT_UI1:
        *target->pbVal = copy.bVal;
        break;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        VARIANT old;
        VariantInit(&old);
        old.vt = vt & VT_TYPEMASK;
        old.byref = *static_cast<void**>(target->byref);
        VariantClear(&old);
        *static_cast<void**>(target->byref) = copy.byref;
        break;
    }
    case VT_VARIANT:
        VariantClear(target->pvarVal);
        *target->pvarVal = copy;
        break;
    default:
        VariantClear(target);
        *target = copy;
        break;
    }
    return 1;
}
