// The drive and disk built-ins: DiskExist, DiskFree, DiskSize, DiskInfo, DiskScan,
// DiskVolInfo and LogDisk. They work on ANSI text.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/drives.h"
#include "engine/files/file_args.h"

namespace {

enum : uint16_t {
    ERR_BAD_DISK_ARGUMENT = 1385,
    ERR_DISKINFO_LETTER = 1468,
    ERR_DISKINFO_REQUEST = 1469,
    ERR_DISKINFO_FAILED = 1470,
    ERR_VOLINFO_ROOT = 1519,
    ERR_VOLINFO_REQUEST = 1520,
    ERR_VOLINFO_FAILED = 1522,
};

constexpr size_t ITEM_BYTES = 280;
constexpr size_t ROOT_TEXT = 2050;

std::string RootOf(char letter)
{
    return std::string{static_cast<char>(letter & ~0x20), ':', '\\'};
}

// DiskExist's rule: a letter, or a text whose second character is ":". 0 with 1385 for
// anything else, else whether the drive exists.
int DiskExistTest(BDS* ctx, const char* drive)
{
    size_t length = strlen(drive);
    if (length == 0 || (length >= 2 && drive[1] != ':')) {
        SetError(ctx, ERR_BAD_DISK_ARGUMENT);
        return 0;
    }
    UINT kind = GetDriveTypeA(RootOf(drive[0]).c_str());
    return kind != DRIVE_UNKNOWN && kind != DRIVE_NO_ROOT_DIR ? 1 : 0;
}

// Adds the free or total bytes of one drive (a letter, or a UNC root) to the sum.
void DriveSpaceAdd(BDS* ctx, const std::string& item, bool free, uint64_t* exact)
{
    std::string root;
    if (item[0] == '\\') {
        root = item.substr(0, MAX_PATH - 1);
        if (root.back() != '\\')
            root += '\\';
    } else {
        if (!DiskExistTest(ctx, item.c_str()) || !DriveReadyA(item[0]))
            return;
        root = RootOf(item[0]);
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return;
    uint64_t clusterBytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    uint64_t clusters = free ? freeClusters : totalClusters;
    *exact += clusters * clusterBytes;
}

// DiskFree (free) and DiskSize (total) over a list of drives.
void DoDiskFree(BDS* ctx, resultants* result, const char* list, int32_t format, bool free)
{
    char delimiter = ctx->eng.ctl.FileDelimiter ? ctx->eng.ctl.FileDelimiter : '\t';
    auto separator = [&](char c) { return c == delimiter || c == '\t' || c == '|'; };
    uint64_t exact = 0;
    const char* p = list;
    while (*p) {
        while (*p && separator(*p))
            ++p;
        if (!*p)
            break;
        std::string item;
        while (*p && !separator(*p)) {
            size_t step = IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] ? 2 : 1;
            if (item.size() + step <= ITEM_BYTES)
                item.append(p, step);
            p += step;
        }
        DriveSpaceAdd(ctx, item, free, &exact);
    }
    SetResultSize(ctx, result, format, exact);
}

void DoDiskInfo(BDS* ctx, resultants* result, const char* drive, int32_t request)
{
    uint16_t kept = ctx->nErrorCode;
    if (!DiskExistTest(ctx, drive) || !DriveReadyA(drive[0])) {
        ctx->nErrorCode = kept;
        SetError(ctx, ERR_DISKINFO_LETTER);
        return;
    }
    if (request < 1 || request > 4) {
        SetError(ctx, ERR_DISKINFO_REQUEST);
        return;
    }
    DWORD values[4] = {};
    if (!GetDiskFreeSpaceA(RootOf(drive[0]).c_str(), &values[0], &values[1], &values[2], &values[3])) {
        SetError(ctx, ERR_DISKINFO_FAILED);
        return;
    }
    SetResultInt(ctx, result, static_cast<int32_t>(values[request - 1]));
}

void DoDiskScan(BDS* ctx, resultants* result, int32_t mask)
{
    uint8_t network[26];
    NetworkDriveLetters(ctx, network);
    char delimiter = ctx->eng.ctl.FileDelimiter ? ctx->eng.ctl.FileDelimiter : '\t';
    std::string list;
    for (int i = 0; i < 26; ++i) {
        char letter = static_cast<char>('A' + i);
        UINT kind = GetDriveTypeA(RootOf(letter).c_str());
        bool take = false;
        switch (kind) {
        case DRIVE_REMOVABLE: take = mask & 1; break;
        case DRIVE_FIXED: take = mask & 2; break;
        case DRIVE_REMOTE: take = mask & 4; break;
        case DRIVE_CDROM: take = mask & 8; break;
        case DRIVE_RAMDISK: take = mask & 16; break;
        default:
            if (i >= 2) {
                if (mask == 0)
                    take = !network[i];
                else if (mask & 32)
                    take = network[i];
            }
            break;
        }
        if (!take && (mask & 64) && (kind == DRIVE_REMOVABLE || kind == DRIVE_FIXED || kind == DRIVE_CDROM)) {
            int onUsb = 0;
            if (!IsUsbDrive(ctx, letter, &onUsb)) {
                SetResultInt(ctx, result, 0);
                return;
            }
            take = onUsb != 0;
        }
        if (!take)
            continue;
        if (!list.empty())
            list += delimiter;
        list += letter;
        list += ':';
    }
    SetResultText(ctx, result, list.c_str(), list.size());
}

void DoDiskVolInfo(BDS* ctx, resultants* result, const char* rootText, int32_t request)
{
    std::string root(rootText, strnlen(rootText, ROOT_TEXT));
    if (!root.empty()) {
        bool letter = (root[0] | 0x20) >= 'a' && (root[0] | 0x20) <= 'z';
        if (root.back() == '\\') {
            if (letter && !DriveReadyA(root[0])) {
                SetError(ctx, ERR_VOLINFO_ROOT);
                return;
            }
        } else {
            root += '\\';
        }
    }
    char label[ROOT_TEXT] = {}, system[ROOT_TEXT] = {};
    DWORD serial = 0, longest = 0, flags = 0;
    if (!GetVolumeInformationA(root.empty() ? nullptr : root.c_str(), label, sizeof label, &serial, &longest,
                               &flags, system, sizeof system)) {
        DWORD error = GetLastError();
        StoreLastError(ctx, error, "GetVolumeInformation", false);
        bool badRoot = error == ERROR_INVALID_DATA || error == ERROR_BAD_NETPATH || error == ERROR_BAD_PATHNAME;
        SetError(ctx, badRoot ? ERR_VOLINFO_ROOT : ERR_VOLINFO_FAILED);
        return;
    }
    auto flag = [&](DWORD bit) { SetResultInt(ctx, result, (flags & bit) ? 1 : 0); };
    switch (request) {
    case 1: SetResultText(ctx, result, label); break;
    case 2: SetResultText(ctx, result, system); break;
    case 3: {
        char text[16];
        snprintf(text, sizeof text, "%04lX-%04lX", static_cast<unsigned long>(serial >> 16),
                 static_cast<unsigned long>(serial & 0xFFFF));
        SetResultText(ctx, result, text);
        break;
    }
    case 4: SetResultInt(ctx, result, static_cast<int32_t>(serial)); break;
    case 5: SetResultInt(ctx, result, static_cast<int32_t>(longest)); break;
    case 6: flag(FILE_CASE_PRESERVED_NAMES); break;
    case 7: flag(FILE_CASE_SENSITIVE_SEARCH); break;
    case 8: flag(FILE_UNICODE_ON_DISK); break;
    case 9: flag(FILE_PERSISTENT_ACLS); break;
    case 10: flag(FILE_FILE_COMPRESSION); break;
    case 11: flag(FILE_VOLUME_IS_COMPRESSED); break;
    default: SetError(ctx, ERR_VOLINFO_REQUEST); break;
    }
}

// ---------------------------------------------------------------- dispatch cases

void CaseDiskExist(BDS* ctx, BuiltinCall& c)
{
    int exists = DiskExistTest(ctx, ArgText(ctx, c, 1));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, c.result, exists);
}

void CaseDiskFree(BDS* ctx, BuiltinCall& c)
{
    DoDiskFree(ctx, c.result, ArgText(ctx, c, 1), ArgInt(c, 2), true);
}

void CaseDiskSize(BDS* ctx, BuiltinCall& c)
{
    DoDiskFree(ctx, c.result, ArgText(ctx, c, 1), ArgInt(c, 2), false);
}

void CaseDiskInfo(BDS* ctx, BuiltinCall& c)
{
    DoDiskInfo(ctx, c.result, ArgText(ctx, c, 1), ArgInt(c, 2));
}

void CaseDiskScan(BDS* ctx, BuiltinCall& c)
{
    DoDiskScan(ctx, c.result, ArgInt(c, 1));
}

void CaseDiskVolInfo(BDS* ctx, BuiltinCall& c)
{
    DoDiskVolInfo(ctx, c.result, ArgText(ctx, c, 1), ArgInt(c, 2));
}

void CaseLogDisk(BDS* ctx, BuiltinCall& c)
{
    SetResultInt(ctx, c.result, DoLogDisk(ctx, ArgText(ctx, c, 1)[0]));
}

const BuiltinRow kRows[] = {
    {414, CaseDiskExist}, {415, CaseDiskFree},    {416, CaseDiskInfo}, {417, CaseDiskScan},
    {418, CaseDiskSize},  {419, CaseDiskVolInfo}, {558, CaseLogDisk},
};

}  // namespace

extern const BuiltinFamily g_DiskBuiltins = {"drives and disks", kRows,
                                             static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
