// The promises of a save under a kill and on a full disk, through the real
// quillon-cli: the archive reads as before or as after, never anything else.
#include "cli_run.h"
#include "host.h"
#include "pakwrite/pakwrite.h"
#include "pakwrite_test_util.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace {

struct Edit {
    const char *what;
    std::vector<std::string> args;  // after the archive path, before the file
    int record;                     // the record that changes
};

const Edit kEdits[] = {
    {"replace", {"replace", "", "#2", ""}, 2},
    {"add", {"add", "", "ep\\zzz", ""}, 7},
};

std::vector<std::string> Args(const Edit &edit, const std::string &archive, const std::string &file)
{
    std::vector<std::string> args = edit.args;
    args[1] = archive;
    args.back() = file;
    args.push_back("--compress");
    args.push_back("none");
    return args;
}

}  // namespace

// The writer stops dead (SIGKILL; on Windows an exit without cleanup) at each of its steps in turn; after every
// stop the archive opens, the edited entry reads as before or as after, and
// every other entry reads as before.
TEST(PakWriteCrash, KillAtEveryStepLeavesOldOrNew)
{
    for (const Edit &edit : kEdits) {
        SCOPED_TRACE(edit.what);
        const Bytes data = Pattern(3u << 20, 7);  // several steps of appending
        int kills = 0;
        for (int step = 1;; ++step) {
            ASSERT_LT(step, 200);
            TempDir dir;
            const std::string path = WriteTestSet(dir);
            ASSERT_TRUE(Fixture_WriteFile(dir / ".new", data));
            const auto before = ReadBack(path);
            SetEnv("QUILLON_WRITE_STOP_AT", std::to_string(step).c_str());
            const CliResult run = RunCli(Args(edit, path, dir / ".new"), dir);
            SetEnv("QUILLON_WRITE_STOP_AT", nullptr);

            const auto after = ReadBack(path);
            for (const auto &[record, seen] : before)
                if (record != edit.record) {
                    ASSERT_TRUE(after.count(record)) << "step " << step;
                    EXPECT_EQ(after.at(record).resource, seen.resource) << "step " << step;
                }
            const bool isNew = after.count(edit.record) && after.at(edit.record).resource == data;
            const bool isOld = before.count(edit.record) ? after.count(edit.record) &&
                                                               after.at(edit.record).resource == before.at(edit.record).resource
                                                         : !after.count(edit.record);
            EXPECT_TRUE(isNew || isOld) << "step " << step;
            PakVerifyReport report;
            std::string error;
            ASSERT_TRUE(PakWrite_Verify(path, report, error));
            EXPECT_TRUE(report.broken.empty()) << "step " << step;
            if (run.status != kKilledStatus) {
                EXPECT_EQ(run.status, 0) << run.err;
                EXPECT_TRUE(isNew);
                break;
            }
            ++kills;
        }
        EXPECT_GE(kills, 5) << "the writer has steps to stop at";
    }
}

// On a full file system the command fails, and the archive is byte for
// byte what it was: appends cut off again, no file left behind.
TEST(PakWriteCrash, FullDiskChangesNothing)
{
    if (kOnWindows)
        GTEST_SKIP() << "needs a small file system mounted for the test (Linux only)";
#ifndef _WIN32
    TempDir mountPoint, scratch;
    if (mount("tmpfs", mountPoint.path.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a 1 MB tmpfs here (" << strerror(errno) << "); needs root outside a container";
    struct Unmount {
        std::string path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{mountPoint.path};

    const std::string file = scratch / "big";
    ASSERT_TRUE(Fixture_WriteFile(file, Pattern(2u << 20, 5)));
    for (const Edit &edit : kEdits) {
        SCOPED_TRACE(edit.what);
        const std::string path = WriteTestSet(mountPoint);
        const auto before = FolderBytes(mountPoint);
        const CliResult run = RunCli(Args(edit, path, file), scratch);
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_FALSE(run.err.empty());
        EXPECT_EQ(FolderBytes(mountPoint), before);
        for (const auto &[name, bytes] : FolderBytes(mountPoint))
            EXPECT_TRUE(before.count(name)) << name << " left behind";
    }
#endif
}

namespace {

// The set as a modder sees it: each entry's name and resource.
std::map<std::string, Bytes> Resources(const std::string &path)
{
    std::map<std::string, Bytes> seen;
    for (const auto &[record, entry] : ReadBack(path))
        seen[entry.record.name] = entry.resource;
    return seen;
}

// A folder to pack: a few files, some of them large enough to fill companions.
void WriteFolder(const std::string &folder, uint8_t seed)
{
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 4; ++i)
        Fixture_WriteFile(folder + "/f" + std::to_string(i) + ".bin", Pattern(6000 + 1000 * i, seed + i));
}

}  // namespace

// A command writing over an output set that an earlier run made stops at
// each of its steps in turn: after every stop the output reads as the
// earlier set or as the new one, never its old index over new companions.
TEST(PakWriteCrash, OutputOverAnEarlierSetReadsOldOrNewAtEveryStop)
{
    struct Case {
        const char *what;
        std::vector<std::string> earlier, command;  // "DIR" stands for the test's folder
    };
    const Case cases[] = {
        {"replace -o",
         {"replace", "DIR/SET.PAK", "#2", "DIR/.old", "-o", "DIR/OUT.PAK"},
         {"replace", "DIR/SET.PAK", "#2", "DIR/.new", "-o", "DIR/OUT.PAK", "--compress", "none"}},
        {"--compact -o",
         {"replace", "DIR/SET.PAK", "#2", "DIR/.old", "-o", "DIR/OUT.PAK", "--compact"},
         {"replace", "DIR/SET.PAK", "#4", "DIR/.new", "-o", "DIR/OUT.PAK", "--compact", "--compress", "none"}},
        {"pack -o",
         {"pack", "DIR/old", "-o", "DIR/OUT.PAK", "--part-size", "8K"},
         {"pack", "DIR/new", "-o", "DIR/OUT.PAK", "--part-size", "8K", "--compress", "none"}},
    };
    auto run = [](std::vector<std::string> args, const TempDir &dir) {
        for (std::string &a : args)
            if (a.compare(0, 3, "DIR") == 0)
                a = dir.path + a.substr(3);
        return RunCli(args, dir);
    };
    // Every file of `from` into `to` (MinGW's recursive copy refuses a
    // folder named with a trailing slash).
    auto CopyFolder = [](const TempDir &from, const TempDir &to) {
        namespace fs = std::filesystem;
        const fs::path source = fs::path(from.path).lexically_normal().parent_path();
        const fs::path target = fs::path(to.path).lexically_normal().parent_path();
        for (const fs::directory_entry &e : fs::recursive_directory_iterator(source)) {
            const fs::path place = target / fs::relative(e.path(), source);
            if (e.is_directory())
                fs::create_directories(place);
            else
                fs::copy_file(e.path(), place, fs::copy_options::overwrite_existing);
        }
    };
    auto prepare = [](const TempDir &dir) {
        WriteTestSet(dir);
        Fixture_WriteFile(dir / ".old", Pattern(5000, 3));
        Fixture_WriteFile(dir / ".new", Pattern(20000, 4));
        WriteFolder(dir / "old", 10);
        WriteFolder(dir / "new", 20);
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir seed, clean;
        prepare(seed);
        ASSERT_EQ(run(c.earlier, seed).status, 0);
        CopyFolder(seed, clean);
        const auto old = Resources(clean / "OUT.PAK");
        ASSERT_EQ(run(c.command, clean).status, 0);
        const auto made = Resources(clean / "OUT.PAK");
        ASSERT_FALSE(made == old);
        int kills = 0;
        for (int step = 1;; ++step) {
            ASSERT_LT(step, 100);
            TempDir dir;
            CopyFolder(seed, dir);
            SetEnv("QUILLON_WRITE_STOP_AT", std::to_string(step).c_str());
            const CliResult result = run(c.command, dir);
            SetEnv("QUILLON_WRITE_STOP_AT", nullptr);
            const auto after = Resources(dir / "OUT.PAK");
            EXPECT_TRUE(after == old || after == made) << "step " << step;
            PakVerifyReport report;
            std::string error;
            ASSERT_TRUE(PakWrite_Verify(dir / "OUT.PAK", report, error)) << "step " << step;
            EXPECT_TRUE(report.broken.empty()) << "step " << step;
            if (result.status != kKilledStatus) {
                EXPECT_EQ(result.status, 0) << result.err;
                EXPECT_TRUE(after == made);
                // The earlier set's companions are gone once the new one is in place.
                for (const std::string &name : FilesUnder(dir.path))
                    if (name.compare(0, 4, "OUT_") == 0) {
                        PakArchive archive;
                        ASSERT_EQ(Pak_OpenArchive(dir / "OUT.PAK", archive), PakOpenResult::Ok);
                        bool named = false;
                        for (const PakEntry &e : archive.entries)
                            named = named || GetEntryFilePath(archive, e) == dir / name;
                        EXPECT_TRUE(named) << name << " left of the earlier set";
                    }
                break;
            }
            ++kills;
        }
        EXPECT_GE(kills, 3);
    }
}

// Two writers started together on one set, a few times each: both finish
// (the second waits for the first's lock), and the set holds both edits and
// every other entry as it was. The fifty-fold run of each pair is by hand
// (BENCHMARKS.md); this keeps a few seconds.
TEST(PakWriteCrash, TwoWritersAtOnceBothLand)
{
    if (kOnWindows)
        GTEST_SKIP() << "runs two programs at once from threads (Linux)";
    struct Case {
        const char *what;
        std::vector<std::string> first, second;
        std::map<std::string, int> changes;  // name -> 0 removed, 1 holds .a, 2 holds .b
    };
    const Case cases[] = {
        {"replace and replace into one companion",
         {"replace", "SET.PAK", "#2", ".a", "--compress", "none"},
         {"replace", "SET.PAK", "#6", ".b", "--compress", "none"},
         {{"c0\\one.bin", 1}, {"c0\\packed", 2}}},
        {"add and add", {"add", "SET.PAK", "c0\\new-a", ".a"}, {"add", "SET.PAK", "c0\\new-b", ".b"},
         {{"c0\\new-a", 1}, {"c0\\new-b", 2}}},
        {"rename and rename", {"rename", "SET.PAK", "#0", "renamed-a"},
         {"rename", "SET.PAK", "#4", "renamed-b"}, {{"ep\\first.txt", 0}, {"c1\\two.bin", 0}}},
        {"compact and add", {"remove", "SET.PAK", "#1", "--compact"}, {"add", "SET.PAK", "zz", ".b"},
         {{"ep\\packed", 0}, {"zz", 2}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (int round = 0; round < 3; ++round) {
            TempDir dir, out1, out2;
            const std::string path = WriteTestSet(dir);
            Fixture_WriteFile(dir / ".a", Pattern(300000, 1));
            Fixture_WriteFile(dir / ".b", Pattern(200000, 2));
            const auto before = Resources(path);
            auto withDir = [&](std::vector<std::string> args) {
                for (std::string &a : args)
                    if (a == "SET.PAK" || a[0] == '.')
                        a = dir / a;
                return args;
            };
            CliResult one, two;
            std::thread a([&] { one = RunCli(withDir(c.first), out1); });
            std::thread b([&] { two = RunCli(withDir(c.second), out2); });
            a.join();
            b.join();
            EXPECT_EQ(one.status, 0) << one.err;
            EXPECT_EQ(two.status, 0) << two.err;
            auto expected = before;
            for (const auto &[name, change] : c.changes) {
                if (change == 0 || !expected.count(name))
                    expected.erase(name);
                if (change)
                    expected[name] = Fixture_ReadFile(dir / (change == 1 ? ".a" : ".b"));
            }
            if (c.what == std::string("rename and rename")) {
                expected["renamed-a"] = before.at("ep\\first.txt");
                expected["renamed-b"] = before.at("c1\\two.bin");
            }
            EXPECT_TRUE(Resources(path) == expected) << "round " << round;
            PakVerifyReport report;
            std::string error;
            ASSERT_TRUE(PakWrite_Verify(path, report, error));
            EXPECT_TRUE(report.broken.empty());
        }
    }
}

// A writer that finds the set held past its --wait refuses with exit 1,
// naming the lock, and changes nothing.
TEST(PakWriteCrash, WriterPastItsWaitRefusesNamingTheLock)
{
    TempDir dir;
    const std::string path = WriteTestSet(dir);
    Fixture_WriteFile(dir / ".new", Pattern(1000, 1));
    const auto before = FolderBytes(dir);
    PakWriter holder;
    std::string error;
    ASSERT_TRUE(PakWrite_Open(path, holder, error)) << error;
    const CliResult run = RunCli({"replace", path, "#2", dir / ".new", "--wait", "0.2"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("SET.PAK.lock"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderBytes(dir) == before);
}
