// FileWrite: one line and its terminator (IntControl 53) into an ANSI or a UTF-16 slot;
// a UTF-16 file gets its byte-order mark before the first line, and a big-endian file
// that is appended to keeps its byte order.
#include "engine/files/file_io.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/errors.h"

namespace {

enum : uint16_t {
    ERR_WRITE_FAILED = 3467,
    ERR_NOT_FOR_WRITING = 3089,
};

// Bytes gathered so that a line and its terminator go out in one WriteFile.
class SlotWriter {
public:
    explicit SlotWriter(HANDLE file) : file_(file) {}

    bool Put(const void* data, size_t bytes)
    {
        const auto* from = static_cast<const uint8_t*>(data);
        while (bytes) {
            if (used_ == sizeof buffer_ && !Flush())
                return false;
            size_t take = sizeof buffer_ - used_;
            if (take > bytes)
                take = bytes;
            memcpy(buffer_ + used_, from, take);
            used_ += take;
            from += take;
            bytes -= take;
        }
        return true;
    }

    // UTF-16 units in the file's byte order.
    bool PutUnits(const wchar_t* units, size_t count, bool bigEndian)
    {
        if (!bigEndian)
            return Put(units, count * sizeof(wchar_t));
        for (size_t i = 0; i < count; ++i) {
            uint8_t pair[2] = {static_cast<uint8_t>(units[i] >> 8), static_cast<uint8_t>(units[i] & 0xFF)};
            if (!Put(pair, 2))
                return false;
        }
        return true;
    }

    bool Flush()
    {
        if (used_ == 0)
            return true;
        DWORD written = 0;
        bool ok = WriteFile(file_, buffer_, static_cast<DWORD>(used_), &written, nullptr) && written == used_;
        if (!ok)
            error_ = GetLastError();
        used_ = 0;
        return ok;
    }

    DWORD Error() const { return error_; }

private:
    HANDLE file_;
    uint8_t buffer_[4096];
    size_t used_ = 0;
    DWORD error_ = 0;
};

bool CheckWritable(BDS* ctx, FileSlot& slot)
{
    if (slot.mode & FSM_WRITE)
        return true;
    SetError(ctx, ERR_NOT_FOR_WRITING);
    return false;
}

void ReportWriteFailure(BDS* ctx, DWORD error)
{
    StoreLastError(ctx, error, "WriteFile", true);
    SetError(ctx, ERR_WRITE_FAILED);
}

}  // namespace

const char* FileLineTerminator(BDS* ctx)
{
    switch (ctx->eng.ctl.FileLineEnd) {
    case 0: return "";
    case 2: return "\n";
    case 3: return "\r";
    case 4: return "\t";
    default: return "\r\n";
    }
}

void DoFileWriteA(BDS* ctx, int index, const char* text)
{
    FileSlot& slot = ctx->files.slots[index];
    if (!CheckWritable(ctx, slot))
        return;
    SlotWriter out(slot.handle);
    const char* end = FileLineTerminator(ctx);
    if (!out.Put(text, strlen(text)) || !out.Put(end, strlen(end)) || !out.Flush()) {
        ReportWriteFailure(ctx, out.Error());
        return;
    }
    slot.mode |= FSM_WRITTEN;
}

void DoFileWriteW(BDS* ctx, int index, const wchar_t* text)
{
    FileSlot& slot = ctx->files.slots[index];
    if (!CheckWritable(ctx, slot))
        return;
    bool bigEndian = slot.encoding == FSE_UTF16BE;
    SlotWriter out(slot.handle);
    if (!(slot.mode & (FSM_WRITTEN | FSM_MARK_PRESENT))) {
        static const wchar_t mark = 0xFEFF;
        out.PutUnits(&mark, 1, bigEndian);
    }
    wchar_t end[3] = {};
    const char* narrow = FileLineTerminator(ctx);
    for (int i = 0; narrow[i]; ++i)
        end[i] = static_cast<wchar_t>(narrow[i]);
    if (!out.PutUnits(text, wcslen(text), bigEndian) || !out.PutUnits(end, wcslen(end), bigEndian) ||
        !out.Flush()) {
        ReportWriteFailure(ctx, out.Error());
        return;
    }
    slot.mode |= FSM_WRITTEN;
}
