// WinCloseNot(titles...): closes every visible titled top-level window that none of the
// titles names, never the script's own window nor the shell's.
//
// The built-in reads its own argument list, once per window: each window is tested against
// the arguments as they evaluate at that moment, and the first match keeps it. After the
// enumeration the list is read once more to leave the parser after its `)`.
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/router.h"
#include "engine/core/runloop.h"
#include "engine/data/own_args.h"
#include "engine/ui/window_search.h"
#include "engine/ui/window_state.h"

namespace {

constexpr uint16_t ERR_CLOSENOT_SYNTAX = 2038;    // "WinCloseNot Function Syntax error"
constexpr uint16_t ERR_NOT_STRING = 3056;         // "Variable could not be converted to string"
constexpr int CLOSE_TITLE_SIZE = 129;             // titles are compared on 128 characters

// The desktop and the shell's own windows stay whatever the titles say.
bool IsShellWindow(HWND window)
{
    if (window == GetDesktopWindow())
        return true;
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    for (const char* shell : {"Progman", "Shell_TrayWnd", "WorkerW"})
        if (std::strcmp(name, shell) == 0)
            return true;
    return false;
}

// ---------------------------------------------------------------- one title per width

bool ReadTitle(HWND window, char* out) { return GetWindowTextA(window, out, CLOSE_TITLE_SIZE) > 0 && *out; }
bool ReadTitle(HWND window, wchar_t* out) { return GetWindowTextW(window, out, CLOSE_TITLE_SIZE) > 0 && *out; }
bool IsOldAp(const char* title) { return std::strcmp(title, "WinOldAp") == 0; }
bool IsOldAp(const wchar_t* title) { return std::wcscmp(title, L"WinOldAp") == 0; }

// The argument as text of the width; null with the error when it has none.
const char* ArgumentText(BDS* ctx, resultants* value, char*)
{
    if (!ValueToString(ctx, value)) {
        SetError(ctx, ERR_NOT_STRING);
        return nullptr;
    }
    return ValueText(ctx, value);
}

const wchar_t* ArgumentText(BDS* ctx, resultants* value, wchar_t*)
{
    if (!ValueToWide(ctx, value)) {
        SetError(ctx, ERR_NOT_STRING);
        return nullptr;
    }
    return ValueWText(ctx, value);
}

HWND IdentifiedWindow(const char* text) { return WinIdToHandleA(text, 0); }
HWND IdentifiedWindow(const wchar_t* text) { return WinIdToHandleW(text, 0); }
int IsWinId(const char* text) { return IsWinIdStringA(text); }
int IsWinId(const wchar_t* text) { return IsWinIdStringW(text); }
int Matches(const char* title, const char* pattern) { return TitleMatchesA(title, pattern); }
int Matches(const wchar_t* title, const wchar_t* pattern) { return TitleMatchesW(title, pattern); }

// Reads the argument list from its start; answers whether an argument names the window.
// On an error (set in the context) it answers true, so that nothing is closed.
template <typename C>
bool NamedByArguments(BDS* ctx, HWND window, const C* title)
{
    RestoreParseState(ctx, ctx->winops.closeNotArgs);
    for (;;) {
        resultants value;
        OwnArgStep step = ReadOwnArg(ctx, &value, ERR_CLOSENOT_SYNTAX);
        const C* text = step == OWN_ARG_FAILED ? nullptr : ArgumentText(ctx, &value, static_cast<C*>(nullptr));
        bool named = text && (IsWinId(text) ? IdentifiedWindow(text) == window : Matches(title, text) != 0);
        ReleaseOwnArg(ctx, &value);
        if (!text || named)
            return true;
        if (step == OWN_ARG_LAST)
            return false;
    }
}

template <typename C>
BOOL CloseUnlessNamed(HWND window, LPARAM context)
{
    auto* ctx = reinterpret_cast<BDS*>(context);
    C title[CLOSE_TITLE_SIZE] = {};
    if (!IsWindowVisible(window) || !ReadTitle(window, title) || IsOldAp(title))
        return TRUE;
    if (window == ctx->hwndParent || IsShellWindow(window))
        return TRUE;
    bool named = ctx->winops.closeNotArgs && NamedByArguments(ctx, window, title);
    if (ctx->nErrorCode)
        return FALSE;
    if (!named)
        CloseWindowByCommand(ctx, window);
    return TRUE;
}

BOOL CALLBACK WinEnumCloseW(HWND window, LPARAM context) { return CloseUnlessNamed<wchar_t>(window, context); }

// Reads the list once more, so that the parser stands on its `)`.
void SkipArguments(BDS* ctx, ParseStateSave* start)
{
    RestoreParseState(ctx, start);
    for (;;) {
        resultants value;
        OwnArgStep step = ReadOwnArg(ctx, &value, ERR_CLOSENOT_SYNTAX);
        ReleaseOwnArg(ctx, &value);
        if (step != OWN_ARG_MORE)
            return;
    }
}

void CaseWinCloseNot(BDS* ctx, BuiltinCall& call)
{
    bool empty = OwnArgsEmpty(ctx);
    if (ctx->nErrorCode)
        return;
    ParseStateSave start;
    SaveParseState(ctx, &start);
    ctx->winops.closeNotArgs = empty ? nullptr : &start;
    bool wide = IsUnicodeMode();
    EnumWindows(wide ? WinEnumCloseW : WinEnumClose, reinterpret_cast<LPARAM>(ctx));
    ctx->winops.closeNotArgs = nullptr;
    if (ctx->nErrorCode)
        return;
    if (!empty)
        SkipArguments(ctx, &start);
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {763, CaseWinCloseNot},
};

}  // namespace

// EnumWindows callback of WinCloseNot (lParam: the context, whose argument list it reads).
extern "C" BOOL CALLBACK WinEnumClose(HWND window, LPARAM context)
{
    return CloseUnlessNamed<char>(window, context);
}

extern const BuiltinFamily g_WindowCloseNotBuiltins = {"window-close-not", kRows,
                                                       static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
