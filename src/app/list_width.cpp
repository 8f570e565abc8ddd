// The window's layout: the panes and lists fitted to the client area, and the
// entry list's width as the sash sets it: the list (with the file label, the
// find bar and the surface list) grows by the widening, and the right-hand
// pane moves over and gives up as much width.
#include "app/list_width.h"
#include "app/app_local.h"

#include <algorithm>

namespace {

constexpr int kMinPaneWidth = 100;  // pixels the sash always leaves the pane, in the smallest window

void MoveBy(ViewerWindow &window, ControlId id, int dx)
{
    if (window.ControlExists(id)) {
        const ControlRect r = window.GetControlRect(id);
        window.MoveControl(id, r.x + dx, r.y);
    }
}

void WidenBy(ViewerWindow &window, ControlId id, int dx)
{
    if (window.ControlExists(id)) {
        const ControlRect r = window.GetControlRect(id);
        window.ResizeControl(id, r.width + dx, r.height);
    }
}

}  // namespace

constexpr int kFindBarGap = 2;  // pixels between the find bar and the list below it

void App_LayoutToClient(ViewerWindow &window)
{
    int cx = 0, cy = 0;
    window.GetClientSize(cx, cy);
    LayoutControls(window, cx, cy);
}

void LayoutControls(ViewerWindow &window, int cx, int cy)
{
    // The first size event can come before the controls exist: each step
    // touches only what is there.
    const bool surfaces = viewer.showSurfaceList && viewer.preview.resourceKind == KindModel;
    if (window.ControlExists(IdSurfaceList))
        window.ShowControl(IdSurfaceList, surfaces);
    if (window.ControlExists(IdSurfaceLabel))
        window.ShowControl(IdSurfaceLabel, surfaces);

    // The sash's widening comes out of the pane's width.
    const int paneWidth = std::max(cx - 210 - App_WidenList(window, cx), 8);
    const int paneHeight = std::max(cy - 37, 8);
    if (window.ControlExists(IdGlView))
        window.ResizeControl(IdGlView, paneWidth, paneHeight);
    if (window.ControlExists(IdTextView))
        window.ResizeControl(IdTextView, paneWidth, paneHeight);
    if (window.ControlExists(IdHexView))
        window.ResizeControl(IdHexView, paneWidth, paneHeight);
    if (window.ControlExists(IdSoundBar))
        window.ResizeControl(IdSoundBar, paneWidth, window.GetControlRect(IdSoundBar).height);
    if (viewer.services.GL_Init && window.ControlExists(IdGlView)) {
        ControlRect view = window.GetControlRect(IdGlView);
        viewer.services.GL_Init(view.width, view.height);
    }

    int listHeight = cy - 37;
    if (surfaces && window.ControlExists(IdSurfaceList) && window.ControlExists(IdSurfaceLabel)) {
        window.MoveControl(IdSurfaceList, 11, cy - 138);
        window.MoveControl(IdSurfaceLabel, 11, cy - 153);
        listHeight = cy - 181;  // room for the label and the surface list below the entries
    }
    // The find bar sits where the list's first lines were; the list gives up
    // that row while the bar is open and takes it back when it closes.
    if (window.ControlExists(IdFindBar) && window.ControlExists(IdEntryList)) {
        const ControlRect bar = window.GetControlRect(IdFindBar);
        const ControlRect list = window.GetControlRect(IdEntryList);
        const int top = viewer.findShown ? bar.y + bar.height + kFindBarGap : bar.y;
        if (list.y != top)
            window.MoveControl(IdEntryList, list.x, top);
        listHeight -= top - bar.y;
    }
    listHeight = std::max(listHeight, 8);
    if (window.ControlExists(IdEntryList))
        window.ResizeControl(IdEntryList, window.GetControlRect(IdEntryList).width, listHeight);
    App_PlaceListSash(window, paneHeight);
}

int App_WidenList(ViewerWindow &window, int cx)
{
    // The pane keeps at least half the room it has beside the unwidened
    // list: a width kept from a wide window, shown in a narrow one, still
    // leaves a preview to look at.
    const int room = cx - 210;
    const int widening = std::clamp(viewer.listWidening, 0, std::max(std::min(room - kMinPaneWidth, room / 2), 0));
    const int dx = widening - viewer.listWideningShown;
    if (dx == 0)
        return widening;
    viewer.listWideningShown = widening;
    for (ControlId id : {IdInfoLine, IdGlView, IdTextView, IdHexView, IdPlayOnClick, IdSoundBar})
        MoveBy(window, id, dx);
    for (ControlId id : {IdEntryList, IdFileLabel, IdFindBar, IdSurfaceList})
        WidenBy(window, id, dx);
    return widening;
}

void App_PlaceListSash(ViewerWindow &window, int height)
{
    if (!window.ControlExists(IdListSash) || !window.ControlExists(IdEntryList) || !window.ControlExists(IdGlView))
        return;
    const ControlRect list = window.GetControlRect(IdEntryList), pane = window.GetControlRect(IdGlView);
    const int x = list.x + list.width;
    window.MoveControl(IdListSash, x, pane.y);
    window.ResizeControl(IdListSash, std::max(pane.x - x, 1), height);
}

int App_DragListSash(ViewerWindow &window, int widening, bool done)
{
    viewer.listWidening = std::max(widening, 0);
    App_LayoutToClient(window);
    // What is kept is what the window could show.
    if (done)
        viewer.listWidening = viewer.listWideningShown;
    return viewer.listWideningShown;
}
