// Minimal forms of the menu-file exports, until menu files are built: a host binds them by
// ordinal, and each answers as it does when no menu file can be used.
#include <windows.h>
#include <cstdint>

// The menu built from a menu file; 0: the file cannot be used.
extern "C" HMENU LoadStandardMenu(HGLOBAL, const char*, uint32_t, uint32_t, void*, HWND, void*, uintptr_t)
{
    return nullptr;
}

// A block with the code of a menu command; 0: nothing to run.
extern "C" HGLOBAL ParseStandardMenu(HGLOBAL, const char*, uint32_t, uint32_t, uint32_t, uintptr_t, void*, HWND)
{
    return nullptr;
}

// The status text of a menu selection; -1: the request cannot be served.
extern "C" int32_t MenuSelectProcessing(HGLOBAL, HWND, uintptr_t, HMENU, uint32_t, uint32_t, char* text,
                                        uint32_t size, void*, uint32_t)
{
    if (text && size > 0)
        text[0] = 0;
    return -1;
}

// Whether a key is one of the menus' hot keys; 0: it is not.
extern "C" int32_t HotKeyCheck(HGLOBAL, HWND, uint32_t, uintptr_t, void*)
{
    return 0;
}
