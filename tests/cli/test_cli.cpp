// quillon-cli end to end.
#include "cli_run.h"
#include "export/export.h"
#include "pak/pak.h"
#include "model/model.h"
#include "model_fixtures.h"

#include <gtest/gtest.h>

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

    // A missing companion: its entries keep their lines, the rest is "-", one message.
    std::filesystem::remove(dir_ / "T_01.PAK");
    r = Run({"list", archive_, "--long"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("a [0002]\t-\t-\t" + lzoStored + "\tT_01.PAK\t-\n"), std::string::npos);
    EXPECT_NE(r.err.find(dir_ / "T_01.PAK"), std::string::npos) << r.err;
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

TEST_F(Cli, InterpretedExportRefusesWithoutWritingAFile)
{
    const std::pair<const char *, ExportResult> cases[] = {
        {"bin [0010]", ExportResult::NotOffered}, {"empty [0009]", ExportResult::NotOffered},
        {"short [0007]", ExportResult::TooShort}, {"model [0008]", ExportResult::NoModel}};
    for (const auto &[entry, err] : cases) {
        CliResult r = Run({"export", archive_, entry, "-o", dir_ / "refused", "--interpreted"});
        EXPECT_EQ(r.status, 1) << entry;
        EXPECT_EQ(r.err, Export_Message(err) + "\n"s) << entry;
        EXPECT_FALSE(std::filesystem::exists(dir_ / "refused")) << entry;
    }
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
    const std::string obj = ReadText(dir_ / "m.obj");
    size_t groups = 0;
    for (size_t at = obj.find("\ng dkobj"); at != std::string::npos; at = obj.find("\ng dkobj", at + 1))
        ++groups;
    EXPECT_EQ(groups, 80u - static_cast<size_t>(dropped));
}

TEST_F(Cli, DumpWritesTheDialogsFormats)
{
    const struct {
        const char *entry;
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {"dumpme [0011]", {}, "00000000: 61, 62, 63, 64, 65, 66, 67, 68, 69, 6a, 6b, 6c, 6d, 6e, 6f, 70,\n"
                              "00000016: 71, 72, 73, 74"},
        {"dumpme [0011]", {"--offset", "12abc"}, "00000012: 6d, 6e, 6f, 70, 71, 72, 73, 74"},
        {"dumpme [0011]", {"--offset=99"}, ""},
        {"one [0012]", {"--format", "int", "--big-endian", "--decimal"}, "00000000: 1"},
        {"bin [0010]", {"--format", "BYTE", "--decimal"}, "00000000: -128, -01, 000, 127"},
        {"bin [0010]", {"--format", "ushort", "--big-endian"}, "00000000: 80ff, 007f"},
        {"floats [0013]", {"--format", "float"}, "00000000: 1.500000,\n00000004: -2.250000"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args{"dump", archive_, c.entry, "-o", dir_ / "dump.txt"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << c.entry << r.err;
        EXPECT_EQ(ReadText(dir_ / "dump.txt"), c.expected) << c.entry << " " << testing::PrintToString(c.options);
    }
}

TEST_F(Cli, WriteFailuresAreReported)
{
    const std::string cannotWrite = Export_Message(ExportResult::WriteFailed) + "\n"s;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"export", archive_, "a [0002]", "-o", "/dev/full"}, cannotWrite},
        {{"export", archive_, "tex [0004]", "-o", "/dev/full", "--interpreted"}, cannotWrite},
        {{"dump", archive_, "a [0002]", "-o", "/dev/full"}, cannotWrite},
        {{"export", archive_, "A [0001]", "-o", dir_ / "no/such/dir/x"},
         Export_Message(ExportResult::CannotOpen) + "\n"s},
    };
    for (const auto &[args, err] : cases) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(r.err, err) << testing::PrintToString(args);
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

}  // namespace
