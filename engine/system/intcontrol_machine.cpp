// IntControl requests that change the machine's files, clock and identity: the icons of a
// program (37), a move or delete at the next restart (30), the clock (58) and the
// computer's name (76). The changes reach the system through its table of entries.
#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/files/file_copy.h"
#include "engine/files/file_services.h"
#include "engine/files/file_text.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/wildcard.h"
#include "engine/system/computer_name.h"
#include "engine/system/date_text.h"
#include "engine/system/icon_builtins.h"
#include "engine/system/intcontrol.h"
#include "engine/system/system_entries.h"

namespace {

constexpr uint16_t ERR_MOVE_SPACE = 1405;       // "FileMove: Insufficient free space on target drive"
constexpr uint16_t ERR_NO_SOURCE = 1426;        // "IntControl 30: Source file not found"
constexpr uint16_t ERR_BAD_TARGET = 1427;       // "IntControl 30: Error parsing target spec"
constexpr uint16_t ERR_OTHER_DRIVE = 1428;      // "IntControl 30: Cannot move file to a different drive"
constexpr uint16_t ERR_BAD_YMDHMS = 1575;       // "IntControl: Invalid YmdHms date string"
constexpr uint16_t ERR_PRIVILEGE = 1576;        // "IntControl: Unable to set NT security privilege..."
constexpr DWORD RESTART_MOVE = MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT;
constexpr int32_t FIRST_SYSTEMTIME_YEAR = 1601;
constexpr int32_t LAST_SYSTEMTIME_YEAR = 30827;

// ---------------------------------------------------------------- move at restart (30)

// The drive letter a full name starts with, upper-cased (behind a long-path prefix).
wchar_t DriveLetterOf(const std::wstring& name)
{
    size_t at = static_cast<size_t>(LongPrefixLengthW(name.c_str()));
    return at < name.size() ? static_cast<wchar_t>(towupper(name[at])) : 0;
}

// A target the system would only refuse at the restart: characters no file name may hold.
bool IsUsableTarget(const std::wstring& name)
{
    size_t at = static_cast<size_t>(LongPrefixLengthW(name.c_str()));
    for (size_t i = at; i < name.size(); ++i) {
        wchar_t c = name[i];
        if (c < 32 || std::wcschr(L"<>\"|?*", c))
            return false;
        if (c == L':' && i != at + 1)
            return false;
    }
    return name.size() > at;
}

// The full target of a move: a folder or a wildcard takes the source's name. False with
// 1427 when the text cannot be made into a usable name.
bool RestartTarget(BDS* ctx, const std::wstring& source, const wchar_t* text, std::wstring& target)
{
    LocalPathBuf prepared;
    LocalPathBuf mapped;
    if (!WildcardSpecTest(ctx, text, prepared.get()) ||
        !WildcardEnumW(ctx, source.c_str(), prepared.text(), mapped.get()) ||
        !FullPathOf(mapped.text(), target) || !IsUsableTarget(target)) {
        SetError(ctx, ERR_BAD_TARGET);
        return false;
    }
    return true;
}

// 30: moves text p1 to text p2 (or deletes it, p2 empty) when the system next starts.
void MoveAtRestart(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, 0);
    std::wstring source;
    if (!FileSearchPathStr(ctx, FileNameToWide(r.text[1]).c_str(), false, source)) {
        SetError(ctx, ERR_NO_SOURCE);
        return;
    }
    std::wstring target;
    bool hasTarget = r.text[2][0] != 0;
    if (hasTarget) {
        if (!RestartTarget(ctx, source, FileNameToWide(r.text[2]).c_str(), target))
            return;
        if (DriveLetterOf(target) != DriveLetterOf(source)) {
            SetError(ctx, ERR_OTHER_DRIVE);
            return;
        }
        if (!DiskSpaceCheck(ctx, source.c_str(), target.c_str(), false)) {
            SetError(ctx, ERR_MOVE_SPACE);
            return;
        }
    }
    PfnMoveFileExW move = ctx->eng.system.MoveFileExW;
    if (!move)
        return;
    if (move(source.c_str(), hasTarget ? target.c_str() : nullptr, RESTART_MOVE)) {
        IntControlAnswer(ctx, result, 1);
        return;
    }
    // A system that cannot schedule moves gets the move now; a delete is never done early.
    if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && hasTarget && FileMoveNowW(ctx, source.c_str(), target.c_str()))
        IntControlAnswer(ctx, result, 2);
}

// ---------------------------------------------------------------- the clock (58)

// 58: sets the local time from a YmdHms text (a date alone is midnight).
void SetClock(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, 0);
    YmdHmsFields fields{};
    // SYSTEMTIME holds years 1601-30827; another year would reach the clock cut short.
    if (!ParseYMDHMS(r.text[1], &fields, YMD_CHECK_FULL, 1) || fields.year < FIRST_SYSTEMTIME_YEAR ||
        fields.year > LAST_SYSTEMTIME_YEAR) {
        SetError(ctx, ERR_BAD_YMDHMS);
        return;
    }
    if (SystemFacts().OsIsNt && !SystemEnablePrivilege(ctx, SE_SYSTEMTIME_NAME)) {
        SetError(ctx, ERR_PRIVILEGE);
        return;
    }
    PfnSetLocalTime setTime = ctx->eng.system.SetLocalTime;
    if (!setTime)
        return;
    SYSTEMTIME time = YmdHmsToSystemTime(fields);
    setTime(&time);   // the second call settles a change across a daylight-saving boundary
    IntControlAnswer(ctx, result, setTime(&time) ? 1 : 0);
}

// ---------------------------------------------------------------- name and icons

// 76: the computer's name (format 0); answers only 1 or 0, never an error.
void SetComputerName(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t done = DoComputerNameSetA(ctx, r.text[1], 0);
    SetError(ctx, 0);
    IntControlAnswer(ctx, result, done ? 1 : 0);
}

// 37: IconReplace with the four parameters.
void ReplaceIcons(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    int32_t replaced = DoIconReplace(ctx, r.text[1], r.text[2], r.p[3], r.p[4]);
    if (!ctx->nErrorCode)
        IntControlAnswer(ctx, result, replaced);
}

const IntControlRow kRows[] = {
    {30, MoveAtRestart},
    {37, ReplaceIcons},
    {58, SetClock},
    {76, SetComputerName},
};

}  // namespace

extern const IntControlFamily g_IntControlMachine = {"machine", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
