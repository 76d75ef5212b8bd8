// The painting of a 6.x dialog: its background bitmap, the push buttons it draws itself
// (coloured, flat, bitmap and shield variants), its PICTURE controls, and the palettes of
// their bitmaps. Bitmaps are drawn through the DrawDib functions of "msvfw32.dll" when the
// engine found them at start; without them no bitmap is drawn.
#pragma once

#include <windows.h>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// Draws the bitmap into the rectangle (the whole client of the DC's window when null),
// making its palette and DrawDib handle on first use; 1 when drawn, 0 when it cannot be.
int PaintDialogBitmap(BDS* ctx, HDC dc, const RECT* target, HBITMAP bitmap, HPALETTE* palette, HANDLE* drawDib,
                      bool background);
// The dialog's background bitmap over its client area (1 when painted).
int PaintDialogBackground(Dialog6Record* dlg, HDC dc);
// A PICTURE control's item (WM_DRAWITEM).
void PaintPictureItem(Dialog6Record* dlg, DialogControlRecord* control, const DRAWITEMSTRUCT* item);
// WM_QUERYNEWPALETTE and WM_PALETTECHANGED: the dialog's and the controls' bitmaps realise
// their palettes; those whose colours changed are repainted. Answers whether any changed.
bool RealizeDialogPalettes(Dialog6Record* dlg, HWND dialog);
// Closes a bitmap's DrawDib handle and deletes its palette (both cleared).
void ReleaseBitmapPaint(BDS* ctx, HPALETTE* palette, HANDLE* drawDib);

// Installs the push-button subclass on a PUSHBUTTON or PICTUREBUTTON: the button paints
// itself in its colours and keeps its caption.
void SubclassPushButton(Dialog6Record* dlg, DialogControlRecord* control, HWND button);

// The caption without its "&" marks, measured in the DC's font, and its top-left when
// centred in the rectangle inset by the system's edge sizes.
SIZE MeasureButtonCaptionW(HDC dc, const wchar_t* caption, const RECT& rect, POINT* topLeft);
// The system's shield icon left of a caption, as high as the caption, vertically centred.
void DrawShieldIcon(HDC dc, const RECT& caption);
// The colour table of a DIB section (at most 256 entries); the count, 0 without one.
UINT GetBitmapColorTable(HBITMAP bitmap, RGBQUAD* colors, UINT capacity);
