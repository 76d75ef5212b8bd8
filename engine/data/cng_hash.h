// Hashing through the system's CNG library ("Bcrypt.dll", bound by name at first use and
// kept for the life of the context): whole buffers (BinaryChecksum) and open files read in
// chunks (the file-digest built-in).
//
// Every hashing call works on a fresh CngHashState and closes it on every way out, so no
// provider or hash handle outlives the call. Failures set the context's error number
// (1253 CNG is not there, 1825 a CNG call failed, 1588 memory, 1425 a state used wrongly,
// 1801 a file read failed) and record the status with StoreLastError.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>

struct BDS;

struct CngHashState {
    uint32_t bound;
    BCRYPT_ALG_HANDLE provider;
    uint8_t* hashObject;       // process heap, zero-filled
    uint8_t* digest;           // process heap, zero-filled
    BCRYPT_HASH_HANDLE hash;
    uint32_t digestLength;
    FARPROC entries[8];        // the context's binding, copied
};

// 1 when the library and its eight entry points are there (bound now or before), else 0.
int CngBind(CngHashState* state, BDS* ctx);
// Opens a hash of the algorithm ("SHA1", "SHA256", ...). 1, or 0 with an error.
int CngHashOpen(CngHashState* state, BDS* ctx, const wchar_t* algorithm);
int CngHashData(CngHashState* state, BDS* ctx, const void* data, uint32_t length);
// Copies the digest (digestLength bytes) to out, which holds `capacity` bytes.
int CngFinishHash(CngHashState* state, BDS* ctx, uint8_t* out, uint32_t capacity);
void CngHashClose(CngHashState* state);

// The digest of `length` bytes (any length: fed in pieces the library takes). *size holds
// the capacity of out and receives the digest length. 1, or 0 with an error.
int HashBufferCng(BDS* ctx, const void* data, uint64_t length, const wchar_t* algorithm, uint8_t* out,
                  uint32_t* size);
// The digest of an open file from its current position to its end, read in chunks of
// chunkSize bytes through `chunk`. 1, or 0 with an error (1801 for a failed read).
int HashFileCng(BDS* ctx, HANDLE file, void* chunk, uint32_t chunkSize, const wchar_t* algorithm, uint8_t* out,
                uint32_t* size);

// Engine tear-down: lets the library go.
void CngUnbind(BDS* ctx);
