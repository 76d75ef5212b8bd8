// Finding a file by name (ANSI). A plain form on the system's own search: bare names go
// through SearchPathA, names with a drive or directory are made absolute and tested.
#include "engine/files/path_search.h"

#include <cstring>

namespace {

bool HasDirectoryPart(const char* name)
{
    for (const char* p = name; *p; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            return true;
    }
    return false;
}

// The name exists, or exists but may not be read by this user.
bool NameExists(const char* fullName)
{
    if (GetFileAttributesA(fullName) != INVALID_FILE_ATTRIBUTES)
        return true;
    return GetLastError() == ERROR_ACCESS_DENIED;
}

void CopyOut(char* out, int size, const char* found)
{
    lstrcpynA(out, found, size);
}

}  // namespace

int FileSearchPathA(BDS*, char* out, const char* name, int size, bool openTest)
{
    if (!out || size < 1 || !name)
        return 0;
    out[0] = 0;
    while (*name == ' ' || *name == '\t')
        ++name;
    if (!*name)
        return 0;

    char found[MAX_PATH] = {};
    bool ok = false;
    if (!HasDirectoryPart(name)) {
        DWORD n = SearchPathA(nullptr, name, nullptr, sizeof found, found, nullptr);
        ok = n > 0 && n < sizeof found;
    }
    if (!ok) {
        DWORD n = GetFullPathNameA(name, sizeof found, found, nullptr);
        ok = n > 0 && n < sizeof found && NameExists(found);
    }
    if (!ok)
        return 0;

    if (openTest) {
        HANDLE file = CreateFileA(found, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_SHARING_VIOLATION)
                return 0;
            CopyOut(out, size, found);
            return 2;
        }
        CloseHandle(file);
    }
    CopyOut(out, size, found);
    return 1;
}
