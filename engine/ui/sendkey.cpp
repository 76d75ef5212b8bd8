// Synthetic keystrokes: SendKey, SendKeyW, SendKeysTo, SendKeysToW, SendKeysChild.
//
// A unit presses its modifiers in a fixed order (Shift, left and right Shift, Ctrl, left
// and right Ctrl, left and right Windows, Applications, Alt, left and right Alt), then its
// key; it releases the Alts first (right, left, plain), then the key, then the rest in
// reverse order. A unit with any Alt goes with the script's input block lifted.
#include "engine/ui/sendkey.h"

#include <windows.h>

#include <cmath>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/system/input_block.h"
#include "engine/system/key_state.h"
#include "engine/ui/window_activate.h"
#include "engine/ui/window_idle.h"
#include "engine/ui/window_info.h"

namespace {

constexpr uint16_t ERR_BAD_DELAY = 1020;     // "Time functions: Time parameter error - bad value"
constexpr uint16_t ERR_NOT_SUPPORTED = 1193; // "Function not supported in this version of Windows"
constexpr double MAX_DELAY_SECONDS = 86400.0;

struct ModifierKey {
    uint32_t bit;
    uint8_t vk;
};

// The press order; releases run backwards, the three Alts before the key.
const ModifierKey kPressOrder[] = {
    {KM_SHIFT, VK_SHIFT},   {KM_LSHIFT, VK_LSHIFT}, {KM_RSHIFT, VK_RSHIFT},   {KM_CTRL, VK_CONTROL},
    {KM_LCTRL, VK_LCONTROL}, {KM_RCTRL, VK_RCONTROL}, {KM_LWIN, VK_LWIN},       {KM_RWIN, VK_RWIN},
    {KM_APPS, VK_APPS},     {KM_ALT, VK_MENU},      {KM_LALT, VK_LMENU},      {KM_RALT, VK_RMENU},
};
constexpr int MODIFIER_COUNT = sizeof(kPressOrder) / sizeof(kPressOrder[0]);
constexpr int ALT_COUNT = 3;   // the last three of the press order

struct KeySender {
    BDS* ctx;
    PfnSendInput keys;       // null: keybd_event
    PfnSendInput characters; // Unicode character events; null: such characters are skipped
    bool console;            // a console target: no pumping, no delays
};

void PumpTwice(KeySender& s)
{
    if (s.console)
        return;
    PumpMessages(s.ctx);
    PumpMessages(s.ctx);
}

void KeyEvent(KeySender& s, uint8_t vk, bool up)
{
    bool extended = IsExtendedSendKey(vk);
    if (vk == 0)
        vk = VK_RETURN;   // the keypad Enter
    auto scan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    DWORD flags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    if (s.keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = scan;
        input.ki.dwFlags = flags;
        s.keys(1, &input, sizeof input);
    } else {
        keybd_event(vk, static_cast<BYTE>(scan), flags, 0);
    }
    PumpTwice(s);
}

void CharacterEvent(KeySender& s, wchar_t ch, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = ch;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    s.characters(1, &input, sizeof input);
    PumpTwice(s);
}

// One press and release of the unit's key (or character) with its modifiers.
void SendOnce(KeySender& s, uint8_t vk, wchar_t character, uint32_t modifiers)
{
    for (const ModifierKey& m : kPressOrder)
        if (modifiers & m.bit)
            KeyEvent(s, m.vk, false);
    if (character)
        CharacterEvent(s, character, false);
    else
        KeyEvent(s, vk, false);
    for (int i = MODIFIER_COUNT - 1; i >= MODIFIER_COUNT - ALT_COUNT; --i)
        if (modifiers & kPressOrder[i].bit)
            KeyEvent(s, kPressOrder[i].vk, true);
    if (character)
        CharacterEvent(s, character, true);
    else
        KeyEvent(s, vk, true);
    for (int i = MODIFIER_COUNT - ALT_COUNT - 1; i >= 0; --i)
        if (modifiers & kPressOrder[i].bit)
            KeyEvent(s, kPressOrder[i].vk, true);
}

void SendUnit(KeySender& s, const KeyUnit& unit)
{
    uint8_t vk = unit.vk;
    wchar_t character = 0;
    uint32_t modifiers = unit.modifiers;
    if (!unit.named) {
        SHORT typed = VkKeyScanW(unit.ch);
        if (typed == -1) {
            if (!s.characters)
                return;   // no key types it and there is no way to send the character
            character = unit.ch;
        } else {
            vk = LOBYTE(typed);
            BYTE shiftState = HIBYTE(typed);
            modifiers |= ((shiftState & 1) ? KM_SHIFT : 0) | ((shiftState & 2) ? KM_CTRL : 0) |
                         ((shiftState & 4) ? KM_ALT : 0);
        }
    }
    int inputState = (modifiers & KM_ANY_ALT) ? SetInputBlocked(s.ctx, 1) : -1;
    for (int32_t n = 0; n < unit.count && !s.ctx->bCancel; ++n)
        SendOnce(s, vk, character, modifiers);
    if (inputState != -1)
        SetInputBlocked(s.ctx, inputState);
}

// The delay argument (seconds) in milliseconds, or SendKeyDelay when it is absent; false
// with 1020 outside 0 to 86400 seconds.
bool DelayArg(BDS* ctx, const BuiltinCall& call, int i, uint32_t* ms)
{
    if (!HasArg(call, i)) {
        *ms = ctx->eng.ctl.SendKeyDelay;
        return true;
    }
    double seconds = ArgFloat(call, i);
    if (!(seconds >= 0.0 && seconds <= MAX_DELAY_SECONDS)) {
        SetError(ctx, ERR_BAD_DELAY);
        return false;
    }
    *ms = static_cast<uint32_t>(std::lround(seconds * 1000.0));
    return true;
}

// The wide forms need the Unicode SendInput entry.
bool WideSenderAvailable(BDS* ctx)
{
    if (!WideFormAvailable(ctx))
        return false;
    if (ctx->eng.ctl.SendInputUnicodeEntry)
        return true;
    SetError(ctx, ERR_NOT_SUPPORTED);
    return false;
}

void Send(BDS* ctx, BuiltinCall& call, KeyString keys, uint32_t delayMs, bool wide)
{
    SetResultInt(ctx, call.result, SendKeyString(ctx, keys, delayMs, wide));
}

KeyString NarrowKeys(BDS* ctx, const BuiltinCall& call, int i)
{
    return NarrowKeyString(ArgText(ctx, call, i), ValueCodePage(ctx));
}

// SendKey(keys [, delay])
void CaseSendKey(BDS* ctx, BuiltinCall& call)
{
    uint32_t delay;
    if (DelayArg(ctx, call, 2, &delay))
        Send(ctx, call, NarrowKeys(ctx, call, 1), delay, false);
}

// SendKeyW(keys [, delay])
void CaseSendKeyW(BDS* ctx, BuiltinCall& call)
{
    uint32_t delay;
    if (WideSenderAvailable(ctx) && DelayArg(ctx, call, 2, &delay))
        Send(ctx, call, WideKeyString(ArgWText(ctx, call, 1)), delay, true);
}

// SendKeysTo(window, keys [, delay]): the window is activated first unless it is "".
void CaseSendKeysTo(BDS* ctx, BuiltinCall& call)
{
    uint32_t delay;
    if (!DelayArg(ctx, call, 3, &delay))
        return;
    const char* title = ArgText(ctx, call, 1);
    if (*title && !DoWinActivateA(ctx, title))
        return;
    Send(ctx, call, NarrowKeys(ctx, call, 2), delay, false);
}

// SendKeysToW(window, keys [, delay])
void CaseSendKeysToW(BDS* ctx, BuiltinCall& call)
{
    uint32_t delay;
    if (!WideSenderAvailable(ctx) || !DelayArg(ctx, call, 3, &delay))
        return;
    const wchar_t* title = ArgWText(ctx, call, 1);
    if (*title && !DoWinActivateW(ctx, title))
        return;
    Send(ctx, call, WideKeyString(ArgWText(ctx, call, 2)), delay, true);
}

// SendKeysChild(window, child, keys [, delay]): the window and its child are activated.
void CaseSendKeysChild(BDS* ctx, BuiltinCall& call)
{
    uint32_t delay;
    if (!DelayArg(ctx, call, 4, &delay))
        return;
    if (!DoWinActivChildA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2)))
        return;
    Send(ctx, call, NarrowKeys(ctx, call, 3), delay, false);
}

const BuiltinRow kRows[] = {
    {670, CaseSendKey},
    {671, CaseSendKeysChild},
    {672, CaseSendKeysTo},
    {673, CaseSendKeysToW},
    {674, CaseSendKeyW},
};

}  // namespace

extern const BuiltinFamily g_SendKeyBuiltins = {"sendkey", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

bool IsExtendedSendKey(uint8_t vk)
{
    bool plain = (vk >= 0x08 && vk <= 0x20) || (vk >= 0x30 && vk <= 0x5A) || (vk >= 0x70 && vk <= 0x87) ||
                 (vk >= 0xBA && vk <= 0xC0) || (vk >= 0xDB && vk <= 0xDE);
    return !plain;
}

int SendKeyString(BDS* ctx, KeyString keys, uint32_t delayMs, bool wide)
{
    PfnSendInput unicode = ctx->eng.ctl.SendInputUnicodeEntry;
    KeySender s{ctx, wide ? unicode : nullptr, unicode, false};
    HWND foreground = GetForegroundWindow();
    bool consoleForeground = foreground && IsDosWindow(ctx, foreground, true);
    int capsWasOn = ToggleKeyState(ctx, VK_CAPITAL, 0);
    int numWasOn = consoleForeground ? ToggleKeyState(ctx, VK_NUMLOCK, 0) : 0;

    int result = 0;
    while (!ctx->bCancel) {
        KeyUnit unit;
        KeyRead read = ReadKeyUnit(keys, &unit);
        if (read == KeyRead::END)
            break;
        if (read == KeyRead::MALFORMED) {
            result = -1;
            break;
        }
        if (ctx->eng.ctl.SendKeyWaitIdle || ctx->eng.ctl.SendKeyConsoleMode) {
            HWND target = GetForegroundWindow();
            s.console = target && PrepareInputTarget(ctx, target);
        }
        PumpTwice(s);
        SendUnit(s, unit);
        PumpTwice(s);
        if (!s.console && delayMs)
            WaitPumping(ctx, delayMs);
    }

    if (numWasOn)
        ToggleKeyState(ctx, VK_NUMLOCK, 1);
    if (capsWasOn)
        ToggleKeyState(ctx, VK_CAPITAL, 1);
    return result;
}
