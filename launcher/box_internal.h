// The box windows' shared records: the command record, the box slots and the process-wide
// box state. A box never draws when a script calls: each drawing call appends a fixed-size
// record to the box's 8,192-byte command buffer, and the box draws by replaying its records
// (box_replay.cpp), so it repaints itself whenever Windows asks.
//
// Records are appended in place and never move; they are 4-byte aligned, so they are read
// and written with memcpy. Everything runs on the launcher's one thread; a box's busy flag
// guards its list against a replay that a message starts while the list is being changed.
#pragma once

#include "launcher/launcher.h"

#include <cstring>

constexpr int BOX_COUNT = 8;
constexpr int BOX_BUTTONS = 16;
constexpr size_t BOX_BUFFER_SIZE = 8192;
constexpr int BOX_BUTTON_ID_BASE = 100;    // button 1 (index 0) is control 100, button 3 is 102

// Errors of the box functions (the launcher's string table holds their texts).
enum : int {
    ERR_BOX_FULL = 10108, ERR_BOX_ID = 10109, ERR_BUTTON_ID = 10110, ERR_BUTTON_RECT = 10111,
    ERR_BUTTON_STAT = 10112, ERR_COLOR = 10113, ERR_WASH = 10114, ERR_RECT_RECT = 10115,
    ERR_LINE_RECT = 10116, ERR_NEW_RECT = 10117, ERR_NEW_STYLE = 10118, ERR_NEW_CREATE = 10119,
    ERR_PEN_COLOR = 10120, ERR_PEN_WIDTH = 10121, ERR_TEXT_COLOR = 10122, ERR_FONT_SIZE = 10123,
    ERR_FONT_STYLE = 10124, ERR_FONT_FAMILY = 10125, ERR_TEXT_ERASE = 10126, ERR_TEXT_ALIGN = 10127,
    ERR_TEXT_RECT = 10128, ERR_UPDATES = 10129, ERR_UP_RECT = 10130, ERR_UP_SHOW = 10131,
    ERR_MAP_MODE = 10132, ERR_RECT_STYLE = 10133, ERR_CIRCLE_RECT = 10134, ERR_CIRCLE_STYLE = 10135,
    ERR_BUTTON_CREATE = 10136, ERR_BUTTON_KILL = 10137, ERR_TAG = 10138, ERR_STRETCH = 10140,
};

// One drawing or setting call. The "TOP" record that opens every list has the type of
// boxdatatag. The font record keeps its family in rect[0].
struct BoxCommandRecord {
    uint32_t type;          // the request code of the function that made it
    int32_t p1;             // button index, style, wash, pen width, erase flag, font size, stretch mode
    int32_t p2;             // text alignment, font style
    int32_t mapMode;        // the box's map mode when the record was made
    int32_t rect[4];        // left, top, right, bottom in box units 0-1000
    uint64_t data;          // a colour 0x00BBGGRR, or the address of the record's text
    uint64_t self;          // the record's own address
    uint64_t next;          // the following record, 0 for the last
};
static_assert(sizeof(BoxCommandRecord) == 56, "the record layout is fixed");

inline BoxCommandRecord ReadRecord(const uint8_t* at)
{
    BoxCommandRecord r;
    std::memcpy(&r, at, sizeof r);
    return r;
}
inline const uint8_t* NextRecord(const uint8_t* at) { return reinterpret_cast<const uint8_t*>(ReadRecord(at).next); }
inline const char* RecordText(const BoxCommandRecord& r) { return reinterpret_cast<const char*>(r.data); }

struct BoxSlot {
    HGLOBAL block;              // the command buffer; null while the box does not exist
    HWND window;                // box 1: the main window
    uint8_t* base;
    uint8_t* end;
    uint8_t* write;             // where the next record goes
    uint8_t* first;             // the "TOP" record
    uint8_t* last;              // the record appended last
    uint8_t* pending;           // the last record drawn: an incremental replay starts after it
    const uint8_t* colour;      // the current colour, text colour, font and pen of a replay
    const uint8_t* textColour;
    const uint8_t* font;
    const uint8_t* pen;
    HWND focused;               // the button that last had the focus
    HWND buttons[BOX_BUTTONS];
    bool pressed[BOX_BUTTONS];
    bool exists[BOX_BUTTONS];
    bool updates;               // each drawing call is drawn at once
    bool busy;
};

struct BoxWorld {
    BoxSlot slots[BOX_COUNT];
    int mapMode[BOX_COUNT];         // 1 window-relative, 0 screen-relative
    int newRect[BOX_COUNT][4];      // boxnew's rectangle in units, for re-placing the box
    int newMapMode[BOX_COUNT];
    COLORREF defaultTextColour;
    int activeBox;                  // slot of the box last created or clicked
    int pressedCount;               // pressed flags set, over all boxes
    int box1Records;                // records of box 1, its "TOP" included
    bool registered;
};
extern BoxWorld g_boxes;

// ---------------------------------------------------------------- the lists (box_windows.cpp)

// Appends a record (and its text) to a box's list: 0, or ERR_BOX_FULL.
int AppendBoxCommand(int slot, BoxCommandRecord record, const char* text);
// The slot of a box window, -1 for another window.
int BoxOfWindow(HWND window);
// A rectangle in units as pixels of the box's client area (map mode 1 and a window) or of
// the screen; 0,0,0,0 is the whole area.
RECT BoxUnitsToPixels(HWND window, const int rect[4], int mapMode);
void TrackBoxButtonFocus(int slot);
// Hides a button, clears its press and marks it as not drawn.
void ClearBoxButton(int slot, int index);
// boxnew with a checked rectangle (units) and style 0-2: 0, or ERR_NEW_CREATE.
int NewBox(int slot, const int rect[4], int style);
// boxdestroy; answers 1.
int DestroyBox(int slot);
// boxdataclear: 1, or ERR_TAG.
int ClearToTag(int slot, const char* tag);

// ---------------------------------------------------------------- arguments (box_functions.cpp)

// A rectangle in box units: four numbers of at most 6 characters separated by commas,
// blanks or tabs (two commas in a row, a missing number or other text refused); an empty
// text gives 0,0,0,0 (or `empty`); the corners come in order unless `ordered` is false.
bool ParseBoxRect(const char* text, int out[4], bool ordered = true, const int* empty = nullptr);
// Red, green and blue (three numbers of at most 3 characters), each kept to its low 8 bits.
bool ParseBoxColour(const char* text, COLORREF* out);

// ---------------------------------------------------------------- drawing (box_replay.cpp)

// Draws the records after `start` (the whole list from the "TOP" record) into the device
// context, or into the box window's own when dc is null.
void ReplayBoxCommands(int slot, const uint8_t* start, HDC dc);
