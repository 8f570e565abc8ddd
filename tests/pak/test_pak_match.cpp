// The one matcher of typed globs and text against names and lines.
#include "pak/pak.h"

#include <gtest/gtest.h>

namespace {

TEST(PakMatch, GlobsAndTextIgnoreCaseAndSeparators)
{
    // pattern, text, Pak_MatchGlob, Pak_ContainsText
    const std::tuple<const char *, const char *, bool, bool> cases[] = {
        {"textures/*", "Textures\\Env\\stone", true, false},
        {"TEXTURES\\ENV\\*", "textures/env/wall", true, false},
        {"*.tex", "a/b.TEX", true, false},
        {"?cripts/*", "scripts\\b.txt", true, false},
        {"[a-n]*", "Notes", true, false},
        {"[!a-n]*", "notes", false, false},
        {"[abc", "[abc", true, true},  // no closing bracket: literal
        {"*", "", true, false},
        {"", "x", false, true},
        {"wall", "Textures\\Stone_WALL [0001]", false, true},
        {"env/st", "textures\\ENV\\stone", false, true},
        {"*a*b*c", "xaxxbyyc", true, false},
        {"a*", "ba", false, false},
        {"longer than the text", "short", false, false},
        {"[]a]*", "]x", true, false},  // a ']' first in a set is a member
        {"[!]a]*", "bx", true, false},
    };
    for (const auto &[pattern, text, glob, contains] : cases) {
        EXPECT_EQ(Pak_MatchGlob(pattern, text), glob) << pattern << " ~ " << text;
        EXPECT_EQ(Pak_ContainsText(text, pattern), contains) << pattern << " in " << text;
    }
    EXPECT_TRUE(Pak_IsGlob("a*") && Pak_IsGlob("?") && !Pak_IsGlob("[0001]"));
    // A set of thousands of characters is one table: the same answers, read once.
    const PakGlob large = Pak_CompileGlob("*[" + std::string(5000, '#') + "B-C\\]x");
    EXPECT_EQ(large.sets.size(), 1u);
    for (const auto &[text, match] : {std::pair{"ax", false}, {"bX", true}, {"a/x", true}, {"#x", true}, {"d", false}})
        EXPECT_EQ(Pak_MatchGlob(large, text), match) << text;
}

}  // namespace
