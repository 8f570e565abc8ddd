// The real window on a folder of archives: the tree of its archives, an entry
// previewed from its own archive, the find bar across every archive, and one
// archive as a tree, and edits in several of its archives saved together.
#include "app/command_table.h"
#include "app/entry_tree_ctrl.h"
#include "seam_window.h"
#include "temp_dir.h"
#include "test_data.h"

#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

#include <cstring>

namespace fs = std::filesystem;

namespace {

class FolderWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        const Bytes texture = Fixture_Texture(16, 16, 1, 1, BlockShade);
        // A skipped record counts in the header, not among the entries.
        ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", {{{"shaders\\common.txt", Fixture_FromString("global")},
                                                           {"shaders\\gone.txt", {}, -1, 0, true}}}));
        ASSERT_TRUE(Fixture_WritePak(dir / "M01_NIGHTMARE.PAK", {{{"textures\\props\\crate_d", texture},
                                                                  {"scripts\\intro.txt", Fixture_FromString("intro")},
                                                                  {"sounds\\wind.ogg", Fixture_FromString("OggS")}}}));
        ASSERT_TRUE(Fixture_WritePak(dir / "M02_FENHOLT1.PAK", {{{"scripts\\readme.txt", Fixture_FromString("Fenholt")},
                                                                 {"textures\\props\\crate_d", texture}}}));
        frame = FreshWindow();
    }
    void TearDown() override
    {
        if (frame && !frame->HasEnded())
            OnCommand(*frame, CmdCancel);
        Pump(50);
        ViewerState_Reset();
        R_ResetState();
    }

    EntryTreeCtrl *Tree() const { return frame->EntryTree(); }
    std::string Label(const wxDataViewItem &item) const
    {
        return Tree()->Label(reinterpret_cast<uintptr_t>(item.GetID()));
    }
    std::string SelectedLabel() const { return Tree()->Label(Tree()->SelectedItem()); }
    // A real key press in the tree.
    void Key(int key)
    {
        frame->Raise();  // keys go to the active window
        Tree()->SetFocus();
        Pump(30);
        wxUIActionSimulator().Char(key);
        Pump(100);
    }
    void Menu(int command) { ChooseMenu(*frame, command); }
    // The colour the tree draws the entry `name` in; invalid for the control's own.
    wxColour TreeColour(const std::string &name)
    {
        wxDataViewItemAttr attr;
        const TreeItem item = ArchiveTree_FindEntry(viewer.session.tree, name);
        const wxDataViewItem wx(reinterpret_cast<void *>(static_cast<uintptr_t>(item)));
        return item && Tree()->GetModel()->GetAttr(wx, 0, attr) ? attr.GetColour() : wxColour();
    }
    std::string Status() const { return std::string(frame->GetStatusBar()->GetStatusText(0).utf8_str()); }

    TempDir dir;
    SeamWindow *frame = nullptr;
};

TEST_F(FolderWindowTest, AFolderShowsItsArchivesAndPreviewsAnEntryFromItsOwnArchive)
{
    // As `quillon DIR` opens it.
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Pump(100);
    EXPECT_TRUE(Tree()->IsShown());
    EXPECT_FALSE(frame->EntryList()->IsShown());
    wxDataViewItemArray archives;
    Tree()->GetModel()->GetChildren(wxDataViewItem(), archives);
    ASSERT_EQ(archives.size(), 3u);
    EXPECT_EQ(Label(archives[0]), "GLOBAL.PAK (1 entry)");
    EXPECT_EQ(Label(archives[2]), "M02_FENHOLT1.PAK (2 entries)");

    // The keyboard opens the archive and its folders and walks down to an entry.
    Tree()->SelectItem(reinterpret_cast<uintptr_t>(archives[2].GetID()));
    for (int key : {WXK_RIGHT, WXK_RIGHT, WXK_DOWN, WXK_DOWN, WXK_RIGHT, WXK_DOWN, WXK_RIGHT, WXK_DOWN})
        Key(key);
    EXPECT_EQ(SelectedLabel(), "crate_d [0001]");
    ASSERT_TRUE(PumpUntil(2000, [] { return viewer.session.selectedEntry == 1; }));
    EXPECT_EQ(viewer.session.mainPak.path, dir / "M02_FENHOLT1.PAK");  // its own archive is the open one
    EXPECT_TRUE(frame->Control(IdGlView)->IsShown());
    EXPECT_NE(Status().find("M02_FENHOLT1.PAK"), std::string::npos) << Status();

    // Typing jumps to the shown item that starts with the letters.
    Key('s');
    EXPECT_EQ(SelectedLabel(), "scripts");
    Key(WXK_RIGHT);
    Key(WXK_DOWN);
    EXPECT_EQ(SelectedLabel(), "readme.txt [0000]");
    ASSERT_TRUE(PumpUntil(2000, [] { return viewer.session.selectedEntry == 0; }));
    EXPECT_TRUE(frame->Control(IdTextView)->IsShown());
    Key(WXK_END);
    EXPECT_EQ(SelectedLabel(), "crate_d [0001]");
    Key(WXK_HOME);
    EXPECT_EQ(SelectedLabel(), "GLOBAL.PAK (1 entry)");
    Key(WXK_RIGHT);  // its index read: the count it showed is the count it holds
    EXPECT_EQ(SelectedLabel(), "GLOBAL.PAK (1 entry)");
    wxDataViewItemArray entries;
    EXPECT_EQ(Tree()->GetModel()->GetChildren(archives[0], entries), 1u);
}

// The tree takes the preview's keys as the list does, letters jump to the
// items that start with them, and Ctrl+F opens the find bar.
TEST_F(FolderWindowTest, TheTreeTakesThePreviewKeysAndLettersJump)
{
    ASSERT_TRUE(Fixture_WritePak(dir / "M03_GLOW.PAK", {{{"fx\\glow", Fixture_Texture(16, 16, 1, 3, BlockShade)}}}));
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Pump(100);
    wxDataViewItemArray archives;
    Tree()->GetModel()->GetChildren(wxDataViewItem(), archives);
    ASSERT_EQ(archives.size(), 4u);
    Tree()->SelectItem(reinterpret_cast<uintptr_t>(archives[3].GetID()));
    for (int key : {WXK_RIGHT, WXK_RIGHT, WXK_RIGHT, WXK_RIGHT})
        Key(key);
    ASSERT_EQ(SelectedLabel(), "glow [0000]");
    ASSERT_TRUE(PumpUntil(2000, [] { return viewer.session.selectedEntry == 0; }));
    viewer.services.render.SetTextureMipLevel = [](PreviewState &preview, int level) {
        preview.textureMipLevel = uint32_t(level);
    };
    Key(']');
    EXPECT_EQ(viewer.preview.textureMipLevel, 1u);
    Key('[');
    EXPECT_EQ(viewer.preview.textureMipLevel, 0u);
    Key('f');
    EXPECT_EQ(SelectedLabel(), "fx");

    Tree()->SetFocus();
    Pump(30);
    wxUIActionSimulator().Char('f', wxMOD_CONTROL);
    EXPECT_TRUE(PumpUntil(2000, [&] { return wxWindow::FindFocus() == frame->FindText(); }));
    EXPECT_TRUE(frame->Control(IdFindBar)->IsShown());
}

// As `quillon --select NAME DIR` (or an archive) shows an entry at start.
TEST_F(FolderWindowTest, SelectEntryNamedPreviewsItInTheTreeOrTheList)
{
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Pump(50);
    EXPECT_FALSE(frame->SelectEntryNamed("textures\\props\\nothing"));
    EXPECT_EQ(Tree()->SelectedItem(), 0u);
    // Case ignored; the first archive by name that holds it.
    ASSERT_TRUE(frame->SelectEntryNamed("TEXTURES\\Props\\crate_d"));
    Pump(100);
    EXPECT_EQ(SelectedLabel(), "crate_d [0000]");
    EXPECT_EQ(viewer.session.mainPak.path, dir / "M01_NIGHTMARE.PAK");
    EXPECT_EQ(viewer.session.selectedEntry, 0);
    EXPECT_TRUE(frame->Control(IdGlView)->IsShown());

    ASSERT_TRUE(frame->OpenPath(dir / "M02_FENHOLT1.PAK"));
    Pump(50);
    ASSERT_TRUE(frame->EntryList()->IsShown());
    ASSERT_TRUE(frame->SelectEntryNamed("scripts\\readme.txt"));
    ASSERT_TRUE(PumpUntil(2000, [] { return viewer.session.selectedEntry == 0; }));
    EXPECT_TRUE(frame->Control(IdTextView)->IsShown());
}

TEST_F(FolderWindowTest, FindSearchesEveryArchiveAndExportsListedPerArchive)
{
    ASSERT_TRUE(frame->OpenPath(dir.path));
    OnCommand(*frame, CmdEditFind);
    frame->FindText()->SetValue("crate");
    Pump(50);
    EntryListCtrl *list = frame->EntryList();
    EXPECT_TRUE(list->IsShown());
    EXPECT_FALSE(Tree()->IsShown());
    ASSERT_EQ(list->LineCount(), 2u);
    EXPECT_EQ(list->LineText(1), "M02_FENHOLT1.PAK: textures\\props\\crate_d [0001]");
    EXPECT_EQ(std::string(frame->GetStatusBar()->GetStatusText(1).utf8_str()), "2 of 6 listed");

    ASSERT_TRUE(ClickLine(*frame, list->LineText(1)));
    EXPECT_EQ(viewer.session.mainPak.path, dir / "M02_FENHOLT1.PAK");
    EXPECT_EQ(viewer.session.selectedEntry, 1);

    TempDir out;
    frame->batchAnswer = BatchExportRequest{out.path, 0, false};
    OnCommand(*frame, CmdExportListed);
    EXPECT_EQ(frame->messages.back().rfind("2 written", 0), 0u) << frame->messages.back();
    EXPECT_TRUE(fs::exists(out / "M01_NIGHTMARE/textures/props/crate_d"));
    EXPECT_TRUE(fs::exists(out / "M02_FENHOLT1/textures/props/crate_d"));
    EXPECT_FALSE(fs::exists(out / "M02_FENHOLT1/scripts"));

    OnFindClose(*frame);  // Escape: the tree again
    EXPECT_TRUE(Tree()->IsShown());
}

// The entry `name` of the archive at `path` as read from disk; "(none)" when it holds none.
std::string Stored(const fs::path &path, const std::string &name)
{
    PakArchive pak;
    if (Pak_OpenArchive(path, pak) != PakOpenResult::Ok)
        return "(unreadable)";
    for (const PakEntry &entry : pak.entries)
        if (std::string(entry.name, strnlen(entry.name, sizeof entry.name)) == name) {
            Bytes bytes;
            return Pak_LoadEntry(pak, entry, bytes) == PakLoadResult::Ok ? std::string(bytes.begin(), bytes.end())
                                                                          : "(unloadable)";
        }
    return "(none)";
}

TEST_F(FolderWindowTest, EditsInTwoArchivesAreMarkedAskedAboutAndSavedTogether)
{
    const fs::path a = dir / "M01_NIGHTMARE.PAK", b = dir / "M02_FENHOLT1.PAK";
    TempDir files;
    ASSERT_TRUE(Fixture_WriteFile(files / "intro.txt", Fixture_FromString("a new intro")));
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Pump(50);

    ASSERT_TRUE(frame->SelectEntryNamed("scripts\\intro.txt"));
    ASSERT_TRUE(PumpUntil(2000, [&] { return viewer.session.mainPak.path == a && viewer.session.selectedEntry == 1; }));
    frame->answers.push_back(files / "intro.txt");
    Menu(CmdEditReplace);
    ASSERT_TRUE(frame->SelectEntryNamed("scripts\\readme.txt"));
    ASSERT_TRUE(PumpUntil(2000, [&] { return viewer.session.mainPak.path == b && viewer.session.selectedEntry == 0; }));
    frame->texts.push_back("scripts\\notes.txt");
    Menu(CmdEditRename);
    EXPECT_TRUE(frame->messages.empty()) << frame->messages.back();

    // Both archives' edits wait, each marked in the tree as the list marks it.
    EXPECT_EQ(TreeColour("scripts\\intro.txt"), App_MarkColour(int(EntryMark::Replaced)));
    EXPECT_EQ(TreeColour("scripts\\readme.txt"), App_MarkColour(int(EntryMark::Renamed)));
    EXPECT_FALSE(TreeColour("textures\\props\\crate_d").IsOk());
    // The first archive's replaced text is previewed again from its waiting bytes.
    ASSERT_TRUE(frame->SelectEntryNamed("scripts\\intro.txt"));
    ASSERT_TRUE(PumpUntil(2000, [&] { return viewer.session.mainPak.path == a; }));
    EXPECT_EQ(std::string(viewer.preview.CurrentResource.begin(), viewer.preview.CurrentResource.end()),
              "a new intro");

    // Leaving asks once, naming both.
    frame->saveChoice = SaveChoice::Cancel;
    OnCommand(*frame, CmdCancel);
    ASSERT_FALSE(frame->HasEnded());
    ASSERT_EQ(frame->questions.size(), 1u);
    EXPECT_EQ(frame->questions[0], "Save changes to M01_NIGHTMARE.PAK and M02_FENHOLT1.PAK?");

    Menu(CmdFileSave);
    EXPECT_EQ(frame->messages.back(), "2 entries written");
    EXPECT_EQ(Stored(a, "scripts\\intro.txt"), "a new intro");
    EXPECT_EQ(Stored(b, "scripts\\notes.txt"), "Fenholt");
    EXPECT_EQ(Stored(b, "scripts\\readme.txt"), "(none)");
    // The tree shows the archives as saved, unmarked, and leaving asks nothing.
    EXPECT_FALSE(TreeColour("scripts\\notes.txt").IsOk());
    OnCommand(*frame, CmdCancel);
    EXPECT_TRUE(frame->HasEnded());
    EXPECT_EQ(frame->questions.size(), 1u);
}

TEST_F(FolderWindowTest, AsTreeShowsOneArchiveAsATree)
{
    frame->answers.push_back(dir / "M01_NIGHTMARE.PAK");
    OnCommand(*frame, CmdFileOpen);
    EXPECT_TRUE(frame->EntryList()->IsShown());
    OnCommand(*frame, CmdViewAsTree);
    Pump(50);
    ASSERT_TRUE(Tree()->IsShown());
    // The one archive is opened already: its folders show.
    Key(WXK_HOME);
    Key(WXK_DOWN);
    EXPECT_EQ(SelectedLabel(), "scripts");

    // The choice holds for the next archive opened.
    frame->answers.push_back(dir / "M02_FENHOLT1.PAK");
    OnCommand(*frame, CmdFileOpen);
    EXPECT_TRUE(Tree()->IsShown());
    wxDataViewItemArray archives;
    Tree()->GetModel()->GetChildren(wxDataViewItem(), archives);
    ASSERT_EQ(archives.size(), 1u);
    EXPECT_EQ(Label(archives[0]), "M02_FENHOLT1.PAK (2 entries)");
    EXPECT_TRUE(Tree()->IsExpanded(archives[0]));
    OnCommand(*frame, CmdViewAsTree);
    EXPECT_TRUE(frame->EntryList()->IsShown());
    EXPECT_EQ(frame->EntryList()->LineCount(), 2u);
}

}  // namespace
