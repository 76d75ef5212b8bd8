// Directories: the current directory (with the per-drive variables "=X:" that command
// processors keep), the directory test, and the creation of a whole directory path.
#pragma once

#include <string>

struct BDS;
struct PathBuf;

// Changes the current directory (and drive). 1, or 0 with 1031 (or the drive's error).
int DoDirChangeW(BDS* ctx, const wchar_t* directory);
int DoDirChangeA(BDS* ctx, const char* directory);

// The current directory, with a trailing "\" unless it is a root.
bool DirGetText(BDS* ctx, std::wstring& out);

// 1 when the name is an existing directory, else 0; never an error.
int DirExistPathW(BDS* ctx, const wchar_t* name);
int DoDirExistW(BDS* ctx, const wchar_t* name);
int DoDirExistA(BDS* ctx, const char* name);

// Creates every missing level of a path. prefixKind: 0 none, 1 "\\?\", 3 "\\?\UNC\". 1, or
// 0 (a failing level adds its system error under "DirCreate" to the extended-error text).
int DirCreatePathW(BDS* ctx, const wchar_t* path, int prefixKind);
// The same on ANSI text (at most 260 characters); records no error.
int DirCreatePathA(BDS* ctx, const char* path);

// Keeps the current directory and puts it back when it goes out of scope.
class CurrentDirKeeper {
public:
    explicit CurrentDirKeeper(BDS* ctx);
    ~CurrentDirKeeper();
    CurrentDirKeeper(const CurrentDirKeeper&) = delete;
    CurrentDirKeeper& operator=(const CurrentDirKeeper&) = delete;

private:
    std::wstring saved_;
};
