// Thin file-handle primitives for the engine's own file work (settings files, logs, script
// loading, trace files, array files, binary buffers) and the size routines. None of them
// sets an error number: each caller reports its own.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;

// CreateFileA / CreateFileW; INVALID_HANDLE_VALUE when the open fails.
HANDLE FileHandleOpenA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security = nullptr, HANDLE templateFile = nullptr);
HANDLE FileHandleOpenW(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security = nullptr, HANDLE templateFile = nullptr);
// Closes a handle (null and INVALID_HANDLE_VALUE are ignored).
void FileHandleClose(HANDLE handle);

// A file handle closed when its holder goes out of scope.
struct ScopedFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~ScopedFile() { FileHandleClose(handle); }
    bool ok() const { return handle != INVALID_HANDLE_VALUE; }
};
// Moves the file position (method 0 from the start, 1 from here, 2 from the end); the new
// low 32 bits of the position, 0xFFFFFFFF on failure.
uint32_t FileHandleSeek(HANDLE handle, LONG low, LONG* high, DWORD method);
// One system read or write: the bytes moved, or -1 on failure.
int64_t FileHandleRead(HANDLE handle, void* buffer, uint32_t count);
int64_t FileHandleReadW(HANDLE handle, wchar_t* buffer, uint32_t count);
int64_t FileHandleWrite(HANDLE handle, const void* buffer, uint32_t count);

// The transfer size for an open file: its size clamped to 4096..32768 bytes.
uint32_t FileIoBufferSize(BDS* ctx, HANDLE handle);

// Size routines answer the low 32 bits of the size, or -16 for 4 GB and more, and deliver
// the whole size beside it (0 for a missing or unopenable file).
constexpr int32_t SIZE_4GB_OR_MORE = -16;
int32_t SizeAnswer(uint64_t size);
// An open file's size (its position is left alone).
int32_t FileHandleSize(BDS* ctx, HANDLE handle, uint64_t* size);
// By FindFirstFile, without opening the file.
int32_t FileFindTestA(const char* name, uint64_t* size);
int32_t FileFindTestW(const wchar_t* name, uint64_t* size);
// Opened for reading (read sharing), measured, closed.
int32_t FileNameSizeW(BDS* ctx, const wchar_t* name, uint64_t* size);
