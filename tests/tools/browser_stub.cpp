// A stand-in web browser: writes its process id and its command line's arguments to the file
// that the environment variable KVTEST_BROWSER_RECORD names, then keeps running for a minute,
// as a browser does, so a test can tell that whoever started it did not wait for its end.
#include <windows.h>

#include <string>

int main()
{
    wchar_t record[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"KVTEST_BROWSER_RECORD", record, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 2;
    // The arguments: the command line after the program's own (possibly quoted) name.
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ')
            ++line;
    }
    while (*line == L' ')
        ++line;
    std::wstring text = std::to_wstring(GetCurrentProcessId()) + L"\n" + line;
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    std::wstring partial = std::wstring(record) + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), record, MOVEFILE_REPLACE_EXISTING);
    Sleep(60000);
    return 0;
}
