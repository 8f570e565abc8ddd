// View > "As &Gallery": the entries of the lines the list shows as a grid of
// thumbnails in the right-hand pane. This part knows which entries they are
// and where their bytes are (no wx); the window draws them (gallery_panel.h).
#pragma once

#include "thumb/thumb.h"
#include "viewer/viewer_window.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The sides the gallery offers, and its cache: the pictures of every size
// together stay within it, whatever the number of entries.
constexpr int kGallerySizes[] = {64, 128, 256};
// Half of the 256 MB the gallery may add: the rest is for the pictures on
// screen, the workers' buffers and what the allocator keeps of them.
constexpr size_t kGalleryCacheBytes = size_t{128} << 20;

struct GalleryCell {
    int source = 0;         // its archive: GalleryCells::sources
    int slot = -1;          // its entry in that archive
    int line = -1;          // the list's line; in the tree, the line of its archive's entries
    int treeArchive = -1;   // the tree's archive that holds it; -1 while the list shows it
    std::string name;       // the entry's name, as the list's line starts
    uint8_t mark = 0;       // an EntryMark: its edit that waits for a save
    std::string key;        // its pictures' cache key, less the size
    int8_t kind = -1;       // a ResourceKind once read; -2 when it cannot be read
    bool pictureless = false;  // asked, and it has no picture (of this size)
};

struct GalleryCells {
    std::vector<std::shared_ptr<ThumbSource>> sources;
    std::vector<GalleryCell> cells;
    // Kept from one making to the next: the folder's archives (read once), and
    // a number for each resource that waits for a save, so that a cell's key
    // changes when its entry is replaced and holds while it is not.
    std::map<std::string, std::shared_ptr<ThumbSource>> folderSources;
    std::map<const void *, std::pair<std::weak_ptr<const std::vector<uint8_t>>, uint64_t>> editNumbers;
    uint64_t nextEditNumber = 1;
};

// The cells of what the list shows now (after the find text and kind), or of
// every entry of the tree while it stands in the list's place (a folder: all
// of its archives), in that order. Kinds already known are kept.
void App_MakeGalleryCells(GalleryCells &gallery);

// The cell of the selected entry; -1 when none is shown.
int App_GallerySelectedCell(const GalleryCells &gallery);

// The cache key of a cell's picture of `size` pixels.
std::string App_GalleryKey(const GalleryCell &cell, int size);
