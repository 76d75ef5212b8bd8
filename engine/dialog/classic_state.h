// Per-context state of the oldest dialog forms: the controls of the classic template
// formats 4.0 and 5.0 and the fields and character grid of DialogBox. One dialog of each
// form runs at a time; each run rebuilds its records. (BDS is zero-filled memory: plain
// data only.)
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int CLASSIC_MAX_CONTROLS = 101;
constexpr int CLASSIC_NAME_CHARS = 30;      // variable names keep 30 characters
constexpr int CLASSIC_MASK_CHARS = 261;

struct ClassicControl {
    char variable[CLASSIC_NAME_CHARS + 1];
    int16_t varyLink;        // FILELISTBOX: its VARYTEXT (index, -100 none)
    int8_t type;             // ClassicType
    int16_t editLink;        // FILELISTBOX: its EDITBOX; EDITBOX: its FILELISTBOX (-100 none)
    int8_t value;            // RADIOBUTTON, CHECKBOX, PUSHBUTTON: the Value's low byte
    int16_t left, top, width, height;   // pixels
};

constexpr int GRID_ROWS = 21;
constexpr int GRID_COLUMNS = 61;
constexpr int BOX_MAX_FIELDS = 101;

struct DialogBoxField {
    char name[CLASSIC_NAME_CHARS + 1];   // "*" for a plain text field
    uint8_t link1;           // edit: its file list; file list: its variable text (156 none)
    uint8_t kind;            // 0 text, 1 edit, 2 radio, 3 check, 4 variable text, 5 file list
    uint8_t link2;           // file list: its edit field (156 none)
    uint16_t value;          // a character (the file list's: '0' + its rows)
    uint16_t column, row, length;
};

struct ClassicState {
    // formats 4.0 and 5.0
    ClassicControl controls[CLASSIC_MAX_CONTROLS];
    int count;
    int32_t result;
    char mask[CLASSIC_MASK_CHARS];          // the FILELISTBOX's file mask

    // DialogBox
    char grid[GRID_ROWS][GRID_COLUMNS];
    DialogBoxField fields[BOX_MAX_FIELDS];
    int fieldCount;
    int columns, lastRow;
    int cellWidth, controlHeight, rowPitch, textOffset;
    int32_t boxResult;
    char previousText[CLASSIC_MASK_CHARS];  // the edit text of a file list when last seen
};
