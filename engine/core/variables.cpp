// Variables of the current scope: name keys, look-up, and creating or overwriting a
// variable from a text, a number, an array or a whole value.
//
// Entry 0 of every table is reserved (the tokenizer parks names there), so look-ups and
// stores start at entry 1.
#include <cstring>
#include <cwchar>

#include "engine/com/com_value.h"
#include "engine/core/charclass.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/short_text.h"
#include "engine/core/text_length.h"
#include "engine/data/array.h"
#include "engine/files/settings.h"

namespace {

// The length of a name key, counted inline (the runtime's strlen is a call that costs more
// than the few bytes); a text longer than any name answers VARNAMESIZE + 1, which no name
// matches.
size_t KeyLength(const char* key)
{
    size_t n = 0;
    while (n <= VARNAMESIZE && key[n])
        ++n;
    return n;
}

}  // namespace

int ScanForKey(BDS* ctx, const char* key, int* lastFree)
{
    *lastFree = -1;
    size_t length = KeyLength(key);
    int hinted = VarHintFind(ctx, key, length);
    if (hinted > 0) return hinted;
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i) {
        const VariableEntry& entry = ctx->pVars[i];
        if (entry.name[0] == key[0] && SameText(entry.name, key)) {
            VarHintNote(ctx, key, length, i);
            return static_cast<int>(i);
        }
        if (entry.flags == 0) *lastFree = static_cast<int>(i);
    }
    return -1;
}

namespace {

bool InSkippedBranch(const BDS* ctx)
{
    uint32_t depth = ctx->nStructDepth;
    return depth > 0 && depth <= MAX_STRUCT_FRAMES && ctx->aStructFrames[depth - 1].skip != 0;
}

// Records a read of a variable without a value, for the user and for the settings file.
void ReportUninitialized(BDS* ctx, const char* name)
{
    WriteSettingsIni(ctx, "Error Reporting", "3052", name);
    char text[300];
    int length = LoadMyString(ctx, EngineModule(), 880, text, 200);
    if (length < 0) length = 0;
    size_t used = static_cast<size_t>(length);
    const char* lead = "\n\n    ";
    size_t room = sizeof text - used - 1;
    size_t leadLength = TextLength(lead);
    size_t nameLength = strnlen(name, VARNAMESIZE);
    if (leadLength + nameLength <= room) {
        memcpy(text + used, lead, leadLength);
        memcpy(text + used + leadLength, name, nameLength);
        used += leadLength + nameLength;
    }
    text[used] = 0;
    AppendExtendedError(ctx, text);
}

// Stores `value` (whose texts, array reference and COM value the table now owns) under
// the name. On failure the parts made for it are released (`keep` names the parts the
// caller still owns: VM_KEEP_COM, VM_KEEP_ARRAY) and no variable changes.
int StoreVariable(BDS* ctx, const char* name, ValueHead& value, int keep)
{
    bool sameComKept = (keep & VM_KEEP_COM) != 0;
    auto discard = [&](uint16_t error) {
        FreeValue(ctx, &value, 0, VK_ELEMENT | keep);
        SetError(ctx, error);
        return 0;
    };
    char key[VARNAMESIZE + 1];
    if (MakeNameKey(name, key) < 0) return discard(3055);
    if (!ctx->pVars) return discard(1588);
    if (ctx->nVarUsed == 0) ctx->nVarUsed = 1;  // entry 0 is never handed out

    int lastFree;
    int index = ScanForKey(ctx, key, &lastFree);
    if (index < 0) {
        if (lastFree > 0) {
            index = lastFree;
        } else {
            if (static_cast<uint32_t>(ctx->nVarUsed) + 1 >= ctx->nVarCapacity) return discard(3097);
            index = ctx->nVarUsed++;
        }
    }
    VariableEntry& entry = ctx->pVars[index];
    if (entry.flags != 0) {
        // The same COM object stays with the variable; only its other forms go.
        FreeValue(ctx, &entry, index, sameComKept ? VK_ARGUMENT | VM_KEEP_COM : VK_ARGUMENT);
    }
    memcpy(static_cast<ValueHead*>(&entry), &value, sizeof(ValueHead));
    memset(entry.name, 0, sizeof entry.name);
    size_t length = KeyLength(key);
    CopyBytes(entry.name, key, length);
    entry.flag = 0;
    VarHintNote(ctx, key, length, static_cast<uint32_t>(index));
    return 1;
}

}  // namespace

int MakeNameKey(const char* name, char key[VARNAMESIZE + 1])
{
    // Counted here up to one past the longest name: a longer text is refused as before.
    size_t length = 0;
    while (name && length <= VARNAMESIZE && name[length])
        ++length;
    if (length == 0 || length > VARNAMESIZE) {
        key[0] = 0;
        return -1;
    }
    for (size_t i = 0; i < length; ++i) key[i] = NameKeyChar(name, i);
    key[length] = 0;
    return static_cast<int>(length);
}

int FindVariableByKey(BDS* ctx, const char* key)
{
    if (!ctx->pVars || !key[0]) return 65535;
    size_t length = KeyLength(key);
    int hinted = VarHintFind(ctx, key, length);
    if (hinted > 0 && ctx->pVars[hinted].flags != 0) return hinted;
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i) {
        const VariableEntry& entry = ctx->pVars[i];
        if (entry.flags != 0 && entry.name[0] == key[0] && SameText(entry.name, key)) {
            VarHintNote(ctx, key, length, i);
            return static_cast<int>(i);
        }
    }
    return 65535;
}

extern "C" int find_var(BDS* ctx, const char* name, int report)
{
    char key[VARNAMESIZE + 1];
    int index = MakeNameKey(name, key) < 0 ? 65535 : FindVariableByKey(ctx, key);
    if (index == 65535) {
        SetError(ctx, 3051);
        return -1;
    }
    if (!(ctx->pVars[index].flags & VF_HAS_VALUE)) {
        if (report && !InSkippedBranch(ctx))
            ReportUninitialized(ctx, ctx->pVars[index].name);
        SetError(ctx, 3052);
        return -1;
    }
    return index;
}

int SetVariableByName(BDS* ctx, const char* name, const void* text, int32_t integer, int mode)
{
    ValueHead value{};
    value.i32 = integer;
    switch (mode) {
    case SV_INT:
        value.flags = VF_INT;
        break;
    case SV_STRING: {
        const char* narrow = text ? static_cast<const char*>(text) : "";
        value.str = HeapCopyText(ctx, narrow, TextLength(narrow));
        if (value.str == 0) {
            SetError(ctx, 3096);
            return 0;
        }
        value.flags = VF_STRING;
        break;
    }
    case SV_WIDE: {
        const wchar_t* wide = text ? static_cast<const wchar_t*>(text) : L"";
        value.wstr = HeapCopyWText(ctx, wide, TextLength(wide));
        if (value.wstr == 0) {
            SetError(ctx, 3096);
            return 0;
        }
        value.flags = VF_UNICODE;
        break;
    }
    case SV_ARRAY:
        value.str = reinterpret_cast<uint64_t>(text);
        value.flags = VF_ARRAY;
        break;
    default:
        return 0;
    }
    if (!StoreVariable(ctx, name, value, mode == SV_ARRAY ? VM_KEEP_ARRAY : 0))
        return 0;
    // The variable is one more holder of the block, beside its creation's reference: were
    // it to take that reference over, the block would go with the next holder that lets
    // go (a function's argument or result) while the variable still held it.
    if (mode == SV_ARRAY)
        AddArrayRef(ValueArray(&value));
    return 1;
}

int AddFreshVariable(BDS* ctx, const char* name, const resultants* source)
{
    char key[VARNAMESIZE + 1];
    int length = MakeNameKey(name, key);
    if (length < 0 || !ctx->pVars || ctx->nVarUsed == 0)
        return SetVariableFromValue(ctx, name, source);
    // A name met before (a parameter named twice) is stored as any assignment stores it.
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
        if (ctx->pVars[i].flags == 0 || SameText(ctx->pVars[i].name, key))
            return SetVariableFromValue(ctx, name, source);
    if (static_cast<uint32_t>(ctx->nVarUsed) + 1 >= ctx->nVarCapacity)
        return SetVariableFromValue(ctx, name, source);
    int mode = VK_RECORD | VM_TO_ELEMENT | VM_COPY_TEXT | VM_ADD_ARRAY_REF;
    if (source->flags & VF_VARIANT)
        mode |= VM_COPY_COM;
    // Copied straight into the entry (a failed copy leaves it alone): a copy through a
    // local record would be read back in wider pieces than it was written.
    uint32_t index = ctx->nVarUsed;
    VariableEntry& entry = ctx->pVars[index];
    if (!CopyValue(ctx, source, static_cast<ValueHead*>(&entry), 0, mode)) return 0;
    entry.flags &= ~VF_COMTEMP;
    ++ctx->nVarUsed;
    memset(entry.name, 0, sizeof entry.name);
    CopyBytes(entry.name, key, static_cast<size_t>(length));
    entry.flag = 0;
    VarHintNote(ctx, key, static_cast<size_t>(length), index);
    return 1;
}

int SetVariableFromValue(BDS* ctx, const char* name, const resultants* source)
{
    // Everything the variable will own is made first: heap copies of the texts, a
    // reference to the array, a copy of the COM value.
    int mode = VK_RECORD | VM_TO_ELEMENT | VM_COPY_TEXT | VM_ADD_ARRAY_REF;
    bool sameCom = false;
    if (source->flags & VF_VARIANT) {
        char key[VARNAMESIZE + 1];
        int index = MakeNameKey(name, key) < 0 ? 65535 : FindVariableByKey(ctx, key);
        // The very same COM data (bit for bit) stays with the variable.
        if (index != 65535 && (ctx->pVars[index].flags & VF_VARIANT) &&
            memcmp(&ctx->pVars[index].var, &source->var, sizeof(VARIANT)) == 0)
            sameCom = true;
        else
            mode |= VM_COPY_COM;
    }
    ValueHead value{};
    if (!CopyValue(ctx, source, &value, 0, mode)) return 0;
    value.flags &= ~VF_COMTEMP;
    return StoreVariable(ctx, name, value, sameCom ? VM_KEEP_COM : 0);
}
