// Program search: the App Paths entry of a program and the same-file test.
#include "engine/system/program_search.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "engine/dialog/dialog_text.h"
#include "engine/files/path_split.h"
#include "engine/system/registry_text.h"

namespace {

constexpr wchar_t APP_PATHS_KEY[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr size_t KEY_CHARS = 320;
constexpr DWORD SEARCH_PATH_CHARS = 200;   // the "Path" value
constexpr DWORD FULL_PATH_CHARS = 260;     // the default value
constexpr size_t NAME_CHARS = 260;

std::wstring Upper(const wchar_t* text)
{
    std::wstring out(text);
    if (!out.empty())
        CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

// The App Paths key of the name, or of the name with ".EXE" when it has no extension.
HKEY OpenAppPathsKey(const wchar_t* name, const wchar_t* extension)
{
    std::wstring key = APP_PATHS_KEY + Upper(name);
    if (*extension)
        key += L"." + Upper(extension);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            if (*extension)
                break;
            key += L".EXE";
        }
        if (key.size() > KEY_CHARS)
            key.resize(KEY_CHARS);
        HKEY opened;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS)
            return opened;
    }
    return nullptr;
}

// The answer into the caller's buffer, cut to its room; the length written (or needed).
size_t Answer(const std::wstring& text, wchar_t* out, size_t room)
{
    if (!out)
        return text.size();
    if (room == 0)
        return 0;
    size_t n = text.size() < room ? text.size() : room - 1;
    std::wmemcpy(out, text.c_str(), n);
    out[n] = 0;
    return n;
}

std::wstring ShortForm(const wchar_t* path)
{
    wchar_t buffer[NAME_CHARS];
    DWORD n = GetShortPathNameW(path, buffer, NAME_CHARS);
    return n > 0 && n < NAME_CHARS ? std::wstring(buffer, n) : std::wstring(path);
}

}  // namespace

bool HasPathSeparator(const wchar_t* text)
{
    return text && std::wcspbrk(text, L"\\/:") != nullptr;
}

const wchar_t* FileNamePart(const wchar_t* text)
{
    if (!text || !*text)
        return nullptr;
    wchar_t last = text[std::wcslen(text) - 1];
    if (last == L'\\' || last == L'/' || last == L':')
        return nullptr;
    const wchar_t* slash = std::wcsrchr(text, L'\\');
    return slash ? slash + 1 : text;
}

size_t FindProgramPathW(BDS* ctx, const wchar_t* program, wchar_t* out, size_t room, int part)
{
    if (out && room)
        out[0] = 0;
    if (!program)
        return 0;
    wchar_t drive[4] = {}, directory[NAME_CHARS] = {}, name[NAME_CHARS] = {}, extension[NAME_CHARS] = {};
    PathSplitW(program, drive, directory, NAME_CHARS, name, extension);
    if (!name[0])
        return 0;
    bool hasPath = drive[0] || directory[0];

    HKEY key = OpenAppPathsKey(name, extension);
    if (!key)
        return 0;
    std::wstring value, fullPath;
    DWORD type = 0, fullType = 0;
    bool wantSearchPath = part == PROGRAM_SEARCH_PATH;
    bool found = wantSearchPath ? ReadRegistryText(key, L"Path", SEARCH_PATH_CHARS, value, &type)
                                : ReadRegistryText(key, nullptr, FULL_PATH_CHARS, value, &type);
    if (found && wantSearchPath && hasPath)
        found = ReadRegistryText(key, nullptr, FULL_PATH_CHARS, fullPath, &fullType);
    RegCloseKey(key);
    if (!found)
        return 0;

    if (hasPath) {
        if (!wantSearchPath)
            return Answer(program, out, room);
        // The entry counts for a program given with a folder only when it names that file.
        if (fullType == REG_EXPAND_SZ)
            fullPath = ExpandedEnvironmentText(fullPath);
        if (!SameProgramW(ctx, program, fullPath.c_str(), L".EXE"))
            return 0;
    }
    if (type == REG_EXPAND_SZ)
        value = ExpandedEnvironmentText(value);
    return Answer(value, out, room);
}

size_t FindProgramPathA(BDS* ctx, const char* program, char* out, size_t room, int part)
{
    std::wstring wide = WideFromNarrow(ctx, program);
    size_t needed = FindProgramPathW(ctx, wide.c_str(), nullptr, 0, part);
    if (!needed) {
        if (out && room)
            out[0] = 0;
        return 0;
    }
    std::wstring answer(needed + 1, L'\0');
    FindProgramPathW(ctx, wide.c_str(), answer.data(), answer.size(), part);
    answer.resize(needed);
    std::string narrow = NarrowFromWide(ctx, answer.c_str());
    if (!out)
        return narrow.size();
    if (room == 0)
        return 0;
    lstrcpynA(out, narrow.c_str(), static_cast<int>(room < 0x7FFFFFFF ? room : 0x7FFFFFFF));
    return std::strlen(out);
}

int SameProgramW(BDS*, const wchar_t* name, const wchar_t* other, const wchar_t* defaultExtension)
{
    if (!name || !other)
        return 0;
    if (HasPathSeparator(name)) {
        wchar_t found[NAME_CHARS];
        DWORD n = SearchPathW(nullptr, name, defaultExtension, NAME_CHARS, found, nullptr);
        std::wstring mine = n > 0 && n < NAME_CHARS ? ShortForm(found) : std::wstring(name);
        std::wstring theirs = ShortForm(other);
        return lstrcmpiW(mine.c_str(), theirs.c_str()) == 0 ? 1 : 0;
    }
    std::wstring full(name);
    wchar_t extension[NAME_CHARS] = {};
    PathSplitW(name, nullptr, nullptr, 0, nullptr, extension);
    if (!extension[0] && defaultExtension)
        full += defaultExtension;
    const wchar_t* part = FileNamePart(other);
    return part && lstrcmpiW(full.c_str(), part) == 0 ? 1 : 0;
}

int SameProgramA(BDS* ctx, const char* name, const char* other, const char* defaultExtension)
{
    return SameProgramW(ctx, WideFromNarrow(ctx, name).c_str(), WideFromNarrow(ctx, other).c_str(),
                        WideFromNarrow(ctx, defaultExtension).c_str());
}
