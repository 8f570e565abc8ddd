// quillon-cli grep and refs: the text inside entries, and what names an entry.
#include "cli_run.h"
#include "model_fixtures.h"
#include "test_data.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

const std::string kMaterial = "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n"
                              "diffuse textures\\env\\Stone_D.dds\n"
                              "normal textures/env/stone_n\n";

// A game folder: text stored plain and LZO-compressed, a material, an XML
// script, an effect's dependencies, a model, and binary bytes holding words.
class CliSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
        ModelFixture model;
        model.surfaces = {Fixture_Box("other", centre, half), Fixture_Box("Materials/Stone.mat", centre, half)};
        fs::create_directories(game + "/dlc");
        ASSERT_TRUE(Fixture_WritePak(
            game + "/GLOBAL.PAK",
            {{{"text\\intro.txt", Fixture_LzoBlock(Str("Dusk falls.\r\nthe STONE_d waits\nstones\nno end"))},
              {"materials\\stone", Str(kMaterial), 0},
              {"scripts\\level.xml", Str("<?xml version=\"1.0\"?>\n<use texture=\"textures\\env\\stone_d\"/>\n")},
              {"effects\\dust", Fixture_EffectContainer({"textures\\env\\stone_d", "sounds\\wind"})},
              {"models\\wall", Fixture_Model(model)},
              {"data\\blob", Str("\x80\x81\x82\x83 dusk inside binary bytes\n")}}}));
        ASSERT_TRUE(Fixture_WritePak(game + "/dlc/EXTRA.PAK", {{{"text\\more.txt", Str("Dusk again\n")}}}));
    }
    CliResult Run(const std::vector<std::string> &args) { return RunCli(args, dir_); }
    TempDir dir_;
    std::string game = dir_ / "game";
};

TEST_F(CliSearch, GrepPrintsMatchingLinesAndExitsAsGrep)
{
    const std::string g = game + "/GLOBAL.PAK";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    } cases[] = {
        // Case ignored, CR dropped, compressed text expanded; list order.
        {{"grep", game, "dusk"}, 0, "GLOBAL.PAK\ttext\\intro.txt [0000]\t1\tDusk falls.\n"},
        {{"grep", game, "dusk", "--recursive"}, 0,
         "dlc/EXTRA.PAK\ttext\\more.txt [0000]\t1\tDusk again\nGLOBAL.PAK\ttext\\intro.txt [0000]\t1\tDusk falls.\n"},
        {{"grep", game, "dusk", "--case"}, 1, ""},
        {{"grep", game, "dusk", "--all-kinds"}, 0,
         "GLOBAL.PAK\tdata\\blob [0005]\t1\t\x80\x81\x82\x83 dusk inside binary bytes\n"
         "GLOBAL.PAK\ttext\\intro.txt [0000]\t1\tDusk falls.\n"},
        // The effect's dependency listing is its text.
        {{"grep", g, "wind"}, 0, "GLOBAL.PAK\teffects\\dust [0003]\t3\tsounds\\wind\n"},
        {{"grep", g, "stone_d", "--kind", "material"}, 0,
         "GLOBAL.PAK\tmaterials\\stone [0001]\t2\tdiffuse textures\\env\\Stone_D.dds\n"},
        {{"grep", g, "^s[a-z]+$", "--regex"}, 0, "GLOBAL.PAK\ttext\\intro.txt [0000]\t3\tstones\n"},
        {{"grep", g, "END$", "--regex", "--jobs", "1"}, 0, "GLOBAL.PAK\ttext\\intro.txt [0000]\t4\tno end\n"},
        {{"grep", g, "wind", "--json"}, 0,
         "{\"archive\":\"GLOBAL.PAK\",\"line\":\"effects\\\\dust [0003]\",\"record\":3,\"kind\":\"effect\","
         "\"lineNumber\":3,\"text\":\"sounds\\\\wind\",\"textBytes\":\"736f756e64735c77696e64\"}\n"},
        {{"grep", g, "(", "--regex"}, 2, ""},
        {{"grep", g, "x", "--kind", "text", "--all-kinds"}, 2, ""},
        {{"grep", dir_ / "none", "x"}, 2, ""},
    };
    for (const Case &c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[2] << " " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[2];
    }
}

TEST_F(CliSearch, RefsFindsWholeNamesInTextsAndModels)
{
    struct Case {
        std::string name;
        int status;
        std::string out;
    } cases[] = {
        // Case, separators and extension as the lookups read names; "stones" is another name.
        {"textures/env/stone_d", 0,
         "GLOBAL.PAK\teffects\\dust [0003]\ttext line 2\nGLOBAL.PAK\tmaterials\\stone [0001]\ttext line 2\n"
         "GLOBAL.PAK\tscripts\\level.xml [0002]\ttext line 2\n"},
        // A name with an extension is named without one, not with another.
        {"textures\\env\\stone_d.png", 0,
         "GLOBAL.PAK\teffects\\dust [0003]\ttext line 2\nGLOBAL.PAK\tscripts\\level.xml [0002]\ttext line 2\n"},
        {"stone_d", 0, "GLOBAL.PAK\ttext\\intro.txt [0000]\ttext line 2\n"},
        {"materials\\stone", 0, "GLOBAL.PAK\tmodels\\wall [0004]\tsurface 2 material\n"},
        {"env/stone", 1, ""},
    };
    for (const Case &c : cases) {
        const CliResult r = Run({"refs", game, c.name});
        EXPECT_EQ(r.status, c.status) << c.name << " " << r.err;
        EXPECT_EQ(r.out, c.out) << c.name;
    }
    EXPECT_EQ(Run({"refs", game, "materials/stone.mat", "--json"}).out,
              "{\"archive\":\"GLOBAL.PAK\",\"line\":\"models\\\\wall [0004]\",\"record\":4,\"kind\":\"model\","
              "\"how\":\"surface 2 material\",\"surface\":2}\n");

    // An entry that cannot be read is trouble, told once, while the rest is still searched.
    fs::remove(game + "/GLOBAL_00.PAK");
    const CliResult r = Run({"grep", game, "dusk"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "GLOBAL.PAK\ttext\\intro.txt [0000]\t1\tDusk falls.\n");
    EXPECT_NE(r.err.find("GLOBAL_00.PAK' could not be opened"), std::string::npos) << r.err;
}

}  // namespace
