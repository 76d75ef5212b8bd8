// The About box: the host's identification lines and the interpreter's version.
#include "engine/core/about.h"

#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/engine_setup.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/text_bounded.h"
#include "engine/ui/foreground.h"

namespace {

constexpr int ID_VERSION_LINE = 500;
constexpr int ID_NOTICE_LINE = 10;
constexpr int ID_ENGINE_LINE = 501;
constexpr int MSG_INTERPRETER = 89;
constexpr int MSG_OK = 120;
constexpr int SELECT_DIALOG_ACTIVATION = SELECT_BOX_ACTIVATION;   // the engine's own boxes

void FillAboutBox(HWND dialog, BDS* ctx)
{
    SetWindowTextA(dialog, "ZAL About Box");
    if (ctx) {
        SetDlgItemTextA(dialog, ID_VERSION_LINE, ctx->err.szHostProductName);
        SetDlgItemTextA(dialog, ID_NOTICE_LINE, ctx->eng.szHostNotice);
    }
    char line[300];
    LoadMyString(ctx, EngineModule(), MSG_INTERPRETER, line, 200);
    AppendStringBoundedA(ctx, line, " using ", sizeof line);
    AppendStringBoundedA(ctx, line, "KVDYC64I", sizeof line);
    SetDlgItemTextA(dialog, ID_ENGINE_LINE, line);

    char ok[40];
    LoadMyString(ctx, EngineModule(), MSG_OK, ok, sizeof ok);
    SetDlgItemTextA(dialog, IDOK, ok);
    if (!ctx || !ctx->eng.bAboutOkButton)
        ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
}

}  // namespace

extern "C" INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* ctx = reinterpret_cast<BDS*>(lParam);
        if (ctx)
            DlgPointLookup(dialog, reinterpret_cast<uintptr_t>(ctx));
        FillAboutBox(dialog, ctx);
        CenterWindow(dialog);
        if (ctx && ctx->eng.ctl.ActivateMethodBox >= 1)
            ForceForegroundWindowA(ctx, dialog, SELECT_DIALOG_ACTIVATION);
        return TRUE;
    }
    case WM_COMMAND:
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_TIMER:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

extern "C" uint32_t DoDllAbout(HGLOBAL context, HWND owner, uintptr_t operation, const char*,
                               const char*, const char*, const char*)
{
    if (operation != ABOUT_SHOW)
        return 0;
    ContextLock lock(context);
    BDS* ctx = lock.get();
    if (ctx) {
        ctx->eng.bAboutOkButton = 1;
        ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_DIALOG_ACTIVATION);
    }
    INT_PTR answer = DialogBoxParamA(EngineModule(), "NEWABOUT", owner, AboutProc,
                                     reinterpret_cast<LPARAM>(ctx));
    if (ctx)
        ctx->eng.bAboutOkButton = 0;
    return answer > 0 ? static_cast<uint32_t>(answer) : 0;
}
