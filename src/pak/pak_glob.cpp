// Entry names against a glob, as quillon-cli extract --match and the viewer's
// find bar read it.
#include "pak/pak.h"

namespace {

// ASCII case folded and '\' read as '/', so "textures/*" and "TEXTURES\*"
// both match "textures\env\stone".
char GlobForm(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c + ('a' - 'A'));
    return c == '\\' ? '/' : c;
}

}  // namespace

bool Pak_MatchGlob(std::string_view globText, std::string_view nameText)
{
    std::string globForm(globText), nameForm(nameText);
    for (char &c : globForm)
        c = GlobForm(c);
    for (char &c : nameForm)
        c = GlobForm(c);
    const char *glob = globForm.c_str(), *text = nameForm.c_str();
    const char *end = text + nameForm.size();
    // '*' any run of characters (separators included), '?' one character,
    // [set] as in shells; everything else literally.
    const char *starGlob = nullptr, *starText = nullptr;
    while (text < end) {
        if (*glob == '*') {
            starGlob = ++glob;
            starText = text;
            continue;
        }
        bool matched = false;
        const char *next = glob + 1;
        if (*glob == '?') {
            matched = true;
        } else if (*glob == '[') {
            const char *p = glob + 1;
            bool negate = *p == '!' || *p == '^';
            if (negate)
                ++p;
            bool in = false;
            const char *start = p;
            while (*p && (*p != ']' || p == start)) {
                if (p[1] == '-' && p[2] && p[2] != ']') {
                    in = in || (*text >= p[0] && *text <= p[2]);
                    p += 3;
                } else {
                    in = in || *text == *p;
                    ++p;
                }
            }
            if (*p == ']') {
                matched = in != negate;
                next = p + 1;
            } else {
                matched = *text == '[';  // no closing bracket: a literal '['
            }
        } else {
            matched = *glob != '\0' && *glob == *text;
        }
        if (matched) {
            glob = next;
            ++text;
        } else if (starGlob) {
            glob = starGlob;
            text = ++starText;
        } else {
            return false;
        }
    }
    while (*glob == '*')
        ++glob;
    return *glob == '\0';
}
