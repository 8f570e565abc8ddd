// The token scanner and the text of material files.
#include "material/material.h"
#include "material/scanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Every token as "text" or "block:text".
std::vector<std::string> Tokens(const std::string &text)
{
    std::vector<std::string> out;
    TextScanner *scanner = Scan_FromText(text.data(), text.size());
    ScanToken token;
    while (Scan_NextToken(scanner, &token))
        out.push_back(token.blockName ? std::string(token.blockName) + ":" + token.text : token.text);
    EXPECT_STREQ(token.text, "");
    Scan_Free(scanner);
    return out;
}

using V = std::vector<std::string>;

MaterialText Parse(const std::string &text, const char *name = "x.mat")
{
    return Mat_ParseText(text.data(), text.size(), name);
}

std::string TextureList(const std::vector<std::pair<std::string, std::string>> &entries)
{
    std::string text = "numTextures " + std::to_string(entries.size()) + "\n";
    for (const auto &[wrap, name] : entries)
        text += "Texture 0 " + wrap + " " + name + "\n";
    return text;
}

// A wrap mode as one letter: Repeat, Clamp or Border.
char Wrap(uint32_t mode)
{
    return mode == kGlRepeat ? 'R' : mode == kGlClamp ? 'C' : mode == kGlClampToBorder ? 'B' : '?';
}

}  // namespace

TEST(Scanner, SplitsWordsQuotesCommentsAndBlocks)
{
    const std::pair<std::string, V> cases[] = {
        {"", {}},
        {" \t\r\n", {}},
        {"a bb\tccc\r\nd", {"a", "bb", "ccc", "d"}},
        {"; comment line\nkey value ; to the end of the line\nnext", {"key", "value", "next"}},
        {";only\r\n;comments", {}},
        {"a;b c", {"a;b", "c"}},
        {"\"two words\" \"line\nbreak\" x", {"two words", "line\nbreak", "x"}},
        {"ab\"cd ef", {"ab", "cd", "ef"}},  // a quote ends an unquoted token too
        {"\"\" x", {"", "x"}},
        {"Render { ZTest FALSE } after", {"Render:ZTest", "Render:FALSE", "after"}},
        {"outer { a inner { b } c } d", {"outer:a", "inner:b", "outer:c", "d"}},
        {"name {}next", {"next"}},
        {"a{b} c", {"a{b}", "c"}},  // braces inside a word are part of it
        {"word\n{\n  ; inside\n  v\n}\n", {"word:v"}},
        {"x } y", {"x"}},               // a stray '}' ends the top level
        {"open { a b", {"open:a", "open:b"}},  // an unclosed block ends with the text
        {std::string("a b\0c d", 7), {"a", "b"}},  // the text ends at its first NUL
    };
    for (const auto &[text, tokens] : cases)
        EXPECT_EQ(Tokens(text), tokens) << text;
}

TEST(Scanner, CutsLongWordsAndSurvivesDeepNesting)
{
    const std::string word(1500, 'w');
    EXPECT_EQ(Tokens(word + " z"), (V{std::string(1023, 'w'), std::string(477, 'w'), "z"}));
    const std::string quoted = "\"" + std::string(1030, 'q') + "\"";
    EXPECT_EQ(Tokens(quoted), (V{std::string(1023, 'q'), std::string(7, 'q')}));

    // Blocks nested 200,000 deep need neither stack nor time per level.
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "b {";
    deep += "leaf ";
    V tokens = Tokens(deep + std::string(200000, '}') + " after");
    EXPECT_EQ(tokens, (V{"b:leaf", "after"}));
    // Freed while still open.
    TextScanner *scanner = Scan_FromText(deep.data(), deep.size());
    ScanToken token;
    EXPECT_TRUE(Scan_NextToken(scanner, &token));
    Scan_Free(scanner);
}

TEST(MaterialText, DefaultsAndSwitches)
{
    const MaterialText d = Parse("");
    EXPECT_EQ(std::tuple(d.material.alphaRef, d.material.specularExponent, d.material.blendSrc, d.diffuseName,
                         d.diffuseWrap[0]),
              std::tuple(0.55f, 32.0f, 0u, "", kGlClamp));

    // text, alphaRef, blendSrc, blendDst, noDepthTest, noDepthWrite, noCull
    const std::tuple<const char *, float, uint32_t, uint32_t, int, int, int> cases[] = {
        {"AlphaTestMode NONE", 0.0f, 0, 0, 0, 0, 0},
        {"alphatestmode none", 0.0f, 0, 0, 0, 0, 0},
        {"AlphaTestMode ALPHA", 0.55f, 0, 0, 0, 0, 0},
        {"FinalBlend alpha", 0.55f, kGlSrcAlpha, kGlOneMinusSrcAlpha, 0, 0, 0},
        {"FinalBlend ADD", 0.55f, kGlOne, kGlOne, 0, 0, 0},
        {"FinalBlend Multiply", 0.55f, kGlDstColor, kGlZero, 0, 0, 0},
        {"FinalBlend NONE", 0.55f, 0, 0, 0, 0, 0},
        {"ZTest FALSE ZWrite false BackfaceCull False", 0.55f, 0, 0, 1, 1, 1},
        {"ZTest TRUE ZWrite 0 BackfaceCull no", 0.55f, 0, 0, 0, 0, 0},
        {"RenderState { ZWrite FALSE } BackfaceCull FALSE", 0.55f, 0, 0, 0, 1, 1},
        {"Unknown FALSE ZTest", 0.55f, 0, 0, 0, 0, 0},  // a missing value leaves the default
    };
    for (const auto &[text, alphaRef, blendSrc, blendDst, noDepthTest, noDepthWrite, noCull] : cases) {
        const Material m = Parse(text).material;
        EXPECT_EQ(std::tuple(m.alphaRef, m.blendSrc, m.blendDst, m.noDepthTest, m.noDepthWrite, m.noCull),
                  std::tuple(alphaRef, blendSrc, blendDst, noDepthTest, noDepthWrite, noCull))
            << text;
    }
}

TEST(MaterialText, Velocities)
{
    // text, file name, u and v
    const std::tuple<const char *, const char *, float, float> cases[] = {
        {"UVelocity 0.5 VVelocity -0.25", "x.mat", 0.5f, -0.25f},
        {"UVelocity +1e-1 VVelocity 2.5e+1", "x.mat", 0.1f, 25.0f},
        {"UVelocity .75x VVelocity 3.", "x.mat", 0.75f, 3.0f},
        {"UVelocity fast VVelocity -", "x.mat", 0.0f, 0.0f},
        {"UVelocity 1e999 VVelocity 1e-999", "x.mat", INFINITY, 0.0f},
        {"VVelocity 0.5", "blooddripfull.mat", 0.0f, -0.04f},
        {"VVelocity 0.5", "BloodDripFull.MAT", 0.0f, -0.04f},
        {"VVelocity 0.5", "blooddripfull", 0.0f, 0.5f},
    };
    for (const auto &[text, name, u, v] : cases) {
        const Material m = Parse(text, name).material;
        EXPECT_FLOAT_EQ(m.uVelocity, u) << text;
        EXPECT_FLOAT_EQ(m.vVelocity, v) << text << " " << name;
    }
}

TEST(MaterialText, TextureLists)
{
    // text, then the diffuse, normal and specular names and the diffuse and shared wraps
    // (Repeat, Clamp, Border)
    const std::pair<std::string, const char *> cases[] = {
        {TextureList({{"WRAP WRAP", "wall_d"}, {"CLAMP CLAMP", "wall_n"}}), "wall_d,wall_n, RR CC"},
        // wall_n is the provisional diffuse map until wall_d replaces it.
        {TextureList({{"WRAP WRAP", "wall_n"}, {"CLAMP CLAMP", "wall_d"}}), "wall_d,, CC CC"},
        {TextureList({{"WRAP BORDER", "only_n"}}), "only_n,, RB CC"},
        {TextureList({{"wrap border", "a"}, {"WRAP WRAP", "b_d"}, {"BORDER WRAP", "b_n"}, {"x y", "b_s"},
                      {"WRAP WRAP", "c_d"}, {"WRAP WRAP", "c_s"}}),
         "b_d,b_n,b_s RR CC"},
        // With the LerpMaskSkin class the first texture is final.
        {"Class lerpmaskskin\n" + TextureList({{"WRAP WRAP", "mask"}, {"CLAMP CLAMP", "skin_d"}}),
         "mask,, RR CC"},
        {TextureList({{"WRAP WRAP", "mask"}, {"CLAMP CLAMP", "skin_d"}}) + "Class LerpMaskSkin",
         "skin_d,, CC CC"},
        // One-character names are ignored in longer lists; a list of one takes any name.
        {TextureList({{"WRAP WRAP", "x"}, {"WRAP WRAP", "_n"}}), "_n,, RR CC"},
        {"numTextures 1 Texture 0 WRAP WRAP", ",, RR CC"},
        // The list ends at a word that is not "Texture"; that word is not a key.
        {"numTextures 3 texture 0 WRAP WRAP a_d Class Texture 0 WRAP WRAP b_n", "a_d,, RR CC"},
        {"numTextures 0 Texture 0 WRAP WRAP a_d", ",, CC CC"},
        {"numTextures -2 Texture 0 WRAP WRAP a_d", ",, CC CC"},
        {"numTextures lots Texture 0 WRAP WRAP a_d", ",, CC CC"},
        {"numTextures 99999999999999 Texture 0 WRAP WRAP a_d Texture 0 WRAP WRAP a_n", "a_d,a_n, RR RR"},
        // A second list fills only the maps the first left open.
        {TextureList({{"WRAP WRAP", "a_d"}, {"WRAP WRAP", "a_n"}}) +
             TextureList({{"CLAMP CLAMP", "b_d"}, {"CLAMP CLAMP", "b_n"}, {"BORDER BORDER", "b_s"}}),
         "a_d,a_n,b_s RR BB"},
        // The suffixes are compared exactly.
        {TextureList({{"WRAP WRAP", "aa"}, {"CLAMP CLAMP", "b_D"}, {"CLAMP CLAMP", "b_N"},
                      {"CLAMP CLAMP", "b_S"}}),
         "aa,, RR CC"},
    };
    for (const auto &[text, maps] : cases) {
        const MaterialText t = Parse(text);
        EXPECT_EQ(t.diffuseName + "," + t.normalName + "," + t.specularName + " " + Wrap(t.diffuseWrap[0]) +
                      Wrap(t.diffuseWrap[1]) + " " + Wrap(t.sharedWrap[0]) + Wrap(t.sharedWrap[1]),
                  maps)
            << text;
    }
    // The word that ends a list is used up: it is not read as a key.
    EXPECT_EQ(Parse("numTextures 3 Texture 0 WRAP WRAP a_d FinalBlend ADD").material.blendSrc, 0u);
    EXPECT_EQ(Parse("numTextures 1 Texture 0 WRAP WRAP a_d FinalBlend ADD").material.blendSrc, kGlOne);
}
