// Shell links through COM: writing and reading .lnk files (and folder shortcuts) for the
// shortcut built-ins, and starting the target of a link for the program starter.
// Every operation initialises COM for itself and uninitialises it before it returns.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;
struct resultants;

// The link kind of the shortcut built-ins' mode: 1 a folder shortcut, else a shell link.
constexpr int LINK_KIND_FOLDER = 1;

// Writes a link. Mode 1 (Make/Edit): text1 the target, text2 the arguments, text3 the
// working directory, number the show command. Mode 0 (Extra): text1 the description,
// text2 the hotkey as two bytes (key, modifiers), text3 the icon file with number its
// index. Empty texts leave a field alone, "-1" clears it. 1, or 0 with the error set
// (1415-1420).
int ShortcutWrite(BDS* ctx, const char* link, const char* text1, const char* text2, const char* text3,
                  int32_t number, bool create, int mode, int kind);

// ShortcutInfo's text: path, arguments, working directory, show mode (1 minimised, 2
// normal, 3 maximised, else 0), description, hotkey text, icon file and icon index,
// joined by tabs. 1, or 0 with the error set.
int ShortcutReadInfo(BDS* ctx, resultants* result, const char* link, int kind);

// Starts the target of a link with the link's arguments (the given ones when it has none),
// its working directory (the given one when it has none) and its show command. Fills the
// process handle (the caller's to close) and id. Answers 0, a system error code, or
// 0xFFFFFFFF when the link cannot be read.
uint32_t RunShortcutW(BDS* ctx, const wchar_t* link, const wchar_t* parameters, const wchar_t* directory,
                      int showCommand, HANDLE* process, DWORD* processId);
uint32_t RunShortcutA(BDS* ctx, const char* link, const char* parameters, const char* directory,
                      int showCommand, HANDLE* process, DWORD* processId);
