// Entry-point checks, the index reader and the entry list's order.
#include "fixtures.h"
#include "host.h"
#include "pak/pak.h"
#include "temp_dir.h"

#include <clocale>
#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

static FixtureEntry Entry(const std::string &name, bool skipped = false)
{
    return {.name = name, .bytes = Fixture_FromString("data of " + name), .skipped = skipped};
}

static Lines Listed(const PakArchive &archive)
{
    Lines lines;
    for (int slot : Pak_SortedLines(archive))
        lines.push_back(archive.entries[slot].displayName);
    return lines;
}

TEST(PakIndex, RefusalsLeaveTheOpenArchive)
{
    TempDir dir;
    const Bytes good = Fixture_PakBytes({{Entry("box01")}});
    const std::tuple<const char *, Bytes, PakOpenResult> rows[] = {
        {"y.Pak", good, PakOpenResult::Ok}, {"x.pak.bak", good, PakOpenResult::BadExtension},
        {"short.pak", Bytes(good.begin(), good.begin() + 15), PakOpenResult::NotEntryPoint},
        {"magic.pak", Fixture_FromString("PAK-000000000000"), PakOpenResult::NotEntryPoint},
        {"absent.pak", {}, PakOpenResult::CannotOpen}, {"folder.pak", {}, PakOpenResult::CannotOpen},
        {"fifo.pak", {}, PakOpenResult::CannotOpen}};  // refused at once, never waited on (absent on Windows)
    ASSERT_TRUE(std::filesystem::create_directory(dir / "folder.pak"));
    ASSERT_TRUE(kOnWindows || MakeFifo(dir / "fifo.pak"));
    PakArchive open;
    ASSERT_TRUE(Fixture_WriteFile(dir / "first.pak", good));
    ASSERT_EQ(Pak_OpenArchive(dir / "first.pak", open), PakOpenResult::Ok);
    for (const auto &[name, bytes, expected] : rows) {
        if (expected != PakOpenResult::CannotOpen)
            Fixture_WriteFile(dir / name, bytes);
        PakArchive archive = open;
        EXPECT_EQ(Pak_OpenArchive(dir / name, archive), expected) << name;
        EXPECT_EQ(archive.path, dir / (expected == PakOpenResult::Ok ? name : "first.pak"));
        EXPECT_EQ(Listed(archive), Lines{"box01 [0000]"});
    }
    EXPECT_STREQ(Pak_OpenMessage(PakOpenResult::CannotOpen), "There was an error opening the file.");
    EXPECT_STREQ(Pak_OpenMessage(PakOpenResult::BadExtension), "Expected actual filename to have .pak extension.");
    EXPECT_STREQ(Pak_OpenMessage(PakOpenResult::NotEntryPoint),
                 "This file is not Duskmoor entry-point PAK. GLOBAL.PAK, M01_NIGHTMARE.PAK, M02_FENHOLT1.PAK, "
                 "and so on are all valid entry files.");
    EXPECT_FALSE(Pak_HasPakExtension(".pak"));
}

// A lying count never sizes the index: there are no more slots than records read.
TEST(PakIndex, LyingCountsAndTruncatedIndexes)
{
    TempDir dir;
    // count, records written, bytes cut from the end, lines listed
    const std::array<int64_t, 4> rows[] = {{0, 2, 0, 0},         {-1, 2, 0, 0},        {INT32_MIN, 0, 0, 0},
                                           {INT32_MAX, 0, 0, 0}, {INT32_MAX, 2, 0, 2}, {3, 3, 50, 2}};
    for (auto [count, records, cut, lines] : rows) {
        FixtureArchive fixture{.overrideCount = true, .count = static_cast<int32_t>(count)};
        for (int i = 0; i < records; ++i)
            fixture.entries.push_back(Entry("e" + std::to_string(i)));
        Bytes bytes = Fixture_PakBytes(fixture);
        bytes.resize(16 + 88 * records - cut);
        ASSERT_TRUE(Fixture_WriteFile(dir / "c.pak", bytes));
        PakArchive archive;
        ASSERT_EQ(Pak_OpenArchive(dir / "c.pak", archive), PakOpenResult::Ok);
        EXPECT_EQ(static_cast<int64_t>(Listed(archive).size()), lines) << count;
        EXPECT_LE(static_cast<int64_t>(archive.entries.size()), records);
    }
}

// The index reader, handed a pipe, has no length to cap the slots with.
TEST(PakIndex, HugeCountFromAPipe)
{
    PakArchive archive;
    const Bytes bytes = Fixture_PakBytes({{Entry("a"), Entry("b")}, false, true, INT32_MAX});
    int fds[2];
    ASSERT_TRUE(MakePipe(fds));
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));  // fits the pipe's buffer
    close(fds[1]);
    FILE *file = fdopen(fds[0], "rb");
    uint8_t header[kPakHeaderSize];
    ASSERT_EQ(fread(header, 1, sizeof header, file), sizeof header);
    archive.header.count = INT32_MAX;
    ReadPakIndex(file, "pipe.pak", archive);
    fclose(file);
    EXPECT_EQ(Listed(archive), (Lines{"a [0000]", "b [0001]"}));
}

// Both record forms: skipped records keep the numbering, a 64-character name is used whole.
TEST(PakIndex, StandardAndShaderRecords)
{
    TempDir dir;
    const std::string longName(64, 'n');
    for (auto [name, shaderForm] : {std::pair{"SHADERS.PAK", true}, {"shadersl.pak", true},
                                    {"SHADERS2.PAK", false}, {"shader.pak", false}}) {
        SCOPED_TRACE(name);
        FixtureArchive fixture{{Entry("water"), Entry("sky", true), Entry("fog"), Entry(longName)}, shaderForm};
        ASSERT_TRUE(Fixture_WritePak(dir / name, fixture));
        PakArchive archive;
        ASSERT_EQ(Pak_OpenArchive(dir / name, archive), PakOpenResult::Ok);
        EXPECT_EQ(Listed(archive), (Lines{"fog [0002]", longName + " [0003]", "water [0000]"}));
        const PakEntry &fog = archive.entries[2];
        const uint32_t offset = 16 + 4 * (shaderForm ? 76 : 88) + 13 + 11, word64 = shaderForm ? 0 : 0x11111111;
        EXPECT_EQ(std::tuple(fog.offset, fog.size, fog.part, fog.location, fog.word64),
                  std::tuple(offset, 11u, int16_t{-1}, uint16_t{0}, word64));
        EXPECT_EQ(Pak_FindEntryByLine(archive, "fog [0002]"), 2);
        for (const char *line : {"FOG [0002]", "sky [0001]", ""})
            EXPECT_EQ(Pak_FindEntryByLine(archive, line), -1) << line;
    }
}

// A fixed ASCII order, whatever the locale: '_' before letters, case ignored, "a [10000]" before "a [9999]".
TEST(PakIndex, SortedLineOrder)
{
    PakArchive archive;
    archive.entries.resize(10001);
    for (auto [slot, name] : {std::pair{9999, "a"}, {10000, "a"}, {3, "B"}, {5, "_x"}, {2, "c"}, {7, "A"}, {8, "a"},
                              {9, "b\xe9"}}) {
        snprintf(archive.entries[slot].name, 64, "%s", name);
        archive.entries[slot].index = slot;
        Pak_FormatDisplayName(archive.entries[slot]);
    }
    for (const char *locale : {"C.UTF-8", "C"}) {
        setlocale(LC_ALL, locale);
        EXPECT_EQ(Listed(archive), (Lines{"_x [0005]", "A [0007]", "a [0008]", "a [10000]", "a [9999]", "B [0003]",
                                          "b\xe9 [0009]", "c [0002]"}));
    }
}
