// Per-context state of the window search and the standard boxes: the search buffers and
// the handle a search callback fills, the fields of the item-list box while one runs, the
// title work buffers of the boxes, and the input-blocking state of the script.
#pragma once

#include <windows.h>
#include <cstdint>

struct resultants;

constexpr int BOX_TEXT_SIZE = 2050;        // search pattern, window title, box title
constexpr int ITEM_BOX_ITEM_LIMIT = 2047;  // the longest list item the list box shows

// Kinds of item-list source.
enum : uint32_t { ITEM_SOURCE_FILE = 0, ITEM_SOURCE_LIST = 1 };
// Selection modes of the item-list box (the script's select value minus 2).
enum : uint32_t { ITEM_SELECT_SINGLE = 0, ITEM_SELECT_MULTIPLE = 1, ITEM_SELECT_EXTENDED = 2 };

struct BoxState {
    // ---- window search (scratch of one search; each search overwrites it)
    HWND FoundWindow;                       // what a search callback found; null = nothing
    char SearchText[BOX_TEXT_SIZE];         // the pattern of the narrow search
    char TitleText[BOX_TEXT_SIZE];          // the title of the window under test
    wchar_t SearchTextW[BOX_TEXT_SIZE];     // the same for the wide search
    wchar_t TitleTextW[BOX_TEXT_SIZE];

    // ---- the item-list box while it runs
    uint32_t ItemBoxKind;                   // ITEM_SOURCE_FILE or ITEM_SOURCE_LIST
    const void* ItemBoxSource;              // the list text or the file name (narrow or wide)
    uint32_t ItemBoxSort;                   // 0 keep the order, 1 sorted
    uint32_t ItemBoxSelectMode;             // ITEM_SELECT_*
    char ItemBoxDelimiter[3];               // first byte and a double-byte trail, NUL
    wchar_t ItemBoxDelimiterW[2];
    resultants* ItemBoxResult;              // the built-in's result record
    uint32_t ItemBoxNeedsSelection;         // OK stays disabled until something is chosen

    // ---- title work buffers of the boxes
    char BoxTitle[BOX_TEXT_SIZE];
    wchar_t BoxTitleW[BOX_TEXT_SIZE];

    // ---- input blocking
    uint32_t IgnoreInputState;              // the input block that holds (set by IgnoreInput
                                            // only where BlockInput accepted it)
};
