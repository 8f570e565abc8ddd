// The entry list's order: display names sorted with a fixed, locale-free,
// case-insensitive comparison.
#include "pak/pak.h"

#include <algorithm>

static inline unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

int Pak_CompareLines(const char *a, const char *b)
{
    const auto *pa = reinterpret_cast<const unsigned char *>(a);
    const auto *pb = reinterpret_cast<const unsigned char *>(b);
    for (;; ++pa, ++pb) {
        unsigned char ca = FoldAscii(*pa), cb = FoldAscii(*pb);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

std::vector<int> Pak_SortedLines(const PakArchive &archive)
{
    std::vector<int> lines;
    lines.reserve(archive.entries.size());
    for (size_t i = 0; i < archive.entries.size(); ++i)
        if (archive.entries[i].displayName[0] != '\0')
            lines.push_back(static_cast<int>(i));
    // Lines are unique (the record number is part of the text); ties between
    // lines equal but for case fall back to record order.
    std::sort(lines.begin(), lines.end(), [&](int x, int y) {
        int c = Pak_CompareLines(archive.entries[x].displayName, archive.entries[y].displayName);
        return c != 0 ? c < 0 : x < y;
    });
    return lines;
}
