// Dialog units and pixels.
#include "engine/dialog/dialog_units.h"

#include <windows.h>

#include "engine/dialog/dialog_record.h"

int ScreenLogPixels()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 96;
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void SystemBaseUnits(int* x, int* y)
{
    LONG units = GetDialogBaseUnits();
    *x = LOWORD(units) ? LOWORD(units) : 1;
    *y = HIWORD(units) ? HIWORD(units) : 1;
}

void DialogUnitsScale(const Dialog6Record* dlg, int* x, int* y, int* width, int* height)
{
    int numeratorX, numeratorY, denominatorX, denominatorY;
    if (dlg->dpi[0] == dlg->screenDpi) {
        numeratorX = dlg->baseX;
        numeratorY = dlg->baseY;
        denominatorX = 4;
        denominatorY = 8;
    } else {
        numeratorX = dlg->dpi[1] * dlg->screenDpi;
        numeratorY = dlg->dpi[2] * dlg->screenDpi;
        denominatorX = dlg->dpi[0] * 4;
        denominatorY = dlg->dpi[0] * 8;
    }
    if (x)
        *x = MulDiv(*x, numeratorX, denominatorX);
    if (width)
        *width = MulDiv(*width, numeratorX, denominatorX);
    if (y)
        *y = MulDiv(*y, numeratorY, denominatorY);
    if (height)
        *height = MulDiv(*height, numeratorY, denominatorY);
}

int PixelsToUnitsX(const Dialog6Record* dlg, int pixels) { return MulDiv(pixels, 4, dlg->baseX); }
int PixelsToUnitsY(const Dialog6Record* dlg, int pixels) { return MulDiv(pixels, 8, dlg->baseY); }
int UnitsToPixelsX(const Dialog6Record* dlg, int units) { return MulDiv(units, dlg->baseX, 4); }
int UnitsToPixelsY(const Dialog6Record* dlg, int units) { return MulDiv(units, dlg->baseY, 8); }
