// The view's state record and what the window and the model drawing may ask
// of it or tell it.
#include "render/render_local.h"

RenderLocal r_local;

void R_ResetState()
{
    r_local = RenderLocal{};
}

void R_SetSurface(GlSurface *surface)
{
    r_local.glWindow = surface;
}

bool R_Ready()
{
    return r_local.glReady;
}

void R_ViewSize(int32_t &width, int32_t &height)
{
    width = r_local.viewWidth;
    height = r_local.viewHeight;
}

float R_ViewScale()
{
    return r_local.viewScale;
}

void R_SetFrameHooks(void (*frame)(), uint32_t sleepMs)
{
    r_local.frameCallback = frame;
    r_local.frameSleepMs = sleepMs;
}

void R_RequestRedraw()
{
    r_local.redrawPending = true;
}

bool R_RedrawPending()
{
    return r_local.redrawPending;
}

bool R_TakeRedraw()
{
    const bool pending = r_local.redrawPending;
    r_local.redrawPending = false;
    return pending;
}

bool R_Dragging()
{
    return r_local.leftDragActive || r_local.rightDragActive;
}

void R_Eye(float origin[3], float angles[3])
{
    for (int k = 0; k < 3; ++k) {
        origin[k] = r_local.eyeOrigin[k];
        angles[k] = r_local.eyeAngles[k];
    }
}

bool R_LightingPrograms(int32_t &vertex, int32_t &fragment)
{
    vertex = r_local.vertexProgram;
    fragment = r_local.fragmentProgram;
    return r_local.programsSupported;
}
