// The one-shot captions of buttons 1 and 2 of the engine's boxes.
#pragma once

#include <windows.h>

struct BDS;

// Gives buttons 1 and 2 of the dialog the script's ButtonNames captions when they are set
// (and not empty), else messages 120 "&Ok" and 121 "&Cancel"; then the captions are spent.
void SetButtonTextsA(BDS* ctx, HWND dialog);
void SetButtonTextsW(BDS* ctx, HWND dialog);
