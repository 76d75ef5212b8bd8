// Member-access expressions: finding the object behind the leading variable, one
// IDispatch call per member of the chain, by-reference write-back and error reports.
#include "engine/com/com_invoke.h"

#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/com/com_adapter.h"
#include "engine/com/com_constants.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_params.h"
#include "engine/com/com_parse.h"
#include "engine/com/com_safearray.h"
#include "engine/core/errors.h"
#include "engine/core/eval_internal.h"
#include "engine/core/evaluator.h"
#include "engine/core/tokenizer.h"

namespace {

constexpr size_t MEMBER_NAME_SIZE = 2051;
constexpr int MAX_ELEMENT_LEVELS = 8;

class CInvoke {
public:
    explicit CInvoke(BDS* ctx) : ctx_(ctx), owned_(ctx) {}
    virtual ~CInvoke() = default;

    int Execute(const char* text, CResultVar& result);

private:
    BDS* ctx_;
    CResultVar owned_;              // an object made for this expression
    CComObjectAg* object_ = nullptr;
    uint16_t var_ = ORIGIN_NONE;    // the script value that holds the object
    uint64_t element_ = ~0ull;
    uint16_t scope_ = 0xFFFF;

    int ResolveObjectReference(CParseObject& parser);
    int ResolveSafeArrayElement(const ValueHead& head);
    int UseValue(const ValueHead& head, bool fresh);
    int InvokeMember(CComObjectAg* object, CParseObject& parser, const char* name, CResultVar& result);
    int WriteBackArguments(CDispParams& params, std::vector<CallArgument>& args);
    void ReportInvokeError(HRESULT hr, bool isPut, EXCEPINFO& info, UINT argError,
                           std::vector<CallArgument>& args);
};

// The object in `head`: an object value is borrowed (or owned when the head is a fresh
// copy); a COM variant holding an IDispatch is made an object value of our own.
int CInvoke::UseValue(const ValueHead& head, bool fresh)
{
    if (CComObjectAg* object = ObjectOf(&head)) {
        if (!object->Dispatch() && !object->HasConstants()) {
            SetError(ctx_, 1540);
            return 0;
        }
        object_ = object;
        return 1;
    }
    if (!(head.flags & VF_VARIANT)) {
        SetError(ctx_, 3131);
        return 0;
    }
    owned_.Release();
    owned_.v.var = head.var;
    owned_.v.flags = VF_VARIANT;
    if (!fresh) {   // borrowed from a variable: the object value made here is our own
        ValueHead copy{};
        if (!VariantToValueCopy(ctx_, VF_VARIANT, &head, &copy)) {
            owned_.Detach();
            return 0;
        }
        owned_.v.var = copy.var;
    }
    if (!owned_.ValueToObjectValue()) {
        if (!ctx_->nErrorCode)
            SetError(ctx_, 1540);
        return 0;
    }
    object_ = ObjectOf(&owned_.v);
    return 1;
}

int CInvoke::ResolveSafeArrayElement(const ValueHead& head)
{
    CResultVar current(ctx_);
    SAFEARRAY* array = SafeArrayOfValue(&head);
    for (int level = 0;; ++level) {
        if (level >= MAX_ELEMENT_LEVELS) {
            SetError(ctx_, 1633);
            return 0;
        }
        int32_t subscripts[MAX_SAFEARRAY_SUBSCRIPTS];
        int count = ParseSafeArraySubscripts(ctx_, subscripts);
        if (count <= 0) {
            if (count == 0 && !ctx_->nErrorCode)
                SetError(ctx_, 1632);
            return 0;
        }
        CResultVar element(ctx_);
        if (!SafeArrayReadElement(ctx_, array, count, subscripts, element)) {
            if (!ctx_->nErrorCode)
                SetError(ctx_, 3815);
            return 0;
        }
        current.Release();
        current.v = element.v;
        element.Detach();
        if (HoldsSafeArray(&current.v) && LineContinuesWith(ctx_, '[')) {
            array = SafeArrayOfValue(&current.v);
            continue;
        }
        break;
    }
    owned_.Release();
    owned_.v = current.v;
    current.Detach();
    if (IsObjectValue(&owned_.v)) {
        object_ = ObjectOf(&owned_.v);
        return 1;
    }
    if (!(owned_.v.flags & VF_VARIANT)) {
        SetError(ctx_, 3131);
        return 0;
    }
    if (!owned_.ValueToObjectValue())
        return 0;
    object_ = ObjectOf(&owned_.v);
    return 1;
}

int CInvoke::ResolveObjectReference(CParseObject& parser)
{
    char name[VARNAMESIZE + 1];
    if (!parser.TakeMemberName(name, sizeof name)) {
        if (!ctx_->nErrorCode)
            SetError(ctx_, 3246);
        return 0;
    }
    const ValueHead* head = nullptr;
    ScopeVisit visit;
    if (ctx_->front.bDereference) {
        ctx_->front.bDereference = 0;
        int index = find_var(ctx_, name, 1);
        uint32_t slot = 0;
        uint16_t target = 0;
        if (index < 0 || !ResolveHeldPointer(ctx_, &ctx_->pVars[index], &slot, &target))
            return 0;
        if (!EnterScope(ctx_, &visit, slot))
            return 0;
        head = &ctx_->pVars[target];
        var_ = target;
        scope_ = static_cast<uint16_t>(slot);
    } else {
        int index = find_var(ctx_, name, 1);
        if (index < 0) {
            ctx_->nErrorCode = 0;
            SetError(ctx_, 3246);
            return 0;
        }
        head = &ctx_->pVars[index];
        var_ = static_cast<uint16_t>(index);
        scope_ = static_cast<uint16_t>(ctx_->nScopeCurrent);
    }
    int ok;
    if (head->flags & VF_ARRAY) {
        get_token(ctx_);
        if (ctx_->nErrorCode)
            return 0;
        if (!AtKeyword(ctx_, KID_LBRACKET)) {
            SetError(ctx_, 1632);
            return 0;
        }
        int depth = 0;
        ArrayElement* element = nullptr;
        if (!EvalSubscript(ctx_, ValueArray(head), &depth, &element))
            return 0;
        var_ = ORIGIN_ELEMENT;
        element_ = reinterpret_cast<uint64_t>(element);
        ok = UseValue(*element, false);
    } else if (HoldsSafeArray(head)) {
        var_ = ORIGIN_NONE;
        ok = ResolveSafeArrayElement(*head);
    } else {
        ok = UseValue(*head, false);
    }
    if (!LeaveScope(&visit) && ok) {
        SetError(ctx_, 3816);
        return 0;
    }
    return ok;
}

int CInvoke::Execute(const char* text, CResultVar& result)
{
    CParseObject parser(ctx_, text);
    if (!ResolveObjectReference(parser))
        return 0;
    if (!object_->Dispatch()) {
        if (!object_->HasConstants()) {
            SetError(ctx_, 1540);
            return 0;
        }
        char name[MEMBER_NAME_SIZE];
        if (!parser.ParseConstantName(name, sizeof name))
            return 0;
        return ConstantLookup(ctx_, *object_->constants, name, result);
    }
    char member[MEMBER_NAME_SIZE];
    if (!parser.ParseMemberName(member, sizeof member)) {
        if (!ctx_->nErrorCode)
            SetError(ctx_, 3074);
        return 0;
    }
    return InvokeMember(object_, parser, member, result);
}

int CInvoke::InvokeMember(CComObjectAg* object, CParseObject& parser, const char* name, CResultVar& result)
{
    CDispParams params;
    std::vector<CallArgument> args;
    CResultVar putValue(ctx_);
    bool isPut = false;
    CParamsBuilder builder(object);
    HRESULT hr = builder.Build(ctx_, name, parser, putValue, args, params, &isPut);
    if (FAILED(hr)) {
        if (!ctx_->nErrorCode)
            SetError(ctx_, HresultToErrorNumber(ctx_, hr, "BuildParams"));
        return 0;
    }
    WORD kind = isPut ? ChoosePropertyPutKind(params) : WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    VARIANT answer;
    VariantInit(&answer);
    EXCEPINFO info{};
    UINT argError = 0;
    hr = object->Dispatch()->Invoke(params.desc.memberId, IID_NULL, COM_LOCALE, kind, &params.dp,
                                    &answer, &info, &argError);
    if (FAILED(hr)) {
        ReportInvokeError(hr, isPut, info, argError, args);
        VariantClear(&answer);
        return 0;
    }
    if (!WriteBackArguments(params, args)) {
        VariantClear(&answer);
        return 0;
    }
    char next[MEMBER_NAME_SIZE];
    if (parser.ParseMemberName(next, sizeof next)) {
        IDispatch* disp = GetDispatchFromVariant(ctx_, answer);
        VariantClear(&answer);
        if (!disp) {
            if (!ctx_->nErrorCode)
                SetError(ctx_, 3131);
            return 0;
        }
        ValueHead temporary{};
        int ok = WrapDispatchAsObject(ctx_, disp, false, &temporary);
        disp->Release();
        if (!ok)
            return 0;
        ok = InvokeMember(ObjectOf(&temporary), parser, next, result);
        ValueReleaseComPayload(temporary.flags, &temporary);
        return ok;
    }
    if (ctx_->nErrorCode) {
        VariantClear(&answer);
        return 0;
    }
    if (!isPut)
        result.VariantCopyToValue(answer);
    VariantClear(&answer);
    return ctx_->nErrorCode ? 0 : 1;
}

int CInvoke::WriteBackArguments(CDispParams& params, std::vector<CallArgument>& args)
{
    size_t total = params.args.size();
    for (size_t i = 0; i < args.size(); ++i) {
        CResultVar& arg = *args[i].value;
        VARIANT& passed = params.args[total - 1 - i];
        if ((arg.v.flags & VF_BINBUF) && (arg.v.flags & VF_INT)) {
            if (!(arg.v.var.vt & VT_BYREF))
                arg.v.var = passed;
            if (!arg.WriteBackToBuffer())
                return 0;
            continue;
        }
        uint16_t flags = ParamsArgFlags(params, static_cast<uint32_t>(i));
        if (flags && !(flags & PARAMFLAG_FOUT))
            continue;
        if (arg.v.originVar == ORIGIN_NONE)
            continue;
        bool sameHolder = arg.v.originVar == var_ && arg.v.originScope == scope_ &&
                          (var_ != ORIGIN_ELEMENT || arg.v.originAddr == element_);
        if (sameHolder)
            continue;
        if (!(arg.v.var.vt & VT_BYREF))
            arg.v.var = passed;
        if (!arg.WriteBack())
            return 0;
    }
    return 1;
}

void CInvoke::ReportInvokeError(HRESULT hr, bool isPut, EXCEPINFO& info, UINT argError,
                                std::vector<CallArgument>& args)
{
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) != S_OK)
        error = nullptr;
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        SCODE code = info.scode ? info.scode : static_cast<SCODE>(info.wCode);
        RecordComException(ctx_, COM_EXCEPTION_TITLE, info.bstrSource, info.bstrDescription, code);
        SysFreeString(info.bstrHelpFile);
    } else if (error) {
        BSTR source = nullptr, description = nullptr;
        error->GetSource(&source);
        error->GetDescription(&description);
        RecordComException(ctx_, COM_EXCEPTION_TITLE, source, description, 0);
    } else if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && !isPut) {
        auto count = static_cast<int>(args.size());
        int n = count - static_cast<int>(argError);
        if (n >= 1 && n <= count) {
            const resultants& arg = args[static_cast<size_t>(n - 1)].value->v;
            char what[64];
            if (arg.originVar > 0 && arg.originVar < ORIGIN_ELEMENT && arg.originScope == ctx_->nScopeCurrent &&
                arg.originVar < ctx_->nVarUsed)
                lstrcpynA(what, ctx_->pVars[arg.originVar].name, sizeof what);
            else
                std::snprintf(what, sizeof what, "parameter %d", n);
            char text[160];
            std::snprintf(text, sizeof text, "%s:\n\n    %s", "Method Parameter", what);
            AppendExtendedError(ctx_, text);
        }
    }
    SetError(ctx_, HresultToErrorNumber(ctx_, hr, "InvokeMember"));
    if (error)
        error->Release();
}

}  // namespace

void DoOleObject(BDS* ctx, const char* text, resultants* result)
{
    if (!EnsureOle(ctx))
        return;
    CResultVar answer(ctx);
    {
        CInvoke invoke(ctx);
        invoke.Execute(text, answer);
    }
    if (!ctx->nErrorCode)
        answer.CopyOut(result, true);
}
