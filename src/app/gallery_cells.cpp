// The gallery's cells from what the list or the tree shows, and where their
// bytes are: the open archive as the window shows it (its edits included), or
// a folder's archives, each read by the gallery's workers on first use.
#include "app/gallery.h"

#include "viewer/viewer_state.h"

#include <cstring>
#include <unordered_map>

namespace {

bool Narrowed()
{
    return !viewer.session.findText.empty() || viewer.session.findKind >= 0;
}

std::string EntryName(const PakEntry &entry)
{
    return std::string(entry.name, strnlen(entry.name, sizeof entry.name));
}

// The number of a resource that waits for a save, the same while it lives.
uint64_t EditNumber(GalleryCells &gallery, const EditResource &resource)
{
    auto &known = gallery.editNumbers[resource.get()];
    if (known.first.lock() != resource)
        known = {resource, gallery.nextEditNumber++};
    return known.second;
}

std::shared_ptr<ThumbSource> FolderSource(GalleryCells &gallery, const std::string &path)
{
    std::shared_ptr<ThumbSource> &source = gallery.folderSources[path];
    if (!source) {
        source = std::make_shared<ThumbSource>();
        source->path = path;
    }
    return source;
}

void AddFolderLine(GalleryCells &gallery, std::unordered_map<std::string, int> &sourceOf, size_t a, size_t i,
                   bool inTree)
{
    const TreeArchive &archive = viewer.session.tree.archives[a];
    auto [at, added] = sourceOf.try_emplace(archive.file.path, static_cast<int>(gallery.sources.size()));
    if (added)
        gallery.sources.push_back(FolderSource(gallery, archive.file.path));
    GalleryCell cell;
    cell.source = at->second;
    cell.slot = archive.lines.slots[i];
    cell.line = inTree ? static_cast<int>(i) : static_cast<int>(gallery.cells.size());
    cell.treeArchive = inTree ? static_cast<int>(a) : -1;
    cell.name = std::string(archive.lines.Line(i).substr(0, archive.lines.nameLength[i]));
    // A folder's archives take no edits: the entry's record stays what it is.
    cell.key = archive.file.path + "|" + std::to_string(cell.slot);
    if (i < archive.kinds.size() && archive.kinds[i] >= 0)
        cell.kind = archive.kinds[i];
    gallery.cells.push_back(std::move(cell));
}

}  // namespace

std::string App_GalleryKey(const GalleryCell &cell, int size)
{
    return cell.key + "|" + std::to_string(size);
}

void App_MakeGalleryCells(GalleryCells &gallery)
{
    // What was read of the cells before (a find narrows what is already known).
    std::unordered_map<std::string, std::pair<int8_t, bool>> known;
    for (const GalleryCell &cell : gallery.cells)
        if (cell.kind != -1)
            known.emplace(cell.key, std::make_pair(cell.kind, cell.pictureless));
    gallery.cells.clear();
    gallery.sources.clear();

    if (viewer.session.folderMode) {
        std::unordered_map<std::string, int> sourceOf;
        if (Narrowed()) {
            for (const Session::FolderHit &hit : viewer.session.folderHits)
                AddFolderLine(gallery, sourceOf, static_cast<size_t>(hit.archive), static_cast<size_t>(hit.line),
                              false);
        } else {
            for (size_t a = 0; a < viewer.session.tree.archives.size(); ++a)
                if (ArchiveTree_ReadLines(viewer.session.tree.archives[a]))
                    for (size_t i = 0; i < viewer.session.tree.archives[a].lines.size(); ++i)
                        AddFolderLine(gallery, sourceOf, a, i, true);
        }
    } else if (viewer.session.mainPak.hasIndex) {
        // The archive as shown: a copy, so that the workers never read what
        // the window changes (an edit, another archive opened).
        auto source = std::make_shared<ThumbSource>();
        source->path = viewer.session.mainPak.path;
        source->pak = viewer.session.mainPak;
        source->given = true;
        const bool inTree = viewer.treeView && !Narrowed();
        for (size_t i = 0; i < viewer.session.listedSlots.size(); ++i) {
            const int slot = viewer.session.listedSlots[i];
            if (slot < 0 || static_cast<size_t>(slot) >= viewer.session.mainPak.entries.size())
                continue;
            const PakEntry &entry = viewer.session.mainPak.entries[static_cast<size_t>(slot)];
            GalleryCell cell;
            cell.slot = slot;
            cell.line = static_cast<int>(i);
            cell.treeArchive = inTree ? 0 : -1;
            cell.name = EntryName(entry);
            cell.mark = static_cast<uint8_t>(Edits_Mark(viewer.session.edits, slot));
            if (const std::vector<uint8_t> *pending = Edits_Resource(viewer.session.edits, slot)) {
                // The log holds the resource that waits; find the shared one that owns it.
                for (auto edit = viewer.session.edits.log.rbegin(); edit != viewer.session.edits.log.rend(); ++edit)
                    if (edit->resource.get() == pending) {
                        source->pending[slot] = edit->resource;
                        cell.key = "edit " + std::to_string(EditNumber(gallery, edit->resource));
                        break;
                    }
            }
            if (cell.key.empty()) {
                // Where its bytes are: a save that moves them makes a new key.
                cell.key = viewer.session.mainPak.path + "|" + std::to_string(entry.part) + "|" +
                           std::to_string(entry.location) + "|" + std::to_string(entry.offset) + "|" +
                           std::to_string(entry.size);
                if (static_cast<size_t>(slot) < viewer.session.entryKinds.size() && viewer.session.entryKinds[slot] >= 0)
                    cell.kind = viewer.session.entryKinds[static_cast<size_t>(slot)];
            }
            gallery.cells.push_back(std::move(cell));
        }
        gallery.sources.push_back(std::move(source));
    }
    for (GalleryCell &cell : gallery.cells)
        if (const auto it = known.find(cell.key); it != known.end()) {
            cell.kind = it->second.first;
            cell.pictureless = it->second.second;
        }
    // Numbers of resources no longer waiting are let go.
    std::erase_if(gallery.editNumbers, [](const auto &entry) { return entry.second.first.expired(); });
}

int App_GallerySelectedCell(const GalleryCells &gallery)
{
    const int slot = viewer.session.selectedEntry;
    if (slot < 0 || !viewer.session.mainPak.hasIndex)
        return -1;
    for (size_t i = 0; i < gallery.cells.size(); ++i) {
        const GalleryCell &cell = gallery.cells[i];
        if (cell.slot == slot && gallery.sources[static_cast<size_t>(cell.source)]->path == viewer.session.mainPak.path)
            return static_cast<int>(i);
    }
    return -1;
}
