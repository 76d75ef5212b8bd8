// kverrorarray: the 12-element array that describes a trapped error.
#include "engine/core/statement_internal.h"
#include "engine/core/text_length.h"
#include "engine/data/array.h"

#include <cstring>

namespace {

void PutInt(ArrayElement& e, int32_t n)
{
    e.i32 = n;
    e.flags = VF_INT;
}

bool PutText(BDS* ctx, ArrayElement& e, const char* text)
{
    e.str = HeapCopyText(ctx, text ? text : "", text ? TextLength(text) : 0);
    if (!e.str)
        return false;
    e.flags = VF_STRING;
    return true;
}

}  // namespace

bool FillErrorArray(BDS* ctx, uint32_t number, const char* line, uint32_t offset, const char* assigned,
                    const char* file, const char* message, const char* extended, const char* udfName,
                    uint32_t lineNumber, uint32_t udfLine, uint32_t fileIndex)
{
    ValueHead value{};
    if (CreateMyArray(ctx, &value, 12, 0, 0, 0, 0, 0, 1) != 1)
        return false;
    ArrayElement* e = ValueArray(&value)->data;
    PutInt(e[0], static_cast<int32_t>(number));
    bool ok = PutText(ctx, e[1], line);
    PutInt(e[2], static_cast<int32_t>(offset));
    ok = ok && PutText(ctx, e[3], assigned) && PutText(ctx, e[4], file) && PutText(ctx, e[5], message) &&
         PutText(ctx, e[6], extended) && PutText(ctx, e[7], udfName);
    PutInt(e[8], static_cast<int32_t>(lineNumber));
    PutInt(e[9], static_cast<int32_t>(udfLine));
    PutInt(e[10], static_cast<int32_t>(fileIndex));
    PutInt(e[11], 0);
    if (!ok || !SetVariableByName(ctx, "kverrorarray", reinterpret_cast<const void*>(value.str), 0, SV_ARRAY)) {
        ReleaseArray(ctx, &value.str, 1);
        return false;
    }
    return true;
}
