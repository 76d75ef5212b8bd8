// DirWindows answers wide text in Unicode mode and ANSI text outside it, the same path in
// both: upper case, ending in one backslash.
#include "text_fixture.h"

using SystemQuery = TextTest;

TEST_F(SystemQuery, DirWindowsInBothModes)
{
    char windows[MAX_PATH], system[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 3u);
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 3u);
    CharUpperA(windows);
    CharUpperA(system);
    const std::string want[] = {std::string(windows) + "\\", std::string(system) + "\\"};
    for (bool unicodeMode : {true, false}) {
        SetUnicodeMode(unicodeMode);
        for (int request : {0, 1, 2}) {
            Call("dirwindows", {request});
            EXPECT_EQ(TextResult(unicodeMode), want[request == 1]) << request << " unicode " << unicodeMode;
        }
        Call("dirwindows", {3});
        EXPECT_EQ(Error(), 1679);
    }
}
