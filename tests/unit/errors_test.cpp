// Error reporting: the error dialogs as a user sees them, what each answer and error mode
// does to the run, quiet mode and its log, the extended-error buffer and "LastError".
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "dialog_watch.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/files/settings.h"
#include "engine/ui/message_box.h"
#include "resources/error_ids.h"
#include "settings_sandbox.h"

namespace {

constexpr const char* SCRIPT_TITLE = "KVT - errortest";
const std::string ERROR_CAPTION = std::string("Error:  ") + SCRIPT_TITLE;

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};
using ContextPtr = std::unique_ptr<BDS, ContextDeleter>;

std::string UniqueTempFile(const char* stem)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + stem + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount()) + ".log";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string ExtendedText(BDS* ctx)
{
    char text[1100];
    ExtendedErrorText(ctx, text, sizeof text);
    return text;
}

// A context as a run leaves it: the script's window as owner and parent, a failing line.
class ErrorBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctx_.reset(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
        window_ = CreateWindowA("STATIC", SCRIPT_TITLE, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        BDS* ctx = ctx_.get();
        ctx->hwndOwner = ctx->hwndParent = window_;
        ctx->nErrorOffset = 0xFFFFFFFF;
        ctx->nUdfRunning = UDF_NONE_RUNNING;
        ctx->ErrorMode = EM_CANCEL;
        InitErrorReporting(ctx);
        lstrcpyA(ctx->szErrorLine, "x = StrCat(a b)");
        lstrcpyA(ctx->szSourceFile, "C:\\Scripts\\errortest.zal");
    }

    void TearDown() override
    {
        EndErrorReporting(ctx_.get());
        if (window_)
            DestroyWindow(window_);
        if (!log_.empty())
            DeleteFileA(log_.c_str());
    }

    // Reports `number` as the statement runner does, the error set in the context.
    int Report(int number, int titleId = 1)
    {
        ctx_->nErrorCode = static_cast<uint16_t>(number);
        return ReportError(ctx_.get(), nullptr, titleId, number, ErrorClassOf(number));
    }

    void UseQuietLog()
    {
        log_ = UniqueTempFile("kvquiet");
        ctx_->err.bQuietMode = 1;
        lstrcpyA(ctx_->err.szQuietLog, log_.c_str());
    }

    ContextPtr ctx_;
    HWND window_ = nullptr;
    std::string log_;
};

TEST_F(ErrorBox, ChoiceBoxShowsTheErrorAndContinueGoesOn)
{
    ctx_->ErrorMode = EM_NOTIFY;
    DialogWatch watch(ERROR_CAPTION, IDOK);
    EXPECT_EQ(Report(2058), 1);
    const SeenDialog& seen = watch.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, "Error:  KVT - errortest");
    EXPECT_EQ(seen.Text(IDC_ERR_LABEL), "Error:");
    EXPECT_EQ(seen.Text(IDC_ERR_MESSAGE), "2058:  StrCat: Function syntax error");
    EXPECT_EQ(seen.Text(IDC_ERR_LINE_TEXT), "x = StrCat(a b)");
    EXPECT_EQ(seen.Text(IDC_ERR_SOURCE), "C:\\Scripts\\errortest.zal");
    EXPECT_EQ(seen.Text(IDC_ERR_LINE_INFO), "In C:\\Scripts\\errortest.zal");
    EXPECT_EQ(seen.Text(IDC_ERR_VERSION), "\nZAL Version: 6.25cyc");
    EXPECT_EQ(seen.Text(IDOK), "&Continue");
    EXPECT_EQ(seen.Text(IDCANCEL), "&Exit");
    EXPECT_EQ(seen.Text(IDC_ERR_MORE_INFO), "&More Error Info");
    EXPECT_EQ(seen.Text(IDC_ERR_TRACEBACK), "&Traceback");
    EXPECT_FALSE(seen.controls.at(IDC_ERR_MORE_INFO).enabled);   // no extended text
    EXPECT_FALSE(seen.controls.at(IDC_ERR_WEB_PAGE).visible);    // no support address
    EXPECT_EQ(ctx_->nErrorCode, 0);
    EXPECT_EQ(ctx_->nLastError, 2058u);
}

TEST_F(ErrorBox, ChoiceBoxExitStopsAndKeepsTheError)
{
    ctx_->ErrorMode = EM_NOTIFY;
    DialogWatch watch(ERROR_CAPTION, IDCANCEL);
    EXPECT_EQ(Report(1003), 0);
    ASSERT_TRUE(watch.Result().found);
    EXPECT_EQ(watch.Result().Text(IDC_ERR_MESSAGE), "1003:  FileMove: Failed");
    EXPECT_EQ(ctx_->nErrorCode, 1003);
}

// Which dialog each mode and class brings up, and that only a choice box's Continue goes on.
TEST_F(ErrorBox, ModeAndClassChooseTheDialog)
{
    struct Case {
        uint32_t mode;
        int number;
        bool choiceBox;
        int answer;
    } cases[] = {
        {EM_CANCEL, 2058, false, 0},   // @CANCEL: every error stops
        {EM_CANCEL, 1003, false, 0},
        {EM_CANCEL, 3046, false, 0},   // severe: stops in every mode
        {EM_NOTIFY, 3046, false, 0},
        {EM_OFF, 3046, false, 0},
        {EM_OFF, 2058, true, 1},       // @OFF treats moderate errors as @NOTIFY
        {EM_NOTIFY, 1003, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", error " << c.number);
        ctx_->ErrorMode = c.mode;
        DialogWatch watch(ERROR_CAPTION, IDOK);
        EXPECT_EQ(Report(c.number), c.answer);
        const SeenDialog& seen = watch.Result();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.Has(IDCANCEL), c.choiceBox);
        EXPECT_EQ(seen.Text(IDOK), c.choiceBox ? "&Continue" : "&Ok");
        EXPECT_EQ(ctx_->nErrorCode, c.answer ? 0 : c.number);
    }
}

TEST_F(ErrorBox, StopBoxShowsTheSevereErrorText)
{
    ctx_->ErrorMode = EM_NOTIFY;
    DialogWatch watch(ERROR_CAPTION, IDOK);
    EXPECT_EQ(Report(3046), 0);
    ASSERT_TRUE(watch.Result().found);
    EXPECT_EQ(watch.Result().Text(IDC_ERR_MESSAGE), "3046:  Internal Error 3046. Function not defined");
}

// The error reporting that shows no window runs beside the other tests.
using ErrorQuiet = ErrorBox;

TEST_F(ErrorQuiet, OffRecordsAMinorErrorSilently)
{
    ctx_->ErrorMode = EM_OFF;
    DialogWatch watch(ERROR_CAPTION, IDOK, 1500);
    EXPECT_EQ(Report(1003), 1);
    EXPECT_FALSE(watch.Result().found);
    EXPECT_EQ(ctx_->nLastError, 1003u);
    EXPECT_EQ(ctx_->nErrorCode, 1003);   // left for the statement runner
}

TEST_F(ErrorBox, TitleIdAboveNinetyNineBecomesTheLineText)
{
    DialogWatch watch(ERROR_CAPTION, IDOK);
    EXPECT_EQ(ReportError(ctx_.get(), nullptr, 3046, 194, ERRCLASS_SEVERE), 0);
    ASSERT_TRUE(watch.Result().found);
    EXPECT_EQ(watch.Result().Text(IDC_ERR_MESSAGE), "194:  Execution terminated by user request");
    EXPECT_EQ(watch.Result().Text(IDC_ERR_LINE_TEXT), "Internal Error 3046. Function not defined");
}

TEST_F(ErrorBox, WebPageButtonShowsWithASupportAddressAndStops)
{
    ctx_->ErrorMode = EM_NOTIFY;
    ctx_->err.bTechSupport = 1;   // the address stays empty, so nothing is opened
    DialogWatch watch(ERROR_CAPTION, IDC_ERR_WEB_PAGE);
    EXPECT_EQ(Report(2058), 0);
    const SeenDialog& seen = watch.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.controls.at(IDC_ERR_WEB_PAGE).visible);
    EXPECT_EQ(seen.Text(IDC_ERR_WEB_PAGE), "Tech Support &Web Page");
    EXPECT_EQ(ctx_->nErrorCode, 2058);
}

TEST_F(ErrorBox, MoreErrorInfoShowsTheExtendedText)
{
    AppendExtendedError(ctx_.get(), "first detail");
    AppendExtendedError(ctx_.get(), "second detail");
    SeenDialog more;
    DialogWatch watch(ERROR_CAPTION, [&more](HWND dialog, const SeenDialog&) {
        PressButton(dialog, IDC_ERR_MORE_INFO);
        DialogWatch inner("More Error Information", IDOK);
        more = inner.Result();
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ(Report(3046), 0);
    const SeenDialog& seen = watch.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.controls.at(IDC_ERR_MORE_INFO).enabled);
    ASSERT_TRUE(more.found);
    bool textShown = false;
    for (const auto& [id, control] : more.controls)
        textShown |= control.text.find("first detail") == 0 &&
                     control.text.find("second detail") != std::string::npos;
    EXPECT_TRUE(textShown);
}

TEST_F(ErrorQuiet, QuietModeLogsTheBoxAndStops)
{
    ctx_->ErrorMode = EM_NOTIFY;
    UseQuietLog();
    DialogWatch watch(ERROR_CAPTION, IDOK, 1000);
    EXPECT_EQ(Report(2058), 0);   // the box answers Cancel
    EXPECT_FALSE(watch.Result().found);
    EXPECT_STREQ(ctx_->err.szQuietTitle, "2058:  StrCat: Function syntax error");
    EXPECT_STREQ(ctx_->err.szQuietText, "x = StrCat(a b)");

    std::regex entry("\\d\\d/\\d\\d/\\d\\d  \\d\\d:\\d\\d:\\d\\d  KVT - errortest\r\n\r\n"
                     "2058:  StrCat: Function syntax error\r\n"
                     "\r\n"
                     "x = StrCat\\(a b\\)\r\n"
                     "\r\n<HR>\r\n\r\n");
    EXPECT_TRUE(std::regex_match(ReadFile(log_), entry)) << ReadFile(log_);
}

TEST_F(ErrorQuiet, QuietBoxesAppendAndLeaveOutEmptyParts)
{
    UseQuietLog();
    EXPECT_EQ(ShowMessageBox(ctx_.get(), window_, "first text", "first title", MB_OK), IDCANCEL);
    EXPECT_EQ(ShowMessageBox(ctx_.get(), window_, "second text", "", MB_OK), IDCANCEL);
    EXPECT_STREQ(ctx_->err.szQuietTitle, "first title");   // an empty title keeps the last one
    EXPECT_STREQ(ctx_->err.szQuietText, "second text");

    std::string head = "\\d\\d/\\d\\d/\\d\\d  \\d\\d:\\d\\d:\\d\\d  KVT - errortest\r\n\r\n";
    std::regex log(head + "first title\r\n\r\nfirst text\r\n\r\n<HR>\r\n\r\n" +
                   head + "\r\nsecond text\r\n\r\n<HR>\r\n\r\n");
    EXPECT_TRUE(std::regex_match(ReadFile(log_), log)) << ReadFile(log_);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char year[8];
    wsprintfA(year, "/%02d  ", now.wYear % 100);
    EXPECT_EQ(ReadFile(log_).find(year), 5u);   // month/day/two-digit year
}

TEST_F(ErrorQuiet, QuietModeWithoutLogStopsSilently)
{
    ctx_->err.bQuietMode = 1;
    DialogWatch watch(ERROR_CAPTION, IDOK, 1000);
    EXPECT_EQ(Report(1003), 0);
    EXPECT_FALSE(watch.Result().found);
    EXPECT_STREQ(ctx_->err.szQuietTitle, "1003:  FileMove: Failed");
}

TEST_F(ErrorBox, ADialogThatCannotBeShownStopsTheRunAndIsLogged)
{
    ctx_->ErrorMode = EM_NOTIFY;
    log_ = UniqueTempFile("kvunshown");
    lstrcpyA(ctx_->err.szQuietLog, log_.c_str());
    HWND gone = CreateWindowA("STATIC", "gone", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr);
    DestroyWindow(gone);
    ctx_->nErrorCode = 2058;
    EXPECT_EQ(ReportError(ctx_.get(), gone, 1, 2058, ERRCLASS_MODERATE), 0);
    EXPECT_EQ(ctx_->nErrorCode, 2058);
    EXPECT_NE(ReadFile(log_).find("2058:  StrCat: Function syntax error\r\n"), std::string::npos);
}

TEST_F(ErrorBox, CappedBoxCutsLongTextsAt20000Characters)
{
    struct Case {
        size_t length;
        std::string shown;
    } cases[] = {
        {20000, std::string(20000, 'a')},
        {20001, std::string(20000, 'a') + "..."},
    };
    for (const Case& c : cases) {
        SeenDialog seen;
        DialogWatch watch("capped", [&seen](HWND box, const SeenDialog& s) {
            seen = s;
            PressButton(box, IDOK);
        });
        std::string text(c.length, 'a');
        EXPECT_EQ(MessageBoxCappedA(ctx_.get(), window_, text.c_str(), "capped", MB_OK), IDOK);
        watch.Result();
        ASSERT_TRUE(seen.found);
        bool shown = false;
        for (const auto& [id, control] : seen.controls)
            shown |= control.text == c.shown;
        EXPECT_TRUE(shown) << "length " << c.length;
    }
}

TEST_F(ErrorBox, MessageBoxAnswersWhatTheUserPressed)
{
    SeenDialog seen;
    DialogWatch watch("a title", [&seen](HWND box, const SeenDialog& s) {
        seen = s;
        PressButton(box, IDNO);
    });
    EXPECT_EQ(ShowMessageBox(ctx_.get(), window_, "a question", "a title", MB_YESNO), IDNO);
    ASSERT_TRUE(watch.Result().found);
    bool textShown = false;
    for (const auto& [id, control] : seen.controls)
        textShown |= control.text == "a question";
    EXPECT_TRUE(textShown);
}

TEST_F(ErrorBox, WideCappedBoxCutsLongTextsToo)
{
    SeenDialog seen;
    DialogWatch watch("capped", [&seen](HWND box, const SeenDialog& s) {
        seen = s;
        PressButton(box, IDOK);
    });
    std::wstring text(20001, L'w');
    EXPECT_EQ(MessageBoxCappedW(ctx_.get(), window_, text.c_str(), L"capped", MB_OK), IDOK);
    ASSERT_TRUE(watch.Result().found);
    bool shown = false;
    for (const auto& [id, control] : seen.controls)
        shown |= control.text == std::string(20000, 'w') + "...";
    EXPECT_TRUE(shown);
}

TEST(ExtendedError, EntriesAreSeparatedByARuleAndCappedAt1024)
{
    BDS* ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
    EXPECT_EQ(ExtendedText(ctx), "");
    AppendExtendedError(ctx, "one");
    AppendExtendedErrorW(ctx, L"two");
    EXPECT_EQ(ExtendedText(ctx), "one\n\n" + std::string(40, '-') + "\n\xA0\ntwo");

    AppendExtendedError(ctx, std::string(2000, 'x').c_str());
    std::string full = ExtendedText(ctx);
    EXPECT_EQ(full.size(), 1024u);
    EXPECT_EQ(full.substr(0, 3), "one");

    FreeExtendedError(ctx);
    EXPECT_EQ(ctx->err.hExtended, nullptr);
    AppendExtendedError(ctx, "fresh");
    EXPECT_EQ(ExtendedText(ctx), "fresh");
    FreeExtendedError(ctx);
    std::free(ctx);
}

TEST(ExtendedError, SystemErrorsAreDescribedByApiAndCode)
{
    BDS* ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
    AddSystemErrorInfo(ctx, 0, "CreateFileA");   // no code: nothing to add
    EXPECT_EQ(ctx->err.hExtended, nullptr);
    AddSystemErrorInfo(ctx, 5, "CreateFileA");
    EXPECT_EQ(ExtendedText(ctx), "CreateFileA error:\n\n     System error code 5");
    FreeExtendedError(ctx);
    std::free(ctx);
}

TEST(LastError, FailedCallIsRecordedInTheSettingsFile)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    BDS* ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
    StoreLastError(ctx, 183, "MoveFileExA", false);

    std::string ini = sandbox.IniFile();
    char value[300] = {};
    GetPrivateProfileStringA("KVDYC64I", "LastError", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "183 (MoveFileExA)");
    EXPECT_NE(ReadFile(ini).find("LastError=183 (MoveFileExA)"), std::string::npos);
    EXPECT_EQ(ctx->err.hExtended, nullptr);

    StoreLastError(ctx, 2, "CopyFileA", true);
    EXPECT_EQ(ExtendedText(ctx), "CopyFileA error:\n\n    2");
    GetPrivateProfileStringA("KVDYC64I", "LastError", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "2 (CopyFileA)") << "the last failure replaces the one before";
    FreeExtendedError(ctx);
    std::free(ctx);
}

}  // namespace
