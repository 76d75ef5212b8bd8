// Helpers shared by the array, map, search, text and file built-ins.
#include "engine/core/text_length.h"
#include "engine/data/array_internal.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "engine/core/charclass.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"

namespace arrays {

ArrayHeader* ElementArrayOf(BDS* ctx, const ValueHead& value)
{
    ArrayHeader* array = ValueArray(&value);
    if (!IsElementArray(array)) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return nullptr;
    }
    return array;
}

ArrayHeader* DimensionedArrayOf(BDS* ctx, const ValueHead& value, int maxDims)
{
    ArrayHeader* array = ElementArrayOf(ctx, value);
    if (!array)
        return nullptr;
    if (array->ndims == 0) {
        SetError(ctx, ERR_ARRAY_EMPTY);
        return nullptr;
    }
    if (array->ndims > maxDims) {
        SetError(ctx, ERR_ARRAY_DIM_COUNT);
        return nullptr;
    }
    return array;
}

void SetResultArray(BDS* ctx, resultants* result, const ValueHead& made)
{
    FreeValue(ctx, result, 0, VK_RECORD);
    result->flags = VF_ARRAY;
    result->str = made.str;
    result->wstr = 0;
}

StoredKind StoredKindOf(const ValueHead* value)
{
    switch (value->flags) {
    case 1: case 3: case 33: case 35:
        return SK_INT;
    case 0x2000: case 0x2001: case 0x2002: case 0x2003:
        return SK_INT64;
    case 32: case 34:
        return SK_FLOAT;
    case 2:
        return SK_TEXT;
    default:
        break;
    }
    if (value->flags & VF_UNICODE) return SK_WIDE;
    if ((value->flags & VF_ARRAY) && value->str) return SK_ARRAY;
    return SK_INVALID;
}

void DropAddedTexts(BDS* ctx, resultants& copy, const ValueHead& original)
{
    bool hadNarrow = (original.flags & VF_STRING) && !(original.flags & VF_ARRAY);
    bool hadWide = (original.flags & VF_UNICODE) != 0;
    if (!hadNarrow && (copy.flags & VF_STRING) && !(copy.flags & VF_ARRAY) && copy.str) VFree(ctx, copy.str);
    if (!hadWide && (copy.flags & VF_UNICODE) && copy.wstr) VFree(ctx, copy.wstr);
}

bool StoreElementText(BDS* ctx, ArrayElement& element, const char* text, size_t length)
{
    element.str = HeapCopyText(ctx, text, length);
    if (!element.str) {
        SetError(ctx, ERR_ARRAY_HEAP_FULL);
        return false;
    }
    element.flags = VF_STRING;
    return true;
}

bool StoreElementText(BDS* ctx, ArrayElement& element, const wchar_t* text, size_t length)
{
    element.wstr = HeapCopyWText(ctx, text, length);
    if (!element.wstr) {
        SetError(ctx, ERR_ARRAY_HEAP_FULL);
        return false;
    }
    element.flags = VF_UNICODE;
    return true;
}

int StoreValueAs(BDS* ctx, const ValueHead* value, StoredKind kind, ArrayElement* element)
{
    std::memset(element, 0, sizeof *element);
    switch (kind) {
    case SK_INT:
        element->i32 = value->i32;
        element->flags = VF_INT;
        return 1;
    case SK_INT64:
        element->i64 = (value->flags & VF_INT64) ? value->i64 : value->i32;
        element->flags = VF_INT64;
        return 1;
    case SK_FLOAT:
        element->dbl = value->dbl;
        element->flags = VF_FLOAT;
        return 1;
    case SK_TEXT: {
        const char* text = ValueText(ctx, value);
        return StoreElementText(ctx, *element, text, TextLength(text)) ? 1 : 0;
    }
    case SK_WIDE: {
        const wchar_t* text = ValueWText(ctx, value);
        return StoreElementText(ctx, *element, text, TextLength(text)) ? 1 : 0;
    }
    case SK_ARRAY:
        element->str = value->str;
        element->flags = VF_ARRAY;
        AddArrayRef(ValueArray(value));
        return 1;
    case SK_INVALID:
        break;
    }
    return 0;
}

int AnsiCharBytes(const char* p)
{
    if (*p == 0) return 0;
    return (IsLeadByte(*p) && p[1] != 0) ? 2 : 1;
}

int AnsiCharCount(const char* text)
{
    int n = 0;
    for (int step; (step = AnsiCharBytes(text)) != 0; text += step) ++n;
    return n;
}

void AppendHintNumber(BDS* ctx, int id, int number)
{
    char format[512];
    if (!LoadMyString(ctx, EngineModule(), id, format, sizeof format)) return;
    char text[600];
    std::snprintf(text, sizeof text, format, number);
    AppendExtendedError(ctx, text);
}

void AppendHintText(BDS* ctx, int id, const char* value)
{
    char format[512];
    if (!LoadMyString(ctx, EngineModule(), id, format, sizeof format)) return;
    char text[700];
    std::snprintf(text, sizeof text, format, value);
    AppendExtendedError(ctx, text);
}

}  // namespace arrays
