// Switching on one privilege of the token the engine runs under.
#include "engine/system/privilege.h"

#include <windows.h>

#include "engine/core/context.h"
#include "engine/core/errors.h"

bool EnablePrivilege(BDS* ctx, const char* name)
{
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!name || !LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid))
        return false;

    HANDLE token = nullptr;
    if (ctx->services.hLogonToken) {
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, TRUE, &token)) {
            StoreLastError(ctx, GetLastError(), "OpenThreadToken", true);
            return false;
        }
    } else if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        StoreLastError(ctx, GetLastError(), "OpenProcessToken", true);
        return false;
    }
    // AdjustTokenPrivileges succeeds even when the token lacks the privilege; only the last
    // error then tells that nothing was enabled.
    bool ok = AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
    if (!ok)
        StoreLastError(ctx, GetLastError(), "AdjustTokenPrivileges", true);
    CloseHandle(token);
    return ok;
}
