// Frame time of a large model in a real GL view: 1024 surfaces, about 500,000
// vertices, 16 materials with a diffuse and a normal map, drawn at 800 x 600
// (Mesa llvmpipe under Xvfb), once on the lighting programs and once with
// them off (fixed-function lighting), and once without materials.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_model_frame [FRAMES]
#include "model/model.h"
#include "model_fixtures.h"
#include "app/gl_canvas.h"
#include "app/services.h"
#include "render/gl_procs.h"
#include "render/render_local.h"
#include "seam_window.h"
#include "scene/scene.h"

#include <wx/frame.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

Rgb Stone(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    return ((bx + by) % 2) ? Rgb{150, 140, 120} : Rgb{90, 80, 70};
}

Rgb Flat(uint32_t, uint32_t, uint32_t, uint32_t)
{
    return {128, 128, 255};
}

// Milliseconds per frame (drawn and finished), sorted.
std::vector<double> TimeFrames(int frames)
{
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        App_DrawViewFrame();
        glFinish();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

void Select(const Bytes &model)
{
    if (viewer.preview.model)
        Model_Free(viewer.preview.model);
    viewer.preview = PreviewState{};
    viewer.preview.CurrentResource = model;
    viewer.preview.resourceKind = KindModel;
    for (int i = 0; i < 3; ++i)  // preparation, then the framed view
        App_DrawViewFrame();
    glFinish();
}

}  // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    if (!StartWx()) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    const std::string dir = "/tmp/quillon-bench-model-" + std::to_string(getpid());
    FixtureArchive a;
    for (int i = 0; i < 16; ++i) {
        const std::string n = "bench_" + std::to_string(i);
        a.entries.push_back({n, Fixture_FromString("// THIS FILE WAS GENERATED FROM RENDERTOOLS\nnumTextures 2\n"
                                                   "Texture 0 WRAP WRAP " + n + "_d\nTexture 1 WRAP WRAP " + n + "_n\n")});
        a.entries.push_back({n + "_d", Fixture_Texture(256, 256, 1, 1, Stone)});
        a.entries.push_back({n + "_n", Fixture_Texture(256, 256, 1, 1, Flat)});
    }
    std::filesystem::create_directories(dir);
    if (!Fixture_WritePak(dir + "/BENCH.PAK", a) || Pak_OpenArchive(dir + "/BENCH.PAK", viewer.session.mainPak) != PakOpenResult::Ok) {
        fprintf(stderr, "cannot write the archive\n");
        return 1;
    }

    auto *frame = new wxFrame(nullptr, wxID_ANY, "bench");
    auto *canvas = new GlCanvas(frame, wxID_ANY, wxPoint(0, 0), wxSize(800, 600));
    frame->SetClientSize(800, 600);
    frame->Show();
    PumpUntil(3000, [&] { return canvas->IsShownOnScreen(); });
    R_SetSurface(canvas);
    App_InstallServices();
    if (!GL_Init(800, 600)) {
        fprintf(stderr, "no GL context\n");
        return 1;
    }
    printf("renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    const Bytes model = Fixture_Model(Fixture_LargeModel(1024, 500000));

    struct Run {
        const char *name;
        bool programs, materials;
    } runs[] = {{"lighting programs", true, true}, {"fixed-function", false, true}, {"no materials", false, false}};
    for (const Run &r : runs) {
        GL_Init(800, 600);  // detects the programs again
        if (!r.programs)
            r_local.programsSupported = false;
        viewer.modelMaterialsEnabled = r.materials;
        const auto start = std::chrono::steady_clock::now();
        Select(model);
        const double prepare =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const std::vector<double> ms = TimeFrames(frames);
        printf("%-18s frames %d: median %.1f ms, best %.1f ms, worst %.1f ms (first three frames with "
               "preparation %.0f ms)\n",
               r.name, frames, ms[ms.size() / 2], ms.front(), ms.back(), prepare);
    }
    if (viewer.preview.model)
        Model_Free(viewer.preview.model);
    viewer.preview = PreviewState{};
    GL_Release();
    frame->Destroy();
    std::filesystem::remove_all(dir);
    return 0;
}
