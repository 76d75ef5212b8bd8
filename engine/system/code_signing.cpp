// Code signing with the current user's certificates: the signing wizard's silent mode,
// SignerSignEx2 with an RFC 3161 time stamp, the certificate that signed a file, and a
// certificate's friendly name. The signing libraries are loaded by name for each call.
#include "engine/system/code_signing.h"

#include <cryptuiapi.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/system_flags.h"
#include "engine/system/loaded_library.h"

namespace {

constexpr uint16_t ERR_NOT_ON_PLATFORM = 1253;   // "Function not supported on this platform."
constexpr uint16_t ERR_BAD_VALUE = 1824;         // "Invalid value"
constexpr DWORD ENCODINGS = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND_HR = static_cast<HRESULT>(0x80028CA0);   // retried once
constexpr int FIELD_CHARS = 255;
constexpr int NAME_CHARS = 1280;
constexpr DWORD FRIENDLY_NAME_BYTES = 512;
constexpr int WIZARD_FIELDS = 5;
constexpr int SIGNER_FIELDS = 6;

// ---------------------------------------------------------------- SignerSignEx2's records
// mssign32 has no header in the toolchain; these follow the published definitions.

struct SignerFileInfo {
    DWORD cbSize;
    LPCWSTR pwszFileName;
    HANDLE hFile;
};

struct SignerSubjectInfo {
    DWORD cbSize;
    DWORD* pdwIndex;
    DWORD dwSubjectChoice;
    SignerFileInfo* pSignerFileInfo;   // the union's file member
};

struct SignerCertStoreInfo {
    DWORD cbSize;
    PCCERT_CONTEXT pSigningCert;
    DWORD dwCertPolicy;
    HCERTSTORE hCertStore;
};

struct SignerCert {
    DWORD cbSize;
    DWORD dwCertChoice;
    SignerCertStoreInfo* pCertStoreInfo;   // the union's store member
    HWND hwnd;
};

struct SignerAttrAuthcode {
    DWORD cbSize;
    BOOL fCommercial;
    BOOL fIndividual;
    LPCWSTR pwszName;
    LPCWSTR pwszInfo;
};

struct SignerSignatureInfo {
    DWORD cbSize;
    ALG_ID algidHash;
    DWORD dwAttrChoice;
    SignerAttrAuthcode* pAttrAuthcode;
    PCRYPT_ATTRIBUTES psAuthenticated;
    PCRYPT_ATTRIBUTES psUnauthenticated;
};

struct SignerContext {
    DWORD cbSize;
    DWORD cbBlob;
    BYTE* pbBlob;
};

constexpr DWORD SIGNER_SUBJECT_FILE = 1;
constexpr DWORD SIGNER_CERT_STORE = 2;
constexpr DWORD SIGNER_CERT_POLICY_CHAIN = 2;
constexpr DWORD SIGNER_AUTHCODE_ATTR = 1;
constexpr DWORD SIGNER_TIMESTAMP_RFC3161 = 2;

using PfnSignerSignEx2 = HRESULT(WINAPI*)(DWORD flags, SignerSubjectInfo* subject, SignerCert* signer,
                                          SignerSignatureInfo* signature, void* provider, DWORD timestampFlags,
                                          PCSTR timestampOid, PCWSTR timestampUrl, PCRYPT_ATTRIBUTES request,
                                          void* sipData, SignerContext** context, void* policy, void* reserved);
using PfnSignerFreeSignerContext = HRESULT(WINAPI*)(SignerContext* context);
using PfnCryptUIWizDigitalSign = BOOL(WINAPI*)(DWORD flags, HWND parent, LPCWSTR title,
                                               PCCRYPTUI_WIZ_DIGITAL_SIGN_INFO info,
                                               PCCRYPTUI_WIZ_DIGITAL_SIGN_CONTEXT* context);

// ---------------------------------------------------------------- handles that free themselves

struct Store {
    HCERTSTORE handle;
    explicit Store(HCERTSTORE h) : handle(h) {}
    ~Store()
    {
        if (handle)
            CertCloseStore(handle, 0);
    }
};

struct Cert {
    PCCERT_CONTEXT context = nullptr;
    ~Cert()
    {
        if (context)
            CertFreeCertificateContext(context);
    }
};

// Records a failure of the system under the operation's text.
void Record(BDS* ctx, const char* what)
{
    DWORD error = GetLastError();
    StoreLastError(ctx, error, what, true);
}

// ---------------------------------------------------------------- request texts

// Splits the TAB-separated request into exactly `wanted` fields, each converted to UTF-16
// in the context's code page and cut to 255 characters.
bool SplitRequest(BDS* ctx, const char* request, int wanted, std::wstring* fields)
{
    UINT codePage = ctx->nCodePage ? ctx->nCodePage : CP_ACP;
    int count = 0;
    const char* start = request;
    for (;;) {
        const char* end = std::strchr(start, '\t');
        size_t length = end ? static_cast<size_t>(end - start) : std::strlen(start);
        if (count == wanted)
            return false;   // more fields than wanted
        std::wstring& field = fields[count++];
        field.clear();
        if (length > 0) {
            int n = MultiByteToWideChar(codePage, 0, start, static_cast<int>(length), nullptr, 0);
            field.resize(n > 0 ? n : 0);
            if (n > 0)
                MultiByteToWideChar(codePage, 0, start, static_cast<int>(length), field.data(), n);
            if (field.size() > FIELD_CHARS)
                field.resize(FIELD_CHARS);
        }
        if (!end)
            break;
        start = end + 1;
    }
    return count == wanted;
}

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

// The time-stamp hash's object identifier by the request's sixth field; null when unknown.
const char* TimestampHashOid(const std::wstring& name)
{
    if (name.empty() || !lstrcmpiW(name.c_str(), L"SHA256"))
        return szOID_NIST_sha256;
    if (!lstrcmpiW(name.c_str(), L"SHA1"))
        return szOID_OIWSEC_sha1;
    if (!lstrcmpiW(name.c_str(), L"SHA384"))
        return szOID_NIST_sha384;
    if (!lstrcmpiW(name.c_str(), L"SHA512"))
        return szOID_NIST_sha512;
    return nullptr;
}

// Windows 8 (6.2) and later: the version the system reports, as RunApp tests it.
bool SystemIsWindows8OrLater()
{
    const SystemFlags& sys = SystemFacts();
    return sys.major > 6 || (sys.major == 6 && sys.minor >= 2);
}

// ---------------------------------------------------------------- certificates

HCERTSTORE OpenMyStore()
{
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_A, ENCODINGS, 0,
                         CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_OPEN_EXISTING_FLAG, "My");
}

bool HashOf(PCCERT_CONTEXT cert, uint8_t* hash)
{
    DWORD size = CERT_HASH_BYTES;
    return CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &size) && size == CERT_HASH_BYTES;
}

// The first code-signing certificate of the store whose friendly name is `name` (case
// ignored), in store order; the caller frees it.
PCCERT_CONTEXT FindSigningCertByName(HCERTSTORE store, const std::wstring& name)
{
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr) {
        wchar_t friendly[FRIENDLY_NAME_BYTES / sizeof(wchar_t) + 1] = {};
        DWORD size = FRIENDLY_NAME_BYTES;
        if (CertGetCertificateContextProperty(cert, CERT_FRIENDLY_NAME_PROP_ID, friendly, &size) &&
            !lstrcmpiW(friendly, name.c_str()) && IsCodeSigningCert(cert))
            return cert;   // the enumeration ends here, so the context is the caller's
    }
    SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
    return nullptr;
}

// The certificates of a signed file. The file store reads signed messages and serialized
// stores; where it does not understand a program with an embedded signature, the
// signature is read as such. Read-only: the file may be one the user cannot write.
HCERTSTORE OpenSignedFileStore(const char* file)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_FILENAME_A, ENCODINGS, 0,
                                     CERT_STORE_OPEN_EXISTING_FLAG | CERT_STORE_READONLY_FLAG, file);
    if (store)
        return store;
    DWORD openError = GetLastError();
    std::wstring wide;
    int n = MultiByteToWideChar(CP_ACP, 0, file, -1, nullptr, 0);
    if (n > 0) {
        wide.resize(n);
        MultiByteToWideChar(CP_ACP, 0, file, -1, wide.data(), n);
    }
    HCRYPTMSG message = nullptr;
    if (n > 0 && CryptQueryObject(CERT_QUERY_OBJECT_FILE, wide.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                  CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message,
                                  nullptr)) {
        if (message)
            CryptMsgClose(message);
        return store;
    }
    SetLastError(openError);
    return nullptr;
}

// The signing certificate of store "My" with that friendly name, or null with the failure
// recorded (a store that does not open under the caller's text). A certificate keeps its
// store open for as long as it lives.
PCCERT_CONTEXT SigningCertOfMyStore(BDS* ctx, const std::wstring& name, const char* storeFailure)
{
    Store store(OpenMyStore());
    if (!store.handle) {
        Record(ctx, storeFailure);
        return nullptr;
    }
    PCCERT_CONTEXT cert = FindSigningCertByName(store.handle, name);
    if (!cert)
        Record(ctx, "Specified certificate not found");
    return cert;
}

// The signature hash that suits the certificate's own signature hash.
ALG_ID SignatureHashOf(PCCERT_CONTEXT cert)
{
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    if (!CertGetCertificateContextProperty(cert, CERT_SIGN_HASH_CNG_ALG_PROP_ID, name, &size))
        return CALG_SHA_256;
    if (std::wcsstr(name, L"MD5"))
        return CALG_MD5;
    if (std::wcsstr(name, L"SHA1"))
        return CALG_SHA1;
    if (std::wcsstr(name, L"SHA384"))
        return CALG_SHA_384;
    if (std::wcsstr(name, L"SHA512"))
        return CALG_SHA_512;
    return CALG_SHA_256;
}

}  // namespace

// ---------------------------------------------------------------- the operations

int IsCodeSigningCert(PCCERT_CONTEXT cert)
{
    DWORD size = 0;
    if (!cert || !CertGetEnhancedKeyUsage(cert, 0, nullptr, &size) || size < sizeof(CERT_ENHKEY_USAGE))
        return 0;
    std::vector<uint8_t> buffer(size);
    auto* usage = reinterpret_cast<PCERT_ENHKEY_USAGE>(buffer.data());
    SetLastError(0);
    if (!CertGetEnhancedKeyUsage(cert, 0, usage, &size))
        return 0;
    if (usage->cUsageIdentifier == 0)   // no restriction at all, or no usage left
        return GetLastError() == static_cast<DWORD>(CRYPT_E_NOT_FOUND) ? 1 : 0;
    for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
        if (usage->rgpszUsageIdentifier[i] && !std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_CODE_SIGNING))
            return 1;
    return 0;
}

std::string CertHashText(const uint8_t* hash)
{
    std::string text;
    char digits[3];
    for (int i = 0; i < CERT_HASH_BYTES; ++i) {
        std::snprintf(digits, sizeof digits, "%X", hash[i]);
        text += digits;
    }
    return text;
}

bool CertHashTextNames(const char* text, const uint8_t* hash)
{
    if (!text)
        return false;
    if (std::strlen(text) == 2 * CERT_HASH_BYTES) {
        char full[2 * CERT_HASH_BYTES + 1];
        for (int i = 0; i < CERT_HASH_BYTES; ++i)
            std::snprintf(full + 2 * i, 3, "%02X", hash[i]);
        if (!lstrcmpiA(text, full))
            return true;
    }
    return !lstrcmpiA(text, CertHashText(hash).c_str());
}

int SignFileCryptUi(BDS* ctx, const char* request)
{
    std::wstring f[WIZARD_FIELDS];
    if (!SplitRequest(ctx, request, WIZARD_FIELDS, f)) {
        SetError(ctx, ERR_BAD_VALUE);
        return 0;
    }
    const SystemFlags& sys = SystemFacts();
    if (!sys.OsIsXpPlus && !sys.OsIsVistaPlus) {
        SetError(ctx, ERR_NOT_ON_PLATFORM);
        return 0;
    }
    LoadedLibrary ui("CRYPTUI.DLL");
    if (!ui.module) {
        Record(ctx, "Error loading CRYPTUI.DLL");
        return 0;
    }
    auto sign = ui.Entry<PfnCryptUIWizDigitalSign>("CryptUIWizDigitalSign");
    if (!sign) {
        Record(ctx, "Error getting function pointer");
        return 0;
    }
    Cert cert;
    cert.context = SigningCertOfMyStore(ctx, f[1], "Error opening certificate store");
    if (!cert.context)
        return 0;
    CRYPTUI_WIZ_DIGITAL_SIGN_EXTENDED_INFO extended{};
    extended.dwSize = sizeof extended;
    extended.dwAttrFlags = CRYPTUI_WIZ_DIGITAL_SIGN_COMMERCIAL;
    extended.pwszDescription = OrNull(f[2]);
    extended.pwszMoreInfoLocation = OrNull(f[3]);
    CRYPTUI_WIZ_DIGITAL_SIGN_INFO info{};
    info.dwSize = sizeof info;
    info.dwSubjectChoice = CRYPTUI_WIZ_DIGITAL_SIGN_SUBJECT_FILE;
    info.pwszFileName = f[0].c_str();
    info.dwSigningCertChoice = CRYPTUI_WIZ_DIGITAL_SIGN_CERT;
    info.pSigningCertContext = cert.context;
    info.pwszTimestampURL = OrNull(f[4]);
    info.dwAdditionalCertChoice = CRYPTUI_WIZ_DIGITAL_SIGN_ADD_CHAIN;
    info.pSignExtInfo = &extended;
    BOOL signedOk = sign(CRYPTUI_WIZ_NO_UI, nullptr, nullptr, &info, nullptr);
    if (!signedOk && GetLastError() == static_cast<DWORD>(TYPE_E_ELEMENTNOTFOUND_HR)) {
        extended.dwAttrFlags = CRYPTUI_WIZ_DIGITAL_SIGN_INDIVIDUAL;
        signedOk = sign(CRYPTUI_WIZ_NO_UI, nullptr, nullptr, &info, nullptr);
    }
    if (!signedOk)
        Record(ctx, "Error signing file");
    return signedOk ? 1 : 0;
}

int SignFileSigner(BDS* ctx, const char* request)
{
    std::wstring f[SIGNER_FIELDS];
    if (!SplitRequest(ctx, request, SIGNER_FIELDS, f)) {
        SetError(ctx, ERR_BAD_VALUE);
        return 0;
    }
    const char* timestampOid = TimestampHashOid(f[5]);
    if (!timestampOid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        Record(ctx, "Timestamp hash algorithm is unknown");
        SetError(ctx, ERR_BAD_VALUE);
        return 0;
    }
    if (!SystemIsWindows8OrLater()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        Record(ctx, "Request not supported on this version of Windows");
        SetError(ctx, ERR_NOT_ON_PLATFORM);
        return 0;
    }
    LoadedLibrary signer("Mssign32.Dll");
    if (!signer.module) {
        Record(ctx, "Failed to load Mssign32.Dll");
        return 0;
    }
    auto sign = signer.Entry<PfnSignerSignEx2>("SignerSignEx2");
    auto freeContext = signer.Entry<PfnSignerFreeSignerContext>("SignerFreeSignerContext");
    if (!sign || !freeContext) {
        Record(ctx, "Failed to retrieve function pointer");
        return 0;
    }
    Cert cert;
    cert.context = SigningCertOfMyStore(ctx, f[1], "Failed to open certificate store");
    if (!cert.context)
        return 0;

    DWORD index = 0;
    SignerFileInfo file{sizeof file, f[0].c_str(), nullptr};
    SignerSubjectInfo subject{sizeof subject, &index, SIGNER_SUBJECT_FILE, &file};
    SignerCertStoreInfo certStore{sizeof certStore, cert.context, SIGNER_CERT_POLICY_CHAIN, nullptr};
    SignerCert signerCert{sizeof signerCert, SIGNER_CERT_STORE, &certStore, nullptr};
    SignerAttrAuthcode authcode{sizeof authcode, TRUE, FALSE, OrNull(f[2]), OrNull(f[3])};
    SignerSignatureInfo signature{sizeof signature, SignatureHashOf(cert.context), SIGNER_AUTHCODE_ATTR, &authcode,
                                  nullptr, nullptr};
    DWORD timestampFlags = f[4].empty() ? 0 : SIGNER_TIMESTAMP_RFC3161;
    auto signOnce = [&]() {
        SignerContext* context = nullptr;
        HRESULT hr = sign(0, &subject, &signerCert, &signature, nullptr, timestampFlags, timestampOid,
                          OrNull(f[4]), nullptr, nullptr, &context, nullptr, nullptr);
        DWORD error = GetLastError();
        if (context)
            freeContext(context);
        SetLastError(error);
        return hr;
    };
    HRESULT hr = signOnce();
    if (hr == TYPE_E_ELEMENTNOTFOUND_HR) {
        authcode.fCommercial = FALSE;
        authcode.fIndividual = TRUE;
        hr = signOnce();
    }
    if (FAILED(hr)) {
        Record(ctx, "File signing failed");
        return 0;
    }
    return 1;
}

int FindFileSigningCert(BDS* ctx, const char* file, std::string& hashText)
{
    hashText.clear();
    Store store(OpenSignedFileStore(file));
    if (!store.handle) {
        Record(ctx, "Error opening certificate store");
        return 0;
    }
    bool found = false;
    FILETIME latest{};
    uint8_t best[CERT_HASH_BYTES] = {};
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store.handle, cert)) != nullptr) {
        uint8_t hash[CERT_HASH_BYTES];
        if (!HashOf(cert, hash) || !IsCodeSigningCert(cert))
            continue;
        const FILETIME& begins = cert->pCertInfo->NotBefore;
        if (!found || CompareFileTime(&begins, &latest) > 0) {
            found = true;
            latest = begins;
            std::memcpy(best, hash, sizeof best);
        }
    }
    if (!found) {
        SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
        Record(ctx, "Signing certificate not found in file");
        return 0;
    }
    hashText = CertHashText(best);
    return 1;
}

int CertRenameInStore(BDS* ctx, HCERTSTORE store, const char* hashText, const wchar_t* name)
{
    Cert match;
    int matches = 0;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr) {
        uint8_t hash[CERT_HASH_BYTES];
        if (HashOf(cert, hash) && CertHashTextNames(hashText, hash) && ++matches == 1)
            match.context = CertDuplicateCertificateContext(cert);
    }
    if (matches != 1) {   // a text that fits two hashes names neither
        SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
        Record(ctx, "Specified certificate not found");
        return 0;
    }
    CRYPT_DATA_BLOB blob{static_cast<DWORD>((std::wcslen(name) + 1) * sizeof(wchar_t)),
                         reinterpret_cast<BYTE*>(const_cast<wchar_t*>(name))};
    if (!CertSetCertificateContextProperty(match.context, CERT_FRIENDLY_NAME_PROP_ID, 0, &blob)) {
        Record(ctx, "Error changing certificate property");
        return 0;
    }
    return 1;
}

int CertSetStoreProperty(BDS* ctx, const char* hashText, const char* name)
{
    UINT codePage = ctx->nCodePage ? ctx->nCodePage : CP_ACP;
    wchar_t wide[NAME_CHARS + 1] = {};
    int length = static_cast<int>(strnlen(name, NAME_CHARS));
    int n = MultiByteToWideChar(codePage, 0, name, length, wide, NAME_CHARS);
    wide[n > 0 ? n : 0] = 0;
    Store store(OpenMyStore());
    if (!store.handle) {
        Record(ctx, "Error opening certificate store");
        return 0;
    }
    return CertRenameInStore(ctx, store.handle, hashText, wide);
}

bool FileSignatureTrusted(const char* path, DWORD providerFlags)
{
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH))
        return false;
    LoadedLibrary trust("wintrust.dll");
    using PfnVerify = LONG(WINAPI*)(HWND, GUID*, LPVOID);
    auto verify = trust.Entry<PfnVerify>("WinVerifyTrust");
    if (!verify)
        return false;
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = wide;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = providerFlags;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    bool valid = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == ERROR_SUCCESS;
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return valid;
}
