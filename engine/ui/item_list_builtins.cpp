// The built-ins of the item-list box: AskItemList and AskFileText (narrow, or wide when the
// engine runs in Unicode mode), and the narrow ItemSelect, TextBox, TextBoxSort and
// TextSelect.
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/ui/box_state.h"
#include "engine/ui/item_list_box.h"

namespace {

constexpr int32_t SELECT_SINGLE = 2;

// AskItemList(title, list, delimiter, sort, select [, needs-selection])
void CaseAskItemList(BDS* ctx, BuiltinCall& call)
{
    if (ArgIsWide(call, 1))
        RunItemListDialogW(ctx, call.result, ITEM_SOURCE_LIST, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2),
                           ArgWText(ctx, call, 3), ArgInt(call, 4), ArgInt(call, 5), ArgInt(call, 6));
    else
        RunItemListDialogA(ctx, call.result, ITEM_SOURCE_LIST, ArgText(ctx, call, 1), ArgText(ctx, call, 2),
                           ArgText(ctx, call, 3), ArgInt(call, 4), ArgInt(call, 5), ArgInt(call, 6));
}

// AskFileText(title, file, sort, select [, needs-selection])
void CaseAskFileText(BDS* ctx, BuiltinCall& call)
{
    if (ArgIsWide(call, 1))
        RunItemListDialogW(ctx, call.result, ITEM_SOURCE_FILE, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2),
                           L"", ArgInt(call, 3), ArgInt(call, 4), ArgInt(call, 5));
    else
        RunItemListDialogA(ctx, call.result, ITEM_SOURCE_FILE, ArgText(ctx, call, 1), ArgText(ctx, call, 2), "",
                           ArgInt(call, 3), ArgInt(call, 4), ArgInt(call, 5));
}

// ItemSelect(title, list, delimiter): sorted, single selection.
void CaseItemSelect(BDS* ctx, BuiltinCall& call)
{
    RunItemListDialogA(ctx, call.result, ITEM_SOURCE_LIST, ArgText(ctx, call, 1), ArgText(ctx, call, 2),
                       ArgText(ctx, call, 3), 1, SELECT_SINGLE, 0);
}

// TextSelect(title, list, delimiter): in the list's order, single selection.
void CaseTextSelect(BDS* ctx, BuiltinCall& call)
{
    RunItemListDialogA(ctx, call.result, ITEM_SOURCE_LIST, ArgText(ctx, call, 1), ArgText(ctx, call, 2),
                       ArgText(ctx, call, 3), 0, SELECT_SINGLE, 0);
}

// TextBox(title, file) and TextBoxSort(title, file): a file's lines, single selection.
void CaseTextBox(BDS* ctx, BuiltinCall& call)
{
    RunItemListDialogA(ctx, call.result, ITEM_SOURCE_FILE, ArgText(ctx, call, 1), ArgText(ctx, call, 2), "", 0,
                       SELECT_SINGLE, 0);
}

void CaseTextBoxSort(BDS* ctx, BuiltinCall& call)
{
    RunItemListDialogA(ctx, call.result, ITEM_SOURCE_FILE, ArgText(ctx, call, 1), ArgText(ctx, call, 2), "", 1,
                       SELECT_SINGLE, 0);
}

const BuiltinRow kRows[] = {
    {285, CaseAskFileText}, {287, CaseAskItemList}, {551, CaseItemSelect},
    {728, CaseTextBox},     {729, CaseTextBoxSort}, {730, CaseTextSelect},
};

}  // namespace

extern const BuiltinFamily g_ItemListBoxBuiltins = {"item-list-boxes", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
