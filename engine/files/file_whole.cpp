// Whole-file built-ins: FileGet and FileGetW read a file into one string (UTF-16 files
// are recognised by their byte-order mark and converted), FilePut and FilePutW write one.
// Transfers move 32768 bytes per call; NUL characters are dropped or replaced.
#include "engine/files/file_io.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/files/drives.h"
#include "engine/files/file_handles.h"
#include "engine/files/file_text.h"
#include "engine/files/path_buf.h"

namespace {

enum : uint16_t {
    ERR_NO_MEMORY = 1588,
    ERR_OPEN = 1800,
    ERR_READ = 1801,
    ERR_WRITE = 1802,
    ERR_NULL_CHAR = 1803,
    ERR_UNICODE_CONVERSION = 1810,
    ERR_NO_STRING_SPACE = 3096,
};

constexpr DWORD TRANSFER = 32768;

// A process-heap block owned for one call.
struct TransferBlock {
    void* data = nullptr;
    explicit TransferBlock(size_t bytes) { data = HeapAlloc(GetProcessHeap(), 0, bytes); }
    ~TransferBlock()
    {
        if (data)
            HeapFree(GetProcessHeap(), 0, data);
    }
    TransferBlock(const TransferBlock&) = delete;
    TransferBlock& operator=(const TransferBlock&) = delete;
};

// A string of the heap that is freed unless the call hands it to the result.
struct HeapString {
    BDS* ctx;
    uint64_t offset = 0;
    explicit HeapString(BDS* c) : ctx(c) {}
    ~HeapString()
    {
        if (offset)
            VFree(ctx, offset);
    }
    uint64_t Release()
    {
        uint64_t kept = offset;
        offset = 0;
        return kept;
    }
};

bool OpenWhole(BDS* ctx, const wchar_t* name, DWORD access, DWORD share, DWORD disposition, ScopedFile& file)
{
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE))
        return false;
    CriticalErrorsOff quiet;
    file.handle = CreateFileW(path.text(), access, share, nullptr, disposition, 0, nullptr);
    if (file.handle == INVALID_HANDLE_VALUE) {
        StoreLastError(ctx, GetLastError(), "CreateFile", true);
        SetError(ctx, ERR_OPEN);
        return false;
    }
    return true;
}

// The mark of a UTF-16 file: 1 FF FE, 2 FE FF, 0 none (the position is then back at 0).
int ReadMark(HANDLE file)
{
    uint8_t mark[2] = {0, 0};
    if (FileHandleRead(file, mark, 2) == 2) {
        if (mark[0] == 0xFF && mark[1] == 0xFE)
            return 1;
        if (mark[0] == 0xFE && mark[1] == 0xFF)
            return 2;
    }
    FileHandleSeek(file, 0, nullptr, FILE_BEGIN);
    return 0;
}

// Drops NULs, or replaces them when a replacement is given; answers the count kept.
template <typename Ch>
size_t HandleNuls(Ch* text, size_t count, Ch replacement)
{
    if (replacement) {
        for (size_t i = 0; i < count; ++i)
            if (!text[i])
                text[i] = replacement;
        return count;
    }
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i)
        if (text[i])
            text[kept++] = text[i];
    return kept;
}

// Units of a UTF-16 file in blocks of at most 16384, in the machine's byte order; a high
// surrogate at the end of a block waits for its partner in the next one.
class UnitBlocks {
public:
    UnitBlocks(HANDLE file, bool bigEndian, wchar_t* block) : file_(file), swap_(bigEndian), block_(block) {}

    // The next block's unit count (0 at the end), or -1 when a read failed.
    int64_t Next()
    {
        size_t have = carry_ ? 1 : 0;
        if (carry_)
            block_[0] = carry_;
        carry_ = 0;
        int64_t got = FileHandleRead(file_, block_ + have, TRANSFER - static_cast<DWORD>(have * 2));
        if (got < 0)
            return -1;
        size_t units = have + static_cast<size_t>(got) / 2;
        if (got & 1)
            FileHandleSeek(file_, -1, nullptr, FILE_CURRENT);
        if (swap_)
            for (size_t i = have; i < units; ++i)
                block_[i] = static_cast<wchar_t>((block_[i] >> 8) | (block_[i] << 8));
        if (got > 1 && units > 1 && IS_HIGH_SURROGATE(block_[units - 1])) {
            carry_ = block_[--units];
        }
        return static_cast<int64_t>(units);
    }

private:
    HANDLE file_;
    bool swap_;
    wchar_t* block_;
    wchar_t carry_ = 0;
};

// How many bytes at the start of an ANSI block form whole characters of the code page.
size_t WholeCharacters(UINT codePage, const char* bytes, size_t count)
{
    if (codePage == CP_UTF8) {
        size_t end = count;
        size_t back = 0;
        while (end > 0 && back < 4 && (static_cast<uint8_t>(bytes[end - 1]) & 0xC0) == 0x80) {
            --end;
            ++back;
        }
        if (end == 0)
            return count;
        uint8_t lead = static_cast<uint8_t>(bytes[end - 1]);
        size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return length > back + 1 ? end - 1 : count;
    }
    CPINFO info;
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize < 2)
        return count;
    size_t i = 0;
    while (i < count)
        i += IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i])) ? 2 : 1;
    return i > count ? count - 1 : count;
}

// ---------------------------------------------------------------- FileGet

// A UTF-16 file as ANSI text: the length of the whole conversion first, then the text.
bool GetUnicodeAsAnsi(BDS* ctx, HANDLE file, bool bigEndian, char nullChar, HeapString& out)
{
    TransferBlock units(TRANSFER + sizeof(wchar_t));
    if (!units.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    UINT codePage = ValueCodePage(ctx);
    auto* block = static_cast<wchar_t*>(units.data);
    uint64_t total = 0;
    UnitBlocks pass1(file, bigEndian, block);
    for (int64_t n; (n = pass1.Next()) != 0;) {
        if (n < 0) {
            SetError(ctx, ERR_READ);
            return false;
        }
        int bytes = WideCharToMultiByte(codePage, 0, block, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) {
            SetError(ctx, ERR_UNICODE_CONVERSION);
            return false;
        }
        total += static_cast<uint64_t>(bytes);
    }
    out.offset = VMalloc(ctx, total + 1);
    if (!out.offset) {
        SetError(ctx, ERR_NO_STRING_SPACE);
        return false;
    }
    FileHandleSeek(file, 2, nullptr, FILE_BEGIN);
    UnitBlocks pass2(file, bigEndian, block);
    size_t used = 0;
    for (int64_t n; (n = pass2.Next()) != 0 && used < total;) {
        if (n < 0) {
            SetError(ctx, ERR_READ);
            return false;
        }
        char* target = HeapPtr(ctx, out.offset) + used;
        int bytes = WideCharToMultiByte(codePage, 0, block, static_cast<int>(n), target,
                                        static_cast<int>(total - used), nullptr, nullptr);
        if (bytes <= 0) {
            SetError(ctx, ERR_UNICODE_CONVERSION);
            return false;
        }
        used += HandleNuls(target, static_cast<size_t>(bytes), nullChar);
    }
    HeapPtr(ctx, out.offset)[used] = 0;
    return true;
}

bool GetAnsi(BDS* ctx, HANDLE file, char nullChar, HeapString& out)
{
    uint64_t size = 0;
    FileHandleSize(ctx, file, &size);
    out.offset = VMalloc(ctx, size + 1);
    if (!out.offset) {
        SetError(ctx, ERR_NO_STRING_SPACE);
        return false;
    }
    uint64_t read = 0, kept = 0;
    while (read < size) {
        DWORD want = size - read < TRANSFER ? static_cast<DWORD>(size - read) : TRANSFER;
        char* target = HeapPtr(ctx, out.offset) + kept;
        int64_t got = FileHandleRead(file, target, want);
        if (got < 0) {
            SetError(ctx, ERR_READ);
            return false;
        }
        if (got == 0)
            break;
        read += static_cast<uint64_t>(got);
        kept += HandleNuls(target, static_cast<size_t>(got), nullChar);
    }
    HeapPtr(ctx, out.offset)[kept] = 0;
    return true;
}

// ---------------------------------------------------------------- FileGetW

bool GetUnicode(BDS* ctx, HANDLE file, bool bigEndian, wchar_t nullChar, HeapString& out)
{
    uint64_t size = 0;
    FileHandleSize(ctx, file, &size);
    uint64_t units = size >= 2 ? (size - 2) / 2 : 0;
    out.offset = VMalloc(ctx, (units + 1) * sizeof(wchar_t));
    if (!out.offset) {
        SetError(ctx, ERR_NO_STRING_SPACE);
        return false;
    }
    uint64_t read = 0, kept = 0;
    while (read < units) {
        uint64_t left = (units - read) * 2;
        DWORD want = left < TRANSFER ? static_cast<DWORD>(left) : TRANSFER;
        auto* target = reinterpret_cast<wchar_t*>(HeapPtr(ctx, out.offset)) + kept;
        int64_t got = FileHandleRead(file, target, want);
        if (got < 0) {
            SetError(ctx, ERR_READ);
            return false;
        }
        size_t count = static_cast<size_t>(got) / 2;
        if (count == 0)
            break;
        if (bigEndian)
            for (size_t i = 0; i < count; ++i)
                target[i] = static_cast<wchar_t>((target[i] >> 8) | (target[i] << 8));
        read += count;
        kept += HandleNuls(target, count, nullChar);
    }
    reinterpret_cast<wchar_t*>(HeapPtr(ctx, out.offset))[kept] = 0;
    return true;
}

// An ANSI file as wide text: the length of the whole conversion first, then the text.
bool GetAnsiAsUnicode(BDS* ctx, HANDLE file, wchar_t nullChar, HeapString& out)
{
    TransferBlock bytes(TRANSFER + 4);
    TransferBlock converted((TRANSFER + 4) * sizeof(wchar_t));
    if (!bytes.data || !converted.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    UINT codePage = ValueCodePage(ctx);
    auto* block = static_cast<char*>(bytes.data);
    auto* wide = static_cast<wchar_t*>(converted.data);

    // Each pass reads whole characters; a split one waits for the next read.
    auto convert = [&](auto&& use) -> bool {
        FileHandleSeek(file, 0, nullptr, FILE_BEGIN);
        size_t carry = 0;
        for (;;) {
            int64_t got = FileHandleRead(file, block + carry, TRANSFER - static_cast<DWORD>(carry));
            if (got < 0) {
                SetError(ctx, ERR_READ);
                return false;
            }
            size_t have = carry + static_cast<size_t>(got);
            if (have == 0)
                return true;
            size_t whole = got == 0 ? have : WholeCharacters(codePage, block, have);
            if (whole == 0)
                whole = have;
            int units = MultiByteToWideChar(codePage, 0, block, static_cast<int>(whole), wide,
                                            static_cast<int>(TRANSFER + 4));
            if (units <= 0) {
                SetError(ctx, ERR_UNICODE_CONVERSION);
                return false;
            }
            if (!use(static_cast<size_t>(units)))
                return true;
            carry = have - whole;
            memmove(block, block + whole, carry);
            if (got == 0 && carry == 0)
                return true;
        }
    };

    uint64_t total = 0;
    if (!convert([&](size_t units) { total += units; return true; }))
        return false;
    out.offset = VMalloc(ctx, (total + 1) * sizeof(wchar_t));
    if (!out.offset) {
        SetError(ctx, ERR_NO_STRING_SPACE);
        return false;
    }
    size_t used = 0;
    bool ok = convert([&](size_t units) {
        if (units > total - used)
            units = total - used;
        auto* target = reinterpret_cast<wchar_t*>(HeapPtr(ctx, out.offset)) + used;
        wmemcpy(target, wide, units);
        used += HandleNuls(target, units, nullChar);
        return used < total;
    });
    if (!ok)
        return false;
    reinterpret_cast<wchar_t*>(HeapPtr(ctx, out.offset))[used] = 0;
    return true;
}

// ---------------------------------------------------------------- both

// A file with a UTF-16 mark is read as units, any other as text of the code page; either
// is converted to the width of the built-in.
template <typename Ch>
void GetWhole(BDS* ctx, resultants* result, const wchar_t* name, const Ch* nullChar)
{
    if (nullChar[0] && nullChar[1]) {
        SetError(ctx, ERR_NULL_CHAR);
        return;
    }
    ScopedFile file;
    if (!OpenWhole(ctx, name, GENERIC_READ, ctx->eng.ctl.ReadShareMode, OPEN_EXISTING, file))
        return;
    HeapString text(ctx);
    int mark = ReadMark(file.handle);
    if constexpr (sizeof(Ch) == 1) {
        if (mark ? GetUnicodeAsAnsi(ctx, file.handle, mark == 2, nullChar[0], text)
                 : GetAnsi(ctx, file.handle, nullChar[0], text))
            SetResultHeapText(ctx, result, text.Release());
    } else {
        if (mark ? GetUnicode(ctx, file.handle, mark == 2, nullChar[0], text)
                 : GetAnsiAsUnicode(ctx, file.handle, nullChar[0], text))
            SetResultHeapWText(ctx, result, text.Release());
    }
}

// One write of a whole file's bytes; a short write is a failure.
bool WriteWhole(BDS* ctx, HANDLE file, const void* data, size_t bytes)
{
    int64_t written = FileHandleWrite(file, data, static_cast<DWORD>(bytes));
    if (written < 0 || static_cast<size_t>(written) != bytes) {
        StoreLastError(ctx, GetLastError(), "WriteFile", true);
        SetError(ctx, ERR_WRITE);
        return false;
    }
    return true;
}

}  // namespace

void DoFileGet(BDS* ctx, resultants* result, const wchar_t* name, const char* nullChar)
{
    GetWhole(ctx, result, name, nullChar);
}

void DoFileGetW(BDS* ctx, resultants* result, const wchar_t* name, const wchar_t* nullChar)
{
    GetWhole(ctx, result, name, nullChar);
}

void DoFilePut(BDS* ctx, resultants* result, const wchar_t* name, const char* text)
{
    ScopedFile file;
    if (!OpenWhole(ctx, name, GENERIC_WRITE, ctx->eng.ctl.WriteShareMode, CREATE_ALWAYS, file))
        return;
    size_t length = strlen(text);
    if (WriteWhole(ctx, file.handle, text, length))
        SetResultInt(ctx, result, static_cast<int32_t>(length));
}

// The byte-order mark, then the text as it stands in memory: no copy of the whole text.
void DoFilePutW(BDS* ctx, resultants* result, const wchar_t* name, const wchar_t* text)
{
    ScopedFile file;
    if (!OpenWhole(ctx, name, GENERIC_WRITE, ctx->eng.ctl.WriteShareMode, CREATE_ALWAYS, file))
        return;
    const wchar_t mark = 0xFEFF;
    size_t bytes = wcslen(text) * sizeof(wchar_t);
    if (WriteWhole(ctx, file.handle, &mark, sizeof mark) && WriteWhole(ctx, file.handle, text, bytes))
        SetResultInt(ctx, result, static_cast<int32_t>(sizeof mark + bytes));
}
