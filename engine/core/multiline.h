// Multi-line string literals: $" opens a text that may run over the following script
// lines up to the next $"; inside it "::" stands for ":" and "##" for "#".
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

enum : uint16_t {
    ERR_ML_UNCLOSED = 3059,
    ERR_ML_BAD_CHARACTER = 3605,
    ERR_LINE_TOO_LONG = 3722,
    ERR_LOCK_MEMORY = 1588,
};

// Reads the literal whose opening marker was the last token (prog stands behind it). On
// success the result (when not null) holds the text, prog stands behind the closing marker
// and the statement line's remainder is what follows it; continuation lines are read from
// `site` (null: ctx->run.site) and *site->pos moves past them. On failure the statement
// line is restored and the error set. Answers 1 or 0.
int ParseMultilineString(BDS* ctx, resultants* result, RunSite* site);

// Reads the next line of the scrambled script at *pos (up to and including its LF) into
// line (size bytes), with %name% substitution. Answers 0 at the end of the script, else 1.
// A line over 2049 characters is cut and 3722 noted in *pendingError (first error only).
int ReadContinuationLine(BDS* ctx, char* line, size_t size, const uint8_t* script,
                         uint32_t* pos, uint8_t key, uint32_t end, uint16_t* pendingError);

// Moves prog behind the next $" of the rest of the line that lies outside quotes and
// before a ';' comment: 1, else 0 (prog unchanged).
int FindMultilineMarker(BDS* ctx);
