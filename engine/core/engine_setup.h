// Engine set-up and tear-down: the export DoDuRavInit and what its operations share.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

// Operations of DoDuRavInit.
enum : uintptr_t {
    INIT_HANDSHAKE = 0,   // a: low half of the interface word -> the context size
    INIT_CONTEXT = 1,     // b: host instance, c: product text -> the variable-entry size
    INIT_OPEN = 2,        // a: variable table, b: capacity, c: section, d: settings file -> 1
    INIT_HEAP = 3,        // a: heap base, b: committed size, c: engine file, d: binding -> 1
    INIT_TEARDOWN = 99,   // b: pointer to the host's live-instance count, d: host callback -> 1
};

// The engine's set-up export (ordinal 23). Every integer argument is a full machine word.
// Calls are serialised process-wide; a call entered on the same thread while another is
// in progress (through a pumped message) answers 0 at once.
extern "C" uint32_t DoDuRavInit(HWND window, HGLOBAL context, uintptr_t a, uintptr_t operation,
                                uintptr_t b, uintptr_t c, uintptr_t d);

// The DrawDib functions of the video library, loaded into the context's optional
// functions when first needed (not at set-up: it costs every start several milliseconds);
// false when the library or its functions are missing.
bool LoadDrawDib(BDS* ctx);

// The context locked for the length of a call; a missing, too small or unlockable block
// gives a null pointer.
class ContextLock {
public:
    explicit ContextLock(HGLOBAL handle);
    ~ContextLock();
    ContextLock(const ContextLock&) = delete;
    ContextLock& operator=(const ContextLock&) = delete;
    BDS* get() const { return ctx_; }
    explicit operator bool() const { return ctx_ != nullptr; }

private:
    HGLOBAL handle_;
    BDS* ctx_;
};

// The window classes of the engine, registered once per process (again after they were
// unregistered). False when a registration failed for another reason than "exists".
bool RegisterEngineClasses();
void UnregisterEngineClasses();
bool EngineClassesRegistered();

// Operation 99's release of everything the engine allocated for the context.
void TearDownContext(BDS* ctx);
