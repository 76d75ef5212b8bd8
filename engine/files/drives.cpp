// Drive tests shared by the file routines: ready, on a USB bus, remembered network
// letters, the current drive, and changing the current drive.
#include "engine/files/drives.h"

#include <windows.h>
#include <winioctl.h>
#include <winnetwk.h>

#include <cstdio>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/errors.h"

namespace {

enum : uint16_t {
    ERR_NOT_ONLINE = 1028,
    ERR_DISKINFO_FAILED = 1470,
    ERR_ILLEGAL_DRIVE = 3026,
};

constexpr DWORD SCRATCH_BYTES = 1281;

char UpperLetter(int c)
{
    return static_cast<char>(c & ~0x20);
}

}  // namespace

int DriveReadyA(char letter)
{
    return DriveReadyW(static_cast<unsigned char>(letter));
}

int DriveReadyW(wchar_t letter)
{
    wchar_t probe[] = {static_cast<wchar_t>(letter & ~0x20), L':', L'\\', L'N', L'U', L'L', 0};
    CriticalErrorsOff quiet;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(probe, &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return 1;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

int IsUsbDrive(BDS* ctx, char letter, int* onUsb)
{
    *onUsb = 0;
    char device[8];
    snprintf(device, sizeof device, "\\\\.\\%c:", letter);
    HANDLE handle = CreateFileA(device, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED)
            return 1;
        StoreLastError(ctx, error, "IsStorageDeviceBusTypeUSB", false);
        SetError(ctx, ERR_DISKINFO_FAILED);
        return 0;
    }
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor,
                              sizeof descriptor, &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok) {
        StoreLastError(ctx, error, "IsStorageDeviceBusTypeUSB", false);
        SetError(ctx, ERR_DISKINFO_FAILED);
        return 0;
    }
    *onUsb = descriptor.BusType == BusTypeUsb ? 1 : 0;
    return 1;
}

void NetworkDriveLetters(BDS*, uint8_t flags[26])
{
    for (int i = 0; i < 26; ++i)
        flags[i] = 0;
    HANDLE enumeration = nullptr;
    if (WNetOpenEnumA(RESOURCE_REMEMBERED, RESOURCETYPE_DISK, RESOURCEUSAGE_CONNECTABLE, nullptr, &enumeration) !=
        NO_ERROR)
        return;
    std::vector<uint8_t> scratch(SCRATCH_BYTES);
    for (;;) {
        DWORD count = 0xFFFFFFFF;
        DWORD size = SCRATCH_BYTES;
        DWORD answer = WNetEnumResourceA(enumeration, &count, scratch.data(), &size);
        if (answer != NO_ERROR)
            break;
        auto* resources = reinterpret_cast<NETRESOURCEA*>(scratch.data());
        for (DWORD i = 0; i < count; ++i) {
            const char* local = resources[i].lpLocalName;
            if (!local)
                continue;
            char upper = UpperLetter(static_cast<unsigned char>(local[0]));
            if (upper >= 'A' && upper <= 'Z')
                flags[upper - 'A'] = 1;
        }
    }
    WNetCloseEnum(enumeration);
}

char CurrentDriveLetterA()
{
    char current[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof current, current);
    return n && n < sizeof current ? current[0] : 0;
}

wchar_t CurrentDriveLetterW()
{
    wchar_t current[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, current);
    if (n && n < MAX_PATH)
        return current[0];
    std::vector<wchar_t> longer(n + 1);
    return GetCurrentDirectoryW(n + 1, longer.data()) ? longer[0] : 0;
}

int DoLogDisk(BDS* ctx, char letter)
{
    return DoLogDiskW(ctx, static_cast<unsigned char>(letter));
}

int DoLogDiskW(BDS* ctx, wchar_t letter)
{
    wchar_t upper = static_cast<wchar_t>(letter & ~0x20);
    if (letter > 0x7F || upper < L'A' || upper > L'Z') {
        SetError(ctx, ERR_ILLEGAL_DRIVE);
        return 0;
    }
    if (DriveReadyW(upper)) {
        wchar_t drive[] = {upper, L':', 0};
        if (SetCurrentDirectoryW(drive))
            return 1;
        StoreLastError(ctx, GetLastError(), "SetCurrentDirectory", true);
    }
    SetError(ctx, ERR_NOT_ONLINE);
    return 0;
}
