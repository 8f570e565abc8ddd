// The archive writer, read back through the project's own reader.
#include "host.h"
#include "pakwrite/pakwrite.h"
#include "pakwrite_test_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A record's bytes in the entry-point file, its offset masked (entries may move).
Bytes RawRecord(const Bytes &entryPoint, int record, bool shader)
{
    const size_t size = shader ? 76 : 88, at = 16 + record * size;
    Bytes raw(entryPoint.begin() + at, entryPoint.begin() + at + size);
    std::fill_n(raw.begin() + (shader ? 64 : 72), 4, 0);
    return raw;
}

bool Save(PakWriter &w, const std::string &output = "", bool compact = false)
{
    PakSaveOptions options;
    options.output = output;
    options.compact = compact;
    PakSaveReport report;
    std::string error;
    const bool ok = PakWrite_Save(w, options, report, error);
    if (!ok)
        ADD_FAILURE() << error;
    return ok;
}

}  // namespace

TEST(PakWrite, SaveWithoutEditsIsByteIdentical)
{
    for (bool shader : {false, true}) {
        // `out` outlives the writer, which holds the new set's lock once it saved it.
        TempDir dir, out;
        const std::string path = WriteTestSet(dir, shader);
        const auto before = FolderBytes(dir);
        PakWriter w;
        std::string error;
        ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
        ASSERT_TRUE(Save(w));
        EXPECT_EQ(FolderBytes(dir), before);

        // As a new set: the same bytes under the new names.
        ASSERT_TRUE(Save(w, out / "NEW.PAK"));
        for (const auto &[name, bytes] : FolderBytes(out)) {
            const std::string original = (shader ? "SHADERS" : "SET") + name.substr(3);
            EXPECT_EQ(bytes, before.at(original)) << name;
        }
        EXPECT_EQ(FolderBytes(out).size(), before.size());
    }
}

// Each edit changes its record only: every other record keeps its bytes as
// stored, its unknown words and its number; companions only grow.
TEST(PakWrite, EachEditKeepsEverythingElse)
{
    const Bytes big = Pattern(70000, 9), text = TextBytes(20000, 'q');
    struct Case {
        const char *what;
        bool shader;
        std::function<int(PakWriter &, std::string &)> edit;  // the edited record, -1 on failure
        std::function<void(const SeenEntry *)> check;       // of the edited record (null: removed)
    };
    const Case cases[] = {
        {"replace in a companion", false,
         [&](PakWriter &w, std::string &e) { return PakWrite_Replace(w, 2, big, PakCompress::Auto, e) ? 2 : -1; },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(s->resource, big);
             EXPECT_EQ(s->stored, big);  // it was stored as it is: it stays so
             EXPECT_EQ(s->record.part, 0);
         }},
        {"replace a compressed entry", false,
         [&](PakWriter &w, std::string &e) { return PakWrite_Replace(w, 1, text, PakCompress::Auto, e) ? 1 : -1; },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(s->resource, text);
             ASSERT_GT(s->stored.size(), 12u);
             EXPECT_EQ(memcmp(s->stored.data(), "LZO\x5A", 4), 0);  // compressed again, byte 3 kept
         }},
        {"replace at location 3", false,
         [&](PakWriter &w, std::string &e) { return PakWrite_Replace(w, 5, big, PakCompress::None, e) ? 5 : -1; },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(s->resource, big);
             EXPECT_EQ(s->record.location, 3);
         }},
        {"add beside its neighbour", false,
         [&](PakWriter &w, std::string &e) { return PakWrite_Add(w, "c1\\zzz", big, PakCompress::Auto, e); },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(s->resource, big);
             EXPECT_EQ(s->record.part, 1);  // after c1\two.bin
             EXPECT_EQ(s->record.word64 | s->record.word68 | s->record.word84, 0u);
         }},
        {"add compresses when smaller", true,
         [&](PakWriter &w, std::string &e) { return PakWrite_Add(w, "a\\new", text, PakCompress::Auto, e); },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(s->resource, text);
             EXPECT_EQ(memcmp(s->stored.data(), "LZO\0", 4), 0);
         }},
        {"add of bytes that look compressed", false,
         [&](PakWriter &w, std::string &e) {
             return PakWrite_Add(w, "lzo", Fixture_FromString("LZOxxxxxxxxxxxxxxxxxxxxx"), PakCompress::None, e);
         },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(s->resource, Fixture_FromString("LZOxxxxxxxxxxxxxxxxxxxxx"));
         }},
        {"remove", false, [&](PakWriter &w, std::string &e) { return PakWrite_Remove(w, 4, e) ? 4 : -1; },
         [&](const SeenEntry *s) { EXPECT_FALSE(s); }},
        {"rename", true,
         [&](PakWriter &w, std::string &e) {
             return PakWrite_Rename(w, 6, std::string(64, 'n'), e) ? 6 : -1;
         },
         [&](const SeenEntry *s) {
             ASSERT_TRUE(s);
             EXPECT_EQ(std::string(s->record.name, 64), std::string(64, 'n'));
             EXPECT_EQ(s->resource, TextBytes(9000, 'y'));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = WriteTestSet(dir, c.shader);
        const auto beforeFiles = FolderBytes(dir);
        const auto before = ReadBack(path);
        PakWriter w;
        std::string error;
        ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
        const int edited = c.edit(w, error);
        ASSERT_GE(edited, 0) << error;
        ASSERT_TRUE(Save(w));

        const auto after = ReadBack(path);
        const Bytes ep = Fixture_ReadFile(path), oldEp = beforeFiles.begin()->second;
        for (const auto &[record, seen] : before) {
            if (record == edited)
                continue;
            ASSERT_TRUE(after.count(record)) << record;
            EXPECT_TRUE(SameRecord(after.at(record).record, seen.record)) << record;
            EXPECT_EQ(after.at(record).stored, seen.stored) << record;
            EXPECT_EQ(RawRecord(ep, record, c.shader), RawRecord(oldEp, record, c.shader)) << record;
        }
        EXPECT_EQ(Bytes(ep.begin() + 4, ep.begin() + 8), Bytes(oldEp.begin() + 4, oldEp.begin() + 8));
        EXPECT_EQ(Bytes(ep.begin() + 12, ep.begin() + 16), Bytes(oldEp.begin() + 12, oldEp.begin() + 16));
        c.check(after.count(edited) ? &after.at(edited) : nullptr);
        for (const auto &[name, bytes] : FolderBytes(dir)) {
            if (name == "SET.PAK" || name == "SHADERS.PAK")
                continue;
            const Bytes &old = beforeFiles.at(name);
            ASSERT_GE(bytes.size(), old.size()) << name;
            EXPECT_TRUE(std::equal(old.begin(), old.end(), bytes.begin())) << name << " only grows";
        }
        PakVerifyReport report;
        ASSERT_TRUE(PakWrite_Verify(path, report, error));
        EXPECT_TRUE(report.broken.empty()) << report.broken[0].problem;
    }
}

TEST(PakWrite, RefusesAndChangesNothing)
{
    struct Case {
        const char *what;
        std::function<bool(PakWriter &, const TempDir &, std::string &)> attempt;  // true: refused
    };
    const Bytes one = TextBytes(10, 'x');
    const Case cases[] = {
        {"name over 64 bytes",
         [&](PakWriter &w, const TempDir &, std::string &e) {
             return PakWrite_Add(w, std::string(65, 'n'), one, PakCompress::Auto, e) < 0;
         }},
        {"empty name", [&](PakWriter &w, const TempDir &, std::string &e) { return !PakWrite_Rename(w, 0, "", e); }},
        {"skipped record", [&](PakWriter &w, const TempDir &, std::string &e) { return !PakWrite_Remove(w, 3, e); }},
        {"record past the index",
         [&](PakWriter &w, const TempDir &, std::string &e) { return !PakWrite_Replace(w, 7, one, PakCompress::Auto, e); }},
        {"missing companion",
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             unlink((d / "SET_01.PAK").c_str());
             PakSaveReport r;
             return PakWrite_Replace(w, 4, one, PakCompress::Auto, e) && !PakWrite_Save(w, {}, r, e);
         }},
        {"read-only companion",
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             chmod((d / "SET_00.PAK").c_str(), 0444);
             PakSaveReport r;
             return PakWrite_Replace(w, 2, one, PakCompress::Auto, e) && !PakWrite_Save(w, {}, r, e);
         }},
        {"companion that is a folder",
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             unlink((d / "SET_01.PAK").c_str());
             std::filesystem::create_directory(d / "SET_01.PAK");
             PakSaveReport r;
             return PakWrite_Replace(w, 4, one, PakCompress::Auto, e) && !PakWrite_Save(w, {}, r, e);
         }},
        {"output over the input's companion",
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             PakSaveReport r;
             return !PakWrite_Save(w, {d / "SET_00.PAK"}, r, e) && !PakWrite_Save(w, {d / "SET.PAK", true}, r, e);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = WriteTestSet(dir);
        PakWriter w;
        std::string error;
        ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
        const auto before = FolderBytes(dir);
        EXPECT_TRUE(c.attempt(w, dir, error));
        EXPECT_FALSE(error.empty());
        const auto after = FolderBytes(dir);
        for (const auto &[name, bytes] : after)
            if (before.count(name)) {
                EXPECT_EQ(bytes, before.at(name)) << name;
            }
        EXPECT_LE(after.size(), before.size()) << "no file left behind";
    }
}

// A file that would pass 2 GiB is not grown: the bytes go into a new
// companion. The companion is made that large as a sparse file.
TEST(PakWrite, NeverGrowsAFilePastTwoGiB)
{
    TempDir dir;
    const std::string path = WriteTestSet(dir);
    ASSERT_EQ(truncate((dir / "SET_00.PAK").c_str(), kPakFileLimit - 100), 0);
    PakWriter w;
    std::string error;
    ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
    const Bytes data = Pattern(1000, 3);
    ASSERT_TRUE(PakWrite_Replace(w, 2, data, PakCompress::None, error)) << error;
    ASSERT_TRUE(Save(w));
    EXPECT_EQ(Fixture_ReadFile(dir / "SET_02.PAK"), data);
    const auto after = ReadBack(path);
    EXPECT_EQ(after.at(2).record.part, 2);
    EXPECT_EQ(after.at(2).resource, data);
    struct stat st;
    ASSERT_EQ(stat((dir / "SET_00.PAK").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, kPakFileLimit - 100);
}

TEST(PakWrite, CompactDropsDeadSpaceAndKeepsStoredBytes)
{
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "new set");
        TempDir dir, out;
        const std::string path = WriteTestSet(dir);
        PakWriter w;
        std::string error;
        ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
        ASSERT_TRUE(PakWrite_Replace(w, 2, TextBytes(100, 'r'), PakCompress::None, error));
        ASSERT_TRUE(PakWrite_Remove(w, 0, error));
        const auto before = ReadBack(path);
        const std::string target = inPlace ? path : out / "NEW.PAK";
        ASSERT_TRUE(Save(w, inPlace ? "" : target, true));

        const auto after = ReadBack(target);
        ASSERT_EQ(after.size(), before.size() - 1);  // the removed entry is gone, the skipped record too
        auto it = after.begin();
        for (int record : {1, 2, 4, 5, 6}) {
            const SeenEntry &seen = it++->second;
            EXPECT_EQ(std::string(seen.record.name), std::string(before.at(record).record.name));
            EXPECT_EQ(seen.resource, record == 2 ? TextBytes(100, 'r') : before.at(record).resource);
            if (record != 2) {
                EXPECT_EQ(seen.stored, before.at(record).stored);
            }
        }
        uint64_t total = 0;
        for (const auto &[name, bytes] : FolderBytes(inPlace ? dir : out))
            total += bytes.size();
        uint64_t live = 16 + 5 * 88;
        for (const auto &[record, seen] : after)
            live += seen.stored.size();
        EXPECT_EQ(total, live) << "no dead space";
    }
}

TEST(PakWrite, VerifyNamesBrokenEntries)
{
    struct Case {
        const char *what;
        std::function<void(FixtureArchive &)> damage;
        int broken;  // the record reported broken, or -1: none
        size_t overlaps;
    };
    const Case cases[] = {
        {"sound", [](FixtureArchive &) {}, -1, 0},
        {"beyond its file", [](FixtureArchive &a) { a.entries[1].overrideSize = true, a.entries[1].size = 99999; }, 1, 0},
        {"missing companion", [](FixtureArchive &a) { a.entries[1].part = 7; }, 1, 0},
        {"short stream", [](FixtureArchive &a) { a.entries[0].bytes.resize(a.entries[0].bytes.size() - 5); }, 0, 0},
        {"declares more", [](FixtureArchive &a) { a.entries[0].bytes[7] += 1; }, 0, 0},
        {"shares bytes", [](FixtureArchive &a) { a.entries[1].overrideOffset = true, a.entries[1].offset = 16 + 2 * 88; },
         -1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        FixtureArchive a;
        a.entries = {{"packed", Fixture_LzoBlock(TextBytes(3000, 'p'))}, {"raw", TextBytes(40, 'r')}};
        c.damage(a);
        ASSERT_TRUE(Fixture_WritePak(dir / "V.PAK", a));
        unlink((dir / "V_07.PAK").c_str());  // the missing companion's
        PakVerifyReport report;
        std::string error;
        ASSERT_TRUE(PakWrite_Verify(dir / "V.PAK", report, error));
        ASSERT_EQ(report.broken.size(), c.broken < 0 ? 0u : 1u);
        if (c.broken >= 0) {
            EXPECT_EQ(report.broken[0].record, c.broken);
        }
        EXPECT_EQ(report.overlaps.size(), c.overlaps);
    }
}

// One writer at a time: a second one, of the set or of an output set another
// holds, waits its bounded time, then refuses naming the lock and its holder;
// once the first is done the set opens again.
TEST(PakWrite, SecondWriterIsRefusedWhileTheFirstHoldsTheSet)
{
    TempDir dir, out;
    const std::string path = WriteTestSet(dir);
    const auto before = FolderBytes(dir);
    std::string error;
    auto first = std::make_unique<PakWriter>();
    ASSERT_TRUE(PakWrite_Open(path, *first, error)) << error;
    ASSERT_TRUE(PakWrite_Replace(*first, 2, TextBytes(50, 'f'), PakCompress::None, error));

    PakWriter second;
    EXPECT_FALSE(PakWrite_Open(path, second, error, 0.1));
    EXPECT_NE(error.find(PakWrite_LockPath(path)), std::string::npos) << error;
    if (!kOnWindows) {  // there the locked bytes cannot be read by another handle
        EXPECT_NE(error.find("by process " + std::to_string(getpid())), std::string::npos) << error;
    }
    EXPECT_EQ(FolderBytes(dir), before);

    // The first writer's output is its own while it holds it: a pack into it waits, then refuses.
    PakWriter other;
    const std::string otherSet = WriteTestSet(out);
    ASSERT_TRUE(PakWrite_Open(otherSet, other, error)) << error;
    PakPackReport packed;
    PakPackOptions pack;
    pack.lockWait = 0;
    EXPECT_FALSE(PakWrite_Pack(dir.path, otherSet, pack, packed, error));
    EXPECT_NE(error.find("SET.PAK.lock"), std::string::npos) << error;
    PakSaveOptions toOther;
    toOther.output = otherSet;
    first->lockWait = 0;
    PakSaveReport report;
    EXPECT_FALSE(PakWrite_Save(*first, toOther, report, error));
    EXPECT_EQ(FolderBytes(dir), before);

    ASSERT_TRUE(Save(*first));
    first.reset();
    ASSERT_TRUE(PakWrite_Open(path, second, error, 0)) << error;
    EXPECT_EQ(ReadBack(path).at(2).resource, TextBytes(50, 'f'));
}

// What a hostile user does beside a save, one row each: the save refuses (or
// goes ahead) as the row says, and what it must not touch is as it was.
TEST(PakWrite, HostileNeighboursOfASave)
{
    struct Case {
        const char *what;
        bool opensItself;  // the row opens the set itself; else `w` holds it open
        // Runs the row in `dir` (the set is SET.PAK); true when the row holds.
        std::function<bool(PakWriter &, const TempDir &, std::string &)> run;
    };
    const Bytes one = TextBytes(10, 'x');
    auto size = [](const std::string &p) {
        struct stat st {};
        return stat(p.c_str(), &st) == 0 ? st.st_size : -1;
    };
    const Case cases[] = {
        {"a companion grown by another program after it was opened: the append goes after its bytes", false,
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             const int64_t was = size(d / "SET_00.PAK");
             const int fd = open((d / "SET_00.PAK").c_str(), O_WRONLY | O_APPEND);
             const bool grown = write(fd, "theirs", 6) == 6;
             close(fd);
             PakSaveReport r;
             const bool saved = PakWrite_Replace(w, 2, Pattern(3000, 4), PakCompress::None, e) &&
                                PakWrite_Save(w, {}, r, e);
             const Bytes companion = Fixture_ReadFile(d / "SET_00.PAK");
             return grown && saved && size(d / "SET_00.PAK") == was + 6 + 3000 &&
                    Bytes(companion.begin() + was, companion.begin() + was + 6) == Fixture_FromString("theirs") &&
                    ReadBack(d / "SET.PAK").at(2).resource == Pattern(3000, 4);
         }},
        {"an entry point that is a link is not written through", true,
         [&](PakWriter &, const TempDir &d, std::string &e) {
             if (kOnWindows)
                 return true;  // making a link needs a privilege there
             std::filesystem::rename(d / "SET.PAK", d / "REAL.PAK");
             std::filesystem::create_symlink("REAL.PAK", d / "SET.PAK");
             PakWriter linked;
             PakSaveReport r;
             const bool refused = PakWrite_Open(d / "SET.PAK", linked, e, 0) &&
                                  PakWrite_Replace(linked, 0, one, PakCompress::None, e) &&
                                  !PakWrite_Save(linked, {}, r, e);
             return refused && e.find("is a link") != std::string::npos &&
                    std::filesystem::is_symlink(d / "SET.PAK");
         }},
        {"-o over a file that is no archive: refused, then replaced when asked", false,
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             Fixture_WriteFile(d / "NOTES.PAK", Fixture_FromString("my notes"));
             PakSaveReport r;
             PakSaveOptions o;
             o.output = d / "NOTES.PAK";
             const bool refused = !PakWrite_Save(w, o, r, e) &&
                                  Fixture_ReadFile(d / "NOTES.PAK") == Fixture_FromString("my notes");
             o.overwrite = true;
             return refused && PakWrite_Save(w, o, r, e) && ReadBack(d / "NOTES.PAK").size() == 6;
         }},
        {"--compact -o A.PAK of the set whose entry point is A_00.PAK keeps the input", true,
         [&](PakWriter &, const TempDir &d, std::string &e) {
             std::filesystem::rename(d / "SET.PAK", d / "A_00.PAK");
             std::filesystem::rename(d / "SET_00.PAK", d / "A_00_00.PAK");
             std::filesystem::rename(d / "SET_01.PAK", d / "A_00_01.PAK");
             const auto input = FolderBytes(d);
             PakWriter a;
             PakSaveReport r;
             const bool saved = PakWrite_Open(d / "A_00.PAK", a, e, 0) && PakWrite_Save(a, {d / "A.PAK", true}, r, e);
             for (const auto &[name, bytes] : input)
                 if (FolderBytes(d).at(name) != bytes)
                     return false;
             const auto in = ReadBack(d / "A_00.PAK"), made = ReadBack(d / "A.PAK");
             std::vector<Bytes> was, now;
             for (const auto &[record, seen] : in)
                 was.push_back(seen.resource);
             for (const auto &[record, seen] : made)
                 now.push_back(seen.resource);
             return saved && was.size() == 6 && was == now;
         }},
        {"a rebuild keeps the set's owner, group and mode in every new file", true,
         [&](PakWriter &, const TempDir &d, std::string &e) {
#ifdef _WIN32
             return true;  // no owner or permission bits to keep
#else
             for (const char *name : {"SET.PAK", "SET_00.PAK", "SET_01.PAK"}) {
                 chmod((d / name).c_str(), 0600);
                 if (chown((d / name).c_str(), 4321, 4321) != 0 && getuid() == 0)
                     return false;
             }
             PakWriter c;
             PakSaveReport r;
             if (!PakWrite_Open(d / "SET.PAK", c, e, 0) || !PakWrite_Save(c, {"", true}, r, e))
                 return false;
             for (const auto &[name, bytes] : FolderBytes(d)) {
                 struct stat st {};
                 stat((d / name).c_str(), &st);
                 if ((st.st_mode & 0777) != 0600 || (getuid() == 0 && st.st_uid != 4321))
                     return false;
             }
             return true;
#endif
         }},
        {"a killed save's entry-point temporary: listed by verify, removed by the next save", true,
         [&](PakWriter &, const TempDir &d, std::string &e) {
             Fixture_WriteFile(d / "SET.PAK.Ab12cd", one);
             PakVerifyReport v;
             const bool listed = PakWrite_Verify(d / "SET.PAK", v, e) && v.leftovers.size() == 1;
             PakWriter next;
             return listed && PakWrite_Open(d / "SET.PAK", next, e, 0) &&
                    !std::filesystem::exists(d / "SET.PAK.Ab12cd");
         }},
        {"a compact over a damaged entry names the entry", false,
         [&](PakWriter &w, const TempDir &d, std::string &e) {
             const bool cut = truncate((d / "SET_01.PAK").c_str(), 100) == 0;
             PakSaveReport r;
             return cut && !PakWrite_Save(w, {"", true}, r, e) && e.find("c1\\two.bin") != std::string::npos &&
                    e.find(".PAK.") == std::string::npos;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = WriteTestSet(dir);
        PakWriter w;
        std::string error;
        if (!c.opensItself) {
            ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
        }
        EXPECT_TRUE(c.run(w, dir, error)) << error;
    }
}

// A shader archive has no companions: a pack that would carry its one file
// past 2 GiB is refused before anything is written. The files are sparse.
TEST(PakWrite, ShaderPackPastTwoGiBIsRefused)
{
    TempDir in, out;
    for (const char *name : {"a.shader", "b.shader"}) {
        Fixture_WriteFile(in / name, TextBytes(1, 's'));
        ASSERT_EQ(truncate((in / name).c_str(), kPakFileLimit / 2 + 10), 0);
    }
    PakPackOptions options;
    options.compress = PakCompress::None;
    PakPackReport report;
    std::string error;
    EXPECT_FALSE(PakWrite_Pack(in.path, out / "SHADERS.PAK", options, report, error));
    EXPECT_NE(error.find("2 GiB"), std::string::npos) << error;
    EXPECT_TRUE(FolderBytes(out).empty());
}

// Every order of names is the list's: a new entry goes into the file of the
// entry the list shows just before it, whichever separator its name is written
// with, and the sorted list is the order of Pak_CompareLines.
TEST(PakWrite, NewEntrySitsBesideItsNeighbourInTheList)
{
    TempDir dir;
    FixtureArchive a;
    // Separators beside digits and '[': the bytes where '/' and '\' sort apart.
    a.entries = {{"dir\\a", TextBytes(10, 'a'), 0}, {"dir1", TextBytes(10, 'b'), 1}, {"DIR[x]", TextBytes(10, 'c')},
                 {"dir/z", TextBytes(10, 'd'), 1},  {"dir0\\q", TextBytes(10, 'e'), 0}};
    const std::string path = dir / "N.PAK";
    ASSERT_TRUE(Fixture_WritePak(path, a));
    for (const std::string name : {"dir/b", "dir\\b", "Dir0/r", "dir[", "DIR/a", "a", "z"}) {
        PakWriter w;
        std::string error;
        ASSERT_TRUE(PakWrite_Open(path, w, error)) << error;
        const int32_t record = PakWrite_Add(w, name, TextBytes(5, 'n'), PakCompress::None, error);
        ASSERT_GE(record, 0) << error;
        ASSERT_TRUE(Save(w));
        w = PakWriter{};

        PakArchive archive;
        ASSERT_EQ(Pak_OpenArchive(path, archive), PakOpenResult::Ok);
        const std::vector<int> lines = Pak_SortedLines(archive);
        EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end(), [&](int x, int y) {
            return Pak_CompareLines(archive.entries[x].displayName, archive.entries[y].displayName) < 0;
        }));
        const auto at = std::find_if(lines.begin(), lines.end(), [&](int s) { return archive.entries[s].index == record; });
        ASSERT_NE(at, lines.end());
        const PakEntry &added = archive.entries[*at];
        const PakEntry &beside = archive.entries[at == lines.begin() ? at[1] : at[-1]];
        EXPECT_EQ(added.part, beside.part) << name << " beside " << beside.displayName;
    }
}
