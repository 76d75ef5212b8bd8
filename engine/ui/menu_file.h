// Menu files: a text file that describes a menu tree by indentation and, under each
// command, the ZAL code the command runs. The engine builds real menus from it, hands back
// a command's code, gives status-bar texts and turns keys into commands for hosts (the
// exports LoadStandardMenu, ParseStandardMenu, MenuSelectProcessing and HotKeyCheck).
//
// A title line's indentation gives its level: none, one, two or three blanks (levels 1 to
// 4); a tab, or four blanks, within the first four columns makes a code line. Comment lines
// (empty, blank, or beginning with ";" or "'") are skipped everywhere.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct BDS;

// ---------------------------------------------------------------- records kept by the host

// One loaded menu file.
struct MenuFileRecord {
    uint16_t dosDate;        // the file's last write, as seen at load
    uint16_t dosTime;
    char fileName[280];      // rewritten with the full path at load
    uint16_t lastId;         // the last command id the file uses
    uint8_t menuIndex;       // 0 for the first menu file; its letter is 'A' + index
};
static_assert(offsetof(MenuFileRecord, lastId) == 284 && offsetof(MenuFileRecord, menuIndex) == 286);

constexpr int HOTKEY_SLOTS = 100;

struct HotKeyEntry {
    uint16_t key;            // the key word: key, 0x1000 named key, 0x2000 Alt, 0x4000 Ctrl, 0x8000 Shift
    uint16_t id;             // the command
};

// Shared by every menu file of a host; loading menu index 0 empties it.
struct HotKeyTable {
    uint32_t count;
    HotKeyEntry entries[HOTKEY_SLOTS];
};

// Key-word bits.
enum : uint16_t { KEY_NAMED = 0x1000, KEY_ALT = 0x2000, KEY_CTRL = 0x4000, KEY_SHIFT = 0x8000 };

// ---------------------------------------------------------------- lines

enum : int {
    MENU_LINE_COMMENT = 0,
    MENU_LINE_TOP = 1000,    // title levels 1000 to 1003
    MENU_LINE_CODE = 1010,
};
constexpr int MENU_LEVELS = 4;
constexpr size_t MENU_LINE_MAX = 2052;

struct MenuLine {
    const char* text;        // the line (at most MENU_LINE_MAX characters of it)
    size_t length;
    int kind;                // MENU_LINE_TOP + level - 1, or MENU_LINE_CODE
    int level;               // 1 to 4 for a title
    const char* end;         // past the whole line and its line end
};

// The class of a line.
int ClassifyMenuLine(const char* line, size_t length);

// The next line that is not a comment, from *pos of text[0..end); false at the end.
bool NextMenuLine(const char* text, size_t end, size_t* pos, MenuLine* line);

// ---------------------------------------------------------------- titles

// How an entry's help text is given.
enum : int { HELP_NONE = 0, HELP_TEXT = 1, HELP_NEXT_LINE = 2 };

constexpr int MENU_TEXT_CHARS = 38;
constexpr int MENU_DISPLAY_SIZE = 160;

struct MenuTitle {
    bool separator;          // "_": a separator before the entry
    bool columnBreak;        // "|" where a new column may start
    bool hidden;             // "@": no entry, only an id and a hot key
    bool hasHotKey;
    uint16_t hotKey;
    char display[MENU_DISPLAY_SIZE];   // the entry's text as the menu shows it
    int helpKind;
    char help[MENU_LINE_MAX + 1];
};

// Reads a title line of `level`. A command's "\" starts its hot key; `tabBeforeKey` puts a
// tab between the text and the key's name; `columnsAllowed` honours a leading "|".
void ParseMenuTitle(const MenuLine& line, bool command, bool tabBeforeKey, bool columnsAllowed, MenuTitle* title);

// The key word of a hot-key text (the part after "\"); 0 for none.
uint16_t ParseHotKey(const char* spec);

// ---------------------------------------------------------------- the file's text

// Messages of the reading steps: opening, allocation, lock, read.
struct MenuReadMessages {
    int open, allocate, lock, read;
};

// Opens the file `path` and reads it into a prepared text: decoded, UTF-16 converted,
// line ends normalised, "#include" lines expanded from its folder. True with *text a movable
// block (NUL-terminated, *length bytes) the caller frees; the file's last write goes to
// *dosDate, *dosTime. False with the message to show in *message (0: none, the decoder
// showed its own).
bool ReadMenuFile(BDS* ctx, const char* path, const MenuReadMessages& messages, HGLOBAL* text, size_t* length,
                  uint16_t* dosDate, uint16_t* dosTime, int* message);

// ---------------------------------------------------------------- the walk

// A walk's answers: 0 went through; above 0 a message number; MENU_WALK_STOPPED the
// visitor stopped it; MENU_WALK_EMPTY the text has no lines at all.
enum : int { MENU_WALK_STOPPED = -1, MENU_WALK_EMPTY = -2 };

enum MenuEventKind : int {
    MENU_EVENT_STARTUP,      // the code before the first title: [begin, end)
    MENU_EVENT_COMMAND,      // a title with code: title, its first code line, the code's end
    MENU_EVENT_OPEN_POPUP,   // a title with deeper titles: title, its first child
    MENU_EVENT_CLOSE_POPUP,  // the pop-up of `level` is complete
};

struct MenuEvent {
    MenuEventKind kind;
    int level;
    MenuLine title;
    MenuLine next;           // the first code line, or the first child title
    const char* begin;       // the start-up code's start; a command's code starts at next.text
    const char* end;         // the end of the start-up code or of the command's code
};

// What the walk meets, in the order of the file. It answers 0 to go on, a message number
// to fail, or MENU_WALK_STOPPED.
using MenuEventFn = int (*)(void* user, const MenuEvent& event);

// Walks the text's titles and code with one line of look-ahead. A failure's line (the one
// that was not expected) goes to *badLine.
int WalkMenu(const char* text, size_t length, MenuEventFn onEvent, void* user, MenuLine* badLine);

// ---------------------------------------------------------------- shared

// The menu error box: the message (503 and its number in three digits when there is none)
// with the host's title, owned by `owner`.
void ShowMenuMessage(BDS* ctx, HWND owner, const char* title, int message);
// A box with `line` as its text and the message `titleMessage` as its title.
void ShowMenuLine(BDS* ctx, HWND owner, const MenuLine& line, int titleMessage);

// Drops every variable whose name begins with "%" (the status texts of earlier loads).
void DropStatusTextVariables(BDS* ctx);

// The engine-side bodies of the exports (the context and its variable table locked).
HMENU BuildStandardMenu(BDS* ctx, const char* title, uint32_t firstId, uint32_t lastId, MenuFileRecord* record,
                        HWND owner, HotKeyTable* hotKeys, uintptr_t mode);
HGLOBAL FindCommandCode(BDS* ctx, const char* title, uint32_t wantedId, uint32_t startup, uint32_t firstId,
                        MenuFileRecord* record, HWND owner);
int32_t MenuStatusText(BDS* ctx, HWND window, uintptr_t item, HMENU menu, uint32_t firstId, uint32_t lastId,
                       char* text, uint32_t size, const MenuFileRecord* record, uint32_t useMenu);
int32_t CheckHotKey(BDS* ctx, HWND window, uint32_t message, uintptr_t key, const HotKeyTable* table);

// The value HotKeyCheck's caller passes as `message` for a virtual key.
constexpr uint32_t HOTKEY_VIRTUAL_KEY = WM_KEYDOWN;
