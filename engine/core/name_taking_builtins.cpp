// The built-ins that take a variable name rather than a value: drop, isdefined, vartype,
// objecttypeget and the pointer makers (?makepointer, ptrglobal, ptrglobaldefine,
// ptrglobaltest, ptrpersistent).
#include <cstring>

#include "engine/com/com_value.h"
#include "engine/core/evaluator.h"
#include "engine/core/eval_internal.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"

namespace {

enum : int {
    MSG_ONLY_MAIN_SCRIPT = 9507,
    MSG_PERSISTENT_TOO_LONG = 9508,
    MSG_NOT_A_NAME = 9509,
    MSG_CANNOT_CREATE = 9510,
    MSG_NOT_FOUND = 9511,
    MSG_NOT_GLOBAL = 9512,
};

constexpr uint8_t VAR_GLOBAL = 0x01;    // VariableEntry::flag: marked by ptrglobaldefine

// How the operand's name token is read.
enum class NameMode { NoCreate, CreateDefined, Persistent };

// The variable an operand names, possibly through a pointer into another scope.
struct Operand {
    bool isName;        // the operand was a name (or a pointer that resolved)
    bool resolved;      // a pointer operand could be resolved (or none was used)
    uint32_t slot;
    uint16_t index;     // VAR_NOT_FOUND when the variable does not exist
    uint8_t firstKind;  // the operand's first token: its kind and keyword id
    uint16_t firstId;
};

bool ExpectOpenParen(BDS* ctx, const char* name)
{
    get_token(ctx);
    if (ctx->nErrorCode)
        return false;
    if (!AtKeyword(ctx, KID_LPAREN)) {
        FailWithMessage(ctx, ERR_OPEN_PAREN, MSG_OPEN_PAREN, name);
        return false;
    }
    return true;
}

bool ExpectCloseParen(BDS* ctx)
{
    if (!AtKeyword(ctx, KID_RPAREN)) {
        if (!ctx->nErrorCode)
            FailWithMessage(ctx, ERR_ARG_COUNT, MSG_MISSING_PAREN);
        return false;
    }
    get_token(ctx);
    return ctx->nErrorCode == 0;
}

// Reads one operand (a name, or `*` and the name of a variable holding a pointer) and the
// token after it. Answers false on a token error.
bool ReadOperand(BDS* ctx, NameMode mode, Operand* op)
{
    op->isName = false;
    op->resolved = true;
    op->slot = ctx->nScopeCurrent;
    op->index = VAR_NOT_FOUND;
    char* p = ctx->prog;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool pointer = *p == '*';
    if (pointer)
        ctx->prog = p + 1;
    FrontState& f = ctx->front;
    if (pointer || mode == NameMode::NoCreate)
        f.bNoCreate = 1;
    if (mode == NameMode::Persistent && !pointer)
        f.bPersistentName = 1;
    get_token(ctx);     // creates a missing name unless NoCreate (CreateDefined: as integer -1)
    f.bPersistentName = 0;
    f.bNoCreate = 0;
    if (ctx->nErrorCode)
        return false;
    op->firstKind = ctx->nTokenKind;
    op->firstId = ctx->delim_type;
    if (ctx->nTokenKind == TK_NAME) {
        op->isName = true;
        if (pointer) {
            uint16_t holder = FindVarIndex(ctx, f.szName);
            const VariableEntry* v = holder != VAR_NOT_FOUND ? &ctx->pVars[holder] : nullptr;
            uint16_t saved = ctx->nErrorCode;
            op->resolved = ResolveHeldPointer(ctx, v, &op->slot, &op->index);
            if (!op->resolved) {    // an operand that names nothing, not an error
                op->index = VAR_NOT_FOUND;
                ctx->nErrorCode = saved;
            }
        } else {
            op->index = FindVarIndex(ctx, f.szName);
        }
    }
    get_token(ctx);
    return ctx->nErrorCode == 0;
}

// Reads the operand of a built-in that asks about a variable (IsDefined, VarType,
// ObjectTypeGet). A name is a name token followed by ")", "," or "[" (or the end of the
// line, which the closing parenthesis's check reports); any other operand (a literal, a
// call, a member, a larger expression) is evaluated as the expression it is, once, with
// its side effects and errors, and answers as no name. Read token by token as a name, a
// call or a member would leave its argument list behind and fail as a wrong number of
// arguments, which says nothing of what went wrong. A word alone that is no operand by
// itself (a function's name without its list, such as a name that has become a host
// function) still answers as no name without being called; an empty operand is left to
// the closing parenthesis's check.
bool ReadQueryOperand(BDS* ctx, Operand* op)
{
    char* start = ctx->prog;
    while (*start == ' ' || *start == '\t')
        ++start;
    bool empty = *start == ')' || *start == 0 || *start == ';';
    if (!ReadOperand(ctx, NameMode::NoCreate, op))
        return false;
    bool nameEnds = AtKeyword(ctx, KID_RPAREN) || AtKeyword(ctx, KID_COMMA) || AtKeyword(ctx, KID_LBRACKET) ||
                    ctx->nTokenKind == TK_END;
    bool loneWord = op->firstKind == TK_KEYWORD && op->firstId != KID_OLEOBJECT &&
                    KeywordTypeOf(ctx, op->firstId) != KT_CONSTANT && AtKeyword(ctx, KID_RPAREN);
    if (empty || loneWord || (op->isName && nameEnds))
        return true;
    op->isName = false;
    op->resolved = true;
    op->index = VAR_NOT_FOUND;
    ctx->prog = start;
    get_token(ctx);
    if (ctx->nErrorCode)
        return false;
    resultants value;
    InitTemp(ctx, &value);
    ProcessSubExpression(ctx, &value, 0, 0, nullptr);
    ReleaseTemp(ctx, &value);
    return ctx->nErrorCode == 0;
}

// Runs fn on the operand's variable entry (null when it does not exist) in its scope.
template <typename F>
bool InOperandScope(BDS* ctx, const Operand& op, F fn)
{
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, op.slot))
        return false;
    VariableEntry* v = op.index != VAR_NOT_FOUND && op.index != 0 ? &ctx->pVars[op.index] : nullptr;
    fn(v);
    return LeaveScope(&visit);
}

// ---------------------------------------------------------------- drop

void Drop(BDS* ctx, resultants* result)
{
    for (;;) {
        Operand op;
        // Read the name without creating it; subscripts after it select one element.
        char* p = ctx->prog;
        while (*p == ' ' || *p == '\t')
            ++p;
        bool pointer = *p == '*';
        if (pointer)
            ctx->prog = p + 1;
        ctx->front.bNoCreate = 1;
        get_token(ctx);
        ctx->front.bNoCreate = 0;
        if (ctx->nErrorCode)
            return;
        if (ctx->nTokenKind != TK_NAME) {
            SetError(ctx, ERR_DROP);
            return;
        }
        op.slot = ctx->nScopeCurrent;
        op.index = FindVarIndex(ctx, ctx->front.szName);
        if (pointer) {
            const VariableEntry* v = op.index != VAR_NOT_FOUND ? &ctx->pVars[op.index] : nullptr;
            if (!ResolveHeldPointer(ctx, v, &op.slot, &op.index))
                return;
        }
        get_token(ctx);
        if (ctx->nErrorCode)
            return;
        ValueHead head{};
        bool exists = op.index != VAR_NOT_FOUND && op.index != 0;
        if (exists && !InOperandScope(ctx, op, [&](VariableEntry* v) { head = *v; }))
            return;
        if (AtKeyword(ctx, KID_LBRACKET)) {
            if (!exists || !(head.flags & VF_ARRAY)) {
                SetError(ctx, ERR_DROP);
                return;
            }
            int depth = 0;
            ArrayElement* element = nullptr;
            if (!EvalSubscript(ctx, ArrayOf(&head), &depth, &element))
                return;
            FreeValue(ctx, element, 0, VK_ELEMENT);
            std::memset(element, 0, sizeof(*element));
            get_token(ctx);
            if (ctx->nErrorCode)
                return;
        } else if (exists) {
            ScopeVisit visit;
            if (!EnterScope(ctx, &visit, op.slot))
                return;
            if (!IsAssignmentTarget(ctx, op.index)) {
                VariableEntry& v = ctx->pVars[op.index];
                FreeValue(ctx, &v, op.index, VK_ARGUMENT);
                v.flags = 0;
                std::memset(v.name, 0, sizeof(v.name));
                v.flag = 0;
                if (op.index + 1u == ctx->nVarUsed)
                    --ctx->nVarUsed;
            }
            if (!LeaveScope(&visit))
                return;
        }
        if (AtKeyword(ctx, KID_COMMA)) {
            continue;
        }
        if (!ExpectCloseParen(ctx))
            return;
        SetResultInt(ctx, result, 1);
        return;
    }
}

// ---------------------------------------------------------------- isdefined, vartype

void IsDefined(BDS* ctx, resultants* result)
{
    Operand op;
    if (!ReadQueryOperand(ctx, &op))
        return;
    int32_t answer = -1;
    if (op.isName && op.resolved) {
        answer = 0;
        if (!InOperandScope(ctx, op, [&](VariableEntry* v) {
                answer = v && (v->flags & VF_HAS_VALUE) ? 1 : 0;
            }))
            return;
    }
    if (ExpectCloseParen(ctx))
        SetResultInt(ctx, result, answer);
}

void VarType(BDS* ctx, resultants* result)
{
    Operand op;
    if (!ReadQueryOperand(ctx, &op))
        return;
    int32_t answer = -1;
    ValueHead head{};
    if (op.isName && op.resolved) {
        answer = 0;
        if (!InOperandScope(ctx, op, [&](VariableEntry* v) {
                if (v && (v->flags & VF_HAS_VALUE)) {
                    head = *v;
                    answer = static_cast<int32_t>(v->flags & 0xFFFF);
                }
            }))
            return;
        if (AtKeyword(ctx, KID_LBRACKET) && (head.flags & VF_ARRAY)) {
            int depth = 0;
            ArrayElement* element = nullptr;
            if (EvalSubscript(ctx, ArrayOf(&head), &depth, &element)) {
                answer = static_cast<int32_t>(element->flags & 0xFFFF);
                get_token(ctx);
                if (ctx->nErrorCode)
                    return;
            } else if (ctx->nErrorCode == ERR_OUT_OF_BOUNDS) {
                // Out of bounds reads as "no value"; skip to the closing bracket.
                ctx->nErrorCode = 0;
                answer = 0;
                int level = 1;
                for (;;) {
                    if (AtKeyword(ctx, KID_RBRACKET) && --level == 0)
                        break;
                    if (AtKeyword(ctx, KID_LBRACKET))
                        ++level;
                    if (ctx->nTokenKind == TK_END) {
                        SetError(ctx, ERR_ARRAY_SYNTAX);
                        return;
                    }
                    get_token(ctx);
                    if (ctx->nErrorCode)
                        return;
                }
                get_token(ctx);
                if (ctx->nErrorCode)
                    return;
            } else {
                return;
            }
        }
    }
    if (ExpectCloseParen(ctx))
        SetResultInt(ctx, result, answer);
}

void ObjectTypeGet(BDS* ctx, resultants* result)
{
    Operand op;
    if (!ReadQueryOperand(ctx, &op))
        return;
    if (!ExpectCloseParen(ctx))
        return;
    // The type name of a COM variant; other values have none.
    char name[64] = "";
    if (op.isName && op.resolved && op.index != VAR_NOT_FOUND && op.slot == ctx->nScopeCurrent && (ctx->pVars[op.index].flags & VF_VARIANT))
        VtTypeName(ctx, ctx->pVars[op.index].var.vt, name, sizeof name);
    SetResultText(ctx, result, name);
}

// ---------------------------------------------------------------- pointers

void SetPointerResult(BDS* ctx, resultants* result, uint16_t index)
{
    char text[POINTER_TEXT_SIZE];
    if (FormatVarPointer(ctx, index, text, sizeof(text)))
        SetResultText(ctx, result, text);
    else
        SetError(ctx, ERR_MAKEPOINTER);
}

void MakePointer(BDS* ctx, resultants* result)
{
    Operand op;
    ctx->front.bCreateDefined = 1;
    if (!ReadOperand(ctx, NameMode::CreateDefined, &op))
        return;
    if (!op.isName || !op.resolved || op.index == VAR_NOT_FOUND) {
        SetError(ctx, ERR_MAKEPOINTER);
        return;
    }
    if (!ExpectCloseParen(ctx))
        return;
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, op.slot))
        return;
    SetPointerResult(ctx, result, op.index);
    LeaveScope(&visit);
}

// ptrglobal, ptrglobaldefine, ptrglobaltest and ptrpersistent work on the main script's
// variables.
void GlobalPointer(BDS* ctx, resultants* result, uint16_t id)
{
    if (id == KID_PTRGLOBALDEFINE && ctx->nUdfRunning != UDF_NONE_RUNNING) {
        FailWithMessage(ctx, ERR_POINTER, MSG_ONLY_MAIN_SCRIPT);
        return;
    }
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, 0))
        return;
    NameMode mode = id == KID_PTRPERSISTENT    ? NameMode::Persistent
                    : id == KID_PTRGLOBALDEFINE ? NameMode::CreateDefined
                                                : NameMode::NoCreate;
    if (mode == NameMode::CreateDefined)
        ctx->front.bCreateDefined = 1;
    Operand op;
    bool read = ReadOperand(ctx, mode, &op);
    if (!read && ctx->nErrorCode == ERR_NAME_TOO_LONG && mode == NameMode::Persistent) {
        ctx->nErrorCode = 0;
        FailWithMessage(ctx, ERR_POINTER, MSG_PERSISTENT_TOO_LONG);
    }
    int message = 0;
    int32_t test = 0;
    if (read) {
        if (!op.isName || !op.resolved)
            message = MSG_NOT_A_NAME;
        else if (op.index == VAR_NOT_FOUND || op.index == 0)
            message = id == KID_PTRGLOBALTEST ? 0 : (id == KID_PTRGLOBAL ? MSG_NOT_FOUND : MSG_CANNOT_CREATE);
    }
    if (read && !message && op.index != VAR_NOT_FOUND) {
        VariableEntry& v = ctx->pVars[op.index];
        switch (id) {
        case KID_PTRGLOBAL:
            if (!(v.flags & VF_HAS_VALUE))
                message = MSG_NOT_FOUND;
            else if (!(v.flag & VAR_GLOBAL))
                message = MSG_NOT_GLOBAL;
            break;
        case KID_PTRGLOBALDEFINE:
            v.flag |= VAR_GLOBAL;
            break;
        case KID_PTRGLOBALTEST:
            test = (v.flags & VF_HAS_VALUE) && (v.flag & VAR_GLOBAL) ? 1 : 0;
            break;
        default:
            break;
        }
    }
    if (read && !message && id == KID_PTRPERSISTENT) {
        resultants value;
        InitTemp(ctx, &value);
        if (!AtKeyword(ctx, KID_COMMA)) {
            FailWithMessage(ctx, ERR_ARG_COUNT, MSG_MISSING_PAREN);
        } else {
            get_token(ctx);
            if (!ctx->nErrorCode)
                ProcessSubExpression(ctx, &value, 0, 0, nullptr);
        }
        if (!ctx->nErrorCode) {
            VariableEntry& v = ctx->pVars[op.index];
            if (!(v.flags & VF_HAS_VALUE))
                SetVariableFromValue(ctx, v.name, &value);
        }
        ReleaseTemp(ctx, &value);
    }
    if (read && !ctx->nErrorCode) {
        if (message)
            FailWithMessage(ctx, ERR_POINTER, message);
        else if (ExpectCloseParen(ctx)) {
            if (id == KID_PTRGLOBALTEST)
                SetResultInt(ctx, result, test);
            else
                SetPointerResult(ctx, result, op.index);
        }
    }
    uint16_t error = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    LeaveScope(&visit);
    if (error)
        ctx->nErrorCode = error;
}

}  // namespace

void CallSpecialFunction(BDS* ctx, resultants* result, uint16_t id)
{
    char name[40];
    CopyStringBoundedA(ctx, name, ctx->szToken, sizeof(name));
    if (!ExpectOpenParen(ctx, name))
        return;
    switch (id) {
    case KID_DROP: Drop(ctx, result); return;
    case KID_ISDEFINED: IsDefined(ctx, result); return;
    case KID_VARTYPE: VarType(ctx, result); return;
    case KID_OBJECTTYPEGET: ObjectTypeGet(ctx, result); return;
    case KID_MAKEPOINTER: MakePointer(ctx, result); return;
    default: GlobalPointer(ctx, result, id); return;
    }
}
