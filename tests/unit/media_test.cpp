// Which MCI commands ask for notification, and the speaker volume's levels and values.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include "engine/core/context.h"
#include "engine/system/media.h"
#include "engine_dll.h"

namespace {

TEST(MediaCommand, NotifyIsAWordOfItsOwn)
{
    struct Case {
        const char* command;
        bool notifies;
    };
    const Case cases[] = {
        {"play a notify", true},      {"play a notify wait", true}, {"play a NoTiFy", true},
        {"play a\tnotify\tfrom 1", true}, {"play a notifyx", false},   {"play anotify", false},
        {"notify", false},            {"play a xnotify", false},    {"play a notif", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MediaCommandNotifies(c.command), c.notifies) << c.command;
}

TEST(MediaCommand, VolumeLevelsAndValues)
{
    const int levels[] = {0, 1, 33, 50, 99, 100};
    for (int level : levels)
        EXPECT_EQ(VolumeLevelFromValue(VolumeValueFromLevel(level)), level) << level;
    EXPECT_EQ(VolumeValueFromLevel(100), 65535u);
    EXPECT_EQ(VolumeValueFromLevel(50), 32768u);
    EXPECT_EQ(VolumeLevelFromValue(65535), 100);
    EXPECT_EQ(VolumeLevelFromValue(655), 1);
    EXPECT_EQ(VolumeLevelFromValue(654), 0);
}

}  // namespace

namespace {

// The notify window keeps the context's handle and marks the context when MCI reports a
// command complete; the library exports its procedure by name.
class MediaNotifyTest : public kvtest::EngineDllTest {};

TEST_F(MediaNotifyTest, NotifyWindowMarksItsContext)
{
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BDS));
    ASSERT_NE(handle, nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = MyMMNotifyProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MediaNotifyTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "MediaNotifyTest", "Fred", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, handle);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(window, 0), reinterpret_cast<LONG_PTR>(handle));
    SendMessageA(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 0);
    auto* ctx = static_cast<BDS*>(GlobalLock(handle));
    EXPECT_EQ(ctx->sys.MediaNotifyDone, 1u);
    GlobalUnlock(handle);
    DestroyWindow(window);
    GlobalFree(handle);

    EXPECT_NE(GetProcAddress(dll().Module(), "MyMMNotifyProc"), nullptr);
}

}  // namespace
