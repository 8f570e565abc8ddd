// The real window on a game's whole folder (make_bench_archive folder DIR
// --archives 40 --entries 500000 makes one):
//  1. from the start (before the window is made) until the tree of the
//     folder's archives has painted, as `quillon DIR` opens it; the memory
//     the window holds then, and at its peak, over an empty window's;
//  2. opening the largest archive's node until it has painted;
//  3. opening every archive's node: time and memory;
//  4. the first find across every archive (which reads each index once for
//     its lines) and a second one, until the list has painted; memory again.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_folder_window DIR
#include "app/entry_tree_ctrl.h"
#include "seam_window.h"
#include "../bench_measure.h"

#include <wx/textctrl.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {


// Runs `step`, then handles the events it caused and has `window` paint
// what became invalid (GTK's tree draws itself, with no paint event to wait for).
template <typename Step>
double UntilPainted(wxWindow *window, Step step)
{
    const auto start = Clock::now();
    step();
    wxTheApp->ProcessPendingEvents();
    while (wxEventLoopBase::GetActive()->Pending())
        wxEventLoopBase::GetActive()->Dispatch();
    window->Update();
    return Ms(start, Clock::now());
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench_folder_window DIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!StartWx()) {
        fprintf(stderr, "bench_folder_window: no display (run it under xvfb-run)\n");
        return 1;
    }
    viewer.services.sound.Init = [] {};
    // An empty window first, for the memory it takes by itself.
    double baseRss = 0;
    {
        auto *empty = new SeamWindow();
        empty->Show();
        Pump(300);
        baseRss = StatusMiB("VmRSS");
        OnCommand(*empty, CmdCancel);
        Pump(100);
    }

    const auto start = Clock::now();
    auto *frame = new SeamWindow();
    frame->Show();
    EntryTreeCtrl *tree = frame->EntryTree();
    const double showMs = UntilPainted(frame, [] {});
    const double openMs = UntilPainted(tree, [&] {
        if (!frame->OpenPath(folder))
            fprintf(stderr, "bench_folder_window: '%s' was refused\n", folder.c_str());
    });
    const double totalMs = Ms(start, Clock::now());
    printf("folder of %zu archives, %lld entries by their headers\n", viewer.session.tree.archives.size(),
           [] {
               long long n = 0;
               for (const TreeArchive &a : viewer.session.tree.archives)
                   n += a.entries;
               return n;
           }());
    printf("%-52s %8.1f ms (the window %.1f ms, the folder %.1f ms; target <= 2000 ms)\n",
           "start to the painted tree", totalMs, showMs, openMs);
    printf("%-52s %8.1f MiB now, %.1f MiB at the peak (target <= 300 MiB)\n", "memory over the empty window",
           StatusMiB("VmRSS") - baseRss, StatusMiB("VmHWM") - baseRss);

    // The largest archive's node opened.
    size_t largest = 0;
    for (size_t a = 0; a < viewer.session.tree.archives.size(); ++a)
        if (viewer.session.tree.archives[a].entries > viewer.session.tree.archives[largest].entries)
            largest = a;
    const double expandMs = UntilPainted(tree, [&] { tree->Open(ArchiveTree_Item(largest, 0)); });
    printf("%-52s %8.1f ms (%lld entries)\n", "opening the largest archive's node", expandMs,
           static_cast<long long>(viewer.session.tree.archives[largest].entries));

    const double allMs = UntilPainted(tree, [&] {
        for (size_t a = 0; a < viewer.session.tree.archives.size(); ++a)
            tree->Open(ArchiveTree_Item(a, 0));
    });
    printf("%-52s %8.1f ms, %.1f MiB over the empty window\n", "opening every archive's node", allMs,
           StatusMiB("VmRSS") - baseRss);

    OnCommand(*frame, CmdEditFind);
    Pump(100);
    for (const char *text : {"crate", "_d"}) {
        const double ms = UntilPainted(frame->EntryList(), [&] { frame->FindText()->SetValue(text); });
        printf("find '%s' across every archive%-22s %8.1f ms (%zu lines)\n", text,
               text[0] == 'c' ? " (first: reads indexes)" : "", ms, viewer.session.folderHits.size());
    }
    printf("%-52s %8.1f MiB now, %.1f MiB at the peak\n", "memory over the empty window after the finds",
           StatusMiB("VmRSS") - baseRss, StatusMiB("VmHWM") - baseRss);
    OnCommand(*frame, CmdCancel);
    Pump(100);
    return 0;
}
