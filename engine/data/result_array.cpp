// Arrays made as results of built-ins outside the array family.
#include "engine/core/text_length.h"
#include "engine/data/result_array.h"

#include <cstring>
#include <cwchar>

#include "engine/data/array_internal.h"

ResultArray::~ResultArray()
{
    if (owned_) {
        uint64_t holder = made_.str;
        ReleaseArray(ctx_, &holder, 0);
    }
}

bool ResultArray::Make(uint32_t d1, uint32_t d2, uint32_t d3, int given)
{
    if (CreateMyArray(ctx_, &made_, d1, d2, d3, 0, 0, 0, given) < 0)
        return false;
    owned_ = true;
    return true;
}

ArrayElement* ResultArray::At(uint32_t i, uint32_t j, uint32_t k)
{
    ArrayHeader* array = owned_ ? ValueArray(&made_) : nullptr;
    if (!IsElementArray(array))
        return nullptr;
    uint32_t subscripts[MAX_ARRAY_DIMS] = {i, j, k, 0, 0};
    return ArrayElementAt(array, subscripts);
}

// An element about to take a value: what it held is released first.
ArrayElement* ResultArray::FreeElement(uint32_t i, uint32_t j, uint32_t k)
{
    ArrayElement* element = At(i, j, k);
    if (!element) {
        SetError(ctx_, ERR_ARRAY_ACCESS);
        return nullptr;
    }
    if (element->flags)
        FreeValue(ctx_, element, 0, VK_ELEMENT);
    std::memset(static_cast<ValueHead*>(element), 0, sizeof(ValueHead));
    return element;
}

bool ResultArray::SetText(const char* text, uint32_t i, uint32_t j, uint32_t k)
{
    ArrayElement* element = FreeElement(i, j, k);
    return element && arrays::StoreElementText(ctx_, *element, text, TextLength(text));
}

bool ResultArray::SetWText(const wchar_t* text, uint32_t i, uint32_t j, uint32_t k)
{
    ArrayElement* element = FreeElement(i, j, k);
    return element && arrays::StoreElementText(ctx_, *element, text, TextLength(text));
}

bool ResultArray::SetInt(int32_t value, uint32_t i, uint32_t j, uint32_t k)
{
    ArrayElement* element = FreeElement(i, j, k);
    if (!element)
        return false;
    element->i32 = value;
    element->flags = VF_INT;
    return true;
}

void ResultArray::HandTo(resultants* result)
{
    if (!owned_)
        return;
    arrays::SetResultArray(ctx_, result, made_);
    owned_ = false;
}
