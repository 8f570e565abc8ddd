// quillon-cli against links, pipes and a full disk (RunCli's time limit catches a hang).
#include "cli_run.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteText(const std::string &path, const std::string &text)
{
    ASSERT_TRUE(Fixture_WriteFile(path, Fixture_FromString(text)));
}

// A hard link or pipe of an entry's name is replaced: nothing outside changes.
TEST(CliWrites, LinksAndPipesInTheOutputFolder)
{
    TempDir dir;
    const std::string out = dir / "out";
    FixtureArchive archive;
    archive.entries = {{"linked.txt", Fixture_FromString("entry bytes")}, {"pipe.txt", Fixture_FromString("piped")}};
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", archive));
    ASSERT_EQ(mkdir(out.c_str(), 0777), 0);
    WriteText(dir / "outside.txt", "keep me");
    ASSERT_EQ(link((dir / "outside.txt").c_str(), (out + "/linked.txt").c_str()), 0);
    ASSERT_EQ(mkfifo((out + "/pipe.txt").c_str(), 0666), 0);

    CliResult kept = RunCli({"extract", dir / "X.PAK", "-o", out}, dir);
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.out, "0 entries written, 0 bytes, 2 skipped, 0 failed\n");

    CliResult replaced = RunCli({"extract", dir / "X.PAK", "-o", out, "--overwrite"}, dir);
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(ReadText(dir / "outside.txt"), "keep me");
    EXPECT_EQ(ReadText(out + "/linked.txt"), "entry bytes");
    EXPECT_EQ(ReadText(out + "/pipe.txt"), "piped");
    EXPECT_EQ(FilesUnder(out), (std::set<std::string>{"linked.txt", "pipe.txt"}));  // no temporary file left
}

// On a full disk every writer fails and leaves the old file, with no partial one.
TEST(CliWrites, AFullDiskLeavesTheOldFile)
{
    TempDir dir;
    const std::string disk = dir / "disk";
    ASSERT_EQ(mkdir(disk.c_str(), 0777), 0);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << strerror(errno);
    FixtureArchive archive;
    archive.entries = {{"big.txt", Bytes(2 << 20, 'x')}};
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", archive));
    WriteText(disk + "/big.txt", "old");
    const std::vector<std::vector<std::string>> commands = {
        {"export", dir / "X.PAK", "#0", "-o", disk + "/big.txt"},
        {"dump", dir / "X.PAK", "#0", "-o", disk + "/big.txt"},
        {"extract", dir / "X.PAK", "-o", disk, "--overwrite"},
    };
    for (const auto &command : commands) {
        CliResult r = RunCli(command, dir);
        EXPECT_EQ(r.status, 1) << command[0];
        EXPECT_NE(r.err.find("Could not write the file."), std::string::npos) << command[0] << r.err;
        EXPECT_EQ(ReadText(disk + "/big.txt"), "old") << command[0];
        EXPECT_EQ(FilesUnder(disk), std::set<std::string>{"big.txt"}) << command[0];
    }
    umount(disk.c_str());
}

}  // namespace
