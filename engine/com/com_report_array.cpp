// A COM array value read as an ordinary array, for the dialogs' report views.
#include "engine/com/com_errors.h"
#include "engine/com/com_safearray.h"
#include "engine/core/context.h"
#include "engine/dialog/dialog_com.h"

namespace {
constexpr uint16_t ERR_NOT_ARRAY = 3650;   // "Variable is not an array"
}

// Works on a copy of the VARIANT, so the script's own COM value stays as it was.
bool ComArrayToArray(BDS* ctx, const ValueHead* value, ValueHead* out)
{
    if (!HoldsSafeArray(value)) {
        SetError(ctx, ERR_NOT_ARRAY);
        return false;
    }
    ValueHead copy{};
    VariantInit(&copy.var);
    // VariantCopy only reads its source; its declaration lacks the const.
    HRESULT hr = VariantCopy(&copy.var, const_cast<VARIANT*>(&value->var));
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "VariantCopy"));
        return false;
    }
    copy.flags = VF_VARIANT;
    if (!SafeArrayValueToArray(ctx, &copy)) {
        VariantClear(&copy.var);
        return false;
    }
    *out = copy;
    return true;
}
