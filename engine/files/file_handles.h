// Thin file-handle primitives for the engine's own file work (settings files, logs, script
// loading, trace files, binary buffers) and the size routines. None of them sets an error
// number: each caller sets its own.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;

// CreateFileA / CreateFileW; INVALID_HANDLE_VALUE on failure.
HANDLE FileHandleOpenA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security = nullptr, HANDLE templateFile = nullptr);
HANDLE FileHandleOpenW(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security = nullptr, HANDLE templateFile = nullptr);
BOOL FileHandleClose(HANDLE file);
// SetFilePointer: the new low position, 0xFFFFFFFF on failure (see GetLastError when a
// high part is given).
DWORD FileHandleSeek(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
// One ReadFile / WriteFile of `bytes` bytes: the count moved, or -1 on failure.
int32_t FileHandleRead(HANDLE file, void* buffer, DWORD bytes);
int32_t FileHandleReadW(HANDLE file, wchar_t* buffer, DWORD bytes);
int32_t FileHandleWrite(HANDLE file, const void* buffer, DWORD bytes);

// The transfer size for an open file: 4096 below 4096 bytes, the size up to 32768, else
// 32768.
uint32_t FileIoBufferSize(BDS* ctx, HANDLE file);

// Size routines answer the low 32 bits of the size, or -16 for 4 GB and more, and deliver
// the whole size beside it (0 for a missing or unopenable file).
constexpr int32_t SIZE_4GB_OR_MORE = -16;
int32_t SizeAnswer(uint64_t size);
// An open file's size: the position is remembered, the end sought, the position restored.
int32_t FileHandleSize(BDS* ctx, HANDLE file, uint64_t* wholeSize);
// By FindFirstFile, without opening the file.
int32_t FileFindTestA(const char* name, uint64_t* wholeSize);
int32_t FileFindTestW(const wchar_t* name, uint64_t* wholeSize);
// Opened for reading (read sharing), measured, closed.
int32_t FileNameSizeW(BDS* ctx, const wchar_t* name, uint64_t* wholeSize);
