// What the real window's GL view shows near its corner, read back from the
// screen once the pending frame is drawn.
#pragma once

#include "gl_test_view.h"
#include "seam_window.h"

inline Pixel DrawnViewCorner(SeamWindow &frame)
{
    PumpUntil(2000, [] { return !R_RedrawPending(); });
    Pump(50);
    const wxImage shot = ScreenImage(&frame);
    const wxPoint at = frame.Control(IdGlView)->GetScreenPosition() - frame.GetScreenPosition() + wxPoint(2, 2);
    return {shot.GetRed(at.x, at.y), shot.GetGreen(at.x, at.y), shot.GetBlue(at.x, at.y)};
}
