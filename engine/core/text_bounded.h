// Bounded text copies that never split a double-byte character.
//
// `size` counts the whole target buffer: bytes for the narrow forms, characters for the
// wide ones. The target is always terminated (when size > 0). A null target or source
// sets error 3098 and writes nothing. Each answers the target's resulting length.
#pragma once

#include <cstddef>

struct BDS;

size_t CopyStringBoundedA(BDS* ctx, char* target, const char* source, size_t size);
size_t CopyStringBoundedW(BDS* ctx, wchar_t* target, const wchar_t* source, size_t size);
size_t AppendStringBoundedA(BDS* ctx, char* target, const char* source, size_t size);
size_t AppendStringBoundedW(BDS* ctx, wchar_t* target, const wchar_t* source, size_t size);
