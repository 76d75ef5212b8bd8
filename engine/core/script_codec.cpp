// Encoded script files: the decoder the script reader applies to files whose first byte is
// 1, 2 or 3, and the matching encoder used by tools and tests.
//
// Long header (types 1 and 2): byte 0 the type, bytes 1-4 a 32-bit checksum, byte 5 a mask
// byte, bytes 6-7 blanks, byte 8 ";" or 0x0C, byte 9 "E", byte 10 the separator 1; the
// short header has a 16-bit checksum in bytes 1-2, the mask in byte 3 and CR LF ";E" in
// bytes 4-7. The payload follows the first separator byte 1 after the header.
#include "engine/core/script.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/text_length.h"

#include <cstring>

namespace {

constexpr uint32_t MODULUS_TYPE1 = 251;
constexpr uint32_t MODULUS_TYPE2 = 239;
constexpr uint8_t CHECKSUM_XOR = 0x5A;
constexpr uint32_t CHECKSUM_START = 0x2B67;
constexpr size_t BLOCK = 1024;
constexpr size_t LONG_HEADER = 10;

uint8_t RotateRight(uint8_t x) { return static_cast<uint8_t>((x >> 1) | (x << 7)); }
uint8_t RotateLeft(uint8_t x) { return static_cast<uint8_t>((x << 1) | (x >> 7)); }

// The key byte of payload index i within its block.
uint8_t KeyAt(size_t i, int type, const char* phrase, size_t phraseLength)
{
    uint32_t m = type == 2 ? MODULUS_TYPE2 : MODULUS_TYPE1;
    uint8_t k = static_cast<uint8_t>((i % 256) % m);
    if (type == 2 && phraseLength)
        k ^= static_cast<uint8_t>(phrase[i % phraseLength]);
    return k;
}

// Asks for the pass phrase of a type-2 file; false when the user cancels.
bool AskPassPhrase(BDS* ctx, char* out, size_t size);

}  // namespace

size_t EncodeScriptBuffer(const char* text, size_t length, int type, const char* passPhrase, uint8_t* out)
{
    if (type == 3) {
        out[0] = 3;
        for (size_t i = 0; i < length; ++i) {
            uint8_t b = static_cast<uint8_t>(text[i]);
            out[1 + i] = static_cast<uint8_t>((b << 4) | (b >> 4));
        }
        return length + 1;
    }
    if (type != 1 && type != 2)
        return 0;
    const char* phrase = type == 2 && passPhrase ? passPhrase : "";
    size_t phraseLength = TextLength(phrase);
    uint8_t mask = static_cast<uint8_t>(0xA5 ^ (length & 0xFF));
    uint32_t sum = CHECKSUM_START;
    // The payload starts with a line feed so that the decoded text begins on a line of its
    // own behind the header comment.
    size_t total = length + 1;
    uint8_t* payload = out + LONG_HEADER + 1;
    for (size_t j = 0; j < total; ++j) {
        uint8_t d = j == 0 ? '\n' : static_cast<uint8_t>(text[j - 1]);
        sum += static_cast<uint8_t>(d ^ CHECKSUM_XOR);
        size_t i = j % BLOCK;
        uint8_t x = RotateLeft(static_cast<uint8_t>(d ^ mask));
        payload[j] = static_cast<uint8_t>(x ^ mask ^ KeyAt(i, type, phrase, phraseLength));
    }
    out[0] = static_cast<uint8_t>(type);
    std::memcpy(out + 1, &sum, 4);
    out[5] = mask;
    out[6] = ' ';
    out[7] = ' ';
    out[8] = ';';
    out[9] = 'E';
    out[10] = 1;
    return LONG_HEADER + 1 + total;
}

int DecodeScriptBuffer(BDS* ctx, char* buffer, size_t length)
{
    auto* b = reinterpret_cast<uint8_t*>(buffer);
    if (length == 0)
        return 1;
    int type = b[0];
    if (type == 3) {
        b[0] = ' ';
        for (size_t i = 1; i < length; ++i)
            b[i] = static_cast<uint8_t>((b[i] << 4) | (b[i] >> 4));
        return 1;
    }
    if (type != 2)
        type = 1;

    char phrase[256] = "";
    if (type == 2) {
        for (;;) {
            if (!AskPassPhrase(ctx, phrase, sizeof phrase)) {
                ReportError(ctx, nullptr, 111, 212, 13);
                return 0;
            }
            if (phrase[0])
                break;
            MessageBeep(0);
        }
    }
    size_t phraseLength = TextLength(phrase);

    bool longForm = length > LONG_HEADER && (b[8] == ';' || b[8] == PREPARED_BYTE) && b[9] == 'E';
    bool shortForm = !longForm && length > 8 && b[4] == '\r' && b[5] == '\n' && b[6] == ';' && b[7] == 'E';
    if (!longForm && !shortForm) {
        ReportError(ctx, nullptr, 111, 219, 13);
        return 0;
    }
    uint32_t stored;
    uint8_t mask;
    size_t header;
    if (longForm) {
        std::memcpy(&stored, b + 1, 4);
        mask = b[5];
        header = LONG_HEADER;
    } else {
        stored = static_cast<uint32_t>(b[1] | (b[2] << 8));
        mask = b[3];
        header = 8;
    }
    b[0] = ';';
    b[1] = PREPARED_BYTE;
    b[2] = longForm && b[8] == PREPARED_BYTE ? 'A' : '@';
    b[3] = ' ';
    if (longForm) {
        b[4] = ' ';
        b[5] = ' ';
    }
    size_t start = header;
    while (start < length && b[start] != 1)
        ++start;
    if (start < length)
        b[start++] = ' ';

    uint32_t sum = CHECKSUM_START;
    for (size_t j = start; j < length; ++j) {
        size_t i = (j - start) % BLOCK;
        uint8_t x = static_cast<uint8_t>(KeyAt(i, type, phrase, phraseLength) ^ b[j] ^ mask);
        uint8_t d = static_cast<uint8_t>(RotateRight(x) ^ mask);
        b[j] = d;
        sum += static_cast<uint8_t>(d ^ CHECKSUM_XOR);
    }
    if (!longForm)
        sum &= 0xFFFF;
    SecureZeroMemory(phrase, sizeof phrase);
    if (sum != stored) {
        ReportError(ctx, nullptr, 111, 211, 13);
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- pass phrase box

namespace {

struct PhraseBox {
    BDS* ctx;
    char* out;
    size_t size;
};

constexpr int ID_PHRASE = 100;

INT_PTR CALLBACK PhraseProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto* box = reinterpret_cast<PhraseBox*>(lParam);
        char prompt[256] = "";
        LoadMyString(box->ctx, EngineModule(), 213, prompt, sizeof prompt);
        SetDlgItemTextA(dialog, 101, prompt);
        SetWindowTextA(dialog, box->ctx->szProductName);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* box = reinterpret_cast<PhraseBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
            GetDlgItemTextA(dialog, ID_PHRASE, box->out, static_cast<int>(box->size));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// An in-memory template: a prompt, a password edit, OK and Cancel.
struct alignas(4) TemplateBuffer {
    WORD words[512];
};

size_t AddItem(WORD* w, size_t n, DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls)
{
    if (n & 1)
        w[n++] = 0;     // DLGITEMTEMPLATE is DWORD aligned
    DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    std::memcpy(w + n, &item, sizeof item);
    n += sizeof item / sizeof(WORD);
    w[n++] = 0xFFFF;
    w[n++] = cls;       // predefined class atom
    w[n++] = 0;         // no title
    w[n++] = 0;         // no creation data
    return n;
}

bool AskPassPhrase(BDS* ctx, char* out, size_t size)
{
    TemplateBuffer t{};
    WORD* w = t.words;
    DLGTEMPLATE head{DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 4,
                     0, 0, 200, 70};
    std::memcpy(w, &head, sizeof head);
    size_t n = sizeof head / sizeof(WORD);
    w[n++] = 0;     // menu
    w[n++] = 0;     // class
    w[n++] = 0;     // title
    n = AddItem(w, n, SS_LEFT, 8, 8, 184, 12, 101, 0x0082);
    n = AddItem(w, n, ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 8, 24, 184, 14, ID_PHRASE, 0x0081);
    n = AddItem(w, n, BS_DEFPUSHBUTTON | WS_TABSTOP, 40, 48, 50, 14, IDOK, 0x0080);
    AddItem(w, n, BS_PUSHBUTTON | WS_TABSTOP, 110, 48, 50, 14, IDCANCEL, 0x0080);
    out[0] = 0;
    PhraseBox box{ctx, out, size};
    INT_PTR r = DialogBoxIndirectParamA(EngineModule(), reinterpret_cast<DLGTEMPLATE*>(w), ctx->hwndOwner,
                                        PhraseProc, reinterpret_cast<LPARAM>(&box));
    return r == IDOK;
}

}  // namespace
