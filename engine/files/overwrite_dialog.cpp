// The "FILEWARN" dialog procedures (wide and ANSI) and the middle ellipsis of long names.
#include "engine/files/overwrite_dialog.h"

#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/files/file_text.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"

namespace {

enum : int {
    ID_TARGET_NAME = 107,
    ID_TARGET_INFO = 108,
    ID_WITH = 109,
    ID_REPLACE = 110,
    ID_SOURCE_NAME = 111,
    ID_SOURCE_INFO = 112,
};

constexpr int QUIET_SOUND = 99;
constexpr int MSG_TITLE = 134;

// Controls and the messages of their captions.
struct Caption {
    int id;
    int message;
};
const Caption kCaptions[] = {
    {ID_REPLACE, 122}, {ID_WITH, 135}, {IDOK, 123},  {101, 124}, {104, 136},
    {106, 137},        {102, 138},     {105, 139},   {103, 125}, {IDCANCEL, 121},
};

// Buttons and the answers they leave.
uint32_t AnswerOf(int id)
{
    switch (id) {
    case IDOK: return OVERWRITE_ONCE;
    case 104: return OVERWRITE_NEWER;
    case 102: return OVERWRITE_OLDER;
    case 103: return OVERWRITE_SKIP;
    case 101: return OVERWRITE_ALL;
    case 106: return OVERWRITE_NEWER_ALL;
    case 105: return OVERWRITE_OLDER_ALL;
    case IDCANCEL: return OVERWRITE_CANCEL;
    default: return 0;
    }
}

BDS* ContextOf(HWND dialog)
{
    return reinterpret_cast<BDS*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Measures texts in a control's font against its client width.
struct Measure {
    HWND control;
    HDC dc = nullptr;
    HGDIOBJ oldFont = nullptr;
    LONG width = 0;
    explicit Measure(HWND c) : control(c)
    {
        if (!control)
            return;
        dc = GetDC(control);
        if (!dc)
            return;
        if (HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)))
            oldFont = SelectObject(dc, font);
        RECT client{};
        GetClientRect(control, &client);
        width = client.right - client.left;
    }
    ~Measure()
    {
        if (dc) {
            if (oldFont)
                SelectObject(dc, oldFont);
            ReleaseDC(control, dc);
        }
    }
    bool fits(const std::wstring& text, bool* failed) const
    {
        SIZE size{};
        if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) {
            *failed = true;
            return false;
        }
        return size.cx <= width;
    }
    bool fits(const std::string& text, bool* failed) const
    {
        SIZE size{};
        if (!GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size)) {
            *failed = true;
            return false;
        }
        return size.cx <= width;
    }
};

// The characters of a text, each a piece the shortening takes off whole: a surrogate pair
// of a wide text, a double-byte character of an ANSI one.
std::vector<std::wstring> Characters(const std::wstring& text)
{
    std::vector<std::wstring> out;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t length = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() ? 2 : 1;
        out.push_back(text.substr(i, length));
        i += length - 1;
    }
    return out;
}

std::vector<std::string> Characters(const std::string& text)
{
    std::vector<std::string> out;
    const char* p = text.c_str();
    while (*p) {
        const char* next = CharNextA(p);
        out.emplace_back(p, static_cast<size_t>(next - p));
        p = next;
    }
    return out;
}

template <typename Text>
Text Joined(const std::vector<Text>& left, const std::vector<Text>& right)
{
    Text joined;
    for (const Text& c : left)
        joined += c;
    joined.append(3, '.');
    for (const Text& c : right)
        joined += c;
    return joined;
}

// Takes characters off the middle, one from the left half and then one from the right,
// until the text fits: 1 shortened (text replaced), 0 a measurement failed, -1 nothing fits.
template <typename Text>
int Ellipsis(const Measure& measure, Text& text)
{
    std::vector<Text> left = Characters(text);
    auto middle = left.begin() + static_cast<std::ptrdiff_t>((left.size() + 1) / 2);
    std::vector<Text> right(middle, left.end());
    left.erase(middle, left.end());
    bool failed = false;
    auto tryJoined = [&]() {
        Text joined = Joined(left, right);
        if (measure.fits(joined, &failed)) {
            text = joined;
            return 1;
        }
        return failed ? 0 : -1;
    };
    while (!left.empty() && !right.empty()) {
        left.pop_back();
        if (int answer = tryJoined(); answer != -1)
            return answer;
        right.erase(right.begin());
        if (right.empty())
            break;
        if (int answer = tryJoined(); answer != -1)
            return answer;
    }
    return -1;
}

template <typename Text>
int PathEllipsis(HWND control, Text& text)
{
    Measure measure(control);
    if (!measure.dc)
        return 0;
    bool failed = false;
    if (measure.fits(text, &failed))
        return 1;
    if (failed)
        return 0;
    return Ellipsis(measure, text) == 1 ? 1 : 0;
}

void SetTextsW(BDS* ctx, HWND dialog)
{
    const OverwriteTexts* texts = ctx ? ctx->fileops.pOverwriteTexts : nullptr;
    if (texts) {
        std::wstring source = texts->sourceName, target = texts->targetName;
        PathEllipsisW(ctx, GetDlgItem(dialog, ID_SOURCE_NAME), source);
        PathEllipsisW(ctx, GetDlgItem(dialog, ID_TARGET_NAME), target);
        SetDlgItemTextW(dialog, ID_SOURCE_NAME, source.c_str());
        SetDlgItemTextW(dialog, ID_SOURCE_INFO, texts->sourceInfo.c_str());
        SetDlgItemTextW(dialog, ID_TARGET_NAME, target.c_str());
        SetDlgItemTextW(dialog, ID_TARGET_INFO, texts->targetInfo.c_str());
    }
    wchar_t caption[256];
    for (const Caption& c : kCaptions)
        if (LoadMyStringW(ctx, EngineModule(), c.message, caption, 256))
            SetDlgItemTextW(dialog, c.id, caption);
    if (LoadMyStringW(ctx, EngineModule(), MSG_TITLE, caption, 256))
        SetWindowTextW(dialog, caption);
}

std::string Narrow(BDS* ctx, const std::wstring& text)
{
    return FileNameToAnsi(text, ctx ? ValueCodePage(ctx) : CP_ACP);
}

void SetTextsA(BDS* ctx, HWND dialog)
{
    const OverwriteTexts* texts = ctx ? ctx->fileops.pOverwriteTexts : nullptr;
    if (texts) {
        std::string source = Narrow(ctx, texts->sourceName), target = Narrow(ctx, texts->targetName);
        PathEllipsisA(ctx, GetDlgItem(dialog, ID_SOURCE_NAME), source);
        PathEllipsisA(ctx, GetDlgItem(dialog, ID_TARGET_NAME), target);
        SetDlgItemTextA(dialog, ID_SOURCE_NAME, source.c_str());
        SetDlgItemTextA(dialog, ID_SOURCE_INFO, Narrow(ctx, texts->sourceInfo).c_str());
        SetDlgItemTextA(dialog, ID_TARGET_NAME, target.c_str());
        SetDlgItemTextA(dialog, ID_TARGET_INFO, Narrow(ctx, texts->targetInfo).c_str());
    }
    char caption[256];
    for (const Caption& c : kCaptions)
        if (LoadMyString(ctx, EngineModule(), c.message, caption, sizeof caption))
            SetDlgItemTextA(dialog, c.id, caption);
    if (LoadMyString(ctx, EngineModule(), MSG_TITLE, caption, sizeof caption))
        SetWindowTextA(dialog, caption);
}

INT_PTR OverwriteProcCommon(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, bool wide)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* ctx = reinterpret_cast<BDS*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        if (ctx)
            DlgPointLookup(dialog, reinterpret_cast<uintptr_t>(ctx));
        CenterWindow(dialog);
        if (wide)
            SetTextsW(ctx, dialog);
        else
            SetTextsA(ctx, dialog);
        PlayEventSound(ctx, "SystemExclamation", QUIET_SOUND);
        if (ctx && ctx->eng.ctl.ActivateMethodBox >= 1)
            ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
        return TRUE;
    }
    case WM_COMMAND: {
        uint32_t answer = AnswerOf(LOWORD(wParam));
        if (answer) {
            if (BDS* ctx = ContextOf(dialog))
                ctx->fileops.OverwriteAnswer = answer;
            EndDialog(dialog, 1);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace

extern "C" INT_PTR CALLBACK OverwriteProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return OverwriteProcCommon(dialog, message, wParam, lParam, true);
}

extern "C" INT_PTR CALLBACK OverwriteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return OverwriteProcCommon(dialog, message, wParam, lParam, false);
}

int PathEllipsisW(BDS*, HWND control, std::wstring& text)
{
    return PathEllipsis(control, text);
}

int PathEllipsisA(BDS*, HWND control, std::string& text)
{
    return PathEllipsis(control, text);
}
