// Filling the item-list box: the items of a delimited list and the lines of a text file,
// in the narrow and the wide form.
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/files/file_handles.h"
#include "engine/ui/item_list_box.h"
#include "engine/core/locked_global.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr DWORD NARROW_CHUNK = 2050;
constexpr DWORD WIDE_CHUNK = 4100;
constexpr char OPEN_FAILED_ENTRY[] = "Error opening/finding file:";

void AddItemA(HWND list, const char* item, bool sorted)
{
    if (sorted)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    else
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item));
}

void AddItemW(HWND list, const wchar_t* item, bool sorted)
{
    if (sorted)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    else
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item));
}

// A line being collected; characters past `limit` are dropped, so a long line is cut.
template <typename C>
struct LineBuilder {
    C* text;
    size_t limit;
    size_t length = 0;

    void Append(const C* p, size_t n)
    {
        if (length + n <= limit) {
            std::memcpy(text + length, p, n * sizeof(C));
            length += n;
        }
    }
    const C* Take()
    {
        text[length] = 0;
        length = 0;
        return text;
    }
};

// The size of the line buffer of the file built-ins: the configured size, else one that
// follows the file's size.
DWORD LineBufferSize(BDS* ctx, HANDLE file)
{
    if (ctx->eng.ctl.FileReadBufferSize >= 1)
        return static_cast<DWORD>(ctx->eng.ctl.FileReadBufferSize);
    return FileIoBufferSize(ctx, file);
}

// Feeds text to a line builder: CR dropped, LF ends a line (an empty line is an item).
template <typename C, typename Add>
void FeedLines(const C* data, size_t count, LineBuilder<C>& line, Add add)
{
    for (size_t i = 0; i < count; ++i) {
        C c = data[i];
        if (c == '\r')
            continue;
        if (c == '\n')
            add(line.Take());
        else
            line.Append(&c, 1);
    }
}

// How many leading bytes of a text in the code page form whole characters; the rest waits
// for the next chunk, so that no character is split at a chunk boundary.
size_t WholeCharacterPrefix(UINT codePage, const unsigned char* data, size_t count)
{
    if (codePage == CP_UTF8) {
        size_t start = count;
        for (int back = 0; back < 4 && start > 0; ++back) {
            unsigned char b = data[start - 1];
            if ((b & 0xC0) != 0x80) {   // the lead of the last sequence
                size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
                return count - (start - 1) >= need ? count : start - 1;
            }
            --start;
        }
        return count;
    }
    CPINFO info{};
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize < 2)
        return count;
    size_t i = 0;
    while (i < count) {
        size_t step = IsDBCSLeadByteEx(codePage, data[i]) ? 2 : 1;
        if (i + step > count)
            return i;
        i += step;
    }
    return count;
}

}  // namespace

// ---------------------------------------------------------------- from a list

void FillItemsFromListA(HWND list, const char* text, const char delimiter[3], bool sorted)
{
    char item[ITEM_BOX_ITEM_LIMIT + 1];
    LineBuilder<char> line{item, ITEM_BOX_ITEM_LIMIT};
    const unsigned char lead = static_cast<unsigned char>(delimiter[0]);
    const bool dbcs = g_System.DbcsEnabled != 0;
    for (const char* p = text ? text : ""; *p;) {
        auto b = static_cast<unsigned char>(*p);
        bool atDelimiter = b == lead;
        if (atDelimiter && dbcs && IsDBCSLeadByte(b) && p[1] != delimiter[1])
            atDelimiter = false;
        const char* next = CharNextA(p);
        if (atDelimiter)
            AddItemA(list, line.Take(), sorted);
        else
            line.Append(p, static_cast<size_t>(next - p));
        p = next;
    }
    if (line.length)
        AddItemA(list, line.Take(), sorted);
}

void FillItemsFromListW(HWND list, const wchar_t* text, wchar_t delimiter, bool sorted)
{
    wchar_t item[ITEM_BOX_ITEM_LIMIT + 1];
    LineBuilder<wchar_t> line{item, ITEM_BOX_ITEM_LIMIT};
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        if (*p == delimiter)
            AddItemW(list, line.Take(), sorted);
        else
            line.Append(p, 1);
    }
    if (line.length)
        AddItemW(list, line.Take(), sorted);
}

// ---------------------------------------------------------------- from a file

bool FillItemsFromFileA(BDS* ctx, HWND list, const char* fileName, bool sorted)
{
    ScopedFile file{CreateFileA(fileName ? fileName : "", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        AddItemA(list, OPEN_FAILED_ENTRY, sorted);
        AddItemA(list, "", sorted);
        return true;
    }
    DWORD size = LineBufferSize(ctx, file.handle);
    LockedGlobal block(static_cast<SIZE_T>(size) + 1);
    if (!block.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    LineBuilder<char> line{static_cast<char*>(block.data), size > 3 ? size - 3 : 0};
    auto add = [&](const char* item) { AddItemA(list, item, sorted); };
    char chunk[NARROW_CHUNK];
    DWORD got = 0;
    while (ReadFile(file.handle, chunk, sizeof chunk, &got, nullptr) && got > 0)
        FeedLines(chunk, got, line, add);
    if (line.length)
        add(line.Take());
    return true;
}

bool FillItemsFromFileW(BDS* ctx, HWND list, const wchar_t* fileName, bool sorted)
{
    ScopedFile file{CreateFileW(fileName ? fileName : L"", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        AddItemW(list, L"Error opening/finding file:", sorted);
        AddItemW(list, L"", sorted);
        return true;
    }
    DWORD size = LineBufferSize(ctx, file.handle);
    LockedGlobal block((static_cast<SIZE_T>(size) + 1) * sizeof(wchar_t));
    if (!block.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    LineBuilder<wchar_t> line{static_cast<wchar_t*>(block.data), size > 3 ? size - 3 : 0};
    auto add = [&](const wchar_t* item) { AddItemW(list, item, sorted); };

    unsigned char mark[2] = {};
    DWORD got = 0;
    bool utf16 = ReadFile(file.handle, mark, 2, &got, nullptr) && got == 2 &&
                 ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF));
    bool bigEndian = utf16 && mark[0] == 0xFE;

    unsigned char chunk[WIDE_CHUNK + 4];
    wchar_t converted[WIDE_CHUNK + 4];
    size_t carried = 0;   // bytes of a character left over from the previous chunk
    if (utf16) {
        while (ReadFile(file.handle, chunk + carried, WIDE_CHUNK, &got, nullptr) && got > 0) {
            size_t bytes = carried + got;
            size_t units = bytes / 2;
            for (size_t i = 0; i < units; ++i) {
                unsigned char hi = chunk[2 * i + (bigEndian ? 0 : 1)];
                unsigned char lo = chunk[2 * i + (bigEndian ? 1 : 0)];
                converted[i] = static_cast<wchar_t>((hi << 8) | lo);
            }
            FeedLines(converted, units, line, add);
            carried = bytes % 2;
            if (carried)
                chunk[0] = chunk[bytes - 1];
        }
    } else {
        SetFilePointer(file.handle, 0, nullptr, FILE_BEGIN);
        UINT codePage = ctx->nCodePage ? ctx->nCodePage : CP_ACP;
        if (codePage == CP_ACP)
            codePage = GetACP();
        while (ReadFile(file.handle, chunk + carried, NARROW_CHUNK, &got, nullptr) && got > 0) {
            size_t bytes = carried + got;
            size_t whole = WholeCharacterPrefix(codePage, chunk, bytes);
            int units = whole ? MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(chunk),
                                                    static_cast<int>(whole), converted, WIDE_CHUNK + 4)
                              : 0;
            FeedLines(converted, units > 0 ? static_cast<size_t>(units) : 0, line, add);
            carried = bytes - whole;
            std::memmove(chunk, chunk + whole, carried);
        }
        if (carried) {   // a broken character at the very end still shows
            int units = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(chunk),
                                            static_cast<int>(carried), converted, WIDE_CHUNK + 4);
            FeedLines(converted, units > 0 ? static_cast<size_t>(units) : 0, line, add);
        }
    }
    if (line.length)
        add(line.Take());
    return true;
}
