// File tests and name forms: FileExist, the path parts (FileBaseName, FileExtension,
// FilePath, FileRoot), FileFullName, FileLocate, FileNameLong and FileNameShort.
#pragma once

#include <cstdint>

struct BDS;
struct resultants;

// 0 missing (or a directory), 1 a file that opens for reading, 2 a file held open by another
// program without read sharing. With openTest false only whether the name exists. Never sets
// an error number.
int DoFileExistW(BDS* ctx, const wchar_t* name, bool openTest);

// The keyword ids of the four path-part built-ins select the part.
enum : uint16_t {
    ID_FILEBASENAME = 462,
    ID_FILEEXTENSION = 473,
    ID_FILEPATH = 490,
    ID_FILEROOT = 496,
};
void DoFilePathParts(BDS* ctx, resultants* result, uint16_t id, const wchar_t* name, int32_t flag);
void DoFileFullName(BDS* ctx, resultants* result, const wchar_t* name);
void DoFileLocate(BDS* ctx, resultants* result, const wchar_t* name);
void DoFileNameLong(BDS* ctx, resultants* result, const wchar_t* name);
void DoFileNameShort(BDS* ctx, resultants* result, const wchar_t* name);
