// User input blocking around boxes and the boxes' event sounds. A plain form: input is
// blocked through the system's BlockInput when it exists, and the state kept per process.
#include "engine/system/input_block.h"

#include <mmsystem.h>

#include "engine/core/context.h"

namespace {

int g_inputAllowed = 1;   // the script has not blocked input

using PfnBlockInput = BOOL(WINAPI*)(BOOL);

PfnBlockInput BlockInputEntry()
{
    HMODULE user = GetModuleHandleA("USER32.DLL");
    return user ? reinterpret_cast<PfnBlockInput>(GetProcAddress(user, "BlockInput")) : nullptr;
}

}  // namespace

int SetInputBlocked(BDS*, int allow)
{
    int previous = g_inputAllowed;
    allow = allow ? 1 : 0;
    if (allow != previous) {
        if (PfnBlockInput block = BlockInputEntry())
            block(allow ? FALSE : TRUE);
        g_inputAllowed = allow;
    }
    return previous;
}

void PlayEventSound(BDS* ctx, const char* eventName, int flags)
{
    if (!ctx || !ctx->bSounds || !eventName)
        return;
    DWORD sound = SND_ALIAS;
    if (flags == 99)
        sound |= SND_ASYNC | SND_NODEFAULT;
    PlaySoundA(eventName, nullptr, sound);
}
