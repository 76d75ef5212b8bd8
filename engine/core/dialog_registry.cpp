// The dialog registry: (owner window, context) pairs for dialog procedures.
#include "engine/core/dialog_registry.h"

namespace {

constexpr int DIALOG_PAIRS = 100;

struct DialogPair {
    HWND owner;   // null: a free pair
    BDS* ctx;
};

DialogPair g_pairs[DIALOG_PAIRS];

}  // namespace

BDS* DlgPointLookup(HWND window, uintptr_t contextOrCode)
{
    if (contextOrCode == DLG_NOTHING)
        return reinterpret_cast<BDS*>(contextOrCode);
    HWND key = window ? reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_HWNDPARENT)) : nullptr;
    if (!key)
        return nullptr;

    if (contextOrCode > DLG_LOOKUP_QUIET) {
        BDS* ctx = reinterpret_cast<BDS*>(contextOrCode);
        for (DialogPair& pair : g_pairs) {
            if (!pair.owner || pair.owner == key) {
                pair.owner = key;
                pair.ctx = ctx;
                return ctx;
            }
        }
        return nullptr;
    }

    for (const DialogPair& pair : g_pairs) {
        if (pair.owner == key)
            return pair.ctx;
    }
    if (contextOrCode == DLG_LOOKUP)
        MessageBoxA(GetFocus(), "DlgPointLookup Failure", "Internal Error", MB_OK | MB_SETFOREGROUND);
    return nullptr;
}

void DlgPointForget(BDS* ctx)
{
    for (DialogPair& pair : g_pairs) {
        if (pair.ctx == ctx)
            pair = DialogPair{};
    }
}
