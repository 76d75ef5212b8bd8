// The member-access parser over the object text and the rest of the script line.
#include "engine/com/com_parse.h"

#include <cstring>
#include <cwchar>

#include "engine/com/com_names.h"
#include "engine/core/eval_internal.h"
#include "engine/core/evaluator.h"
#include "engine/core/tokenizer.h"

namespace {

bool Next(BDS* ctx)
{
    get_token(ctx);
    return ctx->nErrorCode == 0;
}

// A name copied from the line as the script wrote it (the token text may be lower case).
void LineName(const BDS* ctx, char* out, size_t size)
{
    const char* start = ctx->prog - ctx->front.nTokenLength;
    size_t n = ctx->front.nTokenLength;
    if (n >= size)
        n = size - 1;
    std::memcpy(out, start, n);
    out[n] = 0;
}

}  // namespace

void MarkToken(const BDS* ctx, TokenMark* mark)
{
    mark->prog = ctx->prog;
    mark->kind = ctx->nTokenKind;
    mark->id = ctx->delim_type;
    mark->length = ctx->front.nTokenLength;
    lstrcpynA(mark->text, ctx->szToken, sizeof mark->text);
}

void ReturnToMark(BDS* ctx, const TokenMark& mark)
{
    ctx->prog = mark.prog;
    ctx->nTokenKind = mark.kind;
    ctx->delim_type = mark.id;
    ctx->front.nTokenLength = mark.length;
    lstrcpynA(ctx->szToken, mark.text, sizeof ctx->szToken);
}

int AdoptExpression(BDS* ctx, CResultVar& target)
{
    resultants value;
    InitTemp(ctx, &value);
    ProcessSubExpression(ctx, &value, 0, 0, nullptr);
    if (ctx->nErrorCode || !target.Adopt(value)) {
        ReleaseTemp(ctx, &value);
        return 0;
    }
    return 1;
}

bool LineContinuesWith(const BDS* ctx, char c)
{
    const char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    return *p == c;
}

CParseObject::CParseObject(BDS* ctx, const char* objectText) : ctx_(ctx)
{
    lstrcpynA(text_, objectText ? objectText : "", sizeof text_);
    pos_ = text_;
}

void CParseObject::ResetObjectText(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    lstrcpynA(text_, text, sizeof text_);
    pos_ = text_;
}

int CParseObject::TakeMemberName(char* out, size_t size)
{
    if (*pos_ == 0)
        return 0;
    const char* dot = std::strchr(pos_, '.');
    size_t n = dot ? static_cast<size_t>(dot - pos_) : std::strlen(pos_);
    if (n > size - 1) {
        SetError(ctx_, 3245);
        return 0;
    }
    std::memcpy(out, pos_, n);
    out[n] = 0;
    pos_ += n;
    if (*pos_ == '.')
        ++pos_;
    return 1;
}

int CParseObject::ParseMemberName(char* out, size_t size)
{
    if (!TakeMemberName(out, size)) {
        if (ctx_->nErrorCode || ctx_->nTokenKind == TK_END || !LineContinuesWith(ctx_, '.'))
            return 0;
        while (*ctx_->prog == ' ' || *ctx_->prog == '\t')
            ++ctx_->prog;
        ++ctx_->prog;   // the "."
        if (!Next(ctx_))
            return 0;
        if (ctx_->nTokenKind == TK_END) {
            SetError(ctx_, 3074);
            return 0;
        }
        if (AtKeyword(ctx_, KID_OLEOBJECT)) {
            char line[OBJECT_TEXT_MAX + 1];
            LineName(ctx_, line, sizeof line);
            ResetObjectText(line);
            if (!TakeMemberName(out, size))
                return 0;
        } else {
            LineName(ctx_, out, size);
            if (std::strlen(out) >= size - 1 && ctx_->front.nTokenLength >= size) {
                SetError(ctx_, 3245);
                return 0;
            }
        }
    }
    if (!Exhausted())
        return 1;
    TokenMark mark;
    MarkToken(ctx_, &mark);
    if (!Next(ctx_))
        return 0;
    if (!AtKeyword(ctx_, KID_LPAREN))
        ReturnToMark(ctx_, mark);
    return 1;
}

int CParseObject::ParseArgumentTypePrefix(VARTYPE* type, std::wstring* typeName)
{
    *type = 0;
    typeName->clear();
    if (AtKeyword(ctx_, KID_COLON))
        return Next(ctx_) ? 1 : 0;
    TokenMark start;
    MarkToken(ctx_, &start);
    char joined[3 * 128] = "";
    auto add = [&](const BDS* c) {
        char part[128];
        LineName(c, part, sizeof part);
        size_t used = std::strlen(joined);
        lstrcpynA(joined + used, part, static_cast<int>(sizeof joined - used));
    };
    // Only a name can be a type: a literal before ":" is the start of a concatenation.
    if (ctx_->nTokenKind != TK_NAME && ctx_->nTokenKind != TK_KEYWORD)
        return 1;
    add(ctx_);
    bool single = true;
    if (!Next(ctx_))
        return 0;
    if (AtKeyword(ctx_, KID_BAR)) {
        single = false;
        add(ctx_);
        if (!Next(ctx_))
            return 0;
        add(ctx_);
        if (!Next(ctx_))
            return 0;
    }
    if (!AtKeyword(ctx_, KID_COLON)) {
        ReturnToMark(ctx_, start);
        return 1;
    }
    if (allowTypeNames_ && single && std::strchr(joined, '.')) {
        int units = MultiByteToWideChar(ctx_->nCodePage, 0, joined, -1, nullptr, 0);
        typeName->assign(static_cast<size_t>(units > 0 ? units : 1), L'\0');
        if (units > 0)
            MultiByteToWideChar(ctx_->nCodePage, 0, joined, -1, typeName->data(), units);
        typeName->resize(std::wcslen(typeName->c_str()));
        return Next(ctx_) ? 1 : 0;
    }
    int32_t number = VtNameToNumber(joined);
    if (number < 0) {
        SetError(ctx_, 1702);
        return 0;
    }
    *type = static_cast<VARTYPE>(number);
    return Next(ctx_) ? 1 : 0;
}

int CParseObject::ParseMemberArgument(CallArgument& argument, std::vector<BSTR>& names)
{
    if (first_) {
        first_ = false;
        if (!AtKeyword(ctx_, KID_LPAREN))
            return 0;
    }
    if (ctx_->nTokenKind == TK_END || AtKeyword(ctx_, KID_RPAREN))
        return 0;
    if (AtKeyword(ctx_, KID_DOUBLE_COLON))
        mode_ = 3;
    if (!Next(ctx_))
        return 0;
    if (AtKeyword(ctx_, KID_RPAREN))
        return 0;
    if (AtKeyword(ctx_, KID_DOUBLE_COLON)) {
        mode_ = 3;
        if (!Next(ctx_))
            return 0;
    }
    if (AtKeyword(ctx_, KID_COMMA) && mode_ != 3) {
        argument.explicitType = VT_ERROR;
        CResultVar& value = *argument.value;
        value.Release();
        value.v.var.vt = VT_ERROR;
        value.v.var.scode = MISSING_ARGUMENT;
        value.v.flags = VF_VARIANT;
        ++count_;
        return 1;
    }
    VARTYPE type = 0;
    if (!ParseArgumentTypePrefix(&type, &argument.typeName))
        return 0;
    argument.explicitType = type;
    if (mode_ == 3) {
        char name[256];
        LineName(ctx_, name, sizeof name);
        BSTR bstr = AnsiToBstr(ctx_, name);
        if (!bstr)
            return 0;
        names.push_back(bstr);
        if (!Next(ctx_))
            return 0;
        if (!AtKeyword(ctx_, KID_ASSIGN)) {
            SetError(ctx_, 3250);
            return 0;
        }
        if (!Next(ctx_))
            return 0;
    }
    if (!AdoptExpression(ctx_, *argument.value))
        return 0;
    if (!AtKeyword(ctx_, KID_COMMA) && !AtKeyword(ctx_, KID_RPAREN) && !AtKeyword(ctx_, KID_DOUBLE_COLON)) {
        SetError(ctx_, 1134);
        return 0;
    }
    ++count_;
    return 1;
}

int CParseObject::ParsePropertyPutValue(CResultVar& value)
{
    if (!Exhausted() || LineContinuesWith(ctx_, '.'))
        return 0;
    TokenMark mark;
    MarkToken(ctx_, &mark);
    if (!Next(ctx_))
        return 0;
    if (!AtKeyword(ctx_, KID_ASSIGN)) {
        ReturnToMark(ctx_, mark);
        return 0;
    }
    if (!ctx_->front.bAssignAllowed) {
        FailWithMessage(ctx_, 3069, MSG_USE_DOUBLE_EQUALS);
        return 0;
    }
    if (!Next(ctx_))
        return 0;
    if (!AdoptExpression(ctx_, value))
        return 0;
    if (ctx_->nTokenKind != TK_END) {
        SetError(ctx_, 3074);
        return 0;
    }
    return 1;
}

int CParseObject::ParseConstantName(char* out, size_t size)
{
    if (!TakeMemberName(out, size)) {
        if (!ctx_->nErrorCode)
            SetError(ctx_, 3074);
        return 0;
    }
    if (!Exhausted()) {
        SetError(ctx_, 3074);
        return 0;
    }
    TokenMark mark;
    MarkToken(ctx_, &mark);
    if (!Next(ctx_))
        return 0;
    if (AtKeyword(ctx_, KID_LPAREN)) {
        if (!Next(ctx_))
            return 0;
        if (!AtKeyword(ctx_, KID_RPAREN)) {
            SetError(ctx_, 3066);
            return 0;
        }
        return 1;
    }
    ReturnToMark(ctx_, mark);
    return 1;
}

int ParseSafeArraySubscripts(BDS* ctx, int32_t subscripts[MAX_SAFEARRAY_SUBSCRIPTS])
{
    if (!AtKeyword(ctx, KID_LBRACKET)) {
        TokenMark mark;
        MarkToken(ctx, &mark);
        if (!Next(ctx))
            return -1;
        if (!AtKeyword(ctx, KID_LBRACKET)) {
            ReturnToMark(ctx, mark);
            return 0;
        }
    }
    int count = 0;
    for (;;) {
        if (!Next(ctx))
            return -1;
        if (count == MAX_SAFEARRAY_SUBSCRIPTS) {
            SetError(ctx, 1635);
            return -1;
        }
        resultants value;
        InitTemp(ctx, &value);
        ProcessSubExpression(ctx, &value, 0, 0, nullptr);
        if (ctx->nErrorCode) {
            ReleaseTemp(ctx, &value);
            return -1;
        }
        int64_t number = 0;
        bool numeric = ValueToInt64(ctx, &value, &number, true) != 0;
        ReleaseTemp(ctx, &value);
        if (!numeric) {
            SetError(ctx, 1634);
            return -1;
        }
        if (number < 0 || number > 0x7FFFFFFF) {
            SetError(ctx, 1628);
            return -1;
        }
        subscripts[count++] = static_cast<int32_t>(number);
        if (AtKeyword(ctx, KID_RBRACKET))
            return count;
        if (!AtKeyword(ctx, KID_COMMA)) {
            SetError(ctx, 1633);
            return -1;
        }
    }
}
