// Entry-point file checks and the index reader.
#include "base/ascii.h"
#include "base/memory.h"
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <algorithm>
#include <cstring>

const char *Pak_OpenMessage(PakOpenResult result)
{
    switch (result) {
    case PakOpenResult::CannotOpen:
        return "There was an error opening the file.";
    case PakOpenResult::BadExtension:
        return "Expected actual filename to have .pak extension.";
    case PakOpenResult::NotEntryPoint:
        return "This file is not Duskmoor entry-point PAK. GLOBAL.PAK, M01_NIGHTMARE.PAK, "
               "M02_FENHOLT1.PAK, and so on are all valid entry files.";
    case PakOpenResult::Ok:
        break;
    }
    return "";
}

bool Pak_HasPakExtension(const std::string &path)
{
    return path.size() > 4 && Ascii_Equal(std::string_view(path).substr(path.size() - 4), ".pak");
}

bool Pak_IsShaderArchive(std::string_view baseName)
{
    return Ascii_Equal(baseName, "SHADERS") || Ascii_Equal(baseName, "SHADERSL");
}

// Converts one record, standard or shader form, into a slot.
static void DecodeRecord(const uint8_t *rec, bool shaderForm, PakEntry &entry)
{
    memcpy(entry.name, rec, sizeof entry.name);
    if (shaderForm) {
        entry.offset = Bytes_ReadU32LE(rec + 64);
        entry.size = Bytes_ReadU32LE(rec + 68);
        entry.part = -1;
        return;  // the remaining words stay 0, location 0
    }
    entry.word64 = Bytes_ReadU32LE(rec + 64);
    entry.word68 = Bytes_ReadU32LE(rec + 68);
    entry.offset = Bytes_ReadU32LE(rec + 72);
    entry.size = Bytes_ReadU32LE(rec + 76);
    entry.part = static_cast<int16_t>(Bytes_ReadU16LE(rec + 80));
    entry.location = Bytes_ReadU16LE(rec + 82);
    entry.word84 = Bytes_ReadU32LE(rec + 84);
}

void Pak_FormatDisplayName(PakEntry &entry)
{
    char name[65];
    memcpy(name, entry.name, 64);
    name[64] = '\0';
    snprintf(entry.displayName, sizeof entry.displayName, "%s [%04i]", name, entry.index);
}

void ReadPakIndex(FILE *file, const std::string &path, PakArchive &archive, const PakEntrySink &sink)
{
    archive.entries.clear();
    archive.entries.shrink_to_fit();
    archive.hasIndex = true;

    archive.path = path;
    archive.pathNoExt = path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
    size_t sep = archive.pathNoExt.find_last_of("\\/");
    if (sep == std::string::npos) {
        archive.baseName.clear();
        archive.directory.clear();
    } else {
        archive.baseName = archive.pathNoExt.substr(sep + 1);
        archive.directory = archive.pathNoExt.substr(0, sep + 1);
    }

    const bool shaderForm = Pak_IsShaderArchive(archive.baseName);
    const size_t recordSize = shaderForm ? kPakShaderRecordSize : kPakRecordSize;
    if (archive.header.count <= 0)
        return;

    // A corrupt count must not size the allocation: no more slots than the
    // rest of the file could hold records for. A file without a length (a
    // pipe) gets its slots as its records arrive.
    size_t slots = static_cast<size_t>(archive.header.count);
    int64_t here = ftello(file);
    int64_t end = Pak_FileLength(file);
    if (here >= 0 && end >= here) {
        slots = std::min(slots, static_cast<size_t>(end - here) / recordSize);
        Base_ReserveLarge(archive.entries, slots);
        archive.entries.assign(slots, PakEntry{});
    }

    // Records are read in large blocks; a short block ends the index.
    constexpr size_t kBlockRecords = 4096;
    std::vector<uint8_t> block(kBlockRecords * recordSize);
    size_t i = 0;
    while (i < slots) {
        size_t want = std::min(kBlockRecords, slots - i);
        size_t got = fread(block.data(), recordSize, want, file);
        if (archive.entries.size() < i + got)
            archive.entries.resize(i + got);
        for (size_t k = 0; k < got; ++k, ++i) {
            const uint8_t *rec = block.data() + k * recordSize;
            uint32_t size = Bytes_ReadU32LE(rec + (shaderForm ? 68 : 76));
            if (size == kPakSkippedSize)
                continue;
            PakEntry &entry = archive.entries[i];
            DecodeRecord(rec, shaderForm, entry);
            entry.index = static_cast<int32_t>(i);
            Pak_FormatDisplayName(entry);
            if (sink)
                sink(entry);
        }
        if (got < want)
            break;
    }
}

int64_t Pak_CountEntries(FILE *file, const std::string &path, const PakHeader &header)
{
    if (header.count <= 0)
        return 0;
    const std::string pathNoExt = path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
    const size_t sep = pathNoExt.find_last_of("\\/");
    const bool shaderForm = Pak_IsShaderArchive(sep == std::string::npos ? std::string() : pathNoExt.substr(sep + 1));
    const size_t recordSize = shaderForm ? kPakShaderRecordSize : kPakRecordSize;
    const size_t sizeAt = shaderForm ? 68 : 76;

    constexpr size_t kBlockRecords = 4096;
    std::vector<uint8_t> block(kBlockRecords * recordSize);
    size_t left = static_cast<size_t>(header.count);
    int64_t stored = 0;
    while (left > 0) {
        const size_t want = std::min(kBlockRecords, left);
        const size_t got = fread(block.data(), recordSize, want, file);
        for (size_t k = 0; k < got; ++k)
            stored += Bytes_ReadU32LE(block.data() + k * recordSize + sizeAt) != kPakSkippedSize;
        if (got < want)
            break;  // a short index ends where the file does, as the reader's does
        left -= got;
    }
    return stored;
}

int64_t Pak_FileLength(FILE *file)
{
    int64_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0)
        return -1;
    int64_t end = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0)
        return -1;
    return end;
}

bool Pak_SeekSet(FILE *file, int64_t position)
{
    return position >= 0 && fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

PakOpenResult Pak_CheckEntryPoint(const std::string &path, FILE **fileOut, PakHeader &header)
{
    *fileOut = nullptr;
    if (path.empty() || path.size() > kPathMax)
        return PakOpenResult::CannotOpen;
    // Only a regular file: a FIFO would block the open, a folder reads as nothing.
    FILE *file = Pak_OpenRegularStream(path, nullptr);
    if (!file)
        return PakOpenResult::CannotOpen;
    if (!Pak_HasPakExtension(path)) {
        fclose(file);
        return PakOpenResult::BadExtension;
    }
    uint8_t raw[kPakHeaderSize];
    if (fread(raw, 1, sizeof raw, file) != sizeof raw || memcmp(raw, "PAK_", 4) != 0) {
        fclose(file);
        return PakOpenResult::NotEntryPoint;
    }
    memcpy(header.magic, raw, 4);
    header.word4 = Bytes_ReadU32LE(raw + 4);
    header.count = static_cast<int32_t>(Bytes_ReadU32LE(raw + 8));
    header.word12 = Bytes_ReadU32LE(raw + 12);
    *fileOut = file;
    return PakOpenResult::Ok;
}

PakOpenResult Pak_OpenArchive(const std::string &path, PakArchive &archive, const PakEntrySink &sink)
{
    FILE *file = nullptr;
    PakHeader header{};
    PakOpenResult result = Pak_CheckEntryPoint(path, &file, header);
    if (result != PakOpenResult::Ok)
        return result;
    Pak_Release(archive);
    archive.header = header;
    ReadPakIndex(file, path, archive, sink);
    fclose(file);
    return PakOpenResult::Ok;
}

void Pak_Release(PakArchive &archive)
{
    archive = PakArchive{};
}

std::string GetEntryFilePath(const PakArchive &archive, const PakEntry &entry)
{
    if (entry.part < 0 || entry.location == 3)
        return archive.path;
    char suffix[16];
    snprintf(suffix, sizeof suffix, "_%02i.PAK", static_cast<int>(entry.part));
    return archive.pathNoExt + suffix;
}

int Pak_FindEntryByLine(const PakArchive &archive, const std::string &line)
{
    // The list control hands back at most 255 characters of a line.
    std::string text = line.substr(0, 255);
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const PakEntry &entry = archive.entries[i];
        if (entry.displayName[0] != '\0' && text == entry.displayName)
            return static_cast<int>(i);
    }
    return -1;
}
