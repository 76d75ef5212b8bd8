// A run of the launcher from its command line: the parameter line (with the service's
// arguments in service mode), the main window class, the run of the main window and, when
// the script armed it, the shutdown waiter.
#include "launcher/launcher.h"

#include <cwchar>

namespace {

// The parameter line: the command tail after an optional parent prefix, then in service
// mode the service's own arguments after one blank.
void SetParameterLine(const wchar_t* params, const char* serviceArguments)
{
    CopyParamLine(g_launcher.paramLine, PARAM_LINE_MAX, params);
    if (!serviceArguments || !*serviceArguments)
        return;
    size_t used = wcslen(g_launcher.paramLine);
    if (used > 0 && used < PARAM_LINE_MAX)
        g_launcher.paramLine[used++] = L' ';
    int room = int(PARAM_LINE_MAX - used);
    if (room <= 0)
        return;
    int n = MultiByteToWideChar(CP_ACP, 0, serviceArguments, -1, g_launcher.paramLine + used, room + 1);
    if (n == 0)   // too long for the room left: take what fits
        MultiByteToWideChar(CP_ACP, 0, serviceArguments, room, g_launcher.paramLine + used, room);
    g_launcher.paramLine[PARAM_LINE_MAX] = 0;
}

}  // namespace

int RunLauncher(HINSTANCE instance, HINSTANCE previous, const char* serviceArguments, int showCommand)
{
    g_launcher.instance = instance;

    // The command line as UTF-16 (on the 9x family through the ANSI form).
    const wchar_t* line = nullptr;
    HGLOBAL converted = nullptr;
    if (g_os.isNT) {
        line = GetCommandLineW();
    } else {
        const char* ansi = GetCommandLineA();
        int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
        converted = n > 0 ? GlobalAlloc(GMEM_MOVEABLE, size_t(n) * sizeof(wchar_t)) : nullptr;
        auto* wide = converted ? static_cast<wchar_t*>(GlobalLock(converted)) : nullptr;
        if (!wide) {
            if (converted)
                GlobalFree(converted);
            return EXIT_CMDLINE_MEMORY;
        }
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, n);
        line = wide;
    }
    const wchar_t* tail = SkipProgramName(line);
    g_launcher.commandTail = const_cast<wchar_t*>(tail);
    CommandTail parsed = ParseCommandTail(tail);
    g_launcher.hasParent = parsed.hasParent;
    g_launcher.parentWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(parsed.parent));
    SetParameterLine(parsed.params, serviceArguments);

    std::string name = LossyAnsi(g_launcher.programPath + ProgramDirectory().size());
    lstrcpynA(g_launcher.programName, name.c_str(), sizeof(g_launcher.programName));

    if (!previous && !RegisterLauncherClass(instance, MAIN_CLASS, MainWndProc))
        return EXIT_MAIN_CLASS;

    // The 9x conversion block stays alive for IntControl 1006 until the process ends.
    bool failed = false;
    int code = RunMessageLoop(instance, showCommand, &failed);
    if (failed || !g_launcher.waiterArmed)
        return code;
    int waited = RunShutdownWaiter(instance);
    return waited;
}
