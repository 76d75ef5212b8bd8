// Dialog menus: the item-text and shortcut reader, and, in-process (menus cannot be read
// from another process), the entries a template makes: their order, styles, shortcut
// texts, and an invisible item put back between its neighbours.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/dialog/dialog_menus.h"
#include "tests/unit/dialog_script.h"
#include "tests/unit/dialog_watch.h"

namespace {

std::wstring KeyName(int vk)
{
    wchar_t name[32] = {};
    GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC) << 16), name, 32);
    return name;
}

TEST(MenuTextParse, ShortcutsDisplayTextsAndErrors)
{
    struct Case {
        const wchar_t* text;
        int answer;          // 1 shortcut, 0 none, -1 bad
        BYTE flags;
        WORD key;
    } cases[] = {
        {L"Save\\^S", 1, FVIRTKEY | FCONTROL, 'S'},
        {L"Run\\{F5}", 1, FVIRTKEY, 0x74},
        {L"Run\\{f5}", 1, FVIRTKEY, 0x74},
        {L"Next\\!+{PGDN}", 1, FVIRTKEY | FALT | FSHIFT, 0x22},
        {L"Ins\\{ins}", 1, FVIRTKEY, 0x2D},
        {L"Low\\^s", 1, FVIRTKEY | FCONTROL, 'S'},
        {L"One\\{x}", 1, FVIRTKEY, 'X'},
        {L"Plain", 0, 0, 0},
        {L"Ends\\", 0, 0, 0},
        {L"Bad\\{XYZ}", -1, 0, 0},
        {L"Bad\\^", -1, 0, 0},
        {L"Bad\\^SS", -1, 0, 0},
        {L"Bad\\{F5", -1, 0, 0},
        {L"Bad\\{F5}x", -1, 0, 0},
        {L"Bad\\{F17}", -1, 0, 0},
    };
    for (const Case& c : cases) {
        std::wstring display;
        ACCEL accel{};
        bool doubled = false;
        EXPECT_EQ(MenuTextParse(c.text, 507, &display, &accel, &doubled), c.answer) << c.text;
        if (c.answer != 1)
            continue;
        EXPECT_EQ(accel.fVirt, c.flags) << c.text;
        EXPECT_EQ(accel.key, c.key) << c.text;
        EXPECT_EQ(accel.cmd, 507) << c.text;
    }
    std::wstring display;
    ACCEL accel{};
    bool doubled = false;
    ASSERT_EQ(MenuTextParse(L"Save\\^S", 500, &display, &accel, &doubled), 1);
    EXPECT_EQ(display, L"Save\t" + KeyName(VK_CONTROL) + L"+" + KeyName('S'));
    EXPECT_EQ(MenuTextParse(L"a\\\\b\\\\", 500, &display, &accel, &doubled), 0);
    EXPECT_EQ(display, L"a\\b\\");
    EXPECT_TRUE(doubled);
    EXPECT_EQ(MenuTextParse(L"Ends\\", 500, &display, &accel, &doubled), 0);
    EXPECT_EQ(display, L"Ends");
}

class DialogMenuWindow : public kvtest::DialogScriptTest {};

struct Entry {
    std::wstring text;
    UINT state = 0, type = 0;
};

std::vector<Entry> Entries(HMENU menu)
{
    std::vector<Entry> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        out.push_back({text, info.fState, info.fType});
    }
    return out;
}

const char kScript[] =
    "#DefineFunction showproc(h, event, name, reserved, extra)\r\n"
    "   If event == @deinit Then DialogProcOptions(h, @depbpush, 1)\r\n"
    "   If event == @depbpush && name == \"show\"\r\n"
    "      DialogControlState(h, \"hidden\", @dcsremstyle, \"1\")\r\n"
    "      DialogControlState(h, \"open\", @dcsaddstyle, \"2\")\r\n"
    "      Return @retnoexit\r\n"
    "   EndIf\r\n"
    "   Return @retdefault\r\n"
    "#EndFunction\r\n"
    "MwFormat = \"TRMDLGED,6.2\"\r\n"
    "MwCaption = \"Menu window\"\r\n"
    "MwProcedure = \"showproc\"\r\n"
    "MwWidth = 160\r\n"
    "MwHeight = 60\r\n"
    "MwNumControls = 10\r\n"
    "Mw001 = `0,0,0,0,MENUBAR,bar,DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw002 = `0,0,0,0,MENUITEM,file,bar,\"&File\",DEFAULT,1,DEFAULT,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw003 = `0,0,0,0,MENUITEM,save,file,\"Save\\^S\",DEFAULT,30,@csmenucheck,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw004 = `0,0,0,0,MENUITEM,open,file,\"Open\",DEFAULT,10,DEFAULT,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw005 = `0,0,0,0,MENUITEM,hidden,file,\"Hidden\",DEFAULT,20,@csinvisible,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw006 = `0,0,0,0,MENUITEM,line,file,\"\",DEFAULT,40,@csmenusep,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw007 = `0,0,0,0,MENUITEM,quit,file,\"Quit\",DEFAULT,50,@csdisabled|@csmenuradio,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw008 = `0,0,0,0,MENUITEM,help,bar,\"&Help\",DEFAULT,2,@csmenubreak,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw009 = `5,20,40,14,PUSHBUTTON,show,DEFAULT,\"Show\",2,1,DEFAULT,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "Mw010 = `50,20,40,14,PUSHBUTTON,ok,DEFAULT,\"OK\",1,2,DEFAULT,DEFAULT,DEFAULT,DEFAULT`\r\n"
    "report(\"ended\", Dialog(\"Mw\"))\r\n";

TEST_F(DialogMenuWindow, EntriesFollowTheirOrderAndStyles)
{
    std::vector<Entry> bar, before, after;
    DialogWatch watch(
        "Menu window",
        [&](HWND dialog, const SeenDialog&) {
            HMENU menu = GetMenu(dialog);
            bar = Entries(menu);
            HMENU file = GetSubMenu(menu, 0);
            before = Entries(file);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(108, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, 108)));
            after = Entries(file);
            PressButton(dialog, 109);
        },
        15000, "kv0wcdl3");
    ASSERT_EQ(Run(std::string(kvtest::ReportFunction()) + kScript), 1u);
    ASSERT_TRUE(watch.Result().found);
    EXPECT_EQ(Result("ended"), "1");

    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].text, L"&File");
    EXPECT_EQ(bar[1].text, L"&Help");
    EXPECT_TRUE(bar[1].type & MFT_MENUBARBREAK);

    ASSERT_EQ(before.size(), 4u) << "the invisible item has no entry";
    EXPECT_EQ(before[0].text, L"Open");
    EXPECT_EQ(before[1].text.substr(0, 5), L"Save\t");
    EXPECT_EQ(before[1].text.back(), L'S');
    EXPECT_TRUE(before[1].state & MFS_CHECKED);
    EXPECT_TRUE(before[2].type & MFT_SEPARATOR);
    EXPECT_EQ(before[3].text, L"Quit");
    EXPECT_TRUE(before[3].state & MFS_DISABLED);
    EXPECT_TRUE(before[3].state & MFS_CHECKED);
    EXPECT_TRUE(before[3].type & MFT_RADIOCHECK);

    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[1].text, L"Hidden") << "put back between its neighbours by its order number";
    EXPECT_EQ(after[2].text.substr(0, 5), L"Save\t");
    EXPECT_TRUE(after[0].state & MFS_DISABLED) << "@dcsaddstyle disables an entry";
}

}  // namespace
