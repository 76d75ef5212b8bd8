// The parts of a path (drive, directory, name, extension) and the current directory into a
// caller's buffer.
#pragma once

#include <windows.h>

#include <cstddef>

// Drive: the first two characters when the second is ":"; directory: up to and including
// the last "\" or "/"; name: from there to the last "."; extension: behind that "." (a "."
// in the directory starts none). A leading "\\?\" is skipped, "\\?\UNC\" stays part of the
// directory. Every out may be null; drive takes 3 characters, the others 256 (cut at 255;
// the wide directory takes `directorySize`).
void PathSplitA(const char* path, char* drive, char* directory, char* name, char* extension);
void PathSplitW(const wchar_t* path, wchar_t* drive, wchar_t* directory, size_t directorySize,
                wchar_t* name, wchar_t* extension);

// GetCurrentDirectory into the buffer; answers the buffer ("" on failure).
char* CurrentDirGetA(char* buffer, int size);
wchar_t* CurrentDirGetW(wchar_t* buffer, int size);
