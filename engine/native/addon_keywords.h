// The process-wide table of add-on function records that extender libraries add
// (ids 10000 + index); ctx->nNextExtEntry counts the records in use.
#pragma once

#include "engine/core/keyword.h"

extern KeywordRecord g_AddonKeywords[ADDON_COUNT];
