// quillon-cli on folders of archives: find, list, extract and diff.
#include "cli_run.h"
#include "test_data.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

// A game before and after a patch: GLOBAL.PAK has one entry changed (in its
// companion) and one added, M01.PAK is gone and M02.PAK is new.
class CliFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        const Bytes texture = Fixture_Texture(16, 16, 1, 1, Solid<200, 10, 10>);
        fs::create_directories(older);
        fs::create_directories(newer);
        ASSERT_TRUE(Fixture_WritePak(older + "/GLOBAL.PAK", {{{"textures\\crate_d", texture, 0},
                                                              {"text\\intro.txt", Str("Dusk falls.")}}}));
        ASSERT_TRUE(Fixture_WritePak(older + "/M01.PAK", {{{"textures\\crate_d", Str("not a texture")}}}));
        ASSERT_TRUE(Fixture_WritePak(newer + "/GLOBAL.PAK", {{{"textures\\crate_d", texture, 0},
                                                              {"text\\intro.txt", Str("Night falls.")},
                                                              {"text\\outro.txt", Str("Dawn.")}}}));
        ASSERT_TRUE(Fixture_WritePak(newer + "/M02.PAK", {{{"Textures\\Crate_D", texture}}}));
    }
    CliResult Run(const std::vector<std::string> &args) { return RunCli(args, dir_); }
    TempDir dir_;
    std::string older = dir_ / "v1", newer = dir_ / "v2";
};

TEST_F(CliFolder, FindListAndExtractEveryArchive)
{
    CliResult r = Run({"find", newer, "CRATE"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "GLOBAL.PAK\ttextures\\crate_d [0000]\nM02.PAK\tTextures\\Crate_D [0000]\n");
    r = Run({"find", older, "textures/*", "--kind", "texture", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"archive\":\"GLOBAL.PAK\",\"line\":\"textures\\\\crate_d [0000]\",\"record\":0,"
                     "\"kind\":\"texture\"}\n");

    r = Run({"list", older});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "GLOBAL.PAK\ttext\\intro.txt [0001]\nGLOBAL.PAK\ttextures\\crate_d [0000]\n"
                     "M01.PAK\ttextures\\crate_d [0000]\n");

    r = Run({"extract", newer, "-o", dir_ / "out"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesUnder(dir_ / "out"), (std::set<std::string>{"GLOBAL/text/intro.txt", "GLOBAL/text/outro.txt",
                                                               "GLOBAL/textures/crate_d", "M02/Textures/Crate_D"}));
}

TEST_F(CliFolder, DiffExitsAsDiffDoes)
{
    CliResult r = Run({"diff", older, older});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");

    r = Run({"diff", older, newer});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "changed\tGLOBAL.PAK\ttext\\intro.txt [0001]\nadded\tGLOBAL.PAK\ttext\\outro.txt [0002]\n"
                     "removed\tM01.PAK\nadded\tM02.PAK\n");
    r = Run({"diff", older + "/GLOBAL.PAK", newer + "/GLOBAL.PAK", "--stat", "--jobs", "3"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "GLOBAL.PAK: 1 added, 0 removed, 1 changed, 1 unchanged; bytes 5 added, 0 removed, "
                     "12 changed\n");

    // Trouble wins over differences: a companion gone, an archive against a folder.
    fs::remove(newer + "/GLOBAL_00.PAK");
    r = Run({"diff", older, newer});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("GLOBAL_00.PAK' could not be opened"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"diff", older, newer + "/GLOBAL.PAK"}).status, 2);
}

}  // namespace
