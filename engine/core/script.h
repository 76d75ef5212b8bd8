// Script run: preparing a script text (UTF-16 to ANSI, line ends, #include expansion with
// source-position markers, scrambling), reading it back line by line, encoded script
// files, and the two entries that run a whole script (ProcessViRuvBuffer, RunScriptFile).
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"
#include "engine/core/script_permutation.h"

constexpr int SCRIPT_LINE_MAX = 2048;       // characters of one line
constexpr int MAX_INCLUDE_LEVEL = 16;       // the main text is level 0

// Source-position marker line: ";" 0x0B flag "@" four base-64 digits, the file name, LF.
constexpr char MARKER_BYTE = 0x0B;
constexpr char PREPARED_BYTE = 0x0C;        // ";" 0x0C starts a decoded or prepared text

// The host's entry (export, ordinal 24): runs a host-given script text. Answers 1 when the
// script was run (whatever its outcome), 0 when it could not be prepared or started.
extern "C" int WINAPI ProcessViRuvBuffer(HWND window, HGLOBAL context, HGLOBAL script,
                                         PfnParentCommand hostCallback,
                                         const KeywordRecord* hostKeywords);

// Runs a script file for the Call built-in: 1 it ended normally, 0 stopped or failed.
int RunScriptFile(BDS* ctx, resultants* result, const char* path);
// Runs a prepared script text (line ends normalised, NUL at `length`) held in a movable
// block: scrambles it like every script buffer and runs it through the statement loop; the
// block is freed. 1 it ended normally, 0 stopped or failed.
int RunScriptBlock(BDS* ctx, resultants* result, HGLOBAL block, size_t length);

// UTF-16 (after a BOM FF FE or FE FF, skipped; FE FF is byte-swapped first) to ANSI in
// place. Answers the new length, 0 on failure.
size_t WideToAnsiBuffer(BDS* ctx, char* buffer, size_t byteLength);

// In place: CR LF -> blank LF, a lone CR -> LF (the length does not change).
void NormalizeLineEnds(char* text, size_t length);

// Expands #include lines of the text held in the movable block *text (NUL-terminated) and
// rebuilds it with source-position marker lines. Answers the new length, -1 memory
// failure, -2 nesting too deep, 0 a named file could not be used (its name in failedName,
// 261 bytes). The block may be replaced.
int64_t LoadIncludeFile(BDS* ctx, HGLOBAL* text, const char* sourceName, const char* folder,
                        char* failedName, int level);

// Scrambles length bytes in place with key 0.
void ScrambleBuffer(BDS* ctx, uint8_t* text, size_t length);

// Reads one line of the scrambled buffer at *pos into line (size bytes). Answers 1 when a
// line was read, 0 at the end of the text. Leading blanks and tabs are skipped and the
// offset of the first other character goes to *firstNonBlank. A line longer than 2048
// characters is cut and 3722 is noted in nDeferredError.
int ReadScriptLine(BDS* ctx, char* line, size_t size, HGLOBAL script, uint32_t* firstNonBlank,
                   uint32_t* pos, uint32_t end);

// The same over bytes already locked (the run loop's fast path).
int ReadScriptLineLocked(BDS* ctx, char* line, size_t size, const uint8_t* base,
                         uint32_t* firstNonBlank, uint32_t* pos, uint32_t end, uint8_t key);

// Decodes an encoded script file in place (first byte 1, 2 or 3). Answers 1 decoded or
// nothing to do, 0 failed (a box was shown).
int DecodeScriptBuffer(BDS* ctx, char* buffer, size_t length);

// The matching encoder (tools and tests): writes the encoded form of text into out, which
// must hold length + 12 bytes; type 1 (no pass phrase), 2 (pass phrase) or 3 (nibble swap).
// Answers the encoded length, 0 for a bad type.
size_t EncodeScriptBuffer(const char* text, size_t length, int type, const char* passPhrase,
                          uint8_t* out);

// Writes a source-position marker line for the name and line number into out (which
// holds at least nameLength + 9 bytes); answers its length (LF included).
size_t FormatMarkerLine(char* out, const char* name, uint32_t line, int flag);
