// What the real window keeps between runs, in settings of its own: the
// folders its file dialogs start in, its size and place on the screen, and
// a list width that leaves the preview room; and its title, which names the
// open archive's folder.
#include "app/command_table.h"
#include "app/settings.h"
#include "seam_window.h"
#include "temp_dir.h"
#include "test_data.h"

#include <wx/config.h>
#include <wx/display.h>

#include <gtest/gtest.h>

namespace {

std::string Folder(const TempDir &dir) { return dir.path.substr(0, dir.path.size() - 1); }
std::string Dash() { return " \xE2\x80\x94 "; }

class PlacesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        // Settings of this test's own, kept in its folder.
        const std::string config = settings / "config";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        App_OpenSettings();
        for (const TempDir *set : {&gameA, &gameB})
            ASSERT_TRUE(Fixture_WritePak(*set / "GLOBAL.PAK", {{{"scripts\\readme.txt", Fixture_FromString("words")}}}));
        ASSERT_TRUE(Fixture_WriteFile(imports / "notes.txt", Fixture_FromString("notes")));
    }
    void TearDown() override
    {
        if (StartWx())
            Close();
        delete wxConfigBase::Set(nullptr);
        unsetenv("XDG_CONFIG_HOME");
    }
    // A new window, as the viewer starts, on the settings the last one left.
    void NewFrame()
    {
        Close();
        viewer.services.sound.Init = [] {};
        frame = new SeamWindow();
        frame->Show();
        Pump(100);
    }
    void Close()
    {
        if (frame && !frame->HasEnded()) {
            frame->saveChoice = SaveChoice::Discard;
            OnCommand(*frame, CmdCancel);
        }
        Pump(50);
        ViewerState_Reset();
        R_ResetState();
        frame = nullptr;
    }
    // A menu item chosen as its menu delivers it; the folder its dialog started in.
    std::string Menu(Command command, std::optional<std::string> answer = std::nullopt)
    {
        frame->answers.push_back(answer);
        const size_t asked = frame->startFolders.size();
        wxCommandEvent pick(wxEVT_MENU, Command_ToWxId(command));
        frame->GetEventHandler()->ProcessEvent(pick);
        Pump(50);
        return frame->startFolders.size() > asked ? frame->startFolders[asked] : "(no dialog)";
    }
    std::string Title() const { return std::string(frame->GetTitle().utf8_str()); }

    TempDir settings, gameA, gameB, imports, exports;
    SeamWindow *frame = nullptr;
};

// Open, Replace, Add Files, the exports and Save As start where the last
// archive, import and export were, in this run and the next.
TEST_F(PlacesTest, FileDialogsStartWhereTheLastFilesWere)
{
    NewFrame();
    const std::string cwd(wxGetCwd().utf8_str());
    EXPECT_EQ(Title(), "Quillon");
    EXPECT_EQ(Menu(CmdFileOpen, gameA / "GLOBAL.PAK"), cwd);  // nothing kept yet
    EXPECT_EQ(Title(), "Quillon" + Dash() + "GLOBAL.PAK" + Dash() + Folder(gameA));
    ASSERT_TRUE(SelectLine(*frame, "scripts\\readme.txt"));
    EXPECT_EQ(Menu(CmdExportRaw, exports / "readme.raw"), cwd);
    frame->texts.push_back("docs\\");
    EXPECT_EQ(Menu(CmdEditAddFiles, imports / "notes.txt"), cwd);
    EXPECT_EQ(Title(), "*Quillon" + Dash() + "GLOBAL.PAK" + Dash() + Folder(gameA));

    EXPECT_EQ(Menu(CmdEditReplace), Folder(imports));
    EXPECT_EQ(Menu(CmdExportRaw), Folder(exports));
    EXPECT_EQ(Menu(CmdFileSaveAs), Folder(gameA));
    EXPECT_EQ(Menu(CmdFileOpen), Folder(gameA));

    // The next run: the same places, and the other set's GLOBAL.PAK told apart by its folder.
    NewFrame();
    EXPECT_EQ(Menu(CmdFileOpen, gameB / "GLOBAL.PAK"), Folder(gameA));
    EXPECT_EQ(Title(), "Quillon" + Dash() + "GLOBAL.PAK" + Dash() + Folder(gameB));
    ASSERT_TRUE(SelectLine(*frame, "scripts\\readme.txt"));
    EXPECT_EQ(Menu(CmdEditReplace), Folder(imports));
    EXPECT_EQ(Menu(CmdExportRaw), Folder(exports));
    EXPECT_EQ(Menu(CmdFileOpen), Folder(gameB));

    // A folder: its name and where it is; Open starts in it.
    frame->folderAnswer = Folder(gameA);
    EXPECT_EQ(Menu(CmdFileOpenFolder), Folder(gameB));
    const std::string parent = Folder(gameA).substr(0, Folder(gameA).rfind('/'));
    EXPECT_EQ(Title(), "Quillon" + Dash() + Folder(gameA).substr(parent.size() + 1) + Dash() + parent);
    EXPECT_EQ(Menu(CmdFileOpen), Folder(gameA));
}

// The window opens where it was last, within the screen; a list width kept
// from a wide window leaves the preview half its room.
TEST_F(PlacesTest, TheWindowKeepsItsPlaceWithinTheScreen)
{
    NewFrame();
    frame->SetSize(wxRect(40, 50, 900, 620));
    Pump(100);
    NewFrame();
    EXPECT_EQ(frame->GetRect(), wxRect(40, 50, 900, 620));

    Close();
    const wxRect work = wxDisplay(0u).GetClientArea();
    App_SaveWindowRect(wxRect(work.GetRight() + 300, -400, work.width + 500, 700), false);
    App_SaveListWidening(5000);
    NewFrame();
    const wxRect shown = frame->GetRect();
    EXPECT_TRUE(work.Contains(shown)) << shown.x << "," << shown.y << " " << shown.width << "x" << shown.height;
    EXPECT_EQ(shown.width, work.width);
    EXPECT_EQ(frame->wxFrame::GetClientSize().y, 700);
    int cx = 0, cy = 0;
    frame->GetClientSize(cx, cy);
    EXPECT_GE(frame->GetControlRect(IdGlView).width, (cx - 210) / 2);
}

}  // namespace
