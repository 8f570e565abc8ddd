// Edit > "Used &By...": the places that name the selected entry, found by
// the gameset's references (the ones quillon-cli refs lists) in the open
// archive, or in every archive of an open folder.
#include "app/find_contents.h"
#include "app/app_local.h"

#include <cstring>

namespace {

// "text line 12: the line" or "surface 2 material", as the references say it.
std::string How(const GamesetTextHit &hit)
{
    if (hit.line == 0)
        return "surface " + std::to_string(hit.surface) + " material";
    std::string how = "text line " + std::to_string(hit.line) + ": ";
    for (char c : hit.text.substr(0, 160))
        how += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return how;
}

}  // namespace

void App_UsedBy(ViewerWindow &window)
{
    const int slot = viewer.session.selectedEntry;
    if (slot < 0 || static_cast<size_t>(slot) >= viewer.session.mainPak.entries.size()) {
        window.ShowMessage("Select an entry first: Used By lists the entries that name it.");
        return;
    }
    const PakEntry &entry = viewer.session.mainPak.entries[static_cast<size_t>(slot)];
    const std::string name(entry.name, strnlen(entry.name, sizeof entry.name));
    const bool folder = viewer.session.folderMode;
    std::vector<GamesetArchive> archives;
    PakArchive pak;  // one archive: its index as the list shows it
    if (folder) {
        for (const TreeArchive &archive : viewer.session.tree.archives)
            archives.push_back(archive.file);
    } else {
        pak = viewer.session.mainPak;
        archives.push_back({pak.path, pak.baseName});
    }

    std::vector<UsedByLine> lines;
    bool cancelled = false;
    window.RunTitledJob("Used By", [&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        GamesetSearchOptions options;
        options.stop = &cancel;
        for (size_t a = 0; a < archives.size() && !cancel; ++a) {
            progress({a, archives.size(), archives[a].name});
            auto hit = [&](const GamesetTextHit &h) {
                const int32_t at = static_cast<int32_t>(&h.entry - h.pak.entries.data());
                lines.push_back({folder ? static_cast<int32_t>(a) : -1, at,
                                 (folder ? h.archive.name + ": " : std::string()) + h.entry.displayName + ": " +
                                     How(h)});
            };
            if (folder)
                Gameset_Refs({archives[a]}, name, options, hit, {});
            else
                Gameset_RefsArchive(archives[a], pak, name, options, hit, {});
        }
        cancelled = cancel;
    });
    if (lines.empty() && !cancelled)
        window.ShowMessage(std::string("Nothing in ") + (folder ? "the folder's archives" : "the open archive") +
                           " names " + name + ".");
    else if (!lines.empty())
        window.ShowUsedBy("Used By: " + name, std::move(lines));
}
