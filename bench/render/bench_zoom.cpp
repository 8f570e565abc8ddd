// Frames per second of the texture preview on a 4096 x 4096 DXT5 texture:
// slid at one texel per pixel, slid at 8x, and zoomed continuously about a
// point (one power of two per frame, in from 1/16 to 32 and out again), each
// frame drawn and swapped in a real GL view as the window's timer does.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_zoom [seconds [view width height]]
#include "app/gl_canvas.h"
#include "app/services.h"
#include "fixtures.h"
#include "render/render.h"
#include "seam_window.h"

#include <wx/frame.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

double Run(double seconds, const std::function<void(int)> &step)
{
    const auto start = Clock::now();
    int frames = 0;
    for (; std::chrono::duration<double>(Clock::now() - start).count() < seconds; ++frames) {
        step(frames);
        GL_RunFrame();
    }
    glFinish();
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
}

void Select(const Bytes &texture)
{
    viewer.preview = PreviewState{};
    viewer.preview.CurrentResource = texture;
    viewer.preview.resourceKind = KindTexture;
}

// A drag of 3 pixels a frame, back and forth across 300 pixels.
void Slide(int frame)
{
    const float dx = (frame / 100) % 2 ? -3.0f : 3.0f;
    viewer.preview.textureOffset[0] += dx;
    viewer.preview.textureOffset[1] += dx;
}

}  // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 5;
    const int width = argc > 3 ? atoi(argv[2]) : 419, height = argc > 3 ? atoi(argv[3]) : 387;
    if (!StartWx()) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    ViewerState_Reset();
    R_ResetState();
    auto *frame = new wxFrame(nullptr, wxID_ANY, "bench_zoom");
    auto *canvas = new GlCanvas(frame, wxID_ANY, wxPoint(0, 0), wxSize(width, height));
    frame->SetClientSize(width, height);
    frame->Show();
    if (!PumpUntil(3000, [&] { return canvas->IsShownOnScreen(); }))
        return 1;
    R_SetSurface(canvas);
    App_InstallServices();
    R_SetFrameHooks(App_DrawViewFrame, 0);  // as fast as frames can be drawn
    if (!GL_Init(width, height))
        return 1;
    const Bytes texture = Fixture_Texture(4096, 4096, 5, 1, Fixture_PictureColour);

    Select(texture);
    GL_RunFrame();  // the upload, once per selection
    const double slide1 = Run(seconds, Slide);

    Select(texture);
    GL_RunFrame();
    R_ZoomTexture(viewer.preview, 3, width / 2.0f, height / 2.0f);
    const double slide8 = Run(seconds, Slide);

    Select(texture);
    GL_RunFrame();
    const double zoom = Run(seconds, [&](int f) {
        // 18 frames a round: 9 steps in from 1/16 to 32, 9 out.
        R_ZoomTexture(viewer.preview, f % 18 < 9 ? 1 : -1, width / 3.0f, height / 3.0f);
    });
    printf("view %d x %d, 4096 x 4096 DXT5\n", width, height);
    printf("slide at 1x:         %.1f frames/s\n", slide1);
    printf("slide at 8x:         %.1f frames/s\n", slide8);
    printf("continuous zoom:     %.1f frames/s\n", zoom);
    GL_Release();
    frame->Destroy();
    Pump(20);
    return 0;
}
