// CredMan: entries of the user's credential store written, read, deleted and listed.
// All texts are wide. A secret is handled in a copy of the engine's own, which is wiped
// after use; the script's variable keeps its text.
#include <windows.h>
#include <wincred.h>

#include <cwchar>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/data/result_array.h"

namespace {

enum : uint16_t {
    ERR_ARGUMENT_COUNT = 3066,   // "Wrong Number of Arguments in Function"
    ERR_INVALID = 1824,          // "Invalid value"
    ERR_FAILED = 1825,           // "Function failed"
};

// Published values the toolchain's headers lack.
constexpr DWORD TYPE_GENERIC_CERTIFICATE = 5;      // CRED_TYPE_GENERIC_CERTIFICATE
constexpr DWORD ENUMERATE_ALL_CREDENTIALS = 0x1;   // CRED_ENUMERATE_ALL_CREDENTIALS

constexpr size_t TARGET_LIMIT = 337;
constexpr size_t USER_LIMIT = 513;
constexpr size_t SECRET_LIMIT = 256;   // wide characters: 512 bytes of blob
constexpr const wchar_t* NOT_FOUND = L"<not found>";

// The Windows error of a failing credential call, recorded under the built-in's name.
void CredentialCallFailed(BDS* ctx)
{
    StoreLastError(ctx, GetLastError(), "CredMon", true);
    SetError(ctx, ERR_FAILED);
}

// 1824 with the offending text in the extended error.
void Invalid(BDS* ctx, const wchar_t* text)
{
    AppendExtendedErrorW(ctx, text);
    SetError(ctx, ERR_INVALID);
}

const wchar_t* TypeName(DWORD type)
{
    switch (type) {
    case CRED_TYPE_GENERIC: return L"Generic";
    case CRED_TYPE_DOMAIN_PASSWORD: return L"Domain Password";
    case CRED_TYPE_DOMAIN_VISIBLE_PASSWORD: return L"Domain Visible Password";
    case TYPE_GENERIC_CERTIFICATE: return L"Generic Certificate";
    default: return L"<unknown>";
    }
}

// "generic" or "domain" (any case) as a credential type; 0 for anything else.
DWORD TypeOfText(const wchar_t* text)
{
    if (!_wcsicmp(text, L"generic"))
        return CRED_TYPE_GENERIC;
    if (!_wcsicmp(text, L"domain"))
        return CRED_TYPE_DOMAIN_PASSWORD;
    return 0;
}

// A copy of the secret that is wiped when it goes out of scope.
class SecretCopy {
public:
    explicit SecretCopy(const wchar_t* text) : text_(text) {}
    ~SecretCopy() { SecureZeroMemory(text_.data(), text_.size() * sizeof(wchar_t)); }
    SecretCopy(const SecretCopy&) = delete;
    SecretCopy& operator=(const SecretCopy&) = delete;
    BYTE* Bytes() { return reinterpret_cast<BYTE*>(text_.data()); }
    DWORD ByteCount() const { return static_cast<DWORD>(text_.size() * sizeof(wchar_t)); }

private:
    std::wstring text_;
};

// "generic" and "domain": target, user name, secret.
void WriteCredential(BDS* ctx, BuiltinCall& c, DWORD type)
{
    if (c.argc < 3) {
        SetError(ctx, ERR_ARGUMENT_COUNT);
        return;
    }
    const wchar_t* target = ArgWText(ctx, c, 2);
    const wchar_t* user = ArgWText(ctx, c, 3);
    const wchar_t* secretArgument = ArgWText(ctx, c, 4);
    if (!target[0] || wcslen(target) > TARGET_LIMIT) {
        Invalid(ctx, target);
        return;
    }
    if (!user[0] || wcslen(user) > USER_LIMIT) {
        Invalid(ctx, user);
        return;
    }
    if (wcslen(secretArgument) > SECRET_LIMIT) {
        Invalid(ctx, secretArgument);
        return;
    }
    SecretCopy secret(secretArgument);
    CREDENTIALW credential{};
    credential.Type = type;
    credential.TargetName = const_cast<wchar_t*>(target);
    credential.UserName = const_cast<wchar_t*>(user);
    credential.CredentialBlob = secret.Bytes();
    credential.CredentialBlobSize = secret.ByteCount();
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (type == CRED_TYPE_DOMAIN_PASSWORD && !wcscmp(target, user))
        credential.Flags = CRED_FLAGS_USERNAME_TARGET;
    if (!CredWriteW(&credential, 0)) {
        CredentialCallFailed(ctx);
        return;
    }
    SetResultInt(ctx, c.result, 1);
}

// The target and the type of "read" and "delete"; false with the error set.
bool ReadTargetAndType(BDS* ctx, BuiltinCall& c, const wchar_t** target, DWORD* type)
{
    if (c.argc < 3) {
        SetError(ctx, ERR_ARGUMENT_COUNT);
        return false;
    }
    *target = ArgWText(ctx, c, 2);
    if (!(*target)[0] || wcslen(*target) > TARGET_LIMIT) {
        Invalid(ctx, *target);
        return false;
    }
    *type = TypeOfText(ArgWText(ctx, c, 3));
    if (!*type) {
        Invalid(ctx, ArgWText(ctx, c, 1));
        return false;
    }
    return true;
}

void ReadCredential(BDS* ctx, BuiltinCall& c)
{
    const wchar_t* target;
    DWORD type;
    if (!ReadTargetAndType(ctx, c, &target, &type))
        return;
    const wchar_t* fallback = ArgWText(ctx, c, 4);
    if (wcslen(fallback) > TARGET_LIMIT) {
        Invalid(ctx, fallback);
        return;
    }
    ResultArray row(ctx);
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(target, type, 0, &credential)) {
        if (GetLastError() != ERROR_NOT_FOUND) {
            CredentialCallFailed(ctx);
            return;
        }
        const wchar_t* text = fallback[0] ? fallback : NOT_FOUND;
        if (row.Make(4) && row.SetWText(text, 0) && row.SetWText(text, 1) && row.SetWText(text, 2) &&
            row.SetWText(text, 3))
            row.HandTo(c.result);
        return;
    }
    std::wstring secret(reinterpret_cast<const wchar_t*>(credential->CredentialBlob),
                        credential->CredentialBlobSize / sizeof(wchar_t));
    bool filled = row.Make(4) && row.SetWText(credential->TargetName ? credential->TargetName : L"", 0) &&
                  row.SetWText(TypeName(credential->Type), 1) &&
                  row.SetWText(credential->UserName ? credential->UserName : L"", 2) &&
                  row.SetWText(secret.c_str(), 3);
    SecureZeroMemory(secret.data(), secret.size() * sizeof(wchar_t));
    CredFree(credential);
    if (filled)
        row.HandTo(c.result);
}

void DeleteCredential(BDS* ctx, BuiltinCall& c)
{
    const wchar_t* target;
    DWORD type;
    if (!ReadTargetAndType(ctx, c, &target, &type))
        return;
    if (CredDeleteW(target, type, 0)) {
        SetResultInt(ctx, c.result, 1);
        return;
    }
    if (GetLastError() != ERROR_NOT_FOUND)
        CredentialCallFailed(ctx);
}

// Every entry: target, type name, user name (no secrets). A store that refuses the flag
// for all entries is asked again without it.
void EnumerateCredentials(BDS* ctx, BuiltinCall& c)
{
    if (c.argc > 1) {
        SetError(ctx, ERR_ARGUMENT_COUNT);
        return;
    }
    DWORD count = 0;
    PCREDENTIALW* credentials = nullptr;
    BOOL ok = CredEnumerateW(nullptr, ENUMERATE_ALL_CREDENTIALS, &count, &credentials);
    if (!ok && GetLastError() == ERROR_INVALID_FLAGS)
        ok = CredEnumerateW(nullptr, 0, &count, &credentials);
    ResultArray rows(ctx);
    if (!ok) {
        if (GetLastError() != ERROR_NOT_FOUND) {
            CredentialCallFailed(ctx);
            return;
        }
        if (rows.Make(0))
            rows.HandTo(c.result);
        return;
    }
    bool filled = rows.Make(count, 3, 0, 2);
    for (DWORD i = 0; filled && i < count; ++i) {
        const CREDENTIALW* credential = credentials[i];
        filled = rows.SetWText(credential->TargetName ? credential->TargetName : L"", i, 0) &&
                 rows.SetWText(TypeName(credential->Type), i, 1) &&
                 rows.SetWText(credential->UserName ? credential->UserName : L"", i, 2);
    }
    CredFree(credentials);
    if (filled)
        rows.HandTo(c.result);
}

void CaseCredMan(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    const wchar_t* request = ArgWText(ctx, c, 1);
    if (DWORD type = TypeOfText(request))
        WriteCredential(ctx, c, type);
    else if (!_wcsicmp(request, L"read"))
        ReadCredential(ctx, c);
    else if (!_wcsicmp(request, L"delete"))
        DeleteCredential(ctx, c);
    else if (!_wcsicmp(request, L"enum"))
        EnumerateCredentials(ctx, c);
    else
        Invalid(ctx, request);
}

const BuiltinRow kRows[] = {
    {378, CaseCredMan},
};

}  // namespace

extern const BuiltinFamily g_CredManBuiltins = {"credential store", kRows,
                                                static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
