// The request blocks that the callback built-ins hand the dialog window with the private
// messages 7026, 7027, 7028 and 7031 (built on the built-in's stack, sent, never posted).
#pragma once

#include <cstdint>

struct resultants;

constexpr uint32_t REQUEST_BLOCK_SIZE = 32;
constexpr uint32_t REQUEST_VERSION = 2;
constexpr uint32_t STATE_BLOCK_SIZE = 24;
constexpr uint32_t OBJECT_BLOCK_SIZE = 32;

struct ControlRequestBlock {
    uint32_t size;               // REQUEST_BLOCK_SIZE
    uint32_t version;            // REQUEST_VERSION
    resultants* control;         // a control name (6.2) or number (6.1)
    uint32_t code;               // the request code
    resultants* fourth;          // the optional fourth argument, or null
};
static_assert(sizeof(ControlRequestBlock) == REQUEST_BLOCK_SIZE);

struct StateRequestBlock {
    uint32_t size;               // STATE_BLOCK_SIZE
    uint64_t text;               // the fourth argument's text (string-heap offset)
    resultants* result;
};
static_assert(sizeof(StateRequestBlock) == STATE_BLOCK_SIZE);

struct ObjectRequestBlock {
    uint32_t size;               // OBJECT_BLOCK_SIZE
    uint32_t code;
    resultants* fourth;
    resultants* fifth;
    resultants* result;
};
static_assert(sizeof(ObjectRequestBlock) == OBJECT_BLOCK_SIZE);

// The request codes of DialogControlGet and DialogControlSet (@dccheck ... @dcbarlimits).
enum ControlRequestCode : uint32_t {
    RQ_CHECK = 1, RQ_DOT, RQ_TEXT, RQ_TITLE, RQ_CONTENTS, RQ_SELECT, RQ_DATE, RQ_SPIN, RQ_TABSTOP, RQ_SCROLL,
    RQ_BACKCOLOR, RQ_BITMAP, RQ_TEXTCOLOR, RQ_ADDITEM, RQ_REMITEM, RQ_GROUPDOT, RQ_POSITION, RQ_MENUNAMES, RQ_HWND,
    RQ_HEADERTEXT, RQ_COLWIDTH, RQ_APPENDCOL, RQ_REMOVECOL, RQ_FIND, RQ_CANCELEDIT, RQ_GETCHECKED, RQ_COLFORMAT,
    RQ_FORMAT, RQ_ITEMCOLOR, RQ_ITEMROW, RQ_ITEMTEXT, RQ_BARPOS, RQ_BARLIMITS,
    RQ_LAST = RQ_BARLIMITS,
};
