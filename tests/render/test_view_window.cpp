// The real main window with the GL view: first frames, a real mouse drag, a hidden view.
#include "gl_test_view.h"
#include "temp_dir.h"
#include "test_data.h"

#include <wx/uiaction.h>

namespace {

int gTicks = 0, gFrames = 0;

class ViewWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ViewerState_Reset();
        App_InstallServices();
        gTicks = gFrames = 0;
        viewer.services.S_Update = [] { ++gTicks; };
        viewer.frameCallback = [] {
            ++gFrames;
            R_DrawFrame();
        };
        FixtureArchive a;
        a.entries = {
            {"textures/blocks.tex", Fixture_Texture(64, 32, 1, 1, BlockShade)},
            {"textures/stone_wall_d.tex", Fixture_Texture(128, 128, 5, 1, Fixture_PictureColour)},
            {"scripts/readme.txt", Fixture_FromString("Line one\r\nLine two\r\n")},
        };
        ASSERT_TRUE(Fixture_WritePak(dir / "Sample.PAK", a));
        frame = OpenWindow(dir / "Sample.PAK");
    }
    void TearDown() override
    {
        if (!frame)
            return;
        if (!frame->HasEnded())
            OnCommand(*frame, CmdCancel);
        Pump(50);
        ViewerState_Reset();
    }

    bool Select(const std::string &line) { return SelectLine(*frame, line); }
    // The colour the screen shows at (x, y) of the GL view.
    Pixel ViewPixel(const wxImage &screen, int x, int y) const
    {
        const wxPoint at = frame->Control(IdGlView)->GetScreenPosition() - frame->GetScreenPosition() + wxPoint(x, y);
        return {screen.GetRed(at.x, at.y), screen.GetGreen(at.x, at.y), screen.GetBlue(at.x, at.y)};
    }

    TempDir dir;
    SeamWindow *frame = nullptr;
};

TEST_F(ViewWindowTest, ShowsTheSelectedTextureAndSlidesItWithTheMouse)
{
    ASSERT_TRUE(Select("textures/blocks.tex [0000]"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 1 && !viewer.redrawPending; })) << "no frames drawn";
    EXPECT_TRUE(viewer.glReady);
    Pump(60);
    wxImage shot = ScreenImage(frame);
    EXPECT_TRUE(ShowsBlock(ViewPixel(shot, 2, 2), BlockShade(0, 0, 16, 8))) << ViewPixel(shot, 2, 2);

    // A real left drag over the view: the first move inside only records.
    wxWindow *view = frame->Control(IdGlView);
    const wxPoint start = view->ClientToScreen(wxPoint(100, 100));
    wxUIActionSimulator sim;
    sim.MouseMove(start);
    Pump(30);
    sim.MouseDown();
    sim.MouseMove(start + wxPoint(1, 1));
    ASSERT_TRUE(PumpUntil(1000, [] { return viewer.leftDragActive; }));
    for (int step = 1; step <= 5; ++step) {
        sim.MouseMove(start + wxPoint(1 + 8 * step, 1 + 5 * step));
        Pump(15);
    }
    sim.MouseUp();
    Pump(50);
    EXPECT_EQ(std::pair(viewer.preview.textureOffset[0], viewer.preview.textureOffset[1]), std::pair(40.0f, 25.0f));
    ASSERT_TRUE(PumpUntil(1000, [] { return !viewer.redrawPending; }));
    shot = ScreenImage(frame);
    EXPECT_EQ(ViewPixel(shot, 39, 24), kClearGrey);
    EXPECT_TRUE(ShowsBlock(ViewPixel(shot, 40, 25), BlockShade(0, 0, 16, 8))) << ViewPixel(shot, 40, 25);
    EXPECT_TRUE(ShowsBlock(ViewPixel(shot, 40 + 63, 25 + 31), BlockShade(15, 7, 16, 8))) << ViewPixel(shot, 103, 56);

    // Another selection puts the image back at the corner.
    ASSERT_TRUE(Select("textures/stone_wall_d.tex [0001]"));
    EXPECT_EQ(std::pair(viewer.preview.textureOffset[0], viewer.preview.textureOffset[1]), std::pair(0.0f, 0.0f));
}

TEST_F(ViewWindowTest, HiddenViewDrawsNoFramesWhileTheTickRuns)
{
    ASSERT_TRUE(Select("scripts/readme.txt [0002]"));
    EXPECT_TRUE(viewer.viewHidden);
    gTicks = gFrames = 0;
    Pump(300);
    EXPECT_TRUE(gTicks > 5 && gFrames == 0) << gTicks << " ticks, " << gFrames << " frames";
    EXPECT_FALSE(viewer.glReady);  // never shown yet: no context

    // A resize while the view is hidden is caught up when it shows.
    frame->SetClientSize(frame->FromDIP(wxSize(900, 640)));
    Pump(100);
    ASSERT_TRUE(Select("textures/blocks.tex [0000]"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 2; }));
    const ControlRect rect = frame->GetControlRect(IdGlView);
    EXPECT_EQ(std::pair(viewer.viewWidth, viewer.viewHeight), std::pair(rect.width, rect.height));

    ASSERT_TRUE(Select("scripts/readme.txt [0002]"));
    frame->SetClientSize(frame->FromDIP(wxSize(700, 500)));
    Pump(100);
    gTicks = gFrames = 0;
    Pump(200);
    EXPECT_TRUE(gTicks > 3 && gFrames == 0) << gTicks << " ticks, " << gFrames << " frames";
    ASSERT_TRUE(Select("textures/blocks.tex [0000]"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 2; }));
    const ControlRect shown = frame->GetControlRect(IdGlView);
    EXPECT_EQ(std::pair(viewer.viewWidth, viewer.viewHeight), std::pair(shown.width, shown.height));
}

}  // namespace
