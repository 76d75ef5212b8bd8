// Facts about a window that several built-ins need: the program file behind it, whether it
// is a console window, and the performance-counter lookup that the program-file search
// falls back on where the process snapshot is missing.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

struct BDS;

// What a window of a 16-bit program (or of its host, ntvdm) reports as its program file.
constexpr char SIXTEEN_BIT_PROGRAM[] = "(16-bit application)";

// The full path of the program that owns the window, cut to `size` characters with the
// NUL; answers its length, 0 with an empty text when it cannot be told (the failing call
// is recorded as the last error in the settings file). The script's own window gives the
// host program.
size_t GetWindowExeName(BDS* ctx, HWND window, char* out, size_t size);
size_t GetWindowExeNameW(BDS* ctx, HWND window, wchar_t* out, size_t size);

// 1 for a console or DOS window (by its class, or the module behind its instance), else
// 0. A handle that is no window gives 0, with 1227 "WinIsDos: Window not found or bad
// window" unless `quiet`.
int IsDosWindow(BDS* ctx, HWND window, bool quiet);

// The index text of a performance counter or object name (case-sensitive) from the
// English counter names of the registry; 1, or 0 with an empty text when it is not there.
int GetMyCounterIndex(const char* name, char* out, int size);

// ---------------------------------------------------------------- exported callbacks
// EnumWindows callbacks of the window lists (lParam: the context, whose list scratch holds
// the list being built) and of Wallpaper (repaints iconic windows; lParam unused).

extern "C" BOOL CALLBACK WinEnumItem(HWND window, LPARAM context);        // titles
extern "C" BOOL CALLBACK WinEnumItemAndId(HWND window, LPARAM context);   // title and identifier
extern "C" BOOL CALLBACK WinEnumFromProcId(HWND window, LPARAM context);  // windows of a process
extern "C" BOOL CALLBACK WinEnumXXXIcon(HWND window, LPARAM unused);

// ---------------------------------------------------------------- the parsers, for tests

// The index of `name` in a counter list (NUL-terminated texts in pairs of index and name,
// ended by an empty text) of `bytes` bytes.
int CounterIndexFromList(const char* list, size_t bytes, const char* name, char* out, int size);

// The instance name of the process `pid` in performance data of `bytes` bytes: the object
// whose title index is `objectIndex`, its counter `counterIndex` holding the process id.
// Answers false when the data holds no such object, counter or instance.
bool ProcessNameFromPerfData(const uint8_t* data, size_t bytes, uint32_t objectIndex, uint32_t counterIndex,
                             uint32_t pid, wchar_t* out, size_t size);
