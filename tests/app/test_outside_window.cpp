// Edit > "Edit Externally", Copy and Paste in the real window under a virtual
// display. The user's program is a script named by QUILLON_EDITOR that saves
// the PNG it is given twice, negated each time (written beside it and renamed
// over it, as editors save); every save comes back as a waiting edit drawn at
// once. The clipboard is read and filled through the toolkit's data objects.
#include "cli_run.h"
#include "../convert/readers.h"
#include "app/command_table.h"
#include "app/external_edit.h"
#include "drawn_view.h"
#include "render/render.h"
#include "temp_dir.h"
#include "test_data.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/menu.h>
#include <wx/statusbr.h>

#include <sys/stat.h>

namespace {

const std::string kStone = "textures\\stone_wall_d [0001]", kNotes = "notes.txt [0000]";

class OutsideWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"notes.txt", Fixture_FromString("one\ntwo\n")},
                                                {"textures\\stone_wall_d", Fixture_Texture(64, 32, 1, 1, BlockShade)}}}));
        std::filesystem::create_directories(dir / "cache");
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);  // it would keep the first test's folder
        setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        ViewerState_Reset();
        R_ResetState();
        App_InstallServices();
        frame = OpenWindow(archive);
    }
    void TearDown() override
    {
        unsetenv("QUILLON_EDITOR");
        unsetenv("XDG_CACHE_HOME");
        if (StartWx())
            CloseWindow(frame);
    }
    void Menu(int command) { ChooseMenu(*frame, command); }
    Pixel Drawn() { return DrawnViewCorner(*frame); }
    // A key pressed in the entry list, as the user presses it.
    void Key(int key)
    {
        frame->EntryList()->SetFocus();
        Pump(30);
        wxUIActionSimulator().Char(key, wxMOD_CONTROL);
        Pump(250);
    }
    std::string Status() const { return std::string(frame->GetStatusBar()->GetStatusText(0).utf8_str()); }

    TempDir dir;
    const std::string archive = dir / "Sample.PAK";
    SeamWindow *frame = nullptr;
};

TEST_F(OutsideWindowTest, EverySaveOutsideComesBackAsAnEdit)
{
    if (!Installed(kImageMagick))
        GTEST_SKIP() << "ImageMagick is not installed";
    const std::string script = dir / "negate twice";
    Fixture_WriteFile(script, Fixture_FromString("#!/bin/sh\n"
                                                 "for pass in 1 2; do\n"
                                                 "  sleep 1\n"
                                                 "  /usr/bin/convert \"$1\" -channel RGB -negate \"$1.new.png\"\n"
                                                 "  mv \"$1.new.png\" \"$1\"\n"
                                                 "  touch \"$1.saved$pass\"\n"
                                                 "done\n"));
    chmod(script.c_str(), 0755);
    setenv("QUILLON_EDITOR", ("'" + script + "'").c_str(), 1);

    ASSERT_TRUE(ClickLine(*frame, kStone));
    const Rgb shade = Fixture_Quantise(BlockShade(0, 0, 16, 8));
    const Pixel negated{255 - shade.r, 255 - shade.g, 255 - shade.b};
    Key('E');
    EXPECT_TRUE(frame->messages.empty()) << frame->messages.front();
    EXPECT_EQ(Status(), "stone_wall_d.png opened outside: every save there comes back here");

    // The first save: taken back, marked and drawn before anything is saved.
    ASSERT_TRUE(PumpUntil(8000, [] { return viewer.session.edits.log.size() == 1; })) << Status();
    EXPECT_EQ(Status(), "replaced from stone_wall_d.png (edited outside)");
    EXPECT_TRUE(frame->GetTitle().StartsWith("*Quillon"));  // waiting edits
    EXPECT_TRUE(Near(Drawn(), negated, 6)) << Drawn();
    // The second save is a second edit; Undo takes that one back.
    ASSERT_TRUE(PumpUntil(8000, [] { return viewer.session.edits.log.size() == 2; })) << Status();
    EXPECT_TRUE(ShowsBlock(Drawn(), BlockShade(0, 0, 16, 8))) << Drawn();
    Menu(CmdEditUndo);
    EXPECT_TRUE(Near(Drawn(), negated, 6)) << Drawn();

    Menu(CmdFileSave);
    ASSERT_FALSE(frame->messages.empty());
    EXPECT_EQ(frame->messages.back(), "1 entry written");  // the negated picture's bytes: test_cli_edit.cpp's
    // The files go with the window.
    OnCommand(*frame, CmdExit);
    Pump(100);
    frame = nullptr;
    EXPECT_EQ(FilesUnder(dir / "cache/quillon"), std::set<std::string>{});
}

// A save that no longer reads as a picture changes nothing, and says why.
TEST_F(OutsideWindowTest, AFileThatDoesNotConvertChangesNothing)
{
    const std::string script = dir / "spoil";
    Fixture_WriteFile(script, Fixture_FromString("#!/bin/sh\nsleep 0.5\nprintf 'not a picture' > \"$1\"\n"));
    chmod(script.c_str(), 0755);
    setenv("QUILLON_EDITOR", script.c_str(), 1);
    ASSERT_TRUE(ClickLine(*frame, kStone));
    Key('E');
    ASSERT_TRUE(PumpUntil(5000, [&] { return Status().rfind("stone_wall_d.png: ", 0) == 0; })) << Status();
    EXPECT_NE(Status().find("(nothing was replaced)"), std::string::npos) << Status();
    EXPECT_TRUE(viewer.session.edits.log.empty());
    EXPECT_TRUE(frame->GetTitle().StartsWith("Quillon"));  // nothing waits
}

// Copy gives the texture's picture with its alpha and a text entry's text;
// Paste puts the clipboard's picture in place of the texture once asked.
TEST_F(OutsideWindowTest, CopyAndPasteGoThroughTheClipboard)
{
    ASSERT_TRUE(ClickLine(*frame, kStone));
    Key('C');
    {
        wxClipboardLocker open;
        ASSERT_TRUE(!!open);
        wxImageDataObject png;
        ASSERT_TRUE(wxTheClipboard->GetData(png));
        const wxImage image = png.GetImage();
        ASSERT_EQ(image.GetWidth(), 64);
        const Rgb block = Fixture_Quantise(BlockShade(1, 2, 16, 8));
        const Pixel copied{image.GetRed(5, 9), image.GetGreen(5, 9), image.GetBlue(5, 9)};
        EXPECT_EQ(copied, (Pixel{block.r, block.g, block.b}));
        EXPECT_TRUE(!image.HasAlpha() || image.GetAlpha(5, 9) == 255);  // an opaque one may come without
    }
    ASSERT_TRUE(ClickLine(*frame, kNotes));
    frame->EntryList()->SetFocus();
    Menu(CmdEditCopy);
    {
        wxClipboardLocker open;
        wxTextDataObject text;
        ASSERT_TRUE(wxTheClipboard->GetData(text));
        EXPECT_EQ(text.GetText(), "one\ntwo\n");
    }

    wxImage green(64, 32);
    green.SetRGB(wxRect(0, 0, 64, 32), 30, 200, 90);
    {
        wxClipboardLocker open;
        wxTheClipboard->SetData(new wxImageDataObject(green));
    }
    ASSERT_TRUE(ClickLine(*frame, kStone));
    frame->EntryList()->SetFocus();
    frame->yes = true;
    Key('V');
    EXPECT_EQ(frame->questions, std::vector<std::string>{"Replace textures\\stone_wall_d with the picture on the clipboard?"});
    EXPECT_EQ(viewer.session.edits.log.size(), 1u);
    EXPECT_TRUE(Near(Drawn(), Pixel{30, 200, 90}, 6)) << Drawn();
}

// A line dragged out of the list carries its entry as a PNG file, through
// the toolkit's file data object (the mouse's part is the toolkit's own).
TEST_F(OutsideWindowTest, ADragCarriesTheEntryAsAFile)
{
    ASSERT_TRUE(ClickLine(*frame, kStone));
    std::unique_ptr<wxFileDataObject> data(App_DragData(*frame));
    ASSERT_TRUE(data);
    const wxArrayString files = data->GetFilenames();
    ASSERT_EQ(files.size(), 1u);
    const std::string path(files[0].utf8_str());
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "stone_wall_d.png");
    ASSERT_EQ(RunCli({"export", archive, kStone, "--png", "-o", dir / "export.png"}, dir).status, 0);
    EXPECT_EQ(Fixture_ReadFile(path), Fixture_ReadFile(dir / "export.png"));
}

}  // namespace
