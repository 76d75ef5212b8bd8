// Bounded text copies that never split a double-byte character (or a UTF-16 pair).
#include "engine/core/text_bounded.h"

#include <windows.h>

#include <cwchar>
#include <cstring>

#include "engine/core/context.h"

namespace {

constexpr uint16_t ERR_NULL_POINTER = 3098;

UINT CodePageOf(const BDS* ctx)
{
    return ctx && ctx->nCodePage ? ctx->nCodePage : CP_ACP;
}

// Whether the code page has double-byte characters; the last answer is kept.
bool IsDoubleByteCodePage(UINT codePage)
{
    static UINT lastPage = ~0u;
    static bool lastAnswer = false;
    if (codePage != lastPage) {
        CPINFO info;
        lastAnswer = GetCPInfo(codePage, &info) && info.MaxCharSize > 1;
        lastPage = codePage;
    }
    return lastAnswer;
}

// Copies source into target[0 .. limit) and terminates it; answers the length copied.
size_t CopyNarrow(char* target, const char* source, size_t limit, UINT codePage)
{
    size_t i = 0;
    if (!IsDoubleByteCodePage(codePage)) {
        while (i < limit && source[i]) {
            target[i] = source[i];
            ++i;
        }
    } else {
        while (i < limit && source[i]) {
            if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(source[i]))) {
                // A pair that does not fit, or a lead byte without its trail, is left out.
                if (i + 2 > limit || !source[i + 1])
                    break;
                target[i] = source[i];
                target[i + 1] = source[i + 1];
                i += 2;
            } else {
                target[i] = source[i];
                ++i;
            }
        }
    }
    target[i] = 0;
    return i;
}

size_t CopyWide(wchar_t* target, const wchar_t* source, size_t limit)
{
    size_t i = 0;
    while (i < limit && source[i]) {
        if (IS_HIGH_SURROGATE(source[i]) && IS_LOW_SURROGATE(source[i + 1])) {
            if (i + 2 > limit)
                break;
            target[i] = source[i];
            target[i + 1] = source[i + 1];
            i += 2;
        } else {
            target[i] = source[i];
            ++i;
        }
    }
    target[i] = 0;
    return i;
}

bool RefuseNull(BDS* ctx, const void* target, const void* source)
{
    if (target && source)
        return false;
    if (ctx)
        SetError(ctx, ERR_NULL_POINTER);
    return true;
}

}  // namespace

size_t CopyStringBoundedA(BDS* ctx, char* target, const char* source, size_t size)
{
    if (RefuseNull(ctx, target, source) || size == 0)
        return 0;
    return CopyNarrow(target, source, size - 1, CodePageOf(ctx));
}

size_t CopyStringBoundedW(BDS* ctx, wchar_t* target, const wchar_t* source, size_t size)
{
    if (RefuseNull(ctx, target, source) || size == 0)
        return 0;
    return CopyWide(target, source, size - 1);
}

size_t AppendStringBoundedA(BDS* ctx, char* target, const char* source, size_t size)
{
    if (RefuseNull(ctx, target, source) || size == 0)
        return 0;
    size_t used = strnlen(target, size);
    if (used >= size) {   // not terminated inside its buffer: end it there
        target[size - 1] = 0;
        return size - 1;
    }
    return used + CopyNarrow(target + used, source, size - 1 - used, CodePageOf(ctx));
}

size_t AppendStringBoundedW(BDS* ctx, wchar_t* target, const wchar_t* source, size_t size)
{
    if (RefuseNull(ctx, target, source) || size == 0)
        return 0;
    size_t used = wcsnlen(target, size);
    if (used >= size) {
        target[size - 1] = 0;
        return size - 1;
    }
    return used + CopyWide(target + used, source, size - 1 - used);
}
