// File-name wildcards and target masks: the own matcher, the "selects everything" test,
// target preparation, the mask mapping and the FileMapName built-in.
#include "engine/files/wildcard.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>

#include "engine/core/builtin.h"
#include "engine/data/text.h"
#include "engine/files/directories.h"
#include "engine/files/file_args.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"

namespace {

constexpr uint16_t ERR_CANNOT_MAP = 1324;

// ---------------------------------------------------------------- splitting

// The last component of a name (behind a drive and the last "\" or "/"), cut into its name
// part and its extension part at the last "."; `dotted` tells whether there was a dot.
template <typename C>
struct NameParts {
    std::basic_string_view<C> name;
    std::basic_string_view<C> extension;
    bool dotted = false;
};

template <typename C>
NameParts<C> SplitName(std::basic_string_view<C> path)
{
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':')
        start = 2;
    for (size_t i = start; i < path.size(); ++i)
        if (path[i] == '\\' || path[i] == '/')
            start = i + 1;
    std::basic_string_view<C> last = path.substr(start);
    NameParts<C> parts;
    size_t dot = last.rfind(static_cast<C>('.'));
    if (dot == std::basic_string_view<C>::npos) {
        parts.name = last;
    } else {
        parts.name = last.substr(0, dot);
        parts.extension = last.substr(dot + 1);
        parts.dotted = true;
    }
    return parts;
}

// The ANSI split must not take a trail byte for a separator or a dot.
NameParts<char> SplitNameA(const CodePageTables& t, std::string_view path)
{
    size_t start = 0;
    if (path.size() >= 2 && !t.lead[static_cast<uint8_t>(path[0])] && path[1] == ':')
        start = 2;
    size_t dot = std::string_view::npos;
    for (size_t i = start; i < path.size();) {
        char c = path[i];
        if (c == '\\' || c == '/') {
            start = i + 1;
            dot = std::string_view::npos;
        } else if (c == '.') {
            dot = i;
        }
        i += (t.lead[static_cast<uint8_t>(c)] && i + 1 < path.size()) ? 2 : 1;
    }
    NameParts<char> parts;
    if (dot == std::string_view::npos) {
        parts.name = path.substr(start);
    } else {
        parts.name = path.substr(start, dot - start);
        parts.extension = path.substr(dot + 1);
        parts.dotted = true;
    }
    return parts;
}

// ---------------------------------------------------------------- matching

// The bytes of the ANSI character at a position: a double-byte character moves as one.
struct AnsiChars {
    const CodePageTables& t;
    size_t step(std::string_view text, size_t at) const
    {
        return (t.lead[static_cast<uint8_t>(text[at])] && at + 1 < text.size()) ? 2 : 1;
    }
};

// Whole-text match of "*" (any run, also empty) and "?" (one character), letters without
// regard to case, with backtracking so that "*s" matches "tests".
bool WholeMatchW(std::wstring_view text, std::wstring_view pattern)
{
    size_t t = 0, p = 0, starP = std::wstring_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == L'?' || FoldUnitW(pattern[p]) == FoldUnitW(text[t]))) {
            ++p;
            ++t;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

bool SameCharA(const CodePageTables& t, std::string_view a, size_t i, size_t na, std::string_view b, size_t j,
               size_t nb)
{
    if (na != nb)
        return false;
    if (na == 2)
        return a[i] == b[j] && a[i + 1] == b[j + 1];
    return t.upper[static_cast<uint8_t>(a[i])] == t.upper[static_cast<uint8_t>(b[j])];
}

bool WholeMatchA(const CodePageTables& cp, std::string_view text, std::string_view pattern)
{
    AnsiChars chars{cp};
    size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        size_t nt = chars.step(text, t);
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            size_t np = chars.step(pattern, p);
            if ((pattern[p] == '?' && np == 1) || SameCharA(cp, text, t, nt, pattern, p, np)) {
                p += np;
                t += nt;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP + 1;
        starT += chars.step(text, starT);
        t = starT;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool HasWildcardA(const char* text)
{
    return text && (strchr(text, '*') || strchr(text, '?'));
}

// The system's matcher, loaded for the call; -1 when the library or entry is missing.
template <typename Ch>
int SystemMatch(const Ch* name, const Ch* spec)
{
    HMODULE library = LoadLibraryA("SHLWAPI.DLL");
    if (!library)
        return -1;
    using PfnMatch = BOOL(WINAPI*)(const Ch*, const Ch*);
    const char* entry = sizeof(Ch) == 1 ? "PathMatchSpecA" : "PathMatchSpecW";
    auto match = reinterpret_cast<PfnMatch>(GetProcAddress(library, entry));
    int answer = match ? (match(name, spec) ? 1 : 0) : -1;
    FreeLibrary(library);
    return answer;
}

const wchar_t* LastComponentW(const wchar_t* path)
{
    const wchar_t* last = path;
    if (path[0] && path[1] == L':')
        last = path + 2;
    for (const wchar_t* p = last; *p; ++p)
        if (IsPathSeparator(*p))
            last = p + 1;
    return last;
}

const char* LastComponentA(const CodePageTables& t, const char* path)
{
    const char* last = path;
    if (path[0] && !t.lead[static_cast<uint8_t>(path[0])] && path[1] == ':')
        last = path + 2;
    for (const char* p = last; *p; p = CharStep(t, p))
        if (*p == '\\' || *p == '/')
            last = p + 1;
    return last;
}

// ---------------------------------------------------------------- mask mapping

void MaskApplyTo(std::wstring_view source, std::wstring_view mask, std::wstring& out, bool pendingDot)
{
    size_t at = 0;
    for (wchar_t m : mask) {
        if (m == L'*') {
            if (pendingDot && at < source.size()) {
                out += L'.';
                pendingDot = false;
            }
            out.append(source.substr(at));
        } else if (m == L'?') {
            if (pendingDot && at < source.size()) {
                out += L'.';
                pendingDot = false;
            }
            if (at < source.size())
                out += source[at++];
        } else {
            if (pendingDot) {
                out += L'.';
                pendingDot = false;
            }
            out += m;
            if (at < source.size())
                ++at;
        }
    }
}

// Completes a mask without wildcards as a copy target is completed.
int CompleteTarget(BDS* ctx, PathBuf* out)
{
    if (HasWildcardW(out->text))
        return 1;
    uint32_t length = PathBufLength(out);
    if (length == 0)
        return 1;
    wchar_t last = out->text[length - 1];
    if (IsPathSeparator(last) || last == L':')
        return PathBufAppend(ctx, out, L"*.*", PATH_LIMIT_FILE);
    if (DirExistPathW(ctx, out->text))
        return PathBufAppend(ctx, out, L"\\*.*", PATH_LIMIT_FILE);
    return 1;
}

bool CurrentDirectoryOf(BDS* ctx, wchar_t drive, std::wstring& out)
{
    if (drive) {
        if (!DriveCurrentDirStr(drive, out))
            return false;
    } else {
        LocalPathBuf current;
        if (!GetCurrentDirLongW(ctx, current.get()))
            return false;
        out = current.text();
    }
    if (out.empty() || !IsPathSeparator(out.back()))
        out += L'\\';
    return true;
}

void CaseFileMapName(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    ArgPath source(ctx, c, 1), mask(ctx, c, 2);
    LocalPathBuf out;
    uint16_t kept = ctx->nErrorCode;
    if (!WildcardEnumW(ctx, source.text(), mask.text(), out.get())) {
        ctx->nErrorCode = kept;
        SetError(ctx, ERR_CANNOT_MAP);
        return;
    }
    SetResultWText(ctx, c.result, out.text());
}

const BuiltinRow kRows[] = {
    {482, CaseFileMapName},
};

}  // namespace

extern const BuiltinFamily g_WildcardBuiltins = {"file-name masks", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

// ---------------------------------------------------------------- matcher

bool HasWildcardW(const wchar_t* text)
{
    if (!text)
        return false;
    const wchar_t* p = text + LongPrefixLengthW(text);
    return wcschr(p, L'*') || wcschr(p, L'?');
}

int WildcardMatchSpecW(BDS* ctx, const wchar_t* name, const wchar_t* spec)
{
    if (!name || !spec || !HasWildcardW(spec))
        return 1;
    if (ctx && ctx->eng.ctl.WildcardMatchMode == WILDCARD_SYSTEM) {
        int answer = SystemMatch(LastComponentW(name), LastComponentW(spec));
        if (answer >= 0)
            return answer;
    }
    NameParts<wchar_t> n = SplitName<wchar_t>(name);
    NameParts<wchar_t> s = SplitName<wchar_t>(spec);
    return WholeMatchW(n.name, s.name) && WholeMatchW(n.extension, s.extension) ? 1 : 0;
}

int WildcardMatchSpecA(BDS* ctx, const char* name, const char* spec)
{
    if (!name || !spec || !HasWildcardA(spec))
        return 1;
    const CodePageTables& t = TextTables(ctx);
    if (ctx && ctx->eng.ctl.WildcardMatchMode == WILDCARD_SYSTEM) {
        int answer = SystemMatch(LastComponentA(t, name), LastComponentA(t, spec));
        if (answer >= 0)
            return answer;
    }
    NameParts<char> n = SplitNameA(t, name);
    NameParts<char> s = SplitNameA(t, spec);
    return WholeMatchA(t, n.name, s.name) && WholeMatchA(t, n.extension, s.extension) ? 1 : 0;
}

int WildcardIsAllW(const wchar_t* spec)
{
    if (!spec || !*spec)
        return 0;
    NameParts<wchar_t> s = SplitName<wchar_t>(spec + LongPrefixLengthW(spec));
    if (s.name != L"*")
        return 0;
    if (s.dotted)
        return s.extension == L"*" ? 1 : 0;
    return 1;
}

int WildcardIsAllA(const char* spec)
{
    if (!spec || !*spec)
        return 0;
    NameParts<char> s = SplitNameA(TextTables(nullptr), spec);
    if (s.name != "*")
        return 0;
    if (s.dotted)
        return s.extension == "*" ? 1 : 0;
    return 1;
}

// ---------------------------------------------------------------- targets and masks

int WildcardSpecTest(BDS* ctx, const wchar_t* target, PathBuf* out)
{
    out->text[0] = 0;
    if (!PathBufAppend(ctx, out, target, PATH_LIMIT_FILE))
        return 0;
    return CompleteTarget(ctx, out);
}

int MaskApplyW(BDS* ctx, const wchar_t* source, const wchar_t* mask, PathBuf* out, int pendingDot)
{
    std::wstring text;
    MaskApplyTo(source ? source : L"", mask ? mask : L"", text, pendingDot != 0);
    PathBufAppend(ctx, out, text.c_str(), PATH_LIMIT_FILE);
    return 1;
}

int WildcardEnumW(BDS* ctx, const wchar_t* source, const wchar_t* mask, PathBuf* out)
{
    LocalPathBuf target;
    if (!PathBufAppend(ctx, target.get(), mask, PATH_LIMIT_FILE) || !CompleteTarget(ctx, target.get()))
        return 0;

    wchar_t sourceDrive[3], sourceName[256], sourceExt[256];
    wchar_t maskDrive[3], maskName[256], maskExt[256];
    LocalPathBuf maskDir;
    if (!SplitLongPathW(ctx, source, sourceDrive, nullptr, sourceName, sourceExt) ||
        !SplitLongPathW(ctx, target.text(), maskDrive, maskDir.get(), maskName, maskExt))
        return 0;

    std::wstring result;
    if (maskDir.text()[0]) {
        if (LongPrefixKindW(target.text()) == 1)
            result = L"\\\\?\\";
        result += maskDrive;
        result += maskDir.text();
    } else if (!CurrentDirectoryOf(ctx, maskDrive[0], result)) {
        return 0;
    }
    MaskApplyTo(sourceName, maskName, result, false);
    MaskApplyTo(sourceExt, maskExt, result, true);

    out->text[0] = 0;
    return PathBufAppend(ctx, out, result.c_str(), PATH_LIMIT_FILE);
}
