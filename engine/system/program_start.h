// Starting programs and documents: the routine behind the Run family, RunShell,
// RunEnviron, RunWithLogon and Print.
//
// A start tries, in order, the program's App Paths entry (its folders put in front of PATH
// for the start), the program in quotes, the program unquoted, the document's association
// and a shortcut of that name; the first that starts ends the search. Then it waits as the
// wait code asks while the script's thread keeps pumping.
#pragma once

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

struct BDS;

// Show codes of the language.
enum : int32_t { SHOW_HIDDEN = -1, SHOW_ICON = 1, SHOW_NORMAL = 2, SHOW_ZOOMED = 3, SHOW_NOACTIVATE = 4 };
// Wait codes of the language.
enum : int32_t { WAIT_NOWAIT = 33, WAIT_WAIT = 34, WAIT_GETPROCID = 35, WAIT_GETEXITCODE = 36 };

// Who calls: Print opens by the shell's "print" verb; the others start processes.
enum class StartKind { Print, RunShell, RunEnviron, RunWithLogon };

// The window show command of a show code (SW_SHOWNORMAL for a code of no meaning); the
// shell built-ins map 2 to SW_SHOW.
int ShowCommandOf(int32_t show, bool forShell);

// The shell builds a command of a file's name in a buffer of about a thousand characters and
// overruns it on a longer name: such names are refused before the shell sees them.
constexpr size_t SHELL_FILE_MAX = 960;
inline bool ShellFileFits(const wchar_t* file) { return wcsnlen(file, SHELL_FILE_MAX + 1) <= SHELL_FILE_MAX; }
inline bool ShellFileFits(const char* file) { return strnlen(file, SHELL_FILE_MAX + 1) <= SHELL_FILE_MAX; }

struct StartRequest {
    const wchar_t* program;
    const wchar_t* parameters;
    const wchar_t* directory;   // "" or null: none
    int32_t show;
    int32_t wait;
    StartKind kind;
    const wchar_t* user;        // RunWithLogon only
    const wchar_t* domain;
    const wchar_t* password;
    int32_t logonFlags;         // NO_LOGON (-1) otherwise
};

// Result: 1, the process id (@GETPROCID) or the exit code (@GETEXITCODE; 99999 when no wait
// could take place); 0 with the error number set: 3383 a bad wait code, 3384 a bad show
// code, 1900-1921 or 1932 for Print, 1932 for a start that failed (with "WinExec Error:"
// and the system's text in the extended-error information unless ErrorMode is @OFF).
int32_t StartProgramW(BDS* ctx, const StartRequest& request);
// The ANSI twin: the texts converted with the context's code page.
int32_t StartProgramA(BDS* ctx, const char* program, const char* parameters, const char* directory, int32_t show,
                      int32_t wait, StartKind kind);

// The command line of an association command for a document: the command cut at its first
// blank (a quoted first token kept whole) into program and template; a template with "%1"
// is expanded ("%1" the document, "%2"-"%9" the words of the parameters, "%*" the
// parameters after the last word used), any other gives the program and the document in
// quotes. At most 8193 characters.
std::wstring AssociationCommandLine(const std::wstring& command, const wchar_t* document, const wchar_t* parameters);
