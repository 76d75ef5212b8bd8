// IntControl(request, p1, p2, p3, p4): the script's switchboard into the engine's settings
// and a few system actions. Each area serves its requests from a table of rows; requests the
// engine leaves to its host (2, 3, 6, 9-11, 14-19, 27, 55, 86, 95 and every number outside
// 1-102) go to the host's "intcontrol" function. Every other number has exactly one row.
//
// The answer is always text. It starts as "1"; a request that answers something else
// writes over it. A request that sets a field answers the field's value from before the
// call, and an out-of-range value leaves the field, so it only reads it.
#pragma once

#include <cstdint>

struct BDS;
struct resultants;

// A request as the handlers see it: the four parameters as texts and as numbers (the first
// 18 characters read as an optionally signed decimal number; other text reads as 0).
struct IntControlRequest {
    int32_t number;
    const char* text[5];   // text[1..4]; never null
    int32_t p[5];          // p[1..4]
};

using IntControlHandler = void (*)(BDS* ctx, resultants* result, const IntControlRequest& request);

struct IntControlRow {
    int32_t request;
    IntControlHandler run;
};

// Each area lists its rows; intcontrol.cpp gathers them.
struct IntControlFamily {
    const char* name;
    const IntControlRow* rows;
    int count;
};

// Runs one request; the outcome is the result text or the context's error number.
void DoIntControl(BDS* ctx, resultants* result, int32_t request, const char* p1, const char* p2,
                  const char* p3, const char* p4);

// True for the requests that belong to the host.
bool IsHostIntControlRequest(int32_t request);
// The areas' tables, for the check that every request has its row.
const IntControlFamily* const* IntControlFamilies(int* count);

// Answers for handlers: a decimal number, or a text.
void IntControlAnswer(BDS* ctx, resultants* result, int64_t number);
void IntControlAnswerText(BDS* ctx, resultants* result, const char* text);
