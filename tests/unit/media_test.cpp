// Which MCI commands ask for notification, and the speaker volume's levels and values.
#include <gtest/gtest.h>

#include "engine/system/media.h"

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
