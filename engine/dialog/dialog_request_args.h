// The values that the control requests of a running dialog take and give: a request's
// value converted to the form its code needs, answers written into the result record, and
// the refusal of a request that the control's type does not serve.
#pragma once

#include <cstdint>
#include <string>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;
struct resultants;

// The value as an integer (a decimal text is accepted); false without an error (the
// error number is left as it was).
bool DialogValueInteger(BDS* ctx, const resultants* value, int32_t* out);
// The value as wide text (false with 3820) and as ANSI text (false with 3056); neither
// reports.
bool DialogValueWide(BDS* ctx, const resultants* value, std::wstring& out);
bool DialogValueNarrow(BDS* ctx, const resultants* value, std::string& out);

// The result becomes the text; false with 3096 reported.
bool AnswerWide(BDS* ctx, resultants* result, const std::wstring& text);
bool AnswerNarrow(BDS* ctx, resultants* result, const std::string& text);

// 3975 "Request not supported by control" with the control's number (6.1) or name (6.2);
// answers 0.
int RefuseForControl(BDS* ctx, const Dialog6Record* dlg, const DialogControlRecord* control);

// A colour as the requests show it: "rrr|ggg|bbb".
std::string ColorText(uint32_t color);
