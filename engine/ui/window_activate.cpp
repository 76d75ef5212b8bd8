// The activation built-ins: WinActivate, and WinActivChild with its twin name
// WinActiveChild, and DoWinActivateA for the host services. Failing to win the foreground
// is no error; not finding the window is.
#include "engine/ui/window_activate.h"

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/ui/foreground.h"
#include "engine/ui/window_search.h"

namespace {

constexpr uint16_t ERR_WINACTIVATE_NOT_FOUND = 1045;   // "WinActivate: Window not found"
constexpr uint16_t ERR_NO_CHILD = 1368;                // "ActivateChild: Child windows does not exist"

int Retries(BDS* ctx) { return static_cast<int>(ctx->eng.ctl.WindowRetryCount); }

// Activates the window a search found; 1045 when it found none.
int ActivateFound(BDS* ctx, HWND window)
{
    if (!window) {
        SetError(ctx, ERR_WINACTIVATE_NOT_FOUND);
        return 0;
    }
    ActivateWindowHandle(ctx, window);
    return 1;
}

void CaseWinActivate(BDS* ctx, BuiltinCall& call)
{
    HWND window = ArgIsWide(call, 1) ? FindWindowByTitleW(ctx, ArgWText(ctx, call, 1))
                                     : FindWindowByTitleA(ctx, ArgText(ctx, call, 1));
    if (ActivateFound(ctx, window))
        SetResultInt(ctx, call.result, 1);
}

// Activates the parent of a found child and the child: 1, 0 for a disabled child (nothing
// is activated), or 0 with 1045 or 1368 when the parent or the child was not found.
int ActivateChildFound(BDS* ctx, HWND parent, HWND child)
{
    if (!parent) {
        SetError(ctx, ERR_WINACTIVATE_NOT_FOUND);
        return 0;
    }
    if (!child) {
        SetError(ctx, ERR_NO_CHILD);
        return 0;
    }
    if (!IsWindowEnabled(child))
        return 0;
    ActivateWindowHandle(ctx, parent);
    SendMessageA(child, WM_MOUSEACTIVATE, 0, 0);
    if (HWND frame = GetParent(child))
        SendMessageA(frame, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
    SendMessageA(child, WM_MOUSEACTIVATE, 0, 0);
    return 1;
}

void CaseWinActivChild(BDS* ctx, BuiltinCall& call)
{
    HWND parent = nullptr;
    HWND child = ArgIsWide(call, 1)
                     ? FindChildWindowW(ctx, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2), Retries(ctx), &parent)
                     : FindChildWindowA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2), Retries(ctx), &parent);
    SetResultInt(ctx, call.result, ActivateChildFound(ctx, parent, child));
}

const BuiltinRow kRows[] = {
    {758, CaseWinActivate},
    {759, CaseWinActivChild},
    {760, CaseWinActivChild},
};

}  // namespace

int DoWinActivateA(BDS* ctx, const char* title)
{
    return ActivateFound(ctx, FindWindowByTitleA(ctx, title));
}

int DoWinActivateW(BDS* ctx, const wchar_t* title)
{
    return ActivateFound(ctx, FindWindowByTitleW(ctx, title));
}

int DoWinActivChildA(BDS* ctx, const char* parentTitle, const char* childTitle)
{
    HWND parent = nullptr;
    HWND child = FindChildWindowA(ctx, parentTitle, childTitle, Retries(ctx), &parent);
    return ActivateChildFound(ctx, parent, child);
}

extern const BuiltinFamily g_WindowActivateBuiltins = {"window-activate", kRows,
                                                       static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
