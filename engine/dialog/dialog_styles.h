// The template's style bits (@cs constants) as window styles of a control.
#pragma once

#include <windows.h>
#include <cstdint>

// Adds the window styles of the style bits the type honours to *windowStyle (visibility
// and enabling included). Answers 1.
int StyleToWindowStyle(int type, uint32_t style, DWORD* windowStyle);
