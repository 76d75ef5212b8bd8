// Compiled expressions (see compiled_expr.h): the compiler that parses the cached tokens
// of a line as the precedence chain parses them, and the evaluation of the tree.
#include "engine/core/compiled_expr.h"

#include <cstring>
#include <new>

#include "engine/core/charclass.h"
#include "engine/core/eval_internal.h"
#include "engine/core/evaluator.h"
#include "engine/core/line_cache.h"
#include "engine/core/operators.h"
#include "engine/core/router.h"
#include "engine/core/short_text.h"
#include "engine/core/statement_plan.h"
#include "engine/core/stack_guard.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"

namespace {

constexpr int MAX_NODES = 64;
constexpr int MAX_KIDS = 64;
constexpr int MAX_TREES_PER_LINE = 8;
constexpr int MAX_ARGS = 16;
constexpr uint32_t TYPE_NOT_IN_PRODUCT = 0x2000;
constexpr size_t NAME_COPY = 64;

enum NodeKind : uint8_t {
    N_VAR,          // a variable's value
    N_INT,          // a numeral (32 or 64 bits by its value)
    N_FLOAT,
    N_TEXT,         // a quoted text
    N_CONST,        // an @constant
    N_UNARY,        // + - ! ~ before an operand
    N_BINARY,       // && || ^ & | << >> + - * / mod **
    N_COMPARE,      // == != <> > >= < <=
    N_CONCAT,       // a chain of `:`
    N_PAREN,        // ( expression )
    N_CALL,         // a function and its arguments
};

struct ExprNode {
    uint8_t kind;
    uint8_t readsStop;      // the expression's last token: the token after it is read next
    uint8_t firstToken;     // N_VAR: the expression's first token, read before the expression
    uint16_t id;            // operator, keyword or function id
    uint16_t start;         // N_VAR, N_TEXT, N_CALL: the token (the function's name) in the line
    uint16_t length;
    uint16_t first;         // children: kids[first .. first + count)
    uint16_t count;
    uint16_t hint;          // N_VAR: the entry the name had last (checked before use)
    union {
        int64_t integer;    // N_INT
        double real;        // N_FLOAT
        uint32_t word;      // N_CONST: the constant's value word
        uint64_t signature; // N_CALL: the argument codes (~0 for a user-defined function)
    } value;
};

}  // namespace

struct CompiledExpr {
    CompiledExpr* next;
    uint32_t stamp;             // the keyword tables' stamp of its ids
    uint16_t start;             // offset of the first token
    uint16_t triedAt;           // a failed compile: the line's token count then (0: compiled)
    bool compiled;
    uint16_t end;               // offset right after the last token: the next token is read there
    uint16_t lastStart, lastLength;   // the last token
    uint8_t lastKind;
    uint16_t lastKeyword;       // the last keyword read (delim_type afterwards), KID_NONE: none
    uint16_t lastNameStart, lastNameLength;   // the last name read (length 0: none)
    uint16_t root;
    uint16_t nodeCount;
    uint16_t kidCount;
    bool nameThenTarget;        // it begins with a name that `=`, a compound operator or `[` follows
    ExprNode* nodes;
    uint16_t* kids;
};

namespace {

// ---------------------------------------------------------------- the compiler

bool IsBinaryOf(int level, uint16_t id)
{
    switch (level) {
    case 1: return id == KID_ANDAND || id == KID_OROR;
    case 2: return id == KID_XOR || id == KID_AMP || id == KID_BAR;
    case 5: return id == KID_SHL || id == KID_SHR;
    case 6: return id == KID_PLUS || id == KID_MINUS;
    case 7: return id == KID_STAR || id == KID_SLASH || id == KID_MOD;
    case 8: return id == KID_POWER;
    default: return false;
    }
}

bool IsComparisonId(uint16_t id)
{
    return id == KID_EQ || id == KID_NE || id == KID_LTGT || id == KID_GT || id == KID_GE || id == KID_LT
           || id == KID_LE;
}

class Compiler {
public:
    Compiler(BDS* ctx, const LineView& view, uint16_t firstIndex)
        : ctx_(ctx), v_(view), i_(firstIndex), firstIndex_(firstIndex) {}

    // Parses the expression; false when it is not one that is compiled.
    bool Compile()
    {
        int root = Logical();
        if (failed_ || root < 0)
            return false;
        // The node that reads the expression's last token reads the token after it.
        int n = root;
        for (;;) {
            ExprNode& node = nodes_[n];
            if (node.kind == N_BINARY || node.kind == N_COMPARE || node.kind == N_CONCAT || node.kind == N_UNARY)
                n = kids_[node.first + node.count - 1];
            else
                break;
        }
        nodes_[n].readsStop = 1;
        root_ = static_cast<uint16_t>(root);
        return true;
    }

    // The compiled form, allocated to fit; null when there is no memory.
    CompiledExpr* Make(uint32_t stamp) const
    {
        size_t size = sizeof(CompiledExpr) + nodeCount_ * sizeof(ExprNode) + kidCount_ * sizeof(uint16_t);
        auto* e = static_cast<CompiledExpr*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
        if (!e)
            return nullptr;
        e->stamp = stamp;
        e->start = v_.tokens[firstIndex_].start;
        e->compiled = true;
        const CachedToken& last = v_.tokens[lastIndex_];
        e->end = static_cast<uint16_t>(last.start + last.length);
        e->lastStart = last.start;
        e->lastLength = last.length;
        e->lastKind = last.kind;
        e->lastKeyword = lastKeyword_;
        e->lastNameStart = lastNameStart_;
        e->lastNameLength = lastNameLength_;
        e->root = root_;
        e->nameThenTarget = NameThenTarget();
        e->nodeCount = static_cast<uint16_t>(nodeCount_);
        e->kidCount = static_cast<uint16_t>(kidCount_);
        e->nodes = reinterpret_cast<ExprNode*>(e + 1);
        e->kids = reinterpret_cast<uint16_t*>(e->nodes + nodeCount_);
        std::memcpy(e->nodes, nodes_, nodeCount_ * sizeof(ExprNode));
        std::memcpy(e->kids, kids_, kidCount_ * sizeof(uint16_t));
        return e;
    }

private:
    BDS* ctx_;
    const LineView& v_;
    uint16_t i_;                // the current token's index
    uint16_t firstIndex_;
    bool atEnd_ = false;        // the current token is the end of the line
    bool failed_ = false;
    uint16_t lastIndex_ = 0;
    uint16_t lastKeyword_ = KID_NONE;
    uint16_t lastNameStart_ = 0, lastNameLength_ = 0;
    uint16_t root_ = 0;
    ExprNode nodes_[MAX_NODES];
    uint16_t kids_[MAX_KIDS];
    int nodeCount_ = 0;
    int kidCount_ = 0;

    // Whether the first token is a name directly followed by an assignment operator or a
    // subscript (the chain reads such a name as a target, not as an operand).
    bool NameThenTarget() const
    {
        if (v_.tokens[firstIndex_].kind != TK_NAME)
            return false;
        uint16_t next = KeywordRightAfter(v_, firstIndex_);
        return next == KID_ASSIGN || next == KID_LBRACKET || IsCompoundAssignOp(next);
    }

    const CachedToken& Cur() const { return v_.tokens[i_]; }
    bool AtKind(uint8_t kind) const { return !atEnd_ && Cur().kind == kind; }
    bool AtKeyword() const { return AtKind(TK_KEYWORD); }
    bool At(uint16_t id) const { return AtKeyword() && Cur().idOrVar == id; }

    int Fail()
    {
        failed_ = true;
        return -1;
    }

    // Moves past the current token. The next one must be known and follow it directly
    // (blanks between), or the line must end there.
    void Advance()
    {
        if (atEnd_) {
            failed_ = true;
            return;
        }
        const CachedToken& t = Cur();
        lastIndex_ = i_;
        if (t.kind == TK_KEYWORD)
            lastKeyword_ = t.idOrVar;
        else if (t.kind == TK_NAME) {
            lastNameStart_ = t.start;
            lastNameLength_ = t.length;
        }
        uint32_t p = static_cast<uint32_t>(t.start) + t.length;
        while (v_.line[p] == ' ' || v_.line[p] == '\t')
            ++p;
        if (v_.line[p] == 0 || v_.line[p] == ';') {
            atEnd_ = true;
            return;
        }
        if (i_ + 1 < v_.count && v_.tokens[i_ + 1].start == p)
            ++i_;
        else
            failed_ = true;   // a token not known yet: the chain parses this time
    }

    int Node(uint8_t kind, uint16_t id)
    {
        if (nodeCount_ >= MAX_NODES)
            return Fail();
        ExprNode& n = nodes_[nodeCount_];
        std::memset(&n, 0, sizeof n);
        n.kind = kind;
        n.id = id;
        return nodeCount_++;
    }

    int WithKids(int node, const int* children, int count)
    {
        if (node < 0 || kidCount_ + count > MAX_KIDS)
            return Fail();
        nodes_[node].first = static_cast<uint16_t>(kidCount_);
        nodes_[node].count = static_cast<uint16_t>(count);
        for (int k = 0; k < count; ++k)
            kids_[kidCount_++] = static_cast<uint16_t>(children[k]);
        return node;
    }

    int Binary(uint8_t kind, uint16_t op, int left, int right)
    {
        int children[2] = {left, right};
        return WithKids(Node(kind, op), children, 2);
    }

    // The operand of a level: 1 takes 2, 2 the comparisons (3), the concatenation (4)
    // takes 5, then each level the next, and 8 the primary.
    int Below(int level)
    {
        switch (level) {
        case 2: return Relational();
        case 8: return Primary();
        default: return Level(level + 1);
        }
    }

    // Levels 1, 2 and 5 to 8: left-associative loops.
    int Level(int level)
    {
        int left = Below(level);
        while (!failed_ && AtKeyword() && IsBinaryOf(level, Cur().idOrVar)) {
            uint16_t op = Cur().idOrVar;
            Advance();
            if (failed_)
                return -1;
            int right = Below(level);
            if (failed_)
                return -1;
            left = Binary(N_BINARY, op, left, right);
        }
        return failed_ ? -1 : left;
    }

    int Logical() { return Level(1); }

    int Relational()
    {
        int left = Concat();
        while (!failed_ && AtKeyword() && Cur().idOrVar != KID_ASSIGN) {
            uint16_t op = Cur().idOrVar;
            if (!IsComparisonId(op))
                break;
            Advance();
            if (failed_)
                return -1;
            int right = Concat();
            if (failed_)
                return -1;
            left = Binary(N_COMPARE, op, left, right);
        }
        if (!failed_ && At(KID_ASSIGN))
            return Fail();   // 3069: the chain reports it
        return failed_ ? -1 : left;
    }

    int Concat()
    {
        int parts[MAX_KIDS];
        int count = 0;
        parts[count++] = Level(5);
        while (!failed_ && At(KID_COLON)) {
            Advance();
            if (failed_ || count >= MAX_KIDS)
                return Fail();
            parts[count++] = Level(5);
        }
        if (failed_)
            return -1;
        if (count == 1)
            return parts[0];
        return WithKids(Node(N_CONCAT, KID_COLON), parts, count);
    }

    // A whole expression where ProcessSubExpression reads one (in parentheses, an
    // argument): a name followed by an assignment operator or a subscript is not taken.
    int SubExpression()
    {
        if (AtKind(TK_NAME) && i_ + 1 < v_.count) {
            const CachedToken& next = v_.tokens[i_ + 1];
            if (next.kind == TK_KEYWORD
                && (next.idOrVar == KID_ASSIGN || next.idOrVar == KID_LBRACKET || IsCompoundAssignOp(next.idOrVar)))
                return Fail();
        }
        return Logical();
    }

    int Primary()
    {
        if (!AtKeyword())
            return Operand();
        uint16_t id = Cur().idOrVar;
        uint32_t type = KeywordTypeOf(ctx_, id);
        if (type != 0xFFFFFFFF && (type & TYPE_NOT_IN_PRODUCT))
            return Fail();
        switch (type) {
        case KT_UNARY: {
            if (id != KID_PLUS && id != KID_MINUS && id != KID_NOT && id != KID_TILDE)
                return Fail();
            Advance();
            if (failed_)
                return -1;
            int operand = Primary();
            if (failed_)
                return -1;
            return WithKids(Node(N_UNARY, id), &operand, 1);
        }
        case KT_FUNCTION:
            return Call(id);
        case KT_SPECIAL:
        case KT_COMMAND:
            return Fail();
        default:
            return Operand();
        }
    }

    int Operand()
    {
        if (atEnd_)
            return Fail();
        const CachedToken t = Cur();
        if (t.kind == TK_KEYWORD) {
            if (t.idOrVar == KID_LPAREN) {
                Advance();
                if (failed_)
                    return -1;
                int inner = SubExpression();
                if (failed_ || !At(KID_RPAREN))
                    return Fail();
                Advance();
                if (failed_)
                    return -1;
                return WithKids(Node(N_PAREN, KID_LPAREN), &inner, 1);
            }
            if (KeywordTypeOf(ctx_, t.idOrVar) != KT_CONSTANT)
                return Fail();
            const KeywordRecord* r = KeywordRecordOf(ctx_, t.idOrVar);
            if (!r)
                return Fail();
            int n = Node(N_CONST, t.idOrVar);
            if (n < 0)
                return -1;
            nodes_[n].value.word = r->arity;
            Advance();
            return failed_ ? -1 : n;
        }
        int n = -1;
        switch (t.kind) {
        case TK_NAME:
            n = Node(N_VAR, 0);
            if (n < 0)
                return -1;
            nodes_[n].hint = t.idOrVar;
            nodes_[n].firstToken = i_ == firstIndex_;
            break;
        case TK_INTEGER:
        case TK_FLOAT:
            if (!(t.flags & CT_NUMBER))
                return Fail();
            n = Node(t.kind == TK_INTEGER ? N_INT : N_FLOAT, 0);
            if (n < 0)
                return -1;
            nodes_[n].value.integer = t.number.integer;
            break;
        case TK_STRING:
            n = Node(N_TEXT, 0);
            break;
        default:
            return Fail();
        }
        if (n < 0)
            return -1;
        nodes_[n].start = t.start;
        nodes_[n].length = t.length;
        Advance();
        if (failed_)
            return -1;
        // A name with subscripts reads an element; arrays are not known until the run.
        if (t.kind == TK_NAME && At(KID_LBRACKET))
            return Fail();
        return n;
    }

    int Call(uint16_t id)
    {
        if (id == KID_OLEOBJECT)
            return Fail();
        uint32_t required, optional;
        uint64_t signature;
        if (id >= UDFSTART && id < UDFSTART + 999) {
            const UdfRecord* u = UdfRecordOfId(ctx_, id);
            if (!u)
                return Fail();
            required = u->paramCount;
            optional = 0;
            signature = ~0ull;
        } else {
            const KeywordRecord* r = KeywordRecordOf(ctx_, id);
            if (!r)
                return Fail();
            required = r->arity & 0xFF;
            optional = (r->arity >> 8) & 0xFF;
            signature = r->signature;
        }
        if (required == 255 || required + optional > MAX_ARGS)
            return Fail();
        const CachedToken name = Cur();
        Advance();
        if (failed_ || !At(KID_LPAREN))
            return Fail();
        Advance();
        if (failed_)
            return -1;
        uint32_t maximum = required + optional;
        int args[MAX_ARGS];
        int count = 0;
        if (maximum > 0) {
            for (uint32_t n = 1;; ++n) {
                if (At(KID_RPAREN) && n > required)
                    break;
                if (n > 1) {
                    if (!At(KID_COMMA))
                        return Fail();
                    Advance();
                    if (failed_)
                        return -1;
                }
                args[count++] = SubExpression();
                if (failed_)
                    return -1;
                if (n < required && !At(KID_COMMA))
                    return Fail();
                if (n == maximum)
                    break;
            }
        }
        if (!At(KID_RPAREN))
            return Fail();
        Advance();
        if (failed_)
            return -1;
        int node = WithKids(Node(N_CALL, id), args, count);
        if (node < 0)
            return -1;
        nodes_[node].start = name.start;
        nodes_[node].length = name.length;
        nodes_[node].value.signature = signature;
        return node;
    }
};

// ---------------------------------------------------------------- evaluation

class Evaluator {
public:
    // `firstRead`: the expression's first token was read before the evaluation began (its
    // name's entry is the token's); otherwise every name is read here.
    Evaluator(BDS* ctx, const CompiledExpr* e, const char* line, bool firstRead = true)
        : ctx_(ctx), e_(e), line_(line), firstRead_(firstRead) {}

    void Eval(uint16_t index, resultants* out)
    {
        const ExprNode& n = e_->nodes[index];
        switch (n.kind) {
        case N_VAR: Variable(n, out); return;
        case N_INT:
            if (n.value.integer <= INT32_MAX)
                SetResultInt(ctx_, out, static_cast<int32_t>(n.value.integer));
            else
                SetResultInt64(ctx_, out, n.value.integer);
            Read(n);
            return;
        case N_FLOAT:
            SetResultFloat(ctx_, out, n.value.real);
            Read(n);
            return;
        case N_TEXT: Text(n, out); return;
        case N_CONST:
            if (SwitchedOff(n.id))
                return;
            ConstantValue(ctx_, out, n.value.word);
            if (!ctx_->nErrorCode)
                Read(n);
            return;
        case N_UNARY:
            if (SwitchedOff(n.id))
                return;
            Eval(Kid(n, 0), out);
            if (!ctx_->nErrorCode)
                ApplyUnaryOperator(ctx_, n.id, out);
            return;
        case N_BINARY:
        case N_COMPARE: {
            Eval(Kid(n, 0), out);
            if (ctx_->nErrorCode)
                return;
            resultants right;
            InitTemp(ctx_, &right);
            Eval(Kid(n, 1), &right);
            if (!ctx_->nErrorCode) {
                if (n.kind == N_BINARY)
                    ApplyBinaryOperator(ctx_, n.id, out, &right);
                else
                    CompareValues(ctx_, n.id, out, &right, 1, 0);
            }
            ReleaseTemp(ctx_, &right);
            return;
        }
        case N_CONCAT: {
            Eval(Kid(n, 0), out);
            ConcatRoom room{};
            for (uint16_t k = 1; k < n.count && !ctx_->nErrorCode; ++k) {
                resultants right;
                InitTemp(ctx_, &right);
                Eval(Kid(n, k), &right);
                if (!ctx_->nErrorCode)
                    ConcatValuesInRoom(ctx_, out, &right, &room);
                ReleaseTemp(ctx_, &right);
            }
            EndConcatRoom(ctx_, out, &room);
            return;
        }
        case N_PAREN:
            if (SwitchedOff(n.id))
                return;
            SubExpression(Kid(n, 0), out);
            if (!ctx_->nErrorCode)
                Read(n);
            return;
        case N_CALL: Call(n, out); return;
        default: return;
        }
    }

    // The token after the expression, read where and as the chain reads it: the parse
    // state is first made what it is after the expression's last token.
    void ReadStop()
    {
        FrontState& f = ctx_->front;
        // A last token that is a name is the last name read: its key is also the token's
        // text, written beside the name's (the bytes just stored are not read back).
        const bool nameLast = e_->lastKind == TK_NAME && e_->lastNameLength;
        if (e_->lastNameLength) {
            char* token = nameLast ? ctx_->szToken : f.szName;
            for (uint16_t k = 0; k < e_->lastNameLength; ++k) {
                char c = NameKeyChar(line_ + e_->lastNameStart, k);
                f.szName[k] = c;
                token[k] = c;
            }
            f.szName[e_->lastNameLength] = 0;
            token[e_->lastNameLength] = 0;
        }
        const char* last = line_ + e_->lastStart;
        switch (e_->lastKind) {
        case TK_NAME:
            if (!nameLast)
                CopyBytes(ctx_->szToken, f.szName, static_cast<size_t>(e_->lastNameLength) + 1);
            break;
        case TK_STRING: {
            const char* end = nullptr;
            QuotedText(last, ctx_->szToken, &end);
            break;
        }
        default:
            CopyBytes(ctx_->szToken, last, e_->lastLength);
            ctx_->szToken[e_->lastLength] = 0;
            break;
        }
        if (e_->lastKeyword != KID_NONE)
            ctx_->delim_type = e_->lastKeyword;
        ctx_->nTokenKind = e_->lastKind;
        ctx_->prog = const_cast<char*>(line_) + e_->end;
        get_token(ctx_);
    }

private:
    BDS* ctx_;
    const CompiledExpr* e_;
    const char* line_;
    bool firstRead_;

    uint16_t Kid(const ExprNode& n, int k) const { return e_->kids[n.first + k]; }

    void Read(const ExprNode& n)
    {
        if (n.readsStop)
            ReadStop();
    }

    bool SwitchedOff(uint16_t id)
    {
        uint32_t type = KeywordTypeOf(ctx_, id);
        if (type != 0xFFFFFFFF && (type & TYPE_NOT_IN_PRODUCT)) {
            SetError(ctx_, ERR_NOT_IN_PRODUCT);
            return true;
        }
        return false;
    }

    // An expression that ProcessSubExpression evaluates: assignments are not allowed in it.
    void SubExpression(uint16_t index, resultants* out)
    {
        FrontState& f = ctx_->front;
        uint32_t savedAllow = f.bAssignAllowed;
        f.bAssignAllowed = 0;
        Eval(index, out);
        f.bAssignAllowed = savedAllow;
    }

    void Variable(const ExprNode& n, resultants* out)
    {
        FrontState& f = ctx_->front;
        char key[VARNAMESIZE + 1];
        // A longer name never reaches a tree (its reading fails).
        const size_t length = n.length < VARNAMESIZE ? n.length : VARNAMESIZE;
        // A name read here (not as the expression's first token) leaves its key in szName,
        // as its reading as a token does; it is written there beside the key, so that the
        // bytes just stored are not read back.
        const bool readBefore = n.firstToken && firstRead_;
        char* name = readBefore ? key : f.szName;
        for (size_t k = 0; k < length; ++k) {
            char c = NameKeyChar(line_ + n.start, k);
            key[k] = c;
            name[k] = c;
        }
        key[length] = 0;
        name[length] = 0;
        int index = -1;
        if (readBefore) {
            // Read before the expression began: its entry is the token's.
            index = f.nNameIndex;
        } else {
            // Reading the name as a token finds or creates its variable.
            uint16_t hint = n.hint;
            const VariableEntry* v = hint > 0 && hint < ctx_->nVarUsed ? &ctx_->pVars[hint] : nullptr;
            if (v && v->flags != 0 && SameBytes(v->name, key, length + 1)) {
                index = hint;
            } else {
                f.bCreateDefined = 0;
                if (int error = EnterVariable(ctx_, key, length)) {
                    SetError(ctx_, static_cast<uint16_t>(error));
                    return;
                }
                index = f.nNameIndex;
                const_cast<ExprNode&>(n).hint = static_cast<uint16_t>(index);
            }
        }
        if (index <= 0 || index >= ctx_->nVarUsed || !(ctx_->pVars[index].flags & VF_HAS_VALUE)
            || !SameText(ctx_->pVars[index].name, key))
            index = find_var(ctx_, key, 1);
        if (index < 0)
            return;
        if (ctx_->pVars[index].flags & VF_ARRAY) {
            Read(n);
            if (!ctx_->nErrorCode)
                CopyValue(ctx_, &ctx_->pVars[index], out, index, VK_ARGUMENT | 0x20);
            return;
        }
        CopyValue(ctx_, &ctx_->pVars[index], out, index, VK_ARGUMENT | 0x20 | 0x200);
        if (!ctx_->nErrorCode)
            Read(n);
    }

    // Out of line, as Call below: their buffers would otherwise make every level of the
    // recursion take their stack room.
    __attribute__((noinline)) void Text(const ExprNode& n, resultants* out)
    {
        char text[TEXTBUF];
        const char* end = nullptr;
        QuotedText(line_ + n.start, text, &end);
        if (SetResultText(ctx_, out, text))
            Read(n);
    }

    __attribute__((noinline)) void Call(const ExprNode& n, resultants* out)
    {
        if (SwitchedOff(n.id))
            return;
        char name[NAME_COPY];
        size_t length = n.length < NAME_COPY - 1 ? n.length : NAME_COPY - 1;
        CopyBytes(name, line_ + n.start, length);
        name[length] = 0;
        // A user-defined function reads its parameters' records alone; a built-in may look
        // at the records past its arguments.
        resultants args[MAX_ARGS + 1];
        bool userFunction = n.id >= UDFSTART && n.id < UDFSTART + 999;
        int records = userFunction ? n.count + 1 : MAX_ARGS + 1;
        for (int k = 0; k < records; ++k)
            InitTemp(ctx_, &args[k]);
        int argc = 0;
        for (uint16_t k = 0; k < n.count; ++k) {
            SubExpression(Kid(n, k), &args[k + 1]);
            argc = k + 1;
            if (ctx_->nErrorCode) {
                Release(args, argc);
                return;
            }
        }
        LockArrays(args, argc, true);
        // A user-defined function runs its own lines through the same context: the parse
        // state is put back afterwards, as for any call.
        char* prog = ctx_->prog;
        uint8_t kind = ctx_->nTokenKind;
        uint16_t id = ctx_->delim_type;
        uint16_t tokenLength = ctx_->front.nTokenLength;
        uint32_t assignAllowed = ctx_->front.bAssignAllowed;
        uint16_t multilinePrefix = ctx_->front.nMultilinePrefix;
        CallBuiltinFunction(ctx_, name, n.id, out, args, 0, argc, n.value.signature);
        ctx_->prog = prog;
        ctx_->nTokenKind = kind;
        ctx_->delim_type = id;
        ctx_->front.nTokenLength = tokenLength;
        ctx_->front.bAssignAllowed = assignAllowed;
        ctx_->front.nMultilinePrefix = multilinePrefix;
        LockArrays(args, argc, false);
        Release(args, argc);
        if (!ctx_->nErrorCode)
            Read(n);
    }

    void Release(resultants* args, int count)
    {
        for (int i = 1; i <= count; ++i)
            ReleaseTemp(ctx_, &args[i]);
    }

    void LockArrays(resultants* args, int count, bool lock)
    {
        for (int i = 1; i <= count; ++i)
            if (ArrayHeader* a = ArrayOf(&args[i]))
                lock ? LockArrayBlock(a) : UnlockArrayBlock(a);
    }
};

// The tree kept for the expression starting at `start`, compiled now when it can be.
const CompiledExpr* TreeAt(BDS* ctx, const LineView& view)
{
    CompiledExpr* tried = nullptr;
    int kept = 0;
    for (CompiledExpr* e = *view.exprs; e; e = e->next, ++kept) {
        if (e->start != view.offset || e->stamp != view.stamp)
            continue;
        if (e->compiled)
            return e;
        tried = e;
    }
    if (tried ? tried->triedAt >= view.count : kept >= MAX_TREES_PER_LINE)
        return nullptr;   // no token learnt since the last try, or enough trees for a line
    uint16_t firstIndex = 0;
    while (firstIndex < view.count && view.tokens[firstIndex].start < view.offset)
        ++firstIndex;
    CompiledExpr* made = nullptr;
    if (firstIndex < view.count && view.tokens[firstIndex].start == view.offset) {
        auto* compiler = static_cast<Compiler*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Compiler)));
        if (!compiler)
            return nullptr;
        new (compiler) Compiler(ctx, view, firstIndex);
        if (compiler->Compile())
            made = compiler->Make(view.stamp);
        HeapFree(GetProcessHeap(), 0, compiler);
    }
    if (made) {
        made->start = static_cast<uint16_t>(view.offset);
        made->next = *view.exprs;
        *view.exprs = made;
        return made;
    }
    if (tried) {
        tried->triedAt = view.count;
    } else {
        auto* e = static_cast<CompiledExpr*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CompiledExpr)));
        if (e) {
            e->stamp = view.stamp;
            e->start = static_cast<uint16_t>(view.offset);
            e->triedAt = view.count;
            e->next = *view.exprs;
            *view.exprs = e;
        }
    }
    return nullptr;
}

}  // namespace

namespace {

// The tree of the expression that starts with the current token, or null.
const CompiledExpr* TreeHere(BDS* ctx, LineView* view)
{
    const FrontState& f = ctx->front;
    if (ctx->nTokenKind == TK_END || f.bPersistentName || f.bNoCreate)
        return nullptr;
    const char* at = ctx->prog - f.nTokenLength;
    if (!ViewActiveLine(ctx, at, view))
        return nullptr;
    return TreeAt(ctx, *view);
}

}  // namespace

bool RunCompiledExpression(BDS* ctx, resultants* result)
{
    LineView view{};
    const CompiledExpr* e = TreeHere(ctx, &view);
    if (!e)
        return false;
    Evaluator(ctx, e, view.line).Eval(e->root, result);
    return true;
}

bool RunCompiledRestOfLine(BDS* ctx, resultants* result)
{
    LineView view{};
    const CompiledExpr* e = TreeHere(ctx, &view);
    if (!e)
        return false;
    const char* rest = view.line + e->end;
    while (*rest == ' ' || *rest == '\t')
        ++rest;
    if (*rest != 0 && *rest != ';')
        return false;
    Evaluator(ctx, e, view.line).Eval(e->root, result);
    return true;
}

bool FindTreeUnread(BDS* ctx, UnreadTree* tree, const LineView* known)
{
    const FrontState& f = ctx->front;
    if (f.bPersistentName || f.bNoCreate)
        return false;
    char* at = ctx->prog;
    while (*at == ' ' || *at == '\t')
        ++at;
    if (*at == 0 || *at == ';')
        return false;
    LineView view{};
    if (known && at >= known->line) {
        view = *known;
        view.offset = static_cast<uint32_t>(at - known->line);
    } else if (!ViewActiveLine(ctx, at, &view)) {
        return false;
    }
    const CompiledExpr* e = TreeAt(ctx, view);
    // A name that an assignment operator or a subscript follows is read by the chain,
    // which refuses the assignment where an expression stands.
    if (!e || e->nameThenTarget)
        return false;
    tree->expr = e;
    tree->line = view.line;
    tree->at = at;
    return true;
}

void RunTreeUnread(BDS* ctx, const UnreadTree& tree, resultants* result, RunSite* site, uint32_t assignAllowed)
{
    FrontState& front = ctx->front;
    uint32_t savedAllow = front.bAssignAllowed;
    front.bAssignAllowed = assignAllowed;
    RunSite* savedSite = ctx->run.site;
    if (site)
        ctx->run.site = site;
    ctx->prog = tree.at;
    Evaluator(ctx, tree.expr, tree.line, false).Eval(tree.expr->root, result);
    ctx->run.site = savedSite;
    front.bAssignAllowed = savedAllow;
}

namespace {

// The tree that the running statement's plan keeps for the expression after its keyword,
// when the expression to read is that one.
bool PlannedTree(BDS* ctx, const RunSite* site, UnreadTree* tree)
{
    const StatementPlan* plan = site ? site->plan : nullptr;
    if (!plan || !plan->tree || ctx->front.bPersistentName || ctx->front.bNoCreate)
        return false;
    char* at = ctx->prog;
    while (*at == ' ' || *at == '\t')
        ++at;
    if (at - site->line != plan->treeStart)
        return false;
    *tree = UnreadTree{plan->tree, site->line, at};
    return true;
}

// The plan keeps the first tree found after its keyword.
void RememberTree(RunSite* site, const UnreadTree& tree)
{
    StatementPlan* plan = site ? site->plan : nullptr;
    if (plan && !plan->tree && tree.line == site->line) {
        plan->tree = tree.expr;
        plan->treeStart = static_cast<uint16_t>(tree.at - tree.line);
    }
}

}  // namespace

bool RunCompiledExpressionUnread(BDS* ctx, resultants* result, RunSite* site)
{
    UnreadTree tree;
    if (!PlannedTree(ctx, site, &tree)) {
        if (!FindTreeUnread(ctx, &tree))
            return false;
        RememberTree(site, tree);
    }
    // What the chain does around an expression of its own (ProcessSubExpression).
    if (StackRoomLeft(ctx))
        RunTreeUnread(ctx, tree, result, site, 0);
    return true;
}

void FreeCompiledExprs(CompiledExpr* list)
{
    while (list) {
        CompiledExpr* next = list->next;
        HeapFree(GetProcessHeap(), 0, list);
        list = next;
    }
}
