// The system's own functions for the table of machine-changing calls.
#include "engine/system/system_entries.h"

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
}
