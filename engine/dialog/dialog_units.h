// Dialog units and pixels: the screen's resolution, the system's dialog base units and the
// scaling of template positions and sizes.
#pragma once

struct Dialog6Record;

// The screen's horizontal logical pixels per inch (96 when no device context can be had).
int ScreenLogPixels();
// The system's dialog base units (horizontal, vertical).
void SystemBaseUnits(int* x, int* y);

// Template units to pixels in place (each pointer may be null): with the template's DPI
// equal to the screen's through the system base units, else through the template's.
void DialogUnitsScale(const Dialog6Record* dlg, int* x, int* y, int* width, int* height);

// Pixels to dialog units with the system base units, and back.
int PixelsToUnitsX(const Dialog6Record* dlg, int pixels);
int PixelsToUnitsY(const Dialog6Record* dlg, int pixels);
int UnitsToPixelsX(const Dialog6Record* dlg, int units);
int UnitsToPixelsY(const Dialog6Record* dlg, int units);
