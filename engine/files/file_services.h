// Smaller services of the copy built-ins: device names (ports and USB devices) and the
// byte copy to them, the byte copy between open files and the free-space check before a copy.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct BDS;

// 1 when the last component of the name is a device ("COM1"-"COM9", "LPT1"-"LPT9",
// "USB" and three digits, any case); `device` then gets that component.
int DeviceNameTest(const wchar_t* name, std::wstring* device);

// Copies the source's bytes to the device. 1, or 0 (an empty source is 0 without an error;
// 1507-1510 otherwise).
int CopyToDeviceW(BDS* ctx, const wchar_t* source, const wchar_t* device);

// What a failed read or write of CopyHandleBytes records (StoreLastError) and sets.
struct ByteCopyFailures {
    const char* readCall;
    uint16_t readError;
    const char* writeCall;
    uint16_t writeError;
};

// Copies the rest of `in` to `out` through the buffer: 1 at the end of `in`, 0 after a
// failed read or write.
int CopyHandleBytes(BDS* ctx, HANDLE in, HANDLE out, void* buffer, DWORD size, const ByteCopyFailures& failures);

// 1 when the target's volume has room for the source (for an append: for all of it; else
// for what the source adds over an existing target), 0 when it does not. A volume that
// cannot be asked, or that reports no cluster size, counts as having room.
int DiskSpaceCheck(BDS* ctx, const wchar_t* source, const wchar_t* target, bool append);
