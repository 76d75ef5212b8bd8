// The engine's About box.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr uintptr_t ABOUT_SHOW = 10;   // DoDllAbout's one operation

// Export (ordinal 15): operation 10 runs the About box modally over `owner`. The texts are
// not used. Answers 1 when the box ran and was closed, 0 for another operation or when it
// could not be shown.
extern "C" uint32_t DoDllAbout(HGLOBAL context, HWND owner, uintptr_t operation, const char* text1,
                               const char* text2, const char* text3, const char* text4);

// Export: the About dialog's procedure; its creation parameter is the locked context.
extern "C" INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
