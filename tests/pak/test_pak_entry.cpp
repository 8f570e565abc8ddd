// Loading an entry's stored bytes, copying them, and LZO expansion.
#include "fixtures.h"
#include "host.h"
#include "pak/pak.h"
#include "temp_dir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

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

// Result, bytes and whether expanded (into stale output); a copy to a file agrees but for "LZO" blocks.
std::tuple<PakLoadResult, Bytes, bool> Load(const PakArchive &archive, int slot)
{
    const PakEntry &entry = archive.entries[slot];
    Bytes bytes(7, 0xAA);
    bool expanded = true;
    const PakLoadResult result = Pak_LoadEntry(archive, entry, bytes, &expanded);
    FILE *file = ScratchFile();
    uint64_t copied = 99;
    const PakCopyResult copy = Pak_CopyStoredEntry(archive, entry, fileno(file), &copied);
    const Bytes written = StreamBytes(file);
    fclose(file);
    if (expanded || (bytes.size() > 3 && memcmp(bytes.data(), "LZO", 3) == 0)) {
        EXPECT_EQ(copy, PakCopyResult::Compressed) << slot;
    } else {
        const PakCopyResult same[] = {PakCopyResult::Ok, PakCopyResult::CannotOpen, PakCopyResult::Corrupt,
                                      PakCopyResult::ReadFailed};
        EXPECT_EQ(std::tuple(copy, written, copied), std::tuple(same[int(result)], bytes, bytes.size())) << slot;
    }
    return {result, bytes, expanded};
}

PakArchive Open(const std::string &path, const FixtureArchive &fixture)
{
    PakArchive archive;
    EXPECT_TRUE(Fixture_WritePak(path, fixture));
    EXPECT_EQ(Pak_OpenArchive(path, archive), PakOpenResult::Ok);
    return archive;
}

}  // namespace

TEST(PakEntry, LoadsFromTheEntryPointAndCompanions)
{
    TempDir dir;
    FixtureArchive fixture;
    for (auto [name, part, location] : {std::tuple<const char *, int16_t, uint16_t>{"main", -1, 0}, {"zero", 0, 0},
                                        {"one", 1, 0}, {"here", 1, 3}, {"far", 100, 0}, {"", 1, 0},
                                        {"low", INT16_MIN, 2}})
        fixture.entries.push_back({name, Fixture_FromString(*name ? "data of "s + name : ""), part, location});
    const PakArchive archive = Open(dir / "GLOBAL.PAK", fixture);
    for (int slot = 0; slot < 7; ++slot)
        EXPECT_EQ(Load(archive, slot), std::tuple(PakLoadResult::Ok, fixture.entries[slot].bytes, false)) << slot;
    // Companions in another case: the exact name first, else the first match in byte order. Windows'
    // names ignore case, so there a decoy would be the companion itself.
    std::filesystem::rename(dir / "GLOBAL_01.PAK", dir / "global_01.pak");
    std::filesystem::rename(dir / "GLOBAL_100.PAK", dir / "gLOBAL_100.Pak");
    std::vector<const char *> decoys{"global_00.pak", "global_100.pak"};
    if (kOnWindows)
        decoys.clear();
    for (const char *decoy : decoys)
        ASSERT_TRUE(Fixture_WriteFile(dir / decoy, Bytes(64, 'd')));
    for (int slot = 0; slot < 7; ++slot)
        EXPECT_EQ(Load(archive, slot), std::tuple(PakLoadResult::Ok, fixture.entries[slot].bytes, false)) << slot;
    // A companion found once and then renamed again is looked for anew.
    std::filesystem::rename(dir / "global_01.pak", dir / "Global_01.Pak");
    EXPECT_EQ(Load(archive, 2), std::tuple(PakLoadResult::Ok, fixture.entries[2].bytes, false));
    ASSERT_EQ(remove((dir / "gLOBAL_100.Pak").c_str()), 0);
    if (!kOnWindows) {
        ASSERT_EQ(remove((dir / "global_100.pak").c_str()), 0);
    }
    EXPECT_EQ(Load(archive, 4), std::tuple(PakLoadResult::CannotOpen, Bytes{}, false));
    EXPECT_EQ(Pak_LoadMessage(PakLoadResult::CannotOpen, archive, archive.entries[4]),
              "Could not open the desired PAK entry, because '" + (dir / "GLOBAL_100.PAK") + "' could not be opened.");
    const int full = OpenFailingWrites();
    ASSERT_GE(full, 0);
    EXPECT_EQ(Pak_CopyStoredEntry(archive, archive.entries[0], full), PakCopyResult::WriteFailed);
    close(full);
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
    const PakArchive archive = Open(dir / "lie.pak", fixture);
    for (int i = 0; i < 6; ++i) {
        const auto &[offset, size, result, bytes] = rows[i];
        EXPECT_EQ(Load(archive, i + 1), std::tuple(result, Fixture_FromString(bytes), false)) << offset << "+" << size;
    }
}

// A declared length above what the stream yields gives what it yields; every
// other lie leaves the stored bytes as they were. Nothing huge is allocated.
TEST(PakEntry, LzoBlocksThatLie)
{
    TempDir dir;
    const Bytes data = Sample(5000), block = Fixture_LzoBlock(data);
    const int64_t n = static_cast<int64_t>(block.size()), c = n - 12, all = 0xFFFFFFFF;
    // bytes added (junk) or cut, header field patched (4: D, 8: C, 0: none), its value, expands
    const std::array<int64_t, 4> rows[] = {
        {0, 4, 5100, 1},  {9, 0, 0, 1},                                       // D larger yields N; junk after C
        {3 - n, 0, 0, 0}, {11 - n, 0, 0, 0},                                  // "LZO" alone; a header cut short
        {0, 4, 10000000, 1}, {0, 4, INT32_MAX, 1},                            // D far larger
        {0, 4, 4999, 0},  {0, 4, all, 0},                                     // D smaller or past 2^31 - 1
        {0, 8, c + 1, 0}, {0, 8, c - 1, 0},     {0, 8, all, 0}, {9, 8, c + 9, 0},  // C lies or counts junk
        {-10, 0, 0, 0},   {-10, 8, c - 10, 0}};                               // the stream cut short
    FixtureArchive fixture;
    for (auto [grow, field, value, expands] : rows) {
        fixture.entries.push_back({.name = "lzo", .bytes = block, .part = 2});
        fixture.entries.back().bytes.resize(n + grow, 'j');
        for (int i = 0; field && i < 4; ++i)
            fixture.entries.back().bytes[field + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
    const PakArchive archive = Open(dir / "z.pak", fixture);
    const long before = PeakResidentKb();
    for (size_t i = 0; i < std::size(rows); ++i) {
        const bool expands = rows[i][3];
        const Bytes &want = expands ? data : fixture.entries[i].bytes;
        EXPECT_EQ(Load(archive, int(i)), std::tuple(PakLoadResult::Ok, want, expands)) << i;
    }
    EXPECT_LT(PeakResidentKb() - before, 256 * 1024);  // kilobytes
}

// Both compressors' blocks expand, the densest (zeros) and empty ones too. A
// damaged stream either fails, leaving the bytes, or yields at most D bytes.
TEST(PakEntry, LzoBlocksExpandAndBitFlipsStayBounded)
{
    const Bytes data = Sample(400);
    for (bool best : {true, false}) {
        for (const Bytes &original : {data, Bytes(1 << 20, 0), Bytes{}}) {
            Bytes b = Fixture_LzoBlock(original, best);
            EXPECT_TRUE(DecompressLzoEntry(b));
            EXPECT_EQ(b, original);
        }
        const Bytes block = Fixture_LzoBlock(data, best);
        int refused = 0;
        for (size_t bit = 12 * 8; bit < block.size() * 8; ++bit) {
            Bytes flipped = block;
            flipped[bit / 8] ^= static_cast<uint8_t>(1 << bit % 8);
            Bytes b = flipped;
            const bool expanded = DecompressLzoEntry(b);
            ASSERT_TRUE(expanded ? b.size() <= data.size() : b == flipped) << bit;
            refused += !expanded;
        }
        EXPECT_GT(refused, 0);
    }
}
