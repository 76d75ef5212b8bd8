// File time stamps shared by the file built-ins: the stamp of a name, its script text and
// locale text, and the comparison of two files' times.
#include "engine/files/file_time.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "engine/files/file_text.h"
#include "engine/files/path_buf.h"
#include "engine/system/date_text.h"

namespace {

constexpr uint16_t ERR_TIME_NOT_FOUND = 1125;
constexpr WORD DOS_DATE_1980 = 33;   // 1 January 1980

const FILETIME& ChosenStamp(BDS* ctx, const WIN32_FIND_DATAW& found)
{
    switch (ctx->fileops.FileTimeKind) {
    case FILE_TIME_CREATION: return found.ftCreationTime;
    case FILE_TIME_ACCESS: return found.ftLastAccessTime;
    default: return found.ftLastWriteTime;
    }
}

// Fills the context's time fields from a FILETIME in UTC: in local time, or as stored when
// the script asked for UTC texts (IntControl 102).
void FillTimeFields(BDS* ctx, const FILETIME& utc)
{
    FileOpsState& f = ctx->fileops;
    FILETIME local;
    if (ctx->eng.ctl.FileTimeUtc || !FileTimeToLocalFileTime(&utc, &local))
        local = utc;
    if (!FileTimeToDosDateTime(&local, &f.DosDate, &f.DosTime)) {
        f.DosDate = DOS_DATE_1980;
        f.DosTime = 0;
    }
    if (!FileTimeToSystemTime(&local, &f.FileTime))
        f.FileTime.wYear = 0;
}

bool FindEntry(BDS* ctx, const wchar_t* name, WIN32_FIND_DATAW& found)
{
    LocalPathBuf path;
    uint16_t kept = ctx->nErrorCode;
    if (!name || !*name || !PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE)) {
        ctx->nErrorCode = kept;
        return false;
    }
    HANDLE search = FindFirstFileW(path.text(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

struct Stamp {
    WORD dosDate, dosTime;
    SYSTEMTIME time;
};

Stamp TakeStamp(BDS* ctx)
{
    return Stamp{ctx->fileops.DosDate, ctx->fileops.DosTime, ctx->fileops.FileTime};
}

// "%2d%c%02d%c%s" and the like from the [intl] settings, for a stamp without a SYSTEMTIME.
void IntlText(const SYSTEMTIME& t, char* out, size_t capacity)
{
    IntlSettings intl;
    ReadIntlSettings(&intl);
    char date[40];
    FormatIntlDate(t, intl, date, sizeof date);
    char time[24];
    if (intl.iTime == 0) {
        int hour = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
        snprintf(time, sizeof time, "%2d%c%02d", hour, intl.sTime, t.wMinute);
        snprintf(out, capacity, "%s  %s%s", date, time, t.wHour < 12 ? intl.s1159 : intl.s2359);
    } else {
        snprintf(time, sizeof time, "%2d%c%02d", t.wHour, intl.sTime, t.wMinute);
        snprintf(out, capacity, "%s  %s", date, time);
    }
}

SYSTEMTIME FromDos(WORD date, WORD time)
{
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(1980 + (date >> 9));
    t.wMonth = static_cast<WORD>((date >> 5) & 15);
    t.wDay = static_cast<WORD>(date & 31);
    t.wHour = static_cast<WORD>(time >> 11);
    t.wMinute = static_cast<WORD>((time >> 5) & 63);
    t.wSecond = static_cast<WORD>((time & 31) * 2);
    return t;
}

}  // namespace

int FileTimeOfNameW(BDS* ctx, const wchar_t* name)
{
    WIN32_FIND_DATAW found;
    if (!FindEntry(ctx, name, found))
        return 0;
    FillTimeFields(ctx, ChosenStamp(ctx, found));
    return 1;
}

int FileTimeOfNameA(BDS* ctx, const char* name)
{
    return FileTimeOfNameW(ctx, FileNameToWide(name).c_str());
}

SYSTEMTIME FileStampFields(BDS* ctx)
{
    const FileOpsState& f = ctx->fileops;
    return f.FileTime.wYear ? f.FileTime : FromDos(f.DosDate, f.DosTime);
}

void FileTimeFormat(BDS* ctx, const FILETIME& time, char* out, size_t capacity)
{
    FillTimeFields(ctx, time);
    FormatYmdHms(FileStampFields(ctx), ctx->eng.ctl.FourDigitYear != 0, out, capacity);
}

int FileTimeCompareW(BDS* ctx, const wchar_t* first, const wchar_t* second)
{
    if (!FileTimeOfNameW(ctx, first))
        return -1;
    Stamp a = TakeStamp(ctx);
    if (!FileTimeOfNameW(ctx, second))
        return -2;
    Stamp b = TakeStamp(ctx);
    if (a.dosDate != b.dosDate)
        return a.dosDate > b.dosDate ? 1 : 0;
    if (a.dosTime != b.dosTime)
        return a.dosTime > b.dosTime ? 1 : 0;
    if (a.time.wYear && b.time.wYear) {
        if (a.time.wSecond != b.time.wSecond)
            return a.time.wSecond > b.time.wSecond ? 1 : 0;
        if (a.time.wMilliseconds != b.time.wMilliseconds)
            return a.time.wMilliseconds > b.time.wMilliseconds ? 1 : 0;
    }
    return 1;
}

int FileTimeCompareA(BDS* ctx, const char* first, const char* second)
{
    return FileTimeCompareW(ctx, FileNameToWide(first).c_str(), FileNameToWide(second).c_str());
}

int FileTimeLocaleTextW(BDS* ctx, const wchar_t* name, char* out, size_t capacity, bool withSize)
{
    if (capacity == 0)
        return 0;
    out[0] = 0;
    if (!FileTimeOfNameW(ctx, name)) {
        SetError(ctx, ERR_TIME_NOT_FOUND);
        return 0;
    }
    const FileOpsState& f = ctx->fileops;
    char text[160] = {};
    char date[64], time[64];
    if (f.FileTime.wYear &&
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &f.FileTime, nullptr, date, sizeof date) &&
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &f.FileTime, nullptr, time, sizeof time))
        snprintf(text, sizeof text, "%s  %s", date, time);
    else
        IntlText(f.FileTime.wYear ? f.FileTime : FromDos(f.DosDate, f.DosTime), text, sizeof text);

    if (withSize) {
        unsigned long long size = 0;
        LocalPathBuf path;
        uint16_t kept = ctx->nErrorCode;
        if (PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE)) {
            HANDLE file = CreateFileW(path.text(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                LARGE_INTEGER bytes;
                if (GetFileSizeEx(file, &bytes))
                    size = static_cast<unsigned long long>(bytes.QuadPart);
                CloseHandle(file);
            }
        }
        ctx->nErrorCode = kept;
        size_t used = strlen(text);
        snprintf(text + used, sizeof text - used, "   %llu bytes", size);
    }
    lstrcpynA(out, text, static_cast<int>(capacity));
    return 1;
}
