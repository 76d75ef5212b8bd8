// The walker of a delimited item list, shared by the item-list built-ins: the character
// walker of text.h (ANSI by character in the system's ANSI code page, wide by UTF-16 unit) and
// the one-character delimiter, so a delimiter never matches a trail byte and a double-byte
// delimiter matches only as a whole.
#pragma once

#include "engine/data/text.h"

// A list walker: the character walker and the one-character delimiter.
template <typename W, typename C = typename W::Char>
struct Items {
    const W& w;
    const C* delimiter;

    // Equal characters begin with equal units: the walker is asked only when they do.
    bool isDelimiter(const C* p) const { return *p && *p == *delimiter && w.same(p, delimiter, false); }

    // The end of the item that begins at p: its delimiter or the list's end.
    const C* itemEnd(const C* p) const
    {
        while (*p && !isDelimiter(p)) p += w.size(p);
        return p;
    }

    // Past the delimiter at p (p is the end of an item).
    const C* after(const C* p) const { return *p ? p + w.size(p) : p; }

    int count(const C* list) const
    {
        if (!*list) return 0;
        int n = 1;
        for (const C* p = list; *p; p += w.size(p))
            if (isDelimiter(p)) ++n;
        return n;
    }
};
