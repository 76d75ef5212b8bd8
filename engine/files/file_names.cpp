// File tests and name forms: FileExist, the path parts, FileFullName, FileLocate,
// FileNameLong and FileNameShort, with their dispatch cases.
#include "engine/files/file_names.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/files/file_text.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"

namespace {

enum : uint16_t {
    ERR_CANNOT_EXPAND = 1323,
    ERR_LONG_NOT_FOUND = 1423,
    ERR_SHORT_NOT_FOUND = 1424,
};

}  // namespace

int DoFileExistW(BDS* ctx, const wchar_t* name, bool openTest)
{
    uint16_t kept = ctx->nErrorCode;
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE)) {
        ctx->nErrorCode = kept;
        return 0;
    }
    if (HasLongPrefixW(path.text())) {
        if (!NamePresentW(path.text()))
            return 0;
        return openTest ? OpenTestW(path.text()) : 1;
    }
    std::wstring found;
    return FileSearchPathStr(ctx, path.text(), openTest, found);
}

void DoFilePathParts(BDS* ctx, resultants* result, uint16_t id, const wchar_t* name, int32_t flag)
{
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE))
        return;
    wchar_t drive[3], base[256], extension[256];
    LocalPathBuf directory;
    if (!SplitLongPathW(ctx, path.text(), drive, directory.get(), base, extension))
        return;
    std::wstring part;
    switch (id) {
    case ID_FILEBASENAME:
        part = base;
        if (extension[0] || flag)
            part += L'.';
        part += extension;
        break;
    case ID_FILEEXTENSION:
        part = extension;
        break;
    case ID_FILEPATH:
        part = drive;
        part += directory.text();
        break;
    default:
        part = base;
        break;
    }
    SetResultWText(ctx, result, part.c_str(), part.size());
}

void DoFileFullName(BDS* ctx, resultants* result, const wchar_t* name)
{
    std::wstring full;
    if (!PathFullNameStr(name, full)) {
        SetError(ctx, ERR_CANNOT_EXPAND);
        return;
    }
    SetResultWText(ctx, result, full.c_str(), full.size());
}

void DoFileLocate(BDS* ctx, resultants* result, const wchar_t* name)
{
    std::wstring found, full;
    if (FileSearchPathStr(ctx, name, false, found) && PathFullNameStr(found, full))
        SetResultWText(ctx, result, full.c_str(), full.size());
    else
        SetResultWText(ctx, result, L"", 0);
}

void DoFileNameLong(BDS* ctx, resultants* result, const wchar_t* name)
{
    uint16_t kept = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    LocalPathBuf longName;
    if (LongNameOfPathW(ctx, name, longName.get())) {
        SetResultWText(ctx, result, longName.text());
    } else if (!HasLongPrefixW(name)) {
        // A root or a name the directory walk cannot take: its full name.
        std::wstring found;
        if (FileSearchPathStr(ctx, name, false, found)) {
            ctx->nErrorCode = 0;
            SetResultWText(ctx, result, found.c_str(), found.size());
        } else {
            SetError(ctx, ERR_LONG_NOT_FOUND);
        }
    }
    if (ctx->nErrorCode == 0)
        ctx->nErrorCode = kept;
}

void DoFileNameShort(BDS* ctx, resultants* result, const wchar_t* name)
{
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE))
        return;
    std::wstring full;
    if (HasLongPrefixW(path.text())) {
        if (FileExistsW(ctx, path.text(), false))
            full = path.text();
    } else {
        FileSearchPathStr(ctx, path.text(), false, full);
    }
    if (full.empty()) {
        SetError(ctx, ERR_SHORT_NOT_FOUND);
        return;
    }
    std::vector<wchar_t> shortName(MAX_PATH);
    DWORD n = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        n = GetShortPathNameW(full.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
        if (n < shortName.size())
            break;
        shortName.resize(n + 1);
        n = 0;
    }
    if (n == 0)
        SetResultWText(ctx, result, full.c_str(), full.size());
    else
        SetResultWText(ctx, result, shortName.data(), n);
}

// ---------------------------------------------------------------- dispatch cases

namespace {

void CaseFileExist(BDS* ctx, BuiltinCall& c)
{
    // A name with a forward slash is never a file here, whatever exists.
    if (ArgIsWide(c, 1)) {
        const wchar_t* name = ArgWText(ctx, c, 1);
        SetResultInt(ctx, c.result, wcschr(name, L'/') ? 0 : DoFileExistW(ctx, name, true));
    } else {
        const char* name = ArgText(ctx, c, 1);
        SetResultInt(ctx, c.result, strchr(name, '/') ? 0 : DoFileExistA(ctx, name, true));
    }
}

void CasePathPart(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx)) {
        SetResultInt(ctx, c.result, 1);
        return;
    }
    DoFilePathParts(ctx, c.result, static_cast<uint16_t>(c.id), ArgWText(ctx, c, 1), ArgInt(c, 2));
}

// The name forms exist only as wide built-ins.
template <void (*Form)(BDS*, resultants*, const wchar_t*)>
void CaseNameForm(BDS* ctx, BuiltinCall& c)
{
    if (WideFormAvailable(ctx))
        Form(ctx, c.result, ArgWText(ctx, c, 1));
}

const BuiltinRow kRows[] = {
    {ID_FILEBASENAME, CasePathPart},
    {472, CaseFileExist},
    {ID_FILEEXTENSION, CasePathPart},
    {474, CaseNameForm<DoFileFullName>},
    {480, CaseNameForm<DoFileLocate>},
    {487, CaseNameForm<DoFileNameLong>},
    {488, CaseNameForm<DoFileNameShort>},
    {ID_FILEPATH, CasePathPart},
    {ID_FILEROOT, CasePathPart},
};

}  // namespace

extern const BuiltinFamily g_FileNameBuiltins = {"file names", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
