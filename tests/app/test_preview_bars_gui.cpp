// The real window's sound bar on the real player (SDL's dummy driver), the
// sash that widens the entry list, and the view saved at twice its size.
#include "temp_dir.h"
#include "test_data.h"
#include "sound_test_util.h"
#include "app/command_table.h"
#include "app/settings.h"
#include "app/sound_bar.h"
#include "audio/audio.h"
#include "gl_test_view.h"

#include <wx/button.h>
#include <wx/config.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/tooltip.h>

#include <filesystem>

namespace {

constexpr double kToneSeconds = 4.0;
const std::string kLongName = "text\\dialogue\\group_000\\entry_0000_greeting.txt";

class PreviewBars : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"sounds\\tone.ogg", tone},
                                                {"textures\\ui\\compass", Fixture_Texture(64, 32, 1, 1, BlockShade)},
                                                {kLongName, Fixture_FromString("words")}}}));
    }
    void TearDown() override
    {
        unsetenv("SDL_AUDIODRIVER");
        if (StartWx())
            CloseWindow(frame);
    }
    void NewFrame()
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);  // no device search, and the same player everywhere
        CloseWindow(frame);
        App_InstallServices();
        frame = OpenWindow(archive);
    }
    std::string Time() const { return std::string(frame->SoundBarCtrl()->Time()->GetLabel().utf8_str()); }

    const Bytes tone = Tone(kToneSeconds);
    TempDir dir;
    const std::string archive = dir / "Bars.PAK";
    SeamWindow *frame = nullptr;
};

TEST_F(PreviewBars, SoundBarFollowsThePlayingSoundAndSeeks)
{
    NewFrame();
    ASSERT_NE(soundState.device, nullptr) << soundDecode.printBuffer;
    SoundBar *bar = frame->SoundBarCtrl();
    EXPECT_FALSE(bar->IsShown());
    ASSERT_TRUE(ClickLine(*frame, "sounds\\tone.ogg [0000]"));
    EXPECT_TRUE(bar->IsShownOnScreen());

    // Played on click: the time and the slider move on at about real time.
    ASSERT_TRUE(PumpUntil(3000, [&] { return Time() >= "0:00.5"; })) << Time();
    EXPECT_EQ(Time().substr(6), " / 0:04.0");
    EXPECT_EQ(bar->Button()->GetLabel(), "Stop");
    EXPECT_GE(bar->Slider()->GetValue(), 500);
    EXPECT_EQ(bar->Slider()->GetMax(), 4000);

    // A seek to the middle on the test clock: the next samples heard are the middle's.
    SB_SetManualClock(soundState.device, true);
    bar->Slider()->SetValue(2000);
    wxCommandEvent moved(wxEVT_SLIDER, bar->Slider()->GetId());
    moved.SetEventObject(bar->Slider());
    bar->Slider()->GetEventHandler()->ProcessEvent(moved);
    OnFrameTimer();  // the player starts the request
    Bytes heard(4000);
    SB_Mix(soundState.device, heard.data(), static_cast<int>(heard.size()));
    const Bytes whole = RingPcm(tone);
    ASSERT_GT(whole.size(), 2 * 88200 + heard.size());
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), whole.begin() + 2 * 88200));
    OnFrameTimer();
    EXPECT_EQ(Time(), "0:02.0 / 0:04.0");

    // Stop keeps the place; Play goes on from it.
    wxCommandEvent press(wxEVT_BUTTON, bar->Button()->GetId());
    bar->Button()->GetEventHandler()->ProcessEvent(press);
    EXPECT_EQ(bar->Button()->GetLabel(), "Play");
    EXPECT_FALSE(soundState.channels[1].playing);
    bar->Button()->GetEventHandler()->ProcessEvent(press);
    OnFrameTimer();
    double at = 0;
    EXPECT_TRUE(S_PlayingPosition(viewer.preview.soundRecord, at));
    EXPECT_NEAR(at, 2.0, 0.05);
}

// Without an audio device the status bar says so once, and Play is gray.
// The labels above the panes look the same before and after the sound bar
// shows, goes away for another pane and comes back: nothing of it is left
// drawn over them.
TEST_F(PreviewBars, SoundBarLeavesTheLabelsAsTheyWere)
{
    NewFrame();
    const ControlRect label = frame->GetControlRect(IdFileLabel);
    const wxPoint panel = frame->Panel()->GetScreenPosition() - frame->GetScreenPosition();
    Pump(300);
    const wxImage before = ScreenImage(frame);
    ASSERT_TRUE(ClickLine(*frame, "sounds\\tone.ogg [0000]"));
    ASSERT_TRUE(PumpUntil(2000, [&] { return frame->SoundBarCtrl()->IsShownOnScreen(); }));
    const wxRect area = wxRect(panel.x + label.x, panel.y + label.y, label.width, label.height)
                            .Intersect(wxRect(before.GetSize()));
    ASSERT_FALSE(area.IsEmpty());
    auto differing = [&] {
        Pump(300);
        const wxImage after = ScreenImage(frame);
        EXPECT_EQ(before.GetSize(), after.GetSize());
        int count = 0;
        for (int y = area.y; y < area.GetBottom(); ++y)
            for (int x = area.x; x < area.GetRight(); ++x)
                count += before.GetRed(x, y) != after.GetRed(x, y) || before.GetGreen(x, y) != after.GetGreen(x, y);
        return count;
    };
    EXPECT_EQ(differing(), 0);
    // Nor when it goes away for another pane, or comes back.
    ASSERT_TRUE(ClickLine(*frame, "textures\\ui\\compass [0001]"));
    EXPECT_EQ(differing(), 0);
    ASSERT_TRUE(ClickLine(*frame, kLongName + " [0002]"));
    ASSERT_TRUE(ClickLine(*frame, "sounds\\tone.ogg [0000]"));
    EXPECT_EQ(differing(), 0);
}

TEST_F(PreviewBars, NoAudioDeviceIsSaidOnce)
{
    NewFrame();
    viewer.services.sound.HasOutput = [] { return false; };
    ASSERT_TRUE(ClickLine(*frame, "sounds\\tone.ogg [0000]"));
    const wxString notice = "No audio device: sounds cannot be played.";
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), notice);
    EXPECT_FALSE(frame->SoundBarCtrl()->Button()->IsEnabled());
    ASSERT_TRUE(ClickLine(*frame, "textures\\ui\\compass [0001]"));
    ASSERT_TRUE(ClickLine(*frame, "sounds\\tone.ogg [0000]"));
    EXPECT_NE(frame->GetStatusBar()->GetStatusText(0), notice);
}

TEST_F(PreviewBars, SashWidensTheListAndTheWidthIsRemembered)
{
    const std::string settings = dir / "settings";
    setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
    struct Forget {
        ~Forget()
        {
            delete wxConfigBase::Set(nullptr);
            unsetenv("XDG_CONFIG_HOME");
        }
    } forget;
    App_OpenSettings();
    NewFrame();
    const ControlRect list = frame->GetControlRect(IdEntryList), pane = frame->GetControlRect(IdGlView),
                      sash = frame->GetControlRect(IdListSash);
    EXPECT_EQ(sash.x, list.x + list.width);
    EXPECT_EQ(sash.x + sash.width, pane.x);

    wxUIActionSimulator sim;
    const wxPoint grip = frame->Panel()->ClientToScreen(wxPoint(sash.x + sash.width / 2, sash.y + 40));
    sim.MouseMove(grip);
    Pump(30);
    sim.MouseDown();
    for (int step = 1; step <= 4; ++step) {
        sim.MouseMove(grip + wxPoint(20 * step, 0));
        Pump(20);
    }
    sim.MouseUp();
    Pump(50);
    auto widened = [&] {
        const ControlRect l = frame->GetControlRect(IdEntryList), p = frame->GetControlRect(IdGlView);
        return std::tuple(l.width - list.width, p.x - pane.x, pane.width - p.width);
    };
    EXPECT_EQ(widened(), std::tuple(80, 80, 80));

    // The next window starts at that width.
    NewFrame();
    EXPECT_EQ(widened(), std::tuple(80, 80, 80));

    // A cut line tells its whole text under the pointer.
    EntryListCtrl *entries = frame->EntryList();
    long line = 0;
    while (line < long(entries->LineCount()) && entries->LineText(line) != kLongName + " [0002]")
        ++line;
    ASSERT_LT(line, long(entries->LineCount()));
    wxRect item;
    entries->GetItemRect(line, item);
    sim.MouseMove(entries->ClientToScreen(item.GetPosition() + wxPoint(20, item.height / 2)));
    ASSERT_TRUE(PumpUntil(1000, [&] { return entries->LinesWindow()->GetToolTip() != nullptr; }));
    EXPECT_EQ(entries->LinesWindow()->GetToolTipText(), wxString(kLongName + " [0002]"));
}

// Saved at twice the view's size: each pixel of the view two by two, and
// transparent where nothing is drawn; the status bar tells the zoom.
TEST_F(PreviewBars, ViewSavedAtTwiceItsSizeIsWhatItShows)
{
    NewFrame();
    ASSERT_TRUE(ClickLine(*frame, "textures\\ui\\compass [0001]"));
    ASSERT_TRUE(PumpUntil(2000, [] { return R_Ready() && !R_RedrawPending(); }));
    Pump(50);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(2), "Zoom 100%, 64 x 32");
    const wxImage screen = ScreenImage(frame);
    wxWindow *view = frame->Control(IdGlView);
    const wxPoint origin = view->GetScreenPosition() - frame->GetScreenPosition();

    const std::string path = dir / "view.png";
    frame->imageAnswer = ViewImageChoice{2, true};
    frame->answers.push_back(path);
    OnCommand(*frame, CmdViewSaveImage);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxImage saved(path, wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(saved.IsOk() && saved.HasAlpha());
    ASSERT_EQ(saved.GetSize(), 2 * view->GetSize());
    int mismatched = 0;
    for (int y = 0; y < saved.GetHeight(); ++y)
        for (int x = 0; x < saved.GetWidth(); ++x) {
            const int sx = origin.x + x / 2, sy = origin.y + y / 2;
            const bool drawn = x < 2 * 64 && y < 2 * 32;
            mismatched += saved.GetRed(x, y) != screen.GetRed(sx, sy) ||
                          saved.GetGreen(x, y) != screen.GetGreen(sx, sy) ||
                          saved.GetBlue(x, y) != screen.GetBlue(sx, sy) || saved.GetAlpha(x, y) != (drawn ? 255 : 0);
        }
    EXPECT_EQ(mismatched, 0);

    OnCommand(*frame, CmdViewZoomIn);
    EXPECT_TRUE(PumpUntil(500, [&] { return frame->GetStatusBar()->GetStatusText(2) == "Zoom 200%, 64 x 32"; }));
}

}  // namespace
