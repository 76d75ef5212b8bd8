// Dialog support routines: the dialog error report, unit scaling with a template DPI, and
// the display text of a variable or array element.
#include "value_fixture.h"

#include <string>

#include "engine/core/errors.h"
#include "engine/data/array.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_units.h"
#include "settings_sandbox.h"

using DialogSupport = ValueTest;

TEST_F(DialogSupport, ReportWritesTheShortTextAndAppendsTheLongOne)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    lstrcpyA(ctx->dlg.name, "D");
    DialogErrorReport(ctx, 3984, "Name5", "x");
    char value[300] = {};
    GetPrivateProfileStringA("Dialog Template", "LastError", "", value, sizeof value, sandbox.IniFile().c_str());
    EXPECT_STREQ(value, "3984 (DName5=`x`)");
    char extended[1100] = {};
    ExtendedErrorText(ctx, extended, sizeof extended);
    EXPECT_NE(std::string(extended).find("Dialog: Bad control name:\n\n    DName5=`x`"), std::string::npos) << extended;
    EXPECT_EQ(ctx->nErrorCode, 0);   // the caller sets the number

    DialogErrorReport(ctx, 3219, nullptr, nullptr);
    GetPrivateProfileStringA("Dialog Template", "LastError", "", value, sizeof value, sandbox.IniFile().c_str());
    EXPECT_STREQ(value, "3219 ()");
    EXPECT_EQ(DialogFailNumber(ctx, 3974, 7), 0);
    EXPECT_EQ(ctx->nErrorCode, 3974);
    GetPrivateProfileStringA("Dialog Template", "LastError", "", value, sizeof value, sandbox.IniFile().c_str());
    EXPECT_STREQ(value, "3974 (--> 7)");
}

TEST_F(DialogSupport, UnitsScaleByTheTemplatesDpiWhenItDiffers)
{
    Dialog6Record dlg{};
    dlg.baseX = 6;
    dlg.baseY = 13;
    dlg.screenDpi = 96;
    dlg.dpi[0] = 96;
    dlg.dpi[1] = 8;
    dlg.dpi[2] = 16;
    int x = 40, y = 40, w = 100, h = 100;
    DialogUnitsScale(&dlg, &x, &y, &w, &h);   // same DPI: the system's base units
    EXPECT_EQ(x, 60);
    EXPECT_EQ(w, 150);
    EXPECT_EQ(y, 65);
    EXPECT_EQ(h, 163);   // 162.5 rounded

    dlg.dpi[0] = 120;    // laid out on a 120 DPI screen with base units 8 and 16
    x = 40, y = 40;
    DialogUnitsScale(&dlg, &x, &y, nullptr, nullptr);
    EXPECT_EQ(x, 64);    // 40 * 8 * 96 / (120 * 4)
    EXPECT_EQ(y, 64);    // 40 * 16 * 96 / (120 * 8)
}

TEST_F(DialogSupport, VariableTextShowsValuesAndElements)
{
    SetVariableByName(ctx, "Word", "caf\xe9", 0, SV_STRING);
    SetVariableByName(ctx, "Count", nullptr, -12, SV_INT);
    std::wstring text;
    ASSERT_TRUE(VariableTextW(ctx, "word", text));
    EXPECT_EQ(text, L"caf\u00e9");
    ASSERT_TRUE(VariableTextW(ctx, "COUNT", text));
    EXPECT_EQ(text, L"-12");
    EXPECT_FALSE(VariableTextW(ctx, "missing", text));
    EXPECT_FALSE(VariableTextW(ctx, "a_name_that_is_longer_than_thirty", text));

    resultants array;
    InitResultValue(ctx, &array, VK_RECORD, 0);
    ASSERT_EQ(CreateMyArray(ctx, &array, 3, 0, 0, 0, 0, 0, 1), 1);
    ArrayHeader* block = ValueArray(&array);
    block->data[1].flags = VF_INT;
    block->data[1].i32 = 7;
    SetVariableByName(ctx, "Arr", reinterpret_cast<const void*>(array.str), 0, SV_ARRAY);
    ASSERT_TRUE(VariableTextW(ctx, "Arr", text));
    EXPECT_EQ(text, L"<array>");
    ASSERT_TRUE(VariableTextW(ctx, "Arr[ 1 ]", text));
    EXPECT_EQ(text, L"7");
    EXPECT_FALSE(VariableTextW(ctx, "Arr[1,2]", text));   // one dimension, two subscripts
    EXPECT_FALSE(VariableTextW(ctx, "Arr[3]", text));
    EXPECT_EQ(ctx->nErrorCode, 0);

    wchar_t small[3];
    ASSERT_EQ(VariableTextW(ctx, "Word", small, 3), 1);   // cut to the buffer
    EXPECT_EQ(std::wstring(small), L"ca");
}
