// The real main window with the GL view: a selected texture is drawn on the
// first frames, slides under a real mouse drag, and a hidden view draws no
// frames while the tick keeps running. Saves a screenshot of the viewer.
#include "app/entry_list_ctrl.h"
#include "fixtures.h"
#include "gl_test_view.h"

#include <wx/uiaction.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int gTicks = 0, gFrames = 0;

Rgb Quadrants(uint32_t bx, uint32_t by, uint32_t blocksX, uint32_t blocksY)
{
    const bool right = bx >= blocksX / 2, lower = by >= blocksY / 2;
    if (!right && !lower)
        return {220, 40, 40};
    if (right && !lower)
        return {40, 200, 60};
    if (!right)
        return {40, 60, 220};
    return {230, 220, 40};
}

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
        dir = fs::path(::testing::TempDir()) / ("view_gui_" + std::to_string(getpid()));
        fs::create_directories(dir);
        archive = (dir / "Sample.PAK").string();
        FixtureArchive a;
        a.entries = {
            {"textures/quadrants.tex", Fixture_Texture(64, 32, 1, 1, Quadrants)},
            {"textures/stone_wall_d.tex", Fixture_Texture(128, 128, 5, 1, Fixture_PictureColour)},
            {"scripts/readme.txt", Fixture_FromString("Line one\r\nLine two\r\n")},
        };
        ASSERT_TRUE(Fixture_WritePak(archive, a));
        frame = new SeamWindow();
        frame->Show();
        Pump(100);
        frame->answers.push_back(archive);
        OnCommand(*frame, CmdFileOpen);
        Pump(50);
    }
    void TearDown() override
    {
        if (!frame)
            return;
        if (!frame->HasEnded())
            OnCommand(*frame, CmdCancel);
        Pump(50);
        ViewerState_Reset();
        fs::remove_all(dir);
    }

    bool Select(const std::string &line)
    {
        EntryListCtrl *list = frame->EntryList();
        for (size_t i = 0; i < list->LineCount(); ++i)
            if (list->LineText(static_cast<long>(i)) == line) {
                frame->SelectEntryLine(static_cast<int>(i));
                return PumpUntil(2000, [&] { return viewer.selectedEntry >= 0 && frame->GetEntrySelection() == int(i); });
            }
        return false;
    }
    // The colour the screen shows at (x, y) of the GL view.
    Pixel ViewPixel(const wxImage &screen, int x, int y) const
    {
        const wxPoint at = frame->Control(IdGlView)->GetScreenPosition() - frame->GetScreenPosition() + wxPoint(x, y);
        return {screen.GetRed(at.x, at.y), screen.GetGreen(at.x, at.y), screen.GetBlue(at.x, at.y)};
    }
    static bool Near(const Pixel &a, Rgb b)
    {
        const Rgb q = Fixture_Quantise(b);
        return std::abs(a.r - q.r) <= 1 && std::abs(a.g - q.g) <= 1 && std::abs(a.b - q.b) <= 1;
    }

    fs::path dir;
    std::string archive;
    SeamWindow *frame = nullptr;
};

TEST_F(ViewWindowTest, ShowsTheSelectedTextureAndSlidesItWithTheMouse)
{
    ASSERT_TRUE(Select("textures/quadrants.tex [0000]"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 1 && !viewer.redrawPending; })) << "no frames drawn";
    EXPECT_TRUE(viewer.glReady);
    Pump(60);
    wxImage shot = ScreenImage(frame);
    EXPECT_TRUE(Near(ViewPixel(shot, 2, 2), {220, 40, 40})) << ViewPixel(shot, 2, 2);
    EXPECT_TRUE(Near(ViewPixel(shot, 61, 2), {40, 200, 60})) << ViewPixel(shot, 61, 2);
    EXPECT_TRUE(Near(ViewPixel(shot, 2, 29), {40, 60, 220})) << ViewPixel(shot, 2, 29);
    EXPECT_TRUE(Near(ViewPixel(shot, 63, 31), {230, 220, 40})) << ViewPixel(shot, 63, 31);
    EXPECT_EQ(ViewPixel(shot, 64, 10), kClearGrey);
    EXPECT_EQ(ViewPixel(shot, 10, 32), kClearGrey);

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
    EXPECT_EQ(viewer.preview.textureOffset[0], 40);
    EXPECT_EQ(viewer.preview.textureOffset[1], 25);
    ASSERT_TRUE(PumpUntil(1000, [] { return !viewer.redrawPending; }));
    shot = ScreenImage(frame);
    EXPECT_EQ(ViewPixel(shot, 39, 24), kClearGrey);
    EXPECT_TRUE(Near(ViewPixel(shot, 40, 25), {220, 40, 40})) << ViewPixel(shot, 40, 25);
    EXPECT_TRUE(Near(ViewPixel(shot, 40 + 63, 25 + 31), {230, 220, 40})) << ViewPixel(shot, 103, 56);

    // Another selection puts the image back at the corner.
    ASSERT_TRUE(Select("textures/stone_wall_d.tex [0001]"));
    EXPECT_EQ(viewer.preview.textureOffset[0], 0);
    ASSERT_TRUE(PumpUntil(1000, [] { return !viewer.redrawPending; }));
    Pump(60);
    shot = ScreenImage(frame);
    EXPECT_TRUE(Near(ViewPixel(shot, 64, 64), {200, 30, 30})) << ViewPixel(shot, 64, 64);  // the red centre

    fs::create_directories(QUILLON_SCREENSHOT_DIR);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    EXPECT_TRUE(ScreenImage(frame).SaveFile(QUILLON_SCREENSHOT_DIR "/viewer-texture.png", wxBITMAP_TYPE_PNG));
}

TEST_F(ViewWindowTest, HiddenViewDrawsNoFramesWhileTheTickRuns)
{
    ASSERT_TRUE(Select("scripts/readme.txt [0002]"));
    EXPECT_TRUE(viewer.viewHidden);
    gTicks = gFrames = 0;
    Pump(300);
    EXPECT_GT(gTicks, 5);
    EXPECT_EQ(gFrames, 0);
    EXPECT_FALSE(viewer.glReady);  // never shown yet: no context

    // A resize while the view is hidden is caught up when it shows.
    frame->SetClientSize(frame->FromDIP(wxSize(900, 640)));
    Pump(100);
    ASSERT_TRUE(Select("textures/quadrants.tex [0000]"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 2; }));
    const ControlRect rect = frame->GetControlRect(IdGlView);
    EXPECT_EQ(viewer.viewWidth, rect.width);
    EXPECT_EQ(viewer.viewHeight, rect.height);

    ASSERT_TRUE(Select("scripts/readme.txt [0002]"));
    frame->SetClientSize(frame->FromDIP(wxSize(700, 500)));
    Pump(100);
    gTicks = gFrames = 0;
    Pump(200);
    EXPECT_GT(gTicks, 3);
    EXPECT_EQ(gFrames, 0);
    ASSERT_TRUE(Select("textures/quadrants.tex [0000]"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 2; }));
    EXPECT_EQ(viewer.viewWidth, frame->GetControlRect(IdGlView).width);
    EXPECT_EQ(viewer.viewHeight, frame->GetControlRect(IdGlView).height);
}

}  // namespace
