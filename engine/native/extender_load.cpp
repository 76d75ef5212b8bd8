// Extender loading: AddExtender loads a library, checks its version and interface, lets it
// initialise and adds the functions it announces to the context's extension rows; IntControl
// 99 unloads one by file name, and engine end tells each its end and frees them all.
//
// Invariants:
// - A slot is in use exactly when hExtModule[slot] is set; nExtCount counts those slots.
// - Row r of the extension rows is keyword id 10000 + r; its stored id is (slot + 1) * 10000
//   + the extender's function code, and the name map maps its name to r. Rows of one
//   extender are contiguous; unloading it closes the gap and renumbers the map.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/keyword_lookup.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/trace.h"
#include "engine/core/trace_dumps.h"
#include "engine/files/path_search.h"
#include "engine/native/addon_keywords.h"
#include "engine/native/extender.h"
#include "engine/native/library_name.h"
#include "engine/native/native_call.h"
#include "engine/ui/message_box.h"

namespace {

enum : uint16_t {
    ERR_TOO_MANY = 1393,
    ERR_NOT_FOUND = 1394,
    ERR_NOT_EXTENDER = 1395,
    ERR_TABLE_FULL = 1396,
    ERR_REFUSED = 1399,
    ERR_LOAD_FAILED = 1437,
    ERR_UNSUPPORTED = 1651,
    ERR_VERSION_LOW = 1654,
    ERR_OUTDATED = 1664,
};

enum : int {
    MSG_LOAD_ERROR = 850,
    MSG_DEPENDENCY = 851,
    MSG_WRONG_PLATFORM = 852,
    MSG_WRONG_PLATFORM_NET = 853,
    MSG_INVALID = 854,
    MSG_INIT_FAILED = 855,
    MSG_MISSING_ENTRY_END = 863,
    MSG_API_ERROR = 881,
};

constexpr size_t INIT_TEXT_CHARS = 256;
constexpr size_t FUNCTION_RECORD_BYTES = 256;   // room beyond 56 bytes for long wide names
constexpr size_t ROW_NAME_MAX = 31;
constexpr uint32_t OLD_SERVICE_VERSION = 1003;

using ExtenderQuery = int32_t (*)(int32_t what, void* buffer, int32_t size);

// The block that interface-1 extenders receive while they announce their functions.
struct OldServiceBlock {
    uint32_t version;
    uint32_t size;
    void* dllServices;
    uint64_t instance;
    uint64_t instance2;
    HWND owner;
};
static_assert(sizeof(OldServiceBlock) == 40);

// The maker's own extender files and the oldest major version each must have.
struct VersionGate {
    const char* baseName;
    uint32_t minimum;
};
const VersionGate kVersionGates[] = {
    {"belqa64r", 39025}, {"dunso64r", 44088}, {"fimka64r", 44018}, {"gorve64r", 44007},
};

void ShowLoadBox(BDS* ctx, HWND owner, const char* text)
{
    char title[256];
    LoadMyString(ctx, EngineModule(), MSG_LOAD_ERROR, title, sizeof title);
    ShowMessageBox(ctx, owner, text, title, MB_OK | MB_ICONSTOP);
}

void ShowLoadMessage(BDS* ctx, int message, DWORD code)
{
    char text[512];
    LoadMyString(ctx, EngineModule(), message, text, sizeof text);
    if (message == MSG_API_ERROR) {
        size_t used = strlen(text);
        snprintf(text + used, sizeof text - used, " %ld", static_cast<long>(code));
    }
    ShowLoadBox(ctx, ctx->hwndOwner, text);
}

HMODULE LoadExtenderLibrary(BDS* ctx, const LibraryName& file)
{
    DWORD failure = 0;
    HMODULE module = LoadNamedLibrary(file, &failure);
    if (module)
        return module;
    int message;
    switch (failure) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_MOD_NOT_FOUND:
    case ERROR_NO_MATCH:
        if (!LibraryExists(ctx, file)) {
            SetError(ctx, ERR_NOT_FOUND);
            return nullptr;
        }
        message = MSG_DEPENDENCY;
        break;
    case ERROR_GEN_FAILURE: message = MSG_WRONG_PLATFORM; break;
    case ERROR_PROC_NOT_FOUND: message = MSG_WRONG_PLATFORM_NET; break;
    case ERROR_BAD_EXE_FORMAT: message = MSG_INVALID; break;
    case ERROR_DLL_INIT_FAILED: message = MSG_INIT_FAILED; break;
    default: message = MSG_API_ERROR; break;
    }
    ShowLoadMessage(ctx, message, failure);
    SetError(ctx, ERR_LOAD_FAILED);
    return nullptr;
}

// The extender's version and interface level from its query entry (none: 0 and 1).
void QueryExtender(HMODULE module, int32_t* version, uint32_t* level)
{
    auto wide = reinterpret_cast<ExtenderQuery>(reinterpret_cast<void*>(GetProcAddress(module, "ZALExtenderQueryW")));
    auto narrow = reinterpret_cast<ExtenderQuery>(reinterpret_cast<void*>(GetProcAddress(module, "ZALExtenderQuery")));
    wchar_t wideText[2049] = {};
    char text[2049] = {};
    char small[8] = {};
    if (wide) {
        *version = wide(1, wideText, 2049);
        *level = static_cast<uint32_t>(wide(2, small, 5)) + 100000;
    } else if (narrow) {
        *version = narrow(1, text, 2049);
        *level = static_cast<uint32_t>(narrow(2, small, 5));
    } else {
        *version = 0;
        *level = 1;
    }
}

// The fixed version block of a module's file; false when it has none.
bool ModuleFileVersion(HMODULE module, VS_FIXEDFILEINFO* out)
{
    char path[MAX_PATH];
    if (!GetModuleFileNameA(module, path, sizeof path))
        return false;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (!size)
        return false;
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    bool found = block && GetFileVersionInfoA(path, 0, size, block) &&
                 VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &length) && info &&
                 length >= sizeof *info;
    if (found)
        *out = *info;
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
    return found;
}

// The major file version of a module (the leading number of its "#FileVersion"), 0 when
// it has no version block.
uint32_t MajorFileVersion(HMODULE module)
{
    VS_FIXEDFILEINFO info{};
    return ModuleFileVersion(module, &info) ? HIWORD(info.dwFileVersionMS) : 0;
}

// The trace's note of a loaded extender: its path and "#FileVersion" text ("???" without one).
void TraceLoaded(BDS* ctx, HMODULE module)
{
    if (!TraceIsOn(ctx))
        return;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof path);
    char version[100] = {};
    VS_FIXEDFILEINFO info{};
    if (ModuleFileVersion(module, &info))
        snprintf(version, sizeof version, "%u,%u,%u,%u", HIWORD(info.dwFileVersionMS),
                 LOWORD(info.dwFileVersionMS), HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
    TraceExtenderLoaded(ctx, path, version);
}

// The gates on known extenders: the refused ODBC extender, the maker's minimum versions.
bool PassesVersionGates(HMODULE module, uint32_t level)
{
    if (level == 1) {
        char name[64] = {};
        if (LoadStringA(module, 1000, name, sizeof name) > 0 && lstrcmpiA(name, "ZAL ODBC Extender") == 0)
            return false;
    }
    char path[MAX_PATH];
    if (!GetModuleFileNameA(module, path, sizeof path))
        return true;
    const char* base = strrchr(path, '\\');
    base = base ? base + 1 : path;
    for (const VersionGate& gate : kVersionGates) {
        size_t n = strlen(gate.baseName);
        if (_strnicmp(base, gate.baseName, n) == 0 && (base[n] == '.' || base[n] == 0))
            return MajorFileVersion(module) >= gate.minimum;
    }
    return true;
}

int FindSlotOf(BDS* ctx, HMODULE module)
{
    for (int slot = 0; slot < EXTENDER_MAX; ++slot)
        if (ctx->native.hExtModule[slot] == module)
            return slot;
    return -1;
}

// Initialisation (levels 2 and up): false when the extender refuses, after its text, if it
// gave one, was shown.
bool InitialiseExtender(BDS* ctx, uint32_t slot, ExtenderEntry entry)
{
    uint32_t level = ctx->native.nExtInterface[slot];
    if (level < 2)
        return true;
    ExtAnswerContext answer;
    BuildAnswerContext(ctx, nullptr, &answer);
    wchar_t buffer[INIT_TEXT_CHARS + 1] = {};
    int32_t status = entry(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, EXT_CODE_INIT,
                           nullptr, &answer, &ctx->native.nExtSlotWord[slot],
                           reinterpret_cast<uint64_t>(buffer), INIT_TEXT_CHARS, 0, 0, 0);
    if (status >= 0)
        return true;
    char text[INIT_TEXT_CHARS * 2 + 1] = {};
    if (level == EXT_INTERFACE_WIDE) {
        buffer[INIT_TEXT_CHARS] = 0;
        WideCharToMultiByte(ValueCodePage(ctx), 0, buffer, -1, text, sizeof text - 1, nullptr, nullptr);
    } else {
        memcpy(text, buffer, INIT_TEXT_CHARS);
        text[INIT_TEXT_CHARS] = 0;
    }
    if (text[0])
        ShowLoadBox(ctx, GetFocus(), text);
    return false;
}

// Fills the next row from a function record of the extender's level.
bool AddRow(BDS* ctx, uint32_t slot, const uint8_t* record)
{
    uint32_t level = ctx->native.nExtInterface[slot];
    KeywordRecord& row = AddonRows(ctx)[ctx->nNextExtEntry];
    row = KeywordRecord{};
    char name[sizeof row.name] = {};
    int32_t code;
    if (level == 1) {
        int16_t code16, type16;
        uint16_t arity, length;
        memcpy(&code16, record, 2);
        memcpy(&type16, record + 2, 2);
        memcpy(&arity, record + 4, 2);
        memcpy(&length, record + 8, 2);
        code = code16;
        row.type = static_cast<uint32_t>(type16);
        row.signature = 0x11111;
        row.arity = arity;
        size_t n = strnlen(reinterpret_cast<const char*>(record + 10), ROW_NAME_MAX);
        memcpy(name, record + 10, n);
    } else {
        KeywordRecord given;
        memcpy(&given, record, sizeof given);
        code = static_cast<int32_t>(given.id);
        row.type = given.type;
        row.signature = given.signature;
        row.arity = given.arity;
        if (level == EXT_INTERFACE_WIDE) {
            wchar_t wide[ROW_NAME_MAX + 1] = {};
            memcpy(wide, record + 22, sizeof(wchar_t) * ROW_NAME_MAX);
            WideCharToMultiByte(ValueCodePage(ctx), 0, wide, -1, name, ROW_NAME_MAX, nullptr, nullptr);
        } else {
            memcpy(name, given.name, ROW_NAME_MAX);
        }
    }
    name[ROW_NAME_MAX] = 0;
    CharLowerBuffA(name, static_cast<DWORD>(strlen(name)));
    row.id = (slot + 1) * 10000 + static_cast<uint32_t>(code % 10000);
    row.nameLength = static_cast<uint16_t>(strlen(name));
    memcpy(row.name, name, row.nameLength);
    if (!NameMapInsert(ctx, name, ctx->nNextExtEntry))
        return false;
    ++ctx->nNextExtEntry;
    return true;
}

// Asks the extender for its functions until it answers other than 1.
bool EnumerateFunctions(BDS* ctx, uint32_t slot, ExtenderEntry entry)
{
    uint32_t level = ctx->native.nExtInterface[slot];
    void* slotWord = &ctx->native.nExtSlotWord[slot];
    ExtAnswerContext answer;
    BuildAnswerContext(ctx, nullptr, &answer);
    OldServiceBlock block{OLD_SERVICE_VERSION, sizeof(OldServiceBlock), answer.dllServices,
                          answer.instance, answer.instance2, answer.owner};
    uint32_t oldVersion = OLD_SERVICE_VERSION;
    for (uint32_t index = 0;; ++index) {
        if (ctx->nNextExtEntry >= ADDON_COUNT) {
            SetError(ctx, ERR_TABLE_FULL);
            return false;
        }
        uint8_t record[FUNCTION_RECORD_BYTES] = {};
        int32_t result;
        if (level == 1)
            result = entry(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, EXT_CODE_ENUMERATE_V1,
                           nullptr, nullptr, slotWord, reinterpret_cast<uint64_t>(record), index,
                           reinterpret_cast<uint64_t>(&oldVersion), reinterpret_cast<uint64_t>(&block),
                           reinterpret_cast<uint64_t>(""));
        else
            result = entry(ctx->hwndOwner, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, EXT_CODE_ENUMERATE,
                           nullptr, &answer, slotWord, reinterpret_cast<uint64_t>(record), index, 0, 0, 0);
        if (result != 1) {
            if (result == -1) {
                SetError(ctx, ERR_REFUSED);
                return false;
            }
            return true;
        }
        if (!AddRow(ctx, slot, record))
            return false;
    }
}

// Sends the end code; false when the extender has no call entry (the box was shown).
bool SendEndCode(BDS* ctx, uint32_t slot)
{
    ExtenderEntry entry = ExtenderEntryOf(ctx, slot);
    if (!entry) {
        ShowMissingEntry(ctx, MSG_MISSING_ENTRY_END);
        return false;
    }
    void* slotWord = &ctx->native.nExtSlotWord[slot];
    ExtAnswerContext answer;
    BuildAnswerContext(ctx, nullptr, &answer);
    HWND window = ExtenderWindow(ctx);
    if (ctx->native.nExtInterface[slot] == 1) {
        auto empty = reinterpret_cast<uint64_t>("");
        entry(window, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, EXT_CODE_END_V1,
              reinterpret_cast<void*>(&ExtAnswerV1), &answer, slotWord, empty, empty, empty, empty, empty);
    } else {
        entry(window, ctx->hHostInstance, HOST_CALL_INTERFACE_WORD, EXT_CODE_END, nullptr, &answer,
              slotWord, 0, 0, 0, 0, 0);
    }
    return true;
}

void ClearSlot(BDS* ctx, uint32_t slot)
{
    NativeState& n = ctx->native;
    n.hExtModule[slot] = nullptr;
    n.nExtSlotWord[slot] = 0;
    n.nExtInterface[slot] = 0;
    if (n.nExtCount)
        --n.nExtCount;
}

// Removes the rows of the extender in `slot` and moves the later rows up.
void RemoveRows(BDS* ctx, uint32_t slot)
{
    KeywordRecord* rows = AddonRows(ctx);
    if (!rows)
        return;
    uint32_t low = (slot + 1) * 10000;
    uint32_t kept = 0;
    uint32_t used = ctx->nNextExtEntry;
    for (uint32_t r = 0; r < used; ++r) {
        KeywordRecord& row = rows[r];
        if (row.id >= low && row.id <= low + 9999) {
            NameMapRemove(ctx, row.name);
            continue;
        }
        if (kept != r) {
            rows[kept] = row;
            NameMapInsert(ctx, rows[kept].name, kept);
        }
        ++kept;
    }
    for (uint32_t r = kept; r < used; ++r)
        rows[r] = KeywordRecord{};
    ctx->nNextExtEntry = kept;
}

bool AddExtender(BDS* ctx, const LibraryName& file, int32_t required)
{
    NativeState& n = ctx->native;
    if (n.nExtCount >= EXTENDER_MAX) {
        SetError(ctx, ERR_TOO_MANY);
        return false;
    }
    if (ctx->nNextExtEntry >= ADDON_COUNT) {
        SetError(ctx, ERR_TABLE_FULL);
        return false;
    }
    HMODULE module = LoadExtenderLibrary(ctx, file);
    if (!module)
        return false;
    int32_t version;
    uint32_t level;
    QueryExtender(module, &version, &level);
    uint16_t refusal = 0;
    if (version < required)
        refusal = ERR_VERSION_LOW;
    else if (!PassesVersionGates(module, level))
        refusal = ERR_OUTDATED;
    else if (level < 1 || (level > 5 && level != EXT_INTERFACE_WIDE))
        refusal = ERR_UNSUPPORTED;
    if (refusal) {
        FreeLibrary(module);
        SetError(ctx, refusal);
        return false;
    }
    const char* entryName = level == 1 ? "ZALExtender" : level < 100000 ? "ZALExtender2" : "ZALExtender2W";
    auto entry = reinterpret_cast<ExtenderEntry>(reinterpret_cast<void*>(GetProcAddress(module, entryName)));
    if (!entry) {
        FreeLibrary(module);
        SetError(ctx, ERR_NOT_EXTENDER);
        return false;
    }
    if (FindSlotOf(ctx, module) >= 0) {   // already loaded: drop the extra reference
        FreeLibrary(module);
        return true;
    }
    int slot = FindSlotOf(ctx, nullptr);
    n.nExtInterface[slot] = level;
    n.nExtSlotWord[slot] = 0;
    if (!InitialiseExtender(ctx, static_cast<uint32_t>(slot), entry)) {
        n.nExtInterface[slot] = 0;
        FreeLibrary(module);
        SetError(ctx, ERR_REFUSED);
        return false;
    }
    n.hExtModule[slot] = module;
    ++n.nExtCount;
    if (!NameMapCreate(ctx, ADDON_COUNT) || !AddonRowsEnsure(ctx))
        return false;
    TraceLoaded(ctx, module);
    return EnumerateFunctions(ctx, static_cast<uint32_t>(slot), entry);
}

// AddExtender(file [, required version [, file to load]])
void CaseAddExtender(BDS* ctx, BuiltinCall& call)
{
    int named = HasArg(call, 3) ? 3 : 1;
    LibraryName file = HasArg(call, named) ? LibraryNameOf(ctx, &call.args[named]) : LibraryName{};
    SetResultInt(ctx, call.result, AddExtender(ctx, file, ArgInt(call, 2)) ? 1 : 0);
}

const BuiltinRow kRows[] = {
    {257, CaseAddExtender},
};

}  // namespace

extern const BuiltinFamily g_ExtenderBuiltins = {"extender", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int UnloadExtenderByName(BDS* ctx, const char* name)
{
    char base[MAX_PATH] = {}, extension[MAX_PATH] = {};
    const char* start = strrchr(name, '\\');
    start = start ? start + 1 : name;
    const char* dot = strrchr(start, '.');
    size_t baseLength = dot ? static_cast<size_t>(dot - start) : strlen(start);
    if (baseLength >= sizeof base)
        return 0;
    memcpy(base, start, baseLength);
    if (dot)
        lstrcpynA(extension, dot + 1, sizeof extension);
    char wanted[MAX_PATH * 2];
    snprintf(wanted, sizeof wanted, extension[0] ? "%s.%s" : "%s", base, extension);

    NativeState& n = ctx->native;
    for (uint32_t slot = 0; slot < EXTENDER_MAX; ++slot) {
        if (!n.hExtModule[slot])
            continue;
        char path[MAX_PATH];
        if (!GetModuleFileNameA(n.hExtModule[slot], path, sizeof path))
            continue;
        const char* file = strrchr(path, '\\');
        file = file ? file + 1 : path;
        if (lstrcmpiA(file, wanted) != 0)
            continue;
        if (!SendEndCode(ctx, slot))
            return 0;
        FreeLibrary(n.hExtModule[slot]);
        ClearSlot(ctx, slot);
        RemoveRows(ctx, slot);
        return 1;
    }
    return 0;
}

void NotifyExtendersOfEnd(BDS* ctx)
{
    for (uint32_t slot = 0; slot < EXTENDER_MAX; ++slot) {
        if (ctx->native.hExtModule[slot] && !SendEndCode(ctx, slot))
            return;
    }
}

void UnloadExtenders(BDS* ctx)
{
    for (uint32_t slot = 0; slot < EXTENDER_MAX; ++slot) {
        if (ctx->native.hExtModule[slot]) {
            FreeLibrary(ctx->native.hExtModule[slot]);
            ClearSlot(ctx, slot);
        }
    }
    ctx->native.nExtCount = 0;
    NameMapDestroy(ctx);
    AddonRowsFree(ctx);
}

int ExtendersLoaded(BDS* ctx)
{
    return static_cast<int>(ctx->native.nExtCount);
}

bool ExtenderFileName(BDS* ctx, int index, char* out, int size)
{
    if (!out || size <= 0 || index < 0)
        return false;
    const NativeState& n = ctx->native;
    int seen = 0;
    for (uint32_t slot = 0; slot < EXTENDER_MAX; ++slot) {
        if (!n.hExtModule[slot])
            continue;
        if (seen++ != index)
            continue;
        if (!GetModuleFileNameA(n.hExtModule[slot], out, static_cast<DWORD>(size)))
            out[0] = '\0';
        return true;
    }
    return false;
}
