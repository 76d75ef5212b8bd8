// The one-shot captions of buttons 1 and 2 of the engine's boxes.
#include "engine/core/button_texts.h"

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/text_bounded.h"

namespace {

constexpr int MSG_OK = 120;
constexpr int MSG_CANCEL = 121;
constexpr int CAPTION_MAX = 40;   // 39 characters and a NUL

}  // namespace

void SetButtonTextsA(BDS* ctx, HWND dialog)
{
    if (!ctx)
        return;
    for (int i = 0; i < 2; ++i) {
        char caption[CAPTION_MAX];
        const char* stored = ctx->eng.buttons.narrow[i];
        if (ctx->eng.buttons.bNarrowSet && stored[0])
            CopyStringBoundedA(ctx, caption, stored, sizeof caption);
        else
            LoadMyString(ctx, EngineModule(), i == 0 ? MSG_OK : MSG_CANCEL, caption, sizeof caption);
        SetDlgItemTextA(dialog, i + 1, caption);
    }
    ctx->eng.buttons.bNarrowSet = 0;
}

void SetButtonTextsW(BDS* ctx, HWND dialog)
{
    if (!ctx)
        return;
    for (int i = 0; i < 2; ++i) {
        wchar_t caption[CAPTION_MAX];
        const wchar_t* stored = ctx->eng.buttons.wide[i];
        if (ctx->eng.buttons.bWideSet && stored[0])
            CopyStringBoundedW(ctx, caption, stored, CAPTION_MAX);
        else
            LoadMyStringW(ctx, EngineModule(), i == 0 ? MSG_OK : MSG_CANCEL, caption, CAPTION_MAX);
        SetDlgItemTextW(dialog, i + 1, caption);
    }
    ctx->eng.buttons.bWideSet = 0;
}
