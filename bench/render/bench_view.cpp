// What the running view costs: the real window showing a 1024 x 1024 DXT5
// texture for a while, frames drawn by the 10 ms timer. Reports the CPU time
// of the viewer's process (all threads, llvmpipe's included) and of the
// window's thread as a share of one core, the frames per second, and the
// display server's CPU time when it can be found. Then the same with the view
// hidden (a text entry selected), where only the tick runs.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_view [seconds [client width height]]
#include "app/services.h"
#include "fixtures.h"
#include "render/render_local.h"
#include "seam_window.h"

#include <wx/evtloop.h>
#include <wx/timer.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int gFrames = 0, gTicks = 0;

double Seconds(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// The X server serving our display (Xvfb under xvfb-run), or 0.
pid_t DisplayServer()
{
    const char *display = getenv("DISPLAY");
    if (!display)
        return 0;
    DIR *proc = opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (dirent *e = readdir(proc)) {
        const pid_t pid = atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::ifstream in("/proc/" + std::string(e->d_name) + "/cmdline", std::ios::binary);
        std::string cmd((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::string> args;
        std::stringstream split(cmd);
        for (std::string a; std::getline(split, a, '\0');)
            args.push_back(a);
        if (args.size() > 1 && args[0].find("Xvfb") != std::string::npos && args[1] == display) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

double ProcessCpu(pid_t pid)
{
    if (pid <= 0)
        return -1;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::stringstream fields(stat.substr(close + 2));
    std::string f;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> f; ++i) {
        if (i == 14)
            utime = atof(f.c_str());
        if (i == 15) {
            stime = atof(f.c_str());
            break;
        }
    }
    return (utime + stime) / sysconf(_SC_CLK_TCK);
}

// Runs the window's own event loop for `seconds`, as the application does.
void RunFor(double seconds, const char *what, pid_t server)
{
    gFrames = gTicks = 0;
    const double wall0 = Seconds(CLOCK_MONOTONIC), cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID),
                 thread0 = Seconds(CLOCK_THREAD_CPUTIME_ID), server0 = ProcessCpu(server);
    wxGUIEventLoop loop;
    wxTimer stop;
    stop.Bind(wxEVT_TIMER, [&](wxTimerEvent &) { loop.Exit(); });
    stop.StartOnce(static_cast<int>(seconds * 1000));
    loop.Run();
    const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double thread = Seconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
    const double serverCpu = ProcessCpu(server) - server0;
    printf("%s, %.1f s:\n", what, wall);
    printf("  viewer process CPU  %6.2f s  = %5.1f %% of one core\n", cpu, 100 * cpu / wall);
    printf("  window thread CPU   %6.2f s  = %5.1f %% of one core\n", thread, 100 * thread / wall);
    if (server > 0)
        printf("  Xvfb CPU            %6.2f s  = %5.1f %% of one core\n", serverCpu, 100 * serverCpu / wall);
    printf("  ticks %d (%.1f per s), frames %d (%.1f per s)\n", gTicks, gTicks / wall, gFrames, gFrames / wall);
}

}  // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 10;
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (!StartWx()) {
        fprintf(stderr, "bench_view: no display (run it under xvfb-run)\n");
        return 1;
    }
    ViewerState_Reset();
    R_ResetState();
    App_InstallServices();
    viewer.services.sound.Update = [] { ++gTicks; };
    R_SetFrameHooks(
        [] {
            ++gFrames;
            App_DrawViewFrame();
        },
        1);

    const fs::path dir = fs::temp_directory_path() / ("bench_view_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "VIEW.PAK").string();
    FixtureArchive archive;
    archive.entries = {
        {"textures/big.tex", Fixture_Texture(1024, 1024, 5, 1, Fixture_PictureColour)},
        {"scripts/readme.txt", Fixture_FromString("Line one\r\nLine two\r\n")},
    };
    if (!Fixture_WritePak(path, archive)) {
        fprintf(stderr, "bench_view: cannot write %s\n", path.c_str());
        return 1;
    }

    auto *frame = new SeamWindow();
    if (argc > 3)
        frame->SetClientSize(atoi(argv[2]), atoi(argv[3]));
    frame->Show();
    Pump(200);
    frame->answers.push_back(path);
    OnCommand(*frame, CmdFileOpen);
    Pump(50);
    const pid_t server = DisplayServer();

    int cx = 0, cy = 0;
    frame->GetClientSize(cx, cy);
    const ControlRect view = frame->GetControlRect(IdGlView);
    printf("window client %d x %d, GL view %d x %d\n", cx, cy, view.width, view.height);
    if (!SelectLine(*frame, "textures/big.tex [0000]") ||
        !PumpUntil(3000, [] { return gFrames > 0 && !R_RedrawPending(); })) {
        fprintf(stderr, "bench_view: the texture was not drawn\n");
        return 1;
    }
    printf("compression %s, programs %s\n", r_local.compressionSupported ? "yes" : "no",
           r_local.programsSupported ? "yes" : "no");
    RunFor(seconds, "1024 x 1024 DXT5 texture shown", server);

    if (!SelectLine(*frame, "scripts/readme.txt [0001]")) {
        fprintf(stderr, "bench_view: the text was not selected\n");
        return 1;
    }
    RunFor(seconds, "view hidden (text entry shown)", server);

    OnCommand(*frame, CmdCancel);
    Pump(50);
    fs::remove_all(dir);
    return 0;
}
