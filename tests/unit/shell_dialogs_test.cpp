// The shell's dialogs behind AskFileName and AskDirectory: a typed folder made whole, and
// the item-based file dialog's kinds, filter pairs, answers and start folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "engine/com/shell_dialogs.h"
#include "engine/core/errors.h"
#include "tests/unit/engine_dll.h"
#include "tests/unit/value_fixture.h"

namespace {

// ---------------------------------------------------------------- a typed folder

class TypedFolder : public ValueTest {};

TEST_F(TypedFolder, IsMadeWholeFromTheLastFolderSelected)
{
    struct Case {
        const wchar_t* last;
        const wchar_t* typed;
        bool newStyle;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\windows", L"D:\\elsewhere", false, L"D:\\elsewhere"},    // a drive path stays
        {L"C:\\windows", L"sub", false, L"C:\\windows\\sub"},
        {L"C:\\windows\\", L"sub", false, L"C:\\windows\\sub"},         // no doubled separator
        {L"C:\\windows", L".\\sub\\..\\other", false, L"C:\\windows\\other"},
        {L"C:\\windows", L"\\top", false, L"C:\\top"},                 // the selected drive's root
        {L"C:\\windows", L" sub ", true, L"C:\\windows\\sub"},          // the newer style's blanks
        {L"C:\\windows", L" sub ", false, L"C:\\windows\\ sub "},
        {L"", L"\\top", false, L"top"},                                // nothing to start from
    };
    for (const Case& c : cases) {
        wchar_t out[300] = {};
        ComposeTypedFolder(ctx, c.last, c.typed, c.newStyle, out, 300);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST_F(TypedFolder, NeverPassesItsBuffer)
{
    wchar_t out[12];
    for (wchar_t& c : out)
        c = L'#';
    ComposeTypedFolder(ctx, L"C:\\windows", L"a-rather-long-folder-name", false, out, 8);
    EXPECT_EQ(std::wcslen(out), 7u);
    EXPECT_EQ(out[8], L'#');
}

// ---------------------------------------------------------------- the item-based dialog

class ShellFileDialogBox : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        ctx->eng.ctl.FileDelimiterW = L'\t';
        result = {};
    }
    void TearDown() override
    {
        FreeValue(ctx, &result, 0, VK_RECORD);
        ValueTest::TearDown();
    }

    // Runs the probe commands one after another beside the dialog; answers their output.
    static std::thread Drive(std::string* output, std::initializer_list<std::wstring> commands)
    {
        std::vector<std::wstring> list(commands);
        return std::thread([output, list] {
            for (const std::wstring& command : list) {
                kvtest::ProbeProcess probe(command + L" --timeout 15000" + kvtest::OwnWindowsOnly());
                probe.Wait();
                *output += probe.Output();
            }
        });
    }

    std::wstring Answer() { return (result.flags & VF_UNICODE) ? ValueWText(ctx, &result) : L"<none>"; }

    resultants result;
};

TEST_F(ShellFileDialogBox, RefusesOtherKindsBeforeAnyDialog)
{
    for (int kind : {99, 104, 0, 3}) {
        ctx->nErrorCode = 0;
        EXPECT_EQ(ShellFileDialog(ctx, L"", L"", L"", 0, L"", kind, &result), 0) << kind;
        EXPECT_EQ(ctx->nErrorCode, 1611) << kind;
    }
}

TEST_F(ShellFileDialogBox, TakesAsManyFilterPairsAsTheFieldCountAllows)
{
    for (int fields : {4, 3}) {
        std::string seen;
        std::thread driver =
            Drive(&seen, {L"items --title-exact \"Shell filters\" --id 1136",
                          L"click --title-exact \"Shell filters\" --button Cancel"});
        ctx->nErrorCode = 0;
        int answer = ShellFileDialog(ctx, L"Shell filters", L"", L"Text|*.txt|All|*.*", fields, L"", SHELL_OPEN,
                                     &result);
        driver.join();
        // A cancel writes an empty answer and leaves the user's cancel.
        EXPECT_EQ(answer, 1);
        EXPECT_EQ(ctx->nErrorCode, CC_CANCEL);
        EXPECT_EQ(Answer(), L"");
        EXPECT_NE(seen.find("text=Text\n"), std::string::npos) << seen;
        EXPECT_EQ(seen.find("text=All\n") != std::string::npos, fields == 4) << seen;
    }
}

TEST_F(ShellFileDialogBox, OpensInTheCurrentDirectoryForAFolderThatIsMissing)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"kv_shell_dialog_test";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(folder.c_str());

    std::string seen;
    std::thread driver = Drive(&seen, {L"settext --title-exact \"Shell start\" --id 1152 --text typed.txt",
                                       L"click --title-exact \"Shell start\" --button Save"});
    int answer = ShellFileDialog(ctx, L"Shell start", L"C:\\no\\such\\folder\\here", L"", 0, L"", SHELL_SAVE,
                                 &result);
    driver.join();
    SetCurrentDirectoryW(saved);
    RemoveDirectoryW(folder.c_str());

    EXPECT_EQ(answer, 1) << ctx->nErrorCode << " " << seen;
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Answer(), folder + L"\\typed.txt");
}

}  // namespace
