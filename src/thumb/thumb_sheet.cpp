// Contact sheets: the thumbnails of many entries laid out in a grid, made by
// a pool of threads that each load, classify and shrink one entry at a time.
#include "thumb/thumb.h"

#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <new>

namespace {

// Beyond these the sheet is not made: most programs cannot show a wider PNG,
// and the pixels are held whole before they are written.
constexpr uint64_t kMaxSide = 65535;
constexpr uint64_t kMaxBytes = uint64_t{4} << 30;

// GLOBAL.PAK beside one archive, loaded by the first worker that needs it.
struct ArchiveGlobal {
    PakArchive global;
    std::mutex lock;
};

bool Wanted(const ThumbSheetOptions &options, ResourceKind kind)
{
    if (options.kinds.empty())
        return kind == KindTexture || kind == KindMaterial;
    return std::find(options.kinds.begin(), options.kinds.end(), kind) != options.kinds.end();
}

}  // namespace

bool Thumb_MakeSheet(std::vector<ThumbCell> &cells, const ThumbSheetOptions &options, TextureImage &sheet,
                     std::string &error)
{
    sheet = TextureImage{};
    const uint32_t size = options.size;
    if (size == 0 || size > kThumbMaxSize) {
        error = "A thumbnail's side is from 1 to " + std::to_string(kThumbMaxSize) + " pixels.";
        return false;
    }
    // Made before the workers start, which then only read the map.
    std::map<const PakArchive *, ArchiveGlobal> globals;
    std::vector<ArchiveGlobal *> globalOf(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
        globalOf[i] = &globals[cells[i].archive];

    std::vector<TextureImage> images(cells.size());
    std::vector<char> keep(cells.size(), 0);
    const int workers = Base_WorkerCount(options.workers, cells.size());
    std::atomic<size_t> next{0};
    Base_ParallelFor(static_cast<size_t>(workers), workers, [&](size_t) {
        PakOpenFile open;  // each worker keeps its holding file open from one entry to the next
        std::vector<uint8_t> bytes;
        for (size_t i; (i = next.fetch_add(1)) < cells.size();) {
            ThumbCell &cell = cells[i];
            const PakEntry &entry = cell.archive->entries[static_cast<size_t>(cell.slot)];
            try {
                const PakLoadResult loaded = Pak_LoadEntry(*cell.archive, entry, bytes, nullptr, open);
                if (loaded != PakLoadResult::Ok) {
                    cell.failure = Pak_LoadMessage(loaded, *cell.archive, entry);
                    keep[i] = 1;  // unknown kind: its empty cell shows where it would be
                    continue;
                }
                cell.kind = ClassifyResource(bytes.data(), bytes.size());
                if (!Wanted(options, cell.kind))
                    continue;
                keep[i] = 1;
                ArchiveGlobal &global = *globalOf[i];
                LookupArchives archives;
                archives.main = cell.archive;
                archives.global = &global.global;
                archives.globalLock = &global.lock;
                std::string why;
                if (!Thumb_FromResource(archives, std::string(entry.name, strnlen(entry.name, sizeof entry.name)), cell.kind, bytes, size, images[i], &why))
                    cell.failure = why.empty() ? "It has no thumbnail." : why;
            } catch (const std::bad_alloc &) {
                cell.failure = "Not enough memory for this entry's thumbnail.";
                keep[i] = 1;
            }
            // A large texture's buffer is not kept for the small ones after it.
            if (bytes.capacity() > (16u << 20))
                std::vector<uint8_t>().swap(bytes);
        }
    });

    size_t kept = 0;
    for (size_t i = 0; i < cells.size(); ++i)
        if (keep[i]) {
            if (kept != i) {  // a vector moved onto itself would lose its pixels
                cells[kept] = std::move(cells[i]);
                images[kept] = std::move(images[i]);
            }
            ++kept;
        }
    cells.resize(kept);
    images.resize(kept);
    if (cells.empty()) {
        error = "No entry of the chosen kinds to show.";
        return false;
    }

    const uint64_t gap = options.gap, pitch = uint64_t{size} + gap;
    const uint64_t columns = std::min<uint64_t>(
        cells.size(), options.columns ? options.columns
                                      : static_cast<uint64_t>(std::ceil(std::sqrt(static_cast<double>(cells.size())))));
    const uint64_t rows = (cells.size() + columns - 1) / columns;
    const uint64_t width = gap + columns * pitch, height = gap + rows * pitch;
    if (width > kMaxSide || height > kMaxSide || width * height * 4 > kMaxBytes) {
        error = "The sheet would be " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels, more than can be made; choose fewer columns, a smaller --size or fewer entries.";
        return false;
    }
    try {
        sheet.rgba.assign(static_cast<size_t>(width * height * 4), 0);
    } catch (const std::bad_alloc &) {
        error = "Not enough memory for a sheet of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels.";
        return false;
    }
    sheet.width = static_cast<uint32_t>(width);
    sheet.height = static_cast<uint32_t>(height);
    for (size_t i = 0; i < cells.size(); ++i) {
        ThumbCell &cell = cells[i];
        TextureImage &image = images[i];
        const uint64_t cellX = gap + (i % columns) * pitch, cellY = gap + (i / columns) * pitch;
        // Centred in its square: a non-square texture keeps its proportions.
        cell.width = image.width;
        cell.height = image.height;
        cell.x = static_cast<uint32_t>(cellX + (size - image.width) / 2);
        cell.y = static_cast<uint32_t>(cellY + (size - image.height) / 2);
        for (uint32_t y = 0; y < image.height; ++y)
            std::copy_n(&image.rgba[static_cast<size_t>(y) * image.width * 4], static_cast<size_t>(image.width) * 4,
                        &sheet.rgba[((cell.y + y) * width + cell.x) * 4]);
        image = TextureImage{};  // its pixels are in the sheet now
    }
    return true;
}
