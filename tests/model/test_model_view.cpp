// The selection's model in the viewer without GL: materials shared by name,
// and Export > "&Interpreted (F3)" of a model no frame has prepared.
#include "app/main_dialog.h"
#include "fake_window.h"
#include "model/model.h"
#include "model_fixtures.h"
#include "temp_dir.h"
#include "texture/material.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const char kMaterialHead[] = "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n";

Rgb Grey(uint32_t, uint32_t, uint32_t, uint32_t)
{
    return {128, 128, 128};
}

int gUploads = 0;

class ModelView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        gUploads = 0;
        Mat_SetUploader([](uint32_t, const uint8_t *, int32_t) { ++gUploads; });
        InitMainDialog(window);
        Model_InstallServices();
    }
    void TearDown() override
    {
        ShutdownViewer(window);
        Mat_SetUploader(nullptr);
        ViewerState_Reset();
    }
    void Open(const FixtureArchive &archive)
    {
        ASSERT_TRUE(Fixture_WritePak(dir / "MODELS.PAK", archive));
        window.answers.push_back(dir / "MODELS.PAK");
        OnCommand(window, CmdFileOpen);
    }
    void Select(const std::string &line)
    {
        window.Select(line);
        OnSelchangeEntryList(window);
    }

    FakeWindow window;
    TempDir dir;
};

ModelFixture NamedBoxes(const std::vector<std::string> &names)
{
    ModelFixture m;
    const float half[3] = {1, 1, 1};
    for (size_t i = 0; i < names.size(); ++i) {
        const float centre[3] = {static_cast<float>(i) * 3, 0, 0};
        m.surfaces.push_back(Fixture_Box(names[i], centre, half));
    }
    return m;
}

std::string ReadText(const std::string &path)
{
    const Bytes b = Fixture_ReadFile(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST_F(ModelView, SurfacesShareMaterialsByNameIgnoringCase)
{
    FixtureArchive a;
    a.entries = {
        {"stone", Fixture_FromString(std::string(kMaterialHead) + "numTextures 1 Texture 0 WRAP WRAP stone_d")},
        {"stone_d", Fixture_Texture(8, 8, 1, 1, Grey)},
    };
    Open(a);
    const Bytes bytes = Fixture_Model(NamedBoxes({"Stone.mat", "stone.MAT", "", "missing", "missing", "STONE.mat"}));
    Model *model = Model_Parse(bytes.data(), bytes.size());
    ASSERT_NE(model, nullptr);
    Model_AttachMaterials(*model);
    const auto &s = model->surfaces;
    ASSERT_NE(s[0].material, nullptr);
    EXPECT_FALSE(s[0].materialShared);
    EXPECT_EQ(s[0].material->diffuseTexture, 2u);
    for (size_t i : {1, 5}) {
        EXPECT_EQ(s[i].material, s[0].material) << i;
        EXPECT_TRUE(s[i].materialShared) << i;
    }
    for (size_t i : {2, 3, 4}) {
        EXPECT_EQ(s[i].material, nullptr) << i;
        EXPECT_FALSE(s[i].materialShared) << i;
    }
    EXPECT_EQ(gUploads, 1);  // the archive was read for the first of them only
    Model_Free(model);       // the shared material is released once

    viewer.modelMaterialsEnabled = false;
    model = Model_Parse(bytes.data(), bytes.size());
    Model_AttachMaterials(*model);
    for (const ModelSurface &surface : model->surfaces)
        EXPECT_EQ(surface.material, nullptr);
    Model_Free(model);
}

TEST_F(ModelView, InterpretedExportReadsAModelNoFrameHasPrepared)
{
    FixtureArchive a;
    const Bytes model = Fixture_Model(NamedBoxes({"stone", "wood"}));
    Bytes broken = model;
    Fixture_PutU32(broken, 0x1C, 0xE0);  // an empty descriptor scan
    a.entries = {{"good", model}, {"broken", broken}};
    Open(a);

    // The models' preview is off, so no frame prepares the model.
    OnCommand(window, CmdViewModels);
    Select("good [0000]");
    EXPECT_TRUE(window.Enabled(CmdExportInterpreted));
    EXPECT_EQ(viewer.preview.model, nullptr);
    window.answers.push_back(dir / "good.obj");
    Export_Interpreted(window);
    EXPECT_TRUE(window.messages.empty());
    ASSERT_EQ(window.dialogs.size(), 2u);
    EXPECT_EQ(window.dialogs.back().filter, "WaveFront Object (*.obj)|*.obj;*.[oO][bB][jJ]|All Files (*.*)|*");
    ASSERT_NE(viewer.preview.model, nullptr);
    FILE *expected = tmpfile();
    ASSERT_TRUE(Model_WriteObj(expected, viewer.preview.model));
    std::string text(static_cast<size_t>(ftell(expected)), '\0');
    rewind(expected);
    ASSERT_EQ(fread(text.data(), 1, text.size(), expected), text.size());
    fclose(expected);
    EXPECT_EQ(ReadText(dir / "good.obj"), text);
    EXPECT_NE(text.find("usemtl wood\n"), std::string::npos);
    // A second export writes the same model again.
    const Model *kept = viewer.preview.model;
    window.answers.push_back(dir / "again.obj");
    Export_Interpreted(window);
    EXPECT_EQ(viewer.preview.model, kept);
    EXPECT_EQ(ReadText(dir / "again.obj"), text);

    // A model that cannot be read is said so before any file is named.
    Select("broken [0001]");
    window.dialogs.clear();
    window.answers.push_back(dir / "broken.obj");
    Export_Interpreted(window);
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(window.messages, std::vector<std::string>{"The model could not be read, so it was not exported."});
    EXPECT_FALSE(std::filesystem::exists(dir / "broken.obj"));
}
