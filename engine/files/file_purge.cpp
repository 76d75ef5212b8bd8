// FilePurge: copies a text file to a new file without the records (lines) that repeat an
// earlier record, exactly or without regard to case, and answers how many it dropped.
//
// A record runs up to and including its line feed, so a carriage return before the line
// feed belongs to it. The whole source is read once; the records already written are kept
// in a hash set whose nodes point into that buffer, carved from blocks rather than
// allocated one by one, with about one bucket per 512 bytes of source.
#include <cstdint>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/system_flags.h"
#include "engine/data/hash_table.h"
#include "engine/files/drives.h"
#include "engine/files/file_args.h"
#include "engine/files/file_handles.h"
#include "engine/files/path_buf.h"

namespace {

enum : uint16_t {
    ERR_OPEN_FAILED = 1077,
    ERR_SEEK = 1547,
    ERR_NO_MEMORY = 1588,
    ERR_READ = 1801,
    ERR_BAD_FLAGS = 1822,
    ERR_WRITE = 3467,
};

enum : int { MSG_NOT_ON_FILE_TYPE = 9520, MSG_NOT_UTF16 = 9521 };

enum : int { ENC_ANSI = 1, ENC_UTF16LE = 2, ENC_UTF16BE = 3, ENC_UTF8 = 4 };

constexpr uint32_t MIN_BUCKETS = 128;
constexpr uint32_t MAX_BUCKETS = 4194303;      // for sources beyond 4 GB
constexpr uint32_t FNV_BASIS = 2166136261u;
constexpr uint32_t FNV_PRIME = 16777619u;
constexpr size_t NODES_PER_BLOCK = 1024;
constexpr size_t OUT_BUFFER = 65536;
constexpr DWORD IO_PIECE = 0x40000000;          // the most one system read or write moves here

struct Node {
    const uint8_t* record;
    size_t units;
    Node* next;
    uint32_t hash;
};

struct NodeBlock {
    NodeBlock* next;
    Node nodes[NODES_PER_BLOCK];
};

// What one purge owns; everything is released when it goes out of scope.
struct Purge {
    BDS* ctx = nullptr;
    ScopedFile source;
    ScopedFile target;
    int encoding = ENC_ANSI;
    size_t unitSize = 1;
    uint16_t lf = 0x0A, cr = 0x0D;          // as the units read from memory (UTF-16BE: swapped)
    bool ignoreCase = false;
    bool dbcs = false;
    uint8_t* buffer = nullptr;              // the whole source, and room for an added line end
    HashTable set{};
    NodeBlock* blocks = nullptr;
    size_t freeNodes = 0;
    uint8_t lowerBytes[256] = {};
    bool leadByte[256] = {};                // lead bytes of the double-byte code page
    uint16_t* lowerUnits = nullptr;         // 65536 entries, for UTF-16 without regard to case
    uint8_t* out = nullptr;                 // pending output
    size_t outUsed = 0;
    uint64_t dropped = 0;

    ~Purge()
    {
        HANDLE heap = GetProcessHeap();
        while (blocks) {
            NodeBlock* next = blocks->next;
            HeapFree(heap, 0, blocks);
            blocks = next;
        }
        HashTableInit(&set, 0, 0);
        if (buffer) HeapFree(heap, 0, buffer);
        if (lowerUnits) HeapFree(heap, 0, lowerUnits);
        if (out) HeapFree(heap, 0, out);
    }
};

// ---------------------------------------------------------------- failures

// Each step answers true to go on, or false with the error set by one of these.
bool Fail(Purge& p, uint16_t error, DWORD systemError, const char* step)
{
    SetError(p.ctx, error);
    AddSystemErrorInfo(p.ctx, systemError, step);
    return false;
}

bool FailNoMemory(Purge& p)
{
    SetError(p.ctx, ERR_NO_MEMORY);
    return false;
}

bool FailWithMessage(Purge& p, uint16_t error, int message)
{
    SetError(p.ctx, error);
    char text[512];
    if (LoadMyString(p.ctx, EngineModule(), message, text, sizeof text))
        AppendExtendedError(p.ctx, text);
    return false;
}

// ---------------------------------------------------------------- records

uint16_t UnitAt(const Purge& p, const uint8_t* text, size_t i)
{
    if (p.unitSize == 1)
        return text[i];
    uint16_t unit;
    memcpy(&unit, text + 2 * i, 2);
    return unit;
}

uint32_t RecordHash(const Purge& p, const uint8_t* record, size_t units)
{
    uint32_t hash = FNV_BASIS;
    if (p.unitSize == 2) {
        for (size_t i = 0; i < units; ++i) {
            uint16_t unit = UnitAt(p, record, i);
            hash = (hash ^ (p.ignoreCase ? p.lowerUnits[unit] : unit)) * FNV_PRIME;
        }
    } else if (!p.ignoreCase) {
        for (size_t i = 0; i < units; ++i)
            hash = (hash ^ record[i]) * FNV_PRIME;
    } else {
        for (size_t i = 0; i < units; ++i) {
            uint32_t code = p.lowerBytes[record[i]];
            if (p.dbcs && i + 1 < units && p.leadByte[record[i]]) {
                code = (static_cast<uint32_t>(record[i]) << 8) | record[i + 1];   // a pair stays as it is
                ++i;
            }
            hash = (hash ^ code) * FNV_PRIME;
        }
    }
    return hash;
}

bool RecordsEqual(const Purge& p, const uint8_t* a, const uint8_t* b, size_t units)
{
    if (!p.ignoreCase)
        return memcmp(a, b, units * p.unitSize) == 0;
    if (units > 0x7FFFFFFF)
        return false;
    int n = static_cast<int>(units);
    if (p.unitSize == 2) {
        DWORD flags = SystemFacts().OsIsVistaPlus ? LINGUISTIC_IGNORECASE : NORM_IGNORECASE;
        return CompareStringW(LOCALE_SYSTEM_DEFAULT, flags, reinterpret_cast<const wchar_t*>(a), n,
                              reinterpret_cast<const wchar_t*>(b), n) == CSTR_EQUAL;
    }
    LCID locale = p.dbcs ? LOCALE_SYSTEM_DEFAULT : LOCALE_USER_DEFAULT;
    return CompareStringA(locale, LINGUISTIC_IGNORECASE, reinterpret_cast<const char*>(a), n,
                          reinterpret_cast<const char*>(b), n) == CSTR_EQUAL;
}

Node* NewNode(Purge& p)
{
    if (!p.freeNodes) {
        auto* block = static_cast<NodeBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(NodeBlock)));
        if (!block) {
            p.set.outOfMemory = 1;
            return nullptr;
        }
        block->next = p.blocks;
        p.blocks = block;
        p.freeNodes = NODES_PER_BLOCK;
    }
    return &p.blocks->nodes[--p.freeNodes];
}

// 1 the record is new (and now in the set), 0 it repeats an earlier one, -1 no memory.
int AddRecord(Purge& p, const uint8_t* record, size_t units)
{
    uint32_t hash = RecordHash(p, record, units);
    Node*& head = reinterpret_cast<Node*&>(p.set.buckets[hash % p.set.bucketCount]);
    for (Node* n = head; n; n = n->next)
        if (n->hash == hash && n->units == units && RecordsEqual(p, n->record, record, units))
            return 0;
    Node* node = NewNode(p);
    if (!node)
        return -1;
    *node = Node{record, units, head, hash};
    head = node;
    return 1;
}

// ---------------------------------------------------------------- output

bool WriteAll(HANDLE file, const uint8_t* data, size_t length)
{
    while (length) {
        DWORD piece = length > IO_PIECE ? IO_PIECE : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr) || written != piece)
            return false;
        data += piece;
        length -= piece;
    }
    return true;
}

bool Flush(Purge& p)
{
    bool ok = WriteAll(p.target.handle, p.out, p.outUsed);
    p.outUsed = 0;
    return ok;
}

bool Put(Purge& p, const uint8_t* data, size_t length)
{
    if (p.outUsed + length > OUT_BUFFER && !Flush(p))
        return false;
    if (length > OUT_BUFFER)
        return WriteAll(p.target.handle, data, length);
    memcpy(p.out + p.outUsed, data, length);
    p.outUsed += length;
    return true;
}

// ---------------------------------------------------------------- steps

// The encoding from the byte-order mark, else from the mode; the mark's length.
bool ReadMark(Purge& p, int mode, size_t* markBytes)
{
    uint8_t head[3] = {};
    DWORD got = 0;
    if (!ReadFile(p.source.handle, head, 3, &got, nullptr))
        return Fail(p, ERR_SEEK, GetLastError(), "GetBom");
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(p.source.handle, start, nullptr, FILE_BEGIN))
        return Fail(p, ERR_SEEK, GetLastError(), "GetBom");
    *markBytes = 0;
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        p.encoding = ENC_UTF16LE;
        *markBytes = 2;
    } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        p.encoding = ENC_UTF16BE;
        *markBytes = 2;
    } else if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        p.encoding = ENC_UTF8;
        *markBytes = 3;
    } else {
        p.encoding = (mode == ENC_UTF16LE || mode == ENC_UTF16BE || mode == ENC_UTF8) ? mode : ENC_ANSI;
    }
    return true;
}

// The hash and comparison variant of the encoding and case choice.
bool ChooseVariant(Purge& p)
{
    if (p.encoding == ENC_UTF16LE || p.encoding == ENC_UTF16BE) {
        p.unitSize = 2;
        if (p.encoding == ENC_UTF16BE) {
            p.lf = 0x0A00;
            p.cr = 0x0D00;
        }
    }
    if (!p.ignoreCase)
        return true;
    if (p.encoding == ENC_UTF16BE || p.encoding == ENC_UTF8)
        return FailWithMessage(p, ERR_BAD_FLAGS, MSG_NOT_ON_FILE_TYPE);
    if (p.encoding == ENC_UTF16LE) {
        p.lowerUnits = static_cast<uint16_t*>(HeapAlloc(GetProcessHeap(), 0, 65536 * sizeof(uint16_t)));
        if (!p.lowerUnits)
            return FailNoMemory(p);
        for (uint32_t u = 0; u < 65536; ++u)
            p.lowerUnits[u] = static_cast<uint16_t>(u);
        // Surrogates stay as they are; the two runs around them are lowered unit by unit.
        CharLowerBuffW(reinterpret_cast<wchar_t*>(p.lowerUnits), 0xD800);
        CharLowerBuffW(reinterpret_cast<wchar_t*>(p.lowerUnits + 0xE000), 0x2000);
        return true;
    }
    CPINFO info{};
    p.dbcs = GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
    for (int b = 0; b < 256; ++b) {
        p.lowerBytes[b] = static_cast<uint8_t>(b);
        p.leadByte[b] = p.dbcs && IsDBCSLeadByte(static_cast<BYTE>(b));
    }
    CharLowerBuffA(reinterpret_cast<char*>(p.lowerBytes + 1), 255);
    return true;
}

// True when `name` is the file that is open as the source (the same volume and index).
bool SameFileAsSource(const Purge& p, const wchar_t* name)
{
    BY_HANDLE_FILE_INFORMATION mine, other;
    if (!GetFileInformationByHandle(p.source.handle, &mine))
        return false;
    ScopedFile probe;
    probe.handle = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (!probe.ok() || !GetFileInformationByHandle(probe.handle, &other))
        return false;
    return mine.dwVolumeSerialNumber == other.dwVolumeSerialNumber && mine.nFileIndexHigh == other.nFileIndexHigh &&
           mine.nFileIndexLow == other.nFileIndexLow;
}

bool ReadWhole(Purge& p, uint64_t size)
{
    if (size > SIZE_MAX - 8)
        return FailNoMemory(p);
    p.buffer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(size) + 3 * p.unitSize + 2));
    if (!p.buffer)
        return FailNoMemory(p);
    uint64_t total = 0;
    while (total < size) {
        uint64_t left = size - total;
        DWORD piece = left > IO_PIECE ? IO_PIECE : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(p.source.handle, p.buffer + total, piece, &got, nullptr))
            return Fail(p, ERR_READ, GetLastError(), "ReadFile");
        if (got == 0)
            return Fail(p, ERR_READ, ERROR_HANDLE_EOF, "ReadFile");
        total += got;
    }
    FileHandleClose(p.source.handle);
    p.source.handle = INVALID_HANDLE_VALUE;
    return true;
}

void PutUnit(const Purge& p, uint8_t* at, uint16_t unit)
{
    if (p.unitSize == 1)
        *at = static_cast<uint8_t>(unit);
    else
        memcpy(at, &unit, 2);
}

// Writes the records that are new; the final cut leaves the target ending as the source did.
bool PurgeRecords(Purge& p, uint8_t* text, size_t units)
{
    // A text that does not end in a line feed gets one for its last record: CR LF when the
    // first record ends so, else LF alone.
    size_t appended = 0;
    if (units && UnitAt(p, text, units - 1) != p.lf) {
        size_t firstLf = 0;
        while (firstLf < units && UnitAt(p, text, firstLf) != p.lf)
            ++firstLf;
        if (firstLf < units && firstLf > 0 && UnitAt(p, text, firstLf - 1) == p.cr)
            PutUnit(p, text + p.unitSize * (units + appended++), p.cr);
        PutUnit(p, text + p.unitSize * (units + appended++), p.lf);
        units += appended;
    }

    const uint8_t* lastWritten = nullptr;
    size_t lastWrittenUnits = 0;
    bool lastKept = false;
    size_t start = 0;
    for (size_t i = 0; i < units; ++i) {
        if (UnitAt(p, text, i) != p.lf)
            continue;
        const uint8_t* record = text + start * p.unitSize;
        size_t length = i + 1 - start;
        start = i + 1;
        int added = AddRecord(p, record, length);
        if (added < 0)
            return FailNoMemory(p);
        lastKept = added == 1;
        if (!lastKept) {
            ++p.dropped;
            continue;
        }
        if (!Put(p, record, length * p.unitSize))
            return Fail(p, ERR_WRITE, GetLastError(), "FilePurge.Write");
        lastWritten = record;
        lastWrittenUnits = length;
    }
    if (!Flush(p))
        return Fail(p, ERR_WRITE, GetLastError(), "FilePurge.Write");
    if (!appended)
        return true;

    // The last record was written: take back what was added. It was dropped: the target's
    // own last record ends in a line end that the source's last line did not have.
    size_t cut = appended;
    if (!lastKept) {
        cut = 1;
        if (lastWrittenUnits >= 2 && UnitAt(p, lastWritten, lastWrittenUnits - 2) == p.cr)
            cut = 2;
    }
    LARGE_INTEGER back;
    back.QuadPart = -static_cast<LONGLONG>(cut * p.unitSize);
    if (!SetFilePointerEx(p.target.handle, back, nullptr, FILE_END) || !SetEndOfFile(p.target.handle))
        return Fail(p, ERR_SEEK, GetLastError(), "FilePurge.RemoveLastEOR");
    return true;
}

// The records of the source into the target; false with the error set. p.dropped counts
// the records left out.
bool RunPurge(Purge& p, const wchar_t* sourceName, const wchar_t* targetName, int mode)
{
    BDS* ctx = p.ctx;
    LocalPathBuf sourcePath, targetPath;
    if (!PathBufAppend(ctx, sourcePath.get(), sourceName, PATH_LIMIT_FILE) ||
        !PathBufAppend(ctx, targetPath.get(), targetName, PATH_LIMIT_FILE))
        return false;
    {
        CriticalErrorsOff quiet;
        p.source.handle = CreateFileW(sourcePath.text(), GENERIC_READ, ctx->eng.ctl.ReadShareMode, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    if (!p.source.ok())
        return Fail(p, ERR_OPEN_FAILED, GetLastError(), "OpenFileW");

    size_t markBytes = 0;
    if (!ReadMark(p, mode, &markBytes) || !ChooseVariant(p))
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(p.source.handle, &size))
        return Fail(p, ERR_READ, GetLastError(), "ReadFile");
    uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
    // An odd UTF-16 source would lose its last byte: it is refused, with a mark or without.
    if (p.unitSize == 2 && (bytes - markBytes) % 2)
        return FailWithMessage(p, ERR_READ, MSG_NOT_UTF16);
    if (bytes == 0)
        return true;

    uint64_t buckets = bytes > 0xFFFFFFFFull ? MAX_BUCKETS : bytes / 512;
    HashTableInit(&p.set, buckets < MIN_BUCKETS ? MIN_BUCKETS : static_cast<uint32_t>(buckets), 1);
    if (!p.set.buckets)
        return FailNoMemory(p);
    p.out = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, OUT_BUFFER));
    if (!p.out)
        return FailNoMemory(p);

    // Writing over the source would destroy what is being read, whatever the share modes.
    if (SameFileAsSource(p, targetPath.text()))
        return Fail(p, ERR_OPEN_FAILED, ERROR_SHARING_VIOLATION, "FilePurge.Intialize");
    {
        CriticalErrorsOff quiet;
        p.target.handle = CreateFileW(targetPath.text(), GENERIC_WRITE, ctx->eng.ctl.WriteShareMode, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (!p.target.ok())
        return Fail(p, ERR_OPEN_FAILED, GetLastError(), "FilePurge.Intialize");

    if (!ReadWhole(p, bytes))
        return false;
    if (markBytes && !WriteAll(p.target.handle, p.buffer, markBytes))
        return Fail(p, ERR_WRITE, GetLastError(), "WriteBom");
    size_t units = static_cast<size_t>((bytes - markBytes) / p.unitSize);
    return PurgeRecords(p, p.buffer + markBytes, units);
}

void CaseFilePurge(BDS* ctx, BuiltinCall& c)
{
    ArgPath source(ctx, c, 1);
    ArgPath target(ctx, c, 2);
    Purge p;
    p.ctx = ctx;
    p.ignoreCase = ArgInt(c, 3) != 0;
    bool done = RunPurge(p, source.text(), target.text(), ArgInt(c, 4));
    SetResultInt64(ctx, c.result, done ? static_cast<int64_t>(p.dropped) : 0);
}

const BuiltinRow kRows[] = {
    {491, CaseFilePurge},
};

}  // namespace

extern const BuiltinFamily g_FilePurgeBuiltins = {"duplicate-record purge", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
