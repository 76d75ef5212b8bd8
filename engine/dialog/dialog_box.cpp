// DialogBox: a dialog drawn as a character grid in a text file (at most 21 rows of 61
// columns), shown in a window of the class "kv9wcdlg" whose procedure is the exported
// MyDialogWndProc. Fields in square brackets become controls bound to script variables by
// name: "#" an edit field, "^" radio buttons, "+" a check box, "$" a variable's text and a
// backslash a file list (as many rows high as the backslashes below each other).
#include "engine/dialog/dialog_box.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "engine/core/button_texts.h"
#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/tokenizer.h"
#include "engine/dialog/classic_dialog.h"
#include "engine/files/directories.h"
#include "engine/files/file_handles.h"
#include "engine/files/path_search.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"

namespace {

constexpr uint16_t ERR_OPEN = 3090;          // "Dialog Box: File open error"
constexpr uint16_t ERR_TOO_LARGE = 3091;     // "Dialog Box: Box too large (20x60 max)"
constexpr uint16_t ERR_NO_WINDOW = 3104;     // "Dialog Box: Window Creation Failed"
constexpr uint16_t CANCELLED = 9999;         // "User requested Cancel"
constexpr int BLOCK = 2050;
constexpr int TEXT_MAX = 2050;
constexpr int LAST_COLUMN = GRID_COLUMNS - 1;   // 60
constexpr int LAST_ROW = GRID_ROWS - 1;         // 20
constexpr int MIN_COLUMNS = 25;
constexpr uint8_t NO_LINK = 156;
constexpr int FIELD_ID_BASE = 100;
constexpr UINT LIST_FLAGS = 0x4010;          // directories and drives besides the files
constexpr DWORD BOX_STYLE = 0x92C00000;      // popup, visible, clipping its children, caption
constexpr DWORD BOX_STYLE_MENU = 0x92CB0000; // with the system menu and the size boxes
constexpr uint32_t OPTION_SYSTEM_MENU = 0x1;
const char kNoFile[] = "NOFILESELECTED";

enum : uint8_t { K_TEXT = 0, K_EDIT = 1, K_RADIO = 2, K_CHECK = 3, K_VARY = 4, K_FILES = 5 };

// ---------------------------------------------------------------- the file

// Calls each(character) for every character of the file, a block at a time; a character
// 26 ends the block it stands in.
template <typename Each>
void ReadBlocks(HANDLE file, Each each)
{
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char block[BLOCK];
    DWORD got = 0;
    while (ReadFile(file, block, BLOCK, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got && block[i] != 26; ++i)
            each(block[i]);
    }
}

// The measuring pass: the widest line (1-based) and the last row holding a character that
// is no blank; false for a box above 21 rows or 61 columns.
bool Measure(HANDLE file, int* widest, int* lastRow)
{
    int row = 0, column = 0, lineLast = -1;
    bool tooLarge = false;
    *widest = 0;
    *lastRow = 0;
    auto endLine = [&]() {
        if (lineLast > LAST_COLUMN || (lineLast >= 0 && row > LAST_ROW))
            tooLarge = true;
        if (lineLast >= 0) {
            if (lineLast + 1 > *widest)
                *widest = lineLast + 1;
            *lastRow = row;
        }
        lineLast = -1;
        column = 0;
        ++row;
    };
    ReadBlocks(file, [&](char c) {
        if (c == '\n') {
            endLine();
        } else if (c != '\r') {
            if (c != ' ' && c != '\t')
                lineLast = column;
            ++column;
        }
    });
    endLine();
    return !tooLarge;
}

// The filling pass: every character into its cell; a line feed, with or without a carriage
// return before it, starts the next row at column 0.
void Fill(BDS* ctx, HANDLE file)
{
    ClassicState& s = ctx->classic;
    std::memset(s.grid, ' ', sizeof s.grid);
    int row = 0, column = 0;
    ReadBlocks(file, [&](char c) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            column = 0;
            ++row;
        } else {
            if (column <= s.columns && column < GRID_COLUMNS && row <= s.lastRow)
                s.grid[row][column] = c;
            ++column;
        }
    });
}

// ---------------------------------------------------------------- fields

bool IsMarker(char c) { return c == '^' || c == '+' || c == '#' || c == '$' || c == '\\'; }

void ScanField(BDS* ctx, int length, int endColumn, int row)
{
    ClassicState& s = ctx->classic;
    if (s.fieldCount >= BOX_MAX_FIELDS || length <= 0)
        return;
    DialogBoxField f{};
    f.link1 = f.link2 = NO_LINK;
    f.column = static_cast<uint16_t>(endColumn - length + 1);
    f.row = static_cast<uint16_t>(row);
    f.length = static_cast<uint16_t>(length);
    f.value = '0';
    const char* text = &s.grid[row][f.column];
    int marker = -1;
    for (int i = 0; i < length && i <= CLASSIC_NAME_CHARS; ++i)
        if (IsMarker(text[i])) {
            marker = i;
            break;
        }
    if (marker < 0) {
        f.kind = K_TEXT;
        lstrcpyA(f.name, "*");
    } else {
        std::memcpy(f.name, text, static_cast<size_t>(marker));
        f.name[marker] = 0;
        char m = text[marker];
        f.kind = m == '#' ? K_EDIT : m == '^' ? K_RADIO : m == '+' ? K_CHECK : m == '$' ? K_VARY : K_FILES;
        if (m == '^' || m == '+' || m == '\\')
            f.value = static_cast<uint16_t>(static_cast<unsigned char>(marker + 1 < length ? text[marker + 1] : '0'));
        if (m == '\\') {
            int column = f.column + marker, rows = 0;
            for (int r = row; r <= s.lastRow; ++r)
                if (s.grid[r][column] == '\\')
                    ++rows;
            f.value = static_cast<uint16_t>('0' + rows);
            for (int i = 0; i < s.fieldCount; ++i)
                if (s.fields[i].kind == K_FILES && lstrcmpiA(s.fields[i].name, f.name) == 0)
                    return;   // a lower row of the same list
        }
    }
    s.fields[s.fieldCount++] = f;
}

// Every bracketed span of the grid becomes a field.
void ScanGrid(BDS* ctx)
{
    ClassicState& s = ctx->classic;
    s.fieldCount = 0;
    for (int row = 0; row <= s.lastRow; ++row) {
        int open = -1;
        for (int column = 0; column <= s.columns && column < GRID_COLUMNS; ++column) {
            char c = s.grid[row][column];
            if (c == '[') {
                open = column;
            } else if (c == ']' && open >= 0) {
                ScanField(ctx, column - open - 1, column - 1, row);
                open = -1;
            } else if (open >= 0 && column == s.columns) {
                ScanField(ctx, column - open, column, row);
                open = -1;
            }
        }
    }
}

std::string FieldChars(BDS* ctx, const DialogBoxField& f, int from)
{
    const char* text = &ctx->classic.grid[f.row][f.column];
    return from < f.length ? std::string(text + from, static_cast<size_t>(f.length - from)) : std::string();
}

std::string VariableText(BDS* ctx, const char* name)
{
    char text[TEXT_MAX] = {};
    if (!ValueToDisplayText(ctx, name, text, sizeof text))
        return std::string();
    return text;
}

int FindField(BDS* ctx, uint8_t kind, const char* name)
{
    for (int i = 0; i < ctx->classic.fieldCount; ++i)
        if (ctx->classic.fields[i].kind == kind && lstrcmpiA(ctx->classic.fields[i].name, name) == 0)
            return i;
    return NO_LINK;
}

HWND FieldWindow(HWND box, int index) { return GetDlgItem(box, FIELD_ID_BASE + index); }

int DirList(HWND box, std::string& path, int listIndex, int textIndex)
{
    char buffer[MAX_PATH] = {};
    lstrcpynA(buffer, path.c_str(), MAX_PATH);
    int answer = DlgDirListA(box, buffer, FIELD_ID_BASE + listIndex,
                             textIndex != NO_LINK ? FIELD_ID_BASE + textIndex : 0, LIST_FLAGS);
    path = buffer;
    return answer;
}

void CreateControls(BDS* ctx, HWND box)
{
    ClassicState& s = ctx->classic;
    int border = GetSystemMetrics(SM_CYBORDER);
    for (int i = 0; i < s.fieldCount; ++i) {
        DialogBoxField& f = s.fields[i];
        int x = (f.column + 1) * s.cellWidth, y = f.row * s.rowPitch + 3 * border;
        int width = (f.length + 2) * s.cellWidth, height = s.controlHeight;
        auto make = [&](const char* cls, DWORD ex, DWORD style, const std::string& text) {
            return CreateWindowExA(ex, cls, text.c_str(), style, x, y, width, height, box,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(FIELD_ID_BASE + i)), EngineModule(),
                                   nullptr);
        };
        std::string value = f.kind == K_TEXT ? std::string() : VariableText(ctx, f.name);
        switch (f.kind) {
        case K_TEXT:
            make("STATIC", 0, 0x50020000, FieldChars(ctx, f, 0));
            break;
        case K_VARY:
            make("STATIC", 0, 0x50020000, value);
            break;
        case K_EDIT: {
            DWORD style = 0x50020000 | 0x00810000 | (_strnicmp(f.name, "PW_", 3) == 0 ? ES_PASSWORD : 0);
            make("EDIT", WS_EX_CLIENTEDGE, style, value);
            f.link1 = static_cast<uint8_t>(FindField(ctx, K_FILES, f.name));
            break;
        }
        case K_RADIO: {
            bool first = true;
            for (int k = 0; k < i; ++k)
                if (s.fields[k].kind == K_RADIO && lstrcmpiA(s.fields[k].name, f.name) == 0)
                    first = false;
            if (!first)
                break;
            char current = value.empty() ? 0 : value[0];
            bool leader = true;
            for (int k = i; k < s.fieldCount; ++k) {
                DialogBoxField& r = s.fields[k];
                if (r.kind != K_RADIO || lstrcmpiA(r.name, f.name) != 0)
                    continue;
                int nameLength = lstrlenA(r.name);
                std::string caption = FieldChars(ctx, r, nameLength + 2);
                HWND w = CreateWindowExA(0, "BUTTON", caption.c_str(), leader ? 0x50030004 : 0x50010004,
                                         (r.column + 1) * s.cellWidth, r.row * s.rowPitch + 3 * border,
                                         (r.length + 2) * s.cellWidth, s.controlHeight, box,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(FIELD_ID_BASE + k)),
                                         EngineModule(), nullptr);
                bool checked = current == static_cast<char>(r.value) || ((current == 0 || current == '0') && leader);
                if (w)
                    SendMessageA(w, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
                leader = false;
            }
            break;
        }
        case K_CHECK: {
            HWND w = make("BUTTON", 0, 0x50030002, FieldChars(ctx, f, lstrlenA(f.name) + 2));
            if (w)
                SendMessageA(w, BM_SETCHECK, !value.empty() && value[0] != '0' ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        }
        case K_FILES:
            height = (f.value - '0') * s.rowPitch - 2 * border;
            make("LISTBOX", WS_EX_CLIENTEDGE, 0x50A30003, "Files");
            f.link1 = static_cast<uint8_t>(FindField(ctx, K_VARY, f.name));
            f.link2 = static_cast<uint8_t>(FindField(ctx, K_EDIT, f.name));
            lstrcpynA(s.mask, value.empty() ? "*.*" : value.c_str(), CLASSIC_MASK_CHARS);
            break;
        default:
            break;
        }
    }
    for (int i = 0; i < s.fieldCount; ++i) {
        DialogBoxField& f = s.fields[i];
        if (f.kind != K_FILES)
            continue;
        std::string path = s.mask;
        if (!DirList(box, path, i, f.link1)) {
            path = "*.*";
            DirList(box, path, i, f.link1);
            if (f.link2 != NO_LINK)
                SetWindowTextA(FieldWindow(box, f.link2), "*.*");
        }
        lstrcpynA(s.mask, path.c_str(), CLASSIC_MASK_CHARS);
    }
}

// ---------------------------------------------------------------- the window

void SetFocusField(BDS* ctx, HWND box)
{
    ClassicState& s = ctx->classic;
    for (int i = 0; i < s.fieldCount; ++i) {
        const DialogBoxField& f = s.fields[i];
        HWND w = FieldWindow(box, i);
        if (f.kind == K_EDIT) {
            SetFocus(w);
            SendMessageA(w, EM_SETSEL, 0, -1);
            lstrcpynA(s.previousText, ClassicWindowText(w).c_str(), CLASSIC_MASK_CHARS);
            return;
        }
        if (f.kind == K_CHECK || f.kind == K_FILES) {
            SetFocus(w);
            return;
        }
        if (f.kind == K_RADIO) {
            for (int k = i; k < s.fieldCount; ++k)
                if (s.fields[k].kind == K_RADIO && lstrcmpiA(s.fields[k].name, f.name) == 0
                    && SendMessageA(FieldWindow(box, k), BM_GETCHECK, 0, 0) == BST_CHECKED) {
                    SetFocus(FieldWindow(box, k));
                    return;
                }
        }
    }
    SetFocus(GetDlgItem(box, IDOK));
}

// The file list's choice into its variable; false when the box stays open.
bool StoreFileList(BDS* ctx, HWND box, int index)
{
    ClassicState& s = ctx->classic;
    DialogBoxField& f = s.fields[index];
    HWND edit = f.link2 != NO_LINK ? FieldWindow(box, f.link2) : nullptr;
    bool needChoice = ctx->eng.ctl.FileBoxNeedsSelection != 0;
    if (edit) {
        std::string typed = ClassicWindowText(edit);
        bool wild = typed.find_first_of("*?") != std::string::npos;
        bool same = typed == s.previousText;
        if (wild && !(same && !needChoice)) {
            lstrcpynA(s.previousText, typed.c_str(), CLASSIC_MASK_CHARS);
            std::string mask = FileMaskOf(typed);
            lstrcpynA(s.mask, mask.c_str(), CLASSIC_MASK_CHARS);
            SetWindowTextA(edit, mask.c_str());
            std::string path = typed;
            DirList(box, path, index, f.link1);
            return false;
        }
        if (!typed.empty() && !wild) {
            StoreTypedFileName(ctx, f.name, typed);
            return true;
        }
        if (typed.empty() && needChoice) {
            std::string path = "*.*";
            DirList(box, path, index, f.link1);
            return false;
        }
    }
    char selected[MAX_PATH] = {};
    if (DlgDirSelectExA(box, selected, MAX_PATH, FIELD_ID_BASE + index)) {
        std::string path = std::string(selected) + s.mask;
        if (edit)
            SetWindowTextA(edit, s.mask);
        DirList(box, path, index, f.link1);
        return false;
    }
    bool exists = selected[0] && DoFileExistA(ctx, selected, false);
    SetVariableByName(ctx, f.name, exists ? selected : kNoFile, 0, SV_STRING);
    return exists || !needChoice;
}

// OK (and the Close command): every field into its variable; false when a file list
// keeps the box open.
bool StoreFields(BDS* ctx, HWND box)
{
    ClassicState& s = ctx->classic;
    bool close = true;
    for (int i = 0; i < s.fieldCount; ++i) {
        const DialogBoxField& f = s.fields[i];
        HWND w = FieldWindow(box, i);
        char value[2] = {static_cast<char>(f.value), 0};
        switch (f.kind) {
        case K_EDIT:
            if (f.link1 == NO_LINK)
                SetVariableByName(ctx, f.name, ClassicWindowText(w).c_str(), 0, SV_STRING);
            break;
        case K_RADIO:
            if (SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED)
                SetVariableByName(ctx, f.name, value, 0, SV_STRING);
            break;
        case K_CHECK:
            SetVariableByName(ctx, f.name, SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? value : "0", 0,
                              SV_STRING);
            break;
        case K_FILES:
            if (!StoreFileList(ctx, box, i))
                close = false;
            break;
        default:
            break;
        }
    }
    return close;
}

void OnFieldCommand(BDS* ctx, HWND box, int index, int code)
{
    ClassicState& s = ctx->classic;
    DialogBoxField& f = s.fields[index];
    HWND w = FieldWindow(box, index);
    if (f.kind == K_RADIO && code == BN_CLICKED) {
        for (int i = 0; i < s.fieldCount; ++i)
            if (s.fields[i].kind == K_RADIO && lstrcmpiA(s.fields[i].name, f.name) == 0)
                SendMessageA(FieldWindow(box, i), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (f.kind == K_CHECK && code == BN_CLICKED) {
        SendMessageA(w, BM_SETCHECK, SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED,
                     0);
    } else if (f.kind == K_FILES && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
        char selected[MAX_PATH] = {};
        bool folder = DlgDirSelectExA(box, selected, MAX_PATH, FIELD_ID_BASE + index) != FALSE;
        HWND edit = f.link2 != NO_LINK ? FieldWindow(box, f.link2) : nullptr;
        std::string path;
        if (ShowFileListClick(edit, selected, folder, code == LBN_DBLCLK, s.mask, path))
            DirList(box, path, index, f.link1);
    }
}

void Accept(BDS* ctx, HWND box)
{
    ctx->classic.boxResult = 1;
    if (StoreFields(ctx, box))
        DestroyWindow(box);
}

void Paint(BDS* ctx, HWND box)
{
    ClassicState& s = ctx->classic;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(box, &ps);
    if (!dc)
        return;
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
    if (ctx->bPrettyDialogs) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    }
    int border = GetSystemMetrics(SM_CYBORDER);
    int count = s.columns + 1 < GRID_COLUMNS ? s.columns + 1 : GRID_COLUMNS;
    for (int row = 0; row <= s.lastRow; ++row) {
        char line[GRID_COLUMNS + 1];
        bool open = false;
        for (int c = 0; c < count; ++c) {
            char ch = s.grid[row][c];
            if (ch == '[')
                open = true;
            line[c] = open ? ' ' : ch;
            if (ch == ']')
                open = false;
        }
        TextOutA(dc, 2 * s.cellWidth, row * s.rowPitch + 2 * border + s.textOffset, line, count);
    }
    SelectObject(dc, oldFont);
    EndPaint(box, &ps);
}

LRESULT OnCreate(HWND box, const CREATESTRUCTA* create)
{
    KeepContextHandle(box, create);
    LockedContext locked(box);
    BDS* ctx = locked.ctx;
    if (!ctx)
        return -1;
    ClassicState& s = ctx->classic;
    ScanGrid(ctx);
    int border = GetSystemMetrics(SM_CYBORDER);
    int y = (s.lastRow + 1) * s.rowPitch + GetSystemMetrics(SM_CYCAPTION) / 2 + 3 * border;
    CreateWindowExA(0, "BUTTON", "ok", 0x50030001, ((s.columns - 16) / 3) * s.cellWidth, y, 10 * s.cellWidth,
                    s.controlHeight, box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), EngineModule(), nullptr);
    CreateWindowExA(0, "BUTTON", "can", 0x50010000, ((2 * s.columns - 32) / 3 + 10) * s.cellWidth, y,
                    10 * s.cellWidth, s.controlHeight, box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)),
                    EngineModule(), nullptr);
    SetButtonTextsA(ctx, box);
    CenterWindow(box);
    CreateControls(ctx, box);
    if (ctx->bSounds)
        PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    if (ctx->eng.ctl.ActivateMethodBox > 0)
        ForceForegroundWindowA(ctx, box, SELECT_BOX_ACTIVATION);
    SetFocusField(ctx, box);
    return 0;
}

// The box's run without the input setting around it: its answer, 0 with the error set.
int32_t RunBox(BDS* ctx, const char* title, const char* file)
{
    ClassicState& s = ctx->classic;
    LONG units = GetDialogBaseUnits();
    s.cellWidth = LOWORD(units);
    s.controlHeight = HIWORD(units) * 3 / 2;
    s.rowPitch = s.controlHeight + GetSystemMetrics(SM_CYBORDER);
    s.textOffset = HIWORD(units) / 8 + 2 * GetSystemMetrics(SM_CYBORDER);
    s.fieldCount = 0;
    s.boxResult = 1;

    char found[MAX_PATH] = {};
    ScopedFile in;
    if (FileSearchPathA(ctx, found, file, MAX_PATH, false))
        in.handle =
            CreateFileA(found, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!in.ok()) {
        SetError(ctx, ERR_OPEN);
        return 0;
    }
    int widest = 0, lastRow = 0;
    if (!Measure(in.handle, &widest, &lastRow)) {
        SetError(ctx, ERR_TOO_LARGE);
        return 0;
    }
    s.columns = widest < MIN_COLUMNS ? MIN_COLUMNS : widest > LAST_COLUMN ? LAST_COLUMN : widest;
    s.lastRow = lastRow > LAST_ROW ? LAST_ROW : lastRow;
    Fill(ctx, in.handle);

    char caption[TEXT_MAX];
    lstrcpynA(caption, title ? title : "", TEXT_MAX);
    bool systemMenu = (ctx->eng.ctl.DialogCloseBox & OPTION_SYSTEM_MENU) != 0;
    int width = (s.columns + 4) * s.cellWidth + 2 * GetSystemMetrics(SM_CXBORDER);
    int height = (s.lastRow + 3) * s.rowPitch + 2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYCAPTION);
    HWND owner = ctx->hwndOwner && IsWindow(ctx->hwndOwner) ? ctx->hwndOwner
                 : ctx->hwndParent && IsWindow(ctx->hwndParent) ? ctx->hwndParent
                                                                 : nullptr;
    if (ctx->hwndParent && IsWindowVisible(ctx->hwndParent))
        ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
    HWND box = CreateWindowExA(0, "kv9wcdlg", caption, systemMenu ? BOX_STYLE_MENU : BOX_STYLE, 0, 0, width, height,
                               owner, nullptr, EngineModule(), ctx->hSelf);
    if (!box) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NO_WINDOW);
        return 0;
    }
    if (systemMenu)
        if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MYICON"))
            SendMessageA(box, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (ClassicModalLoop(ctx, box))
        return 0;   // the run is stopped: nothing is stored
    if (s.boxResult == 0)
        SetError(ctx, CANCELLED);
    return s.boxResult;
}

}  // namespace

int32_t DoDialogBox(BDS* ctx, const char* title, const char* file)
{
    int inputState = SetInputBlocked(ctx, 1);
    int32_t result = RunBox(ctx, title, file);
    if (ctx->nErrorCode != CANCELLED && inputState != -1)
        SetInputBlocked(ctx, inputState);
    return result;
}

extern "C" LRESULT CALLBACK MyDialogWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    LockedContext locked(window);
    BDS* ctx = locked.ctx;
    if (!ctx)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            return 0;
        SetFocusField(ctx, window);
        return 0;
    case WM_PAINT:
        Paint(ctx, window);
        return 0;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK) {
            Accept(ctx, window);
        } else if (id == IDCANCEL) {
            ctx->classic.boxResult = 0;
            DestroyWindow(window);
        } else if (id >= FIELD_ID_BASE && id < FIELD_ID_BASE + ctx->classic.fieldCount) {
            OnFieldCommand(ctx, window, id - FIELD_ID_BASE, HIWORD(wParam));
        }
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE)
            break;
        [[fallthrough]];
    case WM_CLOSE:
        Accept(ctx, window);   // closing the box stores the values, as OK does
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
