// Per-context state of the window built-ins that act on many windows at once: the scratch
// of the window lists and of WinCloseNot (read by the exported enumeration callbacks, which
// get only the context), the table WinArrange computes before it moves anything, and the
// target that the idle wait before keys and menu commands last examined.
#pragma once

#include <windows.h>
#include <cstdint>

struct ParseStateSave;

constexpr int ARRANGE_MAX_WINDOWS = 12;
constexpr int IDLE_TITLE_SIZE = 80;   // the remembered title: 79 characters and a NUL

// One window of an arrangement and the rectangle it gets (work-area pixels).
struct ArrangeEntry {
    HWND window;
    int32_t left, top, right, bottom;
};

// What each item of a list holds. Each built-in maps its own return-type numbers onto these
// (WinItemProcId and WinItemizeEx number titles and identifiers the other way round).
enum : uint32_t { LIST_IDS, LIST_TITLES, LIST_PAIRS };

// WinItemProcId flags: which windows are listed beside the titled, visible, enabled ones.
enum : uint32_t {
    LIST_UNTITLED = 1,
    LIST_HIDDEN = 2,
    LIST_DISABLED = 4,
    LIST_OLD_AP = 8,
};

// Scratch of one list call, valid only while its enumeration runs.
struct WindowListScratch {
    void* sink;                 // the call's growing list (ListBuilder of window_lists.cpp)
    const void* pattern;        // WinItemizeEx: the title pattern, narrow or wide
    uint32_t returnType;        // LIST_IDS, LIST_TITLES or LIST_PAIRS
    uint32_t flags;             // WinItemProcId: LIST_* bits
    uint32_t multiple;          // WinItemizeEx: 0 stops after the first window
    uint32_t hidden;            // WinItemizeEx: 1 lists invisible windows too
    uint32_t processId;         // WinItemProcId
};

struct WindowOpsState {
    WindowListScratch list;

    // WinCloseNot: where its argument list begins, while the enumeration runs.
    ParseStateSave* closeNotArgs;

    // WinArrange
    ArrangeEntry ArrangeTable[ARRANGE_MAX_WINDOWS];
    uint32_t ArrangeCount;

    // The idle wait before keys and menu commands: the last foreground target examined.
    HWND idleTarget;
    char idleTargetTitle[IDLE_TITLE_SIZE];
    uint32_t idleTargetWaits;   // its program is waited for before each action
    uint32_t idleTargetConsole; // a console window while SendKeyConsoleMode is on
};
