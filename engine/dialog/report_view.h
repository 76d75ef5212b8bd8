// The REPORTVIEW control: the system list view in report view, filled from script arrays,
// maps, CSV files and tab-delimited text, read back as arrays, with the row keys by which
// scripts name rows, selection and check boxes, columns, per-cell colours and sorting.
//
// A row key is the row's first-column text; the k-th row (from the top) whose first-column
// text equals that of earlier rows (any case) has that text k times, tab-separated, as key.
//
// Per-cell colours live in RowColorBlocks on the process heap, one a row that has colours:
// the row's item data points at its block, and the control keeps every block in one doubly
// linked list. A block is freed when its row is deleted (LVN_DELETEITEM) or with the control.
// Because item data carries these pointers, the engine's own set-item and insert-item
// messages pass the marker REPORT_ITEM_MARKER as wParam; the control's subclass strips the
// item data from every other such request.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;
struct resultants;

constexpr WPARAM REPORT_ITEM_MARKER = 0xBAD00BAD;

struct RowColorBlock {
    RowColorBlock* previous;
    RowColorBlock* next;
    uint32_t count;              // column entries that follow
    uint32_t reserved;
    // count pairs (text colour, back colour) follow; NO_COLOR = not set
    COLORREF* Entry(uint32_t column) { return reinterpret_cast<COLORREF*>(this + 1) + 2 * column; }
};

// Whether the list view shows the report view (the requests are served only then).
bool IsReportMode(HWND view);

// The creator's fill: from the Text (a CSV file) or the control's variable; a variable
// that gives nothing shows the "Error:" rows, and one without a value becomes an empty
// array. 1, or 0 with the error reported.
int ReportViewFill(BDS* ctx, Dialog6Record* dlg, int index, HWND view);

// The DialogControlGet and DialogControlSet requests on a report view (codes of the
// requests). Get writes the answer into `result` (1, or 0 with the error reported); Set
// answers the request's answer (0 with the error reported). `fourth` is the optional
// fourth argument of DialogControlGet; `value` the new value of DialogControlSet.
int ReportViewGet(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, uint32_t code,
                  const resultants* fourth, resultants* result);
int ReportViewSet(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, uint32_t code,
                  const resultants* value);

// The view's notifications (WM_NOTIFY): true when answered, with *answer.
bool ReportViewNotify(Dialog6Record* dlg, HWND dialog, int index, const NMHDR* header, LRESULT* answer);
// The write-back: the selected rows as an array into the control's variable.
int ReportViewStoreSelection(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control);
// The control's subclass: true when the message was answered (*answer); may rewrite it.
bool ReportViewSubclassMessage(DialogControlRecord* control, HWND view, UINT message, WPARAM wParam,
                               LPARAM lParam, WNDPROC previous, LRESULT* answer);
// Frees every colour block the control still holds.
void ReportViewFreeColors(DialogControlRecord* control);

// The comparison of two cell texts in a sort: numbers as numbers, other texts with
// lstrcmpA, or with the logical comparison when one is given.
using LogicalCompare = int(WINAPI*)(const wchar_t*, const wchar_t*);
int ReportViewCompareTexts(BDS* ctx, const std::wstring& a, const std::wstring& b, LogicalCompare logical);
