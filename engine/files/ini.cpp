// The profile (INI) built-ins IniRead, IniReadPvt, IniWrite, IniWritePvt, IniDelete and
// IniDeletePvt, on WIN.INI or on a private file, through the system's profile functions.
#include "engine/files/ini.h"

#include <cstring>

#include "engine/core/builtin.h"

namespace {

enum : uint16_t {
    ERR_FORBIDDEN_ENTRY = 1335,
    ERR_NO_MEMORY = 1588,
};

constexpr DWORD READ_BUFFER_SIZE = 65535;
constexpr char WHOLE_SECTION_KEY[] = "692837";   // the value of @wholesection

// A movable block locked for the time of one call.
struct LockedBlock {
    HGLOBAL handle = nullptr;
    char* data = nullptr;
    ~LockedBlock()
    {
        if (data)
            GlobalUnlock(handle);
        if (handle)
            GlobalFree(handle);
    }
};

}  // namespace

bool IniIsForbiddenEntry(const char* section, const char* key)
{
    return lstrcmpiA(section, "386ENH") == 0 && lstrcmpiA(key, "DEVICE") == 0;
}

void DoIniRead(BDS* ctx, resultants* result, const char* section, const char* key,
               const char* fallback, const char* file)
{
    if (file && IniIsForbiddenEntry(section, key)) {
        SetError(ctx, ERR_FORBIDDEN_ENTRY);
        return;
    }
    LockedBlock buffer;
    buffer.handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, READ_BUFFER_SIZE);
    if (buffer.handle)
        buffer.data = static_cast<char*>(GlobalLock(buffer.handle));
    if (!buffer.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    DWORD length = file ? GetPrivateProfileStringA(section, key, fallback, buffer.data,
                                                   READ_BUFFER_SIZE, file)
                        : GetProfileStringA(section, key, fallback, buffer.data,
                                            READ_BUFFER_SIZE);
    SetResultText(ctx, result, buffer.data, strnlen(buffer.data, length));
}

void DoIniWrite(BDS* ctx, resultants* result, const char* section, const char* key,
                const char* value, const char* file)
{
    bool flush = !*section && !*key && !*value;
    if (file) {
        if (flush) {
            SetResultInt(ctx, result, WritePrivateProfileStringA(nullptr, nullptr, nullptr, file));
            return;
        }
        if (IniIsForbiddenEntry(section, key)) {
            SetError(ctx, ERR_FORBIDDEN_ENTRY);
            return;
        }
        SetResultInt(ctx, result, WritePrivateProfileStringA(section, key, value, file));
        return;
    }

    if (flush) {
        WriteProfileStringA(nullptr, nullptr, nullptr);
        SetResultInt(ctx, result, 1);
        return;
    }
    WriteProfileStringA(section, key, value);
    // Tell the other programs which section changed; a hung window does not hold the script.
    size_t length = strlen(section) + 1;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, length);
    if (copy) {
        char* text = static_cast<char*>(GlobalLock(copy));
        if (text)
            memcpy(text, section, length);
        ctx->builtins.bIniChange = 1;
        DWORD_PTR ignored;
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 5000, &ignored);
        ctx->builtins.bIniChange = 0;
        if (text)
            GlobalUnlock(copy);
        GlobalFree(copy);
    }
    SetResultInt(ctx, result, 1);
}

void DoIniDelete(BDS* ctx, resultants* result, const char* section, const char* key,
                 const char* file)
{
    const char* entry = strcmp(key, WHOLE_SECTION_KEY) == 0 ? nullptr : key;
    if (file)
        WritePrivateProfileStringA(section, entry, nullptr, file);
    else
        WriteProfileStringA(section, entry, nullptr);
    SetResultInt(ctx, result, 0);
}

// ---------------------------------------------------------------- dispatch cases

namespace {

void CaseIniDelete(BDS* ctx, BuiltinCall& c)
{
    DoIniDelete(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), nullptr);
}

void CaseIniDeletePvt(BDS* ctx, BuiltinCall& c)
{
    DoIniDelete(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3));
}

void CaseIniRead(BDS* ctx, BuiltinCall& c)
{
    DoIniRead(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
              nullptr);
}

void CaseIniReadPvt(BDS* ctx, BuiltinCall& c)
{
    DoIniRead(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
              ArgText(ctx, c, 4));
}

void CaseIniWrite(BDS* ctx, BuiltinCall& c)
{
    DoIniWrite(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
               nullptr);
}

void CaseIniWritePvt(BDS* ctx, BuiltinCall& c)
{
    DoIniWrite(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
               ArgText(ctx, c, 4));
}

const BuiltinRow kRows[] = {
    {524, CaseIniDelete},
    {525, CaseIniDeletePvt},
    {528, CaseIniRead},
    {529, CaseIniReadPvt},
    {530, CaseIniWrite},
    {531, CaseIniWritePvt},
};

}  // namespace

extern const BuiltinFamily g_IniBuiltins = {"ini", kRows,
                                            static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
