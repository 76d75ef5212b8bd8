// The pieces the report-view files share: rows, cells, keys, columns and error reports.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;
struct ValueHead;

constexpr int RV_TEXT_CHARS = 2050;     // cells move through buffers of this size

int RvRowCount(HWND view);
int RvColumnCount(HWND view);
// The cell's text (at most RV_TEXT_CHARS - 1 characters).
std::wstring RvCellText(HWND view, int row, int column);
// A column's header text.
std::wstring RvHeaderText(HWND view, int column);
// A new last row with the first cell's text and no item data; its index, or -1.
int RvInsertRow(HWND view, const std::wstring& first);
bool RvSetCell(HWND view, int row, int column, const std::wstring& text);
// A row's item data (its colour block, or 0), read and written with the engine's marker.
LPARAM RvItemData(HWND view, int row);
bool RvSetItemData(HWND view, int row, LPARAM data);

// The row key of a row, and the row a key names (-1: none).
std::wstring RvRowKey(HWND view, int row);
int RvFindRow(HWND view, const std::wstring& key);

// Sets the error and reports it naming the control; answers 0.
int RvFail(BDS* ctx, const DialogControlRecord* control, uint16_t number);

// Deletes every column and inserts `count` new ones, left-aligned, sharing the control's
// width (at least 50 pixels each), with the header texts of `headers` (tab-separated) or
// empty ones.
void RvRecreateColumns(HWND view, int count, const std::wstring& headers);
// Sorts by a column when the control has a sort option (1), else records column 0 as the
// sorted one. 0 with the error reported.
int RvSortAfterFill(BDS* ctx, DialogControlRecord* control, int column);
int RvSort(BDS* ctx, DialogControlRecord* control, int column);

// Rows as a new array in `made` (rows by columns, one dimension below two columns, the
// header texts first with @csincheader): every row, the selected, the checked, or those
// whose first cell equals one of the tab-separated texts of `find`. 0 with the error set.
enum class RvRows { all, selected, checked, found };
int RvRowsToArray(BDS* ctx, DialogControlRecord* control, RvRows which, const std::wstring& find, ValueHead& made);

// The tab-separated fields of a text (an empty text gives one empty field).
std::vector<std::wstring> RvTabFields(const std::wstring& text);
// The text without its trailing blanks and tabs.
std::wstring RvTrimRight(std::wstring text);

// ---- the operations behind the requests (each 1, or 0 with the error reported)
int ReportViewSetContents(BDS* ctx, DialogControlRecord* control, const ValueHead* value);
int ReportViewFillFromFile(BDS* ctx, DialogControlRecord* control, const std::wstring& file);
int ReportViewAddItemsArray(BDS* ctx, DialogControlRecord* control, const ValueHead* value);
int ReportViewAddItemText(BDS* ctx, DialogControlRecord* control, const std::wstring& text);

int ReportViewHeaderSet(BDS* ctx, DialogControlRecord* control, const std::wstring& texts);
std::wstring ReportViewHeaderGet(HWND view);
// Widths (formats false) or formats (true): blank-separated numbers.
int ReportViewColWidthSet(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, const std::wstring& values,
                          bool formats);
std::wstring ReportViewColWidthGet(const Dialog6Record* dlg, HWND view, bool formats);
int ReportViewAppendColumn(BDS* ctx, DialogControlRecord* control, const std::wstring& header);
int ReportViewRemoveColumn(BDS* ctx, DialogControlRecord* control, int32_t number);

int ReportViewSetItemColor(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, const std::string& text);
int ReportViewGetItemColor(BDS* ctx, DialogControlRecord* control, const std::string& text, std::string& out);
// NM_CUSTOMDRAW of the view: the answer for the stage.
LRESULT ReportViewCustomDraw(NMLVCUSTOMDRAW* draw);
// LVN_DELETEITEM: the row's colour block leaves the list and is freed.
void ReportViewRowDeleted(DialogControlRecord* control, LPARAM itemData);
