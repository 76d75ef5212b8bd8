// FileCopy, FileMove, FileCopyAttr, FileMoveAttr, FileAppend, FileRename and FileNameEval2:
// the per-file operations that form each target name from the target mask, ask before a
// file is replaced, check the free space and do the work, and the overwrite decision.
#include "engine/files/file_copy.h"

#include <cwchar>
#include <optional>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/files/file_args.h"
#include "engine/files/file_attr.h"
#include "engine/files/file_handles.h"
#include "engine/files/file_names.h"
#include "engine/files/file_services.h"
#include "engine/files/file_time.h"
#include "engine/files/file_walk.h"
#include "engine/files/overwrite_dialog.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/wildcard.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/ui/message_box.h"

namespace {

enum : uint16_t {
    ERR_MOVE_FAILED = 1003,
    ERR_MOVE_FROM = 1004,
    ERR_COPY_FAILED = 1008,
    ERR_COPY_FROM = 1009,
    ERR_APPEND_FROM = 1012,
    ERR_APPEND_TO = 1013,
    ERR_APPEND_IO = 1014,
    ERR_RENAME_FAILED = 1015,
    ERR_COPY_SPACE = 1404,
    ERR_MOVE_SPACE = 1405,
    ERR_APPEND_SPACE = 1406,
    ERR_WARNING_IN_BACKGROUND = 3473,
    CC_USER_CANCEL = 9999,
};

constexpr DWORD APPEND_FALLBACK_SIZE = 1281;
constexpr size_t SHOWN_NAME_LIMIT = 260;

bool IsMove(uint16_t op) { return op == ID_FILEMOVE || op == ID_FILEMOVEATTR; }

// ---------------------------------------------------------------- target names and files

// The target name of one source under the walk's target mask; 0 clears the success word.
bool FormTarget(BDS* ctx, const wchar_t* source, const wchar_t* mask, WalkState* state, PathBuf* out)
{
    if (WildcardEnumW(ctx, source, mask, out))
        return true;
    state->result = 0;
    return false;
}

// The full name, or the name as given when the system cannot form one.
std::wstring FullNameOf(const wchar_t* name)
{
    std::wstring full;
    return FullPathOf(name, full) ? full : std::wstring(name);
}

bool SameText(const std::wstring& a, const std::wstring& b, bool ignoreCase)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                ignoreCase) == CSTR_EQUAL;
}

bool FileIdentity(const wchar_t* name, BY_HANDLE_FILE_INFORMATION* info)
{
    ScopedFile file;
    file.handle = CreateFileW(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return file.ok() && GetFileInformationByHandle(file.handle, info);
}

// The source and the target name one file: the same full name in another case, or the same
// file id (another name of it).
bool SameFile(const std::wstring& source, const std::wstring& target)
{
    if (SameText(source, target, true))
        return true;
    BY_HANDLE_FILE_INFORMATION a, b;
    if (!FileIdentity(source.c_str(), &a) || !FileIdentity(target.c_str(), &b))
        return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

std::wstring VolumePath(const std::wstring& name)
{
    wchar_t volume[MAX_PATH + 1];
    if (GetVolumePathNameW(name.c_str(), volume, MAX_PATH))
        return volume;
    if (name.size() >= 2 && name[1] == L':')
        return std::wstring{name[0], L':', L'\\'};
    return std::wstring();
}

bool OnOneVolume(const std::wstring& source, const std::wstring& target)
{
    std::wstring a = VolumePath(source), b = VolumePath(target);
    return !a.empty() && SameText(a, b, true);
}

// ---------------------------------------------------------------- the operations

// Copies or moves one file (the id chooses). 1 to go on.
int CopyOrMove(BDS* ctx, const wchar_t* source, const wchar_t* target, uint16_t op)
{
    bool move = IsMove(op);
    ctx->fileops.bTransferred = 0;
    if (!DoFileExistW(ctx, source, false)) {
        SetError(ctx, move ? ERR_MOVE_FROM : ERR_COPY_FROM);
        return 0;
    }
    int answer = OverwriteConfirm(ctx, source, target);
    if (answer == -1) {
        SetError(ctx, CC_USER_CANCEL);
        return 0;
    }
    if (answer == -2) {
        SetError(ctx, move ? ERR_MOVE_FROM : ERR_COPY_FROM);
        return 0;
    }
    if (answer == 0)
        return 1;   // skipped

    std::wstring from = FullNameOf(source), to = FullNameOf(target);
    if (move) {
        bool sameFile = SameFile(from, to);
        if (!sameFile && !OnOneVolume(from, to) && !DiskSpaceCheck(ctx, source, target, false)) {
            SetError(ctx, ERR_MOVE_SPACE);
            return 0;
        }
        // Never delete the target first: replacing is one call, so a failure keeps both.
        BOOL ok;
        if (sameFile)
            ok = SameText(from, to, false) ? TRUE : MoveFileExW(source, target, 0);
        else
            ok = MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        if (!ok) {
            AddSystemErrorInfo(ctx, GetLastError(), "FileMove");
            SetError(ctx, ERR_MOVE_FAILED);
            return 0;
        }
        ctx->fileops.bTransferred = 1;
        return 1;
    }

    if (!DiskSpaceCheck(ctx, source, target, false)) {
        SetError(ctx, ERR_COPY_SPACE);
        return 0;
    }
    if (SameFile(from, to)) {
        // A file never overwrites itself: the copy would destroy what it reads.
        StoreLastError(ctx, ERROR_SHARING_VIOLATION, "CopyFile", true);
        SetError(ctx, ERR_COPY_FAILED);
        return 0;
    }
    if (DeviceNameTest(target, nullptr)) {
        if (!CopyToDeviceW(ctx, source, target)) {
            if (!ctx->nErrorCode)
                SetError(ctx, ERR_COPY_FAILED);
            return 0;
        }
    } else if (!CopyFileW(source, target, FALSE)) {
        StoreLastError(ctx, GetLastError(), "CopyFile", true);
        SetError(ctx, ERR_COPY_FAILED);
        return 0;
    }
    ctx->fileops.bTransferred = 1;
    return 1;
}

int FileAppendOp(BDS* ctx, const wchar_t* source, const wchar_t* target)
{
    if (!DoFileExistW(ctx, source, false)) {
        SetError(ctx, ERR_APPEND_FROM);
        return 0;
    }
    if (!DiskSpaceCheck(ctx, source, target, true)) {
        SetError(ctx, ERR_APPEND_SPACE);
        return 0;
    }
    ScopedFile in;
    in.handle = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!in.ok()) {
        StoreLastError(ctx, GetLastError(), "FileAppend: open existing", false);
        SetError(ctx, ERR_APPEND_FROM);
        return 0;
    }
    ScopedFile out;
    out.handle = CreateFileW(target, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!out.ok()) {
        StoreLastError(ctx, GetLastError(), "FileAppend: open new", false);
        SetError(ctx, ERR_APPEND_TO);
        return 0;
    }
    SetFilePointer(out.handle, 0, nullptr, FILE_END);

    uint8_t fallback[APPEND_FALLBACK_SIZE];
    uint8_t* buffer = ctx->fileops.pAppendBuffer ? ctx->fileops.pAppendBuffer : fallback;
    DWORD size = ctx->fileops.pAppendBuffer ? ctx->fileops.nAppendSize : APPEND_FALLBACK_SIZE;
    return CopyHandleBytes(ctx, in.handle, out.handle, buffer, size,
                           {"FileAppend: read existing", ERR_APPEND_IO, "FileAppend: write new", ERR_APPEND_IO});
}

int FileCopyMoveOp(BDS* ctx, const wchar_t* source, const wchar_t* mask, WalkState* state, uint16_t op,
                   uint32_t flags)
{
    LocalPathBuf target;
    if (!FormTarget(ctx, source, mask, state, target.get()))
        return 0;
    if (op == ID_FILEAPPEND)
        return FileAppendOp(ctx, source, target.text());
    int done = CopyOrMove(ctx, source, target.text(), op);
    if ((op == ID_FILECOPYATTR || op == ID_FILEMOVEATTR) && done && ctx->fileops.bTransferred &&
        !ctx->nErrorCode && ctx->fileops.AttrLetters[0]) {
        // The attributes are a courtesy: failing to set them is not reported.
        AttrChange change{ctx->fileops.AttrLetters, 0, 0};
        WalkState attrState{1, 0, &change};
        FileAttrSetOp(ctx, target.text(), L"", &attrState, ID_FILEATTRSET, flags);
        ctx->nErrorCode = 0;
    }
    return done;
}

int FileRenameOp(BDS* ctx, const wchar_t* source, const wchar_t* mask, WalkState* state, uint16_t, uint32_t)
{
    LocalPathBuf target;
    if (!FormTarget(ctx, source, mask, state, target.get()))
        return 0;
    if (MoveFileW(source, target.text()))
        return 1;
    DWORD error = GetLastError();
    state->result = 0;
    SetError(ctx, ERR_RENAME_FAILED);
    AddSystemErrorInfo(ctx, error, "FileRename");
    return 0;
}

// Shows wide text in the engine's message box (ANSI, system code page).
void ShowNameBox(BDS* ctx, const wchar_t* text, const char* title)
{
    ShowMessageBox(ctx, ctx->hwndOwner, FileNameToAnsi(text).c_str(), title, MB_SETFOREGROUND);
}

int FileNameEval2Op(BDS* ctx, const wchar_t* source, const wchar_t* mask, WalkState* state, uint16_t, uint32_t)
{
    LocalPathBuf target;
    if (!WildcardEnumW(ctx, source, mask, target.get()))
        return 0;
    int answer = OverwriteConfirm(ctx, source, target.text());
    const char* title = "FileNameEval2 File Untouched";
    if (answer == 1)
        title = "FileNameEval2 File OverWritten";
    else if (answer == -2)
        title = "FileNameEval2 Source does not exist";
    else if (answer == -1)
        title = "FileNameEval2 User Selected Cancel";
    ShowNameBox(ctx, FullNameOf(target.text()).c_str(), title);
    (void)state;
    return 1;
}

int FileNameEval1Op(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState*, uint16_t, uint32_t)
{
    ShowNameBox(ctx, name, "FileNameEval1");
    return 1;
}

// ---------------------------------------------------------------- handlers

// The transfer buffer of FileAppend, for the length of one call.
struct AppendBuffer {
    BDS* ctx;
    explicit AppendBuffer(BDS* c) : ctx(c)
    {
        FileOpsState& f = ctx->fileops;
        f.hAppendBuffer = GlobalAlloc(GMEM_MOVEABLE, APPEND_BUFFER_SIZE);
        f.pAppendBuffer = f.hAppendBuffer ? static_cast<uint8_t*>(GlobalLock(f.hAppendBuffer)) : nullptr;
        f.nAppendSize = f.pAppendBuffer ? APPEND_BUFFER_SIZE : 0;
    }
    ~AppendBuffer()
    {
        FileOpsState& f = ctx->fileops;
        if (f.hAppendBuffer) {
            if (f.pAppendBuffer)
                GlobalUnlock(f.hAppendBuffer);
            GlobalFree(f.hAppendBuffer);
        }
        f.hAppendBuffer = nullptr;
        f.pAppendBuffer = nullptr;
        f.nAppendSize = 0;
    }
};

// The attribute letters of FileCopyAttr / FileMoveAttr, for the length of one call.
struct AttrLettersScope {
    BDS* ctx;
    AttrLettersScope(BDS* c, const char* letters) : ctx(c)
    {
        lstrcpynA(ctx->fileops.AttrLetters, letters ? letters : "", sizeof ctx->fileops.AttrLetters);
    }
    ~AttrLettersScope() { ctx->fileops.AttrLetters[0] = 0; }
};

void DoFileCopy(BDS* ctx, resultants* result, uint16_t id, const wchar_t* list, const wchar_t* target,
                int32_t warning, const char* letters)
{
    if (!WideFormAvailable(ctx))
        return;
    AttrLettersScope attributes(ctx, letters);
    if (warning && ctx->err.bQuietMode) {
        SetError(ctx, ERR_WARNING_IN_BACKGROUND);
        SetResultInt(ctx, result, 0);
        return;
    }
    LocalPathBuf prepared;
    if (!WildcardSpecTest(ctx, target, prepared.get())) {
        SetResultInt(ctx, result, 0);
        return;
    }
    WalkState state{1, 0, nullptr};
    ctx->fileops.OverwriteAnswer = warning ? OVERWRITE_ASK : OVERWRITE_ALL;
    std::optional<AppendBuffer> buffer;
    if (id == ID_FILEAPPEND)
        buffer.emplace(ctx);
    FileListWalk(ctx, list, prepared.text(), &state, id, 0, FileCopyMoveOp, 0);
    SetResultWalk(ctx, result, state.result);
}

void CaseFileCopy(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1), target(ctx, c, 2);
    uint16_t id = static_cast<uint16_t>(c.id);
    int32_t warning = id == ID_FILEAPPEND ? 0 : ArgInt(c, 3);
    const char* letters = (id == ID_FILECOPYATTR || id == ID_FILEMOVEATTR) ? ArgText(ctx, c, 4) : "";
    DoFileCopy(ctx, c.result, id, list.text(), target.text(), warning, letters);
}

void CaseFileRename(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    ArgPath list(ctx, c, 1), target(ctx, c, 2);
    LocalPathBuf prepared;
    if (!WildcardSpecTest(ctx, target.text(), prepared.get())) {
        SetResultInt(ctx, c.result, 0);
        return;
    }
    WalkState state{1, 0, nullptr};
    FileListWalk(ctx, list.text(), prepared.text(), &state, ID_FILERENAME, 0, FileRenameOp, 0);
    SetResultWalk(ctx, c.result, state.result);
}

void CaseFileNameEval2(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    ArgPath list(ctx, c, 1), target(ctx, c, 2);
    LocalPathBuf prepared;
    if (!WildcardSpecTest(ctx, target.text(), prepared.get()))
        return;
    WalkState state{1, 0, nullptr};
    ctx->fileops.OverwriteAnswer = OVERWRITE_ASK;
    FileListWalk(ctx, list.text(), prepared.text(), &state, ID_FILENAMEEVAL2, 0, FileNameEval2Op, 0);
    SetResultWalk(ctx, c.result, state.result);
}

void CaseFileNameEval1(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    ArgPath list(ctx, c, 1);
    WalkState state{1, 0, nullptr};
    FileListWalk(ctx, list.text(), L"", &state, 485, 0, FileNameEval1Op, 0);
    SetResultWalk(ctx, c.result, state.result);
}

const BuiltinRow kRows[] = {
    {ID_FILEAPPEND, CaseFileCopy},     {ID_FILECOPY, CaseFileCopy},       {ID_FILECOPYATTR, CaseFileCopy},
    {ID_FILEMOVE, CaseFileCopy},       {ID_FILEMOVEATTR, CaseFileCopy},   {485, CaseFileNameEval1},
    {ID_FILENAMEEVAL2, CaseFileNameEval2}, {ID_FILERENAME, CaseFileRename},
};

// ---------------------------------------------------------------- asking

// A name as the dialog shows it: a long one by its name and extension only.
std::wstring ShownName(const wchar_t* name)
{
    size_t length = wcslen(name);
    if (length < SHOWN_NAME_LIMIT)
        return name;
    const wchar_t* last = name;
    for (const wchar_t* p = name; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            last = p + 1;
    return last;
}

std::wstring InfoOf(BDS* ctx, const wchar_t* name)
{
    char text[300];
    uint16_t kept = ctx->nErrorCode;
    FileTimeLocaleTextW(ctx, name, text, sizeof text, true);
    ctx->nErrorCode = kept;
    return FileNameToWide(text, ValueCodePage(ctx));
}

// Runs the dialog in the frame of the engine's boxes; its answer lands in OverwriteAnswer.
void AskOverwrite(BDS* ctx, const wchar_t* source, const wchar_t* target)
{
    // In quiet mode nobody can answer: the question is cancelled, as the engine's boxes are.
    if (ctx->err.bQuietMode) {
        ctx->fileops.OverwriteAnswer = OVERWRITE_CANCEL;
        return;
    }
    OverwriteTexts texts;
    texts.targetName = ShownName(FullNameOf(target).c_str());
    texts.targetInfo = InfoOf(ctx, target);
    texts.sourceName = ShownName(FullNameOf(source).c_str());
    texts.sourceInfo = InfoOf(ctx, source);

    int inputState = SetInputBlocked(ctx, 1);
    ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
    ctx->fileops.pOverwriteTexts = &texts;
    ctx->fileops.OverwriteAnswer = OVERWRITE_ASK;
    INT_PTR shown = DialogBoxParamW(EngineModule(), L"FILEWARN", ctx->hwndOwner, OverwriteProcW,
                                    reinterpret_cast<LPARAM>(ctx));
    ctx->fileops.pOverwriteTexts = nullptr;
    SetInputBlocked(ctx, inputState);
    PumpMessages(ctx);
    if (ctx->hCursorCurrent)
        SetCursor(ctx->hCursorCurrent);
    if (shown <= 0 || ctx->fileops.OverwriteAnswer == OVERWRITE_ASK)
        ctx->fileops.OverwriteAnswer = OVERWRITE_CANCEL;
}

}  // namespace

int FileMoveNowW(BDS* ctx, const wchar_t* source, const wchar_t* target)
{
    uint32_t keptAnswer = ctx->fileops.OverwriteAnswer;
    ctx->fileops.OverwriteAnswer = OVERWRITE_ALL;
    int done = CopyOrMove(ctx, source, target, ID_FILEMOVE);
    ctx->fileops.OverwriteAnswer = keptAnswer;
    return done && ctx->fileops.bTransferred && !ctx->nErrorCode ? 1 : 0;
}

extern const BuiltinFamily g_FileCopyBuiltins = {"copy, move and rename", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int OverwriteConfirm(BDS* ctx, const wchar_t* source, const wchar_t* target)
{
    uint32_t& answer = ctx->fileops.OverwriteAnswer;
    if (answer == OVERWRITE_ALL)
        return 1;
    if (answer == OVERWRITE_CANCEL)
        return -1;
    int compare = FileTimeCompareW(ctx, source, target);
    if (compare == -1)
        return -2;
    if (compare == -2)
        return 1;
    int newer = compare;
    if (answer == OVERWRITE_NEWER_ALL)
        return newer;
    if (answer == OVERWRITE_OLDER_ALL)
        return !newer;

    AskOverwrite(ctx, source, target);
    switch (answer) {
    case OVERWRITE_ONCE:
    case OVERWRITE_ALL: return 1;
    case OVERWRITE_CANCEL: return -1;
    case OVERWRITE_SKIP: return 0;
    case OVERWRITE_NEWER:
    case OVERWRITE_NEWER_ALL: return newer;
    case OVERWRITE_OLDER:
    case OVERWRITE_OLDER_ALL: return !newer;
    default: return 0;
    }
}
