// StrCat: the concatenation of any number of values, as wide text when one of them is
// wide text or a COM value, else as ANSI text. StrCat reads its own argument list.
#include <cstring>
#include <cwchar>

#include "engine/core/text_length.h"
#include "engine/data/own_args.h"
#include "engine/data/string_builtins.h"
#include "engine/data/text.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_STRCAT_SYNTAX = 2058;
constexpr uint16_t ERR_NOT_STRING = 3056;
constexpr int kMaxArguments = 1024;   // the records of the working block

// 3056 unless the conversion has reported a cause of its own (a full heap).
void ConversionFailed(BDS* ctx)
{
    if (ctx->nErrorCode == 0) SetError(ctx, ERR_NOT_STRING);
}

}  // namespace

void StrCatValues(BDS* ctx, resultants* values, int count, resultants* result)
{
    bool wide = false;
    for (int i = 0; i < count && !wide; ++i)
        wide = (values[i].flags & (VF_UNICODE | VF_VARIANT)) != 0;

    uint64_t units = 0;
    for (int i = 0; i < count; ++i) {
        ValueHead* value = &values[i];
        if (wide) {
            if (!(value->flags & VF_UNICODE) && !ValueToWide(ctx, value)) return ConversionFailed(ctx);
            units += TextLength(ValueWText(ctx, value));
        } else {
            if (!(value->flags & VF_STRING) && !ValueToString(ctx, value)) return ConversionFailed(ctx);
            units += TextLength(ValueText(ctx, value));
        }
    }
    if (units > 0x7FFFFFF0) return SetError(ctx, 3096);

    if (wide) {
        wchar_t* out = NewResultTextW(ctx, result, static_cast<size_t>(units));
        for (int i = 0; out && i < count; ++i) {
            const wchar_t* text = ValueWText(ctx, &values[i]);
            size_t n = TextLength(text);
            std::memcpy(out, text, n * sizeof(wchar_t));
            out += n;
        }
    } else {
        char* out = NewResultTextA(ctx, result, static_cast<size_t>(units));
        for (int i = 0; out && i < count; ++i) {
            const char* text = ValueText(ctx, &values[i]);
            size_t n = TextLength(text);
            std::memcpy(out, text, n);
            out += n;
        }
    }
}

// ---------------------------------------------------------------- argument list

namespace {

// Evaluates the expressions up to `)` into the block; answers how many were read (also
// on error, so that they are released).
int ReadArguments(BDS* ctx, resultants* values)
{
    if (OwnArgsEmpty(ctx)) return 0;   // StrCat(): the empty text
    int count = 0;
    for (;;) {
        if (count == kMaxArguments) {   // more than the block holds: not read further
            SetError(ctx, ERR_STRCAT_SYNTAX);
            return count;
        }
        if (ReadOwnArg(ctx, &values[count++], ERR_STRCAT_SYNTAX) != OWN_ARG_MORE) return count;
    }
}

}  // namespace

void DoStrCat(BDS* ctx, resultants* result)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kMaxArguments * sizeof(resultants));
    auto* values = block ? static_cast<resultants*>(GlobalLock(block)) : nullptr;
    if (!values) {
        if (block) GlobalFree(block);
        return SetError(ctx, ERR_NO_MEMORY);
    }
    int count = ReadArguments(ctx, values);
    if (!ctx->nErrorCode) StrCatValues(ctx, values, count, result);
    for (int i = 0; i < count; ++i) ReleaseOwnArg(ctx, &values[i]);
    GlobalUnlock(block);
    GlobalFree(block);
}
