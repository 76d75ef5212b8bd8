// File-handle primitives and the size routines built on them.
#include "engine/files/file_handles.h"

HANDLE FileHandleOpenA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security, HANDLE templateFile)
{
    return CreateFileA(name, access, share, security, disposition, flags ? flags : FILE_ATTRIBUTE_NORMAL,
                       templateFile);
}

HANDLE FileHandleOpenW(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security, HANDLE templateFile)
{
    return CreateFileW(name, access, share, security, disposition, flags ? flags : FILE_ATTRIBUTE_NORMAL,
                       templateFile);
}

void FileHandleClose(HANDLE handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

uint32_t FileHandleSeek(HANDLE handle, LONG low, LONG* high, DWORD method)
{
    SetLastError(NO_ERROR);
    DWORD position = SetFilePointer(handle, low, high, method);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return 0xFFFFFFFFu;
    return position;
}

int64_t FileHandleRead(HANDLE handle, void* buffer, uint32_t count)
{
    DWORD done = 0;
    if (!ReadFile(handle, buffer, count, &done, nullptr))
        return -1;
    return done;
}

int64_t FileHandleReadW(HANDLE handle, wchar_t* buffer, uint32_t count)
{
    return FileHandleRead(handle, buffer, count);
}

int64_t FileHandleWrite(HANDLE handle, const void* buffer, uint32_t count)
{
    DWORD done = 0;
    if (!WriteFile(handle, buffer, count, &done, nullptr))
        return -1;
    return done;
}

uint32_t FileIoBufferSize(BDS* ctx, HANDLE handle)
{
    uint64_t size = 0;
    FileHandleSize(ctx, handle, &size);
    return size < 4096 ? 4096u : size > 32768 ? 32768u : static_cast<uint32_t>(size);
}

int32_t SizeAnswer(uint64_t size)
{
    return size >= 0x100000000ull ? SIZE_4GB_OR_MORE : static_cast<int32_t>(static_cast<uint32_t>(size));
}

int32_t FileHandleSize(BDS*, HANDLE handle, uint64_t* size)
{
    LARGE_INTEGER whole{};
    if (!GetFileSizeEx(handle, &whole))
        whole.QuadPart = 0;
    if (size)
        *size = static_cast<uint64_t>(whole.QuadPart);
    return SizeAnswer(static_cast<uint64_t>(whole.QuadPart));
}

namespace {

template <typename FindData, typename Char, typename Find>
int32_t FindTest(const Char* name, uint64_t* size, Find find)
{
    uint64_t whole = 0;
    FindData data;
    HANDLE handle = name && *name ? find(name, &data) : INVALID_HANDLE_VALUE;
    if (handle != INVALID_HANDLE_VALUE) {
        FindClose(handle);
        whole = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    if (size)
        *size = whole;
    return SizeAnswer(whole);
}

}  // namespace

int32_t FileFindTestA(const char* name, uint64_t* size)
{
    return FindTest<WIN32_FIND_DATAA>(name, size, FindFirstFileA);
}

int32_t FileFindTestW(const wchar_t* name, uint64_t* size)
{
    return FindTest<WIN32_FIND_DATAW>(name, size, FindFirstFileW);
}

int32_t FileNameSizeW(BDS* ctx, const wchar_t* name, uint64_t* size)
{
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (size)
            *size = 0;
        return 0;
    }
    int32_t answer = FileHandleSize(ctx, file, size);
    CloseHandle(file);
    return answer;
}
