// Dispatch cases of the file-handle and whole-file built-ins: FileOpen, FileRead,
// FileWrite, FileClose, FileGet, FileGetW, FilePut, FilePutW.
#include "engine/core/builtin.h"
#include "engine/files/file_io.h"

namespace {

enum : uint16_t {
    ERR_NOT_STRING = 3056,
    ERR_NOT_UNICODE = 3820,
    ERR_READ_NOT_OPEN = 3082,
    ERR_WRITE_NOT_OPEN = 3085,
};

void CaseFileOpen(BDS* ctx, BuiltinCall& c)
{
    DoFileOpen(ctx, c.result, ArgWText(ctx, c, 1), ArgText(ctx, c, 2), ArgInt(c, 3), ArgInt(c, 4));
}

void CaseFileRead(BDS* ctx, BuiltinCall& c)
{
    int slot = FindFileSlot(ctx, ArgInt(c, 1));
    if (slot < 0) {
        SetError(ctx, ERR_READ_NOT_OPEN);
        return;
    }
    if (ctx->files.slots[slot].encoding == FSE_ANSI)
        DoFileReadA(ctx, c.result, slot);
    else
        DoFileReadW(ctx, c.result, slot);
}

// The text goes out in the slot's encoding: ANSI text to an ANSI file, wide to UTF-16.
void CaseFileWrite(BDS* ctx, BuiltinCall& c)
{
    int slot = FindFileSlot(ctx, ArgInt(c, 1));
    if (slot < 0) {
        SetError(ctx, ERR_WRITE_NOT_OPEN);
        return;
    }
    resultants& text = c.args[2];
    if (ctx->files.slots[slot].encoding == FSE_ANSI) {
        if (!ValueToString(ctx, &text)) {
            SetError(ctx, ERR_NOT_STRING);
            return;
        }
        DoFileWriteA(ctx, slot, ValueText(ctx, &text));
    } else {
        if (!ValueToWide(ctx, &text)) {
            SetError(ctx, ERR_NOT_UNICODE);
            return;
        }
        DoFileWriteW(ctx, slot, ValueWText(ctx, &text));
    }
}

void CaseFileClose(BDS* ctx, BuiltinCall& c)
{
    DoFileClose(ctx, ArgInt(c, 1));
}

void CaseFileGet(BDS* ctx, BuiltinCall& c)
{
    DoFileGet(ctx, c.result, ArgWText(ctx, c, 1), ArgText(ctx, c, 2));
}

void CaseFileGetW(BDS* ctx, BuiltinCall& c)
{
    DoFileGetW(ctx, c.result, ArgWText(ctx, c, 1), ArgWText(ctx, c, 2));
}

void CaseFilePut(BDS* ctx, BuiltinCall& c)
{
    DoFilePut(ctx, c.result, ArgWText(ctx, c, 1), ArgText(ctx, c, 2));
}

void CaseFilePutW(BDS* ctx, BuiltinCall& c)
{
    DoFilePutW(ctx, c.result, ArgWText(ctx, c, 1), ArgWText(ctx, c, 2));
}

const BuiltinRow kRows[] = {
    {463, CaseFileClose},
    {475, CaseFileGet},
    {476, CaseFileGetW},
    {489, CaseFileOpen},
    {492, CaseFilePut},
    {493, CaseFilePutW},
    {494, CaseFileRead},
    {506, CaseFileWrite},
};

}  // namespace

extern const BuiltinFamily g_FileHandleBuiltins = {"file handles", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
