// File-handle primitives and the size routines built on them.
#include "engine/files/file_handles.h"

HANDLE FileHandleOpenA(const char* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security, HANDLE templateFile)
{
    return CreateFileA(name, access, share, security, disposition, flags, templateFile);
}

HANDLE FileHandleOpenW(const wchar_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       SECURITY_ATTRIBUTES* security, HANDLE templateFile)
{
    return CreateFileW(name, access, share, security, disposition, flags, templateFile);
}

BOOL FileHandleClose(HANDLE file)
{
    return CloseHandle(file);
}

DWORD FileHandleSeek(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    return SetFilePointer(file, distance, distanceHigh, method);
}

int32_t FileHandleRead(HANDLE file, void* buffer, DWORD bytes)
{
    DWORD done = 0;
    if (!ReadFile(file, buffer, bytes, &done, nullptr))
        return -1;
    return static_cast<int32_t>(done);
}

int32_t FileHandleReadW(HANDLE file, wchar_t* buffer, DWORD bytes)
{
    return FileHandleRead(file, buffer, bytes);
}

int32_t FileHandleWrite(HANDLE file, const void* buffer, DWORD bytes)
{
    DWORD done = 0;
    if (!WriteFile(file, buffer, bytes, &done, nullptr))
        return -1;
    return static_cast<int32_t>(done);
}

uint32_t FileIoBufferSize(BDS*, HANDLE file)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 4096)
        return 4096;
    return size.QuadPart > 32768 ? 32768u : static_cast<uint32_t>(size.QuadPart);
}

int32_t SizeAnswer(uint64_t size)
{
    return size >= 0x100000000ull ? SIZE_4GB_OR_MORE : static_cast<int32_t>(static_cast<uint32_t>(size));
}

int32_t FileHandleSize(BDS*, HANDLE file, uint64_t* wholeSize)
{
    LARGE_INTEGER zero{}, position{}, end{};
    uint64_t size = 0;
    if (SetFilePointerEx(file, zero, &position, FILE_CURRENT) &&
        SetFilePointerEx(file, zero, &end, FILE_END)) {
        size = static_cast<uint64_t>(end.QuadPart);
        SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
    }
    if (wholeSize)
        *wholeSize = size;
    return SizeAnswer(size);
}

namespace {

template <typename FindData, typename Char, typename Find>
int32_t FindTest(const Char* name, uint64_t* wholeSize, Find find)
{
    uint64_t size = 0;
    FindData data;
    HANDLE handle = name && *name ? find(name, &data) : INVALID_HANDLE_VALUE;
    if (handle != INVALID_HANDLE_VALUE) {
        FindClose(handle);
        size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    if (wholeSize)
        *wholeSize = size;
    return SizeAnswer(size);
}

}  // namespace

int32_t FileFindTestA(const char* name, uint64_t* wholeSize)
{
    return FindTest<WIN32_FIND_DATAA>(name, wholeSize, FindFirstFileA);
}

int32_t FileFindTestW(const wchar_t* name, uint64_t* wholeSize)
{
    return FindTest<WIN32_FIND_DATAW>(name, wholeSize, FindFirstFileW);
}

int32_t FileNameSizeW(BDS* ctx, const wchar_t* name, uint64_t* wholeSize)
{
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (wholeSize)
            *wholeSize = 0;
        return 0;
    }
    int32_t answer = FileHandleSize(ctx, file, wholeSize);
    CloseHandle(file);
    return answer;
}
