// The window's layout (list_width.cpp): the panes and lists fitted to the
// client area, and the entry list's width as the sash sets it.
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

// Fits the panes and lists to a client area of cx x cy pixels.
void LayoutControls(ViewerWindow &window, int cx, int cy);

// The sash dragged to widen the list by `widening` pixels (0: its first
// width); `done` when the drag ends, which keeps what the window could show.
// Returns the widening shown.
int App_DragListSash(ViewerWindow &window, int widening, bool done);
