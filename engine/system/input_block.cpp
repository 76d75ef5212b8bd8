// The input block around boxes, the IgnoreInput built-in, the event sounds and the
// PlayWaveform built-in.
#include "engine/system/input_block.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/files/file_args.h"

namespace {

constexpr DWORD SOUND_FLAG_MASK = SND_ASYNC | SND_NODEFAULT | SND_LOOP | SND_NOSTOP;   // 0x1B

// A registered event of the current user's sound scheme.
bool IsSchemeEvent(const char* name)
{
    char key[MAX_PATH + 64];
    std::snprintf(key, sizeof key, "AppEvents\\Schemes\\Apps\\.Default\\%s\\.Current", name);
    char value[MAX_PATH];
    LONG size = sizeof value;
    return RegQueryValueA(HKEY_CURRENT_USER, key, value, &size) == ERROR_SUCCESS;
}

// IgnoreInput(state): -1 reads; 0 or 1 blocks or frees input and answers the former state.
// The state is what the system really holds: a set that BlockInput refuses (a process
// that is not elevated, another program's block, Wine) answers -1 and keeps the old
// state, so that a script is never told that input is blocked when it is not.
void CaseIgnoreInput(BDS* ctx, BuiltinCall& call)
{
    int32_t state = ArgInt(call, 1);
    PfnBlockInput block = ctx->eng.api.pfnBlockInput;
    if (!block || state < -1 || state > 1) {
        SetResultInt(ctx, call.result, -1);
        return;
    }
    int32_t former = ctx->box.IgnoreInputState ? 1 : 0;
    if (state != -1) {
        if (!block(state ? TRUE : FALSE)) {
            SetResultInt(ctx, call.result, -1);
            return;
        }
        ctx->box.IgnoreInputState = static_cast<uint32_t>(state);
    }
    SetResultInt(ctx, call.result, former);
}

// PlayWaveform(name or file, flags): 1 when the sound went without an error.
void CasePlayWaveform(BDS* ctx, BuiltinCall& call)
{
    ArgAnsiPath sound(ctx, call, 1);     // a sound's name, or a file beside the program
    int played = PlayEventSound(ctx, sound.text(), ArgInt(call, 2));
    SetResultInt(ctx, call.result, played && !ctx->nErrorCode ? 1 : 0);
}

const BuiltinRow kRows[] = {
    {523, CaseIgnoreInput},
    {613, CasePlayWaveform},
};

}  // namespace

bool FindSoundFile(const char* name, char* path, DWORD size)
{
    bool hasDirectory = std::strpbrk(name, "\\/:") != nullptr;
    if (hasDirectory) {
        DWORD attributes = GetFileAttributesA(name);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        lstrcpynA(path, name, static_cast<int>(size));
        return true;
    }
    DWORD n = SearchPathA(nullptr, name, nullptr, size, path, nullptr);
    return n > 0 && n < size;
}

extern const BuiltinFamily g_InputSoundBuiltins = {"input-and-sound", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int SetInputBlocked(BDS* ctx, int allow)
{
    PfnBlockInput block = ctx ? ctx->eng.api.pfnBlockInput : nullptr;
    if (!block)
        return -1;
    // A block that the system refuses to put back after a box no longer holds: the state
    // that -1 reads follows.
    if (!block(allow ? FALSE : TRUE) && !allow)
        ctx->box.IgnoreInputState = 0;
    return ctx->box.IgnoreInputState ? 0 : 1;
}

int PlayEventSound(BDS* ctx, const char* eventName, int flags)
{
    if (!ctx || ctx->err.bQuietMode)
        return 0;
    bool boxForm = flags == SOUND_BOX;
    if (boxForm && !ctx->bSounds)
        return 1;
    uint16_t keptError = ctx->nErrorCode;
    DWORD sound = boxForm ? (SND_ASYNC | SND_NODEFAULT) : (static_cast<DWORD>(flags) & SOUND_FLAG_MASK);
    if (sound & SND_LOOP)
        sound |= SND_ASYNC;
    const char* name = eventName ? eventName : "";
    char path[MAX_PATH];
    if (name[0] && IsSchemeEvent(name)) {
        sndPlaySoundA(name, sound);
    } else if (name[0] && FindSoundFile(name, path, sizeof path)) {
        sndPlaySoundA(path, sound);
    } else if (boxForm) {
        ctx->nErrorCode = keptError;
        return 1;
    } else {
        sndPlaySoundA("SystemDefault", sound);
    }
    if (boxForm)
        ctx->nErrorCode = keptError;
    return ctx->nErrorCode == 0 ? 1 : 0;
}
