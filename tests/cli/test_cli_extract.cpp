// quillon-cli extract end to end.
#include "cli_run.h"
#include "export/export.h"
#include "test_data.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

const Bytes kTexture = Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour);

class CliExtract : public ::testing::Test {
protected:
    CliResult Extract(const FixtureArchive &archive, std::vector<std::string> options = {})
    {
        EXPECT_TRUE(Fixture_WritePak(dir_ / "X.PAK", archive));
        std::vector<std::string> args{"extract", dir_ / "X.PAK", "-o", out_};
        args.insert(args.end(), options.begin(), options.end());
        return RunCli(args, dir_);
    }
    TempDir dir_;
    std::string out_ = dir_ / "out";
};

TEST_F(CliExtract, NamesStayInsideTheFolderAndNeverCollide)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"../evil.txt", "evil.txt"},
        {"/abs/file", "abs/file"},
        {"\\\\server\\share\\x", "server/share/x"},
        {"C:\\Windows\\win.ini", "Windows/win.ini"},
        {"", "entry_0004"},
        {"..", "entry_0005"},
        {"q*a:b?c\"d<e>f|g\x01", "q_a_b_c_d_e_f_g_"},
        {"dup.txt", "dup.txt"},
        {"DUP.TXT", "DUP_0008.TXT"},
        {"dup.txt", "dup_0009.txt"},
        {"sub/../../x", "sub/x"},
        {"C:rel", "rel"},
        {"./dup.txt", "dup_0012.txt"},
        {"sub\\X", "sub/X_0013"},
        {"evil.txt/..", "evil_0014.txt"},
    };
    FixtureArchive archive;
    std::set<std::string> expected;
    for (size_t i = 0; i < cases.size(); ++i) {
        archive.entries.push_back({cases[i].first, Str("entry " + std::to_string(i % 10))});
        expected.insert(cases[i].second);
    }
    CliResult r = Extract(archive);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "15 entries written, 105 bytes, 0 skipped, 0 failed\n");
    EXPECT_EQ(FilesUnder(out_), expected);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(ReadText(out_ + "/" + cases[i].second), "entry " + std::to_string(i % 10)) << cases[i].second;
    for (const auto &e : fs::directory_iterator(dir_.path))
        EXPECT_TRUE(e.path().filename() == "out" || e.path().filename() == "X.PAK" ||
                    e.path().filename().string()[0] == '.')
            << e.path();
}

TEST_F(CliExtract, ExistingFilesAreKeptUnlessOverwrite)
{
    const FixtureArchive archive{{{"keep.txt", Str("new")}, {"dir\\f", Str("f")}}};
    fs::create_directories(out_);
    ASSERT_TRUE(Fixture_WriteFile(out_ + "/keep.txt", Str("old")));
    CliResult r = Extract(archive);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1 entries written, 1 bytes, 1 skipped, 0 failed\n");
    EXPECT_EQ(r.err, "keep.txt [0000]: skipped: exists (keep.txt)\n");
    EXPECT_EQ(ReadText(out_ + "/keep.txt"), "old");

    r = Extract(archive, {"--overwrite"});
    EXPECT_EQ(r.out, "2 entries written, 4 bytes, 0 skipped, 0 failed\n");
    EXPECT_EQ(ReadText(out_ + "/keep.txt"), "new");
}

TEST_F(CliExtract, SymbolicLinksInsideTheFolderAreNeverFollowed)
{
    fs::create_directories(out_);
    fs::create_directories(dir_ / "elsewhere");
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "victim.txt", Str("victim")));
    fs::create_directory_symlink(dir_ / "elsewhere", out_ + "/link");
    fs::create_symlink(dir_ / "victim.txt", out_ + "/target");
    fs::create_symlink(dir_ / "created.txt", out_ + "/dangling");
    const FixtureArchive archive{{{"inside\\file", Str("1")},
                                  {"link\\file", Str("2")},
                                  {"target", Str("3")},
                                  {"dangling", Str("4")},
                                  {"ok", Str("5")}}};
    for (const std::vector<std::string> &options : {std::vector<std::string>{}, {"--overwrite"}}) {
        CliResult r = Extract(archive, options);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "2 entries written, 2 bytes, 0 skipped, 3 failed\n") << options.size();
        for (const char *failed : {"link\\file [0001]: ", "target [0002]: ", "dangling [0003]: "})
            EXPECT_NE(r.err.find(failed), std::string::npos) << failed;
        EXPECT_EQ(ReadText(dir_ / "victim.txt"), "victim");
        EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));
        EXPECT_FALSE(fs::exists(dir_ / "created.txt"));
        fs::remove(out_ + "/inside/file");
        fs::remove(out_ + "/ok");
    }
}

TEST_F(CliExtract, MatchAndKindChooseEntries)
{
    const FixtureArchive archive{{{"textures\\env\\wall", kTexture},
                                  {"Textures\\UI\\icon", kTexture},
                                  {"scripts\\a.xml", Str("<?xml version=\"1.0\"?><a/>")},
                                  {"scripts\\b.txt", Str("plain text")},
                                  {"notes", Str("more text")}}};
    const std::pair<std::vector<std::string>, std::set<std::string>> cases[] = {
        {{"--match", "textures/*"}, {"textures/env/wall", "Textures/UI/icon"}},
        {{"--kind", "xml,text"}, {"scripts/a.xml", "scripts/b.txt", "notes"}},
        {{"--kind", "text", "--match", "?cripts/*"}, {"scripts/b.txt"}},
    };
    for (const auto &[options, files] : cases) {
        fs::remove_all(out_);
        CliResult r = Extract(archive, options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(FilesUnder(out_), files) << testing::PrintToString(options);
    }
}

TEST_F(CliExtract, InterpretedAddsTheKindsExtension)
{
    const Bytes material = MaterialBytes("Class Standard\n");
    const FixtureArchive archive{{{"wall", kTexture},
                                  {"wall.DDS", kTexture},
                                  {"mat", material},
                                  {"page.txt", Str("text")},
                                  {"page", Str("more text")},
                                  {"blob", Bytes{0x80, 0x81, 0x82, 0x83}},
                                  {"short", Str("SYT1 short")}}};
    CliResult r = Extract(archive, {"--interpreted"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FilesUnder(out_),
              (std::set<std::string>{"wall.dds", "wall_0001.DDS", "mat.mat", "page.txt", "page_0004.txt", "blob"}));
    EXPECT_EQ(r.err, "short [0006]: " + std::string(Export_Message(ExportResult::TooShort)) + " (short.dds)\n");
    EXPECT_EQ(Fixture_ReadFile(out_ + "/wall.dds").size(), kTexture.size());
    EXPECT_EQ(Fixture_ReadFile(out_ + "/mat.mat"), material);
    EXPECT_EQ(ReadText(out_ + "/page_0004.txt"), "more text");
}

TEST_F(CliExtract, MissingCompanionFailsOnlyItsEntries)
{
    ASSERT_TRUE(Fixture_WritePak(dir_ / "X.PAK", {{{"here", Str("1")}, {"away", Str("2"), 4}, {"also", Str("3")}}}));
    fs::remove(dir_ / "X_04.PAK");
    CliResult r = RunCli({"extract", dir_ / "X.PAK", "-o", out_}, dir_);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2 entries written, 2 bytes, 0 skipped, 1 failed\n");
    EXPECT_EQ(r.err.rfind("away [0001]: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(dir_ / "X_04.PAK"), std::string::npos) << r.err;
    EXPECT_EQ(FilesUnder(out_), (std::set<std::string>{"here", "also"}));
}

}  // namespace
