// The window information built-ins: WinName, WinGetActive, FindWindow, WinExeName,
// WinIsDos, WinIsRuntimeApp, MsgTextGet, DllHwnd and DllHinst. Only WinExeName, WinIsDos
// and WinIsRuntimeApp report a window that is not found; the others answer 0 or "".
#include "engine/ui/window_info.h"

#include <climits>
#include <cstring>
#include <initializer_list>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/router.h"
#include "engine/core/system_flags.h"
#include "engine/ui/window_args.h"

namespace {

constexpr uint16_t ERR_WINEXENAME_NOT_FOUND = 1172;   // "WinExeName: Window not found"
constexpr uint16_t ERR_WINISDOS_NOT_FOUND = 1227;     // "WinIsDos: Window not found or bad window"
constexpr uint16_t ERR_WINACTIVATE_NOT_FOUND = 1045;  // "WinActivate: Window not found"
constexpr int EXE_NAME_SIZE = 2050;
constexpr int CLASS_NAME_SIZE = 256;

// Message boxes show their text in a visible, grouped child static without prefix
// processing, with or without SS_EDITCONTROL.
constexpr LONG MESSAGE_TEXT_STYLE = 0x50020080;
constexpr LONG MESSAGE_TEXT_STYLE_EDIT = 0x50022080;

using IsImmersiveProcessFn = BOOL(WINAPI*)(HANDLE);

// The window's title as the result, in the width the engine runs in; "" for no window.
void TitleResult(BDS* ctx, resultants* result, HWND window)
{
    if (IsUnicodeMode()) {
        wchar_t title[BOX_TEXT_SIZE] = {};
        if (window)
            GetWindowTextW(window, title, BOX_TEXT_SIZE);
        SetResultWText(ctx, result, title);
    } else {
        char title[BOX_TEXT_SIZE] = {};
        if (window)
            GetWindowTextA(window, title, BOX_TEXT_SIZE);
        SetResultText(ctx, result, title);
    }
}

void CaseWinName(BDS* ctx, BuiltinCall& call) { TitleResult(ctx, call.result, ctx->hwndParent); }

void CaseWinGetActive(BDS* ctx, BuiltinCall& call) { TitleResult(ctx, call.result, GetForegroundWindow()); }

// FindWindow(class): the title of the first top-level window of the class.
void CaseFindWindow(BDS* ctx, BuiltinCall& call)
{
    char title[BOX_TEXT_SIZE] = {};
    if (HWND window = FindWindowA(ArgText(ctx, call, 1), nullptr))
        GetWindowTextA(window, title, BOX_TEXT_SIZE);
    SetResultText(ctx, call.result, title);
}

void CaseWinExeName(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArgOr(ctx, call, 1, ERR_WINEXENAME_NOT_FOUND);
    if (!window)
        return;
    if (ArgIsWide(call, 1)) {
        wchar_t path[EXE_NAME_SIZE];
        GetWindowExeNameW(ctx, window, path, EXE_NAME_SIZE);
        SetResultWText(ctx, call.result, path);
    } else {
        char path[EXE_NAME_SIZE];
        GetWindowExeName(ctx, window, path, EXE_NAME_SIZE);
        SetResultText(ctx, call.result, path);
    }
}

void CaseWinIsDos(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArgOr(ctx, call, 1, ERR_WINISDOS_NOT_FOUND);
    if (!window)
        return;
    int answer = IsDosWindow(ctx, window, false);
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, answer);
}

// WinIsRuntimeApp(title): whether the window's process is an immersive (store) app; 0 on
// systems before that generation and wherever the system cannot say.
void CaseWinIsRuntimeApp(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, 0);
    if (!g_System.OsIsWin8Plus)
        return;
    HWND window = FindWindowArgOr(ctx, call, 1, ERR_WINACTIVATE_NOT_FOUND);
    if (!window)
        return;
    HMODULE user = GetModuleHandleA("USER32.DLL");
    auto isImmersive = user ? reinterpret_cast<IsImmersiveProcessFn>(GetProcAddress(user, "IsImmersiveProcess"))
                            : nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!isImmersive || pid == 0 || pid == 0xFFFFFFFF)
        return;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process)
        return;
    SetResultInt(ctx, call.result, isImmersive(process) ? 1 : 0);
    CloseHandle(process);
}

// MsgTextGet(title or identifier): the text of a message box, "" when there is none.
void CaseMsgTextGet(BDS* ctx, BuiltinCall& call)
{
    const char* title = ArgText(ctx, call, 1);
    HWND box = IsWinIdStringA(title) ? WinIdToHandleA(title, 1) : FindWindowA("#32770", title);
    char text[BOX_TEXT_SIZE] = {};
    for (HWND child = box ? GetWindow(box, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = static_cast<LONG>(GetWindowLongA(child, GWL_STYLE));
        if (style == MESSAGE_TEXT_STYLE || style == MESSAGE_TEXT_STYLE_EDIT) {
            GetWindowTextA(child, text, BOX_TEXT_SIZE);
            break;
        }
    }
    SetResultText(ctx, call.result, text);
}

// A handle or instance as the script's integer: 64-bit only when it needs more bits.
void HandleResult(BDS* ctx, resultants* result, intptr_t value)
{
    if (value >= INT_MIN && value <= INT_MAX)
        SetResultInt(ctx, result, static_cast<int32_t>(value));
    else
        SetResultInt64(ctx, result, static_cast<int64_t>(value));
}

void CaseDllHwnd(BDS* ctx, BuiltinCall& call)
{
    HandleResult(ctx, call.result, reinterpret_cast<intptr_t>(FindWindowArg(ctx, call, 1)));
}

void CaseDllHinst(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArg(ctx, call, 1);
    HandleResult(ctx, call.result, window ? static_cast<intptr_t>(GetWindowLongPtrA(window, GWLP_HINSTANCE)) : 0);
}

const BuiltinRow kRows[] = {
    {426, CaseDllHinst},   {427, CaseDllHwnd},      {508, CaseFindWindow},      {579, CaseMsgTextGet},
    {766, CaseWinExeName}, {769, CaseWinGetActive}, {775, CaseWinIsDos},        {776, CaseWinIsRuntimeApp},
    {783, CaseWinName},
};

}  // namespace

int IsDosWindow(BDS* ctx, HWND window, bool quiet)
{
    if (!IsWindow(window)) {
        if (!quiet)
            SetError(ctx, ERR_WINISDOS_NOT_FOUND);
        return 0;
    }
    char name[CLASS_NAME_SIZE] = {};
    GetClassNameA(window, name, sizeof name);
    for (const char* console : {"ConsoleWindowClass", "tty", "woa"})
        if (lstrcmpiA(name, console) == 0)
            return 1;
    char module[MAX_PATH] = {};
    auto instance = reinterpret_cast<HMODULE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    if (!GetModuleFileNameA(instance, module, sizeof module))
        return 0;
    const char* file = std::strrchr(module, '\\');
    file = file ? file + 1 : module;
    return lstrcmpiA(file, "winoa386.mod") == 0 || lstrcmpiA(file, "winoldap.mod") == 0 ? 1 : 0;
}

extern const BuiltinFamily g_WindowInfoBuiltins = {"window-info", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
