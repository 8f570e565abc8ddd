// ASCII case folding: the one rule by which names and texts are compared with
// case ignored. Only 'A'-'Z' fold (to 'a'-'z'); every other byte, UTF-8 and
// Latin-1 alike, stays as it is, whatever the locale says.
//
// Separators. The game names folders with '\' and users type '/'. Where typed
// text is matched against names (globs, the find bar, --match) the two are one
// separator: Ascii_FoldName reads '\' as '/'. Orders never fold separators: the
// list's order and the orders that must agree with it (where a new entry is
// stored, a folder's archives, the pairing of diff) compare bytes with case
// folded only, so that a name written with '/' sits where the list shows it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The byte with ASCII upper case made lower.
constexpr unsigned char Ascii_Fold(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The byte as names are matched: case folded, and '\' read as '/'.
constexpr unsigned char Ascii_FoldName(unsigned char c)
{
    return c == '\\' ? '/' : Ascii_Fold(c);
}

// The order of texts with case folded: by their first folded byte that differs,
// a text before every longer one that it begins.
inline int Ascii_Compare(std::string_view a, std::string_view b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = Ascii_Fold(static_cast<unsigned char>(a[i]));
        const unsigned char y = Ascii_Fold(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Whether two texts are equal with case folded.
inline bool Ascii_Equal(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && Ascii_Compare(a, b) == 0;
}

// The text with case folded.
inline std::string Ascii_Folded(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(Ascii_Fold(static_cast<unsigned char>(c)));
    return text;
}
