// The real window's "In contents" on a game's folder (bench/grep.sh --keep
// leaves one in WORK/v1): from the toggle until the first found entries have
// painted in the list, until the search has ended, and the longest the
// window's thread went without handling its events meanwhile (its
// responsiveness), measured as the longest gap between turns of the loop.
// Usage: xvfb-run -a -s "-screen 0 1280x1024x24" bench_contents_window DIR [TEXT]
#include "seam_window.h"
#include "../bench_measure.h"

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench_contents_window DIR [TEXT]\n");
        return 2;
    }
    const std::string folder = argv[1], text = argc > 2 ? argv[2] : "fenholt_777";
    if (!StartWx()) {
        fprintf(stderr, "bench_contents_window: no display (run it under xvfb-run)\n");
        return 1;
    }
    viewer.services.sound.Init = [] {};
    auto *frame = new SeamWindow();
    frame->Show();
    Pump(200);
    if (!frame->OpenPath(folder)) {
        fprintf(stderr, "bench_contents_window: '%s' was refused\n", folder.c_str());
        return 1;
    }
    OnCommand(*frame, CmdEditFind);
    frame->FindText()->SetValue(text);
    Pump(200);

    auto *toggle = static_cast<wxCheckBox *>(frame->Control(IdFindContents));
    wxWindow *stop = frame->Control(IdFindStop);
    const auto start = Clock::now();
    toggle->SetValue(true);
    wxCommandEvent checked(wxEVT_CHECKBOX, toggle->GetId());
    checked.SetInt(1);
    checked.SetEventObject(toggle);
    toggle->ProcessWindowEvent(checked);
    double firstMs = -1, longestGap = 0;
    auto last = Clock::now();
    while (firstMs < 0 || stop->IsShown()) {
        wxTheApp->ProcessPendingEvents();
        while (wxEventLoopBase::GetActive()->Pending())
            wxEventLoopBase::GetActive()->Dispatch();
        wxTheApp->ProcessIdle();
        if (firstMs < 0 && frame->EntryList()->LineCount() > 0) {
            frame->EntryList()->Update();
            firstMs = Ms(start, Clock::now());
        }
        const auto now = Clock::now();
        longestGap = std::max(longestGap, Ms(last, now));
        last = now;
        if (Ms(start, now) > 600000)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double doneMs = Ms(start, Clock::now());
    printf("'%s' in the contents of %zu archives: %zu entries hold it\n", text.c_str(), viewer.session.tree.archives.size(),
           frame->EntryList()->LineCount());
    printf("%-44s %8.1f ms (target <= 1000 ms)\n", "first found entries painted", firstMs);
    printf("%-44s %8.1f ms\n", "the search ended", doneMs);
    printf("%-44s %8.1f ms\n", "longest the window's thread was busy", longestGap);
    OnCommand(*frame, CmdCancel);
    Pump(100);
    return 0;
}
