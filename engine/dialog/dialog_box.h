// DialogBox: a dialog drawn as a character grid in a text file (dialog_box.cpp).
#pragma once

#include <cstdint>

struct BDS;

// Shows the grid file's box with the title: answers 1 after OK (or a closed window), 0 with
// the error set: 3090 the file cannot be read, 3091 it is too large, 3104 no window, 9999
// after Cancel.
int32_t DoDialogBox(BDS* ctx, const char* title, const char* file);
