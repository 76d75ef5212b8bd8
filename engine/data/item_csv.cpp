// CSV lines: the field count and the field split shared with the CSV file built-ins, and
// the built-ins ItemCountCsv and ItemExtractCsv.
//
// A field may be enclosed in double quotes, with blanks before the opening and after the
// closing quote; inside quotes the delimiter is a plain character and a doubled quote
// stands for one. A quote after other text of the field, text after the closing quote
// and a line ending inside quotes make the line invalid.
#include <cstring>
#include <cwchar>

#include "engine/data/item_list.h"
#include "engine/data/text.h"
#include "engine/data/text_cases.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_COUNT_LINE = 1706;
constexpr uint16_t ERR_EXTRACT_LINE = 1707;
constexpr uint16_t ERR_COUNT_DELIMITER = 1712;
constexpr uint16_t ERR_EXTRACT_DELIMITER = 1713;

template <typename C>
bool IsBlank(C c, C delimiter)
{
    return c == ' ' || (c == '\t' && delimiter != '\t');
}

// The end of the field that begins at p (its delimiter or the line's end), or null when
// the field is invalid.
template <typename W, typename C = typename W::Char>
const C* FieldEnd(const W& w, const C* p, C delimiter)
{
    bool text = false, quoted = false, closed = false;
    for (; *p; p += w.size(p)) {
        bool single = w.size(p) == 1;
        if (quoted) {
            if (single && *p == '"') {
                if (p[1] == '"') ++p;   // a doubled quote: one quote of the text
                else {
                    quoted = false;
                    closed = true;
                }
            }
            continue;
        }
        if (single && *p == delimiter) return p;
        if (single && *p == '"') {
            if (text || closed) return nullptr;
            quoted = true;
            continue;
        }
        if (single && IsBlank(*p, delimiter)) continue;
        if (closed) return nullptr;
        text = true;
    }
    return quoted ? nullptr : p;
}

template <typename W, typename C = typename W::Char>
int FieldCount(const W& w, const C* line, C delimiter)
{
    if (!*line) return 0;
    int count = 1;
    for (const C* p = line;; ++count) {
        const C* end = FieldEnd(w, p, delimiter);
        if (!end) return -1;
        if (!*end) return count;
        p = end + 1;
    }
}

// Copies the field [p, end) with its quotes and (unless kept) its blanks removed.
template <typename W, typename C = typename W::Char>
int CopyField(const W& w, const C* p, const C* end, bool keepBlanks, C delimiter, C* out)
{
    if (!keepBlanks)
        while (p < end && IsBlank(*p, delimiter)) ++p;
    int n = 0;
    bool quoted = false, wasQuoted = false;
    while (p < end) {
        int size = w.size(p);
        if (size == 1 && *p == '"') {
            if (!quoted) {   // the opening quote drops what came before it
                n = 0;
                quoted = wasQuoted = true;
                ++p;
                continue;
            }
            out[n++] = '"';
            if (p + 1 < end && p[1] == '"') {
                p += 2;
                continue;
            }
            break;   // the closing quote ends the copy
        }
        for (int i = 0; i < size; ++i) out[n++] = p[i];
        p += size;
    }
    if (!keepBlanks)
        while (n > 0 && IsBlank(out[n - 1], delimiter)) --n;
    if (wasQuoted && n > 0 && out[n - 1] == '"') --n;
    out[n] = 0;
    return n;
}

template <typename W, typename C = typename W::Char>
int TakeField(const W& w, const C** position, int options, C delimiter, C* out)
{
    const C* p = *position;
    const C* end = FieldEnd(w, p, delimiter);
    if (!end) return -1;
    int n = CopyField(w, p, end, (options & 1) != 0, delimiter, out);
    *position = *end ? end + 1 : end;
    return n;
}

// ItemExtractCsv: field n (-1: the last) of the line; fields up to it are checked.
template <typename W, typename C = typename W::Char>
void ExtractField(BDS* ctx, const W& w, int n, const C* line, int options, C delimiter,
                  resultants* result)
{
    if (n == -1) {
        n = FieldCount(w, line, delimiter);
        if (n < 0) return SetError(ctx, ERR_EXTRACT_LINE);
    }
    if (n < 1 || !*line) {
        NewResultText(ctx, result, 0, line);
        return;
    }
    size_t units = UnitCount(line);
    auto* out = static_cast<C*>(HeapAlloc(GetProcessHeap(), 0, (units + 1) * sizeof(C)));
    if (!out) return SetError(ctx, ERR_NO_MEMORY);
    const C* p = line;
    int length = 0;
    for (int i = 1;; ++i) {
        const C* end = FieldEnd(w, p, delimiter);
        if (!end) {
            length = -1;
            break;
        }
        if (i == n) {
            length = CopyField(w, p, end, (options & 1) != 0, delimiter, out);
            break;
        }
        if (!*end) break;   // the line has fewer fields
        p = end + 1;
    }
    if (length < 0) SetError(ctx, ERR_EXTRACT_LINE);
    else {
        C* text = NewResultText(ctx, result, static_cast<size_t>(length), line);
        if (text) std::memcpy(text, out, static_cast<size_t>(length) * sizeof(C));
    }
    HeapFree(GetProcessHeap(), 0, out);
}

}  // namespace

// ---------------------------------------------------------------- operations

bool CsvDelimiterOk(const char* delimiter)
{
    return delimiter && delimiter[0] && !delimiter[1] && !std::strchr(" \"\r\n", delimiter[0]);
}

bool CsvDelimiterOkW(const wchar_t* delimiter)
{
    return delimiter && delimiter[0] && !delimiter[1] && !std::wcschr(L" \"\r\n", delimiter[0]);
}

int CsvFieldCountA(BDS* ctx, const char* line, char delimiter)
{
    return FieldCount(NarrowChars{TextTables(ctx)}, line, delimiter);
}

int CsvFieldCountW(BDS* ctx, const wchar_t* line, wchar_t delimiter)
{
    return FieldCount(WideChars{}, line, delimiter);
}

int CsvTakeFieldA(BDS* ctx, const char** position, int options, char delimiter, char* out)
{
    return TakeField(NarrowChars{TextTables(ctx)}, position, options, delimiter, out);
}

int CsvTakeFieldW(BDS* ctx, const wchar_t** position, int options, wchar_t delimiter, wchar_t* out)
{
    return TakeField(WideChars{}, position, options, delimiter, out);
}

// ---------------------------------------------------------------- cases

using namespace textcase;

// ItemCountCsv(line, flags [, delimiter]): the flags do not change the count.
void CaseItemCountCsv(BDS* ctx, BuiltinCall& call)
{
    int count;
    if (Wide(call)) {
        const wchar_t* d = WText(ctx, call, 3, L",");
        if (!CsvDelimiterOkW(d)) return SetError(ctx, ERR_COUNT_DELIMITER);
        count = CsvFieldCountW(ctx, WText(ctx, call, 1), d[0]);
    } else {
        const char* d = Text(ctx, call, 3, ",");
        if (!CsvDelimiterOk(d)) return SetError(ctx, ERR_COUNT_DELIMITER);
        count = CsvFieldCountA(ctx, Text(ctx, call, 1), d[0]);
    }
    if (count < 0) return SetError(ctx, ERR_COUNT_LINE);
    SetResultInt(ctx, call.result, count);
}

// ItemExtractCsv(index, line, flags [, delimiter]).
void CaseItemExtractCsv(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call, 2)) {
        const wchar_t* d = WText(ctx, call, 4, L",");
        if (!CsvDelimiterOkW(d)) return SetError(ctx, ERR_EXTRACT_DELIMITER);
        ExtractField(ctx, WideChars{}, ArgInt(call, 1), WText(ctx, call, 2), ArgInt(call, 3), d[0], call.result);
    } else {
        const char* d = Text(ctx, call, 4, ",");
        if (!CsvDelimiterOk(d)) return SetError(ctx, ERR_EXTRACT_DELIMITER);
        ExtractField(ctx, NarrowChars{TextTables(ctx)}, ArgInt(call, 1), Text(ctx, call, 2), ArgInt(call, 3),
                     d[0], call.result);
    }
}
