// The dialog error report.
#include "engine/dialog/dialog_report.h"

#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/dialog/dialog_text.h"
#include "engine/files/settings.h"

namespace {

constexpr size_t SHORT_TEXT_MAX = 255;
constexpr size_t LONG_TEXT_MAX = 511;

}  // namespace

void DialogErrorReport(BDS* ctx, int number, const char* name, const char* value)
{
    std::string what;
    if (name && value)
        what = std::string(ctx->dlg.name) + name + "=`" + value + "`";
    else if (name)
        what = name;
    else if (value)
        what = value;

    std::string shortText = std::to_string(number) + " (" + what + ")";
    if (shortText.size() > SHORT_TEXT_MAX)
        shortText.resize(SHORT_TEXT_MAX);
    WriteSettingsIni(ctx, "Dialog Template", "LastError", shortText.c_str());

    if (number != 0 && (name || value)) {
        char message[TEXTBUF] = {};
        LoadMyString(ctx, EngineModule(), number, message, sizeof message);
        std::string longText = std::string(message) + ":\n\n    " + what;
        if (longText.size() > LONG_TEXT_MAX)
            longText.resize(LONG_TEXT_MAX);
        AppendExtendedError(ctx, longText.c_str());
    }
}

void DialogErrorReportW(BDS* ctx, int number, const wchar_t* name, const wchar_t* value)
{
    std::string n = NarrowFromWide(ctx, name), v = NarrowFromWide(ctx, value);
    DialogErrorReport(ctx, number, name ? n.c_str() : nullptr, value ? v.c_str() : nullptr);
}

int DialogFail(BDS* ctx, uint16_t number, const char* name, const char* value)
{
    SetError(ctx, number);
    DialogErrorReport(ctx, number, name, value);
    return 0;
}

int DialogFailW(BDS* ctx, uint16_t number, const char* name, const wchar_t* value)
{
    SetError(ctx, number);
    std::string v = NarrowFromWide(ctx, value);
    DialogErrorReport(ctx, number, name, value ? v.c_str() : nullptr);
    return 0;
}

int DialogFailNumber(BDS* ctx, uint16_t number, int32_t detail)
{
    std::string text = "--> " + std::to_string(detail);
    return DialogFail(ctx, number, nullptr, text.c_str());
}
