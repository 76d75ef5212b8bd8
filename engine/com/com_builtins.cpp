// The Object built-ins: creation and attachment (CreateObject, ObjectCreate, GetObject,
// ObjectGet, ObjectOpen, ObjectAccess), ObjectClose, ObjectType, the collection and
// constants built-ins, BinaryAllocArray, and the object expression (keyword 34).
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <new>
#include <string>

#include "engine/com/com_adapter.h"
#include "engine/com/com_collection.h"
#include "engine/com/com_constants.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_invoke.h"
#include "engine/com/com_names.h"
#include "engine/com/com_parse.h"
#include "engine/com/com_safearray.h"
#include "engine/core/builtin.h"
#include "engine/core/eval_internal.h"
#include "engine/core/evaluator.h"
#include "engine/core/tokenizer.h"
#include "engine/core/varptr.h"

namespace {

enum : uint16_t {
    KID_BINARYALLOCARRAY = 296, KID_CREATEOBJECT = 377, KID_GETOBJECT = 513,
    KID_OBJECTACCESS = 584, KID_OBJECTCLOSE = 585, KID_COLLECTIONCLOSE = 589,
    KID_COLLECTIONNEXT = 590, KID_COLLECTIONOPEN = 591, KID_CONSTANTSGET = 592,
    KID_CONSTTOARRAY = 593, KID_OBJECTCREATE = 594, KID_OBJECTGET = 597, KID_OBJECTOPEN = 598,
    KID_OBJECTTYPE = 599,
};

bool Next(BDS* ctx)
{
    get_token(ctx);
    return ctx->nErrorCode == 0;
}

// A name as wide text in the context's code page (1491 when it cannot be converted).
bool WideName(BDS* ctx, const char* text, std::wstring* out)
{
    int length = static_cast<int>(std::strlen(text));
    int units = length ? MultiByteToWideChar(ComCodePage(ctx), 0, text, length, nullptr, 0) : 0;
    if (length && units <= 0) {
        SetError(ctx, 1491);
        return false;
    }
    out->assign(static_cast<size_t>(units), L'\0');
    if (units)
        MultiByteToWideChar(ComCodePage(ctx), 0, text, length, out->data(), units);
    return true;
}

// ---------------------------------------------------------------- creation and attachment

void CreateObjectCase(BDS* ctx, BuiltinCall& call)
{
    CResultVar result(ctx);
    const wchar_t* machine = HasArg(call, 2) ? ArgWText(ctx, call, 2) : nullptr;
    ComAdapter().ObjectCreate(ctx, ArgWText(ctx, call, 1), machine, result);
    result.HandBack(call.result);
}

// The list of ObjectGet: up to two arguments, either may be left empty; the current token
// is "(" and ")" is left current.
void ObjectGetCase(BDS* ctx, BuiltinCall& call)
{
    CResultVar args[2] = {CResultVar(ctx), CResultVar(ctx)};
    bool given[2] = {false, false};
    if (!Next(ctx))
        return;
    int i = 0;
    while (!AtKeyword(ctx, KID_RPAREN)) {
        if (i >= 2 || ctx->nTokenKind == TK_END) {
            SetError(ctx, 3066);
            return;
        }
        if (AtKeyword(ctx, KID_COMMA)) {
            ++i;
            if (!Next(ctx))
                return;
            continue;
        }
        if (!AdoptExpression(ctx, args[i]))
            return;
        given[i] = true;
        if (AtKeyword(ctx, KID_COMMA)) {
            ++i;
            if (!Next(ctx))
                return;
            if (i >= 2 && !AtKeyword(ctx, KID_RPAREN)) {
                SetError(ctx, 3066);
                return;
            }
            continue;
        }
        if (!AtKeyword(ctx, KID_RPAREN)) {
            SetError(ctx, 3068);
            return;
        }
        ++i;
    }
    const wchar_t* names[2] = {nullptr, nullptr};
    for (int k = 0; k < 2; ++k) {
        if (!given[k])
            continue;
        if (!ValueToWide(ctx, &args[k].v)) {
            if (!ctx->nErrorCode)
                SetError(ctx, 3056);
            return;
        }
        names[k] = ValueWText(ctx, &args[k].v);
    }
    CResultVar result(ctx);
    ComAdapter().GetObject(ctx, names[0], names[1], result);
    result.HandBack(call.result);
}

void ObjectOpenCase(BDS* ctx, BuiltinCall& call)
{
    std::wstring name;
    if (!HasArg(call, 1) || !WideName(ctx, ArgText(ctx, call, 1), &name))
        return;
    CResultVar result(ctx);
    if (IsMonikerName(name.c_str()))
        ComAdapter().GetObject(ctx, name.c_str(), nullptr, result);
    else
        ComAdapter().ObjectCreate(ctx, name.c_str(), nullptr, result);
    result.HandBack(call.result);
}

void ObjectAccessCase(BDS* ctx, BuiltinCall& call)
{
    std::wstring name;
    if (!WideName(ctx, ArgText(ctx, call, 1), &name))
        return;
    bool moniker = IsMonikerName(name.c_str());
    CResultVar result(ctx);
    if (moniker)
        ComAdapter().GetObject(ctx, name.c_str(), nullptr, result);
    else
        ComAdapter().GetObject(ctx, nullptr, name.c_str(), result);
    if (ctx->nErrorCode && ArgInt(call, 2) != 0) {
        SetError(ctx, 0);
        ComAdapter().ObjectCreate(ctx, moniker ? nullptr : name.c_str(), nullptr, result);
    }
    result.HandBack(call.result);
}

// ---------------------------------------------------------------- ObjectClose

bool ClosableCom(const ValueHead& v)
{
    if (IsObjectValue(&v))
        return true;
    if (!(v.flags & VF_VARIANT))
        return false;
    VARTYPE t = v.var.vt;
    return t == VT_DISPATCH || t == VT_UNKNOWN || t == (VT_DISPATCH | VT_BYREF) || t == (VT_UNKNOWN | VT_BYREF);
}

// The variable or element loses its COM data and becomes the integer 0.
void CloseValue(BDS* ctx, ValueHead* target)
{
    if (target->flags & VF_VARIANT)
        ValueReleaseComPayload(target->flags, target);
    if ((target->flags & VF_STRING) && target->str)
        VFree(ctx, target->str);
    if ((target->flags & VF_UNICODE) && target->wstr)
        VFree(ctx, target->wstr);
    VariantInit(&target->var);
    target->str = target->wstr = 0;
    target->i64 = 0;
    target->i32 = 0;
    target->flags = VF_INT;
}

void ObjectCloseCase(BDS* ctx, BuiltinCall& call)
{
    resultants& arg = call.args[1];
    if (arg.originVar == ORIGIN_NONE || !ClosableCom(arg)) {
        SetError(ctx, 3130);
        return;
    }
    if (arg.originVar == ORIGIN_ELEMENT) {
        auto* element = reinterpret_cast<ValueHead*>(arg.originAddr);
        if (element && !IsBadReadPtr(element, sizeof(ValueHead)) &&
            std::memcmp(&element->var, &arg.var, sizeof(VARIANT)) == 0)
            CloseValue(ctx, element);
    } else {
        ScopeVisit visit;
        if (arg.originScope != ctx->nScopeCurrent && !EnterScope(ctx, &visit, arg.originScope))
            return;
        if (arg.originVar < ctx->nVarUsed)
            CloseValue(ctx, &ctx->pVars[arg.originVar]);
        if (!LeaveScope(&visit)) {
            SetError(ctx, 3816);
            return;
        }
    }
    // The argument only borrowed what was released: it must not release it again.
    VariantInit(&arg.var);
    arg.flags &= ~(VF_VARIANT | VF_COMOBJ);
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- ObjectType

void ObjectTypeCase(BDS* ctx, BuiltinCall& call)
{
    if (!Next(ctx))
        return;
    resultants first;
    InitTemp(ctx, &first);
    ProcessSubExpression(ctx, &first, 0, 0, nullptr);
    if (ctx->nErrorCode) {
        ReleaseTemp(ctx, &first);
        return;
    }
    bool text = ValueToString(ctx, &first) != 0;
    char name[64];
    lstrcpynA(name, text ? ValueText(ctx, &first) : "", sizeof name);
    ReleaseTemp(ctx, &first);
    if (!text) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3056);
        return;
    }
    int32_t type = VtNameToNumber(name);
    if (type < 0) {
        SetError(ctx, 1702);
        return;
    }
    if (!AtKeyword(ctx, KID_COMMA)) {
        SetError(ctx, AtKeyword(ctx, KID_RPAREN) ? 3066 : 3068);
        return;
    }
    if (!Next(ctx))
        return;
    CResultVar value(ctx);
    bool literal = false;
    if (type == VT_DECIMAL && (ctx->nTokenKind == TK_INTEGER || ctx->nTokenKind == TK_FLOAT) &&
        LineContinuesWith(ctx, ')')) {
        // The literal's digits as text: a double would lose some of them.
        resultants digits;
        InitTemp(ctx, &digits);
        if (!SetResultText(ctx, &digits, ctx->szToken) || !value.Adopt(digits))
            return;
        if (!Next(ctx))
            return;
        literal = true;
    }
    if (!literal) {
        if (!AdoptExpression(ctx, value))
            return;
    }
    if (!AtKeyword(ctx, KID_RPAREN)) {
        SetError(ctx, ctx->nTokenKind == TK_END ? 3066 : 3068);
        return;
    }
    auto vt = static_cast<VARTYPE>(type);
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        resultants probe{};
        CopyValue(ctx, &value.v, &probe, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT);
        probe.flags &= ~(VF_VARIANT | VF_COMOBJ);
        bool zero = !(value.v.flags & VF_VARIANT) && ValueToInteger(ctx, &probe, false, false) && probe.i32 == 0;
        FreeValue(ctx, &probe, 0, VK_RECORD);
        if (zero) {
            CResultVar null(ctx);
            null.v.var.vt = vt;
            null.v.var.punkVal = nullptr;
            null.v.flags = VF_VARIANT;
            null.HandBack(call.result);
            return;
        }
        SetError(ctx, 0);
    }
    if (!value.ValueToVariantType(vt)) {
        if (ctx->nErrorCode == 0 || ctx->nErrorCode == 1257)
            SetError(ctx, 1703);
        return;
    }
    VARTYPE made = value.v.var.vt;
    bool fits = (vt & VT_ARRAY) ? (made & vt) != 0 : made == vt;
    if (!fits) {
        SetError(ctx, 1703);
        return;
    }
    value.HandBack(call.result);
}

// ---------------------------------------------------------------- constants

void ConstantsGetCase(BDS* ctx, BuiltinCall& call)
{
    if (!EnsureOle(ctx))
        return;
    CResultVar value(ctx);
    if (!value.CopyFrom(call.args[1]))
        return;
    if (IsComVariant(&value.v) && !value.ValueToObjectValue()) {
        if (!ctx->nErrorCode)
            SetError(ctx, 3131);
        return;
    }
    CComObjectAg* object = ObjectOf(&value.v);
    if (!object) {
        SetError(ctx, 3131);
        return;
    }
    if (!object->typeInfo) {
        SetError(ctx, 1749);
        return;
    }
    CConstTable* table = nullptr;
    HRESULT hr = BuildConstTable(ctx, object->typeInfo, &table);
    if (ctx->nErrorCode) {
        FreeConstTable(table);
        return;
    }
    if (hr == E_NOTIMPL || (SUCCEEDED(hr) && (!table || ConstCount(*table) == 0))) {
        FreeConstTable(table);
        SetError(ctx, 1749);
        return;
    }
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "CResultVar::CreateComObject"));
        return;
    }
    auto* constants = new (std::nothrow) CComObjectAg();
    if (!constants) {
        FreeConstTable(table);
        SetError(ctx, 1491);
        return;
    }
    constants->constants = table;
    CResultVar result(ctx);
    result.v.var.vt = VT_OBJECT_VALUE;
    result.v.var.byref = constants;
    result.v.i32 = static_cast<int32_t>(reinterpret_cast<uintptr_t>(table));
    result.v.flags = OBJECT_VALUE_FLAGS;
    result.HandBack(call.result);
}

void ConstToArrayCase(BDS* ctx, BuiltinCall& call)
{
    CComObjectAg* object = ObjectOf(&call.args[1]);
    if (!object || !object->HasConstants()) {
        SetError(ctx, 1750);
        return;
    }
    CResultVar result(ctx);
    if (!ConstTableToArray(ctx, *object->constants, &result.v))
        return;
    result.HandBack(call.result);
}

// ---------------------------------------------------------------- the rest

void BinaryAllocArrayCase(BDS* ctx, BuiltinCall& call)
{
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    int32_t handle = ArrayToBinaryBuffer(ctx, call.args[1]);
    if (ctx->nErrorCode) {
        SetResultInt(ctx, call.result, 0);
        return;
    }
    ctx->nErrorCode = saved;
    SetResultInt(ctx, call.result, handle);
    call.result->flags = VF_INT | VF_BINBUF;
}

void ObjectExpressionCase(BDS* ctx, BuiltinCall& call)
{
    // The token's text is cut at the token buffer; its length in the line is not.
    if (ctx->front.nTokenLength > OBJECT_TEXT_MAX) {
        SetError(ctx, 3245);
        return;
    }
    DoOleObject(ctx, call.functionText ? call.functionText : "", call.result);
}

const BuiltinRow kRows[] = {
    {KID_OLEOBJECT, ObjectExpressionCase},
    {KID_BINARYALLOCARRAY, BinaryAllocArrayCase},
    {KID_CREATEOBJECT, CreateObjectCase},
    {KID_GETOBJECT, ObjectGetCase},
    {KID_OBJECTACCESS, ObjectAccessCase},
    {KID_OBJECTCLOSE, ObjectCloseCase},
    {KID_COLLECTIONCLOSE, CollectionCloseCase},
    {KID_COLLECTIONNEXT, CollectionNextCase},
    {KID_COLLECTIONOPEN, CollectionOpenCase},
    {KID_CONSTANTSGET, ConstantsGetCase},
    {KID_CONSTTOARRAY, ConstToArrayCase},
    {KID_OBJECTCREATE, CreateObjectCase},
    {KID_OBJECTGET, ObjectGetCase},
    {KID_OBJECTOPEN, ObjectOpenCase},
    {KID_OBJECTTYPE, ObjectTypeCase},
};

}  // namespace

extern const BuiltinFamily g_ComObjectBuiltins = {"COM objects", kRows, sizeof(kRows) / sizeof(kRows[0])};
