// WinMetrics(request): the system metrics, and a few numbers about the display and the
// platform under negative requests.
#include <windows.h>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/system/system_info.h"

namespace {

constexpr uint16_t ERR_BAD_METRIC = 3124;   // "WinMetrics: Invalid code"
constexpr int32_t LOWEST_REQUEST = -7;
constexpr int32_t SHOW_SOUNDS_REQUEST = 70;
constexpr UINT SPI_SHOW_SOUNDS = 56;        // SPI_GETSHOWSOUNDS
constexpr int32_t MOST_COLOURS = 2147483647;

// The display's number of colours: the palette size, or the colour depth's count when
// the display has more than 16 colours or no palette.
int32_t DisplayColours()
{
    HDC info = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    if (!info)
        return 0;
    int32_t colours = GetDeviceCaps(info, NUMCOLORS);
    if (colours > 16 || colours == -1) {
        int bits = GetDeviceCaps(info, BITSPIXEL);
        int planes = GetDeviceCaps(info, PLANES);
        colours = bits >= 31 ? MOST_COLOURS : planes << bits;
    }
    DeleteDC(info);
    return colours;
}

void CaseWinMetrics(BDS* ctx, BuiltinCall& call)
{
    int32_t request = ArgInt(call, 1);
    if (request < LOWEST_REQUEST) {
        SetError(ctx, ERR_BAD_METRIC);
        return;
    }
    switch (request) {
    case -7:
        return SetResultInt(ctx, call.result, g_System.OsIsWow64 ? 2 : 0);
    case -6:
        return SetResultFloat(ctx, call.result, LOWORD(GetDialogBaseUnits()) / 4.0);
    case -5:
        return SetResultFloat(ctx, call.result, HIWORD(GetDialogBaseUnits()) / 8.0);
    case -4:
        return SetResultInt(ctx, call.result, WinPlatformCode());
    case -3:
        return SetResultInt(ctx, call.result, 5);
    case -2:
        return SetResultInt(ctx, call.result, 3);
    case -1:
        return SetResultInt(ctx, call.result, DisplayColours());
    case SHOW_SOUNDS_REQUEST: {
        BOOL on = FALSE;
        return SetResultInt(ctx, call.result, SystemParametersInfoA(SPI_SHOW_SOUNDS, 0, &on, 0) ? on : 0);
    }
    default:
        return SetResultInt(ctx, call.result, GetSystemMetrics(request));
    }
}

const BuiltinRow kRows[] = {
    {782, CaseWinMetrics},
};

}  // namespace

extern const BuiltinFamily g_WinMetricsBuiltins = {"win-metrics", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
