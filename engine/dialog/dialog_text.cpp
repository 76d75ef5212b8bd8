// Script variables as dialog texts.
#include "engine/dialog/dialog_text.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/tokenizer.h"
#include "engine/data/array.h"

namespace {

constexpr size_t SUBSCRIPT_MAX = 40;

// The value head as wide text through a temporary copy; false when it has no such form.
bool HeadToWide(BDS* ctx, const ValueHead* value, std::wstring& out)
{
    if (value->flags & VF_UNICODE) {
        out = ValueWText(ctx, value);
        return true;
    }
    if (value->flags & VF_STRING) {
        out = WideFromNarrow(ctx, ValueText(ctx, value));
        return true;
    }
    if (!(value->flags & (VF_INT | VF_INT64 | VF_FLOAT | VF_VARIANT)))
        return false;
    resultants temp;
    InitResultValue(ctx, &temp, VK_RECORD, 0);
    CopyValue(ctx, value, &temp, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT);
    bool ok = ValueToWide(ctx, &temp) != 0;
    if (ok)
        out = ValueWText(ctx, &temp);
    FreeValue(ctx, &temp, 0, VK_RECORD);
    return ok;
}

}  // namespace

bool VariableTextW(BDS* ctx, const char* name, std::wstring& out)
{
    out.clear();
    if (!name || !ctx->pVars)
        return false;
    const char* bracket = std::strchr(name, '[');
    std::string bare(name, bracket ? static_cast<size_t>(bracket - name) : std::strlen(name));
    std::string subscript;
    if (bracket) {
        const char* close = std::strchr(bracket + 1, ']');
        size_t length = close ? static_cast<size_t>(close - bracket - 1) : std::strlen(bracket + 1);
        if (length > SUBSCRIPT_MAX)
            return false;
        subscript.assign(bracket + 1, length);
    }
    uint16_t savedError = ctx->nErrorCode;
    uint16_t index = FindVarIndex(ctx, bare.c_str());
    bool ok = false;
    if (index != VAR_NOT_FOUND && index != 0 && (ctx->pVars[index].flags & VF_HAS_VALUE)) {
        const VariableEntry& v = ctx->pVars[index];
        if (v.flags & VF_ARRAY) {
            if (!bracket) {
                out = L"<array>";
                ok = true;
            } else if (ArrayHeader* array = ValueArray(&v)) {
                const ArrayElement* e = ArrayElementOfText(array, subscript.c_str());
                ok = e && (e->flags & VF_HAS_VALUE) && HeadToWide(ctx, e, out);
            }
        } else {
            ok = HeadToWide(ctx, &v, out);
        }
    }
    ctx->nErrorCode = savedError;
    if (!ok)
        out.clear();
    return ok;
}

int VariableTextW(BDS* ctx, const char* name, wchar_t* buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = 0;
    std::wstring text;
    if (!VariableTextW(ctx, name, text))
        return 0;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return 1;
}

bool VariableTextByDialogName(BDS* ctx, const char* key, std::wstring& out)
{
    std::string name = std::string(ctx->dlg.name) + key;
    return VariableTextW(ctx, name.c_str(), out);
}

std::wstring WideFromNarrow(BDS* ctx, const char* text)
{
    if (!text || !*text)
        return std::wstring();
    UINT codePage = ValueCodePage(ctx);
    int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string NarrowFromWide(BDS* ctx, const wchar_t* text)
{
    if (!text || !*text)
        return std::string();
    UINT codePage = ValueCodePage(ctx);
    int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}
