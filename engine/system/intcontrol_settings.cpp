// IntControl requests that read and change the context's settings. Each answers the value
// from before the call; a value outside the accepted range leaves the setting as it is.
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/system/intcontrol.h"

namespace {

constexpr uint16_t ERR_BAD_DELIMITER = 1407;    // "IntControl 29: Invalid delimiter character"
constexpr uint16_t ERR_BAD_SHARE_MODE = 1471;   // "IntControl 39/40: Invalid share mode"
constexpr int32_t SMALLEST_MAP = 32;
constexpr int32_t LARGEST_MAP = 262144;

ControlSettings& Settings(BDS* ctx) { return ctx->eng.ctl; }

// Sets an unsigned field to p1 when it lies within [low, high]; answers the old value.
void SetInRange(BDS* ctx, resultants* result, uint32_t& field, int32_t value, int32_t low, int32_t high)
{
    uint32_t old = field;
    if (value >= low && value <= high)
        field = static_cast<uint32_t>(value);
    IntControlAnswer(ctx, result, old);
}

void SetFlag(BDS* ctx, resultants* result, uint32_t& field, int32_t value)
{
    uint32_t old = field;
    field = value != 0 ? 1 : 0;
    IntControlAnswer(ctx, result, old);
}

constexpr int32_t NO_LIMIT = 0x7FFFFFFF;

// A request that switches one field on (any non-zero p1) or off.
template <uint32_t ControlSettings::*Field>
void FlagSetting(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    SetFlag(ctx, result, Settings(ctx).*Field, r.p[1]);
}

// A request that sets one field to p1 when it lies within [Low, High].
template <uint32_t ControlSettings::*Field, int32_t Low, int32_t High>
void RangeSetting(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    SetInRange(ctx, result, Settings(ctx).*Field, r.p[1], Low, High);
}

// ---------------------------------------------------------------- switches of dialogs and lists

// 12: the break handling mode; in mode 2 a text for the host to show.
void BreakHandling(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = ctx->nControlFlags;
    ctx->nControlFlags = static_cast<uint32_t>(r.p[1]);
    const char* text = r.text[2];
    if ((r.p[1] & 3) == 2 && text[0] && std::strcmp(text, "0") != 0)
        lstrcpynA(Settings(ctx).BreakMessageText, text, sizeof Settings(ctx).BreakMessageText);
    IntControlAnswer(ctx, result, old);
}

void BoxFontMode(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = Settings(ctx).BoxFontMode;
    Settings(ctx).BoxFontMode = r.p[1] == 0 ? 0 : (r.p[1] == 2 && g_System.OsHasNewShell) ? 2 : 1;
    IntControlAnswer(ctx, result, old);
}

// 29: the default list delimiter; an empty text only reads it.
void FileDelimiter(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    char old[2] = {Settings(ctx).FileDelimiter, 0};
    size_t length = std::strlen(r.text[1]);
    if (length > 1) {
        SetError(ctx, ERR_BAD_DELIMITER);
        return;
    }
    if (length == 1) {
        Settings(ctx).FileDelimiter = r.text[1][0];
        wchar_t wide = 0;
        UINT codePage = ctx->nCodePage ? ctx->nCodePage : CP_ACP;
        if (MultiByteToWideChar(codePage, 0, r.text[1], 1, &wide, 1) == 1)
            Settings(ctx).FileDelimiterW = wide;
        else
            Settings(ctx).FileDelimiterW = static_cast<unsigned char>(r.text[1][0]);
    }
    IntControlAnswerText(ctx, result, old);
}

void KeyAndMouseDelays(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = Settings(ctx).SendKeyDelay;
    if (r.p[1] >= 0)
        Settings(ctx).SendKeyDelay = static_cast<uint32_t>(r.p[1]);
    if (r.p[2] >= 0)
        Settings(ctx).MouseEventDelay = static_cast<uint32_t>(r.p[2]);
    IntControlAnswer(ctx, result, old);
}

// 38: quiet mode, and its log file when a name is given.
void QuietMode(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = ctx->err.bQuietMode;
    if (r.p[1] == 0 || r.p[1] == 1)
        ctx->err.bQuietMode = static_cast<uint32_t>(r.p[1]);
    if (r.text[2][0])
        lstrcpynA(ctx->err.szQuietLog, r.text[2], QUIET_LOG_PATH_SIZE);
    IntControlAnswer(ctx, result, old);
}

void ShareMode(BDS* ctx, resultants* result, uint32_t& field, int32_t value)
{
    if (value >= 4) {
        SetError(ctx, ERR_BAD_SHARE_MODE);
        return;
    }
    SetInRange(ctx, result, field, value, 0, 3);
}

void ReadShareMode(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    ShareMode(ctx, result, Settings(ctx).ReadShareMode, r.p[1]);
}

void WriteShareMode(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    ShareMode(ctx, result, Settings(ctx).WriteShareMode, r.p[1]);
}

void DialogCloseBox(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = Settings(ctx).DialogCloseBox;
    if (r.p[1] >= 0)
        Settings(ctx).DialogCloseBox = static_cast<uint32_t>(r.p[1]);
    Settings(ctx).DialogCloseValue = static_cast<uint32_t>(r.p[2]);
    IntControlAnswer(ctx, result, old);
}

// 50: the error box's help button and the address it opens.
void ErrorHelp(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = ctx->err.bTechSupport;
    if (r.p[1] == 0 || r.p[1] == 1)
        ctx->err.bTechSupport = static_cast<uint32_t>(r.p[1]);
    const char* target = r.text[2];
    if (target[0] && std::strcmp(target, "0") != 0)
        lstrcpynA(ctx->err.szTechSupportUrl, target, TECH_SUPPORT_URL_SIZE);
    IntControlAnswer(ctx, result, old);
}

void CreateProcessFlags(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = Settings(ctx).CreateProcessFlags;
    Settings(ctx).CreateProcessFlags = static_cast<uint32_t>(r.p[1]);
    IntControlAnswer(ctx, result, old);
}

void DisplayGuiFont(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = Settings(ctx).DisplayGuiFont;
    if (g_System.OsHasNewShell && (r.p[1] == 0 || r.p[1] == 1))
        Settings(ctx).DisplayGuiFont = static_cast<uint32_t>(r.p[1]);
    IntControlAnswer(ctx, result, old);
}

// ---------------------------------------------------------------- windows and boxes

void ActivateMethodTarget(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t old = Settings(ctx).ActivateMethodTarget;
    if (r.p[1] >= 0 && r.p[1] <= 5)
        Settings(ctx).ActivateMethodTarget = r.p[1];
    IntControlAnswer(ctx, result, old);
}

void ActivateMethodBox(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t old = Settings(ctx).ActivateMethodBox;
    if ((r.p[1] >= 0 && r.p[1] <= 5) || r.p[1] == -2)
        Settings(ctx).ActivateMethodBox = r.p[1];
    IntControlAnswer(ctx, result, old);
}

// 63: where the next item-list or text box goes, in thousandths of the screen.
void NextBoxPosition(BDS* ctx, resultants*, const IntControlRequest& r)
{
    for (int i = 0; i < 4; ++i)
        Settings(ctx).NextBoxPosition[i] = r.p[i + 1];
}

void LastExitCode(BDS* ctx, resultants* result, const IntControlRequest&)
{
    IntControlAnswer(ctx, result, Settings(ctx).LastExitCode);
}

void FileReadBufferSize(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t old = Settings(ctx).FileReadBufferSize;
    if (r.p[1] >= 0 || r.p[1] == -2)
        Settings(ctx).FileReadBufferSize = r.p[1];
    IntControlAnswer(ctx, result, old);
}

void WaitDelays(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t& field = r.p[2] == 1 ? Settings(ctx).PostedMessageDelay : Settings(ctx).WaitDoneDelay;
    SetInRange(ctx, result, field, r.p[1], 0, NO_LIMIT);
}

void LastDialogPosition(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t answer = r.p[1] == 1 ? Settings(ctx).LastDialogPosition[0]
                   : r.p[1] == 2 ? Settings(ctx).LastDialogPosition[1]
                                 : -1;
    IntControlAnswer(ctx, result, answer);
}

// ---------------------------------------------------------------- other switches

void MapInitialSize(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint32_t old = Settings(ctx).MapInitialSize;
    int32_t size = r.p[1] < SMALLEST_MAP ? SMALLEST_MAP : r.p[1] > LARGEST_MAP ? LARGEST_MAP : r.p[1];
    Settings(ctx).MapInitialSize = static_cast<uint32_t>(size);
    IntControlAnswer(ctx, result, old);
}

// 26 and 101 are kept for old scripts: they do nothing and answer "1".
void Nothing(BDS*, resultants*, const IntControlRequest&) {}

const IntControlRow kRows[] = {
    {4, FlagSetting<&ControlSettings::FileBoxNeedsSelection>},
    {5, FlagSetting<&ControlSettings::ShowHiddenFiles>},
    {7, FlagSetting<&ControlSettings::DebugStringEcho>},
    {12, BreakHandling},
    {26, Nothing},
    {28, BoxFontMode},
    {29, FileDelimiter},
    {33, FlagSetting<&ControlSettings::ListBoxMultiSelect>},
    {35, KeyAndMouseDelays},
    {38, QuietMode},
    {39, ReadShareMode},
    {40, WriteShareMode},
    {41, RangeSetting<&ControlSettings::FourDigitYear, 0, 1>},
    {43, RangeSetting<&ControlSettings::SendKeyWaitIdle, 0, 1>},
    {45, RangeSetting<&ControlSettings::SendKeyConsoleMode, 0, 1>},
    {46, RangeSetting<&ControlSettings::WindowRetryCount, 0, NO_LIMIT>},
    {49, DialogCloseBox},
    {50, ErrorHelp},
    {51, CreateProcessFlags},
    {52, DisplayGuiFont},
    {53, RangeSetting<&ControlSettings::FileLineEnd, 0, 4>},
    {61, ActivateMethodTarget},
    {62, ActivateMethodBox},
    {63, NextBoxPosition},
    {64, LastExitCode},
    {65, FileReadBufferSize},
    {70, WaitDelays},
    {74, RangeSetting<&ControlSettings::InputIdleTimeout, 0, NO_LIMIT>},
    {75, LastDialogPosition},
    {85, RangeSetting<&ControlSettings::ReservedSetting85, 0, 2>},
    {87, RangeSetting<&ControlSettings::ExecuteErrorMode, 0, 2>},
    {91, RangeSetting<&ControlSettings::WildcardMatchMode, 0, 2>},
    {100, MapInitialSize},
    {101, Nothing},
    {102, FlagSetting<&ControlSettings::FileTimeUtc>},
};

}  // namespace

extern const IntControlFamily g_IntControlSettings = {"settings", kRows,
                                                      static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
