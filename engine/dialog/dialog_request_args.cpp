// Request values and answers of the control requests.
#include "engine/dialog/dialog_request_args.h"

#include <windows.h>

#include "engine/core/context.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"

namespace {

constexpr uint16_t ERR_NOT_TEXT = 3056;      // "Variable could not be converted to string"
constexpr uint16_t ERR_NOT_WIDE = 3820;      // "Variable could not be converted to Unicode"
constexpr uint16_t ERR_NO_STRINGS = 3096;    // "Memory allocation failure.  Out of memory for strings"
constexpr uint16_t ERR_NOT_SUPPORTED = 3975; // "Dialog: Request not supported by control"
constexpr size_t NAME_DETAIL_MAX = 31;

// A converting copy of the value, released when it goes.
struct ValueCopy {
    BDS* ctx;
    resultants temp;
    ValueCopy(BDS* c, const resultants* value) : ctx(c)
    {
        InitResultValue(ctx, &temp, VK_RECORD, 0);
        if (value)
            CopyValue(ctx, value, &temp, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT);
    }
    ~ValueCopy() { FreeValue(ctx, &temp, 0, VK_RECORD); }
    ValueCopy(const ValueCopy&) = delete;
    ValueCopy& operator=(const ValueCopy&) = delete;
};

}  // namespace

bool DialogValueInteger(BDS* ctx, const resultants* value, int32_t* out)
{
    if (!value)
        return false;
    uint16_t saved = ctx->nErrorCode;
    ValueCopy copy(ctx, value);
    bool ok = ValueToInteger(ctx, &copy.temp, true, false) != 0;
    *out = copy.temp.i32;
    ctx->nErrorCode = saved;
    return ok;
}

bool DialogValueWide(BDS* ctx, const resultants* value, std::wstring& out)
{
    out.clear();
    if (!value) {
        SetError(ctx, ERR_NOT_WIDE);
        return false;
    }
    ValueCopy copy(ctx, value);
    if (!ValueToWide(ctx, &copy.temp)) {
        SetError(ctx, ERR_NOT_WIDE);
        return false;
    }
    out = ValueWText(ctx, &copy.temp);
    return true;
}

bool DialogValueNarrow(BDS* ctx, const resultants* value, std::string& out)
{
    out.clear();
    if (!value) {
        SetError(ctx, ERR_NOT_TEXT);
        return false;
    }
    ValueCopy copy(ctx, value);
    if (!ValueToString(ctx, &copy.temp)) {
        SetError(ctx, ERR_NOT_TEXT);
        return false;
    }
    out = ValueText(ctx, &copy.temp);
    return true;
}

bool AnswerWide(BDS* ctx, resultants* result, const std::wstring& text)
{
    if (SetResultWText(ctx, result, text.c_str(), text.size()))
        return true;
    DialogFail(ctx, ERR_NO_STRINGS);
    return false;
}

bool AnswerNarrow(BDS* ctx, resultants* result, const std::string& text)
{
    if (SetResultText(ctx, result, text.c_str(), text.size()))
        return true;
    DialogFail(ctx, ERR_NO_STRINGS);
    return false;
}

int RefuseForControl(BDS* ctx, const Dialog6Record* dlg, const DialogControlRecord* control)
{
    if (dlg->format != 62)
        return DialogFailNumber(ctx, ERR_NOT_SUPPORTED, control->number);
    std::string name(control->name);
    if (name.size() > NAME_DETAIL_MAX)
        name.resize(NAME_DETAIL_MAX);
    return DialogFail(ctx, ERR_NOT_SUPPORTED, nullptr, name.c_str());
}

std::string ColorText(uint32_t color)
{
    char text[16];
    wsprintfA(text, "%.3d|%.3d|%.3d", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}
