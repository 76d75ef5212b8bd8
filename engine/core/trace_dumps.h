// Snapshots of the engine's state for the trace: the header, the variables, the keyword
// tables, the structure stack, the settings file, the keyword lookup and the internal
// counters; the counters also answer IntControl 77 (InternalInfo).
//
// A dump is written while the trace is on; a `forced` one (asked for by a DebugTrace mode)
// whenever a file is named. Each dump is gathered first and written with one open.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

struct TraceText;

// The trace header: date, host, engine, source file, platform, error mode, signature and
// elevation lines between two lines of "=".
void WriteTraceHeader(BDS* ctx, TraceText& out);

int DumpVariableTable(BDS* ctx, bool forced);
int DumpFunctionTable(BDS* ctx, bool forced);
int DumpStructureStack(BDS* ctx, bool forced);
int DumpSettingsIni(BDS* ctx);
void DumpKeywordLookup(BDS* ctx);
void TraceExtenderLoaded(BDS* ctx, const char* fileName, const char* fileVersion);
int DumpInternalInfo(BDS* ctx, const char* item, int32_t parameter, bool forced);

// One internal counter: the number, or a list (codes 12, 42, 62, 72, 100-103). Without
// asText the answer is the number and a list goes into `out` as a tab-separated text
// (answer 1); with it `out` receives the counter's text line (a list: its heading, an
// empty line and one item per line) and the answer is the number. An unknown code sets
// 1622 without asText and answers -999 with it; 3096 when the heap is full.
int64_t InternalInfo(BDS* ctx, resultants* out, int32_t code, int32_t parameter, bool asText);
bool InternalInfoIsList(int32_t code);
// Writes one counter's text into the trace text; answers the count, or -999.
int64_t DumpInternalItem(BDS* ctx, TraceText& out, int32_t code, int32_t parameter);

// ---------------------------------------------------------------- the structure stack

// One FormatStackEntry line per frame from the bottom, joined by "\r\n" (crlf) or "\n",
// as a heap text in `out` (3096 when the heap is full); answers the depth.
int StructureStackText(BDS* ctx, resultants* out, bool padded, bool crlf);
// One frame as text ("%d\t%s\t%ld\t%s\t%s"; padded "%3d %-14s %6ld %-32s %s"). With a list
// view the padded values go into a new row of it instead (columns 0-4).
void FormatStackEntry(BDS* ctx, uint32_t index, const StructFrame& frame, char* out, size_t size,
                      bool padded, HWND listView);

// The five cells of a traceback row ("#", type, line number, line, source file).
constexpr int STACK_ROW_CELLS = 5;
// Adds a row of five cells at the end of a report-view list.
void InsertStackRow(HWND listView, const char* const cells[STACK_ROW_CELLS]);
// A line for the traceback's line column: longer than 32 characters, its first 29 and "...".
void ShortStackLineText(const char* text, char* out, size_t size);
// The name and extension of a path (after its last "\", "/" or ":").
const char* PathNameAndExtension(const char* path);

// ---------------------------------------------------------------- shared routines

// "INT", "STRING", "FILE", "BINBUF", "ARRAY", "VARIANT_BSTR", ... joined by "/";
// "UNDEFINED" for 0, "UNINITIALIZED" for 8 alone, "UNKNOWN" when nothing applies.
void VarTypeName(BDS* ctx, uint32_t flags, VARTYPE variantType, char* out, size_t size);
