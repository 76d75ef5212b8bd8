// Live style changes of a running dialog's controls, on real (hidden) windows: edit bits,
// visibility with enabling, the default push button moving, alignment, unhonoured bits.
#include <gtest/gtest.h>

#include <windows.h>

#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_styles.h"

namespace {

class DialogStyleWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
        Add(CT_EDITBOX, L"Edit", ES_AUTOHSCROLL);
        Add(CT_PUSHBUTTON, L"Button", BS_DEFPUSHBUTTON);
        Add(CT_PUSHBUTTON, L"Button", BS_PUSHBUTTON);
        Add(CT_STATICTEXT, L"Static", SS_LEFT);
        dlg.window = parent;
        dlg.defaultButton = 1;
        records[1].style = CS_DEFBUTTON;
        records[1].state = 4;
    }

    void TearDown() override { DestroyWindow(parent); }

    void Add(uint8_t type, const wchar_t* cls, DWORD style)
    {
        int index = static_cast<int>(dlg.controls.size());
        DialogControlRecord& c = records[index];
        c.type = type;
        c.window = CreateWindowExW(0, cls, L"x", WS_CHILD | WS_VISIBLE | style, 0, 20 * index, 80, 18, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(DIALOG_ID_BASE + index)), nullptr,
                                   nullptr);
        ASSERT_NE(c.window, nullptr);
        dlg.controls.push_back(&c);
    }

    LONG_PTR StyleOf(int index) { return GetWindowLongPtrW(records[index].window, GWL_STYLE); }

    HWND parent = nullptr;
    Dialog6Record dlg{};
    DialogControlRecord records[4]{};
};

}  // namespace

TEST_F(DialogStyleWindow, EditBitsAndVisibilityApplyAtOnce)
{
    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[0], true, CS_READONLY | CS_DIGITS), 1);
    EXPECT_TRUE(StyleOf(0) & ES_READONLY);
    EXPECT_TRUE(StyleOf(0) & ES_NUMBER);
    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[0], false, CS_READONLY), 1);
    EXPECT_FALSE(StyleOf(0) & ES_READONLY);
    EXPECT_EQ(records[0].style, CS_DIGITS);

    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[0], true, CS_INVISIBLE), 1);
    EXPECT_FALSE(StyleOf(0) & WS_VISIBLE);
    EXPECT_FALSE(IsWindowEnabled(records[0].window));   // hidden and disabled
    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[0], false, CS_INVISIBLE), 1);
    EXPECT_TRUE(StyleOf(0) & WS_VISIBLE);
    EXPECT_TRUE(IsWindowEnabled(records[0].window));

    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[0], true, CS_GRID), 0);   // not an edit's bit
    EXPECT_EQ(records[0].style, CS_DIGITS);
}

TEST_F(DialogStyleWindow, DefaultButtonMovesAndCanBeDropped)
{
    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[2], true, CS_DEFBUTTON), 1);
    EXPECT_EQ(dlg.defaultButton, 2);
    EXPECT_FALSE(records[1].style & CS_DEFBUTTON);
    EXPECT_EQ(StyleOf(1) & 0xF, BS_PUSHBUTTON);
    EXPECT_EQ(StyleOf(2) & 0xF, BS_DEFPUSHBUTTON);
    EXPECT_EQ(ApplyControlStyleChange(parent, &dlg, &records[2], false, CS_DEFBUTTON), 1);
    EXPECT_EQ(dlg.defaultButton, 4);   // none
    EXPECT_EQ(StyleOf(2) & 0xF, BS_PUSHBUTTON);
}

TEST_F(DialogStyleWindow, AlignmentBitsReplaceEachOther)
{
    ApplyControlStyleChange(parent, &dlg, &records[3], true, CS_CENTER);
    EXPECT_EQ(StyleOf(3) & 0x3, SS_CENTER);
    ApplyControlStyleChange(parent, &dlg, &records[3], true, CS_RIGHT);
    EXPECT_EQ(StyleOf(3) & 0x3, SS_RIGHT);
    EXPECT_EQ(records[3].style, CS_RIGHT);
}
