// The file calls the archive writer builds on: appends, positioned reads and
// copies, and the two renames (replacing, and refusing to replace).
#include "base/platform.h"
#include "fixtures.h"
#include "temp_dir.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

TEST(Platform, AppendsReadsCopiesAndRenames)
{
    TempDir dir;
    ASSERT_TRUE(Fixture_WriteFile(dir / "data", Fixture_FromString("0123456789")));
    EXPECT_LT(Sys_OpenAppend(dir / "absent"), 0);  // appends never create

    // Appends land at the end even after the position was moved.
    const int out = Sys_OpenAppend(dir / "data");
    ASSERT_GE(out, 0);
    ASSERT_EQ(lseek(out, 0, SEEK_SET), 0);
    ASSERT_EQ(Sys_Write(out, "ab", 2), 2);
    EXPECT_TRUE(Sys_FlushToDisk(out));
    EXPECT_EQ(Sys_FileSize(out), 12);

    int64_t length = 0;
    const int in = Sys_OpenRegularRead(dir / "data", &length);
    ASSERT_GE(in, 0);
    EXPECT_EQ(length, 12);
    const struct {
        int64_t offset;
        size_t size;
        std::string read;
    } reads[] = {{3, 4, "3456"}, {10, 8, "ab"}, {12, 4, ""}, {40, 4, ""}};
    for (const auto &r : reads) {
        char buffer[16] = {};
        EXPECT_EQ(Sys_ReadAt(in, buffer, r.size, r.offset), static_cast<int64_t>(r.read.size())) << r.offset;
        EXPECT_EQ(std::string(buffer, r.read.size()), r.read) << r.offset;
    }

    EXPECT_TRUE(Sys_Close(out));

    // A copy past the input's end stops there; it goes onto what the output held.
    ASSERT_TRUE(Fixture_WriteFile(dir / "copy", Fixture_FromString("x")));
    const int copy = Sys_OpenAppend(dir / "copy");
    ASSERT_GE(copy, 0);
    EXPECT_EQ(Sys_CopyRange(in, 8, copy, 100), 4);
    EXPECT_EQ(Sys_CopyRange(in, 0, copy, 2), 2);
    EXPECT_TRUE(Sys_Close(copy));
    EXPECT_TRUE(Sys_Close(in));
    EXPECT_EQ(ReadText(dir / "copy"), "x89ab01");

    // Replacing writes a new file: a hard link to the old one keeps its bytes.
    std::string temp;
    const int fd = Sys_CreateTempBeside(dir / "data", temp);
    ASSERT_GE(fd, 0);
    ASSERT_NE(temp, dir / "data");
    ASSERT_EQ(Sys_Write(fd, "new", 3), 3);
    EXPECT_TRUE(Sys_FlushToDisk(fd) && Sys_Close(fd));
    fs::create_hard_link(Sys_NativePath(dir / "data"), Sys_NativePath(dir / "old"));
    EXPECT_TRUE(Sys_ReplaceByRename(temp, dir / "data"));
    EXPECT_EQ(ReadText(dir / "data"), "new");
    EXPECT_EQ(ReadText(dir / "old"), "0123456789ab");
    EXPECT_EQ(Sys_PathKind(temp, false), SysKind::Missing);

    // Without replacing, an existing name (a link to nothing included) is kept.
    const int folder = Sys_OpenFolder(dir.path);
    ASSERT_GE(folder, 0);
    // Windows lets only some accounts make links; without one, the plain name is checked.
    std::vector<const char *> targets = {"old"};
    std::error_code linked;
    fs::create_symlink("nowhere", Sys_NativePath(dir / "dangling"), linked);
#ifndef _WIN32
    ASSERT_FALSE(linked) << linked.message();
#endif
    if (!linked)
        targets.push_back("dangling");
    for (const char *target : targets) {
        errno = 0;
        EXPECT_FALSE(Sys_RenameAt(folder, "data", folder, target, false)) << target;
        EXPECT_EQ(errno, EEXIST) << target;
    }
    if (!linked) {
        EXPECT_EQ(Sys_PathKind(dir / "dangling", false), SysKind::Link);
    }
    EXPECT_EQ(ReadText(dir / "old"), "0123456789ab");
    EXPECT_TRUE(Sys_RenameAt(folder, "data", folder, "fresh", false));
    EXPECT_EQ(ReadText(dir / "fresh"), "new");
    EXPECT_TRUE(Sys_Close(folder));
}
