// The entry list's width as the sash sets it: the list (with the file label,
// the find bar and the surface list) grows by the widening, and the
// right-hand pane moves over and gives up as much width.
#include "app/app_local.h"
#include "app/main_dialog.h"

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
