// The array, map, search, text and file built-ins as one family of the dispatch table
// (ArrDimension is served inside the dispatch itself).
#include "engine/data/array_internal.h"

namespace {

const BuiltinRow kRows[] = {
    {261, ArrayFileGetCase},       // arrayfileget
    {262, ArrayFileGetCsvCase},    // arrayfilegetcsv
    {263, ArrayFilePutCase},       // arrayfileput
    {264, ArrayFilePutCsvCase},    // arrayfileputcsv
    {265, ArrayFromStrCase},       // arrayfromstr
    {266, ArrayInsertCase},        // arrayinsert
    {267, ArrayItemizeCase},       // arrayitemize
    {268, ArrayizeCase},           // arrayize
    {269, ArrayLocateCase},        // arraylocate
    {270, ArrayRedimCase},         // arrayredim
    {271, ArrayRemoveCase},        // arrayremove
    {272, ArrayReverseCase},       // arrayreverse
    {273, ArraySearchCase},        // arraysearch
    {274, ArraySliceCase},         // arrayslice
    {275, ArraySortCase},          // arraysort
    {276, ArraySwapElementsCase},  // arrayswapelements
    {277, ArrayToStrCase},         // arraytostr
    {279, ArrInfoCase},            // arrinfo
    {280, ArrInitializeCase},      // arrinitialize
    {560, MapCreateCase},          // mapcreate
    {561, MapFileGetCsvCase},      // mapfilegetcsv
    {562, MapFilePutCsvCase},      // mapfileputcsv
    {563, MapKeyExistCase},        // mapkeyexist
    {564, MapKeyFindCase},         // mapkeyfind
    {565, MapKeyRemoveCase},       // mapkeyremove
    {566, MapKeysGetCase},         // mapkeysget
    {567, MapValuesGetCase},       // mapvaluesget
};

}  // namespace

extern const BuiltinFamily g_ArrayBuiltins = {"arrays", kRows, sizeof kRows / sizeof kRows[0]};
