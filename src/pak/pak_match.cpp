// Matching entry names and list lines against what the user typed: shell-like
// globs and plain text, both with ASCII case ignored and '\' read as '/',
// because the game names its folders with backslashes and users type slashes.
// Nothing here allocates: the find bar runs it over every line per keystroke.
#include "pak/pak.h"

namespace {

inline unsigned char Fold(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z')
        return static_cast<unsigned char>(u + ('a' - 'A'));
    return u == '\\' ? '/' : u;
}

}  // namespace

bool Pak_MatchGlob(std::string_view glob, std::string_view text)
{
    size_t g = 0, t = 0;
    size_t starGlob = std::string_view::npos, starText = 0;
    while (t < text.size()) {
        if (g < glob.size() && glob[g] == '*') {
            starGlob = ++g;
            starText = t;
            continue;
        }
        bool matched = false;
        size_t next = g + 1;
        const unsigned char c = Fold(text[t]);
        if (g < glob.size() && glob[g] == '?') {
            matched = true;
        } else if (g < glob.size() && glob[g] == '[') {
            size_t p = g + 1;
            const bool negate = p < glob.size() && (glob[p] == '!' || glob[p] == '^');
            if (negate)
                ++p;
            bool in = false;
            const size_t start = p;
            while (p < glob.size() && (glob[p] != ']' || p == start)) {
                if (p + 2 < glob.size() && glob[p + 1] == '-' && glob[p + 2] != ']') {
                    in = in || (c >= Fold(glob[p]) && c <= Fold(glob[p + 2]));
                    p += 3;
                } else {
                    in = in || c == Fold(glob[p]);
                    ++p;
                }
            }
            if (p < glob.size()) {
                matched = in != negate;
                next = p + 1;
            } else {
                matched = c == '[';  // no closing bracket: a literal '['
            }
        } else {
            matched = g < glob.size() && Fold(glob[g]) == c;
        }
        if (matched) {
            g = next;
            ++t;
        } else if (starGlob != std::string_view::npos) {
            g = starGlob;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*')
        ++g;
    return g == glob.size();
}

bool Pak_IsGlob(std::string_view text)
{
    return text.find_first_of("*?") != std::string_view::npos;
}

bool Pak_ContainsText(std::string_view text, std::string_view needle)
{
    if (needle.empty())
        return true;
    if (needle.size() > text.size())
        return false;
    const unsigned char first = Fold(needle[0]);
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (Fold(text[i]) != first)
            continue;
        size_t k = 1;
        while (k < needle.size() && Fold(text[i + k]) == Fold(needle[k]))
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

bool Pak_FindMatches(std::string_view text, std::string_view line, size_t nameLength)
{
    if (Pak_IsGlob(text))
        return Pak_MatchGlob(text, line.substr(0, nameLength));
    return Pak_ContainsText(line, text);
}
