// The system's own functions for the table of machine-changing calls.
#include "engine/system/system_entries.h"

#include "engine/core/context.h"
#include "engine/system/privilege.h"

namespace {

template <typename Fn>
Fn Resolve(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

void FillSystemEntries(SystemEntries* entries)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    entries->SetComputerNameExW = Resolve<PfnSetComputerNameExW>(kernel, "SetComputerNameExW");
    entries->SetComputerNameExA = Resolve<PfnSetComputerNameExA>(kernel, "SetComputerNameExA");
    entries->SetComputerNameW = Resolve<PfnSetComputerNameW>(kernel, "SetComputerNameW");
    entries->SetComputerNameA = Resolve<PfnSetComputerNameA>(kernel, "SetComputerNameA");
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    if (!advapi)
        advapi = LoadLibraryA("ADVAPI32.DLL");   // stays loaded with the process
    entries->CreateProcessWithLogonW = Resolve<PfnCreateProcessWithLogonW>(advapi, "CreateProcessWithLogonW");
    entries->CreateProcessAsUserW = Resolve<PfnCreateProcessAsUserW>(advapi, "CreateProcessAsUserW");
    entries->SetSystemPowerState = Resolve<PfnSetSystemPowerState>(kernel, "SetSystemPowerState");
    entries->EnablePrivilege = ::EnablePrivilege;
    entries->ExitWindowsEx = ::ExitWindowsEx;
    entries->SetLocalTime = ::SetLocalTime;
    entries->SystemParametersInfoA = ::SystemParametersInfoA;
    entries->SendMessageTimeoutA = ::SendMessageTimeoutA;
    entries->SendMessageA = ::SendMessageA;
    entries->SendMessageW = ::SendMessageW;
    entries->PostMessageA = ::PostMessageA;
    entries->MoveFileExW = ::MoveFileExW;
}

bool SystemEnablePrivilege(BDS* ctx, const char* name)
{
    PfnEnablePrivilege enable = ctx->eng.system.EnablePrivilege;
    return enable && enable(ctx, name);
}

BOOL SystemPostMessageA(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PfnPostMessageA post = window == HWND_BROADCAST ? ctx->eng.system.PostMessageA : ::PostMessageA;
    return post ? post(window, message, wParam, lParam) : FALSE;
}

LRESULT SystemSendMessageA(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PfnSendMessageA send = window == HWND_BROADCAST ? ctx->eng.system.SendMessageA : ::SendMessageA;
    return send ? send(window, message, wParam, lParam) : 0;
}

LRESULT SystemSendMessageW(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PfnSendMessageW send = window == HWND_BROADCAST ? ctx->eng.system.SendMessageW : ::SendMessageW;
    return send ? send(window, message, wParam, lParam) : 0;
}

LRESULT SystemSendMessageTimeoutA(BDS* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT flags, UINT timeout, PDWORD_PTR answer)
{
    PfnSendMessageTimeoutA send =
        window == HWND_BROADCAST ? ctx->eng.system.SendMessageTimeoutA : ::SendMessageTimeoutA;
    if (answer)
        *answer = 0;
    return send ? send(window, message, wParam, lParam, flags, timeout, answer) : 0;
}
