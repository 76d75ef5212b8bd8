// Opening a web page in the user's browser (the error box's tech-support button).
#pragma once

#include <windows.h>

struct BDS;

// The browser command of the classes registry: empty when internet shortcuts have an open
// command of their own, else the program of the first command found ("http", the ".htm"
// class, ".htm", the system profile's "Extensions" "htm"), cut at its first blank but kept
// whole when it is quoted. 1 when a command (possibly empty) was settled, 0 when none was
// found or the size is 0.
int FindBrowserCommand(char* command, int size);

// Opens the page: by its address, else through the browser command, else through an
// internet-shortcut file of a unique name in the temporary folder (deleted afterwards; the
// browser is given InputIdleTimeout to take input, never waited for). 1 when opened.
int OpenUrlInBrowser(BDS* ctx, const char* command, const char* url);
