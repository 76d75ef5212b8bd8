// The message-box built-ins of scripts (Message, Pause, AskYesNo) and the caption helpers
// of the engine's boxes.
#pragma once

#include <windows.h>

struct BDS;

// Pause(title, text): 1; Cancel sets 9999 "User requested Cancel".
int DoPauseA(BDS* ctx, const char* title, const char* text);
int DoPauseW(BDS* ctx, const wchar_t* title, const wchar_t* text);
// AskYesNo(title, question): 1 Yes, 0 No; Cancel answers 0 with 9999.
int DoAskYesNoA(BDS* ctx, const char* title, const char* question);
int DoAskYesNoW(BDS* ctx, const wchar_t* title, const wchar_t* question);

// The frame around a script's modal box: OpenBoxFrame brings the script's window forward
// and lets input through, answering the state CloseBoxFrame puts back afterwards.
int OpenBoxFrame(BDS* ctx);
void CloseBoxFrame(BDS* ctx, int inputState);
// After a box has gone: a short pumping wait, the pending messages, the cursor put back.
void SettleAfterBox(BDS* ctx);

// Sets a box's caption from the context's title work buffer (narrow or wide) and centres it.
void SetBoxTitleA(BDS* ctx, HWND window);
void SetBoxTitleW(BDS* ctx, HWND window);
