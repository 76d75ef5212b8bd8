// A program for the program-start tests: appends two lines to "stub.txt" in the folder that
// KVTEST_WORK names (else its current folder), its whole command line and its PATH, and
// ends with exit code 0.
//
//     CMD <command line>
//     PATH <PATH>
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

std::wstring Variable(const wchar_t* name)
{
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (!n)
        return std::wstring();
    std::wstring value(n, L'\0');
    DWORD written = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(written < n ? written : 0);
    return value;
}

}  // namespace

int main()
{
    std::wstring folder = Variable(L"KVTEST_WORK");
    std::wstring file = folder.empty() ? L"stub.txt" : folder + L"\\stub.txt";
    std::string lines = "CMD " + Utf8(GetCommandLineW()) + "\r\nPATH " + Utf8(Variable(L"PATH")) + "\r\n";
    HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    CloseHandle(out);
    return 0;
}
