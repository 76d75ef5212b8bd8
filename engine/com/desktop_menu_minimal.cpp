// Minimal forms of the Active Desktop and menu automation services until the COM layer is
// built (its own code replaces this file): neither succeeds, so Wallpaper takes the
// registry road and SendMenusToEx mode 1 reports the item as not found.
#include "engine/com/desktop_menu.h"

int ActiveDesktopSetWallpaper(BDS*, const char*, int) { return 0; }

int ExecuteMenuItemByCom(BDS*, const char*, const char*) { return 0; }
