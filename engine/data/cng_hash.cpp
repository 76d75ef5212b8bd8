// The CNG hashing layer: binding the library by name, one hash's open, data, finish and
// close, and the buffer and file digests built on them.
#include "engine/data/cng_hash.h"

#include "engine/core/context.h"
#include "engine/core/errors.h"

namespace {

enum : uint16_t {
    ERR_INTERNAL = 1425,           // "ZAL Internal Error"
    ERR_NOT_SUPPORTED = 1253,      // "Function not supported on this platform."
    ERR_READ = 1801,               // "Error reading file"
    ERR_NO_MEMORY = 1588,          // "Unable to allocate or lock memory"
    ERR_FAILED = 1825,             // "Function failed"
};

constexpr NTSTATUS STATUS_TOO_SMALL = NTSTATUS(0xC0000023);   // STATUS_BUFFER_TOO_SMALL

// The entry points in the order of the binding.
const char* const kEntryNames[8] = {
    "BCryptOpenAlgorithmProvider", "BCryptGetProperty", "BCryptCreateHash",  "BCryptHashData",
    "BCryptFinishHash",            "BCryptDuplicateHash", "BCryptDestroyHash", "BCryptCloseAlgorithmProvider",
};

using OpenProviderFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using GetPropertyFn = NTSTATUS(WINAPI*)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using CreateHashFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using HashDataFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHashFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using DestroyHashFn = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);
using CloseProviderFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);

template <typename Fn>
Fn Entry(const CngHashState* state, int index)
{
    return reinterpret_cast<Fn>(state->entries[index]);
}

// Records a failed CNG step and sets the error.
int Fail(BDS* ctx, NTSTATUS status, const char* step, uint16_t error)
{
    StoreLastError(ctx, DWORD(status), step, false);
    SetError(ctx, error);
    return 0;
}

uint8_t* HeapBlock(uint32_t bytes)
{
    return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1));
}

}  // namespace

int CngBind(CngHashState* state, BDS* ctx)
{
    if (state->bound)
        return 1;
    CngBinding& binding = ctx->data.cng;
    if (!binding.module) {
        UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
        HMODULE module = LoadLibraryA("Bcrypt.dll");
        SetErrorMode(previous);
        if (!module)
            return 0;
        FARPROC entries[8];
        for (int i = 0; i < 8; ++i) {
            entries[i] = GetProcAddress(module, kEntryNames[i]);
            if (!entries[i]) {
                FreeLibrary(module);
                return 0;
            }
        }
        for (int i = 0; i < 8; ++i)
            binding.entries[i] = entries[i];
        binding.module = module;
    }
    for (int i = 0; i < 8; ++i)
        state->entries[i] = binding.entries[i];
    state->bound = 1;
    return 1;
}

int CngHashOpen(CngHashState* state, BDS* ctx, const wchar_t* algorithm)
{
    if (!state->bound && !CngBind(state, ctx)) {
        SetError(ctx, ERR_NOT_SUPPORTED);
        return 0;
    }
    CngHashClose(state);
    NTSTATUS status = Entry<OpenProviderFn>(state, 0)(&state->provider, algorithm, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
        state->provider = nullptr;
        return Fail(ctx, status, "Error opening algorithm provider", ERR_FAILED);
    }
    ULONG objectLength = 0, got = 0;
    auto getProperty = Entry<GetPropertyFn>(state, 1);
    status = getProperty(state->provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength), 4, &got, 0);
    if (BCRYPT_SUCCESS(status))
        status = getProperty(state->provider, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&state->digestLength), 4,
                             &got, 0);
    if (!BCRYPT_SUCCESS(status))
        return Fail(ctx, status, "Error obtaining algorithm property", ERR_FAILED);
    state->hashObject = HeapBlock(objectLength);
    state->digest = HeapBlock(state->digestLength);
    if (!state->hashObject || !state->digest) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    status = Entry<CreateHashFn>(state, 2)(state->provider, &state->hash, state->hashObject, objectLength, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(status)) {
        state->hash = nullptr;
        return Fail(ctx, status, "Error creating hash handle", ERR_FAILED);
    }
    return 1;
}

int CngHashData(CngHashState* state, BDS* ctx, const void* data, uint32_t length)
{
    if (!state->bound || !state->hash) {
        SetError(ctx, ERR_INTERNAL);
        return 0;
    }
    NTSTATUS status = Entry<HashDataFn>(state, 3)(state->hash, static_cast<PUCHAR>(const_cast<void*>(data)), length, 0);
    return BCRYPT_SUCCESS(status) ? 1 : Fail(ctx, status, "Error hashing data", ERR_FAILED);
}

int CngFinishHash(CngHashState* state, BDS* ctx, uint8_t* out, uint32_t capacity)
{
    if (!state->bound || !state->hash || !state->digest) {
        SetError(ctx, ERR_INTERNAL);
        return 0;
    }
    if (!out || capacity < state->digestLength)
        return Fail(ctx, STATUS_TOO_SMALL, "Error finishing hash", ERR_INTERNAL);
    NTSTATUS status = Entry<FinishHashFn>(state, 4)(state->hash, state->digest, state->digestLength, 0);
    if (!BCRYPT_SUCCESS(status))
        return Fail(ctx, status, "Error finishing hash", ERR_FAILED);
    CopyMemory(out, state->digest, state->digestLength);
    return 1;
}

void CngHashClose(CngHashState* state)
{
    // The hash goes before the provider it was made from.
    if (state->hash && state->bound)
        Entry<DestroyHashFn>(state, 6)(state->hash);
    if (state->provider && state->bound)
        Entry<CloseProviderFn>(state, 7)(state->provider, 0);
    if (state->hashObject)
        HeapFree(GetProcessHeap(), 0, state->hashObject);
    if (state->digest)
        HeapFree(GetProcessHeap(), 0, state->digest);
    state->provider = nullptr;
    state->hash = nullptr;
    state->hashObject = nullptr;
    state->digest = nullptr;
    state->digestLength = 0;
}

namespace {

// A fresh state closed on every way out.
struct ScopedHash {
    CngHashState state{};
    ~ScopedHash() { CngHashClose(&state); }
};

int Finish(ScopedHash& hash, BDS* ctx, uint8_t* out, uint32_t* size)
{
    if (!CngFinishHash(&hash.state, ctx, out, *size))
        return 0;
    *size = hash.state.digestLength;
    return 1;
}

}  // namespace

int HashBufferCng(BDS* ctx, const void* data, uint64_t length, const wchar_t* algorithm, uint8_t* out,
                  uint32_t* size)
{
    ScopedHash hash;
    if (!CngHashOpen(&hash.state, ctx, algorithm))
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    do {   // an empty buffer is hashed too
        uint32_t piece = length < 0x40000000u ? uint32_t(length) : 0x40000000u;
        if (!CngHashData(&hash.state, ctx, bytes, piece))
            return 0;
        bytes += piece;
        length -= piece;
    } while (length > 0);
    return Finish(hash, ctx, out, size);
}

int HashFileCng(BDS* ctx, HANDLE file, void* chunk, uint32_t chunkSize, const wchar_t* algorithm, uint8_t* out,
                uint32_t* size)
{
    ScopedHash hash;
    if (!CngHashOpen(&hash.state, ctx, algorithm))
        return 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, chunkSize, &got, nullptr)) {
            StoreLastError(ctx, GetLastError(), "ReadFile", false);
            SetError(ctx, ERR_READ);
            return 0;
        }
        if (got == 0)
            break;
        if (!CngHashData(&hash.state, ctx, chunk, got))
            return 0;
    }
    return Finish(hash, ctx, out, size);
}

void CngUnbind(BDS* ctx)
{
    CngBinding& binding = ctx->data.cng;
    if (binding.module)
        FreeLibrary(binding.module);
    binding = CngBinding{};
}
