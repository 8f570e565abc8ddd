// Editing in the real window under a virtual display: a texture replaced from
// a PNG is drawn at once, again after Save from disk, and Undo brings the old
// one back; a model takes new positions from an OBJ; leaving the archive with
// edits waiting asks first.
#include "model_fixtures.h"
#include "temp_dir.h"
#include "test_data.h"
#include "app/command_table.h"
#include "export/png_writer.h"
#include "drawn_view.h"
#include "render/render.h"

#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/weakref.h>

#include <sstream>
namespace fs = std::filesystem;

namespace {

const std::string kCompass = "textures\\ui\\compass [0001]";
const Pixel kGreen{30, 200, 90};

class EditWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"data\\blob.bin", Bytes{1, 2, 3}},
                                                {"textures\\ui\\compass", Fixture_Texture(64, 32, 1, 1, BlockShade)}}}));
        TextureImage image{64, 32, {}};
        for (int i = 0; i < 64 * 32; ++i)
            image.rgba.insert(image.rgba.end(), {uint8_t(kGreen.r), uint8_t(kGreen.g), uint8_t(kGreen.b), 255});
        Bytes file;
        ASSERT_TRUE(Png_Encode(image, file));
        ASSERT_TRUE(Fixture_WriteFile(png, file));
    }
    void TearDown() override
    {
        if (StartWx())
            CloseWindow(frame);
    }
    void NewFrame()
    {
        ViewerState_Reset();
        R_ResetState();
        App_InstallServices();
        frame = OpenWindow(archive);
    }
    void Menu(int command) { ChooseMenu(*frame, command); }
    // What the view shows near its corner once the pending frame is drawn.
    Pixel Drawn() { return DrawnViewCorner(*frame); }
    // The unsaved mark and the application's name (the archive's name and folder follow).
    std::string Title() const
    {
        const std::string title(frame->GetTitle().utf8_str());
        return title.substr(0, title.find(" \xE2\x80\x94 "));
    }

    TempDir dir;
    const std::string archive = dir / "Sample.PAK", png = dir / "green.png";
    SeamWindow *frame = nullptr;
};

TEST_F(EditWindowTest, AReplacedTextureIsDrawnAtOnceAndAfterSaveAndUndoBringsTheOldBack)
{
    NewFrame();
    ASSERT_TRUE(ClickLine(*frame, kCompass));
    const Rgb shade = BlockShade(0, 0, 16, 8);
    EXPECT_TRUE(ShowsBlock(Drawn(), shade)) << Drawn();

    frame->answers.push_back(png);
    Menu(CmdEditReplace);
    EXPECT_TRUE(Near(Drawn(), kGreen, 4)) << Drawn();
    EXPECT_EQ(Title(), "*Quillon");
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0).substr(0, 8), "replaced");

    Menu(CmdEditUndo);
    EXPECT_TRUE(ShowsBlock(Drawn(), shade)) << Drawn();
    EXPECT_EQ(Title(), "Quillon");
    EXPECT_FALSE(frame->GetMenuBar()->IsEnabled(Command_ToWxId(CmdEditUndo)));

    frame->answers.push_back(png);
    Menu(CmdEditReplace);
    Menu(CmdFileSave);
    ASSERT_FALSE(frame->messages.empty());
    EXPECT_EQ(frame->messages.back(), "1 entry written");
    EXPECT_EQ(Title(), "Quillon");
    EXPECT_EQ(frame->GetEntryLineText(frame->GetEntrySelection()), kCompass);  // read again from disk
    EXPECT_TRUE(Near(Drawn(), kGreen, 4)) << Drawn();

    // A new window reads the saved texture.
    OnCommand(*frame, CmdExit);
    Pump(50);
    NewFrame();
    ASSERT_TRUE(ClickLine(*frame, kCompass));
    EXPECT_TRUE(Near(Drawn(), kGreen, 4)) << Drawn();
}

// Edit > Replace with an OBJ of the selected model's own triangles: the view
// draws the model with the file's positions at once.
TEST_F(EditWindowTest, AModelTakesNewPositionsFromAnObj)
{
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    ModelFixture box;
    box.surfaces = {Fixture_Box("", centre, half)};
    const Bytes model = Fixture_Model(box);
    ASSERT_TRUE(Fixture_WritePak(archive, {{{"models\\box", model}}}));
    Model *parsed = Model_Parse(model.data(), model.size());
    ASSERT_TRUE(parsed);
    const float x = parsed->surfaces[0].vertices[0].position[0];
    std::istringstream obj(ObjText(parsed));
    Model_Free(parsed);
    std::string moved;
    for (std::string line; std::getline(obj, line);) {
        float v[3];
        if (sscanf(line.c_str(), "v  %f %f %f", &v[0], &v[1], &v[2]) == 3)
            line = "v " + std::to_string(v[0] * 2) + " " + std::to_string(v[1] * 2) + " " + std::to_string(v[2] * 2);
        moved += line + "\n";
    }
    ASSERT_TRUE(Fixture_WriteFile(dir / "bigger.obj", Fixture_FromString(moved)));

    NewFrame();
    ASSERT_TRUE(ClickLine(*frame, "models\\box [0000]"));
    Drawn();
    frame->answers.push_back(dir / "bigger.obj");
    Menu(CmdEditReplace);
    Drawn();
    EXPECT_TRUE(frame->messages.empty()) << (frame->messages.empty() ? "" : frame->messages.back());
    EXPECT_EQ(Title(), "*Quillon");
    ASSERT_TRUE(viewer.preview.model);
    EXPECT_FLOAT_EQ(viewer.preview.model->surfaces[0].vertices[0].position[0], 2 * x);
}

TEST_F(EditWindowTest, LeavingWithEditsWaitingAsksAndCancelStays)
{
    NewFrame();
    const Bytes before = Fixture_ReadFile(archive);
    ASSERT_TRUE(ClickLine(*frame, "data\\blob.bin [0000]"));
    Menu(CmdEditRemove);
    EXPECT_EQ(frame->EntryList()->GetItemCount(), 1);

    wxWeakRef<wxWindow> alive(frame);
    frame->Close();  // as the title bar's button closes it
    Pump(100);
    ASSERT_TRUE(alive);
    EXPECT_EQ(frame->questions, std::vector<std::string>{"Save changes to Sample.PAK?"});
    EXPECT_EQ(Title(), "*Quillon");

    // Opening another archive asks too; Cancel keeps this one with its edit.
    ASSERT_TRUE(Fixture_WritePak(dir / "Other.PAK", {{{"x", Bytes{1}}}}));
    frame->answers.push_back(dir / "Other.PAK");
    Menu(CmdFileOpen);
    EXPECT_EQ(frame->questions.size(), 2u);
    EXPECT_EQ(frame->GetLabel(IdFileLabel), "Sample.PAK");
    EXPECT_EQ(frame->EntryList()->GetItemCount(), 1);

    frame->saveChoice = SaveChoice::Discard;
    frame->Close();
    EXPECT_TRUE(PumpUntil(2000, [&] { return !alive; }));
    frame = nullptr;
    EXPECT_EQ(Fixture_ReadFile(archive), before);
}

// Files dropped on the list: on a line a file replaces its entry once the
// user agrees, below the lines they are added under the selected entry's
// folder, named as quillon-cli names them. A replacement of another kind asks
// first and a model file is refused.
TEST_F(EditWindowTest, DropsAndAddFilesNameAndAskAsTheyShould)
{
    NewFrame();
    ASSERT_TRUE(ClickLine(*frame, kCompass));
    const std::string crate = dir / "crate_new_d.png", notes = dir / "notes.txt", model = dir / "crate.obj";
    fs::copy_file(png, crate);
    ASSERT_TRUE(Fixture_WriteFile(notes, Fixture_FromString("words\n")));
    ASSERT_TRUE(Fixture_WriteFile(model, Fixture_FromString("v 0 0 0\n")));

    // The menu's Replace with a text file: asked, No keeps the texture.
    frame->answers.push_back(notes);
    Menu(CmdEditReplace);
    EXPECT_EQ(frame->questions, std::vector<std::string>{"Replace a texture with a text file?"});
    EXPECT_EQ(Title(), "Quillon");
    // Add Files refuses a model's file and adds nothing.
    frame->answers.push_back(crate + "\n" + model);
    frame->texts.push_back("textures\\props");
    Menu(CmdEditAddFiles);
    ASSERT_EQ(frame->messages.size(), 1u);
    EXPECT_NE(frame->messages[0].find("crate.obj: models are not made from files"), std::string::npos) << frame->messages[0];
    EXPECT_EQ(frame->EntryList()->GetItemCount(), 2);

    auto *drop = dynamic_cast<wxFileDropTarget *>(frame->EntryList()->LinesWindow()->GetDropTarget());
    ASSERT_NE(drop, nullptr);
    wxRect line;
    frame->EntryList()->GetItemRect(1, line);
    frame->yes = true;
    frame->questions.clear();
    drop->OnDropFiles(line.x + 5, line.y + line.height / 2, wxArrayString(1, wxString::FromUTF8(png.c_str())));
    ASSERT_TRUE(PumpUntil(3000, [&] { return Title() == "*Quillon"; }));
    EXPECT_EQ(frame->questions, std::vector<std::string>{"Replace textures\\ui\\compass with green.png?"});
    EXPECT_TRUE(Near(Drawn(), kGreen, 4)) << Drawn();

    const wxSize client = frame->EntryList()->LinesWindow()->GetClientSize();
    drop->OnDropFiles(5, client.y - 3, wxArrayString(1, wxString::FromUTF8(crate.c_str())));
    ASSERT_TRUE(PumpUntil(3000, [&] { return frame->EntryList()->GetItemCount() == 3; }));
    EXPECT_EQ(frame->GetEntryLineText(frame->GetEntrySelection()), "textures\\ui\\crate_new_d [0002]");
}

}  // namespace
