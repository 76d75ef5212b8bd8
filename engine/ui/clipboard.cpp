// The clipboard text built-ins: ClipGet, ClipGetEx, ClipPut, ClipAppend and ClipHasFormat,
// moving text between scripts and the clipboard's ANSI, OEM and Unicode text formats.
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/ui/clipboard_open.h"

namespace {

constexpr uint16_t ERR_CLIPBOARD_BUSY = 1034;     // "Clipboard owned by another app.  Cannot open."
constexpr uint16_t ERR_NO_TEXT_FORMAT = 1035;     // "Clipboard does not contain text in the appropriate format"
constexpr uint16_t ERR_CLIPBOARD_MEMORY = 1037;   // "Unable to get memory for clipboard.  Close some apps"
constexpr uint16_t ERR_BAD_FORMAT = 1535;         // "ClipGetEx: Invalid format"
// The first of the wanted formats in the clipboard's own order; 0 when none is there.
UINT FirstInClipboardOrder(std::initializer_list<UINT> wanted)
{
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format))
        for (UINT w : wanted)
            if (format == w)
                return format;
    return 0;
}

// The conversion code page: the context's, or the OEM code page for OEM text without one.
UINT ConversionCodePage(BDS* ctx, bool oemInvolved)
{
    if (ctx->nCodePage)
        return ctx->nCodePage;
    return oemInvolved ? CP_OEMCP : CP_ACP;
}

// ---------------------------------------------------------------- get

void ClipGetText(BDS* ctx, resultants* result, UINT wanted, bool chooseFromClipboard)
{
    ClipboardOpen clipboard(ctx, ERR_CLIPBOARD_BUSY);
    if (!clipboard.Open()) {
        SetResultInt(ctx, result, 0);
        return;
    }
    if (chooseFromClipboard) {
        wanted = FirstInClipboardOrder({CF_TEXT, CF_UNICODETEXT});
        if (!wanted)
            wanted = CF_TEXT;
    }
    bool wideResult = wanted == CF_UNICODETEXT;
    if (CountClipboardFormats() == 0) {
        if (wideResult)
            SetResultWText(ctx, result, L"");
        else
            SetResultText(ctx, result, "");
        return;
    }
    UINT source = wanted;
    if (!IsClipboardFormatAvailable(wanted)) {
        if (wanted == CF_UNICODETEXT)
            source = FirstInClipboardOrder({CF_TEXT, CF_OEMTEXT});
        else
            source = IsClipboardFormatAvailable(CF_UNICODETEXT) ? CF_UNICODETEXT : 0;
    }
    LockedHandle data(source ? GetClipboardData(source) : nullptr);
    if (!data.data) {
        SetError(ctx, ERR_NO_TEXT_FORMAT);
        SetResultInt(ctx, result, 0);
        return;
    }
    UINT codePage = ConversionCodePage(ctx, source == CF_OEMTEXT || wanted == CF_OEMTEXT);
    size_t limit = GlobalSize(data.handle);
    int stored;
    if (source == CF_UNICODETEXT) {
        const auto* text = static_cast<const wchar_t*>(data.data);
        size_t length = wcsnlen(text, limit / sizeof(wchar_t));
        if (wideResult) {
            stored = SetResultWText(ctx, result, text, length);
        } else {
            int bytes = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
            std::string narrow(bytes > 0 ? static_cast<size_t>(bytes) : 0, '\0');
            if (bytes > 0)
                WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), narrow.data(), bytes, nullptr, nullptr);
            stored = SetResultText(ctx, result, narrow.data(), narrow.size());
        }
    } else {
        const auto* text = static_cast<const char*>(data.data);
        size_t length = strnlen(text, limit);
        if (wideResult) {
            int units = MultiByteToWideChar(codePage, 0, text, static_cast<int>(length), nullptr, 0);
            std::wstring wide(units > 0 ? static_cast<size_t>(units) : 0, L'\0');
            if (units > 0)
                MultiByteToWideChar(codePage, 0, text, static_cast<int>(length), wide.data(), units);
            stored = SetResultWText(ctx, result, wide.data(), wide.size());
        } else {
            stored = SetResultText(ctx, result, text, length);
        }
    }
    if (!stored)
        SetResultInt(ctx, result, 0);
}

// ---------------------------------------------------------------- put and append

// A new movable block holding `head`, then `tail`, then a terminating character of `unit`
// bytes; null when it cannot be had.
HGLOBAL JoinInBlock(const void* head, size_t headBytes, const void* tail, size_t tailBytes, size_t unit)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, headBytes + tailBytes + unit);
    auto* p = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!p) {
        if (block)
            GlobalFree(block);
        return nullptr;
    }
    std::memcpy(p, head, headBytes);
    if (tailBytes)
        std::memcpy(p + headBytes, tail, tailBytes);
    std::memset(p + headBytes + tailBytes, 0, unit);
    GlobalUnlock(block);
    return block;
}

// Hands the block to the clipboard; the clipboard owns it afterwards.
bool Publish(BDS* ctx, HGLOBAL block, UINT format)
{
    if (SetClipboardData(format, block))
        return true;
    GlobalFree(block);
    SetError(ctx, ERR_CLIPBOARD_MEMORY);
    return false;
}

bool PutText(BDS* ctx, const resultants* value, bool wide)
{
    HGLOBAL block;
    if (wide) {
        const wchar_t* text = ValueWText(ctx, value);
        block = JoinInBlock(text, std::wcslen(text) * sizeof(wchar_t), nullptr, 0, sizeof(wchar_t));
    } else {
        const char* text = ValueText(ctx, value);
        block = JoinInBlock(text, std::strlen(text), nullptr, 0, 1);
    }
    if (!block) {
        SetError(ctx, ERR_CLIPBOARD_MEMORY);
        return false;
    }
    EmptyClipboard();
    return Publish(ctx, block, wide ? CF_UNICODETEXT : CF_TEXT);
}

UINT AppendTarget(bool wideCall)
{
    if (wideCall) {
        if (IsClipboardFormatAvailable(CF_UNICODETEXT))
            return CF_UNICODETEXT;
        return FirstInClipboardOrder({CF_TEXT, CF_OEMTEXT});
    }
    if (IsClipboardFormatAvailable(CF_TEXT))
        return FirstInClipboardOrder({CF_TEXT, CF_OEMTEXT, CF_UNICODETEXT});
    return IsClipboardFormatAvailable(CF_UNICODETEXT) ? CF_UNICODETEXT : 0;
}

bool AppendText(BDS* ctx, resultants* value, bool wideCall)
{
    if (CountClipboardFormats() == 0)
        return PutText(ctx, value, wideCall);
    UINT target = AppendTarget(wideCall);
    if (!target) {
        SetError(ctx, ERR_NO_TEXT_FORMAT);
        return false;
    }
    bool wideTarget = target == CF_UNICODETEXT;
    if (wideTarget != wideCall) {
        uint32_t kept = ctx->nCodePage;
        ctx->nCodePage = ConversionCodePage(ctx, target == CF_OEMTEXT);
        int converted = wideTarget ? ValueToWide(ctx, value) : ValueToString(ctx, value);
        ctx->nCodePage = kept;
        if (!converted)
            return false;
    }
    const void* addition;
    size_t additionBytes;
    size_t unit = wideTarget ? sizeof(wchar_t) : 1;
    if (wideTarget) {
        const wchar_t* text = ValueWText(ctx, value);
        addition = text;
        additionBytes = std::wcslen(text) * unit;
    } else {
        const char* text = ValueText(ctx, value);
        addition = text;
        additionBytes = std::strlen(text);
    }

    // The joined text is made while the clipboard's own block is still locked; emptying the
    // clipboard frees that block, so it is unlocked first.
    HGLOBAL block;
    {
        LockedHandle existing(GetClipboardData(target));
        if (!existing.data) {
            SetError(ctx, ERR_NO_TEXT_FORMAT);
            return false;
        }
        size_t limit = GlobalSize(existing.handle);
        size_t oldBytes = wideTarget ? wcsnlen(static_cast<const wchar_t*>(existing.data), limit / unit) * unit
                                     : strnlen(static_cast<const char*>(existing.data), limit);
        block = JoinInBlock(existing.data, oldBytes, addition, additionBytes, unit);
    }
    if (!block) {
        SetError(ctx, ERR_CLIPBOARD_MEMORY);
        return false;   // the clipboard keeps its text
    }
    EmptyClipboard();
    return Publish(ctx, block, target);
}

// ---------------------------------------------------------------- cases

void CaseClipGet(BDS* ctx, BuiltinCall& call) { ClipGetText(ctx, call.result, CF_TEXT, true); }

void CaseClipGetEx(BDS* ctx, BuiltinCall& call)
{
    int32_t format = ArgInt(call, 1);
    if (format != CF_TEXT && format != CF_OEMTEXT && format != CF_UNICODETEXT) {
        SetError(ctx, ERR_BAD_FORMAT);
        return;
    }
    ClipGetText(ctx, call.result, static_cast<UINT>(format), false);
}

void CaseClipPut(BDS* ctx, BuiltinCall& call)
{
    ClipboardOpen clipboard(ctx, ERR_CLIPBOARD_BUSY);
    bool done = clipboard.Open() && PutText(ctx, &call.args[1], ArgIsWide(call, 1));
    SetResultInt(ctx, call.result, done ? 1 : 0);
}

void CaseClipAppend(BDS* ctx, BuiltinCall& call)
{
    ClipboardOpen clipboard(ctx, ERR_CLIPBOARD_BUSY);
    bool done = clipboard.Open() && AppendText(ctx, &call.args[1], ArgIsWide(call, 1));
    SetResultInt(ctx, call.result, done ? 1 : 0);
}

void CaseClipHasFormat(BDS* ctx, BuiltinCall& call)
{
    ClipboardOpen clipboard(ctx, ERR_CLIPBOARD_BUSY);
    bool has = clipboard.Open() && IsClipboardFormatAvailable(static_cast<UINT>(ArgInt(call, 1)));
    SetResultInt(ctx, call.result, has ? 1 : 0);
}

const BuiltinRow kRows[] = {
    {367, CaseClipAppend}, {368, CaseClipGet}, {369, CaseClipGetEx}, {370, CaseClipHasFormat}, {371, CaseClipPut},
};

}  // namespace

extern const BuiltinFamily g_ClipboardBuiltins = {"clipboard", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
