// File handles: opening, sizing, positioning, reading, writing and closing files.
#include "engine/files/file_handles.h"

HANDLE FileHandleOpenA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return CreateFileA(name, access, share, nullptr, disposition, flags ? flags : FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

HANDLE FileHandleOpenW(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return CreateFileW(name, access, share, nullptr, disposition, flags ? flags : FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

int32_t FileHandleSize(BDS*, HANDLE handle, uint64_t* size)
{
    LARGE_INTEGER whole{};
    if (!GetFileSizeEx(handle, &whole)) whole.QuadPart = 0;
    if (size) *size = static_cast<uint64_t>(whole.QuadPart);
    return whole.QuadPart >= 0x100000000ll ? -16 : static_cast<int32_t>(whole.LowPart);
}

uint32_t FileHandleSeek(HANDLE handle, LONG low, LONG* high, DWORD method)
{
    DWORD position = SetFilePointer(handle, low, high, method);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0xFFFFFFFFu;
    return position;
}

int64_t FileHandleRead(HANDLE handle, void* buffer, uint32_t count)
{
    DWORD done = 0;
    if (!ReadFile(handle, buffer, count, &done, nullptr)) return -1;
    return done;
}

int64_t FileHandleWrite(HANDLE handle, const void* buffer, uint32_t count)
{
    DWORD done = 0;
    if (!WriteFile(handle, buffer, count, &done, nullptr)) return -1;
    return done;
}

void FileHandleClose(HANDLE handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

uint32_t FileIoBufferSize(BDS* ctx, HANDLE handle)
{
    uint64_t size = 0;
    FileHandleSize(ctx, handle, &size);
    return size < 4096 ? 4096u : size > 32768 ? 32768u : static_cast<uint32_t>(size);
}
