// The member-access parser: reads an object text (obj.A.B) and the script line after it
// through the core's tokenizer: member names, argument lists (positional, omitted, typed,
// named), property assignments, constant names and SAFEARRAY subscripts.
//
// When it looks ahead and the token does not fit, it puts the parse position and the
// current token back exactly as they were, so the core sees the line unchanged.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/com/com_params.h"
#include "engine/core/context.h"

constexpr size_t OBJECT_TEXT_MAX = 2050;
constexpr int MAX_SAFEARRAY_SUBSCRIPTS = 5;

// The current token and parse position, to look ahead and come back.
struct TokenMark {
    char* prog;
    uint8_t kind;
    uint16_t id;
    uint16_t length;
    char text[TEXTBUF];
};
void MarkToken(const BDS* ctx, TokenMark* mark);
void ReturnToMark(BDS* ctx, const TokenMark& mark);

class CParseObject {
public:
    CParseObject(BDS* ctx, const char* objectText);
    virtual ~CParseObject() = default;

    // The next name of the object text into `out` (at most size - 1 characters, else
    // 3245). Answers 1, or 0 when the text is exhausted or on error.
    int TakeMemberName(char* out, size_t size);
    // The next member of the chain, continuing on the line after ")" when the text is
    // exhausted; "(" is left as the current token when an argument list follows.
    // Answers 1, or 0 when the chain has ended (or on error).
    int ParseMemberName(char* out, size_t size);
    // One argument of the list: 1 read (the count grows), 0 no more (or error).
    int ParseMemberArgument(CallArgument& argument, std::vector<BSTR>& names);
    // A property assignment after the member: 1 with the value read.
    int ParsePropertyPutValue(CResultVar& value);
    // The one name of a constants lookup (3074, 3066).
    int ParseConstantName(char* out, size_t size);
    // Starts over on a new object text (a dotted name met on the line).
    void ResetObjectText(const char* text);

    bool Exhausted() const { return *pos_ == 0; }
    uint32_t ArgumentCount() const { return count_; }
    void BeginArguments() { mode_ = 2; count_ = 0; first_ = true; }
    // A dotted name before ":" names a .NET type (for the members of .NET objects).
    void AllowTypeNames(bool allow) { allowTypeNames_ = allow; }

private:
    BDS* ctx_;
    char text_[OBJECT_TEXT_MAX + 1];
    const char* pos_;
    uint32_t mode_ = 4;     // 3 once named arguments have begun
    uint32_t count_ = 0;
    bool first_ = true;
    bool allowTypeNames_ = false;
    int ParseArgumentTypePrefix(VARTYPE* type, std::wstring* typeName);
};

// "[" then 1 to 5 integer subscripts and "]" at the parse position (the current token or
// the next). Answers the count, 0 when no "[" follows (the token put back), -1 on error
// (1628, 1633, 1634, 1635).
int ParseSafeArraySubscripts(BDS* ctx, int32_t subscripts[MAX_SAFEARRAY_SUBSCRIPTS]);

// Whether the rest of the line, after blanks, begins with `c`.
bool LineContinuesWith(const BDS* ctx, char c);
// The expression at the current token, evaluated and taken over by `target`: 1, or 0 with
// the error set.
int AdoptExpression(BDS* ctx, CResultVar& target);
