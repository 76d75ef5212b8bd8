// The "FILEWARN" dialog run with both procedures: the texts it shows, the answer each way of
// closing it leaves, the middle ellipsis of a long name, and its exports in the library.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "dialog_watch.h"
#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/files/file_services.h"
#include "engine/files/overwrite_dialog.h"
#include "engine_dll.h"

namespace {

const char* const kTitle = "Confirm File Replace";

class OverwriteDialogBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
        texts.targetName = L"C:\\target\\old.txt";
        texts.targetInfo = L"1/2/2024  3:04 PM   10 bytes";
        texts.sourceName = L"C:\\source\\new.txt";
        texts.sourceInfo = L"5/6/2024  7:08 AM   20 bytes";
        ctx->fileops.pOverwriteTexts = &texts;
    }
    void TearDown() override { std::free(ctx); }

    // Runs the dialog with one of the procedures; the watch answers it.
    INT_PTR Run(bool wide)
    {
        ctx->fileops.OverwriteAnswer = 0;
        if (wide)
            return DialogBoxParamW(EngineModule(), L"FILEWARN", nullptr, OverwriteProcW,
                                   reinterpret_cast<LPARAM>(ctx));
        return DialogBoxParamA(EngineModule(), "FILEWARN", nullptr, OverwriteProc, reinterpret_cast<LPARAM>(ctx));
    }

    BDS* ctx = nullptr;
    OverwriteTexts texts;
};

TEST_F(OverwriteDialogBoxTest, EachButtonLeavesItsAnswer)
{
    struct Case {
        int button;
        uint32_t answer;
    } cases[] = {{IDOK, 1}, {104, 2}, {102, 3}, {103, 4}, {101, 101}, {106, 102}, {105, 103}, {IDCANCEL, 104}};
    for (const Case& c : cases) {
        DialogWatch watch(kTitle, c.button);
        EXPECT_EQ(Run(c.button % 2 == 0), 1) << c.button;
        EXPECT_EQ(ctx->fileops.OverwriteAnswer, c.answer) << c.button;
    }
}

TEST_F(OverwriteDialogBoxTest, TheCloseBoxCancels)
{
    DialogWatch watch(kTitle, [](HWND d, const SeenDialog&) { PostMessageA(d, WM_CLOSE, 0, 0); });
    Run(true);
    EXPECT_EQ(ctx->fileops.OverwriteAnswer, 104u);
}

TEST_F(OverwriteDialogBoxTest, BothProceduresShowTheSameTexts)
{
    for (bool wide : {true, false}) {
        DialogWatch watch(kTitle, IDCANCEL);
        Run(wide);
        const SeenDialog& seen = watch.Result();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.caption, kTitle);
        EXPECT_EQ(seen.Text(110), "Replace file:");
        EXPECT_EQ(seen.Text(107), "C:\\target\\old.txt");
        EXPECT_EQ(seen.Text(108), "1/2/2024  3:04 PM   10 bytes");
        EXPECT_EQ(seen.Text(109), "with file:");
        EXPECT_EQ(seen.Text(111), "C:\\source\\new.txt");
        EXPECT_EQ(seen.Text(112), "5/6/2024  7:08 AM   20 bytes");
        EXPECT_EQ(seen.Text(IDOK), "O&verwrite");
        EXPECT_EQ(seen.Text(101), "Overwrite &All");
        EXPECT_EQ(seen.Text(103), "&Skip");
        EXPECT_EQ(seen.Text(IDCANCEL), "&Cancel");
    }
}

TEST_F(OverwriteDialogBoxTest, ALongNameKeepsItsBeginningAndEnd)
{
    texts.sourceName = L"C:\\begin" + std::wstring(300, L'm') + L"\\end.txt";
    for (bool wide : {true, false}) {
        DialogWatch watch(kTitle, IDCANCEL);
        Run(wide);
        std::string shown = watch.Result().Text(111);
        size_t dots = shown.find("...");
        ASSERT_NE(dots, std::string::npos) << wide << " " << shown;
        EXPECT_EQ(shown.rfind("C:\\begin", 0), 0u) << wide << " " << shown;
        EXPECT_EQ(shown.substr(shown.size() - 8), "\\end.txt") << wide << " " << shown;
        EXPECT_LT(shown.size(), texts.sourceName.size()) << wide;
    }
}

// Characters outside the basic plane are two units: a shortened name never keeps half of one.
TEST(PathEllipsisTest, NeverCutsASurrogatePair)
{
    const std::wstring pair = L"\xD83D\xDE00";
    for (int width : {120, 140, 160, 180, 200}) {
        HWND control = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, width, 20, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(control, nullptr);
        std::wstring text = L"C:\\";
        for (int i = 0; i < 100; ++i)
            text += pair;
        text += L"\\end.txt";
        EXPECT_EQ(PathEllipsisW(nullptr, control, text), 1) << width;
        size_t dots = text.find(L"...");
        ASSERT_NE(dots, std::wstring::npos) << width;
        EXPECT_FALSE(IS_HIGH_SURROGATE(text[dots - 1])) << width;
        EXPECT_FALSE(IS_LOW_SURROGATE(text[dots + 3])) << width;
        DestroyWindow(control);
    }
}

TEST(DeviceNames, PortsAndUsbDevicesByTheirLastComponent)
{
    struct Case {
        const wchar_t* name;
        int device;
    } cases[] = {{L"COM1", 1}, {L"lpt9", 1}, {L"C:\\x\\Com3", 1}, {L"usb001", 1}, {L"com0", 0},
                 {L"LPT10", 0}, {L"usb01", 0}, {L"usb0a1", 0}, {L"COM1.txt", 0}, {L"", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(DeviceNameTest(c.name, nullptr), c.device) << std::wstring(c.name).size();
}

TEST(OverwriteExports, TheProceduresAreExportedByNameAndOrdinal)
{
    HMODULE dll = kvtest::EngineDll().Module();
    ASSERT_NE(dll, nullptr);
    FARPROC ansi = GetProcAddress(dll, "OverwriteProc");
    FARPROC wide = GetProcAddress(dll, "OverwriteProcW");
    ASSERT_NE(ansi, nullptr);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(ansi, GetProcAddress(dll, MAKEINTRESOURCEA(116)));
    EXPECT_EQ(wide, GetProcAddress(dll, MAKEINTRESOURCEA(117)));
}

}  // namespace
