// The line reader of the array and map file built-ins: ANSI text files read in blocks,
// NUL bytes refused, replaced or dropped, every CR dropped, lines ended by LF.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;

struct LineReader {
    HANDLE file;
    HGLOBAL hRaw;          // the block read last, filtered in place
    HGLOBAL hLine;         // the current line
    char* raw;
    char* line;            // NUL-terminated; valid after a read that answered 1
    uint32_t bufferSize;   // B: a line may hold B - 1 characters
    uint32_t rawLength;
    uint32_t rawPos;
    uint32_t lineLength;
    uint32_t lineNumber;   // 1-based number of the line read last
    char nulReplacement;   // 0: NUL bytes are dropped
    bool nulsAllowed;
    bool atEnd;
};

// Opens the file for reading (the context's read share mode). Answers 1, or 0 with 1800
// (the file cannot be opened) or 1588 (no buffer). The name is wide, so that a file in a
// folder named outside the ANSI code page can be read.
int LineReaderOpen(BDS* ctx, LineReader* reader, const wchar_t* fileName, char nulReplacement, bool nulsAllowed);

// The next line: 1 with the line, 0 at the end of the file, -1 with 1801 (read failed),
// 1806 (a NUL byte where none is allowed) or 1591 (line too long).
int LineReaderRead(BDS* ctx, LineReader* reader);

// Back to the start of the file for another pass. 1, or 0 with 1801.
int LineReaderRewind(BDS* ctx, LineReader* reader);

// Closes the file and frees the buffers (safe on a reader that failed to open).
void LineReaderClose(LineReader* reader);
