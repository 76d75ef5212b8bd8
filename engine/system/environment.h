// The process environment built-ins (Environment, EnvironSet, EnvItemize) and the hash of
// wide texts that the core's value hashing uses.
#pragma once

#include <cstdint>

struct BDS;

// FNV-1a over the 16-bit units of a NUL-terminated wide text: from 0x811C9DC5, each unit
// XORed in and the sum multiplied by 16777619 (mod 2^32). "" hashes to the start value.
uint32_t Fnv1aHashW(const wchar_t* text);

// Frees the context's private environment block, when there is one (none is made by
// this engine: the built-ins work on the process environment).
void EnvironmentBlockFree(BDS* ctx);
