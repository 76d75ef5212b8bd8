// Storage of the add-on function table; AddExtender fills it.
#include "engine/native/addon_keywords.h"

KeywordRecord g_AddonKeywords[ADDON_COUNT];
