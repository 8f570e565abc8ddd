// Frames: a timer tick draws one complete frame into the back buffer and
// swaps when the picture can change (something asked for a frame, a drag is
// on, or a texture on screen scrolls); a still picture draws none. Also the
// GL side of the model's orientation and lights.
#include "render/render_local.h"
#include "render/gl_procs.h"

#include <chrono>
#include <thread>

void GL_RunFrame()
{
    const RenderLocal &r = r_local;
    if (!r.glReady)
        return;
    GlSurface *surface = r.glWindow;
    if (!surface || !surface->MakeCurrent())
        return;  // off screen: nothing can be drawn
    if (r.frameCallback)
        r.frameCallback();
    surface->Present();
    // Keeps the window's thread from running frames back to back.
    if (r.frameSleepMs != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(r.frameSleepMs));
}

void R_DrawFrame(PreviewState &preview, TextureChannels channels, void (*modelPass)())
{
    R_BuildViewMatrix();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glMultMatrixf(r_local.viewMatrix);
    if (modelPass)
        modelPass();
    R_Begin2D();
    DrawTexturePreview(preview, channels);
    // Back to the perspective and the modelview mode the next frame starts in.
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void R_Begin2D()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, r_local.viewWidth, r_local.viewHeight, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void R_ApplyModelOrientation(const PreviewState &preview)
{
    const float *a = preview.modelAngles;
    glRotatef(a[1], 0, 0, 1);
    glRotatef(a[0], 0, 1, 0);
    glRotatef(a[2], 1, 0, 0);
    glRotatef(90, 1, 0, 0);
    glRotatef(90, 0, 1, 0);
}

void R_SetupLights(const PreviewState &preview)
{
    float positions[2][4];
    R_LightPositions(preview, positions);
    static constexpr float kAmbient[4] = {0.45f, 0.45f, 0.45f, 1.0f};
    static constexpr float kWhite[4] = {1, 1, 1, 1};
    static constexpr float kDown[3] = {0, 0, -1};
    for (int i = 0; i < 2; ++i) {
        const GLenum light = i == 0 ? GL_LIGHT0 : GL_LIGHT1;
        glLightfv(light, GL_AMBIENT, kAmbient);
        if (i == 0)
            glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kAmbient);
        glLightfv(light, GL_DIFFUSE, kWhite);
        glLightfv(light, GL_SPECULAR, kWhite);
        glLightfv(light, GL_SPOT_DIRECTION, kDown);
        glLightf(light, GL_SPOT_CUTOFF, 180);
        glLightf(light, GL_CONSTANT_ATTENUATION, 1);
        glLightf(light, GL_LINEAR_ATTENUATION, 0);
        glLightf(light, GL_QUADRATIC_ATTENUATION, 0);
        glLightfv(light, GL_POSITION, positions[i]);
        glEnable(light);
    }
    glEnable(GL_LIGHTING);
}
