// The side channels of an error: the extended-error buffer (details shown by the error
// box's "&More Error Info") and the "LastError" record of a failed Windows call.
#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/files/settings.h"

namespace {

constexpr int MSG_SYSTEM_ERROR_CODE = 9515;   // "System error code %d"
constexpr size_t EXTENDED_BLOCK_SIZE = EXTENDED_ERROR_CHARS + 1;

// Between two entries: a blank line, 40 dashes, and a line holding only the byte 0xA0.
constexpr char ENTRY_SEPARATOR[] =
    "\n\n----------------------------------------\n\xA0\n";
static_assert(sizeof ENTRY_SEPARATOR - 1 == 2 + 40 + 1 + 1 + 1);

// Appends `text` at `length` without passing the buffer's capacity or splitting a
// double-byte character; answers the new length.
size_t AppendBounded(char* buffer, size_t length, const char* text)
{
    const char* p = text;
    while (*p) {
        const char* next = CharNextA(p);
        size_t width = static_cast<size_t>(next - p);
        if (length + width > EXTENDED_ERROR_CHARS)
            break;
        std::memcpy(buffer + length, p, width);
        length += width;
        p = next;
    }
    buffer[length] = 0;
    return length;
}

// Fills the first "%d" of a message text with a number. Message texts may come from a
// language file, so they are never used as a printf format.
void FillNumber(char* out, size_t size, const char* format, long number)
{
    const char* mark = std::strstr(format, "%d");
    if (!mark) {
        std::snprintf(out, size, "%s", format);
        return;
    }
    std::snprintf(out, size, "%.*s%ld%s", static_cast<int>(mark - format), format, number, mark + 2);
}

}  // namespace

void AppendExtendedError(BDS* ctx, const char* text)
{
    if (!ctx || !text)
        return;
    bool first = ctx->err.hExtended == nullptr;
    if (first) {
        ctx->err.hExtended = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, EXTENDED_BLOCK_SIZE);
        if (!ctx->err.hExtended)
            return;
    }
    char* buffer = static_cast<char*>(GlobalLock(ctx->err.hExtended));
    if (!buffer)
        return;
    size_t length = strnlen(buffer, EXTENDED_ERROR_CHARS);
    if (!first)
        length = AppendBounded(buffer, length, ENTRY_SEPARATOR);
    AppendBounded(buffer, length, text);
    GlobalUnlock(ctx->err.hExtended);
}

void AppendExtendedErrorW(BDS* ctx, const wchar_t* text)
{
    if (!ctx || !text)
        return;
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(bytes));
    if (!block)
        return;
    char* narrow = static_cast<char*>(block);
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, bytes, nullptr, nullptr) > 0)
        AppendExtendedError(ctx, narrow);
    GlobalFree(block);
}

bool ExtendedErrorText(BDS* ctx, char* out, int size)
{
    if (!out || size <= 0)
        return false;
    out[0] = 0;
    if (!ctx || !ctx->err.hExtended)
        return false;
    const char* buffer = static_cast<const char*>(GlobalLock(ctx->err.hExtended));
    if (!buffer)
        return false;
    lstrcpynA(out, buffer, size);
    GlobalUnlock(ctx->err.hExtended);
    return true;
}

void FreeExtendedError(BDS* ctx)
{
    if (ctx && ctx->err.hExtended) {
        GlobalFree(ctx->err.hExtended);
        ctx->err.hExtended = nullptr;
    }
}

void AddSystemErrorInfo(BDS* ctx, DWORD systemError, const char* apiName)
{
    if (!ctx || systemError == 0)
        return;
    char format[128];
    LoadMyString(ctx, EngineModule(), MSG_SYSTEM_ERROR_CODE, format, sizeof format);
    char described[200];
    FillNumber(described, sizeof described, format, static_cast<long>(systemError));
    char entry[EXTENDED_ERROR_CHARS + 1];
    std::snprintf(entry, sizeof entry, "%s error:\n\n     %s", apiName ? apiName : "", described);
    AppendExtendedError(ctx, entry);
}

void StoreLastError(BDS* ctx, DWORD systemError, const char* apiName, bool alsoExtended)
{
    if (!apiName)
        apiName = "";
    char value[300];
    std::snprintf(value, sizeof value, "%ld (%s)", static_cast<long>(systemError), apiName);
    WriteSettingsIni(ctx, "KVDYC64I", "LastError", value);
    if (alsoExtended) {
        char entry[EXTENDED_ERROR_CHARS + 1];
        std::snprintf(entry, sizeof entry, "%s error:\n\n    %ld", apiName,
                      static_cast<long>(systemError));
        AppendExtendedError(ctx, entry);
    }
}
