// The context's table of files opened by scripts (FileOpen .. FileClose): 128 slots, each
// with its Win32 handle, its mode flags, its read buffer and the text encoding found.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int MAX_OPEN_FILES = 128;

// FileSlotMode flags.
enum : uint32_t {
    FSM_READ = 1,          // opened with "READ"
    FSM_AT_END = 2,        // the end of the data was reached
    FSM_WRITE = 4,         // opened with "WRITE" or "APPEND"
    FSM_EOF_GIVEN = 8,     // "*EOF*" was returned
    FSM_WRITTEN = 16,      // a line was written through this slot
    FSM_MARK_PRESENT = 32, // the file already starts with its byte-order mark (APPEND)
};

// FileSlotEncoding.
enum : uint32_t {
    FSE_ANSI = 0,
    FSE_UTF16LE = 1,   // mark FF FE
    FSE_UTF16BE = 2,   // mark FE FF
};

// A slot is free while its handle is null. The read buffer holds the current block of the
// file with every NUL removed and ends in a NUL; the position points at the next character
// to hand out, so an exhausted buffer is one whose position stands on the NUL. Exactly one
// of the pairs (ansi, wide) is set, by the encoding; both are null without a buffer.
struct FileSlot {
    HANDLE handle;          // null = free
    uint32_t mode;          // FileSlotMode
    HGLOBAL buffer;         // movable block of the read buffer, locked while the slot lives
    char* ansiStart;
    char* ansiPos;
    wchar_t* wideStart;
    wchar_t* widePos;
    uint32_t bufferSize;    // capacity in characters (bytes or 16-bit units); 0 = no buffer
    uint32_t encoding;      // FileSlotEncoding
    uint32_t wideResult;    // 1: FileRead answers wide strings
    void* lineBlock;        // FileRead's working line (process heap), made on first use
    uint32_t lineCapacity;  // its size in characters
};

struct FileTable {
    FileSlot slots[MAX_OPEN_FILES];
};
