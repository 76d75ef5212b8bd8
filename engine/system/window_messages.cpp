// The message built-ins: SendMessageA and SendMessageW, SendMenusTo and SendMenusToEx, and
// WindowOnTop.
//
// A menu command is chosen as the user would choose it: the window is activated (after its
// program has become idle, when keys wait for that too), its menu item is found by the
// item names, and the command is posted; the command runs after the built-in returns.
#include "engine/system/window_messages.h"

#include <cstring>
#include <cwchar>

#include "engine/com/desktop_menu.h"
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/host_services.h"
#include "engine/core/locked_global.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/core/system_flags.h"
#include "engine/system/system_entries.h"
#include "engine/ui/foreground.h"
#include "engine/ui/window_activate.h"
#include "engine/ui/window_idle.h"
#include "engine/ui/window_search.h"

namespace {

constexpr uint16_t ERR_BAD_WINDOW_TEXT = 1770;     // "SendMessage: Invalid 'window'"
constexpr uint16_t ERR_WINACTIVATE_NOT_FOUND = 1045;
constexpr uint16_t ERR_NO_MENU = 1315;             // "SendMenusTo: Window menu not accessible"
constexpr uint16_t ERR_NO_MENU_ITEM = 1316;        // "SendMenusTo: MenuItem name not found"
constexpr uint16_t ERR_POST_FAILED = 1317;         // "SendMenusTo: PostMessage Failed"
constexpr uint16_t ERR_ONTOP_NOT_FOUND = 1464;     // "IntControl: Window not found"
constexpr int32_t BROADCAST = 65535;

enum : int { MENUS_BY_WINDOW = 0, MENUS_BY_AUTOMATION = 1 };
enum : int { ONTOP_CLEAR = 0, ONTOP_SET = 1, ONTOP_READ = -1 };

// ---------------------------------------------------------------- messages with a text

// The window a message goes to: an identifier (checked) or a handle number, -1 and 65535
// standing for all top-level windows. False when the text is neither.
bool MessageTarget(const char* text, HWND* window)
{
    if (IsWinIdStringA(text)) {
        *window = WinIdToHandleA(text, 1);
        return true;
    }
    if (!IsIntegerTextA(text))
        return false;
    int32_t number = TextToLongA(text);
    *window = number == -1 || number == BROADCAST ? HWND_BROADCAST : HandleFromNumber(number);
    return true;
}

size_t TextLength(const char* text) { return std::strlen(text); }
size_t TextLength(const wchar_t* text) { return std::wcslen(text); }
LRESULT Send(BDS* ctx, HWND w, UINT m, WPARAM wp, const char* copy)
{
    return SystemSendMessageA(ctx, w, m, wp, reinterpret_cast<LPARAM>(copy));
}
LRESULT Send(BDS* ctx, HWND w, UINT m, WPARAM wp, const wchar_t* copy)
{
    return SystemSendMessageW(ctx, w, m, wp, reinterpret_cast<LPARAM>(copy));
}

// The size of the block that carries a message's text. A script passes a text where the
// message asks for a buffer, and such a message writes into it as much as a count allows,
// whatever the text holds: WM_GETTEXT as many characters as wParam says, EM_GETLINE as many
// as the buffer's first WORD says ("A" reads as 65), LB_GETSELITEMS as many 32-bit values as
// wParam says. A copy the size of the text alone (one character for "") let such a window
// write over the engine's heap and crash it. The block therefore has room for 65,536 units
// of four bytes (a count in a WORD is at most 65,535, and four bytes is the widest unit such
// counts count), for more when wParam holds a larger count, and for a longer text whole.
// wParam travels whole, so that WM_COMMAND's notification code arrives; from 1M up it is
// taken for such a code word rather than a count.
constexpr uint64_t MESSAGE_ROOM_UNITS = 65536;
constexpr uint64_t MESSAGE_UNIT_BYTES = 4;
constexpr uint64_t MESSAGE_COUNT_LIMIT = uint64_t(1) << 20;

SIZE_T MessageBlockBytes(size_t textBytes, WPARAM wParam)
{
    uint64_t units = MESSAGE_ROOM_UNITS;
    if (wParam >= units && wParam < MESSAGE_COUNT_LIMIT)
        units = uint64_t(wParam) + 1;
    uint64_t room = units * MESSAGE_UNIT_BYTES;
    return static_cast<SIZE_T>(textBytes > room ? textBytes : room);
}

// Messages whose wParam tells the window how large the lParam buffer is, with the unit they
// count. A character is counted as a wide one in both twins: the system may hand an ANSI
// message on in the wide form and write that many wide characters (Wine does so for a
// broadcast WM_GETTEXT).
struct SizedMessage {
    UINT message;
    UINT unitBytes;
};
constexpr SizedMessage SIZED_MESSAGES[] = {
    {WM_GETTEXT, sizeof(WCHAR)}, {WM_ASKCBFORMATNAME, sizeof(WCHAR)}, {LB_GETSELITEMS, sizeof(INT)},
};

// wParam as the message gets it: whole, but a message that learns the size of its buffer
// from wParam is never told of more room than the block has. The engine made the buffer and
// knows its size; a larger count (a negative number is one beyond any size) let the window
// write past the block, and sent to another program it made the system's copying of the
// buffer between processes never return.
WPARAM WParamForBlock(UINT message, WPARAM wParam, SIZE_T blockBytes)
{
    for (const SizedMessage& sized : SIZED_MESSAGES) {
        if (sized.message != message)
            continue;
        SIZE_T room = blockBytes / sized.unitBytes;
        return wParam > room ? room : wParam;
    }
    return wParam;
}

// Messages that write an item's whole text into lParam whatever wParam or the buffer says,
// with the message that tells that text's length (wParam names the item in both).
struct ItemTextMessage {
    UINT message;
    UINT lengthMessage;
};
constexpr uint64_t ITEM_TEXT_MAX = uint64_t(1) << 40;
constexpr ItemTextMessage ITEM_TEXT_MESSAGES[] = {
    {LB_GETTEXT, LB_GETTEXTLEN}, {CB_GETLBTEXT, CB_GETLBTEXTLEN},
};

// The room an item's text needs, asked of the window first: an item longer than the block's
// room would otherwise be written past its end. Four bytes a character cover the wide form
// and a double-byte one alike. 0 for other messages, for a broadcast (no one window answers
// for the length) and for an item that is not there.
template <typename C>
SIZE_T ItemTextBytes(BDS* ctx, HWND window, UINT message, WPARAM wParam)
{
    if (window == HWND_BROADCAST)
        return 0;
    for (const ItemTextMessage& item : ITEM_TEXT_MESSAGES) {
        if (item.message != message)
            continue;
        LRESULT length = Send(ctx, window, item.lengthMessage, wParam, static_cast<const C*>(nullptr));
        if (length < 0)
            return 0;
        // A length past any real item (another program may answer anything) asks for a
        // block that cannot be had, so the message is not sent; it never wraps to a small one.
        uint64_t units = static_cast<uint64_t>(length) < ITEM_TEXT_MAX ? static_cast<uint64_t>(length) : ITEM_TEXT_MAX;
        return static_cast<SIZE_T>((units + 1) * MESSAGE_UNIT_BYTES);
    }
    return 0;
}

template <typename C>
int32_t SendWithText(BDS* ctx, const char* windowText, UINT message, WPARAM wParam, const C* text)
{
    HWND window = nullptr;
    if (!MessageTarget(windowText, &window)) {
        SetError(ctx, ERR_BAD_WINDOW_TEXT);
        return 0;
    }
    if (window != HWND_BROADCAST && !IsWindow(window))
        return 0;
    // The receiver reads (and may write) the block while the call lasts; the block outlives
    // it. The message gets what it always got, the address of the text copied with its NUL
    // (zeros behind it) and wParam (but for a buffer size beyond the block), and its answer
    // is the result.
    size_t bytes = (TextLength(text) + 1) * sizeof(C);
    SIZE_T blockBytes = MessageBlockBytes(bytes, wParam);
    SIZE_T itemBytes = ItemTextBytes<C>(ctx, window, message, wParam);
    if (itemBytes > blockBytes)
        blockBytes = itemBytes;
    LockedGlobal copy(blockBytes);
    if (!copy.data)
        return 0;
    std::memcpy(copy.data, text, bytes);
    WPARAM sent = WParamForBlock(message, wParam, blockBytes);
    return static_cast<int32_t>(Send(ctx, window, message, sent, copy.As<C>()));
}

// wParam travels whole; a negative number keeps its sign in the wider word.
WPARAM WholeWParam(int32_t value) { return static_cast<WPARAM>(static_cast<intptr_t>(value)); }

void CaseSendMessageA(BDS* ctx, BuiltinCall& call)
{
    int32_t answer = DoSendMessageA(ctx, ArgText(ctx, call, 1), static_cast<UINT>(ArgInt(call, 2)),
                                    WholeWParam(ArgInt(call, 3)), ArgText(ctx, call, 4));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, answer);
}

void CaseSendMessageW(BDS* ctx, BuiltinCall& call)
{
    if (!WideFormAvailable(ctx))
        return;
    int32_t answer = DoSendMessageW(ctx, ArgText(ctx, call, 1), static_cast<UINT>(ArgInt(call, 2)),
                                    WholeWParam(ArgInt(call, 3)), ArgWText(ctx, call, 4));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, answer);
}

// ---------------------------------------------------------------- menu commands

// The window of SendMenusTo: "" the script's own, an identifier, else the first window
// whose title matches.
HWND MenuWindow(BDS* ctx, const char* title)
{
    if (!*title)
        return ctx->hwndParent;
    return FindWindowOnceA(ctx, title);
}

int DoSendMenusTo(BDS* ctx, const char* title, const char* menuPath)
{
    HWND window = MenuWindow(ctx, title);
    if (!window || !IsWindow(window)) {
        SetError(ctx, ERR_WINACTIVATE_NOT_FOUND);
        return 0;
    }
    if (ctx->eng.ctl.SendKeyWaitIdle)
        PrepareInputTarget(ctx, window);
    ActivateWindowHandle(ctx, window);
    HMENU menu = GetMenu(window);
    if (!menu || GetMenuItemCount(menu) < 1) {
        SetError(ctx, ERR_NO_MENU);
        return 0;
    }
    int command = FindMenuItemByName(ctx, menuPath, menu);
    if (command == -1) {
        SetError(ctx, ERR_NO_MENU_ITEM);
        return 0;
    }
    if (!PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(static_cast<UINT>(command)), 0)) {
        SetError(ctx, ERR_POST_FAILED);
        return 0;
    }
    if (ctx->eng.ctl.PostedMessageDelay)
        WaitPumping(ctx, ctx->eng.ctl.PostedMessageDelay);
    return 1;
}

void CaseSendMenusTo(BDS* ctx, BuiltinCall& call)
{
    if (DoSendMenusTo(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2)))
        SetResultInt(ctx, call.result, 1);
}

// SendMenusToEx(title, menu path, application, mode, unused): mode 0 by the window's menu,
// mode 1 through the application's automation object; other modes do nothing.
void CaseSendMenusToEx(BDS* ctx, BuiltinCall& call)
{
    const char* title = ArgText(ctx, call, 1);
    const char* menuPath = ArgText(ctx, call, 2);
    int mode = ArgInt(call, 4);
    if (mode == MENUS_BY_WINDOW) {
        if (DoSendMenusTo(ctx, title, menuPath))
            SetResultInt(ctx, call.result, 1);
        return;
    }
    if (mode != MENUS_BY_AUTOMATION)
        return;
    if (*title && !DoWinActivateA(ctx, title))
        return;
    if (!ExecuteMenuItemByCom(ctx, ArgText(ctx, call, 3), menuPath)) {
        SetError(ctx, ERR_NO_MENU_ITEM);
        return;
    }
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- top-most state

HWND OnTopWindow(BDS* ctx, const char* title, bool retry)
{
    return retry ? FindWindowByTitleA(ctx, title) : FindTopWindowA(ctx, title, 0);
}

HWND OnTopWindow(BDS* ctx, const wchar_t* title, bool retry)
{
    return retry ? FindWindowByTitleW(ctx, title) : FindTopWindowW(ctx, title, 0);
}

template <typename C>
int WindowOnTop(BDS* ctx, const C* title, int mode, bool retry)
{
    HWND window = OnTopWindow(ctx, title, retry);
    if (!IsWindow(window)) {
        SetError(ctx, ERR_ONTOP_NOT_FOUND);
        return 0;
    }
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    switch (mode) {
    case ONTOP_SET:
        return SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags) ? 1 : 0;
    case ONTOP_CLEAR:
        if (g_System.OsIsWin8Plus)   // newer systems may keep it top-most after one call
            SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        return SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags) ? 1 : 0;
    case ONTOP_READ:
        return (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0;
    default:
        return 0;
    }
}

// WindowOnTop(title, mode [, retrying search])
void CaseWindowOnTop(BDS* ctx, BuiltinCall& call)
{
    bool retry = ArgInt(call, 3) != 0;
    int answer = ArgIsWide(call, 1) ? DoWindowOnTopW(ctx, ArgWText(ctx, call, 1), ArgInt(call, 2), retry)
                                    : DoWindowOnTopA(ctx, ArgText(ctx, call, 1), ArgInt(call, 2), retry);
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, answer);
}

const BuiltinRow kRows[] = {
    {675, CaseSendMenusTo},  {676, CaseSendMenusToEx}, {677, CaseSendMessageA},
    {678, CaseSendMessageW}, {765, CaseWindowOnTop},
};

}  // namespace

int32_t DoSendMessageA(BDS* ctx, const char* window, UINT message, WPARAM wParam, const char* text)
{
    return SendWithText(ctx, window, message, wParam, text);
}

int32_t DoSendMessageW(BDS* ctx, const char* window, UINT message, WPARAM wParam, const wchar_t* text)
{
    return SendWithText(ctx, window, message, wParam, text);
}

int DoWindowOnTopA(BDS* ctx, const char* title, int mode, bool retry) { return WindowOnTop(ctx, title, mode, retry); }
int DoWindowOnTopW(BDS* ctx, const wchar_t* title, int mode, bool retry)
{
    return WindowOnTop(ctx, title, mode, retry);
}

extern const BuiltinFamily g_WindowMessageBuiltins = {"window-messages", kRows,
                                                      static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
