// Long-path buffers: the wide path buffer of the file built-ins, which keeps short paths
// inline and moves longer ones to the process heap with the long-path prefix "\\?\"
// ("\\?\UNC\" for network paths), and the routines that understand that prefix.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

constexpr uint32_t PATHBUF_INLINE = 260;   // characters kept inside the record
constexpr uint32_t PATH_LIMIT_FILE = 260;  // PathBufAppend limit for file paths
constexpr uint32_t PATH_LIMIT_DIR = 248;   // ... for directories that will be created
constexpr uint32_t PATH_LONGEST = 32767;   // absolute limit, NUL included

// `text` points at `inlineText` (capacity 260) or at a zeroed process-heap block of
// `capacity` characters that the record owns. The record refers to itself: never copy it.
// Whoever initialises one frees it on every way out (LocalPathBuf does that).
struct PathBuf {
    wchar_t* text;
    wchar_t inlineText[PATHBUF_INLINE];
    uint32_t capacity;
};

void PathBufInit(PathBuf* buffer);
void PathBufFree(PathBuf* buffer);
// Appends text (also how a path is first put into an empty buffer). A path that outgrows
// `limit` is made absolute and normal and gets the long-path prefix; a device path ("\\.\")
// never gets one. 1, or 0 with 1433 (beyond 32767 characters, or a name that cannot be
// made absolute) or 1588 (heap). The buffer keeps its content on failure.
int PathBufAppend(BDS* ctx, PathBuf* buffer, const wchar_t* text, uint32_t limit);
// Makes the buffer hold n characters; the content is not kept. 1, or 0 with 1433/1588.
int PathBufReserve(BDS* ctx, PathBuf* buffer, uint32_t n);
uint32_t PathBufLength(const PathBuf* buffer);

// A PathBuf that initialises and frees itself.
struct LocalPathBuf {
    PathBuf buf;
    LocalPathBuf() { PathBufInit(&buf); }
    ~LocalPathBuf() { PathBufFree(&buf); }
    LocalPathBuf(const LocalPathBuf&) = delete;
    LocalPathBuf& operator=(const LocalPathBuf&) = delete;
    PathBuf* get() { return &buf; }
    const wchar_t* text() const { return buf.text; }
};

// The current directory, whatever its length. 1, or 0 with an error number.
int GetCurrentDirLongW(BDS* ctx, PathBuf* buffer);

inline bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Prefix tests. Kind 0: none; 1: "\\?\" followed by anything but "UNC\"; 3: "\\?\UNC\".
bool HasLongPrefixW(const wchar_t* text);
int LongPrefixKindW(const wchar_t* text);
// Characters that a scan for drive letters, wildcards or components skips: 0, 4 or 8.
int LongPrefixLengthW(const wchar_t* text);

// Existence: the name exists, or exists but this user may not look at it.
bool NamePresentW(const wchar_t* name);
// The open test of an existing name: 1 it opens for reading, 2 another program holds it
// without read sharing, 0 any other failure (a directory does not open as a file).
int OpenTestW(const wchar_t* name);
// 0 missing, 1 exists, 2 exists but the open test met a sharing violation (any other open
// failure counts as present). For names with the prefix.
int FileExistsW(BDS* ctx, const wchar_t* name, bool openTest);
// Prefixed names go to FileExistsW, others to the path search.
int CheckPathW(BDS* ctx, const wchar_t* name, bool openTest);

// Splits a path (a "\\?\" prefix skipped, "\\?\UNC\" kept in the directory). drive gets
// 3 characters, name and extension 256 each (cut at 255); any out may be null. 1, or 0 with
// the error of the directory buffer.
int SplitLongPathW(BDS* ctx, const wchar_t* path, wchar_t* drive, PathBuf* directory,
                   wchar_t* name, wchar_t* extension);

// The long, true-case form of an existing path into `result`: its length, or 0 with 1423.
uint32_t LongNameOfPathW(BDS* ctx, const wchar_t* path, PathBuf* result);
