// TEMPORARY stand-in for the message loader, so the engine links before the real one
// (string table and language file) is merged. Delete this file when messages.cpp lands.
#include "engine/core/messages.h"

#include <cstring>

namespace {

struct FallbackText {
    int id;
    const char* text;
};

constexpr FallbackText kTexts[] = {
    {89, "ZAL Interpreter 6.25cyc"},
    {120, "&Ok"},
    {121, "&Cancel"},
    {730, " popup menu"},
    {731, " menu item"},
    {845, "INTERNAL DYNALLOC ERROR"},
    {846, "Tag Overwrite 1"},
    {847, "Tag Overwrite 2"},
    {3098, "IntErr: NULL pointer passed to xstrxxx subroutines"},
};

}  // namespace

extern "C" int LoadMyString(BDS*, HINSTANCE module, int id, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = 0;
    if (int n = LoadStringA(module, id, buffer, size); n > 0)
        return n;
    for (const FallbackText& t : kTexts) {
        if (t.id == id) {
            lstrcpynA(buffer, t.text, size);
            return static_cast<int>(std::strlen(buffer));
        }
    }
    return 0;
}
