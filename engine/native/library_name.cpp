#include "engine/native/library_name.h"

#include "engine/core/value.h"
#include "engine/files/file_names.h"
#include "engine/files/file_text.h"
#include "engine/files/path_search.h"

LibraryName LibraryNameOf(BDS* ctx, const ValueHead* value)
{
    LibraryName name;
    const char* ansi = ValueText(ctx, value);
    name.ansi = ansi ? ansi : "";
    if (value->flags & VF_UNICODE) {
        const wchar_t* wide = ValueWText(ctx, value);
        std::string exact;
        if (wide && *wide) {
            if (WideToAnsiExact(wide, wcslen(wide), exact))
                name.ansi = exact;
            else
                name.wide = wide;
        }
    }
    return name;
}

bool LibraryExists(BDS* ctx, const LibraryName& name)
{
    return name.wide.empty() ? DoFileExistA(ctx, name.ansi.c_str(), false) != 0
                             : DoFileExistW(ctx, name.wide.c_str(), false) != 0;
}

HMODULE LoadNamedLibrary(const LibraryName& name, DWORD* failure)
{
    UINT mode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE module = name.wide.empty() ? LoadLibraryA(name.ansi.c_str()) : LoadLibraryW(name.wide.c_str());
    *failure = GetLastError();
    SetErrorMode(mode);
    return module;
}
