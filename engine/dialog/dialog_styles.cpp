// Template style bits as window styles.
#include "engine/dialog/dialog_styles.h"

#include <windows.h>
#include <commctrl.h>

#include "engine/dialog/dialog_record.h"

namespace {

constexpr DWORD ALIGN_CENTER = 0x1;   // SS_CENTER and ES_CENTER
constexpr DWORD ALIGN_RIGHT = 0x2;    // SS_RIGHT and ES_RIGHT
constexpr DWORD COMBO_KIND = 0x3;

}  // namespace

int StyleToWindowStyle(int type, uint32_t style, DWORD* ws)
{
    const ControlTypeRow* row = ControlTypeRowOf(type);
    uint32_t honoured = row ? row->honouredStyles : 0;
    uint32_t bits = style & honoured;
    if (bits & CS_INVISIBLE) {
        *ws &= ~WS_VISIBLE;
        if (honoured & CS_DISABLED)
            *ws |= WS_DISABLED;
    } else {
        *ws |= WS_VISIBLE;
        if (bits & CS_DISABLED)
            *ws |= WS_DISABLED;
        else
            *ws &= ~WS_DISABLED;
    }
    if (type == CT_DROPLISTBOX)
        *ws = (*ws & ~COMBO_KIND) | ((bits & CS_LISTONLY) ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    if (bits & CS_READONLY)
        *ws |= ES_READONLY;
    if (bits & CS_PASSWORD)
        *ws |= ES_PASSWORD;
    if (bits & CS_DIGITS)
        *ws |= ES_NUMBER;
    if (bits & CS_FLAT)
        *ws |= BS_FLAT;
    if (bits & CS_NOADJUST)
        *ws |= LBS_NOINTEGRALHEIGHT;
    if (bits & CS_CENTER)
        *ws = (*ws & ~ALIGN_RIGHT) | ALIGN_CENTER;
    if (bits & CS_RIGHT)
        *ws = (*ws & ~ALIGN_CENTER) | ALIGN_RIGHT;
    if (type == CT_REPORTVIEW) {
        if (bits & CS_NOHEADER)
            *ws |= LVS_NOCOLUMNHEADER;
        if (bits & CS_SINGLESEL)
            *ws |= LVS_SINGLESEL;
        if (bits & CS_COLEDIT)
            *ws |= LVS_EDITLABELS;
    }
    if (type == CT_DATETIME) {
        if (bits & CS_CHECKBOX)
            *ws |= DTS_SHOWNONE;
        if (bits & CS_SPINNER)
            *ws |= DTS_UPDOWN;
    }
    if (type == CT_PROGRESS && (bits & CS_VERTICAL))
        *ws |= PBS_VERTICAL;
    return 1;
}
