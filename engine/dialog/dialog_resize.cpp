// The resize step of a resizable 6.x dialog: a size change of more than the tolerance
// raises @deresize, and the controls its procedure moves land in one batch.
#include "engine/dialog/dialog_resize.h"

#include <cstdio>

#include "engine/core/context.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_units.h"
#include "engine/dialog/dialog_window.h"

namespace {

constexpr uint16_t ERR_NO_STRINGS = 3096;   // "Memory allocation failure.  Out of memory for strings"

bool Within(int delta, int threshold) { return delta >= -threshold && delta <= threshold; }

}  // namespace

void DialogResizeEvent(Dialog6Record* dlg, HWND dialog, int threshold)
{
    RECT client{};
    GetClientRect(dialog, &client);
    int width = PixelsToUnitsX(dlg, client.right);
    int height = PixelsToUnitsY(dlg, client.bottom);
    int dw = width - dlg->clientWidthDU, dh = height - dlg->clientHeightDU;
    if (Within(dw, threshold) && Within(dh, threshold))
        return;
    dlg->clientWidthDU = width;
    dlg->clientHeightDU = height;
    dlg->lastDeltaWidth = dw;
    dlg->lastDeltaHeight = dh;
    if (!dlg->events[DE_RESIZE])
        return;
    BDS* ctx = dlg->ctx;
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", dw, dh, width, height);
    resultants extra;
    InitResultValue(ctx, &extra, VK_RECORD, 0);
    if (!SetResultText(ctx, &extra, text)) {
        DialogFail(ctx, ERR_NO_STRINGS);
        return;
    }
    dlg->deferPos = BeginDeferWindowPos(ControlCount(dlg) > 0 ? ControlCount(dlg) : 1);
    RaiseDialogEvent(dlg, DE_RESIZE, -1, &extra);
    FreeValue(ctx, &extra, 0, VK_RECORD);
    // The batch is closed whatever the outcome: its memory goes with it, and moves made
    // for a dialog that is ending land on windows that are going (harmless).
    if (HDWP batch = dlg->deferPos) {
        dlg->deferPos = nullptr;
        EndDeferWindowPos(batch);
    }
}
