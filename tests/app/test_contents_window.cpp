// The real window's find inside entries ("In contents") and Edit > "Used
// By...", on one archive and on a folder: the toggle clicked, the text typed,
// the key pressed, and the list, tree and selection that follow.
#include "app/entry_tree_ctrl.h"
#include "model_fixtures.h"
#include "seam_window.h"
#include "temp_dir.h"
#include "test_data.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

namespace {

Bytes Crate()
{
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    ModelFixture crate;
    crate.surfaces.push_back(Fixture_Box("misc/lid", centre, half));
    crate.surfaces.push_back(Fixture_Box("textures/props/crate_d", centre, half));
    return Fixture_Model(crate);
}

class ContentsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        const Bytes texture = Fixture_Texture(16, 16, 1, 1, BlockShade);
        ASSERT_TRUE(Fixture_WritePak(dir / "M01_NIGHTMARE.PAK",
                                     {{{"textures\\props\\crate_d", texture},
                                       {"scripts\\intro.txt", Fixture_FromString("wake\r\nthe Lantern burns\r\n")},
                                       {"scripts\\outro.txt", Fixture_FromString("lantern\nlantern\n")}}}));
        // Naming crate_d: a line of text (another case, the other separator,
        // an extension) and a model's surface; a longer name does not.
        ASSERT_TRUE(Fixture_WritePak(dir / "M02_MAP.PAK",
                                     {{{"scripts\\map.txt", Fixture_FromString("start\r\nuse TEXTURES/props/crate_d.dds\r\n"
                                                                               "crate_d_old\r\n")},
                                       {"models\\crate", Crate()},
                                       {"scripts\\lanterns.txt", Fixture_FromString("no light here")}}}));
        frame = FreshWindow();
    }
    void TearDown() override { CloseWindow(frame); }

    // Real keys and clicks, as the user gives them.
    void Keys(wxWindow *to, int key, int modifiers = wxMOD_NONE)
    {
        frame->Raise();
        to->SetFocus();
        Pump(30);
        wxUIActionSimulator().Char(key, modifiers);
        Pump(100);
    }
    void Click(wxWindow *w)
    {
        wxUIActionSimulator sim;
        sim.MouseMove(w->GetScreenPosition() + wxPoint(8, w->GetSize().y / 2));
        Pump(30);
        sim.MouseClick();
        Pump(50);
    }
    // Edit > Find by its key, the text typed, then "In contents" clicked.
    void FindInContents(const char *text)
    {
        Keys(frame->EntryList()->IsShown() ? static_cast<wxWindow *>(frame->EntryList()) : frame->EntryTree(), 'F',
             wxMOD_CONTROL);
        ASSERT_TRUE(PumpUntil(2000, [&] { return wxWindow::FindFocus() == frame->FindText(); }));
        wxUIActionSimulator().Text(text);
        Pump(100);
        auto *toggle = static_cast<wxCheckBox *>(frame->Control(IdFindContents));
        Click(toggle);
        ASSERT_TRUE(toggle->IsChecked());
    }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (size_t i = 0; i < frame->EntryList()->LineCount(); ++i)
            lines.push_back(frame->EntryList()->LineText(long(i)));
        return lines;
    }
    std::string Count() const { return std::string(frame->GetStatusBar()->GetStatusText(1).utf8_str()); }
    bool Searching() const { return frame->Control(IdFindStop)->IsShown(); }

    TempDir dir;
    SeamWindow *frame = nullptr;
};

TEST_F(ContentsWindowTest, InContentsListsTheEntriesThatHoldTheTextAndEscapeEndsIt)
{
    ASSERT_TRUE(frame->OpenPath(dir / "M01_NIGHTMARE.PAK"));
    Pump(50);
    FindInContents("LANTERN");
    ASSERT_TRUE(PumpUntil(3000, [&] { return !Searching() && Lines().size() == 2; })) << Count();
    // Each entry once, with its first line that holds the text (case ignored).
    EXPECT_EQ(Lines(), (std::vector<std::string>{"scripts\\intro.txt [0001]    2: the Lantern burns",
                                                 "scripts\\outro.txt [0002]    1: lantern"}));
    EXPECT_EQ(Count(), "2 entries hold it");

    ASSERT_TRUE(ClickLine(*frame, "scripts\\outro.txt [0002]    1: lantern"));
    EXPECT_EQ(viewer.session.selectedEntry, 2);
    EXPECT_TRUE(frame->Control(IdTextView)->IsShown());

    // Off again: the find matches names, and no name holds the text.
    Click(frame->Control(IdFindContents));
    EXPECT_TRUE(Lines().empty());
    Keys(frame->FindText(), WXK_ESCAPE);
    EXPECT_EQ(Lines().size(), 3u);
}

TEST_F(ContentsWindowTest, InContentsSearchesEveryArchiveOfAFolder)
{
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Pump(50);
    FindInContents("lantern");
    ASSERT_TRUE(PumpUntil(3000, [&] { return !Searching() && Lines().size() == 2; })) << Count();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"M01_NIGHTMARE.PAK: scripts\\intro.txt [0001]    2: the Lantern burns",
                                                 "M01_NIGHTMARE.PAK: scripts\\outro.txt [0002]    1: lantern"}));
    // A kind chosen searches only entries of that kind: texts are no textures.
    wxCommandEvent textures(wxEVT_CHOICE, frame->FindKind()->GetId());
    frame->FindKind()->SetSelection(1);
    textures.SetInt(1);
    frame->FindKind()->Command(textures);
    EXPECT_TRUE(PumpUntil(3000, [&] { return !Searching() && Lines().empty(); })) << Count();
}

// Used By's key on the selected entry lists what names it; choosing a place
// selects its entry in the tree, its archive the open one.
TEST_F(ContentsWindowTest, UsedByListsWhatNamesTheEntryAndJumpsThere)
{
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Pump(50);
    ASSERT_TRUE(frame->SelectEntryNamed("textures\\props\\crate_d"));
    ASSERT_TRUE(PumpUntil(2000, [] { return viewer.session.selectedEntry == 0; }));
    Keys(frame->EntryTree(), 'U', wxMOD_CONTROL);
    wxWindow *dialog = nullptr;
    ASSERT_TRUE(PumpUntil(3000, [&] { return (dialog = wxWindow::FindWindowByName("usedBy", frame)) && dialog->IsShown(); }));
    wxListBox *list = nullptr;
    for (wxWindow *child : dialog->GetChildren())
        if (!list)
            list = dynamic_cast<wxListBox *>(child);
    ASSERT_TRUE(list);
    std::vector<std::string> places;
    for (unsigned i = 0; i < list->GetCount(); ++i)
        places.push_back(std::string(list->GetString(i).utf8_str()));
    EXPECT_EQ(places, (std::vector<std::string>{"M02_MAP.PAK: models\\crate [0001]: surface 2 material",
                                                "M02_MAP.PAK: scripts\\map.txt [0000]: text line 2: use TEXTURES/props/crate_d.dds"}));

    EXPECT_EQ(viewer.session.mainPak.path, dir / "M01_NIGHTMARE.PAK");  // nothing chosen yet
    Keys(list, WXK_DOWN);
    Keys(list, WXK_DOWN);
    ASSERT_EQ(list->GetSelection(), 1);
    ASSERT_TRUE(PumpUntil(2000, [&] { return viewer.session.mainPak.path == dir / "M02_MAP.PAK"; }));
    EXPECT_EQ(frame->EntryTree()->Label(frame->EntryTree()->SelectedItem()), "map.txt [0000]");
    EXPECT_EQ(viewer.session.selectedEntry, 0);
    EXPECT_TRUE(frame->Control(IdTextView)->IsShown());
}

}  // namespace
