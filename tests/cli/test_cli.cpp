// quillon-cli end to end: list, show, export, dump, extract.
#include "cli_run.h"
#include "export/export.h"
#include "pak/pak.h"
#include "model/model.h"
#include "model_fixtures.h"
#include "test_data.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

const std::string kRepeated(6000, 'q');

// The archive most tests read: every home of an entry (entry-point file,
// companions, location 3), a skipped record, LZO blocks from both compressors.
FixtureArchive TestArchive()
{
    return {{
        {"b_text", Str(std::string("line1\nline2\r\nend\0hidden", 23))},                            // 0
        {"A", Str("hello"), 0},                                                                       // 1
        {"a", Fixture_LzoBlock(Str(kRepeated), true), 1},                                            // 2
        {"gone", Str("skipped"), 0, 0, true},                                                         // 3
        {"tex", Fixture_Texture(32, 16, 1, 2, Fixture_PictureColour), 0, 3},                          // 4
        {"tex5", Fixture_LzoBlock(Fixture_Texture(16, 16, 5, 1, Fixture_PictureColour), false), 0},  // 5
        {"effect", Fixture_EffectContainer({"x\\y", "", "z"})},                                       // 6
        {"short", Str("SYT1 too short")},                                                             // 7
        {"model", Str("EIFF" + std::string(12, '\0') + "MODL" + std::string(12, '\0'))},              // 8
        {"empty", {}},                                                                                // 9
        {"bin", Bytes{0x80, 0xFF, 0x00, 0x7F}},                                                       // 10
        {"dumpme", Str("abcdefghijklmnopqrst")},                                                      // 11
        {"one", Bytes{0, 0, 0, 1}},                                                                   // 12
        {"floats", Bytes{0, 0, 0xC0, 0x3F, 0, 0, 0x10, 0xC0}},                                        // 13: 1.5f, -2.25f
    }};
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Fixture_WritePak(archive_, TestArchive())); }
    CliResult Run(std::vector<std::string> args, const std::string &stdoutPath = "")
    {
        return RunCli(args, dir_, stdoutPath);
    }
    TempDir dir_;
    std::string archive_ = dir_ / "T.PAK";
};

TEST_F(Cli, ListShowsLinesInCaseInsensitiveOrder)
{
    CliResult r = Run({"list", archive_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "A [0001]\na [0002]\nb_text [0000]\nbin [0010]\ndumpme [0011]\neffect [0006]\nempty [0009]\n"
                     "floats [0013]\nmodel [0008]\none [0012]\nshort [0007]\ntex [0004]\ntex5 [0005]\n");
}

// A shader archive named without its folder is still read in its 76-byte form.
TEST_F(Cli, BareShaderArchiveNameKeepsItsRecordForm)
{
    FixtureArchive a{{{"vp_light", Str("!!ARBvp1.0\nEND\n")}, {"fp_light", Str("!!ARBfp1.0\nEND\n")}}, true};
    ASSERT_TRUE(Fixture_WritePak(dir_ / "SHADERS.PAK", a));
    CliResult r = RunProgram(QUILLON_CLI, {"list", "SHADERS.PAK"}, dir_, "", dir_.path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "fp_light [0001]\nvp_light [0000]\n");
}

TEST_F(Cli, ListLongAddsKindSizesFileAndCompression)
{
    CliResult r = Run({"list", archive_, "--long"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string lzoStored = std::to_string(Fixture_LzoBlock(Str(kRepeated), true).size());
    for (const std::string &line : {"A [0001]\tText\t5\t5\tT_00.PAK\tno\n"s,
                                    "a [0002]\tText\t6000\t" + lzoStored + "\tT_01.PAK\tyes\n",
                                    "tex [0004]\tTexture\t448\t448\tT.PAK\tno\n"s,
                                    "empty [0009]\tUnknown\t0\t0\tT.PAK\tno\n"s})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;

    // A missing companion: its entries keep their lines, the rest is "-" (the message: CliHostile).
    std::filesystem::remove(dir_ / "T_01.PAK");
    r = Run({"list", archive_, "--long"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("a [0002]\t-\t-\t" + lzoStored + "\tT_01.PAK\t-\n"), std::string::npos);
}

TEST_F(Cli, ShowPrintsInfoLineAndTextViewText)
{
    const std::pair<const char *, std::string> cases[] = {
        {"b_text [0000]", "Resource: Text (0.00MB)\nline1\r\nline2\r\r\nend"},
        {"#6", "Resource: Effect/Media (0.00MB)\nDependencies:\r\nx\\y\r\nz\r\n"},
        {"#0004", "Resource: Texture (0.00MB)\n"},
    };
    for (const auto &[entry, out] : cases) {
        CliResult r = Run({"show", archive_, entry});
        EXPECT_EQ(r.status, 0) << entry << r.err;
        EXPECT_EQ(r.out, out) << entry;
    }
    for (const char *entry : {"#3", "#14", "#99999999999999999999", "b_text", "B_TEXT [0000]", "#", "#-1"}) {
        CliResult r = Run({"show", archive_, entry});
        EXPECT_EQ(r.status, 1) << entry;
        EXPECT_EQ(r.out, "") << entry;
        EXPECT_NE(r.err, "") << entry;
    }
}

TEST_F(Cli, RefusedArchivesGetTheOpenMessages)
{
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "bad.PAK", Str("KAP_0123456789ab")));
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "ok.Pak", Fixture_PakBytes(FixtureArchive{})));
    const std::pair<const char *, PakOpenResult> cases[] = {
        {"missing.pak", PakOpenResult::CannotOpen}, {"bad.PAK", PakOpenResult::NotEntryPoint},
        {"ok.Pak", PakOpenResult::Ok}};
    for (const auto &[file, result] : cases) {
        CliResult r = Run({"list", dir_ / file});
        EXPECT_EQ(r.status, result == PakOpenResult::Ok ? 0 : 1) << file;
        EXPECT_EQ(r.err, result == PakOpenResult::Ok ? "" : Pak_OpenMessage(result) + "\n"s) << file;
    }
}

TEST_F(Cli, ExportWritesResourceBytesExactly)
{
    for (const auto &[entry, expected] : {std::pair{"a [0002]", Str(kRepeated)}, {"empty [0009]", Bytes{}}}) {
        CliResult r = Run({"export", archive_, entry, "-o", dir_ / "out.bin"});
        EXPECT_EQ(r.status, 0) << entry << r.err;
        EXPECT_EQ(Fixture_ReadFile(dir_ / "out.bin"), expected) << entry;
    }
    EXPECT_EQ(Run({"export", archive_, "A [0001]", "-o", "-", "--interpreted"}).out, "hello");
    // A texture stored compressed goes out as .dds once expanded.
    const Bytes texture = Fixture_Texture(16, 16, 5, 1, Fixture_PictureColour);
    Bytes dds(128);
    ASSERT_TRUE(Export_BuildDdsHeader(texture, dds.data()));
    dds.insert(dds.end(), texture.begin() + 128, texture.end());
    EXPECT_EQ(Run({"export", archive_, "tex5 [0005]", "-o", dir_ / "t.dds", "--interpreted"}).status, 0);
    EXPECT_EQ(Fixture_ReadFile(dir_ / "t.dds"), dds);
}

// A model that loses surfaces to the parse's bound is written with a warning of how many.
TEST_F(Cli, ModelExportWarnsOfSurfacesLeftOut)
{
    ModelFixture m = Fixture_SharedStrips(80, 11);
    m.positionShift = 24;
    const Bytes bytes = Fixture_Model(m);
    ASSERT_TRUE(Fixture_WritePak(dir_ / "M.PAK", {{{"m", bytes}}}));
    Model *model = Model_Parse(bytes.data(), bytes.size());
    ASSERT_TRUE(model);
    const int32_t dropped = model->surfacesDropped;
    Model_Free(model);
    ASSERT_GT(dropped, 1);

    CliResult r = Run({"export", dir_ / "M.PAK", "m [0000]", "-o", dir_ / "m.obj", "--interpreted"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, Export_SurfacesLeftOutMessage(dropped) + "\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir_ / "m.obj"));
}

TEST_F(Cli, DumpWritesTheDialogsFormats)
{
    // entry, options, the dump
    const std::tuple<const char *, std::vector<std::string>, std::string> cases[] = {
        {"dumpme [0011]", {}, "00000000: 61, 62, 63, 64, 65, 66, 67, 68, 69, 6a, 6b, 6c, 6d, 6e, 6f, 70,\n"
                              "00000016: 71, 72, 73, 74"},
        {"dumpme [0011]", {"--offset", "12abc"}, "00000012: 6d, 6e, 6f, 70, 71, 72, 73, 74"},
        {"dumpme [0011]", {"--offset=99"}, ""},
        {"one [0012]", {"--format", "int", "--big-endian", "--decimal"}, "00000000: 1"},
        {"bin [0010]", {"--format", "BYTE", "--decimal"}, "00000000: -128, -01, 000, 127"},
        {"bin [0010]", {"--format", "ushort", "--big-endian"}, "00000000: 80ff, 007f"},
        {"floats [0013]", {"--format", "float"}, "00000000: 1.500000,\n00000004: -2.250000"},
    };
    for (const auto &[entry, options, expected] : cases) {
        std::vector<std::string> args{"dump", archive_, entry, "-o", dir_ / "dump.txt"};
        args.insert(args.end(), options.begin(), options.end());
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << entry << r.err;
        EXPECT_EQ(ReadText(dir_ / "dump.txt"), expected) << entry << " " << testing::PrintToString(options);
    }
}

// Interpreted exports that are refused, and failed writes: the message, and no file.
TEST_F(Cli, FailedExportsSayWhy)
{
    const std::string refused = dir_ / "refused";
    const std::pair<std::vector<std::string>, ExportResult> cases[] = {
        {{"export", archive_, "bin [0010]", "-o", refused, "--interpreted"}, ExportResult::NotOffered},
        {{"export", archive_, "empty [0009]", "-o", refused, "--interpreted"}, ExportResult::NotOffered},
        {{"export", archive_, "short [0007]", "-o", refused, "--interpreted"}, ExportResult::TooShort},
        {{"export", archive_, "model [0008]", "-o", refused, "--interpreted"}, ExportResult::NoModel},
        {{"export", archive_, "a [0002]", "-o", "/dev/full"}, ExportResult::WriteFailed},
        {{"export", archive_, "tex [0004]", "-o", "/dev/full", "--interpreted"}, ExportResult::WriteFailed},
        {{"dump", archive_, "a [0002]", "-o", "/dev/full"}, ExportResult::WriteFailed},
        {{"export", archive_, "A [0001]", "-o", dir_ / "no/such/dir/x"}, ExportResult::CannotOpen},
    };
    for (const auto &[args, err] : cases) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(r.err, Export_Message(err) + "\n"s) << testing::PrintToString(args);
        EXPECT_FALSE(std::filesystem::exists(refused)) << args[2];
    }
    for (std::vector<std::string> args : {std::vector<std::string>{"list", archive_},
                                          std::vector<std::string>{"export", archive_, "a [0002]", "-o", "-"}}) {
        CliResult r = Run(args, "/dev/full");
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "Could not write to standard output.\n") << args[0];
    }
}

TEST_F(Cli, UsageErrorsExitTwoAndHelpExitsZero)
{
    using Args = std::vector<std::string>;
    for (const Args &args : std::vector<Args>{
             {}, {"frobnicate"}, {"list"}, {"list", "a.pak", "b.pak"}, {"list", "a.pak", "--bogus"},
             {"list", "a.pak", "--long=yes"}, {"show", "a.pak"}, {"export", "a.pak", "e", "-o"},
             {"dump", "a.pak", "e", "-o", "f", "--format", "quad"}, {"dump", "a.pak", "e", "-o", "f", "--overwrite"},
             {"extract", "a.pak"}, {"extract", "a.pak", "-o", "d", "--kind", "texture,sprite"},
             {"export", "a.pak", "e", "-o", "f", "--wav", "--interpreted"}}) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: quillon-cli"), std::string::npos) << testing::PrintToString(args);
    }
    for (const char *command : {"list", "show", "export", "dump", "extract"}) {
        CliResult r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind("usage: quillon-cli "s + command, 0), 0u) << command;
    }
    EXPECT_EQ(Run({"--help"}).out.rfind("usage: quillon-cli", 0), 0u);
    EXPECT_EQ(Run({"help", "dump"}).out.rfind("usage: quillon-cli dump", 0), 0u);
}

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

}  // namespace
