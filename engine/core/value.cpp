// Value operations: initialising, releasing and copying value heads, converting between
// their forms, the heap text copies they rely on, and the result setters of built-ins.
//
// Texts are heap offsets, never pointers, so a head can be copied byte for byte; who owns
// a text, an array reference or a COM value is decided by the operation's mode.
#include "engine/core/value.h"

#include <cmath>
#include <cstring>
#include <cwchar>

#include "engine/com/com_value.h"
#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/text_length.h"
#include "engine/data/array.h"

namespace {

constexpr uint32_t kComFlags = VF_VARIANT | VF_COMOBJ | VF_COMTEMP;

bool ValidKind(int kind) { return kind >= VK_ARGUMENT && kind <= VK_ELEMENT; }

bool HasNarrowText(const ValueHead* value)
{
    return (value->flags & VF_STRING) && !(value->flags & VF_ARRAY) && value->str != 0;
}

// Float rounded half away from zero, when it lies within the signed 64-bit range.
bool RoundToInt64(double value, int64_t* out)
{
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return false;
    double rounded = RoundHalfAway(value);
    if (rounded >= 9223372036854775808.0) return false;
    *out = static_cast<int64_t>(rounded);
    return true;
}

// Runs a COM conversion whose failure is reported by the caller, not by its own code.
bool ConvertComQuietly(BDS* ctx, uint32_t kind, ValueHead* value)
{
    uint16_t previous = ctx->nErrorCode;
    if (ValueConvertInPlace(ctx, kind, value)) return true;
    ctx->nErrorCode = previous;
    return false;
}

// Gives a value whose text is only wide (or only in a COM text) its narrow form.
bool EnsureNarrowText(BDS* ctx, ValueHead* value)
{
    if (HasNarrowText(value)) return true;
    if (value->flags & VF_ARRAY) return false;
    if (value->flags & VF_UNICODE) return ValueToString(ctx, value) != 0;
    if ((value->flags & VF_VARIANT) && ValueIsBstr(value))
        return ConvertComQuietly(ctx, VF_STRING, value);
    return false;
}

// The text of a number form, for the text conversions; false when there is none.
bool NumberText(BDS* ctx, const ValueHead* value, char* text, size_t size)
{
    if (value->flags & VF_INT) {
        LongToTextA(value->i32, text, 10);
        return true;
    }
    if (value->flags & VF_INT64) {
        Int64ToTextA(value->i64, text, 10);
        return true;
    }
    if (value->flags & VF_FLOAT)
        return FloatToText(ctx, value->dbl, text, size) != 0;
    return false;
}

void FreeText(BDS* ctx, uint64_t& offset)
{
    if (offset != 0) VFree(ctx, offset);
    offset = 0;
}

}  // namespace

// ---------------------------------------------------------------- heap texts

UINT ValueCodePage(BDS* ctx) { return ctx->nCodePage ? ctx->nCodePage : CP_ACP; }

uint64_t HeapCopyText(BDS* ctx, const char* text, size_t length)
{
    uint64_t offset = VMalloc(ctx, length + 1);
    if (offset == 0) return 0;
    char* target = HeapPtr(ctx, offset);
    if (length) memcpy(target, text, length);
    target[length] = 0;
    return offset;
}

uint64_t HeapCopyWText(BDS* ctx, const wchar_t* text, size_t length)
{
    uint64_t offset = VMalloc(ctx, (length + 1) * sizeof(wchar_t));
    if (offset == 0) return 0;
    auto* target = reinterpret_cast<wchar_t*>(HeapPtr(ctx, offset));
    if (length) memcpy(target, text, length * sizeof(wchar_t));
    target[length] = 0;
    return offset;
}

uint64_t HeapCopyWideAsNarrow(BDS* ctx, const wchar_t* text, size_t length)
{
    UINT codePage = ValueCodePage(ctx);
    int count = static_cast<int>(length);
    int bytes = length ? WideCharToMultiByte(codePage, 0, text, count, nullptr, 0, nullptr, nullptr) : 0;
    if (length && bytes <= 0) return HeapCopyText(ctx, "", 0);
    uint64_t offset = VMalloc(ctx, static_cast<uint64_t>(bytes) + 1);
    if (offset == 0) return 0;
    char* target = HeapPtr(ctx, offset);
    if (bytes) WideCharToMultiByte(codePage, 0, text, count, target, bytes, nullptr, nullptr);
    target[bytes] = 0;
    return offset;
}

uint64_t HeapCopyNarrowAsWide(BDS* ctx, const char* text, size_t length)
{
    UINT codePage = ValueCodePage(ctx);
    int count = static_cast<int>(length);
    int units = length ? MultiByteToWideChar(codePage, 0, text, count, nullptr, 0) : 0;
    if (length && units <= 0) return HeapCopyWText(ctx, L"", 0);
    uint64_t offset = VMalloc(ctx, (static_cast<uint64_t>(units) + 1) * sizeof(wchar_t));
    if (offset == 0) return 0;
    auto* target = reinterpret_cast<wchar_t*>(HeapPtr(ctx, offset));
    if (units) MultiByteToWideChar(codePage, 0, text, count, target, units);
    target[units] = 0;
    return offset;
}

const char* ValueText(BDS* ctx, const ValueHead* value)
{
    return HasNarrowText(value) ? HeapPtr(ctx, value->str) : "";
}

const wchar_t* ValueWText(BDS* ctx, const ValueHead* value)
{
    if ((value->flags & VF_UNICODE) && value->wstr != 0)
        return reinterpret_cast<const wchar_t*>(HeapPtr(ctx, value->wstr));
    return L"";
}

// ---------------------------------------------------------------- life of a value

int FreeValueParts(BDS* ctx, void* value, int index, int mode)
{
    int kind = mode & 0xF;
    if (!ValidKind(kind)) return 0;
    auto* head = static_cast<ValueHead*>(value);
    uint32_t flags = head->flags;

    if (flags & VF_ARRAY) {
        if (!(mode & VM_KEEP_ARRAY))
            ReleaseArray(ctx, &head->str, 0);
        head->str = 0;  // the block address shares the narrow text's field
        flags &= ~(VF_ARRAY | VF_STRING);
    } else if (flags & VF_STRING) {
        FreeText(ctx, head->str);
        flags &= ~VF_STRING;
    }
    if (flags & VF_UNICODE) {
        FreeText(ctx, head->wstr);
        flags &= ~VF_UNICODE;
    }
    if (flags & VF_VARIANT) {
        // A record taken from a variable or an element only refers to its COM value.
        bool borrowed = kind == VK_RECORD && static_cast<resultants*>(value)->originVar < ORIGIN_NONE;
        if (!(mode & VM_KEEP_COM) && !borrowed)
            ValueReleaseComPayload(flags, head);
        else
            VariantInit(&head->var);
        flags &= ~kComFlags;
    }
    head->flags = flags;
    return 1;
}

namespace {

// A record copied to remembers where its value came from: a variable, a record's origin,
// or an element.
void NoteOrigin(BDS* ctx, const void* source, void* target, int index, int mode, int sourceKind)
{
    auto* record = static_cast<resultants*>(target);
    if (sourceKind == VK_ARGUMENT) {
        record->originAddr = 0;
        record->originVar = static_cast<uint16_t>(index & 0xFFFF);
        record->originScope = static_cast<uint16_t>(
            (mode & VM_SCOPE_IN_INDEX) ? (static_cast<uint32_t>(index) >> 16) : ctx->nScopeCurrent);
    } else if (sourceKind == VK_RECORD) {
        const auto* origin = static_cast<const resultants*>(source);
        record->originAddr = origin->originAddr;
        record->originVar = origin->originVar;
        record->originScope = origin->originScope;
    } else {
        record->originAddr = reinterpret_cast<uint64_t>(source);
        record->originVar = ORIGIN_ELEMENT;
        record->originScope = 0xFFFF;
    }
}

}  // namespace

int CopyValue(BDS* ctx, const void* source, void* target, int index, int mode)
{
    int sourceKind = mode & 0xF;
    int targetKind = (mode >> 4) & 0xF;
    if (!ValidKind(sourceKind) || !ValidKind(targetKind)) return 0;
    const auto* from = static_cast<const ValueHead*>(source);
    auto* to = static_cast<ValueHead*>(target);

    // A number (or nothing) owns no text, array or COM value: its head is the whole copy.
    if (!(from->flags & (VF_STRING | VF_UNICODE | VF_ARRAY | VF_VARIANT))) {
        ValueHead head;
        memcpy(&head, from, sizeof head);
        memcpy(to, &head, sizeof head);
        if (targetKind == VK_RECORD)
            NoteOrigin(ctx, source, target, index, mode, sourceKind);
        return 1;
    }

    // Everything that can fail comes first, so a failed copy leaves the target alone.
    bool copyNarrow = (mode & VM_COPY_TEXT) && HasNarrowText(from);
    bool copyWide = (mode & VM_COPY_TEXT) && (from->flags & VF_UNICODE) && from->wstr != 0;
    uint64_t narrow = from->str;
    uint64_t wide = from->wstr;
    if (copyNarrow) {
        const char* text = HeapPtr(ctx, from->str);
        narrow = HeapCopyText(ctx, text, TextLength(text));
        if (narrow == 0) {
            SetError(ctx, 3096);
            return 0;
        }
    }
    if (copyWide) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(HeapPtr(ctx, from->wstr));
        wide = HeapCopyWText(ctx, text, TextLength(text));
        if (wide == 0) {
            if (copyNarrow) VFree(ctx, narrow);
            SetError(ctx, 3096);
            return 0;
        }
    }
    ValueHead com{};
    bool copyCom = (mode & VM_COPY_COM) && (from->flags & VF_VARIANT);
    if (copyCom && !VariantToValueCopy(ctx, from->flags, from, &com)) {
        if (copyNarrow) VFree(ctx, narrow);
        if (copyWide) VFree(ctx, wide);
        return 0;
    }

    ValueHead head;     // source and target may be the same record
    memcpy(&head, from, sizeof head);
    memcpy(to, &head, sizeof head);
    to->str = narrow;
    to->wstr = wide;
    if (copyCom) {
        to->var = com.var;
        to->flags &= ~VF_COMTEMP;
    }
    if ((mode & VM_ADD_ARRAY_REF) && (to->flags & VF_ARRAY))
        AddArrayRef(ValueArray(to));

    if (targetKind == VK_RECORD)
        NoteOrigin(ctx, source, target, index, mode, sourceKind);
    return 1;
}

// ---------------------------------------------------------------- conversions

int ValueToString(BDS* ctx, ValueHead* value)
{
    uint32_t flags = value->flags;
    if (flags & VF_ARRAY) return 0;
    if (flags & VF_STRING) return 1;

    // A COM value is the source of any number form derived from it.
    if (flags & VF_VARIANT) return ValueConvertInPlace(ctx, VF_STRING, value);
    uint64_t offset;
    if ((flags & VF_UNICODE) && value->wstr != 0) {
        const wchar_t* wide = ValueWText(ctx, value);
        offset = HeapCopyWideAsNarrow(ctx, wide, TextLength(wide));
    } else if (flags & (VF_INT | VF_INT64 | VF_FLOAT)) {
        char text[FLOAT_TEXT_SIZE];
        if (!NumberText(ctx, value, text, sizeof text)) return 0;
        offset = HeapCopyText(ctx, text, TextLength(text));
    } else {
        return 0;
    }
    if (offset == 0) {
        SetError(ctx, 3096);
        return 0;
    }
    value->str = offset;
    value->flags |= VF_STRING;
    return 1;
}

int ValueToWide(BDS* ctx, ValueHead* value)
{
    uint32_t flags = value->flags;
    if ((flags & VF_UNICODE) && value->wstr != 0) return 1;
    if (flags & VF_ARRAY) return 0;

    if (flags & VF_VARIANT) return ValueConvertInPlace(ctx, VF_UNICODE, value);
    uint64_t offset;
    if (HasNarrowText(value)) {
        const char* text = ValueText(ctx, value);
        offset = HeapCopyNarrowAsWide(ctx, text, TextLength(text));
    } else if (flags & (VF_INT | VF_INT64 | VF_FLOAT)) {
        char text[FLOAT_TEXT_SIZE];
        if (!NumberText(ctx, value, text, sizeof text)) return 0;
        offset = HeapCopyNarrowAsWide(ctx, text, TextLength(text));
    } else {
        return 0;
    }
    if (offset == 0) {
        SetError(ctx, 3096);
        return 0;
    }
    value->wstr = offset;
    value->flags |= VF_UNICODE;
    return 1;
}

int ValueToInteger(BDS* ctx, ValueHead* value, bool allowFloat, bool allow64)
{
    uint32_t flags = value->flags;
    if (flags & VF_INT) return 1;

    if (flags & VF_FLOAT) {
        if (!allowFloat) return 0;
        if (nPendingMathError != 0) {
            SetError(ctx, static_cast<uint16_t>(nPendingMathError));
            nPendingMathError = 0;
            return 0;
        }
        double number = value->dbl;
        if (std::fabs(number) <= 2147483645.0) {
            value->i32 = static_cast<int32_t>(RoundHalfAway(number));
            value->flags = (flags & ~VF_FLOAT) | VF_INT;
            return 1;
        }
        int64_t wide;
        if (!allow64 || !RoundToInt64(number, &wide)) return 0;
        value->i64 = wide;
        value->flags = (flags & ~VF_FLOAT) | VF_INT64;
        return 1;
    }

    if (flags & VF_INT64) {
        if (allow64) return 1;
        value->i32 = static_cast<int32_t>(static_cast<uint32_t>(value->i64));
        value->flags = (flags & ~VF_INT64) | VF_INT;
        return 1;
    }

    if ((flags & VF_VARIANT) && !ValueIsBstr(value)) {
        // A COM number with a fraction (or beyond what an integer holds) is a float: without
        // rounding allowed it is refused here, so arithmetic takes its float form.
        if (!allowFloat && VariantNeedsFloat(value)) return 0;
        if (ConvertComQuietly(ctx, VF_INT, value)) return 1;
        return allow64 && ConvertComQuietly(ctx, VF_INT64, value) ? 1 : 0;
    }

    if (!EnsureNarrowText(ctx, value)) return 0;
    int64_t number;
    if (!ParseIntegerTextA(ValueText(ctx, value), &number)) return 0;
    if (number >= INT32_MIN && number <= INT32_MAX) {
        value->i32 = static_cast<int32_t>(number);
        value->flags |= VF_INT;
        return 1;
    }
    if (!allow64) return 0;  // never wrapped into 32 bits
    value->i64 = number;
    value->flags |= VF_INT64;
    return 1;
}

int ValueToInt64(BDS* ctx, ValueHead* value, int64_t* out, bool allowFloat)
{
    uint32_t flags = value->flags;
    int64_t number;
    if (flags & VF_INT64) {
        number = value->i64;
    } else if (flags & VF_INT) {
        number = value->i32;
    } else if (flags & VF_FLOAT) {
        if (!allowFloat || !RoundToInt64(value->dbl, &number)) return 0;
    } else if ((flags & VF_VARIANT) && !ValueIsBstr(value)) {
        if (!ConvertComQuietly(ctx, VF_INT64, value)) return 0;
        number = value->i64;
    } else {
        if (!EnsureNarrowText(ctx, value)) return 0;
        if (!ParseIntegerTextA(ValueText(ctx, value), &number)) return 0;
    }
    if (out) {
        *out = number;
    } else {
        value->i64 = number;
        value->flags = (value->flags & ~VF_FLOAT) | VF_INT64;
    }
    return 1;
}

int ValueToFloat(BDS* ctx, ValueHead* value)
{
    uint32_t flags = value->flags;
    if (flags & VF_FLOAT) return 1;
    if ((flags & VF_VARIANT) && !ValueIsBstr(value))
        return ConvertComQuietly(ctx, VF_FLOAT, value) ? 1 : 0;
    if (flags & VF_INT) {
        value->dbl = value->i32;  // the 64-bit field is shared: a 64-bit form goes
        value->flags = (flags & ~VF_INT64) | VF_FLOAT;
        return 1;
    }
    if (flags & VF_INT64) {
        value->dbl = static_cast<double>(value->i64);
        value->flags = (flags & ~VF_INT64) | VF_FLOAT;
        return 1;
    }

    uint16_t previous = ctx->nErrorCode;
    double number;
    if (!EnsureNarrowText(ctx, value) || !TextToFloat(ctx, ValueText(ctx, value), &number)) {
        ctx->nErrorCode = previous;
        return 0;
    }
    value->dbl = number;
    value->flags |= VF_FLOAT;
    return 1;
}

// ---------------------------------------------------------------- result setters

namespace {

// Releases what the result held and makes it a fresh record with the given flags.
void ResetResult(BDS* ctx, resultants* result, uint32_t flags)
{
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    result->flags = flags;
}

}  // namespace

void SetResultInt(BDS* ctx, resultants* result, int32_t value)
{
    ResetResult(ctx, result, VF_INT);
    result->i32 = value;
}

void SetResultInt64(BDS* ctx, resultants* result, int64_t value)
{
    ResetResult(ctx, result, VF_INT64);
    result->i64 = value;
}

void SetResultFloat(BDS* ctx, resultants* result, double value)
{
    ResetResult(ctx, result, VF_FLOAT);
    result->dbl = value;
}

int SetResultText(BDS* ctx, resultants* result, const char* text, size_t length)
{
    uint64_t offset = HeapCopyText(ctx, text ? text : "", text ? length : 0);
    if (offset == 0) {
        SetError(ctx, 3096);
        return 0;
    }
    ResetResult(ctx, result, VF_STRING);
    result->str = offset;
    return 1;
}

int SetResultText(BDS* ctx, resultants* result, const char* text)
{
    return SetResultText(ctx, result, text, text ? TextLength(text) : 0);
}

int SetResultWText(BDS* ctx, resultants* result, const wchar_t* text, size_t length)
{
    uint64_t offset = HeapCopyWText(ctx, text ? text : L"", text ? length : 0);
    if (offset == 0) {
        SetError(ctx, 3096);
        return 0;
    }
    ResetResult(ctx, result, VF_UNICODE);
    result->wstr = offset;
    return 1;
}

int SetResultWText(BDS* ctx, resultants* result, const wchar_t* text)
{
    return SetResultWText(ctx, result, text, text ? TextLength(text) : 0);
}
