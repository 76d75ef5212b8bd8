// The dialog built-ins: Dialog, and the callback built-ins DialogControlGet,
// DialogControlSet, DialogControlState, DialogObject and DialogProcOptions, which a
// dialog procedure uses to reach its dialog window.
#include <cstring>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/dialog/classic_dialog.h"
#include "engine/dialog/dialog_box.h"
#include "engine/dialog/dialog_procedure.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_window.h"

namespace {

constexpr uint16_t ERR_HOSTED = 1425;          // "ZAL Internal Error"
constexpr uint16_t ERR_NAME_TOO_LONG = 3218;   // "Dialog: Dialog name too long (>19 chars)"
constexpr uint16_t ERR_NO_FORMAT = 3219;       // "Dialog: Format variable missing"
constexpr size_t FORMAT_MAX = 39;
constexpr int CLASS_NAME_MAX = 31;

// ---------------------------------------------------------------- Dialog

// Runs the named template; answers its result (0 with the error set).
int32_t DoDialog(BDS* ctx, const char* name, bool showGiven, int32_t show)
{
    if (showGiven && show == 0) {
        ctx->dlg.result = static_cast<int32_t>(ctx->eng.ctl.DialogCloseValue);
        return ctx->dlg.result;
    }
    if (std::strlen(name) > DIALOG_NAME_MAX)
        return DialogFail(ctx, ERR_NAME_TOO_LONG, nullptr, name);

    char outer[DIALOG_NAME_MAX + 1];
    std::memcpy(outer, ctx->dlg.name, sizeof outer);   // a dialog opened from a procedure
    lstrcpynA(ctx->dlg.name, name, sizeof ctx->dlg.name);
    int32_t result = 0;
    std::wstring format;
    if (!VariableTextByDialogName(ctx, "Format", format)) {
        DialogFail(ctx, ERR_NO_FORMAT);
    } else {
        if (format.size() > FORMAT_MAX)
            format.resize(FORMAT_MAX);
        if (_wcsicmp(format.c_str(), L"TRMDLGED,6.2") == 0)
            result = RunDialog6(ctx, 62);
        else if (_wcsicmp(format.c_str(), L"TRMDLGED,6.1") == 0)
            result = RunDialog6(ctx, 61);
        else if (ctx->services.bDialogSwitch)
            DialogFail(ctx, ERR_HOSTED);
        else
            result = RunClassicDialog(ctx, format.c_str());
    }
    std::memcpy(ctx->dlg.name, outer, sizeof outer);
    return result;
}

void CaseDialog(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, DoDialog(ctx, ArgText(ctx, call, 1), HasArg(call, 2), ArgInt(call, 2)));
}

void CaseDialogBox(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, DoDialogBox(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2)));
}

// ---------------------------------------------------------------- the callback built-ins

// The dialog window a handle names: a 6.x dialog of this context on the script's thread.
// Any other handle makes the built-in answer 0 without an error.
HWND DialogOfHandle(BDS* ctx, const BuiltinCall& call)
{
    HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(ArgInt(call, 1)));
    if (!window || !IsWindow(window) || !SystemFacts().UnicodeMode)
        return nullptr;
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return nullptr;
    wchar_t name[CLASS_NAME_MAX + 1] = {};
    GetClassNameW(window, name, CLASS_NAME_MAX + 1);
    if (lstrcmpW(name, L"kv0wcdl3") != 0)
        return nullptr;
    Dialog6Record* dlg = DialogRecordOf(window);
    return dlg && dlg->ctx == ctx ? window : nullptr;
}

ControlRequestBlock RequestOf(BuiltinCall& call, resultants* fourth)
{
    ControlRequestBlock request{};
    request.size = REQUEST_BLOCK_SIZE;
    request.version = REQUEST_VERSION;
    request.control = HasArg(call, 2) ? &call.args[2] : nullptr;
    request.code = static_cast<uint32_t>(ArgInt(call, 3));
    request.fourth = fourth;
    return request;
}

void CaseDialogControlGet(BDS* ctx, BuiltinCall& call)
{
    HWND dialog = DialogOfHandle(ctx, call);
    if (!dialog)
        return;
    resultants* fourth = HasArg(call, 4) && call.args[4].flags ? &call.args[4] : nullptr;
    ControlRequestBlock request = RequestOf(call, fourth);
    SendMessageW(dialog, WM_DLG_GET, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(call.result));
}

void CaseDialogControlSet(BDS* ctx, BuiltinCall& call)
{
    HWND dialog = DialogOfHandle(ctx, call);
    if (!dialog)
        return;
    ControlRequestBlock request = RequestOf(call, nullptr);
    LRESULT answer = SendMessageW(dialog, WM_DLG_SET, reinterpret_cast<WPARAM>(&request),
                                  reinterpret_cast<LPARAM>(HasArg(call, 4) ? &call.args[4] : nullptr));
    SetResultInt(ctx, call.result, static_cast<int32_t>(answer));
}

void CaseDialogControlState(BDS* ctx, BuiltinCall& call)
{
    HWND dialog = DialogOfHandle(ctx, call);
    if (!dialog)
        return;
    ControlRequestBlock request = RequestOf(call, nullptr);
    StateRequestBlock state{};
    state.size = STATE_BLOCK_SIZE;
    state.text = HasArg(call, 4) && (call.args[4].flags & VF_STRING) ? call.args[4].str : 0;
    state.result = call.result;
    SendMessageW(dialog, WM_DLG_STATE, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(&state));
}

void CaseDialogObject(BDS* ctx, BuiltinCall& call)
{
    HWND dialog = reinterpret_cast<HWND>(static_cast<INT_PTR>(ArgInt(call, 1)));
    if (!dialog || !IsWindow(dialog) || !DialogOfHandle(ctx, call))
        return;
    ControlRequestBlock request = RequestOf(call, nullptr);
    ObjectRequestBlock object{};
    object.size = OBJECT_BLOCK_SIZE;
    object.code = request.code;
    object.fourth = HasArg(call, 4) ? &call.args[4] : nullptr;
    object.fifth = HasArg(call, 5) ? &call.args[5] : nullptr;
    object.result = call.result;
    SendMessageA(dialog, WM_DLG_OBJECT, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(&object));
}

void CaseDialogProcOptions(BDS* ctx, BuiltinCall& call)
{
    HWND dialog = DialogOfHandle(ctx, call);
    if (!dialog)
        return;
    int32_t option = ArgInt(call, 2);
    LRESULT answer = SendMessageW(dialog, WM_DLG_OPTIONS, static_cast<WPARAM>(option),
                                  reinterpret_cast<LPARAM>(HasArg(call, 3) ? &call.args[3] : nullptr));
    OptionAnswer kind = DialogOptionAnswerKind(option);
    uint64_t offset = static_cast<uint64_t>(answer);
    if (kind == ANSWER_INTEGER || offset == 0) {
        SetResultInt(ctx, call.result, static_cast<int32_t>(answer));
        return;
    }
    // The window side answered a text of its own in the string heap: the result takes it.
    if (kind == ANSWER_WIDE)
        SetResultWText(ctx, call.result, reinterpret_cast<const wchar_t*>(ctx->HeapBase + offset));
    else
        SetResultText(ctx, call.result, ctx->HeapBase + offset);
    VFree(ctx, offset);
}

const BuiltinRow kRows[] = {
    {392, CaseDialog},
    {393, CaseDialogBox},
    {394, CaseDialogControlGet},
    {395, CaseDialogControlSet},
    {396, CaseDialogControlState},
    {397, CaseDialogObject},
    {398, CaseDialogProcOptions},
};

}  // namespace

extern const BuiltinFamily g_DialogBuiltins = {"dialogs", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
