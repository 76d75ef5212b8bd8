// The menu-file exports a host binds by ordinal (16, 26, 27, 29). Each locks the engine
// context for the call; the three that reach variables also lock the context's variable
// table and set the string heap's base, and unlock both before they return.
#include "engine/core/context.h"
#include "engine/ui/menu_file.h"

namespace {

// The context with its variable table, locked for one export call.
class MenuCallLock {
public:
    explicit MenuCallLock(HGLOBAL instance, bool withVariables) : instance_(instance)
    {
        ctx_ = instance ? static_cast<BDS*>(GlobalLock(instance)) : nullptr;
        if (!ctx_ || !withVariables)
            return;
        saved_ = ctx_->pVars;
        vars_ = ctx_->hVarTable ? static_cast<VariableEntry*>(GlobalLock(ctx_->hVarTable)) : nullptr;
        if (!vars_) {
            GlobalUnlock(instance_);
            ctx_ = nullptr;
            return;
        }
        ctx_->pVars = vars_;
        ctx_->HeapBase = ctx_->HeapBaseSaved;
        savedError_ = ctx_->nErrorCode;
    }
    ~MenuCallLock()
    {
        if (!ctx_)
            return;
        if (vars_) {
            ctx_->nErrorCode = savedError_;
            GlobalUnlock(ctx_->hVarTable);
            ctx_->pVars = saved_;
        }
        GlobalUnlock(instance_);
    }
    MenuCallLock(const MenuCallLock&) = delete;
    MenuCallLock& operator=(const MenuCallLock&) = delete;

    BDS* get() const { return ctx_; }

private:
    HGLOBAL instance_;
    BDS* ctx_ = nullptr;
    VariableEntry* saved_ = nullptr;
    VariableEntry* vars_ = nullptr;
    uint16_t savedError_ = 0;
};

}  // namespace

// The menu built from a menu file (mode 0 a pop-up menu, 1 a menu bar, else the handle of a
// menu the entries are appended to); 0 when the file cannot be used.
extern "C" HMENU LoadStandardMenu(HGLOBAL instance, const char* title, uint32_t firstId, uint32_t lastId,
                                  MenuFileRecord* record, HWND owner, HotKeyTable* hotKeys, uintptr_t mode)
{
    MenuCallLock lock(instance, true);
    if (!lock.get())
        return nullptr;
    return BuildStandardMenu(lock.get(), title, firstId, lastId, record, owner, hotKeys, mode);
}

// A block with the code of the wanted command (or the start-up code); 0 when there is
// nothing to run; -1 when the file changed since it was loaded (the host reloads its menus).
extern "C" HGLOBAL ParseStandardMenu(HGLOBAL instance, const char* title, uint32_t wantedId, uint32_t startup,
                                     uint32_t firstId, uintptr_t, MenuFileRecord* record, HWND owner)
{
    MenuCallLock lock(instance, true);
    if (!lock.get())
        return nullptr;
    return FindCommandCode(lock.get(), title, wantedId, startup, firstId, record, owner);
}

// The status text of a WM_MENUSELECT (item: the item value, its flags in the high word).
extern "C" int32_t MenuSelectProcessing(HGLOBAL instance, HWND window, uintptr_t item, HMENU menu, uint32_t firstId,
                                        uint32_t lastId, char* text, uint32_t size, MenuFileRecord* record,
                                        uint32_t useMenu)
{
    MenuCallLock lock(instance, true);
    if (!lock.get())
        return -1;
    return MenuStatusText(lock.get(), window, item, menu, firstId, lastId, text, size, record, useMenu);
}

// 1 when the key (a virtual key for WM_KEYDOWN, else a character) is a hot key of the menus.
extern "C" int32_t HotKeyCheck(HGLOBAL instance, HWND window, uint32_t message, uintptr_t key, HotKeyTable* table)
{
    MenuCallLock lock(instance, false);
    if (!lock.get())
        return 0;
    return CheckHotKey(lock.get(), window, message, key, table);
}
