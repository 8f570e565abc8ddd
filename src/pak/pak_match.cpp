// Matching entry names and list lines against what the user typed: shell-like
// globs and plain text, both with ASCII case ignored and '\' read as '/',
// because the game names its folders with backslashes and users type slashes.
// A glob is read once into a form whose bracket sets are tables of byte
// values: the find bar runs it over every line per keystroke, and a set of
// thousands of characters then costs no more per character than '?'.
#include "pak/pak.h"

#include "base/ascii.h"

#include <cstdint>

namespace {

inline unsigned char Fold(char c)
{
    return Ascii_FoldName(static_cast<unsigned char>(c));
}

}  // namespace

PakGlob Pak_CompileGlob(std::string_view glob)
{
    PakGlob compiled;
    for (size_t g = 0; g < glob.size();) {
        if (glob[g] == '*' || glob[g] == '?') {
            compiled.tokens.push_back({glob[g] == '*' ? PakGlob::Op::Star : PakGlob::Op::Any, 0, 0});
            ++g;
            continue;
        }
        if (glob[g] == '[') {
            size_t p = g + 1;
            const bool negate = p < glob.size() && (glob[p] == '!' || glob[p] == '^');
            if (negate)
                ++p;
            std::bitset<256> in;
            const size_t start = p;
            // A ']' right after the opening (or its '!') is a member, not the end.
            while (p < glob.size() && (glob[p] != ']' || p == start)) {
                if (p + 2 < glob.size() && glob[p + 1] == '-' && glob[p + 2] != ']') {
                    for (unsigned c = Fold(glob[p]); c <= Fold(glob[p + 2]); ++c)
                        in.set(c);
                    p += 3;
                } else {
                    in.set(Fold(glob[p]));
                    ++p;
                }
            }
            if (p < glob.size()) {
                if (negate)
                    in.flip();
                compiled.tokens.push_back({PakGlob::Op::Set, 0, static_cast<uint32_t>(compiled.sets.size())});
                compiled.sets.push_back(in);
                g = p + 1;
                continue;
            }
            // No closing bracket: a literal '['.
        }
        compiled.tokens.push_back({PakGlob::Op::Byte, Fold(glob[g]), 0});
        ++g;
    }
    return compiled;
}

bool Pak_MatchGlob(const PakGlob &glob, std::string_view text)
{
    const std::vector<PakGlob::Token> &tokens = glob.tokens;
    size_t g = 0, t = 0;
    size_t starGlob = SIZE_MAX, starText = 0;
    while (t < text.size()) {
        if (g < tokens.size() && tokens[g].op == PakGlob::Op::Star) {
            starGlob = ++g;
            starText = t;
            continue;
        }
        const unsigned char c = Fold(text[t]);
        bool matched = false;
        if (g < tokens.size()) {
            const PakGlob::Token &token = tokens[g];
            matched = token.op == PakGlob::Op::Any || (token.op == PakGlob::Op::Byte && token.byte == c) ||
                      (token.op == PakGlob::Op::Set && glob.sets[token.set].test(c));
        }
        if (matched) {
            ++g;
            ++t;
        } else if (starGlob != SIZE_MAX) {
            g = starGlob;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (g < tokens.size() && tokens[g].op == PakGlob::Op::Star)
        ++g;
    return g == tokens.size();
}

bool Pak_MatchGlob(std::string_view glob, std::string_view text)
{
    return Pak_MatchGlob(Pak_CompileGlob(glob), text);
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

PakFind Pak_CompileFind(std::string_view text)
{
    PakFind find;
    find.text = std::string(text);
    find.isGlob = Pak_IsGlob(text);
    if (find.isGlob)
        find.glob = Pak_CompileGlob(text);
    return find;
}

bool Pak_FindMatches(const PakFind &find, std::string_view line, size_t nameLength)
{
    if (find.isGlob)
        return Pak_MatchGlob(find.glob, line.substr(0, nameLength));
    return Pak_ContainsText(line, find.text);
}
