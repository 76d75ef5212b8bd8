// The host and extender call form: laying out argument records, calling the host's command
// callback or an extender's entry (extender_call.cpp), taking the answer through VezudAnswer
// and turning the callee's status into an error.
#include "engine/native/host_call.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/com/com_gates.h"
#include "engine/com/com_value.h"
#include "engine/core/binding.h"
#include "engine/core/builtin.h"
#include "engine/core/error_location.h"
#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/text_bounded.h"
#include "engine/data/array.h"
#include "engine/native/extender.h"
#include "engine/system/input_block.h"
#include "engine/ui/message_box.h"

namespace {

enum : uint16_t {
    ERR_EXT_MINOR = 1213,
    ERR_EXT_MODERATE = 2214,
    ERR_EXT_SEVERE = 3215,
    ERR_EXT_NO_MEMORY = 3210,
    ERR_EXT_ARRAY = 1643,
    ERR_NOT_DEFINED = 3046,
    ERR_BAD_INTCONTROL = 3171,
    ERR_TYPE_MISMATCH = 1257,     // "COM: Type mismatch"
    MSG_EXT_ERROR = 865,          // "ZAL Extender Error:"
    MSG_EXT_UNDEFINED = 866,      // "Extender Error: Undefined error occurred"
    EXT_DETAIL = 999,             // nErrorDetail of a failed host or extender call
};

enum : int32_t {
    EXT_STATUS_MINOR = -1,
    EXT_STATUS_MODERATE = -2,
    EXT_STATUS_SEVERE = -3,
    EXT_STATUS_NO_MEMORY = -4,
    EXT_STATUS_CANCEL = -5,
    EXT_STATUS_STOP = -6,
    EXT_STATUS_ARRAY = -7,
};

// The host is called in the record form of extender interface 4.
constexpr uint32_t HOST_INTERFACE_LEVEL = 4;

bool IsHostCode(int32_t id) { return id < 0 || (id >= 1000 && id <= 1998); }
bool IsAddonCode(int32_t id) { return id >= static_cast<int32_t>(ADDONSTART) && id < static_cast<int32_t>(ADDONSTART + ADDON_COUNT); }

// Five texts as five text records (a notification, or a caller without records).
int WrapTexts(ExtArgRecord* records, const char* const texts[5])
{
    memset(records, 0, sizeof(ExtArgRecord) * EXT_MAX_ARGS);
    for (int i = 0; i < 5; ++i) {
        records[i].flags = VF_STRING;
        records[i].text = texts[i] ? texts[i] : "";
    }
    return 5;
}

// The number at the start of an error text ("1234: ..."), 0 when there is none.
uint32_t LeadingErrorNumber(const char* text)
{
    char head[11];
    lstrcpynA(head, text, sizeof(head));
    char* colon = strchr(head, ':');
    if (colon)
        *colon = '\0';
    return static_cast<uint32_t>(strtoul(head, nullptr, 10));
}

// The host hears of the error before the box shows it (hook value 0x20).
void NotifyHostOfError(BDS* ctx, const char* text)
{
    if (!(ctx->nHookFlags & HOST_HOOK_ERROR))
        return;
    ErrorLocation where{};
    char line[16];
    snprintf(line, sizeof(line), "%u", LocateErrorStatement(ctx, &where) ? where.line : 0u);
    uint16_t saved = ctx->nErrorCode;
    NotifyHost(ctx, HOST_NOTIFY_ERROR, ctx->szSourceFile, line, text, "", "");
    ctx->nErrorCode = saved;
}

// The error of a call made by an `execute` statement: a box as IntControl 87 asks (OK and
// Cancel, OK only, or none). Answers 1 to go on, 0 to stop (Cancel in the two-button box).
int ShowExecuteError(BDS* ctx)
{
    uint32_t mode = ctx->eng.ctl.ExecuteErrorMode;
    if (mode == 2)
        return 1;
    char text[TEXTBUF];
    snprintf(text, sizeof(text), "EXECUTE::%s", ctx->host.szExtErrorText);
    char title[TEXTBUF] = {};
    if (ctx->hwndParent)
        GetWindowTextA(ctx->hwndParent, title, sizeof(title));
    UINT style = (mode == 1 ? MB_OK : MB_OKCANCEL) | MB_SETFOREGROUND;
    PlayEventSound(ctx, "SystemHand", SOUND_BOX);
    // ShowMessageBox lets input through for the time of the box.
    int answer = ShowMessageBox(ctx, ctx->hwndOwner, text, title, style);
    return answer == IDCANCEL && mode != 1 ? 0 : 1;
}

// Shows a failed call's error text in the error box; answers 1 to go on, 0 to stop.
int ShowCallError(BDS* ctx, int32_t status, uint16_t error)
{
    char prefix[256];
    LoadMyString(ctx, EngineModule(), MSG_EXT_ERROR, prefix, sizeof(prefix));
    snprintf(ctx->err.szErrorText, sizeof(ctx->err.szErrorText), "%s  %s", prefix,
             ctx->host.szExtErrorText);
    NotifyHostOfError(ctx, ctx->err.szErrorText);
    if (ctx->pLine)
        snprintf(ctx->szErrorLine, sizeof(ctx->szErrorLine), "%s", ctx->pLine);

    // A number below 100 keeps the text made above; the title id 0 keeps the line.
    int errorClass = status == EXT_STATUS_SEVERE ? ERRCLASS_SEVERE : ERRCLASS_MODERATE;
    int goOn = ReportError(ctx, nullptr, 0, 0, errorClass);
    ctx->nLastError = error;
    return goOn;
}

// Releases the variants that PrepareExtenderComArgs made (the bits of `made`).
void ReleaseExtenderComArgs(ExtArgRecord* records, uint32_t made)
{
    for (int i = 0; i < EXT_MAX_ARGS; ++i) {
        if (made & (1u << i)) {
            VariantClear(&records[i].var);
            records[i].flags = 0;
        }
    }
}

// Object values go to the host and to extenders of interface 4 and up as VT_DISPATCH
// variants of their own (the engine's object form means nothing outside it); `made` marks
// the records changed, for ReleaseExtenderComArgs. Stops at the first failure (1257).
bool PrepareExtenderComArgs(BDS* ctx, ExtArgRecord* records, int count, uint32_t* made)
{
    *made = 0;
    for (int i = 0; i < count && i < EXT_MAX_ARGS; ++i) {
        ExtArgRecord& record = records[i];
        if (!(record.flags & VF_VARIANT))
            continue;
        ValueHead head{};
        head.var = record.var;
        head.flags = record.flags;
        if (!IsObjectValue(&head))
            continue;
        CComObjectAg* object = ObjectOf(&head);
        IDispatch* disp = object ? object->Dispatch() : nullptr;
        if (!disp) {
            SetError(ctx, ERR_TYPE_MISMATCH);
            ReleaseExtenderComArgs(records, *made);
            *made = 0;
            return false;
        }
        disp->AddRef();
        VariantInit(&record.var);
        record.var.vt = VT_DISPATCH;
        record.var.pdispVal = disp;
        record.flags = VF_VARIANT;
        record.i32 = 0;
        *made |= 1u << i;
    }
    return true;
}

// Turns the status of a host or extender call into the context's error state.
int TakeStatus(BDS* ctx, int32_t status)
{
    if (status >= 0)
        return 1;

    ctx->nErrorDetail = EXT_DETAIL;
    uint16_t error = ERR_EXT_NO_MEMORY;
    if (status == EXT_STATUS_MINOR)
        error = ERR_EXT_MINOR;
    else if (status == EXT_STATUS_MODERATE)
        error = ERR_EXT_MODERATE;
    else if (status == EXT_STATUS_SEVERE)
        error = ERR_EXT_SEVERE;
    SetError(ctx, error);
    if (uint32_t number = LeadingErrorNumber(ctx->host.szExtErrorText))
        ctx->nErrorDetail = number;

    switch (status) {
    case EXT_STATUS_NO_MEMORY:
        return 0;
    case EXT_STATUS_CANCEL:
        SetError(ctx, CC_CANCEL);
        return 0;
    case EXT_STATUS_STOP:
        SetError(ctx, CC_STOP_QUIET);
        return 0;
    case EXT_STATUS_ARRAY:
        SetError(ctx, ERR_EXT_ARRAY);
        return 0;
    default:
        break;
    }
    if (status < EXT_STATUS_SEVERE)
        status = EXT_STATUS_SEVERE;
    if (status == EXT_STATUS_MINOR && ctx->ErrorMode == EM_OFF)
        return 0;
    if (ctx->run.nErrorHandlerMode != TRAP_OFF)   // the script's error trap deals with it
        return 0;

    int goOn;
    if (ctx->run.bInExecute) {
        goOn = ShowExecuteError(ctx);
        if (!goOn) {
            SetError(ctx, CC_CANCEL);
            return 0;
        }
    } else {
        goOn = ShowCallError(ctx, status, error);
    }
    // The error has been shown: the statement ends, and the run goes on after it when the
    // user chose to continue.
    SetError(ctx, CC_EXTENDER_SHOWN);
    if (goOn)
        ctx->run.bGoOn = 1;
    return goOn;
}

}  // namespace

void BuildAnswerContext(BDS* ctx, resultants* result, ExtAnswerContext* answer)
{
    memset(answer, 0, sizeof(*answer));
    answer->ctx = ctx;
    answer->result = result;
    answer->version = EXT_SERVICE_VERSION;
    answer->size = sizeof(ExtAnswerContext);
    static void* const services = reinterpret_cast<void*>(GetProcAddress(EngineModule(), "DLLServices"));
    answer->dllServices = services;   // the module's export does not move: looked up once
    answer->instance = reinterpret_cast<uint64_t>(ctx->hSelf);
    answer->owner = ctx->hwndParent ? ctx->hwndParent : ctx->hwndOwner;
    FillServiceBlock(answer->services);
}

int CallExtenderFunction(BDS* ctx, int32_t id, resultants* result, const char* text1,
                         const char* text2, const char* text3, const char* text4,
                         const char* text5, ExtArgRecord* records, int count)
{
    bool addon = IsAddonCode(id);
    if (!addon && !IsHostCode(id)) {
        SetError(ctx, ERR_NOT_DEFINED);
        return 0;
    }
    if (!addon && !ctx->pfnParentCommand) {
        // Notifications need no listener; a host function without a host is not defined.
        if (id < 0)
            return 1;
        SetError(ctx, ERR_NOT_DEFINED);
        return 0;
    }

    ExtAnswerContext answer;
    BuildAnswerContext(ctx, result, &answer);
    const char* texts[5] = {text1, text2, text3, text4, text5};
    ExtArgRecord wrapped[EXT_MAX_ARGS];
    if (!records) {
        count = WrapTexts(wrapped, texts);
        records = wrapped;
    }
    ctx->host.szExtErrorText[0] = '\0';
    uint32_t prepared = 0;
    bool comForm = !addon || AddonInterface(ctx, static_cast<uint32_t>(id)) > 3;
    if (comForm && !PrepareExtenderComArgs(ctx, records, count, &prepared))
        return 0;

    int32_t status;
    if (addon) {
        bool called = CallAddonFunction(ctx, static_cast<uint32_t>(id), &answer, texts, records, count, &status);
        ReleaseExtenderComArgs(records, prepared);
        if (!called)
            return 0;
    } else {
        ExtArgRecord scratch;
        memset(&scratch, 0, sizeof(scratch));
        int32_t code = id < 0 ? id : id - static_cast<int32_t>(PARENTSTART);
        status = ctx->pfnParentCommand(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, code,
                                       reinterpret_cast<void*>(&VezudAnswer), &answer, nullptr, records,
                                       count, &scratch);
        ReleaseExtenderComArgs(records, prepared);
    }
    ++ctx->host.nHostEpoch;   // the host may have changed its keyword table meanwhile
    return TakeStatus(ctx, status);
}

// ---------------------------------------------------------------- the answer callback

extern "C" int32_t VezudAnswer(int32_t status, uint64_t word, void* answerContext,
                               const ExtArgRecord* answer)
{
    auto* context = static_cast<ExtAnswerContext*>(answerContext);
    if (!context || !context->ctx || !context->result)
        return EXT_STATUS_NO_MEMORY;
    BDS* ctx = context->ctx;
    resultants* result = context->result;

    if (status < 0) {
        HostCallState& host = ctx->host;
        if (answer && answer->flags == VF_STRING && answer->text) {
            CopyStringBoundedA(ctx, host.szExtErrorText, answer->text, sizeof(host.szExtErrorText));
        } else {
            LoadMyString(ctx, EngineModule(), MSG_EXT_UNDEFINED, host.szExtErrorText,
                         sizeof(host.szExtErrorText));
        }
        CopyStringBoundedA(ctx, host.szLastErrorText, host.szExtErrorText, sizeof(host.szLastErrorText));
        return status;
    }

    if (!answer)
        return EXT_STATUS_NO_MEMORY;
    uint32_t flags = answer->flags;
    if (flags & VF_VARIANT) {
        FreeValue(ctx, result, 0, VK_RECORD);
        ValueHead source{};
        source.var = answer->var;
        source.flags = VF_VARIANT;
        if (!VariantToValueCopy(ctx, VF_VARIANT, &source, result))
            return EXT_STATUS_NO_MEMORY;
        result->flags = VF_VARIANT;
        // With VF_COMOBJ the callee hands over an object: its interface becomes an object
        // value that the script can call members of.
        if ((flags & VF_COMOBJ) && !ValueDispatchToObject(ctx, result)) {
            ValueReleaseComPayload(VF_VARIANT, result);
            result->flags = 0;
            return EXT_STATUS_NO_MEMORY;
        }
    } else if (flags & VF_ARRAY) {
        // The callee may free or change its array after the answer: the result is a copy.
        ValueHead copy{};
        if (!CopyArrayOut(ctx, reinterpret_cast<ArrayHeader*>(const_cast<char*>(answer->text)), &copy))
            return EXT_STATUS_NO_MEMORY;
        FreeValue(ctx, result, 0, VK_RECORD);
        result->str = copy.str;
        result->flags = VF_ARRAY;
    } else if (flags & VF_UNICODE) {
        if (!SetResultWText(ctx, result, answer->wtext ? answer->wtext : L""))
            return EXT_STATUS_NO_MEMORY;
    } else if (flags & VF_FLOAT) {
        SetResultFloat(ctx, result, answer->dbl);
    } else if (flags & VF_INT) {
        SetResultInt(ctx, result, answer->i32);
    } else if (flags & VF_STRING) {
        if (!SetResultText(ctx, result, answer->text ? answer->text : ""))
            return EXT_STATUS_NO_MEMORY;
    } else {
        return EXT_STATUS_NO_MEMORY;
    }
    result->originAddr = 0;
    result->originVar = ORIGIN_NONE;
    result->originScope = 0xFFFF;
    return status;
}

// ---------------------------------------------------------------- callers

void CallExternalFunction(BDS* ctx, BuiltinCall& call)
{
    int32_t id = static_cast<int32_t>(call.id);
    if (!IsHostCode(id) && !IsAddonCode(id)) {
        SetError(ctx, ERR_NOT_DEFINED);
        return;
    }
    // Each callee gets the text forms its interface reads. Interface 1 reads the first five
    // arguments as narrow texts alone, so a value that holds wide text alone gains its narrow
    // form. Interfaces 2 and 3 get narrowed copies of these records (ConvertArgsForV2). The
    // host and interfaces 4 and up get every form the value holds, wide text included: a
    // narrow copy made here would turn letters outside the ANSI code page into "?". The wide
    // interface gets the wide form of every narrow text too.
    uint32_t level = IsAddonCode(id) ? AddonInterface(ctx, call.id) : HOST_INTERFACE_LEVEL;
    bool narrowOnly = level == 1;
    bool wide = level == EXT_INTERFACE_WIDE;
    ExtArgRecord records[EXT_MAX_ARGS];
    memset(records, 0, sizeof(records));
    const char* texts[5] = {};
    int count = call.argc < EXT_MAX_ARGS ? call.argc : EXT_MAX_ARGS;
    for (int i = 1; i <= count; ++i) {
        resultants& arg = call.args[i];
        ExtArgRecord& record = records[i - 1];
        if (narrowOnly && (arg.flags & VF_UNICODE) && !(arg.flags & (VF_STRING | VF_ARRAY))) {
            if (!ValueToString(ctx, &arg)) {
                if (!ctx->nErrorCode)
                    SetError(ctx, 3056);
                return;
            }
        }
        if (wide && (arg.flags & VF_STRING) && !(arg.flags & VF_UNICODE) && !ValueToWide(ctx, &arg)) {
            if (!ctx->nErrorCode)
                SetError(ctx, 3820);
            return;
        }
        uint32_t flags = narrowOnly ? arg.flags & ~VF_UNICODE : arg.flags;
        if (flags & VF_VARIANT)
            record.var = arg.var;
        record.i64 = arg.i64;
        record.i32 = arg.i32;
        if (flags & VF_ARRAY)
            record.text = reinterpret_cast<const char*>(arg.str);
        else if (flags & VF_STRING)
            record.text = ValueText(ctx, &arg);
        if (flags & VF_UNICODE)
            record.wtext = ValueWText(ctx, &arg);
        record.flags = flags;
        if (i <= 5 && (flags & VF_STRING))
            texts[i - 1] = record.text;
    }
    CallExtenderFunction(ctx, id, call.result, texts[0], texts[1],
                         texts[2], texts[3], texts[4], records, count);
}

int NotifyHost(BDS* ctx, int32_t code, const char* text1, const char* text2,
               const char* text3, const char* text4, const char* text5)
{
    if (!ctx->pfnParentCommand)
        return 1;
    resultants answer;
    InitResultValue(ctx, &answer, VK_RECORD, 0);
    int goOn = CallExtenderFunction(ctx, code, &answer, text1, text2, text3, text4, text5,
                                    nullptr, 0);
    FreeValue(ctx, &answer, 0, VK_RECORD);
    return goOn;
}

bool CallHostHook(BDS* ctx, int32_t code, const char* const* texts, int count,
                  char* directory)
{
    if (!ctx->pfnParentCommand)
        return false;
    ExtArgRecord records[EXT_MAX_ARGS];
    memset(records, 0, sizeof(records));
    int used = 0;
    for (; used < count && used < EXT_MAX_ARGS - 1; ++used) {
        records[used].flags = VF_STRING;
        records[used].text = texts[used] ? texts[used] : "";
    }
    if (directory) {
        directory[0] = '\0';
        records[used].flags = VF_STRING;
        records[used].text = directory;
        ++used;
    }
    resultants answer;
    InitResultValue(ctx, &answer, VK_RECORD, 0);
    uint16_t kept = ctx->nErrorCode;
    CallExtenderFunction(ctx, code, &answer, nullptr, nullptr, nullptr, nullptr, nullptr,
                         records, used);
    FreeValue(ctx, &answer, 0, VK_RECORD);
    if (ctx->nErrorCode != CC_STOP_QUIET && ctx->nErrorCode != CC_CANCEL)
        ctx->nErrorCode = kept;
    if (directory)
        directory[MAX_PATH - 1] = '\0';
    return true;
}

int HostIdleHook(BDS* ctx, char* directory, int size)
{
    if (!directory || size < MAX_PATH)
        return 0;
    const char* event[] = {"1"};
    return CallHostHook(ctx, HOST_NOTIFY_IDLE, event, 1, directory) ? 1 : 0;
}

int FindHostFunction(const BDS* ctx, const char* name)
{
    const KeywordRecord* table = ctx->pHostKeywords;
    if (!table)
        return -1;
    size_t length = strlen(name);
    for (int i = 0; i < 999 && table[i].nameLength != 0; ++i) {
        if (table[i].nameLength == length && memcmp(table[i].name, name, length) == 0)
            return i;
    }
    return -1;
}

int ForwardIntControlToHost(BDS* ctx, resultants* result, int32_t request, const char* p1,
                            const char* p2, const char* p3, const char* p4)
{
    int position = FindHostFunction(ctx, "intcontrol");
    if (position < 0) {
        SetError(ctx, ERR_BAD_INTCONTROL);
        SetResultText(ctx, result, "");
        return 0;
    }
    char number[16];
    snprintf(number, sizeof(number), "%d", request);
    return CallExtenderFunction(ctx, static_cast<int32_t>(PARENTSTART) + position, result,
                                number, p1, p2, p3, p4, nullptr, 0);
}

namespace {

struct HostTextAnswer {
    char* out;
    size_t size;
    bool answered;
};

// The answer callback of AskHostText: takes a text answer, refuses everything else.
int32_t TakeHostText(int32_t status, uint64_t, void* answerContext, const ExtArgRecord* answer)
{
    auto* wanted = static_cast<HostTextAnswer*>(answerContext);
    if (status < 0 || !wanted || !answer)
        return status < 0 ? status : EXT_STATUS_NO_MEMORY;
    if ((answer->flags & VF_STRING) && answer->text) {
        lstrcpynA(wanted->out, answer->text, static_cast<int>(wanted->size));
        wanted->answered = true;
    } else if ((answer->flags & VF_UNICODE) && answer->wtext) {
        int n = WideCharToMultiByte(CP_ACP, 0, answer->wtext, -1, wanted->out, static_cast<int>(wanted->size),
                                    nullptr, nullptr);
        wanted->out[n > 0 ? n - 1 : 0] = 0;
        wanted->answered = true;
    }
    return status;
}

}  // namespace

bool AskHostText(BDS* ctx, int position, char* out, size_t size)
{
    if (!out || size == 0)
        return false;
    out[0] = 0;
    if (!ctx->pfnParentCommand || !ctx->pHostKeywords || position < 0)
        return false;
    for (int i = 0; i <= position; ++i)
        if (ctx->pHostKeywords[i].id == 9999 || ctx->pHostKeywords[i].nameLength == 0)
            return false;      // the table ends before that position
    ExtArgRecord records[EXT_MAX_ARGS];
    memset(records, 0, sizeof(records));
    ExtArgRecord scratch;
    memset(&scratch, 0, sizeof(scratch));
    HostTextAnswer wanted{out, size, false};
    int32_t status = ctx->pfnParentCommand(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, position,
                                           reinterpret_cast<void*>(&TakeHostText), &wanted, nullptr, records, 0,
                                           &scratch);
    if (status < 0 || !wanted.answered) {
        out[0] = 0;
        return false;
    }
    return true;
}
