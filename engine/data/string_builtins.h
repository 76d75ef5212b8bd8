// The handlers of the text built-ins: measurement and search, transformation, comparison,
// character classes and code pages. Each takes the context first; integer handlers answer
// their result, text handlers fill the result record; failures set ctx->nErrorCode.
// The A handler works on ANSI text, walked and folded as the system does; the W handler
// on UTF-16.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

// ---------------------------------------------------------------- measurement and search
int DoStrIndexA(BDS* ctx, const char* text, const char* sub, int start, int direction, bool noCase);
int DoStrIndexW(BDS* ctx, const wchar_t* text, const wchar_t* sub, int start, int direction, bool noCase);
int DoStrScanA(BDS* ctx, const char* text, const char* delimiters, int start, int direction);
int DoStrScanW(BDS* ctx, const wchar_t* text, const wchar_t* delimiters, int start, int direction);
int DoStrCntA(BDS* ctx, const char* text, const char* sub, int start, int end, int flags);
int DoStrCntW(BDS* ctx, const wchar_t* text, const wchar_t* sub, int start, int end, int flags);
void DoStrSubA(BDS* ctx, const char* text, int start, int length, resultants* result);
void DoStrSubW(BDS* ctx, const wchar_t* text, int start, int length, resultants* result);
int DoStrIndexWildA(BDS* ctx, const char* text, const char* pattern, int start);
int DoStrIndexWildW(BDS* ctx, const wchar_t* text, const wchar_t* pattern, int start);
int DoStrLenWildA(BDS* ctx, const char* text, const char* pattern, int start);
int DoStrLenWildW(BDS* ctx, const wchar_t* text, const wchar_t* pattern, int start);
void DoStrSubWildA(BDS* ctx, const char* text, const char* pattern, int start, resultants* result);
void DoStrSubWildW(BDS* ctx, const wchar_t* text, const wchar_t* pattern, int start, resultants* result);

// ---------------------------------------------------------------- transformation
void DoStrReplaceA(BDS* ctx, const char* text, const char* old, const char* with, resultants* result);
void DoStrReplaceW(BDS* ctx, const wchar_t* text, const wchar_t* old, const wchar_t* with, resultants* result);
void DoStrCleanA(BDS* ctx, const char* text, const char* chars, const char* with, int matchCase,
                 int mode, resultants* result);
void DoStrCleanW(BDS* ctx, const wchar_t* text, const wchar_t* chars, const wchar_t* with,
                 int matchCase, int mode, resultants* result);
void DoStrFillA(BDS* ctx, const char* filler, int length, resultants* result);
void DoStrFillW(BDS* ctx, const wchar_t* filler, int length, resultants* result);
// StrFix and StrFixChars; StrFixCharsL and StrFixLeft; StrFixBytes; StrFixBytesL.
void DoStrFixA(BDS* ctx, const char* text, const char* pad, int length, resultants* result);
void DoStrFixW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result);
void DoStrFixCharsLA(BDS* ctx, const char* text, const char* pad, int length, resultants* result);
void DoStrFixCharsLW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result);
void DoStrFixBytesA(BDS* ctx, const char* text, const char* pad, int length, resultants* result);
void DoStrFixBytesW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result);
void DoStrFixBytesLA(BDS* ctx, const char* text, const char* pad, int length, resultants* result);
void DoStrFixBytesLW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result);
void DoStrTrimA(BDS* ctx, const char* text, int mode, resultants* result);
void DoStrTrimW(BDS* ctx, const wchar_t* text, int mode, resultants* result);
void DoStrTrimCharA(BDS* ctx, const char* text, const char* chars, int mode, resultants* result);
void DoStrTrimCharW(BDS* ctx, const wchar_t* text, const wchar_t* chars, int mode, resultants* result);
// Wide only, and only in Unicode mode (1193 otherwise).
void DoStrInsert(BDS* ctx, const wchar_t* base, const wchar_t* add, const wchar_t* pad, int start,
                 int length, resultants* result);
void DoStrOverlay(BDS* ctx, const wchar_t* base, const wchar_t* add, const wchar_t* pad, int start,
                  int length, resultants* result);
void DoStrLowerA(BDS* ctx, const char* text, resultants* result);
void DoStrLowerW(BDS* ctx, const wchar_t* text, resultants* result);
void DoStrUpperA(BDS* ctx, const char* text, resultants* result);
void DoStrUpperW(BDS* ctx, const wchar_t* text, resultants* result);

// StrCat's concatenation: all values as wide text when any holds wide text or a COM
// value, else as ANSI text (3056 when one cannot be converted). The values gain the
// converted forms; they stay owned by the caller.
void StrCatValues(BDS* ctx, resultants* values, int count, resultants* result);
// StrCat itself: reads the expressions of its argument list from the current line (the
// current token is the `(` after its name) and leaves `)` as the current token. More than
// 1024 arguments, or a token other than `,` or `)` after one, set 2058.
void DoStrCat(BDS* ctx, resultants* result);

// ---------------------------------------------------------------- comparison and code pages
int DoStrCmp(BDS* ctx, const wchar_t* a, const wchar_t* b);
int DoStriCmp(BDS* ctx, const wchar_t* a, const wchar_t* b);
void DoStrTypeInfoA(BDS* ctx, const char* text, int flag, resultants* result);
void DoStrTypeInfoW(BDS* ctx, const wchar_t* text, int flag, resultants* result);
int MyChrGetCodePage(BDS* ctx, int request);
// Sets the context code page (0 = the system's ANSI code page) and answers the previous
// one; a code page that the system does not know sets 1824 and changes nothing.
int DoChrSetCodePage(BDS* ctx, int codePage);
void DoChrHexToString(BDS* ctx, const char* hex, resultants* result);
void DoChrHexToUnicode(BDS* ctx, const char* hex, int order, resultants* result);
void DoChrStringToHex(BDS* ctx, const char* text, resultants* result);
void DoChrStringToUnicode(BDS* ctx, const wchar_t* text, resultants* result);
void DoChrUnicodeToHex(BDS* ctx, const wchar_t* text, int order, resultants* result);
void DoChrUnicodeToString(BDS* ctx, const wchar_t* text, resultants* result);
