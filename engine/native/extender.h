// Extender libraries: the entries they export, the older call form of interfaces 2 and 3,
// and what loading (extender_load.cpp), calling (extender_call.cpp) and the service block
// (extender_services.cpp) share.
//
// Interface levels: 1 (texts in, ExtAnswerV1 out), 2 and 3 (24-byte older-form records,
// ExtAnswerV2), 4 and 5 (the host's form: 56-byte records, VezudAnswer) and 100005 (the
// host's form with wide names and texts).
#pragma once

#include <windows.h>
#include <cstdint>

#include "engine/core/binding.h"
#include "engine/native/host_call.h"

struct ArrayHeader;

constexpr uint32_t EXT_INTERFACE_WIDE = 100005;

// Codes an extender's entry receives besides its functions' own.
enum : int32_t {
    EXT_CODE_INIT = -1,
    EXT_CODE_ENUMERATE = -2,
    EXT_CODE_END = -3,
    EXT_CODE_ENUMERATE_V1 = 98,
    EXT_CODE_END_V1 = 99,
};

// Older-form argument record (interfaces 2 and 3): flags 0x1, 0x2, 0x20, or 0x100 with
// `text` the address of an OldArrayDescriptor.
struct OldArgRecord {
    double number;
    int32_t integer;
    uint32_t flags;
    uint64_t text;
};
static_assert(sizeof(OldArgRecord) == 24);

struct OldArrayDescriptor {
    uint16_t dims[5];
    uint8_t ndims;
    uint8_t headerByte;     // the byte after the dimension count in the array header
    uint32_t flags;         // VF_ARRAY
    uint64_t elements;      // OldArgRecord per element; 0 without dimensions
};
static_assert(sizeof(OldArrayDescriptor) == 24);

// Every entry takes these first; the rest by the form (texts, records, ...).
using ExtenderEntry = int32_t (*)(HWND window, HINSTANCE instance, uint32_t interfaceWord,
                                  int32_t code, void* answerFunction, void* answerContext,
                                  void* slotWord, uint64_t a8, uint64_t a9, uint64_t a10,
                                  uint64_t a11, uint64_t a12);

// The entry of the extender in `slot` (looked up by name), or null.
ExtenderEntry ExtenderEntryOf(BDS* ctx, uint32_t slot);
// The window handed to extenders: the host's main window, or the focus window when the
// main window is gone.
HWND ExtenderWindow(BDS* ctx);
// The "Internal Error" box of a missing entry, with message 863 or 864.
void ShowMissingEntry(BDS* ctx, int message);

// The interface level of the extender that defines add-on function `id`; 0 for none.
uint32_t AddonInterface(BDS* ctx, uint32_t id);

// Calls add-on function `id` with the answer context made for it. False when no call was
// made (the error is set or a box was shown), else true with the callee's status.
bool CallAddonFunction(BDS* ctx, uint32_t id, ExtAnswerContext* answer, const char* const texts[5],
                       ExtArgRecord* records, int count, int32_t* status);

// The answer functions of the older forms.
extern "C" int32_t ExtAnswerV1(int32_t status, uint32_t word, void* answerContext, uint32_t kind,
                               uint32_t integer, const char* text);
extern "C" int32_t ExtAnswerV2(int32_t status, uint64_t word, void* answerContext,
                               const OldArgRecord* answer);

// ---- values across the call form (extender_services.cpp)
// The addresses of the ten services, in the order of the service block.
void FillServiceBlock(void* services[EXT_SERVICE_COUNT]);
// Releases what a record owns (an array reference, a VARIANT) and clears its flags.
void ExtReleaseValue(BDS* ctx, ExtArgRecord* record);
// A copy of an array block (elements copied, texts duplicated) into `out`; a map is shared
// (one more reference). False with the error set.
bool CopyArrayOut(BDS* ctx, ArrayHeader* array, ValueHead* out);
