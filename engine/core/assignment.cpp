// ProcessSubExpression: the decision between an assignment and an expression, compound
// assignment, storing into variables and elements, subscripts for reading and writing,
// and the pointer operators & and *.
#include <cstring>

#include "engine/com/com_adapter.h"
#include "engine/com/com_safearray.h"
#include "engine/core/text_length.h"
#include "engine/core/charclass.h"
#include "engine/core/compiled_expr.h"
#include "engine/core/errors.h"
#include "engine/core/evaluator.h"
#include "engine/core/eval_internal.h"
#include "engine/core/heap.h"
#include "engine/core/line_cache.h"
#include "engine/core/short_text.h"
#include "engine/core/operators.h"
#include "engine/core/runloop.h"
#include "engine/core/stack_guard.h"
#include "engine/core/statement.h"
#include "engine/core/statement_internal.h"
#include "engine/core/statement_plan.h"
#include "engine/core/text_append.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"
#include "engine/core/trace.h"
#include "engine/data/array_rebuild.h"
#include "engine/data/map.h"

// ---------------------------------------------------------------- small helpers

int FormatVarPointer(BDS* ctx, uint16_t index, char* out, size_t size)
{
    char text[VARPTR_TEXT_SIZE];
    uint16_t saved = ctx->nErrorCode;
    int n = MakeVarPointer(ctx, ctx->pVars[index].name, text);
    ctx->nErrorCode = saved;
    if (n <= 0 || static_cast<size_t>(n) >= size)
        return 0;
    std::memcpy(out, text, n + 1);
    return 1;
}

bool ResolvePointer(BDS* ctx, const char* text, uint32_t* slot, uint16_t* index)
{
    char name[VARNAMESIZE + 1] = {};
    if (!ParseVarPointer(ctx, text, slot, name))
        return false;
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, *slot))
        return false;
    *index = FindVarIndex(ctx, name);
    bool ok = LeaveScope(&visit);
    if (ok && (*index == VAR_NOT_FOUND || *index == 0)) {
        SetError(ctx, ERR_NOT_POINTER);
        return false;
    }
    return ok;
}

bool ResolveHeldPointer(BDS* ctx, const VariableEntry* holder, uint32_t* slot, uint16_t* index)
{
    if (!holder || !(holder->flags & VF_STRING)) {
        SetError(ctx, ERR_NOT_POINTER);
        return false;
    }
    char text[POINTER_TEXT_SIZE];
    CopyStringBoundedA(ctx, text, ValueText(ctx, holder), sizeof(text));
    return ResolvePointer(ctx, text, slot, index);
}

bool IsCompoundAssignOp(uint16_t id)
{
    return CompoundBaseOperator(id) != KID_NONE;
}

uint16_t CompoundBaseOperator(uint16_t id)
{
    switch (id) {
    case KID_AND_ASSIGN: return KID_AMP;
    case KID_MUL_ASSIGN: return KID_STAR;
    case KID_ADD_ASSIGN: return KID_PLUS;
    case KID_SUB_ASSIGN: return KID_MINUS;
    case KID_DIV_ASSIGN: return KID_SLASH;
    case KID_CAT_ASSIGN: return KID_COLON;
    case KID_SHL_ASSIGN: return KID_SHL;
    case KID_SHR_ASSIGN: return KID_SHR;
    case KID_XOR_ASSIGN: return KID_XOR;
    case KID_MOD_ASSIGN: return KID_MOD;
    case KID_OR_ASSIGN: return KID_BAR;
    default: return KID_NONE;
    }
}

bool IsAssignmentTarget(BDS* ctx, uint16_t index)
{
    uint32_t key = (ctx->nScopeCurrent << 16) | index;
    if (ctx->run.nAssignTarget == key)
        return true;
    uint32_t count = ctx->nUdfCount < MAX_UDFS ? ctx->nUdfCount : MAX_UDFS;
    for (uint32_t i = 0; i < count; ++i)
        if (ctx->pUdfRecords[i] && ctx->pUdfRecords[i]->assignTarget == key)
            return true;
    return false;
}

// ---------------------------------------------------------------- subscript look-ahead

namespace {

inline const char* SkipBlanks(const char* p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

bool StartsWithNoCase(const char* p, const char* word)
{
    for (; *word; ++p, ++word)
        if ((*p | 0x20) != *word)
            return false;
    return true;
}

}  // namespace

bool HasSubscript(const char* text)
{
    const char* p = SkipBlanks(text);
    if (*p != '[' || !p[1])
        return false;
    while (*p == '[') {
        p = SkipBracketGroup(p);
        if (!p)
            return false;
        p = SkipBlanks(p);
    }
    static const char* const kOperators[] = {"&=", "*=", "+=", "-=", "/=", ":=", "^=",
                                             "|=", "<<=", ">>=", "mod="};
    for (const char* op : kOperators)
        if (StartsWithNoCase(p, op))
            return true;
    return p[0] == '=' && p[1] != '=';
}

// ---------------------------------------------------------------- reading elements

namespace {

// Evaluates one subscript into `sub`; the current token is the `[` or `,` before it. The
// token after it must be `,` or `]` (1633).
bool ReadSubscript(BDS* ctx, resultants* sub)
{
    get_token(ctx);
    if (ctx->nErrorCode)
        return false;
    ProcessSubExpression(ctx, sub, 0, 0, nullptr);
    if (ctx->nErrorCode)
        return false;
    if (!AtKeyword(ctx, KID_COMMA) && !AtKeyword(ctx, KID_RBRACKET)) {
        SetError(ctx, ERR_ARRAY_SYNTAX);
        return false;
    }
    return true;
}

// A subscript as an array index (floats rounded); 1634 when it is no integer.
bool SubscriptIndex(BDS* ctx, resultants* sub, int32_t* index)
{
    if (!ValueToInteger(ctx, sub, true, false) || !(sub->flags & VF_INT)) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_DIMENSIONS_NUMERIC);
        return false;
    }
    *index = sub->i32;
    return true;
}

// The text form of a map key; 3056 when the value has none.
const char* SubscriptKey(BDS* ctx, resultants* sub)
{
    if (!ValueToString(ctx, sub)) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NOT_STRING);
        return nullptr;
    }
    return ValueText(ctx, sub);
}

// The key of a map subscript group; the current token is `[`. A map takes exactly one
// key: anything but `]` after it is 1633. `key` holds the text afterwards.
const char* ReadMapKey(BDS* ctx, resultants* key)
{
    if (!ReadSubscript(ctx, key))
        return nullptr;
    if (!AtKeyword(ctx, KID_RBRACKET)) {
        SetError(ctx, ERR_ARRAY_SYNTAX);
        return nullptr;
    }
    return SubscriptKey(ctx, key);
}

// Subscripts of one bracket group of an ordinary array, each within its dimension. Fills
// subs and answers their number, or -1 on error.
int ReadSubscripts(BDS* ctx, const ArrayHeader* a, uint32_t* subs)
{
    for (int n = 0;;) {
        resultants sub;
        InitTemp(ctx, &sub);
        bool ok = ReadSubscript(ctx, &sub);
        int32_t v = 0;
        if (ok && n >= a->ndims) {
            SetError(ctx, ERR_DIMENSION_COUNT);
            ok = false;
        }
        ok = ok && SubscriptIndex(ctx, &sub, &v);
        ReleaseTemp(ctx, &sub);
        if (!ok)
            return -1;
        if (v < 0 || static_cast<uint32_t>(v) >= a->dims[n]) {
            SetError(ctx, ERR_OUT_OF_BOUNDS);
            return -1;
        }
        subs[n++] = static_cast<uint32_t>(v);
        if (AtKeyword(ctx, KID_RBRACKET))
            return n;
    }
}

// The element of an ordinary array that one bracket group names.
ArrayElement* ReadArrayElement(BDS* ctx, ArrayHeader* array)
{
    uint32_t subs[MAX_ARRAY_DIMS] = {};
    int n = ReadSubscripts(ctx, array, subs);
    if (n < 0)
        return nullptr;
    if (n != array->ndims) {
        SetError(ctx, ERR_DIMENSION_COUNT);
        return nullptr;
    }
    uint32_t index = ArrayLinearIndex(array, subs);
    if (index >= array->count) {
        SetError(ctx, ERR_OUT_OF_BOUNDS);
        return nullptr;
    }
    return &array->data[index];
}

// The value of the map key that one bracket group names; a missing key is 1636.
ArrayElement* ReadMapElement(BDS* ctx, ArrayHeader* map)
{
    resultants key;
    InitTemp(ctx, &key);
    ArrayElement* e = nullptr;
    if (const char* text = ReadMapKey(ctx, &key)) {
        e = MapFind(ctx, map, text);
        if (!e)
            SetError(ctx, ERR_OUT_OF_BOUNDS);
    }
    ReleaseTemp(ctx, &key);
    return e;
}

}  // namespace

int EvalSubscript(BDS* ctx, ArrayHeader* array, int* depth, ArrayElement** element)
{
    for (;;) {
        if (!array) {
            SetError(ctx, ERR_ARRAY_DATA);
            return 0;
        }
        if (array->ndims == 0) {
            SetError(ctx, ERR_ARRAY_EMPTY);
            return 0;
        }
        if (!array->data) {
            SetError(ctx, ERR_ARRAY_DATA);
            return 0;
        }
        ArrayElement* e = (array->flags & ARRAY_MAP) ? ReadMapElement(ctx, array)
                                                     : ReadArrayElement(ctx, array);
        if (!e)
            return 0;
        if (e->flags & VF_ARRAY) {
            get_token(ctx);
            if (ctx->nErrorCode)
                return 0;
            if (AtKeyword(ctx, KID_LBRACKET)) {
                if (++*depth >= MAX_SUBSCRIPT_LEVELS) {
                    SetError(ctx, ERR_ARRAY_SYNTAX);
                    return 0;
                }
                array = ArrayOf(e);
                continue;
            }
            putback(ctx);
        }
        *element = e;
        return 1;
    }
}

// ---------------------------------------------------------------- writing elements

namespace {

struct ElementPath;

// Where an assignment stores: a variable of a scope slot, or an element.
struct Target {
    uint16_t var;
    uint32_t slot;
    ArrayElement* element;
    ElementPath* path;     // how the element was reached, when the target is one
};

// The way from the target variable to its element, one step per bracket group: the
// subscripts into an array, or the key of a map. The right side of the assignment may
// reshape those arrays, remove the key or drop the variable's value (a subroutine or a
// built-in can), so the element is found again along this way before it is read or
// written, never through an address taken before the right side ran.
struct ElementPath {
    struct Step {
        bool map;
        int count;                          // subscripts of an array step
        uint32_t subs[MAX_ARRAY_DIMS];
        uint64_t key;                       // a map step: heap copy of the key
    };
    BDS* ctx;
    int steps = 0;
    Step step[MAX_SUBSCRIPT_LEVELS];

    explicit ElementPath(BDS* context) : ctx(context) {}
    ~ElementPath()
    {
        for (int i = 0; i < steps; ++i)
            if (step[i].map && step[i].key)
                VFree(ctx, step[i].key);
    }
    ElementPath(const ElementPath&) = delete;
    ElementPath& operator=(const ElementPath&) = delete;

    bool AddKey(const char* key)
    {
        Step& st = step[steps];
        st = Step{};
        st.map = true;
        if (!(st.key = HeapCopyText(ctx, key, TextLength(key)))) {
            SetError(ctx, ERR_STRINGS_FULL);
            return false;
        }
        ++steps;
        return true;
    }
    void AddSubscripts(const uint32_t* subs, int n)
    {
        Step& st = step[steps++];
        st = Step{};
        st.count = n;
        std::memcpy(st.subs, subs, sizeof(uint32_t) * static_cast<size_t>(n));
    }
};

// A copy of the target variable's head, read in its scope.
bool ReadTargetHead(BDS* ctx, const Target& t, ValueHead* head)
{
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, t.slot))
        return false;
    *head = ctx->pVars[t.var];
    return LeaveScope(&visit);
}

// Gives a holder without a value (the target variable, or with `holderElement` an
// element) the new array or map block in `made`, which it takes over.
bool AttachNewBlock(BDS* ctx, const Target& t, ArrayElement* holderElement, const ValueHead& made)
{
    AddArrayRef(ArrayOf(&made));    // the holder, beside the creation's reference
    if (holderElement) {
        FreeValue(ctx, holderElement, 0, VK_ELEMENT);
        holderElement->str = made.str;
        holderElement->flags = VF_ARRAY;
        return true;
    }
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, t.slot)) {
        uint64_t block = made.str;
        ReleaseArray(ctx, &block, 1);
        return false;
    }
    VariableEntry& v = ctx->pVars[t.var];
    v.str = made.str;
    v.flags = VF_ARRAY;
    return LeaveScope(&visit);
}

// Subscripts of one group for a store into an ordinary array (`a`) or into a holder
// without a value (`a` null): beyond a dimension's size marks growth, negative is 1636.
// On a holder without a value, a first subscript that is no integer is a map key: the
// answer is then 0 and `key` holds it. Otherwise the number of subscripts, or -1.
int ReadStoreSubscripts(BDS* ctx, const ArrayHeader* a, uint32_t* subs, bool* grow,
                        resultants* key)
{
    *grow = false;
    for (int n = 0;;) {
        resultants sub;
        InitTemp(ctx, &sub);
        if (!ReadSubscript(ctx, &sub)) {
            ReleaseTemp(ctx, &sub);
            return -1;
        }
        bool closing = AtKeyword(ctx, KID_RBRACKET);
        if (n >= MAX_ARRAY_DIMS || (a && n >= a->ndims)) {
            ReleaseTemp(ctx, &sub);
            SetError(ctx, ERR_DIMENSION_COUNT);
            return -1;
        }
        if (!a && n == 0) {
            // A value that reads as an integer is an index; any other makes a map.
            bool isIndex = ValueToInteger(ctx, &sub, true, false) && (sub.flags & VF_INT);
            if (ctx->nErrorCode) {
                ReleaseTemp(ctx, &sub);
                return -1;
            }
            if (!isIndex) {
                if (!closing) {
                    ReleaseTemp(ctx, &sub);
                    SetError(ctx, ERR_ARRAY_SYNTAX);
                    return -1;
                }
                *key = sub;
                return SubscriptKey(ctx, key) ? 0 : -1;
            }
        }
        int32_t v = 0;
        bool ok = SubscriptIndex(ctx, &sub, &v);
        ReleaseTemp(ctx, &sub);
        if (!ok)
            return -1;
        if (v < 0) {
            SetError(ctx, ERR_OUT_OF_BOUNDS);
            return -1;
        }
        if (a && static_cast<uint32_t>(v) >= a->dims[n])
            *grow = true;
        subs[n++] = static_cast<uint32_t>(v);
        if (closing)
            return n;
    }
}

// Makes the array bigger so that the subscripts fit: each dimension whose subscript is at
// or beyond its size becomes subscript + 1. The holder is the target variable or
// `holderElement`; every reference to the block follows it to its new place.
ArrayHeader* GrowArray(BDS* ctx, const Target& t, ArrayElement* holderElement, ArrayHeader* a,
                       const uint32_t* subs, int n)
{
    int32_t sizes[MAX_ARRAY_DIMS] = {-1, -1, -1, -1, -1};
    for (int d = 0; d < n; ++d)
        if (subs[d] >= a->dims[d])
            sizes[d] = static_cast<int32_t>(subs[d] + 1);
    ValueHead variable{};
    if (!holderElement && !ReadTargetHead(ctx, t, &variable))
        return nullptr;
    // The variable itself follows through the reference walk; its copy learns the block.
    ArrayElement* redimensioned = holderElement ? holderElement : &variable;
    if (!ArrayRedimension(ctx, redimensioned, sizes, n, true))
        return nullptr;
    return ArrayOf(redimensioned);
}

// The element of an existing map that one bracket group names, added when the key is new.
ArrayElement* StoreMapElement(BDS* ctx, ArrayHeader* map, ElementPath& path)
{
    resultants key;
    InitTemp(ctx, &key);
    ArrayElement* e = nullptr;
    if (const char* text = ReadMapKey(ctx, &key))
        if (path.AddKey(text))
            e = MapInsertCopyKey(ctx, map, text);
    ReleaseTemp(ctx, &key);
    return e;
}

// The element of an ordinary array that one bracket group names, the array grown to fit;
// with `a` null the holder has no value yet and gets a new array, or a new map when the
// subscript is a key.
ArrayElement* StoreArrayElement(BDS* ctx, const Target& t, ArrayElement* holderElement,
                                ArrayHeader* a, ElementPath& path)
{
    uint32_t subs[MAX_ARRAY_DIMS] = {};
    bool grow = false;
    resultants key;
    InitTemp(ctx, &key);
    int n = ReadStoreSubscripts(ctx, a, subs, &grow, &key);
    if (n < 0) {
        ReleaseTemp(ctx, &key);
        return nullptr;
    }
    if (n == 0) {
        ValueHead made{};
        ArrayElement* e = nullptr;
        if (path.AddKey(ValueText(ctx, &key)) && MapAlloc(ctx, MapInitialSize(ctx), &made)) {
            e = MapInsertCopyKey(ctx, ArrayOf(&made), ValueText(ctx, &key));
            if (!e) {
                uint64_t block = made.str;
                ReleaseArray(ctx, &block, 1);
            } else if (!AttachNewBlock(ctx, t, holderElement, made)) {
                e = nullptr;
            }
        }
        ReleaseTemp(ctx, &key);
        return e;
    }
    if (!a) {
        ValueHead made{};
        uint32_t d[MAX_ARRAY_DIMS] = {};
        for (int i = 0; i < n; ++i)
            d[i] = subs[i] + 1;
        if (CreateMyArray(ctx, &made, d[0], d[1], d[2], d[3], d[4], n == 1 ? ARRAY_GROWABLE : 0, n)
                != 1
            || !AttachNewBlock(ctx, t, holderElement, made))
            return nullptr;
        a = ArrayOf(&made);
    } else if (n != a->ndims) {
        SetError(ctx, ERR_DIMENSION_COUNT);     // before any growth: the array stays as it was
        return nullptr;
    } else if (grow && !(a = GrowArray(ctx, t, holderElement, a, subs, n))) {
        return nullptr;
    }
    uint32_t index = ArrayLinearIndex(a, subs);
    if (index >= a->count || !a->data) {
        SetError(ctx, index >= a->count ? ERR_OUT_OF_BOUNDS : ERR_ARRAY_DATA);
        return nullptr;
    }
    path.AddSubscripts(subs, n);
    return &a->data[index];
}

// Finds or makes the element that the subscripts at the current token `[` name. The
// holder is the target variable, then, one level deeper, an element.
bool AssignArrayElement(BDS* ctx, const Target& t, ArrayElement** out, ElementPath& path)
{
    ValueHead head;
    if (!ReadTargetHead(ctx, t, &head))
        return false;
    ArrayElement* holderElement = nullptr;   // null: the holder is the variable
    for (int depth = 0;; ++depth) {
        const ValueHead& holder = holderElement ? *holderElement : head;
        ArrayHeader* a = ArrayOf(&holder);
        bool fresh = !(holder.flags & VF_HAS_VALUE);
        if (!fresh) {
            if (!(holder.flags & VF_ARRAY)) {
                SetError(ctx, ERR_NOT_AN_ARRAY);
                return false;
            }
            if (!a || (a->ndims != 0 && !a->data)) {
                SetError(ctx, ERR_ARRAY_DATA);
                return false;
            }
            if (a->ndims == 0) {
                SetError(ctx, ERR_ARRAY_EMPTY);
                return false;
            }
        }
        ArrayElement* e = (!fresh && (a->flags & ARRAY_MAP))
                              ? StoreMapElement(ctx, a, path)
                              : StoreArrayElement(ctx, t, holderElement, fresh ? nullptr : a, path);
        if (!e)
            return false;
        get_token(ctx);
        if (ctx->nErrorCode)
            return false;
        if (AtKeyword(ctx, KID_LBRACKET) && !(e->flags & (VF_STRING | VF_UNICODE))) {
            if (depth + 1 >= MAX_SUBSCRIPT_LEVELS) {
                SetError(ctx, ERR_ARRAY_SYNTAX);
                return false;
            }
            holderElement = e;
            continue;
        }
        putback(ctx);
        *out = e;
        return true;
    }
}

// Finds the target element again along its path, as the arrays are now. An array step
// whose subscripts no longer fit is 1636 (1635 when the number of dimensions changed); a
// holder that no longer holds an array or map is 1637; the target's own map key is added
// again when it went.
bool FindElementAgain(BDS* ctx, Target& t)
{
    if (!t.path)
        return true;
    ValueHead head;
    if (!ReadTargetHead(ctx, t, &head))
        return false;
    const ValueHead* holder = &head;
    ArrayElement* e = nullptr;
    for (int i = 0; i < t.path->steps; ++i) {
        const ElementPath::Step& st = t.path->step[i];
        ArrayHeader* a = ArrayOf(holder);
        if (!a || !a->data || st.map != ((a->flags & ARRAY_MAP) != 0)) {
            SetError(ctx, ERR_ARRAY_DATA);
            return false;
        }
        if (st.map) {
            const char* key = HeapPtr(ctx, st.key);
            e = i + 1 < t.path->steps ? MapFind(ctx, a, key) : MapInsertCopyKey(ctx, a, key);
            if (!e) {
                if (!ctx->nErrorCode)
                    SetError(ctx, ERR_ARRAY_DATA);
                return false;
            }
        } else {
            if (a->ndims != st.count) {
                SetError(ctx, ERR_DIMENSION_COUNT);
                return false;
            }
            uint32_t subs[MAX_ARRAY_DIMS] = {};
            for (int d = 0; d < st.count; ++d) {
                if (st.subs[d] >= a->dims[d]) {
                    SetError(ctx, ERR_OUT_OF_BOUNDS);
                    return false;
                }
                subs[d] = st.subs[d];
            }
            uint32_t index = ArrayLinearIndex(a, subs);
            if (index >= a->count) {
                SetError(ctx, ERR_OUT_OF_BOUNDS);
                return false;
            }
            e = &a->data[index];
        }
        holder = e;
    }
    t.element = e;
    return true;
}

// The value of the target before a compound assignment.
bool ReadTargetValue(BDS* ctx, const Target& t, resultants* out)
{
    if (t.element) {
        if (!(t.element->flags & VF_HAS_VALUE)) {
            SetError(ctx, ERR_ELEMENT_UNINIT);
            return false;
        }
        return CopyValue(ctx, t.element, out, 0, VK_ELEMENT | 0x20 | 0x200) != 0;
    }
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, t.slot))
        return false;
    VariableEntry& v = ctx->pVars[t.var];
    bool ok;
    if (!(v.flags & VF_HAS_VALUE)) {
        find_var(ctx, v.name, 1);   // 3052, with the name in the report
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_UNINITIALIZED);
        ok = false;
    } else {
        ok = CopyValue(ctx, &v, out, t.var, VK_ARGUMENT | 0x20 | 0x200) != 0;
    }
    return LeaveScope(&visit) && ok;
}

// Parts to be appended to the target variable's text in place, instead of a value to
// store: the own-append form `x = x : ...`, and `x := ...` on a variable holding a text.
struct PendingAppend {
    int count = 0;
    resultants parts[MAX_APPEND_PARTS];

    void Release(BDS* ctx)
    {
        for (int i = 0; i < count; ++i)
            ReleaseTemp(ctx, &parts[i]);
        count = 0;
    }
};

// A variable of the current scope that holds a narrow text and nothing else.
bool HoldsNarrowText(BDS* ctx, const Target& t)
{
    return !t.element && t.slot == ctx->nScopeCurrent && t.var > 0 && t.var < ctx->nVarUsed
           && ctx->pVars[t.var].flags == VF_STRING && ctx->pVars[t.var].str;
}

// Whether an operand of `:` joins a narrow text without becoming wide; it is converted to
// its narrow text as the concatenation converts it (3056 when it has none).
bool StaysNarrow(BDS* ctx, resultants* value, bool* narrow)
{
    *narrow = !(value->flags & (VF_UNICODE | VF_VARIANT));
    if (!*narrow)
        return true;
    if (ValueToString(ctx, value))
        return true;
    if (!ctx->nErrorCode)
        SetError(ctx, ERR_NOT_STRING);
    return false;
}

// The right side `x : a : b ...` of the own-append form (the current token is the
// variable's own name): the operands are read and converted one by one as the
// concatenation does. When one of them is wide, the value is built the general way from
// there on and goes to result.
void EvaluateOwnAppend(BDS* ctx, resultants* result, const Target& t, PendingAppend& append)
{
    get_token(ctx);   // `:`
    while (!ctx->nErrorCode && AtKeyword(ctx, KID_COLON)) {
        get_token(ctx);
        if (ctx->nErrorCode)
            return;
        resultants& part = append.parts[append.count];
        InitTemp(ctx, &part);
        ++append.count;
        ParseShiftExpr(ctx, &part);
        bool narrow = true;
        if (ctx->nErrorCode || !StaysNarrow(ctx, &part, &narrow))
            return;
        if (narrow)
            continue;
        // A wide operand: the text so far becomes a value and the chain goes on as usual.
        CopyValue(ctx, &ctx->pVars[t.var], result, t.var, VK_ARGUMENT | 0x20 | 0x200);
        for (int i = 0; i < append.count && !ctx->nErrorCode; ++i)
            ConcatValues(ctx, result, &append.parts[i]);
        append.Release(ctx);
        if (!ctx->nErrorCode)
            ContinueConcatChain(ctx, result);
        return;
    }
}

// The right side of an assignment into result; for a compound operator the target's
// value is combined with it. Answers false when the target element is gone (an error of
// the target, not of the right side). `:=` on a variable holding a text leaves the right
// side in `append` instead, to be appended in place.
bool EvaluateExpression(BDS* ctx, uint16_t op, resultants* result, Target& t, PendingAppend& append,
                        const UnreadTree* tree)
{
    if (tree)
        RunTreeUnread(ctx, *tree, result, nullptr, 1);
    else
        ParseLogicalExpr(ctx, result);
    if (ctx->nErrorCode)
        return true;
    if (!FindElementAgain(ctx, t))
        return false;
    if (op == KID_ASSIGN)
        return true;
    if (op == KID_CAT_ASSIGN && HoldsNarrowText(ctx, t)) {
        bool narrow = true;
        if (!StaysNarrow(ctx, result, &narrow))
            return true;
        if (narrow) {
            append.parts[0] = *result;
            append.count = 1;
            InitTemp(ctx, result);
            return true;
        }
    }
    resultants current;
    InitTemp(ctx, &current);
    if (!ReadTargetValue(ctx, t, &current)) {
        ReleaseTemp(ctx, &current);
        return true;
    }
    ApplyBinaryOperator(ctx, CompoundBaseOperator(op), &current, result);
    if (ctx->nErrorCode) {
        ReleaseTemp(ctx, &current);
        return true;
    }
    ReleaseTemp(ctx, result);
    *result = current;
    return true;
}

// Texts of the value duplicated into the string heap for the target.
bool DuplicateTexts(BDS* ctx, const resultants* value, uint64_t* str, uint64_t* wstr)
{
    *str = *wstr = 0;
    if (value->flags & VF_STRING) {
        const char* text = ValueText(ctx, value);
        if (!(*str = HeapCopyText(ctx, text, TextLength(text)))) {
            SetError(ctx, ERR_STRINGS_FULL);
            return false;
        }
    }
    if (value->flags & VF_UNICODE) {
        const wchar_t* text = ValueWText(ctx, value);
        if (!(*wstr = HeapCopyWText(ctx, text, TextLength(text)))) {
            if (*str)
                VFree(ctx, *str);
            SetError(ctx, ERR_STRINGS_FULL);
            return false;
        }
    }
    return true;
}

// Whether the value borrows the very variant the target holds (`o = o`, `a[1] = a[1]` for an
// object or a variant): freeing the target first would release what is then copied.
static bool BorrowsTargetsVariant(const ValueHead* dest, const resultants* value)
{
    return (value->flags & VF_VARIANT) && (dest->flags & VF_VARIANT) && value->originVar != ORIGIN_NONE
           && std::memcmp(&dest->var, &value->var, sizeof(VARIANT)) == 0;
}

// Stores the value into the target: arrays shared, texts duplicated (or, when the value is
// not wanted afterwards, handed over), the rest copied.
bool StoreValue(BDS* ctx, const Target& t, resultants* value, bool keepValue)
{
    ScopeVisit visit;
    if (!t.element && !EnterScope(ctx, &visit, t.slot))
        return false;
    ValueHead* dest = t.element ? static_cast<ValueHead*>(t.element) : &ctx->pVars[t.var];
    ArrayHeader* newArray = ArrayOf(value);
    bool ok = true;
    if (newArray && ArrayOf(dest) == newArray) {
        // the same array assigned to itself: nothing changes
    } else if (BorrowsTargetsVariant(dest, value)) {
        // the same object or variant assigned to itself: nothing changes
    } else {
        uint64_t str = 0, wstr = 0;
        bool handOver = !keepValue && !newArray;
        if (handOver) {
            str = (value->flags & VF_STRING) ? value->str : 0;
            wstr = (value->flags & VF_UNICODE) ? value->wstr : 0;
        }
        if (!newArray && !handOver && !DuplicateTexts(ctx, value, &str, &wstr)) {
            ok = false;
        } else {
            if (newArray)
                LockArrayBlock(newArray);   // the target becomes one more holder
            if (t.element)
                FreeValue(ctx, dest, 0, VK_ELEMENT);
            else
                FreeValue(ctx, dest, t.var, VK_ARGUMENT);
            dest->i32 = value->i32;
            dest->i64 = value->i64;
            dest->flags = value->flags & ~(VF_COMTEMP);
            dest->str = newArray ? value->str : str;
            dest->wstr = wstr;
            if (value->flags & VF_VARIANT) {
                VariantInit(&dest->var);
                if (value->originVar == ORIGIN_NONE) {
                    dest->var = value->var;           // a temporary moves into the target
                    value->originVar = t.element ? ORIGIN_ELEMENT : t.var;
                } else if (!VariantToValueCopy(ctx, value->flags, value, dest)) {
                    dest->flags &= ~(VF_VARIANT | VF_COMOBJ);
                    VariantInit(&dest->var);
                    ok = false;
                }
            }
            if (newArray && !t.element) {
                value->originVar = t.var;           // the result now borrows the variable's
                value->originScope = static_cast<uint16_t>(t.slot);
            } else if (newArray) {
                value->originVar = ORIGIN_ELEMENT;
            }
            if (handOver) {
                // The texts are the target's now; the value keeps its other forms.
                value->flags &= ~(VF_STRING | VF_UNICODE);
                value->str = 0;
                value->wstr = 0;
            }
        }
    }
    if (!t.element) {
        if (ok && t.slot < MAX_SCOPES)
            ctx->aScopes[t.slot].lastAssigned = t.var;
        if (!LeaveScope(&visit))
            return false;
    }
    return ok;
}

// The slot of the assignment in progress: the main script's or the running function's.
uint32_t* AssignTargetSlot(BDS* ctx)
{
    if (ctx->nUdfRunning != UDF_NONE_RUNNING && ctx->nUdfRunning < MAX_UDFS
        && ctx->pUdfRecords[ctx->nUdfRunning])
        return &ctx->pUdfRecords[ctx->nUdfRunning]->assignTarget;
    return &ctx->run.nAssignTarget;
}

// After a failed right side, a user-function error handler may supply the value.
bool RecoverThroughHandler(BDS* ctx, resultants* result)
{
    uint16_t error = ctx->nErrorCode;
    bool cancel = error == CC_CANCEL;
    if (cancel ? ctx->run.nCancelHandlerMode != TRAP_UDF
               : (error >= 9000 || ctx->run.nErrorHandlerMode != TRAP_UDF))
        return false;
    if (!cancel)
        ctx->nLastError = error;
    ctx->nErrorCode = 0;
    RunSite* site = ctx->run.site;
    if (!SetErrorHandlerVars(ctx, site ? site->script : nullptr, cancel, true)
        || !RunHandlerUdf(ctx, cancel)) {
        if (!ctx->nErrorCode)
            ctx->nErrorCode = error;
        return false;
    }
    ReleaseTemp(ctx, result);
    int index = find_var(ctx, "kverrorarray", 0);
    ctx->nErrorCode = 0;
    const ArrayHeader* a = index > 0 ? ArrayOf(&ctx->pVars[index]) : nullptr;
    if (a && a->data && a->count > 11 && (a->data[11].flags & VF_HAS_VALUE)) {
        CopyValue(ctx, &a->data[11], result, 0, VK_ELEMENT | 0x20 | 0x200);
        if ((result->flags & VF_STRING) && !(result->flags & ~VF_STRING & VF_HAS_VALUE)
            && ValueText(ctx, result)[0] == 0)
            SetResultInt(ctx, result, 0);
    } else {
        SetResultInt(ctx, result, 0);
    }
    ctx->nErrorDetail = error;
    return true;
}

// Appends the pending parts to the target variable's text; the statement's value, when
// wanted, is the whole text.
bool StoreAppend(BDS* ctx, const Target& t, resultants* result, PendingAppend& append, bool keepValue)
{
    VariableEntry& v = ctx->pVars[t.var];
    bool ok = AppendToText(ctx, &v, append.parts, append.count);
    append.Release(ctx);
    if (!ok)
        return false;
    ctx->aScopes[t.slot].lastAssigned = t.var;
    if (keepValue)
        SetResultText(ctx, result, ValueText(ctx, &v));
    return true;
}

// With `rightSide` the right side's first token is not read yet and the tree given is
// its own: a plain `=` runs it from there, an append to the target's own text reads on.
void Assign(BDS* ctx, resultants* result, Target& t, const UnreadTree* rightSide = nullptr)
{
    uint16_t op = ctx->delim_type;
    bool statementLevel = ctx->run.bValueUnused != 0;
    ctx->run.bValueUnused = 0;
    bool ownAppend = op == KID_ASSIGN && HoldsNarrowText(ctx, t) && IsOwnAppendForm(ctx, t.var);
    bool fromTree = rightSide && !ownAppend && op == KID_ASSIGN;
    if (!fromTree) {
        get_token(ctx);
        if (ctx->nErrorCode)
            return;
    }
    PendingAppend append;
    uint32_t* slot = AssignTargetSlot(ctx);
    uint32_t previous = *slot;
    *slot = (t.slot << 16) | t.var;
    bool targetFound = true;
    if (ownAppend)
        EvaluateOwnAppend(ctx, result, t, append);
    else
        targetFound = EvaluateExpression(ctx, op, result, t, append, fromTree ? rightSide : nullptr);
    if (ctx->nErrorCode)
        ctx->run.nFailedAssignTarget = *slot;   // named by the trapped error's description
    *slot = previous;
    if (!targetFound)
        return;
    bool handled = false;
    if (ctx->nErrorCode) {
        append.Release(ctx);
        if (!RecoverThroughHandler(ctx, result) || !FindElementAgain(ctx, t))
            return;
        handled = true;
    }
    if (ctx->nTokenKind != TK_END && !handled) {
        append.Release(ctx);
        FailWithMessage(ctx, ERR_PAST_END, MSG_EXTRA_CHARACTERS);
        return;
    }
    // The trace and the debugger show a statement's value (they may have been switched on
    // by the right side itself).
    bool keepValue = !statementLevel || TraceWatching(ctx);
    bool stored = append.count ? StoreAppend(ctx, t, result, append, keepValue)
                               : StoreValue(ctx, t, result, keepValue || handled);
    if (stored && handled)
        SetError(ctx, CC_HANDLED);
}

// With the through-pointer flag: the variable that the pointer held by `name` names.
bool PointerTarget(BDS* ctx, const char* name, Target* t)
{
    int index = find_var(ctx, name, 1);
    return index >= 0 && ResolveHeldPointer(ctx, &ctx->pVars[index], &t->slot, &t->var);
}

}  // namespace

// ---------------------------------------------------------------- ProcessSubExpression

namespace {

void AssignmentOrExpression(BDS* ctx, resultants* result, bool allowAssign, bool throughPointer)
{
    if (!allowAssign && !throughPointer && RunCompiledRestOfLine(ctx, result))
        return;
    FrontState& f = ctx->front;
    char name[VARNAMESIZE + 1];
    std::memcpy(name, f.szName, sizeof(name));
    uint16_t nameLength = f.nTokenLength;
    uint16_t nameIndex = f.nNameIndex;
    char* afterName = ctx->prog;
    char* nameStart = afterName - nameLength;

    Target t{0, ctx->nScopeCurrent, nullptr, nullptr};
    bool resolved = false;
    auto resolve = [&]() -> bool {
        if (resolved)
            return true;
        if (throughPointer) {
            if (!PointerTarget(ctx, name, &t))
                return false;
        } else {
            // The entry the name's reading found answers when it still holds the name and
            // the name is not the one parked in entry 0 (the look-up tries that one first).
            const VariableEntry* vars = ctx->pVars;
            bool parked = vars[0].flags != 0 && SameText(vars[0].name, name);
            uint16_t index = !parked && nameIndex > 0 && nameIndex < ctx->nVarUsed && vars[nameIndex].flags != 0
                                     && SameText(vars[nameIndex].name, name)
                                 ? nameIndex
                                 : FindVarIndex(ctx, name);
            if (index == VAR_NOT_FOUND || index == 0) {
                SetError(ctx, ERR_UNDEFINED);
                return false;
            }
            t.var = index;
        }
        resolved = true;
        return true;
    };

    if (HasSubscript(afterName)) {
        if (!resolve())
            return;
        ValueHead head;
        if (!ReadTargetHead(ctx, t, &head))
            return;
        if (HoldsSafeArray(&head) && !throughPointer && t.slot == ctx->nScopeCurrent) {
            if (!allowAssign) {
                FailWithMessage(ctx, ERR_ASSIGN_NOT_LEGAL, MSG_USE_DOUBLE_EQUALS);
                return;
            }
            GateSafeArrayElementPut(ctx, t.var, result);
            return;
        }
        if ((head.flags & VF_ARRAY) || !(head.flags & VF_HAS_VALUE)) {
            if (!allowAssign) {
                FailWithMessage(ctx, ERR_ASSIGN_NOT_LEGAL, MSG_USE_DOUBLE_EQUALS);
                return;
            }
            get_token(ctx);
            if (ctx->nErrorCode)
                return;
            if (!AtKeyword(ctx, KID_LBRACKET)) {
                SetError(ctx, ERR_NEEDS_DIMENSIONS);
                return;
            }
            ElementPath path(ctx);
            t.path = &path;
            if (!AssignArrayElement(ctx, t, &t.element, path))
                return;
            get_token(ctx);
            if (ctx->nErrorCode)
                return;
            if (ctx->nTokenKind != TK_KEYWORD
                || (ctx->delim_type != KID_ASSIGN && !IsCompoundAssignOp(ctx->delim_type))) {
                // An element holding a text followed by more subscripts.
                FailWithMessage(ctx, ERR_PAST_END, MSG_SUBSCRIPT_AFTER_END);
                return;
            }
            Assign(ctx, result, t);
            return;
        }
    }

    get_token(ctx);
    if (ctx->nErrorCode)
        return;
    if (ctx->nTokenKind == TK_KEYWORD
        && (ctx->delim_type == KID_ASSIGN || IsCompoundAssignOp(ctx->delim_type))) {
        if (!allowAssign) {
            FailWithMessage(ctx, ERR_ASSIGN_NOT_LEGAL, MSG_USE_DOUBLE_EQUALS);
            return;
        }
        if (!resolve())
            return;
        Assign(ctx, result, t);
        return;
    }

    // An expression: back to the name (or to the `*` before it).
    if (throughPointer) {
        char* p = nameStart;
        const char* floor = ctx->pLine && ctx->pLine <= p ? ctx->pLine : p - 64;
        while (p > floor && (p[-1] == ' ' || p[-1] == '\t'))
            --p;
        if (p > floor && p[-1] == '*')
            --p;
        ctx->prog = p;
        ctx->nTokenKind = TK_END;
        get_token(ctx);
        if (ctx->nErrorCode)
            return;
    } else {
        ctx->prog = afterName;
        std::memcpy(ctx->szToken, name, TextLength(name) + 1);
        ctx->nTokenKind = TK_NAME;
        f.nTokenLength = nameLength;
        f.nNameIndex = nameIndex;
    }
    ParseLogicalExpr(ctx, result);
}

}  // namespace

extern "C" int ProcessSubExpression(BDS* ctx, resultants* result, int allowAssign,
                                    int throughPointer, RunSite* site)
{
    // Brackets, arguments and subscripts all nest through here.
    if (!StackRoomLeft(ctx))
        return 0;
    FrontState& f = ctx->front;
    uint32_t savedAllow = f.bAssignAllowed;
    f.bAssignAllowed = allowAssign ? 1 : 0;
    RunSite* savedSite = ctx->run.site;
    if (site)
        ctx->run.site = site;
    if (ctx->nTokenKind == TK_NAME)
        AssignmentOrExpression(ctx, result, allowAssign != 0, throughPointer != 0);
    else
        ParseLogicalExpr(ctx, result);
    ctx->run.site = savedSite;
    f.bAssignAllowed = savedAllow;
    return ctx->nErrorCode ? 0 : 1;
}

int RunPlannedAssignment(BDS* ctx, resultants* result, RunSite* site, const LineView& view,
                         const StatementPlan& plan)
{
    if (plan.firstToken >= view.count)
        return -1;
    const CachedToken& name = view.tokens[plan.firstToken];
    // The name's entry, as reading the name would find it; a name the hint no longer
    // finds, or one parked in entry 0, is read the usual way.
    FrontState& f = ctx->front;
    char key[VARNAMESIZE + 1];
    for (uint16_t k = 0; k < name.length; ++k)
        key[k] = NameKeyChar(view.line + name.start, k);
    key[name.length] = 0;
    const VariableEntry* vars = ctx->pVars;
    uint16_t index = name.idOrVar;
    if (f.bNoCreate || f.bPersistentName || index == 0 || index >= ctx->nVarUsed || vars[index].flags == 0
        || !SameBytes(vars[index].name, key, name.length + 1u)
        || (vars[0].flags != 0 && SameText(vars[0].name, key)))
        return -1;
    if (!StackRoomLeft(ctx))
        return 0;
    // The parse state after the name and the `=`, as reading them leaves it.
    std::memcpy(f.szName, key, name.length + 1u);
    CopyBytes(ctx->szToken, view.line + plan.opStart, plan.opLength);
    ctx->szToken[plan.opLength] = 0;
    ctx->delim_type = KID_ASSIGN;
    ctx->nTokenKind = TK_KEYWORD;
    f.nTokenLength = plan.opLength;
    f.bNumberReady = 0;
    f.nNameIndex = 0;
    f.bNoCreate = 0;
    f.bCreateDefined = 0;
    ctx->prog = const_cast<char*>(view.line) + plan.opStart + plan.opLength;
    // The right side runs from its tree when it has one; without, it is read as usual.
    UnreadTree tree{};
    bool hasTree = FindTreeUnread(ctx, &tree, &view);

    // What the statement runner and ProcessSubExpression do around an assignment.
    ctx->run.nTraceEvent = 0;
    ctx->run.bValueUnused = 1;
    uint32_t savedAllow = f.bAssignAllowed;
    f.bAssignAllowed = 1;
    RunSite* savedSite = ctx->run.site;
    ctx->run.site = site;
    Target t{index, ctx->nScopeCurrent, nullptr, nullptr};
    Assign(ctx, result, t, hasTree ? &tree : nullptr);
    ctx->run.site = savedSite;
    f.bAssignAllowed = savedAllow;
    ctx->run.bValueUnused = 0;
    if (ctx->nErrorCode)
        return 0;
    if (ctx->nTokenKind != TK_END) {
        SetContinuesPastEnd(ctx);
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- pointer operators

namespace {

// `*` before a text: the pointed-to variable's value, or with subscripts after it, the
// element of the pointed-to array.
void Dereference(BDS* ctx, resultants* value)
{
    if (!(value->flags & VF_STRING)) {
        SetError(ctx, ERR_NOT_POINTER);
        return;
    }
    char text[POINTER_TEXT_SIZE];
    CopyStringBoundedA(ctx, text, ValueText(ctx, value), sizeof(text));
    if (!AtKeyword(ctx, KID_LBRACKET)) {
        resultants target;
        InitTemp(ctx, &target);
        if (!GetViaPointer(ctx, text, &target)) {
            ReleaseTemp(ctx, &target);
            return;
        }
        ReleaseTemp(ctx, value);
        *value = target;
        return;
    }
    Target t{0, 0, nullptr, nullptr};
    ValueHead head;
    if (!ResolvePointer(ctx, text, &t.slot, &t.var) || !ReadTargetHead(ctx, t, &head))
        return;
    if (!(head.flags & VF_ARRAY)) {
        SetError(ctx, ERR_NOT_AN_ARRAY);
        return;
    }
    int depth = 0;
    ArrayElement* element = nullptr;
    if (!EvalSubscript(ctx, ArrayOf(&head), &depth, &element))
        return;
    if (!(element->flags & VF_HAS_VALUE)) {
        SetError(ctx, ERR_ELEMENT_UNINIT);
        return;
    }
    ReleaseTemp(ctx, value);
    CopyValue(ctx, element, value, 0, VK_ELEMENT | 0x20 | 0x200);
    if (!ctx->nErrorCode)
        get_token(ctx);
}

}  // namespace

void ApplyUnaryOperator(BDS* ctx, uint16_t op, resultants* value)
{
    if (op == KID_AMP) {
        char text[POINTER_TEXT_SIZE];
        if (value->originVar >= ORIGIN_ELEMENT || value->originVar == 0
            || value->originVar >= ctx->nVarUsed
            || !FormatVarPointer(ctx, value->originVar, text, sizeof(text))) {
            SetError(ctx, ERR_BAD_AMPERSAND);
            return;
        }
        ReleaseTemp(ctx, value);
        SetResultText(ctx, value, text);
        return;
    }
    if (op == KID_STAR) {
        Dereference(ctx, value);
        return;
    }
    ApplyNumericUnary(ctx, op, value);
}
