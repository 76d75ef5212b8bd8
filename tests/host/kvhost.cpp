// The test host: binds the engine library by ordinal as the launcher does, sets an engine
// instance up with memory it owns, runs a script file through it and prints what the
// script sends to the host. Usage: see Usage() below.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/host/activation_watch.h"
#include "tests/host/engine_host.h"
#include "tests/host/host_call.h"
#include "tests/host/settings_root.h"

using namespace kvhost;

namespace {

// Exit codes.
enum : int {
    EXIT_RUN_OK = 0,        // the run ended normally (init: every operation answered)
    EXIT_RUN_STOPPED = 1,   // the run was stopped (an error, a cancel)
    EXIT_NOT_RUN = 2,       // ProcessViRuvBuffer answered 0: the script was not run
    EXIT_USAGE = 3,         // bad command line or unreadable script file
    EXIT_ENGINE = 4,        // the engine could not be loaded or set up
    EXIT_DESKTOP = 6,       // the run activated a window without the desktop lock
    EXIT_MISSING = 77,      // an export this mode needs is missing (tests count it as skipped)
};

void Usage()
{
    fputs("usage: kvhost init [options]\n"
          "       kvhost run [options] <script> [parameters...]\n"
          "options:\n"
          "  --dll <file>           load this engine file instead of KVDYC64I.DLL\n"
          "  --interface <word>     interface word of operation 0 (default 0x300A1305)\n"
          "  --maxvars <n>          variable table capacity (default 2000)\n"
          "  --string-space <n>     committed string space in bytes (default 65500)\n"
          "  --reserve <n>          reserved string space in bytes (default 0x1F400000)\n"
          "  --boxes                run: leave quiet mode off, so boxes are shown\n"
          "  --quiet-log <file>     run: the quiet-mode log file\n"
          "  --hooks <bits>         run: also switch these host hooks on and print them\n"
          "  --pid-file <file>      write this process's id there first\n"
          "  --show-end             run: print END result=<r> lasterror=<n> at the end, and\n"
          "                         STOPPED once the engine instance is torn down\n"
          "  --settings-root <dir>  give the engine a private settings folder: <dir> stands in\n"
          "                         for the user's application-data folder, so its settings\n"
          "                         file is <dir>\\Kelvoran\\Settings\\TRIMVALE.INI\n"
          "  --desktop <name>       run on this desktop (made when missing), apart from the\n"
          "                         windows of the shared one\n",
          stderr);
}

struct Options {
    std::string mode;
    std::wstring dll;
    SessionOptions session;
    bool boxes = false;
    std::wstring quietLog;
    uint32_t hooks = 0;
    std::wstring pidFile;
    bool showEnd = false;
    std::wstring settingsRoot;
    std::wstring desktop;
    std::wstring script;
    std::vector<std::wstring> params;
};

bool ParseNumber(const std::wstring& text, uint64_t& out)
{
    wchar_t* end = nullptr;
    out = wcstoull(text.c_str(), &end, 0);
    return !text.empty() && end && *end == 0;
}

bool ParseArgs(int argc, wchar_t** argv, Options& o)
{
    if (argc < 2)
        return false;
    o.mode = WideToUtf8(argv[1]);
    if (o.mode != "init" && o.mode != "run")
        return false;
    int i = 2;
    for (; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a.rfind(L"--", 0) != 0)
            break;
        auto value = [&](std::wstring& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::wstring v;
        uint64_t n = 0;
        if (a == L"--dll") {
            if (!value(o.dll)) return false;
        } else if (a == L"--interface") {
            if (!value(v) || !ParseNumber(v, n)) return false;
            o.session.interfaceWord = static_cast<uint32_t>(n);
        } else if (a == L"--maxvars") {
            if (!value(v) || !ParseNumber(v, n)) return false;
            o.session.maxVars = static_cast<uint32_t>(n);
        } else if (a == L"--string-space") {
            if (!value(v) || !ParseNumber(v, n)) return false;
            o.session.stringSpace = n;
        } else if (a == L"--reserve") {
            if (!value(v) || !ParseNumber(v, n)) return false;
            o.session.reserve = n;
        } else if (a == L"--boxes") {
            o.boxes = true;
        } else if (a == L"--quiet-log") {
            if (!value(o.quietLog)) return false;
        } else if (a == L"--hooks") {
            if (!value(v) || !ParseNumber(v, n)) return false;
            o.hooks = static_cast<uint32_t>(n);
        } else if (a == L"--pid-file") {
            if (!value(o.pidFile)) return false;
        } else if (a == L"--show-end") {
            o.showEnd = true;
        } else if (a == L"--settings-root") {
            if (!value(o.settingsRoot) || o.settingsRoot.empty()) return false;
        } else if (a == L"--desktop") {
            if (!value(o.desktop) || o.desktop.empty()) return false;
        } else if (a == L"--") {
            ++i;
            break;
        } else {
            fprintf(stderr, "kvhost: unknown option %s\n", WideToUtf8(a.c_str()).c_str());
            return false;
        }
    }
    if (o.mode == "run") {
        if (i >= argc)
            return false;
        o.script = argv[i++];
        for (; i < argc; ++i)
            o.params.push_back(argv[i]);
    } else if (i < argc) {
        return false;
    }
    return true;
}

std::string ToAnsi(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

// The parameter line as a command line carries it: blank-separated, quoted where needed.
std::wstring ParameterLine(const std::vector<std::wstring>& params)
{
    std::wstring line;
    for (const auto& p : params) {
        if (!line.empty())
            line += L' ';
        if (p.empty() || p.find_first_of(L" \t") != std::wstring::npos)
            line += L'"' + p + L'"';
        else
            line += p;
    }
    return line;
}

HWND CreateHostWindow(HINSTANCE instance, const std::wstring& name)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"KvHostWindow";
    RegisterClassW(&wc);
    std::wstring title = L"KVT - " + name;
    return CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 400, 200, nullptr, nullptr, instance, nullptr);
}

void WritePidFile(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    std::string text = std::to_string(GetCurrentProcessId()) + "\n";
    DWORD written;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

// The whole file in a movable block with two terminating zero bytes (the engine may grow it).
HGLOBAL ReadScript(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER size{};
    HGLOBAL block = nullptr;
    if (GetFileSizeEx(f, &size) && size.QuadPart < 0x40000000) {
        DWORD length = static_cast<DWORD>(size.QuadPart);
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 2);
        char* p = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
        DWORD got = 0;
        bool ok = p && (length == 0 || (ReadFile(f, p, length, &got, nullptr) && got == length));
        if (p)
            GlobalUnlock(block);
        if (!ok && block) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    CloseHandle(f);
    return block;
}

const char* StepText(int step)
{
    switch (step) {
    case 33: return "DoDuRavInit is missing";
    case 35: return "operation 0 answered 0";
    case 36: return "the context block could not be allocated";
    case 37: return "operation 1 answered 0";
    case 38: return "the variable table could not be allocated";
    case 39: return "operation 2 answered 0";
    case 40: case 41: return "no address range could be reserved for the string space";
    case 42: return "the string space could not be committed";
    case 43: return "operation 3 answered 0";
    default: return "unknown step";
    }
}

bool LoadEngine(const Options& o, EngineLibrary& library)
{
    if (library.Load(o.dll.empty() ? nullptr : o.dll.c_str()))
        return true;
    fprintf(stderr, "kvhost: the engine library %s could not be loaded (error %lu)\n",
            o.dll.empty() ? "KVDYC64I.DLL" : WideToUtf8(o.dll.c_str()).c_str(), library.LoadError());
    return false;
}

void ReportMissing(const EngineLibrary& library, FILE* to)
{
    for (int i = 0; i < kLauncherExportCount; ++i)
        if (!library.Bound(i))
            fprintf(to, "kvhost: export %d (%s) is missing\n", kLauncherExports[i].ordinal,
                    kLauncherExports[i].name);
}

// ---------------------------------------------------------------- init

int RunInit(const Options& o, HINSTANCE instance)
{
    EngineLibrary library;
    if (!LoadEngine(o, library))
        return EXIT_ENGINE;
    for (int i = 0; i < kLauncherExportCount; ++i)
        WriteLine("BIND " + std::to_string(kLauncherExports[i].ordinal) + " " + kLauncherExports[i].name +
                  (library.Bound(i) ? " present" : " missing"));
    if (!library.DoDuRavInit()) {
        ReportMissing(library, stderr);
        return EXIT_MISSING;
    }
    HWND window = CreateHostWindow(instance, L"kvhost");
    EngineSession session(library, window, instance);
    int step = session.Start(o.session);
    WriteLine("OP 0 " + std::to_string(session.answer0));
    if (step == -1 || step > 36)
        WriteLine("OP 1 " + std::to_string(session.answer1));
    if (step == -1 || step > 38)
        WriteLine("OP 2 " + std::to_string(session.answer2));
    if (step == -1 || step == 43)
        WriteLine("OP 3 " + std::to_string(session.answer3));
    if (step != -1) {
        fprintf(stderr, "kvhost: set-up failed at step %d: %s\n", step, StepText(step));
        DestroyWindow(window);
        return EXIT_ENGINE;
    }
    uint32_t answer99 = session.Stop(reinterpret_cast<void*>(&HostCallback));
    WriteLine("OP 99 " + std::to_string(answer99));
    DestroyWindow(window);
    return answer99 ? EXIT_RUN_OK : EXIT_ENGINE;
}

// ---------------------------------------------------------------- run

int RunScript(const Options& o, HINSTANCE instance)
{
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(o.script.c_str(), MAX_PATH * 4, full, nullptr);
    std::wstring path = n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : o.script;
    HGLOBAL script = ReadScript(path);
    if (!script) {
        fprintf(stderr, "kvhost: cannot read the script %s\n", WideToUtf8(path.c_str()).c_str());
        return EXIT_USAGE;
    }

    EngineLibrary library;
    if (!LoadEngine(o, library)) {
        GlobalFree(script);
        return EXIT_ENGINE;
    }
    auto process = library.ProcessViRuvBuffer();
    auto services = library.DLLServices();
    if (!library.DoDuRavInit() || !process || !services) {
        ReportMissing(library, stderr);
        fputs("kvhost: run needs exports 23, 24 and 30\n", stderr);
        GlobalFree(script);
        return EXIT_MISSING;
    }

    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    HWND window = CreateHostWindow(instance, name);
    EngineSession session(library, window, instance);
    int step = session.Start(o.session);
    if (step != -1) {
        fprintf(stderr, "kvhost: set-up failed at step %d: %s\n", step, StepText(step));
        GlobalFree(script);
        DestroyWindow(window);
        return EXIT_ENGINE;
    }
    HGLOBAL ctx = session.Context();
    services(ctx, 0, "Kelvoran 64 2025C", "kvhost test host", 0, 0);
    if (!o.boxes) {
        std::string log = ToAnsi(o.quietLog);
        services(ctx, 23, log.c_str(), nullptr, 1, 0);
    }
    services(ctx, 60, nullptr, nullptr, 32 | o.hooks, 1);
    SetHookEcho(o.hooks != 0);
    std::wstring params = ParameterLine(o.params);
    services(ctx, 11, nullptr, params.c_str(), 0, 0);
    std::string ansiPath = ToAnsi(path);
    services(ctx, 40, ansiPath.c_str(), nullptr, 0, 0);

    uint32_t ran = process(window, ctx, script, reinterpret_cast<void*>(&HostCallback), HostKeywordTable());
    uint64_t result = services(ctx, 5, nullptr, nullptr, 0, 0);
    uint64_t lastError = services(ctx, 4, nullptr, nullptr, 0, 0);
    if (o.showEnd)
        WriteLine("END result=" + std::to_string(result) + " lasterror=" + std::to_string(lastError));

    session.Stop(reinterpret_cast<void*>(&HostCallback));
    if (o.showEnd)
        WriteLine("STOPPED");
    GlobalFree(script);
    DestroyWindow(window);
    if (!ran)
        return EXIT_NOT_RUN;
    return result ? EXIT_RUN_OK : EXIT_RUN_STOPPED;
}

// Puts this thread on the named desktop, made when it does not exist yet.
bool MoveToDesktop(const std::wstring& name)
{
    HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop && SetThreadDesktop(desktop);
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options o;
    if (!argv || !ParseArgs(argc, argv, o)) {
        Usage();
        return EXIT_USAGE;
    }
    if (!o.pidFile.empty())
        WritePidFile(o.pidFile);
    // The thread moves before it owns a window: a desktop takes only a thread without one.
    if (!o.desktop.empty() && !MoveToDesktop(o.desktop)) {
        fprintf(stderr, "kvhost: --desktop %s: error %lu\n", WideToUtf8(o.desktop.c_str()).c_str(), GetLastError());
        LocalFree(argv);
        return EXIT_USAGE;
    }
    // The user's registry root is redirected before the engine is loaded, so nothing the
    // engine reads through it, the settings folder first of all, comes from the shared one.
    PrivateSettings settings;
    if (!o.settingsRoot.empty() && !settings.Redirect(o.settingsRoot, false)) {
        fprintf(stderr, "kvhost: --settings-root %s: %s\n", WideToUtf8(o.settingsRoot.c_str()).c_str(),
                settings.Error().c_str());
        LocalFree(argv);
        return EXIT_USAGE;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // A run that activates a window takes the foreground and the keyboard of the one desktop
    // that the tests share. ctest gives the desktop to one such test at a time and tells the
    // others so through KVTEST_DESKTOP=0: a run of theirs that activates a window fails.
    const char* desktop = std::getenv("KVTEST_DESKTOP");
    bool guarded = desktop && desktop[0] == '0';
    std::optional<ActivationWatch> watch;
    if (guarded)
        watch.emplace();
    int code = o.mode == "init" ? RunInit(o, instance) : RunScript(o, instance);
    LocalFree(argv);
    if (watch && !watch->First().empty()) {
        fprintf(stderr, "kvhost: the run activated the window %s without the desktop lock "
                        "(a script test that shows windows needs a companion .py)\n",
                watch->First().c_str());
        return EXIT_DESKTOP;
    }
    return code;
}
