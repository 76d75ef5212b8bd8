// A report view driven in-process (list views cannot be read from another process): its
// events 18 to 22 with their row keys and column numbers, sorting on a header click, the
// cell colours that custom drawing paints, label edits and their refusal, and the
// selected rows written back when the dialog ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/unit/dialog_script.h"
#include "tests/unit/dialog_watch.h"

namespace {

constexpr int LIST_ID = 100;
constexpr int OK_ID = 101;

std::wstring Cell(HWND list, int row, int column)
{
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring Column(HWND list, int column)
{
    std::wstring all;
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r)
        all += (r ? L"," : L"") + Cell(list, r, column);
    return all;
}

void SetState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    Sleep(100);
}

void ClickHeader(HWND list, int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT r{};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    Sleep(100);
}

// The colour a cell's background shows, read from the screen near its right edge.
COLORREF CellBack(HWND list, int row, int column)
{
    RECT r{};
    r.top = column;
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    UpdateWindow(list);
    HDC dc = GetDC(list);
    COLORREF color = GetPixel(dc, r.right - 3, (r.top + r.bottom) / 2);
    ReleaseDC(list, dc);
    return color;
}

// Edits a row's label to `text`, ending the edit with Enter.
void EditLabel(HWND list, int row, const wchar_t* text)
{
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, static_cast<WPARAM>(row), 0));
    if (!edit)
        return;
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    Sleep(100);
}

class ReportViewWindow : public kvtest::DialogScriptTest {};

const char kScript[] =
    "#DefineFunction rvevents(h, event, name, reserved, extra)\r\n"
    "   If event == @deinit\r\n"
    "      For e = 18 To 22\r\n"
    "         DialogProcOptions(h, e, 1)\r\n"
    "      Next\r\n"
    "      DialogControlSet(h, \"list\", @dcitemcolor, \"2 1 DEFAULT 255|0|0\")\r\n"
    "      Return @retdefault\r\n"
    "   EndIf\r\n"
    "   report(\"e\" : event, StrReplace(extra, @tab, \"\\\"))\r\n"
    "   If event == @dervitext && extra == \"refused\" Then DialogControlSet(h, \"list\", @dccanceledit, 1)\r\n"
    "   Return @retdefault\r\n"
    "#EndFunction\r\n"
    "rows = ArrDimension(3, 2)\r\n"
    "rows[0, 0] = \"b\"\r\n"
    "rows[0, 1] = \"1\"\r\n"
    "rows[1, 0] = \"a\"\r\n"
    "rows[1, 1] = \"3\"\r\n"
    "rows[2, 0] = \"c\"\r\n"
    "rows[2, 1] = \"2\"\r\n"
    "RvwFormat = \"TRMDLGED,6.2\"\r\n"
    "RvwCaption = \"Report window\"\r\n"
    "RvwProcedure = \"rvevents\"\r\n"
    "RvwWidth = 200\r\n"
    "RvwHeight = 120\r\n"
    "RvwNumControls = 2\r\n"
    "Rvw001 = `5,5,190,80,REPORTVIEW,list,rows,DEFAULT,DEFAULT,1,"
    "@csasort|@cscheckbox|@cscoledit|@csfullsel,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Rvw002 = `5,95,40,14,PUSHBUTTON,ok,DEFAULT,\"OK\",1,2,DEFAULT,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "report(\"ended\", Dialog(\"Rvw\"))\r\n"
    "report(\"selected\", ArrInfo(rows, 1) : \" \" : rows[0, 0] : \" \" : rows[0, 1])\r\n";

TEST_F(ReportViewWindow, EventsSortingColoursEditsAndWriteBack)
{
    std::wstring sortedByName, sortedByNumber, afterEdits;
    COLORREF colored = 0, plain = 0;
    DialogWatch watch(
        "Report window",
        [&](HWND dialog, const SeenDialog&) {
            HWND list = GetDlgItem(dialog, LIST_ID);
            sortedByName = Column(list, 0);
            colored = CellBack(list, 1, 0);
            plain = CellBack(list, 0, 0);
            ClickHeader(list, 1);
            sortedByNumber = Column(list, 0);
            SetState(list, 2, LVIS_SELECTED, LVIS_SELECTED);                        // a, numbered 3
            SetState(list, 0, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);      // b, numbered 1
            RECT r{};
            r.left = LVIR_BOUNDS;
            SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
            LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
            SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
            SendMessageW(list, WM_LBUTTONUP, 0, at);
            Sleep(100);
            EditLabel(list, 0, L"renamed");
            EditLabel(list, 1, L"refused");
            afterEdits = Column(list, 0);
            SetState(list, -1, 0, LVIS_SELECTED);
            SetState(list, 2, LVIS_SELECTED, LVIS_SELECTED);
            PressButton(dialog, OK_ID);
        },
        15000, "kv0wcdl3");
    ASSERT_EQ(Run(std::string(kvtest::ReportFunction()) + kScript), 1u);
    ASSERT_TRUE(watch.Result().found);

    EXPECT_EQ(sortedByName, L"a,b,c");
    EXPECT_EQ(colored, RGB(255, 0, 0)) << "row 2 keeps the back colour it was given";
    EXPECT_NE(plain, RGB(255, 0, 0));
    EXPECT_EQ(Result("e22"), "2") << "the header click passes the column from 1";
    EXPECT_EQ(sortedByNumber, L"b,c,a") << "and sorts by that column";
    EXPECT_EQ(Result("e18"), "a");
    EXPECT_EQ(Result("e20"), "b");
    EXPECT_EQ(Result("e19"), "c");
    EXPECT_EQ(Result("e21"), "refused");
    EXPECT_EQ(afterEdits, L"renamed,c,a") << "an edit is kept unless @dccanceledit refuses it";
    EXPECT_EQ(Result("ended"), "1");
    EXPECT_EQ(Result("selected"), "1 a 3") << "OK writes the selected rows back as an array";
}

}  // namespace
