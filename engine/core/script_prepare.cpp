// Script preparation: UTF-16 to ANSI, line ends, #include expansion with source-position
// marker lines, and scrambling.
#include "engine/core/script.h"
#include "engine/core/text_length.h"

#include <cstring>
#include <new>
#include <string>

// ---------------------------------------------------------------- text forms

size_t WideToAnsiBuffer(BDS* ctx, char* buffer, size_t byteLength)
{
    if (!buffer || byteLength < 2)
        return 0;
    auto* bytes = reinterpret_cast<uint8_t*>(buffer);
    bool bigEndian = bytes[0] == 0xFE && bytes[1] == 0xFF;
    size_t start = (bigEndian || (bytes[0] == 0xFF && bytes[1] == 0xFE)) ? 2 : 0;
    size_t units = (byteLength - start) / 2;

    // Copy the units out (the ANSI form is written over the same bytes); the text ends at
    // the first NUL unit.
    wchar_t* wide = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (units + 1) * sizeof(wchar_t)));
    if (!wide)
        return 0;
    size_t count = 0;
    for (; count < units; ++count) {
        uint8_t lo = bytes[start + 2 * count], hi = bytes[start + 2 * count + 1];
        wchar_t w = bigEndian ? static_cast<wchar_t>((lo << 8) | hi) : static_cast<wchar_t>((hi << 8) | lo);
        if (w == 0)
            break;
        wide[count] = w;
    }
    size_t result = 0;
    if (count > 0) {
        UINT codePage = ctx && ctx->nCodePage ? ctx->nCodePage : CP_ACP;
        int need = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
        if (need > 0 && static_cast<size_t>(need) < byteLength) {
            WideCharToMultiByte(codePage, 0, wide, static_cast<int>(count), buffer, need, nullptr, nullptr);
            buffer[need] = 0;
            result = static_cast<size_t>(need);
        }
    }
    HeapFree(GetProcessHeap(), 0, wide);
    return result;
}

void NormalizeLineEnds(char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\r')
            continue;
        if (i + 1 < length && text[i + 1] == '\n')
            text[i] = ' ';      // CR LF -> blank LF
        else
            text[i] = '\n';     // a lone CR
    }
}

void ScrambleBuffer(BDS*, uint8_t* text, size_t length)
{
    for (size_t pos = 0; pos < length; ++pos)
        text[pos] = ScrambleByte(text[pos], static_cast<uint32_t>(pos));
}

// ---------------------------------------------------------------- marker lines

size_t FormatMarkerLine(char* out, const char* name, uint32_t line, int flag)
{
    size_t n = 0;
    out[n++] = ';';
    out[n++] = MARKER_BYTE;
    out[n++] = static_cast<char>(0x40 | (flag & 0x3F));
    out[n++] = '@';
    for (int shift = 18; shift >= 0; shift -= 6)
        out[n++] = static_cast<char>(0x40 | ((line >> shift) & 0x3F));
    size_t len = TextLength(name);
    std::memcpy(out + n, name, len);
    n += len;
    out[n++] = '\n';
    return n;
}

namespace {

void AppendMarker(std::string& out, const std::string& name, uint32_t line, int flag)
{
    char buf[300];
    std::string shortName = name.substr(0, 260);
    out.append(buf, FormatMarkerLine(buf, shortName.c_str(), line, flag));
}

// Case-insensitive test that `line` (after blanks) begins with `word`.
bool StartsWithWord(const char* line, size_t length, const char* word)
{
    size_t i = 0;
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    size_t w = TextLength(word);
    if (length - i < w)
        return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, line + i, static_cast<int>(w), word,
                          static_cast<int>(w)) == CSTR_EQUAL;
}

bool IsMarkedDirective(const char* line, size_t length)
{
    return StartsWithWord(line, length, "#include") || StartsWithWord(line, length, "#DefineFunction") ||
           StartsWithWord(line, length, "#DefineSubroutine") || StartsWithWord(line, length, "#DefineCommand");
}

// The text rebuilt with a marker for line 1 and a marker after every directive line, so
// that line numbers stay right after an expansion or a definition.
std::string RebuildWithMarkers(const std::string& text, const std::string& name)
{
    int flag = (text.size() >= 3 && text[0] == ';' && text[1] == PREPARED_BYTE && text[2] == '@') ? 0 : 1;
    std::string out;
    out.reserve(text.size() + 64);
    AppendMarker(out, name, 1, flag);
    uint32_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t stop = lf == std::string::npos ? text.size() : lf + 1;
        const char* line = text.data() + pos;
        size_t length = stop - pos;
        out.append(line, length);
        if (!(length >= 2 && line[0] == ';' && line[1] == MARKER_BYTE)) {
            ++lineNo;
            if (IsMarkedDirective(line, length)) {
                if (lf == std::string::npos)
                    out.push_back('\n');
                AppendMarker(out, name, lineNo + 1, flag);
            }
        }
        pos = stop;
    }
    return out;
}

// The #include line's file name: 1 read, 0 malformed (missing quote, too long).
int ParseIncludeName(const char* line, size_t length, std::string& name)
{
    size_t i = 0;
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    i += 8;     // "#include"
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    size_t stop = length;
    while (stop > i && (line[stop - 1] == '\n' || line[stop - 1] == ' ' || line[stop - 1] == '\t'))
        --stop;
    char q = i < stop ? line[i] : 0;
    if (q == '"' || q == '\'' || q == '`') {
        const void* close = std::memchr(line + i + 1, q, stop - i - 1);
        if (!close) {
            name.assign(line + i, stop - i);
            return 0;
        }
        name.assign(line + i + 1, static_cast<const char*>(close) - (line + i + 1));
    } else {
        name.assign(line + i, stop - i);
    }
    if (name.empty() || name.size() > 260)
        return 0;
    return 1;
}

bool IsIncludeLine(const char* line, size_t length)
{
    size_t i = 0;
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return length - i > 8 && StartsWithWord(line + i, 8, "#include") && (line[i + 8] == ' ' || line[i + 8] == '\t');
}

bool IsAbsolutePath(const std::string& name)
{
    if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\')
        return true;
    return name.size() >= 3 && IsCharAlphaA(name[0]) && name[1] == ':' && name[2] == '\\';
}

HANDLE OpenForReading(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Opens the include file by the search order; the path that worked goes to `used`.
HANDLE OpenIncludeFile(const std::string& name, const char* folder, std::string& used)
{
    if (!IsAbsolutePath(name) && folder && *folder) {
        used = std::string(folder) + name;
        if (HANDLE h = OpenForReading(used); h != INVALID_HANDLE_VALUE)
            return h;
    }
    used = name;
    if (HANDLE h = OpenForReading(used); h != INVALID_HANDLE_VALUE)
        return h;
    char found[MAX_PATH];
    DWORD n = SearchPathA(nullptr, name.c_str(), nullptr, MAX_PATH, found, nullptr);
    if (n > 0 && n < MAX_PATH) {
        used = found;
        return OpenForReading(used);
    }
    return INVALID_HANDLE_VALUE;
}

// Reads a whole file as text (UTF-16 with a byte-order mark becomes ANSI); the text ends
// at its first NUL. False when the file cannot be read whole.
bool ReadTextFile(BDS* ctx, HANDLE file, std::string& text)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFF0)
        return false;
    text.assign(static_cast<size_t>(size.QuadPart) + 2, '\0');
    DWORD got = 0;
    if (size.QuadPart > 0 && (!ReadFile(file, text.data(), static_cast<DWORD>(size.QuadPart), &got, nullptr) ||
                              got != static_cast<DWORD>(size.QuadPart)))
        return false;
    auto* b = reinterpret_cast<uint8_t*>(text.data());
    if (got >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        size_t n = WideToAnsiBuffer(ctx, text.data(), got);
        text.resize(n);
        return true;
    }
    text.resize(TextLength(text.c_str()));
    return true;
}

int64_t ExpandText(BDS* ctx, std::string& text, const std::string& sourceName, const char* folder,
                   char* failedName, int level)
{
    if (level >= MAX_INCLUDE_LEVEL)
        return -2;
    if (level == 0 && failedName)
        failedName[0] = 0;
    size_t lead = (!text.empty() && text[0] == ' ') ? 1 : 0;
    if (text.size() >= lead + 2 && text[lead] == ';' &&
        (text[lead + 1] == MARKER_BYTE ||
         (text[lead + 1] == PREPARED_BYTE && text.size() >= lead + 3 && text[lead + 2] != '@')))
        return static_cast<int64_t>(text.size());     // prepared before

    NormalizeLineEnds(text.data(), text.size());
    text = RebuildWithMarkers(text, sourceName);

    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t stop = lf == std::string::npos ? text.size() : lf + 1;
        if (!IsIncludeLine(text.data() + pos, stop - pos)) {
            pos = stop;
            continue;
        }
        std::string name;
        if (!ParseIncludeName(text.data() + pos, stop - pos, name)) {
            if (failedName)
                lstrcpynA(failedName, name.c_str(), 261);
            return 0;
        }
        std::string used;
        HANDLE file = OpenIncludeFile(name, folder, used);
        std::string inner;
        bool ok = file != INVALID_HANDLE_VALUE && ReadTextFile(ctx, file, inner);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (!ok) {
            if (failedName)
                lstrcpynA(failedName, name.c_str(), 261);
            return 0;
        }
        int64_t r = ExpandText(ctx, inner, used, folder, failedName, level + 1);
        if (r <= 0)
            return r;
        if (inner.empty() || inner.back() != '\n')
            inner.push_back('\n');
        text.replace(pos, stop - pos, inner);
        pos += inner.size();
    }
    return static_cast<int64_t>(text.size());
}

}  // namespace

int64_t LoadIncludeFile(BDS* ctx, HGLOBAL* block, const char* sourceName, const char* folder,
                        char* failedName, int level)
{
    try {
        char* p = static_cast<char*>(GlobalLock(*block));
        if (!p)
            return -1;
        std::string text(p, strnlen(p, GlobalSize(*block)));
        GlobalUnlock(*block);

        int64_t r = ExpandText(ctx, text, sourceName ? sourceName : "", folder, failedName, level);
        if (r <= 0)
            return r;
        if (GlobalSize(*block) < text.size() + 1) {
            HGLOBAL grown = GlobalReAlloc(*block, text.size() + 1, GMEM_MOVEABLE);
            if (!grown)
                return -1;
            *block = grown;
        }
        p = static_cast<char*>(GlobalLock(*block));
        if (!p)
            return -1;
        std::memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(*block);
        return r;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}
