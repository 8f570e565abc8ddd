// Loading an entry's stored bytes from the file that holds them, and LZO expansion.
#include "fixtures.h"
#include "pak/pak.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

// Text with repeats and stretches of noise, as resources are.
Bytes Sample(size_t n)
{
    Bytes b(n);
    for (uint32_t i = 0, x = 1; i < n; ++i, x = x * 1103515245u + 12345u)
        b[i] = i % 1000 < 600 ? "the quick brown fox "[i % 20] : static_cast<uint8_t>(x >> 24);
    return b;
}

void PutU32BE(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Result, bytes and whether they were expanded; the output starts stale to show that it is cleared.
std::tuple<PakLoadResult, Bytes, bool> Load(const PakArchive &archive, int slot)
{
    Bytes bytes(7, 0xAA);
    bool compressed = true;
    PakLoadResult result = Pak_LoadEntry(archive, archive.entries[slot], bytes, &compressed);
    return {result, bytes, compressed};
}

}  // namespace

TEST(PakEntry, LoadsFromTheEntryPointAndCompanionsEachTime)
{
    TempDir dir;
    FixtureArchive fixture;
    for (auto [name, part, location] : {std::tuple<const char *, int16_t, uint16_t>{"main", -1, 0}, {"zero", 0, 0},
                                        {"one", 1, 0}, {"here", 1, 3}, {"far", 100, 0}, {"", 1, 0}})
        fixture.entries.push_back({name, Fixture_FromString(*name ? "data of "s + name : ""), part, location});
    ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", fixture));
    PakArchive archive;
    ASSERT_EQ(Pak_OpenArchive(dir / "GLOBAL.PAK", archive), PakOpenResult::Ok);
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_EQ(Load(archive, slot), std::tuple(PakLoadResult::Ok, fixture.entries[slot].bytes, false)) << slot;
    // Nothing is cached: a second load reads the companion again.
    ASSERT_TRUE(Fixture_WriteFile(dir / "GLOBAL_01.PAK", Fixture_FromString("DATA OF ONE")));
    EXPECT_EQ(std::get<1>(Load(archive, 2)), Fixture_FromString("DATA OF ONE"));

    ASSERT_EQ(remove((dir / "GLOBAL_100.PAK").c_str()), 0);
    EXPECT_EQ(Load(archive, 4), std::tuple(PakLoadResult::CannotOpen, Bytes{}, false));
    EXPECT_EQ(Pak_LoadMessage(PakLoadResult::CannotOpen, archive, archive.entries[4]),
              "Could not open the desired PAK entry, because '" + (dir / "GLOBAL_100.PAK") + "' could not be opened.");
}

// Bytes missing at the end of the file read as zero; a size beyond the whole file is refused.
TEST(PakEntry, RecordsThatPointPastTheirFile)
{
    TempDir dir;
    const uint32_t end = 16 + 7 * 88 + 10;  // the file: header, 7 records, "0123456789"
    const std::tuple<uint32_t, uint32_t, PakLoadResult, std::string> rows[] = {
        {end - 4, 6, PakLoadResult::Ok, "6789\0\0"s},  {0x7FFFFFF0u, 4, PakLoadResult::Ok, "\0\0\0\0"s},
        {0xFFFFFFF0u, 4, PakLoadResult::Ok, "\0\0\0\0"s}, {12345, 0, PakLoadResult::Ok, ""},
        {0, end + 1, PakLoadResult::Corrupt, ""},         {0, 0xFFFFFFFEu, PakLoadResult::Corrupt, ""}};
    FixtureArchive fixture{{{.name = "real", .bytes = Fixture_FromString("0123456789")}}};
    for (const auto &[offset, size, result, bytes] : rows)
        fixture.entries.push_back(
            {.name = "lie", .overrideOffset = true, .offset = offset, .overrideSize = true, .size = size});
    ASSERT_TRUE(Fixture_WritePak(dir / "lie.pak", fixture));
    PakArchive archive;
    ASSERT_EQ(Pak_OpenArchive(dir / "lie.pak", archive), PakOpenResult::Ok);
    for (int i = 0; i < 6; ++i) {
        const auto &[offset, size, result, bytes] = rows[i];
        EXPECT_EQ(Load(archive, i + 1), std::tuple(result, Fixture_FromString(bytes), false)) << offset << "+" << size;
    }
}

TEST(PakEntry, LzoBlocksFromBothCompressorsExpand)
{
    // A megabyte of zeros is about the densest block LZO1X makes.
    for (const Bytes &data : {Sample(100000), Bytes(1 << 20, 0), Sample(1), Bytes{}}) {
        for (bool best : {true, false}) {
            Bytes block = Fixture_LzoBlock(data, best);
            ASSERT_GE(block.size(), 12u);
            EXPECT_TRUE(DecompressLzoEntry(block)) << data.size() << (best ? " 999" : " 1");
            EXPECT_EQ(block, data);
        }
    }
}

// Every lie leaves the stored bytes as they were, and nothing huge is allocated.
TEST(PakEntry, LzoBlocksThatLieAreKeptAsStored)
{
    TempDir dir;
    const Bytes data = Sample(5000), block = Fixture_LzoBlock(data);
    const int64_t n = static_cast<int64_t>(block.size()), c = n - 12, all = 0xFFFFFFFF;
    // bytes added (junk) or cut, header field patched (4: D, 8: C, 0: none), its value, expands
    const std::array<int64_t, 4> rows[] = {
        {0, 4, 5100, 1},  {9, 0, 0, 1},                                       // D larger yields N; junk after C
        {3 - n, 0, 0, 0}, {11 - n, 0, 0, 0},                                  // "LZO" alone; a header cut short
        {0, 4, 4999, 0},  {0, 4, INT32_MAX, 0}, {0, 4, all, 0},               // D smaller or huge
        {0, 8, c + 1, 0}, {0, 8, c - 1, 0},     {0, 8, all, 0}, {9, 8, c + 9, 0},  // C lies or counts junk
        {-10, 0, 0, 0},   {-10, 8, c - 10, 0}};                               // the stream cut short
    FixtureArchive fixture;
    for (auto [grow, field, value, expands] : rows) {
        fixture.entries.push_back({.name = "lzo", .bytes = block, .part = 2});
        fixture.entries.back().bytes.resize(n + grow, 'j');
        if (field)
            PutU32BE(fixture.entries.back().bytes, field, static_cast<uint32_t>(value));
    }
    ASSERT_TRUE(Fixture_WritePak(dir / "z.pak", fixture));
    PakArchive archive;
    ASSERT_EQ(Pak_OpenArchive(dir / "z.pak", archive), PakOpenResult::Ok);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    for (size_t i = 0; i < std::size(rows); ++i) {
        const bool expands = rows[i][3];
        const Bytes &stored = fixture.entries[i].bytes;
        EXPECT_EQ(Load(archive, int(i)), std::tuple(PakLoadResult::Ok, expands ? data : stored, expands)) << i;
    }
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024);  // kilobytes
}

// A damaged stream either fails, leaving the bytes, or yields at most D bytes; never a stray access.
TEST(PakEntry, BitFlippedLzoStreams)
{
    const Bytes data = Sample(400);
    for (bool best : {true, false}) {
        const Bytes block = Fixture_LzoBlock(data, best);
        int refused = 0;
        for (size_t bit = 12 * 8; bit < block.size() * 8; ++bit) {
            Bytes flipped = block;
            flipped[bit / 8] ^= static_cast<uint8_t>(1 << bit % 8);
            Bytes b = flipped;
            if (DecompressLzoEntry(b)) {
                ASSERT_LE(b.size(), data.size());
            } else {
                ASSERT_EQ(b, flipped);
                ++refused;
            }
        }
        EXPECT_GT(refused, 0);
    }
}

// Copying stored bytes to a file gives exactly what loading gives, for real
// entries, lying records and missing files alike; LZO blocks are left to loading.
TEST(PakEntry, CopyingStoredBytesMatchesLoading)
{
    TempDir dir;
    const uint32_t end = 16 + 8 * 88 + 10 + 400;
    FixtureArchive fixture{{{.name = "real", .bytes = Fixture_FromString("0123456789")},
                            {.name = "big", .bytes = Sample(400), .part = 0}}};
    fixture.entries.push_back({.name = "packed", .bytes = Fixture_LzoBlock(Sample(5000))});
    fixture.entries.push_back({.name = "gone", .bytes = Sample(10), .part = 7});
    const std::pair<uint32_t, uint32_t> lies[] = {{end - 4, 6}, {0x7FFFFFF0u, 4}, {0, end + 1}, {12345, 0}};
    for (const auto &[offset, size] : lies)
        fixture.entries.push_back(
            {.name = "lie", .overrideOffset = true, .offset = offset, .overrideSize = true, .size = size});
    ASSERT_TRUE(Fixture_WritePak(dir / "copy.pak", fixture));
    ASSERT_EQ(remove((dir / "copy_07.PAK").c_str()), 0);
    PakArchive archive;
    ASSERT_EQ(Pak_OpenArchive(dir / "copy.pak", archive), PakOpenResult::Ok);

    for (size_t slot = 0; slot < archive.entries.size(); ++slot) {
        const PakEntry &entry = archive.entries[slot];
        Bytes loaded;
        const PakLoadResult load = Pak_LoadEntry(archive, entry, loaded);
        const std::string out = dir / ("out" + std::to_string(slot));
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        uint64_t copied = 99;
        const PakCopyResult copy = Pak_CopyStoredEntry(archive, entry, fd, &copied);
        close(fd);
        if (std::string(entry.name) == "packed") {
            EXPECT_EQ(copy, PakCopyResult::Compressed);
            continue;
        }
        const PakCopyResult expected = load == PakLoadResult::Ok           ? PakCopyResult::Ok
                                       : load == PakLoadResult::CannotOpen ? PakCopyResult::CannotOpen
                                                                           : PakCopyResult::Corrupt;
        EXPECT_EQ(copy, expected) << slot;
        EXPECT_EQ(Fixture_ReadFile(out), loaded) << slot;
        EXPECT_EQ(copied, loaded.size()) << slot;
    }

    int full = open("/dev/full", O_WRONLY);
    if (full >= 0) {
        EXPECT_EQ(Pak_CopyStoredEntry(archive, archive.entries[1], full), PakCopyResult::WriteFailed);
        close(full);
    }
}
