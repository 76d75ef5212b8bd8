// The traceback list of the error box: the dialog "STACKINFO" with its report view of the
// structure-stack frames (each formatted by the trace's frame formatter) and the error row.
#include "engine/ui/traceback.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "engine/core/button_texts.h"
#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/error_location.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/trace_dumps.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"

namespace {

constexpr int MSG_TRACEBACK_TITLE = 248;   // "Traceback"
constexpr int FRAME_TEXT_SIZE = 1281;
constexpr int DEFAULT_CHAR_WIDTH = 16;     // when no device context is to be had

struct Column {
    const char* heading;
    int widthInChars;
};
const Column kColumns[] = {{"#", 3}, {"Type", 14}, {"Line#", 6}, {"Error Line", 32}, {"Source File", 256}};

int CharWidth(HWND dialog)
{
    HDC dc = GetDC(dialog);
    if (!dc)
        return DEFAULT_CHAR_WIDTH;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    SIZE size{};
    bool measured = GetTextExtentPoint32A(dc, "W", 1, &size) != 0;
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    return measured && size.cx > 0 ? size.cx : DEFAULT_CHAR_WIDTH;
}

void AddColumns(HWND dialog, HWND list)
{
    int w = CharWidth(dialog);
    int index = 0;
    for (const Column& c : kColumns) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(c.heading);
        column.cx = c.widthInChars * w;
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&column));
    }
}

// The last row: where the error stands.
void AddErrorRow(BDS* ctx, HWND list, uint32_t frames)
{
    ErrorLocation where{};
    bool known = ctx->nErrorOffset != 0xFFFFFFFF && ctx->hCurrentScript && LocateErrorStatement(ctx, &where);
    if (!known || !where.file[0])
        lstrcpynA(where.file, ctx->szSourceFile, sizeof where.file);
    char lineNumber[16] = "";
    if (known && where.line)
        std::snprintf(lineNumber, sizeof lineNumber, "%u", where.line);

    char shortLine[48];
    ShortStackLineText(ctx->szErrorLine, shortLine, sizeof shortLine);
    char number[8], kind[24], lineCell[24], text[48];
    std::snprintf(number, sizeof number, "%3u", frames + 1);
    std::snprintf(kind, sizeof kind, "%-14s", "<error>");
    std::snprintf(lineCell, sizeof lineCell, "%6s", lineNumber);
    std::snprintf(text, sizeof text, "%-32s", shortLine);
    const char* cells[STACK_ROW_CELLS] = {number, kind, lineCell, text, PathNameAndExtension(where.file)};
    InsertStackRow(list, cells);
}

void InitTraceback(HWND dialog, BDS* ctx)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));
    DlgPointLookup(dialog, reinterpret_cast<uintptr_t>(ctx));
    char title[64];
    if (LoadMyString(ctx, EngineModule(), MSG_TRACEBACK_TITLE, title, sizeof title))
        SetWindowTextA(dialog, title);
    HWND list = GetDlgItem(dialog, IDC_TRACEBACK_LIST);
    AddColumns(dialog, list);
    uint32_t frames = ctx->nStructDepth < MAX_STRUCT_FRAMES ? ctx->nStructDepth : MAX_STRUCT_FRAMES;
    char text[FRAME_TEXT_SIZE];
    for (uint32_t i = 0; i < frames; ++i)
        FormatStackEntry(ctx, i, ctx->aStructFrames[i], text, sizeof text, true, list);
    AddErrorRow(ctx, list, frames);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 3, LVSCW_AUTOSIZE);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 4, LVSCW_AUTOSIZE_USEHEADER);
    SetButtonTextsA(ctx, dialog);
    CenterWindow(dialog);
    PlayEventSound(ctx, "SystemAsterisk", SOUND_BOX);
    if (ctx->eng.ctl.ActivateMethodBox >= 1)
        ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
    SetFocus(GetDlgItem(dialog, IDOK));
}

}  // namespace

INT_PTR CALLBACK StackInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitTraceback(dialog, reinterpret_cast<BDS*>(lParam));
        return FALSE;   // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_TRACEBACK_LIST)
            EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowTraceback(BDS* ctx, HWND errorBox)
{
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    int inputState = SetInputBlocked(ctx, 1);
    ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
    DialogBoxParamA(EngineModule(), "STACKINFO", ctx->hwndOwner, StackInfoDlgProc, reinterpret_cast<LPARAM>(ctx));
    ForceForegroundWindowA(ctx, errorBox, SELECT_BOX_ACTIVATION);
    if (inputState != -1)
        SetInputBlocked(ctx, inputState);
}
