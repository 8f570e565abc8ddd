// quillon-cli pack, update, verify and the edits, end to end: what they
// write is read back by extract and by the project's own reader.
#include "cli_run.h"
#include "pak/pak.h"

#include <gtest/gtest.h>

namespace {

Bytes Noise(size_t n)
{
    Bytes b(n);
    uint32_t x = 12345;
    for (auto &v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

// A folder with nested folders, a name of exactly 64 bytes, an empty file,
// incompressible and compressible data, and bytes that begin like a compressed block.
void MakeFolder(const std::string &root)
{
    std::filesystem::create_directories(root + "/maps/level 1/deep");
    std::filesystem::create_directories(root + "/empty_folder_is_no_entry");
    Fixture_WriteFile(root + "/maps/level 1/deep/noise.bin", Noise(200000));
    Fixture_WriteFile(root + "/maps/text.txt", Bytes(50000, 'a'));
    Fixture_WriteFile(root + "/empty", {});
    Fixture_WriteFile(root + "/lzo", Fixture_FromString("LZO\x01\0\0\0\x10\0\0\0\x02zz"));
    Fixture_WriteFile(root + "/" + std::string(64, 'n'), Fixture_FromString("sixty-four"));
}

}  // namespace

TEST(CliPutBack, PackThenExtractGivesTheFolderBack)
{
    const std::vector<std::vector<std::string>> options = {
        {"--compress", "none"},
        {"--compress", "fast", "--jobs", "2"},
        {"--compress", "best", "--part-size", "100K"},
        {"--jobs", "3", "--part-size", "1"},
    };
    TempDir dir;
    MakeFolder(dir / "in");
    for (const auto &extra : options) {
        SCOPED_TRACE(extra[1]);
        std::filesystem::remove_all(dir / "out");
        std::vector<std::string> args = {"pack", dir / "in", "-o", dir / "P.PAK"};
        args.insert(args.end(), extra.begin(), extra.end());
        CliResult r = RunCli(args, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(RunCli({"verify", dir / "P.PAK"}, dir).status, 0);
        r = RunCli({"extract", dir / "P.PAK", "-o", dir / "out"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(FileTree(dir / "out"), FileTree(dir / "in"));
    }
    // The names are the paths with '\' between folders, in byte order.
    const CliResult list = RunCli({"list", dir / "P.PAK"}, dir);
    EXPECT_NE(list.out.find("maps\\level 1\\deep\\noise.bin [0002]"), std::string::npos) << list.out;
}

TEST(CliPutBack, PackRefusesLongNamesAndLeavesNothing)
{
    TempDir dir;
    MakeFolder(dir / "in");
    Fixture_WriteFile(dir / ("in/" + std::string(65, 'x')), {});
    Fixture_WriteFile(dir / ("in/maps/" + std::string(60, 'y')), {});
    const CliResult r = RunCli({"pack", dir / "in", "-o", dir / "P.PAK"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(std::string(65, 'x')), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("maps\\" + std::string(60, 'y')), std::string::npos) << r.err;
    EXPECT_EQ(FilesUnder(dir.path).count("P.PAK"), 0u);
    for (const std::string &name : FilesUnder(dir.path))
        EXPECT_EQ(name.find("P.PAK"), std::string::npos) << name;
}

// The modder's loop: extract, edit, update; only the changed entry is written.
TEST(CliPutBack, UpdateAfterExtract)
{
    TempDir dir;
    MakeFolder(dir / "in");
    ASSERT_EQ(RunCli({"pack", dir / "in", "-o", dir / "P.PAK", "--part-size", "64K"}, dir).status, 0);
    ASSERT_EQ(RunCli({"extract", dir / "P.PAK", "-o", dir / "work"}, dir).status, 0);
    const Bytes companion = Fixture_ReadFile(dir / "P_00.PAK");

    Fixture_WriteFile(dir / "work/maps/text.txt", Bytes(100, 'b'));
    Fixture_WriteFile(dir / "work/maps/new.txt", Fixture_FromString("new"));
    CliResult r = RunCli({"update", dir / "P.PAK", dir / "work", "--dry-run"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "replace maps\\text.txt [0003] (" + dir.path + "work/maps/text.txt)\n"
                     "1 entry replaced, 0 entries added (dry run: nothing changed)\n");

    r = RunCli({"update", dir / "P.PAK", dir / "work", "--add"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1 entry replaced, 1 entry added", 0), 0u) << r.out;
    const Bytes grown = Fixture_ReadFile(dir / "P_00.PAK");
    EXPECT_TRUE(std::equal(companion.begin(), companion.end(), grown.begin())) << "appended, not rewritten";

    std::filesystem::remove_all(dir / "again");
    ASSERT_EQ(RunCli({"extract", dir / "P.PAK", "-o", dir / "again"}, dir).status, 0);
    EXPECT_EQ(FileTree(dir / "again"), FileTree(dir / "work"));
    r = RunCli({"update", dir / "P.PAK", dir / "work"}, dir);
    EXPECT_EQ(r.out, "0 entries replaced, 0 entries added\n");
}

TEST(CliPutBack, EditsReportAndRefuse)
{
    TempDir dir;
    MakeFolder(dir / "in");
    ASSERT_EQ(RunCli({"pack", dir / "in", "-o", dir / "P.PAK", "--part-size", "64K"}, dir).status, 0);
    Fixture_WriteFile(dir / "new", Bytes(3000, 'c'));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // the start of standard output
    };
    const std::string p = dir / "P.PAK";
    const Case cases[] = {
        {{"replace", p, "#0", dir / "new"}, 0, "1 entry replaced, 2.9 KiB appended to P_00.PAK"},
        {{"replace", p, "#3", dir / "new", "--compress", "best"}, 0, "1 entry replaced, 35 bytes appended to P_0"},
        {{"rename", p, "#1", "renamed"}, 0, "1 entry renamed\n"},
        {{"remove", p, "renamed [0001]"}, 0, "1 entry removed (its record kept as skipped)\n"},
        {{"add", p, "zz", dir / "new", "-o", dir / "N.PAK"}, 0, "1 entry added as zz [0005]"},
        {{"remove", p, "#1"}, 1, ""},
        {{"remove", p, "nothing [0000]"}, 1, ""},
        {{"rename", p, "#0", std::string(65, 'n')}, 1, ""},
        {{"add", p, "x", dir / "missing"}, 1, ""},
        {{"rename", p, "#0", "x", "-o", p}, 1, ""},
        {{"replace", p, "#0", dir / "new", "--compress", "max"}, 2, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        const CliResult r = RunCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
        if (c.status == 1) {
            EXPECT_FALSE(r.err.empty());
        }
        EXPECT_EQ(RunCli({"verify", p}, dir).status, 0);
    }
}

TEST(CliPutBack, VerifyNamesTheBrokenEntry)
{
    TempDir dir;
    FixtureArchive a;
    a.entries = {{"fine", Fixture_LzoBlock(Bytes(4000, 'f'))}, {"cut", Fixture_LzoBlock(Noise(3000))}};
    a.entries[1].bytes.resize(a.entries[1].bytes.size() - 100);
    ASSERT_TRUE(Fixture_WritePak(dir / "V.PAK", a));
    CliResult r = RunCli({"verify", dir / "V.PAK"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("broken: cut [0001]: ", 0), 0u) << r.out;
    r = RunCli({"verify", dir / "V.PAK", "--json"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"ok\":false,\"broken\":[{\"record\":1,\"line\":\"cut [0001]\""), std::string::npos) << r.out;
}
