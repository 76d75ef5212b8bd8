// The context's table of files opened by scripts.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int MAX_OPEN_FILES = 128;

struct FileSlot {
    HANDLE hFile;           // INVALID_HANDLE_VALUE or null when closed
    HGLOBAL hBuffer;        // read buffer
    uint32_t mode;
};

struct FileTable {
    FileSlot slots[MAX_OPEN_FILES];
};
