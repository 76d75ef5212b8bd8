// Opening a web page in the user's browser (the error box's tech-support button).
#pragma once

#include <windows.h>

struct BDS;

// 1 when a browser command (possibly empty) was settled, 0 when none was found.
int FindBrowserCommand(char* command, int size);
// 1 when the page was opened.
int OpenUrlInBrowser(BDS* ctx, const char* command, const char* url);
