// The tokenizer: reads one token at a time at ctx->prog into ctx->szToken, classifies it
// (ctx->nTokenKind, ctx->delim_type) and creates variables on first sight of a name; the
// look-ups of a variable by name and of its value as display text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

// Token errors.
enum : uint16_t {
    ERR_WORD_TOO_LONG = 3053,       // get_string_token: word over 2050 bytes
    ERR_UNRECOGNIZED = 3054,
    ERR_NAME_TOO_LONG = 3055,
    ERR_VARS_FULL = 3097,
    ERR_TOO_MANY_DOTS = 3338,
    ERR_TOO_MANY_ES = 3339,
};

constexpr uint16_t VAR_NOT_FOUND = 65535;

// Reads the next token. Answers 0, or 1 when the token is an `&` that stands before an
// operand (a unary `&`); on failure the error number, which is also in ctx->nErrorCode.
// At the end of the line (NUL or a ';' comment) the kind is TK_END and prog stays there.
extern "C" int get_token(BDS* ctx);

// Moves prog back to the start of the last token (nothing after TK_END).
extern "C" void putback(BDS* ctx);

// Reads a bare word (letters, digits, '@', '_') as a TK_STRING with delim_type 65535.
// Answers 0xFFFFFFFF when a word was read, the byte at prog (0 or ';') at the end of the
// line, or 3053/3054 on error.
extern "C" uint32_t get_string_token(BDS* ctx);

// The text of the quoted literal at start (its quote first) into out (TEXTBUF bytes): a
// doubled quote stands for one, a double-byte character is copied whole, at most 2049
// bytes. *end receives where the literal ends in the line. Answers the text's length.
size_t QuotedText(const char* start, char* out, const char** end);

// Finds the variable of the name key (length bytes) or creates it, as reading the name as
// a token does (the no-create and create-defined flags apply); its entry goes to
// front.nNameIndex. Answers 0, or 3097 when the table is full.
int EnterVariable(BDS* ctx, const char* name, size_t length);

// Index of the variable with that name in the current table (entries with a value or
// uninitialised), 65535 when there is none. A name whose first byte has the high bit set
// (the no-create form of entry 0) keeps that byte as it is.
uint16_t FindVarIndex(BDS* ctx, const char* name);

// The value of the variable `name` (optionally "name[subscripts]") as ANSI text in
// buffer. Answers non-zero when the text was made, 0 when the variable is missing, has no
// value or cannot be shown (no error stays set).
int ValueToDisplayText(BDS* ctx, const char* name, char* buffer, size_t size);
// A value head as ANSI text (a number converted, a text cut to size - 1 bytes); 0 when it
// cannot be shown.
int ValueHeadToText(BDS* ctx, const ValueHead* value, char* buffer, size_t size);

// The record of keyword `id` in its table (static, host or add-on), null for user-defined
// functions and unknown ids.
const KeywordRecord* KeywordRecordOf(BDS* ctx, uint32_t id);

// Length of keyword `id`'s name in the line, from its table (0 for an unknown id).
uint32_t KeywordNameLength(BDS* ctx, uint32_t id);

// The record of a user-defined function's id (4000-4998), null for other ids and for an
// id whose function is gone.
const UdfRecord* UdfRecordOfId(BDS* ctx, uint32_t id);

// The KeywordType of `id` (a user-defined function's kind; 0xFFFFFFFF for an unknown id).
uint32_t KeywordTypeOf(BDS* ctx, uint32_t id);
