// The window lists: WinItemize, WinItemChild, WinItemNameId, WinItemizeEx and
// WinItemProcId, and their exported enumeration callbacks.
//
// Items are separated by a tab; a title paired with its window identifier is written
// "title|identifier", and pairs are separated by "|" too. Untitled windows and windows
// titled "WinOldAp" are left out unless WinItemProcId's flags ask for them. Each call builds
// its list in the width of its twin while the enumeration runs, then stores it once.
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/router.h"
#include "engine/ui/window_args.h"
#include "engine/ui/window_info.h"

namespace {

constexpr uint16_t ERR_ITEMCHILD_NO_PARENT = 1334;   // "WinItemChild: Parent Window cannot be found"
constexpr uint16_t ERR_ITEMIZEEX_MULTIPLE = 1538;    // "WinItemizeEx: Invalid 'multiple' flag"
constexpr uint16_t ERR_ITEMIZEEX_HIDDEN = 1539;      // "WinItemizeEx: Invalid 'hidden' flag"
constexpr uint16_t ERR_PROCID_PID = 1583;            // "WinItemProcId: Invalid process ID"
constexpr uint16_t ERR_PROCID_FLAGS = 1585;          // "WinItemProcId: Invalid flags"
constexpr uint16_t ERR_PROCID_TYPE = 1586;           // "WinItemProcId: Invalid return type"
constexpr uint32_t PROCID_FLAGS_MAX = 15;
constexpr uint32_t PROCID_TYPE_MAX = 2;

// ---------------------------------------------------------------- the list of one call

template <typename C>
struct ListBuilder {
    std::basic_string<C> text;
    C separator;   // between items: tab, or "|" for lists of pairs

    void Add(const C* item)
    {
        text += item;
        text += separator;
    }
    void AddPair(const C* title, HWND window)
    {
        Add(title);
        AddId(window);
    }
    void AddId(HWND window);
    void Store(BDS* ctx, resultants* result)
    {
        if (!text.empty())
            text.pop_back();
        Set(ctx, result);
    }
    void Set(BDS* ctx, resultants* result);
};

template <>
void ListBuilder<char>::AddId(HWND window)
{
    char id[WINDOW_ID_BUFFER];
    WinIdFromHandleA(window, id, sizeof id);
    Add(id);
}

template <>
void ListBuilder<wchar_t>::AddId(HWND window)
{
    wchar_t id[WINDOW_ID_BUFFER];
    WinIdFromHandleW(window, id, WINDOW_ID_BUFFER);
    Add(id);
}

template <>
void ListBuilder<char>::Set(BDS* ctx, resultants* result)
{
    SetResultText(ctx, result, text.c_str(), text.size());
}

template <>
void ListBuilder<wchar_t>::Set(BDS* ctx, resultants* result)
{
    SetResultWText(ctx, result, text.c_str(), text.size());
}

template <typename C>
ListBuilder<C>& Sink(LPARAM context)
{
    return *static_cast<ListBuilder<C>*>(reinterpret_cast<BDS*>(context)->winops.list.sink);
}

// ---------------------------------------------------------------- titles

int Title(HWND window, char* out) { return GetWindowTextA(window, out, BOX_TEXT_SIZE); }
int Title(HWND window, wchar_t* out) { return GetWindowTextW(window, out, BOX_TEXT_SIZE); }

template <typename C>
bool IsOldAp(const C* title)
{
    static const char name[] = "WinOldAp";
    for (int i = 0; i < 9; ++i)
        if (title[i] != static_cast<C>(name[i]))
            return false;
    return true;
}

// The title of a window that lists by default: titled, and not "WinOldAp".
template <typename C>
bool ListedTitle(HWND window, C* title)
{
    title[0] = 0;
    return Title(window, title) > 0 && title[0] && !IsOldAp(title);
}

int Matches(const char* title, const void* pattern) { return TitleMatchesA(title, static_cast<const char*>(pattern)); }
int Matches(const wchar_t* title, const void* pattern)
{
    return TitleMatchesW(title, static_cast<const wchar_t*>(pattern));
}

// ---------------------------------------------------------------- callbacks

template <typename C>
BOOL ItemTitle(HWND window, LPARAM context)
{
    C title[BOX_TEXT_SIZE];
    if (ListedTitle(window, title))
        Sink<C>(context).Add(title);
    return TRUE;
}

template <typename C>
BOOL ItemTitleAndId(HWND window, LPARAM context)
{
    C title[BOX_TEXT_SIZE];
    if (ListedTitle(window, title))
        Sink<C>(context).AddPair(title, window);
    return TRUE;
}

template <typename C>
void AddByType(ListBuilder<C>& list, uint32_t type, const C* title, HWND window)
{
    if (type == LIST_TITLES)
        list.Add(title);
    else if (type == LIST_PAIRS)
        list.AddPair(title, window);
    else
        list.AddId(window);
}

// WinItemizeEx: visible (or also hidden) titled windows whose title matches the pattern.
template <typename C>
BOOL ItemMatching(HWND window, LPARAM context)
{
    const WindowListScratch& s = reinterpret_cast<BDS*>(context)->winops.list;
    C title[BOX_TEXT_SIZE];
    if (!ListedTitle(window, title))
        return TRUE;
    if (!s.hidden && !IsWindowVisible(window))
        return TRUE;
    if (static_cast<const C*>(s.pattern)[0] && !Matches(title, s.pattern))
        return TRUE;
    AddByType(Sink<C>(context), s.returnType, title, window);
    return s.multiple ? TRUE : FALSE;
}

// WinItemProcId: the windows of one process, those the flags do not admit left out.
template <typename C>
BOOL ItemOfProcess(HWND window, LPARAM context)
{
    const WindowListScratch& s = reinterpret_cast<BDS*>(context)->winops.list;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s.processId)
        return TRUE;
    C title[BOX_TEXT_SIZE];
    title[0] = 0;
    Title(window, title);
    if ((!title[0] && !(s.flags & LIST_UNTITLED)) || (!IsWindowVisible(window) && !(s.flags & LIST_HIDDEN)) ||
        (!IsWindowEnabled(window) && !(s.flags & LIST_DISABLED)) || (IsOldAp(title) && !(s.flags & LIST_OLD_AP)))
        return TRUE;
    AddByType(Sink<C>(context), s.returnType, title, window);
    return TRUE;
}

BOOL CALLBACK WinEnumItemW(HWND window, LPARAM context) { return ItemTitle<wchar_t>(window, context); }
BOOL CALLBACK WinEnumItemAndIdW(HWND window, LPARAM context) { return ItemTitleAndId<wchar_t>(window, context); }
BOOL CALLBACK WinEnumFromProcIdW(HWND window, LPARAM context) { return ItemOfProcess<wchar_t>(window, context); }
BOOL CALLBACK WinEnumMatching(HWND window, LPARAM context) { return ItemMatching<char>(window, context); }
BOOL CALLBACK WinEnumMatchingW(HWND window, LPARAM context) { return ItemMatching<wchar_t>(window, context); }

}  // namespace

extern "C" BOOL CALLBACK WinEnumItem(HWND window, LPARAM context) { return ItemTitle<char>(window, context); }

extern "C" BOOL CALLBACK WinEnumItemAndId(HWND window, LPARAM context)
{
    return ItemTitleAndId<char>(window, context);
}

extern "C" BOOL CALLBACK WinEnumFromProcId(HWND window, LPARAM context)
{
    return ItemOfProcess<char>(window, context);
}

namespace {

// ---------------------------------------------------------------- running a list

// Enumerates the top-level windows (or the descendants of `parent`) into a list of the
// width, with `callback` of that width, and stores it as the result.
template <typename C>
void RunList(BDS* ctx, resultants* result, WNDENUMPROC callback, HWND parent, C separator)
{
    ListBuilder<C> list{{}, separator};
    ctx->winops.list.sink = &list;
    LPARAM context = reinterpret_cast<LPARAM>(ctx);
    if (parent)
        EnumChildWindows(parent, callback, context);
    else
        EnumWindows(callback, context);
    ctx->winops.list.sink = nullptr;
    list.Store(ctx, result);
}

// A list in the width the engine runs in, with the narrow or the wide callback.
void RunEngineWidthList(BDS* ctx, resultants* result, WNDENUMPROC narrow, WNDENUMPROC wide, HWND parent, char separator)
{
    if (IsUnicodeMode())
        RunList<wchar_t>(ctx, result, wide, parent, static_cast<wchar_t>(separator));
    else
        RunList<char>(ctx, result, narrow, parent, separator);
}

void CaseWinItemize(BDS* ctx, BuiltinCall& call)
{
    RunEngineWidthList(ctx, call.result, WinEnumItem, WinEnumItemW, nullptr, '\t');
}

void CaseWinItemNameId(BDS* ctx, BuiltinCall& call)
{
    RunEngineWidthList(ctx, call.result, WinEnumItemAndId, WinEnumItemAndIdW, nullptr, '|');
}

void CaseWinItemChild(BDS* ctx, BuiltinCall& call)
{
    HWND parent = FindWindowArgOr(ctx, call, 1, ERR_ITEMCHILD_NO_PARENT);
    if (!parent)
        return;
    if (ArgIsWide(call, 1))
        RunList<wchar_t>(ctx, call.result, WinEnumItemW, parent, L'\t');
    else
        RunList<char>(ctx, call.result, WinEnumItem, parent, '\t');
}

// WinItemizeEx's return type: 1 window identifiers, 2 pairs, anything else titles.
uint32_t ItemizeExItems(int32_t type)
{
    return type == 1 ? LIST_IDS : type == 2 ? LIST_PAIRS : LIST_TITLES;
}

// WinItemProcId's return type (already checked to be 0 to 2): 0 window identifiers,
// 1 titles, 2 pairs.
uint32_t ProcIdItems(uint32_t type)
{
    return type == 0 ? LIST_IDS : type == 1 ? LIST_TITLES : LIST_PAIRS;
}

// WinItemizeEx(pattern, multiple, hidden [, type])
void CaseWinItemizeEx(BDS* ctx, BuiltinCall& call)
{
    uint32_t multiple = static_cast<uint32_t>(ArgInt(call, 2));
    uint32_t hidden = static_cast<uint32_t>(ArgInt(call, 3));
    if (multiple > 1) {
        SetError(ctx, ERR_ITEMIZEEX_MULTIPLE);
        return;
    }
    if (hidden > 1) {
        SetError(ctx, ERR_ITEMIZEEX_HIDDEN);
        return;
    }
    WindowListScratch& s = ctx->winops.list;
    s.multiple = multiple;
    s.hidden = hidden;
    s.returnType = ItemizeExItems(ArgInt(call, 4));
    char separator = s.returnType == LIST_PAIRS ? '|' : '\t';
    if (ArgIsWide(call, 1)) {
        s.pattern = ArgWText(ctx, call, 1);
        RunList<wchar_t>(ctx, call.result, WinEnumMatchingW, nullptr, static_cast<wchar_t>(separator));
    } else {
        s.pattern = ArgText(ctx, call, 1);
        RunList<char>(ctx, call.result, WinEnumMatching, nullptr, separator);
    }
    s.pattern = nullptr;
}

// WinItemProcId(pid, flags, type)
void CaseWinItemProcId(BDS* ctx, BuiltinCall& call)
{
    uint32_t pid = static_cast<uint32_t>(ArgInt(call, 1));
    uint32_t flags = static_cast<uint32_t>(ArgInt(call, 2));
    uint32_t type = static_cast<uint32_t>(ArgInt(call, 3));
    if (pid == 0 || pid == 1) {
        SetError(ctx, ERR_PROCID_PID);
        return;
    }
    if (flags > PROCID_FLAGS_MAX) {
        SetError(ctx, ERR_PROCID_FLAGS);
        return;
    }
    if (type > PROCID_TYPE_MAX) {
        SetError(ctx, ERR_PROCID_TYPE);
        return;
    }
    WindowListScratch& s = ctx->winops.list;
    s.processId = pid;
    s.flags = flags;
    s.returnType = ProcIdItems(type);
    RunEngineWidthList(ctx, call.result, WinEnumFromProcId, WinEnumFromProcIdW, nullptr,
                       s.returnType == LIST_PAIRS ? '|' : '\t');
}

const BuiltinRow kRows[] = {
    {777, CaseWinItemChild}, {778, CaseWinItemize},   {779, CaseWinItemizeEx},
    {780, CaseWinItemNameId}, {781, CaseWinItemProcId},
};

}  // namespace

extern const BuiltinFamily g_WindowListBuiltins = {"window-lists", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
