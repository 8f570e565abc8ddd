// Reading one entry's stored bytes and expanding LZO-compressed blocks.
#include "base/memory.h"
#include "base/platform.h"
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <lzo/lzo1x.h>

namespace {

constexpr size_t kLzoHeaderSize = 12;

// An LZO1X stream cannot expand by much more than 255 to 1 (long matches add
// 255 bytes of length per input byte), so no block needs an output larger than
// this, whatever length it declares.
constexpr uint64_t kLzoMaxRatio = 256;
constexpr uint64_t kLzoSlack = 4096;

// A declared length up to this size, that the stream could fill, is expanded
// straight into the resource's buffer. Larger outputs, and declared lengths
// beyond what the stream can yield, are first measured in memory that is only
// touched where the stream writes: a lying length costs nothing.
constexpr uint64_t kDirectExpansion = 16u << 20;

// A buffer this large left over from the previous entry is released, not reused.
constexpr size_t kKeptCapacity = 16u << 20;

enum class Expansion { Kept, Expanded, NoMemory };

struct FileCloser {
    FILE *file;
    ~FileCloser()
    {
        if (file)
            fclose(file);
    }
};

// Untouched anonymous memory: pages count only once the stream writes them.
struct LazyBuffer {
    void *data = nullptr;
    size_t size = 0;
    explicit LazyBuffer(size_t n) : data(Sys_MapLazy(n)), size(n) {}
    ~LazyBuffer() { Sys_UnmapLazy(data, size); }
};

// Decompresses the stream into `out` with `capacity` bytes of room; the bytes
// produced, or -1 when the stream is refused.
int64_t Decompress(const uint8_t *stream, uint64_t packed, uint8_t *out, uint64_t capacity)
{
    return Pak_ExpandLzo1x(stream, static_cast<size_t>(packed), out, static_cast<size_t>(capacity));
}

Expansion ExpandLzo(std::vector<uint8_t> &bytes)
{
    if (bytes.size() < kLzoHeaderSize || memcmp(bytes.data(), "LZO", 3) != 0)
        return Expansion::Kept;
    if (lzo_init() != LZO_E_OK)
        return Expansion::Kept;
    const uint64_t declared = Bytes_ReadU32BE(bytes.data() + 4);
    const uint64_t packed = Bytes_ReadU32BE(bytes.data() + 8);
    // The stream must lie wholly inside the stored bytes.
    if (packed > bytes.size() - kLzoHeaderSize || declared > INT32_MAX)
        return Expansion::Kept;
    // The declared length is the output's room; a stream of `packed` bytes can
    // never fill more, so a length beyond that changes nothing but the allocation.
    const uint64_t capacity = std::min(declared, packed * kLzoMaxRatio + kLzoSlack);
    const uint8_t *stream = bytes.data() + kLzoHeaderSize;

    std::vector<uint8_t> result;
    try {
        if (capacity == declared && capacity <= kDirectExpansion) {
            // Never a zero-sized buffer: the decompressor is handed a real pointer.
            result.resize(static_cast<size_t>(capacity > 0 ? capacity : 1));
            const int64_t produced = Decompress(stream, packed, result.data(), capacity);
            if (produced < 0)
                return Expansion::Kept;
            result.resize(static_cast<size_t>(produced));
            result.shrink_to_fit();
        } else {
            // Measured first, then expanded once more into a buffer of exactly
            // that size: a large resource is never held twice.
            int64_t produced;
            {
                LazyBuffer scratch(static_cast<size_t>(capacity));
                if (!scratch.data)
                    return Expansion::NoMemory;
                produced = Decompress(stream, packed, static_cast<uint8_t *>(scratch.data), capacity);
            }
            if (produced < 0)
                return Expansion::Kept;
            result.resize(static_cast<size_t>(produced > 0 ? produced : 1));
            if (Decompress(stream, packed, result.data(), static_cast<uint64_t>(produced)) != produced)
                return Expansion::Kept;
            result.resize(static_cast<size_t>(produced));
        }
    } catch (const std::bad_alloc &) {
        return Expansion::NoMemory;
    }
    bytes.swap(result);
    return Expansion::Expanded;
}

// Opens (or keeps open) the file that holds the entry. A record may claim
// more than its file holds: bytes missing at the end of a short file read as
// zero, but a size beyond the whole file (or beyond what a resource length can
// be) is refused rather than allocated.
PakLoadResult OpenHoldingFile(const PakArchive &archive, const PakEntry &entry, PakOpenFile &open)
{
    const std::string path = Pak_EntryFileOnDisk(archive, entry);
    if (!open.file || open.path != path) {
        if (open.file)
            fclose(open.file);
        open.path = path;
        open.length = -1;
        open.file = Pak_OpenRegularStream(path, &open.length);
    }
    if (!open.file)
        return PakLoadResult::CannotOpen;
    if (entry.size > INT32_MAX || open.length < 0 || entry.size > static_cast<uint64_t>(open.length))
        return PakLoadResult::Corrupt;
    return PakLoadResult::Ok;
}

}  // namespace

std::string Pak_LoadMessage(PakLoadResult result, const PakArchive &archive, const PakEntry &entry)
{
    // The file as it was found on disk, which is the rule's name unless only
    // another case of it exists.
    std::string file = Pak_EntryFileOnDisk(archive, entry);
    switch (result) {
    case PakLoadResult::CannotOpen:
        return "Could not open the desired PAK entry, because '" + file + "' could not be opened.";
    case PakLoadResult::Corrupt:
        return "Could not load the desired PAK entry, because its size (" + std::to_string(entry.size) +
               " bytes) is more than '" + file + "' holds.";
    case PakLoadResult::ReadFailed:
        return "Could not load the desired PAK entry, because reading '" + file + "' failed.";
    case PakLoadResult::NoMemory:
        return "Could not load the desired PAK entry, because there is not enough memory to hold it.";
    case PakLoadResult::Ok:
        break;
    }
    return "";
}

bool DecompressLzoEntry(std::vector<uint8_t> &bytes)
{
    return ExpandLzo(bytes) == Expansion::Expanded;
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
    if (out.capacity() > kKeptCapacity)
        std::vector<uint8_t>().swap(out);
    out.clear();
    if (wasCompressed)
        *wasCompressed = false;
    const PakLoadResult opened = OpenHoldingFile(archive, entry, open);
    if (opened != PakLoadResult::Ok)
        return opened;
    FILE *file = open.file;

    try {
        Base_ReserveLarge(out, entry.size);
        out.assign(entry.size, 0);
    } catch (const std::bad_alloc &) {
        out.clear();
        return PakLoadResult::NoMemory;
    }
    clearerr(file);  // a short read of an earlier entry leaves the end-of-file mark
    if (entry.size > 0 && Pak_SeekSet(file, entry.offset)) {
        (void)fread(out.data(), 1, out.size(), file);
        // Only the end of the file may cut the bytes short; a failed read is no resource.
        if (ferror(file)) {
            std::vector<uint8_t>().swap(out);
            return PakLoadResult::ReadFailed;
        }
    }

    if (out.size() > 3 && memcmp(out.data(), "LZO", 3) == 0) {
        switch (ExpandLzo(out)) {
        case Expansion::Expanded:
            if (wasCompressed)
                *wasCompressed = true;
            break;
        case Expansion::NoMemory:
            std::vector<uint8_t>().swap(out);
            return PakLoadResult::NoMemory;
        case Expansion::Kept:
            break;
        }
    }
    return PakLoadResult::Ok;
}

PakLoadResult Pak_LoadEntryReusing(const PakArchive &archive, const PakEntry &entry, size_t have,
                                   PakEntryBuffers &buffers, PakOpenFile &open, std::span<const uint8_t> &resource)
{
    resource = {};
    const PakLoadResult opened = OpenHoldingFile(archive, entry, open);
    if (opened != PakLoadResult::Ok)
        return opened;
    const size_t size = static_cast<size_t>(entry.size);
    std::vector<uint8_t> &stored = buffers.stored;
    have = std::min(have, size);
    try {
        // A buffer grown for one large entry is not kept for the small ones after it.
        if (stored.capacity() > kKeptCapacity && size <= kKeptCapacity && have == 0)
            std::vector<uint8_t>().swap(stored);
        if (stored.size() < size)
            stored.resize(size);
    } catch (const std::bad_alloc &) {
        return PakLoadResult::NoMemory;
    }
    size_t got = have;
    clearerr(open.file);
    if (size > have && Pak_SeekSet(open.file, static_cast<int64_t>(entry.offset + have))) {
        got += fread(stored.data() + have, 1, size - have, open.file);
        if (ferror(open.file))
            return PakLoadResult::ReadFailed;
    }
    memset(stored.data() + got, 0, size - got);  // the end a short file leaves out reads as zero
    resource = {stored.data(), size};
    if (size < kLzoHeaderSize || memcmp(stored.data(), "LZO", 3) != 0 || lzo_init() != LZO_E_OK)
        return PakLoadResult::Ok;
    const uint64_t declared = Bytes_ReadU32BE(stored.data() + 4);
    const uint64_t packed = Bytes_ReadU32BE(stored.data() + 8);
    if (packed > size - kLzoHeaderSize || declared > INT32_MAX)
        return PakLoadResult::Ok;  // kept as stored, as Pak_LoadEntry keeps it
    const uint64_t capacity = std::min(declared, packed * kLzoMaxRatio + kLzoSlack);
    if (capacity == declared && capacity <= kDirectExpansion) {
        std::vector<uint8_t> &expanded = buffers.expanded;
        try {
            if (expanded.capacity() > kKeptCapacity && capacity <= kKeptCapacity)
                std::vector<uint8_t>().swap(expanded);
            if (expanded.size() < std::max<uint64_t>(capacity, 1))
                expanded.resize(static_cast<size_t>(std::max<uint64_t>(capacity, 1)));
        } catch (const std::bad_alloc &) {
            return PakLoadResult::NoMemory;
        }
        const int64_t produced = Decompress(stored.data() + kLzoHeaderSize, packed, expanded.data(), capacity);
        if (produced >= 0)
            resource = {expanded.data(), static_cast<size_t>(produced)};
        return PakLoadResult::Ok;
    }
    // A large or lying length takes the careful way, measured before it is held.
    std::vector<uint8_t> copy(stored.begin(), stored.begin() + static_cast<ptrdiff_t>(size));
    switch (ExpandLzo(copy)) {
    case Expansion::Expanded:
        buffers.expanded.swap(copy);
        resource = buffers.expanded;
        break;
    case Expansion::NoMemory:
        resource = {};
        return PakLoadResult::NoMemory;
    case Expansion::Kept:
        break;
    }
    return PakLoadResult::Ok;
}

PakLoadResult Pak_ReadStored(const PakArchive &archive, const PakEntry &entry, uint64_t at, uint8_t *out,
                             size_t n, PakOpenFile &open)
{
    const PakLoadResult opened = OpenHoldingFile(archive, entry, open);
    if (opened != PakLoadResult::Ok)
        return opened;
    memset(out, 0, n);
    if (n == 0 || at + n > entry.size)
        return n == 0 ? PakLoadResult::Ok : PakLoadResult::Corrupt;
    clearerr(open.file);
    if (Pak_SeekSet(open.file, static_cast<int64_t>(entry.offset) + static_cast<int64_t>(at))) {
        const size_t got = fread(out, 1, n, open.file);
        if (ferror(open.file))
            return PakLoadResult::ReadFailed;
        if (got == n)
            return PakLoadResult::Ok;
    }
    // Bytes the file does not hold are no content to compare or hash.
    return PakLoadResult::Corrupt;
}
