// The launcher's main window: creation with the engine start, the message loop, the start of
// the script on message 1224 and the window procedure (parent/child protocol, Terminate,
// restore and end-of-session rules, the main-window text).
#include "launcher/launcher.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char SECOND_IDENTIFICATION[] = "Kelvoran 64 compiled script";

void ShowStartFailure(HWND window, int code)
{
    char text[300], caption[257], part[257];
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_MOD_NOT_FOUND || code == ERROR_DLL_NOT_FOUND) {
        LoadLangString(g_launcher.instance, IDS_NOT_FOUND, part, sizeof(part), false);
        std::snprintf(text, sizeof(text), "%s.DLL %s", ENGINE_NAME, part);
    } else {
        LoadLangString(g_launcher.instance, IDS_ERR_NUM, part, sizeof(part), false);
        std::snprintf(text, sizeof(text), "%s %d", part, code);
    }
    LoadLangString(g_launcher.instance, IDS_DLL_INIT_ERROR, caption, sizeof(caption), false);
    MessageBoxA(window, text, caption, MB_OK | MB_ICONERROR);
}

// Creates the main window (hidden), extracts the attached files and starts the engine.
// Answers false with the exit code set when any step fails.
bool CreateMainWindow(HINSTANCE instance, int showCommand)
{
    wsprintfA(g_launcher.title, "KVT - %s", g_launcher.programName[0] ? g_launcher.programName : DEFAULT_PROGRAM_NAME);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, MAIN_CLASS, g_launcher.title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  cx / 4, cy * 3 / 8, cx / 2, cy / 4, nullptr, nullptr, instance, nullptr);
    if (!window) {
        LangMessageBox(nullptr, IDS_FATAL_ERROR, IDS_WINDOW_CREATION, MB_OK | MB_ICONERROR);
        g_launcher.exitCode = EXIT_MAIN_WINDOW;
        return false;
    }
    g_launcher.mainWindow = window;
    // A program named outside the ANSI code page keeps its name whole in the title: the
    // ANSI title above holds "?" in place of those letters. The system keeps a window's text
    // wide, and DefWindowProcW stores it so without the ANSI procedure's conversion.
    std::wstring name = g_launcher.programPath + ProgramDirectory().size();
    std::string exact;
    if (!name.empty() && !ExactAnsi(name, exact)) {
        std::wstring title = L"KVT - " + name;
        DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
    }

    g_launcher.showState = showCommand ? SW_SHOWMINNOACTIVE : SW_HIDE;
    if (ReadSettingInt(SETTINGS_SECTION, "HideIcon", 0, SETTINGS_FILE) != 0)
        g_launcher.showState = SW_HIDE;

    if (!ExtractAttachedFiles(window, nullptr, nullptr, nullptr, 0)) {
        LangMessageBox(window, IDS_FATAL_ERROR, IDS_DLLS_NOT_FOUND, MB_OK | MB_ICONERROR);
        DestroyWindow(window);
        g_launcher.exitCode = EXIT_ATTACHED_FILES;
        return false;
    }

    EngineLimits limits = ClampEngineLimits(ReadSettingInt(SETTINGS_SECTION, "MaxVars", 2000, SETTINGS_FILE),
                                            ReadSettingInt(SETTINGS_SECTION, "StringSpace", 65500, SETTINGS_FILE));
    uint64_t versionReserve = 0;
    bool found = ReadVersionReserve(g_launcher.programPath, &versionReserve);
    uint64_t reserve = ChooseReserveSize(found, versionReserve, limits.stringSpace);

    int code = DoViRuvStart(window, instance, limits.maxVars, reserve, limits.stringSpace, PRODUCT_TEXT,
                            SETTINGS_SECTION, SETTINGS_FILE, ENGINE_INTERFACE_WORD, &g_binding);
    if (code != -1) {
        ShowStartFailure(window, code);
        DestroyWindow(window);
        g_launcher.exitCode = EXIT_ENGINE_START;
        return false;
    }

    CallDllServices(REQ_IDENTIFY, PRODUCT_VERSION_TEXT, SECOND_IDENTIFICATION, 0, 0);
    HMENU menu = GetSystemMenu(window, FALSE);
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    char terminate[257];
    LoadLangString(instance, IDS_TERMINATE, terminate, sizeof(terminate), false);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, SC_KV_TERMINATE, terminate);
    PostMessageA(window, WM_KV_START, 0, 0);
    return true;
}

void StopScript(uint64_t userAsked)
{
    CallDllServices(REQ_STOP, nullptr, nullptr, int64_t(userAsked), 0);
}

// Message 1224: hand over the CONFIGDATA text, run the attached script, tell the parent.
void StartScript(HWND window)
{
    bool hasText = g_config.text[0] != 0;
    CallDllServices(REQ_CONFIG_TEXT, hasText ? g_config.text : "", nullptr, hasText ? 1 : 0, 0);

    if (!LoadAttachedScript(window))
        g_launcher.exitCode = EXIT_ATTACHED_FILES;   // a script that cannot be read never ends as success

    if (g_launcher.hasParent && IsWindow(g_launcher.parentWindow)) {
        WPARAM outcome = CallDllServices(REQ_RUN_RESULT, nullptr, nullptr, 0, 0) ? KV_PARENT_DONE : KV_PARENT_STOP;
        DWORD_PTR ignored;
        SendMessageTimeoutA(g_launcher.parentWindow, WM_KV_PARENT, outcome, 0, SMTO_ABORTIFHUNG, 30000, &ignored);
    }
    DestroyWindow(window);
}

void PaintMainText(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = g_os.isVista ? sizeof(metrics) : offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    HFONT font = nullptr;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        font = CreateFontIndirectA(&metrics.lfMessageFont);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));

    RECT area;
    GetClientRect(window, &area);
    const char* text = g_launcher.mainText ? static_cast<const char*>(LocalLock(g_launcher.mainText)) : nullptr;
    if (text) {
        area.left += 20;
        area.top += 10;
        area.right -= 10;
        area.bottom -= 10;
        DrawTextA(dc, text, -1, &area, DT_NOPREFIX | DT_EXPANDTABS | DT_WORDBREAK);
        LocalUnlock(g_launcher.mainText);
    } else if (g_launcher.textMode) {
        char wait[257];
        LoadLangString(g_launcher.instance, IDS_PLEASE_WAIT, wait, sizeof(wait), false);
        DrawTextA(dc, wait, -1, &area, DT_NOPREFIX | DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (oldFont)
        SelectObject(dc, oldFont);
    if (font)
        DeleteObject(font);
    EndPaint(window, &paint);
}

LRESULT OnSystemCommand(HWND window, WPARAM command, LPARAM lParam)
{
    WPARAM code = command & 0xFFF0;
    if (command == SC_KV_TERMINATE || (code == SC_CLOSE && g_launcher.closeAllowed)) {
        if (CallDllServices(REQ_CONTROL_FLAGS, nullptr, nullptr, 0, 0) & CONTROL_NO_BREAK)
            return 0;
        if (TrayIconShown())
            RemoveTrayIcon();
        StopScript(1);
        return 0;
    }
    return DefWindowProcA(window, WM_SYSCOMMAND, command, lParam);
}

LRESULT OnQueryEndSession(HWND window, LPARAM lParam)
{
    if (g_launcher.keepAtEndOfSession) {
        if (g_os.is9x && !(lParam & ENDSESSION_LOGOFF))
            StopScript(0);
        return TRUE;
    }
    if (g_launcher.serviceMode)
        return ServiceQueryEndSession();
    uint64_t mode = CallDllServices(REQ_CONTROL_FLAGS, nullptr, nullptr, 0, 0) & 3;
    if (mode == 0) {
        HWND owner = reinterpret_cast<HWND>(CallDllServices(REQ_BOX_OWNER, nullptr, nullptr, 0, 0));
        if (LangMessageBox(owner, IDS_END_SESSION, IDS_OK_TO_TERMINATE, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return FALSE;
        StopScript(0);
        return TRUE;
    }
    if (mode == 1) {
        StopScript(0);
        return TRUE;
    }
    char text[257] = "";
    if (CallDllServices(REQ_EXIT_TEXT, text, nullptr, sizeof(text), 0) && text[0]) {
        char caption[257];
        LoadLangString(g_launcher.instance, IDS_ATTENTION, caption, sizeof(caption), false);
        MessageBoxA(window, text, caption, MB_OK | MB_ICONERROR);
    }
    return FALSE;
}

}  // namespace

void ResetLauncherState()
{
    g_launcher.showState = 0;
    g_launcher.exitCode = 0;
    g_launcher.textMode = true;
    g_launcher.mainText = nullptr;
    g_launcher.shownByBoxOpen = false;
    g_launcher.restoreAllowed = 1;
    g_launcher.closeAllowed = 0;
    g_launcher.keepAtEndOfSession = 0;
    g_launcher.stopRequested = false;
    g_launcher.waiterArmed = false;
    g_launcher.mainWindow = nullptr;
}

void SetMainWindowText(const char* text)
{
    if (g_launcher.mainText)
        LocalFree(g_launcher.mainText);
    g_launcher.mainText = nullptr;
    size_t length = text ? std::strlen(text) : 0;
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE, length + 1);
    if (block) {
        auto* copy = static_cast<char*>(LocalLock(block));
        if (copy) {
            std::memcpy(copy, text ? text : "", length + 1);
            LocalUnlock(block);
            g_launcher.mainText = block;
        } else {
            LocalFree(block);
        }
    }
    if (g_launcher.mainWindow) {
        InvalidateRect(g_launcher.mainWindow, nullptr, TRUE);
        UpdateWindow(g_launcher.mainWindow);
    }
}

void ShowMainWindowAs(int showState)
{
    if (g_launcher.mainWindow) {
        ShowWindow(g_launcher.mainWindow, showState);
        UpdateWindow(g_launcher.mainWindow);
    }
}

bool RegisterLauncherClass(HINSTANCE instance, const char* name, WNDPROC procedure)
{
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = 30;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "MYICON");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

int RunMessageLoop(HINSTANCE instance, int showCommand, bool* failed)
{
    ResetLauncherState();
    if (!CreateMainWindow(instance, showCommand)) {
        *failed = true;
        return g_launcher.exitCode;
    }
    bool boxes = RegisterBoxClass(instance);
    MSG message{};
    int result;
    while ((result = GetMessageA(&message, nullptr, 0, 0)) == 1) {
        if (g_launcher.mainWindow && IsDialogMessageA(g_launcher.mainWindow, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (boxes)
        UnregisterBoxClass(instance);
    DoViRuvStop(nullptr, &g_binding);
    if (g_launcher.exitCode != 0)
        return g_launcher.exitCode;
    return result == 0 ? int(message.wParam) : 0;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT answer = 0;
    if (MainWindowBoxMessage(window, message, wParam, lParam, &answer))
        return answer;
    switch (message) {
    case WM_KV_START:
        StartScript(window);
        return 0;
    case WM_KV_PARENT:
        if (wParam == KV_PARENT_STOP) {
            g_launcher.stopRequested = true;
            StopScript(0);
        } else if (wParam == KV_PARENT_MINIMISE) {
            ShowWindow(window, SW_SHOWMINNOACTIVE);
        }
        return 0;
    case WM_SYSCOMMAND:
        return OnSystemCommand(window, wParam, lParam);
    case WM_CLOSE:
        if (g_launcher.closeAllowed)
            PostMessageA(window, WM_SYSCOMMAND, SC_KV_TERMINATE, 0);
        return 0;
    case WM_QUERYOPEN:
        if (g_launcher.restoreAllowed != 1)
            return FALSE;
        if (IsWindowVisible(window) || g_launcher.shownByBoxOpen)
            return TRUE;
        PostMessageA(window, WM_KV_PARENT, KV_PARENT_MINIMISE, 0);
        return FALSE;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession(window, lParam);
    case WM_CREATE:
        if (g_launcher.serviceMode)
            SetTimer(window, KV_SERVICE_TIMER, 3000, nullptr);
        return 0;
    case WM_TIMER:
        if (wParam == KV_TRAY_TIMER) {
            KillTimer(window, KV_TRAY_TIMER);
            TrayTimeout();
            return 0;
        }
        if (wParam == KV_SERVICE_TIMER) {
            KillTimer(window, KV_SERVICE_TIMER);
            ServiceRunningTimer();
            return 0;
        }
        break;
    case WM_PAINT:
        PaintMainText(window);
        return 0;
    case WM_DESTROY:
        if (TrayIconShown())
            RemoveTrayIcon();       // an icon whose window is gone would stay until a mouse passes
        if (g_launcher.mainText)
            LocalFree(g_launcher.mainText);
        g_launcher.mainText = nullptr;
        g_launcher.mainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        if (message == WM_KV_TRAY) {
            TrayClick(lParam);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
