// Finding a dialog's control by the name or number a callback built-in gives.
#include "engine/dialog/dialog_find.h"

#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"

namespace {

constexpr uint16_t ERR_NOT_TEXT = 3056;      // "Variable could not be converted to string"
constexpr uint16_t ERR_NOT_NUMBER = 3057;    // "Variable could not be converted to a valid number"
constexpr uint16_t ERR_BAD_NUMBER = 3973;    // "Dialog: Bad control number"
constexpr uint16_t ERR_BAD_NAME = 3984;      // "Dialog: Bad control name"
constexpr int MSG_ARGUMENT_NOT_NUMBER = 9503;
constexpr int CONTROL_ARGUMENT = 2;          // the control is the built-ins' second argument

DialogControlRecord* ByName(BDS* ctx, Dialog6Record* dlg, const resultants* argument, int* index)
{
    resultants temp;
    InitResultValue(ctx, &temp, VK_RECORD, 0);
    CopyValue(ctx, argument, &temp, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT);
    if (!ValueToString(ctx, &temp)) {
        FreeValue(ctx, &temp, 0, VK_RECORD);
        if (!ctx->nErrorCode)
            DialogFail(ctx, ERR_NOT_TEXT);
        return nullptr;
    }
    std::string name = ValueText(ctx, &temp);
    FreeValue(ctx, &temp, 0, VK_RECORD);
    uint32_t hash = HashNameLower(name.c_str());
    for (int i = 0; i < ControlCount(dlg); ++i) {
        DialogControlRecord* c = dlg->controls[i];
        if (c->nameHash == hash && lstrcmpiA(c->name, name.c_str()) == 0) {
            if (index)
                *index = i;
            return c;
        }
    }
    DialogFail(ctx, ERR_BAD_NAME, nullptr, name.c_str());
    return nullptr;
}

DialogControlRecord* ByNumber(BDS* ctx, Dialog6Record* dlg, const resultants* argument, int* index)
{
    resultants temp;
    InitResultValue(ctx, &temp, VK_RECORD, 0);
    CopyValue(ctx, argument, &temp, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT);
    bool ok = ValueToInteger(ctx, &temp, true, false) != 0;
    int32_t number = temp.i32;
    FreeValue(ctx, &temp, 0, VK_RECORD);
    if (!ok) {
        char message[TEXTBUF] = {};
        char text[TEXTBUF];
        LoadMyString(ctx, EngineModule(), MSG_ARGUMENT_NOT_NUMBER, message, sizeof message);
        wsprintfA(text, message, CONTROL_ARGUMENT);
        AppendExtendedError(ctx, text);
        DialogFail(ctx, ERR_NOT_NUMBER);
        return nullptr;
    }
    for (int i = 0; i < ControlCount(dlg); ++i) {
        if (dlg->controls[i]->number == number) {
            if (index)
                *index = i;
            return dlg->controls[i];
        }
    }
    DialogFailNumber(ctx, ERR_BAD_NUMBER, number);
    return nullptr;
}

}  // namespace

DialogControlRecord* FindDialogControl(BDS* ctx, Dialog6Record* dlg, const resultants* argument, int* index)
{
    if (!argument) {
        DialogFail(ctx, dlg->format == 62 ? ERR_NOT_TEXT : ERR_NOT_NUMBER);
        return nullptr;
    }
    return dlg->format == 62 ? ByName(ctx, dlg, argument, index) : ByNumber(ctx, dlg, argument, index);
}

int DialogControlIndexOfWindow(const Dialog6Record* dlg, HWND window)
{
    if (!window)
        return -1;
    for (int i = 0; i < ControlCount(dlg); ++i) {
        const DialogControlRecord* c = dlg->controls[i];
        if (c->window == window || c->buddy == window)
            return i;
    }
    return -1;
}
