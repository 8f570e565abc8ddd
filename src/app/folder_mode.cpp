// A folder of archives as the open thing, and the tree in the entry list's
// place. The tree holds lines, never indexes: selecting an entry makes its
// archive the open one (mainPak), so that its preview, its exports and the
// model's lookups (its own archive, then GLOBAL.PAK) work as for one archive.
#include "app/folder_mode.h"
#include "app/app_local.h"
#include "app/command_refresh.h"
#include "app/preview_pane.h"
#include "resource/resource_details.h"

#include <algorithm>
#include <chrono>

namespace {

bool Narrowed()
{
    return !viewer.session.findText.empty() || viewer.session.findKind >= 0;
}

constexpr int8_t kKindUnknownYet = kSessionKindUnknownYet;
constexpr int8_t kKindUnreadable = kSessionKindUnreadable;

bool TreeShown()
{
    return viewer.treeView && !Narrowed();
}

// The slot of line `line` of the tree's archive `a`, its archive opened as mainPak.
int OpenArchiveOfLine(ViewerWindow &window, size_t a, int line)
{
    if (a >= viewer.session.tree.archives.size())
        return -1;
    const TreeArchive &archive = viewer.session.tree.archives[a];
    if (line < 0 || static_cast<size_t>(line) >= archive.lines.size())
        return -1;
    if (!viewer.session.mainPak.hasIndex || viewer.session.mainPak.path != archive.file.path) {
        PakArchive opened;
        const PakOpenResult result = Pak_OpenArchive(archive.file.path, opened);
        if (result != PakOpenResult::Ok) {
            window.ShowMessage(archive.file.name + ": " + Pak_OpenMessage(result));
            return -1;
        }
        // The archive left keeps its edits for Save; this one's come back.
        Session_SwitchArchive(viewer.session, std::move(opened));
    }
    // The lines were read when the archive was first opened in the tree; a
    // file replaced since then is found by the line's text.
    const std::string_view text = archive.lines.Line(static_cast<size_t>(line));
    const int slot = archive.lines.slots[static_cast<size_t>(line)];
    // Edits keep the slots of the archive as opened: a renamed entry is the
    // same slot under its new line.
    if (Edits_Pending(viewer.session.edits) && static_cast<size_t>(slot) < viewer.session.mainPak.entries.size())
        return slot;
    if (static_cast<size_t>(slot) < viewer.session.mainPak.entries.size() &&
        text == viewer.session.mainPak.entries[static_cast<size_t>(slot)].displayName)
        return slot;
    return Pak_FindEntryByLine(viewer.session.mainPak, std::string(text));
}

}  // namespace

void App_NoteArchiveOpened(ViewerWindow &window)
{
    viewer.session.folderMode = false;
    viewer.session.folderHits.clear();
    viewer.treeView = viewer.asTree;
    if (viewer.asTree)
        ArchiveTree_SetArchive(viewer.session.tree, viewer.session.mainPak, Viewer_MakeLines(viewer.session.mainPak, viewer.session.listOrder));
    else
        viewer.session.tree = ArchiveTree{};
    window.ResetEntryTree();
}

int App_FolderSelection(ViewerWindow &window)
{
    size_t archive = 0;
    int line = -1;
    if (TreeShown()) {
        if (!ArchiveTree_Entry(viewer.session.tree, window.GetTreeSelection(), archive, line))
            return -1;
    } else if (viewer.session.folderMode) {
        const int at = window.GetEntrySelection();
        if (at < 0 || static_cast<size_t>(at) >= viewer.session.folderHits.size())
            return -1;
        archive = static_cast<size_t>(viewer.session.folderHits[static_cast<size_t>(at)].archive);
        line = viewer.session.folderHits[static_cast<size_t>(at)].line;
    } else {
        return kSelectionInList;
    }
    return OpenArchiveOfLine(window, archive, line);
}

void App_ShowTreeOrList(ViewerWindow &window)
{
    window.ShowEntryTree(TreeShown());
}

bool App_FolderFind(ViewerWindow &window)
{
    if (!viewer.session.folderMode)
        return false;
    // The entry shown now, to keep it selected when it is still listed.
    const int previous = window.GetEntrySelection();
    const bool hadSelection = previous >= 0 && static_cast<size_t>(previous) < viewer.session.folderHits.size();
    const Session::FolderHit kept = hadSelection ? viewer.session.folderHits[static_cast<size_t>(previous)]
                                                     : Session::FolderHit{-1, -1};
    int selectedLine = -1;
    const size_t total = Session_FindInFolder(viewer.session, kept, selectedLine);
    std::vector<const char *> lines;
    lines.reserve(viewer.session.folderHitAt.size());
    for (uint32_t at : viewer.session.folderHitAt)
        lines.push_back(viewer.session.folderHitText.data() + at);
    window.SetEntryLines(std::move(lines));
    window.SetStatusField(1, Narrowed() ? App_ListedCountText(viewer.session.folderHits.size(), total) +
                                              (viewer.session.folderKindsPending ? " (reading kinds)" : "")
                                        : std::to_string(viewer.session.tree.archives.size()) + " archives");
    App_ShowTreeOrList(window);
    if (selectedLine >= 0) {
        window.SetEntrySelection(selectedLine);
    } else if (hadSelection) {
        // The selected line left the list, and its preview goes with it.
        App_ClearSelection(window);
    }
    return true;
}

bool App_ContinueFolderKinds(ViewerWindow &window)
{
    if (!viewer.session.folderMode)
        return false;
    if (!viewer.session.folderKindsPending || viewer.session.findKind < 0)
        return true;
    constexpr auto kSlice = std::chrono::milliseconds(12);
    constexpr auto kShowEvery = std::chrono::milliseconds(250);
    static std::chrono::steady_clock::time_point lastShown;
    static bool unshown = false;  // lines found that the list does not show yet
    const auto end = std::chrono::steady_clock::now() + kSlice;
    const PakFind find = Pak_CompileFind(viewer.session.findText);
    std::vector<uint8_t> bytes;
    PakOpenFile open;
    std::vector<TreeArchive> &archives = viewer.session.tree.archives;
    PakArchive &pak = viewer.session.folderScanPak;
    while (viewer.session.folderScanArchive < archives.size() && std::chrono::steady_clock::now() < end) {
        TreeArchive &archive = archives[viewer.session.folderScanArchive];
        const size_t i = viewer.session.folderScanLine++;
        if (i >= archive.lines.size()) {
            ++viewer.session.folderScanArchive;
            viewer.session.folderScanLine = 0;
            continue;
        }
        if (archive.kinds.size() != archive.lines.size())
            archive.kinds.assign(archive.lines.size(), kKindUnknownYet);
        int8_t &kind = archive.kinds[i];
        if (kind != kKindUnknownYet || !Pak_FindMatches(find, archive.lines.Line(i), archive.lines.nameLength[i]))
            continue;
        // One index at a time: the archive's whose entries are read now.
        if (!pak.hasIndex || pak.path != archive.file.path)
            Pak_OpenArchive(archive.file.path, pak);
        const size_t slot = static_cast<size_t>(archive.lines.slots[i]);
        kind = pak.hasIndex && pak.path == archive.file.path && slot < pak.entries.size() &&
                       Pak_LoadEntry(pak, pak.entries[slot], bytes, nullptr, open) == PakLoadResult::Ok
                   ? static_cast<int8_t>(ClassifyResource(bytes))
                   : kKindUnreadable;
        unshown |= kind == viewer.session.findKind;
    }
    const bool done = viewer.session.folderScanArchive >= archives.size();
    if (done)
        Pak_Release(pak);
    const auto now = std::chrono::steady_clock::now();
    if (done || (unshown && now - lastShown >= kShowEvery)) {
        unshown = false;
        lastShown = now;
        const size_t archive = viewer.session.folderScanArchive, line = viewer.session.folderScanLine;
        App_FolderFind(window);
        // Lines already read are skipped quickly, but need not be walked again.
        if (!done) {
            viewer.session.folderScanArchive = archive;
            viewer.session.folderScanLine = line;
        }
    }
    return true;
}

std::string App_ListedCountText(size_t listed, size_t total)
{
    return listed == 0 ? std::string("no entry matches")
                       : std::to_string(listed) + " of " + std::to_string(total) + " listed";
}
