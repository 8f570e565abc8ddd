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
    if (Session_Narrowed(viewer.session)) {
        count = App_ListedCountText(viewer.session.listedSlots.size(), viewer.session.listOrder.size());
        if (viewer.session.findKind >= 0 && viewer.session.kindScanNext < viewer.session.listOrder.size())
            count += " (" + std::to_string(viewer.session.kindScanNext * 100 / viewer.session.listOrder.size()) + "% read)";
    }
    window.SetStatusField(1, count);
}

}  // namespace

const std::vector<int> &App_ListedSlots()
{
    return viewer.session.listedSlots;
}

void App_SetListOrder(std::vector<int> order)
{
    Session_SetListOrder(viewer.session, std::move(order));
}

void App_ApplyFind(ViewerWindow &window)
{
    if (App_ContentsFind(window) || App_FolderFind(window))
        return;
    Session_ApplyFind(viewer.session);
    const int selectedLine = Session_ListedLine(viewer.session, viewer.session.selectedEntry);
    const bool hadSelection = window.GetEntrySelection() >= 0;
    window.SetEntryLines(Session_ListedLines(viewer.session));
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

void App_SetFindInContents(ViewerWindow &window, bool on)
{
    // A window being made has nothing listed yet.
    const bool listing = viewer.mainDialog == &window;
    App_SwitchContents(on, !listing && !on);
    if (listing)
        App_ApplyFind(window);
}

void OnFindChanged(ViewerWindow &window, const std::string &text, int kind)
{
    Session_SetFind(viewer.session, text, kind);
    App_ApplyFind(window);
}

void OnFindClose(ViewerWindow &window)
{
    viewer.findShown = false;
    viewer.session.findText.clear();
    viewer.session.findKind = -1;
    window.ResetFindBar();
    window.ShowControl(IdFindBar, false);
    App_LayoutToClient(window);
    App_ApplyFind(window);
    window.FocusEntryList();
}

void App_ContinueKindScan(ViewerWindow &window)
{
    const ContentsTick contents = App_ContinueContents(window);
    if (contents == ContentsTick::Ended)
        App_ApplyFind(window);
    if (contents != ContentsTick::Off || App_ContinueFolderKinds(window))
        return;
    if (!Session_KindsToScan(viewer.session))
        return;
    static std::chrono::steady_clock::time_point lastShown;
    static bool unshown = false;  // lines found that the list does not show yet
    unshown |= Session_ScanKinds(viewer.session, std::chrono::steady_clock::now() + kKindScanSlice);
    const auto now = std::chrono::steady_clock::now();
    if (unshown && (now - lastShown >= kKindScanShowEvery || viewer.session.kindScanNext >= viewer.session.listOrder.size())) {
        unshown = false;
        lastShown = now;
        App_ApplyFind(window);
    } else {
        ShowCount(window);
    }
}
