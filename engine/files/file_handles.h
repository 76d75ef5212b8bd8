// File handles: the thin layer over the system's file calls that the engine's readers
// and writers share. Opens set no error number; each caller reports its own.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;

// CreateFileA / CreateFileW; INVALID_HANDLE_VALUE when the open fails.
HANDLE FileHandleOpenA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags);
HANDLE FileHandleOpenW(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags);

// The low 32 bits of the size (-16 for 4 GB or more); the whole size goes to *size.
int32_t FileHandleSize(BDS* ctx, HANDLE handle, uint64_t* size);

// Moves the file position (method 0 from the start, 2 from the end); the new low 32 bits
// of the position, 0xFFFFFFFF on failure.
uint32_t FileHandleSeek(HANDLE handle, LONG low, LONG* high, DWORD method);

// One system read or write: the bytes moved, or -1 on failure.
int64_t FileHandleRead(HANDLE handle, void* buffer, uint32_t count);
int64_t FileHandleWrite(HANDLE handle, const void* buffer, uint32_t count);

void FileHandleClose(HANDLE handle);

// The file's size clamped to 4096..32768 bytes.
uint32_t FileIoBufferSize(BDS* ctx, HANDLE handle);
