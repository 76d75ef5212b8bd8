// The item-list box: argument checks and the modal run (RunItemListDialogA/W) and the
// dialog procedures AskTextDlg and AskTextDlgW, which fill the list, keep the buttons in
// place when the box is resized and build the answer from the selection.
#include "engine/ui/item_list_box.h"

#include <cstring>
#include <cwchar>

#include "engine/core/button_texts.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/core/locked_global.h"
#include "engine/ui/script_boxes.h"

namespace {

constexpr uint16_t ERR_SELECTION_UNREADABLE = 1336;   // "Ask Multiple: Error retrieving selected items..."
constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_DELIMITER = 1705;              // "Invalid delimiter (must be a single character)"
constexpr uint16_t ERR_NO_WINDOW = 3104;              // "Dialog Box: Window Creation Failed"
constexpr uint16_t ERR_SELECT_VALUE = 3366;           // "AskBox Error: Single/Multiple value incorrect"
constexpr uint16_t ERR_SORT_VALUE = 3367;             // "AskBox Error: Sorted/Unsorted value incorrect"
constexpr int PLACEMENT_SCALE = 1000;                 // placements are thousandths of the screen

const char* const kTemplates[] = {"BOXITEM", "BOXITEMM", "BOXITEMME"};
const wchar_t* const kTemplatesW[] = {L"BOXITEM", L"BOXITEMM", L"BOXITEMME"};

BDS* ContextOf(HWND dialog) { return reinterpret_cast<BDS*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// ---------------------------------------------------------------- the narrow and wide sides

struct NarrowSide {
    using C = char;
    static LRESULT Send(HWND w, UINT m, WPARAM wp, LPARAM lp) { return SendMessageA(w, m, wp, lp); }
    static void SetTitle(BDS* ctx, HWND dialog) { SetBoxTitleA(ctx, dialog); }
    static void SetButtons(BDS* ctx, HWND dialog) { SetButtonTextsA(ctx, dialog); }
    static const char* Delimiter(BDS* ctx) { return ctx->box.ItemBoxDelimiter; }
    static int SetResult(BDS* ctx, const char* text, size_t n)
    {
        return SetResultText(ctx, ctx->box.ItemBoxResult, text, n);
    }
    static bool Fill(BDS* ctx, HWND list)
    {
        bool sorted = ctx->box.ItemBoxSort == 1;
        const auto* source = static_cast<const char*>(ctx->box.ItemBoxSource);
        if (ctx->box.ItemBoxKind == ITEM_SOURCE_LIST) {
            FillItemsFromListA(list, source, ctx->box.ItemBoxDelimiter, sorted);
            return true;
        }
        return FillItemsFromFileA(ctx, list, source, sorted);
    }
};

struct WideSide {
    using C = wchar_t;
    static LRESULT Send(HWND w, UINT m, WPARAM wp, LPARAM lp) { return SendMessageW(w, m, wp, lp); }
    static void SetTitle(BDS* ctx, HWND dialog) { SetBoxTitleW(ctx, dialog); }
    static void SetButtons(BDS* ctx, HWND dialog) { SetButtonTextsW(ctx, dialog); }
    static const wchar_t* Delimiter(BDS* ctx) { return ctx->box.ItemBoxDelimiterW; }
    static int SetResult(BDS* ctx, const wchar_t* text, size_t n)
    {
        return SetResultWText(ctx, ctx->box.ItemBoxResult, text, n);
    }
    static bool Fill(BDS* ctx, HWND list)
    {
        bool sorted = ctx->box.ItemBoxSort == 1;
        const auto* source = static_cast<const wchar_t*>(ctx->box.ItemBoxSource);
        if (ctx->box.ItemBoxKind == ITEM_SOURCE_LIST) {
            FillItemsFromListW(list, source, ctx->box.ItemBoxDelimiterW[0], sorted);
            return true;
        }
        return FillItemsFromFileW(ctx, list, source, sorted);
    }
};

template <typename C>
size_t Length(const C* s)
{
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

// ---------------------------------------------------------------- initialisation

void ApplyBoxFont(BDS* ctx, HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_ITEM_LIST);
    if (ctx->eng.ctl.BoxFontMode == 2) {
        auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
        SendMessageA(list, WM_SETFONT, font, FALSE);
        SendMessageA(GetDlgItem(dialog, IDOK), WM_SETFONT, font, FALSE);
        SendMessageA(GetDlgItem(dialog, IDCANCEL), WM_SETFONT, font, FALSE);
    } else if (ctx->eng.ctl.BoxFontMode != 0) {
        SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
    }
}

// With IntControl 49's value 2 the box gets a system menu, its size boxes and the host's icon.
void ApplyCloseBox(BDS* ctx, HWND dialog)
{
    if (!(ctx->eng.ctl.DialogCloseBox & 2))
        return;
    LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
    SetWindowLongPtrA(dialog, GWL_STYLE, style | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    if (ctx->hHostInstance)
        if (HICON icon = LoadIconA(ctx->hHostInstance, "MYICON"))
            SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

bool HasSelection(BDS* ctx, HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_ITEM_LIST);
    if (ctx->box.ItemBoxSelectMode == ITEM_SELECT_SINGLE)
        return SendMessageA(list, LB_GETCURSEL, 0, 0) != LB_ERR;
    LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    return count != LB_ERR && count != 0;
}

template <typename Side>
void InitItemDialog(BDS* ctx, HWND dialog)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));
    Side::SetButtons(ctx, dialog);
    Side::SetTitle(ctx, dialog);   // and centres the box
    ApplyNextBoxPosition(ctx, dialog);
    ApplyBoxFont(ctx, dialog);
    ApplyCloseBox(ctx, dialog);
    PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    if (!Side::Fill(ctx, GetDlgItem(dialog, IDC_ITEM_LIST))) {
        EndDialog(dialog, -1);
        return;
    }
    if (ctx->eng.ctl.ActivateMethodBox > 0)
        ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
    if (ctx->box.ItemBoxNeedsSelection)
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
}

// ---------------------------------------------------------------- resizing

// The list takes the client area less the button row; OK and Cancel keep their sizes and
// the gap between them and stay centred as a pair.
void LayOut(HWND dialog, int cx, int cy)
{
    HWND list = GetDlgItem(dialog, IDC_ITEM_LIST);
    HWND ok = GetDlgItem(dialog, IDOK);
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    RECT listBox, okBox, cancelBox;
    GetWindowRect(list, &listBox);
    GetWindowRect(ok, &okBox);
    GetWindowRect(cancel, &cancelBox);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&listBox), 2);
    int okWidth = okBox.right - okBox.left;
    int cancelWidth = cancelBox.right - cancelBox.left;
    int gap = cancelBox.left - okBox.right;
    SetWindowPos(list, nullptr, 0, 0, cx - 18, cy - 70, SWP_NOMOVE | SWP_NOZORDER);
    int okX = (cx - gap - cancelWidth - okWidth) / 2;
    SetWindowPos(ok, nullptr, okX, cy - 42, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(cancel, nullptr, okX + okWidth + gap, cy - 42, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    InvalidateRect(dialog, nullptr, TRUE);
}

// ---------------------------------------------------------------- the answer

// Builds the answer from the selection into the result record; false with the error set.
template <typename Side>
bool BuildAnswer(BDS* ctx, HWND dialog)
{
    using C = typename Side::C;
    HWND list = GetDlgItem(dialog, IDC_ITEM_LIST);
    static const C none[1] = {0};

    if (ctx->box.ItemBoxSelectMode == ITEM_SELECT_SINGLE) {
        LRESULT index = Side::Send(list, LB_GETCURSEL, 0, 0);
        if (index == LB_ERR)
            return Side::SetResult(ctx, none, 0) != 0;
        LRESULT length = Side::Send(list, LB_GETTEXTLEN, index, 0);
        if (length == LB_ERR)
            return Side::SetResult(ctx, none, 0) != 0;
        LockedGlobal text((static_cast<SIZE_T>(length) + 1) * sizeof(C));
        if (!text.data) {
            SetError(ctx, ERR_NO_MEMORY);
            return false;
        }
        LRESULT got = Side::Send(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data));
        return Side::SetResult(ctx, static_cast<C*>(text.data), got == LB_ERR ? 0 : static_cast<size_t>(got)) != 0;
    }

    LRESULT count = Side::Send(list, LB_GETSELCOUNT, 0, 0);
    if (count == LB_ERR || count <= 0)
        return Side::SetResult(ctx, none, 0) != 0;
    LockedGlobal indexes(static_cast<SIZE_T>(count) * sizeof(int));
    if (!indexes.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    auto* index = static_cast<int*>(indexes.data);
    if (Side::Send(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(index)) < count) {
        SetError(ctx, ERR_SELECTION_UNREADABLE);
        return false;
    }
    const C* delimiter = Side::Delimiter(ctx);
    size_t delimiterLength = Length(delimiter);
    SIZE_T room = 1;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = Side::Send(list, LB_GETTEXTLEN, index[i], 0);
        if (length != LB_ERR)
            room += static_cast<SIZE_T>(length) + delimiterLength;
    }
    LockedGlobal joined(room * sizeof(C));
    if (!joined.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return false;
    }
    auto* out = static_cast<C*>(joined.data);
    size_t used = 0;
    bool first = true;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = Side::Send(list, LB_GETTEXTLEN, index[i], 0);
        if (length == LB_ERR || used + delimiterLength + static_cast<size_t>(length) + 1 > room)
            continue;   // an unreadable item is left out with its delimiter
        size_t at = used + (first ? 0 : delimiterLength);
        LRESULT got = Side::Send(list, LB_GETTEXT, index[i], reinterpret_cast<LPARAM>(out + at));
        if (got == LB_ERR)
            continue;
        if (!first)
            std::memcpy(out + used, delimiter, delimiterLength * sizeof(C));
        used = at + static_cast<size_t>(got);
        first = false;
    }
    out[used] = 0;
    return Side::SetResult(ctx, out, used) != 0;
}

template <typename Side>
INT_PTR ItemDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitItemDialog<Side>(reinterpret_cast<BDS*>(lParam), dialog);
        return TRUE;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)
            LayOut(dialog, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_COMMAND: {
        BDS* ctx = ContextOf(dialog);
        if (!ctx)
            return FALSE;
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (id == IDOK || (id == IDC_ITEM_LIST && code == LBN_DBLCLK)) {
            if (ctx->box.ItemBoxNeedsSelection && !HasSelection(ctx, dialog))
                return TRUE;   // Enter on a disabled OK
            EndDialog(dialog, BuildAnswer<Side>(ctx, dialog) ? 1 : -1);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (id == IDC_ITEM_LIST && code == LBN_SELCHANGE && ctx->box.ItemBoxNeedsSelection) {
            EnableWindow(GetDlgItem(dialog, IDOK), HasSelection(ctx, dialog));
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

// ---------------------------------------------------------------- the run

bool CheckChoices(BDS* ctx, int32_t sort, int32_t select)
{
    if (sort != 0 && sort != 1) {
        SetError(ctx, ERR_SORT_VALUE);
        return false;
    }
    if (select < 2 || select > 4) {
        SetError(ctx, ERR_SELECT_VALUE);
        return false;
    }
    return true;
}

void FillBoxFields(BDS* ctx, resultants* result, uint32_t kind, const void* source, int32_t sort,
                   int32_t select)
{
    ctx->box.ItemBoxKind = kind;
    ctx->box.ItemBoxSource = source;
    ctx->box.ItemBoxSort = static_cast<uint32_t>(sort);
    ctx->box.ItemBoxSelectMode = static_cast<uint32_t>(select - 2);
    ctx->box.ItemBoxResult = result;
}

// Steps 4 to 7 of a run: the frame around the modal dialog and the outcome.
template <typename RunDialog>
void RunModal(BDS* ctx, int32_t needsSelection, RunDialog run)
{
    if (needsSelection)
        ctx->box.ItemBoxNeedsSelection = 1;
    int inputState = OpenBoxFrame(ctx);
    INT_PTR answer = run();
    SettleAfterBox(ctx);
    ctx->box.ItemBoxNeedsSelection = 0;
    ctx->box.ItemBoxResult = nullptr;
    ctx->box.ItemBoxSource = nullptr;
    if (answer == 0) {
        SetError(ctx, CC_CANCEL);
        return;   // input stays free: the run ends unless the cancel is trapped
    }
    if (answer == -1 && !ctx->nErrorCode)
        SetError(ctx, ERR_NO_WINDOW);
    CloseBoxFrame(ctx, inputState);
}

}  // namespace

void ApplyNextBoxPosition(BDS* ctx, HWND dialog)
{
    int32_t* place = ctx->eng.ctl.NextBoxPosition;
    if (place[2] >= 1 && place[3] >= 1) {
        int width = GetSystemMetrics(SM_CXSCREEN);
        int height = GetSystemMetrics(SM_CYSCREEN);
        int left = MulDiv(place[0], width, PLACEMENT_SCALE);
        int top = MulDiv(place[1], height, PLACEMENT_SCALE);
        int right = MulDiv(place[2], width, PLACEMENT_SCALE);
        int bottom = MulDiv(place[3], height, PLACEMENT_SCALE);
        SetWindowPos(dialog, nullptr, left, top, right - left, bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    place[0] = place[1] = place[2] = place[3] = 0;
}

void RunItemListDialogA(BDS* ctx, resultants* result, uint32_t kind, const char* title, const char* source,
                        const char* delimiter, int32_t sort, int32_t select, int32_t needsSelection)
{
    if (!CheckChoices(ctx, sort, select))
        return;
    if (!delimiter)
        delimiter = "";
    if (*delimiter && *CharNextA(delimiter)) {
        SetError(ctx, ERR_DELIMITER);
        return;
    }
    FillBoxFields(ctx, result, kind, source ? source : "", sort, select);
    char* kept = ctx->box.ItemBoxDelimiter;
    std::memset(kept, 0, 3);
    if (*delimiter)
        std::memcpy(kept, delimiter, std::strlen(delimiter) > 2 ? 2 : std::strlen(delimiter));
    else
        kept[0] = '\t';
    lstrcpynA(ctx->box.BoxTitle, title ? title : "", BOX_TEXT_SIZE);
    const char* name = kTemplates[select - 2];
    RunModal(ctx, needsSelection, [&] {
        return DialogBoxParamA(EngineModule(), name, ctx->hwndOwner, AskTextDlg, reinterpret_cast<LPARAM>(ctx));
    });
}

void RunItemListDialogW(BDS* ctx, resultants* result, uint32_t kind, const wchar_t* title,
                        const wchar_t* source, const wchar_t* delimiter, int32_t sort, int32_t select,
                        int32_t needsSelection)
{
    if (!CheckChoices(ctx, sort, select))
        return;
    if (!delimiter)
        delimiter = L"";
    if (std::wcslen(delimiter) > 1) {
        SetError(ctx, ERR_DELIMITER);
        return;
    }
    FillBoxFields(ctx, result, kind, source ? source : L"", sort, select);
    ctx->box.ItemBoxDelimiterW[0] = *delimiter ? *delimiter : L'\t';
    ctx->box.ItemBoxDelimiterW[1] = 0;
    lstrcpynW(ctx->box.BoxTitleW, title ? title : L"", BOX_TEXT_SIZE);
    const wchar_t* name = kTemplatesW[select - 2];
    RunModal(ctx, needsSelection, [&] {
        return DialogBoxParamW(EngineModule(), name, ctx->hwndOwner, AskTextDlgW, reinterpret_cast<LPARAM>(ctx));
    });
}

extern "C" INT_PTR CALLBACK AskTextDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ItemDialogProc<NarrowSide>(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK AskTextDlgW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ItemDialogProc<WideSide>(dialog, message, wParam, lParam);
}
