// The CSV dialect: delimiter rule, field counting and splitting one field.
#include "engine/data/csv_line.h"

#include "engine/data/array_internal.h"

namespace {

enum FieldState { START, TEXT, QUOTED, CLOSED };

bool IsBlank(char c, char delimiter) { return c == ' ' || (c == '\t' && delimiter != '\t'); }

}  // namespace

bool CsvDelimiterValid(const char* delimiter)
{
    char c = delimiter[0];
    return c != 0 && delimiter[1] == 0 && c != ' ' && c != '"' && c != '\r' && c != '\n';
}

int64_t CsvFieldCount(const char* line, char delimiter)
{
    if (!*line) return 0;
    int64_t fields = 1;
    FieldState state = START;
    for (const char* p = line; *p;) {
        int step = arrays::AnsiCharBytes(p);
        char c = *p;
        if (state == QUOTED) {
            if (c == '"') {
                if (p[1] == '"') {
                    p += 2;
                    continue;
                }
                state = CLOSED;
            }
        } else if (c == delimiter && step == 1) {
            ++fields;
            state = START;
        } else if (c == '"') {
            if (state != START) return -1;
            state = QUOTED;
        } else if (!IsBlank(c, delimiter)) {
            if (state == CLOSED) return -1;
            state = TEXT;
        }
        p += step;
    }
    return state == QUOTED ? -1 : fields;
}

int CsvSplitField(BDS* ctx, const char** position, int options, char delimiter, JoinBuffer<char>* field)
{
    const char* p = *position;
    field->length = 0;
    if (field->data) field->data[0] = 0;
    if (!*p) return 0;
    bool keepBlanks = (options & CSV_KEEP_BLANKS) != 0;
    FieldState state = START;
    size_t kept = 0;  // length without trailing blanks
    auto add = [&](const char* text, size_t n) { return JoinAppend(ctx, field, text, n) != 0; };
    while (*p) {
        int step = arrays::AnsiCharBytes(p);
        char c = *p;
        if (state == QUOTED) {
            if (c == '"') {
                if (p[1] == '"') {
                    if (!add(p, 1)) return -2;
                    p += 2;
                    continue;
                }
                state = CLOSED;
                ++p;
                continue;
            }
            if (!add(p, static_cast<size_t>(step))) return -2;
            p += step;
            continue;
        }
        if (c == delimiter && step == 1) break;
        if (c == '"') {
            if (state != START) return -1;
            state = QUOTED;
            field->length = 0;  // blanks before the opening quote are not part of it
        } else if (IsBlank(c, delimiter)) {
            if (state == TEXT || (state == START && keepBlanks))
                if (!add(p, 1)) return -2;
        } else {
            if (state == CLOSED) return -1;
            state = TEXT;
            if (!add(p, static_cast<size_t>(step))) return -2;
            kept = field->length;
        }
        p += step;
    }
    if (state == QUOTED) return -1;
    if (state == TEXT && !keepBlanks) field->length = kept;
    if (state == START && !keepBlanks) field->length = 0;
    if (!JoinAppend(ctx, field, "", 0)) return -2;  // terminates the text
    *position = *p ? p + 1 : p;
    return 1;
}
