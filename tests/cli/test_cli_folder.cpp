// quillon-cli on folders of archives: find, list, extract and diff.
#include "cli_run.h"
#include "test_data.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Folders a hostile user makes. Archive names never lead outside DIR nor put
// two archives' entries in one folder; what cannot be read (as an ordinary
// user) is named and makes trouble, never a quiet "nothing there" or "same".
TEST_F(CliFolder, HostileFolders)
{
    std::vector<std::string> as;  // the command that runs quillon-cli as an ordinary user
    if (getuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root without setpriv: cannot run quillon-cli as an ordinary user";
        as = {"--reuid=65534", "--regid=65534", "--clear-groups", QUILLON_CLI};
    }
    auto pak = [](const std::string &path, const std::string &name, const std::string &text) {
        std::filesystem::create_directories(fs::path(path).parent_path());
        return Fixture_WritePak(path, {{{name, Str(text)}}});
    };
    const std::string h = dir_ / "h", out = dir_ / "out", o = dir_ / "o", n = dir_ / "n";
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "x.txt", Str("keep me")));
    // climbing names, one archive's folder inside another's
    ASSERT_TRUE(pak(h + "/...PAK", "x.txt", "1") && pak(h + "/..PAK", "x.txt", "2"));
    ASSERT_TRUE(pak(h + "/A.PAK", "B\\x.txt", "3") && pak(h + "/A/B.PAK", "x.txt", "4"));
    // versions: B.PAK differs, sub/ differs, both unreadable; a.pak and A.PAK beside each other
    ASSERT_TRUE(pak(o + "/B.PAK", "b", "old") && pak(n + "/B.PAK", "b", "new"));
    ASSERT_TRUE(pak(o + "/sub/S.PAK", "s", "old") && pak(n + "/sub/S.PAK", "s", "new"));
    ASSERT_TRUE(pak(o + "/a.pak", "a", "same") && pak(n + "/a.pak", "a", "same") && pak(o + "/A.PAK", "a", "x"));
    ASSERT_TRUE(pak(dir_ / "cut/OLD.PAK", "e", std::string(5000, 'e')) &&
                pak(dir_ / "cut/NEW.PAK", "e", std::string(5000, 'e')));
    fs::resize_file(dir_ / "cut/NEW.PAK", fs::file_size(dir_ / "cut/NEW.PAK") - 1000);
    ASSERT_EQ(chmod(dir_.path.c_str(), 0777), 0);

    // arguments, shut (made unreadable) or not, exit status, what stderr names, files then in out/
    using Files = std::set<std::string>;
    const std::tuple<std::vector<std::string>, bool, int, std::vector<std::string>, Files> rows[] = {
        {{"extract", h, "-o", out, "--overwrite", "--recursive"}, false, 0, {},
         {"...PAK/x.txt", "..PAK/x.txt", "A.PAK/B/x.txt", "A/B/x.txt"}},
        {{"diff", o, n, "--recursive"}, false, 1, {}, {}},
        {{"diff", o, n, "--recursive"}, true, 2, {"B.PAK", "sub"}, {}},
        {{"find", n, "*", "--recursive"}, true, 1, {"B.PAK", "sub"}, {}},
        {{"list", n, "--recursive"}, true, 1, {"B.PAK", "sub"}, {}},
        {{"extract", n, "-o", out, "--recursive"}, true, 1, {"B.PAK", "sub"}, {"a/a"}},
        {{"diff", dir_ / "cut/OLD.PAK", dir_ / "cut/NEW.PAK"}, false, 2, {"e [0000]"}, {}},
    };
    for (const auto &[command, shut, status, named, files] : rows) {
        fs::remove_all(out);
        for (const std::string &path : {n + "/B.PAK", n + "/sub"})
            ASSERT_EQ(chmod(path.c_str(), shut ? 0 : 0755), 0);
        std::vector<std::string> args = as;
        args.insert(args.end(), command.begin(), command.end());
        const CliResult r = as.empty() ? Run(args) : RunProgram("/usr/bin/setpriv", args, dir_);
        const std::string what = command[0] + (shut ? " (shut)" : "");
        EXPECT_EQ(r.status, status) << what << ": " << r.err;
        for (const std::string &name : named)
            EXPECT_NE(r.err.find(name), std::string::npos) << what << ": " << r.err;
        EXPECT_EQ(fs::exists(out) ? FilesUnder(out) : Files{}, files) << what;
        if (command[0] == "diff" && !shut && status == 1)  // the same names pair first
            EXPECT_EQ(r.out, "removed\tA.PAK\nchanged\tB.PAK\tb [0000]\nchanged\tsub/S.PAK\ts [0000]\n");
    }
    EXPECT_EQ(ReadText(dir_ / "x.txt"), "keep me");
}

}  // namespace
