// quillon-cli mod, end to end: a mod made of the samples and an edited copy,
// applied to a fresh copy and taken off again, its refusals and conflicts.
#include "cli_run.h"
#include "host.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// The game's files with their bytes, leaving out the lock files writers leave
// beside a set and the backup folder.
std::map<std::string, Bytes> GameFiles(const std::string &folder)
{
    std::map<std::string, Bytes> files = FileTree(folder);
    for (auto it = files.begin(); it != files.end();)
        it = it->first.ends_with(".lock") || it->first.starts_with(".quillon") ? files.erase(it) : std::next(it);
    return files;
}

void Copy(const std::string &from, const std::string &to)
{
    fs::copy(from, to, fs::copy_options::recursive);
}

struct Game {
    TempDir dir;
    std::string orig = dir / "orig", edited = dir / "edited", edited2 = dir / "edited2";

    // edited: one entry replaced, one removed, one added in another archive;
    // edited2: edited with one more entry replaced.
    Game()
    {
        EXPECT_TRUE(MakeSamples(orig, dir));
        Copy(orig, edited);
        Fixture_WriteFile(dir / "new.txt", Fixture_FromString("a new resource\n"));
        for (const std::vector<std::string> &edit : std::vector<std::vector<std::string>>{
                 {"replace", edited + "/GLOBAL.PAK", "#1", dir / "new.txt"},
                 {"remove", edited + "/GLOBAL.PAK", "#0"},
                 {"add", edited + "/M01_NIGHTMARE.PAK", "new\\thing.txt", dir / "new.txt"}})
            EXPECT_EQ(RunCli(edit, dir).status, 0) << edit[0];
        Copy(edited, edited2);
        EXPECT_EQ(RunCli({"replace", edited2 + "/GLOBAL.PAK", "#2", dir / "new.txt"}, dir).status, 0);
        EXPECT_EQ(RunCli({"mod", "make", orig, edited, "-o", dir / "M1", "--name", "first"}, dir).status, 0);
        EXPECT_EQ(RunCli({"mod", "make", edited, edited2, "-o", dir / "M2", "--name", "second"}, dir).status, 0);
    }
};

}  // namespace

// Applied, the game equals the edited copy entry for entry; taken off, every
// file holds its bytes from before, with two mods in turn and off in reverse.
TEST(CliMod, ApplyThenRestoreGivesTheOriginalBack)
{
    Game g;
    const std::string game = g.dir / "game";
    Copy(g.orig, game);
    const auto before = GameFiles(game);

    CliResult r = RunCli({"mod", "apply", g.dir / "M1", game, "--dry-run"}, g.dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "remove\tGLOBAL.PAK\tdocs\\readme.txt #1\n"
                     "replace\tGLOBAL.PAK\ttextures\\env\\stone_wall_d #1\n"
                     "add\tM01_NIGHTMARE.PAK\tnew\\thing.txt #1\n"
                     "3 edits (dry run: nothing changed)\n");
    EXPECT_EQ(GameFiles(game), before);

    r = RunCli({"mod", "apply", g.dir / "M1", game}, g.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(RunCli({"diff", game, g.edited}, g.dir).status, 0);
    r = RunCli({"mod", "apply", g.dir / "M2", game}, g.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"diff", game, g.edited2}, g.dir);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(RunCli({"mod", "status", game}, g.dir).out,
              "1\tfirst\tGLOBAL.PAK M01_NIGHTMARE.PAK\n2\tsecond\tGLOBAL.PAK\n");

    r = RunCli({"mod", "restore", game}, g.dir);
    EXPECT_EQ(r.out, "took off second\n") << r.err;
    EXPECT_EQ(RunCli({"diff", game, g.edited}, g.dir).status, 0);
    r = RunCli({"mod", "apply", g.dir / "M2", game}, g.dir);
    EXPECT_EQ(r.out, "1 edit applied as mod 2\n") << r.err;
    EXPECT_EQ(RunCli({"mod", "restore", game, "--to", "3"}, g.dir).status, 1);
    r = RunCli({"mod", "restore", game, "--to", "1"}, g.dir);
    EXPECT_EQ(r.out, "took off second\ntook off first\n") << r.err;
    EXPECT_EQ(GameFiles(game), before);
    EXPECT_EQ(fs::status(game + "/GLOBAL.PAK").permissions(), fs::status(g.orig + "/GLOBAL.PAK").permissions());
    EXPECT_TRUE(FilesUnder(game + "/.quillon").empty());
    EXPECT_EQ(RunCli({"mod", "status", game}, g.dir).out, "no mod applied\n");
    EXPECT_EQ(RunCli({"mod", "restore", game}, g.dir).status, 1);
}

// An apply stopped dead at each of the writer's steps in turn: `mod restore`
// (or nothing, when it stopped before its backup) leaves the original bytes.
TEST(CliMod, KillAtEveryStepThenRestoreGivesTheOriginal)
{
    Game g;
    const auto before = GameFiles(g.orig);
    for (int step = 1;; ++step) {
        ASSERT_LT(step, 100);
        const std::string game = g.dir / ("game" + std::to_string(step));
        Copy(g.orig, game);
        CliResult r;
        {
            EnvVar stop("QUILLON_WRITE_STOP_AT", std::to_string(step));
            r = RunCli({"mod", "apply", g.dir / "M1", game}, g.dir);
        }
        if (r.status != kKilledStatus) {
            EXPECT_EQ(r.status, 0) << r.err;
            break;
        }
        EXPECT_EQ(RunCli({"mod", "apply", g.dir / "M1", game}, g.dir).status, 1) << "step " << step;
        if (fs::exists(game + "/.quillon/1.json")) {
            r = RunCli({"mod", "restore", game}, g.dir);
            EXPECT_EQ(r.status, 0) << "step " << step << r.err;
        }
        EXPECT_EQ(GameFiles(game), before) << "step " << step;
    }
}

TEST(CliMod, RefusesWhatItWasNotMadeFor)
{
    Game g;
    const std::string game = g.dir / "game";
    // A mod made against other bytes: the entry M1 replaces holds something else here.
    Copy(g.orig, game);
    Fixture_WriteFile(g.dir / "other.txt", Fixture_FromString("other bytes"));
    ASSERT_EQ(RunCli({"replace", game + "/GLOBAL.PAK", "#1", g.dir / "other.txt"}, g.dir).status, 0);
    const auto before = GameFiles(game);
    CliResult r = RunCli({"mod", "apply", g.dir / "M1", game}, g.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("differs: GLOBAL.PAK\ttextures\\env\\stone_wall_d #1\tholds other bytes"), std::string::npos)
        << r.err;
    EXPECT_EQ(GameFiles(game), before);
    EXPECT_FALSE(fs::exists(game + "/.quillon/1.json"));

    // --force applies it over them, and restore takes it off all the same.
    r = RunCli({"mod", "apply", g.dir / "M1", game, "--force"}, g.dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(RunCli({"mod", "restore", game}, g.dir).status, 0);
    EXPECT_EQ(GameFiles(game), before);

    // A set changed by something else since the apply is not put back.
    ASSERT_EQ(RunCli({"mod", "apply", g.dir / "M1", game, "--force"}, g.dir).status, 0);
    ASSERT_EQ(RunCli({"replace", game + "/GLOBAL.PAK", "#3", g.dir / "new.txt"}, g.dir).status, 0);
    const auto changed = GameFiles(game);
    r = RunCli({"mod", "restore", game}, g.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(game + "/GLOBAL.PAK' was changed since"), std::string::npos) << r.err;
    EXPECT_EQ(GameFiles(game), changed);

    // A mod.json that would lead outside the game's archives, or that this program cannot read.
    const std::string json = ReadText(g.dir / "M1/mod.json");
    for (const auto &[from, to] : std::vector<std::pair<std::string, std::string>>{
             {"\"GLOBAL.PAK\"", "\"../orig/GLOBAL.PAK\""},
             {"\"GLOBAL.PAK\"", "\".quillon/1.0.pak\""},
             {"\"version\": 1", "\"version\": 3"},
             {"\"change\": \"removed\"", "\"change\": \"renamed\""},  // renames came with version 2
             {"\"first\"", "\"\\u0100\""},                              // a character no byte stands for
             {"\"occurrence\": 1", "\"occurrence\": 1.5"},
             {"\"files/1\"", "\"../files/1\""},
             {"]\n}", "]"}}) {
        std::string bad = json;
        bad.replace(bad.find(from), from.size(), to);
        Fixture_WriteFile(g.dir / "M1/mod.json", Fixture_FromString(bad));
        r = RunCli({"mod", "apply", g.dir / "M1", game}, g.dir);
        EXPECT_EQ(r.status, 1) << to;
        EXPECT_NE(r.err.find("is no mod"), std::string::npos) << r.err;
    }

    // A mod is made into a new folder only, and of the same kind of inputs.
    EXPECT_EQ(RunCli({"mod", "make", g.orig, g.edited, "-o", g.dir / "M1"}, g.dir).status, 1);
    EXPECT_EQ(RunCli({"mod", "make", g.orig, g.edited + "/GLOBAL.PAK", "-o", g.dir / "M3"}, g.dir).status, 1);
    EXPECT_FALSE(fs::exists(g.dir / "M3"));
}

TEST(CliMod, ConflictsAreTheEntriesTwoModsTouch)
{
    Game g;
    // M3 replaces the entry M1 replaces, from the original.
    ASSERT_EQ(RunCli({"mod", "make", g.orig + "/GLOBAL.PAK", g.edited2 + "/GLOBAL.PAK", "-o", g.dir / "M3",
                      "--name", "third"},
                     g.dir)
                  .status,
              0);
    CliResult r = RunCli({"mod", "conflicts", g.dir / "M1", g.dir / "M3"}, g.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "GLOBAL.PAK\tdocs\\readme.txt #1\tfirst, third\n"
                     "GLOBAL.PAK\ttextures\\env\\stone_wall_d #1\tfirst, third\n");
    r = RunCli({"mod", "conflicts", g.dir / "M1", g.dir / "M2"}, g.dir);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(RunCli({"mod", "conflicts", g.dir / "M1", g.dir / "none"}, g.dir).status, 2);
}

namespace {

// A .zip written byte by byte, each entry stored; `says` overrides what the
// directory tells of it, to make zips that lie.
struct ZipItem {
    std::string name;
    std::string data;
    uint16_t method = 0;
    int64_t saysSize = -1;  // the directory's size, when not the data's
    bool badCrc = false;
};

uint32_t Crc(const std::string &data)
{
    uint32_t c = 0xFFFFFFFF;
    for (const unsigned char b : data) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

std::string Zip(const std::vector<ZipItem> &items)
{
    auto le = [](std::string &out, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>(v >> (8 * i));
    };
    std::string body, dir;
    for (const ZipItem &z : items) {
        const uint32_t crc = Crc(z.data) ^ (z.badCrc ? 1 : 0);
        const uint32_t size = static_cast<uint32_t>(z.saysSize >= 0 ? z.saysSize : static_cast<int64_t>(z.data.size()));
        const uint32_t at = static_cast<uint32_t>(body.size());
        std::string common;
        le(common, z.method, 2), le(common, 0, 4), le(common, crc, 4), le(common, size, 4), le(common, size, 4);
        le(common, static_cast<uint32_t>(z.name.size()), 2), le(common, 0, 2);
        le(body, 0x04034b50, 4), le(body, 10, 2), le(body, 0, 2), body += common + z.name + z.data;
        le(dir, 0x02014b50, 4), le(dir, 10, 2), le(dir, 10, 2), le(dir, 0, 2), dir += common;
        le(dir, 0, 4), le(dir, 0, 4), le(dir, 0, 2), le(dir, at, 4), dir += z.name;  // comment, disk, attributes
    }
    std::string end;
    le(end, 0x06054b50, 4), le(end, 0, 4), le(end, static_cast<uint32_t>(items.size()), 2);
    le(end, static_cast<uint32_t>(items.size()), 2), le(end, static_cast<uint32_t>(dir.size()), 4);
    le(end, static_cast<uint32_t>(body.size()), 4), le(end, 0, 2);
    return body + dir + end;
}

CliResult Python(const std::string &script, const TempDir &dir)
{
    return RunProgram("/usr/bin/env", {"python3", "-c", script}, dir, "", dir.path);
}

}  // namespace

// A mod as one .zip: written whole (Python's zipfile reads it back), applied
// and taken off as its folder is; a rename (the same resource under a new
// name) is kept as one and applied as one.
TEST(CliMod, ZipAndRename)
{
    if (!Installed("python3 --version"))
        GTEST_SKIP() << "python3 is not installed";
    Game g;
    const std::string renamed = g.dir / "renamed", game = g.dir / "game";
    Copy(g.orig, renamed);
    ASSERT_EQ(RunCli({"rename", renamed + "/GLOBAL.PAK", "#0", "docs\\moved.txt"}, g.dir).status, 0);
    ASSERT_EQ(RunCli({"replace", renamed + "/GLOBAL.PAK", "#1", g.dir / "new.txt"}, g.dir).status, 0);
    CliResult r = RunCli({"mod", "make", g.orig, renamed, "-o", g.dir / "R.zip", "--zip"}, g.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "R: 1 entry replaced, 0 entries added, 0 entries removed, 1 entry renamed in 1 archive; 15 bytes "
                     "of new resources\n");
    for (const auto &item : fs::directory_iterator(g.dir.path))
        EXPECT_FALSE(item.path().filename().string().starts_with("R.zip.")) << item.path();  // nothing left beside it
    r = Python("import zipfile,sys; z=zipfile.ZipFile('R.zip'); sys.exit(z.testzip() or print(*z.namelist()))", g.dir);
    EXPECT_EQ(r.out, "mod.json files/1\n") << r.err;

    Copy(g.orig, game);
    const auto before = GameFiles(game);
    r = RunCli({"mod", "apply", g.dir / "R.zip", game, "--dry-run"}, g.dir);
    EXPECT_EQ(r.out, "rename\tGLOBAL.PAK\tdocs\\readme.txt #1\tdocs\\moved.txt\n"
                     "replace\tGLOBAL.PAK\ttextures\\env\\stone_wall_d #1\n"
                     "2 edits (dry run: nothing changed)\n")
        << r.err;
    ASSERT_EQ(RunCli({"mod", "apply", g.dir / "R.zip", game}, g.dir).status, 0);
    r = RunCli({"diff", game, renamed}, g.dir);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(RunCli({"mod", "restore", game}, g.dir).status, 0);
    EXPECT_EQ(GameFiles(game), before);
    // A renamed entry collides with what touches either of its names.
    EXPECT_EQ(RunCli({"mod", "conflicts", g.dir / "R.zip", g.dir / "M1"}, g.dir).out,
              "GLOBAL.PAK\tdocs\\readme.txt #1\tR, first\n"
              "GLOBAL.PAK\ttextures\\env\\stone_wall_d #1\tR, first\n");

    // An entry that keeps its length: its original's hash is taken as the comparison reads it.
    const std::string base = g.dir / "base", next = g.dir / "next", game2 = g.dir / "game2";
    Fixture_WriteFile(g.dir / "a.txt", Fixture_FromString("same length A\n"));
    Fixture_WriteFile(g.dir / "b.txt", Fixture_FromString("same length B\n"));
    Copy(g.orig, base);
    ASSERT_EQ(RunCli({"replace", base + "/GLOBAL.PAK", "#3", g.dir / "a.txt", "--compress", "none"}, g.dir).status, 0);
    Copy(base, next);
    Copy(base, game2);
    ASSERT_EQ(RunCli({"replace", next + "/GLOBAL.PAK", "#3", g.dir / "b.txt", "--compress", "none"}, g.dir).status, 0);
    ASSERT_EQ(RunCli({"mod", "make", base, next, "-o", g.dir / "S"}, g.dir).status, 0);
    r = RunCli({"mod", "apply", g.dir / "S", game2}, g.dir);
    EXPECT_EQ(r.out, "1 edit applied as mod 1\n") << r.err;
    EXPECT_EQ(RunCli({"diff", game2, next}, g.dir).status, 0);

    // A .zip made elsewhere of the mod's folder, stored, applies; compressed, it is refused.
    for (const char *method : {"ZIP_STORED", "ZIP_DEFLATED"}) {
        r = Python(std::string("import zipfile,os\nwith zipfile.ZipFile('U.zip','w',zipfile.") + method +
                       ") as z:\n for d,_,fs in os.walk('M1'):\n  for f in fs: z.write(os.path.join(d,f))",
                   g.dir);
        ASSERT_EQ(r.status, 0) << r.err;
        r = RunCli({"mod", "apply", g.dir / "U.zip", game, "--dry-run"}, g.dir);
        EXPECT_EQ(r.status, method == std::string("ZIP_STORED") ? 0 : 1) << method << r.err;
        fs::remove(g.dir / "U.zip");
    }
}

// Zips that lie are refused before anything changes, each with its reason.
TEST(CliMod, RefusesHostileZips)
{
    Game g;
    const std::string game = g.dir / "game";
    Copy(g.orig, game);
    const auto before = GameFiles(game);
    const std::string json = ReadText(g.dir / "M1/mod.json"), one = ReadText(g.dir / "M1/files/1"),
                      two = ReadText(g.dir / "M1/files/2");
    auto mod = [&](std::vector<ZipItem> extra) {
        std::vector<ZipItem> items{{"mod.json", json}, {"files/1", one}};
        items.insert(items.end(), extra.begin(), extra.end());
        return items;
    };
    const std::string whole = Zip(mod({{"files/2", two}}));
    const struct {
        std::string zip;
        const char *says;
    } kCases[] = {
        {whole.substr(0, whole.size() - 10), "has no zip directory"},
        {Zip(mod({{"../files/2", two}})), "would lead outside the mod"},
        {Zip(mod({{"/files/2", two}})), "would lead outside the mod"},
        {Zip(mod({{"files/2", two}, {"files/2", two}})), "is in it twice"},
        {Zip(mod({{"files/2", two, 0, 1 << 30}})), "longer than the file holds"},
        {Zip({{"mod.json", json}, {"files/1", one, 0, static_cast<int64_t>(one.size()) + 20}, {"files/2", two}}),
         "its entries overlap"},
        {Zip(mod({{"files/2", two, 8}})), "is compressed"},
        {Zip(mod({{"files/2", two, 0, -1, true}})), "does not hold the bytes its CRC-32 says"},
        {Zip(mod({})), "holds no files/2"},
    };
    for (const auto &c : kCases) {
        Fixture_WriteFile(g.dir / "bad.zip", Fixture_FromString(c.zip));
        CliResult r = RunCli({"mod", "apply", g.dir / "bad.zip", game}, g.dir);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << ": " << r.err;
        EXPECT_EQ(GameFiles(game), before) << c.says;
        EXPECT_EQ(RunCli({"mod", "status", game}, g.dir).out, "no mod applied\n") << c.says;
    }
    // The same zip told the truth applies.
    Fixture_WriteFile(g.dir / "good.zip", Fixture_FromString(whole));
    CliResult r = RunCli({"mod", "apply", g.dir / "good.zip", game}, g.dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(RunCli({"diff", game, g.edited}, g.dir).status, 0);
}
