// The launcher's process-wide records.
#include "launcher/launcher.h"

OsFlags g_os;
ConfigSwitches g_config;
LauncherState g_launcher;
EngineBinding g_binding;
