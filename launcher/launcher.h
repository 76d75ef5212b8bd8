// The launcher program: process-wide state and the operations its files share.
//
// Everything runs on the one GUI thread; the script runs inside the main window's handling
// of message 1224, and every wait pumps that thread's messages.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

#include "engine/core/binding.h"
#include "engine/core/keyword.h"
#include "launcher/command_line.h"

// ---------------------------------------------------------------- constants

constexpr char MAIN_CLASS[] = "Kelv6oran4";
constexpr char ENGINE_FILE[] = "KVDYC64I.DLL";
constexpr char ENGINE_NAME[] = "KVDYC64I";
constexpr char PRODUCT_TEXT[] = "Kelvoran 64";
constexpr char PRODUCT_VERSION_TEXT[] = "Kelvoran 64 2025C";
constexpr char VERSION_TEXT[] = "2025C";
constexpr char SETTINGS_SECTION[] = "KV44I";
constexpr char SETTINGS_FILE[] = "TRM-PROD.INI";
constexpr char DEFAULT_PROGRAM_NAME[] = "DEFAULT.KVT";

constexpr UINT WM_KV_START = 1224;        // start the script (posted to itself once)
constexpr UINT WM_KV_PARENT = 1111;       // parent/child protocol
constexpr WPARAM KV_PARENT_MINIMISE = 1331;
constexpr WPARAM KV_PARENT_STOP = 1332;
constexpr WPARAM KV_PARENT_DONE = 1333;
constexpr UINT SC_KV_TERMINATE = 1344;    // Terminate in the system menu
constexpr UINT WM_KV_TRAY = 2025;         // notification-area icon events
constexpr UINT_PTR KV_TRAY_TIMER = 10;    // time-out of a wait for a click on that icon

// DLLServices requests the launcher makes.
enum : uint16_t {
    REQ_IDENTIFY = 0,
    REQ_RUN_RESULT = 5,
    REQ_STOP = 7,
    REQ_SET_PARAMS = 11,
    REQ_CONTROL_FLAGS = 14,
    REQ_CONFIG_TEXT = 30,
    REQ_UNCOMPRESS = 33,
    REQ_STOP_PENDING = 37,
    REQ_SOURCE_FILE = 40,
    REQ_BOX_OWNER = 48,
    REQ_EXIT_TEXT = 49,
};
constexpr uint64_t CONTROL_NO_BREAK = 8;  // control flag: Ctrl+Break and Terminate are switched off

constexpr int PARAM_LINE_MAX = 8191;
constexpr int PROGRAM_PATH_MAX = 256;
constexpr int CONFIG_DATA_SIZE = 800;

// Exit codes of the process.
enum : int {
    EXIT_CMDLINE_MEMORY = 245,
    EXIT_WAITER_WINDOW = 246,
    EXIT_WAITER_CLASS = 247,
    EXIT_ENGINE_START = 248,
    EXIT_ATTACHED_FILES = 249,
    EXIT_MAIN_WINDOW = 250,
    EXIT_MAIN_CLASS = 251,
    EXIT_SERVICE_HANDLER = 254,
    EXIT_SERVICE_DISPATCHER = 255,
};

// Launcher message texts (string table of the launcher).
enum : int {
    IDS_TERMINATE = 100,
    IDS_FATAL_ERROR = 7003,
    IDS_WINDOW_CREATION = 7004,
    IDS_DLLS_NOT_FOUND = 7005,
    IDS_NOT_FOUND = 7006,
    IDS_ERR_NUM = 7007,
    IDS_DLL_INIT_ERROR = 7008,
    IDS_END_SESSION = 7017,
    IDS_OK_TO_TERMINATE = 7018,
    IDS_ATTENTION = 7019,
    IDS_PLEASE_WAIT = 7020,
    IDS_RUNTIME_ERROR = 7025,
    IDS_EXE_OPEN_FAILED = 7026,
    IDS_RUNTIME_ERROR_9999 = 7027,
    IDS_EXE_DAMAGED = 7028,
    IDS_NOT_IN_PATH = 7030,
    IDS_NO_DISK_SPACE = 7031,
    IDS_APPROX = 7032,
    IDS_NEEDED = 7033,
    IDS_CANNOT_CREATE = 7034,
    IDS_CANNOT_WRITE = 7035,
    IDS_LOW_MEMORY = 7036,
    IDS_NO_MEMORY_FOR_SCRIPT = 7037,
    IDS_MEMORY_ERROR = 7038,
    IDS_NO_LOCK_FOR_SCRIPT = 7039,
    IDS_NO_MEMORY_TO_EXTRACT = 7059,
    IDS_EXTRACT_ERROR = 7060,
    IDS_UNCOMPRESS_FILE_ERROR = 7061,
    IDS_UNCOMPRESS_SCRIPT_ERROR = 7062,
    IDS_ERR_UNKNOWN_REQUEST = 10102,
    IDS_ERR_CALLEXT = 10103,
    IDS_ERR_INTCONTROL = 10139,
    IDS_ERR_NEED_TARGET = 10142,
    IDS_ERR_EXTRACT = 10143,
    IDS_ERR_EXTRACT_REQUEST = 10144,
    IDS_ERR_1006_MEMORY = 10145,
};

// ---------------------------------------------------------------- state

// Operating-system flags, from the version record at start.
struct OsFlags {
    bool is9x, isNT, hasTray, isNT5, isXP, isVista;
};

// Switches of the CONFIGDATA resource.
struct ConfigSwitches {
    bool hideWindow;              // keep the main window hidden while the script runs
    bool besideOnRemovable;       // removable disk: extract beside the program
    bool firstFileOnly;           // at start, extract only the first engine file
    char text[257];               // handed to the engine with request 30
};

// Process-wide launcher state; `ResetLauncherState` sets the per-run part.
struct LauncherState {
    // Wide: the program's folder may hold letters that the ANSI code page cannot say.
    wchar_t programPath[PROGRAM_PATH_MAX + 4];
    char programName[PROGRAM_PATH_MAX + 4];   // ANSI, for the window titles
    char title[256];
    wchar_t paramLine[PARAM_LINE_MAX + 1];
    wchar_t* commandTail;         // the command line after the program name (IntControl 1006)
    HWND parentWindow;
    bool hasParent;
    bool serviceMode;
    char serviceName[257];
    HINSTANCE instance;
    HWND mainWindow;

    // per run of the main window
    int showState;                // 7 minimised without activation, 0 hidden
    int exitCode;
    bool textMode;                // boxopen/boxtitle/boxtext/boxshut use the main window
    HLOCAL mainText;              // the text the main window paints
    bool shownByBoxOpen;
    int restoreAllowed;
    int closeAllowed;
    int keepAtEndOfSession;
    bool stopRequested;
    bool waiterArmed;
};

extern OsFlags g_os;
extern ConfigSwitches g_config;
extern LauncherState g_launcher;
extern EngineBinding g_binding;

void ResetLauncherState();

// ---------------------------------------------------------------- own path (own_path.cpp)

// Reads the program's own path (wide) into the launcher state; false when it cannot be had
// whole.
bool ReadProgramPath();
// The program's folder with its trailing backslash; empty when the path names none.
std::wstring ProgramDirectory();
// The ANSI form of a text when every character comes back from the ANSI code page as it
// was; false when one would not (it would turn into "?" or a look-alike).
bool ExactAnsi(const std::wstring& text, std::string& out);
// The ANSI form whatever is lost: for window titles and message texts only.
std::string LossyAnsi(const std::wstring& text);
// The wide form of an ANSI text (the ANSI code page).
std::wstring WidenAnsi(const char* text);
// The program path for the engine's ANSI fields: exact, else the short form of the path
// when that one is exact, else the lossy form.
std::string ProgramPathForEngine();

// ---------------------------------------------------------------- start-up (main.cpp)

int RunLauncher(HINSTANCE instance, HINSTANCE previous, const char* serviceArguments, int showCommand);

// ---------------------------------------------------------------- main window (main_window.cpp)

// Answers the message loop's exit code; `failed` tells a start-up failure.
int RunMessageLoop(HINSTANCE instance, int showCommand, bool* failed);
extern "C" __declspec(dllexport) LRESULT CALLBACK MainWndProc(HWND, UINT, WPARAM, LPARAM);
void SetMainWindowText(const char* text);
void ShowMainWindowAs(int showState);
// Registers a window class of the program (its icon, the arrow cursor, 30 extra bytes).
bool RegisterLauncherClass(HINSTANCE instance, const char* name, WNDPROC procedure);

// ---------------------------------------------------------------- engine (engine_binding.cpp)

int DoViRuvStart(HWND window, HINSTANCE instance, uint16_t maxVars, uint64_t reserveSize,
                 uint64_t stringSpace, const char* productText, const char* section,
                 const char* settingsFile, uint32_t interfaceWord, EngineBinding* binding);
void DoViRuvStop(HWND window, EngineBinding* binding);
int RunBatchBuffer(HWND window, const KeywordRecord* hostKeywords, HGLOBAL script);
uint64_t CallDllServices(uint16_t request, const void* p1, const void* p2, int64_t p3, uint64_t p4);
// Loads the engine library: by name, then on the search path, then beside the program.
HMODULE LoadEngineLibrary(HINSTANCE instance, DWORD* lastError);

// ---------------------------------------------------------------- attached files (attached_files.cpp)

uint32_t FindAttachedDirectory(HANDLE file);
// Start-up mode: name, target and list all null. One-file mode: name and target.
// List mode: `list` given with kind 0, 1 or 2; the caller frees *list with LocalFree.
int ExtractAttachedFiles(HWND window, const char* name, const wchar_t* target, char** list, int listKind);
int LoadAttachedScript(HWND window);
HMODULE LoadEngineForUncompress(HINSTANCE instance);
int64_t CallUncompressBuffer(uint8_t* buffer, uint64_t compressedSize, uint64_t capacity);
int CheckDiskFree(const wchar_t* root, uint64_t bytes);

// ---------------------------------------------------------------- resources (config_data.cpp)

int ReadConfigData(const wchar_t* programPath, uint8_t* out, uint32_t size);
bool ReadVersionReserve(const wchar_t* programPath, uint64_t* reserve);
// The number after "VirtualAlloc" in a version text; false when the text does not carry one.
bool ParseReserveText(const char* text, uint64_t* reserve);

// ---------------------------------------------------------------- settings (settings.cpp)

void ReadSetting(const char* section, const char* valueName, const char* defaultText, char* out,
                 DWORD size, const char* settingsFile, bool userFirst, REGSAM extraAccess);
int ReadSettingInt(const char* section, const char* valueName, int defaultValue, const char* settingsFile);
int LoadLangString(HINSTANCE instance, int id, char* buffer, int size, bool productSection);
// Message box whose caption and text are launcher strings.
int LangMessageBox(HWND owner, int captionId, int textId, UINT flags);
// Error box with a launcher string under a caption of the caller's (a path, which may hold
// letters that the ANSI code page cannot say).
int LangCaptionBox(HWND owner, int textId, const std::wstring& caption);

// The engine limits from the registry, with their defaults and caps applied.
struct EngineLimits {
    uint16_t maxVars;
    uint64_t stringSpace;
};
EngineLimits ClampEngineLimits(int maxVars, int stringSpace);
// The string space's reserve from the version block's value (when one was found).
uint64_t ChooseReserveSize(bool found, uint64_t versionReserve, uint64_t stringSpace);

// ---------------------------------------------------------------- message pump (message_pump.cpp)

int PumpLauncherMessages();
int CheckCtrlBreak();
int WaitWithMessages(DWORD milliseconds);

// ---------------------------------------------------------------- host functions (host_functions.cpp)

extern const KeywordRecord LauncherKeywordTable[];
constexpr int LAUNCHER_FUNCTION_COUNT = 38;

// Request codes: the engine numbers host functions by their position in the table.
enum HostFunction : int {
    HF_RELOAD, HF_VERSION, HF_CALLEXT, HF_RTSTATUS, HF_BOXOPEN, HF_BOXSHUT, HF_BOXTITLE, HF_BOXTEXT,
    HF_BOXBUTTONDRAW, HF_BOXBUTTONKILL, HF_BOXBUTTONSTAT, HF_BOXBUTTONWAIT, HF_BOXCAPTION, HF_BOXCOLOR,
    HF_BOXDATACLEAR, HF_BOXDATATAG, HF_BOXDESTROY, HF_BOXDRAWCIRCLE, HF_BOXDRAWLINE, HF_BOXDRAWRECT,
    HF_BOXDRAWTEXT, HF_BOXMAPMODE, HF_BOXNEW, HF_BOXPEN, HF_BOXTEXTCOLOR, HF_BOXTEXTFONT, HF_BOXUPDATES,
    HF_BOXESUP, HF_INTCONTROL, HF_BREAKPOINT, HF_SVCSETACCEPT, HF_SVCSETSTATE, HF_SVCWAITFORCMD, HF_BOXBITMAP,
    HF_DIRSCRIPT, HF_EXTRACTATTACHEDFILE, HF_COUT, HF_CIN,
};

// The engine's argument and answer record (56 bytes): the launcher reads the ANSI text of
// the arguments (or, where a record carries wide text alone, that text converted), the wide
// text where a record carries one, and writes the integer, the flags and one text pointer of
// the answer.
struct HostArg {
    uint8_t variant[24];
    double number;
    int32_t integer;
    uint32_t flags;
    const char* text;
    const wchar_t* wide;
};
static_assert(sizeof(HostArg) == 56, "the argument record crosses to the engine");

enum : uint32_t { ANSWER_INT = 0x1, ANSWER_TEXT = 0x2, ANSWER_WIDE = 0x80 };

// ---------------------------------------------------------------- box windows (box_*.cpp)

constexpr char BOX_CLASS[] = "KelvoranBoxWindow";
// Registers the box class and opens box 1's list on the main window; false when the class
// cannot be registered (the box functions then answer 10119).
bool RegisterBoxClass(HINSTANCE instance);
// Destroys every box and frees its list, then unregisters the class.
void UnregisterBoxClass(HINSTANCE instance);
// Runs the box function of a request code with its texts (five, never null): answers 0 with
// the function's answer in *result, or the error number.
int RunBoxFunction(int code, const char* const text[5], int32_t* result);
// Buttons pressed and not yet asked for, over all boxes.
int PressedBoxButtons();
// The box part of the main window's procedure; true when the message was handled there.
bool MainWindowBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer);
extern "C" __declspec(dllexport) LRESULT CALLBACK MyBoxWndProc(HWND, UINT, WPARAM, LPARAM);

// ---------------------------------------------------------------- shutdown waiter and tray icon

int RunShutdownWaiter(HINSTANCE instance);
extern "C" __declspec(dllexport) LRESULT CALLBACK WaitShutWndProc(HWND, UINT, WPARAM, LPARAM);
// IntControl 1007 (mode, p2, tip, icon).
int TrayIconRequest(HWND caller, int mode, int p2, const char* tip, const wchar_t* icon);
bool TrayIconShown();
BOOL RemoveTrayIcon();
void TrayClick(LPARAM mouseMessage);
void TrayTimeout();

// ---------------------------------------------------------------- service mode (service_mode.cpp)

constexpr UINT_PTR KV_SERVICE_TIMER = 11;  // the service's automatic running report
constexpr int SERVICE_QUEUE_SIZE = 16;

// Starts the service dispatcher; answers the service's exit code, or 255 when the
// dispatcher cannot start (the program was not started by the service control manager).
int RunServiceMode(HINSTANCE instance, int showCommand);
// Timer 11 of the main window: the service reports itself running.
void ServiceRunningTimer();
int ServiceSetAccept(const char* controls);
int ServiceSetState(const char* state);
int ServiceWaitForCommand(const char* timeout);
bool ServiceQueryEndSession();
// The control queue: a full queue drops the code (false); taking answers the oldest code,
// or 0 when none is queued. The callers hold the service's lock.
bool EnqueueServiceControl(uint32_t* queue, int* queued, uint32_t code);
uint32_t TakeServiceControl(uint32_t* queue, int* queued);
