// The helpers of engine_dll.h: loading the engine library for unit tests and running the
// window probe beside a test.
#include "tests/unit/engine_dll.h"

namespace kvtest {

kvhost::EngineLibrary& EngineDll()
{
    static kvhost::EngineLibrary library;
    if (!library.Module())
        library.Load();
    return library;
}

HWND CreateHostWindow(const wchar_t* title)
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvUnitHostWindow";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(0, L"KvUnitHostWindow", title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 200,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n < MAX_PATH ? n : 0);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring OwnWindowsOnly()
{
    return L" --pid " + std::to_wstring(GetCurrentProcessId());
}

// ---------------------------------------------------------------- probe beside the test

ProbeProcess::ProbeProcess(const std::wstring& arguments, const std::wstring& program)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE writePipe = nullptr;
    if (!CreatePipe(&readPipe_, &writePipe, &sa, 0))
        return;
    SetHandleInformation(readPipe_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writePipe;
    si.hStdError = writePipe;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring exe = BinFolder() + program;
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        process_ = pi.hProcess;
        CloseHandle(pi.hThread);
    }
    CloseHandle(writePipe);
}

ProbeProcess::~ProbeProcess()
{
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_, 255);
        CloseHandle(process_);
    }
    if (readPipe_)
        CloseHandle(readPipe_);
}

void ProbeProcess::Drain()
{
    DWORD available = 0;
    while (readPipe_ && PeekNamedPipe(readPipe_, nullptr, 0, nullptr, &available, nullptr) && available) {
        char buf[4096];
        DWORD got = 0;
        if (!ReadFile(readPipe_, buf, available < sizeof buf ? available : sizeof buf, &got, nullptr) || !got)
            break;
        output_.append(buf, got);
    }
}

int ProbeProcess::Wait(DWORD milliseconds)
{
    if (!process_)
        return -1;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(process_, 20) == WAIT_TIMEOUT) {
        Drain();
        if (GetTickCount() - start >= milliseconds) {
            TerminateProcess(process_, 255);
            WaitForSingleObject(process_, 5000);
            Drain();
            return -1;
        }
    }
    Drain();
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

// ---------------------------------------------------------------- fixture

void EngineDllTest::SetUp()
{
    ASSERT_NE(dll().Module(), nullptr) << "KVDYC64I.DLL did not load (error " << dll().LoadError() << ")";
    window = CreateHostWindow();
}

void EngineDllTest::TearDown()
{
    if (session)
        session->Stop(nullptr);
    session.reset();
    if (window)
        DestroyWindow(window);
}

void EngineDllTest::StartEngine(const kvhost::SessionOptions& options)
{
    ASSERT_NE(dll().DoDuRavInit(), nullptr) << "export 23 (DoDuRavInit) is missing";
    session = std::make_unique<kvhost::EngineSession>(dll(), window, GetModuleHandleW(nullptr));
    int step = session->Start(options);
    ASSERT_EQ(step, -1) << "the engine set-up stopped with step code " << step;
}

}  // namespace kvtest
