// Building the menus of a menu file (LoadStandardMenu) and finding a command's code in it
// again (ParseStandardMenu). Both walk the file the same way, so commands are counted in
// the same order and get the same ids.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/core/runloop.h"
#include "engine/files/file_text.h"
#include "engine/ui/menu_file.h"

namespace {

constexpr int MSG_BAD_LINE = 502;            // "Unexpected menu line.  Check for proper indentation."
constexpr int MSG_NO_ROOT = 513;             // "Could not create menu bar"
constexpr int MSG_SEPARATOR_FAILED = 515;
constexpr int MSG_TOO_MANY_ITEMS = 599;
constexpr int MSG_CHANGED = 528;             // the menus are to be reloaded
constexpr int MSG_NOT_FOUND = 527;           // "Menu file ended unexpectedly, or menu is invalid."
constexpr int kPopupErrors[MENU_LEVELS - 1] = {516, 517, 518};
constexpr MenuReadMessages kLoadMessages = {504, 505, 506, 507};
constexpr MenuReadMessages kScanMessages = {522, 523, 524, 525};
constexpr uintptr_t MODE_POPUP = 0, MODE_BAR = 1;

// ---------------------------------------------------------------- finding the file

bool HasFolder(const char* name) { return std::strpbrk(name, "\\/:") != nullptr; }

// The file's full path: a name with a folder as it is, a bare name along "PATH", else in
// the folder of the host's module.
bool LocateMenuFile(BDS* ctx, const char* name, char* path, DWORD size)
{
    if (HasFolder(name)) {
        DWORD n = GetFullPathNameA(name, size, path, nullptr);
        return n > 0 && n < size;
    }
    char searchPath[8192];
    DWORD n = GetEnvironmentVariableA("PATH", searchPath, sizeof searchPath);
    if (n > 0 && n < sizeof searchPath) {
        DWORD found = SearchPathA(searchPath, name, nullptr, size, path, nullptr);
        if (found > 0 && found < size)
            return true;
    }
    // The menu file is read by ANSI name: a folder named outside the code page is taken in
    // its short form, which still names it.
    std::string module = ModulePathForAnsiUse(ctx->hHostInstance);
    if (module.empty())
        return false;
    module.resize(module.find_last_of('\\') + 1);
    int written = std::snprintf(path, size, "%s%s", module.c_str(), name);
    return written > 0 && static_cast<DWORD>(written) < size;
}

// ---------------------------------------------------------------- building

struct OpenPopup {
    HMENU menu;
    UINT flags;                       // MF_MENUBARBREAK or 0
    char text[MENU_DISPLAY_SIZE];
};

struct MenuBuild {
    BDS* ctx;
    HMENU root;
    uintptr_t mode;
    uint32_t nextId, lastId;
    char letter;
    HotKeyTable* hotKeys;
    OpenPopup popups[MENU_LEVELS];    // by level - 1
};

HMENU ParentOf(const MenuBuild& b, int level) { return level == 1 ? b.root : b.popups[level - 2].menu; }

// The help text of an entry into its status-text variable.
void SetStatusText(BDS* ctx, const char* name, const MenuTitle& title, const MenuLine& next)
{
    char text[MENU_LINE_MAX + 1];
    switch (title.helpKind) {
    case HELP_TEXT:
        lstrcpynA(text, title.help, sizeof text);
        break;
    case HELP_NEXT_LINE: {
        size_t n = next.length;
        while (n && (next.text[n - 1] == ' ' || next.text[n - 1] == '\t'))
            --n;   // line ends were normalised to a blank and LF
        std::memcpy(text, next.text, n);
        text[n] = 0;
        break;
    }
    default: {
        char key[VARNAMESIZE + 1];
        if (MakeNameKey(name, key) < 0 || FindVariableByKey(ctx, key) == 65535)
            return;   // no help text and no variable to empty
        text[0] = 0;
        break;
    }
    }
    uint16_t kept = ctx->nErrorCode;
    SetVariableByName(ctx, name, text, 0, SV_STRING);
    ctx->nErrorCode = kept;
}

void AddHotKey(HotKeyTable* table, uint16_t key, uint32_t id)
{
    if (!table || table->count >= HOTKEY_SLOTS)
        return;   // beyond the table: dropped
    table->entries[table->count++] = HotKeyEntry{key, static_cast<uint16_t>(id)};
}

int BuildCommand(MenuBuild& b, const MenuEvent& e)
{
    bool topOfBar = e.level == 1 && b.mode != MODE_POPUP;
    MenuTitle title;
    ParseMenuTitle(e.title, true, !topOfBar, e.level == 1 || b.mode == MODE_POPUP, &title);
    if (b.nextId > b.lastId)
        return MSG_TOO_MANY_ITEMS;
    uint32_t id = b.nextId++;
    if (title.hasHotKey)
        AddHotKey(b.hotKeys, title.hotKey, id);
    HMENU parent = ParentOf(b, e.level);
    if (title.separator && !AppendMenuA(parent, MF_SEPARATOR, 0, nullptr))
        return MSG_SEPARATOR_FAILED;
    if (!title.hidden)
        AppendMenuA(parent, MF_STRING | (title.columnBreak ? MF_MENUBARBREAK : 0), id, title.display);
    char name[VARNAMESIZE + 1];
    std::snprintf(name, sizeof name, "%%M%c%u", b.letter, id);
    SetStatusText(b.ctx, name, title, e.next);
    return 0;
}

int BuildPopup(MenuBuild& b, const MenuEvent& e)
{
    MenuTitle title;
    ParseMenuTitle(e.title, false, false, e.level == 1 || b.mode == MODE_POPUP, &title);
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return kPopupErrors[e.level - 1];
    if (title.separator && !AppendMenuA(ParentOf(b, e.level), MF_SEPARATOR, 0, nullptr)) {
        DestroyMenu(menu);
        return MSG_SEPARATOR_FAILED;
    }
    OpenPopup& popup = b.popups[e.level - 1];
    popup.menu = menu;
    popup.flags = title.columnBreak ? MF_MENUBARBREAK : 0;
    lstrcpynA(popup.text, title.display, sizeof popup.text);
    char name[VARNAMESIZE + 1];
    std::snprintf(name, sizeof name, "%%P%c%llu", b.letter,
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(menu)));
    SetStatusText(b.ctx, name, title, e.next);
    return 0;
}

int OnBuildEvent(void* user, const MenuEvent& e)
{
    auto& b = *static_cast<MenuBuild*>(user);
    switch (e.kind) {
    case MENU_EVENT_COMMAND:
        return BuildCommand(b, e);
    case MENU_EVENT_OPEN_POPUP:
        return BuildPopup(b, e);
    case MENU_EVENT_CLOSE_POPUP: {
        OpenPopup& popup = b.popups[e.level - 1];
        if (popup.menu)
            AppendMenuA(ParentOf(b, e.level), MF_POPUP | MF_STRING | popup.flags,
                        reinterpret_cast<UINT_PTR>(popup.menu), popup.text);
        popup.menu = nullptr;
        return 0;
    }
    default:
        return 0;
    }
}

// ---------------------------------------------------------------- finding a command's code

struct CodeSearch {
    uint32_t nextId, wantedId;
    bool startup;
    const char* begin;
    const char* end;
};

int OnSearchEvent(void* user, const MenuEvent& e)
{
    auto& s = *static_cast<CodeSearch*>(user);
    if (e.kind == MENU_EVENT_STARTUP && s.startup) {
        s.begin = e.begin;
        s.end = e.end;
        return MENU_WALK_STOPPED;
    }
    if (e.kind == MENU_EVENT_COMMAND && s.nextId++ == s.wantedId) {
        s.begin = e.begin;
        s.end = e.end;
        return MENU_WALK_STOPPED;
    }
    return 0;
}

// The file's last write as DOS date and time; false when it cannot be opened.
bool LastWrite(const char* path, uint16_t* date, uint16_t* time)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written{}, local{};
    WORD d = 0, t = 0;
    if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local))
        FileTimeToDosDateTime(&local, &d, &t);
    CloseHandle(file);
    *date = d;
    *time = t;
    return true;
}

HGLOBAL CodeBlock(const char* begin, const char* end)
{
    auto n = static_cast<size_t>(end - begin);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, n + 1);
    if (auto* p = block ? static_cast<char*>(GlobalLock(block)) : nullptr) {
        std::memcpy(p, begin, n);
        p[n] = 0;
        GlobalUnlock(block);
        return block;
    }
    if (block)
        GlobalFree(block);
    return nullptr;
}

}  // namespace

HMENU BuildStandardMenu(BDS* ctx, const char* title, uint32_t firstId, uint32_t lastId, MenuFileRecord* record,
                        HWND owner, HotKeyTable* hotKeys, uintptr_t mode)
{
    if (!record)
        return nullptr;
    if (record->menuIndex == 0 && hotKeys)
        hotKeys->count = 0;
    record->fileName[sizeof record->fileName - 1] = 0;
    char path[MAX_PATH * 2];
    if (!LocateMenuFile(ctx, record->fileName, path, sizeof path)) {
        ShowMenuMessage(ctx, owner, title, kLoadMessages.open);
        return nullptr;
    }
    HGLOBAL text = nullptr;
    size_t length = 0;
    int message = 0;
    if (!ReadMenuFile(ctx, path, kLoadMessages, &text, &length, &record->dosDate, &record->dosTime, &message)) {
        if (message)
            ShowMenuMessage(ctx, owner, title, message);
        return nullptr;
    }
    lstrcpynA(record->fileName, path, sizeof record->fileName);
    DropStatusTextVariables(ctx);

    MenuBuild build{};
    build.ctx = ctx;
    build.mode = mode;
    build.root = mode == MODE_POPUP ? CreatePopupMenu() : mode == MODE_BAR ? CreateMenu() : reinterpret_cast<HMENU>(mode);
    if (!build.root) {
        GlobalFree(text);
        ShowMenuMessage(ctx, owner, title, MSG_NO_ROOT);
        return nullptr;
    }
    build.nextId = firstId;
    build.lastId = lastId;
    build.letter = static_cast<char>('A' + record->menuIndex);
    build.hotKeys = hotKeys;
    if (hotKeys && hotKeys->count > HOTKEY_SLOTS)
        hotKeys->count = HOTKEY_SLOTS;

    auto* lines = static_cast<const char*>(GlobalLock(text));
    MenuLine bad{};
    int result = lines ? WalkMenu(lines, length, OnBuildEvent, &build, &bad) : MENU_WALK_EMPTY;
    if (result != 0) {
        // What was built so far stays: open pop-ups go into their parents.
        for (int level = MENU_LEVELS - 1; level >= 1; --level)
            OnBuildEvent(&build, MenuEvent{MENU_EVENT_CLOSE_POPUP, level, {}, {}, nullptr, nullptr});
        if (result > 0)
            ShowMenuMessage(ctx, owner, title, result);
        ShowMenuLine(ctx, owner, bad, MSG_BAD_LINE);
    }
    if (lines)
        GlobalUnlock(text);
    GlobalFree(text);
    record->lastId = static_cast<uint16_t>(build.nextId - 1);
    return build.root;
}

HGLOBAL FindCommandCode(BDS* ctx, const char* title, uint32_t wantedId, uint32_t startup, uint32_t firstId,
                        MenuFileRecord* record, HWND owner)
{
    if (!record)
        return nullptr;
    record->fileName[sizeof record->fileName - 1] = 0;
    uint16_t date = 0, time = 0;
    if (!LastWrite(record->fileName, &date, &time)) {
        ShowMenuMessage(ctx, owner, title, kScanMessages.open);
        return nullptr;
    }
    if (date != record->dosDate || time != record->dosTime) {
        ShowMenuMessage(ctx, owner, title, MSG_CHANGED);
        return reinterpret_cast<HGLOBAL>(static_cast<intptr_t>(-1));
    }
    HGLOBAL text = nullptr;
    size_t length = 0;
    int message = 0;
    if (!ReadMenuFile(ctx, record->fileName, kScanMessages, &text, &length, nullptr, nullptr, &message)) {
        if (message)
            ShowMenuMessage(ctx, owner, title, message);
        return nullptr;
    }
    CodeSearch search{firstId, wantedId, startup != 0, nullptr, nullptr};
    auto* lines = static_cast<const char*>(GlobalLock(text));
    MenuLine bad{};
    int result = lines ? WalkMenu(lines, length, OnSearchEvent, &search, &bad) : MENU_WALK_EMPTY;
    HGLOBAL code = nullptr;
    if (result == MENU_WALK_STOPPED) {
        if (search.end > search.begin) {
            code = CodeBlock(search.begin, search.end);
            SetParamVars(ctx, "");
        }
    } else if (!(startup && result == MENU_WALK_EMPTY)) {
        ShowMenuLine(ctx, owner, bad, MSG_NOT_FOUND);
    }
    if (lines)
        GlobalUnlock(text);
    GlobalFree(text);
    return code;
}
