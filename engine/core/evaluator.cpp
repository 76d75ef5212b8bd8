// The precedence chain of the expression evaluator: nine levels from && || down to the
// primary, which reads operands, literals, @constants, unary operators and calls.
#include "engine/core/evaluator.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/com/com_adapter.h"
#include "engine/com/com_safearray.h"
#include "engine/core/compiled_expr.h"
#include "engine/core/errors.h"
#include "engine/core/eval_internal.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/multiline.h"
#include "engine/core/numtext.h"
#include "engine/core/operators.h"
#include "engine/core/router.h"
#include "engine/core/short_text.h"
#include "engine/core/stack_guard.h"
#include "engine/core/text_bounded.h"
#include "engine/core/text_length.h"
#include "engine/core/tokenizer.h"

// ---------------------------------------------------------------- shared helpers

void ReleaseTemp(BDS* ctx, resultants* r)
{
    bool borrowed = r->originVar != ORIGIN_NONE;
    FreeValue(ctx, r, 0, VK_RECORD | (borrowed ? 0x200 : 0));
    r->flags = VF_INT;
    r->i32 = 0;
}

void FailWithMessage(BDS* ctx, uint16_t error, int message, const char* prefix)
{
    char text[TEXTBUF + 300];
    size_t n = 0;
    if (prefix) {
        n = TextLength(prefix);
        if (n > TEXTBUF - 1)
            n = TEXTBUF - 1;
        std::memcpy(text, prefix, n);
        text[n++] = ' ';
    }
    text[n] = 0;
    LoadMyString(ctx, EngineModule(), message, text + n, static_cast<int>(sizeof(text) - n));
    SetError(ctx, error);
    AppendExtendedError(ctx, text);
}

void LockArrayBlock(ArrayHeader* a)
{
    AddArrayRef(a);
}

void UnlockArrayBlock(ArrayHeader* a)
{
    if (a && a->refs > 1 && a->refs != UINT32_MAX)
        --a->refs;
}

namespace {

inline void Next(BDS* ctx) { get_token(ctx); }

inline bool IsKeywordToken(const BDS* ctx) { return ctx->nTokenKind == TK_KEYWORD; }

// ---------------------------------------------------------------- binary levels

using LevelFn = void (*)(BDS*, resultants*);

template <typename Belongs>
void BinaryLevel(BDS* ctx, resultants* result, LevelFn next, Belongs belongs)
{
    next(ctx, result);
    while (!ctx->nErrorCode && IsKeywordToken(ctx) && belongs(ctx->delim_type)) {
        uint16_t op = ctx->delim_type;
        Next(ctx);
        if (ctx->nErrorCode)
            return;
        resultants right;
        InitTemp(ctx, &right);
        next(ctx, &right);
        if (!ctx->nErrorCode)
            ApplyBinaryOperator(ctx, op, result, &right);
        ReleaseTemp(ctx, &right);
    }
}

bool IsComparison(uint16_t id)
{
    return id == KID_EQ || id == KID_NE || id == KID_LTGT || id == KID_GT || id == KID_GE
        || id == KID_LT || id == KID_LE;
}

}  // namespace

void ParseLogicalExpr(BDS* ctx, resultants* result)
{
    if (RunCompiledExpression(ctx, result))
        return;
    BinaryLevel(ctx, result, ParseBitwiseExpr,
                [](uint16_t id) { return id == KID_ANDAND || id == KID_OROR; });
}

void ParseBitwiseExpr(BDS* ctx, resultants* result)
{
    BinaryLevel(ctx, result, ParseRelationalExpr,
                [](uint16_t id) { return id == KID_XOR || id == KID_AMP || id == KID_BAR; });
}

void ParseRelationalExpr(BDS* ctx, resultants* result)
{
    ParseConcatExpr(ctx, result);
    while (!ctx->nErrorCode && IsKeywordToken(ctx) && ctx->delim_type != KID_ASSIGN) {
        uint16_t op = ctx->delim_type;
        if (!IsComparison(op))
            return;
        Next(ctx);
        if (ctx->nErrorCode)
            return;
        resultants right;
        InitTemp(ctx, &right);
        ParseConcatExpr(ctx, &right);
        if (!ctx->nErrorCode)
            CompareValues(ctx, op, result, &right, 1, 0);
        ReleaseTemp(ctx, &right);
    }
    if (!ctx->nErrorCode && AtKeyword(ctx, KID_ASSIGN))
        FailWithMessage(ctx, ERR_ASSIGN_NOT_LEGAL, MSG_USE_DOUBLE_EQUALS);
}

// A chain of `:` appends each operand to the text built so far (see ConcatRoom), so a text
// that grows by a few operands per statement is not copied once per operand.
void ParseConcatExpr(BDS* ctx, resultants* result)
{
    ParseShiftExpr(ctx, result);
    ContinueConcatChain(ctx, result);
}

void ContinueConcatChain(BDS* ctx, resultants* result)
{
    ConcatRoom room{};
    while (!ctx->nErrorCode && IsKeywordToken(ctx) && ctx->delim_type == KID_COLON) {
        Next(ctx);
        if (ctx->nErrorCode)
            break;
        resultants right;
        InitTemp(ctx, &right);
        ParseShiftExpr(ctx, &right);
        if (!ctx->nErrorCode)
            ConcatValuesInRoom(ctx, result, &right, &room);
        ReleaseTemp(ctx, &right);
    }
    EndConcatRoom(ctx, result, &room);
}

void ParseShiftExpr(BDS* ctx, resultants* result)
{
    BinaryLevel(ctx, result, ParseAdditiveExpr,
                [](uint16_t id) { return id == KID_SHL || id == KID_SHR; });
}

void ParseAdditiveExpr(BDS* ctx, resultants* result)
{
    BinaryLevel(ctx, result, ParseMultiplicativeExpr,
                [](uint16_t id) { return id == KID_PLUS || id == KID_MINUS; });
}

void ParseMultiplicativeExpr(BDS* ctx, resultants* result)
{
    BinaryLevel(ctx, result, ParsePowerExpr, [](uint16_t id) {
        return id == KID_STAR || id == KID_SLASH || id == KID_MOD;
    });
}

void ParsePowerExpr(BDS* ctx, resultants* result)
{
    BinaryLevel(ctx, result, ParsePrimaryExpr, [](uint16_t id) { return id == KID_POWER; });
}

// ---------------------------------------------------------------- calls

namespace {

constexpr int MAX_ARGS = 16;
constexpr uint32_t TYPE_NOT_IN_PRODUCT = 0x2000;
constexpr size_t NAME_COPY = 64;

bool IsUdfId(uint32_t id) { return id >= UDFSTART && id < UDFSTART + 999; }

// The parse state around a call: a user-defined function runs its own lines through the
// same context, so the caller's position and token are put back afterwards.
struct ParseState {
    char* prog;
    uint8_t kind;
    uint16_t id;
    uint16_t length;
    uint32_t assignAllowed;
    uint16_t multilinePrefix;
};

ParseState SaveParseState(const BDS* ctx)
{
    return {ctx->prog, ctx->nTokenKind, ctx->delim_type, ctx->front.nTokenLength,
            ctx->front.bAssignAllowed, ctx->front.nMultilinePrefix};
}

void RestoreParseState(BDS* ctx, const ParseState& s)
{
    ctx->prog = s.prog;
    ctx->nTokenKind = s.kind;
    ctx->delim_type = s.id;
    ctx->front.nTokenLength = s.length;
    ctx->front.bAssignAllowed = s.assignAllowed;
    ctx->front.nMultilinePrefix = s.multilinePrefix;
}

// Calls the router and puts the parse state back (a callback into a user-defined
// function may run while a built-in waits, too).
void Call(BDS* ctx, const char* name, uint16_t id, resultants* result, resultants* args,
          int noConversion, int argc, uint64_t signature)
{
    ParseState state = SaveParseState(ctx);
    CallBuiltinFunction(ctx, name, id, result, args, noConversion, argc, signature);
    // A function that reads its own arguments leaves the position behind them.
    if (!noConversion || IsUdfId(id))
        RestoreParseState(ctx, state);
}

struct ArgBlock {
    resultants rec[MAX_ARGS + 1];
};

void InitArgs(BDS* ctx, ArgBlock& args)
{
    for (resultants& r : args.rec)
        InitTemp(ctx, &r);
}

void ReleaseArgs(BDS* ctx, ArgBlock& args, int count)
{
    for (int i = 1; i <= count; ++i)
        ReleaseTemp(ctx, &args.rec[i]);
}

void LockArgArrays(ArgBlock& args, int count, bool lock)
{
    for (int i = 1; i <= count; ++i)
        if (ArrayHeader* a = ArrayOf(&args.rec[i]))
            lock ? LockArrayBlock(a) : UnlockArrayBlock(a);
}

// The arguments between the parentheses; the current token is the token after `(`.
// Answers the number read, -1 on error (arguments released).
int ReadArguments(BDS* ctx, ArgBlock& args, uint32_t required, uint32_t maximum)
{
    int n = 0;
    if (maximum > 0) {
        for (uint32_t i = 1;; ++i) {
            if (AtKeyword(ctx, KID_RPAREN) && i > required)
                break;
            if (i > 1) {
                if (!AtKeyword(ctx, KID_COMMA)) {
                    ReleaseArgs(ctx, args, n);
                    FailWithMessage(ctx, ERR_DELIMITER, MSG_MORE_PARAMETERS);
                    return -1;
                }
                Next(ctx);
                if (ctx->nErrorCode) {
                    ReleaseArgs(ctx, args, n);
                    return -1;
                }
            }
            ProcessSubExpression(ctx, &args.rec[i], 0, 0, nullptr);
            n = static_cast<int>(i);
            if (ctx->nErrorCode) {
                ReleaseArgs(ctx, args, n);
                return -1;
            }
            if (i < required && !AtKeyword(ctx, KID_COMMA)) {
                ReleaseArgs(ctx, args, n);
                FailWithMessage(ctx, ERR_DELIMITER, MSG_MORE_PARAMETERS);
                return -1;
            }
            if (i == maximum)
                break;
        }
    }
    if (!AtKeyword(ctx, KID_RPAREN)) {
        ReleaseArgs(ctx, args, n);
        FailWithMessage(ctx, ERR_ARG_COUNT, MSG_MISSING_PAREN);
        return -1;
    }
    return n;
}

// An object expression (id 34): the object handler reads the rest itself.
void CallObjectExpression(BDS* ctx, resultants* result)
{
    char text[TEXTBUF];
    CopyStringBoundedA(ctx, text, ctx->szToken, sizeof(text));
    ArgBlock args;
    InitArgs(ctx, args);
    Call(ctx, text, KID_OLEOBJECT, result, args.rec, 1, 0, 0);
    if (!ctx->nErrorCode)
        Next(ctx);
}

void CallFunction(BDS* ctx, resultants* result, uint16_t id)
{
    if (id == KID_OLEOBJECT) {
        CallObjectExpression(ctx, result);
        return;
    }
    uint32_t required, optional;
    uint64_t signature;
    if (IsUdfId(id)) {
        const UdfRecord* u = UdfRecordOfId(ctx, id);
        required = u ? u->paramCount : 0;
        optional = 0;
        signature = ~0ull;
    } else {
        const KeywordRecord* r = KeywordRecordOf(ctx, id);
        required = r->arity & 0xFF;
        optional = (r->arity >> 8) & 0xFF;
        signature = r->signature;
    }
    bool selfParsing = required == 255;
    if (!selfParsing && required + optional > MAX_ARGS) {
        SetError(ctx, ERR_TOO_MANY_ARGS_DEFINED);
        return;
    }
    char name[NAME_COPY];
    CopyStringBoundedA(ctx, name, ctx->szToken, sizeof(name));
    Next(ctx);
    if (ctx->nErrorCode)
        return;
    if (!AtKeyword(ctx, KID_LPAREN)) {
        FailWithMessage(ctx, ERR_OPEN_PAREN, MSG_OPEN_PAREN, name);
        return;
    }
    ArgBlock args;
    InitArgs(ctx, args);
    if (selfParsing) {
        Call(ctx, name, id, result, args.rec, 1, 0, signature);
        ReleaseArgs(ctx, args, MAX_ARGS);
    } else {
        Next(ctx);
        if (ctx->nErrorCode)
            return;
        int argc = ReadArguments(ctx, args, required, required + optional);
        if (argc < 0)
            return;
        LockArgArrays(args, argc, true);
        Call(ctx, name, id, result, args.rec, 0, argc, signature);
        LockArgArrays(args, argc, false);
        ReleaseArgs(ctx, args, argc);
    }
    if (!ctx->nErrorCode)
        Next(ctx);
}

// A command (type 9): its parameters follow its name without parentheses or separators,
// and the line must end after them.
void CallCommand(BDS* ctx, resultants* result, uint16_t id)
{
    bool udf = IsUdfId(id);
    uint32_t count;
    uint64_t signature;
    if (udf) {
        const UdfRecord* u = UdfRecordOfId(ctx, id);
        count = u ? u->paramCount : 0;
        signature = ~0ull;
    } else {
        const KeywordRecord* r = KeywordRecordOf(ctx, id);
        count = r->arity & 0xFF;
        signature = r->signature;
    }
    bool noArguments = count == 255;
    if (noArguments)
        count = 0;
    if (count > MAX_ARGS)
        count = MAX_ARGS;
    char name[NAME_COPY];
    CopyStringBoundedA(ctx, name, ctx->szToken, sizeof(name));
    Next(ctx);
    if (ctx->nErrorCode)
        return;
    ArgBlock args;
    InitArgs(ctx, args);
    int argc = 0;
    for (uint32_t i = 1; i <= count; ++i) {
        ProcessSubExpression(ctx, &args.rec[i], 0, 0, nullptr);
        argc = static_cast<int>(i);
        if (ctx->nErrorCode) {
            ReleaseArgs(ctx, args, argc);
            return;
        }
    }
    if (ctx->nTokenKind != TK_END) {
        ReleaseArgs(ctx, args, argc);
        SetError(ctx, ERR_PAST_END);
        return;
    }
    LockArgArrays(args, argc, true);
    if (!udf || ctx->run.bStatementTakesCommands)
        Call(ctx, name, id, result, args.rec, noArguments ? 1 : 0, argc, signature);
    LockArgArrays(args, argc, false);
    ReleaseArgs(ctx, args, argc);
}

// `&` before a name: the pointer text of that variable, whether it has a value or not.
void PointerToName(BDS* ctx, resultants* result)
{
    uint16_t index = FindVarIndex(ctx, ctx->front.szName);
    if (index == VAR_NOT_FOUND || index == 0) {
        SetError(ctx, ERR_UNDEFINED);
        return;
    }
    Next(ctx);
    if (ctx->nErrorCode)
        return;
    if (AtKeyword(ctx, KID_LBRACKET)) {
        SetError(ctx, ERR_BAD_AMPERSAND);
        return;
    }
    char text[POINTER_TEXT_SIZE];
    if (!FormatVarPointer(ctx, index, text, sizeof(text))) {
        SetError(ctx, ERR_BAD_AMPERSAND);
        return;
    }
    SetResultText(ctx, result, text);
}

}  // namespace

// ---------------------------------------------------------------- level 9

void ParsePrimaryExpr(BDS* ctx, resultants* result)
{
    if (!IsKeywordToken(ctx)) {
        ParseOperand(ctx, result);
        return;
    }
    uint16_t id = ctx->delim_type;
    uint32_t type = KeywordTypeOf(ctx, id);
    if (type != 0xFFFFFFFF && (type & TYPE_NOT_IN_PRODUCT)) {
        SetError(ctx, ERR_NOT_IN_PRODUCT);
        return;
    }
    switch (type) {
    case KT_UNARY:
        Next(ctx);
        if (ctx->nErrorCode || !StackRoomLeft(ctx))
            return;
        if (id == KID_STAR && AtKeyword(ctx, KID_OLEOBJECT)) {
            ctx->front.bDereference = 1;
            ParsePrimaryExpr(ctx, result);
            ctx->front.bDereference = 0;
            return;
        }
        if (id == KID_AMP && ctx->nTokenKind == TK_NAME) {
            PointerToName(ctx, result);
            return;
        }
        ParsePrimaryExpr(ctx, result);
        if (!ctx->nErrorCode)
            ApplyUnaryOperator(ctx, id, result);
        return;
    case KT_FUNCTION:
        CallFunction(ctx, result, id);
        return;
    case KT_SPECIAL:
        CallSpecialFunction(ctx, result, id);
        return;
    case KT_COMMAND:
        CallCommand(ctx, result, id);
        return;
    default:
        ParseOperand(ctx, result);
        return;
    }
}

// ---------------------------------------------------------------- operands

namespace {

const double kFloatConstants[32] = {
    3.141592653589793,  2.718281828459045, 0.017453292519943, 57.29577951308232,
    6.6256e-34,         6.6252e-27,        32.174,            9.80665,
    1.66043e-27,        6.02252e+23,       1.38054e-23,       8.8541853e-12,
    0.5772156649015339, 96487.0,           1.618033988749895, 6.67e-11,
    299792500.0,        1.256637,          206.265,           186272.0,
};

const char* const kStringConstants[4] = {"\r\n", "\t", "\r", "\n"};

}  // namespace

void ConstantValue(BDS* ctx, resultants* result, uint32_t word)
{
    if ((word & 0xFFFFFF00u) == 0xF0F0F000u) {
        SetResultFloat(ctx, result, kFloatConstants[word & 31]);
    } else if ((word & 0xFFFFFF00u) == 0xFFF0F000u) {
        uint32_t k = word & 31;
        SetResultText(ctx, result, k < 4 ? kStringConstants[k] : "");
    } else {
        SetResultInt(ctx, result, static_cast<int32_t>(word));
    }
}

namespace {

// The variable of the current name token: the entry the tokenizer found or made for it
// when it still holds the name and has a value, else find_var's answer (and its errors).
int VariableOfToken(BDS* ctx)
{
    uint16_t known = ctx->front.nNameIndex;
    if (known > 0 && known < ctx->nVarUsed) {
        const VariableEntry& v = ctx->pVars[known];
        if ((v.flags & VF_HAS_VALUE) && SameText(v.name, ctx->szToken))
            return known;
    }
    return find_var(ctx, ctx->szToken, 1);
}

void ReadVariable(BDS* ctx, resultants* result)
{
    int index = VariableOfToken(ctx);
    if (index < 0)
        return;
    const VariableEntry& v = ctx->pVars[index];
    if (HoldsSafeArray(&v)) {
        // A SAFEARRAY: an element when subscripts follow, else the whole variant.
        Next(ctx);
        if (ctx->nErrorCode)
            return;
        if (AtKeyword(ctx, KID_LBRACKET)) {
            if (GateSafeArrayElementGet(ctx, ctx->pVars[index], result))
                Next(ctx);
            return;
        }
        CopyValue(ctx, &ctx->pVars[index], result, index, VK_ARGUMENT | 0x20 | 0x200);
        return;
    }
    if (v.flags & VF_ARRAY) {
        ArrayHeader* array = ArrayOf(&v);
        Next(ctx);
        if (ctx->nErrorCode)
            return;
        if (!AtKeyword(ctx, KID_LBRACKET)) {
            CopyValue(ctx, &ctx->pVars[index], result, index, VK_ARGUMENT | 0x20);
            return;
        }
        int depth = 0;
        ArrayElement* element = nullptr;
        if (!EvalSubscript(ctx, array, &depth, &element))
            return;
        if (!(element->flags & VF_HAS_VALUE)) {
            SetError(ctx, ERR_ELEMENT_UNINIT);
            return;
        }
        CopyValue(ctx, element, result, 0, VK_ELEMENT | 0x20 | 0x200);
        if (!ctx->nErrorCode)
            Next(ctx);
        return;
    }
    CopyValue(ctx, &ctx->pVars[index], result, index, VK_ARGUMENT | 0x20 | 0x200);
    if (!ctx->nErrorCode)
        Next(ctx);
}

}  // namespace

void ParseOperand(BDS* ctx, resultants* result)
{
    if (IsKeywordToken(ctx)) {
        if (ctx->delim_type == KID_LPAREN) {
            Next(ctx);
            if (ctx->nErrorCode)
                return;
            ProcessSubExpression(ctx, result, 0, 0, nullptr);
            if (ctx->nErrorCode)
                return;
            if (!AtKeyword(ctx, KID_RPAREN)) {
                SetError(ctx, ERR_UNBALANCED_PAREN);
                return;
            }
            Next(ctx);
            return;
        }
        if (KeywordTypeOf(ctx, ctx->delim_type) == KT_CONSTANT) {
            ConstantValue(ctx, result, KeywordRecordOf(ctx, ctx->delim_type)->arity);
            if (!ctx->nErrorCode)
                Next(ctx);
            return;
        }
    }
    ParseNameOrLiteral(ctx, result);
}

void ParseNameOrLiteral(BDS* ctx, resultants* result)
{
    switch (ctx->nTokenKind) {
    case TK_NAME:
        ReadVariable(ctx, result);
        return;
    case TK_INTEGER: {
        int64_t v = ctx->front.number.integer;
        if (!ctx->front.bNumberReady && !ParseIntegerTextA(ctx->szToken, &v)) {
            SetError(ctx, ERR_NOT_NUMBER);
            return;
        }
        if (v <= INT32_MAX)
            SetResultInt(ctx, result, static_cast<int32_t>(v));
        else
            SetResultInt64(ctx, result, v);
        break;
    }
    case TK_FLOAT: {
        double d = ctx->front.bNumberReady ? ctx->front.number.real : std::strtod(ctx->szToken, nullptr);
        if (std::isinf(d)) {
            SetError(ctx, ERR_FP_OVERFLOW);
            return;
        }
        SetResultFloat(ctx, result, d);
        break;
    }
    case TK_STRING:
        if (!SetResultText(ctx, result, ctx->szToken))
            return;
        break;
    case TK_DOLLARQUOTE:
        if (!ParseMultilineString(ctx, result, nullptr))
            return;
        break;
    default:
        SetError(ctx, ERR_ILLEGAL_SYNTAX);
        return;
    }
    Next(ctx);
}
