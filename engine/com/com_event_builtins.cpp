// ObjectEventAdd and ObjectEventRemove: binding user-defined functions to the events of a
// script's COM object, and the use count by which the copies of an object value share
// its event sink.
#include <windows.h>
#include <oleauto.h>

#include <cstring>

#include "engine/com/com_adapter.h"
#include "engine/com/com_events.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_gates.h"
#include "engine/com/com_later.h"
#include "engine/com/com_names.h"
#include "engine/core/builtin.h"

void ComSinkAddUse(CComSink* sink)
{
    if (sink)
        sink->AddUse();
}

void ComSinkDropUse(CComSink* sink)
{
    if (sink)
        sink->DropUse();
}

namespace {

enum : uint16_t { KID_OBJECTEVENTADD = 595, KID_OBJECTEVENTREMOVE = 596 };

constexpr uint16_t ERR_NOT_VARIABLE = 1594;   // "ObjectEventAdd: First parameter must be a variable name"
constexpr uint16_t ERR_NO_FUNCTION = 1751;
constexpr uint16_t ERR_NO_EVENTS = 1752;      // "COM: Object does not support events"
constexpr uint16_t ERR_NO_EVENT = 1753;
constexpr uint16_t ERR_MEMORY = 1491;
constexpr uint16_t ERR_NOT_OBJECT = 3131;

// The object of the argument (a variable's value, borrowed): a COM variant holding an
// interface becomes an object value in the variable first. Null with 3131.
CComObjectAg* ArgumentObject(BDS* ctx, resultants& arg)
{
    if (IsComVariant(&arg) && arg.originVar < ctx->nVarUsed && arg.originScope == ctx->nScopeCurrent) {
        ValueHead& variable = ctx->pVars[arg.originVar];
        if (std::memcmp(&variable.var, &arg.var, sizeof(VARIANT)) == 0 && ValueDispatchToObject(ctx, &variable)) {
            arg.var = variable.var;
            arg.flags = variable.flags;
            arg.i32 = variable.i32;
        }
    }
    CComObjectAg* object = ObjectOf(&arg);
    if (!object || !object->Dispatch()) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NOT_OBJECT);
        return nullptr;
    }
    return object;
}

BSTR EventBstr(BDS* ctx, const char* name)
{
    BSTR event = AnsiToBstr(ctx, name);
    if (!event)
        SetError(ctx, ERR_MEMORY);
    return event;
}

void ObjectEventAddCase(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, 0);
    resultants& arg = call.args[1];
    if (arg.originVar >= ORIGIN_ELEMENT) {
        SetError(ctx, ERR_NOT_VARIABLE);
        return;
    }
    CComObjectAg* object = ArgumentObject(ctx, arg);
    if (!object)
        return;
    const char* event = ArgText(ctx, call, 2);
    const char* function = ArgText(ctx, call, 3);
    if (!*event) {
        SetError(ctx, ERR_NO_EVENT);
        return;
    }
    if (!*function) {
        SetError(ctx, ERR_NO_FUNCTION);
        return;
    }
    if (!object->sink || !object->sink->HasHandlers() || object->sink->References() == 0) {
        CComSink* made = nullptr;
        CSinkBuilder builder(ctx, 1);
        if (FAILED(builder.FindSourceInterface(object->Dispatch(), &made)) || !made) {
            SetError(ctx, ERR_NO_EVENTS);
            return;
        }
        if (object->sink)
            object->sink->DropUse();
        object->sink = made;
    }
    BSTR name = EventBstr(ctx, event);
    if (!name)
        return;
    int done = object->sink->AddEvent(ctx, name, function, nullptr, nullptr, 0, nullptr);
    SysFreeString(name);
    if (done)
        SetResultInt(ctx, call.result, 1);
}

void ObjectEventRemoveCase(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, 0);
    const char* event = ArgText(ctx, call, 2);
    if (!*event) {
        SetError(ctx, ERR_NO_EVENT);
        return;
    }
    CComObjectAg* object = ArgumentObject(ctx, call.args[1]);
    if (!object || !object->sink || !object->sink->HasHandlers())
        return;
    BSTR name = EventBstr(ctx, event);
    if (!name)
        return;
    int done = object->sink->RemoveEvent(ctx, name);
    SysFreeString(name);
    if (done)
        SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {KID_OBJECTEVENTADD, ObjectEventAddCase},
    {KID_OBJECTEVENTREMOVE, ObjectEventRemoveCase},
};

}  // namespace

extern const BuiltinFamily g_ComEventBuiltins = {"COM events", kRows, sizeof(kRows) / sizeof(kRows[0])};
