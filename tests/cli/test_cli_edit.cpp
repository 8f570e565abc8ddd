// quillon-cli edit through the real binary: the user's program is a script
// that changes the file, leaves it alone or fails; a texture goes out as a PNG
// that ImageMagick negates, and comes back as a texture whose PNG export is
// the negated picture.
#include "cli_run.h"
#include "../convert/readers.h"
#include "test_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

const std::string kText = "notes.txt [0000]", kTexture = "textures\\stone_wall_d [0001]";

// A script the test runs as the user's program.
std::string Script(const TempDir &dir, const std::string &name, const std::string &body)
{
    const std::string path = dir / name;
    Fixture_WriteFile(path, Fixture_FromString("#!/bin/sh\n" + body + "\n"));
    chmod(path.c_str(), 0755);
    return path;
}

// The entry's text as `show` prints it, after its info line.
std::string Shown(const CliResult &show)
{
    return show.out.substr(show.out.find('\n') + 1);
}

// Pixels as ImageMagick reads them: RGBA bytes.
std::string Rgba(const std::string &png)
{
    return Output("/usr/bin/convert " + Quoted(png) + " -depth 8 rgba:-");
}

class CliEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"notes.txt", Fixture_FromString("first line\n")},
                                                {"textures\\stone_wall_d", Fixture_Texture(64, 32, 1, 1, BlockShade)}}}));
        // The cache folder the files go out into: left empty once an edit is done.
        if (const char *cache = getenv("XDG_CACHE_HOME"))
            cache_ = cache;
        setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        unsetenv("QUILLON_EDITOR");
    }
    void TearDown() override
    {
        unsetenv("QUILLON_EDITOR");
        if (cache_.empty())
            unsetenv("XDG_CACHE_HOME");
        else
            setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
    }
    std::set<std::string> LeftInCache() const
    {
        return std::filesystem::exists(dir / "cache") ? FilesUnder(dir / "cache") : std::set<std::string>{};
    }

    TempDir dir;
    const std::string archive = dir / "Data.PAK";
    std::string cache_;
};

TEST_F(CliEdit, TheProgramsChangeLeaveOrFail)
{
    struct Case {
        const char *what;
        std::string body;  // the script; "$1" is the file
        int status;
        const char *said;  // on stdout, or stderr when it failed
        const char *text;  // what `show` prints of the entry afterwards
    };
    const Case cases[] = {
        {"changes", "[ \"$(basename \"$1\")\" = notes.txt ] && printf 'second\\n' >> \"$1\"", 0,
         "1 entry replaced, ", "first line\r\nsecond\r\n"},
        {"saves it as it was", "touch \"$1\"", 0, "no change", "first line\r\n"},
        {"fails after a change", "printf 'lost\\n' >> \"$1\"; exit 3", 1, "ended with status 3: nothing was replaced",
         "first line\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"notes.txt", Fixture_FromString("first line\n")}}}));
        const Bytes before = Fixture_ReadFile(archive);
        const CliResult r = RunCli({"edit", archive, kText, "--with", Script(dir, "editor", c.body)}, dir);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.said), std::string::npos) << r.out << r.err;
        EXPECT_EQ(Shown(RunCli({"show", archive, kText}, dir)), c.text);
        if (c.status != 0 || std::string(c.said) == "no change")
            EXPECT_EQ(Fixture_ReadFile(archive), before);
        // A changed file that was not put back stays for the user, and is named.
        if (c.status != 0)
            EXPECT_NE(r.err.find("The edited file is kept: " + dir.path + "cache/quillon/edit-"), std::string::npos);
        else
            EXPECT_EQ(LeftInCache(), std::set<std::string>{});
        std::filesystem::remove_all(dir / "cache");
    }
}

// QUILLON_EDITOR is a command line: quoted words keep their blanks, the
// file's path is added last; -o writes a new set and leaves the archive alone.
TEST_F(CliEdit, QuillonEditorIsACommandLineAndOutputLeavesTheArchive)
{
    const std::string script = Script(dir, "my editor", "printf '%s\\n' \"$1\" >> \"$2\"");
    setenv("QUILLON_EDITOR", ("sh '" + script + "' \"two words\"").c_str(), 1);
    const Bytes before = Fixture_ReadFile(archive);
    const CliResult r = RunCli({"edit", archive, kText, "-o", dir / "New.PAK"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Fixture_ReadFile(archive), before);
    EXPECT_EQ(Shown(RunCli({"show", dir / "New.PAK", kText}, dir)), "first line\r\ntwo words\r\n");

    setenv("QUILLON_EDITOR", "sh 'unclosed", 1);
    const CliResult bad = RunCli({"edit", archive, kText}, dir);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("$QUILLON_EDITOR: "), std::string::npos) << bad.err;
}

TEST_F(CliEdit, ATextureComesBackFromTheNegatedPng)
{
    if (!Installed(kImageMagick))
        GTEST_SKIP() << "ImageMagick is not installed";
    ASSERT_EQ(RunCli({"export", archive, kTexture, "--png", "-o", dir / "before.png"}, dir).status, 0);
    const std::string negate = Script(dir, "negate",
                                      "[ \"$(basename \"$1\")\" = stone_wall_d.png ] && "
                                      "/usr/bin/convert \"$1\" -channel RGB -negate \"$1\"");
    const CliResult r = RunCli({"edit", archive, kTexture, "--with", negate}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1 entry replaced (image to texture), ", 0), 0u) << r.out;
    ASSERT_EQ(RunCli({"export", archive, kTexture, "--png", "-o", dir / "after.png"}, dir).status, 0);
    const std::string before = Rgba(dir / "before.png"), after = Rgba(dir / "after.png");
    ASSERT_EQ(before.size(), 64u * 32 * 4);
    ASSERT_EQ(after.size(), before.size());
    int worst = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        const int want = i % 4 == 3 ? uint8_t(before[i]) : 255 - uint8_t(before[i]);
        worst = std::max(worst, std::abs(want - uint8_t(after[i])));
    }
    EXPECT_LE(worst, 4);  // solid blocks: the encoder's 5:6:5 endpoints
}

// A file that no longer reads as a picture replaces nothing, and stays.
TEST_F(CliEdit, AFileThatDoesNotConvertIsKept)
{
    const Bytes before = Fixture_ReadFile(archive);
    const CliResult r =
        RunCli({"edit", archive, kTexture, "--with", Script(dir, "spoil", "printf 'not a picture' > \"$1\"")}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("stone_wall_d.png: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nothing was replaced."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("The edited file is kept: "), std::string::npos) << r.err;
    EXPECT_EQ(Fixture_ReadFile(archive), before);
}

}  // namespace
