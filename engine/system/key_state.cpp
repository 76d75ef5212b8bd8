// Toggle keys, keys held down and the waits for a key: KeyToggleGet, KeyToggleSet,
// IsKeyDown, WaitForKey and WaitForKeyEx, and the toggle switch that SendKey uses.
#include "engine/system/key_state.h"

#include <windows.h>

#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/pump.h"

namespace {

constexpr uint16_t ERR_BAD_KEY = 3123;   // "WaitForKey: Invalid key codes specified"
constexpr DWORD POLL_MS = 20;
constexpr double FOREVER_BELOW = -0.0001;
constexpr double ONCE_BELOW = 0.0001;
constexpr int WAIT_FOR_KEY_NAMES = 5;

struct NamedKey {
    const char* name;
    uint16_t word;
};

// The named keys of hot keys and waited keys; words with KEY_WORD_NAMED are virtual keys
// that no character names.
const NamedKey kNamedKeys[] = {
    {"BACKSPACE", 0x0008}, {"BS", 0x0008},      {"CLEAR", 0x100C},   {"DELETE", 0x102E},  {"DEL", 0x102E},
    {"DOWN", 0x1028},      {"END", 0x1023},     {"ENTER", 0x000D},   {"ESCAPE", 0x001B},  {"ESC", 0x001B},
    {"HELP", 0x102F},      {"HOME", 0x1024},    {"INSERT", 0x102D},  {"INS", 0x102D},     {"LEFT", 0x1025},
    {"PGDN", 0x1022},      {"PGUP", 0x1021},    {"PRTSC", 0x102C},   {"RIGHT", 0x1027},   {"TAB", 0x1009},
    {"UP", 0x1026},        {"F1", 0x1070},      {"F2", 0x1071},      {"F3", 0x1072},      {"F4", 0x1073},
    {"F5", 0x1074},        {"F6", 0x1075},      {"F7", 0x1076},      {"F8", 0x1077},      {"F9", 0x1078},
    {"F10", 0x1079},       {"F11", 0x107A},     {"F12", 0x107B},     {"F13", 0x107C},     {"F14", 0x107D},
    {"F15", 0x107E},       {"F16", 0x107F},     {"SPACE", 0x0020},   {"SP", 0x0020},      {"NUMPAD0", 0x1060},
    {"NUMPAD1", 0x1061},   {"NUMPAD2", 0x1062}, {"NUMPAD3", 0x1063}, {"NUMPAD4", 0x1064}, {"NUMPAD5", 0x1065},
    {"NUMPAD6", 0x1066},   {"NUMPAD7", 0x1067}, {"NUMPAD8", 0x1068}, {"NUMPAD9", 0x1069}, {"NUMPAD*", 0x106A},
    {"NUMPAD+", 0x106B},   {"NUMPAD-", 0x106D}, {"NUMPAD.", 0x106E}, {"NUMPAD/", 0x106F},
};

char Upper(char c)
{
    char one[2] = {c, 0};
    CharUpperBuffA(one, 1);
    return one[0];
}

// The key of a character: letters and digits are their own virtual keys, others the key
// that types them (0 when none does).
uint16_t CharacterKey(char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return static_cast<uint8_t>(c);
    SHORT typed = VkKeyScanA(c);
    return typed == -1 ? 0 : LOBYTE(typed);
}

bool Down(int vk) { return (GetKeyState(vk) & 0x8000) || (GetAsyncKeyState(vk) & 0x8000); }

// The modifiers down now, as key-word bits.
uint16_t ModifiersDown()
{
    return (Down(VK_SHIFT) ? KEY_WORD_SHIFT : 0) | (Down(VK_CONTROL) ? KEY_WORD_CTRL : 0) |
           (Down(VK_MENU) ? KEY_WORD_ALT : 0);
}

// The first slot whose key went down since the last look, with exactly its modifiers.
int PollWaitedKeys(const WaitedKeys& keys)
{
    uint16_t modifiers = ModifiersDown();
    for (uint32_t slot = 1; slot <= keys.count; ++slot) {
        uint16_t word = keys.slots[slot];
        if (!word || (word & KEY_WORD_MODIFIERS) != modifiers)
            continue;
        if (GetAsyncKeyState(word & 0xFF) == static_cast<SHORT>(0x8001))
            return static_cast<int>(slot);
    }
    return 0;
}

// Fills the next slot from a key name (an empty name leaves an empty slot); false with
// 3123 for a name without a key.
bool AddWaitedKey(BDS* ctx, WaitedKeys& keys, const char* name, size_t length)
{
    uint16_t word = length ? WaitedKeyWord(name, length) : 0;
    if (length && !word) {
        SetError(ctx, ERR_BAD_KEY);
        return false;
    }
    keys.slots[++keys.count] = word;
    return true;
}

// Polls every 20 ms, pumping, until a slot is hit, the run is cancelled or (with a
// deadline) the time is up: the slot, or 0.
int WaitForWaitedKey(BDS* ctx, bool limited, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        int hit = PollWaitedKeys(ctx->sys.waitedKeys);
        if (hit || ctx->bCancel)
            return ctx->bCancel ? 0 : hit;
        DWORD spent = GetTickCount() - start;
        if (limited && spent >= milliseconds)
            return 0;
        DWORD step = limited && milliseconds - spent < POLL_MS ? milliseconds - spent : POLL_MS;
        WaitPumping(ctx, step);
    }
}

bool KeyArgOk(BDS* ctx, int32_t vk)
{
    if (vk >= 1 && vk <= 254)
        return true;
    SetError(ctx, ERR_BAD_KEY);
    return false;
}

// KeyToggleGet(vk)
void CaseKeyToggleGet(BDS* ctx, BuiltinCall& call)
{
    int32_t vk = ArgInt(call, 1);
    if (KeyArgOk(ctx, vk))
        SetResultInt(ctx, call.result, ToggleKeyState(ctx, vk, TOGGLE_QUERY));
}

// KeyToggleSet(vk, state): the state before.
void CaseKeyToggleSet(BDS* ctx, BuiltinCall& call)
{
    int32_t vk = ArgInt(call, 1);
    if (KeyArgOk(ctx, vk))
        SetResultInt(ctx, call.result, ToggleKeyState(ctx, vk, ArgInt(call, 2) ? 1 : 0));
}

// IsKeyDown(request): 1 Ctrl, 2 Shift, 3 either, 0 both. The middle button counts as
// Ctrl and the right button (the left one when they are swapped) as Shift.
void CaseIsKeyDown(BDS* ctx, BuiltinCall& call)
{
    bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    bool ctrl = Down(VK_CONTROL) || Down(VK_MBUTTON);
    bool shift = Down(VK_SHIFT) || Down(swapped ? VK_LBUTTON : VK_RBUTTON);
    bool down = false;
    switch (ArgInt(call, 1)) {
    case 0:
        down = ctrl && shift;
        break;
    case 1:
        down = ctrl;
        break;
    case 2:
        down = shift;
        break;
    case 3:
        down = ctrl || shift;
        break;
    default:
        break;
    }
    SetResultInt(ctx, call.result, down ? 1 : 0);
}

// WaitForKey(k1, k2, k3, k4, k5): an empty name ends the list.
void CaseWaitForKey(BDS* ctx, BuiltinCall& call)
{
    WaitedKeys& keys = ctx->sys.waitedKeys;
    keys.count = 0;
    for (int i = 1; i <= WAIT_FOR_KEY_NAMES; ++i) {
        const char* name = ArgText(ctx, call, i);
        if (!*name)
            break;
        if (!AddWaitedKey(ctx, keys, name, std::strlen(name)))
            return;
    }
    int hit = WaitForWaitedKey(ctx, false, 0);
    if (!ctx->bCancel)
        SetResultInt(ctx, call.result, hit);
}

// WaitForKeyEx(tab-delimited names, seconds): below 0 waits for ever, 0 looks once.
void CaseWaitForKeyEx(BDS* ctx, BuiltinCall& call)
{
    WaitedKeys& keys = ctx->sys.waitedKeys;
    keys.count = 0;
    const char* list = ArgText(ctx, call, 1);
    for (const char* entry = list; keys.count < WAITED_KEY_SLOTS;) {
        const char* tab = std::strchr(entry, '\t');
        size_t length = tab ? static_cast<size_t>(tab - entry) : std::strlen(entry);
        if (!AddWaitedKey(ctx, keys, entry, length))
            return;
        if (!tab)
            break;
        entry = tab + 1;
    }
    double seconds = ArgFloat(call, 2);
    int hit = 0;
    if (seconds < FOREVER_BELOW)
        hit = WaitForWaitedKey(ctx, false, 0);
    else if (seconds < ONCE_BELOW)
        hit = PollWaitedKeys(keys);
    else
        hit = WaitForWaitedKey(ctx, true, seconds >= 4e6 ? 4000000000u : static_cast<DWORD>(seconds * 1000.0));
    if (!ctx->bCancel)
        SetResultInt(ctx, call.result, hit);
}

const BuiltinRow kRows[] = {
    {539, CaseIsKeyDown}, {554, CaseKeyToggleGet}, {555, CaseKeyToggleSet},
    {754, CaseWaitForKey}, {755, CaseWaitForKeyEx},
};

}  // namespace

extern const BuiltinFamily g_KeyStateBuiltins = {"key-state", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int ToggleKeyState(BDS* ctx, int vk, int newState)
{
    auto key = static_cast<BYTE>(vk);
    // Asking for one key first brings the thread's key state up to date where the system
    // keeps it apart from the state of the keys the user (or a sender) last pressed.
    GetKeyState(key);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    int was = keys[key] & 1;
    if (newState != TOGGLE_QUERY && (newState ? 1 : 0) != was) {
        auto scan = static_cast<BYTE>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        keybd_event(key, scan, KEYEVENTF_EXTENDEDKEY, 0);
        keybd_event(key, scan, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
        PumpMessages(ctx);   // the script's own window may have the keyboard: it takes the keys now
    }
    return was;
}

uint16_t NamedKeyWord(const char* name, size_t length)
{
    for (const NamedKey& key : kNamedKeys)
        if (std::strlen(key.name) == length && std::memcmp(key.name, name, length) == 0)
            return key.word;
    return 0;
}

uint16_t WaitedKeyWord(const char* name, size_t length)
{
    uint16_t modifiers = 0;
    for (size_t i = 0; i < length;) {
        char c = Upper(name[i]);
        if (c == '!' || c == '+' || c == '^') {
            modifiers |= c == '!' ? KEY_WORD_ALT : c == '+' ? KEY_WORD_SHIFT : KEY_WORD_CTRL;
            ++i;
            continue;
        }
        if (c == '{') {
            const void* found = std::memchr(name + i + 1, '}', length - i - 1);
            size_t inner = found ? static_cast<size_t>(static_cast<const char*>(found) - (name + i + 1)) : 0;
            if (found && inner == 1) {
                c = Upper(name[i + 1]);
            } else {
                char upper[16];
                uint16_t word = 0;
                if (found && inner < sizeof upper) {
                    for (size_t k = 0; k < inner; ++k)
                        upper[k] = Upper(name[i + 1 + k]);
                    word = NamedKeyWord(upper, inner);
                }
                if (word)
                    return modifiers | word;
                ++i;   // not a name: the characters after the brace are read on
                continue;
            }
        }
        uint16_t key = CharacterKey(c);
        return key ? static_cast<uint16_t>(modifiers | key) : 0;
    }
    return 0;
}
