// The error box: ReportError decides by the error mode and the class whether an error is
// shown, in which dialog, and whether the script goes on; ErrorMsgProc fills the dialogs
// "ERRORMSG" (stop) and "ERRORMSGB" (Continue or Exit).
#include "engine/core/errors.h"

#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/error_location.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/ui/message_box.h"
#include "engine/ui/traceback.h"
#include "engine/ui/web_page.h"
#include "resources/error_ids.h"

namespace {

// Message numbers of the box's words.
enum : int {
    MSG_TECH_SUPPORT_URL = 61,
    MSG_VERSION = 99,            // the engine's version text, read from the string table only
    MSG_OK = 120,
    MSG_NEAR_LINE = 226,
    MSG_OF = 227,
    MSG_ROUTINE = 228,
    MSG_IN = 229,
    MSG_ERROR_LABEL = 230,
    MSG_ON_LINE = 231,
    MSG_WEB_PAGE = 232,
    MSG_CONTINUE = 233,
    MSG_EXIT = 234,
    MSG_MORE_INFO = 245,
    MSG_MORE_INFO_TITLE = 246,
    MSG_TRACEBACK = 247,
    MSG_ZAL_VERSION = 849,
};

constexpr UINT STYLE_STOP_BOX = MB_ICONHAND | MB_SETFOREGROUND;                     // 0x10010
constexpr UINT STYLE_CHOICE_BOX = MB_OKCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND; // 0x10031
constexpr UINT STYLE_MORE_INFO = MB_ICONEXCLAMATION | MB_SETFOREGROUND;            // 0x10030
constexpr int CAPTION_WINDOW_TITLE = 500;

int Message(BDS* ctx, int id, char* buffer, int size)
{
    return LoadMyString(ctx, EngineModule(), id, buffer, size);
}

// Appends `text` to `out` (of `size` bytes) without passing its end.
void Append(char* out, size_t size, const char* text)
{
    size_t used = strnlen(out, size);
    if (used + 1 < size)
        lstrcpynA(out + used, text, static_cast<int>(size - used));
}

void AppendMessage(BDS* ctx, char* out, size_t size, int id)
{
    char word[256];
    Message(ctx, id, word, sizeof word);
    Append(out, size, word);
}

const char* RunningUdfName(BDS* ctx)
{
    uint16_t running = ctx->nUdfRunning;
    if (running == UDF_NONE_RUNNING || running >= MAX_UDFS || !ctx->pUdfRecords[running])
        return nullptr;
    return ctx->pUdfRecords[running]->name;
}

// `In Routine "name"` or `of Routine "name"`, after a leading word.
void AppendRoutine(BDS* ctx, char* out, size_t size, const char* name)
{
    AppendMessage(ctx, out, size, MSG_ROUTINE);
    Append(out, size, " \"");
    Append(out, size, name);
    Append(out, size, "\"");
}

// Items 110 and 111: where the failing line lies.
void FillLocation(BDS* ctx, HWND dialog)
{
    ErrorLocation where{};
    bool known = ctx->nErrorOffset != 0xFFFFFFFF && ctx->hCurrentScript &&
                 LocateErrorStatement(ctx, &where);
    if (!known)
        lstrcpynA(where.file, ctx->szSourceFile, sizeof where.file);
    const char* routine = RunningUdfName(ctx);

    char lineInfo[ERROR_TEXT_SIZE] = {};
    if (known && where.line) {
        bool nearLine = where.marker && where.markerFlag == 0;
        AppendMessage(ctx, lineInfo, sizeof lineInfo, nearLine ? MSG_NEAR_LINE : MSG_ON_LINE);
        char number[16];
        std::snprintf(number, sizeof number, " %u", where.line);
        Append(lineInfo, sizeof lineInfo, number);
        if (where.marker && where.file[0]) {
            Append(lineInfo, sizeof lineInfo, " ");
            AppendMessage(ctx, lineInfo, sizeof lineInfo, MSG_OF);
            Append(lineInfo, sizeof lineInfo, " ");
            Append(lineInfo, sizeof lineInfo, where.file);
        } else if (!where.marker && routine) {
            Append(lineInfo, sizeof lineInfo, " ");
            AppendMessage(ctx, lineInfo, sizeof lineInfo, MSG_OF);
            Append(lineInfo, sizeof lineInfo, " ");
            AppendRoutine(ctx, lineInfo, sizeof lineInfo, routine);
        }
    } else if (where.file[0]) {
        AppendMessage(ctx, lineInfo, sizeof lineInfo, MSG_IN);
        Append(lineInfo, sizeof lineInfo, " ");
        Append(lineInfo, sizeof lineInfo, where.file);
    }
    SetDlgItemTextA(dialog, IDC_ERR_LINE_INFO, lineInfo);

    char fileInfo[ERROR_TEXT_SIZE] = {};
    if (!where.marker && where.file[0] && known && where.line) {
        AppendMessage(ctx, fileInfo, sizeof fileInfo, MSG_IN);
        Append(fileInfo, sizeof fileInfo, " ");
        Append(fileInfo, sizeof fileInfo, where.file);
    } else if (where.marker && routine) {
        AppendMessage(ctx, fileInfo, sizeof fileInfo, MSG_IN);
        Append(fileInfo, sizeof fileInfo, " ");
        AppendRoutine(ctx, fileInfo, sizeof fileInfo, routine);
    }
    SetDlgItemTextA(dialog, IDC_ERR_FILE_INFO, fileInfo);
}

void SetItemMessage(BDS* ctx, HWND dialog, int item, int id)
{
    char text[256];
    Message(ctx, id, text, sizeof text);
    SetDlgItemTextA(dialog, item, text);
}

void InitErrorDialog(HWND dialog, BDS* ctx)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));

    char label[64];
    Message(ctx, MSG_ERROR_LABEL, label, sizeof label);
    char parentTitle[CAPTION_WINDOW_TITLE] = {};
    if (ctx->hwndParent)
        GetWindowTextA(ctx->hwndParent, parentTitle, sizeof parentTitle);
    char caption[CAPTION_WINDOW_TITLE + 80];
    std::snprintf(caption, sizeof caption, "%s  %s", label, parentTitle);
    SetWindowTextA(dialog, caption);

    SetDlgItemTextA(dialog, IDC_ERR_LABEL, label);
    SetDlgItemTextA(dialog, IDC_ERR_SOURCE, ctx->szSourceFile);
    SetDlgItemTextA(dialog, IDC_ERR_MESSAGE, ctx->err.szErrorText);
    FillLocation(ctx, dialog);
    SetDlgItemTextA(dialog, IDC_ERR_LINE_TEXT, ctx->szErrorLine);

    char version[ERROR_TEXT_SIZE] = {};
    Append(version, sizeof version, ctx->err.szHostProductName);
    Append(version, sizeof version, "\n");
    AppendMessage(ctx, version, sizeof version, MSG_ZAL_VERSION);
    Append(version, sizeof version, " ");
    char number[64] = {};
    LoadStringA(EngineModule(), MSG_VERSION, number, sizeof number);
    Append(version, sizeof version, number);
    SetDlgItemTextA(dialog, IDC_ERR_VERSION, version);

    SetItemMessage(ctx, dialog, IDC_ERR_MORE_INFO, MSG_MORE_INFO);
    SetItemMessage(ctx, dialog, IDC_ERR_TRACEBACK, MSG_TRACEBACK);
    if (GetDlgItem(dialog, IDCANCEL)) {
        SetItemMessage(ctx, dialog, IDOK, MSG_CONTINUE);
        SetItemMessage(ctx, dialog, IDCANCEL, MSG_EXIT);
    } else {
        SetItemMessage(ctx, dialog, IDOK, MSG_OK);
    }
    SetItemMessage(ctx, dialog, IDC_ERR_WEB_PAGE, MSG_WEB_PAGE);
    ShowWindow(GetDlgItem(dialog, IDC_ERR_WEB_PAGE), ctx->err.bBrowserFound ? SW_SHOW : SW_HIDE);
    EnableWindow(GetDlgItem(dialog, IDC_ERR_MORE_INFO), ctx->err.hExtended != nullptr);

    CenterWindow(dialog);
    ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
    SetFocus(GetDlgItem(dialog, IDOK));
}

void ShowMoreInfo(HWND dialog, BDS* ctx)
{
    char text[EXTENDED_ERROR_CHARS + 1];
    if (!ExtendedErrorText(ctx, text, sizeof text) || !text[0])
        return;
    char title[256];
    Message(ctx, MSG_MORE_INFO_TITLE, title, sizeof title);
    MessageBoxA(dialog, text, title, STYLE_MORE_INFO);
}

// The box could not be shown: the run stops, and the error is kept for the host and
// written to the quiet-mode log and the debugger output, so it is not lost.
void LogUnshownError(BDS* ctx)
{
    RecordSwallowedBox(ctx, ctx->szErrorLine, ctx->err.szErrorText);
    char line[ERROR_TEXT_SIZE * 2 + 8];
    std::snprintf(line, sizeof line, "%s\r\n%s\r\n", ctx->err.szErrorText, ctx->szErrorLine);
    OutputDebugStringA(line);
}

// Runs the error dialog in the frame every engine box keeps; answers the dialog's result.
INT_PTR RunErrorDialog(BDS* ctx, HWND owner, const char* templateName)
{
    int inputState = SetInputBlocked(ctx, 1);
    PlayEventSound(ctx, "SystemHand", 99);
    ForceForegroundWindowA(ctx, ctx->hwndParent, 0);

    char browser[MAX_PATH] = {};
    ctx->err.bBrowserFound = 0;
    if (ctx->err.bTechSupport)
        ctx->err.bBrowserFound = FindBrowserCommand(browser, sizeof browser) ? 1 : 0;

    INT_PTR answer = DialogBoxParamA(EngineModule(), templateName, owner, ErrorMsgProc,
                                     reinterpret_cast<LPARAM>(ctx));
    if (answer == IDC_ERR_WEB_PAGE)
        OpenUrlInBrowser(ctx, browser, ctx->err.szTechSupportUrl);
    SetInputBlocked(ctx, inputState);
    return answer;
}

}  // namespace

int ErrorClassOf(int number)
{
    if (number < 2001)
        return ERRCLASS_MINOR;
    if (number < 3001)
        return ERRCLASS_MODERATE;
    return ERRCLASS_SEVERE;
}

void InitErrorReporting(BDS* ctx)
{
    ctx->err.handlerLine = -1;
    ctx->err.handlerLine2 = -1;
    ctx->err.handlerMode = 0;
    ctx->err.szTechSupportUrl[0] = 0;
    int found = LoadStringA(EngineModule(), MSG_TECH_SUPPORT_URL, ctx->err.szTechSupportUrl,
                            sizeof ctx->err.szTechSupportUrl);
    ctx->err.bTechSupport = found > 0 ? 1 : 0;
}

void EndErrorReporting(BDS* ctx)
{
    FreeExtendedError(ctx);
}

int ReportError(BDS* ctx, HWND owner, int titleId, int number, int errorClass)
{
    if (!owner)
        owner = ctx->hwndOwner;
    ctx->nLastError = static_cast<uint32_t>(number);
    if (ctx->ErrorMode == EM_OFF && errorClass == ERRCLASS_MINOR)
        return 1;

    if (titleId > 99)
        Message(ctx, titleId, ctx->szErrorLine, sizeof ctx->szErrorLine);
    if (number > 99) {
        char text[ERROR_TEXT_SIZE];
        Message(ctx, number, text, sizeof text);
        std::snprintf(ctx->err.szErrorText, sizeof ctx->err.szErrorText, "%d:  %s", number, text);
    }

    bool stopBox = ctx->ErrorMode == EM_CANCEL || errorClass == ERRCLASS_SEVERE;
    const char* templateName = stopBox ? "ERRORMSG" : "ERRORMSGB";
    UINT style = stopBox ? STYLE_STOP_BOX : STYLE_CHOICE_BOX;

    INT_PTR answer;
    if (ctx->err.bQuietMode) {
        answer = ShowMessageBox(ctx, owner, ctx->szErrorLine, ctx->err.szErrorText, style);
    } else {
        answer = RunErrorDialog(ctx, owner, templateName);
        if (answer == -1 || answer == 0) {
            LogUnshownError(ctx);
            return 0;
        }
    }

    if (ctx->ErrorMode == EM_CANCEL || answer == IDCANCEL || answer == IDC_ERR_WEB_PAGE ||
        errorClass == ERRCLASS_SEVERE)
        return 0;
    ctx->nErrorCode = 0;
    return 1;
}

extern "C" INT_PTR CALLBACK ErrorMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitErrorDialog(dialog, reinterpret_cast<BDS*>(lParam));
        return FALSE;   // the focus is set
    case WM_COMMAND: {
        auto* ctx = reinterpret_cast<BDS*>(GetWindowLongPtrA(dialog, DWLP_USER));
        int item = LOWORD(wParam);
        switch (item) {
        case IDC_ERR_LINE_TEXT:
            return TRUE;
        case IDC_ERR_MORE_INFO:
            if (ctx)
                ShowMoreInfo(dialog, ctx);
            return TRUE;
        case IDC_ERR_TRACEBACK:
            if (ctx)
                ShowTraceback(ctx, dialog);
            return TRUE;
        default:
            EndDialog(dialog, item);
            return TRUE;
        }
    }
    default:
        return FALSE;
    }
}
