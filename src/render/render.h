// The 3D view: vector and matrix math, the camera, the two lights and the
// mouse (plain C++), and the GL context, lighting programs and frames (the GL
// library). The view keeps its own state (render_local.h); the selection's
// preview and the View toggles it draws are passed in by the window. No GL
// header is needed to include this one.
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include "texture/texture_decode.h"

#include <cstdint>

class GlSurface;

// ---- math (math.cpp) ----
// Vectors are float[3], angle triples float[3] in degrees (pitch, yaw, roll),
// matrices float[16] in column-major order (element (r, c) at 4c + r).

struct Orientation {
    float axis[3][3];  // rows of a rotation, possibly with a uniform scale
    float origin[3];
};

void Math_MatrixIdentity(float *m);
// out = a x b, which applies b first; out must be neither input.
void Math_MatrixMultiply(const float *a, const float *b, float *out);
// m = m x translation(v), for a matrix whose bottom row is (0, 0, 0, 1).
void Math_MatrixTranslate(float *m, const float *v);
// m = m x R, R built from the principal-axis rotations named by x, y, z (each
// 0, 1 or -1). The turn about Y runs opposite to glRotatef's.
void Math_MatrixRotate(float *m, float angle, float x, float y, float z);
// Any output may be null.
void Math_AnglesToVectors(const float *angles, float *forward, float *right, float *up);
// (-pitch, yaw, 0) of a direction; pitch and yaw in 0..360 before the pitch is negated.
void Math_VectorToAngles(const float *v, float *angles);
void Math_AddPointToBounds(const float *p, float *mins, float *maxs);
// Inverse of a rotation with uniform scale and a translation.
void Math_InvertOrientation(const Orientation &in, Orientation &out);
void Math_TransformPoint(const Orientation &o, const float *p, float *out);
// Vertical field of view (degrees) that matches fovX on a width x height view.
float Math_FovY(float fovX, int width, int height);
// The view's perspective: m[14] is -2 * zNear; zFar only adds 2 * zNear / zFar to m[10].
void Math_PerspectiveMatrix(float fovX, float fovY, float zNear, float zFar, float *m);
float Math_Sqrt(float v);

// ---- the view's state (render_state.cpp) ----

// Back to the state of a fresh start: no context, no hooks, a frame asked for
// (used between tests).
void R_ResetState();
// The view control the context is made on; null: none (GL_Init fails).
void R_SetSurface(GlSurface *surface);
// The view control is going away: when it is the one the context is on, the
// context is released and the view has no control.
void R_ForgetSurface(GlSurface *surface);
// A context exists and was made current once.
bool R_Ready();
// The view's size in the screen's pixels, each at least 1.
void R_ViewSize(int32_t &width, int32_t &height);
// The screen's pixels per window unit of the view (for mouse positions).
float R_ViewScale();
// The frame content GL_RunFrame and R_CaptureView draw (null: buffers are only
// swapped) and the pause after each swap, milliseconds.
void R_SetFrameHooks(void (*frame)(), uint32_t sleepMs);
// The picture changed (selection, View toggles, drags, resizes and exposes,
// uploads): the window's timer draws a frame. Set at a fresh start.
void R_RequestRedraw();
// Whether a frame was asked for since the last R_TakeRedraw.
bool R_RedrawPending();
// Whether a frame was asked for; the request is cleared.
bool R_TakeRedraw();
// A mouse drag over the view is steering it.
bool R_Dragging();
// Where the eye is (R_PlaceEye) and its angles, yaw with 90 added.
void R_Eye(float origin[3], float angles[3]);
// Whether the lighting programs can be used, and their ids (-1 until GL_EnsurePrograms loads them).
bool R_LightingPrograms(int32_t &vertex, int32_t &fragment);

// ---- camera, lights and mouse (camera.cpp) ----

// Key flags of a mouse move, as the view reads them.
enum MouseFlags : int {
    MouseLeft = 1,
    MouseRight = 2,
    MouseShift = 4,
    MouseControl = 8,
};

// A move over the main window, point (x, y) in its client pixels: drags over
// the GL view slide the preview's texture or turn, zoom and pan its model and
// lights. While the view is hidden no drag steers it. The caller passes the
// move on to default processing afterwards.
void OnMouseMove(ViewerWindow &window, PreviewState &preview, bool viewHidden, int flags, int x, int y);
// The eye's origin and angles from the preview's orbit centre and zoom.
void R_PlaceEye(const PreviewState &preview);
// The camera's modelview from the eye.
void R_BuildViewMatrix();
// Framing of a model about to be parsed: centre raised to 512, zoom 1200.
void R_FrameModel(PreviewState &preview);
// Framing of a parsed model by the bounds of its vertex positions: centre,
// zoom and both light distances fitted, the lights at their starting angles.
void R_FrameModelBounds(PreviewState &preview, const float *mins, const float *maxs);
// The model rotation (the GL sequence of R_ApplyModelOrientation) built on the
// CPU, for the eye position in model space.
void R_ModelOrientationMatrix(const PreviewState &preview, float *m);
// Positions of the two lights relative to the model, w = 1.
void R_LightPositions(const PreviewState &preview, float positions[2][4]);

// ---- texture zoom and mip level (texture_view.cpp) ----

// Zoom steps of the texture preview: powers of two from 1/16 to 32.
constexpr int kTextureZoomMinStep = -4;
constexpr int kTextureZoomMaxStep = 5;

// View pixels per texel of the texture preview.
float R_TextureScale(const PreviewState &preview);
// Zooms by `steps` powers of two (negative: out), within 1/16..32, keeping the
// texel under the view point (x, y) where it is. From a fitted scale the
// first step goes to the next power of two in that direction.
void R_ZoomTexture(PreviewState &preview, int steps, float x, float y);
// One texel per pixel, keeping the texel at the view's centre where it is
// (whole pixels, so the picture stays sharp).
void R_TextureActualSize(PreviewState &preview);
// The whole of the shown level in the view, centred.
void R_FitTexture(PreviewState &preview);
// Sides of the level the preview shows; false when the selection is no
// texture or that level is not all stored.
bool R_ShownTextureSize(const PreviewState &preview, uint32_t &width, uint32_t &height);
// Shows stored level `level` (clamped to the levels stored) from the next frame.
void R_SetTextureMipLevel(PreviewState &preview, int level);

// ---- model wheel (camera.cpp) ----

// Pixels of right-button drag one notch of the wheel stands for.
constexpr int kWheelNotchPixels = 4;
// `notches` of the wheel over a model (positive: turned away from the user,
// which brings the eye nearer) change zoomDistance as the right-button drag
// does, and place the eye.
void R_WheelZoomModel(PreviewState &preview, int notches);

// ---- GL context (gl_context.cpp, GL library) ----

// The window side of the context: the view control the viewer draws on.
class GlSurface {
public:
    virtual ~GlSurface() = default;
    // A context can be made current only on a view shown on screen.
    virtual bool IsOnScreen() const = 0;
    // Creates the context once (RGBA, double buffer, 24-bit depth, 8-bit stencil).
    virtual bool CreateContext() = 0;
    virtual bool MakeCurrent() = 0;  // false (and no GL call) while the view is off screen
    virtual void Present() = 0;      // swaps the buffers
    virtual void DeleteContext() = 0;
    // The screen's pixels per window unit (2 on a screen scaled twice): GL
    // draws in the screen's pixels.
    virtual double PixelScale() const { return 1.0; }
};

// Creates the context on the view control (R_SetSurface) the first time (false when the view
// is not on screen yet or creation fails), then, every time, makes it current,
// re-detects the capabilities, sets the viewport and projection for a view of
// width x height window units (the screen's pixels of it, each at least 1)
// and the initial GL state.
bool GL_Init(int width, int height);
// Reads the extension string and limits: whether the lighting programs can be
// used and whether compressed textures can be uploaded.
void GL_CheckExtensions();
// Fetches the program, vertex-attribute and multitexture entry points; false
// at the first limit, extension or entry point that is missing.
bool GL_LoadProgramEntryPoints();
// Loads the perspective matrix into the current matrix.
void GL_SetProjection(float fovX, float fovY, float zNear, float zFar);
// A program compiled from text, or -1 (no programs, or a compile error).
int32_t GL_LoadProgram(uint32_t target, const char *text);
// Compiles the two lighting programs on the first call that finds them missing.
void GL_EnsurePrograms();
// Drops the context; R_Ready becomes false. Harmless when there is none.
void GL_Release();

// The two lighting programs (programs.cpp).
extern const char *const kLightingVertexProgram;
extern const char *const kLightingFragmentProgram;

// ---- frames (frame.cpp, GL library) ----

// One frame: current context, the frame hook, swap, pause.
void GL_RunFrame();
// The frame content: camera, clear, the model pass `modelPass` (may be null),
// 2D pass with the preview's texture shown in `channels`.
void R_DrawFrame(PreviewState &preview, TextureChannels channels, void (*modelPass)());
// Pixel coordinates for 2D drawing: origin top-left, y down.
void R_Begin2D();
// glRotatef sequence that turns the model (after glPushMatrix on the camera).
void R_ApplyModelOrientation(const PreviewState &preview);
// GL_LIGHT0 and GL_LIGHT1 at R_LightPositions, and lighting on.
void R_SetupLights(const PreviewState &preview);

// ---- the frame as a picture (capture.cpp, GL library) ----

constexpr int kCaptureMaxScale = 4;
// Draws the view's frame (the frame hook) once more at `scale` (1 to 4) times
// the view's size into an offscreen framebuffer and reads it back as RGBA,
// rows top-down. With `transparent`, pixels nothing was drawn on have alpha
// 0; all others are opaque. False (and an empty image) without a context,
// framebuffer objects or room for that size.
bool R_CaptureView(int scale, bool transparent, TextureImage &out);

// ---- textures (texture_upload.cpp, texture_preview.cpp, GL library) ----

// Binds `textureName` and fills its top level with the resource's DXT blocks as
// they are, with the wrap modes `wrap` and linear filtering. Uploads
// nothing when compressed textures are not supported or the resource is
// shorter than its header and top level. Never reads past `resourceSize` bytes.
void UploadTexture(uint32_t textureName, const uint8_t *header, int32_t resourceSize, TextureWrap wrap = {});
// The same with stored level `level` in the place of the top level (its own
// sides, as GL's level 0); uploads nothing when that level is not all stored.
void UploadTextureLevel(uint32_t textureName, const uint8_t *header, int32_t resourceSize, uint32_t level,
                        TextureWrap wrap = {});

// Draws the preview's texture at its zoom with its top-left corner at
// textureOffset, in the pixel projection of R_Begin2D, showing `channels`;
// uploads it into texture name 1 on the first frame of the selection.
void DrawTexturePreview(PreviewState &preview, TextureChannels channels);
