// DLLServices: the one entry through which the host and the extenders reach a running
// engine instance (read and set variables, stop the script, quiet mode, inflate the
// attached script, query the run's outcome), with the helpers only it uses.
//
// Requests may arrive from the host's window procedure while a run pumps messages, so they
// only set fields the run loop polls or read state.
#include "engine/core/host_services.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/host_service_needs.h"
#include "engine/core/text_length.h"
#include "engine/core/trace_dumps.h"
#include "engine/core/runloop.h"
#include "engine/core/script.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"
#include "engine/core/uncompress.h"
#include "engine/com/com_value.h"
#include "engine/data/binary_buffer.h"
#include "engine/data/map.h"
#include "engine/files/settings.h"
#include "engine/system/start_by_extension.h"
#include "engine/ui/message_box.h"
#include "engine/ui/window_activate.h"
#include "engine/ui/window_place.h"

namespace {

// The arguments of one request.
struct Request {
    uint16_t code;
    void* p1;
    void* p2;
    int64_t p3;
    uint64_t p4;
    const char* Text1() const { return static_cast<const char*>(p1); }
    const char* Text2() const { return static_cast<const char*>(p2); }
};

// Copies into p with size n: at most n - 1 bytes and a NUL.
void CopyOut(BDS* ctx, void* target, const char* text, int64_t size)
{
    if (target && size > 0)
        CopyStringBoundedA(ctx, static_cast<char*>(target), text ? text : "", size_t(size));
}

bool HasText(const char* text) { return text && text[0]; }

// ---------------------------------------------------------------- variables by name

// The variable-name key of a name as the tokenizer makes it: the first character
// lower-cased when below 0x80, the rest through CharLowerA; characters beyond the 30th are
// added byte-wise onto positions 5 to 29 in turn.
void HostVariableKey(const char* name, char key[VARNAMESIZE + 1])
{
    size_t n = 0;
    for (; name[n] && n < VARNAMESIZE; ++n)
        key[n] = NameKeyChar(name, n);
    key[n] = 0;
    for (size_t extra = 0; name[n]; ++n, ++extra)
        key[5 + extra % (VARNAMESIZE - 5)] = char(uint8_t(key[5 + extra % (VARNAMESIZE - 5)]) + uint8_t(LowerChar(name[n])));
}

// The variable with a value of that name, or null (an error of the look-up is cleared).
VariableEntry* FindNamedVariable(BDS* ctx, const char* name)
{
    if (!HasText(name) || !ctx->pVars)
        return nullptr;
    char key[VARNAMESIZE + 1];
    HostVariableKey(name, key);
    uint16_t saved = ctx->nErrorCode;
    int index = find_var(ctx, key, 0);
    ctx->nErrorCode = saved;
    return index > 0 ? &ctx->pVars[index] : nullptr;
}

// ---------------------------------------------------------------- binary buffers

// The buffer handle a variable holds, or 0.
int64_t BufferHandleOfVariable(BDS* ctx, const char* name)
{
    VariableEntry* v = FindNamedVariable(ctx, name);
    return v && IsBinaryHandleValue(v) ? v->i32 : 0;
}

// Copies caller data to the start of a buffer: 1 when everything fitted, 0 when the data
// was cut, -1 for a bad handle or no data.
int64_t CopyIntoBuffer(BDS* ctx, const void* data, uint32_t count, int64_t handle)
{
    BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
    if (!slot)
        return -1;
    if (slot->size > 0xFFFFFFFFll) {
        slot->eod = 0;
        return -1;
    }
    if (!data || count == 0) {
        slot->eod = 0;
        return -1;
    }
    int64_t n = count < slot->size ? int64_t(count) : slot->size;
    std::memcpy(slot->data, data, size_t(n));
    slot->eod = n;
    return n == count ? 1 : 0;
}

// The handle of the buffer a request names: a variable holding a handle (p1), or the
// handle itself (p2); null when no buffer in use is named.
int64_t RequestedBuffer(BDS* ctx, const Request& r, BinaryBufferSlot** slot)
{
    int64_t handle = HasText(r.Text1()) ? BufferHandleOfVariable(ctx, r.Text1())
                                        : int64_t(reinterpret_cast<uintptr_t>(r.p2));
    *slot = BinarySlotQuiet(ctx, handle);
    return handle;
}

uint64_t BufferInfo(BDS* ctx, const Request& r)
{
    BinaryBufferSlot* slot;
    RequestedBuffer(ctx, r, &slot);
    if (!slot)
        return 0;
    switch (r.p3) {
    case 1: return reinterpret_cast<uint64_t>(slot->hMem);
    case 2: return uint64_t(slot->size);
    case 3: return uint64_t(slot->eod);
    default: return 0;
    }
}

// Sets the end of data (p3 = -1) or pokes one byte as the binary poke does; answers the end
// of data after the change.
uint64_t BufferPoke(BDS* ctx, const Request& r)
{
    BinaryBufferSlot* slot;
    int64_t handle = RequestedBuffer(ctx, r, &slot);
    if (!slot)
        return 0;
    int64_t offset = int64_t(r.p4);
    if (r.p3 == -1) {
        if (offset < 0 || offset > slot->size)
            SetError(ctx, 1548);                     // "Binary functions: Invalid offset"
        else
            slot->eod = offset;
    } else {
        // A value beyond 32 bits stays out of a byte's range when it is narrowed.
        int32_t value = int32_t(std::clamp<int64_t>(r.p3, INT32_MIN, INT32_MAX));
        DoBinaryPeekPoke(ctx, handle, true, offset, value, false, 1);
    }
    return uint64_t(slot->eod);
}

// ---------------------------------------------------------------- array elements

// The element that the subscript text names in an array (digits, separated by commas,
// blanks around them) or the key of a map; null when there is none.
ArrayElement* LookupNamedVar(BDS* ctx, const char* name, const char* subscripts)
{
    VariableEntry* v = FindNamedVariable(ctx, name);
    ArrayHeader* a = v ? ValueArray(v) : nullptr;
    if (!a || !subscripts)
        return nullptr;
    if (a->flags & ARRAY_MAP) {
        uint16_t saved = ctx->nErrorCode;
        ArrayElement* value = MapFind(ctx, a, subscripts);
        ctx->nErrorCode = saved;
        return value;
    }
    return ArrayElementOfText(a, subscripts);
}

// The text of an element: "---" for no value, else its value as text.
void ElementText(BDS* ctx, const ArrayElement* e, char* out, size_t size)
{
    uint32_t flags = e->flags;
    if (!(flags & VF_HAS_VALUE)) {
        CopyStringBoundedA(ctx, out, "---", size);
        return;
    }
    if (flags & VF_ARRAY) {
        CopyStringBoundedA(ctx, out, "<embedded array>", size);
        return;
    }
    if (flags & VF_STRING) {
        CopyStringBoundedA(ctx, out, ValueText(ctx, e), size);
        return;
    }
    if (flags & VF_UNICODE) {
        if (!WideCharToMultiByte(ValueCodePage(ctx), 0, ValueWText(ctx, e), -1, out, int(size), nullptr, nullptr))
            out[size - 1] = 0;
        return;
    }
    if (flags & (VF_INT | VF_INT64 | VF_FLOAT | VF_VARIANT)) {
        resultants temp;
        InitResultValue(ctx, &temp, VK_RECORD, 0);
        CopyValue(ctx, e, &temp, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT);
        uint16_t saved = ctx->nErrorCode;
        bool ok = !ctx->nErrorCode && ValueToString(ctx, &temp);
        CopyStringBoundedA(ctx, out, ok ? ValueText(ctx, &temp) : "<complex data type>", size);
        FreeValue(ctx, &temp, 0, VK_RECORD);
        ctx->nErrorCode = saved;
        return;
    }
    CopyStringBoundedA(ctx, out, "Error - unknown type", size);
}

uint64_t ReadElement(BDS* ctx, const Request& r)
{
    ArrayElement* e = LookupNamedVar(ctx, r.Text1(), r.Text2());
    if (!e)
        return 0;
    char text[TEXTBUF];
    ElementText(ctx, e, text, sizeof(text));
    CopyOut(ctx, reinterpret_cast<void*>(r.p4), text, r.p3);
    return TextLength(text) + 1;
}

uint64_t WriteElement(BDS* ctx, const Request& r)
{
    ArrayElement* e = LookupNamedVar(ctx, r.Text1(), r.Text2());
    if (!e)
        return 0;
    const char* refusal = (e->flags & VF_ARRAY) ? "Cannot reassign an array type"
                          : (e->flags & VF_VARIANT) ? "Cannot reassign a variant type" : nullptr;
    if (refusal) {
        ShowMessageBox(ctx, ctx->hwndOwner, refusal, "DllServices Error", MB_SETFOREGROUND);
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(r.p4);
    size_t length = text ? TextLength(text) : 0;
    FreeValue(ctx, e, 0, VK_ELEMENT);
    uint64_t offset = HeapCopyText(ctx, text ? text : "", length);
    *e = ArrayElement{};
    if (offset) {
        e->str = offset;
        e->flags = VF_STRING;
    } else {
        e->flags = VF_INT;                           // the heap is full: the integer 0
    }
    return length + 1;
}

// ---------------------------------------------------------------- maps

uint64_t MapStep(BDS* ctx, const Request& r)
{
    VariableEntry* v = FindNamedVariable(ctx, r.Text1());
    ArrayHeader* map = v ? ValueArray(v) : nullptr;
    auto* position = static_cast<int64_t*>(r.p2);
    auto* out = reinterpret_cast<char*>(r.p4);
    if (!map || !(map->flags & ARRAY_MAP) || !position || !out || r.p3 < 2)
        return 0;
    if (*position == -1)
        *position = int64_t(MapPositionStart(map));
    if (*position == 0)
        return 0;
    const char* key = nullptr;
    ArrayElement* value = nullptr;
    *position = int64_t(MapPositionStep(ctx, map, uint64_t(*position), &key, &value));
    if (!key)
        return 0;
    size_t size = size_t(r.p3);
    size_t keyLength = CopyStringBoundedA(ctx, out, key, size);
    if (keyLength + 2 > size)
        return 0;
    char text[TEXTBUF];
    if (value)
        ElementText(ctx, value, text, sizeof(text));
    else
        std::strcpy(text, "---");
    size_t room = size - keyLength - 1;
    if (TextLength(text) + 1 > room)
        std::strcpy(text, "<Value too large>");
    size_t valueLength = CopyStringBoundedA(ctx, out + keyLength + 1, text, room);
    return keyLength + 1 + valueLength + 1;
}

uint64_t MapSet(BDS* ctx, const Request& r)
{
    VariableEntry* v = FindNamedVariable(ctx, r.Text1());
    ArrayHeader* map = v ? ValueArray(v) : nullptr;
    const char* key = r.Text2();
    const char* text = reinterpret_cast<const char*>(r.p4);
    if (!map || !(map->flags & ARRAY_MAP) || !key)
        return 0;
    ArrayElement* value = MapInsertCopyKey(ctx, map, key);
    if (!value)
        return 0;
    size_t length = text ? TextLength(text) : 0;
    FreeValue(ctx, value, 0, VK_ELEMENT);
    *value = ArrayElement{};
    uint64_t offset = HeapCopyText(ctx, text ? text : "", length);
    if (!offset) {
        SetError(ctx, 3096);
        return 0;
    }
    value->str = offset;
    value->flags = VF_STRING;
    return length + TextLength(key) + 2;
}

uint64_t MapDelete(BDS* ctx, const Request& r)
{
    VariableEntry* v = FindNamedVariable(ctx, r.Text1());
    ArrayHeader* map = v ? ValueArray(v) : nullptr;
    if (!map || !(map->flags & ARRAY_MAP) || !r.Text2())
        return 0;
    return uint64_t(MapRemove(ctx, map, r.Text2()));
}

// ---------------------------------------------------------------- variants

uint64_t ReadVariant(BDS* ctx, const Request& r)
{
    if (!HasText(r.Text1()))
        return 1;
    VariableEntry* v = FindNamedVariable(ctx, r.Text1());
    if (!v)
        return 2;
    if (!(v->flags & VF_VARIANT))
        return 3;
    auto* out = static_cast<char*>(r.p2);
    if (!out || int64_t(r.p4) < 1)
        return 4;
    if (r.p3 == 2) {
        VtTypeName(ctx, v->var.vt, out, int(r.p4 > 0x7FFFFFFF ? 0x7FFFFFFF : r.p4));
        return 0;
    }
    if (r.p3 != 1)
        return 6;
    resultants temp;
    InitResultValue(ctx, &temp, VK_RECORD, 0);
    CopyValue(ctx, v, &temp, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT | VM_COPY_COM);
    uint64_t answer = 5;
    uint16_t saved = ctx->nErrorCode;
    if (!ctx->nErrorCode && ValueToString(ctx, &temp)) {
        CopyOut(ctx, out, ValueText(ctx, &temp), int64_t(r.p4));
        answer = 0;
    }
    FreeValue(ctx, &temp, 0, VK_RECORD);
    ctx->nErrorCode = saved;
    return answer;
}

// ---------------------------------------------------------------- keywords

// A keyword whose type word has this bit fails with 3472 "Function not available in this
// product" when a script uses it.
constexpr uint32_t KEYWORD_SWITCHED_OFF = 0x2000;

// Switches keywords of the static table off (p3 = 0) or on. Names come in the table's
// order, separated by runs of the delimiter; the search for each starts behind the previous
// match. Answers 1, or 0 when a name was not found (or was longer than a keyword can be).
uint64_t SwitchKeywords(const Request& r)
{
    const char* list = r.Text1();
    char delimiter = r.Text2() && r.Text2()[0] ? r.Text2()[0] : ' ';
    if (!list)
        return 0;
    bool off = r.p3 == 0;
    uint64_t answer = 1;
    uint32_t next = 0;
    for (const char* p = list; *p;) {
        while (*p == delimiter)
            ++p;
        if (!*p)
            break;
        const char* start = p;
        while (*p && *p != delimiter)
            ++p;
        size_t length = size_t(p - start);
        if (length > VARNAMESIZE) {
            answer = 0;
            continue;
        }
        uint32_t i = next;
        for (; i < NKEYTOKENS; ++i) {
            const KeywordRecord& k = g_KeywordTable[i];
            if (k.nameLength == length && std::memcmp(k.name, start, length) == 0)
                break;
        }
        if (i == NKEYTOKENS) {
            answer = 0;
            continue;
        }
        KeywordRecord& k = g_KeywordTable[i];
        k.type = off ? (k.type | KEYWORD_SWITCHED_OFF) : (k.type & ~KEYWORD_SWITCHED_OFF);
        next = i + 1;
    }
    return answer;
}

// ---------------------------------------------------------------- logon token

uint64_t RememberLogon(BDS* ctx, const Request& r)
{
    return KeepLogonToken(ctx, uint32_t(r.p3), reinterpret_cast<HANDLE>(r.p4));
}

// ---------------------------------------------------------------- windows

uint64_t SaveWindowPosition(BDS* ctx, const Request& r)
{
    if (!HasText(r.Text1()))
        return 0;
    resultants position;
    InitResultValue(ctx, &position, VK_RECORD, 0);
    if (DoWinPositionA(ctx, &position, "", reinterpret_cast<HWND>(r.p3)) && !ctx->nErrorCode)
        WriteSettingsReg(ctx->szSettingsSection, r.Text1(), ValueText(ctx, &position), ctx->szSettingsFile, 0);
    FreeValue(ctx, &position, 0, VK_RECORD);
    return 1;
}

uint64_t PlaceWindow(BDS* ctx, const Request& r)
{
    if (!r.Text1())
        return 0;
    int corner[4];
    for (int i = 0; i < 4; ++i) {
        GetDelimitedItem(ctx, i + 1, r.Text1(), ",");
        corner[i] = std::atoi(ctx->szTextBuf);
    }
    HWND window = reinterpret_cast<HWND>(r.p3);
    if (IsIconic(window) || IsZoomed(window))
        ShowWindow(window, SW_SHOWNORMAL);
    DoWinPlaceA(ctx, corner[0], corner[1], corner[2], corner[3], "", window);
    return 1;
}

uint64_t StructureStackBlock(BDS* ctx)
{
    resultants text;
    InitResultValue(ctx, &text, VK_RECORD, 0);
    int depth = StructureStackText(ctx, &text, false, false);
    uint64_t answer = 0;
    const char* body = (text.flags & VF_STRING) ? ValueText(ctx, &text) : "";
    if (depth > 0 && !ctx->nErrorCode) {
        size_t length = TextLength(body);
        if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1)) {
            if (void* p = GlobalLock(block)) {
                std::memcpy(p, body, length + 1);
                GlobalUnlock(block);
                answer = reinterpret_cast<uint64_t>(block);
            } else {
                GlobalFree(block);
            }
        }
    }
    FreeValue(ctx, &text, 0, VK_RECORD);
    return answer;
}

bool IsOpenScriptFile(BDS* ctx, int64_t handle)
{
    if (handle == 0 || reinterpret_cast<HANDLE>(handle) == INVALID_HANDLE_VALUE)
        return false;
    for (const FileSlot& slot : ctx->files.slots)
        if (slot.handle == reinterpret_cast<HANDLE>(handle))
            return true;
    return false;
}

// ---------------------------------------------------------------- the requests

uint64_t RunRequest(BDS* ctx, const Request& r, uint16_t* endError)
{
    ControlSettings& ctl = ctx->eng.ctl;
    ErrorState& err = ctx->err;
    switch (r.code) {
    case 0:
        CopyStringBoundedA(ctx, err.szHostProductName, r.Text1() ? r.Text1() : "", sizeof(err.szHostProductName));
        CopyStringBoundedA(ctx, ctx->eng.szHostNotice, r.Text2() ? r.Text2() : "", sizeof(ctx->eng.szHostNotice));
        return 1;
    case 1: {
        if (!HasText(r.Text1()))
            return 0;
        if (int64_t handle = BufferHandleOfVariable(ctx, r.Text1()))
            return uint64_t(CopyIntoBuffer(ctx, r.p2, uint32_t(r.p4), handle));
        SetVariableByName(ctx, r.Text1(), r.p2 ? r.p2 : "", 0, SV_STRING);
        return 1;
    }
    case 2:
        if (!r.Text1() || !r.p2 || r.p3 <= 0)
            return 0;
        return uint64_t(ValueToDisplayText(ctx, r.Text1(), static_cast<char*>(r.p2), size_t(r.p3)));
    case 3: {
        uint32_t old = ctx->nHookFlags;
        ctx->nHookFlags = uint32_t(r.p3);
        return old;
    }
    case 4:
        return ctx->nRunEndCode == CC_STOP ? uint32_t(CC_STOP) : ctx->nLastError;
    case 5:
        return ctx->nRunResult;
    case 6:
        return ctx->nErrorOffset;
    case 7:
        ctx->bCancel = 1;
        ctx->bCancelRequest = 1;
        ctx->bCancelBox = uint32_t(r.p3);
        return 1;
    case 8: {
        uint32_t old = ctx->services.bDialogSwitch;
        ctx->services.bDialogSwitch = uint32_t(r.p3);
        return old;
    }
    case 9:
        if (!r.p1)
            return 0;
        return uint64_t(DecodeScriptBuffer(ctx, static_cast<char*>(r.p1), size_t(r.p4)));
    case 11:
        if (r.p1)
            return uint64_t(SetParamVars(ctx, r.Text1()));
        if (r.p2)
            return uint64_t(SetParamVarsW(ctx, static_cast<const wchar_t*>(r.p2)));
        return 0;
    case 13:
        *endError = uint16_t(r.p3 & 0xFFFF);
        return 1;
    case 14:
        return ctx->nControlFlags;
    case 15:
        if (!r.Text1())
            return uint64_t(-1);
        return uint64_t(int64_t(FindMenuItemByName(ctx, r.Text1(), reinterpret_cast<HMENU>(r.p4))));
    case 16:
        if (!r.Text1())
            return 0;
        return uint64_t(int64_t(ProgramKindByExt(ctx, uint16_t(r.p3), r.Text1(), uint32_t(r.p4), 0)));
    case 17:
        return SaveWindowPosition(ctx, r);
    case 18:
        return PlaceWindow(ctx, r);
    case 19:
        if (!r.Text1())
            return 0;
        DoWinActivateA(ctx, r.Text1());
        return 1;
    case 20: {
        uint32_t old = ctl.ShowHiddenFiles;
        if (r.p3 == 0 || r.p3 == 1)
            ctl.ShowHiddenFiles = uint32_t(r.p3);
        return old;
    }
    case 22:
        return uint64_t(int64_t(int8_t(ctl.FileDelimiter)));
    case 23: {
        uint32_t old = err.bQuietMode;
        if (r.p3 == 0 || r.p3 == 1)
            err.bQuietMode = uint32_t(r.p3);
        if (HasText(r.Text1()))
            CopyStringBoundedA(ctx, err.szQuietLog, r.Text1(), sizeof(err.szQuietLog));
        return old;
    }
    case 24:
        return SwitchKeywords(r);
    case 25: {
        bool copied = false;
        if (r.p1 && err.szQuietText[0]) {
            CopyOut(ctx, r.p1, err.szQuietText, r.p3);
            copied = true;
        }
        if (r.p2 && err.szQuietTitle[0]) {
            CopyOut(ctx, r.p2, err.szQuietTitle, r.p3);
            copied = true;
        }
        return copied ? 1 : 0;
    }
    case 28:
        return uint64_t(CopyIntoBuffer(ctx, r.p1, uint32_t(reinterpret_cast<uintptr_t>(r.p2)), int64_t(r.p4)));
    case 29:
        if (r.p3 == 1)
            return ctx->nVarUsed;
        if (r.p3 == 2) {
            uint16_t entry = uint16_t(r.p4 & 0xFFFF);
            return ctx->pVars && entry < ctx->nVarCapacity ? reinterpret_cast<uint64_t>(&ctx->pVars[entry]) : 0;
        }
        return 0;
    case 30: {
        uint32_t old = err.bTechSupport;
        if (r.p3 == 0 || r.p3 == 1)
            err.bTechSupport = uint32_t(r.p3);
        if (HasText(r.Text1()))
            CopyStringBoundedA(ctx, err.szTechSupportUrl, r.Text1(), sizeof(err.szTechSupportUrl));
        return old;
    }
    case 31:
        return 1;
    case 32:
        return RememberLogon(ctx, r);
    case 33:
        return uint64_t(UncompressBuffer(static_cast<uint8_t*>(r.p1), uint64_t(r.p3), r.p4));
    case 37:
        return ctx->bCancel;
    case 39: {
        uint32_t old = ctx->nScriptFlags;
        if (r.p3 >= 0 && r.p3 <= 3)
            ctx->nScriptFlags = uint32_t(r.p3);
        return old;
    }
    case 40:
        if (!r.Text1())
            return 0;
        CopyStringBoundedA(ctx, ctx->szSourceFile, r.Text1(), sizeof(ctx->szSourceFile));
        return 1;
    case 41:
        // Only offsets inside the committed heap have an address.
        if (r.p4 == 0 || !ctx->HeapBase || r.p4 >= ctx->heap.committed)
            return 0;
        return reinterpret_cast<uint64_t>(ctx->HeapBase + r.p4);
    case 42: {
        const char* text = r.Text1() ? r.Text1() : "";
        return HeapCopyText(ctx, text, TextLength(text));
    }
    case 43:
        return BufferInfo(ctx, r);
    case 44:
        return BufferPoke(ctx, r);
    case 45:
        return ReadElement(ctx, r);
    case 46:
        return WriteElement(ctx, r);
    case 47:
        if (r.Text1())
            AppendExtendedError(ctx, r.Text1());
        return 1;
    case 48:
        return reinterpret_cast<uint64_t>(ctx->hwndOwner);
    case 49:
        if (!ctl.BreakMessageText[0])
            return 0;
        CopyOut(ctx, r.p1, ctl.BreakMessageText, r.p3);
        return 1;
    case 50:
        return ReadVariant(ctx, r);
    case 51:
        if (r.p3 != 0) {
            if (ctx->services.hOwnerClaim != 0)
                return 0;
            ctx->services.hOwnerClaim = r.p4;
            return 1;
        }
        if (ctx->services.hOwnerClaim != r.p4)
            return 0;
        ctx->services.hOwnerClaim = 0;
        return 1;
    case 52:
        return StructureStackBlock(ctx);
    case 53:
        return IsOpenScriptFile(ctx, r.p3) ? uint64_t(r.p3) : 0;
    case 54:
        return ctx->nYieldMode;
    case 55:
        return MapStep(ctx, r);
    case 56:
        return MapSet(ctx, r);
    case 57:
        return MapDelete(ctx, r);
    case 59: {
        uint32_t old = ctl.NewConsoleForPrograms;
        ctl.NewConsoleForPrograms = r.p3 != 0;
        return old;
    }
    case 60: {
        uint32_t old = ctx->nHookFlags;
        if (r.p4)
            ctx->nHookFlags |= uint32_t(r.p3);
        else
            ctx->nHookFlags &= ~uint32_t(r.p3);
        return old;
    }
    default:
        return 0;
    }
}

}  // namespace

// ---------------------------------------------------------------- shared helpers

void GetDelimitedItem(BDS* ctx, int n, const char* text, const char* delimiter)
{
    char separator = delimiter && delimiter[0] ? delimiter[0] : '\t';
    char* out = ctx->szTextBuf;
    out[0] = 0;
    if (!text || n < 1)
        return;
    const char* p = text;
    for (int item = 1; item < n; ++item) {
        while (*p && *p != separator)
            ++p;
        if (!*p)
            return;
        ++p;
    }
    size_t k = 0;
    while (p[k] && p[k] != separator && k < 2047) {
        out[k] = p[k];
        ++k;
    }
    out[k] = 0;
}

namespace {

constexpr size_t MENU_PATH_MAX = 2050;

// Letters and digits of the text (a double-byte character kept whole), up to `stop`.
size_t ReduceMenuText(const char* text, char stop, char* out, size_t size, size_t used)
{
    for (const char* p = text; *p && *p != stop && used + 1 < size; ++p) {
        if (IsLeadByte(*p) && p[1]) {
            if (used + 2 >= size)
                break;
            out[used++] = *p++;
            out[used++] = *p;
        } else if (IsCharAlphaNumericA(*p)) {
            out[used++] = *p;
        }
    }
    out[used] = 0;
    return used;
}

int SearchMenu(HMENU menu, const char* wanted, char* joined, size_t used, int depth)
{
    if (depth >= 10)
        return -1;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[MENU_PATH_MAX] = "";
        GetMenuStringA(menu, UINT(i), text, sizeof(text), MF_BYPOSITION);
        size_t length = ReduceMenuText(text, '\t', joined, MENU_PATH_MAX, used);
        if (HMENU sub = GetSubMenu(menu, i)) {
            int id = SearchMenu(sub, wanted, joined, length, depth + 1);
            if (id != -1)
                return id;
        } else if (lstrcmpiA(joined, wanted) == 0) {
            return int(GetMenuItemID(menu, i));
        }
        joined[used] = 0;
    }
    return -1;
}

}  // namespace

int FindMenuItemByName(BDS*, const char* path, HMENU menu)
{
    char wanted[MENU_PATH_MAX];
    ReduceMenuText(path ? path : "", '\\', wanted, sizeof(wanted), 0);
    char joined[MENU_PATH_MAX] = "";
    return menu ? SearchMenu(menu, wanted, joined, 0, 0) : -1;
}

// ---------------------------------------------------------------- logon token

uint64_t KeepLogonToken(BDS* ctx, uint32_t options, HANDLE token)
{
    HostServiceState& s = ctx->services;
    HANDLE previous = s.hLogonToken;
    if (token) {
        s.hLogonToken = token;
        s.nLogonFlags = options;
        s.hSavedStation = GetProcessWindowStation();
    } else {
        if (s.hSavedStation)
            SetProcessWindowStation(s.hSavedStation);
        if (s.hLogonToken)
            CloseHandle(s.hLogonToken);
        s.hSavedStation = nullptr;
        s.hLogonToken = nullptr;
        s.nLogonFlags = 0;
    }
    return reinterpret_cast<uint64_t>(previous);
}

// ---------------------------------------------------------------- the export

extern "C" uint64_t DLLServices(HGLOBAL instance, uint16_t request, void* p1, void* p2, int64_t p3, uint64_t p4)
{
    auto* ctx = static_cast<BDS*>(GlobalLock(instance));
    if (!ctx)
        return 0;
    VariableEntry* savedVars = ctx->pVars;
    auto* vars = ctx->hVarTable ? static_cast<VariableEntry*>(GlobalLock(ctx->hVarTable)) : nullptr;
    if (!vars) {
        GlobalUnlock(instance);
        return 0;
    }
    ctx->pVars = vars;
    ctx->HeapBase = ctx->HeapBaseSaved;
    uint16_t savedError = ctx->nErrorCode;
    ctx->nErrorCode = 0;

    uint64_t answer = 0;
    uint16_t endError = savedError;
    if (request <= 60)
        answer = RunRequest(ctx, Request{request, p1, p2, p3, p4}, &endError);
    if (ctx->nErrorCode)
        answer = 0;

    ctx->nErrorCode = endError;
    GlobalUnlock(ctx->hVarTable);
    ctx->pVars = savedVars;
    GlobalUnlock(instance);
    return answer;
}
