// quillon-cli end to end: list, show, export, dump, entry addressing, the
// viewer's messages and the command line itself.
#include "cli_run.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

Bytes Str(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

FixtureEntry E(const std::string &name, Bytes bytes, int16_t part = -1, uint16_t location = 0)
{
    FixtureEntry e;
    e.name = name;
    e.bytes = std::move(bytes);
    e.part = part;
    e.location = location;
    return e;
}

const std::string kRepeated = [] {
    std::string s;
    for (int i = 0; i < 200; ++i)
        s += "the same line again and again\n";
    return s;
}();

Bytes TwentyBytes()
{
    Bytes b;
    for (uint8_t i = 0; i < 20; ++i)
        b.push_back(i);
    return b;
}

Bytes Floats()
{
    Bytes b(8);
    float f[2] = {1.5f, -2.25f};
    memcpy(b.data(), f, 8);
    return b;
}

Bytes Model()
{
    Bytes b(32, 0);
    memcpy(b.data(), "EIFF", 4);
    memcpy(b.data() + 16, "MODL", 4);
    return b;
}

// The archive most tests read: every kind, all three homes of an entry, a
// skipped record, LZO blocks from both compressors.
FixtureArchive TestArchive()
{
    FixtureArchive a;
    auto &e = a.entries;
    e.push_back(E("b_text", Str(std::string("line1\nline2\r\nend\0hidden", 23))));          // 0
    e.push_back(E("A", Str("hello"), 0));                                                    // 1
    e.push_back(E("a", Fixture_LzoBlock(Str(kRepeated), true), 1));                         // 2
    e.push_back(E("gone", Str("skipped"), 0));                                               // 3
    e.back().skipped = true;
    e.push_back(E("tex", Fixture_Texture(32, 16, 1, 2, Fixture_PictureColour), 0, 3));       // 4
    e.push_back(E("tex5", Fixture_LzoBlock(Fixture_Texture(16, 16, 5, 1, Fixture_PictureColour), false), 0));
    e.push_back(E("effect", Fixture_EffectContainer({"x\\y", "", "z"})));                    // 6
    e.push_back(E("short", Str("SYT1 too short")));                                          // 7
    e.push_back(E("model", Model()));                                                        // 8
    e.push_back(E("empty", {}));                                                             // 9
    e.push_back(E("bin", Bytes{0x80, 0xFF, 0x00, 0x7F}));                                    // 10
    e.push_back(E("dumpme", TwentyBytes()));                                                 // 11
    e.push_back(E("xml", Str("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<a/>\n")));               // 12
    e.push_back(E("one", Bytes{0, 0, 0, 1}));                                                // 13
    e.push_back(E("floats", Floats()));                                                      // 14
    e.push_back(E("big", Fixture_LzoBlock(Bytes(1572864, 0), false)));                      // 15
    e.push_back(E("dir\\Sub\\deep.txt", Str("deep")));                                       // 16
    return a;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        archive_ = dir_ / "T.PAK";
        ASSERT_TRUE(Fixture_WritePak(archive_, TestArchive()));
    }
    CliResult Run(std::vector<std::string> args, const std::string &stdoutPath = "")
    {
        return RunCli(args, dir_, stdoutPath);
    }
    TempDir dir_;
    std::string archive_;
};

TEST_F(Cli, ListShowsLinesInCaseInsensitiveOrder)
{
    CliResult r = Run({"list", archive_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "A [0001]\na [0002]\nb_text [0000]\nbig [0015]\nbin [0010]\ndir\\Sub\\deep.txt [0016]\n"
                     "dumpme [0011]\neffect [0006]\nempty [0009]\nfloats [0014]\nmodel [0008]\none [0013]\n"
                     "short [0007]\ntex [0004]\ntex5 [0005]\nxml [0012]\n");
}

TEST_F(Cli, ListSortsFiveDigitNumbersAsText)
{
    FixtureArchive a;
    a.entries.resize(10001);
    for (FixtureEntry &e : a.entries)
        e.skipped = true;
    a.entries[9999] = E("a", Str("x"));
    a.entries[10000] = E("a", Str("y"));
    ASSERT_TRUE(Fixture_WritePak(dir_ / "MANY.PAK", a));
    CliResult r = Run({"list", dir_ / "MANY.PAK"});
    EXPECT_EQ(r.out, "a [10000]\na [9999]\n");
}

// A shader archive named without its folder is still read in its 76-byte form.
TEST_F(Cli, BareShaderArchiveNameKeepsItsRecordForm)
{
    FixtureArchive a;
    a.shaderForm = true;
    a.entries = {E("vp_light", Str("!!ARBvp1.0\nEND\n")), E("fp_light", Str("!!ARBfp1.0\nEND\n"))};
    ASSERT_TRUE(Fixture_WritePak(dir_ / "SHADERS.PAK", a));
    CliResult r = RunCliIn(dir_, {"list", "SHADERS.PAK"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "fp_light [0001]\nvp_light [0000]\n");
}

TEST_F(Cli, ListLongAddsKindSizesFileAndCompression)
{
    CliResult r = Run({"list", archive_, "--long"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string lzoStored = std::to_string(Fixture_LzoBlock(Str(kRepeated), true).size());
    for (const std::string &line : std::vector<std::string>{
             "A [0001]\tText\t5\t5\tT_00.PAK\tno\n",
             "a [0002]\tText\t" + std::to_string(kRepeated.size()) + "\t" + lzoStored + "\tT_01.PAK\tyes\n",
             std::string("tex [0004]\tTexture\t448\t448\tT.PAK\tno\n"),
             std::string("empty [0009]\tUnknown\t0\t0\tT.PAK\tno\n"),
             std::string("xml [0012]\tXML (events, scripts, etc.)\t30\t30\tT.PAK\tno\n"),
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line;

    // A missing companion: its entries keep their lines, the rest is "-", one message.
    std::filesystem::remove(dir_ / "T_01.PAK");
    r = Run({"list", archive_, "--long"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("a [0002]\t-\t-\t" + lzoStored + "\tT_01.PAK\t-\n"), std::string::npos);
    EXPECT_EQ(r.err, "Could not open the desired PAK entry, because '" + dir_ / "T_01.PAK" + "' could not be opened.\n");
}

TEST_F(Cli, ShowPrintsInfoLineAndTextViewText)
{
    const struct {
        const char *entry;
        std::string out;
    } cases[] = {
        {"b_text [0000]", "Resource: Text (0.00MB)\nline1\r\nline2\r\r\nend"},
        {"#6", "Resource: Effect/Media (0.00MB)\nDependencies:\r\nx\\y\r\nz\r\n"},
        {"xml [0012]", "Resource: XML (events, scripts, etc.) (0.00MB)\n\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<a/>\r\n"},
        {"tex [0004]", "Resource: Texture (0.00MB)\n"},
        {"empty [0009]", "Resource: Unknown (0.00MB)\n"},
        {"big [0015]", "Resource: Text (1.50MB)\n"},
        {"#0004", "Resource: Texture (0.00MB)\n"},
    };
    for (const auto &c : cases) {
        CliResult r = Run({"show", archive_, c.entry});
        EXPECT_EQ(r.status, 0) << c.entry << r.err;
        EXPECT_EQ(r.out, c.out) << c.entry;
    }
}

TEST_F(Cli, EntriesThatDoNotExistAreRefused)
{
    for (const char *entry : {"#3", "#17", "#99999999999999999999", "b_text", "B_TEXT [0000]", "#", "#-1"}) {
        CliResult r = Run({"show", archive_, entry});
        EXPECT_EQ(r.status, 1) << entry;
        EXPECT_EQ(r.out, "") << entry;
        EXPECT_NE(r.err, "") << entry;
    }
}

TEST_F(Cli, RefusedArchivesGetTheOpenMessages)
{
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "x.txt", TestArchive().entries[0].bytes));
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "x.pak.bak", Fixture_PakBytes(FixtureArchive{})));
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "short.pak", Str("PAK_")));
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "bad.PAK", Str("KAP_0123456789ab")));
    ASSERT_TRUE(Fixture_WriteFile(dir_ / "ok.Pak", Fixture_PakBytes(FixtureArchive{})));
    const std::string notEntry = "This file is not Duskmoor entry-point PAK. GLOBAL.PAK, M01_NIGHTMARE.PAK, "
                                 "M02_FENHOLT1.PAK, and so on are all valid entry files.\n";
    const struct {
        std::string file;
        int status;
        std::string err;
    } cases[] = {
        {"missing.pak", 1, "There was an error opening the file.\n"},
        {"x.txt", 1, "Expected actual filename to have .pak extension.\n"},
        {"x.pak.bak", 1, "Expected actual filename to have .pak extension.\n"},
        {"short.pak", 1, notEntry},
        {"bad.PAK", 1, notEntry},
        {"ok.Pak", 0, ""},
    };
    for (const auto &c : cases) {
        for (const char *command : {"list", "extract"}) {
            std::vector<std::string> args{command, dir_ / c.file};
            if (std::string(command) == "extract")
                args.insert(args.end(), {"-o", dir_ / "out"});
            CliResult r = Run(args);
            EXPECT_EQ(r.status, c.status) << command << " " << c.file;
            EXPECT_EQ(r.err, c.err) << command << " " << c.file;
        }
    }
}

TEST_F(Cli, ExportWritesResourceBytesExactly)
{
    const FixtureArchive a = TestArchive();
    const struct {
        const char *entry;
        bool interpreted;
        Bytes expected;
    } cases[] = {
        {"a [0002]", false, Str(kRepeated)},                 // expanded
        {"A [0001]", true, Str("hello")},                    // text as is
        {"xml [0012]", true, a.entries[12].bytes},           // byte-order mark kept
        {"empty [0009]", false, {}},
        {"#8", false, Model()},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args{"export", archive_, c.entry, "-o", dir_ / "out.bin"};
        if (c.interpreted)
            args.push_back("--interpreted");
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << c.entry << r.err;
        EXPECT_EQ(Fixture_ReadFile(dir_ / "out.bin"), c.expected) << c.entry;
    }
    CliResult r = Run({"export", archive_, "A [0001]", "-o", "-"});
    EXPECT_EQ(r.out, "hello");
}

TEST_F(Cli, InterpretedExportRefusesWithoutWritingAFile)
{
    const struct {
        const char *entry;
        const char *err;
    } cases[] = {
        {"bin [0010]", "This resource has no interpreted form to export.\n"},
        {"effect [0006]", "This resource has no interpreted form to export.\n"},
        {"empty [0009]", "This resource has no interpreted form to export.\n"},
        {"short [0007]", "This texture is too short to hold its header, so it has no .dds form.\n"},
        {"model [0008]", "The model could not be read, so it was not exported.\n"},
    };
    for (const auto &c : cases) {
        CliResult r = Run({"export", archive_, c.entry, "-o", dir_ / "refused", "--interpreted"});
        EXPECT_EQ(r.status, 1) << c.entry;
        EXPECT_EQ(r.err, c.err) << c.entry;
        EXPECT_FALSE(std::filesystem::exists(dir_ / "refused")) << c.entry;
    }
}

// The .dds is exactly as long as the texture, and a reader we did not write
// decodes it to the blocks' colours.
TEST_F(Cli, DdsExportDecodesToTheBlockColours)
{
    const struct {
        const char *entry;
        uint32_t width, height;
        Bytes texture;
    } cases[] = {
        {"tex [0004]", 32, 16, Fixture_Texture(32, 16, 1, 2, Fixture_PictureColour)},
        {"tex5 [0005]", 16, 16, Fixture_Texture(16, 16, 5, 1, Fixture_PictureColour)},
    };
    if (!std::filesystem::exists("/usr/bin/python3"))
        GTEST_SKIP() << "no /usr/bin/python3";
    for (const auto &c : cases) {
        const std::string dds = dir_ / "t.dds";
        CliResult r = Run({"export", archive_, c.entry, "-o", dds, "--interpreted"});
        ASSERT_EQ(r.status, 0) << r.err;
        Bytes written = Fixture_ReadFile(dds);
        ASSERT_EQ(written.size(), c.texture.size());
        EXPECT_EQ(Bytes(written.begin() + 128, written.end()), Bytes(c.texture.begin() + 128, c.texture.end()));

        r = RunProgram("/usr/bin/python3",
                       {"-c", "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
                              "print(im.width, im.height)\n"
                              "for y in range(im.height):\n"
                              "    print(' '.join('%d,%d,%d' % im.getpixel((x, y)) for x in range(im.width)))\n",
                        dds},
                       dir_);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string expected = std::to_string(c.width) + " " + std::to_string(c.height) + "\n";
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x) {
                Rgb q = Fixture_Quantise(Fixture_PictureColour(x / 4, y / 4, c.width / 4, c.height / 4));
                expected += std::to_string(q.r) + "," + std::to_string(q.g) + "," + std::to_string(q.b) +
                            (x + 1 < c.width ? " " : "\n");
            }
        EXPECT_EQ(r.out, expected) << c.entry;
    }
}

TEST_F(Cli, DumpWritesTheDialogsFormats)
{
    const struct {
        const char *entry;
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {"dumpme [0011]", {}, "00000000: 00, 01, 02, 03, 04, 05, 06, 07, 08, 09, 0a, 0b, 0c, 0d, 0e, 0f,\n"
                              "00000016: 10, 11, 12, 13"},
        {"dumpme [0011]", {"--offset", "12abc"}, "00000012: 0c, 0d, 0e, 0f, 10, 11, 12, 13"},
        {"dumpme [0011]", {"--offset=99"}, ""},
        {"dumpme [0011]", {"--format", "int", "--offset", "18"}, ""},
        {"dumpme [0011]", {"--format", "ushort", "--offset", " +14"}, "00000014: 0f0e, 1110, 1312"},
        {"one [0013]", {"--format", "int", "--big-endian", "--decimal"}, "00000000: 1"},
        {"one [0013]", {"--format", "int", "--decimal"}, "00000000: 16777216"},
        {"one [0013]", {"--format", "int"}, "00000000: 01000000"},
        {"one [0013]", {"--format", "byte", "--offset", "-5"}, "00000000: 00, 00, 00, 01"},
        {"bin [0010]", {"--format", "byte"}, "00000000: ffffff80, ffffffff, 00, 7f"},
        {"bin [0010]", {"--format", "BYTE", "--decimal"}, "00000000: -128, -01, 000, 127"},
        {"bin [0010]", {"--format", "short"}, "00000000: ffffff80, 7f00"},
        {"bin [0010]", {"--format", "ushort", "--big-endian"}, "00000000: 80ff, 007f"},
        {"floats [0014]", {"--format", "float"}, "00000000: 1.500000,\n00000004: -2.250000"},
        {"empty [0009]", {}, ""},
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
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (std::vector<std::string> args : {
             std::vector<std::string>{"export", archive_, "a [0002]", "-o", "/dev/full"},
             std::vector<std::string>{"export", archive_, "tex [0004]", "-o", "/dev/full", "--interpreted"},
             std::vector<std::string>{"dump", archive_, "a [0002]", "-o", "/dev/full"},
         }) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "Could not write the file.\n") << args[0];
    }
    CliResult r = Run({"export", archive_, "A [0001]", "-o", dir_ / "no/such/dir/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not open file for writing.\n");
    for (std::vector<std::string> args : {std::vector<std::string>{"list", archive_},
                                          std::vector<std::string>{"export", archive_, "a [0002]", "-o", "-"}}) {
        r = Run(args, "/dev/full");
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "Could not write to standard output.\n") << args[0];
    }
}

TEST_F(Cli, UsageErrorsExitTwoAndHelpExitsZero)
{
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"list"}, 2},
        {{"list", "a.pak", "b.pak"}, 2},
        {{"list", "a.pak", "--bogus"}, 2},
        {{"list", "a.pak", "--long=yes"}, 2},
        {{"show", "a.pak"}, 2},
        {{"export", "a.pak", "e"}, 2},
        {{"export", "a.pak", "e", "-o"}, 2},
        {{"dump", "a.pak", "e", "-o", "f", "--format", "quad"}, 2},
        {{"dump", "a.pak", "e", "-o", "f", "--overwrite"}, 2},
        {{"extract", "a.pak"}, 2},
        {{"extract", "a.pak", "-o", "d", "--kind", "texture,sprite"}, 2},
        {{"export", "a.pak", "e", "-o", "f", "--wav", "--interpreted"}, 2},
        {{"dump", "a.pak", "e", "-o", "f", "--wav"}, 2},
        {{"--help"}, 0},
        {{"help", "dump"}, 0},
    };
    for (const auto &c : cases) {
        CliResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
        EXPECT_NE((c.status == 0 ? r.out : r.err).find("usage: quillon-cli"), std::string::npos);
    }
    for (const char *command : {"list", "show", "export", "dump", "extract"}) {
        CliResult r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("usage: quillon-cli ") + command, 0), 0u) << command;
    }
}

}  // namespace
