// What a host's menus need while they are used: the status-bar text of the highlighted
// entry (MenuSelectProcessing) and the command of a hot key (HotKeyCheck).
#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/core/system_flags.h"
#include "engine/core/tokenizer.h"
#include "engine/ui/menu_file.h"

namespace {

// Answers of MenuSelectProcessing.
enum : int32_t {
    STATUS_MENU_CLOSED = 0,
    STATUS_FOUND = 1,
    STATUS_SYSTEM_OWN_TEXT = 2,
    STATUS_POPUP_OWN_TEXT = 3,
    STATUS_COMMAND_OWN_TEXT = 4,
    STATUS_NOTHING = 5,
};
constexpr int MSG_SYSTEM_ITEMS = 700;    // 700 + ((item >> 4) & 31): the system menu's items
constexpr int MSG_POPUP_MENU = 730;      // " popup menu"
constexpr int MSG_MENU_ITEM = 731;       // " menu item"
constexpr int STATUS_TEXT_SIZE = 600;

void CopyOut(const char* text, char* out, uint32_t size)
{
    if (out && size)
        lstrcpynA(out, text, static_cast<int>(size));
}

// The sub-menu whose handle is `wanted`, found depth-first: its parent and position.
bool FindPopup(HMENU menu, uintptr_t wanted, HMENU* parent, int* position, int depth = 0)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count && depth < 16; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub)
            continue;
        if (reinterpret_cast<uintptr_t>(sub) == wanted) {
            *parent = menu;
            *position = i;
            return true;
        }
        if (FindPopup(sub, wanted, parent, position, depth + 1))
            return true;
    }
    return false;
}

// The entry's own text: quoted, cut at its tab, followed by " menu item" or " popup menu",
// without "&".
void OwnText(BDS* ctx, HMENU menu, uintptr_t value, bool popup, char* out, uint32_t size)
{
    char text[256] = "";
    if (popup) {
        HMENU parent = nullptr;
        int position = 0;
        if (menu && FindPopup(menu, value, &parent, &position))
            GetMenuStringA(parent, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    } else if (menu) {
        GetMenuStringA(menu, static_cast<UINT>(value), text, sizeof text, MF_BYCOMMAND);
    }
    if (char* tab = std::strchr(text, '\t'))
        *tab = 0;
    size_t n = std::strlen(text);
    while (n && text[n - 1] == ' ')
        text[--n] = 0;
    char word[200];
    const char* loaded = popup ? g_szPopupMenuText : g_szMenuItemText;
    if (*loaded)
        lstrcpynA(word, loaded, sizeof word);
    else if (!LoadMyString(ctx, EngineModule(), popup ? MSG_POPUP_MENU : MSG_MENU_ITEM, word, sizeof word))
        word[0] = 0;
    char joined[STATUS_TEXT_SIZE];
    std::snprintf(joined, sizeof joined, "\"%s\"%s%s", text, word[0] == ' ' ? "" : " ", word);
    // Every "&" goes (a double-byte character's second byte is never one).
    char* to = joined;
    for (const char* from = joined; *from;) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*from)) && from[1]) {
            *to++ = *from++;
            *to++ = *from++;
        } else if (*from == '&') {
            ++from;
        } else {
            *to++ = *from++;
        }
    }
    *to = 0;
    CopyOut(joined, out, size);
}

// The value of a status-text variable; false when there is none (or it is empty).
bool StatusVariable(BDS* ctx, char kind, char letter, uintptr_t value, char* out, uint32_t size)
{
    char name[VARNAMESIZE + 1];
    std::snprintf(name, sizeof name, "%%%c%c%llu", kind, letter, static_cast<unsigned long long>(value));
    char text[STATUS_TEXT_SIZE];
    if (!ValueToDisplayText(ctx, name, text, sizeof text) || !text[0])
        return false;
    CopyOut(text, out, size);
    return true;
}

bool KeyDown(int key) { return GetKeyState(key) < 0 || (GetAsyncKeyState(key) & 0x8000); }

}  // namespace

int32_t MenuStatusText(BDS* ctx, HWND window, uintptr_t item, HMENU menu, uint32_t firstId, uint32_t lastId,
                       char* text, uint32_t size, const MenuFileRecord* record, uint32_t useMenu)
{
    CopyOut("", text, size);
    UINT flags = HIWORD(item);
    uintptr_t value = LOWORD(item);
    if (flags == 0xFFFF && value == 0)
        return STATUS_MENU_CLOSED;
    char letter = static_cast<char>('A' + (record ? record->menuIndex : 0));
    bool popup = (flags & MF_POPUP) != 0;

    if (flags & MF_SYSMENU) {
        HMENU system = useMenu ? menu : GetSystemMenu(window, FALSE);
        if (popup) {
            OwnText(ctx, system, value, true, text, size);
            return STATUS_SYSTEM_OWN_TEXT;
        }
        if (value == 0)
            return STATUS_NOTHING;
        char message[256];
        if (LoadMyString(ctx, EngineModule(), MSG_SYSTEM_ITEMS + static_cast<int>((value >> 4) & 31), message,
                         sizeof message)) {
            CopyOut(message, text, size);
            return STATUS_FOUND;
        }
        OwnText(ctx, system, value, false, text, size);
        return STATUS_SYSTEM_OWN_TEXT;
    }
    if (flags & MF_SEPARATOR)
        return STATUS_NOTHING;
    HMENU own = useMenu ? menu : GetMenu(window);
    if (popup) {
        if (StatusVariable(ctx, 'P', letter, value, text, size))
            return STATUS_FOUND;
        OwnText(ctx, own, value, true, text, size);
        return STATUS_POPUP_OWN_TEXT;
    }
    if (value == 0)
        return STATUS_NOTHING;
    if (value >= firstId && value <= lastId && StatusVariable(ctx, 'M', letter, value, text, size))
        return STATUS_FOUND;
    OwnText(ctx, own, value, false, text, size);
    return STATUS_COMMAND_OWN_TEXT;
}

int32_t CheckHotKey(BDS* ctx, HWND window, uint32_t message, uintptr_t key, const HotKeyTable* table)
{
    if (!table)
        return 0;
    uint16_t word;
    if (message == HOTKEY_VIRTUAL_KEY) {
        switch (key) {
        case VK_SHIFT: case VK_CONTROL: case VK_MENU:
        case VK_LSHIFT: case VK_RSHIFT: case VK_LCONTROL: case VK_RCONTROL: case VK_LMENU: case VK_RMENU:
            return 0;
        default:
            word = static_cast<uint16_t>((key & 0xFF) | KEY_NAMED);
        }
    } else {
        auto c = static_cast<uint8_t>(key & 0xFF);
        if (KeyDown(VK_CONTROL) && c >= 1 && c <= 26)
            c |= 64;   // Ctrl with a letter arrives as the letter's control character
        char one[2] = {static_cast<char>(c), 0};
        CharUpperBuffA(one, 1);
        word = static_cast<uint8_t>(one[0]);
    }
    if (KeyDown(VK_SHIFT))
        word |= KEY_SHIFT;
    if (KeyDown(VK_CONTROL))
        word |= KEY_CTRL;
    if (KeyDown(VK_MENU))
        word |= KEY_ALT;
    // A letter key with Ctrl also stands for its control character, as "^S" declares it.
    uint16_t alternative = word;
    uint8_t low = static_cast<uint8_t>(word & 0xFF);
    if (message == HOTKEY_VIRTUAL_KEY && (word & KEY_CTRL) && low >= '@' && low <= 'Z')
        alternative = static_cast<uint16_t>(word & ~KEY_NAMED);

    uint32_t count = table->count < HOTKEY_SLOTS ? table->count : HOTKEY_SLOTS;
    const HotKeyEntry* found = nullptr;
    for (uint32_t i = 0; i < count && !found; ++i)
        if (table->entries[i].key == word)
            found = &table->entries[i];
    for (uint32_t i = 0; i < count && !found; ++i)
        if (table->entries[i].key == alternative)
            found = &table->entries[i];
    if (!found)
        return 0;
    if (IsWindowEnabled(window)) {
        PostMessageA(window, WM_COMMAND, found->id, 0);
        if (ctx->eng.ctl.PostedMessageDelay)
            WaitPumping(ctx, ctx->eng.ctl.PostedMessageDelay);
    }
    return 1;
}
