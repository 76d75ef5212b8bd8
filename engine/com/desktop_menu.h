// What the window built-ins use of the COM layer: the shell's Active Desktop, which sets the
// wallpaper, and menu items run through an application's automation object.
#pragma once

struct BDS;

// Sets the wallpaper through the Active Desktop (mode 1 tiled, 2 stretched, else centred)
// and applies it; 1 when that succeeded, else 0.
int ActiveDesktopSetWallpaper(BDS* ctx, const char* file, int mode);

// Runs the item of the menu path through the automation object of the application named;
// non-zero on success.
int ExecuteMenuItemByCom(BDS* ctx, const char* application, const char* menuPath);
