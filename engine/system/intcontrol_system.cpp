// IntControl requests that act on the engine or the system: its boxes and message texts,
// the host's reload, internal requests (a script run from a binary buffer among them),
// memory peeks and pokes, buffer and file handles, the string heap, the random seed, the
// key wait, and ending the Windows session and the power state.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/core/runloop.h"
#include "engine/core/script.h"
#include "engine/core/system_flags.h"
#include "engine/core/tokenizer.h"
#include "engine/data/binary_buffer.h"
#include "engine/files/file_io.h"
#include "engine/native/host_call.h"
#include "engine/system/intcontrol.h"
#include "engine/system/memory_probe.h"
#include "engine/system/privilege.h"
#include "engine/system/system_entries.h"
#include "engine/ui/message_box.h"

namespace {

constexpr uint16_t ERR_NT_SECURITY = 1388;          // "Request Ignored: NT Security violation"
constexpr uint16_t ERR_BAD_DATA_TYPE = 1448;        // "IntControl 32: Invalid data type"
constexpr uint16_t ERR_PRIVILEGE = 1576;            // "IntControl: Unable to set NT security privilege..."
constexpr uint16_t ERR_BAD_MEMORY_OPERATION = 1595; // "IntControl 32: Invalid operation"
constexpr uint16_t ERR_CANNOT_READ = 1596;          // "IntControl 32: Unable to read from ..."
constexpr uint16_t ERR_CANNOT_WRITE = 1597;         // "IntControl 32: Unable to write to ..."
constexpr uint16_t ERR_OBSOLETE_83 = 1748;          // "IntControl 83: This IntControl is obsolete..."
constexpr uint16_t ERR_NO_MEMORY = 1588;            // "Unable to allocate or lock memory"
constexpr uint16_t ERR_BAD_BINARY_HANDLE = 3023;    // "BinaryData: Invalid Binary Data handle passed"
constexpr uint16_t CC_RELOAD = 9019;                // the host reloads; the statement ends
constexpr int MSG_PROCESSOR_CAPTION = 834;          // "ZAL Script Processor DLL"
constexpr int MSG_INTERPRETER = 89;                 // "ZAL Interpreter 6.25cyc"
constexpr int MESSAGE_TEXT_CHARS = 2049;
constexpr DWORD SHUTDOWN_REASON =
    SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_MAINTENANCE;

// ---------------------------------------------------------------- boxes and texts

// 1: two capped boxes one after the other.
void TwoBoxes(BDS* ctx, resultants*, const IntControlRequest& r)
{
    MessageBoxCappedA(ctx, ctx->hwndOwner, r.text[2], r.text[1], MB_SETFOREGROUND);
    MessageBoxCappedA(ctx, ctx->hwndOwner, r.text[4], r.text[3], MB_SETFOREGROUND);
}

// 34: a system message text, the last user error's text, or an engine message.
void MessageText(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    char text[MESSAGE_TEXT_CHARS + 1] = {};
    if (r.p[2] == 1) {
        DWORD code = r.p[1] == -1 ? GetLastError() : static_cast<DWORD>(r.p[1]);
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof text, nullptr);
    } else if (r.p[1] == -1) {
        lstrcpynA(text, ctx->eng.ctl.LastUserErrorText, sizeof text);
    } else {
        LoadMyString(ctx, EngineModule(), r.p[1], text, sizeof text);
    }
    IntControlAnswerText(ctx, result, text);
}

// 8: the host reloads the script; the statement ends with the reload code.
void Reload(BDS* ctx, resultants* result, const IntControlRequest&)
{
    CallExtenderFunction(ctx, static_cast<int32_t>(PARENTSTART), result, "", "", "", "", nullptr, nullptr, 0);
    IntControlAnswerText(ctx, result, "1");
    SetError(ctx, CC_RELOAD);
}

// ---------------------------------------------------------------- internal requests (13)

void AboutTheProcessor(BDS* ctx)
{
    char caption[256] = {};
    char interpreter[256] = {};
    LoadMyString(ctx, EngineModule(), MSG_PROCESSOR_CAPTION, caption, sizeof caption);
    LoadMyString(ctx, EngineModule(), MSG_INTERPRETER, interpreter, sizeof interpreter);
    char notice[1024];
    std::snprintf(notice, sizeof notice, "%s\r\n%s\r\n%s", interpreter, ctx->err.szHostProductName,
                  ctx->eng.szHostNotice);
    MessageBoxA(ctx->hwndOwner, notice, caption, MB_SETFOREGROUND);
}

// A script text copied out of a binary buffer, for its nested run.
struct BufferText {
    HGLOBAL block;
    size_t length;
};

// Writes the string heap's committed bytes to a new file (for diagnosing the heap).
void DumpHeap(BDS* ctx, const char* fileName)
{
    HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const char* data = ctx->HeapBase;
    uint64_t left = data ? ctx->heap.committed : 0;
    while (left > 0) {
        DWORD chunk = left > 0x100000 ? 0x100000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || !written)
            break;
        data += written;
        left -= written;
    }
    CloseHandle(file);
}

int RunBufferText(BDS* ctx, resultants* result, void* data)
{
    auto* text = static_cast<BufferText*>(data);
    return RunScriptBlock(ctx, result, text->block, text->length);
}

// 7777: runs the script text held in a binary buffer (its data up to the end of data) as a
// nested run. An encoded text is not run here: it answers "0".
void RunBinaryBuffer(BDS* ctx, resultants* result, int64_t handle)
{
    const BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
    if (!slot || slot->eod < 0 || static_cast<uint64_t>(slot->eod) > UINT32_MAX - 1) {
        SetError(ctx, ERR_BAD_BINARY_HANDLE);
        return;
    }
    auto length = static_cast<size_t>(slot->eod);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
    char* text = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!text) {
        if (block)
            GlobalFree(block);
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    std::memcpy(text, slot->data, length);
    auto first = static_cast<uint8_t>(text[0]);
    if (length > 0 && first >= 1 && first <= 3) {
        GlobalUnlock(block);
        GlobalFree(block);
        IntControlAnswerText(ctx, result, "0");
        return;
    }
    length = strnlen(text, length);   // a NUL byte ends the text
    NormalizeLineEnds(text, length);
    GlobalUnlock(block);

    BufferText nested{block, length};
    resultants answer{};
    InitResultValue(ctx, &answer, VK_RECORD, 0);
    if (!RunNestedScript(ctx, &answer, nullptr, RunBufferText, &nested))
        GlobalFree(block);   // the run never started, so never took the block
    FreeValue(ctx, &answer, 0, VK_RECORD);
    if (ctx->nErrorCode == CC_ALREADY_SHOWN)
        ctx->eng.ctl.LastUserErrorCode = CC_ALREADY_SHOWN;
}

void Internal(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    if (r.text[1][0] == '1' && r.text[2][0] == '2' && r.text[3][0] == '3' && r.text[4][0] == '4') {
        AboutTheProcessor(ctx);
        return;
    }
    switch (r.p[1]) {
    case 6666:
        DumpHeap(ctx, r.text[2]);
        return;
    case 7777:
        RunBinaryBuffer(ctx, result, r.p[2]);
        return;
    case 8888:
        ctx->eng.ctl.NewConsoleForPrograms = r.p[2] != 0 ? 1 : 0;
        return;
    default:
        if (r.p[1] >= 0 && r.p[1] <= 10)
            ctx->eng.ctl.DiagnosticSwitches[r.p[1]] = static_cast<uint32_t>(r.p[2]);
        return;
    }
}

// ---------------------------------------------------------------- memory (32, 42)

int MemoryWidth(const char* type)
{
    if (!lstrcmpiA(type, "BYTE"))
        return 1;
    if (!lstrcmpiA(type, "WORD"))
        return 2;
    if (!lstrcmpiA(type, "LONG"))
        return 4;
    if (!lstrcmpiA(type, "LONG64") || !lstrcmpiA(type, "LONG_PTR"))
        return 8;
    return 0;
}

int64_t DecimalText(const char* text)
{
    char head[30];
    lstrcpynA(head, text, sizeof head);
    return static_cast<int64_t>(std::strtoull(head, nullptr, 10));
}

void PeekPoke(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    auto* address = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(DecimalText(r.text[1])));
    int width = MemoryWidth(r.text[2]);
    if (!width) {
        SetError(ctx, ERR_BAD_DATA_TYPE);
        return;
    }
    if (r.p[3] == 0) {
        if (SafeIsBadReadPtr(address, static_cast<size_t>(width))) {
            SetError(ctx, ERR_CANNOT_READ);
            return;
        }
        int64_t value = 0;
        switch (width) {
        case 1: value = *reinterpret_cast<int8_t*>(address); break;
        case 2: value = *reinterpret_cast<uint16_t*>(address); break;
        case 4: value = *reinterpret_cast<int32_t*>(address); break;
        default: std::memcpy(&value, address, 8); break;
        }
        IntControlAnswer(ctx, result, value);
        return;
    }
    if (r.p[3] == 1) {
        if (SafeIsBadWritePtr(address, static_cast<size_t>(width))) {
            SetError(ctx, ERR_CANNOT_WRITE);
            return;
        }
        int64_t value = width == 8 ? DecimalText(r.text[4]) : r.p[4];
        std::memcpy(address, &value, width);   // the low bytes, little-endian
        return;
    }
    SetError(ctx, ERR_BAD_MEMORY_OPERATION);
}

void BinaryBufferAddress(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    const BinaryBufferSlot* slot = BinarySlotQuiet(ctx, static_cast<int64_t>(r.p[1]));
    uint64_t address = slot ? reinterpret_cast<uintptr_t>(slot->data) : 0;
    IntControlAnswer(ctx, result, static_cast<int64_t>(address));
}

// 94: p1 when it is the handle of a file the script holds open, else 0.
void OpenFileHandle(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, FindFileSlot(ctx, r.p[1]) >= 0 ? r.p[1] : 0);
}

// ---------------------------------------------------------------- the Windows session

// 66, 67, 68: log off, restart, shut down. The script ends when the system agrees.
void EndSession(BDS* ctx, resultants* result, UINT flags, bool needsPrivilege)
{
    IntControlAnswerText(ctx, result, "0");
    const SystemEntries& sys = ctx->eng.system;
    if (needsPrivilege && !SystemFacts().OsIsWin9x && !SystemEnablePrivilege(ctx, SE_SHUTDOWN_NAME)) {
        SetError(ctx, ERR_NT_SECURITY);
        return;
    }
    if (sys.ExitWindowsEx && sys.ExitWindowsEx(flags, SHUTDOWN_REASON)) {
        ctx->bCancel = 1;
        ctx->bCancelBox = 0;
    }
}

void LogOff(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    EndSession(ctx, result, EWX_LOGOFF | (r.p[2] ? EWX_FORCE : 0), false);
}

void Restart(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    EndSession(ctx, result, EWX_REBOOT | (r.p[2] ? EWX_FORCE : 0), true);
}

void ShutDown(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    UINT flags = EWX_SHUTDOWN | (r.p[2] ? EWX_FORCE : 0) | ((r.p[3] == 0 || r.p[3] == 2) ? EWX_POWEROFF : 0);
    EndSession(ctx, result, flags, true);
}

// 69: suspend (p1 not 0) or hibernate, forced when p2 is not 0; both go to the system as given.
void PowerState(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    if (SystemFacts().OsIsNt && !SystemEnablePrivilege(ctx, SE_SHUTDOWN_NAME)) {
        SetError(ctx, ERR_PRIVILEGE);
        return;
    }
    PfnSetSystemPowerState setState = ctx->eng.system.SetSystemPowerState;
    IntControlAnswer(ctx, result, setState && setState(r.p[1], r.p[2]) ? 1 : 0);
}

// ---------------------------------------------------------------- keys, seeds, heap

// 80: waits until no key is held down.
void WaitForKeysUp(BDS* ctx, resultants*, const IntControlRequest&)
{
    for (;;) {
        bool anyDown = false;
        for (int key = 1; key < 256 && !anyDown; ++key)
            anyDown = (GetAsyncKeyState(key) & 0x8000) != 0;
        if (!anyDown || ctx->bCancel)
            return;
        PumpMessages(ctx);
        WaitPumping(ctx, 250);
    }
}

// 81, 82: seed Random; -1 takes the time in seconds modulo the tick count.
void SeedRandom(BDS* ctx, resultants*, const IntControlRequest& r)
{
    if (r.p[1] >= 0) {
        std::srand(static_cast<unsigned>(r.p[1]));
        ctx->eng.nRandomSeed = static_cast<uint32_t>(r.p[1]);
        return;
    }
    if (r.p[1] != -1)
        return;
    uint32_t seed = 1;
    for (int attempt = 0; attempt < 1000 && seed == 1; ++attempt) {
        DWORD tick = GetTickCount();
        auto now = static_cast<uint64_t>(std::time(nullptr));
        seed = static_cast<uint32_t>(tick ? now % tick : now);   // a tick count of 0 is not divided by
        if (seed == 1)
            Sleep(1);
    }
    std::srand(seed);
    ctx->eng.nRandomSeed = seed;
}

void Obsolete83(BDS* ctx, resultants*, const IntControlRequest&) { SetError(ctx, ERR_OBSOLETE_83); }

void UnicodeKeys(BDS* ctx, resultants*, const IntControlRequest& r)
{
    if (r.p[1] == 1 && g_System.OsHasNewShell && !g_System.OsIsWin95) {
        HMODULE user = GetModuleHandleA("USER32.DLL");
        ctx->eng.ctl.SendInputUnicodeEntry =
            user ? reinterpret_cast<PfnSendInput>(reinterpret_cast<void*>(GetProcAddress(user, "SendInput")))
                 : nullptr;
    } else if (r.p[1] == 0) {
        ctx->eng.ctl.SendInputUnicodeEntry = nullptr;
    }
}

void VariableText(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    char text[MESSAGE_TEXT_CHARS + 1] = {};
    uint16_t kept = ctx->nErrorCode;
    if (!ValueToDisplayText(ctx, r.text[1], text, sizeof text))
        text[0] = 0;
    ctx->nErrorCode = kept;
    IntControlAnswerText(ctx, result, text);
}

// 90: the largest block the string heap can give now, found by halving between 1 and 65535.
void LargestHeapBlock(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    uint64_t low = 0;
    uint64_t high = 65536;
    uint64_t size = 32768;
    char fill = r.text[1][0];
    while (size > low) {
        uint64_t offset = VMalloc(ctx, size);
        if (offset) {
            if (char* block = HeapPtr(ctx, offset))
                std::memset(block, fill, size);
            VFree(ctx, offset);
            low = size;
        } else {
            high = size;
        }
        size = (low + high) / 2;
    }
    IntControlAnswer(ctx, result, static_cast<int64_t>(low));
}

const IntControlRow kRows[] = {
    {1, TwoBoxes},      {8, Reload},         {13, Internal},         {32, PeekPoke},
    {34, MessageText},  {42, BinaryBufferAddress}, {66, LogOff},     {67, Restart},
    {68, ShutDown},     {69, PowerState},    {80, WaitForKeysUp},    {81, SeedRandom},
    {82, SeedRandom},   {83, Obsolete83},    {88, UnicodeKeys},      {89, VariableText},
    {90, LargestHeapBlock}, {94, OpenFileHandle},
};

}  // namespace

extern const IntControlFamily g_IntControlSystem = {"system", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
