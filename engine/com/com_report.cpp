// The COM lines of the internal-information report: how many values hold a COM interface,
// their list, and how many values share one interface.
#include <cstring>

#include "engine/com/com_gates.h"
#include "engine/core/context.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/value.h"

int ComObjectsOpen(BDS* ctx)
{
    return CountComObjectVariables(ctx);
}

// Objects are not kept in slots of their own: no count of free slots applies.
int ComObjectSlotsFree(BDS*)
{
    return 0;
}

bool ComObjectText(BDS* ctx, int index, char* out, int size)
{
    if (!out || size <= 0 || index < 0)
        return false;
    resultants list{};
    if (!ListComObjectVariables(ctx, 0, &list) || !(list.flags & VF_STRING)) {
        FreeValue(ctx, &list, 0, 0);
        return false;
    }
    const char* item = ValueText(ctx, &list);
    for (int i = 0; item && i < index; ++i) {
        item = std::strchr(item, '\t');
        if (item)
            ++item;
    }
    bool found = item && *item;
    if (found) {
        size_t length = std::strcspn(item, "\t");
        if (length >= static_cast<size_t>(size))
            length = static_cast<size_t>(size) - 1;
        std::memcpy(out, item, length);
        out[length] = '\0';
    }
    FreeValue(ctx, &list, 0, 0);
    return found;
}

int32_t ComObjectReferenceCount(BDS* ctx, int32_t which)
{
    return CountObjectReferences(ctx, which);
}
