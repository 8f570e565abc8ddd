// Edit > "&Find...": the find bar narrows the entry list to the lines that
// contain its text (or whose entry name matches it as a glob) and whose entry
// is of its kind. The list stays a view of the sorted slots: narrowing walks
// them once and hands the list pointers to the lines, nothing is copied.
#include "app/app_local.h"
#include "app/find_contents.h"
#include "app/folder_mode.h"
#include "app/main_dialog.h"

#include <chrono>
#include <string_view>

namespace {

// Classifying reads entries; a slice never keeps the window's thread longer than this.
constexpr auto kKindScanSlice = std::chrono::milliseconds(12);
// While classifying goes on, the list takes in the lines found at most this often.
constexpr auto kKindScanShowEvery = std::chrono::milliseconds(250);

constexpr int8_t kKindUnknownYet = -1;
constexpr int8_t kKindUnreadable = -2;

// Line `i` of listOrder, tried with the find text read once.
bool Listed(size_t i, const PakFind &find)
{
    const int slot = viewer.listOrder[i];
    if (viewer.findKind >= 0 && viewer.entryKinds[static_cast<size_t>(slot)] != viewer.findKind)
        return false;
    const char *line = viewer.listText.data() + viewer.listTextAt[i];
    return Pak_FindMatches(find,
                           std::string_view(line, viewer.listTextAt[i + 1] - viewer.listTextAt[i] - 1),
                           viewer.listNameLength[i]);
}

bool Narrowed()
{
    return !viewer.findText.empty() || viewer.findKind >= 0;
}

void ShowCount(ViewerWindow &window)
{
    std::string count;
    if (Narrowed()) {
        count = App_ListedCountText(viewer.listedSlots.size(), viewer.listOrder.size());
        if (viewer.findKind >= 0 && viewer.kindScanNext < viewer.listOrder.size())
            count += " (" + std::to_string(viewer.kindScanNext * 100 / viewer.listOrder.size()) + "% read)";
    }
    window.SetStatusField(1, count);
}

}  // namespace

const std::vector<int> &App_ListedSlots()
{
    return viewer.listedSlots;
}

void App_SetListOrder(std::vector<int> order)
{
    EntryLines lines = Viewer_MakeLines(viewer.mainPak, std::move(order));
    viewer.listOrder = std::move(lines.slots);
    viewer.listText = std::move(lines.text);
    viewer.listTextAt = std::move(lines.at);
    viewer.listNameLength = std::move(lines.nameLength);
    viewer.entryKinds.assign(viewer.mainPak.entries.size(), kKindUnknownYet);
    viewer.kindScanNext = 0;
}

void App_ApplyFind(ViewerWindow &window)
{
    if (App_ContentsFind(window) || App_FolderFind(window))
        return;
    const PakFind find = Pak_CompileFind(viewer.findText);
    std::vector<int> &listed = viewer.listedSlots;
    listed.clear();
    if (viewer.entryKinds.size() != viewer.mainPak.entries.size())
        viewer.entryKinds.assign(viewer.mainPak.entries.size(), kKindUnknownYet);
    std::vector<const char *> lines;
    lines.reserve(viewer.listOrder.size());
    int selectedLine = -1;
    for (size_t i = 0; i < viewer.listOrder.size(); ++i) {
        if (!Listed(i, find))
            continue;
        if (viewer.listOrder[i] == viewer.selectedEntry)
            selectedLine = static_cast<int>(lines.size());
        listed.push_back(viewer.listOrder[i]);
        lines.push_back(viewer.listText.data() + viewer.listTextAt[i]);
    }
    const bool hadSelection = window.GetEntrySelection() >= 0;
    window.SetEntryLines(std::move(lines));
    ShowCount(window);
    App_ShowTreeOrList(window);
    if (selectedLine >= 0)
        window.SetEntrySelection(selectedLine);
    else if (hadSelection) {
        // The selected line left the list, and its preview goes with it.
        OnSelchangeEntryList(window);
        viewer.viewHidden = true;
        App_HidePanes(window);
        if (viewer.showSurfaceList)
            App_LayoutToClient(window);
    }
}

void OnFindChanged(ViewerWindow &window, const std::string &text, int kind)
{
    viewer.findText = text;
    viewer.findKind = kind >= 0 && kind < KindCount ? kind : -1;
    App_ApplyFind(window);
}

void OnFindClose(ViewerWindow &window)
{
    viewer.findShown = false;
    viewer.findText.clear();
    viewer.findKind = -1;
    window.ResetFindBar();
    window.ShowControl(IdFindBar, false);
    App_LayoutToClient(window);
    App_ApplyFind(window);
    window.FocusEntryList();
}

void App_ContinueKindScan(ViewerWindow &window)
{
    if (App_ContinueContents(window) || App_ContinueFolderKinds(window))
        return;
    if (viewer.findKind < 0 || viewer.kindScanNext >= viewer.listOrder.size() || !viewer.mainPak.hasIndex)
        return;
    if (viewer.entryKinds.size() != viewer.mainPak.entries.size())
        viewer.entryKinds.assign(viewer.mainPak.entries.size(), kKindUnknownYet);
    static std::chrono::steady_clock::time_point lastShown;
    static bool unshown = false;  // lines found that the list does not show yet
    const auto end = std::chrono::steady_clock::now() + kKindScanSlice;
    std::vector<uint8_t> bytes;  // one buffer and one open file at a time for the slice
    PakOpenFile open;
    while (viewer.kindScanNext < viewer.listOrder.size() && std::chrono::steady_clock::now() < end) {
        const int slot = viewer.listOrder[viewer.kindScanNext++];
        int8_t &kind = viewer.entryKinds[static_cast<size_t>(slot)];
        if (kind != kKindUnknownYet)
            continue;
        const PakEntry &entry = viewer.mainPak.entries[static_cast<size_t>(slot)];
        // A file that cannot be read leaves its entries out of every kind.
        kind = Pak_LoadEntry(viewer.mainPak, entry, bytes, nullptr, open) == PakLoadResult::Ok
                   ? static_cast<int8_t>(ClassifyResource(bytes))
                   : kKindUnreadable;
        unshown |= kind == viewer.findKind;
    }
    const auto now = std::chrono::steady_clock::now();
    if (unshown && (now - lastShown >= kKindScanShowEvery || viewer.kindScanNext >= viewer.listOrder.size())) {
        unshown = false;
        lastShown = now;
        App_ApplyFind(window);
    } else {
        ShowCount(window);
    }
}
