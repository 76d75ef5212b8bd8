// Tags: walks through the sections of a binary buffer's data that lie between a start tag
// and an end tag (BinaryTagInit, BinaryTagFind, BinaryTagExtr, BinaryTagRepl,
// BinaryTagIndex, BinaryTagLen).
//
// The state of a walk lives in the script, not in the engine: a record text that each call
// takes and gives back in new form. Its fields, in upper-case hex without separators:
//   total length (8) = 58 + both tag lengths, slot index (8), position (16), state (8),
//   start-tag length (4), end-tag length (4), section length (8),
//   then the start tag, a blank, the end tag and a blank.
// The position is where the next search starts (states I and R) or where the start tag of
// the found section begins (state F). A record is checked in full before it is used, so a
// stale or edited one never reaches outside its buffer.
#include <cstdio>
#include <cstring>

#include "engine/core/numtext.h"
#include "engine/core/text_length.h"
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_BLANK_TAG = 1580,          // "BinaryTagInit: Blank tag specified"
    ERR_BAD_RECORD = 1581,         // "BinaryTag[..]: Invalid binary tag structure"
    ERR_BAD_MODE = 1655,           // "BinaryTag[..]: Invalid 'mode'"
};

enum : int32_t { STATE_INIT = 73, STATE_FOUND = 70, STATE_REPLACED = 82 };   // 'I', 'F', 'R'

constexpr size_t HEAD_LENGTH = 56;     // the numeric fields
constexpr int32_t LONGEST_TAG = 0xFFFF;  // what the 4-digit length fields hold

struct TagRecord {
    int32_t slot;
    int64_t position;
    int32_t state;
    int32_t startLength;
    int32_t endLength;
    int32_t sectionLength;
    const char* startTag;      // inside the script's record text (or the Init arguments)
    const char* endTag;
};

// A field of `width` hex digits; -1 for anything else.
int64_t HexField(const char* text, int width)
{
    char field[9];
    std::memcpy(field, text, size_t(width));
    field[width] = 0;
    int64_t value = RadixTextToLongA(field, 16);
    return value < 0 ? -1 : value;
}

// Reads a record text; false with 1581 when it is not a whole, consistent record of a slot.
bool ParseTag(BDS* ctx, const char* text, TagRecord* r)
{
    size_t length = TextLength(text);
    bool ok = length >= HEAD_LENGTH;
    if (ok) {
        int64_t fields[8];
        static const int offsets[8] = {0, 8, 16, 24, 32, 40, 44, 48};
        static const int widths[8] = {8, 8, 8, 8, 8, 4, 4, 8};
        for (int i = 0; i < 8 && ok; ++i)
            ok = (fields[i] = HexField(text + offsets[i], widths[i])) >= 0;
        if (ok) {
            r->slot = int32_t(uint32_t(fields[1]));
            r->position = int64_t(uint64_t(fields[2]) << 32 | uint64_t(fields[3]));
            r->state = int32_t(uint32_t(fields[4]));
            r->startLength = int32_t(fields[5]);
            r->endLength = int32_t(fields[6]);
            r->sectionLength = int32_t(uint32_t(fields[7]));
            r->startTag = text + HEAD_LENGTH;
            r->endTag = r->startTag + r->startLength + 1;
            ok = fields[0] == int64_t(length) && length == HEAD_LENGTH + 2 + size_t(r->startLength + r->endLength) &&
                 r->slot >= 0 && r->slot < MAX_BINARY_BUFFERS && r->position >= 0 && r->sectionLength >= 0 &&
                 (r->state == STATE_INIT || r->state == STATE_FOUND || r->state == STATE_REPLACED) &&
                 r->endLength >= 1;
        }
    }
    if (!ok)
        SetError(ctx, ERR_BAD_RECORD);
    return ok;
}

// The buffer of a record's slot, or null with 3023.
BinaryBufferSlot* TagSlot(BDS* ctx, const TagRecord& r)
{
    return BinarySlotOf(ctx, int64_t(BINARY_HANDLE_BASE) + r.slot);
}

// The bytes of a found section, both tags included.
int64_t WholeSection(const TagRecord& r) { return int64_t(r.startLength) + r.sectionLength + r.endLength; }

// The buffer of a record whose found section lies within the data; null with 3023 or 1581.
BinaryBufferSlot* SectionSlot(BDS* ctx, const TagRecord& r)
{
    BinaryBufferSlot* slot = TagSlot(ctx, r);
    if (slot && r.state == STATE_FOUND && r.position > slot->eod - WholeSection(r)) {
        SetError(ctx, ERR_BAD_RECORD);
        return nullptr;
    }
    return slot;
}

// The record of argument 1 and the buffer of its slot, whose found section lies within the
// data; null with 1581 or 3023.
BinaryBufferSlot* RecordAndSlot(BDS* ctx, const BuiltinCall& call, TagRecord* r)
{
    return ParseTag(ctx, ArgText(ctx, call, 1), r) ? SectionSlot(ctx, *r) : nullptr;
}

// The record of argument 1 and the mode (0 or 1) of argument 2; false with 1581 or 1655.
bool RecordAndMode(BDS* ctx, const BuiltinCall& call, TagRecord* r, int32_t* mode)
{
    if (!ParseTag(ctx, ArgText(ctx, call, 1), r))
        return false;
    *mode = ArgInt(call, 2);
    if (*mode != 0 && *mode != 1) {
        SetError(ctx, ERR_BAD_MODE);
        return false;
    }
    return true;
}

// Writes the record as the result text.
void SetTagResult(BDS* ctx, resultants* result, const TagRecord& r)
{
    size_t total = HEAD_LENGTH + 2 + size_t(r.startLength + r.endLength);
    char head[HEAD_LENGTH + 1];
    std::snprintf(head, sizeof head, "%08X%08X%016llX%08X%04X%04X%08X", unsigned(total), unsigned(r.slot),
                  static_cast<unsigned long long>(r.position), unsigned(r.state), unsigned(r.startLength),
                  unsigned(r.endLength), unsigned(r.sectionLength));
    char* text = NewResultTextA(ctx, result, total);
    if (!text)
        return;
    char* p = text;
    std::memcpy(p, head, HEAD_LENGTH);
    p += HEAD_LENGTH;
    std::memcpy(p, r.startTag, size_t(r.startLength));
    p += r.startLength;
    *p++ = ' ';
    std::memcpy(p, r.endTag, size_t(r.endLength));
    p += r.endLength;
    *p = ' ';
}

// The first offset from `from` where the tag matches, ignoring case, within the data; -1
// when there is none.
int64_t TagSearch(const BinaryBufferSlot* slot, int64_t from, const char* tag, int32_t length)
{
    if (from < 0 || from >= slot->size || from > slot->eod - length)
        return -1;
    const auto* pattern = reinterpret_cast<const uint8_t*>(tag);
    for (int64_t p = from; p <= slot->eod - length; ++p)
        if (BytesMatch(slot->data + p, pattern, length, true))
            return p;
    return -1;
}

// ---------------------------------------------------------------- built-ins

void CaseTagInit(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    const char* startTag = ArgText(ctx, call, 2);
    const char* endTag = ArgText(ctx, call, 3);
    size_t startLength = TextLength(startTag), endLength = TextLength(endTag);
    if (endLength == 0) {
        SetError(ctx, ERR_BLANK_TAG);
        return;
    }
    if (startLength > LONGEST_TAG || endLength > LONGEST_TAG) {
        SetError(ctx, ERR_BAD_RECORD);
        return;
    }
    TagRecord r{int32_t(slot - ctx->data.buffers), 0, STATE_INIT, int32_t(startLength), int32_t(endLength), 0,
                startTag, endTag};
    SetTagResult(ctx, call.result, r);
}

// The next section after the current one; "" when there is none (the walk is over).
void CaseTagFind(BDS* ctx, BuiltinCall& call)
{
    TagRecord r;
    BinaryBufferSlot* slot = RecordAndSlot(ctx, call, &r);
    if (!slot)
        return;
    int64_t start = r.state == STATE_FOUND ? r.position + WholeSection(r) : r.position;
    if (r.startLength > 0)
        start = TagSearch(slot, start, r.startTag, r.startLength);
    int64_t end = start >= 0 ? TagSearch(slot, start + r.startLength, r.endTag, r.endLength) : -1;
    if (end < 0) {
        SetResultText(ctx, call.result, "", 0);
        return;
    }
    r.position = start;
    r.state = STATE_FOUND;
    r.sectionLength = int32_t(end - start - r.startLength);
    SetTagResult(ctx, call.result, r);
}

// Flag 1 folds line breaks: a tab, carriage return or line feed becomes one blank unless a
// blank stands before it (in the text made so far) or after it; then it goes.
void CaseTagExtr(BDS* ctx, BuiltinCall& call)
{
    TagRecord r;
    BinaryBufferSlot* slot = RecordAndSlot(ctx, call, &r);
    if (!slot)
        return;
    const char* section = reinterpret_cast<const char*>(slot->data + r.position + r.startLength);
    size_t length = strnlen(section, size_t(r.sectionLength));
    char* text = NewResultTextA(ctx, call.result, length);
    if (!text)
        return;
    if (!(ArgInt(call, 2) & 1)) {
        std::memcpy(text, section, length);
        return;
    }
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = section[i];
        if (c == '\t' || c == '\r' || c == '\n') {
            bool blankBefore = n > 0 && text[n - 1] == ' ';
            bool blankAfter = i + 1 < length && section[i + 1] == ' ';
            if (blankBefore || blankAfter)
                continue;
            c = ' ';
        }
        text[n++] = c;
    }
    text[n] = 0;
}

// Replaces the found section with both its tags; the walk goes on after the replacement.
void CaseTagRepl(BDS* ctx, BuiltinCall& call)
{
    TagRecord r;
    BinaryBufferSlot* slot = RecordAndSlot(ctx, call, &r);
    if (!slot)
        return;
    if (r.state != STATE_FOUND) {
        SetError(ctx, ERR_BAD_RECORD);
        return;
    }
    const char* replacement = ArgText(ctx, call, 2);
    int64_t length = int64_t(TextLength(replacement));
    int64_t whole = WholeSection(r);
    if (length > slot->size - slot->eod + whole) {
        SetError(ctx, ERR_COUNT_BEYOND_SIZE);
        return;
    }
    int64_t tail = r.position + whole;
    int64_t newEod = slot->eod - whole + length;
    std::memmove(slot->data + r.position + length, slot->data + tail, size_t(slot->eod - tail));
    std::memcpy(slot->data + r.position, replacement, size_t(length));
    if (newEod < slot->eod)
        std::memset(slot->data + newEod, 0, size_t(slot->eod - newEod));
    slot->eod = newEod;
    r.position += length;
    r.state = STATE_REPLACED;
    r.sectionLength = 0;
    SetTagResult(ctx, call.result, r);
}

// Mode 0: where the section's data begins; 1: where its start tag begins.
void CaseTagIndex(BDS* ctx, BuiltinCall& call)
{
    TagRecord r;
    int32_t mode;
    if (!RecordAndMode(ctx, call, &r, &mode))
        return;
    SetResult64(ctx, call.result, mode == 0 ? r.position + r.startLength : r.position);
}

// Mode 0: the section's length; 1: with both tags.
void CaseTagLen(BDS* ctx, BuiltinCall& call)
{
    TagRecord r;
    int32_t mode;
    if (!RecordAndMode(ctx, call, &r, &mode))
        return;
    SetResult64(ctx, call.result, mode == 0 ? r.sectionLength : WholeSection(r));
}

const BuiltinRow kRows[] = {
    {341, CaseTagExtr},    // binarytagextr
    {342, CaseTagFind},    // binarytagfind
    {343, CaseTagIndex},   // binarytagindex
    {344, CaseTagInit},    // binarytaginit
    {345, CaseTagLen},     // binarytaglen
    {346, CaseTagRepl},    // binarytagrepl
};

}  // namespace

const BuiltinFamily g_BinaryTagBuiltins = {"binary buffer tags", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
