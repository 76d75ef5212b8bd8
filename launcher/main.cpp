// Entry of the launcher program: OS flags, CONFIGDATA and the service-mode switch.
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
    g_os.isXP = g_os.isNT && (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion > 0));
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

bool HasServiceExtension(const wchar_t* path)
{
    const wchar_t* dot = std::wcsrchr(path, L'.');
    return dot && lstrcmpiW(dot, L".EXS") == 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand)
{
    ReadOsFlags();
    // The wide path: its ANSI form turns letters outside the code page into "?", and a
    // program in such a folder could then never open its own file.
    ReadProgramPath();
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
    return RunServiceMode(instance, showCommand);
}
