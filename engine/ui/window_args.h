// Finding the window a built-in's argument names, in the call's width: the narrow search
// for ANSI text, the wide one when the router converted the argument to wide text.
#pragma once

#include "engine/core/builtin.h"
#include "engine/ui/window_search.h"

// The top-level window named by argument i ("" the script's window, an identifier, a
// partial title), searched with the context's retry count.
inline HWND FindWindowArg(BDS* ctx, const BuiltinCall& call, int i)
{
    return ArgIsWide(call, i) ? FindWindowByTitleW(ctx, ArgWText(ctx, call, i))
                              : FindWindowByTitleA(ctx, ArgText(ctx, call, i));
}

// The same, setting `notFound` when there is no such window.
inline HWND FindWindowArgOr(BDS* ctx, const BuiltinCall& call, int i, uint16_t notFound)
{
    HWND window = FindWindowArg(ctx, call, i);
    if (!window)
        SetError(ctx, notFound);
    return window;
}

// The child named by argument `child` inside the window named by argument `parent`, the
// parent searched with `retries`; the parent (or null) goes to *parentOut.
inline HWND FindChildArgs(BDS* ctx, const BuiltinCall& call, int parent, int child, int retries, HWND* parentOut)
{
    return ArgIsWide(call, parent)
               ? FindChildWindowW(ctx, ArgWText(ctx, call, parent), ArgWText(ctx, call, child), retries, parentOut)
               : FindChildWindowA(ctx, ArgText(ctx, call, parent), ArgText(ctx, call, child), retries, parentOut);
}
