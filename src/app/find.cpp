// Edit > "&Find...": the find bar narrows the entry list to the lines that
// contain its text (or whose entry name matches it as a glob) and whose entry
// is of its kind. The list stays a view of the sorted slots: narrowing walks
// them once and hands the list pointers to the lines, nothing is copied.
#include "app/app_local.h"
#include "app/find_contents.h"
#include "app/folder_mode.h"
#include "app/find.h"
#include "app/selection.h"

#include <chrono>

namespace {

// Classifying reads entries; a slice never keeps the window's thread longer than this.
constexpr auto kKindScanSlice = std::chrono::milliseconds(12);
// While classifying goes on, the list takes in the lines found at most this often.
constexpr auto kKindScanShowEvery = std::chrono::milliseconds(250);

void ShowCount(ViewerWindow &window)
{
    std::string count;
    if (Session_Narrowed(viewer)) {
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
    Session_SetListOrder(viewer, std::move(order));
}

void App_ApplyFind(ViewerWindow &window)
{
    if (App_ContentsFind(window) || App_FolderFind(window))
        return;
    Session_ApplyFind(viewer);
    const int selectedLine = Session_ListedLine(viewer, viewer.selectedEntry);
    const bool hadSelection = window.GetEntrySelection() >= 0;
    window.SetEntryLines(Session_ListedLines(viewer));
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
    Session_SetFind(viewer, text, kind);
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
    if (!Session_KindsToScan(viewer))
        return;
    static std::chrono::steady_clock::time_point lastShown;
    static bool unshown = false;  // lines found that the list does not show yet
    unshown |= Session_ScanKinds(viewer, std::chrono::steady_clock::now() + kKindScanSlice);
    const auto now = std::chrono::steady_clock::now();
    if (unshown && (now - lastShown >= kKindScanShowEvery || viewer.kindScanNext >= viewer.listOrder.size())) {
        unshown = false;
        lastShown = now;
        App_ApplyFind(window);
    } else {
        ShowCount(window);
    }
}
