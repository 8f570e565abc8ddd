// File > "Mods..." in the real window: opened from its menu item, a mod
// applied and taken off through the window's buttons (the archives read
// again after each), refused over unsaved edits, and two mods compared.
#include "app/mods_dialog.h"
#include "mod/mod.h"
#include "seam_window.h"
#include "temp_dir.h"
#include "test_data.h"
#include "app/command_table.h"

#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

namespace {

class ModsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        const Bytes intro = Fixture_FromString("intro"), news = Fixture_FromString("new intro");
        for (const char *folder : {"game", "orig", "one"})
            std::filesystem::create_directories(dir / folder);
        ASSERT_TRUE(Fixture_WritePak(dir / "game/GLOBAL.PAK", {{{"scripts\\intro.txt", intro}}}));
        ASSERT_TRUE(Fixture_WritePak(dir / "orig/GLOBAL.PAK", {{{"scripts\\intro.txt", intro}}}));
        ASSERT_TRUE(Fixture_WritePak(dir / "one/GLOBAL.PAK",
                                     {{{"scripts\\intro.txt", news}, {"scripts\\added.txt", intro}}}));
        ModMakeReport report;
        std::string error;
        ASSERT_TRUE(Mod_Make(dir / "orig", dir / "one", dir / "M1", "first", false, report, error)) << error;
        ASSERT_TRUE(Mod_Make(dir / "orig", dir / "one", dir / "M2.zip", "second", true, report, error)) << error;
        frame = FreshWindow();
    }
    void TearDown() override
    {
        if (App_ModsDialog())
            App_ModsDialog()->Destroy();
        CloseWindow(frame);
    }
    void Menu(int command) { ChooseMenu(*frame, command); }
    void Button(int id)
    {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(App_ModsDialog()->FindWindow(id));
        App_ModsDialog()->GetEventHandler()->ProcessEvent(click);
        Pump(50);
    }
    template <typename Control>
    Control *Find()
    {
        for (wxWindow *child : App_ModsDialog()->GetChildren())
            if (auto *c = dynamic_cast<Control *>(child))
                return c;
        return nullptr;
    }
    std::string Applied() { return std::string(Find<wxListBox>()->GetString(0).utf8_str()); }

    TempDir dir;
    SeamWindow *frame = nullptr;
};

}  // namespace

TEST_F(ModsWindowTest, AppliesRestoresAndCompares)
{
    ASSERT_TRUE(frame->OpenPath(dir / "game"));
    Menu(CmdFileMods);
    ASSERT_NE(App_ModsDialog(), nullptr);
    EXPECT_TRUE(App_ModsDialog()->IsShown());
    EXPECT_EQ(Applied(), "No mod is applied.");
    EXPECT_FALSE(App_ModsDialog()->FindWindow(IdModsRestore)->IsEnabled());

    // Apply Mod...: the dry run asked about, then applied, and the folder read again.
    EXPECT_FALSE(frame->SelectEntryNamed("scripts\\added.txt"));
    frame->answers.push_back(dir / "M1/mod.json");
    frame->yes = true;
    Button(IdModsApply);
    ASSERT_EQ(frame->questions.size(), 1u);
    EXPECT_NE(frame->questions[0].find("add GLOBAL.PAK scripts\\added.txt #1"), std::string::npos)
        << frame->questions[0];
    EXPECT_EQ(Applied(), "1  first  GLOBAL.PAK");
    EXPECT_TRUE(frame->SelectEntryNamed("scripts\\added.txt"));

    // The same mod again is refused with what differs; nothing is asked.
    frame->answers.push_back(dir / "M2.zip");
    Button(IdModsApply);
    EXPECT_EQ(frame->questions.size(), 1u);
    ASSERT_FALSE(frame->messages.empty());
    EXPECT_NE(frame->messages.back().find("holds other bytes"), std::string::npos) << frame->messages.back();

    // Restore is refused while the open archive has unsaved edits, then takes the mod off.
    ASSERT_TRUE(frame->OpenPath(dir / "game/GLOBAL.PAK"));
    ASSERT_TRUE(SelectLine(*frame, "scripts\\added.txt"));
    Menu(CmdEditRemove);
    ASSERT_TRUE(Edits_Pending(viewer.session.edits));
    Button(IdModsRestore);
    EXPECT_NE(frame->messages.back().find("has edits that are not saved"), std::string::npos) << frame->messages.back();
    EXPECT_EQ(Applied(), "1  first  GLOBAL.PAK");
    Menu(CmdEditUndo);
    Button(IdModsRestore);
    EXPECT_EQ(Applied(), "No mod is applied.");
    EXPECT_FALSE(frame->SelectEntryNamed("scripts\\added.txt"));

    // Conflicts of the mods added to the comparison.
    frame->answers.push_back(dir / "M1/mod.json");
    Button(IdModsCompareAdd);
    frame->answers.push_back(dir / "M2.zip");
    Button(IdModsCompareAdd);
    EXPECT_EQ(std::string(Find<wxTextCtrl>()->GetValue().utf8_str()),
              "GLOBAL.PAK  scripts\\added.txt #1  first, second\nGLOBAL.PAK  scripts\\intro.txt #1  first, second\n");
    Button(IdModsCompareClear);
    EXPECT_NE(std::string(Find<wxTextCtrl>()->GetValue().utf8_str()).find("Add two or more"), std::string::npos);
}
