// The engine's plain message boxes (ShowMessageBox, the capped boxes) and the quiet-mode
// log, in which boxes are written instead of shown when no user can answer them.
#include "engine/ui/message_box.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/core/locked_global.h"

namespace {

constexpr size_t CAPPED_TEXT_CHARS = 20000;
constexpr uint16_t ERR_NO_MEMORY = 1588;   // "Unable to allocate or lock memory"

void KeepIfNotEmpty(char* target, const char* text)
{
    if (text && *text)
        lstrcpynA(target, text, ERROR_TEXT_SIZE);
}

bool WriteAll(HANDLE file, const char* data, size_t length)
{
    while (length > 0) {
        DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        length -= written;
    }
    return true;
}

bool WriteText(HANDLE file, const char* text)
{
    return WriteAll(file, text, std::strlen(text));
}

// One log entry: a head line with the time and the script window's title, the title, the
// text and a rule. The texts are written as they are, without conversion.
void AppendQuietLog(BDS* ctx, const char* text, const char* title)
{
    if (!ctx->err.szQuietLog[0])
        return;
    HANDLE file = CreateFileA(ctx->err.szQuietLog, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;   // a log that cannot be opened is passed over silently
    SetFilePointer(file, 0, nullptr, FILE_END);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char window[ERROR_TEXT_SIZE] = {};
    if (ctx->hwndParent)
        GetWindowTextA(ctx->hwndParent, window, sizeof window);
    char head[ERROR_TEXT_SIZE + 64];
    std::snprintf(head, sizeof head, "%02d/%02d/%02d  %02d:%02d:%02d  %s", now.wMonth, now.wDay,
                  now.wYear % 100, now.wHour, now.wMinute, now.wSecond, window);

    bool ok = WriteText(file, head) && WriteText(file, "\r\n\r\n");
    if (ok && title && *title)
        ok = WriteText(file, title) && WriteText(file, "\r\n");
    if (ok)
        ok = WriteText(file, "\r\n");
    if (ok && text && *text)
        ok = WriteText(file, text) && WriteText(file, "\r\n");
    if (ok)
        WriteText(file, "\r\n<HR>\r\n\r\n");
    CloseHandle(file);
}

// Length of a narrow text's first `limit` bytes, not splitting a double-byte character.
size_t CappedLengthA(const char* text, size_t length, size_t limit)
{
    if (length <= limit)
        return length;
    const char* p = text;
    while (*p) {
        const char* next = CharNextA(p);
        if (static_cast<size_t>(next - text) > limit)
            break;
        p = next;
    }
    return static_cast<size_t>(p - text);
}

}  // namespace

void RecordSwallowedBox(BDS* ctx, const char* text, const char* title)
{
    KeepIfNotEmpty(ctx->err.szQuietText, text);
    KeepIfNotEmpty(ctx->err.szQuietTitle, title);
    AppendQuietLog(ctx, text, title);
}

int ShowMessageBox(BDS* ctx, HWND owner, const char* text, const char* title, UINT flags)
{
    if (ctx->err.bQuietMode) {
        RecordSwallowedBox(ctx, text, title);
        return IDCANCEL;
    }
    ForceForegroundWindowA(ctx, ctx->hwndParent, 0);
    int inputState = SetInputBlocked(ctx, 1);
    int answer = MessageBoxA(owner, text ? text : "", title ? title : "", flags);
    SetInputBlocked(ctx, inputState);
    return answer;
}

int MessageBoxCappedA(BDS* ctx, HWND owner, const char* text, const char* title, UINT flags)
{
    if (!text)
        text = "";
    size_t length = std::strlen(text);
    size_t keep = CappedLengthA(text, length, CAPPED_TEXT_CHARS);
    LockedGlobal block(keep + 5);
    auto* copy = static_cast<char*>(block.data);
    if (!copy) {
        SetError(ctx, ERR_NO_MEMORY);
        return IDCANCEL;
    }
    std::memcpy(copy, text, keep);
    if (keep < length)
        std::memcpy(copy + keep, "...", 4);
    return MessageBoxA(owner, copy, title ? title : "", flags);
}

int MessageBoxCappedW(BDS* ctx, HWND owner, const wchar_t* text, const wchar_t* title, UINT flags)
{
    if (!text)
        text = L"";
    size_t length = std::wcslen(text);
    size_t keep = length > CAPPED_TEXT_CHARS ? CAPPED_TEXT_CHARS : length;
    if (keep < length && IS_HIGH_SURROGATE(text[keep - 1]))
        --keep;   // never split a surrogate pair
    LockedGlobal block((keep + 5) * sizeof(wchar_t));
    auto* copy = static_cast<wchar_t*>(block.data);
    if (!copy) {
        SetError(ctx, ERR_NO_MEMORY);
        return IDCANCEL;
    }
    std::wmemcpy(copy, text, keep);
    if (keep < length)
        std::wmemcpy(copy + keep, L"...", 4);
    return MessageBoxW(owner, copy, title ? title : L"", flags);
}
