// The dialog procedure: the call of the script's user-defined function for a dialog event
// (CallDialogProcedure) and the window side of DialogProcOptions (message 7025).
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct Dialog6Record;
struct resultants;

// Calls the procedure for the event (control index -1: none; extra may be null) and acts
// on its answer: 2 the dialog stays (handled, or dropped while a call runs), 1 the event's
// default action follows, 0 the dialog is ending. With a null record the window's is used.
int CallDialogProcedure(BDS* ctx, Dialog6Record* dlg, HWND dialog, int event, int index, const resultants* extra,
                        const void* arguments);

// Option `option` with the value record: answers the previous value, typed by option
// (heap offsets of texts for 1001, 1003, 1004, 1007 and 1008); 0 after an error.
LRESULT ServeDialogProcOptions(BDS* ctx, Dialog6Record* dlg, HWND dialog, int32_t option, const resultants* value);

// Options whose answer is a text: the kind of the heap offset they answer.
enum OptionAnswer { ANSWER_INTEGER, ANSWER_NARROW, ANSWER_WIDE };
OptionAnswer DialogOptionAnswerKind(int32_t option);
