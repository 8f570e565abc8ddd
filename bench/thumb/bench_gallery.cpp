// View > "As Gallery" in the real window on a large archive of textures
// (make_gallery_archive makes one):
//  1. from choosing the menu item until every cell of the first screen has
//     painted its thumbnail;
//  2. Down pressed (real key presses) from the first row to the last: the
//     longest the window's thread was kept by one event, and how the times
//     spread;
//  3. the resident memory at its peak over the window before the gallery.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_gallery ARCHIVE [SIZE]
#include "app/command_table.h"
#include "app/gallery_panel.h"
#include "seam_window.h"
#include "../bench_measure.h"

#include <wx/menu.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {


// The time of every event the window's thread handled, one call of the loop
// each: on the clock, and the thread's own CPU time (what the machine's load
// leaves out).
std::vector<double> gEventMs, gEventCpuMs;

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <typename Step>
void Timed(Step step)
{
    const auto start = Clock::now();
    const double cpu = ThreadCpuMs();
    step();
    gEventMs.push_back(Ms(start, Clock::now()));
    gEventCpuMs.push_back(ThreadCpuMs() - cpu);
}

template <typename Done>
bool TimedPumpUntil(int ms, Done done)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        Timed([] { wxTheApp->ProcessPendingEvents(); });
        while (wxEventLoopBase::GetActive()->Pending())
            Timed([] { wxEventLoopBase::GetActive()->Dispatch(); });
        Timed([] { wxTheApp->ProcessIdle(); });
        if (done())
            return true;
        if (Clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench_gallery ARCHIVE [SIZE]\n");
        return 2;
    }
    const int size = argc > 2 ? atoi(argv[2]) : 128;
    if (!StartWx()) {
        fprintf(stderr, "bench_gallery: no display\n");
        return 1;
    }
    ViewerState_Reset();
    SeamWindow *frame = OpenWindow(argv[1]);
    frame->SetSize(1200, 900);
    Pump(300);
    GalleryPanel *gallery = frame->Gallery();
    gallery->SetThumbSize(size);
    frame->SelectEntryLine(0);
    Pump(500);
    printf("archive: %s, %zu entries; window %dx%d\n", argv[1], viewer.session.mainPak.entries.size(), frame->GetSize().x,
           frame->GetSize().y);

    // The window without the gallery: what it holds now is the base.
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const double base = StatusMiB("VmRSS");

    wxMenu *menu = nullptr;
    wxMenuItem *item = frame->GetMenuBar()->FindItem(Command_ToWxId(CmdViewAsGallery), &menu);
    const auto chosen = Clock::now();
    menu->SendEvent(item->GetId(), 1);
    const bool complete = TimedPumpUntil(20000, [&] { return gallery->ScreenComplete(); });
    const double firstScreen = Ms(chosen, Clock::now());
    const wxRect last = gallery->ThumbRect(0);
    printf("first screen (%d px, pane %dx%d): %s in %.0f ms\n", size, gallery->GetClientSize().x,
           gallery->GetClientSize().y, complete ? "complete" : "NOT complete", firstScreen);
    (void)last;

    // Down from the first row to the last, as fast as the window takes the keys.
    gEventMs.clear();
    gEventCpuMs.clear();
    gallery->SetFocus();
    Pump(50);
    wxUIActionSimulator keys;
    size_t presses = 0;
    const auto scrollStart = Clock::now();
    const size_t count = gallery->Cells().cells.size();
    for (int at = 0;;) {
        keys.Char(WXK_DOWN);
        ++presses;
        int now = at;
        TimedPumpUntil(2000, [&] {
            for (size_t i = 0; i < count; ++i)
                if (gallery->Cells().cells[i].slot == viewer.session.selectedEntry)
                    return (now = static_cast<int>(i)) != at;
            return false;
        });
        if (now == at)
            break;  // the last row
        at = now;
    }
    const double scrollMs = Ms(scrollStart, Clock::now());
    const bool endComplete = TimedPumpUntil(20000, [&] { return gallery->ScreenComplete(); });
    printf("keyboard: %zu presses over %zu cells in %.1f s, %zu events; last screen %s\n", presses, count,
           scrollMs / 1000, gEventMs.size(), endComplete ? "complete" : "NOT complete");
    const std::pair<const char *, std::vector<double>> kinds[] = {{"wall", gEventMs}, {"thread CPU", gEventCpuMs}};
    for (auto [name, times] : kinds) {
        std::sort(times.begin(), times.end());
        auto at = [&](double q) { return times.empty() ? 0 : times[static_cast<size_t>(q * (times.size() - 1))]; };
        printf("  %s: median %.2f ms, 99%% %.1f ms, 99.9%% %.1f ms, longest %.1f ms, over 50 ms: %zu\n", name, at(0.5),
               at(0.99), at(0.999), times.empty() ? 0 : times.back(),
               static_cast<size_t>(std::count_if(times.begin(), times.end(), [](double t) { return t > 50; })));
    }
    const double peak = StatusMiB("VmHWM");
    printf("memory: window before the gallery %.0f MiB; peak %.0f MiB, %.0f MiB above it; cache %.0f MiB now\n", base,
           peak, peak - base, gallery->CacheBytes() / 1048576.0);
    CloseWindow(frame);
    return 0;
}
