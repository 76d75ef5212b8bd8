// Map keys: how a map tells its keys apart without regard to case, and the hash that places
// them in its buckets.
//
// A map folds its keys by one of two rules, fixed while it holds any key:
// - byte by byte (rule 0): every byte lower-cased as the system's CharLowerA lower-cases it
//   alone, the hash FNV-1a over those bytes, two keys the same when their hashes are and
//   lstrcmpiA finds them equal. This is the rule under every single-byte code page.
// - by characters, under a code page whose characters take several bytes (UTF-8 or a
//   double-byte code page), taken from ChrSetCodePage or else from the system when the map
//   takes its first key. Folding single bytes there takes bytes of different
//   characters for case pairs: the UTF-8 bytes of E-circumflex (C3 8A) and U-acute (C3 9A)
//   differ only in a byte that CharLowerA of code page 1252 folds from 8A (S-caron) to 9A
//   (s-caron), and a double-byte character's trail byte may be an ASCII letter. Two
//   different keys became one, and a script counting words lost counts. So each character
//   of a key is folded whole (its UTF-16 form lower-cased) and two keys are the same when
//   their folded characters are: e-acute and E-acute are one key, E-circumflex and U-acute
//   two. An ASCII character folds as under rule 0 and feeds the hash the same byte, so a
//   key of pure ASCII hashes, compares and iterates exactly as under rule 0. A byte that
//   begins no character of the code page stands for itself, folded as CharLowerA folds it
//   alone (as rule 0 did), and never equals a character. Under another multi-byte code
//   page (UTF-7, GB18030), whose characters are read by no rule here, a key with a byte
//   from 0x80 up is compared byte for byte.
// Keys of pure ASCII, and every key under a single-byte code page, therefore land in the
// same buckets in the same order as they always did, and map files keep their order.
#pragma once

#include <cstdint>

struct BDS;

// The code page whose characters a map that takes its first key now folds its keys by: the
// context's code page (ChrSetCodePage), else the system's ANSI one, when its characters take
// several bytes; 0 (rule 0) otherwise.
uint32_t MapKeyCodePage(BDS* ctx);

// The hash of a key under the rule of `codePage` (0: rule 0).
uint32_t MapKeyHash(uint32_t codePage, const char* key);

// Whether two keys are the same key under the rule of `codePage`; the caller has found their
// hashes equal.
bool MapKeysEqual(uint32_t codePage, const char* a, const char* b);
