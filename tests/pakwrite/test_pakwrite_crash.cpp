// The promises of a save under a kill and on a full disk, through the real
// quillon-cli: the archive reads as before or as after, never anything else.
#include "cli_run.h"
#include "host.h"
#include "pakwrite/pakwrite.h"
#include "pakwrite_test_util.h"

#include <gtest/gtest.h>
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
