// Entry loading and LZO expansion. The input is one entry's stored bytes:
// DecompressLzoEntry runs on them directly, again with the stream length made
// to fit the bytes present (so mutations of the stream itself get past the
// header), and Pak_LoadEntry reads them back out of a one-entry archive.
// The archive path must give exactly what the direct call gives.
#include "fuzz_util.h"
#include "pak/pak.h"

#include <vector>

namespace {

constexpr size_t kLzoHeaderSize = 12;
constexpr uint32_t kEntryOffset = kPakHeaderSize + kPakRecordSize;

void PutU32LE(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU32BE(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Expands and checks the outcome: on failure the bytes are untouched, on
// success they are no longer than the block declared.
bool Expand(const std::vector<uint8_t> &stored, std::vector<uint8_t> &out)
{
    out = stored;
    const bool expanded = DecompressLzoEntry(out);
    if (!expanded) {
        FUZZ_CHECK(out == stored);
        return false;
    }
    FUZZ_CHECK(stored.size() >= kLzoHeaderSize && memcmp(stored.data(), "LZO", 3) == 0);
    FUZZ_CHECK(out.size() <= FuzzReadU32BE(stored.data() + 4));
    FUZZ_CHECK(FuzzReadU32BE(stored.data() + 8) <= stored.size() - kLzoHeaderSize);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> stored(data, data + size);
    std::vector<uint8_t> direct;
    const bool expanded = Expand(stored, direct);

    if (size >= kLzoHeaderSize && memcmp(data, "LZO", 3) == 0) {
        std::vector<uint8_t> fitted = stored, out;
        PutU32BE(fitted.data() + 8, static_cast<uint32_t>(size - kLzoHeaderSize));
        (void)Expand(fitted, out);
    }

    // The same bytes as the one entry of an archive, right after its index.
    std::vector<uint8_t> file(kEntryOffset, 0);
    memcpy(file.data(), "PAK_", 4);
    PutU32LE(file.data() + 4, 1);
    PutU32LE(file.data() + 8, 1);
    memcpy(file.data() + kPakHeaderSize, "entry", 5);
    PutU32LE(file.data() + kPakHeaderSize + 72, kEntryOffset);
    PutU32LE(file.data() + kPakHeaderSize + 76, static_cast<uint32_t>(size));
    file[kPakHeaderSize + 80] = 0xFF;  // part -1: the entry-point file
    file[kPakHeaderSize + 81] = 0xFF;
    file.insert(file.end(), data, data + size);

    FuzzScratch &scratch = FuzzScratch::Get();
    if (!scratch.Write("ENTRY.PAK", file.data(), file.size()))
        return 0;
    PakArchive archive;
    FUZZ_CHECK(Pak_OpenArchive(scratch.Path("ENTRY.PAK"), archive) == PakOpenResult::Ok);
    FUZZ_CHECK(archive.entries.size() == 1);

    std::vector<uint8_t> loaded;
    bool compressed = !expanded;
    FUZZ_CHECK(Pak_LoadEntry(archive, archive.entries[0], loaded, &compressed) == PakLoadResult::Ok);
    FUZZ_CHECK(compressed == expanded);
    FUZZ_CHECK(loaded == direct);
    return 0;
}
