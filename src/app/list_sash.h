// The sash (control 1013) in the gap between the entry list and the
// right-hand pane: dragged with the left button it widens the list, and the
// width it leaves is kept in the settings for the next start.
#pragma once

#include "viewer/viewer_window.h"

#include <wx/window.h>

class ListSash : public wxWindow {
public:
    ListSash(wxWindow *parent, wxWindowID id, ViewerWindow &window);

private:
    void EndDrag();

    ViewerWindow &window_;
    int startX_ = 0;          // screen x where the drag began
    int startWidening_ = 0;   // the widening then
    bool dragging_ = false;
};
