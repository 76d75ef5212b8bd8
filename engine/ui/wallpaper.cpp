// Wallpaper(file, mode): the wallpaper through the shell's Active Desktop, or else through
// the desktop settings of the user's registry and the system parameter; an empty name
// clears it and repaints the desktop and the iconic windows. The answer is always 1.
#include <windows.h>

#include "engine/com/desktop_menu.h"
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/files/file_args.h"
#include "engine/ui/window_info.h"

namespace {

enum : int { WALLPAPER_TILE = 1, WALLPAPER_STRETCH = 2 };

void WriteDesktopValue(HKEY key, const char* name, const char* digit)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(digit), 2);
}

// The tile and style settings of the mode, where the system keeps them.
void StoreWallpaperStyle(const char* file, int mode)
{
    const char* tile = mode == WALLPAPER_TILE ? "1" : "0";
    const char* style = mode == WALLPAPER_STRETCH ? "2" : "0";
    if (g_System.major >= 4) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            WriteDesktopValue(key, "TileWallpaper", tile);
            WriteDesktopValue(key, "WallpaperStyle", style);
            RegCloseKey(key);
        }
    } else {
        WriteProfileStringA("DESKTOP", "TileWallpaper", tile);
        WriteProfileStringA("DESKTOP", "WALLPAPER", file);
    }
}

void CaseWallpaper(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, 1);
    ArgAnsiPath name(ctx, call, 1);
    const char* file = name.text();
    int mode = ArgInt(call, 2);
    if (ActiveDesktopSetWallpaper(ctx, file, mode))
        return;
    StoreWallpaperStyle(file, mode);
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(file), SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    if (!*file) {
        InvalidateRect(GetDesktopWindow(), nullptr, TRUE);
        EnumWindows(WinEnumXXXIcon, 0);
    }
}

const BuiltinRow kRows[] = {
    {756, CaseWallpaper},
};

}  // namespace

// EnumWindows callback that repaints (with erase) every iconic window.
extern "C" BOOL CALLBACK WinEnumXXXIcon(HWND window, LPARAM)
{
    if (IsIconic(window))
        InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

extern const BuiltinFamily g_WallpaperBuiltins = {"wallpaper", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
