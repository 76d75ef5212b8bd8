// Rules of the launcher: the command line, the engine limits, the reserve text of the
// version block, the ANSI form of its paths, the service's control queue, and the tray
// icon's end with the main window.
#include <gtest/gtest.h>

#include <string>

#include "launcher/launcher.h"

TEST(LauncherCommandLine, SkipsTheProgramNameAndTheBlanksAfterIt)
{
    struct Case { const wchar_t* line; const wchar_t* tail; };
    const Case cases[] = {
        {L"\"C:\\a b\\prog.exe\"  x y", L"x y"},
        {L"prog.exe\t x", L"x"},
        {L"\"C:\\unterminated", L""},
        {L"prog.exe", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(SkipProgramName(c.line)), c.tail) << c.line;
}

TEST(LauncherCommandLine, ParentPrefixNamesTheWindowAndParametersFollowTheDigits)
{
    struct Case { const wchar_t* tail; bool parent; uint64_t handle; const wchar_t* params; };
    const Case cases[] = {
        {L"!@#000000001234 a b", true, 1234, L" a b"},
        {L"!@#000000001234", true, 1234, L""},
        {L"!@#12 x", true, 12, L" x"},          // short prefix: parameters right after its digits
        {L"!@#", true, 0, L""},
        {L"!@#abc", true, 0, L"abc"},
        {L"!@ x", false, 0, L"!@ x"},
        {L"a !@#1", false, 0, L"a !@#1"},
        {L"!@#99999999999999999999999 z", true, UINT64_MAX, L" z"},
    };
    for (const Case& c : cases) {
        CommandTail tail = ParseCommandTail(c.tail);
        EXPECT_EQ(tail.hasParent, c.parent) << c.tail;
        EXPECT_EQ(tail.parent, c.handle) << c.tail;
        EXPECT_EQ(std::wstring(tail.params), c.params) << c.tail;
    }
}

TEST(LauncherCommandLine, ParameterLineIsCutAt8191Characters)
{
    std::wstring longLine(9000, L'p');
    static wchar_t out[PARAM_LINE_MAX + 1];
    CopyParamLine(out, PARAM_LINE_MAX, longLine.c_str());
    EXPECT_EQ(std::wstring(out).size(), 8191u);
}

TEST(LauncherSettings, StringToIntReadsBlanksSignAndDigits)
{
    struct Case { const char* text; int value; };
    const Case cases[] = {{"42", 42}, {"  -7x", -7}, {"+13", 13}, {"", 0}, {"x1", 0}, {"\t2000", 2000},
                          {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const Case& c : cases)
        EXPECT_EQ(StringToInt(c.text), c.value) << c.text;
}

TEST(LauncherSettings, EngineLimitsTakeDefaultsAndCaps)
{
    struct Case { int maxVars, stringSpace; uint16_t wantVars; uint64_t wantSpace; };
    const Case cases[] = {
        {0, 0, 2000, 65500},
        {-5, -1, 2000, 65500},
        {70000, 100, 65000, 100},
        {12, 0x2000000, 12, 0x1000000},
        {65000, 16777216, 65000, 16777216},
    };
    for (const Case& c : cases) {
        EngineLimits limits = ClampEngineLimits(c.maxVars, c.stringSpace);
        EXPECT_EQ(limits.maxVars, c.wantVars) << c.maxVars;
        EXPECT_EQ(limits.stringSpace, c.wantSpace) << c.stringSpace;
    }
}

TEST(LauncherSettings, ReserveComesFromTheVersionTextWithinItsBounds)
{
    struct Case { const char* text; bool found; uint64_t value; };
    const Case cases[] = {
        {"VirtualAlloc 64K", true, 65536},
        {"virtualALLOC  100 k", true, 102400},
        {"VirtualAlloc 123", true, 123},
        {"VirtualAlloc ", true, 0},
        {"VirtualAlloc", false, 0},        // needs more than the word itself
        {"2025C", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t value = 0;
        EXPECT_EQ(ParseReserveText(c.text, &value), c.found) << c.text;
        if (c.found) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    EXPECT_EQ(ChooseReserveSize(false, 0, 65500), 0x1F400000u);
    EXPECT_EQ(ChooseReserveSize(true, 65536, 65500), 65536u);
    EXPECT_EQ(ChooseReserveSize(true, 65536, 100000), 100000u);
    EXPECT_EQ(ChooseReserveSize(true, 0, 65500), 65500u);
    EXPECT_EQ(ChooseReserveSize(true, 0x20000000, 65500), 0xFA00000u);
}

// Paths go on to the engine and to scripts in ANSI only where that form gives back every
// letter: folder names that code page 1252 cannot say stay wide, and so does a letter that
// the conversion would replace by a look-alike.
TEST(LauncherOwnPath, AnsiFormOnlyWhereItSaysTheTextExactly)
{
    ASSERT_EQ(GetACP(), 1252u) << "the tests run with the Western code page";
    struct Case { const wchar_t* text; const char* ansi; };   // ansi null: not exact
    const Case cases[] = {
        {L"C:\\w4\\plain dir\\", "C:\\w4\\plain dir\\"},
        {L"C:\\w4\\Caf\u00e9\\", "C:\\w4\\Caf\xe9\\"},
        {L"", ""},
        {L"C:\\w4\\\u03a9mega dir\\", nullptr},
        {L"C:\\w4\\\u65e5\u672c\u8a9e\\", nullptr},
        {L"C:\\w4\\\u041f\u0440\u0438\u0432\u0435\u0442\\", nullptr},
        {L"C:\\w4\\\u0100bc\\", nullptr},      // A with macron: "A" by best fit
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(ExactAnsi(c.text, out), c.ansi != nullptr) << LossyAnsi(c.text);
        if (c.ansi) {
            EXPECT_EQ(out, c.ansi);
        }
    }
}

TEST(LauncherKeywords, TableHoldsTheThirtyEightFunctionsInOrder)
{
    EXPECT_EQ(LauncherKeywordTable[LAUNCHER_FUNCTION_COUNT].id, 9999u);
    EXPECT_EQ(LauncherKeywordTable[LAUNCHER_FUNCTION_COUNT].nameLength, 0u);
    for (int i = 0; i < LAUNCHER_FUNCTION_COUNT; ++i) {
        const KeywordRecord& record = LauncherKeywordTable[i];
        EXPECT_EQ(record.id, uint32_t(i));
        EXPECT_EQ(record.nameLength, std::string(record.name).size());
    }
    struct Case { int id; const char* name; uint32_t type; uint64_t signature; uint32_t arity; };
    const Case cases[] = {
        {0, "reload", KT_FUNCTION, 0x11111, 0},   {2, "callext", KT_FUNCTION, 0x11111, 2},
        {20, "boxdrawtext", KT_FUNCTION, 0x11111, 5}, {28, "intcontrol", KT_FUNCTION, 0x11111, 5},
        {29, "breakpoint", KT_STATEMENT, 0, 0},   {35, "extractattachedfile", KT_FUNCTION, 0x11111, 2},
        {36, "cout", KT_COMMAND, 0x11111, 1},     {37, "cin", KT_COMMAND, 0x11111, 1},
    };
    for (const Case& c : cases) {
        const KeywordRecord& record = LauncherKeywordTable[c.id];
        EXPECT_STREQ(record.name, c.name);
        EXPECT_EQ(record.type, c.type) << c.name;
        EXPECT_EQ(record.signature, c.signature) << c.name;
        EXPECT_EQ(record.arity, c.arity) << c.name;
    }
}

TEST(LauncherServiceQueue, HoldsSixteenControlsInOrderAndDropsTheSeventeenth)
{
    uint32_t queue[SERVICE_QUEUE_SIZE] = {};
    int queued = 0;
    for (uint32_t code = 1; code <= SERVICE_QUEUE_SIZE; ++code)
        EXPECT_TRUE(EnqueueServiceControl(queue, &queued, code));
    EXPECT_FALSE(EnqueueServiceControl(queue, &queued, 99));
    EXPECT_EQ(queued, SERVICE_QUEUE_SIZE);
    for (uint32_t code = 1; code <= SERVICE_QUEUE_SIZE; ++code)
        EXPECT_EQ(TakeServiceControl(queue, &queued), code);
    EXPECT_EQ(TakeServiceControl(queue, &queued), 0u);
    EXPECT_EQ(queued, 0);
}

TEST(LauncherTrayIcon, GoesWithTheMainWindow)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    g_launcher.instance = instance;
    g_os.hasTray = true;
    ASSERT_TRUE(RegisterLauncherClass(instance, "KvTrayTestMain", MainWndProc));
    HWND window = CreateWindowExA(0, "KvTrayTestMain", "tray test", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, instance, nullptr);
    ASSERT_NE(window, nullptr);
    g_launcher.mainWindow = window;
    ASSERT_NE(TrayIconRequest(window, 1, 0, "tip", L"0"), 0);
    EXPECT_TRUE(TrayIconShown());
    EXPECT_EQ(TrayIconRequest(window, 1, 0, "tip", L"0"), 0);      // one icon at a time
    DestroyWindow(window);
    EXPECT_FALSE(TrayIconShown());
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);     // the main window's end posts it
    UnregisterClassA("KvTrayTestMain", instance);
    g_launcher.mainWindow = nullptr;
}

extern "C" int32_t Parent_ProcessCommand2(HWND window, HINSTANCE, uint32_t, int32_t code, void* answer,
                                          void* answerContext, void*, void* arguments, int32_t, void* scratch);

namespace {

int32_t KeepAnswer(int32_t status, uint64_t, void* context, HostArg* record)
{
    *static_cast<HostArg*>(context) = *record;
    return status;
}

}  // namespace

// The launcher's functions read ANSI text. The engine gives them that (every argument is
// declared as text), with the wide form beside it where the value had one; a record that
// carries its text in the wide form alone is read too, not taken for an empty text.
TEST(LauncherFunctions, ReadTheTextOfEveryFormOfRecord)
{
    int kept = g_launcher.exitCode;
    g_launcher.exitCode = 3;
    HostArg args[16] = {};
    args[0].flags = ANSWER_WIDE;                // wide text alone
    args[0].wide = L"1000";
    args[1].flags = ANSWER_WIDE | ANSWER_TEXT;  // both forms: the ANSI one counts
    args[1].text = "7";
    args[1].wide = L"8";
    HostArg scratch{}, answered{};
    Parent_ProcessCommand2(nullptr, nullptr, HOST_CALL_INTERFACE_WORD, HF_INTCONTROL,
                           reinterpret_cast<void*>(&KeepAnswer), &answered, nullptr, args, 2, &scratch);
    EXPECT_EQ(answered.flags, ANSWER_INT);
    EXPECT_EQ(answered.integer, 3);             // the previous exit code
    EXPECT_EQ(g_launcher.exitCode, 7);

    args[1] = HostArg{};
    args[1].flags = ANSWER_WIDE;
    args[1].wide = L"12";
    Parent_ProcessCommand2(nullptr, nullptr, HOST_CALL_INTERFACE_WORD, HF_INTCONTROL,
                           reinterpret_cast<void*>(&KeepAnswer), &answered, nullptr, args, 2, &scratch);
    EXPECT_EQ(g_launcher.exitCode, 12);
    g_launcher.exitCode = kept;
}
