// String transformation built-ins: StrReplace, StrClean, StrFill, the fixed-width family
// (StrFix, StrFixChars, StrFixLeft, StrFixCharsL, StrFixBytes, StrFixBytesL), StrTrim,
// StrTrimChar, StrInsert, StrOverlay, StrLower and StrUpper.
//
// Each result is a new text in the string heap, ANSI from the ANSI twin and wide from the
// wide one. The twins share one template over a character walker (text.h), so that ANSI
// text is cut and copied by whole characters.
#include <cstring>
#include <cwchar>

#include "engine/core/numtext.h"
#include "engine/core/text_length.h"
#include "engine/data/string_builtins.h"
#include "engine/data/text_cases.h"

namespace {

constexpr uint16_t ERR_FIX_LENGTH = 1571;
constexpr uint16_t ERR_CLEAN_CASE = 1616;
constexpr uint16_t ERR_CLEAN_MODE = 1617;
constexpr uint16_t ERR_BAD_START = 1826;
constexpr uint16_t ERR_BAD_LENGTH = 1827;

const char* Blank(const char*) { return " "; }
const wchar_t* Blank(const wchar_t*) { return L" "; }

// Code units of the first `count` characters of a text (at most the whole text).
template <typename W, typename C = typename W::Char>
size_t UnitsOf(const W& w, const C* text, int64_t count)
{
    const C* p = text;
    for (; count > 0 && *p; --count) p += w.size(p);
    return static_cast<size_t>(p - text);
}

template <typename W, typename C = typename W::Char>
int CharsOf(const W& w, const C* text)
{
    int n = 0;
    for (const C* p = text; *p; p += w.size(p)) ++n;
    return n;
}

// `count` characters of the pad repeated from its first character; the code units they
// take. The pad is not empty.
template <typename W, typename C = typename W::Char>
uint64_t CyclicUnits(const W& w, const C* pad, int64_t count)
{
    int chars = CharsOf(w, pad);
    uint64_t whole = static_cast<uint64_t>(count / chars) * UnitCount(pad);
    return whole + UnitsOf(w, pad, count % chars);
}

template <typename W, typename C = typename W::Char>
C* WriteCyclic(const W& w, C* out, const C* pad, int64_t count)
{
    const C* p = pad;
    for (; count > 0; --count) {
        if (!*p) p = pad;
        int n = w.size(p);
        std::memcpy(out, p, n * sizeof(C));
        out += n;
        p += n;
    }
    return out;
}

template <typename C>
void CopyResult(BDS* ctx, resultants* result, const C* text, size_t units)
{
    C* out = NewResultUnits<C>(ctx, result, units);
    if (out) PutUnits(out, text, units);
}

// ---------------------------------------------------------------- StrReplace

template <typename W, typename C = typename W::Char>
void Replace(BDS* ctx, const W& w, const C* text, const C* old, const C* with, resultants* result)
{
    size_t oldUnits = UnitCount(old), withUnits = UnitCount(with);
    uint64_t count = 0;
    if (*old) {
        for (const C* p = text; *p;) {
            if (w.at(p, old, false)) {
                ++count;
                p += oldUnits;
            } else {
                p += w.size(p);
            }
        }
    }
    size_t textUnits = UnitCount(text);
    if (count == 0) {
        CopyResult(ctx, result, text, textUnits);
        return;
    }
    C* out = NewResultUnits<C>(ctx, result, textUnits - count * oldUnits + count * withUnits);
    if (!out) return;
    for (const C* p = text; *p;) {
        if (w.at(p, old, false)) {
            out = PutUnits(out, with, withUnits);
            p += oldUnits;
        } else {
            int n = w.size(p);
            out = PutUnits(out, p, n);
            p += n;
        }
    }
}

// ---------------------------------------------------------------- StrClean

template <typename W, typename C = typename W::Char>
void Clean(BDS* ctx, const W& w, const C* text, const C* chars, const C* with, int matchCase,
           int mode, resultants* result)
{
    if (matchCase != 0 && matchCase != 1) {
        SetError(ctx, ERR_CLEAN_CASE);
        return;
    }
    if (mode != 1 && mode != 2) {
        SetError(ctx, ERR_CLEAN_MODE);
        return;
    }
    CharListSet listed = ListSet(w, chars, matchCase == 0);
    auto selected = [&](const C* p) { return listed.has(p) == (mode == 1); };
    size_t withUnits = UnitCount(with);
    uint64_t units = 0;
    for (const C* p = text; *p; p += w.size(p)) units += selected(p) ? withUnits : w.size(p);
    C* out = NewResultUnits<C>(ctx, result, units);
    if (!out) return;
    for (const C* p = text; *p;) {
        int n = w.size(p);
        out = selected(p) ? PutUnits(out, with, withUnits) : PutUnits(out, p, n);
        p += n;
    }
}

// ---------------------------------------------------------------- StrFill

template <typename W, typename C = typename W::Char>
void Fill(BDS* ctx, const W& w, const C* filler, int length, resultants* result)
{
    if (length <= 0) {
        CopyResult<C>(ctx, result, filler, 0);
        return;
    }
    if (!*filler) filler = Blank(filler);
    C* out = NewResultUnits<C>(ctx, result, CyclicUnits(w, filler, length));
    if (out) WriteCyclic(w, out, filler, length);
}

// ---------------------------------------------------------------- fixed width

// Width in characters, padded on the right: the text cut or padded to exactly `length`
// characters.
template <typename W, typename C = typename W::Char>
void FixRight(BDS* ctx, const W& w, const C* text, const C* pad, int length, resultants* result)
{
    if (!*pad) pad = Blank(pad);
    int n = CharsOf(w, text);
    if (length <= n) {
        CopyResult(ctx, result, text, UnitsOf(w, text, length));
        return;
    }
    size_t textUnits = UnitCount(text);
    C* out = NewResultUnits<C>(ctx, result, textUnits + CyclicUnits(w, pad, length - n));
    if (out) WriteCyclic(w, PutUnits(out, text, textUnits), pad, length - n);
}

// Width in characters, padded on the left; a shorter width keeps the text's end.
template <typename W, typename C = typename W::Char>
void FixLeft(BDS* ctx, const W& w, const C* text, const C* pad, int length, resultants* result)
{
    if (!*pad) pad = Blank(pad);
    int n = CharsOf(w, text);
    if (length <= n) {
        const C* tail = text + UnitsOf(w, text, n - length);
        CopyResult(ctx, result, tail, UnitCount(tail));
        return;
    }
    size_t textUnits = UnitCount(text);
    C* out = NewResultUnits<C>(ctx, result, textUnits + CyclicUnits(w, pad, length - n));
    if (out) PutUnits(WriteCyclic(w, out, pad, length - n), text, textUnits);
}

// Pad characters that fit into `room` bytes, from the pad's first character; stops at a
// double-byte character that would cross the limit.
int64_t PadCharsInBytes(const NarrowChars& w, const char* pad, int64_t room)
{
    int64_t chars = 0;
    for (const char* p = pad;; ++chars) {
        if (!*p) p = pad;
        int n = w.size(p);
        if (n > room) return chars;
        room -= n;
        p += n;
    }
}

// StrFixBytes, ANSI: at most `length` bytes of the text, then the pad up to `length`
// bytes; a double-byte character that would cross the limit is left out.
void FixBytesRightA(BDS* ctx, const NarrowChars& w, const char* text, const char* pad, int length,
                    resultants* result)
{
    if (!*pad) pad = " ";
    const char* p = text;
    while (*p && (p - text) + w.size(p) <= length) p += w.size(p);
    size_t kept = static_cast<size_t>(p - text);
    int64_t padChars = PadCharsInBytes(w, pad, length - static_cast<int64_t>(kept));
    char* out = NewResultUnits<char>(ctx, result, kept + CyclicUnits(w, pad, padChars));
    if (out) WriteCyclic(w, PutUnits(out, text, kept), pad, padChars);
}

// StrFixBytesL, ANSI: the last `length` bytes of the text, or the pad before the whole
// text up to `length` bytes; a double-byte character is never split.
void FixBytesLeftA(BDS* ctx, const NarrowChars& w, const char* text, const char* pad, int length,
                   resultants* result)
{
    if (!*pad) pad = " ";
    size_t textBytes = UnitCount(text);
    if (static_cast<size_t>(length) <= textBytes) {
        size_t from = textBytes - length;
        const char* p = text;
        while (static_cast<size_t>(p - text) < from) p += w.size(p);   // the next whole character
        CopyResult(ctx, result, p, UnitCount(p));
        return;
    }
    int64_t padChars = PadCharsInBytes(w, pad, length - static_cast<int64_t>(textBytes));
    char* out = NewResultUnits<char>(ctx, result, CyclicUnits(w, pad, padChars) + textBytes);
    if (out) PutUnits(WriteCyclic(w, out, pad, padChars), text, textBytes);
}

// ---------------------------------------------------------------- trimming

template <typename W, typename C = typename W::Char>
void TrimWhere(BDS* ctx, const W& w, const C* text, bool leading, bool trailing,
               const auto& trimmed, resultants* result)
{
    const C* start = text;
    if (leading)
        while (*start && trimmed(start)) start += w.size(start);
    const C* end = start;
    for (const C* p = start; *p; p += w.size(p))
        if (!trailing || !trimmed(p)) end = p + w.size(p);
    CopyResult(ctx, result, start, static_cast<size_t>(end - start));
}

template <typename W, typename C = typename W::Char>
void Trim(BDS* ctx, const W& w, const C* text, int mode, resultants* result)
{
    int bits = (mode & 3) ? (mode & 3) : 3;
    auto blank = [&](const C* p) { return w.size(p) == 1 && (*p == ' ' || *p == '\t'); };
    TrimWhere(ctx, w, text, (bits & 1) != 0, (bits & 2) != 0, blank, result);
}

template <typename W, typename C = typename W::Char>
void TrimChars(BDS* ctx, const W& w, const C* text, const C* chars, int mode, resultants* result)
{
    if (mode < 1 || mode > 3) mode = 3;
    CharListSet set = ListSet(w, chars, false);
    auto listed = [&](const C* p) { return set.has(p); };
    TrimWhere(ctx, w, text, (mode & 1) != 0, (mode & 2) != 0, listed, result);
}

}  // namespace

// ---------------------------------------------------------------- handlers

void DoStrReplaceA(BDS* ctx, const char* text, const char* old, const char* with, resultants* result)
{
    Replace(ctx, NarrowChars{TextTables(ctx)}, text, old, with, result);
}

void DoStrReplaceW(BDS* ctx, const wchar_t* text, const wchar_t* old, const wchar_t* with, resultants* result)
{
    Replace(ctx, WideChars{}, text, old, with, result);
}

void DoStrCleanA(BDS* ctx, const char* text, const char* chars, const char* with, int matchCase,
                 int mode, resultants* result)
{
    Clean(ctx, NarrowChars{TextTables(ctx)}, text, chars, with, matchCase, mode, result);
}

void DoStrCleanW(BDS* ctx, const wchar_t* text, const wchar_t* chars, const wchar_t* with,
                 int matchCase, int mode, resultants* result)
{
    Clean(ctx, WideChars{}, text, chars, with, matchCase, mode, result);
}

void DoStrFillA(BDS* ctx, const char* filler, int length, resultants* result)
{
    Fill(ctx, NarrowChars{TextTables(ctx)}, filler, length, result);
}

void DoStrFillW(BDS* ctx, const wchar_t* filler, int length, resultants* result)
{
    Fill(ctx, WideChars{}, filler, length, result);
}

void DoStrFixA(BDS* ctx, const char* text, const char* pad, int length, resultants* result)
{
    if (length < 0) return SetError(ctx, ERR_FIX_LENGTH);
    FixRight(ctx, NarrowChars{TextTables(ctx)}, text, pad, length, result);
}

void DoStrFixW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result)
{
    if (length < 0) return SetError(ctx, ERR_FIX_LENGTH);
    FixRight(ctx, WideChars{}, text, pad, length, result);
}

void DoStrFixCharsLA(BDS* ctx, const char* text, const char* pad, int length, resultants* result)
{
    if (length < 0) return SetError(ctx, ERR_FIX_LENGTH);
    FixLeft(ctx, NarrowChars{TextTables(ctx)}, text, pad, length, result);
}

void DoStrFixCharsLW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result)
{
    if (length < 0) return SetError(ctx, ERR_FIX_LENGTH);
    FixLeft(ctx, WideChars{}, text, pad, length, result);
}

void DoStrFixBytesA(BDS* ctx, const char* text, const char* pad, int length, resultants* result)
{
    if (length < 0) return SetError(ctx, ERR_FIX_LENGTH);
    FixBytesRightA(ctx, NarrowChars{TextTables(ctx)}, text, pad, length, result);
}

// Wide text has two bytes a unit: the width must be even.
void DoStrFixBytesW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result)
{
    if (length < 0 || (length & 1)) return SetError(ctx, ERR_FIX_LENGTH);
    FixRight(ctx, WideChars{}, text, pad, length / 2, result);
}

void DoStrFixBytesLA(BDS* ctx, const char* text, const char* pad, int length, resultants* result)
{
    if (length < 0) return SetError(ctx, ERR_FIX_LENGTH);
    FixBytesLeftA(ctx, NarrowChars{TextTables(ctx)}, text, pad, length, result);
}

void DoStrFixBytesLW(BDS* ctx, const wchar_t* text, const wchar_t* pad, int length, resultants* result)
{
    if (length < 0 || (length & 1)) return SetError(ctx, ERR_FIX_LENGTH);
    FixLeft(ctx, WideChars{}, text, pad, length / 2, result);
}

void DoStrTrimA(BDS* ctx, const char* text, int mode, resultants* result)
{
    Trim(ctx, NarrowChars{TextTables(ctx)}, text, mode, result);
}

void DoStrTrimW(BDS* ctx, const wchar_t* text, int mode, resultants* result)
{
    Trim(ctx, WideChars{}, text, mode, result);
}

void DoStrTrimCharA(BDS* ctx, const char* text, const char* chars, int mode, resultants* result)
{
    TrimChars(ctx, NarrowChars{TextTables(ctx)}, text, chars, mode, result);
}

void DoStrTrimCharW(BDS* ctx, const wchar_t* text, const wchar_t* chars, int mode, resultants* result)
{
    TrimChars(ctx, WideChars{}, text, chars, mode, result);
}

// ---------------------------------------------------------------- StrInsert, StrOverlay

namespace {

// The piece of StrInsert and StrOverlay: base up to start (padded), `length` units of the
// new text (padded or cut), then the rest of base, which StrOverlay writes over.
void InsertOrOverlay(BDS* ctx, const wchar_t* base, const wchar_t* add, const wchar_t* pad,
                     int start, int length, bool overlay, resultants* result)
{
    if (!WideFormAvailable(ctx)) return;
    int64_t baseUnits = static_cast<int64_t>(TextLength(base));
    if (start == -1) start = static_cast<int>(baseUnits + 1);
    if (start < 1) return SetError(ctx, ERR_BAD_START);
    if (length < 0) return SetError(ctx, ERR_BAD_LENGTH);
    if (!*pad) pad = L" ";
    WideChars w;
    int64_t head = start - 1;
    int64_t headFromBase = head < baseUnits ? head : baseUnits;
    int64_t addUnits = static_cast<int64_t>(TextLength(add));
    int64_t pieceFromAdd = addUnits < length ? addUnits : length;
    int64_t restFrom = overlay ? head + length : head;
    int64_t rest = restFrom < baseUnits ? baseUnits - restFrom : 0;
    wchar_t* out = NewResultUnits<wchar_t>(ctx, result, head + length + rest);
    if (!out) return;
    out = PutUnits(out, base, static_cast<size_t>(headFromBase));
    out = WriteCyclic(w, out, pad, head - headFromBase);
    out = PutUnits(out, add, static_cast<size_t>(pieceFromAdd));
    out = WriteCyclic(w, out, pad, length - pieceFromAdd);
    PutUnits(out, base + (baseUnits - rest), static_cast<size_t>(rest));
}

}  // namespace

void DoStrInsert(BDS* ctx, const wchar_t* base, const wchar_t* add, const wchar_t* pad, int start,
                 int length, resultants* result)
{
    InsertOrOverlay(ctx, base, add, pad, start, length, false, result);
}

void DoStrOverlay(BDS* ctx, const wchar_t* base, const wchar_t* add, const wchar_t* pad, int start,
                  int length, resultants* result)
{
    InsertOrOverlay(ctx, base, add, pad, start, length, true, result);
}

// ---------------------------------------------------------------- case

namespace {

// The system's case change over the whole text (CharUpperBuffA, CharLowerBuffA); under a
// test's code page, single-byte characters through that code page's tables (double-byte
// ones stay as they are).
void ChangeCaseA(BDS* ctx, const char* text, bool upper, resultants* result)
{
    size_t bytes = TextLength(text);
    char* out = NewResultTextA(ctx, result, bytes);
    if (!out) return;
    std::memcpy(out, text, bytes);
    const CodePageTables& t = TextTables(ctx);
    if (t.isAnsi) {
        if (bytes) upper ? CharUpperBuffA(out, static_cast<DWORD>(bytes))
                         : CharLowerBuffA(out, static_cast<DWORD>(bytes));
        return;
    }
    const uint8_t* map = upper ? t.upper : t.lower;
    for (char* p = out; *p; p += CharBytes(t, p))
        if (CharBytes(t, p) == 1) *p = static_cast<char>(map[static_cast<uint8_t>(*p)]);
}

void ChangeCaseW(BDS* ctx, const wchar_t* text, bool upper, resultants* result)
{
    size_t units = TextLength(text);
    wchar_t* out = NewResultTextW(ctx, result, units);
    if (!out) return;
    std::memcpy(out, text, units * sizeof(wchar_t));
    if (units) upper ? CharUpperBuffW(out, static_cast<DWORD>(units))
                     : CharLowerBuffW(out, static_cast<DWORD>(units));
}

}  // namespace

void DoStrLowerA(BDS* ctx, const char* text, resultants* result) { ChangeCaseA(ctx, text, false, result); }
void DoStrUpperA(BDS* ctx, const char* text, resultants* result) { ChangeCaseA(ctx, text, true, result); }
void DoStrLowerW(BDS* ctx, const wchar_t* text, resultants* result) { ChangeCaseW(ctx, text, false, result); }
void DoStrUpperW(BDS* ctx, const wchar_t* text, resultants* result) { ChangeCaseW(ctx, text, true, result); }

// ---------------------------------------------------------------- cases

namespace {

using namespace textcase;

void CaseStrReplace(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call))
        DoStrReplaceW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), WText(ctx, call, 3), call.result);
    else
        DoStrReplaceA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), Text(ctx, call, 3), call.result);
}

void CaseStrClean(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call))
        DoStrCleanW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), WText(ctx, call, 3),
                    ArgInt(call, 4), ArgInt(call, 5), call.result);
    else
        DoStrCleanA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), Text(ctx, call, 3),
                    ArgInt(call, 4), ArgInt(call, 5), call.result);
}

void CaseStrFill(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call)) DoStrFillW(ctx, WText(ctx, call, 1), ArgInt(call, 2), call.result);
    else DoStrFillA(ctx, Text(ctx, call, 1), ArgInt(call, 2), call.result);
}

using FixA = void (*)(BDS*, const char*, const char*, int, resultants*);
using FixW = void (*)(BDS*, const wchar_t*, const wchar_t*, int, resultants*);

void RunFix(BDS* ctx, BuiltinCall& call, FixA narrow, FixW wide)
{
    if (Wide(call)) wide(ctx, WText(ctx, call, 1), WText(ctx, call, 2), ArgInt(call, 3), call.result);
    else narrow(ctx, Text(ctx, call, 1), Text(ctx, call, 2), ArgInt(call, 3), call.result);
}

void CaseStrFix(BDS* ctx, BuiltinCall& call) { RunFix(ctx, call, DoStrFixA, DoStrFixW); }
void CaseStrFixLeft(BDS* ctx, BuiltinCall& call) { RunFix(ctx, call, DoStrFixCharsLA, DoStrFixCharsLW); }
void CaseStrFixBytes(BDS* ctx, BuiltinCall& call) { RunFix(ctx, call, DoStrFixBytesA, DoStrFixBytesW); }
void CaseStrFixBytesL(BDS* ctx, BuiltinCall& call) { RunFix(ctx, call, DoStrFixBytesLA, DoStrFixBytesLW); }

// StrTrim's mode arrives as text.
void CaseStrTrim(BDS* ctx, BuiltinCall& call)
{
    int mode = HasArg(call, 2) ? TextToLongA(Text(ctx, call, 2)) : 3;
    if (Wide(call)) DoStrTrimW(ctx, WText(ctx, call, 1), mode, call.result);
    else DoStrTrimA(ctx, Text(ctx, call, 1), mode, call.result);
}

void CaseStrTrimChar(BDS* ctx, BuiltinCall& call)
{
    int mode = ArgInt(call, 3, 3);
    if (Wide(call)) DoStrTrimCharW(ctx, WText(ctx, call, 1), WText(ctx, call, 2), mode, call.result);
    else DoStrTrimCharA(ctx, Text(ctx, call, 1), Text(ctx, call, 2), mode, call.result);
}

// StrInsert and StrOverlay: pad one blank, start 1 and the new text's length when omitted.
void CaseStrInsert(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* add = WText(ctx, call, 2);
    const wchar_t* pad = WText(ctx, call, 3, L" ");
    int start = ArgInt(call, 4, 1);
    int length = ArgInt(call, 5, static_cast<int32_t>(TextLength(add)));
    if (call.id == 713) DoStrOverlay(ctx, WText(ctx, call, 1), add, pad, start, length, call.result);
    else DoStrInsert(ctx, WText(ctx, call, 1), add, pad, start, length, call.result);
}

void CaseStrLower(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call)) DoStrLowerW(ctx, WText(ctx, call, 1), call.result);
    else DoStrLowerA(ctx, Text(ctx, call, 1), call.result);
}

void CaseStrUpper(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call)) DoStrUpperW(ctx, WText(ctx, call, 1), call.result);
    else DoStrUpperA(ctx, Text(ctx, call, 1), call.result);
}

void CaseStrCat(BDS* ctx, BuiltinCall& call) { DoStrCat(ctx, call.result); }

const BuiltinRow kRows[] = {
    {695, CaseStrClean},      // strclean
    {698, CaseStrFill},       // strfill
    {699, CaseStrFix},        // strfix
    {700, CaseStrFixBytes},   // strfixbytes
    {701, CaseStrFixBytesL},  // strfixbytesl
    {702, CaseStrFix},        // strfixchars
    {703, CaseStrFixLeft},    // strfixcharsl
    {704, CaseStrFixLeft},    // strfixleft
    {709, CaseStrInsert},     // strinsert
    {712, CaseStrLower},      // strlower
    {713, CaseStrInsert},     // stroverlay
    {714, CaseStrReplace},    // strreplace
    {718, CaseStrTrim},       // strtrim
    {719, CaseStrTrimChar},   // strtrimchar
    {721, CaseStrUpper},      // strupper
    {693, CaseStrCat},        // strcat
};

}  // namespace

const BuiltinFamily g_StrTransformBuiltins = {"strings: transformation", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
