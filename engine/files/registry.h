// The registry services that every registry built-in shares: key handles as script
// integers, the choice of the 32- or 64-bit view, the subkey-and-[value] notation, the
// access words, the table of key views, and deleting a key with its subkeys.
//
// Text arguments of the registry built-ins arrive as wide text (the engine runs in Unicode
// mode on every system it supports); only RegConnect's computer name and the access, view
// and option words of RegOpenKeyEx and RegCreateKeyEx are ANSI.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

struct BDS;
struct resultants;

constexpr size_t REG_NAME_ROOM = 2050;    // characters of a subkey or a value name
constexpr DWORD REG_FIXED_ROOM = 2562;    // bytes a call handles without a global block

// ---------------------------------------------------------------- key handles

// A script's key handle is a 32-bit integer, sign-extended to the platform's handle (so
// @REGMACHINE, 0x80000002, is HKEY_LOCAL_MACHINE).
inline HKEY ScriptKey(int32_t handle)
{
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(handle));
}

inline int32_t ScriptKeyHandle(HKEY key)
{
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(key));
}

// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS.
bool IsRootKey(HKEY key);

// A key a built-in opened for one call, closed when it goes out of scope. When the call
// names no subkey it works on the script's key itself, which it must leave open.
struct CallKey {
    HKEY key = nullptr;
    bool owned = false;
    CallKey() = default;
    CallKey(const CallKey&) = delete;
    CallKey& operator=(const CallKey&) = delete;
    ~CallKey()
    {
        if (owned && key)
            RegCloseKey(key);
    }
};

// ---------------------------------------------------------------- views

// The view flag (KEY_WOW64_32KEY or KEY_WOW64_64KEY) of a view argument: 0 takes the
// context's default view, 32 and 64 stand, any other value is 1822. An explicit view of 32
// or 64 (also as the default) refuses a subkey that names "Wow6432Node" (1458). Answers 1,
// or 0 with the error set.
int ResolveRegistryView(BDS* ctx, int32_t view, const wchar_t* subkey, REGSAM* viewFlag);

// The view of a value built-in: resolved as above only when the name has a subkey. A value
// of the key itself is reached through the handle as it was opened, so no view is chosen
// and the view argument is not read (the flag is 0). Answers 1, or 0 with the error set.
int ResolveValueView(BDS* ctx, int32_t view, const wchar_t* subkey, REGSAM* viewFlag);

// ---------------------------------------------------------------- names

// Splits "sub\key[value]" into the subkey (one backslash before the bracket dropped) and
// the value name; "[value]" alone names a value of the key itself, a subkey alone its
// default value. Later brackets belong to the value name: a\b[c[d]] names the value c[d]
// of a\b. Answers 1; 0 for an empty text (no error), for a value name without its closing
// bracket (1402) or a subkey too long for its buffer (1460). Sizes are in characters.
int SplitRegKeyValueW(BDS* ctx, const wchar_t* text, wchar_t* key, size_t keySize, wchar_t* value,
                      size_t valueSize);

// The access word of RegOpenKeyEx and RegCreateKeyEx: a decimal integer is the mask itself,
// "READ", "WRITE" and "FULL" (any case) the usual masks, anything else 1621. The view word
// of RegOpenKeyEx: empty is 0, a decimal integer that number, anything else 1822. A null
// view word is not read. Answers 1, or 0 with the error set.
int GetAccessWords(BDS* ctx, const char* access, const char* view, REGSAM* accessOut,
                   int32_t* viewOut);

// ---------------------------------------------------------------- the table of key views
// Keys opened from a remote root with an OS word carry that view (1 or 2), and so do keys
// opened from them. No view choice reads the table back yet.

// Records a key's view; 1, or 0 with 1588 when the table cannot grow.
int RememberKeyView(BDS* ctx, HKEY key, uint32_t view);
void ForgetKeyView(BDS* ctx, HKEY key);
// The key's recorded view, 0 when it has none.
uint32_t GetKeyView(BDS* ctx, HKEY key);
// Releases the table (the context's tear-down).
void OpenKeyTableFree(BDS* ctx);

// ---------------------------------------------------------------- trees

// Deletes the subkey of parent with every key below it, depth first, in the view given
// (0 for none). A link key met on the way (the subkey itself too) is deleted as the link:
// the key it stands for stays. Answers a Windows error code, 0 on success; an empty subkey
// is 1010.
LONG DeleteRegKeyTreeW(BDS* ctx, HKEY parent, const wchar_t* subkey, REGSAM viewFlag);

// The native call that deletes an opened key by its handle, whatever the key is (ntdll's
// ZwDeleteKey: one key handle in, an NTSTATUS out); null when the system lacks it.
using PfnZwDeleteKey = LONG(NTAPI*)(HANDLE key);
PfnZwDeleteKey ZwDeleteKeyEntry();
// The key is a link: it holds a REG_LINK "SymbolicLinkValue" (opened as the link itself).
bool IsLinkKey(HKEY key);

// ---------------------------------------------------------------- value targets

// A value built-in's name split into its subkey and value name.
struct RegValueName {
    wchar_t subkey[REG_NAME_ROOM];
    wchar_t value[REG_NAME_ROOM];
};

// Splits the name; an empty name is the default value of the key itself. Answers false
// with the error set (1402, 1460).
bool SplitValueName(BDS* ctx, const wchar_t* text, RegValueName* name);

// The key a value built-in works on: the subkey opened (or, with `create`, created) with
// `access` in the view, or the script's key itself when no subkey is named. A subkey that
// cannot be had is `failure` (1452 unless said), its Windows code recorded; answers false then.
bool OpenValueKey(BDS* ctx, HKEY key, const wchar_t* subkey, REGSAM access, REGSAM viewFlag, bool create,
                  CallKey* out, uint16_t failure = 1452);

// The work buffer of one call: a fixed room of REG_FIXED_ROOM bytes, a movable global block
// beyond it. The room is zero-filled.
struct RegBuffer {
    alignas(8) uint8_t fixed[REG_FIXED_ROOM + 8];
    HGLOBAL block = nullptr;
    uint8_t* data = fixed;
    size_t size = sizeof fixed;

    RegBuffer() = default;
    RegBuffer(const RegBuffer&) = delete;
    RegBuffer& operator=(const RegBuffer&) = delete;
    ~RegBuffer() { Release(); }

    // Room for at least `bytes`; false (and 1455 set) when no block can be had.
    bool Reserve(BDS* ctx, size_t bytes);
    void Release();
    template <typename T> T* As() const { return reinterpret_cast<T*>(data); }
};

// ---------------------------------------------------------------- links

constexpr size_t REG_LINK_ROOM = 1281;   // characters of a link's native target path

// The native path of a link target "@ALIAS[\rest]": @REGMACHINE, @REGCLASSES (both with
// the redirected 32-bit node under the 32-bit view flag), @REGCURRENT (the current user's
// hive) or @REGUSERS, followed by the rest. Answers 1 with the path in `path` (room in
// characters, NUL included; the error number left as it was), or 0 with 1824 for an
// empty target, another alias or a path that does not fit, or the error of
// GetGurrentUserRegPath.
int RegLinkTargetPath(BDS* ctx, const wchar_t* target, REGSAM viewFlag, wchar_t* path, size_t room);

// "\Registry\USER\" + the SID of the thread's (else the process's) user + "\" as a block of
// the process heap that the caller frees; null with the error set (1388, 1425, 1588).
wchar_t* GetGurrentUserRegPath(BDS* ctx);

// RegSetEx with type 6: makes the link key (created by the script with the link option)
// point at the target; the name must be empty.
void DoRegSetLink(BDS* ctx, resultants* result, HKEY key, const wchar_t* name, const wchar_t* target,
                  int32_t view);

// ---------------------------------------------------------------- hives

// The error numbers of RegLoadHive and RegUnloadHive for a Windows code of the load or
// unload.
uint16_t RegLoadHiveError(LONG status);
uint16_t RegUnloadHiveError(LONG status);
