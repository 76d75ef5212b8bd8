// Message texts: every user-visible text is a message number, read from the engine's
// string table or from the language file "TRMDLANG.<lang>".
#pragma once

#include <windows.h>

struct BDS;

extern "C" int LoadMyString(BDS* ctx, HINSTANCE module, int id, char* buffer, int size);
int LoadMyStringW(BDS* ctx, HINSTANCE module, int id, wchar_t* buffer, int size);
