#include "app/list_sash.h"
#include "app/main_dialog.h"
#include "app/settings.h"
#include "viewer/viewer_state.h"

#include <wx/cursor.h>

ListSash::ListSash(wxWindow *parent, wxWindowID id, ViewerWindow &window)
    : wxWindow(parent, id, wxDefaultPosition, wxSize(1, 1), wxBORDER_NONE), window_(window)
{
    SetCursor(wxCursor(wxCURSOR_SIZEWE));
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent &event) {
        startX_ = ClientToScreen(event.GetPosition()).x;
        startWidening_ = viewer.listWideningShown;
        dragging_ = true;
        CaptureMouse();
    });
    Bind(wxEVT_MOTION, [this](wxMouseEvent &event) {
        if (dragging_)
            App_DragListSash(window_, startWidening_ + ClientToScreen(event.GetPosition()).x - startX_, false);
    });
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent &event) {
        if (!dragging_)
            return;
        App_DragListSash(window_, startWidening_ + ClientToScreen(event.GetPosition()).x - startX_, false);
        EndDrag();
    });
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent &) { EndDrag(); });
}

void ListSash::EndDrag()
{
    if (!dragging_)
        return;
    dragging_ = false;
    if (HasCapture())
        ReleaseMouse();
    App_SaveListWidening(App_DragListSash(window_, viewer.listWidening, true));
}
