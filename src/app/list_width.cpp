// The window's layout: the panes and lists fitted to the client area, and the
// entry list's width as the sash sets it: the list (with the file label, the
// find bar and the surface list) grows by the widening, and the right-hand
// pane moves over and gives up as much width.
#include "app/list_width.h"
#include "app/app_local.h"
#include "app/layout.h"

#include <algorithm>

namespace {

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
    const WindowLayout layout =
        Layout_Compute(cx, cy, surfaces && window.ControlExists(IdSurfaceList) && window.ControlExists(IdSurfaceLabel),
                       viewer.listWidening);

    // The sash's widening comes out of the pane's width.
    App_WidenList(window, layout.widening);
    if (window.ControlExists(IdGlView))
        window.ResizeControl(IdGlView, layout.paneWidth, layout.paneHeight);
    if (window.ControlExists(IdTextView))
        window.ResizeControl(IdTextView, layout.paneWidth, layout.paneHeight);
    if (window.ControlExists(IdHexView))
        window.ResizeControl(IdHexView, layout.paneWidth, layout.paneHeight);
    if (window.ControlExists(IdSoundBar))
        window.ResizeControl(IdSoundBar, layout.paneWidth, window.GetControlRect(IdSoundBar).height);
    if (viewer.services.render.Init && window.ControlExists(IdGlView)) {
        ControlRect view = window.GetControlRect(IdGlView);
        viewer.services.render.Init(view.width, view.height);
    }

    int listHeight = layout.listHeight;
    if (layout.surfaces) {
        window.MoveControl(IdSurfaceList, 11, layout.surfaceListY);
        window.MoveControl(IdSurfaceLabel, 11, layout.surfaceLabelY);
    }
    // The find bar sits where the list's first lines were; the list gives up
    // that row while the bar is open and takes it back when it closes.
    if (window.ControlExists(IdFindBar) && window.ControlExists(IdEntryList)) {
        const ControlRect bar = window.GetControlRect(IdFindBar);
        const ControlRect list = window.GetControlRect(IdEntryList);
        const int top = viewer.findShown ? bar.y + bar.height + kFindBarGap : bar.y;
        if (list.y != top)
            window.MoveControl(IdEntryList, list.x, top);
        listHeight = std::max(listHeight - (top - bar.y), 8);
    }
    if (window.ControlExists(IdEntryList))
        window.ResizeControl(IdEntryList, window.GetControlRect(IdEntryList).width, listHeight);
    App_PlaceListSash(window, layout.paneHeight);
}

void App_WidenList(ViewerWindow &window, int widening)
{
    const int dx = widening - viewer.listWideningShown;
    if (dx == 0)
        return;
    viewer.listWideningShown = widening;
    for (ControlId id : {IdInfoLine, IdGlView, IdTextView, IdHexView, IdPlayOnClick, IdSoundBar})
        MoveBy(window, id, dx);
    for (ControlId id : {IdEntryList, IdFileLabel, IdFindBar, IdSurfaceList})
        WidenBy(window, id, dx);
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
