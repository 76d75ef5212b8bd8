// The functions the launcher supplies to scripts: its keyword table and the command callback
// Parent_ProcessCommand2, which serves them and answers through the engine's answer function.
#include "launcher/launcher.h"

#include <cstring>

namespace {

// ---------------------------------------------------------------- keyword table

constexpr uint64_t FIVE_TEXTS = 0x11111;   // up to five arguments, each as ANSI text

template <size_t N>
constexpr KeywordRecord Function(uint32_t id, const char (&name)[N], uint32_t arguments, uint32_t type = KT_FUNCTION)
{
    static_assert(N <= 34, "keyword names hold at most 33 characters");
    KeywordRecord record{};
    record.id = id;
    record.type = type;
    record.signature = type == KT_STATEMENT ? 0 : FIVE_TEXTS;
    record.arity = arguments;              // exact count: no optional arguments
    uint16_t length = 0;
    while (name[length])
        ++length;
    record.nameLength = length;
    for (size_t i = 0; i < N; ++i)
        record.name[i] = name[i];
    return record;
}

}  // namespace

const KeywordRecord LauncherKeywordTable[LAUNCHER_FUNCTION_COUNT + 1] = {
    Function(HF_RELOAD, "reload", 0),
    Function(HF_VERSION, "version", 0),
    Function(HF_CALLEXT, "callext", 2),
    Function(HF_RTSTATUS, "rtstatus", 0),
    Function(HF_BOXOPEN, "boxopen", 2),
    Function(HF_BOXSHUT, "boxshut", 0),
    Function(HF_BOXTITLE, "boxtitle", 1),
    Function(HF_BOXTEXT, "boxtext", 1),
    Function(HF_BOXBUTTONDRAW, "boxbuttondraw", 4),
    Function(HF_BOXBUTTONKILL, "boxbuttonkill", 2),
    Function(HF_BOXBUTTONSTAT, "boxbuttonstat", 2),
    Function(HF_BOXBUTTONWAIT, "boxbuttonwait", 0),
    Function(HF_BOXCAPTION, "boxcaption", 2),
    Function(HF_BOXCOLOR, "boxcolor", 3),
    Function(HF_BOXDATACLEAR, "boxdataclear", 2),
    Function(HF_BOXDATATAG, "boxdatatag", 2),
    Function(HF_BOXDESTROY, "boxdestroy", 1),
    Function(HF_BOXDRAWCIRCLE, "boxdrawcircle", 3),
    Function(HF_BOXDRAWLINE, "boxdrawline", 2),
    Function(HF_BOXDRAWRECT, "boxdrawrect", 3),
    Function(HF_BOXDRAWTEXT, "boxdrawtext", 5),
    Function(HF_BOXMAPMODE, "boxmapmode", 2),
    Function(HF_BOXNEW, "boxnew", 3),
    Function(HF_BOXPEN, "boxpen", 3),
    Function(HF_BOXTEXTCOLOR, "boxtextcolor", 2),
    Function(HF_BOXTEXTFONT, "boxtextfont", 5),
    Function(HF_BOXUPDATES, "boxupdates", 2),
    Function(HF_BOXESUP, "boxesup", 2),
    Function(HF_INTCONTROL, "intcontrol", 5),
    Function(HF_BREAKPOINT, "breakpoint", 0, KT_STATEMENT),
    Function(HF_SVCSETACCEPT, "svcsetaccept", 1),
    Function(HF_SVCSETSTATE, "svcsetstate", 1),
    Function(HF_SVCWAITFORCMD, "svcwaitforcmd", 1),
    Function(HF_BOXBITMAP, "boxbitmap", 4),
    Function(HF_DIRSCRIPT, "dirscript", 0),
    Function(HF_EXTRACTATTACHEDFILE, "extractattachedfile", 2),
    Function(HF_COUT, "cout", 1, KT_COMMAND),
    Function(HF_CIN, "cin", 1, KT_COMMAND),
    KeywordRecord{9999, 0, 0, 0, 0, {}},
};

namespace {

// ---------------------------------------------------------------- answering

using PfnAnswer = int32_t (*)(int32_t status, uint64_t word, void* context, HostArg* record);

// Error classes of answered errors.
enum : int32_t { CLASS_MINOR = -1, CLASS_MODERATE = -2, CLASS_SEVERE = -3 };

// A call as the callback received it.
struct HostCall {
    HWND window;
    PfnAnswer answer;
    void* context;
    HostArg* record;
    const char* text[5];
    const wchar_t* wide[5];     // null where the record carries no wide text
    std::string narrowed[5];    // the ANSI form of arguments that came as wide text alone

    int32_t Answer(int32_t status)
    {
        return answer ? answer(status, HOST_CALL_INTERFACE_WORD, context, record) : status;
    }
    int32_t Int(int32_t value)
    {
        *record = HostArg{};
        record->integer = value;
        record->flags = ANSWER_INT;
        return Answer(0);
    }
    int32_t Text(const char* value)
    {
        *record = HostArg{};
        record->text = value;
        record->flags = ANSWER_TEXT;
        return Answer(0);
    }
    int32_t Wide(const wchar_t* value)
    {
        *record = HostArg{};
        record->wide = value;
        record->flags = ANSWER_WIDE;
        return Answer(0);
    }
    int32_t Error(int messageId, int32_t errorClass)
    {
        static char message[258];
        LoadLangString(g_launcher.instance, messageId, message, 257, false);
        *record = HostArg{};
        record->text = message;
        record->flags = ANSWER_TEXT;
        return Answer(errorClass);
    }
    // A path for the script: the ANSI text where it says the path exactly (as plain
    // folders always gave it), else the wide text, never one with "?" in place of letters.
    int32_t Path(const std::wstring& value)
    {
        static std::string ansi;
        static std::wstring kept;
        if (ExactAnsi(value, ansi))
            return Text(ansi.c_str());
        kept = value;
        return Wide(kept.c_str());
    }
    int Number(int argument) const { return StringToInt(text[argument]); }
    // An argument that names a file: its wide text when the engine handed one (a folder
    // named outside the ANSI code page), else its ANSI text widened.
    std::wstring PathArgument(int argument) const
    {
        return wide[argument] ? std::wstring(wide[argument]) : WidenAnsi(text[argument]);
    }
};

// The ANSI text of an argument record. The engine hands the launcher's functions their
// arguments as ANSI text (each is declared so), with the value's wide form beside it when
// it had one; a record with wide text alone is converted here, into `kept`.
const char* ArgumentText(const HostArg* arg, std::string& kept)
{
    if (!arg)
        return "";
    if ((arg->flags & ANSWER_TEXT) && arg->text)
        return arg->text;
    if (!(arg->flags & ANSWER_WIDE) || !arg->wide)
        return arg->text ? arg->text : "";
    kept = LossyAnsi(arg->wide);
    return kept.c_str();
}

// ---------------------------------------------------------------- box functions

// A box function: drawing boxes replace the main-window text for the
// rest of the run; the function's error is answered as a minor error.
int32_t RunBox(HostCall& call, int code, const char* const text[5])
{
    g_launcher.textMode = false;
    int32_t result = 0;
    if (int error = RunBoxFunction(code, text, &result))
        return call.Error(error, CLASS_MINOR);
    return call.Int(result);
}

void ShowCallingWindow(HWND window)
{
    if (window && window != g_launcher.mainWindow)
        ShowWindow(window, SW_SHOW);
}

// boxopen after drawing boxes took over: box 1 placed and shown, its caption and its text.
int32_t BoxOpenOnBoxes(HostCall& call)
{
    const char* steps[3][5] = {
        {"300, 300, 700, 700", "2", "", "", ""},
        {"1", call.text[0], "", "", ""},
        {"1", "", call.text[1], "1", "0"},
    };
    const int codes[3] = {HF_BOXESUP, HF_BOXCAPTION, HF_BOXDRAWTEXT};
    bool all = true;
    for (int i = 0; i < 3; ++i) {
        int32_t result = 0;
        if (int error = RunBoxFunction(codes[i], steps[i], &result))
            return call.Error(error, CLASS_MINOR);
        all = all && (i == 0 || result != 0);
    }
    return call.Int(all ? 1 : 0);
}

int32_t BoxOpen(HostCall& call)
{
    if (!g_launcher.textMode)
        return BoxOpenOnBoxes(call);
    g_launcher.shownByBoxOpen = true;
    SetWindowTextA(g_launcher.mainWindow, call.text[0]);
    ShowMainWindowAs(SW_SHOWNORMAL);
    SetMainWindowText(call.text[1]);
    return call.Int(1);
}

int32_t BoxTitle(HostCall& call)
{
    if (!g_launcher.textMode) {
        const char* text[5] = {"1", call.text[0], "", "", ""};
        return RunBox(call, HF_BOXCAPTION, text);
    }
    SetWindowTextA(g_launcher.mainWindow, call.text[0]);
    return call.Int(1);
}

int32_t BoxText(HostCall& call)
{
    if (!g_launcher.textMode) {
        const char* text[5] = {"1", "", call.text[0], "1", "0"};
        return RunBox(call, HF_BOXDRAWTEXT, text);
    }
    SetMainWindowText(call.text[0]);
    return call.Int(1);
}

int32_t BoxShut(HostCall& call)
{
    if (!g_launcher.textMode) {
        const char* text[5] = {"1", "", "", "", ""};
        int32_t answer = RunBox(call, HF_BOXDESTROY, text);
        ShowCallingWindow(call.window);
        return answer;
    }
    g_launcher.shownByBoxOpen = false;
    ShowMainWindowAs(g_launcher.showState);
    ShowCallingWindow(call.window);
    return call.Int(1);
}

int32_t BoxDestroy(HostCall& call)
{
    int32_t answer = RunBox(call, HF_BOXDESTROY, call.text);
    if (StringToInt(call.text[0]) == 1)
        ShowCallingWindow(call.window);
    return answer;
}

int32_t BoxButtonWait(HostCall& call)
{
    while (PressedBoxButtons() == 0) {
        if (!PumpLauncherMessages())
            break;
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        if (!WaitWithMessages(500))
            break;
    }
    return call.Int(1);
}

// ---------------------------------------------------------------- other functions

int32_t DirScript(HostCall& call)
{
    return call.Path(ProgramDirectory());
}

int32_t ExtractAttachedFile(HostCall& call)
{
    const char* name = call.text[0];
    std::wstring target = call.PathArgument(1);
    if (name[0]) {
        if (target.empty())
            return call.Error(IDS_ERR_NEED_TARGET, CLASS_MINOR);
        if (!ExtractAttachedFiles(call.window, name, target.c_str(), nullptr, 0))
            return call.Error(IDS_ERR_EXTRACT, CLASS_MINOR);
        return call.Int(1);
    }
    int kind = call.Number(1);
    if (kind < 0 || kind > 2)
        return call.Error(IDS_ERR_EXTRACT_REQUEST, CLASS_MINOR);
    char* list = nullptr;
    if (!ExtractAttachedFiles(call.window, nullptr, nullptr, &list, kind) || !list)
        return call.Error(IDS_ERR_EXTRACT, CLASS_MINOR);
    int32_t result = call.Text(list);       // the engine copies the text before it returns
    LocalFree(list);
    return result;
}

int32_t IntControlRequest(HostCall& call);

}  // namespace

extern "C" __declspec(dllexport) int32_t Parent_ProcessCommand2(HWND window, HINSTANCE, uint32_t, int32_t code,
                                                                void* answer, void* answerContext, void*,
                                                                void* arguments, int32_t, void* scratch)
{
    // The code may arrive as a 16-bit value; negative codes are the engine's notifications.
    int16_t request = int16_t(uint32_t(code) & 0xFFFF);
    if (request < 0)
        return 1;

    HostArg local{};
    HostCall call{window, reinterpret_cast<PfnAnswer>(answer), answerContext,
                  scratch ? static_cast<HostArg*>(scratch) : &local, {}, {}, {}};
    // Records beyond the argument count arrive zeroed, so the first five can always be read.
    auto* args = static_cast<const HostArg*>(arguments);
    for (int i = 0; i < 5; ++i) {
        call.text[i] = ArgumentText(args ? &args[i] : nullptr, call.narrowed[i]);
        call.wide[i] = args && (args[i].flags & ANSWER_WIDE) ? args[i].wide : nullptr;
    }

    switch (request) {
    case HF_RELOAD:
        return call.Int(1);
    case HF_VERSION:
        return call.Text(VERSION_TEXT);
    case HF_CALLEXT:
        return call.Error(IDS_ERR_CALLEXT, CLASS_SEVERE);
    case HF_RTSTATUS:
        return call.Int(g_launcher.serviceMode ? 5 : 1);
    case HF_BOXOPEN:
        return BoxOpen(call);
    case HF_BOXSHUT:
        return BoxShut(call);
    case HF_BOXTITLE:
        return BoxTitle(call);
    case HF_BOXTEXT:
        return BoxText(call);
    case HF_BOXBUTTONWAIT:
        return BoxButtonWait(call);
    case HF_BOXDESTROY:
        return BoxDestroy(call);
    case HF_BOXBUTTONDRAW: case HF_BOXBUTTONKILL: case HF_BOXBUTTONSTAT: case HF_BOXCAPTION: case HF_BOXCOLOR:
    case HF_BOXDATACLEAR: case HF_BOXDATATAG: case HF_BOXDRAWCIRCLE: case HF_BOXDRAWLINE:
    case HF_BOXDRAWRECT: case HF_BOXDRAWTEXT: case HF_BOXMAPMODE: case HF_BOXNEW: case HF_BOXPEN:
    case HF_BOXTEXTCOLOR: case HF_BOXTEXTFONT: case HF_BOXUPDATES: case HF_BOXESUP: case HF_BOXBITMAP:
        return RunBox(call, request, call.text);
    case HF_INTCONTROL:
        return IntControlRequest(call);
    case HF_BREAKPOINT:
        return 0;
    case HF_SVCSETACCEPT:
        return call.Int(ServiceSetAccept(call.text[0]));
    case HF_SVCSETSTATE:
        return call.Int(ServiceSetState(call.text[0]));
    case HF_SVCWAITFORCMD:
        return call.Int(ServiceWaitForCommand(call.text[0]));
    case HF_DIRSCRIPT:
        return DirScript(call);
    case HF_EXTRACTATTACHEDFILE:
        return ExtractAttachedFile(call);
    case HF_COUT:
    case HF_CIN:
        return call.Int(0);
    default:
        return call.Error(IDS_ERR_UNKNOWN_REQUEST, CLASS_SEVERE);
    }
}

namespace {

// ---------------------------------------------------------------- IntControl 1000-1009

constexpr int32_t STOP_SCRIPT = -6;     // the engine stops the script without a box

int32_t KeepAtEndOfSession(HostCall& call, int on)
{
    if (on != 0 && on != 1)
        return call.Int(0);
    if (!g_os.is9x) {
        g_launcher.keepAtEndOfSession = on;
        return call.Int(1);
    }
    using PfnRegister = DWORD(WINAPI*)(DWORD, DWORD);
    auto fn = reinterpret_cast<PfnRegister>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "RegisterServiceProcess"));
    DWORD result = fn ? fn(0, DWORD(on)) : 0;
    if (result)
        g_launcher.keepAtEndOfSession = on;
    return call.Int(int32_t(result));
}

int32_t ServiceNameText(HostCall& call, int which)
{
    static char name[257];
    name[0] = 0;
    if (which == 0) {
        lstrcpynA(name, g_launcher.serviceName, sizeof(name));
    } else if (which == 1 && g_launcher.serviceName[0]) {
        if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)) {
            DWORD size = 256;
            if (!GetServiceDisplayNameA(manager, g_launcher.serviceName, name, &size))
                name[0] = 0;
            CloseServiceHandle(manager);
        }
    }
    return call.Text(name);
}

int32_t IntControlRequest(HostCall& call)
{
    int request = call.Number(0);
    int p1 = call.Number(1);
    switch (request) {
    case 1000: {
        int previous = g_launcher.exitCode;
        g_launcher.exitCode = p1;
        return call.Int(previous);
    }
    case 1001:
        return KeepAtEndOfSession(call, p1);
    case 1002: {
        int wasShown = g_launcher.showState != 0;
        if (p1 == 1) {
            g_launcher.showState = SW_SHOWMINNOACTIVE;
            ShowWindow(g_launcher.mainWindow, SW_SHOWMINNOACTIVE);
        } else if (p1 == 0) {
            g_launcher.showState = SW_HIDE;
            ShowWindow(g_launcher.mainWindow, SW_HIDE);
        }
        return call.Int(wasShown);
    }
    case 1003: {
        int previous = g_launcher.restoreAllowed;
        if (p1 == 0 || p1 == 1)
            g_launcher.restoreAllowed = p1;
        return call.Int(previous);
    }
    case 1004:
        return call.Path(g_launcher.programPath);
    case 1005:
        if (p1 == 1) {
            g_launcher.waiterArmed = true;
            return STOP_SCRIPT;
        }
        return call.Int(g_launcher.waiterArmed ? 1 : 0);
    case 1006:
        if (!g_launcher.commandTail)
            return call.Error(IDS_ERR_1006_MEMORY, CLASS_MINOR);
        return call.Wide(g_launcher.commandTail);
    case 1007:
        return call.Int(TrayIconRequest(call.window, p1, call.Number(2), call.text[3], call.PathArgument(4).c_str()));
    case 1008: {
        int previous = g_launcher.closeAllowed;
        if (p1 == 0 || p1 == 1) {
            g_launcher.closeAllowed = p1;
            EnableMenuItem(GetSystemMenu(g_launcher.mainWindow, FALSE), SC_CLOSE,
                           MF_BYCOMMAND | (p1 ? MF_ENABLED : MF_GRAYED));
        }
        return call.Int(previous);
    }
    case 1009:
        return ServiceNameText(call, p1);
    default:
        return call.Error(IDS_ERR_INTCONTROL, CLASS_MODERATE);
    }
}

}  // namespace
