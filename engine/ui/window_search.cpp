// Window identifiers, the partial-title rule, the title-search callbacks and the find
// operations. The narrow and wide twins share one body written over the character type.
#include "engine/ui/window_search.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"

namespace {

constexpr char WIN_ID_PREFIX[] = "#WIN$ID#";
constexpr int WIN_ID_PREFIX_LENGTH = 8;

// ---------------------------------------------------------------- character traits

template <typename C>
struct Text;

template <>
struct Text<char> {
    static size_t Length(const char* s) { return std::strlen(s); }
    static bool Same(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n) == 0; }
    static int Collate(const char* a, const char* b) { return lstrcmpA(a, b); }
    static const char* Next(const char* p) { return CharNextA(p); }
    static int WindowTitle(HWND w, char* out, int size) { return GetWindowTextA(w, out, size); }
    static void Copy(char* out, const char* in, size_t size) { lstrcpynA(out, in, static_cast<int>(size)); }
    static char* Search(BDS* ctx) { return ctx->box.SearchText; }
    static char* Title(BDS* ctx) { return ctx->box.TitleText; }
    static constexpr const char* OLD_AP = "WinOldAp";
};

template <>
struct Text<wchar_t> {
    static size_t Length(const wchar_t* s) { return std::wcslen(s); }
    static bool Same(const wchar_t* a, const wchar_t* b, size_t n) { return std::wcsncmp(a, b, n) == 0; }
    static int Collate(const wchar_t* a, const wchar_t* b) { return lstrcmpW(a, b); }
    static const wchar_t* Next(const wchar_t* p) { return *p ? p + 1 : p; }
    static int WindowTitle(HWND w, wchar_t* out, int size) { return GetWindowTextW(w, out, size); }
    static void Copy(wchar_t* out, const wchar_t* in, size_t size) { lstrcpynW(out, in, static_cast<int>(size)); }
    static wchar_t* Search(BDS* ctx) { return ctx->box.SearchTextW; }
    static wchar_t* Title(BDS* ctx) { return ctx->box.TitleTextW; }
    static constexpr const wchar_t* OLD_AP = L"WinOldAp";
};

template <typename C>
const C* Empty()
{
    static const C none[1] = {0};
    return none;
}

// ---------------------------------------------------------------- identifiers

template <typename C>
int IsWinIdString(const C* text)
{
    if (!text || Text<C>::Length(text) != WINDOW_ID_LENGTH)
        return 0;
    for (int i = 0; i < WIN_ID_PREFIX_LENGTH; ++i)
        if (text[i] != static_cast<C>(WIN_ID_PREFIX[i]))
            return 0;
    return 1;
}

bool NumberFromHexDigits(const char* digits, int32_t* number)
{
    int64_t value = RadixTextToLongA(digits, 16);
    if (value < 0)
        return false;
    *number = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
}

// ---------------------------------------------------------------- the title rule

// An occurrence of needle[0..n) in the title, found character by character; with atEnd
// only one that ends the title counts.
template <typename C>
bool FindOccurrence(const C* title, const C* needle, size_t n, bool atEnd)
{
    if (n == 0)
        return false;
    size_t titleLength = Text<C>::Length(title);
    for (const C* p = title; *p; p = Text<C>::Next(p)) {
        size_t at = static_cast<size_t>(p - title);
        if (titleLength - at < n)
            break;
        if (Text<C>::Same(p, needle, n) && (!atEnd || at + n == titleLength))
            return true;
    }
    return false;
}

template <typename C>
int TitleMatches(const C* title, const C* pattern)
{
    if (!title || !pattern)
        return 0;
    size_t length = Text<C>::Length(pattern);
    if (length >= 2 && pattern[0] == '~') {
        size_t n = length - 1;
        bool atEnd = pattern[length - 1] == '~';
        if (atEnd)
            --n;
        return FindOccurrence(title, pattern + 1, n, atEnd) ? 1 : 0;
    }
    bool whole = length >= 2 && pattern[length - 1] == '~';
    size_t compared = whole ? length - 1 : length;
    size_t titleLength = Text<C>::Length(title);
    if (titleLength < compared)
        return 0;
    C left[BOX_TEXT_SIZE];
    C right[BOX_TEXT_SIZE];
    if (compared >= BOX_TEXT_SIZE)
        compared = BOX_TEXT_SIZE - 1;
    // The whole title, or the title cut to the pattern's length, against the pattern.
    size_t keep = whole ? titleLength : compared;
    if (keep >= BOX_TEXT_SIZE)
        keep = BOX_TEXT_SIZE - 1;
    Text<C>::Copy(left, title, keep + 1);
    Text<C>::Copy(right, pattern, compared + 1);
    return Text<C>::Collate(left, right) == 0 ? 1 : 0;
}

// ---------------------------------------------------------------- callbacks

template <typename C>
BOOL EnumByTitle(HWND window, LPARAM context, bool passOverOldAp)
{
    auto* ctx = reinterpret_cast<BDS*>(context);
    C* title = Text<C>::Title(ctx);
    title[0] = 0;
    if (Text<C>::WindowTitle(window, title, BOX_TEXT_SIZE) <= 0 || !title[0])
        return TRUE;   // an untitled window never matches
    if (passOverOldAp && Text<C>::Length(title) == 8 && Text<C>::Same(title, Text<C>::OLD_AP, 8))
        return TRUE;
    if (!TitleMatches<C>(title, Text<C>::Search(ctx)))
        return TRUE;
    ctx->box.FoundWindow = window;
    return FALSE;
}

// ---------------------------------------------------------------- find operations

template <typename C>
bool WinIdNumber(const C* text, int32_t* number);

template <>
bool WinIdNumber<char>(const char* text, int32_t* number)
{
    return IsWinIdString(text) && NumberFromHexDigits(text + WIN_ID_PREFIX_LENGTH, number);
}

template <>
bool WinIdNumber<wchar_t>(const wchar_t* text, int32_t* number)
{
    if (!IsWinIdString(text))
        return false;
    char digits[16] = {};
    if (WideCharToMultiByte(CP_ACP, 0, text + WIN_ID_PREFIX_LENGTH, 8, digits, 8, nullptr, nullptr) != 8)
        return false;
    return NumberFromHexDigits(digits, number);
}

template <typename C>
HWND WinIdToHandle(const C* text, int check)
{
    int32_t number;
    if (!WinIdNumber(text, &number))
        return nullptr;
    HWND window = HandleFromNumber(number);
    if (check && !IsWindow(window))
        return nullptr;
    return window;
}

template <typename C>
WNDENUMPROC TopCallback();
template <>
WNDENUMPROC TopCallback<char>() { return WinEnumFuncx; }
template <>
WNDENUMPROC TopCallback<wchar_t>() { return WinEnumFuncxW; }

template <typename C>
WNDENUMPROC ChildCallback();
template <>
WNDENUMPROC ChildCallback<char>() { return WinEnumDaChild; }
template <>
WNDENUMPROC ChildCallback<wchar_t>() { return WinEnumDaChildW; }

template <typename C>
HWND SearchOnce(BDS* ctx, const C* text)
{
    ctx->box.FoundWindow = nullptr;
    Text<C>::Copy(Text<C>::Search(ctx), text, BOX_TEXT_SIZE);
    EnumWindows(TopCallback<C>(), reinterpret_cast<LPARAM>(ctx));
    return ctx->box.FoundWindow;
}

template <typename C>
HWND FindWindowOnce(BDS* ctx, const C* text)
{
    if (!text)
        text = Empty<C>();
    if (IsWinIdString(text))
        return WinIdToHandle(text, 1);
    return SearchOnce(ctx, text);
}

template <typename C>
HWND FindTopWindow(BDS* ctx, const C* text, int retries)
{
    if (!text || !*text)
        return ctx->hwndParent;
    if (IsWinIdString(text))
        return WinIdToHandle(text, 1);
    int attempts = retries + 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) {
            WaitPumping(ctx, 1000);
            if (ctx->bCancel)
                break;
        }
        if (HWND found = SearchOnce(ctx, text))
            return found;
    }
    return nullptr;
}

template <typename C>
HWND FindChildIn(BDS* ctx, HWND parent, const C* child)
{
    if (!parent)
        return nullptr;
    if (!child)
        child = Empty<C>();
    if (IsWinIdString(child)) {
        HWND wanted = WinIdToHandle(child, 1);
        if (!wanted)
            return nullptr;
        ctx->box.FoundWindow = wanted;
        EnumChildWindows(parent, IsWindowIdInTree, reinterpret_cast<LPARAM>(ctx));
        bool met = ctx->box.FoundWindow == nullptr;
        ctx->box.FoundWindow = met ? wanted : nullptr;
        return ctx->box.FoundWindow;
    }
    ctx->box.FoundWindow = nullptr;
    Text<C>::Copy(Text<C>::Search(ctx), child, BOX_TEXT_SIZE);
    EnumChildWindows(parent, ChildCallback<C>(), reinterpret_cast<LPARAM>(ctx));
    return ctx->box.FoundWindow;
}

template <typename C>
HWND FindChildWindow(BDS* ctx, const C* parent, const C* child, int retries, HWND* parentOut)
{
    HWND top = FindTopWindow(ctx, parent, retries);
    if (parentOut)
        *parentOut = top;
    return top ? FindChildIn(ctx, top, child) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- identifiers

HWND HandleFromNumber(int32_t number)
{
    return reinterpret_cast<HWND>(static_cast<intptr_t>(number));
}

int WinIdFromHandleA(HWND window, char* buffer, size_t size)
{
    if (!buffer || size < WINDOW_ID_BUFFER)
        return 0;
    std::snprintf(buffer, size, "%s%08lX", WIN_ID_PREFIX,
                  static_cast<unsigned long>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window))));
    return 1;
}

int WinIdFromHandleW(HWND window, wchar_t* buffer, size_t size)
{
    if (!buffer || size < WINDOW_ID_BUFFER)
        return 0;
    std::swprintf(buffer, size, L"%hs%08lX", WIN_ID_PREFIX,
                  static_cast<unsigned long>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window))));
    return 1;
}

int IsWinIdStringA(const char* text) { return IsWinIdString(text); }
int IsWinIdStringW(const wchar_t* text) { return IsWinIdString(text); }
bool WinIdNumberA(const char* text, int32_t* number) { return WinIdNumber(text, number); }
bool WinIdNumberW(const wchar_t* text, int32_t* number) { return WinIdNumber(text, number); }
HWND WinIdToHandleA(const char* text, int check) { return WinIdToHandle(text, check); }
HWND WinIdToHandleW(const wchar_t* text, int check) { return WinIdToHandle(text, check); }

// ---------------------------------------------------------------- the title rule

int TitleMatchesA(const char* title, const char* pattern) { return TitleMatches(title, pattern); }
int TitleMatchesW(const wchar_t* title, const wchar_t* pattern) { return TitleMatches(title, pattern); }

// ---------------------------------------------------------------- callbacks

extern "C" BOOL CALLBACK WinEnumFuncx(HWND window, LPARAM context)
{
    return EnumByTitle<char>(window, context, true);
}

BOOL CALLBACK WinEnumFuncxW(HWND window, LPARAM context)
{
    return EnumByTitle<wchar_t>(window, context, true);
}

extern "C" BOOL CALLBACK WinEnumDaChild(HWND window, LPARAM context)
{
    return EnumByTitle<char>(window, context, false);
}

BOOL CALLBACK WinEnumDaChildW(HWND window, LPARAM context)
{
    return EnumByTitle<wchar_t>(window, context, false);
}

BOOL CALLBACK IsWindowIdInTree(HWND window, LPARAM context)
{
    auto* ctx = reinterpret_cast<BDS*>(context);
    if (window != ctx->box.FoundWindow)
        return TRUE;
    ctx->box.FoundWindow = nullptr;
    return FALSE;
}

// ---------------------------------------------------------------- find operations

HWND FindTopWindowA(BDS* ctx, const char* text, int retries) { return FindTopWindow(ctx, text, retries); }
HWND FindTopWindowW(BDS* ctx, const wchar_t* text, int retries) { return FindTopWindow(ctx, text, retries); }

HWND FindChildWindowA(BDS* ctx, const char* parent, const char* child, int retries, HWND* parentOut)
{
    return FindChildWindow(ctx, parent, child, retries, parentOut);
}

HWND FindChildWindowW(BDS* ctx, const wchar_t* parent, const wchar_t* child, int retries, HWND* parentOut)
{
    return FindChildWindow(ctx, parent, child, retries, parentOut);
}

HWND FindWindowByTitleA(BDS* ctx, const char* text)
{
    return FindTopWindow(ctx, text, static_cast<int>(ctx->eng.ctl.WindowRetryCount));
}

HWND FindWindowByTitleW(BDS* ctx, const wchar_t* text)
{
    return FindTopWindow(ctx, text, static_cast<int>(ctx->eng.ctl.WindowRetryCount));
}

HWND FindWindowOnceA(BDS* ctx, const char* text) { return FindWindowOnce(ctx, text); }
HWND FindWindowOnceW(BDS* ctx, const wchar_t* text) { return FindWindowOnce(ctx, text); }
