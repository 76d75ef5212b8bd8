// Opening a web page. A plain form: the shell opens the address by its association; the
// registry look-up of the browser and the internet-shortcut fallback come with the boxes.
#include "engine/ui/web_page.h"

#include <shellapi.h>

#include "engine/core/context.h"

int FindBrowserCommand(char* command, int size)
{
    if (!command || size <= 0)
        return 0;
    command[0] = 0;   // empty: the shell's own association opens the page
    return 1;
}

int OpenUrlInBrowser(BDS* ctx, const char* command, const char* url)
{
    if (!url || !*url)
        return 0;
    HWND owner = ctx ? ctx->hwndOwner : nullptr;
    if (reinterpret_cast<INT_PTR>(ShellExecuteA(owner, nullptr, url, nullptr, nullptr, SW_SHOW)) > 32)
        return 1;
    if (command && *command &&
        reinterpret_cast<INT_PTR>(ShellExecuteA(owner, nullptr, command, url, nullptr, SW_SHOW)) > 32)
        return 1;
    return 0;
}
