// Array and map files: ArrayFilePut and ArrayFileGet (one element a line), ArrayFilePutCsv
// and ArrayFileGetCsv (rows of comma-separated values), MapFilePutCsv and MapFileGetCsv
// (key,value lines). Files are bytes in the ANSI code page.
#include <windows.h>

#include <cstring>
#include <new>

#include "engine/core/heap.h"
#include "engine/core/text_length.h"
#include "engine/data/array_internal.h"
#include "engine/data/item_list.h"
#include "engine/data/map.h"
#include "engine/files/file_args.h"
#include "engine/files/file_handles.h"
#include "engine/files/file_io.h"
#include "engine/files/line_reader.h"

using namespace arrays;

namespace {

constexpr uint16_t ERR_OPEN = 1800;
constexpr uint16_t ERR_WRITE = 1802;
constexpr uint16_t ERR_NUL_CHAR = 1803;
constexpr uint16_t ERR_TOO_MANY_LINES = 1804;
constexpr uint16_t ERR_BAD_DELIMITER = 1807;
constexpr uint16_t ERR_BAD_CSV = 1808;
constexpr int HINT_LINE = 9513;

// ---------------------------------------------------------------- writing

// A file being written through a buffer; `written` counts the bytes that reached the file.
struct FileWriter {
    HANDLE file = INVALID_HANDLE_VALUE;
    char buffer[65536];
    uint32_t used = 0;
    int64_t written = 0;
    const char* terminator = "\r\n";

    ~FileWriter() { FileHandleClose(file); }

    bool Flush(BDS* ctx)
    {
        if (!used) return true;
        int64_t done = FileHandleWrite(file, buffer, used);
        if (done > 0) written += done;
        bool ok = done == used;
        used = 0;
        if (!ok) SetError(ctx, ERR_WRITE);
        return ok;
    }
    bool Write(BDS* ctx, const char* text, size_t length)
    {
        while (length) {
            if (used == sizeof buffer && !Flush(ctx)) return false;
            size_t n = sizeof buffer - used;
            if (n > length) n = length;
            std::memcpy(buffer + used, text, n);
            used += static_cast<uint32_t>(n);
            text += n;
            length -= n;
        }
        return true;
    }
    bool Write(BDS* ctx, const char* text) { return Write(ctx, text, TextLength(text)); }
    bool EndLine(BDS* ctx) { return Write(ctx, terminator); }
};

bool OpenForWriting(BDS* ctx, FileWriter& writer, const wchar_t* name)
{
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    writer.file = FileHandleOpenW(name, GENERIC_WRITE, ctx->eng.ctl.WriteShareMode, CREATE_ALWAYS, 0);
    SetErrorMode(mode);
    writer.terminator = FileLineTerminator(ctx);
    if (writer.file == INVALID_HANDLE_VALUE) {
        SetError(ctx, ERR_OPEN);
        return false;
    }
    return true;
}

// The result: the bytes written, also when an error stopped the writing.
void FinishWriting(BDS* ctx, FileWriter& writer, resultants* result)
{
    if (!ctx->nErrorCode) writer.Flush(ctx);
    else {
        uint16_t error = ctx->nErrorCode;
        writer.Flush(ctx);
        ctx->nErrorCode = error;
    }
    if (writer.written <= 0x7FFFFFFF) SetResultInt(ctx, result, static_cast<int32_t>(writer.written));
    else SetResultInt64(ctx, result, writer.written);
}

// Writes the file named by argument 1: write(writer) fills it, the result is the bytes
// written. The name's wide form is taken where the argument has one (the file built-ins'
// argument code asks for ANSI text), so that a folder named outside the ANSI code page is
// reached.
template <typename Write>
void WriteFileArg(BDS* ctx, BuiltinCall& call, Write write)
{
    auto* writer = new (std::nothrow) FileWriter;
    if (!writer) {
        SetError(ctx, ERR_ARRAY_NO_MEMORY);
        return;
    }
    ArgPath name(ctx, call, 1);
    if (OpenForWriting(ctx, *writer, name.text())) {
        write(*writer);
        FinishWriting(ctx, *writer, call.result);
    }
    delete writer;
}

// Writes the element as narrow text; 3056 when it has none.
bool WriteElement(BDS* ctx, FileWriter& writer, const ArrayElement& element, bool quoted)
{
    ElementText<char> item;
    if (!item.Take(ctx, element)) {
        item.Release(ctx);
        if (!ctx->nErrorCode) SetError(ctx, ERR_ARRAY_NOT_STRING);
        return false;
    }
    const char* text = item.Text(ctx);
    bool ok = true;
    if (!quoted) {
        ok = writer.Write(ctx, text);
    } else {
        for (const char* q; ok && (q = std::strchr(text, '"')) != nullptr; text = q + 1)
            ok = writer.Write(ctx, text, static_cast<size_t>(q - text + 1)) && writer.Write(ctx, "\"", 1);
        ok = ok && writer.Write(ctx, text);
    }
    item.Release(ctx);
    return ok;
}

// One CSV row of `count` fields; a row of uninitialised fields only with write-empty.
bool WriteCsvRow(BDS* ctx, FileWriter& writer, const ArrayElement* const* fields, uint32_t count,
                 const char* delimiter, bool writeEmpty, bool quoting)
{
    bool any = false;
    for (uint32_t i = 0; i < count; ++i) any = any || (fields[i] && fields[i]->flags);
    if (!any && !writeEmpty) return true;
    char separator[4] = {'"', delimiter[0], '"', 0};
    if (quoting && !writer.Write(ctx, "\"", 1)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0 && !writer.Write(ctx, quoting ? separator : delimiter)) return false;
        if (fields[i] && fields[i]->flags && !WriteElement(ctx, writer, *fields[i], quoting)) return false;
    }
    if (quoting && !writer.Write(ctx, "\"", 1)) return false;
    return writer.EndLine(ctx);
}

// The delimiter argument of the CSV built-ins (default comma); 1807 when not allowed.
bool CsvDelimiterArg(BDS* ctx, const BuiltinCall& call, int i, char* out)
{
    const char* text = HasArg(call, i) ? ArgText(ctx, call, i) : ",";
    if (!CsvDelimiterOk(text)) {
        SetError(ctx, ERR_BAD_DELIMITER);
        return false;
    }
    *out = text[0];
    return true;
}

// ---------------------------------------------------------------- reading

// A line error (too long, a NUL byte, bad CSV) gets the line's number as a hint.
void LineErrorHint(BDS* ctx, const LineReader& reader)
{
    uint16_t e = ctx->nErrorCode;
    if (e == 1591 || e == 1806 || e == ERR_BAD_CSV) AppendHintNumber(ctx, HINT_LINE, static_cast<int>(reader.lineNumber));
}

// Reads every line once, calling each(line) for it. 1 at the end of the file, 0 on error.
template <typename Each>
bool ReadLines(BDS* ctx, LineReader& reader, Each each)
{
    for (;;) {
        int got = LineReaderRead(ctx, &reader);
        if (got == 0) return true;
        if (got < 0 || !each(reader.line)) {
            LineErrorHint(ctx, reader);
            return false;
        }
    }
}

// The files are in the ANSI code page whatever the context's: the CSV helpers walk their
// lines without a context.

// The first pass over a CSV file: its lines and the most fields on one; 1808 at a line
// that is no CSV.
bool CountCsvLines(BDS* ctx, LineReader& reader, char delimiter, int64_t* lines, int64_t* widest)
{
    return ReadLines(ctx, reader, [&](const char* line) {
        int64_t n = CsvFieldCountA(nullptr, line, delimiter);
        if (n < 0) {
            SetError(ctx, ERR_BAD_CSV);
            return false;
        }
        ++*lines;
        if (n > *widest) *widest = n;
        return true;
    });
}

struct ReaderScope {
    LineReader reader{};
    bool open = false;
    char* field = nullptr;   // room for any line of the reader, for its CSV fields
    ~ReaderScope()
    {
        if (open) LineReaderClose(&reader);
        if (field) HeapFree(GetProcessHeap(), 0, field);
    }
    // The field buffer of the CSV readers; 1588 when it cannot be had.
    bool MakeFieldBuffer(BDS* ctx)
    {
        field = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, reader.bufferSize + 1));
        if (!field) SetError(ctx, ERR_ARRAY_NO_MEMORY);
        return field != nullptr;
    }
};

void DiscardArray(BDS* ctx, ValueHead& made, bool forced)
{
    uint64_t holder = made.str;
    ReleaseArray(ctx, &holder, forced ? 1 : 0);
    made.str = 0;
}

}  // namespace

// ---------------------------------------------------------------- ArrayFilePut, ArrayFileGet

void ArrayFilePutCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = ElementArrayOf(ctx, call.args[2]);
    if (!array)
        return;
    if (array->ndims > 1) {
        SetError(ctx, ERR_ARRAY_DIM_COUNT);
        return;
    }
    bool writeEmpty = ArgInt(call, 3, 0) != 0;
    WriteFileArg(ctx, call, [&](FileWriter& writer) {
        for (uint32_t i = 0; i < array->count; ++i) {
            const ArrayElement& element = array->data[i];
            if (element.flags == 0 && !writeEmpty) continue;
            if (element.flags && !WriteElement(ctx, writer, element, false)) break;
            if (!writer.EndLine(ctx)) break;
        }
    });
}

void ArrayFileGetCase(BDS* ctx, BuiltinCall& call)
{
    const char* replacement = ArgText(ctx, call, 2);
    if (TextLength(replacement) > 1) {
        SetError(ctx, ERR_NUL_CHAR);
        return;
    }
    int32_t extra = ArgInt(call, 3, 0);
    if (extra < 0) extra = 0;
    ReaderScope scope;
    ArgPath name(ctx, call, 1);      // wide where it has a wide form, as WriteFileArg
    if (!LineReaderOpen(ctx, &scope.reader, name.text(), replacement[0], true)) return;
    scope.open = true;

    uint64_t lines = 0;
    if (!ReadLines(ctx, scope.reader, [&](const char*) { return ++lines, true; })) return;
    if (lines + static_cast<uint64_t>(extra) > 0x7FFFFFFF) {
        SetError(ctx, ERR_TOO_MANY_LINES);
        return;
    }
    ValueHead made{};
    if (CreateMyArray(ctx, &made, static_cast<uint32_t>(lines + extra), 0, 0, 0, 0, 0, 1) < 0) return;
    ArrayHeader* array = ValueArray(&made);
    uint32_t i = 0;
    bool ok = LineReaderRewind(ctx, &scope.reader) && ReadLines(ctx, scope.reader, [&](const char* line) {
        return i < lines && StoreElementText(ctx, array->data[i++], line, scope.reader.lineLength);
    });
    if (!ok) {
        DiscardArray(ctx, made, false);
        return;
    }
    SetResultArray(ctx, call.result, made);
}

// ---------------------------------------------------------------- ArrayFilePutCsv, MapFilePutCsv

void ArrayFilePutCsvCase(BDS* ctx, BuiltinCall& call)
{
    char delimiter[2] = {};
    if (!CsvDelimiterArg(ctx, call, 3, delimiter)) return;
    ArrayHeader* array = ElementArrayOf(ctx, call.args[2]);
    if (!array)
        return;
    if (array->ndims > 2) {
        SetError(ctx, ERR_ARRAY_DIM_COUNT);
        return;
    }
    bool writeEmpty = ArgInt(call, 4, 0) != 0;
    bool quoting = !(ArgInt(call, 5, 0) & 2);
    // A one-dimension array is one column: each element a line of one field.
    uint32_t rows = array->ndims ? array->dims[0] : 0;
    uint32_t columns = array->ndims == 2 ? array->dims[1] : 1;
    auto** fields = static_cast<const ArrayElement**>(HeapAlloc(GetProcessHeap(), 0, sizeof(void*) * columns));
    if (!fields) {
        SetError(ctx, ERR_ARRAY_NO_MEMORY);
        return;
    }
    WriteFileArg(ctx, call, [&](FileWriter& writer) {
        for (uint32_t r = 0; r < rows; ++r) {
            for (uint32_t c = 0; c < columns; ++c) fields[c] = &array->data[static_cast<size_t>(r) * columns + c];
            if (!WriteCsvRow(ctx, writer, fields, columns, delimiter, writeEmpty, quoting)) break;
        }
    });
    HeapFree(GetProcessHeap(), 0, fields);
}

void MapFilePutCsvCase(BDS* ctx, BuiltinCall& call)
{
    char delimiter[2] = {};
    if (!CsvDelimiterArg(ctx, call, 3, delimiter)) return;
    ArrayHeader* map = ValueArray(&call.args[2]);
    if (!MapTableOf(map)) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return;
    }
    bool writeEmpty = ArgInt(call, 4, 0) != 0;
    bool quoting = !(ArgInt(call, 5, 0) & 2);
    WriteFileArg(ctx, call, [&](FileWriter& writer) {
        for (uintptr_t c = MapCursorStart(map); c;) {
            const char* key = "";
            ArrayElement* value = nullptr;
            c = MapIterate(ctx, map, c, &key, &value);
            if (!value->flags && !writeEmpty) continue;
            ArrayElement keyText{};
            keyText.flags = VF_STRING;
            keyText.str = static_cast<uint64_t>(key - ctx->HeapBase);
            const ArrayElement* fields[2] = {&keyText, value};
            if (!WriteCsvRow(ctx, writer, fields, 2, delimiter, true, quoting)) break;
        }
    });
}

// ---------------------------------------------------------------- ArrayFileGetCsv

bool ArrayFileGetCsv(BDS* ctx, ValueHead& made, const wchar_t* file, int32_t options, char delimiter,
                     int64_t extraRows, int64_t extraColumns)
{
    made = ValueHead{};
    if (extraRows < 0) extraRows = 0;
    if (extraColumns < 0) extraColumns = 0;
    ReaderScope scope;
    if (!LineReaderOpen(ctx, &scope.reader, file, 0, false)) return false;
    scope.open = true;

    int64_t lines = 0, columns = 0;
    if (!CountCsvLines(ctx, scope.reader, delimiter, &lines, &columns)) return false;
    if (lines && columns == 0) columns = 1;  // blank lines still make rows
    int64_t rows = lines + extraRows, width = columns + extraColumns;
    if (rows > 0x7FFFFFFF || width > 0x7FFFFFFF) {
        SetError(ctx, ERR_TOO_MANY_LINES);
        return false;
    }
    if (CreateMyArray(ctx, &made, static_cast<uint32_t>(rows), static_cast<uint32_t>(width), 0, 0, 0, 0, 2) < 0)
        return false;
    if (lines == 0)
        return true;
    ArrayHeader* array = ValueArray(&made);
    uint32_t row = 0;
    bool ok = scope.MakeFieldBuffer(ctx) && LineReaderRewind(ctx, &scope.reader) &&
              ReadLines(ctx, scope.reader, [&](const char* line) {
        if (row >= lines) return true;
        ArrayElement* cells = array->data + static_cast<size_t>(row++) * array->dims[1];
        const char* p = line;
        for (int64_t c = 0; c < columns; ++c) {
            int length = CsvTakeFieldA(nullptr, &p, options, delimiter, scope.field);
            if (length < 0) {
                SetError(ctx, ERR_BAD_CSV);
                return false;
            }
            if (!StoreElementText(ctx, cells[c], scope.field, static_cast<size_t>(length))) return false;
        }
        return true;
    });
    if (!ok) {
        DiscardArray(ctx, made, false);
        made = ValueHead{};
        return false;
    }
    return true;
}

void ArrayFileGetCsvCase(BDS* ctx, BuiltinCall& call)
{
    char delimiter[2] = {};
    if (!CsvDelimiterArg(ctx, call, 3, delimiter)) return;
    ValueHead made{};
    ArgPath name(ctx, call, 1);
    if (ArrayFileGetCsv(ctx, made, name.text(), ArgInt(call, 2, 0), delimiter[0], ArgInt(call, 4, 0),
                        ArgInt(call, 5, 0)))
        SetResultArray(ctx, call.result, made);
}

// ---------------------------------------------------------------- MapFileGetCsv

void MapFileGetCsvCase(BDS* ctx, BuiltinCall& call)
{
    char delimiter[2] = {};
    if (!CsvDelimiterArg(ctx, call, 2, delimiter)) return;
    ReaderScope scope;
    ArgPath name(ctx, call, 1);
    if (!LineReaderOpen(ctx, &scope.reader, name.text(), 0, false)) return;
    scope.open = true;

    int64_t lines = 0, fieldsPerLine = 0;
    if (!CountCsvLines(ctx, scope.reader, delimiter[0], &lines, &fieldsPerLine)) return;
    if (lines >= 0x99999999ll) {
        SetError(ctx, ERR_TOO_MANY_LINES);
        return;
    }
    if (fieldsPerLine > 2) fieldsPerLine = 2;
    int64_t buckets = MapInitialSize(ctx);
    int64_t wanted = MulDiv(static_cast<int>(lines > 0x7FFFFFFF ? 0x7FFFFFFF : lines), 6, 5);
    if (wanted > buckets) buckets = wanted;
    ValueHead made{};
    if (!MapAlloc(ctx, buckets, &made)) return;
    ArrayHeader* map = ValueArray(&made);
    if (lines == 0) {
        SetResultArray(ctx, call.result, made);
        return;
    }

    bool ok = scope.MakeFieldBuffer(ctx) && LineReaderRewind(ctx, &scope.reader) &&
              ReadLines(ctx, scope.reader, [&](const char* line) {
        if (!*line) return true;  // a blank line holds no key
        const char* p = line;
        int length = CsvTakeFieldA(nullptr, &p, 0, delimiter[0], scope.field);
        if (length < 0) {
            SetError(ctx, ERR_BAD_CSV);
            return false;
        }
        uint64_t key = HeapCopyText(ctx, scope.field, static_cast<size_t>(length));
        if (!key) {
            SetError(ctx, ERR_ARRAY_HEAP_FULL);
            return false;
        }
        ArrayElement* slot = MapInsertTakeKey(ctx, map, &key);
        if (!slot) {
            if (key) VFree(ctx, key);
            return false;
        }
        if (fieldsPerLine < 2) return true;
        length = CsvTakeFieldA(nullptr, &p, 0, delimiter[0], scope.field);
        if (length < 0) {
            SetError(ctx, ERR_BAD_CSV);
            return false;
        }
        if (slot->flags) FreeValue(ctx, slot, 0, VK_ELEMENT);
        return StoreElementText(ctx, *slot, scope.field, static_cast<size_t>(length));
    });
    if (!ok) {
        DiscardArray(ctx, made, false);  // nobody else holds the half-built map
        SetResultInt(ctx, call.result, 0);
        return;
    }
    SetResultArray(ctx, call.result, made);
}
