// The script's file handles (FileOpen, FileRead, FileWrite, FileClose) and the whole-file
// built-ins (FileGet, FileGetW, FilePut, FilePutW). Handlers take the context first and
// leave failures in ctx->nErrorCode.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct BDS;
struct resultants;

// The slot holding the script's handle number, or -1.
int FindFileSlot(BDS* ctx, int32_t handle);
// The number a script holds for a Win32 handle (FILE values are 32-bit integers).
int32_t FileHandleNumber(HANDLE handle);

// mode "READ", "WRITE" or "APPEND" (any case); timeout in seconds for sharing violations
// (-1 without end, 0 none).
void DoFileOpen(BDS* ctx, resultants* result, const wchar_t* name, const char* mode,
                int32_t unicodeFlag, int32_t timeout);
// One line of an ANSI slot / of a UTF-16 slot, or "*EOF*".
void DoFileReadA(BDS* ctx, resultants* result, int slot);
void DoFileReadW(BDS* ctx, resultants* result, int slot);
// The line terminator IntControl 53 chose: 0 none, 1 CR LF, 2 LF, 3 CR, 4 TAB.
const char* FileLineTerminator(BDS* ctx);
// One line and the terminator that IntControl 53 chose.
void DoFileWriteA(BDS* ctx, int slot, const char* text);
void DoFileWriteW(BDS* ctx, int slot, const wchar_t* text);
void DoFileClose(BDS* ctx, int32_t handle);
// Closes every slot (engine tear-down).
void CloseAllScriptFiles(BDS* ctx);

// Whole files. nullChar: empty = NUL bytes are dropped, one character = their replacement.
void DoFileGet(BDS* ctx, resultants* result, const wchar_t* name, const char* nullChar);
void DoFileGetW(BDS* ctx, resultants* result, const wchar_t* name, const wchar_t* nullChar);
void DoFilePut(BDS* ctx, resultants* result, const wchar_t* name, const char* text);
void DoFilePutW(BDS* ctx, resultants* result, const wchar_t* name, const wchar_t* text);
