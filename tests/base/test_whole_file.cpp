// Files written whole or not at all as one set: placed in the order asked,
// and on a failure nothing new left, neither a temporary nor a placed file.
#include "base/file_io.h"
#include "base/whole_file.h"
#include "fixtures.h"
#include "temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

int steps = 0;
void CountStep()
{
    ++steps;
}

std::vector<std::string> Names(const TempDir &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(Sys_NativePath(dir.path)))
        names.push_back(e.path().filename().generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(WholeFile, SetPlacesAllOrLeavesNothingNew)
{
    struct Case {
        const char *what;
        bool blockLast;  // the last target is a folder with a file in it: its rename fails
        bool commit;     // false: the set ends uncommitted
    };
    const Case cases[] = {{"placed", false, true}, {"last rename fails", true, true}, {"never committed", false, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ASSERT_TRUE(Fixture_WriteFile(dir / "grown", Fixture_FromString("old")));
        ASSERT_TRUE(Fixture_WriteFile(dir / "B", Fixture_FromString("old B")));
        if (c.blockLast) {
            fs::create_directory(Sys_NativePath(dir / "C"));
            ASSERT_TRUE(Fixture_WriteFile(dir / "C/keep", Fixture_FromString("kept")));
        }
        const auto before = Names(dir);
        steps = 0;
        bool ok = false;
        BaseWholeSet::Failure failed;
        {
            BaseWholeSet set(CountStep);
            const int grown = Sys_OpenAppend(dir / "grown");
            ASSERT_GE(grown, 0);
            ASSERT_TRUE(Base_WriteAll(grown, "+", 1));
            std::vector<int> order;
            for (const char *name : {"A", "B", "C"}) {
                const int fd = set.Add(dir / name, 0640);
                ASSERT_GE(fd, 0) << name;
                ASSERT_NE(set.Temp(fd), dir / name);
                ASSERT_TRUE(Base_WriteAll(fd, name, 1));
                order.push_back(fd);
            }
            set.FlushFirst(grown, dir / "grown");
            if (c.commit)
                ok = set.Commit(order, failed);
            EXPECT_EQ(set.Committed(), ok);
            EXPECT_TRUE(Sys_Close(grown));
        }
        if (ok) {
            EXPECT_EQ(steps, 1 + 3 + 3);  // the append's flush, three flushes, three renames
            EXPECT_EQ(ReadText(dir / "A"), "A");
            EXPECT_EQ(ReadText(dir / "B"), "B");
            EXPECT_EQ(ReadText(dir / "C"), "C");
            EXPECT_EQ(Names(dir), (std::vector<std::string>{"A", "B", "C", "grown"}));
            continue;
        }
        EXPECT_FALSE(c.commit && !c.blockLast);
        if (c.commit) {
            EXPECT_TRUE(failed.renaming);
            EXPECT_EQ(failed.target, dir / "C");
            EXPECT_EQ(steps, 1 + 3 + 2);
        }
        // A went where nothing was, and went again; B's old bytes are gone
        // once replaced, so the name that points into the others is renamed last.
        EXPECT_EQ(Names(dir), before);
        EXPECT_EQ(ReadText(dir / "B"), c.commit ? "B" : "old B");
        if (c.blockLast) {
            EXPECT_EQ(ReadText(dir / "C/keep"), "kept");
        }
    }
}
