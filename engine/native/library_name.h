// The file name of a library that a script loads (AddExtender, DllLoad, DllCall).
#pragma once

#include <windows.h>

#include <string>

struct BDS;
struct ValueHead;

// A library's name as the script gave it: its ANSI text, and its wide text where the value
// carries one that the ANSI code page cannot say exactly. A program in a folder named in
// Greek loads DirScript() : "ext.dll", whose ANSI form holds "?" in place of those letters
// and names no file; such a library is looked for and loaded by its wide name.
struct LibraryName {
    std::string ansi;
    std::wstring wide;      // empty where the ANSI text says the name exactly
};

LibraryName LibraryNameOf(BDS* ctx, const ValueHead* value);

// Whether the library's file exists, as the engine's exists-along-PATH test finds it.
bool LibraryExists(BDS* ctx, const LibraryName& name);

// Loads the library without the system's box for a missing file; `failure` gets the
// system's error code when it cannot be loaded.
HMODULE LoadNamedLibrary(const LibraryName& name, DWORD* failure);
