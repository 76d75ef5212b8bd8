// Bounded text copies that never split a double-byte character (or a UTF-16 pair).
#include "engine/core/text_bounded.h"

#include <windows.h>

#include <cwchar>
#include <cstring>

#include "engine/core/context.h"
#include "engine/data/text.h"

namespace {

constexpr uint16_t ERR_NULL_POINTER = 3098;

// Copies source into target[0 .. limit) and terminates it; answers the length copied.
// Lead bytes are the system's, as everywhere ANSI text is walked: the script's own code
// page governs conversions only.
size_t CopyNarrow(BDS* ctx, char* target, const char* source, size_t limit)
{
    const CodePageTables& tables = TextTables(ctx);
    size_t i = 0;
    while (i < limit && source[i]) {
        if (tables.dbcs && tables.lead[static_cast<uint8_t>(source[i])]) {
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
    return CopyNarrow(ctx, target, source, size - 1);
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
    return used + CopyNarrow(ctx, target + used, source, size - 1 - used);
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
