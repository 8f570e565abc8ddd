// Thumbnails: entries as small RGBA pictures fitted into an N x N square.
// A texture costs one small level's decode (its own mip levels), a material
// shows its diffuse texture as the view would find it. Plain C++, no GL.
#pragma once

#include "lookup/lookup.h"
#include "pak/pak.h"
#include "resource/resource_kind.h"
#include "texture/texture_decode.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// Thumbnail sides the tools offer; any side from 1 to kThumbMaxSize works.
constexpr uint32_t kThumbMaxSize = 1024;

// The level of `texture` a thumbnail of `size` is made from: the smallest
// whose longer side is still at least `size`, so that the picture is only
// ever scaled down; level 0 when even that one is smaller. UINT32_MAX when
// the texture's largest level is not all there.
uint32_t Thumb_ChooseLevel(std::span<const uint8_t> texture, uint32_t size);

// `image` scaled to fit inside size x size, sides in proportion (each at
// least 1): every thumbnail pixel the average of the source pixels it covers
// (alpha kept, colours weighted by it so transparent texels do not darken
// the edges), or the nearest pixel where the source is smaller.
TextureImage Thumb_Fit(const TextureImage &image, uint32_t size);

// The thumbnail of a texture resource; false (with why in `*error`, may be
// null) when it does not decode.
bool Thumb_FromTexture(std::span<const uint8_t> texture, uint32_t size, TextureImage &out,
                       std::string *error = nullptr);

// The thumbnail of a resource of `kind`: a texture's own, a material's
// diffuse texture as `archives` find it (a missing one shows the view's
// stand-in, "__missingtexture", when there is one). `name` is the entry's
// name (a material's text is read as the one of that name). False for other
// kinds and for what cannot be found or decoded.
bool Thumb_FromResource(const LookupArchives &archives, const std::string &name, ResourceKind kind,
                        std::span<const uint8_t> resource, uint32_t size, TextureImage &out,
                        std::string *error = nullptr);

// Decoded thumbnails kept for reuse, under keys the caller makes (the archive,
// entry and size, and whatever says the entry changed), evicted least
// recently used first so that their pixels never take more than `budget`
// bytes. Safe to use from several threads; pictures are shared, never copied.
class ThumbCache {
public:
    explicit ThumbCache(size_t budgetBytes);
    ThumbCache(const ThumbCache &) = delete;
    ThumbCache &operator=(const ThumbCache &) = delete;

    // The picture kept under `key` (now the most recently used), or null.
    std::shared_ptr<const TextureImage> Find(const std::string &key);
    // Keeps `image` under `key` (replacing what it held), then evicts the
    // least recently used until the budget holds. A picture larger than the
    // whole budget is not kept. Returns the shared picture.
    std::shared_ptr<const TextureImage> Put(const std::string &key, TextureImage image);
    // Forgets `key` (an entry that changed).
    void Remove(const std::string &key);
    void Clear();

    size_t Bytes() const;
    size_t Count() const;
    size_t Budget() const { return budget_; }

private:
    struct Item {
        std::string key;
        std::shared_ptr<const TextureImage> image;
        size_t bytes;
    };
    void EvictLocked();

    const size_t budget_;
    mutable std::mutex mutex_;
    std::list<Item> order_;  // most recently used first
    std::unordered_map<std::string, std::list<Item>::iterator> items_;
    size_t bytes_ = 0;
};

// ---- contact sheets (thumb_sheet.cpp) ----

// One cell of a sheet: what it shows and where.
struct ThumbCell {
    const PakArchive *archive = nullptr;
    int slot = -1;                   // the entry's slot in `archive`
    ResourceKind kind = KindUnknown;
    uint32_t x = 0, y = 0;           // the thumbnail's top-left pixel in the sheet
    uint32_t width = 0, height = 0;  // its sides (0 x 0: nothing drawn)
    std::string failure;             // why nothing was drawn
};

struct ThumbSheetOptions {
    uint32_t size = 128;    // the side of every cell's square
    uint32_t columns = 0;   // 0: a square-ish grid
    uint32_t gap = 4;       // pixels between cells and around the edge
    int workers = 0;        // threads that decode (Base_WorkerCount's rule)
    std::vector<ResourceKind> kinds;  // kinds that get a cell; empty: textures and materials
};

// Lays out `cells` (in the order given, row by row) and draws them into
// `sheet`: each entry is loaded, classified and its thumbnail centred in its
// cell, on a transparent background, by a pool of threads. Entries of other
// kinds than asked are dropped from `cells` before the layout; entries that
// fail keep an empty cell and their reason. Materials' textures are looked up
// in the entry's archive, then in GLOBAL.PAK beside it. False only when the
// sheet cannot be made (too large: `error` says so).
bool Thumb_MakeSheet(std::vector<ThumbCell> &cells, const ThumbSheetOptions &options, TextureImage &sheet,
                     std::string &error);

// ---- thumbnails made in the background (thumb_queue.cpp) ----

// An archive the queue's workers read entries from, with GLOBAL.PAK beside it
// for the materials' textures. Shared by the requests of its entries.
struct ThumbSource {
    std::string path;  // the entry-point file: read by the first worker that needs it
    PakArchive pak;    // or given whole (an archive whose edits wait: its entries as shown)
    bool given = false;
    // Resources of `pak` that wait for a save, by slot: used instead of the stored bytes.
    std::unordered_map<int, std::shared_ptr<const std::vector<uint8_t>>> pending;

    // Filled by the workers.
    std::mutex openLock;  // held while `pak` is read from `path`
    bool opened = false, refused = false;
    PakArchive global;
    std::mutex globalLock;
};

// One thumbnail wanted.
struct ThumbRequest {
    uint64_t tag = 0;  // given back with its result
    std::string key;   // the picture is kept in the cache under it
    std::shared_ptr<ThumbSource> source;
    int slot = -1;
    uint32_t size = 128;
};

// What was made of a request: the entry's kind, and whether its picture is
// now in the cache (false for kinds without one and for what cannot be read
// or decoded).
struct ThumbResult {
    uint64_t tag = 0;
    int kind = -1;  // a ResourceKind; -2 when the entry could not be read
    bool pictured = false;
};

// A queue of thumbnail requests made on worker threads (the threads of
// Base_ParallelFor, started while requests wait), the front first: the one
// who asks never loads or decodes. Pictures go into `cache`, each result to
// `done` on the worker that made it.
class ThumbQueue {
public:
    ThumbQueue(ThumbCache &cache, int workers, std::function<void(const ThumbResult &)> done);
    ~ThumbQueue();  // drops what waits, waits for the requests being made
    ThumbQueue(const ThumbQueue &) = delete;
    ThumbQueue &operator=(const ThumbQueue &) = delete;

    // Replaces the waiting requests by `requests`, made front to back; those
    // being made already are not made twice.
    void Want(std::vector<ThumbRequest> requests);
    // Nothing waits and nothing is being made.
    bool Idle() const;

private:
    void Drive();
    bool Take(ThumbRequest &request);
    void Make(const ThumbRequest &request, PakOpenFile &open, std::vector<uint8_t> &bytes);

    ThumbCache &cache_;
    const int workers_;
    const std::function<void(const ThumbResult &)> done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::list<ThumbRequest> waiting_;
    std::unordered_map<std::string, int> making_;  // keys being made now
    bool stop_ = false;
    std::thread driver_;
};
