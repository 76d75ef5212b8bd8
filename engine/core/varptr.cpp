// Variable pointers: making and reading pointer texts, and reading, writing and wiping a
// variable through its scope slot.
#include "engine/core/text_length.h"
#include "engine/core/varptr.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/runloop.h"

namespace {

void WriteHex(uint64_t value, int digits, char* out)
{
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[i] = kHex[value & 0xF];
}

bool ReadHex(const char* text, int digits, uint64_t* out)
{
    uint64_t value = 0;
    for (int i = 0; i < digits; ++i) {
        char c = text[i];
        int digit = (c >= '0' && c <= '9') ? c - '0'
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    *out = value;
    return true;
}

void WipeTexts(BDS* ctx, ValueHead* value)
{
    if ((value->flags & VF_STRING) && !(value->flags & VF_ARRAY) && value->str) {
        char* text = HeapPtr(ctx, value->str);
        memset(text, 0, TextLength(text));
    }
    if ((value->flags & VF_UNICODE) && value->wstr) {
        auto* text = reinterpret_cast<wchar_t*>(HeapPtr(ctx, value->wstr));
        memset(text, 0, TextLength(text) * sizeof(wchar_t));
    }
}

}  // namespace

bool EnterScope(BDS* ctx, ScopeVisit* visit, uint32_t slot)
{
    visit->ctx = ctx;
    visit->switched = false;
    if (slot == ctx->nScopeCurrent)
        return true;
    if (!SwitchVarScope(ctx, slot, &visit->save)) {
        SetError(ctx, 3815);
        return false;
    }
    visit->switched = true;
    return true;
}

bool LeaveScope(ScopeVisit* visit)
{
    if (!visit->switched)
        return true;
    visit->switched = false;
    if (!RestoreVarScope(visit->ctx, &visit->save)) {
        SetError(visit->ctx, 3816);
        return false;
    }
    return true;
}

ScopeVisit::~ScopeVisit() { LeaveScope(this); }

int MakeVarPointer(BDS* ctx, const char* name, char out[VARPTR_TEXT_SIZE])
{
    char key[VARNAMESIZE + 1];
    int length = MakeNameKey(name, key);
    if (length < 0) {
        out[0] = 0;
        SetError(ctx, 3055);
        return 0;
    }
    const ScopeSlot& scope = ctx->aScopes[ctx->nScopeCurrent < MAX_SCOPES ? ctx->nScopeCurrent : 0];
    memcpy(out, VARPTR_PREFIX, 9);
    WriteHex(ctx->nScopeCurrent, 4, out + 9);
    WriteHex(reinterpret_cast<uint64_t>(scope.hTable), 16, out + 13);
    WriteHex(scope.serial, 8, out + 29);
    WriteHex(scope.tick, 8, out + 37);
    memcpy(out + VARPTR_FIXED_LENGTH, key, static_cast<size_t>(length) + 1);
    return VARPTR_FIXED_LENGTH + length;
}

int ParseVarPointer(BDS* ctx, const char* text, uint32_t* slot, char name[VARNAMESIZE + 1])
{
    size_t length = text ? strnlen(text, VARPTR_MAX_LENGTH + 1) : 0;
    uint64_t scope, handle, serial, tick;
    if (length <= VARPTR_FIXED_LENGTH || length > VARPTR_MAX_LENGTH ||
        memcmp(text, VARPTR_PREFIX, 9) != 0 || !ReadHex(text + 9, 4, &scope) ||
        !ReadHex(text + 13, 16, &handle) || !ReadHex(text + 29, 8, &serial) ||
        !ReadHex(text + 37, 8, &tick) || MakeNameKey(text + VARPTR_FIXED_LENGTH, name) < 0) {
        SetError(ctx, 3813);
        return 0;
    }
    if (scope >= MAX_SCOPES) {
        SetError(ctx, 3814);
        return 0;
    }
    const ScopeSlot& target = ctx->aScopes[scope];
    if (!target.hTable || reinterpret_cast<uint64_t>(target.hTable) != handle ||
        target.serial != serial || target.tick != tick) {
        SetError(ctx, 3814);
        return 0;
    }
    *slot = static_cast<uint32_t>(scope);
    return 1;
}

int GetViaPointer(BDS* ctx, const char* text, resultants* result)
{
    uint32_t slot;
    char key[VARNAMESIZE + 1];
    if (!ParseVarPointer(ctx, text, &slot, key)) return 0;
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, slot)) return 0;
    int index = FindVariableByKey(ctx, key);
    if (index == 65535 || !(ctx->pVars[index].flags & VF_HAS_VALUE)) {
        SetError(ctx, 3817);
        return 0;
    }
    resultants copy;
    int mode = VK_ARGUMENT | VM_TO_RECORD | VM_SCOPE_IN_INDEX | VM_COPY_TEXT | VM_ADD_ARRAY_REF;
    if (!CopyValue(ctx, &ctx->pVars[index], &copy, static_cast<int>(slot << 16 | index), mode))
        return 0;
    if (!LeaveScope(&visit)) {
        FreeValue(ctx, &copy, 0, VK_RECORD);
        return 0;
    }
    FreeValue(ctx, result, 0, VK_RECORD);
    *result = copy;
    return 1;
}

int SetViaPointer(BDS* ctx, const char* text, const resultants* value)
{
    uint32_t slot;
    char key[VARNAMESIZE + 1];
    if (!ParseVarPointer(ctx, text, &slot, key)) return 0;
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, slot)) return 0;
    int stored = SetVariableFromValue(ctx, key, value);
    return LeaveScope(&visit) ? stored : 0;
}

int IsArrayViaPointer(BDS* ctx, const char* text)
{
    uint16_t previous = ctx->nErrorCode;
    uint32_t slot;
    char key[VARNAMESIZE + 1];
    int isArray = 0;
    if (ParseVarPointer(ctx, text, &slot, key)) {
        ScopeVisit visit;
        if (EnterScope(ctx, &visit, slot)) {
            int index = FindVariableByKey(ctx, key);
            isArray = index != 65535 && (ctx->pVars[index].flags & VF_ARRAY) ? 1 : 0;
            if (!LeaveScope(&visit)) return 0;
        }
    }
    if (!isArray) ctx->nErrorCode = previous;
    return isArray;
}

int WipeValueText(BDS* ctx, resultants* argument)
{
    WipeTexts(ctx, argument);
    if (argument->originVar >= ORIGIN_ELEMENT) return 1;
    uint32_t slot = argument->originScope == 0xFFFF ? ctx->nScopeCurrent : argument->originScope;
    if (slot >= MAX_SCOPES) return 1;
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, slot)) return 0;
    if (argument->originVar < ctx->nVarUsed)
        WipeTexts(ctx, &ctx->pVars[argument->originVar]);
    return LeaveScope(&visit) ? 1 : 0;
}
