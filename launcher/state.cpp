// The launcher's process-wide records and what is read from them.
#include "launcher/launcher.h"

OsFlags g_os;
ConfigSwitches g_config;
LauncherState g_launcher;
EngineBinding g_binding;

std::string ProgramDirectory()
{
    std::string path = g_launcher.programPath;
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}
