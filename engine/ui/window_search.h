// Naming windows by text: the window identifier "#WIN$ID#" and eight hex digits, the
// partial-title rule, the enumeration callbacks of the title search and the find
// operations every window built-in uses.
//
// Partial titles: a title matches when it begins with the pattern (case-sensitive); a
// trailing "~" asks for the whole title, a leading "~" for an occurrence anywhere (both:
// an occurrence that ends the title); "" names the script's own window; a window
// identifier is accepted wherever a title is.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

struct BDS;

constexpr int WINDOW_ID_LENGTH = 16;        // "#WIN$ID#" and 8 hex digits
constexpr int WINDOW_ID_BUFFER = 17;        // with its NUL

// ---------------------------------------------------------------- window identifiers

// Window handles carry 32 significant bits: a handle's number, sign-extended back.
HWND HandleFromNumber(int32_t number);
// Writes the identifier of the handle's low 32 bits; 0 when the buffer holds fewer than 17.
int WinIdFromHandleA(HWND window, char* buffer, size_t size);
int WinIdFromHandleW(HWND window, wchar_t* buffer, size_t size);
// 1 when the text is exactly 16 characters beginning with "#WIN$ID#".
int IsWinIdStringA(const char* text);
int IsWinIdStringW(const wchar_t* text);
// The handle number an identifier names, 0 included; false for other text.
bool WinIdNumberA(const char* text, int32_t* number);
bool WinIdNumberW(const wchar_t* text, int32_t* number);
// The handle an identifier names; null for other text, and with `check` for a handle that
// is no window.
HWND WinIdToHandleA(const char* text, int check);
HWND WinIdToHandleW(const wchar_t* text, int check);

// ---------------------------------------------------------------- the title rule

// 1 when the title matches the pattern by the partial-title rule.
int TitleMatchesA(const char* title, const char* pattern);
int TitleMatchesW(const wchar_t* title, const wchar_t* pattern);

// ---------------------------------------------------------------- callbacks (lParam: the context)

// EnumWindows callbacks of the title search: store the first match in FoundWindow and stop.
// They pass over untitled windows and windows titled "WinOldAp".
extern "C" BOOL CALLBACK WinEnumFuncx(HWND window, LPARAM context);
BOOL CALLBACK WinEnumFuncxW(HWND window, LPARAM context);
// The same for EnumChildWindows (every descendant); "WinOldAp" is not passed over.
extern "C" BOOL CALLBACK WinEnumDaChild(HWND window, LPARAM context);
BOOL CALLBACK WinEnumDaChildW(HWND window, LPARAM context);
// EnumChildWindows callback for a child named by an identifier: meeting the handle held in
// FoundWindow clears it and stops.
BOOL CALLBACK IsWindowIdInTree(HWND window, LPARAM context);

// ---------------------------------------------------------------- find operations

// A top-level window by text: "" the script's window, an identifier (checked), else
// `retries` + 1 passes of the title search one second apart (pumping; ends on cancel).
HWND FindTopWindowA(BDS* ctx, const char* text, int retries);
HWND FindTopWindowW(BDS* ctx, const wchar_t* text, int retries);
// A child of the parent found with FindTopWindow (a child named by an identifier must lie
// in the parent's tree); the parent (or null) goes to *parentOut.
HWND FindChildWindowA(BDS* ctx, const char* parent, const char* child, int retries, HWND* parentOut);
HWND FindChildWindowW(BDS* ctx, const wchar_t* parent, const wchar_t* child, int retries,
                      HWND* parentOut);
// FindTopWindow with the context's window retry count.
HWND FindWindowByTitleA(BDS* ctx, const char* text);
HWND FindWindowByTitleW(BDS* ctx, const wchar_t* text);

// One pass of the title search (an identifier decoded with the check); "" is not the
// script's window here but a pattern like any other, which every titled window matches.
HWND FindWindowOnceA(BDS* ctx, const char* text);
HWND FindWindowOnceW(BDS* ctx, const wchar_t* text);
