// The model pass in a real Mesa context, and the surface list in the real window.
#include "cli_run.h"
#include "fake_window.h"
#include "gl_test_view.h"
#include "model/model.h"
#include "model_fixtures.h"
#include "render/render_local.h"
#include "scene/scene.h"
#include "test_data.h"

#include <wx/listbox.h>

namespace {

bool Reddish(const Pixel &p)
{
    return p.r > p.g + 40 && p.r > p.b + 40;
}

class ModelDrawTest : public GlViewTest {
protected:
    void SetUp() override
    {
        GlViewTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        FixtureArchive a;
        a.entries = {
            {"red", MaterialBytes("numTextures 1 Texture 0 WRAP WRAP red_d")},
            {"bumpy", MaterialBytes("numTextures 3 Texture 0 WRAP WRAP red_d Texture 1 WRAP WRAP flat_n "
                                    "Texture 2 WRAP WRAP shiny_s")},
            {"red_d", Fixture_Texture(64, 64, 1, 1, Solid<220, 40, 40>)},
            {"flat_n", Fixture_Texture(64, 64, 1, 1, Solid<128, 128, 255>)},
            {"shiny_s", Fixture_Texture(64, 64, 1, 1, Solid<200, 200, 200>)},
        };
        ASSERT_TRUE(Fixture_WritePak(dir / "MODELS.PAK", a));
        ASSERT_EQ(Pak_OpenArchive(dir / "MODELS.PAK", viewer.session.mainPak), PakOpenResult::Ok);
        viewer.mainDialog = &window;
    }
    void TearDown() override
    {
        Select({});  // releases the model
        GlViewTest::TearDown();
    }

    // Releases the model and selects `bytes` as the selection handler leaves them.
    void Select(const Bytes &bytes)
    {
        if (viewer.preview.model)
            Model_Free(viewer.preview.model);
        viewer.preview = PreviewState{};
        window.ClearSurfaceList();
        viewer.preview.CurrentResource = bytes;
        viewer.preview.resourceKind = KindModel;
    }
    // Frames as the window's timer draws them: one, then more while one is asked for.
    void Draw()
    {
        R_RequestRedraw();
        for (int i = 0; i < 10 && R_TakeRedraw(); ++i)
            App_DrawViewFrame();
    }

    // A cube centred in front of the camera, and a smaller one off to the side.
    static Bytes Cubes(const char *material)
    {
        ModelFixture m;
        const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
        const float side[3] = {0, 0, 2.5f}, small[3] = {0.3f, 0.3f, 0.3f};
        m.surfaces = {Fixture_Box(material, centre, half), Fixture_Box(material, side, small)};
        return Fixture_Model(m);
    }

    Pixel Centre() const { return At(kWidth / 2, kHeight / 2); }

    FakeWindow window;
    TempDir dir;
};

}  // namespace

TEST_F(ModelDrawTest, TexturedModelCoversTheCentreAndSurfacesCanBeHidden)
{
    viewer.showSurfaceList = true;
    Select(Cubes("red.mat"));
    Draw();
    ASSERT_NE(viewer.preview.model, nullptr);
    EXPECT_TRUE(viewer.preview.previewPrepared);
    EXPECT_TRUE(Reddish(Centre())) << Centre();
    EXPECT_EQ(At(2, 2), kClearGrey);
    // Lit: the faces towards the lights are brighter than the texture's ambient share.
    EXPECT_GT(Centre().r, 110) << Centre();

    // Preparation happens once: later frames neither parse again nor list again.
    const Model *model = viewer.preview.model;
    Draw();
    EXPECT_EQ(viewer.preview.model, model);
    EXPECT_EQ(window.surfaceRows.size(), 2u);

    window.surfaceSelected = {0};
    Model_ApplySurfaceHiding(viewer.preview, App_SelectedSurfaceRows(window));
    Draw();
    EXPECT_EQ(Centre(), kClearGrey);
    window.surfaceSelected = {};
    Model_ApplySurfaceHiding(viewer.preview, App_SelectedSurfaceRows(window));
    Draw();
    EXPECT_TRUE(Reddish(Centre())) << Centre();

    // The frame leaves the state as it found it.
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_CULL_FACE) || glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ModelDrawTest, SampleModelsDrawLitAndTextured)
{
    ASSERT_TRUE(MakeSamples(dir / "samples", dir));
    viewer.session.mainPak = PakArchive{};
    ASSERT_EQ(Pak_OpenArchive(dir / "samples/GLOBAL.PAK", viewer.session.mainPak), PakOpenResult::Ok);
    for (const char *name : {"models\\env\\iron_door", "models\\env\\colonnade", "models\\env\\lava_pool",
                             "models\\env\\crate_broken"}) {
        SCOPED_TRACE(name);
        Bytes bytes;
        ASSERT_TRUE(Pak_LoadEntryByName(name, KindModel, viewer.session.mainPak, bytes));
        Select(bytes);
        viewer.preview.modelAngles[0] = 20;  // turned a little, to show two sides
        viewer.preview.modelAngles[1] = 30;
        Draw();
        ASSERT_NE(viewer.preview.model, nullptr);
        EXPECT_NE(Centre(), kClearGrey);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ModelDrawTest, ProgramPathAndFixedFunctionBothDraw)
{
    ASSERT_TRUE(r_local.programsSupported);
    Select(Cubes("bumpy"));
    Draw();
    ASSERT_NE(viewer.preview.model, nullptr);
    const Material *m = viewer.preview.model->surfaces[0].material;
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->normalTexture && m->specularTexture);
    EXPECT_NE(r_local.vertexProgram, -1);  // compiled on Mesa
    const Pixel programs = Centre();
    EXPECT_TRUE(Reddish(programs)) << programs;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB) || glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));

    // Programs forced off: the same surfaces with fixed-function lighting, which lights them otherwise.
    r_local.programsSupported = false;
    Draw();
    EXPECT_TRUE(Reddish(Centre()) && Centre() != programs) << Centre() << " " << programs;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ModelDrawTest, WithoutMaterialsTheModelIsUntextured)
{
    viewer.modelMaterialsEnabled = false;
    Select(Cubes("red.mat"));
    Draw();
    ASSERT_NE(viewer.preview.model, nullptr);
    EXPECT_EQ(viewer.preview.model->surfaces[0].material, nullptr);
    const Pixel p = Centre();
    EXPECT_NE(p, kClearGrey);
    EXPECT_TRUE(std::abs(p.r - p.g) <= 2 && std::abs(p.r - p.b) <= 2) << p;  // white light, no texture
    EXPECT_GT(p.r, 64) << p;

    // A resource that is no model draws nothing, and is not parsed again.
    Bytes broken = Cubes("red.mat");
    Fixture_PutU32(broken, 0x1C, 0xE0);
    Select(broken);
    Draw();
    EXPECT_TRUE(viewer.preview.previewPrepared);
    EXPECT_EQ(viewer.preview.model, nullptr);
    EXPECT_EQ(viewer.preview.zoomDistance, 1200);
    EXPECT_EQ(Centre(), kClearGrey);
}

// The real main window's surface list hides the rows selected; View > "Mod&el materials" prepares again.
TEST(ModelWindowTest, SurfaceListAndViewToggles)
{
    if (!StartWx())
        GTEST_SKIP() << "no display";
    ViewerState_Reset();
    R_ResetState();
    App_InstallServices();
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "samples", dir));
    SeamWindow *frame = OpenWindow(dir / "samples/GLOBAL.PAK");
    OnCommand(*frame, CmdViewSurfaces);
    ASSERT_TRUE(SelectLine(*frame, "models\\env\\lava_pool "));
    ASSERT_TRUE(PumpUntil(3000, [] { return viewer.preview.model != nullptr; })) << "no frame prepared the model";
    // One row per surface, in the list box on screen.
    auto *rows = static_cast<wxListBox *>(frame->Control(IdSurfaceList));
    const Model *model = viewer.preview.model;
    ASSERT_EQ(rows->GetCount(), model->surfaces.size());
    ASSERT_GE(model->surfaces.size(), 3u);
    EXPECT_EQ(rows->GetString(2), "02 - " + std::string(model->surfaces[2].materialName));
    EXPECT_TRUE(frame->Control(IdSurfaceList)->IsShown());
    ASSERT_NE(viewer.preview.model->surfaces[0].material, nullptr);

    // A click on a row, as the list box reports it.
    rows->SetSelection(2);
    wxCommandEvent click(wxEVT_LISTBOX, IdSurfaceList);
    click.SetEventObject(rows);
    click.SetInt(2);
    rows->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(viewer.preview.model->surfaces[2].hidden, 1);
    EXPECT_EQ(viewer.preview.model->surfaces[0].hidden, 0);

    OnCommand(*frame, CmdViewModelMaterials);
    EXPECT_EQ(viewer.preview.model, nullptr);  // released with the selection
    ASSERT_TRUE(PumpUntil(3000, [] { return viewer.preview.model != nullptr; }));
    EXPECT_EQ(viewer.preview.model->surfaces[0].material, nullptr);
    EXPECT_EQ(viewer.preview.model->surfaces[2].hidden, 0);
    EXPECT_EQ(rows->GetCount(), viewer.preview.model->surfaces.size());

    OnCommand(*frame, CmdCancel);
    Pump(50);
    ViewerState_Reset();
    R_ResetState();
}
