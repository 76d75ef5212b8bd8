// COM failures as script errors: the HRESULT map and the settings and extended-error
// records of failures and exceptions.
#include "engine/com/com_errors.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/com/com_names.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/files/settings.h"

namespace {

struct HresultRow {
    uint32_t hr;
    uint16_t number;
};

// Sorted by code for the binary search.
const HresultRow kMap[] = {
    {0x80020001, 1254}, {0x80020003, 1255}, {0x80020004, 1256}, {0x80020005, 1257},
    {0x80020006, 1258}, {0x80020007, 1259}, {0x80020008, 1260}, {0x80020009, 1261},
    {0x8002000A, 1262}, {0x8002000B, 1263}, {0x8002000C, 1264}, {0x8002000D, 1265},
    {0x8002000E, 1266}, {0x8002000F, 1267}, {0x80020010, 1268}, {0x80020011, 1269},
    {0x80028016, 1275}, {0x80028018, 1277}, {0x80028019, 1278}, {0x8002801C, 1281},
    {0x8002801D, 1282}, {0x80028027, 1286}, {0x80028028, 1287}, {0x80028029, 1288},
    {0x8002802A, 1289}, {0x8002802B, 1290}, {0x8002802C, 1291}, {0x8002802F, 1293},
    {0x800288BD, 1294}, {0x80028CA0, 1292}, {0x80028CA2, 1270}, {0x80028CA3, 1272},
    {0x80029C4A, 1297}, {0x800401F3, 1727}, {0x80040201, 1755}, {0x80040202, 1754},
    {0x80045848, 1848}, {0x80045851, 1851}, {0x80070002, 1299}, {0x80070005, 1728},
    {0x8007000E, 1513}, {0x80070057, 1570},
};

constexpr uint32_t FACILITY_DOTNET = 0x13;

// "%u (0x%08lX)" from the low 16 bits and the whole code.
void FormatCode(uint32_t code, char* out, size_t size)
{
    std::snprintf(out, size, "%u (0x%08lX)", code & 0xFFFFu, static_cast<unsigned long>(code));
}

// A BSTR as ANSI text cut to 255 bytes (never inside a double-byte character); `cut`
// tells whether text was left out.
void BstrToAnsi(BDS* ctx, BSTR text, char out[256], bool* cut)
{
    out[0] = 0;
    *cut = false;
    int length = text ? static_cast<int>(SysStringLen(text)) : 0;
    if (length == 0)
        return;
    UINT codePage = ComCodePage(ctx);
    int bytes = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    std::vector<char> all(static_cast<size_t>(bytes) + 1);
    WideCharToMultiByte(codePage, 0, text, length, all.data(), bytes, nullptr, nullptr);
    int keep = bytes;
    if (keep > 255) {
        *cut = true;
        keep = 0;
        while (keep < bytes) {
            int step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(all[keep])) ? 2 : 1;
            if (keep + step > 255)
                break;
            keep += step;
        }
    }
    std::memcpy(out, all.data(), static_cast<size_t>(keep));
    out[keep] = 0;
}

// A settings key may hold neither "=" nor the section brackets, a comment mark or a break.
void MakeIniKey(char* text)
{
    for (char* p = text; *p; ++p)
        if (*p == '=' || *p == '[' || *p == ']' || *p == ';' || *p == '\r' || *p == '\n')
            *p = '_';
}

}  // namespace

uint16_t HresultErrorNumber(HRESULT hr)
{
    uint32_t code = static_cast<uint32_t>(hr);
    size_t lo = 0, hi = sizeof(kMap) / sizeof(kMap[0]);
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (kMap[mid].hr == code)
            return kMap[mid].number;
        if (kMap[mid].hr < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    return ((code >> 16) & 0x1FFF) == FACILITY_DOTNET ? 1261 : 1298;
}

void RecordComFailure(BDS* ctx, HRESULT hr, const char* operation)
{
    char code[40];
    FormatCode(static_cast<uint32_t>(hr), code, sizeof code);
    WriteSettingsIni(ctx, COM_SETTINGS_SECTION, "Function", operation ? operation : "");
    WriteSettingsIni(ctx, COM_SETTINGS_SECTION, "ErrorCode", code);
    char desc[201];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(hr), 0, desc, sizeof desc, nullptr);
    while (n > 0 && (desc[n - 1] == '\r' || desc[n - 1] == '\n' || desc[n - 1] == ' '))
        desc[--n] = 0;
    WriteSettingsIni(ctx, COM_SETTINGS_SECTION, "ErrorDesc", n ? desc : nullptr);
}

uint16_t HresultToErrorNumber(BDS* ctx, HRESULT hr, const char* operation)
{
    RecordComFailure(ctx, hr, operation);
    return HresultErrorNumber(hr);
}

void RecordComException(BDS* ctx, const char* title, BSTR source, BSTR description, SCODE scode)
{
    char sourceText[256], descText[260];
    bool cut = false, unused = false;
    if (!source && !description) {
        if (scode == 0 || scode == 1 || scode == E_FAIL)
            return;
        lstrcpynA(sourceText, "Exception scode", sizeof sourceText);
        FormatCode(static_cast<uint32_t>(scode), descText, sizeof descText);
    } else {
        BstrToAnsi(ctx, source, sourceText, &unused);
        BstrToAnsi(ctx, description, descText, &cut);
        if (cut && descText[0])
            std::strcat(descText, "...");
    }
    SysFreeString(source);
    SysFreeString(description);
    if (!sourceText[0] && !descText[0])
        return;
    char key[256];
    lstrcpynA(key, sourceText, sizeof key);
    MakeIniKey(key);
    WriteSettingsIni(ctx, title, key, descText);
    char entry[600];
    std::snprintf(entry, sizeof entry, "%s:\n\n    %s\n    %s", title, sourceText, descText);
    AppendExtendedError(ctx, entry);
}

bool IsTextCarryingError(BDS* ctx)
{
    auto carries = [](uint32_t n) {
        return n == 1213 || n == 1668 || n == 2214 || n == 2669 || n == 3215 || n == 3670 ||
               n == 9014 || n == 9016;
    };
    uint16_t n = ctx->nErrorCode;
    return carries(n) || (n == CC_ALREADY_SHOWN && carries(ctx->nErrorDetail));
}

int FillExcepInfoFromError(BDS* ctx, EXCEPINFO* info, SCODE scode)
{
    std::memset(info, 0, sizeof *info);
    if (ctx->nErrorCode <= 99)
        return 1;
    info->bstrSource = AnsiToBstr(ctx, ctx->szProductName);
    char text[TEXTBUF];
    if (IsTextCarryingError(ctx))
        lstrcpynA(text, ctx->host.szExtErrorText, sizeof text);
    else
        LoadMyString(ctx, EngineModule(), ctx->nErrorCode, text, sizeof text);
    info->bstrDescription = AnsiToBstr(ctx, text);
    info->scode = scode;
    return 0;
}
