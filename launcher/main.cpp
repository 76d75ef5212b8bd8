// Entry of the launcher program: OS flags, CONFIGDATA, the service-mode switch, the command
// line and the run of the main window.
#include "launcher/launcher.h"

#include <cstring>
#include <cwchar>

namespace {

void ReadOsFlags()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    g_os.is9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    g_os.isNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    g_os.hasTray = g_os.is9x || (g_os.isNT && version.dwMajorVersion > 3);
    g_os.isNT5 = g_os.isNT && version.dwMajorVersion > 4;
    g_os.isVista = g_os.isNT && version.dwMajorVersion > 5;
}

void ReadConfigSwitches()
{
    uint8_t data[CONFIG_DATA_SIZE] = {};
    if (!ReadConfigData(g_launcher.programPath, data, sizeof(data)))
        return;
    g_config.hideWindow = data[0] != 0;
    g_config.besideOnRemovable = data[1] != 0;
    g_config.firstFileOnly = data[2] != 0;
    std::memcpy(g_config.text, data + 32, 256);
    g_config.text[256] = 0;
}

bool HasServiceExtension(const char* path)
{
    const char* dot = std::strrchr(path, '.');
    return dot && lstrcmpiA(dot, ".EXS") == 0;
}

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

    const char* name = g_launcher.programPath + ProgramDirectory().size();
    lstrcpynA(g_launcher.programName, name, sizeof(g_launcher.programName));

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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand)
{
    ReadOsFlags();
    GetModuleFileNameA(nullptr, g_launcher.programPath, PROGRAM_PATH_MAX + 1);
    g_launcher.programPath[PROGRAM_PATH_MAX] = 0;
    ReadConfigSwitches();

    if (g_os.isNT) {
        g_launcher.serviceMode = HasServiceExtension(g_launcher.programPath);
        if (!g_os.isVista) {
            ULONG lowFragmentation = 2;
            HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &lowFragmentation,
                               sizeof(lowFragmentation));
        }
    }
    g_launcher.serviceName[0] = 0;
    if (!g_launcher.serviceMode)
        return RunLauncher(instance, previous, nullptr, showCommand);
    return RunServiceMode(instance);
}
