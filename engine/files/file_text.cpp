// Small text helpers of the file built-ins (file-name conversions, heap-text results).
#include "engine/files/file_text.h"

#include "engine/core/context.h"

std::wstring FileNameToWide(const char* name, UINT codePage)
{
    std::wstring out;
    if (!name || !*name)
        return out;
    int units = MultiByteToWideChar(codePage, 0, name, -1, nullptr, 0);
    if (units <= 1)
        return out;
    out.resize(static_cast<size_t>(units));
    MultiByteToWideChar(codePage, 0, name, -1, out.data(), units);
    out.resize(static_cast<size_t>(units - 1));
    return out;
}

std::string FileNameToAnsi(const std::wstring& name, UINT codePage)
{
    std::string out;
    if (name.empty())
        return out;
    int bytes = WideCharToMultiByte(codePage, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return out;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(codePage, 0, name.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

void SetResultHeapText(BDS* ctx, resultants* result, uint64_t offset)
{
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    result->flags = VF_STRING;
    result->str = offset;
}

void SetResultHeapWText(BDS* ctx, resultants* result, uint64_t offset)
{
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    result->flags = VF_UNICODE;
    result->wstr = offset;
}
