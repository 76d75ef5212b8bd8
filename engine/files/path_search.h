// Finding a file by name the way a command processor does (the current directory and
// "PATH" for a bare name, the absolute name otherwise), and the absolute form of a name
// with the drives' own current directories.
#pragma once

#include <windows.h>

#include <string>

struct BDS;

// Answer 0 not found, 1 found, 2 found but held open by another process without read
// sharing (only with the open test). The full name found goes into `out` (`size`
// characters); a name that does not fit is never cut: the answer is then 0 and `out` empty.
int FileSearchPathA(BDS* ctx, char* out, const char* name, int size, bool openTest);
int FileSearchPathW(BDS* ctx, wchar_t* out, const wchar_t* name, int size, bool openTest);
// The same with the found name of any length.
int FileSearchPathStr(BDS* ctx, const wchar_t* name, bool openTest, std::wstring& found);

// The system's absolute, normal form of a name of any length (GetFullPathNameW); false when
// it cannot be had.
bool FullPathOf(const wchar_t* name, std::wstring& out);

// The exists-along-PATH test that other parts of the engine call (0, 1 or 2).
int DoFileExistA(BDS* ctx, const char* name, bool openTest);

// The long-name form found through the search (ANSI, at most 260 bytes): its length (copied
// when it fits `size`), or 0 with 1423.
int FileFindA(BDS* ctx, const char* name, char* out, int size);

// The absolute form of a name: drive-relative names take the drive's current directory,
// "." and ".." components are resolved; a UNC name, a name on a drive that does not exist,
// or one whose ".." climbs above the root stays as it is. 1, or 0 when the drive's current
// directory cannot be had or the result does not fit `capacity` (it is never cut).
int PathFullNameA(BDS* ctx, const char* name, char* out, int capacity);
int PathFullNameW(BDS* ctx, const wchar_t* name, wchar_t* out, int capacity);
bool PathFullNameStr(const std::wstring& name, std::wstring& out);

// The current directory of a drive: the process's own when it is on that drive, else the
// per-drive variable "=X:", else the bare drive ("X:"). Its length, or 0 when it does not
// fit `capacity`.
int DriveCurrentDirA(char letter, char* out, int capacity);
int DriveCurrentDirW(wchar_t letter, wchar_t* out, int capacity);
bool DriveCurrentDirStr(wchar_t letter, std::wstring& out);
