// The parts of a path, ANSI (double-byte safe) and wide, and the current directory.
#include "engine/files/path_split.h"

#include <cstring>
#include <initializer_list>
#include <cwchar>

namespace {

constexpr size_t PART_SIZE = 256;   // 255 characters and the NUL

void CopyPartA(char* out, const char* from, size_t length)
{
    if (!out)
        return;
    if (length >= PART_SIZE) {
        // Cut at 255 bytes without splitting a double-byte character.
        const char* end = from;
        while (*end && static_cast<size_t>(CharNextA(end) - from) < PART_SIZE)
            end = CharNextA(end);
        length = static_cast<size_t>(end - from);
    }
    memcpy(out, from, length);
    out[length] = 0;
}

void CopyPartW(wchar_t* out, size_t size, const wchar_t* from, size_t length)
{
    if (!out || size == 0)
        return;
    if (length >= size)
        length = size - 1;
    wmemcpy(out, from, length);
    out[length] = 0;
}

bool HasPrefixA(const char* p) { return p[0] == '\\' && p[1] == '\\' && p[2] == '?' && p[3] == '\\'; }

bool IsUncPrefixA(const char* p) { return HasPrefixA(p) && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, p + 4, 4, "UNC\\", 4) == CSTR_EQUAL; }

}  // namespace

void PathSplitA(const char* path, char* drive, char* directory, char* name, char* extension)
{
    for (char* out : {drive, directory, name, extension})
        if (out)
            out[0] = 0;
    if (!path)
        return;
    const char* p = path;
    if (HasPrefixA(p) && !IsUncPrefixA(p))
        p += 4;
    if (p[0] && !IsDBCSLeadByte(static_cast<BYTE>(p[0])) && p[1] == ':') {
        CopyPartA(drive, p, 2);
        p += 2;
    }
    const char* rest = p;
    const char* dot = nullptr;
    for (const char* q = p; *q; q = CharNextA(q)) {
        if (*q == '\\' || *q == '/') {
            rest = q + 1;
            dot = nullptr;
        } else if (*q == '.') {
            dot = q;
        }
    }
    CopyPartA(directory, p, static_cast<size_t>(rest - p));
    CopyPartA(name, rest, dot ? static_cast<size_t>(dot - rest) : strlen(rest));
    if (dot)
        CopyPartA(extension, dot + 1, strlen(dot + 1));
}

void PathSplitW(const wchar_t* path, wchar_t* drive, wchar_t* directory, size_t directorySize,
                wchar_t* name, wchar_t* extension)
{
    if (drive)
        drive[0] = 0;
    if (directory && directorySize)
        directory[0] = 0;
    if (name)
        name[0] = 0;
    if (extension)
        extension[0] = 0;
    if (!path)
        return;
    const wchar_t* p = path;
    bool prefix = p[0] == L'\\' && p[1] == L'\\' && p[2] == L'?' && p[3] == L'\\';
    if (prefix && _wcsnicmp(p + 4, L"UNC\\", 4) != 0)
        p += 4;
    if (p[0] && p[1] == L':') {
        CopyPartW(drive, 3, p, 2);
        p += 2;
    }
    const wchar_t* rest = p;
    for (const wchar_t* q = p; *q; ++q)
        if (*q == L'\\' || *q == L'/')
            rest = q + 1;
    const wchar_t* dot = wcsrchr(rest, L'.');
    CopyPartW(directory, directorySize, p, static_cast<size_t>(rest - p));
    CopyPartW(name, PART_SIZE, rest, dot ? static_cast<size_t>(dot - rest) : wcslen(rest));
    if (dot)
        CopyPartW(extension, PART_SIZE, dot + 1, wcslen(dot + 1));
}

char* CurrentDirGetA(char* buffer, int size)
{
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    if (n == 0 || n >= static_cast<DWORD>(size))
        buffer[0] = 0;
    return buffer;
}

wchar_t* CurrentDirGetW(wchar_t* buffer, int size)
{
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(size), buffer);
    if (n == 0 || n >= static_cast<DWORD>(size))
        buffer[0] = 0;
    return buffer;
}
