// Reading one entry's stored bytes and expanding LZO-compressed blocks.
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <climits>
#include <cstring>
#include <lzo/lzo1x.h>

namespace {

constexpr size_t kLzoHeaderSize = 12;

// An LZO1X stream cannot expand by much more than 255 to 1 (long matches add
// 255 bytes of length per input byte), so a declared length beyond this is a lie
// and must not size an allocation.
constexpr uint64_t kLzoMaxRatio = 256;
constexpr uint64_t kLzoSlack = 4096;

}  // namespace

std::string Pak_LoadMessage(PakLoadResult result, const PakArchive &archive, const PakEntry &entry)
{
    std::string file = GetEntryFilePath(archive, entry);
    switch (result) {
    case PakLoadResult::CannotOpen:
        return "Could not open the desired PAK entry, because '" + file + "' could not be opened.";
    case PakLoadResult::Corrupt:
        return "Could not load the desired PAK entry, because its size (" + std::to_string(entry.size) +
               " bytes) is more than '" + file + "' holds.";
    case PakLoadResult::Ok:
        break;
    }
    return "";
}

bool DecompressLzoEntry(std::vector<uint8_t> &bytes)
{
    if (bytes.size() < kLzoHeaderSize || memcmp(bytes.data(), "LZO", 3) != 0)
        return false;
    if (lzo_init() != LZO_E_OK)
        return false;
    const uint64_t expanded = Bytes_ReadU32BE(bytes.data() + 4);
    const uint64_t packed = Bytes_ReadU32BE(bytes.data() + 8);
    // The stream must lie wholly inside the stored bytes.
    if (packed > bytes.size() - kLzoHeaderSize)
        return false;
    if (expanded > INT32_MAX || expanded > packed * kLzoMaxRatio + kLzoSlack)
        return false;

    std::vector<uint8_t> scratch;
    try {
        // Never a zero-sized buffer: the decompressor is handed a real pointer.
        scratch.resize(static_cast<size_t>(expanded > 0 ? expanded : 1));
    } catch (const std::bad_alloc &) {
        return false;
    }
    lzo_uint produced = static_cast<lzo_uint>(expanded);
    // lzo1x_decompress_safe never writes past `expanded` bytes nor reads past `packed`.
    int rc = lzo1x_decompress_safe(bytes.data() + kLzoHeaderSize, static_cast<lzo_uint>(packed),
                                   scratch.data(), &produced, nullptr);
    if (rc != LZO_E_OK || produced > expanded)
        return false;
    scratch.resize(produced);
    scratch.shrink_to_fit();
    bytes.swap(scratch);
    return true;
}

PakOpenFile::~PakOpenFile()
{
    if (file)
        fclose(file);
}

PakLoadResult Pak_LoadEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &out,
                            bool *wasCompressed)
{
    PakOpenFile open;
    return Pak_LoadEntry(archive, entry, out, wasCompressed, open);
}

PakLoadResult Pak_LoadEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &out,
                            bool *wasCompressed, PakOpenFile &open)
{
    out.clear();
    if (wasCompressed)
        *wasCompressed = false;
    std::string path = GetEntryFilePath(archive, entry);
    if (!open.file || open.path != path) {
        if (open.file)
            fclose(open.file);
        open.path = path;
        open.file = path.size() <= kPathMax ? fopen(path.c_str(), "rb") : nullptr;
        open.length = open.file ? Pak_FileLength(open.file) : -1;
    }
    if (!open.file)
        return PakLoadResult::CannotOpen;
    FILE *file = open.file;

    // A record may claim more than its file holds. Bytes missing at the end of
    // a short file read as zero, but a size beyond the whole file (or beyond
    // what a resource length can be) is refused rather than allocated.
    const int64_t fileLength = open.length;
    if (entry.size > INT32_MAX || fileLength < 0 || entry.size > static_cast<uint64_t>(fileLength))
        return PakLoadResult::Corrupt;

    try {
        out.assign(entry.size, 0);
    } catch (const std::bad_alloc &) {
        out.clear();
        return PakLoadResult::Corrupt;
    }
    clearerr(file);  // a short read of an earlier entry leaves the end-of-file mark
    if (entry.size > 0 && Pak_SeekSet(file, entry.offset))
        (void)fread(out.data(), 1, out.size(), file);

    if (out.size() > 3 && memcmp(out.data(), "LZO", 3) == 0) {
        bool expanded = DecompressLzoEntry(out);
        if (wasCompressed)
            *wasCompressed = expanded;
    }
    return PakLoadResult::Ok;
}
