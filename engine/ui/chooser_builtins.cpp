// The built-ins of the choosers: AskFileName, AskDirectory, AskColor and AskFont.
#include "engine/com/shell_dialogs.h"
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/ui/choosers.h"

namespace {

constexpr uint16_t ERR_NO_NEW_SHELL = 1578;   // "AskDirectory: Function requires Windows 95 ..."
constexpr int FOLDER_CHARS = 1281;

// The first four arguments as wide text; false with the error when one cannot be.
bool FourWideTexts(BDS* ctx, BuiltinCall& call, const wchar_t* text[4])
{
    for (int i = 0; i < 4; ++i)
        if (!(text[i] = ArgWTextConverted(ctx, call, i + 1)))
            return false;
    return true;
}

// AskFileName(title, directory, file types, default name, kind)
void CaseAskFileName(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* text[4];
    if (!FourWideTexts(ctx, call, text))
        return;
    DoAskFileNameW(ctx, text[0], text[1], text[2], text[3], ArgInt(call, 5), call.result);
}

// AskDirectory(prompt, root, start folder, confirmation caption, flags)
void CaseAskDirectory(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* text[4];
    if (!WideFormAvailable(ctx) || !FourWideTexts(ctx, call, text))
        return;
    DoAskDirectory(ctx, text[0], text[1], text[2], text[3], ArgInt(call, 5), call.result);
}

// AskColor(default colour, key name, format)
void CaseAskColor(BDS* ctx, BuiltinCall& call)
{
    DoAskColor(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2), ArgInt(call, 3), call.result);
}

// AskFont(type, flags, key name, format)
void CaseAskFont(BDS* ctx, BuiltinCall& call)
{
    DoAskFont(ctx, ArgInt(call, 1), ArgInt(call, 2), ArgText(ctx, call, 3), ArgInt(call, 4), call.result);
}

const BuiltinRow kRows[] = {
    {282, CaseAskColor},
    {283, CaseAskDirectory},
    {284, CaseAskFileName},
    {286, CaseAskFont},
};

}  // namespace

extern const BuiltinFamily g_ChooserBuiltins = {"choosers", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

void DoAskDirectory(BDS* ctx, const wchar_t* prompt, const wchar_t* root, const wchar_t* start,
                    const wchar_t* confirmCaption, int32_t flags, resultants* result)
{
    if (!SystemFacts().OsHasNewShell) {
        SetError(ctx, ERR_NO_NEW_SHELL);
        return;
    }
    wchar_t folder[FOLDER_CHARS] = {};
    uint16_t before = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    AskDirectoryBrowse(ctx, prompt, root, start, confirmCaption, flags, folder, FOLDER_CHARS);
    if (ctx->nErrorCode)
        return;
    ctx->nErrorCode = before;
    SetResultWText(ctx, result, folder);
}
