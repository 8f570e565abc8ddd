// The batch export's progress dialog in the real window: progress, a real Cancel, ticks go on.
#include "seam_window.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace {

int gTicks = 0;

TEST(BatchWindow, ProgressDialogCancelsTheJobWhileTheWindowTicks)
{
    if (!StartWx())
        GTEST_SKIP() << "no display";
    ViewerState_Reset();
    viewer.services.S_Update = [] { ++gTicks; };
    auto *frame = new SeamWindow();
    frame->Show();
    Pump(100);

    // A real click on the dialog's Cancel once it has shown some progress.
    wxString shown;
    wxTimer clicker;
    clicker.Bind(wxEVT_TIMER, [&](wxTimerEvent &) {
        wxDialog *dialog = nullptr;
        for (wxWindow *w : wxTopLevelWindows)
            if (auto *d = dynamic_cast<wxDialog *>(w); d && d->GetTitle() == "Exporting" && d->IsShown())
                dialog = d;
        wxButton *cancel = dialog ? dynamic_cast<wxButton *>(dialog->FindWindow(wxID_CANCEL)) : nullptr;
        if (!cancel)
            return;
        for (wxWindow *child : dialog->GetChildren())
            if (auto *text = dynamic_cast<wxStaticText *>(child); text && text->GetLabel().Contains(" of "))
                shown = text->GetLabel();
        if (shown.empty())
            return;
        clicker.Stop();
        wxUIActionSimulator sim;
        sim.MouseMove(cancel->ClientToScreen(wxPoint(cancel->GetSize().x / 2, cancel->GetSize().y / 2)));
        sim.MouseClick();
    });
    clicker.Start(100);

    gTicks = 0;
    int reported = 0;
    bool cancelled = false;
    const auto start = std::chrono::steady_clock::now();
    frame->RunJob([&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        while (!cancel && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            progress({static_cast<size_t>(++reported), 1000, "entry"});
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        cancelled = cancel;
    });
    EXPECT_TRUE(cancelled) << "Cancel did not reach the job";
    EXPECT_TRUE(shown.Contains(" of 1000 entries")) << shown;
    EXPECT_GT(gTicks, 10) << "the main window's timer stopped while the job ran";
    OnCommand(*frame, CmdCancel);
    Pump(50);
    ViewerState_Reset();
}

}  // namespace
