// The box windows: the class, the boxes' lists of command records, creating and destroying
// boxes, and the window procedures (MyBoxWndProc for boxes 2-8, the box part of the main
// window for box 1).
#include "launcher/box_internal.h"

BoxWorld g_boxes;

namespace {

constexpr uint32_t TOP_TYPE = HF_BOXDATATAG;

BoxSlot& Slot(int slot) { return g_boxes.slots[slot]; }

bool HasDrawing(const BoxSlot& box) { return box.block && box.last != box.first; }

// Opens an empty list with its "TOP" record. Box 1's window is the main window.
bool OpenBoxList(int slot)
{
    BoxSlot& box = Slot(slot);
    HWND window = box.window;
    box = BoxSlot{};
    box.window = window;
    box.block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, BOX_BUFFER_SIZE);
    box.base = box.block ? static_cast<uint8_t*>(GlobalLock(box.block)) : nullptr;
    if (!box.base) {
        if (box.block)
            GlobalFree(box.block);
        box.block = nullptr;
        return false;
    }
    box.end = box.base + BOX_BUFFER_SIZE;
    box.write = box.first = box.last = box.pending = box.base;
    box.updates = true;
    if (slot == 0)
        g_boxes.box1Records = 0;
    BoxCommandRecord top{};
    top.type = TOP_TYPE;
    top.p1 = 1;
    top.mapMode = g_boxes.mapMode[slot];
    AppendBoxCommand(slot, top, "TOP");
    box.first = box.last = box.pending = box.base;
    return true;
}

void FreeBoxList(BoxSlot& box)
{
    if (!box.block)
        return;
    GlobalUnlock(box.block);
    GlobalFree(box.block);
    box.block = nullptr;
    box.base = box.end = box.write = box.first = box.last = box.pending = nullptr;
}

// Destroys a box's buttons and (boxes 2-8, or any box when final) its window and list; box
// 1 otherwise gets an empty list again.
void DestroyBoxWindow(int slot, bool final)
{
    BoxSlot& box = Slot(slot);
    for (int i = 0; i < BOX_BUTTONS; ++i) {
        if (box.pressed[i])
            --g_boxes.pressedCount;
        box.pressed[i] = false;
        box.exists[i] = false;
        if (box.buttons[i] && IsWindow(box.buttons[i]))
            DestroyWindow(box.buttons[i]);
        box.buttons[i] = nullptr;
    }
    if (slot != 0 || final) {
        if (slot != 0 && box.window && IsWindow(box.window))
            DestroyWindow(box.window);
        FreeBoxList(box);
        box = BoxSlot{};
        if (slot == 0)
            box.window = g_launcher.mainWindow;
        return;
    }
    FreeBoxList(box);
    OpenBoxList(0);
    InvalidateRect(box.window, nullptr, TRUE);
}

void MoveToTop(HWND window)
{
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// A button's click: the Enter key (id 1) means the focused button.
void ButtonClicked(int slot, int id, HWND control)
{
    BoxSlot& box = Slot(slot);
    int index = -1;
    if (id == IDOK) {
        for (int i = 0; i < BOX_BUTTONS; ++i)
            if (box.exists[i] && box.buttons[i] == box.focused)
                index = i;
    } else {
        index = id - BOX_BUTTON_ID_BASE;
    }
    if (index < 0 || index >= BOX_BUTTONS || !box.exists[index])
        return;
    if (slot != g_boxes.activeBox) {
        if (slot != 0)
            MoveToTop(box.window);
        g_boxes.activeBox = slot;
    }
    if (!box.pressed[index]) {
        box.pressed[index] = true;
        ++g_boxes.pressedCount;
    }
    (void)control;
}

// WM_COMMAND from a box's buttons; true when it was one of them.
bool BoxCommand(int slot, WPARAM wParam, LPARAM lParam)
{
    HWND control = reinterpret_cast<HWND>(lParam);
    int code = HIWORD(wParam), id = LOWORD(wParam);
    if (code == BN_SETFOCUS && control) {
        Slot(slot).focused = control;
        return true;
    }
    if (code == BN_CLICKED && (control || id == IDOK)) {
        ButtonClicked(slot, id, control);
        return true;
    }
    return false;
}

void PaintBox(int slot, HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ReplayBoxCommands(slot, Slot(slot).first, dc);
    EndPaint(window, &paint);
}

// Boxes 2-8 keep their place relative to the main window: the kept rectangle again.
void ReplaceBox(int slot)
{
    BoxSlot& box = Slot(slot);
    RECT want = BoxUnitsToPixels(g_boxes.newMapMode[slot] ? g_launcher.mainWindow : nullptr, g_boxes.newRect[slot],
                                 g_boxes.newMapMode[slot]);
    if (!g_boxes.newMapMode[slot])
        MapWindowPoints(nullptr, g_launcher.mainWindow, reinterpret_cast<POINT*>(&want), 2);
    RECT now;
    GetWindowRect(box.window, &now);
    MapWindowPoints(nullptr, g_launcher.mainWindow, reinterpret_cast<POINT*>(&now), 2);
    if (!EqualRect(&now, &want))
        SetWindowPos(box.window, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void BoxClicked(int slot)
{
    if (slot != 0)
        MoveToTop(Slot(slot).window);
    TrackBoxButtonFocus(slot);
    g_boxes.activeBox = slot;
}

}  // namespace

// ---------------------------------------------------------------- the lists

int AppendBoxCommand(int slot, BoxCommandRecord record, const char* text)
{
    BoxSlot& box = Slot(slot);
    if (!box.block)
        return ERR_BOX_ID;
    // One thread: the list is never being changed here; busy only keeps a replay out.
    box.busy = true;
    size_t textBytes = text ? std::strlen(text) + 1 : 0;
    size_t size = (sizeof(BoxCommandRecord) + textBytes + 3) & ~size_t(3);
    if (static_cast<size_t>(box.end - box.write) < size) {
        box.busy = false;
        return ERR_BOX_FULL;
    }
    uint8_t* at = box.write;
    record.self = reinterpret_cast<uint64_t>(at);
    record.next = 0;
    if (text) {
        std::memcpy(at + sizeof record, text, textBytes);
        record.data = reinterpret_cast<uint64_t>(at + sizeof record);
    }
    std::memcpy(at, &record, sizeof record);
    if (at != box.base) {
        uint64_t next = reinterpret_cast<uint64_t>(at);
        std::memcpy(box.last + offsetof(BoxCommandRecord, next), &next, sizeof next);
    }
    box.last = at;
    box.write = at + size;
    if (slot == 0) {
        if (g_boxes.box1Records == 1 && box.window) {
            // The first drawing on the main window replaces what it painted before.
            HDC dc = GetDC(box.window);
            SendMessageA(box.window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            ReleaseDC(box.window, dc);
        }
        ++g_boxes.box1Records;
    }
    box.busy = false;
    return 0;
}

int BoxOfWindow(HWND window)
{
    if (!window)
        return -1;
    for (int i = 0; i < BOX_COUNT; ++i)
        if (g_boxes.slots[i].block && g_boxes.slots[i].window == window)
            return i;
    return -1;
}

RECT BoxUnitsToPixels(HWND window, const int rect[4], int mapMode)
{
    int width, height;
    RECT client{};
    if (mapMode == 1 && window && GetClientRect(window, &client)) {
        width = client.right;
        height = client.bottom;
    } else {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    if (rect[0] == 0 && rect[1] == 0 && rect[2] == 0 && rect[3] == 0)
        return RECT{0, 0, width, height};
    return RECT{MulDiv(rect[0], width, 1000), MulDiv(rect[1], height, 1000), MulDiv(rect[2], width, 1000),
                MulDiv(rect[3], height, 1000)};
}

void TrackBoxButtonFocus(int slot)
{
    BoxSlot& box = Slot(slot);
    HWND focus = GetFocus();
    for (int i = 0; i < BOX_BUTTONS; ++i)
        if (box.exists[i] && box.buttons[i] == focus) {
            box.focused = focus;
            return;
        }
    for (int i = 0; i < BOX_BUTTONS; ++i)
        if (box.exists[i] && box.buttons[i] == box.focused && IsWindow(box.focused)) {
            SetFocus(box.focused);
            return;
        }
    for (int i = 0; i < BOX_BUTTONS; ++i)
        if (box.exists[i] && box.buttons[i]) {
            SetFocus(box.buttons[i]);
            box.focused = box.buttons[i];
            return;
        }
    box.focused = nullptr;
}

void ClearBoxButton(int slot, int index)
{
    BoxSlot& box = Slot(slot);
    if (box.buttons[index])
        ShowWindow(box.buttons[index], SW_HIDE);
    if (box.pressed[index])
        --g_boxes.pressedCount;
    box.pressed[index] = false;
    box.exists[index] = false;
}

int PressedBoxButtons() { return g_boxes.pressedCount; }

// ---------------------------------------------------------------- boxes

bool RegisterBoxClass(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_CLASSDC | CS_PARENTDC;
    wc.lpfnWndProc = MyBoxWndProc;
    wc.cbWndExtra = 30;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = BOX_CLASS;
    g_boxes = BoxWorld{};
    for (int& mode : g_boxes.mapMode)
        mode = 1;
    g_boxes.defaultTextColour = GetSysColor(COLOR_WINDOWTEXT);
    g_boxes.slots[0].window = g_launcher.mainWindow;
    OpenBoxList(0);
    g_boxes.registered = RegisterClassA(&wc) != 0;
    return g_boxes.registered;
}

void UnregisterBoxClass(HINSTANCE instance)
{
    for (int slot = BOX_COUNT - 1; slot >= 0; --slot)
        DestroyBoxWindow(slot, true);
    if (g_boxes.registered)
        UnregisterClassA(BOX_CLASS, instance);
    g_boxes.registered = false;
}

// Opens box 2-8 as a child window of the main window at the rectangle in pixels (or box 1
// on the main window, whose normal placement the rectangle becomes when there is one).
bool CreateBoxWindow(int slot, const RECT* pixels, DWORD extraStyle)
{
    BoxSlot& box = Slot(slot);
    if (slot == 0) {
        box.window = g_launcher.mainWindow;
        if (!OpenBoxList(0))
            return false;
        if (pixels) {
            WINDOWPLACEMENT place{};
            place.length = sizeof place;
            GetWindowPlacement(g_launcher.mainWindow, &place);
            place.rcNormalPosition = *pixels;
            SetWindowPlacement(g_launcher.mainWindow, &place);
        }
        return true;
    }
    if (box.block || !g_boxes.registered)
        return false;
    RECT r = pixels ? *pixels : RECT{};
    HWND window = CreateWindowExA(0, BOX_CLASS, "",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_GROUP | extraStyle,
                                  r.left, r.top, r.right - r.left, r.bottom - r.top, g_launcher.mainWindow, nullptr,
                                  g_launcher.instance, nullptr);
    if (!window)
        return false;
    box.window = window;
    if (!OpenBoxList(slot)) {
        DestroyWindow(window);
        box = BoxSlot{};
        return false;
    }
    MoveToTop(window);
    ShowWindow(window, SW_SHOWNA);
    g_boxes.activeBox = slot;
    return true;
}

// boxnew: (re)creates a box at the rectangle in units with its frame style.
int NewBox(int slot, const int rect[4], int style)
{
    if (!g_boxes.registered || !g_launcher.mainWindow)
        return ERR_NEW_CREATE;
    BoxSlot& box = Slot(slot);
    if (box.block)
        DestroyBoxWindow(slot, slot != 0);
    std::memcpy(g_boxes.newRect[slot], rect, sizeof g_boxes.newRect[slot]);
    g_boxes.newMapMode[slot] = g_boxes.mapMode[slot];
    RECT pixels;
    if (slot != 0 && g_boxes.mapMode[slot] == 1) {
        pixels = BoxUnitsToPixels(g_launcher.mainWindow, rect, 1);
    } else {
        pixels = BoxUnitsToPixels(nullptr, rect, 0);
        if (slot != 0)
            MapWindowPoints(nullptr, g_launcher.mainWindow, reinterpret_cast<POINT*>(&pixels), 2);
    }
    static const DWORD kStyles[] = {0, WS_BORDER, WS_CAPTION};
    if (!CreateBoxWindow(slot, &pixels, kStyles[style]))
        return ERR_NEW_CREATE;
    return 0;
}

// boxdestroy: boxes 2-8 go; box 1 shows the main window as the launcher shows it, takes
// every other box with it and starts an empty list.
int DestroyBox(int slot)
{
    if (slot != 0) {
        DestroyBoxWindow(slot, false);
        return 1;
    }
    ShowMainWindowAs(g_launcher.showState);
    for (int i = 1; i < BOX_COUNT; ++i)
        if (Slot(i).block)
            DestroyBoxWindow(i, false);
    DestroyBoxWindow(0, false);
    return 1;
}

// boxdataclear: everything after the first tag record of that name (case-insensitive) goes.
int ClearToTag(int slot, const char* tag)
{
    BoxSlot& box = Slot(slot);
    box.busy = true;
    bool drawn[BOX_BUTTONS] = {};
    int records = 0;
    const uint8_t* found = nullptr;
    bool pendingPassed = false;
    for (const uint8_t* at = box.first; at; at = NextRecord(at)) {
        ++records;
        BoxCommandRecord r = ReadRecord(at);
        if (r.type == HF_BOXDATATAG && lstrcmpiA(RecordText(r), tag) == 0) {   // "TOP" clears all
            found = at;
            break;
        }
        if (r.type == HF_BOXBUTTONDRAW && r.p1 >= 0 && r.p1 < BOX_BUTTONS)
            drawn[r.p1] = true;
        if (at == box.pending)
            pendingPassed = true;
    }
    if (!found) {
        box.busy = false;
        return ERR_TAG;
    }
    BoxCommandRecord r = ReadRecord(found);
    size_t size = (sizeof r + std::strlen(RecordText(r)) + 1 + 3) & ~size_t(3);
    box.write = const_cast<uint8_t*>(found) + size;
    uint64_t none = 0;
    std::memcpy(const_cast<uint8_t*>(found) + offsetof(BoxCommandRecord, next), &none, sizeof none);
    box.last = const_cast<uint8_t*>(found);
    if (!pendingPassed)
        box.pending = const_cast<uint8_t*>(found);     // the pending record came later: it is gone
    for (int i = 0; i < BOX_BUTTONS; ++i)
        if (box.exists[i] && !drawn[i])
            ClearBoxButton(slot, i);
    if (slot == 0)
        g_boxes.box1Records = records;
    box.busy = false;
    InvalidateRect(box.window, nullptr, TRUE);
    return 1;
}

// ---------------------------------------------------------------- window procedures

extern "C" __declspec(dllexport) LRESULT CALLBACK MyBoxWndProc(HWND window, UINT message, WPARAM wParam,
                                                                LPARAM lParam)
{
    int slot = BoxOfWindow(window);
    if (slot > 0) {
        switch (message) {
        case WM_COMMAND:
            if (BoxCommand(slot, wParam, lParam))
                return 0;
            break;
        case WM_SIZE:
            ReplaceBox(slot);
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_PAINT:
            PaintBox(slot, window);
            return 0;
        case WM_LBUTTONDOWN: case WM_NCLBUTTONDOWN: case WM_CHILDACTIVATE:
            BoxClicked(slot);
            break;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool MainWindowBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer)
{
    BoxSlot& box = Slot(0);
    if (!box.block)
        return false;
    *answer = 0;
    switch (message) {
    case WM_COMMAND:
        return BoxCommand(0, wParam, lParam);
    case WM_SIZE:
        if (HasDrawing(box))
            InvalidateRect(window, nullptr, TRUE);
        for (int i = 1; i < BOX_COUNT; ++i)
            if (Slot(i).block)
                PostMessageA(Slot(i).window, WM_SIZE, 0, 0);
        return false;
    case WM_PAINT:
        if (g_launcher.textMode || !HasDrawing(box))
            return false;
        PaintBox(0, window);
        return true;
    case WM_ACTIVATE: case WM_NCACTIVATE:
        if (message == WM_ACTIVATE ? LOWORD(wParam) != WA_INACTIVE : wParam != 0)
            TrackBoxButtonFocus(g_boxes.activeBox);
        return false;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION) {
            g_boxes.activeBox = 0;
            TrackBoxButtonFocus(0);
        }
        return false;
    case WM_LBUTTONDOWN:
        BoxClicked(0);
        return false;
    default:
        return false;
    }
}
