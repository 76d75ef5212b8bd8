// Dialog template fields: the splitter and the readers of integers, style names, colours
// and fonts; name hashing, tab-order insertion and the growable work arrays.
#include "engine/dialog/dialog_fields.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/keyword.h"
#include "engine/data/text.h"
#include "engine/dialog/dialog_record.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;   // "Unable to allocate or lock memory"
constexpr int STYLE_NAME_MAX = 30;
constexpr int FONT_FACE_MAX = 31;
constexpr int FONT_SIZE_SCALE = 1024;      // font sizes are 1/1024 of a vertical dialog unit

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsStyleNameChar(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'@'
           || c == L'_';
}

// The value of the @-constant `name` (lower case) from the keyword table.
bool ConstantValue(const char* name, uint32_t* out)
{
    size_t length = std::strlen(name);
    int low = 0, high = static_cast<int>(NKEYTOKENS) - 1;
    while (low <= high) {
        int mid = (low + high) / 2;
        const KeywordRecord& k = g_KeywordTable[mid];
        int order = std::strcmp(k.name, name);
        if (order == 0) {
            if (k.type != KT_CONSTANT || k.nameLength != length)
                return false;
            *out = k.arity;
            return true;
        }
        if (order < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return false;
}

// Splits `text` at "|" into parts (blanks kept); answers the count.
int SplitBars(const wchar_t* text, std::wstring* parts, int capacity)
{
    int count = 0;
    std::wstring current;
    for (const wchar_t* p = text;; ++p) {
        if (*p == L'|' || *p == 0) {
            if (count < capacity)
                parts[count] = current;
            ++count;
            current.clear();
            if (*p == 0)
                break;
        } else {
            current += *p;
        }
    }
    return count;
}

bool IsHexColorText(const wchar_t* text)
{
    if (text[0] != L'h' && text[0] != L'H')
        return false;
    if (!text[1])
        return false;
    for (const wchar_t* p = text + 1; *p; ++p)
        if (HexDigitValue(*p) < 0)
            return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- the splitter

int SplitTemplateField(bool keepTabs, bool doubledQuotes, const wchar_t* text, std::wstring& out,
                       size_t* position)
{
    size_t p = *position;
    out.clear();
    if (!text || text[p] == 0)
        return 0;
    while (IsBlank(text[p]))
        ++p;
    bool quoted = false;
    for (; text[p]; ++p) {
        wchar_t c = text[p];
        if (c == L'"') {
            if (quoted && doubledQuotes && text[p + 1] == L'"') {
                out += L'"';
                ++p;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (c == L',' && !quoted) {
            ++p;   // the comma that ends the field
            break;
        }
        if (c == L'\t' && !(quoted && keepTabs))
            continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == L' ')
        out.pop_back();
    *position = p;
    return 1;
}

bool FieldInteger(const std::wstring& field, int32_t* out)
{
    const wchar_t* p = field.c_str();
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-')
        negative = *p++ == L'-';
    if (*p < L'0' || *p > L'9')
        return false;
    int64_t value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + (*p - L'0');
        if (value > 0x80000000LL)
            return false;
    }
    while (IsBlank(*p))
        ++p;
    if (*p)
        return false;
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(value);
    return true;
}

bool IsDefaultField(const std::wstring& field)
{
    return _wcsicmp(field.c_str(), L"DEFAULT") == 0;
}

// ---------------------------------------------------------------- styles

bool ParseStyleNames(const wchar_t* text, uint32_t* out)
{
    std::wstring whole = text;
    int32_t number;
    if (FieldInteger(whole, &number)) {
        *out = static_cast<uint32_t>(number);
        return true;
    }
    if (IsDefaultField(whole)) {
        *out = 0;
        return true;
    }
    uint32_t style = 0;
    const wchar_t* p = text;
    for (;;) {
        while (IsBlank(*p))
            ++p;
        char name[STYLE_NAME_MAX + 1];
        int n = 0;
        while (IsStyleNameChar(*p)) {
            if (n == STYLE_NAME_MAX)
                return false;
            wchar_t c = *p++;
            name[n++] = static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
        }
        name[n] = 0;
        uint32_t value;
        if (n == 0 || !ConstantValue(name, &value))
            return false;
        style |= value;
        while (IsBlank(*p))
            ++p;
        if (*p == 0)
            break;
        if (*p != L'|')
            return false;
        ++p;
    }
    *out = style;
    return true;
}

// ---------------------------------------------------------------- colours

bool LooksLikeColor(const wchar_t* text)
{
    return std::wcschr(text, L'|') != nullptr || IsHexColorText(text);
}

bool ParseColorSpec(const wchar_t* text, COLORREF* out)
{
    while (IsBlank(*text))
        ++text;
    std::wstring trimmed = text;
    while (!trimmed.empty() && IsBlank(trimmed.back()))
        trimmed.pop_back();
    if (IsHexColorText(trimmed.c_str())) {
        uint32_t value = 0;
        for (const wchar_t* p = trimmed.c_str() + 1; *p; ++p) {
            value = value * 16 + static_cast<uint32_t>(HexDigitValue(*p));
            if (value > 0xFFFFFF)
                return false;
        }
        *out = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
        return true;
    }
    std::wstring parts[3];
    if (SplitBars(trimmed.c_str(), parts, 3) != 3)
        return false;
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
        int32_t v;
        if (!FieldInteger(parts[i], &v) || v < 0 || v > 255)
            return false;
        rgb[i] = v;
    }
    *out = RGB(rgb[0], rgb[1], rgb[2]);
    return true;
}

// ---------------------------------------------------------------- fonts

bool ParseFontSpec(BDS*, const Dialog6Record* dlg, const wchar_t* text, HFONT* out)
{
    std::wstring parts[4];
    if (SplitBars(text, parts, 4) != 4)
        return false;
    int32_t size, attributes, pitch;
    if (!FieldInteger(parts[1], &size) || !FieldInteger(parts[2], &attributes) || !FieldInteger(parts[3], &pitch))
        return false;

    LOGFONTW font{};
    std::wstring face = parts[0];
    if (face.size() > static_cast<size_t>(FONT_FACE_MAX))
        face.resize(FONT_FACE_MAX);
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);

    int64_t magnitude = size < 0 ? -static_cast<int64_t>(size) : size;
    int64_t height = -(magnitude * dlg->baseY / 8 / FONT_SIZE_SCALE);
    if (dlg->dpi[0] != dlg->screenDpi && dlg->baseY > 0 && dlg->dpi[0] > 0)
        height = height * dlg->dpi[2] * dlg->screenDpi / (static_cast<int64_t>(dlg->baseY) * dlg->dpi[0]);
    font.lfHeight = static_cast<LONG>(height);

    if (attributes > 10000) {
        font.lfStrikeOut = TRUE;
        attributes -= 10000;
    }
    if (attributes > 1000) {
        font.lfUnderline = TRUE;
        attributes -= 1000;
    }
    if (attributes > 100) {
        font.lfItalic = TRUE;
        attributes -= 100;
    }
    font.lfWeight = attributes * 10;
    font.lfPitchAndFamily = static_cast<BYTE>(pitch & 0xFF);
    font.lfCharSet = static_cast<BYTE>((pitch >> 8) & 0xFF);
    HFONT made = CreateFontIndirectW(&font);
    if (!made)
        return false;
    *out = made;
    return true;
}

// ---------------------------------------------------------------- names and order

uint32_t HashNameLower(const char* name)
{
    uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        unsigned char c = *p;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        h = h * 33 + c;
    }
    return h;
}

void InsertByTabOrder(DialogControlRecord* control, int count, DialogControlRecord** array)
{
    int low = 0, high = count;
    while (low < high) {
        int mid = (low + high) / 2;
        if (array[mid]->tabOrder <= control->tabOrder)
            low = mid + 1;
        else
            high = mid;
    }
    for (int i = count; i > low; --i)
        array[i] = array[i - 1];
    array[low] = control;
}

int SlotArrayInsert(int wanted, void* item, int count, void** array)
{
    if (count <= 0)
        return -1;
    int at = wanted < 0 ? 0 : wanted >= count ? count - 1 : wanted;
    for (int i = at; i < count; ++i) {
        if (!array[i]) {
            array[i] = item;
            return i;
        }
    }
    for (int i = at - 1; i >= 0; --i) {
        if (!array[i]) {
            std::memmove(array + i, array + i + 1, static_cast<size_t>(count - 1 - i) * sizeof(void*));
            array[count - 1] = item;
            return i;
        }
    }
    return -1;
}

// ---------------------------------------------------------------- growable arrays

int GrowVirtualArray(BDS* ctx, size_t added, size_t current, size_t elementSize, void** array)
{
    size_t total = current + added;
    void* bigger = nullptr;
    if (total >= current && elementSize > 0 && total <= SIZE_MAX / elementSize)
        bigger = VirtualAlloc(nullptr, total * elementSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!bigger) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    if (*array && current > 0)
        std::memcpy(bigger, *array, current * elementSize);
    FreeVirtualArray(*array);
    *array = bigger;
    return 1;
}

void FreeVirtualArray(void* array)
{
    if (array)
        VirtualFree(array, 0, MEM_RELEASE);
}
