// Per-context state of the file-list built-ins: the overwrite answer and attribute letters
// of one copy or move, FileAppend's transfer buffer, the running size walk, and the time
// stamp that the shared file-time routines read and fill.
#pragma once

#include <windows.h>
#include <cstdint>

struct OverwriteTexts;

// OverwriteAnswer codes: 0 ask; one-time 1 replace, 2 replace when the source is newer,
// 3 replace when it is older, 4 skip; remembered for the rest of the call 101 replace all,
// 102 newer all, 103 older all, 104 cancel.
enum : uint32_t {
    OVERWRITE_ASK = 0,
    OVERWRITE_ONCE = 1,
    OVERWRITE_NEWER = 2,
    OVERWRITE_OLDER = 3,
    OVERWRITE_SKIP = 4,
    OVERWRITE_ALL = 101,
    OVERWRITE_NEWER_ALL = 102,
    OVERWRITE_OLDER_ALL = 103,
    OVERWRITE_CANCEL = 104,
};

// Which stamp the file-time routines use.
enum : uint32_t {
    FILE_TIME_WRITE = 0,      // also 2
    FILE_TIME_CREATION = 1,
    FILE_TIME_WRITTEN = 2,
    FILE_TIME_ACCESS = 3,
};

constexpr uint32_t APPEND_BUFFER_SIZE = 28672;

struct FileOpsState {
    uint32_t OverwriteAnswer;
    char AttrLetters[9];            // FileCopyAttr / FileMoveAttr, for the length of the call
    uint32_t bTransferred;          // the last copy or move really moved data (not skipped)

    HGLOBAL hAppendBuffer;          // FileAppend's transfer buffer, for the length of the call
    uint8_t* pAppendBuffer;
    uint32_t nAppendSize;

    uint32_t SizeFormat;            // 0 float, 1 decimal text, 2 64-bit integer; 0 outside a walk
    uint32_t FileTimeKind;          // FILE_TIME_*; 0 outside FileTimeSetEx

    SYSTEMTIME FileTime;            // local time of the last stamp read; wYear 0 = not valid
    WORD DosDate;
    WORD DosTime;

    const OverwriteTexts* pOverwriteTexts;   // the four texts while FILEWARN is up
};
