// A folder of archives as the open thing, and the tree in the entry list's
// place. The tree holds lines, never indexes: selecting an entry makes its
// archive the open one (mainPak), so that its preview, its exports and the
// model's lookups (its own archive, then GLOBAL.PAK) work as for one archive.
#include "app/folder_mode.h"
#include "app/app_local.h"
#include "app/edit_commands.h"
#include "app/find.h"
#include "app/find_contents.h"
#include "app/selection.h"
#include "resource/resource_details.h"

#include <algorithm>
#include <chrono>

namespace {

bool Narrowed()
{
    return !viewer.findText.empty() || viewer.findKind >= 0;
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
    if (a >= viewer.tree.archives.size())
        return -1;
    const TreeArchive &archive = viewer.tree.archives[a];
    if (line < 0 || static_cast<size_t>(line) >= archive.lines.size())
        return -1;
    if (!viewer.mainPak.hasIndex || viewer.mainPak.path != archive.file.path) {
        PakArchive opened;
        const PakOpenResult result = Pak_OpenArchive(archive.file.path, opened);
        if (result != PakOpenResult::Ok) {
            window.ShowMessage(archive.file.name + ": " + Pak_OpenMessage(result));
            return -1;
        }
        // The archive left keeps its edits for Save; this one's come back.
        Session_SwitchArchive(viewer, std::move(opened));
    }
    // The lines were read when the archive was first opened in the tree; a
    // file replaced since then is found by the line's text.
    const std::string_view text = archive.lines.Line(static_cast<size_t>(line));
    const int slot = archive.lines.slots[static_cast<size_t>(line)];
    // Edits keep the slots of the archive as opened: a renamed entry is the
    // same slot under its new line.
    if (Edits_Pending(viewer.edits) && static_cast<size_t>(slot) < viewer.mainPak.entries.size())
        return slot;
    if (static_cast<size_t>(slot) < viewer.mainPak.entries.size() &&
        text == viewer.mainPak.entries[static_cast<size_t>(slot)].displayName)
        return slot;
    return Pak_FindEntryByLine(viewer.mainPak, std::string(text));
}

}  // namespace

void OnFileOpenFolder(ViewerWindow &window)
{
    std::string path;
    if (window.AskFolderName(path))
        App_OpenFolder(window, path);
}

bool App_OpenFolder(ViewerWindow &window, const std::string &path)
{
    ArchiveTree tree;
    std::string error;
    if (!ArchiveTree_OpenFolder(path, tree, error)) {
        window.ShowMessage(error);
        return false;
    }
    if (tree.archives.empty()) {
        window.ShowMessage("The folder '" + path + "' holds no entry-point archive (*.pak files that start \"PAK_\").");
        return false;
    }

    // The open archive is replaced from here on: its edits are saved or dropped first.
    if (!App_MayLeaveArchive(window))
        return false;
    App_ClearSelection(window);
    window.SetEntryLines({});
    Pak_Release(viewer.mainPak);
    // The folder's own GLOBAL.PAK answers its archives' lookups, not one
    // loaded for another folder.
    Pak_Release(viewer.globalPak);
    App_SetListOrder({});
    Session_DropOtherEdits(viewer);
    viewer.tree = std::move(tree);
    viewer.folderMode = true;
    viewer.treeView = true;

    window.ResetEntryTree();
    App_ShowOpened(window, path);
    return true;
}

void App_NoteArchiveOpened(ViewerWindow &window)
{
    viewer.folderMode = false;
    viewer.folderHits.clear();
    viewer.treeView = viewer.asTree;
    if (viewer.asTree)
        ArchiveTree_SetArchive(viewer.tree, viewer.mainPak, Viewer_MakeLines(viewer.mainPak, viewer.listOrder));
    else
        viewer.tree = ArchiveTree{};
    window.ResetEntryTree();
}

int App_FolderSelection(ViewerWindow &window)
{
    size_t archive = 0;
    int line = -1;
    if (TreeShown()) {
        if (!ArchiveTree_Entry(viewer.tree, window.GetTreeSelection(), archive, line))
            return -1;
    } else if (viewer.folderMode) {
        const int at = window.GetEntrySelection();
        if (at < 0 || static_cast<size_t>(at) >= viewer.folderHits.size())
            return -1;
        archive = static_cast<size_t>(viewer.folderHits[static_cast<size_t>(at)].archive);
        line = viewer.folderHits[static_cast<size_t>(at)].line;
    } else if (int slot; App_ContentsSelection(window, slot)) {
        return slot;
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
    if (!viewer.folderMode)
        return false;
    // The entry shown now, to keep it selected when it is still listed.
    const int previous = window.GetEntrySelection();
    const bool hadSelection = previous >= 0 && static_cast<size_t>(previous) < viewer.folderHits.size();
    const ViewerState::FolderHit kept = hadSelection ? viewer.folderHits[static_cast<size_t>(previous)]
                                                     : ViewerState::FolderHit{-1, -1};
    int selectedLine = -1;
    const size_t total = Session_FindInFolder(viewer, kept, selectedLine);
    std::vector<const char *> lines;
    lines.reserve(viewer.folderHitAt.size());
    for (uint32_t at : viewer.folderHitAt)
        lines.push_back(viewer.folderHitText.data() + at);
    window.SetEntryLines(std::move(lines));
    window.SetStatusField(1, Narrowed() ? App_ListedCountText(viewer.folderHits.size(), total) +
                                              (viewer.folderKindsPending ? " (reading kinds)" : "")
                                        : std::to_string(viewer.tree.archives.size()) + " archives");
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
    if (!viewer.folderMode)
        return false;
    if (!viewer.folderKindsPending || viewer.findKind < 0)
        return true;
    constexpr auto kSlice = std::chrono::milliseconds(12);
    constexpr auto kShowEvery = std::chrono::milliseconds(250);
    static std::chrono::steady_clock::time_point lastShown;
    static bool unshown = false;  // lines found that the list does not show yet
    const auto end = std::chrono::steady_clock::now() + kSlice;
    const PakFind find = Pak_CompileFind(viewer.findText);
    std::vector<uint8_t> bytes;
    PakOpenFile open;
    std::vector<TreeArchive> &archives = viewer.tree.archives;
    PakArchive &pak = viewer.folderScanPak;
    while (viewer.folderScanArchive < archives.size() && std::chrono::steady_clock::now() < end) {
        TreeArchive &archive = archives[viewer.folderScanArchive];
        const size_t i = viewer.folderScanLine++;
        if (i >= archive.lines.size()) {
            ++viewer.folderScanArchive;
            viewer.folderScanLine = 0;
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
        unshown |= kind == viewer.findKind;
    }
    const bool done = viewer.folderScanArchive >= archives.size();
    if (done)
        Pak_Release(pak);
    const auto now = std::chrono::steady_clock::now();
    if (done || (unshown && now - lastShown >= kShowEvery)) {
        unshown = false;
        lastShown = now;
        const size_t archive = viewer.folderScanArchive, line = viewer.folderScanLine;
        App_FolderFind(window);
        // Lines already read are skipped quickly, but need not be walked again.
        if (!done) {
            viewer.folderScanArchive = archive;
            viewer.folderScanLine = line;
        }
    }
    return true;
}

void OnViewAsTree(ViewerWindow &window)
{
    viewer.asTree = !viewer.asTree;
    window.CheckMenuItem(CmdViewAsTree, viewer.asTree);
    // A folder is always a tree; the choice is for one archive.
    if (viewer.folderMode || !viewer.mainPak.hasIndex)
        return;
    // The preview stays; the list keeps its line selected.
    App_NoteArchiveOpened(window);
    App_ApplyFind(window);
}

void OnViewLookEverywhere(ViewerWindow &window)
{
    viewer.lookEverywhere = !viewer.lookEverywhere;
    window.CheckMenuItem(CmdViewLookEverywhere, viewer.lookEverywhere);
    // The selected model finds its materials again under the new rule.
    if (viewer.folderMode && viewer.preview.resourceKind == KindModel)
        OnSelchangeEntryList(window);
}

std::string App_ListedCountText(size_t listed, size_t total)
{
    return listed == 0 ? std::string("no entry matches")
                       : std::to_string(listed) + " of " + std::to_string(total) + " listed";
}
