// Acting on other programs' windows by messages: a message that carries a text, and the
// top-most state; IntControl 22 and 54 share them with their built-ins.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

// Sends the message to the window named by `window` (a window identifier or a handle
// number; -1 and 65535 broadcast) with a copy of the text as lParam, and answers the low 32
// bits of the message's result. The copy lies in a block with room for what a message
// writes back into its lParam, however short the text. Text that names no window that way
// is 1770 "SendMessage: Invalid 'window'"; a handle that is no window answers 0 without an
// error.
int32_t DoSendMessageA(BDS* ctx, const char* window, UINT message, WPARAM wParam, const char* text);
int32_t DoSendMessageW(BDS* ctx, const char* window, UINT message, WPARAM wParam, const wchar_t* text);

// The top-most state of the window the title names (the retrying title search with
// `retry`, else one pass): mode 1 sets it, 0 clears it, -1 reads it (1 or 0); other modes
// answer 0. A window that is not found is 1464 "IntControl: Window not found".
int DoWindowOnTopA(BDS* ctx, const char* title, int mode, bool retry);
int DoWindowOnTopW(BDS* ctx, const wchar_t* title, int mode, bool retry);
