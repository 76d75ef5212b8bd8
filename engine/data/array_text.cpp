// Arrays and text: ArrayItemize and ArrayToStr join elements into one text; Arrayize and
// ArrayFromStr split a text into a new one-dimension array (ANSI and wide forms).
#include <windows.h>

#include <cstring>
#include <cwchar>

#include "engine/core/heap.h"
#include "engine/core/router.h"
#include "engine/core/text_length.h"
#include "engine/data/array_internal.h"
#include "engine/data/text_join.h"

using namespace arrays;

namespace {


// The array argument of the joining built-ins: 1641, 1637, 1710.
ArrayHeader* JoinSource(BDS* ctx, const ValueHead& value)
{
    if (!(value.flags & VF_ARRAY)) {
        SetError(ctx, ERR_ARRAY_NOT_ARRAY);
        return nullptr;
    }
    return DimensionedArrayOf(ctx, value, MAX_ARRAY_DIMS);
}

size_t Length(const char* text) { return TextLength(text); }
size_t Length(const wchar_t* text) { return TextLength(text); }

}  // namespace

// ---------------------------------------------------------------- ArrayItemize

void ArrayItemizeCase(BDS* ctx, BuiltinCall& call)
{
    if (!WideFormAvailable(ctx)) return;
    uint16_t entryError = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    ArrayHeader* array = JoinSource(ctx, call.args[1]);
    if (!array) return;
    const wchar_t* delimiter = ArgWText(ctx, call, 2);
    if (TextLength(delimiter) > 1) {
        SetError(ctx, ERR_ARRAY_DELIMITER);
        return;
    }
    if (!*delimiter) delimiter = L"\t";

    JoinBuffer<wchar_t> joined;
    bool first = true;
    for (uint32_t i = 0; i < array->count; ++i) {
        const ArrayElement& element = array->data[i];
        if (element.flags == 0) continue;
        ElementText<wchar_t> item;
        if (!item.Take(ctx, element)) {
            item.Release(ctx);
            if (ctx->nErrorCode == ERR_ARRAY_HEAP_FULL) break;
            ctx->nErrorCode = 0;  // an element without a text form is left out
            continue;
        }
        const wchar_t* text = item.Text(ctx);
        bool ok = (first || JoinAppend(ctx, &joined, delimiter, 1)) && JoinAppend(ctx, &joined, text, Length(text));
        item.Release(ctx);
        if (!ok) break;
        first = false;
    }
    if (!ctx->nErrorCode) SetResultWText(ctx, call.result, JoinText(&joined), joined.length);
    JoinFree(&joined);
    if (!ctx->nErrorCode) ctx->nErrorCode = entryError;
}

// ---------------------------------------------------------------- ArrayToStr

namespace {

template <typename Ch>
void JoinAll(BDS* ctx, const ArrayHeader* array, resultants* result)
{
    JoinBuffer<Ch> joined;
    for (uint32_t i = 0; i < array->count; ++i) {
        const ArrayElement& element = array->data[i];
        if (element.flags == 0 || (element.flags & VF_ARRAY)) continue;
        ElementText<Ch> item;
        if (!item.Take(ctx, element)) {
            item.Release(ctx);
            if (!ctx->nErrorCode) SetError(ctx, ERR_ARRAY_NOT_STRING);
            JoinFree(&joined);
            return;
        }
        const Ch* text = item.Text(ctx);
        bool ok = JoinAppend(ctx, &joined, text, Length(text));
        item.Release(ctx);
        if (!ok) {
            JoinFree(&joined);
            return;
        }
    }
    if constexpr (sizeof(Ch) == 1) SetResultText(ctx, result, JoinText(&joined), joined.length);
    else SetResultWText(ctx, result, JoinText(&joined), joined.length);
    JoinFree(&joined);
}

}  // namespace

void ArrayToStrCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = JoinSource(ctx, call.args[1]);
    if (!array) return;
    if (array->ndims > 1) {
        SetError(ctx, ERR_ARRAY_DIM_COUNT);
        return;
    }
    const ArrayElement& head = array->data[0];
    if ((head.flags & VF_STRING) && !(head.flags & VF_ARRAY)) JoinAll<char>(ctx, array, call.result);
    else JoinAll<wchar_t>(ctx, array, call.result);
}

// ---------------------------------------------------------------- Arrayize, ArrayFromStr

namespace {

// Walks ANSI text by character, wide text by unit.
int StepOf(const char* p) { return AnsiCharBytes(p); }
int StepOf(const wchar_t* p) { return *p ? 1 : 0; }

template <typename Ch>
bool SameChar(const Ch* p, int step, const Ch* delimiter, int delimiterLength)
{
    return step == delimiterLength && std::memcmp(p, delimiter, sizeof(Ch) * step) == 0;
}

// A new array of `count` elements filled by `fill(array)`; the result on success.
template <typename Fill>
void MakeFilledArray(BDS* ctx, uint32_t count, resultants* result, Fill fill)
{
    ValueHead made{};
    if (CreateMyArray(ctx, &made, count, 0, 0, 0, 0, 0, 1) < 0) return;
    if (!fill(ValueArray(&made))) {
        uint64_t holder = made.str;
        ReleaseArray(ctx, &holder, 0);
        return;
    }
    SetResultArray(ctx, result, made);
}

template <typename Ch>
void Arrayize(BDS* ctx, const Ch* list, const Ch* delimiter, resultants* result)
{
    int delimiterLength = *delimiter ? StepOf(delimiter) : 0;
    if (delimiterLength && delimiter[delimiterLength] != 0) {
        SetError(ctx, ERR_ARRAY_DELIMITER);
        return;
    }
    static const Ch tab[2] = {'\t', 0};
    if (!delimiterLength) {
        delimiter = tab;
        delimiterLength = 1;
    }
    uint32_t items = 0;
    if (*list) {
        items = 1;
        for (const Ch* p = list; *p; p += StepOf(p))
            if (SameChar(p, StepOf(p), delimiter, delimiterLength)) ++items;
    }
    MakeFilledArray(ctx, items, result, [&](ArrayHeader* array) {
        const Ch* start = list;
        for (uint32_t i = 0; i < items; ++i) {
            const Ch* end = start;
            while (*end && !SameChar(end, StepOf(end), delimiter, delimiterLength)) end += StepOf(end);
            if (!StoreElementText(ctx, array->data[i], start, static_cast<size_t>(end - start))) return false;
            start = *end ? end + delimiterLength : end;
        }
        return true;
    });
}

template <typename Ch>
void FromText(BDS* ctx, const Ch* text, resultants* result)
{
    uint32_t count = 0;
    for (const Ch* p = text; *p; p += StepOf(p)) ++count;
    MakeFilledArray(ctx, count, result, [&](ArrayHeader* array) {
        const Ch* p = text;
        for (uint32_t i = 0; i < count; ++i) {
            int step = StepOf(p);
            if (!StoreElementText(ctx, array->data[i], p, static_cast<size_t>(step))) return false;
            p += step;
        }
        return true;
    });
}

}  // namespace

void ArrayizeCase(BDS* ctx, BuiltinCall& call)
{
    if (call.wide) Arrayize(ctx, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2), call.result);
    else Arrayize(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2), call.result);
}

void ArrayFromStrCase(BDS* ctx, BuiltinCall& call)
{
    if (call.wide) FromText(ctx, ArgWText(ctx, call, 1), call.result);
    else FromText(ctx, ArgText(ctx, call, 1), call.result);
}
