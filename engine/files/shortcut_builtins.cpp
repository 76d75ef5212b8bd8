// The shortcut built-ins ShortcutInfo, ShortcutMake, ShortcutEdit and ShortcutExtra: the
// link's name is found and checked here; the shell-link work is the COM layer's.
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/com/shell_link.h"
#include "engine/core/builtin.h"
#include "engine/files/file_args.h"
#include "engine/files/hotkey_text.h"

namespace {

enum : uint16_t { KID_SHORTCUTEDIT = 682, KID_SHORTCUTEXTRA = 683, KID_SHORTCUTINFO = 684, KID_SHORTCUTMAKE = 685 };

constexpr uint16_t ERR_NEED_LNK = 1410;      // "Shortcut functions: Shortcut files must have an extension of '.LNK'"
constexpr uint16_t ERR_NOT_FOUND = 1411;     // "Shortcut functions: Shortcut file not found"
constexpr uint16_t ERR_EXISTS = 1412;        // "ShortcutMake: Shortcut file already exists"
constexpr uint16_t ERR_SHOW_MODE = 1413;     // "Shortcut Make/Edit: Invalid show mode"
constexpr uint16_t ERR_HOTKEY = 1414;        // "ShortcutExtra: Invalid hotkey"
constexpr int MODE_NAME_AS_GIVEN = 1;        // also the folder-shortcut kind

// The link's file: found along the search order (".LNK" added unless the mode is 1); a name
// not found keeps its text. `found` tells which.
std::string FindLink(const char* name, int mode, bool* found)
{
    char path[MAX_PATH];
    DWORD n = SearchPathA(nullptr, name, mode == MODE_NAME_AS_GIVEN ? nullptr : ".LNK", MAX_PATH, path, nullptr);
    *found = n > 0 && n < MAX_PATH;
    return *found ? std::string(path) : std::string(name);
}

// Unless the mode is 1, the name must end in ".LNK" (added when it has no extension).
bool CheckExtension(BDS* ctx, std::string* name, int mode)
{
    if (mode == MODE_NAME_AS_GIVEN)
        return true;
    size_t slash = name->find_last_of("\\/:");
    size_t dot = name->find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        *name += ".LNK";
        return true;
    }
    if (lstrcmpiA(name->c_str() + dot, ".lnk") != 0) {
        SetError(ctx, ERR_NEED_LNK);
        return false;
    }
    return true;
}

// The link writer's show command for a script's show mode, or -1.
int ShowCommand(int32_t mode)
{
    switch (mode) {
    case 0: return 0;
    case 1: return SW_SHOWMINNOACTIVE;
    case 2: return SW_SHOWNORMAL;
    case 3: return SW_SHOWMAXIMIZED;
    default: return -1;
    }
}

void ShortcutInfoCase(BDS* ctx, BuiltinCall& call)
{
    int mode = ArgInt(call, 2);
    bool found = false;
    ArgAnsiPath name(ctx, call, 1);
    std::string link = FindLink(name.text(), mode, &found);
    if (!found) {
        SetError(ctx, ERR_NOT_FOUND);
        return;
    }
    ShortcutReadInfo(ctx, call.result, link.c_str(), mode);
}

void ShortcutModifyCase(BDS* ctx, BuiltinCall& call)
{
    int mode = ArgInt(call, 6);
    bool found = false;
    ArgAnsiPath name(ctx, call, 1);
    std::string link = FindLink(name.text(), mode, &found);
    if (!CheckExtension(ctx, &link, mode))
        return;
    bool create = call.id == KID_SHORTCUTMAKE;
    if (create && found) {
        SetError(ctx, ERR_EXISTS);
        return;
    }
    if (!create && !found) {
        SetError(ctx, ERR_NOT_FOUND);
        return;
    }
    if (!create && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
        SetError(ctx, ERR_NOT_FOUND);
        return;
    }
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(link.c_str(), MAX_PATH, full, nullptr);
    if (n > 0 && n < MAX_PATH)
        link = full;
    const char* text2 = ArgText(ctx, call, 3);
    int32_t number = ArgInt(call, 5);
    char hotkey[3] = {};
    if (call.id == KID_SHORTCUTEXTRA) {
        if (*text2 && std::strcmp(text2, "-1") != 0) {
            uint16_t word = HotkeyTextParse(text2);
            if (!word) {
                SetError(ctx, ERR_HOTKEY);
                return;
            }
            hotkey[0] = static_cast<char>(word & 0xFF);
            hotkey[1] = static_cast<char>(word >> 8);
            text2 = hotkey;
        }
    } else {
        number = ShowCommand(number);
        if (number < 0) {
            SetError(ctx, ERR_SHOW_MODE);
            return;
        }
    }
    ArgAnsiPath target(ctx, call, 2), folder(ctx, call, 4);
    int written = ShortcutWrite(ctx, link.c_str(), target.text(), text2, folder.text(), number,
                                create, call.id == KID_SHORTCUTEXTRA ? 0 : 1, mode);
    SetResultInt(ctx, call.result, written);
}

const BuiltinRow kRows[] = {
    {KID_SHORTCUTEDIT, ShortcutModifyCase},
    {KID_SHORTCUTEXTRA, ShortcutModifyCase},
    {KID_SHORTCUTINFO, ShortcutInfoCase},
    {KID_SHORTCUTMAKE, ShortcutModifyCase},
};

}  // namespace

extern const BuiltinFamily g_ShortcutBuiltins = {"shortcuts", kRows, sizeof(kRows) / sizeof(kRows[0])};
