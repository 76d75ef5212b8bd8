// The trace's shared routines (unsigned decimal texts, type names, the statement line as the
// trace shows it) and the trace to the debugger output, read by this test acting as the
// debugger of a test host that runs a script.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/numtext.h"
#include "engine/core/trace.h"
#include "engine/core/trace_dumps.h"
#include "tests/unit/engine_dll.h"
#include "tests/unit/value_fixture.h"

namespace {

TEST(DecimalText, WritesUnsignedValuesAndCutsToTheBuffer)
{
    char text[32];
    EXPECT_EQ(Int64ToDecimalText(UINT64_MAX, text, sizeof text), 1);
    EXPECT_STREQ(text, "18446744073709551615");
    Int64ToDecimalText(0, text, sizeof text);
    EXPECT_STREQ(text, "0");
    EXPECT_EQ(Int64ToDecimalText(UINT64_MAX, text, 5), 1);
    EXPECT_STREQ(text, "1844");
    EXPECT_EQ(Int64ToDecimalText(1, text, 0), 0);
}

TEST(DecimalText, ReadsDigitsAndRefusesWhatDoesNotFit)
{
    struct Case {
        const char* text;
        bool accepted;
        uint64_t value;
    } cases[] = {
        {"4294967296", true, 4294967296ull},
        {"18446744073709551615", true, UINT64_MAX},
        {"", true, 0},
        {"00000000000000000001", true, 1},             // twenty digits
        {"000000000000000000001", false, 0},           // twenty-one
        {"18446744073709551616", false, 0},            // 2^64
        {"99999999999999999999", false, 0},
        {"12a", false, 0},
        {"-1", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t value = 7;
        EXPECT_EQ(DecimalTextToInt64(c.text, &value), c.accepted) << c.text;
        if (c.accepted)
            EXPECT_EQ(value, c.value) << c.text;
        else
            EXPECT_EQ(value, 7u) << c.text;
    }
}

class TraceNames : public ValueTest {};

TEST_F(TraceNames, TypeNamesJoinTheFormsAValueCarries)
{
    struct Case {
        uint32_t flags;
        const char* name;
    } cases[] = {
        {0, "UNDEFINED"},
        {VF_UNINIT, "UNINITIALIZED"},
        {VF_INT, "INT"},
        {VF_STRING, "STRING"},
        {VF_INT | VF_STRING, "INT/STRING"},
        {VF_INT | VF_FILE, "FILE"},
        {VF_INT | VF_BINBUF, "BINBUF"},
        {VF_FLOAT, "FLOAT"},
        {VF_INT64, "INT64"},
        {VF_ARRAY, "ARRAY"},
        {VF_VARIANT | VF_COMOBJ, "COMOBJ"},
        {VF_STRING | VF_UNICODE, "STRING/UNICODE"},
        {VF_COMTEMP, "COMTEMP"},
        {0x1000, "UNKNOWN"},
    };
    for (const Case& c : cases) {
        char name[64];
        VarTypeName(ctx, c.flags, 0, name, sizeof name);
        EXPECT_STREQ(name, c.name) << c.flags;
    }
}

TEST_F(TraceNames, StackEntriesInTheirThreeForms)
{
    lstrcpyA(ctx->szSourceFile, "C:\\scripts\\job.zal");
    StructFrame frame{};
    frame.kind = SF_UDF_CALL;
    frame.callKind = 1;
    char line[256];
    FormatStackEntry(ctx, 2, frame, line, sizeof line, false, nullptr);
    EXPECT_STREQ(line, "3\t<dlg_callback>\t0\t\tC:\\scripts\\job.zal");
    frame.kind = SF_GOSUB_TRUE;
    FormatStackEntry(ctx, 0, frame, line, sizeof line, true, nullptr);
    EXPECT_EQ(std::string(line), "  1 gosub               0 " + std::string(32, ' ') + " job.zal");

    // The traceback list: one row of five columns.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 300, 100, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = 50;
    for (int i = 0; i < 5; ++i)
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    frame.kind = 757;     // a keyword id: While
    FormatStackEntry(ctx, 4, frame, line, sizeof line, true, list);
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
    const char* expected[] = {"  5", "while         ", "     0", "", "job.zal"};
    for (int i = 0; i < 5; ++i) {
        char text[64] = "";
        LVITEMA item{};
        item.iSubItem = i;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item));
        if (i == 3)
            EXPECT_EQ(std::string(text), std::string(32, ' '));
        else
            EXPECT_STREQ(text, expected[i]) << i;
    }
    DestroyWindow(list);
}

TEST(TraceLine, CachedJumpsReadAsTheirWordsAgain)
{
    // The run loop caches a jump in the statement's first five bytes: 0x9F goto, 0x9E gosub.
    const char gotoLine[] = "\x9F\x40\x41\x42\x43there";
    const char gosubAfterLabel[] = ":here \x9E\x40\x40\x40\x45 there  ";
    char text[64];
    TraceLineText(gotoLine, text, sizeof text);
    EXPECT_STREQ(text, "goto there");
    TraceLineText(gosubAfterLabel, text, sizeof text);
    EXPECT_STREQ(text, ":here gosub there");
    // The bytes elsewhere, or without the marker's pattern, are text.
    TraceLineText("x = \"\x9F\x40\x41\x42\x43\"", text, sizeof text);
    EXPECT_STREQ(text, "x = \"\x9F\x40\x41\x42\x43\"");
    TraceLineText("\x9F\x81", text, sizeof text);
    EXPECT_STREQ(text, "\x9F\x81");
    TraceLineText("abcdef", text, 4);
    EXPECT_STREQ(text, "abc");
}

// ---------------------------------------------------------------- the debugger output

// Runs the test host on a script as its debugger; answers the debug strings it sent.
std::vector<std::string> DebugStringsOfRun(const std::wstring& folder, const std::string& script)
{
    std::wstring file = folder + L"\\debugdata.zal";
    std::ofstream(file.c_str(), std::ios::binary) << script;
    std::wstring command = L"\"" + kvtest::BinFolder() + L"kvhost.exe\" run --settings-root \"" + folder +
                           L"\\settings\" \"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<std::string> strings;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS | CREATE_NO_WINDOW,
                        nullptr, folder.c_str(), &startup, &process)) {
        ADD_FAILURE() << "kvhost did not start: " << GetLastError();
        return strings;
    }
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 30000)) {
            ADD_FAILURE() << "no debug event within 30 s";
            TerminateProcess(process.hProcess, 1);
            break;
        }
        DWORD status = DBG_CONTINUE;
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T read = 0;
            ReadProcessMemory(process.hProcess, info.lpDebugStringData, &text[0], text.size(), &read);
            text.resize(read);
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            if (!info.fUnicode)
                strings.push_back(text);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            status = event.u.Exception.dwFirstChance ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE;
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            CloseHandle(event.u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            CloseHandle(event.u.LoadDll.hFile);
        }
        bool done = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (done)
            break;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return strings;
}

TEST(TraceDebugOutput, DebugDataSendsEveryLineToTheDebuggerAndWritesNoFile)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"kvtrace" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::string> strings = DebugStringsOfRun(folder,
                                                         "DebugTrace(104, \"\", \"1\")\r\n"
                                                         "DebugTrace(1, \"*DEBUGDATA*\")\r\n"
                                                         "x = 5\r\n"
                                                         "DebugTrace(3, \"a comment\")\r\n");
    auto has = [&](const std::string& line) {
        for (const std::string& s : strings)
            if (s == line + "\r\n")
                return true;
        return false;
    };
    EXPECT_TRUE(has(std::string(60, '*')));
    EXPECT_TRUE(has("*** Debug Initialized ***"));
    EXPECT_TRUE(has("x = 5")) << ::testing::PrintToString(strings);   // the CR of the line is not part of it
    EXPECT_TRUE(has("VALUE INT => 5"));
    EXPECT_TRUE(has("a comment"));
    EXPECT_TRUE(has(";;;END OF JOB;;;"));
    EXPECT_EQ(GetFileAttributesW((folder + L"\\*DEBUGDATA*").c_str()), INVALID_FILE_ATTRIBUTES);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L".." && name != L"debugdata.zal" && name != L"settings")
                ++entries;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(entries, 0) << "a file was written beside the script";
    DeleteFileW((folder + L"\\debugdata.zal").c_str());
    std::wstring command = L"cmd /c rmdir /s /q \"" + folder + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace
