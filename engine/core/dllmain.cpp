// Entry point of the engine library: it only records the module handle.
#include "engine/core/module.h"

static HINSTANCE g_engineModule;

HINSTANCE EngineModule()
{
    return g_engineModule ? g_engineModule : GetModuleHandleA(nullptr);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_engineModule = instance;
    return TRUE;
}
