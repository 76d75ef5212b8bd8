// Menu files as text: reading and preparing a file, the class of each line, and the title
// line with its separator, column break, hot key and help text.
#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/script.h"
#include "engine/ui/menu_file.h"

namespace {

constexpr int MSG_UNICODE_FAILED = 215;    // "Error converting Unicode batch/menu file"
constexpr int MSG_INCLUDE_MEMORY = 216;
constexpr int MSG_INCLUDE_FAILED = 217;
constexpr int MSG_INCLUDE_TOO_DEEP = 218;
constexpr size_t TEXT_CUT_WINDOW = 40;     // a ";" this near the text's start ends it

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// ---------------------------------------------------------------- hot keys

struct KeyName {
    const char* name;
    uint16_t word;
};
const KeyName kKeyNames[] = {
    {"BACKSPACE", 0x08},  {"BS", 0x08},         {"CLEAR", 0x100C},    {"DELETE", 0x102E},   {"DEL", 0x102E},
    {"DOWN", 0x1028},     {"END", 0x1023},      {"ENTER", 0x0D},      {"ESCAPE", 0x1B},     {"ESC", 0x1B},
    {"HELP", 0x102F},     {"HOME", 0x1024},     {"INSERT", 0x102D},   {"INS", 0x102D},      {"LEFT", 0x1025},
    {"PGDN", 0x1022},     {"PGUP", 0x1021},     {"PRTSC", 0x102C},    {"RIGHT", 0x1027},    {"TAB", 0x1009},
    {"UP", 0x1026},       {"SPACE", 0x20},      {"SP", 0x20},         {"NUMPAD*", 0x106A},  {"NUMPAD+", 0x106B},
    {"NUMPAD-", 0x106D},  {"NUMPAD.", 0x106E},  {"NUMPAD/", 0x106F},
};

uint8_t UpperByte(char c)
{
    char one[2] = {c, 0};
    CharUpperBuffA(one, 1);
    return static_cast<uint8_t>(one[0]);
}

// The word of a key name in braces (upper-cased); 0 for a name the table does not know.
uint16_t NamedKeyWord(const char* name)
{
    for (const KeyName& k : kKeyNames)
        if (std::strcmp(name, k.name) == 0)
            return k.word;
    int n = 0;
    if (name[0] == 'F' && std::sscanf(name + 1, "%d", &n) == 1 && n >= 1 && n <= 16 &&
        std::strlen(name) == (n >= 10 ? 3u : 2u))
        return static_cast<uint16_t>(0x1070 + n - 1);
    if (std::strncmp(name, "NUMPAD", 6) == 0 && name[6] >= '0' && name[6] <= '9' && name[7] == 0)
        return static_cast<uint16_t>(0x1060 + name[6] - '0');
    return 0;
}

// The hot-key text without blanks, with the modifiers spelled out.
void HotKeyDisplay(const char* spec, char* out, size_t size)
{
    size_t used = 0;
    bool modifiers = true;
    for (const char* p = spec; *p && used + 1 < size; ++p) {
        if (IsBlank(*p))
            continue;
        const char* word = nullptr;
        if (modifiers) {
            switch (*p) {
            case '!': word = "Alt+"; break;
            case '+': word = "Shift+"; break;
            case '^': word = "Ctrl+"; break;
            default: modifiers = false; break;
            }
        }
        if (word) {
            size_t n = std::strlen(word);
            if (used + n + 1 > size)
                break;
            std::memcpy(out + used, word, n);
            used += n;
        } else {
            out[used++] = *p;
        }
    }
    out[used] = 0;
}

// ---------------------------------------------------------------- title parts

// Text with leading and trailing blanks and tabs removed, into out.
void Trimmed(const char* text, size_t length, char* out, size_t size)
{
    while (length && IsBlank(*text)) {
        ++text;
        --length;
    }
    while (length && IsBlank(text[length - 1]))
        --length;
    if (length >= size)
        length = size - 1;
    std::memcpy(out, text, length);
    out[length] = 0;
}

void ParseHelp(const char* text, size_t length, MenuTitle* title)
{
    const char* semicolon = static_cast<const char*>(std::memchr(text, ';', length));
    title->helpKind = HELP_NONE;
    title->help[0] = 0;
    if (!semicolon)
        return;
    size_t rest = length - static_cast<size_t>(semicolon + 1 - text);
    Trimmed(semicolon + 1, rest, title->help, sizeof title->help);
    title->helpKind = HELP_TEXT;
    if (title->help[0] == '^' && title->help[1] == 0)
        title->helpKind = HELP_NEXT_LINE;   // ";^" alone: the line after the title
}

}  // namespace

uint16_t ParseHotKey(const char* spec)
{
    const char* p = spec;
    uint16_t modifiers = 0;
    for (;; ++p) {
        if (IsBlank(*p))
            continue;
        if (*p == '!')
            modifiers |= KEY_ALT | KEY_NAMED;
        else if (*p == '+')
            modifiers |= KEY_SHIFT;
        else if (*p == '^')
            modifiers |= KEY_CTRL;
        else
            break;
    }
    uint16_t key = 0;
    if (*p == '{') {
        char name[32];
        size_t n = 0;
        for (++p; *p && *p != '}'; ++p)
            if (!IsBlank(*p) && n + 1 < sizeof name)
                name[n++] = static_cast<char>(UpperByte(*p));
        name[n] = 0;
        if (n == 1)
            key = static_cast<uint8_t>(name[0]);
        else if (n > 1)
            key = NamedKeyWord(name);
    } else if (*p) {
        key = UpperByte(*p);
    }
    uint16_t word = static_cast<uint16_t>(modifiers | key);
    uint8_t low = static_cast<uint8_t>(key & 0xFF);
    if ((modifiers & KEY_CTRL) && key && (low < '@' || low > 'Z'))
        word |= KEY_NAMED;
    return word;
}

int ClassifyMenuLine(const char* line, size_t length)
{
    size_t i = 0;
    while (i < length && IsBlank(line[i]))
        ++i;
    if (i == length || line[i] == ';' || line[i] == '\'')
        return MENU_LINE_COMMENT;
    size_t blanks = 0;
    while (blanks < length && blanks < 4 && line[blanks] == ' ')
        ++blanks;
    if (blanks == 4 || (blanks < length && line[blanks] == '\t'))
        return MENU_LINE_CODE;
    return MENU_LINE_TOP + static_cast<int>(blanks);
}

bool NextMenuLine(const char* text, size_t end, size_t* pos, MenuLine* line)
{
    while (*pos < end) {
        const char* start = text + *pos;
        size_t length = 0;
        while (*pos + length < end && start[length] != '\n' && start[length] != 0 && start[length] != 26)
            ++length;
        const char* lineEnd = start + length;
        if (*pos + length < end && (start[length] == 0 || start[length] == 26)) {
            *pos = end;   // the text ends at a NUL or Ctrl+Z
        } else {
            *pos += length + 1;
            if (*pos <= end)
                lineEnd = text + *pos;
        }
        size_t taken = length > MENU_LINE_MAX ? MENU_LINE_MAX : length;
        int kind = ClassifyMenuLine(start, taken);
        if (kind == MENU_LINE_COMMENT)
            continue;
        *line = MenuLine{start, taken, kind, kind == MENU_LINE_CODE ? 0 : kind - MENU_LINE_TOP + 1, lineEnd};
        return true;
    }
    return false;
}

void ParseMenuTitle(const MenuLine& line, bool command, bool tabBeforeKey, bool columnsAllowed, MenuTitle* title)
{
    *title = MenuTitle{};
    const char* p = line.text + (line.level - 1);
    size_t length = line.length - static_cast<size_t>(line.level - 1);
    ParseHelp(p, length, title);
    if (length && *p == '_') {
        title->separator = true;
        ++p;
        --length;
    } else if (length && *p == '|') {
        title->columnBreak = columnsAllowed;
        ++p;
        --length;
    }
    // The entry's text: cut at a near ";", at most 38 characters, no trailing blanks.
    size_t window = length < TEXT_CUT_WINDOW ? length : TEXT_CUT_WINDOW;
    if (const void* semicolon = std::memchr(p, ';', window))
        length = static_cast<size_t>(static_cast<const char*>(semicolon) - p);
    if (length > MENU_TEXT_CHARS)
        length = MENU_TEXT_CHARS;
    char text[MENU_TEXT_CHARS + 1];
    std::memcpy(text, p, length);
    text[length] = 0;
    while (length && IsBlank(text[length - 1]))
        text[--length] = 0;

    char* key = command ? std::strchr(text, '\\') : nullptr;
    if (command && text[0] == '@')
        title->hidden = true;
    if (!key) {
        lstrcpynA(title->display, text, sizeof title->display);
        return;
    }
    *key++ = 0;
    for (char* t = text; *t; ++t)
        if (*t == '\t')
            *t = ' ';
    title->hasHotKey = true;
    title->hotKey = ParseHotKey(key);
    char keyText[MENU_DISPLAY_SIZE];
    HotKeyDisplay(key, keyText, sizeof keyText);
    std::snprintf(title->display, sizeof title->display, "%s%s%s", text, tabBeforeKey ? "\t" : "", keyText);
}

bool ReadMenuFile(BDS* ctx, const char* path, const MenuReadMessages& messages, HGLOBAL* text, size_t* length,
                  uint16_t* dosDate, uint16_t* dosTime, int* message)
{
    *text = nullptr;
    *length = 0;
    auto failWith = [message](int number) {
        *message = number;
        return false;
    };
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failWith(messages.open);
    FILETIME written{}, local{};
    WORD date = 0, time = 0;
    if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local))
        FileTimeToDosDateTime(&local, &date, &time);
    if (dosDate)
        *dosDate = date;
    if (dosTime)
        *dosTime = time;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFF0) {
        CloseHandle(file);
        return failWith(messages.read);
    }
    auto bytes = static_cast<size_t>(size.QuadPart);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes + 2);
    if (!block) {
        CloseHandle(file);
        return failWith(messages.allocate);
    }
    auto* data = static_cast<char*>(GlobalLock(block));
    if (!data) {
        GlobalFree(block);
        CloseHandle(file);
        return failWith(messages.lock);
    }
    DWORD got = 0;
    bool read = bytes == 0 || (ReadFile(file, data, static_cast<DWORD>(bytes), &got, nullptr) && got == bytes);
    CloseHandle(file);
    auto fail = [&](int number) {
        GlobalUnlock(block);
        GlobalFree(block);
        return failWith(number);
    };
    if (!read)
        return fail(messages.read);

    auto* b = reinterpret_cast<uint8_t*>(data);
    if (bytes && b[0] >= 1 && b[0] <= 3 && !DecodeScriptBuffer(ctx, data, bytes))
        return fail(0);
    if (bytes >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bytes = WideToAnsiBuffer(ctx, data, bytes);
        if (!bytes)
            return fail(MSG_UNICODE_FAILED);
        data[bytes] = 0;
    }
    bytes = strnlen(data, bytes);
    NormalizeLineEnds(data, bytes);
    GlobalUnlock(block);

    char folder[MAX_PATH];
    lstrcpynA(folder, path, sizeof folder);
    char* slash = std::strrchr(folder, '\\');
    if (char* other = std::strrchr(folder, '/'); other && (!slash || other > slash))
        slash = other;
    if (slash)
        slash[1] = 0;
    else
        folder[0] = 0;
    char failed[MAX_PATH + 1] = {};
    int64_t expanded = LoadIncludeFile(ctx, &block, path, folder, failed, 0);
    if (expanded <= 0) {
        GlobalFree(block);
        return failWith(expanded == -1 ? MSG_INCLUDE_MEMORY : expanded == -2 ? MSG_INCLUDE_TOO_DEEP : MSG_INCLUDE_FAILED);
    }
    *text = block;
    *length = static_cast<size_t>(expanded);
    return true;
}
