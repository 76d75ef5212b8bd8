// An array that a built-in fills as its result: made with its dimensions, filled element by
// element, then handed to the result record; an array never handed over is released when
// the builder goes out of scope, so a failure half-way leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"
#include "engine/data/array.h"

class ResultArray {
public:
    explicit ResultArray(BDS* ctx) : ctx_(ctx) {}
    ~ResultArray();
    ResultArray(const ResultArray&) = delete;
    ResultArray& operator=(const ResultArray&) = delete;

    // Makes the array: `given` dimensions of the sizes d1..d3 (d1 0 makes an empty array).
    // False with the array error set (1628-1644).
    bool Make(uint32_t d1, uint32_t d2 = 0, uint32_t d3 = 0, int given = 1);

    // The element at the subscripts (unused ones 0); null when outside the array.
    ArrayElement* At(uint32_t i, uint32_t j = 0, uint32_t k = 0);

    // Stores into an element; false with 3096 (string heap full) or 1637 (no such element).
    bool SetText(const char* text, uint32_t i, uint32_t j = 0, uint32_t k = 0);
    bool SetWText(const wchar_t* text, uint32_t i, uint32_t j = 0, uint32_t k = 0);
    bool SetInt(int32_t value, uint32_t i, uint32_t j = 0, uint32_t k = 0);

    // The result takes the array over.
    void HandTo(resultants* result);

private:
    ArrayElement* FreeElement(uint32_t i, uint32_t j, uint32_t k);

    BDS* ctx_;
    ValueHead made_{};
    bool owned_ = false;
};
