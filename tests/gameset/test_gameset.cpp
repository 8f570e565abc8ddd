// A folder's archives and the comparison of two versions.
#include "gameset/gameset.h"
#include "host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

enum class Made { Archive, NotPakHeader, Folder, Fifo };

TEST(Gameset, FolderArchivesAreEntryPointsOnly)
{
    // name, what is made there, listed without / with --recursive
    const std::tuple<const char *, Made, bool, bool> cases[] = {
        {"GLOBAL.PAK", Made::Archive, true, true},
        {"global_00.pak", Made::Archive, false, false},   // a companion in another case
        {"Global_01.Pak", Made::Archive, false, false},
        {"GLOBAL_123.PAK", Made::Archive, false, false},
        {"GLOBAL_007.PAK", Made::Archive, true, true},    // the rule never writes "007"
        {"GLOBAL_1.PAK", Made::Archive, true, true},      // nor "1"
        {"M01_NIGHTMARE.PAK", Made::Archive, true, true},
        {"M03_00.PAK", Made::Archive, true, true},        // companion-like, no M03.PAK beside it
        {"X.PAK", Made::Folder, false, false},
        {"X_00.PAK", Made::Archive, true, true},          // X.PAK is a folder, not its entry point
        {"NOTES.PAK", Made::NotPakHeader, false, false},
        {"NOTES_00.PAK", Made::Archive, true, true},
        {"PIPE.PAK", Made::Fifo, false, false},
        {"readme.txt", Made::Archive, false, false},
        {"dlc/M09_CRYPT.pak", Made::Archive, false, true},
        {"dlc/M09_CRYPT_00.PAK", Made::Archive, false, false},
    };
    TempDir dir;
    fs::create_directory(dir / "dlc");
    const Bytes pak = Fixture_PakBytes({{{"a", Str("x")}}});
    for (const auto &[name, made, listed, listedDeep] : cases) {
        const std::string path = dir / name;
        if (made == Made::Archive)
            ASSERT_TRUE(Fixture_WriteFile(path, pak));
        else if (made == Made::NotPakHeader)
            ASSERT_TRUE(Fixture_WriteFile(path, Str("PAK-not an archive")));
        else if (made == Made::Folder)
            fs::create_directory(path);
        else
            ASSERT_TRUE(kOnWindows || MakeFifo(path));  // never listed; Windows has no FIFOs
    }
    for (const bool recursive : {false, true}) {
        std::vector<GamesetArchive> archives;
        std::string error;
        ASSERT_TRUE(Gameset_ListArchives(dir.path, recursive, archives, error)) << error;
        std::vector<std::string> names;
        for (const GamesetArchive &a : archives) {
            names.push_back(a.name);
            EXPECT_TRUE(fs::is_regular_file(a.path)) << a.path;
        }
        std::vector<std::string> expected;
        for (const auto &[name, made, listed, listedDeep] : cases)
            if (recursive ? listedDeep : listed)
                expected.push_back(name);
        std::sort(expected.begin(), expected.end(), [](const std::string &a, const std::string &b) {
            return Pak_CompareLines(a.c_str(), b.c_str()) < 0;
        });
        EXPECT_EQ(names, expected) << "recursive " << recursive;
    }
    std::vector<GamesetArchive> none;
    std::string error;
    EXPECT_FALSE(Gameset_ListArchives(dir / "missing", false, none, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

// Each difference as "change name#occurrence".
std::vector<std::string> Differences(const FixtureArchive &older, const FixtureArchive &newer, size_t *troubles = nullptr)
{
    TempDir dir;
    PakArchive oldPak, newPak;
    EXPECT_TRUE(Fixture_WritePak(dir / "OLD.PAK", older) && Fixture_WritePak(dir / "NEW.PAK", newer));
    EXPECT_EQ(Pak_OpenArchive(dir / "OLD.PAK", oldPak), PakOpenResult::Ok);
    EXPECT_EQ(Pak_OpenArchive(dir / "NEW.PAK", newPak), PakOpenResult::Ok);
    std::vector<std::string> lines;
    static const char *const kNames[] = {"unchanged", "added", "removed", "changed"};
    GamesetDiffOptions options;
    options.workers = 2;
    const GamesetDiffSummary summary = Gameset_DiffArchives(
        "NEW.PAK", oldPak, newPak, options,
        [&](const GamesetArchiveDiff &diff) {
            for (const GamesetEntryDiff &d : diff.entries)
                if (d.change != GamesetChange::Unchanged)
                    lines.push_back(std::string(kNames[static_cast<int>(d.change)]) + " " + std::string(d.name) +
                                    "#" + std::to_string(d.occurrence));
        },
        {});
    EXPECT_EQ(summary.differs, !lines.empty());
    if (troubles)
        *troubles = summary.troubles;
    return lines;
}

TEST(Gameset, DiffKnowsEntriesByNameAndOccurrenceAndResource)
{
    // Text that compresses well, ending in literals: a byte changed at its
    // end changes the compressed stream's last byte, not its length.
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += "line " + std::to_string(i % 97) + " of the dialogue\n";
    text += "THE END?";
    std::string textEdited = text;
    textEdited.back() = '!';
    const Bytes packed = Fixture_LzoBlock(Str(text)), packedEdited = Fixture_LzoBlock(Str(textEdited));
    ASSERT_EQ(packed.size(), packedEdited.size());

    const FixtureArchive base{{{"a", Str("alpha")}, {"dup", Str("one")}, {"dup", Str("two")}, {"z", packed, 0}}};
    auto with = [&](auto edit) {
        FixtureArchive a = base;
        edit(a.entries);
        return a;
    };
    using Entries = std::vector<FixtureEntry>;
    const std::tuple<const char *, FixtureArchive, std::vector<std::string>> cases[] = {
        {"same", base, {}},
        {"one byte at the end of a compressed entry", with([&](Entries &e) { e[3].bytes = packedEdited; }),
         {"changed z#1"}},
        {"the same resource stored plain", with([&](Entries &e) { e[3].bytes = Str(text); }), {}},
        {"compressed by the other compressor, in the entry-point file",
         with([&](Entries &e) { e[3] = {"z", Fixture_LzoBlock(Str(text), false)}; }), {}},
        {"a plain entry of another length", with([&](Entries &e) { e[0].bytes = Str("alphabet"); }),
         {"changed a#1"}},
        {"renamed", with([&](Entries &e) { e[0].name = "b"; }), {"removed a#1", "added b#1"}},
        {"the second of two names changed", with([&](Entries &e) { e[2].bytes = Str("TWO"); }),
         {"changed dup#2"}},
        {"a third of a name added", with([&](Entries &e) { e.push_back({"dup", Str("three")}); }),
         {"added dup#3"}},
        {"moved to the front (record numbers change)",
         with([&](Entries &e) { std::rotate(e.begin(), e.begin() + 3, e.end()); }), {}},
    };
    for (const auto &[what, newer, expected] : cases)
        EXPECT_EQ(Differences(base, newer), expected) << what;

    // An entry that cannot be read is trouble, never a difference.
    size_t troubles = 0;
    EXPECT_EQ(Differences(base, with([&](Entries &e) { e[3].overrideSize = true, e[3].size = 1u << 30; }), &troubles),
              std::vector<std::string>{});
    EXPECT_EQ(troubles, 1u);
}

}  // namespace

namespace {

// Many entries on several threads: every hit comes once, in list order, and
// a stop asked for from the sink ends the search within the pool's window.
TEST(Gameset, SearchHandsHitsOnInListOrder)
{
    TempDir dir;
    FixtureArchive archive;
    for (int i = 0; i < 300; ++i) {
        const std::string text = "line one\nneedle " + std::to_string(i) + "\n";
        archive.entries.push_back({"e" + std::to_string(1000 + (i * 7919) % 300),
                                   i % 2 ? Fixture_LzoBlock(Str(text)) : Str(text)});
    }
    ASSERT_TRUE(Fixture_WritePak(dir / "A.PAK", archive));
    const std::vector<GamesetArchive> archives{{dir / "A.PAK", "A.PAK"}};
    GamesetSearchOptions options;
    options.text = "NEEDLE";
    options.workers = 3;
    std::vector<std::string> lines;
    GamesetSearchSummary summary = Gameset_Search(
        archives, options, [&](const GamesetTextHit &hit) {
            EXPECT_EQ(hit.line, 2u);
            lines.push_back(hit.entry.displayName);
        },
        {});
    EXPECT_EQ(summary.hits, 300u);
    EXPECT_EQ(summary.troubles, 0u);
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));

    std::atomic<bool> stop{false};
    options.stop = &stop;
    size_t seen = 0;
    summary = Gameset_Search(archives, options, [&](const GamesetTextHit &) { stop = ++seen == 10; }, {});
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(seen, 10u);
}

// The text at every place of a long line, past the 16-byte steps the search
// takes: each found once, on its line, case ignored unless asked; a near miss
// and a byte that only case-folding by bit would make equal are not found.
TEST(Gameset, SearchFindsTheTextAtEveryPlaceOfALine)
{
    TempDir dir;
    FixtureArchive archive;
    for (size_t at = 0; at <= 50; ++at) {
        std::string line(56, '~');  // '~' | 0x20 is '~': never mistaken for anything
        line.replace(at, 6, "NeEd[E");
        const std::string text = "needlE\n" + std::string(40, 'n') + "need[\n" + line + "\nneed\x7B" "e\n";
        archive.entries.push_back({"e" + std::to_string(100 + at), Str(text)});
    }
    ASSERT_TRUE(Fixture_WritePak(dir / "A.PAK", archive));
    const std::vector<GamesetArchive> archives{{dir / "A.PAK", "A.PAK"}};
    GamesetSearchOptions options;
    options.text = "need[e";
    std::vector<size_t> lines;
    EXPECT_EQ(Gameset_Search(archives, options, [&](const GamesetTextHit &hit) {
                  lines.push_back(hit.line);
                  EXPECT_EQ(hit.text.find("NeEd[E"), size_t(hit.entry.displayName[2] - '0') * 10 +
                                                         size_t(hit.entry.displayName[3] - '0'));
              }, {}).hits, 51u);
    EXPECT_EQ(lines, std::vector<size_t>(51, 3));
    options.matchCase = true;
    EXPECT_EQ(Gameset_Search(archives, options, {}, {}).hits, 0u);
}

// The folders that extracting these archives together gives them.
std::vector<std::string> FoldersOf(const std::vector<std::string> &names)
{
    std::vector<GamesetArchive> archives;
    for (const std::string &name : names)
        archives.push_back({"/game/" + name, name});
    return Gameset_ExtractFolders(archives);
}

}  // namespace

// Each archive's folder, as the window's Export All and `extract` name them:
// never outside the output folder, never another archive's folder or inside it.
TEST(Gameset, ExtractFoldersStayInsideAndApart)
{
    // archive names (in list order), their folders
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"GLOBAL.PAK", "dlc/M09_CRYPT.PAK"}, {"GLOBAL", "dlc/M09_CRYPT"}},
        {{"...PAK", "..PAK"}, {"...PAK", "..PAK"}},
        {{"M01.PAK", "m01.pak"}, {"M01", "m01.pak"}},
        {{"A.PAK", "A/B.PAK"}, {"A.PAK", "A/B"}},
        {{"a.PAK", "A/B.PAK"}, {"a.PAK", "A/B"}},
        {{"A/B.PAK", "A/B/C.PAK"}, {"A/B.PAK", "A/B/C"}},
        {{"ab:c/X.PAK", "ab_c/X.PAK"}, {"ab_c/X", "ab_c/X.PAK"}},
        {{"X.PAK", "x.pak", "X.PAK/Y.PAK"}, {"X", "x.pak_2", "X.PAK/Y"}},
        {{"C:x.PAK", "back\\slash.PAK"}, {"x", "back_slash"}},
    };
    for (const auto &[names, folders] : cases)
        EXPECT_EQ(FoldersOf(names), folders) << names[0] << ", " << names[1];
}
