// TEMPORARY stand-in for the extended-error buffer, so value errors can add their detail
// before error reporting is merged. Delete this file when the real AppendExtendedError
// lands.
#include <windows.h>

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/errors.h"

void AppendExtendedError(BDS* ctx, const char* text)
{
    if (!text) return;
    constexpr size_t kSize = 1025;
    HGLOBAL& block = ctx->err.hExtended;
    if (!block) block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kSize);
    auto* buffer = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!buffer) return;
    size_t used = strnlen(buffer, kSize - 1);
    if (used != 0) {
        static const char kSeparator[] =
            "\n\n----------------------------------------\n\xA0\n";
        size_t n = strlen(kSeparator);
        if (used + n < kSize) {
            memcpy(buffer + used, kSeparator, n);
            used += n;
        }
    }
    size_t n = strnlen(text, kSize - 1 - used);
    memcpy(buffer + used, text, n);
    buffer[used + n] = 0;
    GlobalUnlock(block);
}
