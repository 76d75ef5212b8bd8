// File and directory attributes: FileAttrGet/GetEx, DirAttrGet/GetEx, FileAttrSet/SetEx and
// DirAttrSet/SetEx, with the per-file operations of the setters.
#include "engine/files/file_attr.h"

#include <string>

#include "engine/core/builtin.h"
#include "engine/files/file_args.h"
#include "engine/files/file_walk.h"
#include "engine/files/path_buf.h"

namespace {

enum : uint16_t {
    ERR_FILE_NOT_FOUND = 1083,
    ERR_FILE_SET = 1086,
    ERR_DIR_NOT_FOUND = 1421,
    ERR_DIR_SET = 1422,
    ERR_BAD_MODE = 1812,
};

bool IsDirectoryForm(uint16_t op)
{
    return op == ID_DIRATTRGET || op == ID_DIRATTRGETEX || op == ID_DIRATTRSET || op == ID_DIRATTRSETEX;
}

// The attributes of a name of the wanted kind, or INVALID_FILE_ATTRIBUTES.
DWORD AttributesOfKind(BDS* ctx, const wchar_t* name, bool directory)
{
    LocalPathBuf path;
    uint16_t kept = ctx->nErrorCode;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE)) {
        ctx->nErrorCode = kept;
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = path.text()[0] ? GetFileAttributesW(path.text()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return attributes;
    if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != directory)
        return INVALID_FILE_ATTRIBUTES;
    return attributes;
}

// The letters applied to attribute bits (lower case clears, upper case sets).
DWORD ApplyLetters(DWORD attributes, const char* letters)
{
    for (const char* p = letters; *p; p = CharNextA(p)) {
        switch (*p) {
        case 'R': attributes |= FILE_ATTRIBUTE_READONLY; break;
        case 'A': attributes |= FILE_ATTRIBUTE_ARCHIVE; break;
        case 'S': attributes |= FILE_ATTRIBUTE_SYSTEM; break;
        case 'H': attributes |= FILE_ATTRIBUTE_HIDDEN; break;
        case 'r': attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY); break;
        case 'a': attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE); break;
        case 's': attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM); break;
        case 'h': attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN); break;
        default: break;
        }
    }
    return attributes;
}

// Gives one file or directory of the setter's kind the attributes change(its present ones
// without the directory bit). 1, or 0 with 1086 or 1422 and the walk's success word cleared.
template <typename Change>
int ChangeAttributes(BDS* ctx, const wchar_t* name, WalkState* state, uint16_t op, Change change)
{
    bool directory = IsDirectoryForm(op);
    DWORD attributes = AttributesOfKind(ctx, name, directory);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        attributes = change(attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
        if (SetFileAttributesW(name, attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
            return 1;
    }
    state->result = 0;
    SetError(ctx, directory ? ERR_DIR_SET : ERR_FILE_SET);
    return 0;
}

int FileAttrSetExOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t op, uint32_t)
{
    const auto* change = static_cast<const AttrChange*>(state->extra);
    return ChangeAttributes(ctx, name, state, op, [change](DWORD attributes) -> DWORD {
        if (change->mode == 1)
            return attributes | change->mask;
        if (change->mode == -1)
            return attributes & ~change->mask;
        return change->mask;
    });
}

// ---------------------------------------------------------------- dispatch cases

void CaseAttrGet(BDS* ctx, BuiltinCall& c)
{
    bool directory = IsDirectoryForm(static_cast<uint16_t>(c.id));
    ArgPath name(ctx, c, 1);
    DWORD attributes = AttributesOfKind(ctx, name.text(), directory);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        SetError(ctx, directory ? ERR_DIR_NOT_FOUND : ERR_FILE_NOT_FOUND);
        return;
    }
    if (c.id == ID_FILEATTRGETEX || c.id == ID_DIRATTRGETEX) {
        SetResultInt(ctx, c.result, static_cast<int32_t>(attributes));
        return;
    }
    char text[5];
    AttributeText(attributes, text);
    SetResultText(ctx, c.result, text);
}

void CaseAttrSet(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    std::string letters;
    if (ArgIsWide(c, 2)) {
        for (const wchar_t* p = ArgWText(ctx, c, 2); *p; ++p)
            if (*p < 0x80)
                letters += static_cast<char>(*p);
    } else {
        letters = ArgText(ctx, c, 2);
    }
    AttrChange change{letters.c_str(), 0, 0};
    WalkState state{1, 0, &change};
    FileListWalk(ctx, list.text(), L"", &state, static_cast<uint16_t>(c.id), 0, FileAttrSetOp, 0);
    SetResultWalk(ctx, c.result, state.result);
}

void CaseAttrSetEx(BDS* ctx, BuiltinCall& c)
{
    int32_t mode = ArgInt(c, 3);
    if (mode < -1 || mode > 1) {
        SetError(ctx, ERR_BAD_MODE);
        return;
    }
    ArgPath list(ctx, c, 1);
    AttrChange change{"", static_cast<uint32_t>(ArgInt(c, 2)), mode};
    WalkState state{1, 0, &change};
    FileListWalk(ctx, list.text(), L"", &state, static_cast<uint16_t>(c.id), 0, FileAttrSetExOp, 0);
    SetResultWalk(ctx, c.result, state.result);
}

const BuiltinRow kRows[] = {
    {ID_DIRATTRGET, CaseAttrGet},   {ID_DIRATTRGETEX, CaseAttrGet},   {ID_DIRATTRSET, CaseAttrSet},
    {ID_DIRATTRSETEX, CaseAttrSetEx}, {ID_FILEATTRGET, CaseAttrGet},  {ID_FILEATTRGETEX, CaseAttrGet},
    {ID_FILEATTRSET, CaseAttrSet},  {ID_FILEATTRSETEX, CaseAttrSetEx},
};

}  // namespace

extern const BuiltinFamily g_AttributeBuiltins = {"file attributes", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

void AttributeText(uint32_t attributes, char out[5])
{
    out[0] = (attributes & FILE_ATTRIBUTE_READONLY) ? 'R' : '-';
    out[1] = (attributes & FILE_ATTRIBUTE_ARCHIVE) ? 'A' : '-';
    out[2] = (attributes & FILE_ATTRIBUTE_SYSTEM) ? 'S' : '-';
    out[3] = (attributes & FILE_ATTRIBUTE_HIDDEN) ? 'H' : '-';
    out[4] = 0;
}

int FileAttrSetOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t op, uint32_t)
{
    const auto* change = static_cast<const AttrChange*>(state->extra);
    return ChangeAttributes(ctx, name, state, op,
                            [change](DWORD attributes) { return ApplyLetters(attributes, change->letters); });
}
