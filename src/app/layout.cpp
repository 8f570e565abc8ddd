// The main window's layout arithmetic: the entry list keeps the left 210
// pixels and the title rows above take 37; the surface list sits under the
// entries, 138 pixels above the bottom, with its label 15 above it.
#include "app/layout.h"

#include <algorithm>

int Layout_Widening(int wanted, int cx)
{
    const int room = cx - 210;
    return std::clamp(wanted, 0, std::max(std::min(room - kMinPaneWidth, room / 2), 0));
}

WindowLayout Layout_Compute(int cx, int cy, bool surfaces, int wantedWidening)
{
    WindowLayout layout;
    layout.widening = Layout_Widening(wantedWidening, cx);
    layout.paneWidth = std::max(cx - 210 - layout.widening, 8);
    layout.paneHeight = std::max(cy - 37, 8);
    layout.surfaces = surfaces;
    int listHeight = cy - 37;
    if (surfaces) {
        layout.surfaceListY = cy - 138;
        layout.surfaceLabelY = cy - 153;
        listHeight = cy - 181;  // room for the label and the surface list below the entries
    }
    layout.listHeight = std::max(listHeight, 8);
    return layout;
}
