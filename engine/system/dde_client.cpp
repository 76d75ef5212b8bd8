// The DDE client: DDEInitiate, DDEExecute, DDEPoke, DDERequest, DDETerminate and
// DDETimeout, the callback ClientCallback and DdeCleanup.
//
// A context holds up to ten conversations, numbered 1 to 10, each with a DDE instance of
// its own. Every transaction is synchronous with the context's time-out. A server may end
// a conversation by itself: each DDE built-in first frees the slots whose conversations no
// longer stand (read from their status, not from a notification, which the callback could
// only deliver to a context that the host may have unlocked and moved since).
#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include "engine/core/builtin.h"
#include "engine/core/neighbour_services.h"

extern "C" HDDEDATA CALLBACK ClientCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item,
                                            HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

namespace {

enum : uint16_t {
    ERR_TERMINATE_NOT_OPEN = 1144,   // "DDETerminate: Channel not open"
    ERR_TOO_MANY = 3138,             // "DDEInitiate: Too many DDE conversations"
    ERR_SLOT_EMPTY = 3139,           // "DDEInitiate: Bad Channel Number"
    ERR_CREATE_STRING = 3140,        // "DDEInitiate: Create String Failure"
    ERR_BAD_NUMBER = 3152,           // "DDEReq: Bad channel number"
    ERR_NULL_HANDLE = 3153,          // "DDEReq: Null handle returned"
    ERR_ITEM_STRING = 3154,          // "DDEReq: Create String Failed"
    ERR_ACCESS_DATA = 3156,          // "DDEReq: GlobalLock failed"
};

constexpr DWORD CLIENT_FLAGS = APPCMD_CLIENTONLY | CBF_SKIP_CONNECT_CONFIRMS | CBF_SKIP_REGISTRATIONS |
                               CBF_SKIP_UNREGISTRATIONS;   // 0x1C0010
constexpr const char* NACK = "***NACK***";

// ---------------------------------------------------------------- slots

// Whether a conversation still stands: a server may have ended it (the handle then reads
// as not connected, or is no longer valid).
bool StillConnected(HCONV conversation)
{
    CONVINFO info{};
    info.cb = sizeof info;
    return DdeQueryConvInfo(conversation, QID_SYNC, &info) && (info.wStatus & ST_CONNECTED);
}

// Ends a slot's conversation (unless its server already did), frees its strings and its
// instance, and leaves the slot free.
void CloseSlot(DdeConversation& slot, bool disconnect)
{
    if (slot.conversation && disconnect)
        DdeDisconnect(slot.conversation);
    if (slot.service)
        DdeFreeStringHandle(slot.instance, slot.service);
    if (slot.topic)
        DdeFreeStringHandle(slot.instance, slot.topic);
    if (slot.instance)
        DdeUninitialize(slot.instance);
    slot = DdeConversation{};
}

// Hands the DDE messages waiting for this thread to the DDE library, then frees the slots
// whose conversations their servers ended. A message left waiting would otherwise be taken
// for the answer of the next transaction: some servers follow a requested item's data with
// an acknowledgement that no transaction waits for.
void SweepClosed(DdeState& dde)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE))
        DispatchMessageA(&msg);
    for (DdeConversation& slot : dde.slots)
        if (slot.conversation && !StillConnected(slot.conversation))
            CloseSlot(slot, false);
}

// The open conversation of a script's number: 3152 outside 1-10, `emptyError` for a free
// slot.
DdeConversation* OpenSlot(BDS* ctx, int32_t number, uint16_t emptyError)
{
    DdeState& dde = ctx->sys.dde;
    SweepClosed(dde);
    if (number < 1 || number > DDE_CONVERSATIONS) {
        SetError(ctx, ERR_BAD_NUMBER);
        return nullptr;
    }
    DdeConversation& slot = dde.slots[number - 1];
    if (!slot.conversation) {
        SetError(ctx, emptyError);
        return nullptr;
    }
    return &slot;
}

// A string handle for the item of a transaction, freed when it goes out of scope.
class ItemString {
public:
    ItemString() = default;
    ~ItemString()
    {
        if (handle_)
            DdeFreeStringHandle(instance_, handle_);
    }
    ItemString(const ItemString&) = delete;
    ItemString& operator=(const ItemString&) = delete;
    bool Create(DWORD instance, const char* text)
    {
        instance_ = instance;
        handle_ = DdeCreateStringHandleA(instance, text, CP_WINANSI);
        return handle_ != nullptr;
    }
    HSZ get() const { return handle_; }

private:
    DWORD instance_ = 0;
    HSZ handle_ = nullptr;
};

// The open conversation of argument 1 with a string handle for the item of argument 2
// (3154 when it cannot be made).
const DdeConversation* SlotAndItem(BDS* ctx, BuiltinCall& c, ItemString& item)
{
    const DdeConversation* slot = OpenSlot(ctx, ArgInt(c, 1), ERR_SLOT_EMPTY);
    if (slot && !item.Create(slot->instance, ArgText(ctx, c, 2))) {
        SetError(ctx, ERR_ITEM_STRING);
        return nullptr;
    }
    return slot;
}

HDDEDATA Transaction(BDS* ctx, const DdeConversation& slot, const char* data, HSZ item, UINT type,
                     DWORD* status)
{
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(data));
    DWORD size = data ? static_cast<DWORD>(strlen(data) + 1) : 0;
    *status = 0;
    return DdeClientTransaction(bytes, size, slot.conversation, item, CF_TEXT, type, ctx->eng.ctl.DdeTimeout,
                                status);
}

// A command or a poke is accepted when the server acknowledged it positively (the
// acknowledgement's flags are checked too, as not every library fails the transaction on
// a negative one).
int32_t Accepted(BDS* ctx, const DdeConversation& slot, const char* data, HSZ item, UINT type)
{
    DWORD status;
    HDDEDATA done = Transaction(ctx, slot, data, item, type, &status);
    return done && (status & DDE_FACK) ? 1 : 0;
}

// ---------------------------------------------------------------- the built-ins

void CaseDdeInitiate(BDS* ctx, BuiltinCall& c)
{
    DdeState& dde = ctx->sys.dde;
    SweepClosed(dde);
    int free = 0;
    while (free < DDE_CONVERSATIONS && dde.slots[free].instance)
        ++free;
    if (free == DDE_CONVERSATIONS) {
        SetError(ctx, ERR_TOO_MANY);
        return;
    }
    DdeConversation slot{};
    if (DdeInitializeA(&slot.instance, reinterpret_cast<PFNCALLBACK>(ClientCallback), CLIENT_FLAGS, 0) !=
        DMLERR_NO_ERROR) {
        slot.instance = 0;
        SetError(ctx, ERR_NULL_HANDLE);
        return;
    }
    slot.service = DdeCreateStringHandleA(slot.instance, ArgText(ctx, c, 1), CP_WINANSI);
    slot.topic = slot.service ? DdeCreateStringHandleA(slot.instance, ArgText(ctx, c, 2), CP_WINANSI) : nullptr;
    if (!slot.topic) {
        CloseSlot(slot, false);
        SetError(ctx, ERR_CREATE_STRING);
        return;
    }
    slot.conversation = DdeConnect(slot.instance, slot.service, slot.topic, nullptr);
    if (!slot.conversation) {
        CloseSlot(slot, false);   // no server answered
        return;
    }
    dde.slots[free] = slot;
    SetResultInt(ctx, c.result, free + 1);
}

void CaseDdeExecute(BDS* ctx, BuiltinCall& c)
{
    if (const DdeConversation* slot = OpenSlot(ctx, ArgInt(c, 1), ERR_SLOT_EMPTY))
        SetResultInt(ctx, c.result, Accepted(ctx, *slot, ArgText(ctx, c, 2), nullptr, XTYP_EXECUTE));
}

void CaseDdePoke(BDS* ctx, BuiltinCall& c)
{
    ItemString item;
    if (const DdeConversation* slot = SlotAndItem(ctx, c, item))
        SetResultInt(ctx, c.result, Accepted(ctx, *slot, ArgText(ctx, c, 3), item.get(), XTYP_POKE));
}

void CaseDdeRequest(BDS* ctx, BuiltinCall& c)
{
    ItemString item;
    const DdeConversation* slot = SlotAndItem(ctx, c, item);
    if (!slot)
        return;
    DWORD status;
    HDDEDATA data = Transaction(ctx, *slot, nullptr, item.get(), XTYP_REQUEST, &status);
    if (!data) {
        SetResultText(ctx, c.result, NACK);
        return;
    }
    DWORD size = 0;
    const BYTE* bytes = DdeAccessData(data, &size);
    if (!bytes) {
        DdeFreeDataHandle(data);
        SetError(ctx, ERR_ACCESS_DATA);
        return;
    }
    const char* text = reinterpret_cast<const char*>(bytes);
    SetResultText(ctx, c.result, text, strnlen(text, size));
    DdeUnaccessData(data);
    DdeFreeDataHandle(data);
}

void CaseDdeTerminate(BDS* ctx, BuiltinCall& c)
{
    DdeConversation* slot = OpenSlot(ctx, ArgInt(c, 1), ERR_TERMINATE_NOT_OPEN);
    if (!slot)
        return;
    CloseSlot(*slot, true);
    SetResultInt(ctx, c.result, 1);
}

// The previous time-out; a negative one only reads it.
void CaseDdeTimeout(BDS* ctx, BuiltinCall& c)
{
    uint32_t previous = ctx->eng.ctl.DdeTimeout;
    int32_t timeout = ArgInt(c, 1);
    if (timeout >= 0)
        ctx->eng.ctl.DdeTimeout = static_cast<uint32_t>(timeout);
    SetResultInt(ctx, c.result, static_cast<int32_t>(previous));
}

const BuiltinRow kRows[] = {
    {381, CaseDdeExecute},  {382, CaseDdeInitiate},  {383, CaseDdePoke},
    {384, CaseDdeRequest},  {385, CaseDdeTerminate}, {386, CaseDdeTimeout},
};

}  // namespace

extern const BuiltinFamily g_DdeBuiltins = {"DDE client", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

// Every transaction is synchronous and a conversation's end is read from its status, so
// no notification needs an answer (a completed asynchronous transaction cannot occur).
extern "C" HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

void DdeCleanup(BDS* ctx)
{
    for (DdeConversation& slot : ctx->sys.dde.slots)
        if (slot.instance)
            CloseSlot(slot, slot.conversation && StillConnected(slot.conversation));
}
