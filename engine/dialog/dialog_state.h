// Per-context state of the dialog engine: what the context keeps across 6.x dialogs.
// (The close value, the option bits and the remembered position are IntControl
// settings and live in EngineState::ctl.)
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int DIALOG_NAME_MAX = 19;   // longer dialog names are refused (3218)

struct DialogState {
    int32_t result;                      // the last dialog's result
    char name[DIALOG_NAME_MAX + 1];      // the running dialog's name (the template prefix)
    uint32_t running6;                   // 6.x dialogs running (nested ones count too)
    HWND focusWindow;                    // the control that had the focus when last seen
};
