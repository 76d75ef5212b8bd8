// Code signing with the current user's certificates (store "My"): signing a file through
// the signing wizard's silent mode or through SignerSignEx2, the certificate that signed a
// file, and a certificate's friendly name. IntControl 93 reaches them.
//
// A certificate's hash text is its SHA-1 hash written byte by byte in upper-case hex
// without leading zeros ("A" for 0x0A), so different hashes may share a text (01 23 and
// 12 03 both give "123"). A text that fits more than one certificate names none of them;
// 40 hex digits name one hash exactly.
//
// Failures of the system are recorded in the LastError record under the operation's text
// and answered with 0; the bad request texts are 1824 and a signer the system is too old
// for is 1253, both set here.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>

struct BDS;

constexpr int CERT_HASH_BYTES = 20;

// 1 signed, 0 not. `request`: file, friendly name, description, information address,
// time-stamp address, TAB-separated (five fields; SignFileSigner six, the last the
// time-stamp hash: "SHA1", "SHA256" or empty, "SHA384", "SHA512", any case).
int SignFileCryptUi(BDS* ctx, const char* request);
int SignFileSigner(BDS* ctx, const char* request);
// The hash text of the certificate that signed the file (of those that can sign code, the
// one whose validity begins latest): 1 with the text, 0 with an empty text.
int FindFileSigningCert(BDS* ctx, const char* file, std::string& hashText);
// Gives the certificate of store "My" that the hash text names the friendly name: 1 or 0.
int CertSetStoreProperty(BDS* ctx, const char* hashText, const char* name);
// The same in a given store (the name as UTF-16).
int CertRenameInStore(BDS* ctx, HCERTSTORE store, const char* hashText, const wchar_t* name);

// 1 when the certificate may sign code: its enhanced key usage holds the code-signing
// purpose, or it has no such restriction at all.
int IsCodeSigningCert(PCCERT_CONTEXT cert);
// The hash text of 20 hash bytes.
std::string CertHashText(const uint8_t* hash);
// Whether a script's text names these hash bytes (the hash text or 40 hex digits, any case).
bool CertHashTextNames(const char* text, const uint8_t* hash);
// Whether the system trusts the file's signature: the generic verification of wintrust.dll,
// no UI, no revocation look-up, `providerFlags` added; false when the library is missing.
bool FileSignatureTrusted(const char* path, DWORD providerFlags = 0);
