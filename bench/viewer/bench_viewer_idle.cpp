// What the viewer costs when nothing moves, and how fast it draws while a
// drag does: the real window (1100 x 800 client pixels) with the GL view on
// the display's GL (Mesa llvmpipe under Xvfb), the 10 ms timer and its own
// event loop, as the application runs it.
//  1. a still 1024 x 1024 DXT5 texture, 10 s;
//  2. a still sample model (models\env\colonnade of the sample archives), 10 s;
//  3. a left drag over the texture, the mouse moving every 5 ms, 5 s;
// each also with a frame forced on every tick (--busy), as the view drew before.
// Reports the CPU time of the viewer's process (all threads, llvmpipe's
// included) as a share of one core, and frames per second.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_viewer_idle [seconds]
#include "app/services.h"
#include "fixtures.h"
#include "render/render.h"
#include "seam_window.h"

#include <wx/evtloop.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;
namespace fs = std::filesystem;

namespace {

int gFrames = 0, gTicks = 0;
bool gBusy = false;  // a frame on every tick, as before frames followed changes

double Seconds(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Runs the window's own event loop for `seconds`; `during` runs every 5 ms.
void RunFor(double seconds, const char *what, const std::function<void()> &during = {})
{
    gFrames = gTicks = 0;
    const double wall0 = Seconds(CLOCK_MONOTONIC), cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    wxGUIEventLoop loop;
    wxTimer stop, step;
    stop.Bind(wxEVT_TIMER, [&](wxTimerEvent &) { loop.Exit(); });
    stop.StartOnce(static_cast<int>(seconds * 1000));
    if (during) {
        step.Bind(wxEVT_TIMER, [&](wxTimerEvent &) { during(); });
        step.Start(5);
    }
    loop.Run();
    step.Stop();
    const double wall = Seconds(CLOCK_MONOTONIC) - wall0, cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    printf("%-46s %s  CPU %5.1f %% of one core  frames %6.1f per s  ticks %5.1f per s\n", what,
           gBusy ? "every tick " : "on change  ", 100 * cpu / wall, gFrames / wall, gTicks / wall);
}

// The entry line `line` selected, and its first frame drawn.
bool Select(SeamWindow *frame, const std::string &line)
{
    return SelectLine(*frame, line) && PumpUntil(3000, [] { return gFrames > 0 && !R_RedrawPending(); });
}

}  // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 10;
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (!StartWx()) {
        fprintf(stderr, "bench_viewer_idle: no display (run it under xvfb-run)\n");
        return 1;
    }
    ViewerState_Reset();
    R_ResetState();
    App_InstallServices();
    viewer.services.sound.Update = [] {
        ++gTicks;
        if (gBusy)
            R_RequestRedraw();
    };
    R_SetFrameHooks(
        [] {
            ++gFrames;
            App_DrawViewFrame();
        },
        1);

    const fs::path dir = fs::temp_directory_path() / ("bench_viewer_idle_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string texturePak = (dir / "TEXTURE.PAK").string(), samples = (dir / "samples").string();
    if (!Fixture_WritePak(texturePak, {{{"textures/big.tex", Fixture_Texture(1024, 1024, 5, 1, Fixture_PictureColour)}}})) {
        fprintf(stderr, "bench_viewer_idle: cannot write %s\n", texturePak.c_str());
        return 1;
    }
    pid_t maker = 0;
    char *makerArgs[] = {const_cast<char *>(QUILLON_MAKE_SAMPLES), const_cast<char *>(samples.c_str()), nullptr};
    int status = 1;
    if (posix_spawn(&maker, QUILLON_MAKE_SAMPLES, nullptr, nullptr, makerArgs, environ) != 0 ||
        waitpid(maker, &status, 0) != maker || status != 0) {
        fprintf(stderr, "bench_viewer_idle: the sample archives were not written\n");
        return 1;
    }

    auto *frame = new SeamWindow();
    frame->SetClientSize(1100, 800);
    frame->Show();
    Pump(300);
    const ControlRect view = frame->GetControlRect(IdGlView);
    printf("window client 1100 x 800, GL view %d x %d, %.0f s each\n", view.width, view.height, seconds);

    for (bool busy : {false, true}) {
        gBusy = busy;
        if (!frame->OpenPath(texturePak) || !Select(frame, "textures/big.tex [0000]")) {
            fprintf(stderr, "bench_viewer_idle: the texture was not drawn\n");
            return 1;
        }
        RunFor(seconds, "still 1024 x 1024 DXT5 texture");

        // A left drag: down inside the view, then a move every 5 ms.
        wxUIActionSimulator sim;
        const wxPoint start = frame->Control(IdGlView)->ClientToScreen(wxPoint(200, 200));
        sim.MouseMove(start);
        Pump(30);
        sim.MouseDown();
        int step = 0;
        RunFor(seconds / 2, "left drag over the texture", [&] {
            ++step;
            sim.MouseMove(start + wxPoint(step % 100, (step / 2) % 60));
        });
        sim.MouseUp();
        Pump(100);

        if (!frame->OpenPath(samples + "/GLOBAL.PAK") || !Select(frame, "models\\env\\colonnade [0031]")) {
            fprintf(stderr, "bench_viewer_idle: the model was not drawn\n");
            return 1;
        }
        RunFor(seconds, "still sample model (colonnade)");
    }

    OnCommand(*frame, CmdCancel);
    Pump(50);
    fs::remove_all(dir);
    return 0;
}
