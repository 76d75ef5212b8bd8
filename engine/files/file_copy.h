// Copy, move, append and rename by file list, and the overwrite decision before a file is
// replaced.
#pragma once

#include <cstdint>

struct BDS;

// Keyword ids of the family (one handler serves the first five).
enum : uint16_t {
    ID_FILEAPPEND = 457,
    ID_FILECOPY = 465,
    ID_FILECOPYATTR = 466,
    ID_FILEMOVE = 483,
    ID_FILEMOVEATTR = 484,
    ID_FILENAMEEVAL2 = 486,
    ID_FILERENAME = 495,
};

// Whether a source may replace a target: 1 go ahead, 0 skip, -1 cancel, -2 the source
// cannot be read. Asks through the "FILEWARN" dialog when no remembered answer decides.
int OverwriteConfirm(BDS* ctx, const wchar_t* source, const wchar_t* target);

// Moves one file to the target name at once, replacing an existing target without asking
// (IntControl 30 where the system cannot schedule a move for the next restart). 1 moved,
// else 0 with FileMove's error number.
int FileMoveNowW(BDS* ctx, const wchar_t* source, const wchar_t* target);
