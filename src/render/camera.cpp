// The orbit camera, the two point lights and the mouse that steers them; the
// slide of the texture preview. Plain arithmetic over the preview and the
// view's own state, no GL.
#include "render/render_local.h"

#include <cmath>
#include <cstring>

namespace {

// Degrees per pixel of drag and units per pixel, applied in double precision.
// The pitch factor is 0.35 as a float would hold it, widened.
constexpr double kPitchPerPixel = static_cast<double>(0.35f);
constexpr double kYawPerPixel = 0.75;
constexpr double kDistancePerPixel = 30.0;
constexpr double kPanPerPixel = 20.0;
constexpr float kMinLightDistance = 10.0f;
constexpr float kMinEyeDistance = 10.0f;

float Turn(float angle, double delta)
{
    return static_cast<float>(std::fmod(static_cast<double>(angle) + delta, 360.0));
}

// One button's drag: the first move inside the view only records the point,
// later ones give the movement since the last; a move outside ends it.
void TrackDrag(bool down, bool inside, int x, int y, int32_t *last, bool &active, float *delta)
{
    if (down && inside) {
        if (active) {
            delta[0] = static_cast<float>(x - last[0]);
            delta[1] = static_cast<float>(y - last[1]);
        }
        last[0] = x;
        last[1] = y;
        active = true;
    } else {
        active = false;
    }
}

void MoveLight(PreviewState &p, int flags, const float *dL, const float *dR)
{
    // Shift alone steers light 1, the primary one; Shift+Ctrl light 0.
    const int i = (flags & MouseControl) ? 0 : 1;
    float distance = static_cast<float>(p.lightDistance[i] + dR[1] * kDistancePerPixel);
    p.lightDistance[i] = distance < kMinLightDistance ? kMinLightDistance : distance;
    p.lightAngles[i][0] = Turn(p.lightAngles[i][0], -(dL[1] * kPitchPerPixel));
    p.lightAngles[i][1] = Turn(p.lightAngles[i][1], -(dL[0] * kYawPerPixel));
}

void MoveModel(PreviewState &p, int flags, const float *dL, const float *dR)
{
    p.modelAngles[0] = Turn(p.modelAngles[0], dL[1] * kPitchPerPixel);
    p.modelAngles[1] = Turn(p.modelAngles[1], dL[0] * kYawPerPixel);
    if (flags & MouseControl) {
        if (dR[0] == 0 && dR[1] == 0)
            return;
        // Pan in the plane of the screen: the eye's yaw carries 90 extra degrees.
        const float *eye = r_local.eyeAngles;
        float a[3] = {eye[0], eye[1] - 90, eye[2]};
        float right[3], up[3];
        Math_AnglesToVectors(a, nullptr, right, up);
        const double across = dR[0] * kPanPerPixel, down = dR[1] * kPanPerPixel;
        for (int k = 0; k < 3; ++k)
            p.orbitCentre[k] = static_cast<float>(p.orbitCentre[k] - right[k] * across);
        for (int k = 0; k < 3; ++k)
            p.orbitCentre[k] = static_cast<float>(p.orbitCentre[k] + up[k] * down);
    } else {
        // No limit: zooming far in puts the eye behind the centre.
        p.zoomDistance = static_cast<float>(p.zoomDistance + dR[1] * kDistancePerPixel);
    }
}

}  // namespace

void OnMouseMove(ViewerWindow &window, PreviewState &p, bool viewHidden, int flags, int x, int y)
{
    RenderLocal &r = r_local;
    if (viewHidden) {
        r.leftDragActive = r.rightDragActive = false;
        return;
    }
    float dL[2] = {0, 0}, dR[2] = {0, 0};
    const ControlRect view = window.GetControlRect(IdGlView);
    // A point on the edge counts as outside.
    const bool inside = view.x < x && x < view.x + view.width && view.y < y && y < view.y + view.height;
    TrackDrag(flags & MouseLeft, inside, x, y, r.mouseLeftLast, r.leftDragActive, dL);
    TrackDrag(flags & MouseRight, inside, x, y, r.mouseRightLast, r.rightDragActive, dR);

    if (dL[0] != 0 || dL[1] != 0 || dR[0] != 0 || dR[1] != 0)
        r.redrawPending = true;
    if (p.resourceKind == KindTexture) {
        // The image follows the mouse: window units to the screen's pixels.
        p.textureOffset[0] += dL[0] * r.viewScale;
        p.textureOffset[1] += dL[1] * r.viewScale;
    } else if (p.resourceKind == KindModel) {
        if (flags & MouseShift)
            MoveLight(p, flags, dL, dR);
        else
            MoveModel(p, flags, dL, dR);
        R_PlaceEye(p);
    }
}

void R_PlaceEye(const PreviewState &p)
{
    RenderLocal &r = r_local;
    float f[3];
    Math_AnglesToVectors(r.orbitAngles, f, nullptr, nullptr);
    // The direction comes from a distance of at least 10, the position from
    // the real one: below 10 the eye moves through the centre without turning.
    const float d = p.zoomDistance < kMinEyeDistance ? kMinEyeDistance : p.zoomDistance;
    float toCentre[3];
    for (int k = 0; k < 3; ++k) {
        r.eyeOrigin[k] = p.orbitCentre[k] + f[k] * d;
        toCentre[k] = p.orbitCentre[k] - r.eyeOrigin[k];
    }
    Math_VectorToAngles(toCentre, r.eyeAngles);
    r.eyeAngles[1] += 90;
    Math_AnglesToVectors(r.orbitAngles, f, nullptr, nullptr);
    for (int k = 0; k < 3; ++k)
        r.eyeOrigin[k] = p.orbitCentre[k] + f[k] * p.zoomDistance;
}

void R_BuildViewMatrix()
{
    float *m = r_local.viewMatrix;
    const float *a = r_local.eyeAngles;
    Math_MatrixIdentity(m);
    Math_MatrixRotate(m, 90 - a[0], -1, 0, 0);
    Math_MatrixRotate(m, a[2], 0, -1, 0);
    Math_MatrixRotate(m, (a[1] - 90) - 90, 0, 0, -1);
    const float *eye = r_local.eyeOrigin;
    const float back[3] = {-eye[0], -eye[1], -eye[2]};
    Math_MatrixTranslate(m, back);
}

void R_WheelZoomModel(PreviewState &preview, int notches)
{
    if (preview.resourceKind != KindModel || notches == 0)
        return;
    const float dR[2] = {0, static_cast<float>(-notches * kWheelNotchPixels)};
    const float dL[2] = {};
    MoveModel(preview, 0, dL, dR);
    R_PlaceEye(preview);
    r_local.redrawPending = true;
}

void R_FrameModel(PreviewState &preview)
{
    preview.orbitCentre[2] = 512;
    preview.zoomDistance = 1200;
}

void R_FrameModelBounds(PreviewState &p, const float *mins, const float *maxs)
{
    const float d[3] = {maxs[0] - mins[0], maxs[1] - mins[1], maxs[2] - mins[2]};
    // The model orientation maps model (x, y, z) to world (z, x, y); the
    // centre is raised by 32.
    p.orbitCentre[0] = mins[2] + d[2] * 0.5f;
    p.orbitCentre[1] = mins[0] + d[0] * 0.5f;
    p.orbitCentre[2] = mins[1] + 32 + d[1] * 0.5f;
    float extent = d[0];
    if (d[1] > extent)
        extent = d[1];
    if (d[2] > extent)
        extent = d[2];
    p.zoomDistance = p.lightDistance[0] = p.lightDistance[1] = extent + 200;
    const float light0[3] = {-315, 90, 0}, light1[3] = {-63.5f, 90, 0};
    memcpy(p.lightAngles[0], light0, sizeof light0);
    memcpy(p.lightAngles[1], light1, sizeof light1);
}

void R_ModelOrientationMatrix(const PreviewState &preview, float *m)
{
    const float *a = preview.modelAngles;
    Math_MatrixIdentity(m);
    // The Y turns are negated: Math_MatrixRotate turns about Y opposite to GL.
    Math_MatrixRotate(m, a[1], 0, 0, 1);
    Math_MatrixRotate(m, -a[0], 0, 1, 0);
    Math_MatrixRotate(m, a[2], 1, 0, 0);
    Math_MatrixRotate(m, 90, 1, 0, 0);
    Math_MatrixRotate(m, -90, 0, 1, 0);
}

void R_LightPositions(const PreviewState &preview, float positions[2][4])
{
    for (int i = 0; i < 2; ++i) {
        float forward[3];
        Math_AnglesToVectors(preview.lightAngles[i], forward, nullptr, nullptr);
        for (int k = 0; k < 3; ++k)
            positions[i][k] = forward[k] * preview.lightDistance[i];
        positions[i][3] = 1;  // positional
    }
}
