// quillon-cli extract end to end: safe names, duplicates, existing files,
// symbolic links, filters, interpreted forms; and the sample archives.
#include "cli_run.h"

#include "app/resource_kind.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

Bytes Str(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

FixtureArchive Named(const std::vector<std::pair<std::string, Bytes>> &entries)
{
    FixtureArchive a;
    for (const auto &[name, bytes] : entries) {
        FixtureEntry e;
        e.name = name;
        e.bytes = bytes;
        a.entries.push_back(e);
    }
    return a;
}

// Regular files and links under `root`, as sorted relative paths.
std::set<std::string> FilesUnder(const std::string &root)
{
    std::set<std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (!it->is_directory() || it->is_symlink())
            files.insert(fs::relative(it->path(), root).string());
    return files;
}

const Bytes kTexture = Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour);
const Bytes kMaterial = Str("// THIS FILE WAS GENERATED FROM RENDERTOOLS\nClass Standard\n");

class CliExtract : public ::testing::Test {
protected:
    CliResult Extract(const FixtureArchive &archive, std::vector<std::string> options)
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
        {".hidden", ".hidden"},
        {"./dup.txt", "dup_0013.txt"},
        {std::string(60, 'n') + ".bin", std::string(60, 'n') + ".bin"},
        {"sub\\X", "sub/X_0015"},
        {"evil.txt/..", "evil_0016.txt"},
    };
    FixtureArchive archive;
    std::set<std::string> expected;
    uint64_t total = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        FixtureEntry e;
        e.name = cases[i].first;
        e.bytes = Str("entry " + std::to_string(i));
        total += e.bytes.size();
        archive.entries.push_back(e);
        expected.insert(cases[i].second);
    }
    CliResult r = Extract(archive, {});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(cases.size()) + " entries written, " + std::to_string(total) +
                         " bytes, 0 skipped, 0 failed\n");
    EXPECT_EQ(FilesUnder(out_), expected);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(ReadText(out_ + "/" + cases[i].second), "entry " + std::to_string(i)) << cases[i].second;
    // Nothing beside the output folder but the archive and the captured output.
    EXPECT_EQ(FilesUnder(dir_.path()).count("evil.txt"), 0u);
    for (const auto &e : fs::directory_iterator(dir_.path()))
        EXPECT_TRUE(e.path().filename() == "out" || e.path().filename() == "X.PAK" ||
                    e.path().filename().string()[0] == '.')
            << e.path();
}

TEST_F(CliExtract, ExistingFilesAreKeptUnlessOverwrite)
{
    const FixtureArchive archive = Named({{"keep.txt", Str("new")}, {"dir\\f", Str("f")}});
    fs::create_directories(out_);
    ASSERT_TRUE(Fixture_WriteFile(out_ + "/keep.txt", Str("old")));

    CliResult r = Extract(archive, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1 entries written, 1 bytes, 1 skipped, 0 failed\n");
    EXPECT_EQ(r.err, "keep.txt [0000]: skipped: exists (keep.txt)\n");
    EXPECT_EQ(ReadText(out_ + "/keep.txt"), "old");

    r = Extract(archive, {"--overwrite"});
    EXPECT_EQ(r.status, 0);
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
    const FixtureArchive archive = Named({{"inside\\file", Str("1")},
                                          {"link\\file", Str("2")},
                                          {"target", Str("3")},
                                          {"dangling", Str("4")},
                                          {"ok", Str("5")}});
    for (const char *overwrite : {"", "--overwrite"}) {
        CliResult r = Extract(archive, *overwrite ? std::vector<std::string>{overwrite} : std::vector<std::string>{});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "2 entries written, 2 bytes, 0 skipped, 3 failed\n")
            << overwrite;
        EXPECT_NE(r.err.find("link\\file [0001]: "), std::string::npos);
        EXPECT_NE(r.err.find("target [0002]: "), std::string::npos);
        EXPECT_NE(r.err.find("dangling [0003]: "), std::string::npos);
        EXPECT_EQ(ReadText(dir_ / "victim.txt"), "victim");
        EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));
        EXPECT_FALSE(fs::exists(dir_ / "created.txt"));
        fs::remove(out_ + "/inside/file");
        fs::remove(out_ + "/ok");
    }
}

TEST_F(CliExtract, MatchAndKindChooseEntries)
{
    const FixtureArchive archive = Named({{"textures\\env\\wall", kTexture},
                                          {"Textures\\UI\\icon", kTexture},
                                          {"scripts\\a.xml", Str("<?xml version=\"1.0\"?><a/>")},
                                          {"scripts\\b.txt", Str("plain text")},
                                          {"notes", Str("more text")}});
    const struct {
        std::vector<std::string> options;
        std::set<std::string> files;
    } cases[] = {
        {{"--match", "textures/*"}, {"textures/env/wall", "Textures/UI/icon"}},
        {{"--match", "TEXTURES\\ENV\\*"}, {"textures/env/wall"}},
        {{"--match", "*.xml"}, {"scripts/a.xml"}},
        {{"--match", "[a-n]*"}, {"notes"}},
        {{"--match", "?otes"}, {"notes"}},
        {{"--kind", "xml,text"}, {"scripts/a.xml", "scripts/b.txt", "notes"}},
        {{"--kind", "text", "--match", "scripts/*"}, {"scripts/b.txt"}},
        {{"--kind", "ogg"}, {}},
    };
    for (const auto &c : cases) {
        fs::remove_all(out_);
        CliResult r = Extract(archive, c.options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(FilesUnder(out_), c.files) << testing::PrintToString(c.options);
    }
}

TEST_F(CliExtract, InterpretedAddsTheKindsExtension)
{
    const FixtureArchive archive = Named({{"wall", kTexture},
                                          {"wall.DDS", kTexture},
                                          {"mat", kMaterial},
                                          {"page.txt", Str("text")},
                                          {"page", Str("more text")},
                                          {"blob", Bytes{0x80, 0x81, 0x82, 0x83}},
                                          {"fx", Fixture_EffectContainer({"a"})},
                                          {"short", Str("SYT1 short")},
                                          {"empty", {}}});
    CliResult r = Extract(archive, {"--interpreted"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FilesUnder(out_), (std::set<std::string>{"wall.dds", "wall_0001.DDS", "mat.mat", "page.txt",
                                                       "page_0004.txt", "blob", "fx", "empty"}));
    EXPECT_EQ(r.err, "short [0007]: This texture is too short to hold its header, so it has no .dds form. "
                     "(short.dds)\n");
    EXPECT_EQ(Fixture_ReadFile(out_ + "/wall.dds").size(), kTexture.size());
    EXPECT_EQ(Fixture_ReadFile(out_ + "/mat.mat"), kMaterial);
    EXPECT_EQ(ReadText(out_ + "/page_0004.txt"), "more text");
}

TEST_F(CliExtract, MissingCompanionFailsOnlyItsEntries)
{
    FixtureArchive archive = Named({{"here", Str("1")}, {"away", Str("2")}, {"also", Str("3")}});
    archive.entries[1].part = 4;
    ASSERT_TRUE(Fixture_WritePak(dir_ / "X.PAK", archive));
    fs::remove(dir_ / "X_04.PAK");
    CliResult r = RunCli({"extract", dir_ / "X.PAK", "-o", out_}, dir_);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2 entries written, 2 bytes, 0 skipped, 1 failed\n");
    EXPECT_EQ(r.err, "away [0001]: Could not open the desired PAK entry, because '" + dir_ / "X_04.PAK" +
                         "' could not be opened.\n");
    EXPECT_EQ(FilesUnder(out_), (std::set<std::string>{"here", "also"}));
}

// The sample maker's archives hold every kind so far, list and extract
// cleanly (sounds also as .wav), and come out the same on every run.
TEST(CliSamples, EveryKindListsAndExtracts)
{
    TempDir dir;
    ASSERT_EQ(RunProgram(QUILLON_MAKE_SAMPLES, {dir / "s1"}, dir).status, 0);
    ASSERT_EQ(RunProgram(QUILLON_MAKE_SAMPLES, {dir / "s2"}, dir).status, 0);
    const std::set<std::string> files = FilesUnder(dir / "s1");
    EXPECT_EQ(files, (std::set<std::string>{"GLOBAL.PAK", "GLOBAL_00.PAK", "GLOBAL_01.PAK", "SHADERS.PAK",
                                            "M01_NIGHTMARE.PAK", "M01_NIGHTMARE_00.PAK"}));
    for (const std::string &f : files)
        EXPECT_EQ(Fixture_ReadFile(dir / "s1/" + f), Fixture_ReadFile(dir / "s2/" + f)) << f;

    CliResult r = RunCli({"list", dir / "s1/GLOBAL.PAK", "--long"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> kinds, homes;
    int compressed = 0, lines = 0, highest = -1;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line); ++lines) {
        std::vector<std::string> columns;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            columns.push_back(cell);
        ASSERT_EQ(columns.size(), 6u) << line;
        kinds.insert(columns[1]);
        homes.insert(columns[4]);
        compressed += columns[5] == "yes";
        highest = std::max(highest, std::stoi(columns[0].substr(columns[0].rfind('[') + 1)));
    }
    for (int k = 0; k < KindCount; ++k) {
        const ResourceKind kind = static_cast<ResourceKind>(k);
        EXPECT_EQ(kinds.count(ResourceKind_Info(kind).displayName), 1u) << ResourceKind_Info(kind).displayName;
    }
    EXPECT_EQ(homes, (std::set<std::string>{"GLOBAL.PAK", "GLOBAL_00.PAK", "GLOBAL_01.PAK"}));
    EXPECT_GE(compressed, 2);
    EXPECT_LT(lines, highest + 1) << "a skipped record";

    for (const char *archive : {"SHADERS.PAK", "M01_NIGHTMARE.PAK"}) {
        r = RunCli({"list", dir / "s1/" + archive, "--long"}, dir);
        EXPECT_EQ(r.status, 0) << archive << r.err;
        EXPECT_GE(std::count(r.out.begin(), r.out.end(), '\n'), 3) << archive;
    }
    for (const char *option : {"--interpreted", "--wav"}) {
        r = RunCli({"extract", dir / "s1/GLOBAL.PAK", "-o", dir / (std::string("x") + option), option}, dir);
        EXPECT_EQ(r.status, 0) << option << r.err;
        EXPECT_NE(r.out.find(" 0 skipped, 0 failed\n"), std::string::npos) << option;
    }
}

}  // namespace
