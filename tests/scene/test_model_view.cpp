// The selection's model in the viewer without GL.
#include "app/main_dialog.h"
#include "fake_window.h"
#include "model/model.h"
#include "model_fixtures.h"
#include "temp_dir.h"
#include "test_data.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

class ModelView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        R_ResetState();
        InitMainDialog(window);
        viewer.services.model.Free = Model_Free;
        viewer.services.model.ForExport = Model_ForExport;
        viewer.services.model.WriteObj = [](FILE *file) {
            const Model *model = Model_ForExport(viewer.preview);
            return model && Model_WriteObj(file, model);
        };
    }
    void TearDown() override
    {
        ShutdownViewer(window);
        ViewerState_Reset();
        R_ResetState();
    }

    FakeWindow window;
    TempDir dir;
};

}  // namespace

TEST_F(ModelView, InterpretedExportReadsAModelNoFrameHasPrepared)
{
    FixtureArchive a;
    ModelFixture boxes;
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    boxes.surfaces = {Fixture_Box("stone", centre, half), Fixture_Box("wood", centre, half)};
    const Bytes model = Fixture_Model(boxes);
    Bytes broken = model;
    Fixture_PutU32(broken, 0x1C, 0xE0);  // an empty descriptor scan
    ModelFixture lossy = Fixture_SharedStrips(80, 11);
    lossy.positionShift = 24;  // more overlapping stretches of one buffer than the parse's bound takes
    a.entries = {{"good", model}, {"broken", broken}, {"lossy", Fixture_Model(lossy)}};
    ASSERT_TRUE(Fixture_WritePak(dir / "MODELS.PAK", a));
    window.Open(dir / "MODELS.PAK");

    // The models' preview is off, so no frame prepares the model.
    OnCommand(window, CmdViewModels);
    window.Click("good [0000]");
    EXPECT_TRUE(window.Enabled(CmdExportInterpreted));
    EXPECT_EQ(viewer.preview.model, nullptr);
    window.answers.push_back(dir / "good.obj");
    Export_Interpreted(window);
    EXPECT_TRUE(window.messages.empty());
    ASSERT_EQ(window.dialogs.size(), 2u);
    EXPECT_EQ(window.dialogs.back().filter, "WaveFront Object (*.obj)|*.obj;*.[oO][bB][jJ]|All Files (*.*)|*");
    ASSERT_NE(viewer.preview.model, nullptr);
    const std::string text = ObjText(viewer.preview.model);
    EXPECT_EQ(ReadText(dir / "good.obj"), text);
    EXPECT_NE(text.find("usemtl wood\n"), std::string::npos);
    // A second export writes the same model again.
    const Model *kept = viewer.preview.model;
    window.answers.push_back(dir / "again.obj");
    Export_Interpreted(window);
    EXPECT_EQ(viewer.preview.model, kept);
    EXPECT_EQ(ReadText(dir / "again.obj"), text);

    // A model that cannot be read is said so before any file is named.
    window.Click("broken [0001]");
    window.dialogs.clear();
    window.answers.push_back(dir / "broken.obj");
    Export_Interpreted(window);
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(window.messages, std::vector<std::string>{Export_Message(ExportResult::NoModel)});
    EXPECT_FALSE(std::filesystem::exists(dir / "broken.obj"));

    // Surfaces the parse left out are not lost in silence: the user is told
    // after the file with the others is written.
    window.Click("lossy [0002]");
    window.messages.clear();
    window.answers = {dir / "lossy.obj"};
    Export_Interpreted(window);
    ASSERT_NE(viewer.preview.model, nullptr);
    EXPECT_EQ(window.messages,
              std::vector<std::string>{Export_SurfacesLeftOutMessage(viewer.preview.model->surfacesDropped)});
    EXPECT_TRUE(std::filesystem::exists(dir / "lossy.obj"));
}

TEST_F(ModelView, PreparationFramesListsAndHides)
{
    ModelFixture m;
    const float half[3] = {0.1f, 0.2f, 0.3f};
    for (int i = 0; i < 101; ++i) {
        const float centre[3] = {static_cast<float>(i), 0, 0};
        m.surfaces.push_back(Fixture_Box("m" + std::to_string(i), centre, half));
    }
    viewer.mainDialog = &window;
    viewer.showSurfaceList = true;
    viewer.preview.CurrentResource = Fixture_Model(m);
    viewer.preview.resourceKind = KindModel;
    App_ShowSurfaceRows(Model_Prepare(viewer.preview, App_SceneSources()));
    ASSERT_NE(viewer.preview.model, nullptr);
    EXPECT_TRUE(viewer.preview.previewPrepared);
    ASSERT_EQ(window.surfaceRows.size(), 101u);
    EXPECT_EQ(std::tuple(window.surfaceRows[0], window.surfaceRows[9], window.surfaceRows[100]),
              std::tuple("00 - m0", "09 - m9", "100 - m100"));
    // Framed by the bounds (x -10..10010, y -20..20, z -30..30 after the scale of 100).
    EXPECT_FLOAT_EQ(viewer.preview.orbitCentre[1], 5000);
    EXPECT_FLOAT_EQ(viewer.preview.zoomDistance, 10020 + 200);

    window.surfaceSelected = {0, 2};
    Model_ApplySurfaceHiding(viewer.preview, App_SelectedSurfaceRows(window));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(viewer.preview.model->surfaces[i].hidden, i == 0 || i == 2) << i;

    // A model an export read first is taken over, not read again.
    Model_Free(viewer.preview.model);
    viewer.preview = PreviewState{};
    viewer.preview.CurrentResource = Fixture_Model(m);
    viewer.preview.resourceKind = KindModel;
    const Model *exported = Model_ForExport(viewer.preview);
    Model_Prepare(viewer.preview, App_SceneSources());
    EXPECT_EQ(viewer.preview.model, exported);
}

TEST(ModelClock, ScrollOffsetsAndTheClock)
{
    const struct {
        uint32_t ms;
        float velocity, offset;
    } cases[] = {{3200, -0.5f, 0.4f}, {3200, 0.5f, 0.6f}, {0, 0.25f, 0.0f}, {1000, -1.0f, 1.0f}, {250, -0.04f, 0.99f}};
    for (const auto &c : cases)
        EXPECT_NEAR(Model_ScrollOffset(c.ms, c.velocity), c.offset, 1e-6) << c.ms << " " << c.velocity;
    const uint32_t first = Clock_Milliseconds(7);
    EXPECT_LT(first, 1000u);  // starts near zero; a loaded machine may stretch the first call's short sleep
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(Clock_Milliseconds(7) - first, 20u);
}
