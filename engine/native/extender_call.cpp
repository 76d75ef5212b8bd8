// Calling an extender's function in the form of its interface level: texts for level 1,
// older-form records for levels 2 and 3 (with the write-back of array arguments), the
// host's records for the others; and the answer functions of the older forms.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "engine/com/com_value.h"
#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/data/array.h"
#include "engine/data/array_internal.h"
#include "engine/native/addon_keywords.h"
#include "engine/native/extender.h"
#include "engine/native/native_call.h"
#include "engine/ui/message_box.h"

namespace {

enum : uint16_t {
    ERR_NOT_DEFINED = 3046,
    ERR_TOO_LARGE_V2 = 1730,
    ERR_ARRAY_COPY = 1731,
    ERR_VARIANT = 1811,
    ERR_TOO_DEEP = 3647,
    MSG_INTERNAL_ERROR = 837,
};

constexpr int32_t EXT_STATUS_NO_MEMORY = -4;
constexpr int32_t EXT_STATUS_ARRAY = -7;
constexpr uint32_t OLD_FORM_FLAGS = VF_INT | VF_STRING | VF_FLOAT;   // 0x23

// The row of an add-on id and the slot and code its stored id names; false when the row
// is not in use or names no loaded extender.
bool AddonTarget(BDS* ctx, uint32_t id, uint32_t* slot, int32_t* code)
{
    const KeywordRecord* rows = AddonRows(ctx);
    uint32_t row = id - ADDONSTART;
    if (!rows || row >= ctx->nNextExtEntry)
        return false;
    uint32_t stored = rows[row].id;
    if (stored < 10000)
        return false;
    *slot = stored / 10000 - 1;
    *code = static_cast<int32_t>(stored % 10000);
    return *slot < EXTENDER_MAX && ctx->native.hExtModule[*slot];
}

// ---------------------------------------------------------------- the older form

// What one interface 2-3 call made for its arguments, released after the call.
struct OldFormCall {
    OldArgRecord records[EXT_MAX_ARGS];
    OldArgRecord scratch;
    OldArrayDescriptor* descriptors[EXT_MAX_ARGS];  // the array arguments' blocks
    OldArgRecord* sent[EXT_MAX_ARGS];               // their elements as sent
    ArrayHeader* arrays[EXT_MAX_ARGS];
    uint64_t* texts;                                // heap copies made for the call
    uint32_t textCount;
    uint32_t textCapacity;
};

bool KeepText(BDS* ctx, OldFormCall& call, uint64_t offset)
{
    if (call.textCount == call.textCapacity) {
        uint32_t capacity = call.textCapacity ? call.textCapacity * 2 : 16;
        void* grown = call.texts
            ? HeapReAlloc(GetProcessHeap(), 0, call.texts, capacity * sizeof(uint64_t))
            : HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(uint64_t));
        if (!grown) {
            VFree(ctx, offset);
            SetError(ctx, ERR_ARRAY_COPY);
            return false;
        }
        call.texts = static_cast<uint64_t*>(grown);
        call.textCapacity = capacity;
    }
    call.texts[call.textCount++] = offset;
    return true;
}

// A scalar value (no array) as an older-form record; wide text and VARIANTs through heap
// copies kept in `call`.
bool ScalarToOldForm(BDS* ctx, OldFormCall& call, const ValueHead& value, const char* text,
                     OldArgRecord* out)
{
    uint32_t flags = value.flags;
    if ((flags & OLD_FORM_FLAGS) || !(flags & (VF_UNICODE | VF_ARRAY | VF_VARIANT))) {
        out->number = value.dbl;
        out->integer = value.i32;
        out->flags = flags & OLD_FORM_FLAGS;
        out->text = reinterpret_cast<uint64_t>(text);
        return true;
    }
    resultants copy;
    InitResultValue(ctx, &copy, VK_RECORD, 0);
    if (flags & VF_VARIANT) {
        // A COM value goes as the script value it converts to: text, else a number.
        bool ok = VariantToValueCopy(ctx, VF_VARIANT, &value, &copy) != 0;
        copy.flags = ok ? uint32_t(VF_VARIANT) : 0u;
        uint16_t kept = ctx->nErrorCode;
        if (ok && ValueIsBstr(&copy)) {
            ok = ValueConvertInPlace(ctx, VF_STRING, &copy) != 0;
        } else if (ok) {
            ok = ValueConvertInPlace(ctx, VF_FLOAT, &copy) != 0;
            if (!ok) {
                SetError(ctx, kept);
                ok = ValueConvertInPlace(ctx, VF_STRING, &copy) != 0;
            }
        }
        SetError(ctx, kept);
        if (!ok) {
            FreeValue(ctx, &copy, 0, VK_RECORD);
            SetError(ctx, ERR_VARIANT);
            return false;
        }
    } else {
        copy.wstr = HeapCopyWText(ctx, ValueWText(ctx, &value), wcslen(ValueWText(ctx, &value)));
        copy.flags = copy.wstr ? uint32_t(VF_UNICODE) : 0u;
    }
    if ((copy.flags & VF_UNICODE) && !(copy.flags & VF_STRING) && !ValueToString(ctx, &copy)) {
        FreeValue(ctx, &copy, 0, VK_RECORD);
        if (!ctx->nErrorCode)
            SetError(ctx, 3096);
        return false;
    }
    out->number = copy.dbl;
    out->integer = copy.i32;
    out->flags = copy.flags & OLD_FORM_FLAGS;
    out->text = 0;
    if (copy.flags & VF_STRING) {
        out->text = reinterpret_cast<uint64_t>(HeapPtr(ctx, copy.str));
        if (!KeepText(ctx, call, copy.str))
            return false;
        copy.flags &= ~VF_STRING;
        copy.str = 0;
    }
    FreeValue(ctx, &copy, 0, VK_RECORD);
    return true;
}

// An array argument as a descriptor with its elements in one movable block.
bool ArrayToOldForm(BDS* ctx, OldFormCall& call, int i, const ValueHead& value)
{
    ArrayHeader* array = NativeArrayArgument(ctx, value);
    if (!array)
        return false;
    for (int d = 0; d < array->ndims; ++d) {
        if (array->dims[d] > 0xFFFF) {
            SetError(ctx, ERR_TOO_LARGE_V2);
            return false;
        }
    }
    uint32_t count = array->ndims ? array->count : 0;
    SIZE_T bytes = sizeof(OldArrayDescriptor) + sizeof(OldArgRecord) * count;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* descriptor = block ? static_cast<OldArrayDescriptor*>(GlobalLock(block)) : nullptr;
    auto* sent = static_cast<OldArgRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(OldArgRecord) * (count + 1)));
    if (!descriptor || !sent) {
        if (descriptor)
            GlobalUnlock(block);
        if (block)
            GlobalFree(block);
        if (sent)
            HeapFree(GetProcessHeap(), 0, sent);
        SetError(ctx, ERR_ARRAY_COPY);
        return false;
    }
    call.descriptors[i] = descriptor;
    call.sent[i] = sent;
    call.arrays[i] = array;
    for (int d = 0; d < MAX_ARRAY_DIMS; ++d)
        descriptor->dims[d] = static_cast<uint16_t>(array->dims[d]);
    descriptor->ndims = array->ndims;
    descriptor->headerByte = array->flags;
    descriptor->flags = VF_ARRAY;
    auto* elements = reinterpret_cast<OldArgRecord*>(descriptor + 1);
    descriptor->elements = count ? reinterpret_cast<uint64_t>(elements) : 0;
    for (uint32_t e = 0; e < count; ++e) {
        const ArrayElement& element = array->data[e];
        if (element.flags & VF_ARRAY) {
            SetError(ctx, ERR_TOO_DEEP);
            return false;
        }
        if (!ScalarToOldForm(ctx, call, element, ValueText(ctx, &element), &elements[e]))
            return false;
    }
    std::memcpy(sent, elements, sizeof(OldArgRecord) * count);
    return true;
}

bool ConvertArgsForV2(BDS* ctx, OldFormCall& call, const ExtArgRecord* records)
{
    for (int i = 0; i < EXT_MAX_ARGS; ++i) {
        const ExtArgRecord& r = records[i];
        ValueHead value{};
        value.var = r.var;
        value.i64 = r.i64;
        value.i32 = r.i32;
        value.flags = r.flags;
        bool ok;
        if (r.flags & VF_ARRAY) {
            value.str = reinterpret_cast<uint64_t>(r.text);
            ok = ArrayToOldForm(ctx, call, i, value);
            if (ok) {
                call.records[i] = OldArgRecord{};
                call.records[i].flags = VF_ARRAY;
                call.records[i].text = reinterpret_cast<uint64_t>(call.descriptors[i]);
            }
        } else if ((r.flags & VF_UNICODE) && !(r.flags & OLD_FORM_FLAGS)) {
            // A wide text of the record's own, not in the heap: copied there first.
            uint64_t offset = r.wtext ? HeapCopyWText(ctx, r.wtext, wcslen(r.wtext)) : 0;
            if (!offset) {
                SetError(ctx, 3096);
                return false;
            }
            value.wstr = offset;
            ok = ScalarToOldForm(ctx, call, value, nullptr, &call.records[i]);
            VFree(ctx, offset);
        } else {
            ok = ScalarToOldForm(ctx, call, value, r.text, &call.records[i]);
        }
        if (!ok)
            return false;
    }
    return true;
}

bool SameOldValue(const OldArgRecord& a, const OldArgRecord& b)
{
    if (a.flags != b.flags)
        return false;
    if ((a.flags & VF_INT) && a.integer != b.integer)
        return false;
    if ((a.flags & VF_FLOAT) && std::memcmp(&a.number, &b.number, sizeof a.number) != 0)
        return false;
    return !(a.flags & VF_STRING) || a.text == b.text;
}

// An older-form value into an empty element (its text copied into the heap).
void StoreOldValue(BDS* ctx, const OldArgRecord& from, ArrayElement& element)
{
    std::memset(&element, 0, sizeof element);
    element.flags = from.flags & OLD_FORM_FLAGS;
    element.i32 = from.integer;
    element.dbl = from.number;
    if (element.flags & VF_STRING) {
        const char* text = from.text ? reinterpret_cast<const char*>(from.text) : "";
        element.str = HeapCopyText(ctx, text, strlen(text));
        if (!element.str)
            element.flags &= ~VF_STRING;
    }
}

// The elements that the extender changed go back into the script's array, as long as the
// array still has the shape it was sent with.
void WriteBackArrays(BDS* ctx, OldFormCall& call)
{
    uint16_t kept = ctx->nErrorCode;
    for (int i = 0; i < EXT_MAX_ARGS; ++i) {
        ArrayHeader* array = call.arrays[i];
        OldArrayDescriptor* descriptor = call.descriptors[i];
        if (!array || !descriptor || !array->data || (array->flags & ARRAY_MAP))
            continue;
        auto* elements = reinterpret_cast<OldArgRecord*>(descriptor + 1);
        bool sameShape = array->ndims == descriptor->ndims;
        uint32_t count = 1;
        for (int d = 0; d < MAX_ARRAY_DIMS && sameShape; ++d) {
            sameShape = array->dims[d] == descriptor->dims[d];
            if (d < array->ndims)
                count *= array->dims[d];
        }
        if (!sameShape || count != array->count)
            continue;
        for (uint32_t e = 0; e < count; ++e) {
            if (SameOldValue(elements[e], call.sent[i][e]))
                continue;
            FreeValue(ctx, &array->data[e], 0, VK_ELEMENT);
            StoreOldValue(ctx, elements[e], array->data[e]);
        }
    }
    SetError(ctx, kept);
}

void ReleaseOldForm(BDS* ctx, OldFormCall& call)
{
    for (int i = 0; i < EXT_MAX_ARGS; ++i) {
        if (call.descriptors[i]) {
            HGLOBAL block = GlobalHandle(call.descriptors[i]);
            GlobalUnlock(block);
            GlobalFree(block);
        }
        if (call.sent[i])
            HeapFree(GetProcessHeap(), 0, call.sent[i]);
    }
    for (uint32_t t = 0; t < call.textCount; ++t)
        VFree(ctx, call.texts[t]);
    if (call.texts)
        HeapFree(GetProcessHeap(), 0, call.texts);
}

}  // namespace

// ---------------------------------------------------------------- shared with loading

ExtenderEntry ExtenderEntryOf(BDS* ctx, uint32_t slot)
{
    uint32_t level = ctx->native.nExtInterface[slot];
    const char* name = level == 1 ? "ZALExtender" : level < 100000 ? "ZALExtender2" : "ZALExtender2W";
    return reinterpret_cast<ExtenderEntry>(
        reinterpret_cast<void*>(GetProcAddress(ctx->native.hExtModule[slot], name)));
}

HWND ExtenderWindow(BDS* ctx)
{
    return IsWindow(ctx->hwndOwner) ? ctx->hwndOwner : GetFocus();
}

void ShowMissingEntry(BDS* ctx, int message)
{
    char title[256], text[256];
    LoadMyString(ctx, EngineModule(), MSG_INTERNAL_ERROR, title, sizeof title);
    LoadMyString(ctx, EngineModule(), message, text, sizeof text);
    ShowMessageBox(ctx, GetFocus(), text, title, MB_OK | MB_ICONSTOP);
}

uint32_t AddonInterface(BDS* ctx, uint32_t id)
{
    uint32_t slot;
    int32_t code;
    return AddonTarget(ctx, id, &slot, &code) ? ctx->native.nExtInterface[slot] : 0;
}

bool CallAddonFunction(BDS* ctx, uint32_t id, ExtAnswerContext* answer, const char* const texts[5],
                       ExtArgRecord* records, int count, int32_t* status)
{
    uint32_t slot;
    int32_t code;
    if (!AddonTarget(ctx, id, &slot, &code)) {
        SetError(ctx, ERR_NOT_DEFINED);
        return false;
    }
    ExtenderEntry entry = ExtenderEntryOf(ctx, slot);
    if (!entry) {
        ShowMissingEntry(ctx, 864);
        SetError(ctx, CC_ALREADY_SHOWN);
        return false;
    }
    uint32_t level = ctx->native.nExtInterface[slot];
    void* slotWord = &ctx->native.nExtSlotWord[slot];
    auto u = [](const void* p) { return reinterpret_cast<uint64_t>(p); };
    if (level == 1) {
        *status = entry(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, code,
                        reinterpret_cast<void*>(&ExtAnswerV1), answer, slotWord, u(texts[0]),
                        u(texts[1]), u(texts[2]), u(texts[3]), u(texts[4]));
        return true;
    }
    if (level <= 3) {
        auto* call = static_cast<OldFormCall*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(OldFormCall)));
        if (!call) {
            SetError(ctx, ERR_ARRAY_COPY);
            return false;
        }
        bool ready = ConvertArgsForV2(ctx, *call, records);
        if (ready) {
            *status = entry(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, code,
                            reinterpret_cast<void*>(&ExtAnswerV2), answer, slotWord, u(call->records),
                            static_cast<uint64_t>(count), u(&call->scratch), 0, 0);
            WriteBackArrays(ctx, *call);
        }
        ReleaseOldForm(ctx, *call);
        HeapFree(GetProcessHeap(), 0, call);
        return ready;
    }
    ExtArgRecord scratch;
    std::memset(&scratch, 0, sizeof scratch);
    *status = entry(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, code,
                    reinterpret_cast<void*>(&VezudAnswer), answer, slotWord, u(records),
                    static_cast<uint64_t>(count), u(&scratch), 0, 0);
    return true;
}

// ---------------------------------------------------------------- answers of the older forms

extern "C" int32_t ExtAnswerV1(int32_t status, uint32_t word, void* answerContext, uint32_t kind,
                               uint32_t integer, const char* text)
{
    ExtArgRecord record;
    std::memset(&record, 0, sizeof record);
    if (kind == 0) {
        record.flags = VF_INT;
        record.i32 = static_cast<int32_t>(integer);
    } else if (kind == 2) {
        record.flags = VF_FLOAT;
        record.dbl = text ? std::strtod(text, nullptr) : 0.0;
    } else {
        record.flags = VF_STRING;
        record.text = text ? text : "";
    }
    return VezudAnswer(status, word, answerContext, &record);
}

extern "C" int32_t ExtAnswerV2(int32_t status, uint64_t word, void* answerContext,
                               const OldArgRecord* answer)
{
    auto* context = static_cast<ExtAnswerContext*>(answerContext);
    if (!answer || !context || !context->ctx || !context->result)
        return EXT_STATUS_NO_MEMORY;
    if (!(answer->flags & VF_ARRAY) || status < 0) {
        ExtArgRecord record;
        std::memset(&record, 0, sizeof record);
        record.dbl = answer->number;
        record.i32 = answer->integer;
        record.flags = answer->flags & OLD_FORM_FLAGS;
        record.text = reinterpret_cast<const char*>(answer->text);
        return VezudAnswer(status, word, answerContext, &record);
    }
    // An array answer: a new array of the descriptor's shape, filled from its elements.
    BDS* ctx = context->ctx;
    const auto* descriptor = reinterpret_cast<const OldArrayDescriptor*>(answer->text);
    if (!descriptor)
        return EXT_STATUS_ARRAY;
    uint16_t kept = ctx->nErrorCode;
    ValueHead made{};
    int ndims = descriptor->ndims <= MAX_ARRAY_DIMS ? descriptor->ndims : MAX_ARRAY_DIMS;
    int shaped = CreateMyArray(ctx, &made, descriptor->dims[0], descriptor->dims[1], descriptor->dims[2],
                               descriptor->dims[3], descriptor->dims[4], 0, ndims);
    SetError(ctx, kept);
    if (shaped < 0)
        return EXT_STATUS_ARRAY;
    ArrayHeader* array = ValueArray(&made);
    const auto* elements = reinterpret_cast<const OldArgRecord*>(descriptor->elements);
    if (array->ndims && elements) {
        for (uint32_t e = 0; e < array->count; ++e)
            StoreOldValue(ctx, elements[e], array->data[e]);
    }
    arrays::SetResultArray(ctx, context->result, made);
    context->result->originAddr = 0;
    context->result->originVar = ORIGIN_NONE;
    context->result->originScope = 0xFFFF;
    return status;
}
