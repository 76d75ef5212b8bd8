// The operators: binary arithmetic, bitwise and logical operators on 32-bit, 64-bit and
// floating-point numbers, the concatenation `:`, the numeric unary operators and the
// comparisons with their type rules.
#include "engine/core/operators.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "engine/core/heap.h"
#include "engine/core/numtext.h"
#include "engine/core/text_length.h"

uint32_t nPendingMathError;

namespace {

enum NumClass { NC_INT, NC_INT64, NC_FLOAT, NC_BAD };

constexpr int KIND_RECORD = VK_RECORD;
constexpr int KEEP_ARRAYS_AND_COM = 0x300;

// The record no longer belongs to a variable: texts released, origin cleared.
void MakeTemporary(BDS* ctx, resultants* r)
{
    FreeValue(ctx, r, 0, KIND_RECORD);
    r->originAddr = 0;
    r->originVar = ORIGIN_NONE;
    r->originScope = 0xFFFF;
}

void SetInt(BDS* ctx, resultants* r, int32_t v)
{
    MakeTemporary(ctx, r);
    r->i32 = v;
    r->flags = VF_INT;
}

void SetInt64(BDS* ctx, resultants* r, int64_t v)
{
    MakeTemporary(ctx, r);
    r->i64 = v;
    r->flags = VF_INT64;
}

void SetFloat(BDS* ctx, resultants* r, double v)
{
    MakeTemporary(ctx, r);
    r->dbl = v;
    r->flags = VF_FLOAT;
}

// The number class of an operand; conversions add the numeric form to the record.
NumClass ClassOperand(BDS* ctx, resultants* v, bool unary)
{
    if (v->flags & VF_INT)
        return NC_INT;
    if (v->flags & VF_INT64)
        return NC_INT64;
    if (v->flags & VF_FLOAT)
        return NC_FLOAT;
    if (v->flags & VF_VARIANT) {
        if (ValueToInteger(ctx, v, false, true))
            return (v->flags & VF_INT) ? NC_INT : NC_INT64;
        if (ValueToFloat(ctx, v))
            return NC_FLOAT;
    }
    if (v->flags & (VF_STRING | VF_UNICODE)) {
        if (ValueToInteger(ctx, v, true, !unary))
            return (v->flags & VF_INT) ? NC_INT : NC_INT64;
        if (ValueToFloat(ctx, v))
            return NC_FLOAT;
    }
    return NC_BAD;
}

void InstallMathErrorHook()
{
    static bool installed;
    if (!installed) {
        __setusermatherr(MathErrorHook);
        installed = true;
    }
}

void TakePendingMathError(BDS* ctx)
{
    if (nPendingMathError) {
        if (!ctx->nErrorCode)
            SetError(ctx, static_cast<uint16_t>(nPendingMathError));
        nPendingMathError = 0;
    }
}

void FloatOperation(BDS* ctx, uint16_t op, resultants* left, resultants* right)
{
    if (!ValueToFloat(ctx, left) || !ValueToFloat(ctx, right)) {
        SetError(ctx, ERR_NOT_NUMBER);
        return;
    }
    double a = left->dbl, b = right->dbl, r = 0;
    InstallMathErrorHook();
    nPendingMathError = 0;
    switch (op) {
    case KID_PLUS: r = a + b; break;
    case KID_MINUS: r = a - b; break;
    case KID_STAR: r = a * b; break;
    case KID_SLASH:
        if (b == 0.0) {
            SetError(ctx, ERR_DIVIDE_BY_ZERO);
            return;
        }
        r = a / b;
        break;
    case KID_MOD: {
        if (b == 0.0) {
            SetError(ctx, ERR_DIVIDE_BY_ZERO);
            return;
        }
        double q = a / b;
        q = q > 0 ? std::floor(q) : std::ceil(q);
        r = a - b * q;
        break;
    }
    case KID_POWER:
        r = std::pow(a, b);
        // The hook reports the runtime's faults where the runtime calls it; make sure of
        // them: zero to a negative power is a pole, not a result too large.
        if (!nPendingMathError && a == 0.0 && b < 0.0)
            nPendingMathError = ERR_FP_SINGULARITY;
        else if (std::isnan(r) && !std::isnan(a) && !std::isnan(b) && !nPendingMathError)
            nPendingMathError = ERR_FP_DOMAIN;
        if (nPendingMathError)
            r = 1.0;    // the hook's substitute value
        break;
    case KID_ANDAND:
        SetInt(ctx, left, (a != 0.0 && b != 0.0) ? 1 : 0);
        TakePendingMathError(ctx);
        return;
    case KID_OROR:
        SetInt(ctx, left, (a != 0.0 || b != 0.0) ? 1 : 0);
        TakePendingMathError(ctx);
        return;
    default:
        SetError(ctx, ERR_BINARY_NOT_LEGAL);
        return;
    }
    if (std::fabs(r) > 1e300) {
        SetError(ctx, ERR_FP_OVERFLOW);
        nPendingMathError = 0;
        return;
    }
    if (std::fabs(r) < 1e-300)
        r = 0.0;
    SetFloat(ctx, left, r);
    TakePendingMathError(ctx);
}

// An integer power with a non-negative exponent, wrapping (square and multiply).
template <typename U>
U WrappingPower(U base, uint64_t exponent)
{
    U result = 1;
    while (exponent) {
        if (exponent & 1)
            result = static_cast<U>(result * base);
        base = static_cast<U>(base * base);
        exponent >>= 1;
    }
    return result;
}

// The integer operators at either width: +, -, * and << wrap, shift counts are taken
// modulo the width. Answers false where it set an error; otherwise *r holds the result.
template <typename S>
bool IntegerOperation(BDS* ctx, uint16_t op, S a, S b, S* r)
{
    using U = std::make_unsigned_t<S>;
    constexpr S shiftMask = sizeof(S) * 8 - 1;
    U ua = static_cast<U>(a), ub = static_cast<U>(b);
    switch (op) {
    case KID_PLUS: *r = static_cast<S>(ua + ub); break;
    case KID_MINUS: *r = static_cast<S>(ua - ub); break;
    case KID_STAR: *r = static_cast<S>(ua * ub); break;
    case KID_AMP: *r = a & b; break;
    case KID_BAR: *r = a | b; break;
    case KID_XOR: *r = a ^ b; break;
    case KID_SHL: *r = static_cast<S>(ua << (b & shiftMask)); break;
    case KID_SHR: *r = a >> (b & shiftMask); break;
    case KID_SLASH:
    case KID_MOD:
        if (b == 0) {
            SetError(ctx, ERR_DIVIDE_BY_ZERO);
            return false;
        }
        if (b == -1)   // the most negative number by -1 wraps instead of faulting
            *r = op == KID_SLASH ? static_cast<S>(0 - ua) : 0;
        else
            *r = op == KID_SLASH ? a / b : a % b;
        break;
    case KID_ANDAND: *r = (a != 0 && b != 0) ? 1 : 0; break;
    case KID_OROR: *r = (a != 0 || b != 0) ? 1 : 0; break;
    case KID_POWER:
        // Integer powers stay integers: a negative exponent has no integer result.
        if (b < 0) {
            SetError(ctx, ERR_NEGATIVE_POWER);
            return false;
        }
        *r = static_cast<S>(WrappingPower<U>(ua, ub));
        break;
    default:
        SetError(ctx, ERR_BINARY_NOT_LEGAL);
        return false;
    }
    return true;
}

void Int64Operation(BDS* ctx, uint16_t op, resultants* left, resultants* right)
{
    int64_t a = 0, b = 0;
    if (!ValueToInt64(ctx, left, &a, true) || !ValueToInt64(ctx, right, &b, true)) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NOT_NUMBER);
        return;
    }
    int64_t r;
    if (IntegerOperation(ctx, op, a, b, &r))
        SetInt64(ctx, left, r);
}

void Int32Operation(BDS* ctx, uint16_t op, resultants* left, resultants* right)
{
    int32_t r;
    if (IntegerOperation(ctx, op, left->i32, right->i32, &r))
        SetInt(ctx, left, r);
}

}  // namespace

void ApplyBinaryOperator(BDS* ctx, uint16_t op, resultants* left, resultants* right)
{
    if (op == KID_COLON) {
        ConcatValues(ctx, left, right);
        return;
    }
    NumClass a = ClassOperand(ctx, left, false);
    if (a == NC_BAD) {
        SetError(ctx, ERR_NOT_NUMBER);
        return;
    }
    NumClass b = ClassOperand(ctx, right, false);
    if (b == NC_BAD) {
        SetError(ctx, ERR_NOT_NUMBER);
        return;
    }
    if (a == NC_FLOAT || b == NC_FLOAT)
        FloatOperation(ctx, op, left, right);
    else if (a == NC_INT64 || b == NC_INT64)
        Int64Operation(ctx, op, left, right);
    else
        Int32Operation(ctx, op, left, right);
}

// ---------------------------------------------------------------- concatenation

void ConcatValues(BDS* ctx, resultants* left, resultants* right)
{
    ConcatValuesInRoom(ctx, left, right, nullptr);
}

namespace {

template <typename Char>
const Char* HeadText(BDS* ctx, const ValueHead* value);
template <>
const char* HeadText<char>(BDS* ctx, const ValueHead* value) { return ValueText(ctx, value); }
template <>
const wchar_t* HeadText<wchar_t>(BDS* ctx, const ValueHead* value) { return ValueWText(ctx, value); }

// left = left : right once both carry the text form of Char. With a room, the result
// keeps spare room for the chain's next operands and the room describes it.
constexpr size_t kRoomFrom = 256;   // characters of a text that a chain gives spare room

template <typename Char>
void JoinTexts(BDS* ctx, resultants* left, resultants* right, ConcatRoom* room)
{
    constexpr bool wide = sizeof(Char) == sizeof(wchar_t);
    constexpr uint32_t form = wide ? VF_UNICODE : VF_STRING;
    // The left text is the room's own while the chain alone has written it.
    bool inRoom = room && room->offset && room->wide == wide && left->flags == form
                  && (wide ? left->wstr : left->str) == room->offset && left->originVar == ORIGIN_NONE;
    size_t lb = TextLength(HeadText<Char>(ctx, right));
    size_t la = inRoom ? room->length : TextLength(HeadText<Char>(ctx, left));
    size_t need = la + lb + 1;
    if (inRoom && need <= room->capacity) {
        auto* out = reinterpret_cast<Char*>(HeapPtr(ctx, room->offset));
        std::memcpy(out + la, HeadText<Char>(ctx, right), lb * sizeof(Char));
        out[la + lb] = 0;
        room->length = la + lb;
        return;
    }
    // A chain gets room for half as much again once its text is long enough for copies
    // to matter; when that does not fit, just the text.
    size_t capacity = need;
    uint64_t offset = 0;
    if (room && need >= kRoomFrom) {
        capacity = need + need / 2 + 64;
        offset = VMalloc(ctx, capacity * sizeof(Char));
        if (!offset)
            capacity = need;
    }
    if (!offset)
        offset = VMalloc(ctx, need * sizeof(Char));
    if (!offset) {
        SetError(ctx, 3096);
        return;
    }
    auto* out = reinterpret_cast<Char*>(HeapPtr(ctx, offset));
    std::memcpy(out, HeadText<Char>(ctx, left), la * sizeof(Char));
    std::memcpy(out + la, HeadText<Char>(ctx, right), lb * sizeof(Char));
    out[la + lb] = 0;
    MakeTemporary(ctx, left);
    (wide ? left->wstr : left->str) = offset;
    left->flags = form;
    if (room) {
        // Without spare room the text is an ordinary one, as any other operand's.
        room->offset = capacity > need ? offset : 0;
        room->length = la + lb;
        room->capacity = capacity;
        room->wide = wide;
    }
}

}  // namespace

void ConcatValuesInRoom(BDS* ctx, resultants* left, resultants* right, ConcatRoom* room)
{
    bool wide = ((left->flags | right->flags) & (VF_UNICODE | VF_VARIANT)) != 0;
    if (wide) {
        if (!ValueToWide(ctx, left) || !ValueToWide(ctx, right)) {
            if (!ctx->nErrorCode)
                SetError(ctx, ERR_NOT_STRING);
            return;
        }
        JoinTexts<wchar_t>(ctx, left, right, room);
        return;
    }
    if (!ValueToString(ctx, left) || !ValueToString(ctx, right)) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NOT_STRING);
        return;
    }
    JoinTexts<char>(ctx, left, right, room);
}

void EndConcatRoom(BDS* ctx, resultants* left, ConcatRoom* room)
{
    uint64_t text = room->wide ? left->wstr : left->str;
    if (room->offset && left->flags == (room->wide ? VF_UNICODE : VF_STRING) && text == room->offset)
        VShrink(ctx, room->offset, (room->length + 1) * (room->wide ? sizeof(wchar_t) : 1));
    room->offset = 0;
}

// ---------------------------------------------------------------- unary operators

namespace {

void SetInteger(BDS* ctx, resultants* r, int32_t v) { SetInt(ctx, r, v); }
void SetInteger(BDS* ctx, resultants* r, int64_t v) { SetInt64(ctx, r, v); }

// !, +, - and ~ on an integer, the result at the operand's width (negation wraps).
template <typename S>
bool IntegerUnary(BDS* ctx, uint16_t op, resultants* value, S x)
{
    using U = std::make_unsigned_t<S>;
    switch (op) {
    case KID_NOT: SetInteger(ctx, value, static_cast<S>(x == 0 ? 1 : 0)); break;
    case KID_PLUS: SetInteger(ctx, value, x); break;
    case KID_MINUS: SetInteger(ctx, value, static_cast<S>(0 - static_cast<U>(x))); break;
    case KID_TILDE: SetInteger(ctx, value, static_cast<S>(~x)); break;
    default: SetError(ctx, ERR_UNARY_NOT_LEGAL); return false;
    }
    return true;
}

}  // namespace

void ApplyNumericUnary(BDS* ctx, uint16_t op, resultants* value)
{
    NumClass c = ClassOperand(ctx, value, true);
    if (c == NC_BAD) {
        SetError(ctx, ERR_NOT_NUMBER);
        return;
    }
    nPendingMathError = 0;
    if (c == NC_FLOAT) {
        double x = value->dbl;
        switch (op) {
        case KID_NOT: SetInt(ctx, value, x == 0.0 ? 1 : 0); break;
        case KID_PLUS: SetFloat(ctx, value, x); break;
        case KID_MINUS: SetFloat(ctx, value, -x); break;
        default: SetError(ctx, ERR_UNARY_NOT_LEGAL); return;
        }
    } else if (c == NC_INT64) {
        if (!IntegerUnary(ctx, op, value, value->i64))
            return;
    } else {
        if (!IntegerUnary(ctx, op, value, value->i32))
            return;
    }
    TakePendingMathError(ctx);
}

// ---------------------------------------------------------------- comparisons

namespace {

enum CmpClass { CL_INTEGER, CL_FLOAT, CL_TEXT, CL_WIDE, CL_INT64, CL_OTHER };
enum CmpMode { M_INT, M_INT64, M_FLOAT, M_FLOAT_NUMERIC, M_LONG, M_ANSI, M_WIDE };

CmpClass ClassOf(const resultants* v)
{
    if (v->flags & VF_INT) return CL_INTEGER;
    if (v->flags & VF_FLOAT) return CL_FLOAT;
    if (v->flags & VF_STRING) return CL_TEXT;
    if (v->flags & VF_UNICODE) return CL_WIDE;
    if (v->flags & VF_INT64) return CL_INT64;
    return CL_OTHER;
}

bool IsLongText(BDS* ctx, const resultants* v, CmpClass c)
{
    if (c == CL_TEXT)
        return TextLength(ValueText(ctx, v)) > 9;
    return TextLength(ValueWText(ctx, v)) > 9;
}

bool IsText(CmpClass c) { return c == CL_TEXT || c == CL_WIDE; }

// Tries a conversion without leaving an error behind.
template <typename F>
bool Try(BDS* ctx, F f)
{
    uint16_t saved = ctx->nErrorCode;
    bool ok = f();
    ctx->nErrorCode = saved;
    return ok;
}

bool AsInt32(BDS* ctx, resultants* v, bool round)
{
    if (v->flags & VF_INT)
        return true;
    return Try(ctx, [&] { return ValueToInteger(ctx, v, round, false) && (v->flags & VF_INT); });
}

bool AsFloat(BDS* ctx, resultants* v)
{
    if (v->flags & VF_FLOAT)
        return true;
    return Try(ctx, [&] { return ValueToFloat(ctx, v) != 0; });
}

bool AsInt64(BDS* ctx, resultants* v, int64_t* out, bool round)
{
    return Try(ctx, [&] { return ValueToInt64(ctx, v, out, round) != 0; });
}

// A text of digits, whatever its length. The integer conversions refuse one beyond their
// width, but the comparison still takes it exactly, as a long number, never as a float
// that has lost its last digits.
bool IsDigitText(BDS* ctx, resultants* v)
{
    return Try(ctx, [&] { return ValueToString(ctx, v) != 0; }) && IsDigitTextA(ValueText(ctx, v));
}

// Text comparison of the two numbers' text forms (numbers that print alike are equal).
int CompareFloatTexts(BDS* ctx, double a, double b)
{
    char ta[FLOAT_TEXT_SIZE], tb[FLOAT_TEXT_SIZE];
    if (FloatToText(ctx, a, ta, sizeof ta) && FloatToText(ctx, b, tb, sizeof tb))
        return lstrcmpA(ta, tb);
    return (a - b) < 0 ? -1 : ((a - b) > 0 ? 1 : 0);
}

int Sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

bool IsEqualityOp(uint16_t op) { return op == KID_EQ || op == KID_NE || op == KID_LTGT; }

// Both sides as text of the given width.
bool AsTexts(BDS* ctx, resultants* l, resultants* r, bool wide)
{
    if (wide)
        return ValueToWide(ctx, l) && ValueToWide(ctx, r);
    return ValueToString(ctx, l) && ValueToString(ctx, r);
}

CmpMode ChooseMode(BDS* ctx, resultants* l, resultants* r, CmpClass cl, CmpClass cr)
{
    // Mirror so that the left class is not the "larger" one of an asymmetric pair.
    if (cl == CL_INTEGER && cr == CL_INTEGER) return M_INT;
    if ((cl == CL_INTEGER || cl == CL_INT64) && (cr == CL_INTEGER || cr == CL_INT64)) return M_INT64;
    if (cl == CL_FLOAT && (cr == CL_INTEGER || cr == CL_FLOAT)) return M_FLOAT;
    if (cr == CL_FLOAT && cl == CL_INTEGER) return M_FLOAT;
    if ((cl == CL_FLOAT && cr == CL_INT64) || (cl == CL_INT64 && cr == CL_FLOAT))
        return M_FLOAT_NUMERIC;

    if (IsText(cl) && IsText(cr)) {     // R4
        if (AsInt32(ctx, l, false) && AsInt32(ctx, r, false))
            return (IsLongText(ctx, l, cl) || IsLongText(ctx, r, cr)) ? M_LONG : M_INT;
        if (IsDigitText(ctx, l) && IsDigitText(ctx, r))
            return M_LONG;
        if (AsFloat(ctx, l) && AsFloat(ctx, r))
            return M_FLOAT;
        return (cl == CL_WIDE || cr == CL_WIDE) ? M_WIDE : M_ANSI;
    }
    resultants* text = IsText(cl) ? l : r;
    CmpClass ct = IsText(cl) ? cl : cr;
    CmpClass cn = IsText(cl) ? cr : cl;
    if (cn == CL_INTEGER) {             // R1
        if (AsInt32(ctx, text, true))
            return IsLongText(ctx, text, ct) ? M_LONG : M_INT;
        if (IsDigitText(ctx, text))
            return M_LONG;
        if (AsFloat(ctx, text))
            return M_FLOAT;
        return ct == CL_WIDE ? M_WIDE : M_ANSI;
    }
    if (cn == CL_FLOAT) {               // R2
        if (AsFloat(ctx, text))
            return M_FLOAT;
        return ct == CL_WIDE ? M_WIDE : M_ANSI;
    }
    // R5: text against a 64-bit number.
    int64_t v;
    if (AsInt64(ctx, text, &v, false)) {
        text->i64 = v;
        text->flags = (text->flags & ~(VF_INT | VF_FLOAT)) | VF_INT64;
        return M_INT64;
    }
    if (IsDigitText(ctx, text))
        return M_LONG;
    if (AsFloat(ctx, text))
        return M_FLOAT_NUMERIC;
    return ct == CL_WIDE ? M_WIDE : M_ANSI;
}

int64_t Wide64(const resultants* v)
{
    return (v->flags & VF_INT) ? static_cast<int64_t>(v->i32) : v->i64;
}

}  // namespace

// Follows ChooseMode: two texts compare as integers only when both read as integers, as
// long numbers only when both are digit texts, as floats only when both read as floats;
// a text that reads as none of them leaves the letters to decide against any text.
ComparisonShape ComparisonShapeOf(BDS* ctx, resultants* scratch, int32_t* number)
{
    switch (ClassOf(scratch)) {
    case CL_INTEGER:
        *number = scratch->i32;
        return CS_INT;
    case CL_FLOAT:
        return CS_FLOAT;
    case CL_TEXT:
        if (scratch->flags & VF_VARIANT)
            return CS_OTHER;
        if (AsInt32(ctx, scratch, false)) {
            if (IsLongText(ctx, scratch, CL_TEXT))
                return CS_TEXT_NUMBER;
            *number = scratch->i32;
            return CS_TEXT_INT;
        }
        if (IsDigitText(ctx, scratch) || AsFloat(ctx, scratch))
            return CS_TEXT_NUMBER;
        return CS_TEXT_WORDS;
    case CL_WIDE:
        if ((scratch->flags & VF_VARIANT) || AsInt32(ctx, scratch, false) || IsDigitText(ctx, scratch)
            || AsFloat(ctx, scratch))
            return CS_OTHER;
        return CS_WIDE_WORDS;
    default:
        return CS_OTHER;
    }
}

int CompareValues(BDS* ctx, uint16_t op, resultants* left, resultants* right, int release,
                  int ignoreCase)
{
    for (resultants* v : {left, right}) {
        if ((v->flags & VF_VARIANT) && ClassOf(v) == CL_OTHER) {
            uint16_t saved = ctx->nErrorCode;
            if (!ValueToInteger(ctx, v, false, true) && !ValueToFloat(ctx, v))
                ValueToString(ctx, v);
            ctx->nErrorCode = saved;
        }
    }
    CmpClass cl = ClassOf(left), cr = ClassOf(right);
    if (cl == CL_OTHER || cr == CL_OTHER) {
        SetError(ctx, ERR_NOT_NUMBER);
        return 0;
    }
    CmpMode mode = ChooseMode(ctx, left, right, cl, cr);
    int s = 0;
    switch (mode) {
    case M_INT:
        s = left->i32 < right->i32 ? -1 : (left->i32 > right->i32 ? 1 : 0);
        break;
    case M_INT64: {
        int64_t a = Wide64(left), b = Wide64(right);
        s = a < b ? -1 : (a > b ? 1 : 0);
        break;
    }
    case M_FLOAT:
    case M_FLOAT_NUMERIC: {
        if (!AsFloat(ctx, left) || !AsFloat(ctx, right)) {
            SetError(ctx, ERR_NOT_NUMBER);
            return 0;
        }
        double a = left->dbl, b = right->dbl;
        if (mode == M_FLOAT && IsEqualityOp(op))
            s = CompareFloatTexts(ctx, a, b);
        else
            s = std::isnan(a - b) ? 0 : Sign(a - b);
        break;
    }
    case M_LONG:
        if (!AsTexts(ctx, left, right, false))
            return 0;
        s = CompareNumericText(ctx, ValueText(ctx, left), ValueText(ctx, right));
        break;
    case M_ANSI:
        if (!AsTexts(ctx, left, right, false))
            return 0;
        s = ignoreCase ? lstrcmpiA(ValueText(ctx, left), ValueText(ctx, right))
                       : lstrcmpA(ValueText(ctx, left), ValueText(ctx, right));
        break;
    case M_WIDE:
        if (!AsTexts(ctx, left, right, true))
            return 0;
        s = ignoreCase ? lstrcmpiW(ValueWText(ctx, left), ValueWText(ctx, right))
                       : lstrcmpW(ValueWText(ctx, left), ValueWText(ctx, right));
        break;
    }
    bool truth;
    switch (op) {
    case KID_EQ: truth = s == 0; break;
    case KID_NE:
    case KID_LTGT: truth = s != 0; break;
    case KID_LT: truth = s < 0; break;
    case KID_LE: truth = s <= 0; break;
    case KID_GT: truth = s > 0; break;
    case KID_GE: truth = s >= 0; break;
    default:
        SetError(ctx, ERR_BINARY_NOT_LEGAL);
        return s;
    }
    SetInt(ctx, left, truth ? 1 : 0);
    if (release)
        FreeValue(ctx, right, 0, KIND_RECORD | KEEP_ARRAYS_AND_COM);
    TakePendingMathError(ctx);
    return s;
}

// ---------------------------------------------------------------- numeric texts

namespace {

struct NumericText {
    bool negative;
    const char* digits;
    size_t length;
};

NumericText ReadNumericText(const char* t)
{
    NumericText n{false, "0", 1};
    while (*t == ' ' || *t == '\t')
        ++t;
    if (*t == '-') {
        n.negative = true;
        ++t;
    } else if (*t == '+') {
        ++t;
    }
    const char* start = t;
    while (*t >= '0' && *t <= '9')
        ++t;
    const char* end = t;
    while (start + 1 < end && *start == '0')
        ++start;
    if (end > start) {
        n.digits = start;
        n.length = static_cast<size_t>(end - start);
    }
    if (n.length == 1 && n.digits[0] == '0')
        n.negative = false;     // -0 equals 0
    return n;
}

}  // namespace

int CompareNumericText(BDS* ctx, const char* text1, const char* text2)
{
    NumericText a = ReadNumericText(text1), b = ReadNumericText(text2);
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    int s;
    if (a.length != b.length)
        s = a.length < b.length ? -1 : 1;
    else {
        int c = std::memcmp(a.digits, b.digits, a.length);
        s = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return a.negative ? -s : s;
}

// ---------------------------------------------------------------- floating-point faults

extern "C" int MathErrorHook(struct _exception* e)
{
    switch (e->type) {
    case _DOMAIN: nPendingMathError = ERR_FP_DOMAIN; break;
    case _SING: nPendingMathError = ERR_FP_SINGULARITY; break;
    case _OVERFLOW: nPendingMathError = ERR_FP_OVERFLOW; break;
    case _UNDERFLOW:
        e->retval = 0.0;
        return 1;
    case _TLOSS: nPendingMathError = ERR_FP_TOTAL_LOSS; break;
    case _PLOSS: nPendingMathError = ERR_FP_PARTIAL_LOSS; break;
    default: nPendingMathError = ERR_FP_UNDOCUMENTED; break;
    }
    e->retval = 1.0;
    return 1;
}
