// FileDigest, the digest of a file's contents as hexadecimal text (plain, or keyed as an
// HMAC with a key blob), and FileDigestGetKey, which derives a symmetric key from a text
// and exports it as such a blob. Plain digests go through the system's CNG library where
// it is there; HMACs, key derivation and systems without CNG use CryptoAPI's default
// full RSA provider in a verify-only context.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/data/cng_hash.h"
#include "engine/files/file_args.h"
#include "engine/files/file_handles.h"
#include "engine/files/path_buf.h"
#include "engine/system/heap_block.h"

namespace {

enum : uint16_t {
    ERR_NO_MEMORY = 1588,
    ERR_BAD_ALGORITHM = 1772,
    ERR_HMAC_ARGUMENTS = 1773,
    ERR_KEY_ARGUMENTS = 1774,
    ERR_BAD_HASH = 1775,
    ERR_BAD_KEY_ALGORITHM = 1776,
    ERR_OPEN = 1800,
    ERR_READ = 1801,
    ERR_BAD_HEX = 1819,
    ERR_FAILED = 1825,
    ERR_BAD_BASE = 1828,
    ERR_BAD_TYPE = 1829,
    ERR_ARG_COUNT = 3066,
};

enum : uint16_t { ID_FILEDIGEST = 469, ID_FILEDIGESTGETKEY = 470 };

constexpr DWORD READ_BLOCK = 1048576;
constexpr DWORD MAX_KEY_BLOB = 2050;

struct DigestAlgorithm {
    const char* name;
    ALG_ID hash;             // the hash itself, or the inner hash of an HMAC
    bool hmac;
    const wchar_t* cngName;  // null: CryptoAPI only
    bool needsCng;           // no CryptoAPI form on the systems this runs on
    char separator;          // between groups of four bytes
};

const DigestAlgorithm kDigests[] = {
    {"MD2", CALG_MD2, false, L"MD2", false, '-'},
    {"MD5", CALG_MD5, false, L"MD5", false, '-'},
    {"SHA", CALG_SHA1, false, L"SHA1", false, ' '},
    {"SHA1", CALG_SHA1, false, L"SHA1", false, ' '},
    {"SHA256", CALG_SHA_256, false, L"SHA256", true, ' '},
    {"HMAC-MD2", CALG_MD2, true, nullptr, false, '-'},
    {"HMAC-MD5", CALG_MD5, true, nullptr, false, '-'},
    {"HMAC-SHA", CALG_SHA1, true, nullptr, false, ' '},
    {"HMAC-SHA1", CALG_SHA1, true, nullptr, false, ' '},
};

struct NamedAlgorithm {
    const char* name;
    ALG_ID id;
};

const NamedAlgorithm kKeyHashes[] = {{"MD2", CALG_MD2}, {"MD5", CALG_MD5}, {"SHA", CALG_SHA1}, {"SHA1", CALG_SHA1}};
const NamedAlgorithm kKeyAlgorithms[] = {{"DES", CALG_DES}, {"RC2", CALG_RC2}, {"RC4", CALG_RC4}};

const DigestAlgorithm* FindDigest(const char* name)
{
    for (const DigestAlgorithm& a : kDigests)
        if (!lstrcmpiA(a.name, name))
            return &a;
    return nullptr;
}

template <size_t N>
const NamedAlgorithm* FindNamed(const NamedAlgorithm (&table)[N], const char* name)
{
    for (const NamedAlgorithm& a : table)
        if (!lstrcmpiA(a.name, name))
            return &a;
    return nullptr;
}

// The CryptoAPI handles of one call, released on every way out.
struct CryptSession {
    HCRYPTPROV provider = 0;
    HCRYPTKEY key = 0;
    HCRYPTHASH hash = 0;
    ~CryptSession()
    {
        if (hash)
            CryptDestroyHash(hash);
        if (key)
            CryptDestroyKey(key);
        if (provider)
            CryptReleaseContext(provider, 0);
    }
};

// A CryptoAPI step failed: its system error goes to the settings file and the extended
// text under the step's name.
void CryptFailed(BDS* ctx, const char* step)
{
    StoreLastError(ctx, GetLastError(), step, true);
    SetError(ctx, ERR_FAILED);
}

bool AcquireProvider(BDS* ctx, CryptSession& session)
{
    if (CryptAcquireContextA(&session.provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return true;
    session.provider = 0;
    CryptFailed(ctx, "Error opening key container");
    return false;
}

// Upper-case hex of the bytes; with a separator, one after every fourth byte but the last.
std::string HexText(const uint8_t* bytes, size_t count, char separator)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2 + count / 4);
    for (size_t i = 0; i < count; ++i) {
        if (separator && i && i % 4 == 0)
            text += separator;
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// Hex digits two by two into bytes; false for an odd length or a character that is no digit.
bool HexBytes(const char* text, std::vector<uint8_t>& bytes)
{
    size_t length = strlen(text);
    if (length % 2)
        return false;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    bytes.resize(length / 2);
    for (size_t i = 0; i < length; i += 2) {
        int high = digit(text[i]), low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i / 2] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

// ---------------------------------------------------------------- FileDigest

// The HMAC key of the arguments (key text and base), checked; false with the error set.
bool HmacKey(BDS* ctx, const BuiltinCall& c, std::vector<uint8_t>& key)
{
    if (c.argc < 5) {
        SetError(ctx, ERR_HMAC_ARGUMENTS);
        return false;
    }
    if (ArgInt(c, 5) != 16) {
        SetError(ctx, ERR_BAD_BASE);
        return false;
    }
    if (!HexBytes(ArgText(ctx, c, 4), key)) {
        SetError(ctx, ERR_BAD_HEX);
        return false;
    }
    return true;
}

// The digest through CryptoAPI; `key` is the key blob of an HMAC. 0 with an error set.
DWORD CryptoApiDigest(BDS* ctx, HANDLE file, void* block, const DigestAlgorithm& algorithm,
                      const std::vector<uint8_t>& key, uint8_t* digest, DWORD capacity)
{
    CryptSession session;
    if (!AcquireProvider(ctx, session))
        return 0;
    if (algorithm.hmac) {
        if (!CryptImportKey(session.provider, key.data(), static_cast<DWORD>(key.size()), 0, 0, &session.key)) {
            session.key = 0;
            CryptFailed(ctx, "Error importing key");
            return 0;
        }
        if (!CryptCreateHash(session.provider, CALG_HMAC, session.key, 0, &session.hash)) {
            session.hash = 0;
            CryptFailed(ctx, "Error creating hash");
            return 0;
        }
        HMAC_INFO info{};
        info.HashAlgid = algorithm.hash;
        if (!CryptSetHashParam(session.hash, HP_HMAC_INFO, reinterpret_cast<const BYTE*>(&info), 0)) {
            CryptFailed(ctx, "Error setting hash parameters");
            return 0;
        }
    } else if (!CryptCreateHash(session.provider, algorithm.hash, 0, 0, &session.hash)) {
        session.hash = 0;
        CryptFailed(ctx, "Error creating hash");
        return 0;
    }
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, READ_BLOCK, &got, nullptr)) {
            StoreLastError(ctx, GetLastError(), "ReadFile", false);
            SetError(ctx, ERR_READ);
            return 0;
        }
        if (got == 0)
            break;
        if (!CryptHashData(session.hash, static_cast<const BYTE*>(block), got, 0)) {
            CryptFailed(ctx, "Error computing hash");
            return 0;
        }
    }
    DWORD length = capacity;
    if (!CryptGetHashParam(session.hash, HP_HASHVAL, digest, &length, 0)) {
        CryptFailed(ctx, "Error retrieving hash value");
        return 0;
    }
    return length;
}

void DoFileDigest(BDS* ctx, BuiltinCall& c)
{
    if (c.argc == 4) {
        SetError(ctx, ERR_ARG_COUNT);
        return;
    }
    const DigestAlgorithm* algorithm = FindDigest(ArgText(ctx, c, 2));
    CngHashState probe{};
    if (!algorithm || (algorithm->needsCng && !CngBind(&probe, ctx))) {
        SetError(ctx, ERR_BAD_ALGORITHM);
        return;
    }
    ArgPath name(ctx, c, 1);
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name.text(), PATH_LIMIT_FILE))
        return;
    ScopedFile file;
    file.handle = CreateFileW(path.text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (!file.ok()) {
        StoreLastError(ctx, GetLastError(), "CreateFile", true);
        SetError(ctx, ERR_OPEN);
        return;
    }
    HeapBlock block(READ_BLOCK);
    if (!block.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }

    uint8_t digest[64];
    DWORD length = 0;
    if (!algorithm->hmac) {
        uint32_t size = sizeof digest;
        uint16_t before = ctx->nErrorCode;
        if (HashFileCng(ctx, file.handle, block.data, READ_BLOCK, algorithm->cngName, digest, &size)) {
            length = size;
        } else if (ctx->data.cng.module || algorithm->needsCng) {
            return;
        } else {
            // No CNG library on this system: CryptoAPI from the file's start.
            ctx->nErrorCode = before;
            LARGE_INTEGER start{};
            SetFilePointerEx(file.handle, start, nullptr, FILE_BEGIN);
        }
    }
    if (length == 0) {
        std::vector<uint8_t> key;
        if (algorithm->hmac && !HmacKey(ctx, c, key))
            return;
        length = CryptoApiDigest(ctx, file.handle, block.data, *algorithm, key, digest, sizeof digest);
        if (length == 0)
            return;
    }
    std::string text = HexText(digest, length, ArgInt(c, 3) ? algorithm->separator : 0);
    SetResultText(ctx, c.result, text.c_str(), text.size());
}

// ---------------------------------------------------------------- FileDigestGetKey

// The name of an export failure that the settings file records, else the step's own.
const char* ExportFailureName(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_HANDLE: return "ERROR_INVALID_HANDLE";
    case ERROR_INVALID_PARAMETER: return "ERROR_INVALID_PARAMETER";
    case static_cast<DWORD>(NTE_BAD_FLAGS): return "NTE_BAD_FLAGS";
    case static_cast<DWORD>(NTE_BAD_KEY): return "NTE_BAD_KEY";
    case static_cast<DWORD>(NTE_BAD_KEY_STATE): return "NTE_BAD_KEY_STATE";
    case static_cast<DWORD>(NTE_BAD_PUBLIC_KEY): return "NTE_BAD_PUBLIC_KEY";
    case static_cast<DWORD>(NTE_BAD_TYPE): return "NTE_BAD_TYPE";
    case static_cast<DWORD>(NTE_BAD_UID): return "NTE_BAD_UID";
    case static_cast<DWORD>(NTE_NO_KEY): return "NTE_NO_KEY";
    default: return "Error exporting key";
    }
}

void DoFileDigestGetKey(BDS* ctx, BuiltinCall& c)
{
    if (c.argc == 5) {
        SetError(ctx, ERR_ARG_COUNT);
        return;
    }
    if (ArgInt(c, 3) != 16) {
        SetError(ctx, ERR_BAD_BASE);
        return;
    }
    if (ArgInt(c, 1) != 0) {
        SetError(ctx, ERR_BAD_TYPE);
        return;
    }
    if (c.argc < 6) {
        SetError(ctx, ERR_KEY_ARGUMENTS);
        return;
    }
    const NamedAlgorithm* hash = FindNamed(kKeyHashes, ArgText(ctx, c, 4));
    if (!hash) {
        SetError(ctx, ERR_BAD_HASH);
        return;
    }
    const NamedAlgorithm* keyAlgorithm = FindNamed(kKeyAlgorithms, ArgText(ctx, c, 5));
    if (!keyAlgorithm) {
        SetError(ctx, ERR_BAD_KEY_ALGORITHM);
        return;
    }
    const char* source = ArgText(ctx, c, 2);
    DWORD bits = static_cast<DWORD>(ArgInt(c, 6)) & 0xFFFF;

    CryptSession session;
    if (!AcquireProvider(ctx, session))
        return;
    if (!CryptCreateHash(session.provider, hash->id, 0, 0, &session.hash)) {
        session.hash = 0;
        CryptFailed(ctx, "Error creating hash");
        return;
    }
    if (!CryptHashData(session.hash, reinterpret_cast<const BYTE*>(source), static_cast<DWORD>(strlen(source)), 0)) {
        CryptFailed(ctx, "Error computing hash");
        return;
    }
    if (!CryptDeriveKey(session.provider, keyAlgorithm->id, session.hash, (bits << 16) | CRYPT_EXPORTABLE,
                        &session.key)) {
        session.key = 0;
        CryptFailed(ctx, "Error generating key");
        return;
    }
    uint8_t blob[MAX_KEY_BLOB];
    DWORD length = sizeof blob;
    if (!CryptExportKey(session.key, 0, PLAINTEXTKEYBLOB, 0, blob, &length)) {
        CryptFailed(ctx, ExportFailureName(GetLastError()));
        return;
    }
    std::string text = HexText(blob, length, 0);
    SetResultText(ctx, c.result, text.c_str(), text.size());
}

const BuiltinRow kRows[] = {
    {ID_FILEDIGEST, DoFileDigest},
    {ID_FILEDIGESTGETKEY, DoFileDigestGetKey},
};

}  // namespace

extern const BuiltinFamily g_FileDigestBuiltins = {"file digests and derived keys", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
