// The registry services shared by the registry built-ins: views, the subkey-and-[value]
// notation, the access words, the table of key views and deleting a key tree.
#include "engine/files/registry.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"

namespace {

enum : uint16_t {
    ERR_BAD_DATA_ITEM = 1402,
    ERR_NO_BLOCK = 1455,
    ERR_WOW6432_SUBKEY = 1458,
    ERR_SUBKEY_TOO_LONG = 1460,
    ERR_NO_MEMORY = 1588,
    ERR_BAD_ACCESS_MODE = 1621,
    ERR_BAD_FLAGS = 1822,
};

constexpr uint32_t TABLE_STEP = 128;   // entries the table starts with and grows by

// Whether the text holds the ASCII word, compared without regard to case.
bool ContainsWordNoCase(const wchar_t* text, const char* word)
{
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - 32) : c; };
    for (; *text; ++text) {
        size_t i = 0;
        while (word[i] && upper(text[i]) == wchar_t(word[i]))
            ++i;
        if (!word[i])
            return true;
    }
    return false;
}

// A decimal integer with at least one digit (blanks and a sign allowed around it).
bool IsDecimalTextA(const char* text)
{
    if (!IsIntegerTextA(text))
        return false;
    for (; *text; ++text)
        if (*text >= '0' && *text <= '9')
            return true;
    return false;
}

OpenKeyEntry* AllocEntries(uint32_t count)
{
    return static_cast<OpenKeyEntry*>(
        VirtualAlloc(nullptr, count * sizeof(OpenKeyEntry), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

OpenKeyTableHeader* CreateTable()
{
    auto* table = static_cast<OpenKeyTableHeader*>(
        VirtualAlloc(nullptr, sizeof(OpenKeyTableHeader), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!table)
        return nullptr;
    table->entries = AllocEntries(TABLE_STEP);
    if (!table->entries) {
        VirtualFree(table, 0, MEM_RELEASE);
        return nullptr;
    }
    table->capacity = TABLE_STEP;
    table->count = 0;
    return table;
}

bool GrowTable(OpenKeyTableHeader* table)
{
    OpenKeyEntry* larger = AllocEntries(table->capacity + TABLE_STEP);
    if (!larger)
        return false;
    for (uint32_t i = 0; i < table->count; ++i)
        larger[i] = table->entries[i];
    VirtualFree(table->entries, 0, MEM_RELEASE);
    table->entries = larger;
    table->capacity += TABLE_STEP;
    return true;
}

OpenKeyEntry* FindEntry(BDS* ctx, HKEY key)
{
    OpenKeyTableHeader* table = ctx->registry.OpenKeyTable;
    auto handle = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
    if (!table || !handle)
        return nullptr;
    for (uint32_t i = 0; i < table->count; ++i)
        if (table->entries[i].handle == handle)
            return &table->entries[i];
    return nullptr;
}

}  // namespace

bool IsRootKey(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
}

// ---------------------------------------------------------------- views

int ResolveRegistryView(BDS* ctx, int32_t view, const wchar_t* subkey, REGSAM* viewFlag)
{
    if (view != 0 && view != 32 && view != 64) {
        SetError(ctx, ERR_BAD_FLAGS);
        return 0;
    }
    uint32_t effective = view ? uint32_t(view) : ctx->eng.ctl.DefaultRegistryView;
    *viewFlag = (effective == 1 || effective == 32) ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    // An explicit view and a subkey that names the redirected node would mean the 32-bit
    // node seen through a view: ambiguous, so refused.
    if ((effective == 32 || effective == 64) && subkey && ContainsWordNoCase(subkey, "WOW6432NODE")) {
        SetError(ctx, ERR_WOW6432_SUBKEY);
        return 0;
    }
    return 1;
}

int ResolveValueView(BDS* ctx, int32_t view, const wchar_t* subkey, REGSAM* viewFlag)
{
    *viewFlag = 0;
    if (!subkey || !*subkey)
        return 1;
    return ResolveRegistryView(ctx, view, subkey, viewFlag);
}

// ---------------------------------------------------------------- names

int SplitRegKeyValueW(BDS* ctx, const wchar_t* text, wchar_t* key, size_t keySize, wchar_t* value,
                      size_t valueSize)
{
    key[0] = 0;
    value[0] = 0;
    if (!text || !*text)
        return 0;

    const wchar_t* bracket = std::wcschr(text, L'[');
    if (!bracket) {
        size_t n = std::wcslen(text);
        if (n >= keySize) {
            SetError(ctx, ERR_SUBKEY_TOO_LONG);
            return 0;
        }
        std::wmemcpy(key, text, n + 1);
        return 1;
    }

    size_t keyLength = size_t(bracket - text);
    if (keyLength && text[keyLength - 1] == L'\\')
        --keyLength;
    if (keyLength >= keySize) {
        SetError(ctx, ERR_SUBKEY_TOO_LONG);
        return 0;
    }
    const wchar_t* name = bracket + 1;
    size_t nameLength = std::wcslen(name);
    if (nameLength == 0 || name[nameLength - 1] != L']' || nameLength > valueSize) {
        SetError(ctx, ERR_BAD_DATA_ITEM);
        return 0;
    }
    std::wmemcpy(key, text, keyLength);
    key[keyLength] = 0;
    std::wmemcpy(value, name, nameLength - 1);
    value[nameLength - 1] = 0;
    return 1;
}

int GetAccessWords(BDS* ctx, const char* access, const char* view, REGSAM* accessOut,
                   int32_t* viewOut)
{
    if (IsDecimalTextA(access))
        *accessOut = REGSAM(TextToLongA(access));
    else if (lstrcmpiA(access, "READ") == 0)
        *accessOut = KEY_READ;
    else if (lstrcmpiA(access, "WRITE") == 0)
        *accessOut = KEY_WRITE;
    else if (lstrcmpiA(access, "FULL") == 0)
        *accessOut = KEY_ALL_ACCESS;
    else {
        SetError(ctx, ERR_BAD_ACCESS_MODE);
        return 0;
    }
    if (!view)
        return 1;
    if (!*view)
        *viewOut = 0;
    else if (IsDecimalTextA(view))
        *viewOut = TextToLongA(view);
    else {
        SetError(ctx, ERR_BAD_FLAGS);
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- the table of key views

int RememberKeyView(BDS* ctx, HKEY key, uint32_t view)
{
    OpenKeyTableHeader*& table = ctx->registry.OpenKeyTable;
    if (!table && !(table = CreateTable())) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    if (FindEntry(ctx, key))
        return 1;
    auto handle = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
    for (uint32_t i = table->count; i-- > 0;)   // the free slot with the highest index
        if (table->entries[i].handle == 0) {
            table->entries[i] = {view, handle};
            return 1;
        }
    if (table->count == table->capacity && !GrowTable(table)) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    table->entries[table->count++] = {view, handle};
    return 1;
}

void ForgetKeyView(BDS* ctx, HKEY key)
{
    OpenKeyEntry* entry = FindEntry(ctx, key);
    if (!entry)
        return;
    *entry = {0, 0};
    OpenKeyTableHeader* table = ctx->registry.OpenKeyTable;
    if (entry == &table->entries[table->count - 1])
        --table->count;
}

uint32_t GetKeyView(BDS* ctx, HKEY key)
{
    const OpenKeyEntry* entry = FindEntry(ctx, key);
    return entry ? entry->view : 0;
}

void OpenKeyTableFree(BDS* ctx)
{
    OpenKeyTableHeader* table = ctx->registry.OpenKeyTable;
    if (!table)
        return;
    if (table->entries)
        VirtualFree(table->entries, 0, MEM_RELEASE);
    VirtualFree(table, 0, MEM_RELEASE);
    ctx->registry.OpenKeyTable = nullptr;
}

// ---------------------------------------------------------------- trees

PfnZwDeleteKey ZwDeleteKeyEntry()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll ? reinterpret_cast<PfnZwDeleteKey>(GetProcAddress(ntdll, "ZwDeleteKey")) : nullptr;
}

bool IsLinkKey(HKEY key)
{
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

LONG DeleteRegKeyTreeW(BDS* ctx, HKEY parent, const wchar_t* subkey, REGSAM viewFlag)
{
    if (!subkey || !*subkey)
        return ERROR_BADKEY;
    // Opened as itself: a link in the tree goes as a link, never taking its target along.
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(parent, subkey, REG_OPTION_OPEN_LINK,
                                DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | viewFlag, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if (IsLinkKey(key)) {
        PfnZwDeleteKey zwDeleteKey = ZwDeleteKeyEntry();
        status = !zwDeleteKey ? ERROR_PROC_NOT_FOUND : zwDeleteKey(key) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
        RegCloseKey(key);
        return status;
    }
    // Always the first child: each deletion moves the next one to index 0.
    for (;;) {
        wchar_t child[256];
        DWORD length = 256;
        status = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            status = DeleteRegKeyTreeW(ctx, key, child, viewFlag);
        if (status != ERROR_SUCCESS) {
            RegCloseKey(key);
            return status;
        }
    }
    auto deleteKeyEx = ctx->eng.api.RegDeleteKeyExEntry;
    status = viewFlag && deleteKeyEx ? deleteKeyEx(parent, subkey, viewFlag, 0) : RegDeleteKeyW(parent, subkey);
    RegCloseKey(key);
    return status;
}

// ---------------------------------------------------------------- value targets

bool SplitValueName(BDS* ctx, const wchar_t* text, RegValueName* name)
{
    name->subkey[0] = 0;
    name->value[0] = 0;
    return !*text || SplitRegKeyValueW(ctx, text, name->subkey, REG_NAME_ROOM, name->value, REG_NAME_ROOM);
}

bool OpenValueKey(BDS* ctx, HKEY key, const wchar_t* subkey, REGSAM access, REGSAM viewFlag, bool create,
                  CallKey* out, uint16_t failure)
{
    if (!*subkey) {
        out->key = key;
        out->owned = false;
        return true;
    }
    LONG status = create ? RegCreateKeyExW(key, subkey, 0, nullptr, 0, access | viewFlag, nullptr, &out->key,
                                           nullptr)
                         : RegOpenKeyExW(key, subkey, 0, access | viewFlag, &out->key);
    if (status != ERROR_SUCCESS) {
        out->key = nullptr;
        StoreLastError(ctx, DWORD(status), create ? "RegCreateKeyEx" : "RegOpenKeyEx", true);
        SetError(ctx, failure);
        return false;
    }
    out->owned = true;
    return true;
}

bool RegBuffer::Reserve(BDS* ctx, size_t bytes)
{
    if (bytes <= size) {
        std::memset(data, 0, size);
        return true;
    }
    Release();
    block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    void* locked = block ? GlobalLock(block) : nullptr;
    if (!locked) {
        Release();
        SetError(ctx, ERR_NO_BLOCK);
        return false;
    }
    data = static_cast<uint8_t*>(locked);
    size = bytes;
    return true;
}

void RegBuffer::Release()
{
    if (block) {
        GlobalUnlock(block);
        GlobalFree(block);
        block = nullptr;
    }
    data = fixed;
    size = sizeof fixed;
}
