// The context's extension rows: the functions that extender libraries add (ids 10000 +
// row). The rows are made by the first AddExtender; BDS::nNextExtEntry counts those in use.
#pragma once

#include "engine/core/context.h"
#include "engine/core/keyword.h"

// The rows, or null while no extender was added.
inline KeywordRecord* AddonRows(const BDS* ctx) { return ctx->native.pAddonRows; }

// Makes the rows (ADDON_COUNT zeroed records) unless they exist; false with 1631.
bool AddonRowsEnsure(BDS* ctx);
// Frees the rows; the row count becomes 0.
void AddonRowsFree(BDS* ctx);
