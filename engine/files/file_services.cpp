// Services of the copy built-ins: FileCreateTemp, device names and the byte copy to a
// device, and the free-space check.
#include "engine/files/file_services.h"

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/file_args.h"
#include "engine/files/file_handles.h"
#include "engine/files/path_buf.h"

namespace {

enum : uint16_t {
    ERR_DEVICE_FILE = 1507,
    ERR_DEVICE_PORT = 1508,
    ERR_DEVICE_READ = 1509,
    ERR_DEVICE_WRITE = 1510,
    ERR_NO_TEMP_PATH = 1652,
    ERR_NO_TEMP_FILE = 1653,
};

constexpr DWORD DEVICE_BLOCK = 28672;
constexpr DWORD DEVICE_FALLBACK_BLOCK = 1281;
constexpr DWORD TEMP_PATH_CHARS = 2050;

// The volume of a target: a drive's root, or for a network path its directory.
std::wstring VolumeOf(const wchar_t* target)
{
    std::wstring name = target;
    int kind = LongPrefixKindW(target);
    bool unc = kind == 3 || (kind == 0 && IsPathSeparator(name[0]) && name.size() > 1 && IsPathSeparator(name[1]));
    if (unc) {
        size_t last = name.find_last_of(L"\\/");
        return last == std::wstring::npos ? name : name.substr(0, last + 1);
    }
    size_t at = kind == 1 ? 4 : 0;
    if (name.size() >= at + 2 && name[at + 1] == L':')
        return std::wstring{static_cast<wchar_t>(towupper(name[at])), L':', L'\\'};
    return std::wstring();
}

void CaseFileCreateTemp(BDS* ctx, BuiltinCall& c)
{
    ArgPath prefix(ctx, c, 1);
    std::vector<wchar_t> directory(TEMP_PATH_CHARS + 1);
    DWORD n = GetTempPathW(TEMP_PATH_CHARS, directory.data());
    if (n == 0 || n > TEMP_PATH_CHARS) {
        SetError(ctx, ERR_NO_TEMP_PATH);
        return;
    }
    wchar_t name[MAX_PATH + 1];
    if (!GetTempFileNameW(directory.data(), prefix.text(), 0, name)) {
        SetError(ctx, ERR_NO_TEMP_FILE);
        return;
    }
    SetResultPathText(ctx, c.result, name);
}

const BuiltinRow kRows[] = {
    {467, CaseFileCreateTemp},
};

}  // namespace

extern const BuiltinFamily g_FileServiceBuiltins = {"temporary files", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int DeviceNameTest(const wchar_t* name, std::wstring* device)
{
    if (!name)
        return 0;
    const wchar_t* last = name;
    for (const wchar_t* p = name; *p; ++p)
        if (IsPathSeparator(*p) || *p == L':')
            last = p + 1;
    size_t length = wcslen(last);
    auto prefixIs = [&](const wchar_t* word) { return _wcsnicmp(last, word, 3) == 0; };
    bool port = length == 4 && (prefixIs(L"COM") || prefixIs(L"LPT")) && last[3] >= L'1' && last[3] <= L'9';
    bool usb = length == 6 && prefixIs(L"USB") && iswdigit(last[3]) && iswdigit(last[4]) && iswdigit(last[5]);
    if (!port && !usb)
        return 0;
    if (device)
        *device = last;
    return 1;
}

int CopyToDeviceW(BDS* ctx, const wchar_t* source, const wchar_t* device)
{
    StoreLastError(ctx, 0, "", false);
    if (!source || !*source) {
        SetError(ctx, ERR_DEVICE_FILE);
        return 0;
    }
    std::wstring port;
    if (!device || !*device || !DeviceNameTest(device, &port)) {
        SetError(ctx, ERR_DEVICE_PORT);
        return 0;
    }
    ScopedFile in;
    in.handle = CreateFileW(source, GENERIC_READ, ctx->eng.ctl.ReadShareMode, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!in.ok()) {
        StoreLastError(ctx, GetLastError(), "CreateFile (1)", false);
        SetError(ctx, ERR_DEVICE_FILE);
        return 0;
    }
    std::wstring path = L"\\\\.\\" + port;
    ScopedFile out;
    out.handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!out.ok()) {
        StoreLastError(ctx, GetLastError(), "CreateFile (2)", false);
        SetError(ctx, ERR_DEVICE_PORT);
        return 0;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.handle, &size) || size.QuadPart == 0)
        return 0;
    DWORD block = size.QuadPart < DEVICE_BLOCK ? static_cast<DWORD>(size.QuadPart) : DEVICE_BLOCK;
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(block);
    } catch (...) {
        buffer.resize(DEVICE_FALLBACK_BLOCK);
    }
    return CopyHandleBytes(ctx, in.handle, out.handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                           {"ReadFile", ERR_DEVICE_READ, "WriteFile", ERR_DEVICE_WRITE});
}

int CopyHandleBytes(BDS* ctx, HANDLE in, HANDLE out, void* buffer, DWORD size, const ByteCopyFailures& failures)
{
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer, size, &got, nullptr)) {
            StoreLastError(ctx, GetLastError(), failures.readCall, false);
            SetError(ctx, failures.readError);
            return 0;
        }
        if (got == 0)
            return 1;
        DWORD written = 0;
        if (!WriteFile(out, buffer, got, &written, nullptr) || written != got) {
            StoreLastError(ctx, GetLastError(), failures.writeCall, false);
            SetError(ctx, failures.writeError);
            return 0;
        }
    }
}

int DiskSpaceCheck(BDS* ctx, const wchar_t* source, const wchar_t* target, bool append)
{
    uint64_t needed = 0;
    FileNameSizeW(ctx, source, &needed);
    // A file that is replaced gives its own space back.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!append && GetFileAttributesExW(target, GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        uint64_t existing = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (existing >= needed)
            return 1;
        needed -= existing;
    }
    if (needed == 0)
        return 1;
    std::wstring volume = VolumeOf(target);
    if (volume.empty())
        return 1;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceW(volume.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 1;
    uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    if (cluster == 0)
        return 1;
    // The byte count of the extended call is not capped at 32 bits of clusters.
    uint64_t freeBytes = static_cast<uint64_t>(freeClusters) * cluster;
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(volume.c_str(), &available, nullptr, nullptr))
        freeBytes = available.QuadPart;
    uint64_t clustersNeeded = (needed + cluster - 1) / cluster;
    return freeBytes / cluster >= clustersNeeded ? 1 : 0;
}
