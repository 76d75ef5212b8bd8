// Starting a file by its extension for the host's service request 16 (DLLServices): a
// program file directly, a document through the program that WIN.INI's section
// "Extensions" names for its extension.
#pragma once

#include <cstdint>

struct BDS;

// Starts a command line with the show command (SW_*) and, with `wait`, waits for its end
// (LastExitCode then holds its exit code). Answers 100, or 0 with 1932 "WinExec: Function
// Failed".
int RunCommandLine(BDS* ctx, const char* commandLine, uint16_t showCommand, int wait);

// The file text is a name, optionally followed by a blank and arguments. Names with the
// extension EXE, COM, PIF or BAT (or none, when `noExtensionIsProgram`; ".EXE" is added)
// start directly with their arguments; others through their WIN.INI "Extensions" entry (or
// the entry "*" with " ^." and the extension added), where "^" stands for the name without
// its extension and the entry's first word must name a program (else 1933 "WinExec: No
// application defined for data file"). Answers 1 when the program started, else 0.
int ProgramKindByExt(BDS* ctx, uint16_t showCommand, const char* fileText, uint32_t noExtensionIsProgram, int wait);
