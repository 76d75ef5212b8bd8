// System query built-ins: WinResources, DirWindows and ExeTypeInfo, and the cases of the
// family (WinParmGet and WinParmSet live in winparm.cpp).
#include "engine/data/system_query.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/router.h"
#include "engine/data/text_cases.h"
#include "engine/files/file_args.h"
#include "engine/files/file_handles.h"

// ---------------------------------------------------------------- WinResources

namespace {

constexpr uint16_t ERR_BAD_RESOURCE_REQUEST = 3197;

// The figure of a request, or false for a request that names none.
bool MemoryFigure(int request, uint64_t* figure)
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) {
        MEMORYSTATUS old{};
        old.dwLength = sizeof old;
        GlobalMemoryStatus(&old);
        status.dwMemoryLoad = old.dwMemoryLoad;
        status.ullTotalPhys = old.dwTotalPhys;
        status.ullAvailPhys = old.dwAvailPhys;
        status.ullTotalPageFile = old.dwTotalPageFile;
        status.ullAvailPageFile = old.dwAvailPageFile;
        status.ullTotalVirtual = old.dwTotalVirtual;
        status.ullAvailVirtual = old.dwAvailVirtual;
        status.ullAvailExtendedVirtual = 0;
    }
    switch (request) {
    case 0: *figure = status.ullAvailPhys + status.ullAvailPageFile; return true;
    case 1: case 16: *figure = status.ullAvailVirtual; return true;
    case 2: case 3: case 4: *figure = 100 - status.dwMemoryLoad; return true;
    case 10: *figure = status.dwMemoryLoad; return true;
    case 11: *figure = status.ullTotalPhys; return true;
    case 12: *figure = status.ullAvailPhys; return true;
    case 13: *figure = status.ullTotalPageFile; return true;
    case 14: *figure = status.ullAvailPageFile; return true;
    case 15: *figure = status.ullTotalVirtual; return true;
    case 17: *figure = status.ullAvailExtendedVirtual; return true;
    default: return false;
    }
}

}  // namespace

void DoWinResources(BDS* ctx, int request, int format, resultants* result)
{
    uint64_t figure;
    if (!MemoryFigure(request, &figure)) return SetError(ctx, ERR_BAD_RESOURCE_REQUEST);
    if (figure < 0x80000000ull) return SetResultInt(ctx, result, static_cast<int32_t>(figure));
    if (format == 1) {
        char text[24];
        std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(figure));
        SetResultText(ctx, result, text);
    } else if (format == 2 && figure < 0x8000000000000000ull) {
        SetResultInt64(ctx, result, static_cast<int64_t>(figure));
    } else {
        SetResultFloat(ctx, result, static_cast<double>(figure));
    }
}

// ---------------------------------------------------------------- DirWindows

namespace {

constexpr uint16_t ERR_BAD_DIR_REQUEST = 1679;
constexpr UINT kDirChars = 2050;

UINT WindowsDir(int request, char* out, UINT size)
{
    UINT n = 0;
    if (request == 1) return GetSystemDirectoryA(out, size);
    if (request == 2) n = GetSystemWindowsDirectoryA(out, size);
    return (n && n < size) ? n : GetWindowsDirectoryA(out, size);
}

UINT WindowsDir(int request, wchar_t* out, UINT size)
{
    UINT n = 0;
    if (request == 1) return GetSystemDirectoryW(out, size);
    if (request == 2) n = GetSystemWindowsDirectoryW(out, size);
    return (n && n < size) ? n : GetWindowsDirectoryW(out, size);
}

void Upper(char* text, DWORD n) { CharUpperBuffA(text, n); }
void Upper(wchar_t* text, DWORD n) { CharUpperBuffW(text, n); }
void PutResult(BDS* ctx, resultants* result, const char* text, size_t n) { SetResultText(ctx, result, text, n); }
void PutResult(BDS* ctx, resultants* result, const wchar_t* text, size_t n) { SetResultWText(ctx, result, text, n); }

template <typename C>
void DirWindows(BDS* ctx, int request, resultants* result)
{
    if (request < 0 || request > 2) return SetError(ctx, ERR_BAD_DIR_REQUEST);
    C path[kDirChars + 2];
    UINT n = WindowsDir(request, path, kDirChars + 1);
    if (n > kDirChars) n = 0;   // a path longer than the engine takes: none
    Upper(path, n);
    if (n > 3) path[n++] = '\\';   // a drive root keeps its single backslash
    PutResult(ctx, result, path, n);
}

}  // namespace

void DoDirWindowsA(BDS* ctx, int request, resultants* result) { DirWindows<char>(ctx, request, result); }

void DoDirWindowsW(BDS* ctx, int request, resultants* result) { DirWindows<wchar_t>(ctx, request, result); }

// ---------------------------------------------------------------- ExeTypeInfo

namespace {

constexpr uint16_t ERR_EXE_NOT_FOUND = 1240;
constexpr DWORD kHeaderBytes = 64;

uint16_t Word(const uint8_t* bytes, size_t at) { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); }

bool ReadHeader(HANDLE file, uint8_t* out)
{
    DWORD got = 0;
    return ReadFile(file, out, kHeaderBytes, &got, nullptr) && got == kHeaderBytes;
}

}  // namespace

int32_t DoExeTypeInfo(BDS* ctx, const char* fileName)
{
    ScopedFile opened;
    opened.handle = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!opened.ok()) {
        SetError(ctx, ERR_EXE_NOT_FOUND);
        return EXE_NONE;
    }
    HANDLE file = opened.handle;
    uint8_t header[kHeaderBytes];
    if (!ReadHeader(file, header) || Word(header, 0) != 0x5A4D) return EXE_NONE;   // "MZ"
    if (Word(header, 24) < 64) return EXE_DOS;   // no new header follows the DOS one

    LARGE_INTEGER at;
    at.QuadPart = static_cast<uint32_t>(Word(header, 60) | (Word(header, 62) << 16));
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !ReadHeader(file, header)) return EXE_DOS;
    switch (Word(header, 0)) {
    case 0x454C: return EXE_LE;   // "LE"
    case 0x454E: return EXE_NE;   // "NE"
    case 0x4550:                  // "PE": 24 bytes on the optional header says its width
        return Word(header, 24) == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? EXE_PE64 : EXE_PE;
    default: return EXE_UNKNOWN;   // answered quietly: a query must not stop an unattended run
    }
}

// ---------------------------------------------------------------- cases

namespace {

using textcase::Text;

void CaseWinParmGet(BDS* ctx, BuiltinCall& call)
{
    DoWinParmGet(ctx, ArgInt(call, 1), false, "", 0, call.result);
}

void CaseWinParmSet(BDS* ctx, BuiltinCall& call)
{
    DoWinParmGet(ctx, ArgInt(call, 1), true, Text(ctx, call, 2), ArgInt(call, 3), call.result);
}

void CaseWinResources(BDS* ctx, BuiltinCall& call)
{
    DoWinResources(ctx, ArgInt(call, 1), ArgInt(call, 2, 0), call.result);
}

void CaseDirWindows(BDS* ctx, BuiltinCall& call)
{
    if (IsUnicodeMode()) DoDirWindowsW(ctx, ArgInt(call, 1), call.result);
    else DoDirWindowsA(ctx, ArgInt(call, 1), call.result);
}

void CaseExeTypeInfo(BDS* ctx, BuiltinCall& call)
{
    ArgAnsiPath exe(ctx, call, 1);
    SetResultInt(ctx, call.result, DoExeTypeInfo(ctx, exe.text()));
}

const BuiltinRow kRows[] = {
    {413, CaseDirWindows},    // dirwindows
    {453, CaseExeTypeInfo},   // exetypeinfo
    {784, CaseWinParmGet},    // winparmget
    {785, CaseWinParmSet},    // winparmset
    {792, CaseWinResources},  // winresources
};

}  // namespace

const BuiltinFamily g_SystemQueryBuiltins = {"system query", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
