// The entry list's order: display names sorted with a fixed, locale-free,
// case-insensitive comparison.
#include "pak/pak.h"

#include "base/ascii.h"

#include <algorithm>
#include <cstring>
#include <string>

int Pak_CompareLines(const char *a, const char *b)
{
    return Ascii_Compare(a, b);
}

std::vector<int> Pak_SortedLines(const PakArchive &archive)
{
    // The lines are folded once into one buffer and sorted by plain byte
    // comparison, which orders them exactly as Pak_CompareLines does but keeps
    // 100,000 lines well within the time a list may take to appear.
    struct Key {
        uint32_t offset;
        uint32_t length;
        int slot;
    };
    std::vector<Key> keys;
    std::string folded;
    keys.reserve(archive.entries.size());
    folded.reserve(archive.entries.size() * 32);
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const char *line = archive.entries[i].displayName;
        if (line[0] == '\0')
            continue;
        const size_t length = strnlen(line, sizeof archive.entries[i].displayName);
        keys.push_back({static_cast<uint32_t>(folded.size()), static_cast<uint32_t>(length), static_cast<int>(i)});
        for (size_t k = 0; k < length; ++k)
            folded += static_cast<char>(Ascii_Fold(static_cast<unsigned char>(line[k])));
    }
    // Lines are unique (the record number is part of the text); ties between
    // lines equal but for case fall back to record order.
    const char *base = folded.data();
    std::sort(keys.begin(), keys.end(), [base](const Key &x, const Key &y) {
        int c = memcmp(base + x.offset, base + y.offset, std::min(x.length, y.length));
        if (c != 0)
            return c < 0;
        if (x.length != y.length)
            return x.length < y.length;  // a prefix sorts first, as its NUL would
        return x.slot < y.slot;
    });
    std::vector<int> lines;
    lines.reserve(keys.size());
    for (const Key &key : keys)
        lines.push_back(key.slot);
    return lines;
}
