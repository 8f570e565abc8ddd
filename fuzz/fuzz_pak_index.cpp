// The entry-point checks and the index reader over arbitrary file contents.
// The input is the whole entry-point file. It is opened under a standard name
// (88-byte records, companion 00 being the same file) and under a shader
// archive's name (76-byte records); then the list order, the line lookup and
// the loading of the first entries run over what was read.
#include "fuzz_util.h"
#include "pak/pak.h"

#include <algorithm>

namespace {

constexpr size_t kLoadsPerArchive = 8;

void CheckArchive(const PakArchive &archive, size_t fileSize, size_t recordSize, size_t sinkCalls)
{
    FUZZ_CHECK(archive.hasIndex);
    const size_t records = fileSize >= kPakHeaderSize ? (fileSize - kPakHeaderSize) / recordSize : 0;
    const size_t count = archive.header.count > 0 ? static_cast<size_t>(archive.header.count) : 0;
    // No slot beyond what the header claims or what the file can hold.
    FUZZ_CHECK(archive.entries.size() <= std::min(count, records));

    size_t stored = 0;
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const PakEntry &entry = archive.entries[i];
        FUZZ_CHECK(memchr(entry.displayName, 0, sizeof entry.displayName) != nullptr);
        if (entry.displayName[0] == '\0')
            continue;  // a skipped record stays cleared
        ++stored;
        FUZZ_CHECK(entry.index == static_cast<int32_t>(i));
        FUZZ_CHECK(entry.size != kPakSkippedSize);
        // The line is the name (64 bytes at most), a blank and the bracketed record number.
        FUZZ_CHECK(strnlen(entry.displayName, sizeof entry.displayName) <= 64 + 3 + 10);
    }
    FUZZ_CHECK(stored == sinkCalls);

    const std::vector<int> lines = Pak_SortedLines(archive);
    FUZZ_CHECK(lines.size() == stored);
    for (size_t k = 1; k < lines.size(); ++k)
        FUZZ_CHECK(Pak_CompareLines(archive.entries[lines[k - 1]].displayName,
                                    archive.entries[lines[k]].displayName) <= 0);

    // A line's lookup finds a slot with that very line.
    for (size_t k = 0; k < lines.size() && k < kLoadsPerArchive; ++k) {
        const PakEntry &entry = archive.entries[lines[k]];
        int found = Pak_FindEntryByLine(archive, entry.displayName);
        FUZZ_CHECK(found >= 0 && found <= lines[k]);
        FUZZ_CHECK(strcmp(archive.entries[found].displayName, entry.displayName) == 0);
    }
    FUZZ_CHECK(Pak_FindEntryByLine(archive, "") == -1);

    // Entries load from the file itself, from companion 00 (the same bytes) or
    // fail to open a companion that does not exist; never beyond the file.
    std::vector<uint8_t> bytes;
    for (size_t k = 0; k < lines.size() && k < kLoadsPerArchive; ++k) {
        const PakEntry &entry = archive.entries[lines[k]];
        (void)GetEntryFilePath(archive, entry);
        bool compressed = false;
        PakLoadResult result = Pak_LoadEntry(archive, entry, bytes, &compressed);
        if (result != PakLoadResult::Ok) {
            FUZZ_CHECK(bytes.empty());
            FUZZ_CHECK(!Pak_LoadMessage(result, archive, entry).empty());
            continue;
        }
        FUZZ_CHECK(entry.size <= fileSize);
        if (!compressed)
            FUZZ_CHECK(bytes.size() == entry.size);
    }
}

void OpenAs(const char *name, size_t recordSize, const uint8_t *data, size_t size)
{
    FuzzScratch &scratch = FuzzScratch::Get();
    PakArchive archive;
    size_t sinkCalls = 0;
    PakOpenResult result = Pak_OpenArchive(scratch.Path(name), archive, [&](const PakEntry &entry) {
        FUZZ_CHECK(entry.displayName[0] != '\0');
        ++sinkCalls;
    });
    const bool isEntryPoint = size >= kPakHeaderSize && memcmp(data, "PAK_", 4) == 0;
    if (!isEntryPoint) {
        FUZZ_CHECK(result == PakOpenResult::NotEntryPoint);
        FUZZ_CHECK(!archive.hasIndex && archive.entries.empty());
        return;
    }
    FUZZ_CHECK(result == PakOpenResult::Ok);
    CheckArchive(archive, size, recordSize, sinkCalls);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch &scratch = FuzzScratch::Get();
    static bool aliased = false;
    if (!aliased) {
        scratch.Alias("FUZZ.PAK", "FUZZ_00.PAK");
        scratch.Alias("FUZZ.PAK", "SHADERS.PAK");
        scratch.Alias("FUZZ.PAK", "FUZZ.BIN");
        aliased = true;
    }
    if (!scratch.Write("FUZZ.PAK", data, size))
        return 0;

    OpenAs("FUZZ.PAK", kPakRecordSize, data, size);
    OpenAs("SHADERS.PAK", kPakShaderRecordSize, data, size);

    // The extension is refused before the header is looked at.
    FILE *file = nullptr;
    PakHeader header{};
    FUZZ_CHECK(Pak_CheckEntryPoint(scratch.Path("FUZZ.BIN"), &file, header) == PakOpenResult::BadExtension);
    FUZZ_CHECK(file == nullptr);
    return 0;
}
