// The entry list's width as the sash sets it: the list (with the file label,
// the find bar and the surface list) grows by the widening, and the
// right-hand pane moves over and gives up as much width.
#include "app/app_local.h"
#include "app/layout.h"
#include "app/main_dialog.h"

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
