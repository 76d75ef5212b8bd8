// A library that carries two icon groups (made by make_icon_fixture.py) for the tests of
// the icon built-ins. Hold keeps a process that loaded it alive, and writes a marker file
// once it has:
//   rundll32.exe icon_fixture.dll,Hold <seconds> <marker file>
#include <windows.h>

#include <cstdlib>
#include <cstring>

extern "C" __declspec(dllexport) void CALLBACK Hold(HWND, HINSTANCE, LPSTR arguments, int)
{
    char* marker = std::strchr(arguments, ' ');
    if (marker) {
        HANDLE file = CreateFileA(marker + 1, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, "held", 4, &written, nullptr);
            CloseHandle(file);
        }
    }
    Sleep(static_cast<DWORD>(atoi(arguments)) * 1000);
}
