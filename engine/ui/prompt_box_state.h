// Per-context state of the asking boxes while one runs: the one-line box of AskLine and
// AskPassword, the multi-line box of AskTextBox and the timed message of Display. The
// texts belong to the running call (its own stack); the fields point at them only while
// its dialog is up, so a dialog procedure finds them through the context it was given.
#pragma once

#include <windows.h>
#include <cstdint>

struct PromptBoxState {
    // ---- AskLine, AskPassword
    uint32_t WideBox;            // the running line box is the wide one
    void* pLineBox;              // its call record (line_box.cpp)

    // ---- AskTextBox
    void* pTextBox;              // its call record (text_box.cpp)
    uint32_t TextBoxFlags;       // 1 no word wrap, 2 caret at the end of the default text
    uint32_t TextBoxCaretDone;   // the caret has been placed once
    HGLOBAL TextBoxResult;       // the typed text, made by OK

    // ---- Display
    void* pDisplay;              // its call record (display_box.cpp)
    int32_t DisplayRemainingMs;  // time still to run; 1 after an early close
    UINT_PTR DisplayTimer;
    uint32_t DisplayHidden;      // the box stays invisible
};
