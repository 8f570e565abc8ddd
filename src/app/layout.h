// The main window's layout arithmetic on its own: where the panes and lists
// go for a client area, with no window to ask. LayoutControls applies it.
#pragma once

// Pixels the sash always leaves the pane, in the smallest window.
constexpr int kMinPaneWidth = 100;

struct WindowLayout {
    int widening = 0;    // pixels the entry list is widened by; the pane gives them up
    int paneWidth = 8;   // the GL, text and hex views
    int paneHeight = 8;
    int listHeight = 8;  // the entry list, before the find bar takes its row
    bool surfaces = false;     // the surface list and its label are shown
    int surfaceListY = 0;      // both at x 11, unresized
    int surfaceLabelY = 0;
};

// The widening the controls can show of `wanted` in a client `cx` wide: the
// pane keeps at least half the room it has beside the unwidened list, and
// never less than kMinPaneWidth while the window has that much.
int Layout_Widening(int wanted, int cx);

// The layout of a cx x cy client area, with the surface list shown or not
// and the list widened by what Layout_Widening allows of `wantedWidening`.
WindowLayout Layout_Compute(int cx, int cy, bool surfaces, int wantedWidening);
