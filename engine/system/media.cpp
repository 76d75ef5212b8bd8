// Media on the Media Control Interface and the speaker volume: PlayMedia, PlayMidi,
// SoundVolume, and the notify window procedure MyMMNotifyProc.
//
// A command that asks for notification gets a notify window of class "kv8wcmmn" (a
// zero-sized child of the script's window) whose procedure marks the context when MCI
// reports the command complete; the built-in pumps messages until then.
#include "engine/system/media.h"

#include <mmsystem.h>

#include <cstring>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/files/file_args.h"
#include "engine/files/file_text.h"
#include "engine/system/input_block.h"
#include "engine/ui/message_box.h"

namespace {

constexpr uint16_t ERR_FILE_NOT_FOUND = 1194;      // "PlaySounds: File not found"
constexpr uint16_t ERR_NOTIFY_WINDOW = 3212;       // "PlayMedia: Notify Window creation failed"
constexpr uint16_t ERR_BAD_LEVEL = 1736;           // "SoundVolume: Invalid level"
constexpr uint16_t ERR_MIXER_OPEN = 1737;          // "SoundVolume: Error opening mixer device"
constexpr uint16_t ERR_MIXER_LINE = 1738;          // "SoundVolume: Error getting mixer line info"
constexpr uint16_t ERR_MIXER_CONTROLS = 1739;      // "SoundVolume: Error accessing mixer controls"
constexpr uint16_t ERR_MIXER_SET = 1740;           // "SoundVolume: Error setting mixer control properties"
constexpr uint16_t ERR_MIXER_GET = 1744;           // "SoundVolume: Error getting mixer control properties"
constexpr size_t COMMAND_SIZE = 2050;              // 2049 characters and a NUL
constexpr UINT RETURN_SIZE = 2050;
constexpr DWORD NOTIFY_POLL_MS = 20;
constexpr char MIDI_ALIAS[] = "z6o3r8b5a";

// ---------------------------------------------------------------- PlayMedia

// The window MCI notifies: a child of the script's window (a message-only window when
// the script has none).
HWND CreateNotifyWindow(BDS* ctx)
{
    HWND parent = ctx->hwndParent && IsWindow(ctx->hwndParent) ? ctx->hwndParent : HWND_MESSAGE;
    return CreateWindowExA(0, "kv8wcmmn", "Fred", WS_CHILD, 0, 0, 0, 0, parent, nullptr, EngineModule(), ctx->hSelf);
}

// Shows an MCI failure by the error mode: the error number becomes 9013 (the box was the
// report) unless an OK under @NOTIFY lets the script go on.
void ReportMciError(BDS* ctx, MCIERROR error)
{
    char text[MAXERRORLENGTH + 1] = {};
    if (!mciGetErrorStringA(error, text, sizeof text)) {
        SetError(ctx, ERR_FILE_NOT_FOUND);
        return;
    }
    if (ctx->bSounds)
        PlayEventSound(ctx, "SystemHand", SOUND_BOX);
    bool notify = ctx->ErrorMode == EM_NOTIFY;
    int answer = ShowMessageBox(ctx, ctx->hwndOwner, text, "PlayMedia Error",
                                (notify ? MB_OKCANCEL : MB_OK) | MB_ICONSTOP | MB_SETFOREGROUND);
    ctx->nLastError = CC_ALREADY_SHOWN;
    SetError(ctx, CC_ALREADY_SHOWN);
    if (notify && answer == IDOK)
        SetError(ctx, 0);
}

MCIERROR SendMediaString(const char* command, char* answer, HWND notifyWindow)
{
    return mciSendStringA(command, answer, RETURN_SIZE, notifyWindow);
}

MCIERROR SendMediaString(const wchar_t* command, wchar_t* answer, HWND notifyWindow)
{
    return mciSendStringW(command, answer, RETURN_SIZE, notifyWindow);
}

// Runs one MCI command with PlayMedia's steps; the return text goes to `answer` (RETURN_SIZE
// characters). Answers false when MCI failed or the notify window could not be made.
// `notifies` is MediaCommandNotifies of the command (its ANSI form, for a wide one).
template <typename Char>
bool RunMediaCommand(BDS* ctx, const Char* command, Char* answer, bool notifies)
{
    ctx->sys.MediaNotifyDone = 0;
    std::basic_string<Char> copy(command);
    if (copy.size() >= COMMAND_SIZE)
        copy.resize(COMMAND_SIZE - 1);
    answer[0] = 0;
    HWND notifyWindow = nullptr;
    if (notifies) {
        notifyWindow = CreateNotifyWindow(ctx);
        if (!notifyWindow) {
            SetError(ctx, ERR_NOTIFY_WINDOW);
            return false;
        }
    }
    MCIERROR error = SendMediaString(copy.c_str(), answer, notifyWindow);
    if (error && ctx->ErrorMode != EM_OFF)
        ReportMciError(ctx, error);
    // A command that failed gets no completion notice to wait for.
    while (notifies && !error && !ctx->sys.MediaNotifyDone && !ctx->bCancel)
        WaitPumping(ctx, NOTIFY_POLL_MS);
    if (notifyWindow)
        DestroyWindow(notifyWindow);
    return error == 0;
}

bool RunMediaCommand(BDS* ctx, const char* command, char* answer)
{
    std::string copy(command);
    if (copy.size() >= COMMAND_SIZE)
        copy.resize(COMMAND_SIZE - 1);
    return RunMediaCommand(ctx, command, answer, MediaCommandNotifies(copy.c_str()));
}

// PlayMedia(command): MCI's return text. A command holding letters that the ANSI code page
// cannot say (a file in a folder named in Greek) goes to MCI as wide text, so that the
// file it names is the one opened; its answer comes back ANSI where that says it exactly.
void CasePlayMedia(BDS* ctx, BuiltinCall& call)
{
    if (ArgIsWide(call, 1) || (HasArg(call, 1) && (call.args[1].flags & VF_UNICODE))) {
        const wchar_t* command = ArgWText(ctx, call, 1);
        std::string ansi = FileNameToAnsi(command);   // NOTIFY is plain ASCII in either form
        wchar_t answer[RETURN_SIZE];
        RunMediaCommand(ctx, command, answer, MediaCommandNotifies(ansi.c_str()));
        if (!ctx->bCancel)
            SetResultTextExact(ctx, call.result, answer, wcslen(answer));
        return;
    }
    char answer[RETURN_SIZE];
    RunMediaCommand(ctx, ArgText(ctx, call, 1), answer);
    if (!ctx->bCancel)
        SetResultText(ctx, call.result, answer);
}

// PlayMidi(file, mode): mode 0 plays to the end, any other returns at once.
void CasePlayMidi(BDS* ctx, BuiltinCall& call)
{
    // A file in a folder named outside the ANSI code page goes by its short form.
    ArgAnsiPath file(ctx, call, 1);
    char path[MAX_PATH];
    if (!FindSoundFile(file.text(), path, sizeof path)) {
        SetError(ctx, ERR_FILE_NOT_FOUND);
        return;
    }
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (n > 0 && n < sizeof shortPath)
        lstrcpynA(path, shortPath, sizeof path);

    char command[COMMAND_SIZE];
    char answer[RETURN_SIZE];
    bool played;
    if (ArgInt(call, 2)) {
        wsprintfA(command, "play sequencer!%s", path);
        played = RunMediaCommand(ctx, command, answer);
    } else {
        wsprintfA(command, "open sequencer!%s alias %s", path, MIDI_ALIAS);
        played = RunMediaCommand(ctx, command, answer);
        if (played) {
            wsprintfA(command, "play %s notify", MIDI_ALIAS);
            played = RunMediaCommand(ctx, command, answer);
        }
        if (played) {
            wsprintfA(command, "close %s", MIDI_ALIAS);
            played = RunMediaCommand(ctx, command, answer);
        }
    }
    SetResultInt(ctx, call.result, played && !ctx->nErrorCode ? 1 : 0);
}

// ---------------------------------------------------------------- SoundVolume

// The first mixer, opened for one call.
struct Mixer {
    HMIXER handle = nullptr;
    MMRESULT opened;

    Mixer() { opened = mixerOpen(&handle, 0, 0, 0, MIXER_OBJECTF_MIXER); }
    ~Mixer()
    {
        if (opened == MMSYSERR_NOERROR)
            mixerClose(handle);
    }
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;
};

// The speakers' volume control; the error number when it cannot be had.
uint16_t SpeakerVolumeControl(HMIXER mixer, MIXERCONTROLA* control)
{
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer), &line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
        return ERR_MIXER_LINE;
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof *control;
    controls.pamxctrl = control;
    if (mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(mixer), &controls,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
        return ERR_MIXER_CONTROLS;
    return 0;
}

MIXERCONTROLDETAILS OneChannel(const MIXERCONTROLA& control, MIXERCONTROLDETAILS_UNSIGNED* value)
{
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cbDetails = sizeof *value;
    details.paDetails = value;
    return details;
}

// SoundVolume(level): the level before; -1 only reads.
void CaseSoundVolume(BDS* ctx, BuiltinCall& call)
{
    int32_t level = ArgInt(call, 1);
    if (level < -1 || level > 100) {
        SetError(ctx, ERR_BAD_LEVEL);
        return;
    }
    Mixer mixer;
    if (mixer.opened != MMSYSERR_NOERROR) {
        SetError(ctx, ERR_MIXER_OPEN);
        return;
    }
    MIXERCONTROLA control{};
    control.cbStruct = sizeof control;
    if (uint16_t error = SpeakerVolumeControl(mixer.handle, &control)) {
        SetError(ctx, error);
        return;
    }
    MIXERCONTROLDETAILS_UNSIGNED value{};
    MIXERCONTROLDETAILS details = OneChannel(control, &value);
    if (mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mixer.handle), &details,
                                MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
        SetError(ctx, ERR_MIXER_GET);
        return;
    }
    int old = VolumeLevelFromValue(value.dwValue);
    if (level != -1) {
        value.dwValue = VolumeValueFromLevel(level);
        if (mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer.handle), &details,
                                   MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
            SetError(ctx, ERR_MIXER_SET);
            return;
        }
    }
    SetResultInt(ctx, call.result, old);
}

const BuiltinRow kRows[] = {
    {611, CasePlayMedia},
    {612, CasePlayMidi},
    {690, CaseSoundVolume},
};

}  // namespace

extern const BuiltinFamily g_MediaBuiltins = {"media", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

bool MediaCommandNotifies(const char* command)
{
    constexpr size_t length = 6;   // "NOTIFY"
    for (const char* p = command; *p; ++p) {
        if ((*p != ' ' && *p != '\t') || _strnicmp(p + 1, "NOTIFY", length) != 0)
            continue;
        char after = p[1 + length];
        if (after == 0 || after == ' ' || after == '\t')
            return true;
    }
    return false;
}

int VolumeLevelFromValue(DWORD value) { return static_cast<int>((value + 0.5) / 655.35); }

DWORD VolumeValueFromLevel(int level) { return static_cast<DWORD>(level * 655.35 + 0.5); }

extern "C" LRESULT CALLBACK MyMMNotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == MM_MCINOTIFY) {
        auto handle = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, 0));
        if (auto* ctx = handle ? static_cast<BDS*>(GlobalLock(handle)) : nullptr) {
            ctx->sys.MediaNotifyDone = 1;
            GlobalUnlock(handle);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
