// The walk over a menu file's lines that building and finding a command share: titles are
// taken with one line of look-ahead (code after a title makes it a command, a deeper title
// makes it a pop-up), and every line the structure does not allow ends the walk with its
// message. Also the menu error boxes and the drop of earlier status texts.
#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/ui/menu_file.h"
#include "engine/ui/message_box.h"

namespace {

constexpr int MSG_NO_TOP_TITLE = 512;              // "Need First level menu title.  Not found."
constexpr int MSG_UNDEFINED = 503;                 // "Undefined error code -> "
// A title at level 1-4 followed by neither code nor a deeper title.
constexpr int kTitleErrors[MENU_LEVELS] = {514, 519, 521, 580};
// Code under a title at level 1-4 followed by a deeper title.
constexpr int kCodeErrors[MENU_LEVELS] = {515, 520, 579, 581};

int Emit(MenuEventFn onEvent, void* user, MenuEventKind kind, int level, const MenuLine* title = nullptr,
         const MenuLine* next = nullptr, const char* begin = nullptr, const char* end = nullptr)
{
    MenuEvent event{kind, level, title ? *title : MenuLine{}, next ? *next : MenuLine{}, begin, end};
    return onEvent(user, event);
}

}  // namespace

int WalkMenu(const char* text, size_t length, MenuEventFn onEvent, void* user, MenuLine* badLine)
{
    size_t pos = 0;
    MenuLine line{};
    if (!NextMenuLine(text, length, &pos, &line))
        return MENU_WALK_EMPTY;

    // The start-up code: every code line before the first title.
    const char* startupBegin = line.text;
    while (line.kind == MENU_LINE_CODE) {
        if (!NextMenuLine(text, length, &pos, &line)) {
            if (int r = Emit(onEvent, user, MENU_EVENT_STARTUP, 0, nullptr, nullptr, startupBegin, text + length))
                return r;
            *badLine = line;
            return MSG_NO_TOP_TITLE;
        }
    }
    if (int r = Emit(onEvent, user, MENU_EVENT_STARTUP, 0, nullptr, nullptr, startupBegin,
                     line.text > startupBegin ? line.text : startupBegin))
        return r;
    if (line.level != 1) {
        *badLine = line;
        return MSG_NO_TOP_TITLE;
    }

    int openLevels = 0;   // the pop-ups of levels 1..openLevels are open
    auto closeDownTo = [&](int level) {
        for (; openLevels >= level; --openLevels)
            if (int r = Emit(onEvent, user, MENU_EVENT_CLOSE_POPUP, openLevels))
                return r;
        return 0;
    };
    for (;;) {
        MenuLine title = line;
        MenuLine next{};
        bool more = NextMenuLine(text, length, &pos, &next);
        if (more && next.kind == MENU_LINE_CODE) {
            MenuLine firstCode = next, lastCode = next;
            while (more && next.kind == MENU_LINE_CODE) {
                lastCode = next;
                more = NextMenuLine(text, length, &pos, &next);
            }
            // The code ends with its last code line and that line's end; comments after it
            // (and the position markers of included files) stay out.
            const char* codeEnd = lastCode.end;
            if (int r = Emit(onEvent, user, MENU_EVENT_COMMAND, title.level, &title, &firstCode, firstCode.text, codeEnd)) {
                *badLine = title;
                return r;
            }
            if (!more)
                return closeDownTo(1);
            if (next.level > title.level) {
                *badLine = next;
                return kCodeErrors[title.level - 1];
            }
            if (int r = closeDownTo(next.level)) {
                *badLine = next;
                return r;
            }
            line = next;
            continue;
        }
        if (more && title.level < MENU_LEVELS && next.level == title.level + 1) {
            if (int r = Emit(onEvent, user, MENU_EVENT_OPEN_POPUP, title.level, &title, &next)) {
                *badLine = title;
                return r;
            }
            openLevels = title.level;
            line = next;
            continue;
        }
        *badLine = more ? next : title;
        return kTitleErrors[title.level - 1];
    }
}

void ShowMenuMessage(BDS* ctx, HWND owner, const char* title, int message)
{
    char text[512];
    if (!LoadMyString(ctx, EngineModule(), message, text, sizeof text)) {
        char lead[128] = "";
        LoadMyString(ctx, EngineModule(), MSG_UNDEFINED, lead, sizeof lead);
        std::snprintf(text, sizeof text, "%s%03d", lead, message);
    }
    ShowMessageBox(ctx, owner, text, title ? title : "", MB_SETFOREGROUND);
}

void ShowMenuLine(BDS* ctx, HWND owner, const MenuLine& line, int titleMessage)
{
    char title[256] = "";
    LoadMyString(ctx, EngineModule(), titleMessage, title, sizeof title);
    char text[MENU_LINE_MAX + 1];
    size_t n = line.text ? line.length : 0;
    if (n)
        std::memcpy(text, line.text, n);
    text[n] = 0;
    ShowMessageBox(ctx, owner, text, title, MB_SETFOREGROUND);
}

void DropStatusTextVariables(BDS* ctx)
{
    if (!ctx->pVars)
        return;
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i) {
        VariableEntry& v = ctx->pVars[i];
        if (v.name[0] != '%' || v.flags == 0)
            continue;
        FreeValue(ctx, &v, static_cast<int>(i), VK_ARGUMENT);
        v.flags = 0;
        std::memset(v.name, 0, sizeof v.name);
        v.flag = 0;
    }
    while (ctx->nVarUsed > 1 && ctx->pVars[ctx->nVarUsed - 1].flags == 0 && !ctx->pVars[ctx->nVarUsed - 1].name[0])
        --ctx->nVarUsed;
}
