// Arguments and results of the file-list built-ins as wide text: an argument that the
// router converted to ANSI (outside Unicode mode) is widened here, so that one handler
// serves both modes; results go back in the form the mode asks for.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/router.h"
#include "engine/files/file_text.h"

// The wide text of argument i, whichever form the router gave it. An argument converted to
// ANSI that came as wide text keeps its wide form beside the ANSI one: that form is taken,
// since the ANSI one has lost the letters outside the code page (a file in a folder named
// so would be missed).
class ArgPath {
public:
    ArgPath(BDS* ctx, const BuiltinCall& call, int i)
    {
        if (ArgIsWide(call, i) || (HasArg(call, i) && (call.args[i].flags & VF_UNICODE))) {
            text_ = ArgWText(ctx, call, i);
        } else {
            widened_ = FileNameToWide(ArgText(ctx, call, i));
            text_ = widened_.c_str();
        }
    }
    ArgPath(const ArgPath&) = delete;
    ArgPath& operator=(const ArgPath&) = delete;
    const wchar_t* text() const { return text_; }

private:
    std::wstring widened_;
    const wchar_t* text_;
};

// Argument i as a path for the handlers that work on ANSI names: its ANSI text, or, where
// it came wide, the form that still names the file in ANSI (PathForAnsiUse).
class ArgAnsiPath {
public:
    ArgAnsiPath(BDS* ctx, const BuiltinCall& call, int i)
    {
        if (HasArg(call, i) && (call.args[i].flags & VF_UNICODE)) {
            converted_ = PathForAnsiUse(ArgWText(ctx, call, i));
            text_ = converted_.c_str();
        } else {
            text_ = ArgText(ctx, call, i);
        }
    }
    ArgAnsiPath(const ArgAnsiPath&) = delete;
    ArgAnsiPath& operator=(const ArgAnsiPath&) = delete;
    const char* text() const { return text_; }

private:
    std::string converted_;
    const char* text_;
};

// A text result: wide in Unicode mode, else in the system's ANSI code page where that says
// it exactly. A name or folder with letters outside the code page comes back wide: its
// ANSI form would hold "?" in their place and name no file at all.
inline int SetResultPathText(BDS* ctx, resultants* result, const std::wstring& text)
{
    if (IsUnicodeMode())
        return SetResultWText(ctx, result, text.c_str(), text.size());
    return SetResultTextExact(ctx, result, text.c_str(), text.size());
}

// The result forms of the size built-ins.
enum : int32_t { SIZE_FLOAT = 0, SIZE_TEXT = 1, SIZE_INT64 = 2 };

// A byte count in the form asked for: a 64-bit integer, decimal text, or (any other format)
// a floating-point number that also carries its integer form where the count fits in 32
// bits, so that such a size reads and prints as the whole number it is.
inline void SetResultSize(BDS* ctx, resultants* result, int32_t format, uint64_t bytes)
{
    if (format == SIZE_INT64) {
        SetResultInt64(ctx, result, static_cast<int64_t>(bytes));
    } else if (format == SIZE_TEXT) {
        char text[24];
        snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(bytes));
        SetResultText(ctx, result, text);
    } else {
        SetResultFloat(ctx, result, static_cast<double>(bytes));
        if (bytes <= static_cast<uint64_t>(INT32_MAX)) {
            result->i32 = static_cast<int32_t>(bytes);
            result->flags |= VF_INT;
        }
    }
}

// The result of a file-list built-in: its success word, never 1 while an error is pending.
inline void SetResultWalk(BDS* ctx, resultants* result, int32_t success)
{
    SetResultInt(ctx, result, success && ctx->nErrorCode == 0 ? 1 : 0);
}
